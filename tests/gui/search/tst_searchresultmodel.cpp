// SPDX-License-Identifier: GPL-3.0-or-later
// The model of the search result list: adding (and refusing) paths, check marks and their
// notification, sorting, renaming, dragging out, types and their icons.
#include "TestSupport.h"
#include "core/search/FindFile.h"
#include "gui/search/MimeIconLoader.h"
#include "gui/search/SearchResultModel.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QMimeDatabase>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

bool writeFileAt(const QString &path, int size, const QDateTime &modified)
{
    if (!TestSupport::writeFile(path, QByteArray(size, 'x')))
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// A list of names from one text, separated by spaces.
QStringList names(const char *text)
{
    return QString::fromLatin1(text).split(u' ');
}

QStringList namesInOrder(const SearchResultModel &model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.index(row, SearchResultModel::ColumnName).data().toString();
    return names;
}

// A small icon theme: "child" inherits "parent"; each holds one file type icon of its own colour.
void writeTheme(const QString &root)
{
    const auto png = [](const QString &path, QColor colour, int size) {
        QDir().mkpath(QFileInfo(path).path());
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(colour);
        QVERIFY(image.save(path));
    };
    QVERIFY(TestSupport::writeFile(root + QStringLiteral("/child/index.theme"),
                                   "[Icon Theme]\nName=Child\nInherits=parent\n"
                                   "Directories=16x16/mimetypes,16x16/apps,32x32/mimetypes,\n\n"
                                   "[16x16/mimetypes]\nSize=16\nContext=MimeTypes\nType=Fixed\n\n"
                                   "[16x16/apps]\nSize=16\nContext=Applications\nType=Fixed\n\n"
                                   "[32x32/mimetypes]\nSize=32\nContext=MimeTypes\nType=Fixed\n"));
    png(root + QStringLiteral("/child/16x16/mimetypes/text-plain.png"), Qt::red, 16);
    png(root + QStringLiteral("/child/32x32/mimetypes/text-plain.png"), Qt::red, 32);
    // Not a file type folder: must not be taken.
    png(root + QStringLiteral("/child/16x16/apps/application-pdf.png"), Qt::black, 16);
    QVERIFY(TestSupport::writeFile(root + QStringLiteral("/parent/index.theme"),
                                   "[Icon Theme]\nName=Parent\nDirectories=scalable/mimetypes\n\n"
                                   "[scalable/mimetypes]\nSize=16\nContext=MimeTypes\nType=Scalable\n"));
    QVERIFY(TestSupport::writeFile(
        root + QStringLiteral("/parent/scalable/mimetypes/application-pdf.svg"),
        "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'><rect width='16' height='16' "
        "fill='#0000ff'/></svg>"));
    // Only the generic name of the HTML type is there.
    png(root + QStringLiteral("/child/16x16/mimetypes/text-x-generic.png"), Qt::green, 16);
}

QRgb centre(const QIcon &icon, int size)
{
    return icon.pixmap(size, size).toImage().pixel(size / 2, size / 2);
}

} // namespace

class TestSearchResultModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void modelStaysConsistent();
    void appendRefusesMissingFoldersAndDuplicates();
    void namesDifferingInCaseAreTwoEntries();
    void columnsShowTheFile();
    void checkMarksNotify();
    void clearNotifiesAlsoWithNothingChecked();
    void sortByEachColumn_data();
    void sortByEachColumn();
    void sortKeepsPersistentIndexesAndPlacesNewEntries();
    void previewsOnlyForRowsAskedForAndKept();
    void renameOnDisk();
    void renameFailures_data();
    void renameFailures();
    void dragGivesFileUrls();
    void iconsComeFromTheThemeInTheBackground();
    void loaderClosesWhateverItsLookupsAreDoing();

private:
    QTemporaryDir m_dir;
    QDateTime m_t0;
    QString file(const QString &relative) const { return m_dir.filePath(relative); }
};

