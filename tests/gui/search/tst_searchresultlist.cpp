// SPDX-License-Identifier: GPL-3.0-or-later
// The search result list as the user drives it: selection by the right button, the context menu
// and its commands, opening, renaming in place, check marks from the keyboard, the header's
// column menu and sorting by clicks.
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"
#include "core/packs/MatchPreview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSearchResultList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void setUpAsAResultList();
    void rightClickSelectsAndShowsTheMenu();
    void menuCommandsFollowTheSelection();
    void checkAndUncheckFromMenuAndSpace();
    void openingGoesToThePlatform_data();
    void openingGoesToThePlatform();
    void openFailureIsReported();
    void copyPathPutsPathsOnTheClipboard();
    void renameInPlace();
    void renameFailureIsReported();
    void headerMenuShowsAndHidesColumns();
    void columnsFillTheWidthUntilTheUserSizesOne();
    void headerClicksSort();
    void dragTakesTheSelectedFiles();
    void focusFirstEntry();
    void previewKeepsTheMatchInSight_data();
    void previewKeepsTheMatchInSight();

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QPoint cellCentre(int row, int column) const;
    void rightClick(int row, int column);
    void doubleClick(int row, int column);

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<SearchResultList> m_list;
};

void TestSearchResultList::init()
{
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    for (const char *name : {"one/alpha.txt", "two/beta.txt", "two/gamma.pdf", "three/delta.txt"})
        QVERIFY(TestSupport::writeFile(file(QLatin1String(name)), name));
    m_services = std::make_unique<ScriptedServices>();
    m_list = std::make_unique<SearchResultList>();
    m_list->resize(700, 300);
    m_list->results()->appendPaths({file(QStringLiteral("one/alpha.txt")), file(QStringLiteral("two/beta.txt")),
                                    file(QStringLiteral("two/gamma.pdf")), file(QStringLiteral("three/delta.txt"))});
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
}

void TestSearchResultList::cleanup()
{
    m_list.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
}

QPoint TestSearchResultList::cellCentre(int row, int column) const
{
    // The right part of a name cell: clear of the check box and the icon.
    const QRect rect = m_list->visualRect(m_list->model()->index(row, column));
    return column == 0 ? QPoint(rect.right() - 10, rect.center().y()) : rect.center();
}

void TestSearchResultList::rightClick(int row, int column)
{
    // A right press selects; the window system then asks for the context menu.
    const QPoint pos = cellCentre(row, column);
    QTest::mousePress(m_list->viewport(), Qt::RightButton, {}, pos);
    QTest::mouseRelease(m_list->viewport(), Qt::RightButton, {}, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, m_list->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(m_list->viewport(), &event);
}

void TestSearchResultList::doubleClick(int row, int column)
{
    // The window system sends a press and a release before the double click.
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(row, column));
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(row, column));
}

void TestSearchResultList::setUpAsAResultList()
{
    QCOMPARE(m_list->objectName(), QStringLiteral("velvSearchResult"));
    QCOMPARE(m_list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(m_list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(!m_list->rootIsDecorated());
    QCOMPARE(m_list->dragDropMode(), QAbstractItemView::DragOnly);
    QStringList headers;
    for (int column = 0; column < m_list->model()->columnCount(); ++column)
        headers << m_list->model()->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({QStringLiteral("Name"), QStringLiteral("Account"), QStringLiteral("In Folder"),
                                   QStringLiteral("Size"), QStringLiteral("Type"), QStringLiteral("Date Modified"),
                                   QStringLiteral("Preview")}));
    // Nothing sorted at first: the order of adding.
    QCOMPARE(m_list->header()->sortIndicatorSection(), -1);
    QCOMPARE(m_list->results()->path(0), file(QStringLiteral("one/alpha.txt")));
}

void TestSearchResultList::rightClickSelectsAndShowsTheMenu()
{
    rightClick(1, 1);
    QCOMPARE(m_list->selectedRows(), QList<int>{1});
    QMenu *menu = m_list->contextMenu();
    QTRY_VERIFY(menu->isVisible());
    QStringList texts;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text().remove(u'&');
    }
    QCOMPARE(texts,
             QStringList({QStringLiteral("Open"), QStringLiteral("Open Containing Folder"), QStringLiteral("Copy Path"),
                          QStringLiteral("Rename"), QStringLiteral("Check"), QStringLiteral("Uncheck")}));
    QCOMPARE(menu->defaultAction(), m_list->openAction());
    menu->close();

    // A right click inside a selection of several keeps it; outside it selects just that row.
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(2, 1));
    QCOMPARE(m_list->selectedRows(), QList<int>({0, 2}));
    rightClick(2, 3);
    QCOMPARE(m_list->selectedRows(), QList<int>({0, 2}));
    QTRY_VERIFY(menu->isVisible());
    QVERIFY(!m_list->renameAction()->isEnabled()); // one file at a time
    menu->close();
    rightClick(3, 0);
    QCOMPARE(m_list->selectedRows(), QList<int>{3});
    menu->close();

    // Below the last row there is nothing to act on: no menu.
    m_list->clearSelection();
    const QPoint below(20, m_list->visualRect(m_list->model()->index(3, 0)).bottom() + 30);
    QTest::mousePress(m_list->viewport(), Qt::RightButton, {}, below);
    QContextMenuEvent event(QContextMenuEvent::Mouse, below, m_list->viewport()->mapToGlobal(below));
    QApplication::sendEvent(m_list->viewport(), &event);
    QVERIFY(!menu->isVisible());
}

