// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "gui/widgets/DataSetSource.h"
#include "gui/widgets/ExtDBGrid.h"

#include <QAbstractItemModelTester>
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QtTest>

namespace {

// A table whose data set can be opened and closed, as the account table's model adapter will be.
class DataSetModel : public QAbstractTableModel, public DataSetSource
{
public:
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.isValid())
            return QStringLiteral("r%1c%2").arg(index.row()).arg(index.column());
        return {};
    }
    bool isDataSetOpen() const override { return m_open; }

    void setRows(int rows)
    {
        if (rows > m_rows) {
            beginInsertRows({}, m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        } else if (rows < m_rows) {
            beginRemoveRows({}, rows, m_rows - 1);
            m_rows = rows;
            endRemoveRows();
        }
    }
    void setOpen(bool open)
    {
        beginResetModel();
        m_open = open;
        endResetModel();
    }

private:
    int m_rows = 0;
    bool m_open = true;
};

bool greyAt(const QImage &image, int x, int y)
{
    return image.pixel(x, y) == qRgb(0xE0, 0xE0, 0xE0);
}

bool whiteAt(const QImage &image, int x, int y)
{
    return image.pixel(x, y) == qRgb(0xFF, 0xFF, 0xFF);
}

} // namespace

class TestExtDBGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tilePixels();
    void scrollBarRule();
    void scrollBarFollowsResize();
    void closedDataSetHidesBar();
    void modelWithoutDataSetCountsAsOpen();
    void proxyModelsAreLookedThrough();
    void backgroundIsTiledUnderCells();
    void backgroundCanBeRemoved();
};

void TestExtDBGrid::tilePixels()
{
    const QImage tile = TExtDBGrid::stripedTile();
    QCOMPARE(tile.size(), QSize(32, 32));
    QVERIFY(whiteAt(tile, 0, 0));
    QVERIFY(greyAt(tile, 3, 0));
    QVERIFY(greyAt(tile, 0, 3));
    QVERIFY(greyAt(tile, 1, 2));
    QVERIFY(whiteAt(tile, 2, 2));
    QVERIFY(greyAt(tile, 31, 0));
    QVERIFY(whiteAt(tile, 31, 31)); // 62 mod 4 = 2
    QVERIFY(greyAt(tile, 31, 28));  // 59 mod 4 = 3
    QVERIFY(whiteAt(tile, 30, 31)); // 61 mod 4 = 1

    // At twice the pixels the stripes are two screen pixels wide along a row and one step apart,
    // a fine diagonal line rather than a staircase of 2 x 2 blocks.
    const QImage sharp = TExtDBGrid::stripedTile(2.0);
    QCOMPARE(sharp.size(), QSize(64, 64));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    QVERIFY(greyAt(sharp, 6, 0) && greyAt(sharp, 7, 0));
    QVERIFY(whiteAt(sharp, 5, 0) && whiteAt(sharp, 8, 0));
    QVERIFY(greyAt(sharp, 5, 1) && greyAt(sharp, 6, 1)); // a blown-up tile would be white at (5, 1)
    QVERIFY(whiteAt(sharp, 7, 1));
}

void TestExtDBGrid::scrollBarRule()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    QCOMPARE(grid.defaultRowHeight(), 19);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    // No model: no bar.
    QVERIFY(!grid.verticalScrollBarWanted());
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    DataSetModel model;
    QAbstractItemModelTester tester(&model);
    grid.setModel(&model);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff); // empty

    // (rows + 1) x 20 > 200 from 10 rows on.
    model.setRows(9);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    model.setRows(10);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QTRY_VERIFY(grid.verticalScrollBar()->isVisible());
    model.setRows(50);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    model.setRows(9);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QTRY_VERIFY(!grid.verticalScrollBar()->isVisible());

    // A taller default row height needs fewer rows.
    grid.setDefaultRowHeight(24); // 10 x 25 > 200
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void TestExtDBGrid::scrollBarFollowsResize()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    DataSetModel model;
    model.setRows(20); // needs 420 px
    grid.setModel(&model);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    grid.resize(300, 420); // not greater: fits
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    grid.resize(300, 419);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    grid.resize(300, 600);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestExtDBGrid::closedDataSetHidesBar()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    grid.resize(300, 200);
    DataSetModel model;
    model.setRows(30);
    grid.setModel(&model);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(grid.isDataSetOpen());

    model.setOpen(false); // rows still there, data set closed
    QVERIFY(!grid.isDataSetOpen());
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    model.setOpen(true);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // Unbinding hides it too.
    grid.setModel(nullptr);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // An old model no longer drives the grid.
    model.setRows(31);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestExtDBGrid::modelWithoutDataSetCountsAsOpen()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    grid.resize(300, 100);
    QStandardItemModel model(0, 2);
    grid.setModel(&model);
    QVERIFY(grid.isDataSetOpen());
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    for (int i = 0; i < 5; ++i)
        model.appendRow(new QStandardItem(QStringLiteral("x")));
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn); // 6 x 20 > 100
    model.clear();
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestExtDBGrid::proxyModelsAreLookedThrough()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    grid.resize(300, 100);
    DataSetModel model;
    model.setRows(30);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    grid.setModel(&proxy);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    model.setOpen(false);
    QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestExtDBGrid::backgroundIsTiledUnderCells()
{
    TExtDBGrid grid;
    grid.setDefaultRowHeight(19);
    grid.setBackgroundBitmap(TExtDBGrid::stripedTile());
    QCOMPARE(grid.backgroundBitmap().size(), QSize(32, 32));
    QVERIFY(!grid.viewport()->autoFillBackground());
    QStandardItemModel model(2, 2);
    model.setItem(0, 0, new QStandardItem(QString()));
    grid.setModel(&model);
    grid.setColumnWidth(0, 100);
    grid.setColumnWidth(1, 100);
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    const QImage image = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!image.isNull());
    // Below the last row and right of the last column: nothing but the tile, laid from (0, 0).
    for (int y = 100; y < 140; ++y) {
        for (int x = 250; x < 290; ++x) {
            const bool grey = (x + y) % 4 == 3;
            QVERIFY2(grey ? greyAt(image, x, y) : whiteAt(image, x, y),
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    // Inside an unselected empty cell (row 1, column 1), away from the grid lines: the tile too.
    const QRect cell = grid.visualRect(model.index(1, 1));
    for (int y = cell.top() + 3; y < cell.bottom() - 3; ++y) {
        for (int x = cell.left() + 3; x < cell.right() - 3; ++x) {
            const bool grey = (x + y) % 4 == 3;
            QVERIFY2(grey ? greyAt(image, x, y) : whiteAt(image, x, y),
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
}

void TestExtDBGrid::backgroundCanBeRemoved()
{
    TExtDBGrid grid;
    grid.setBackgroundBitmap(TExtDBGrid::stripedTile());
    grid.setBackgroundBitmap(QPixmap());
    QVERIFY(grid.backgroundBitmap().isNull());
    QVERIFY(grid.viewport()->autoFillBackground());
    grid.resize(200, 100);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage image = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor base = grid.viewport()->palette().color(QPalette::Base);
    QCOMPARE(QColor(image.pixel(50, 50)), base);
    QCOMPARE(QColor(image.pixel(51, 50)), base);
}

QTEST_MAIN(TestExtDBGrid)
#include "tst_extdbgrid.moc"