void TestSearchResultModel::init()
{
    QVERIFY(m_dir.isValid());
    // Start each test with an empty folder.
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    m_t0 = QDateTime(QDate(2022, 5, 6), QTime(7, 8, 9), Qt::UTC);
    QVERIFY(writeFileAt(file(QStringLiteral("a/b10.txt")), 100, m_t0.addSecs(2)));
    QVERIFY(writeFileAt(file(QStringLiteral("z/B2.html")), 300, m_t0.addSecs(3)));
    QVERIFY(writeFileAt(file(QStringLiteral("m/a.pdf")), 200, m_t0.addSecs(1)));
}

void TestSearchResultModel::modelStaysConsistent()
{
    SearchResultModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.appendPaths({file(QStringLiteral("a/b10.txt")), file(QStringLiteral("z/B2.html"))}), 2);
    QVERIFY(model.appendPath(file(QStringLiteral("m/a.pdf"))));
    model.setChecked(1, true);
    for (int column = -1; column < SearchResultModel::ColumnCount; ++column) {
        model.sort(column, Qt::AscendingOrder);
        model.sort(column, Qt::DescendingOrder);
    }
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("renamed.txt"), Qt::EditRole));
    model.setAllChecked(true);
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column)
            QVERIFY(model.index(row, column).data().isValid());
    }
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestSearchResultModel::appendRefusesMissingFoldersAndDuplicates()
{
    SearchResultModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const QStringList batch{file(QStringLiteral("a/b10.txt")), file(QStringLiteral("gone.txt")),
                            file(QStringLiteral("z")),         file(QStringLiteral("a/b10.txt")),
                            file(QStringLiteral("m/a.pdf")),   QString()};
    QCOMPARE(model.appendPaths(batch), 2);
    // One insertion for the whole batch.
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 0);
    QCOMPARE(inserted.first().at(2).toInt(), 1);
    QCOMPARE(model.count(), 2);
    QCOMPARE(model.path(0), file(QStringLiteral("a/b10.txt")));
    QCOMPARE(model.path(1), file(QStringLiteral("m/a.pdf")));

    QVERIFY(!model.appendPath(file(QStringLiteral("m/a.pdf"))));
    QVERIFY(!model.appendPath(file(QStringLiteral("missing/x.txt"))));
    QCOMPARE(model.appendPaths({file(QStringLiteral("gone.txt"))}), 0);
    QCOMPARE(inserted.size(), 1);
    QVERIFY(model.contains(file(QStringLiteral("m/a.pdf"))));
    QVERIFY(!model.contains(file(QStringLiteral("z/B2.html"))));
    QVERIFY(model.appendPath(file(QStringLiteral("z/B2.html"))));
    QCOMPARE(model.rowOf(file(QStringLiteral("z/B2.html"))), 2);

    // After emptying, the same paths are new again.
    model.clear();
    QVERIFY(!model.contains(file(QStringLiteral("m/a.pdf"))));
    QVERIFY(model.appendPath(file(QStringLiteral("m/a.pdf"))));
}

void TestSearchResultModel::namesDifferingInCaseAreTwoEntries()
{
    if (!PathStyle::native().caseSensitive)
        QSKIP("File names differing only in case are one file here");
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("c/A.txt")), "upper"));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("c/a.txt")), "lower"));
    SearchResultModel model;
    QCOMPARE(model.appendPaths({file(QStringLiteral("c/A.txt")), file(QStringLiteral("c/a.txt"))}), 2);
    QVERIFY(model.contains(file(QStringLiteral("c/A.txt"))));
    QVERIFY(model.contains(file(QStringLiteral("c/a.txt"))));
    QVERIFY(!model.contains(file(QStringLiteral("C/a.txt"))));
    QCOMPARE(model.rowOf(file(QStringLiteral("c/a.txt"))), 1);
    QVERIFY(!model.appendPath(file(QStringLiteral("c/a.txt"))));
}