void TestSearchResultList::menuCommandsFollowTheSelection()
{
    m_list->results()->setChecked(1, true);
    m_list->selectionModel()->select(m_list->model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(m_list->openAction()->isEnabled());
    QVERIFY(m_list->renameAction()->isEnabled());
    QVERIFY(m_list->checkAction()->isEnabled());
    QVERIFY(!m_list->uncheckAction()->isEnabled());
    m_list->selectionModel()->select(m_list->model()->index(1, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(!m_list->checkAction()->isEnabled());
    QVERIFY(m_list->uncheckAction()->isEnabled());
    m_list->clearSelection();
    for (QAction *action : {m_list->openAction(), m_list->openFolderAction(), m_list->copyPathAction(),
                            m_list->renameAction(), m_list->checkAction(), m_list->uncheckAction()})
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
}

void TestSearchResultList::checkAndUncheckFromMenuAndSpace()
{
    SearchResultModel *results = m_list->results();
    QSignalSpy checked(results, &SearchResultModel::checkedChanged);
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(1, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(2, 1));
    m_list->checkAction()->trigger();
    QCOMPARE(results->checkedPaths(),
             QStringList({file(QStringLiteral("two/beta.txt")), file(QStringLiteral("two/gamma.pdf"))}));
    QCOMPARE(checked.last().at(0).toInt(), 2);
    m_list->uncheckAction()->trigger();
    QCOMPARE(results->checkedCount(), 0);
    QCOMPARE(checked.last().at(0).toInt(), 0);

    // Space turns the current row's mark over, and the rest of the selection with it.
    QTest::keyClick(m_list.get(), Qt::Key_Space);
    QCOMPARE(results->checkedCount(), 2);
    results->setChecked(2, false);
    QTest::keyClick(m_list.get(), Qt::Key_Space); // the current row (2) was unchecked: both get checked
    QCOMPARE(results->checkedCount(), 2);
    QTest::keyClick(m_list.get(), Qt::Key_Space);
    QCOMPARE(results->checkedCount(), 0);

    // A click on the check box itself checks just that row.
    const QRect rect = m_list->visualRect(m_list->model()->index(3, 0));
    QStyleOptionViewItem option;
    option.initFrom(m_list.get());
    option.rect = rect;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = m_list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, m_list.get());
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, box.center());
    QCOMPARE(results->checkedPaths(), QStringList{file(QStringLiteral("three/delta.txt"))});
    QCOMPARE(checked.last().at(0).toInt(), 1);
}

void TestSearchResultList::openingGoesToThePlatform_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("double click") << "double click";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Open") << "open";
}

