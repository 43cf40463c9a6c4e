// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExtDBGrid.h"

#include "DataSetSource.h"

#include <QAbstractProxyModel>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

TExtDBGrid::TExtDBGrid(QWidget *parent) : QTableView(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

TExtDBGrid::~TExtDBGrid() = default;

void TExtDBGrid::setBackgroundBitmap(const QPixmap &bitmap)
{
    m_striped = false;
    m_background = bitmap;
    // With a tile the paint event covers the whole viewport: the separate background fill would
    // only paint the area twice.
    viewport()->setAutoFillBackground(m_background.isNull());
    viewport()->update();
}

void TExtDBGrid::setBackgroundBitmap(const QImage &bitmap)
{
    setBackgroundBitmap(QPixmap::fromImage(bitmap));
}

int TExtDBGrid::defaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void TExtDBGrid::setDefaultRowHeight(int height)
{
    verticalHeader()->setMinimumSectionSize(qMin(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
    updateVerticalScrollBar();
}

void TExtDBGrid::setModel(QAbstractItemModel *newModel)
{
    for (const QMetaObject::Connection &c : std::as_const(m_modelConnections))
        disconnect(c);
    m_modelConnections.clear();
    QTableView::setModel(newModel);
    if (newModel) {
        const auto recheck = [this] { updateVerticalScrollBar(); };
        m_modelConnections << connect(newModel, &QAbstractItemModel::rowsInserted, this, recheck)
                           << connect(newModel, &QAbstractItemModel::rowsRemoved, this, recheck)
                           << connect(newModel, &QAbstractItemModel::modelReset, this, recheck)
                           << connect(newModel, &QAbstractItemModel::layoutChanged, this, recheck);
    }
    updateVerticalScrollBar();
}

bool TExtDBGrid::isDataSetOpen() const
{
    const QAbstractItemModel *m = model();
    while (m) {
        if (const auto *source = dynamic_cast<const DataSetSource *>(m))
            return source->isDataSetOpen();
        const auto *proxy = qobject_cast<const QAbstractProxyModel *>(m);
        m = proxy ? proxy->sourceModel() : nullptr;
    }
    return true;
}

bool TExtDBGrid::verticalScrollBarWanted() const
{
    if (!model() || !isDataSetOpen())
        return false;
    const qint64 rows = model()->rowCount(rootIndex());
    return (rows + 1) * (qint64(defaultRowHeight()) + 1) > height();
}

void TExtDBGrid::updateVerticalScrollBar()
{
    const Qt::ScrollBarPolicy wanted = verticalScrollBarWanted() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != wanted)
        setVerticalScrollBarPolicy(wanted);
}

void TExtDBGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    updateVerticalScrollBar();
}

void TExtDBGrid::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    updateVerticalScrollBar();
}

void TExtDBGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    // The view scrolls by moving pixels; the tile stays put at the viewport's corner.
    if (!m_background.isNull())
        viewport()->update();
}

QImage TExtDBGrid::stripedTile(qreal devicePixelRatio)
{
    const qreal ratio = std::max(devicePixelRatio, 1.0);
    const int side = qRound(32 * ratio);
    QImage tile(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool grey = int((x + y) / ratio) % 4 == 3;
            tile.setPixel(x, y, grey ? qRgb(0xE0, 0xE0, 0xE0) : qRgb(0xFF, 0xFF, 0xFF));
        }
    }
    tile.setDevicePixelRatio(ratio);
    return tile;
}

void TExtDBGrid::setStripedBackground()
{
    setBackgroundBitmap(stripedTile(devicePixelRatioF()));
    m_striped = true;
}

void TExtDBGrid::paintEvent(QPaintEvent *event)
{
    if (m_striped && !qFuzzyCompare(m_background.devicePixelRatio(), std::max(devicePixelRatioF(), 1.0)))
        setStripedBackground();
    if (!m_background.isNull()) {
        QPainter painter(viewport());
        painter.drawTiledPixmap(viewport()->rect(), m_background, QPoint(0, 0));
    }
    QTableView::paintEvent(event);
}