void TestSearchResultModel::columnsShowTheFile()
{
    QVERIFY(writeFileAt(file(QStringLiteral("t/big.pdf")), 1258291, m_t0));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("t/data.xyz123")), "?"));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("t/noextension")), "?"));
    SearchResultModel model;
    QCOMPARE(model.appendPaths({file(QStringLiteral("t/big.pdf")), file(QStringLiteral("t/data.xyz123")),
                                file(QStringLiteral("t/noextension"))}),
             3);
    const auto text = [&](int row, int column) { return model.index(row, column).data().toString(); };
    QCOMPARE(text(0, SearchResultModel::ColumnName), QStringLiteral("big.pdf"));
    QCOMPARE(text(0, SearchResultModel::ColumnFolder), QDir::toNativeSeparators(file(QStringLiteral("t"))));
    QCOMPARE(text(0, SearchResultModel::ColumnSize), QStringLiteral("1.2 MB"));
    QCOMPARE(text(0, SearchResultModel::ColumnType),
             QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf")).comment());
    QCOMPARE(text(0, SearchResultModel::ColumnModified), QLocale().toString(m_t0.toLocalTime(), QLocale::ShortFormat));
    QCOMPARE(text(1, SearchResultModel::ColumnSize), QStringLiteral("1 byte"));
    QCOMPARE(text(1, SearchResultModel::ColumnType), QStringLiteral("XYZ123 File"));
    QCOMPARE(text(2, SearchResultModel::ColumnType), QStringLiteral("File"));
    QCOMPARE(model.index(0, SearchResultModel::ColumnSize).data(SearchResultModel::SortRole).toLongLong(), 1258291);
    QCOMPARE(model.index(0, 0).data(SearchResultModel::PathRole).toString(), file(QStringLiteral("t/big.pdf")));
    QCOMPARE(model.headerData(SearchResultModel::ColumnFolder, Qt::Horizontal).toString(), QStringLiteral("In Folder"));
    QCOMPARE(model.headerData(SearchResultModel::ColumnModified, Qt::Horizontal).toString(),
             QStringLiteral("Date Modified"));
    // Only the name carries the check box and can be edited.
    QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    QVERIFY(!model.flags(model.index(0, 1)).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!model.flags(model.index(0, 1)).testFlag(Qt::ItemIsEditable));
    QVERIFY(!model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
}

void TestSearchResultModel::checkMarksNotify()
{
    SearchResultModel model;
    model.appendPaths(
        {file(QStringLiteral("a/b10.txt")), file(QStringLiteral("z/B2.html")), file(QStringLiteral("m/a.pdf"))});
    QSignalSpy checked(&model, &SearchResultModel::checkedChanged);
    QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    QVERIFY(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(checked.size(), 1);
    QCOMPARE(checked.last().at(0).toInt(), 1);
    QCOMPARE(model.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    // Setting the same mark again is no change.
    QVERIFY(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(checked.size(), 1);
    model.setChecked(0, true);
    QCOMPARE(checked.last().at(0).toInt(), 2);
    QCOMPARE(model.checkedPaths(), QStringList({file(QStringLiteral("a/b10.txt")), file(QStringLiteral("m/a.pdf"))}));
    // In list order, also after sorting.
    model.sort(SearchResultModel::ColumnName);
    QCOMPARE(model.checkedPaths(), QStringList({file(QStringLiteral("m/a.pdf")), file(QStringLiteral("a/b10.txt"))}));

    checked.clear();
    model.setAllChecked(true);
    QCOMPARE(checked.size(), 1);
    QCOMPARE(checked.last().at(0).toInt(), 3);
    QCOMPARE(model.checkedCount(), 3);
    model.setAllChecked(false);
    QCOMPARE(checked.size(), 2);
    QCOMPARE(checked.last().at(0).toInt(), 0);
    QVERIFY(model.checkedPaths().isEmpty());
    model.setRowsChecked({0, 2}, true);
    QCOMPARE(checked.size(), 3);
    QCOMPARE(checked.last().at(0).toInt(), 2);
    QVERIFY(model.isChecked(0) && !model.isChecked(1) && model.isChecked(2));
}

void TestSearchResultModel::clearNotifiesAlsoWithNothingChecked()
{
    SearchResultModel model;
    model.appendPaths({file(QStringLiteral("a/b10.txt")), file(QStringLiteral("z/B2.html"))});
    model.setChecked(1, true);
    QSignalSpy checked(&model, &SearchResultModel::checkedChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.clear();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(checked.size(), 1);
    QCOMPARE(checked.last().at(0).toInt(), 0);
    QCOMPARE(model.checkedCount(), 0);
    // Emptying an empty list tells it again: a new search always starts from "nothing checked".
    model.clear();
    QCOMPARE(checked.size(), 2);
    QCOMPARE(checked.last().at(0).toInt(), 0);
}

void TestSearchResultModel::sortByEachColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");
    // Added in the order b10.txt, B2.html, a.pdf. Folders a, z, m; sizes 100, 300, 200; dates +2, +3, +1.
    QTest::newRow("order of adding") << -1 << names("b10.txt B2.html a.pdf");
    QTest::newRow("name: case ignored, numbers by value")
        << int(SearchResultModel::ColumnName) << names("a.pdf B2.html b10.txt");
    QTest::newRow("folder") << int(SearchResultModel::ColumnFolder) << names("b10.txt a.pdf B2.html");
    QTest::newRow("size") << int(SearchResultModel::ColumnSize) << names("b10.txt a.pdf B2.html");
    QTest::newRow("type") << int(SearchResultModel::ColumnType) << names("B2.html a.pdf b10.txt");
    QTest::newRow("date") << int(SearchResultModel::ColumnModified) << names("a.pdf b10.txt B2.html");
    // Accounts Beta, alpha, gamma.
    QTest::newRow("account: case ignored") << int(SearchResultModel::ColumnAccount) << names("B2.html b10.txt a.pdf");
}

void TestSearchResultModel::sortByEachColumn()
{
    QFETCH(int, column);
    QFETCH(QStringList, ascending);
    SearchResultModel model;
    model.appendResults({{file(QStringLiteral("a/b10.txt")), QStringLiteral("Beta")},
                         {file(QStringLiteral("z/B2.html")), QStringLiteral("alpha")},
                         {file(QStringLiteral("m/a.pdf")), QStringLiteral("gamma")}});
    // The type order rests on the descriptions; make sure the fixture says what the row expects.
    if (column == SearchResultModel::ColumnType) {
        QStringList types;
        for (int row = 0; row < 3; ++row)
            types << model.index(row, column).data().toString();
        QStringList sorted = types;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(sorted, QStringList({types[1], types[2], types[0]}));
    }
    model.sort(column, Qt::AscendingOrder);
    QCOMPARE(namesInOrder(model), ascending);
    QCOMPARE(model.sortColumn(), column);
    model.sort(column, Qt::DescendingOrder);
    if (column >= 0)
        std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(namesInOrder(model), ascending);
    // Back to the order of adding.
    model.sort(-1);
    QCOMPARE(namesInOrder(model), names("b10.txt B2.html a.pdf"));
}

// A preview is looked for when a view asks for the row's cell, on the worker, and kept: not looked
// for again, not for rows no view asked for, nor for matches by name.
void TestSearchResultModel::previewsOnlyForRowsAskedForAndKept()
{
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("p/one.txt")), "first Marigold line"));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("p/two.txt")), "second Marigold line"));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("p/three.txt")), "named marigold, no match inside"));
    SearchResultModel model;
    model.setPreviewPhrase(QStringLiteral("marigold"), true, true);
    model.appendResults({{file(QStringLiteral("p/one.txt")), QStringLiteral("A"), true},
                         {file(QStringLiteral("p/two.txt")), QStringLiteral("A"), true},
                         {file(QStringLiteral("p/three.txt")), QStringLiteral("A"), false}});
    QVERIFY(model.hasContentMatches());
    const QModelIndex first = model.index(0, SearchResultModel::ColumnPreview);
    QVERIFY(first.data().toString().isEmpty()); // asked for now, found later
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QTRY_VERIFY(model.preview(0).has_value());
    QCOMPARE(model.preview(0)->match, QStringLiteral("Marigold"));
    QCOMPARE(first.data().toString(), QStringLiteral("first Marigold line"));
    QCOMPARE(first.data(SearchResultModel::PreviewRole).value<MatchPreviewText>(), *model.preview(0));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(0).value<QModelIndex>(), first);
    // Asked for by no view, the second row has none; the name match has none to give.
    QVERIFY(!model.preview(1));
    QVERIFY(model.index(2, SearchResultModel::ColumnPreview).data().toString().isEmpty());
    QVERIFY(!model.preview(2));

    // Kept: the file may go, the row still shows what was found.
    QVERIFY(QFile::remove(file(QStringLiteral("p/one.txt"))));
    QCoreApplication::processEvents();
    QCOMPARE(first.data().toString(), QStringLiteral("first Marigold line"));
    // Another phrase drops them all; a new search empties the list.
    model.setPreviewPhrase(QStringLiteral("line"), true, true);
    QVERIFY(!model.preview(0));
    QCOMPARE(model.index(1, SearchResultModel::ColumnPreview).data().toString(), QString());
    QTRY_VERIFY(model.preview(1).has_value());
    QCOMPARE(model.preview(1)->match, QStringLiteral("line"));
    model.clear();
    QVERIFY(!model.hasContentMatches());
}