void TestSearchResultList::openingGoesToThePlatform()
{
    QFETCH(QString, how);
    if (how == QLatin1String("double click")) {
        doubleClick(2, 0);
        QCOMPARE(m_services->urls, QList<QUrl>{QUrl::fromLocalFile(file(QStringLiteral("two/gamma.pdf")))});
        // The double click opened the file; it neither renamed nor checked anything.
        QVERIFY(!m_list->viewport()->findChild<QLineEdit *>());
        QCOMPARE(m_list->results()->checkedCount(), 0);
        return;
    }
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(2, 1));
    if (how == QLatin1String("enter"))
        QTest::keyClick(m_list.get(), Qt::Key_Return);
    else
        m_list->openAction()->trigger();
    QCOMPARE(m_services->urls, QList<QUrl>({QUrl::fromLocalFile(file(QStringLiteral("one/alpha.txt"))),
                                            QUrl::fromLocalFile(file(QStringLiteral("two/gamma.pdf")))}));

    // The containing folders, each once.
    m_services->urls.clear();
    m_list->selectAll();
    m_list->openFolderAction()->trigger();
    QCOMPARE(m_services->urls, QList<QUrl>({QUrl::fromLocalFile(file(QStringLiteral("one"))),
                                            QUrl::fromLocalFile(file(QStringLiteral("two"))),
                                            QUrl::fromLocalFile(file(QStringLiteral("three")))}));
}

void TestSearchResultList::openFailureIsReported()
{
    m_services->setOpenUrlResult(false);
    doubleClick(1, 2);
    QCOMPARE(m_services->urls.size(), 1);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages.first().icon, QMessageBox::Warning);
    QCOMPARE(m_services->messages.first().text,
             QStringLiteral("No program could open \"%1\".")
                 .arg(QDir::toNativeSeparators(file(QStringLiteral("two/beta.txt")))));
}

void TestSearchResultList::copyPathPutsPathsOnTheClipboard()
{
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(3, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(1, 1));
    m_list->copyPathAction()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QDir::toNativeSeparators(file(QStringLiteral("two/beta.txt"))) + u'\n' +
                 QDir::toNativeSeparators(file(QStringLiteral("three/delta.txt"))));
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(m_list.get(), QKeySequence::Copy);
    QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("delta.txt")));
}

void TestSearchResultList::renameInPlace()
{
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(2, 1));
    QTest::keyClick(m_list.get(), Qt::Key_F2);
    auto *editor = m_list->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTRY_VERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("gamma.pdf"));
    // The name without its extension is selected: typing replaces just that.
    QTRY_COMPARE(editor->selectedText(), QStringLiteral("gamma"));
    QTest::keyClicks(editor, QStringLiteral("omega"));
    // Changes to the row while the name is edited (its icon arriving, its check mark) leave the
    // typed name alone.
    m_list->results()->setChecked(2, true);
    QCoreApplication::processEvents();
    QCOMPARE(editor->text(), QStringLiteral("omega.pdf"));
    QTest::keyClick(editor, Qt::Key_Return); // commits on the next turn of the event loop
    QTRY_VERIFY(!QFileInfo::exists(file(QStringLiteral("two/gamma.pdf"))));
    QCOMPARE(TestSupport::readFile(file(QStringLiteral("two/omega.pdf"))), QByteArray("two/gamma.pdf"));
    QCOMPARE(m_list->results()->path(2), file(QStringLiteral("two/omega.pdf")));
    QCoreApplication::processEvents();
    QVERIFY(m_services->messages.isEmpty());

    // The menu's Rename opens the same editor.
    m_list->renameAction()->trigger();
    editor = m_list->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("omega.pdf"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(m_list->results()->path(2), file(QStringLiteral("two/omega.pdf")));
}

void TestSearchResultList::renameFailureIsReported()
{
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(1, 1));
    m_list->renameAction()->trigger();
    auto *editor = m_list->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTRY_VERIFY(editor->isVisible());
    editor->setText(QStringLiteral("gamma.pdf")); // taken by a file beside it
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages.first().icon, QMessageBox::Critical);
    QVERIFY2(m_services->messages.first().text.startsWith(
                 QStringLiteral("\"beta.txt\" could not be renamed to \"gamma.pdf\".\n")),
             qPrintable(m_services->messages.first().text));
    QCOMPARE(TestSupport::readFile(file(QStringLiteral("two/beta.txt"))), QByteArray("two/beta.txt"));
    QCOMPARE(TestSupport::readFile(file(QStringLiteral("two/gamma.pdf"))), QByteArray("two/gamma.pdf"));
    QCOMPARE(m_list->results()->path(1), file(QStringLiteral("two/beta.txt")));
}