void TestSearchResultModel::sortKeepsPersistentIndexesAndPlacesNewEntries()
{
    SearchResultModel model;
    model.appendPaths(
        {file(QStringLiteral("a/b10.txt")), file(QStringLiteral("z/B2.html")), file(QStringLiteral("m/a.pdf"))});
    const QPersistentModelIndex pdf = model.index(2, SearchResultModel::ColumnSize);
    model.sort(SearchResultModel::ColumnName);
    QCOMPARE(pdf.row(), 0);
    QCOMPARE(pdf.column(), int(SearchResultModel::ColumnSize));
    QCOMPARE(pdf.data(SearchResultModel::PathRole).toString(), file(QStringLiteral("m/a.pdf")));

    // A later batch takes its place in the sorted order, and the order survives emptying.
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("n/a10.txt")), "x"));
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("n/c.txt")), "x"));
    QCOMPARE(model.appendPaths({file(QStringLiteral("n/c.txt")), file(QStringLiteral("n/a10.txt"))}), 2);
    QCOMPARE(namesInOrder(model), names("a.pdf a10.txt B2.html b10.txt c.txt"));
    model.clear();
    model.appendPaths({file(QStringLiteral("n/c.txt")), file(QStringLiteral("n/a10.txt"))});
    QCOMPARE(namesInOrder(model), names("a10.txt c.txt"));
}

void TestSearchResultModel::renameOnDisk()
{
    SearchResultModel model;
    model.appendPaths({file(QStringLiteral("a/b10.txt")), file(QStringLiteral("m/a.pdf"))});
    model.setChecked(0, true);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy failed(&model, &SearchResultModel::renameFailed);
    QVERIFY(model.setData(model.index(0, 0), QStringLiteral("renamed.html"), Qt::EditRole));
    QCOMPARE(failed.size(), 0);
    QCOMPARE(changed.size(), 1);
    QVERIFY(!QFileInfo::exists(file(QStringLiteral("a/b10.txt"))));
    QCOMPARE(TestSupport::readFile(file(QStringLiteral("a/renamed.html"))), QByteArray(100, 'x'));
    QCOMPARE(model.path(0), file(QStringLiteral("a/renamed.html")));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("renamed.html"));
    QCOMPARE(model.index(0, SearchResultModel::ColumnType).data().toString(),
             QMimeDatabase().mimeTypeForName(QStringLiteral("text/html")).comment());
    QVERIFY(model.isChecked(0));
    QVERIFY(model.contains(file(QStringLiteral("a/renamed.html"))));
    QVERIFY(!model.contains(file(QStringLiteral("a/b10.txt"))));
    // The old name is free for the list again.
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("a/b10.txt")), "again"));
    QVERIFY(model.appendPath(file(QStringLiteral("a/b10.txt"))));
    // The same name is no change.
    QVERIFY(model.setData(model.index(1, 0), QStringLiteral("a.pdf"), Qt::EditRole));
    QCOMPARE(failed.size(), 0);
}