void TestSearchResultList::headerMenuShowsAndHidesColumns()
{
    QHeaderView *header = m_list->header();
    const QPoint pos(header->sectionViewportPosition(2) + 5, header->height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, header->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(header->viewport(), &event);
    QMenu *menu = m_list->headerMenu();
    QTRY_VERIFY(menu->isVisible());
    QStringList texts;
    for (QAction *action : menu->actions()) {
        texts << action->text();
        QVERIFY(action->isChecked());
    }
    QCOMPARE(texts, QStringList({QStringLiteral("Name"), QStringLiteral("Account"), QStringLiteral("In Folder"),
                                 QStringLiteral("Size"), QStringLiteral("Type"), QStringLiteral("Date Modified"),
                                 QStringLiteral("Preview")}));
    QVERIFY(!menu->actions().at(SearchResultModel::ColumnName)->isEnabled());
    menu->actions().at(SearchResultModel::ColumnSize)->trigger();
    QVERIFY(m_list->isColumnHidden(SearchResultModel::ColumnSize));
    QVERIFY(!menu->actions().at(SearchResultModel::ColumnSize)->isChecked());
    menu->actions().at(SearchResultModel::ColumnSize)->trigger();
    QVERIFY(!m_list->isColumnHidden(SearchResultModel::ColumnSize));
    menu->close();
}

void TestSearchResultList::columnsFillTheWidthUntilTheUserSizesOne()
{
    QHeaderView *header = m_list->header();
    const auto shownWidth = [&] {
        int sum = 0;
        for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
            sum += m_list->isColumnHidden(column) ? 0 : header->sectionSize(column);
        return sum;
    };
    // At any width of the window, and with a column hidden, the columns fill the list exactly: no
    // column is pushed out of sight behind a horizontal scroll bar.
    for (int width : {520, 900, 700}) {
        m_list->resize(width, 300);
        QTRY_COMPARE(shownWidth(), m_list->viewport()->width());
        QTRY_COMPARE(m_list->horizontalScrollBar()->maximum(), 0);
    }
    QVERIFY(header->sectionSize(SearchResultModel::ColumnFolder) > header->sectionSize(SearchResultModel::ColumnSize));
    m_list->headerMenu()->actions().at(SearchResultModel::ColumnType)->trigger();
    QCOMPARE(shownWidth(), m_list->viewport()->width());
    m_list->headerMenu()->actions().at(SearchResultModel::ColumnType)->trigger();
    QCOMPARE(shownWidth(), m_list->viewport()->width());

    // The user drags the border between Name and In Folder: the widths are theirs from then on.
    const int fitted = header->sectionSize(SearchResultModel::ColumnName);
    const int border = header->sectionViewportPosition(SearchResultModel::ColumnName) + fitted - 1;
    const int y = header->height() / 2;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(border, y));
    QTest::mouseMove(header->viewport(), QPoint(border + 40, y));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(border + 40, y));
    const int dragged = header->sectionSize(SearchResultModel::ColumnName);
    QCOMPARE(dragged, fitted + 40);
    const int folder = header->sectionSize(SearchResultModel::ColumnFolder);
    m_list->resize(520, 300);
    QTest::qWait(20);
    QCOMPARE(header->sectionSize(SearchResultModel::ColumnName), dragged);
    QCOMPARE(header->sectionSize(SearchResultModel::ColumnFolder), folder);
}