void TestSearchResultModel::renameFailures_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("removeFirst");
    QTest::newRow("name taken") << "B2.html" << false;
    QTest::newRow("separator") << "x/y.txt" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("file gone") << "new.txt" << true;
}

void TestSearchResultModel::renameFailures()
{
    QFETCH(QString, newName);
    QFETCH(bool, removeFirst);
    // Both files in one folder, so that a taken name is really taken.
    QVERIFY(TestSupport::writeFile(file(QStringLiteral("z/old.txt")), "old"));
    SearchResultModel model;
    model.appendPaths({file(QStringLiteral("z/old.txt")), file(QStringLiteral("z/B2.html"))});
    if (removeFirst)
        QVERIFY(QFile::remove(file(QStringLiteral("z/old.txt"))));
    QSignalSpy failed(&model, &SearchResultModel::renameFailed);
    QVERIFY(!model.setData(model.index(0, 0), newName, Qt::EditRole));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), file(QStringLiteral("z/old.txt")));
    QCOMPARE(failed.first().at(1).toString(), newName);
    QVERIFY(!failed.first().at(2).toString().isEmpty());
    QCOMPARE(model.path(0), file(QStringLiteral("z/old.txt")));
    QCOMPARE(TestSupport::readFile(file(QStringLiteral("z/B2.html"))), QByteArray(300, 'x'));
    if (!removeFirst)
        QCOMPARE(TestSupport::readFile(file(QStringLiteral("z/old.txt"))), QByteArray("old"));
    QString reason;
    QVERIFY(!model.renameEntry(0, newName, &reason));
    QCOMPARE(reason, failed.first().at(2).toString());
}

void TestSearchResultModel::dragGivesFileUrls()
{
    SearchResultModel model;
    model.appendPaths(
        {file(QStringLiteral("a/b10.txt")), file(QStringLiteral("z/B2.html")), file(QStringLiteral("m/a.pdf"))});
    QVERIFY(model.supportedDragActions().testFlag(Qt::CopyAction));
    QVERIFY(!model.supportedDragActions().testFlag(Qt::MoveAction));
    QVERIFY(model.flags(model.index(1, 3)).testFlag(Qt::ItemIsDragEnabled));
    // Several cells of a row give one URL; rows come in list order.
    const QModelIndexList cells{model.index(2, 0), model.index(0, 3), model.index(2, 1), model.index(0, 0)};
    std::unique_ptr<QMimeData> mime(model.mimeData(cells));
    QVERIFY(mime);
    QCOMPARE(mime->urls(), QList<QUrl>({QUrl::fromLocalFile(file(QStringLiteral("a/b10.txt"))),
                                        QUrl::fromLocalFile(file(QStringLiteral("m/a.pdf")))}));
    QVERIFY(mime->urls().first().isLocalFile());
    QCOMPARE(mime->text(), QDir::toNativeSeparators(file(QStringLiteral("a/b10.txt"))) + u'\n' +
                               QDir::toNativeSeparators(file(QStringLiteral("m/a.pdf"))));
    QVERIFY(model.mimeTypes().contains(QStringLiteral("text/uri-list")));
}