void TestSearchResultList::headerClicksSort()
{
    QHeaderView *header = m_list->header();
    const auto clickSection = [&](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2));
    };
    const auto names = [&] {
        QStringList list;
        for (int row = 0; row < m_list->model()->rowCount(); ++row)
            list << m_list->model()->index(row, 0).data().toString();
        return list;
    };
    clickSection(SearchResultModel::ColumnName);
    QCOMPARE(m_list->results()->sortColumn(), int(SearchResultModel::ColumnName));
    QCOMPARE(names(), QStringList({QStringLiteral("alpha.txt"), QStringLiteral("beta.txt"), QStringLiteral("delta.txt"),
                                   QStringLiteral("gamma.pdf")}));
    clickSection(SearchResultModel::ColumnName);
    QCOMPARE(m_list->results()->sortOrder(), Qt::DescendingOrder);
    QCOMPARE(names().first(), QStringLiteral("gamma.pdf"));
    // The third click returns to the order of adding.
    clickSection(SearchResultModel::ColumnName);
    QCOMPARE(m_list->results()->sortColumn(), -1);
    QCOMPARE(names(), QStringList({QStringLiteral("alpha.txt"), QStringLiteral("beta.txt"), QStringLiteral("gamma.pdf"),
                                   QStringLiteral("delta.txt")}));
    clickSection(SearchResultModel::ColumnFolder);
    QCOMPARE(names(), QStringList({QStringLiteral("alpha.txt"), QStringLiteral("delta.txt"), QStringLiteral("beta.txt"),
                                   QStringLiteral("gamma.pdf")}));
}

void TestSearchResultList::dragTakesTheSelectedFiles()
{
    QVERIFY(m_list->dragEnabled());
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, cellCentre(3, 1));
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(0, 1));
    // What a drag of the selection carries (the view hands the selected cells to the model).
    std::unique_ptr<QMimeData> mime(m_list->model()->mimeData(m_list->selectionModel()->selectedIndexes()));
    QVERIFY(mime);
    QCOMPARE(mime->urls(), QList<QUrl>({QUrl::fromLocalFile(file(QStringLiteral("one/alpha.txt"))),
                                        QUrl::fromLocalFile(file(QStringLiteral("three/delta.txt")))}));
}

void TestSearchResultList::focusFirstEntry()
{
    QWidget other;
    other.show();
    other.setFocus();
    m_list->sortByColumn(SearchResultModel::ColumnName, Qt::DescendingOrder);
    m_list->selectionModel()->select(m_list->model()->index(2, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->focusFirstEntry();
    QVERIFY(m_list->hasFocus() || QApplication::focusWidget() == m_list.get());
    QCOMPARE(m_list->currentIndex().row(), 0);
    QCOMPARE(m_list->selectedRows(), QList<int>{0});

    // An empty list takes no focus.
    m_list->results()->clear();
    other.activateWindow();
    other.setFocus();
    m_list->focusFirstEntry();
    QVERIFY(!m_list->currentIndex().isValid());
}

void TestSearchResultList::previewKeepsTheMatchInSight_data()
{
    QTest::addColumn<int>("chars"); // the width, in average characters
    QTest::addColumn<bool>("whole");
    QTest::newRow("room for all") << 200 << true;
    QTest::newRow("context cut") << 40 << false;
    QTest::newRow("little more than the match") << 22 << false;
}

void TestSearchResultList::previewKeepsTheMatchInSight()
{
    QFETCH(int, chars);
    QFETCH(bool, whole);
    const MatchPreviewText preview{QStringLiteral("some text before the "), QStringLiteral("Marigold ledger #7"),
                                   QStringLiteral(" and the text after it"), true, false};
    const QFontMetrics normal(m_list->font());
    QFont boldFont = m_list->font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    const int width = chars * normal.averageCharWidth();
    const SearchResultList::ElidedPreview parts = SearchResultList::elidePreview(preview, normal, bold, width);
    QCOMPARE(parts.match, preview.match);
    QVERIFY(normal.horizontalAdvance(parts.before) + bold.horizontalAdvance(parts.match) +
                normal.horizontalAdvance(parts.after) <= width);
    const QString ellipsis(QChar(0x2026));
    if (whole) {
        QCOMPARE(parts.before, ellipsis + preview.before);
        QCOMPARE(parts.after, preview.after);
        return;
    }
    // The text next to the match stays; what is left out is marked.
    QVERIFY2(parts.before.isEmpty() ||
                 (parts.before.startsWith(ellipsis) && preview.before.endsWith(parts.before.mid(1))),
             qPrintable(parts.before));
    QVERIFY2(parts.after.isEmpty() ||
                 (parts.after.endsWith(ellipsis) && preview.after.startsWith(parts.after.chopped(1))),
             qPrintable(parts.after));
}

QTEST_MAIN(TestSearchResultList)
#include "tst_searchresultlist.moc"