void TestSearchResultModel::iconsComeFromTheThemeInTheBackground()
{
    QTemporaryDir icons;
    writeTheme(icons.path());
    QMimeDatabase db;
    {
        MimeIconLoader loader({QStringLiteral("/nonexistent"), icons.path()}, QStringLiteral("child"));
        QSignalSpy loaded(&loader, &MimeIconLoader::iconLoaded);
        const QMimeType text = db.mimeTypeForName(QStringLiteral("text/plain"));
        const QMimeType pdf = db.mimeTypeForName(QStringLiteral("application/pdf"));
        const QMimeType html = db.mimeTypeForName(QStringLiteral("text/html"));
        const QMimeType zip = db.mimeTypeForName(QStringLiteral("application/zip"));
        // The first request only starts the lookup: its answer can only come through the event loop.
        for (const QMimeType &type : {text, pdf, html, zip})
            QVERIFY(loader.icon(type).isNull());
        QTRY_COMPARE(loaded.size(), 4);
        QCOMPARE(centre(loader.icon(text), 16), QColor(Qt::red).rgb());
        QVERIFY(loader.icon(text).availableSizes().contains(QSize(32, 32)));
        // From the inherited theme, drawn from its SVG; the one in the application folder is not taken.
        QCOMPARE(centre(loader.icon(pdf), 16), QColor(Qt::blue).rgb());
        // The type's own icon is missing; its generic one is there.
        QCOMPARE(centre(loader.icon(html), 16), QColor(Qt::green).rgb());
        QVERIFY(loader.icon(zip).isNull());
        QCOMPARE(loaded.size(), 4);
    }

    // The model shows the generic file icon until the type's icon has come, then repaints the names.
    MimeIconLoader loader({icons.path()}, QStringLiteral("child"));
    SearchResultModel model(&loader, nullptr);
    model.appendPaths({file(QStringLiteral("a/b10.txt"))});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QIcon before = model.index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    QVERIFY(!before.isNull());
    QVERIFY(centre(before, 16) != QColor(Qt::red).rgb());
    QTRY_COMPARE(changed.size(), 1);
    QVERIFY(changed.first().at(2).value<QList<int>>().contains(Qt::DecorationRole));
    QCOMPARE(centre(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>(), 16), QColor(Qt::red).rgb());
}

void TestSearchResultModel::loaderClosesWhateverItsLookupsAreDoing()
{
    // The search window closes while icons are still being looked up: the loader must end its
    // thread cleanly whether a lookup is queued, running, just handing its result back or done.
    // The race checker build runs this too and fails on any unordered touch of the loader's parts.
    QTemporaryDir icons;
    writeTheme(icons.path());
    QMimeDatabase db;
    const QMimeType text = db.mimeTypeForName(QStringLiteral("text/plain"));
    const QMimeType pdf = db.mimeTypeForName(QStringLiteral("application/pdf"));
    for (int round = 0; round < 60; ++round) {
        auto loader = std::make_unique<MimeIconLoader>(QStringList{icons.path()}, QStringLiteral("child"));
        QSignalSpy loaded(loader.get(), &MimeIconLoader::iconLoaded);
        loader->icon(text);
        loader->icon(pdf);
        switch (round % 3) {
        case 0: // at once
            break;
        case 1: // a moment later, most often mid-lookup
            QThread::usleep(50 * (round % 20));
            break;
        default: // after the answers came
            QTRY_COMPARE(loaded.size(), 2);
            QThread::usleep(50 * (round % 20));
            break;
        }
        loader.reset();
    }
}

QTEST_MAIN(TestSearchResultModel)
#include "tst_searchresultmodel.moc"
