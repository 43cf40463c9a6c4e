// SPDX-License-Identifier: GPL-3.0-or-later
// The search window as the user drives it: its controls, the two passes per account and what they
// list, Cancel, Enter and F5, closing and destroying it during a search, the check marks and
// Save Selection, and the main window's Search command.
#include "FolderFixtures.h"
#include "PackFixtures.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/DataSet.h"
#include "core/search/FindFile.h"
#include "core/settings/LastFolder.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/search/PackEntryOpener.h"
#include "gui/search/SearchAnimation.h"
#include "gui/search/SearchForm.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// The accounts as the window sees them: their save folders, in account order.
struct ListAccounts
{
    QStringList paths;
    int snapshots = 0; // how often the window took them

    QList<AccountFolder> take()
    {
        ++snapshots;
        QList<AccountFolder> folders;
        for (int i = 0; i < paths.size(); ++i)
            folders.append({i, QStringLiteral("Site %1").arg(i), paths[i]});
        return folders;
    }
};

// Records what a widget is sent, to show what never reached it.
class KeySpy : public QObject
{
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent *>(event)->key();
        return false;
    }
};

// How long a search may take before a test counts it as hung: a guard, not a time limit.
constexpr int kSearchEnds = 60'000;

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestSearchWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void controlsAndPresets();
    void tabOrder();
    void nameMasks_data();
    void nameMasks();
    void bothOptionsListAFileOnce();
    void twoAccountsSharingAFolder();
    void emptyFindTextListsEveryFile();
    void severalMasksNarrowOnlyTheFirst();
    void optionBoxesNeverBothOff_data();
    void optionBoxesNeverBothOff();
    void passesRunFromTheEventLoop();
    void cancelDuringTheSecondAccount();
    void enterInTheFindBoxStartsAndStops();
    void f5ReachesNoControl();
    void escapeAndCancelCloseOnlyWhenIdle();
    void emptyAccountTable();
    void fileDeletedBeforeTheListIsFilled();
    void accountsWithoutOrWithAMissingFolder();
    void namesWithoutASpellingAreToldAbout();
    void animationMovesOnlyWhileSearching();
    void checkMarksDriveSaveSelection();
    void saveSelectionKeepsAnExistingFile();
    void saveSelectionReportsFilesThatDidNotArrive();
    void saveSelectionCancelledPickerDoesNothing();
    void saveSelectionStartsInTheFolderUsedLast_data();
    void saveSelectionStartsInTheFolderUsedLast();
    void closingDuringASearchStopsIt();
    void destroyingDuringASearch();
    void destroyedWindowHearsNothingFromItsSearch_data();
    void destroyedWindowHearsNothingFromItsSearch();
    void pathsToldApartAsTheFileSystemDoes();
    void resultColumnsAtTheFirstSize();
    void sizeAndColumnsAreKeptBetweenRuns();
    void saveFolderWithListSyntaxInItsPath_data();
    void saveFolderWithListSyntaxInItsPath();
    void mainWindowSearchCommand();
    void searchInsidePacksListsEntries_data();
    void searchInsidePacksListsEntries();
    void accountAndPreviewColumns();
    void openingAnEntryTakesItOutPrivately();
    void openingAnEntryThatCannotBeRead_data();
    void openingAnEntryThatCannotBeRead();
    void saveSelectionTakesEntriesOutOfPacks();
    void searchPacksOptionIsRemembered();
    void secondSearchTakesTheTextFromTheCache();
    void lockedEntryIsFoundByItsName();

private:
    QString root(const QString &relative = {}) const { return QDir(m_dir->path()).filePath(relative); }
    void write(const QString &relative, const QByteArray &contents = "filler") const;
    // Clicks Find and handles events until the search has ended.
    void search(const QString &findText, const QString &mask = QStringLiteral("*.*"));
    // Handles events until the window's search has ended, or the window has gone.
    static void waitForTheEnd(const QPointer<TfrmSearch> &window);
    QStringList listed() const;
    QString status() const;
    // Runs hook on every status text the search shows (the folders as it enters them).
    void onStatus(std::function<void(const QString &)> hook);
    template <typename T> T *child(const char *name) const
    {
        T *widget = m_window->findChild<T *>(QLatin1String(name));
        [&] { QVERIFY2(widget, name); }();
        return widget;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    ListAccounts m_accounts;
    std::unique_ptr<TfrmSearch> m_window;
};

void TestSearchWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_services = std::make_unique<ScriptedServices>();
    // Each test starts with the window's first size and fitted columns.
    TestSupport::clearSettings();
    m_accounts = ListAccounts();
    m_window = std::make_unique<TfrmSearch>([this] { return m_accounts.take(); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestSearchWindow::cleanup()
{
    m_window.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
}

void TestSearchWindow::write(const QString &relative, const QByteArray &contents) const
{
    QVERIFY2(TestSupport::writeFile(root(relative), contents), qPrintable(relative));
}

void TestSearchWindow::search(const QString &findText, const QString &mask)
{
    child<QLineEdit>("cbFindText")->setText(findText);
    child<QComboBox>("cbFileMask")->setCurrentText(mask);
    QTest::mouseClick(child<QPushButton>("btnFind"), Qt::LeftButton);
    waitForTheEnd(m_window.get());
    QVERIFY(!m_window->isSearching());
}

void TestSearchWindow::waitForTheEnd(const QPointer<TfrmSearch> &window)
{
    QTRY_VERIFY_WITH_TIMEOUT(!window || !window->isSearching(), kSearchEnds);
}

QStringList TestSearchWindow::listed() const
{
    QStringList paths;
    SearchResultModel *results = m_window->resultList()->results();
    for (int row = 0; row < results->count(); ++row)
        paths << QDir(m_dir->path()).relativeFilePath(results->path(row));
    return paths;
}

QString TestSearchWindow::status() const
{
    return m_window->findChild<QStatusBar *>(QStringLiteral("stSearch"))->currentMessage();
}

void TestSearchWindow::onStatus(std::function<void(const QString &)> hook)
{
    connect(child<QStatusBar>("stSearch"), &QStatusBar::messageChanged, m_window.get(), std::move(hook));
}

// --- Controls ------------------------------------------------------------------------------------

void TestSearchWindow::controlsAndPresets()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("frmSearch"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Search"));
    QCOMPARE(m_window->minimumSize(), QSize(442, 233));
    QCOMPARE(child<QLabel>("lblFindText")->text(), QStringLiteral("Fi&nd:"));
    QCOMPARE(child<QLabel>("lblFindText")->buddy(), child<QLineEdit>("cbFindText"));
    QCOMPARE(child<QLabel>("lblFileMask")->text(), QStringLiteral("&In Files/Types:"));
    QCOMPARE(child<QLabel>("lblFileMask")->buddy(), child<QComboBox>("cbFileMask"));
    QVERIFY(child<QLineEdit>("cbFindText")->text().isEmpty());
    QVERIFY(child<QLineEdit>("cbFindText")->hasFocus());

    auto *masks = child<QComboBox>("cbFileMask");
    QVERIFY(masks->isEditable());
    QCOMPARE(masks->currentText(), QStringLiteral("*.*"));
    QStringList items;
    for (int i = 0; i < masks->count(); ++i)
        items << masks->itemText(i);
    QCOMPARE(items, QStringList({QStringLiteral("*.*"), QStringLiteral("*.txt"), QStringLiteral("*.pdf"),
                                 QStringLiteral("*.doc"), QStringLiteral("*.exe"), QStringLiteral("*.mp3"),
                                 QStringLiteral("*.htm;*.html"), QStringLiteral("*.php")}));

    QCOMPARE(child<QPushButton>("btnFind")->text(), QStringLiteral("&Find"));
    QVERIFY(child<QPushButton>("btnFind")->isDefault());
    QCOMPARE(child<QPushButton>("btnCancel")->text(), QStringLiteral("Cancel"));
    QCOMPARE(child<QGroupBox>("gbxSearchOptions")->title(), QStringLiteral(" Search Options "));
    QCOMPARE(child<QCheckBox>("chkSearchFilenames")->text(), QStringLiteral("Search filenames"));
    QVERIFY(child<QCheckBox>("chkSearchFilenames")->isChecked());
    QCOMPARE(child<QCheckBox>("chkSearchContents")->text(), QStringLiteral("Search file contents"));
    QVERIFY(child<QCheckBox>("chkSearchContents")->isChecked());
    QVERIFY(child<SearchAnimation>("Animate"));
    QVERIFY(child<SearchResultList>("velvSearchResult"));
    QCOMPARE(child<QPushButton>("btnSelectAll")->text(), QStringLiteral("Select All"));
    QCOMPARE(child<QPushButton>("btnUnselectAll")->text(), QStringLiteral("Unselect All"));
    QCOMPARE(child<QPushButton>("btnSaveSelection")->text(), QStringLiteral("Save Selection..."));
    QVERIFY(!child<QPushButton>("btnSaveSelection")->isEnabled());
    QVERIFY(status().isEmpty());
    QVERIFY(m_window->FileFinder()->Threaded());
}

void TestSearchWindow::tabOrder()
{
    write(QStringLiteral("a/one.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    child<QPushButton>("btnSelectAll")->click(); // Save Selection takes part only when enabled
    child<QLineEdit>("cbFindText")->setFocus();
    const QStringList expected = {QStringLiteral("cbFileMask"),         QStringLiteral("btnFind"),
                                  QStringLiteral("btnCancel"),          QStringLiteral("velvSearchResult"),
                                  QStringLiteral("chkSearchFilenames"), QStringLiteral("chkSearchContents"),
                                  QStringLiteral("chkSearchPacks"),     QStringLiteral("btnEmptyCache"),
                                  QStringLiteral("btnSelectAll"),
                                  QStringLiteral("btnUnselectAll"),
                                  QStringLiteral("btnSaveSelection"),   QStringLiteral("cbFindText")};
    QStringList order;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        // The mask box's edit is a part of it.
        while (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget();
        order << (focus ? focus->objectName() : QString());
    }
    QCOMPARE(order, expected);
}

void TestSearchWindow::nameMasks_data()
{
    QTest::addColumn<QString>("maskText");
    QTest::addColumn<QString>("findText");
    QTest::addColumn<QStringList>("masks");
    QTest::newRow("every file") << "*.*"
                                << "report" << QStringList{QStringLiteral("*report*.*")};
    QTest::newRow("a name without a star") << "readme"
                                           << "report" << QStringList{QStringLiteral("*report*readme")};
    QTest::newRow("only the first mask narrowed")
        << "*.htm;*.html"
        << "report" << QStringList{QStringLiteral("*report*.htm"), QStringLiteral("*.html")};
    QTest::newRow("the first star, in a later mask")
        << "readme;*.txt"
        << "report" << QStringList{QStringLiteral("readme"), QStringLiteral("*report*.txt")};
    QTest::newRow("a star inside a mask") << "a*b"
                                          << "x" << QStringList{QStringLiteral("a*x*b")};
    QTest::newRow("no find text") << "*.*"
                                  << "" << QStringList{QStringLiteral("**.*")};
    QTest::newRow("no mask text") << ""
                                  << "report" << QStringList{QStringLiteral("*report*")};
    QTest::newRow("a find text holding the list separator") << "*.txt"
                                                            << "a;b" << QStringList{QStringLiteral("*a;b*.txt")};
}

void TestSearchWindow::nameMasks()
{
    QFETCH(QString, maskText);
    QFETCH(QString, findText);
    QFETCH(QStringList, masks);
    QCOMPARE(TfrmSearch::NameMasks(maskText, findText), masks);
}

// --- What a search lists -------------------------------------------------------------------------

void TestSearchWindow::bothOptionsListAFileOnce()
{
    write(QStringLiteral("acct/report-2020.txt"), "annual REPORT inside");
    write(QStringLiteral("acct/deep/notes.txt"), "see the report");
    write(QStringLiteral("acct/deep/report.pdf"), "nothing");
    write(QStringLiteral("acct/deep/other.txt"), "nothing");
    m_accounts.paths = {root(QStringLiteral("acct"))};
    search(QStringLiteral("report"));
    QCOMPARE(sorted(listed()),
             QStringList({QStringLiteral("acct/deep/notes.txt"), QStringLiteral("acct/deep/report.pdf"),
                          QStringLiteral("acct/report-2020.txt")}));
    // Two folders, entered once by each pass.
    QVERIFY2(status().startsWith(QStringLiteral("\"report\" in *.*: 4 folder(s) searched and 3 file(s) found - ")),
             qPrintable(status()));
    QVERIFY2(QRegularExpression(QStringLiteral("^\"report\" in \\*\\.\\*: 4 folder\\(s\\) searched and 3 file\\(s\\) "
                                               "found - \\d+\\.\\d{3} second\\(s\\)$"))
                 .match(status())
                 .hasMatch(),
             qPrintable(status()));
    // The list has the focus, on its first entry.
    QVERIFY(m_window->resultList()->hasFocus());
    QCOMPARE(m_window->resultList()->selectedRows(), QList<int>{0});

    // Only one option: only its pass runs.
    child<QCheckBox>("chkSearchContents")->click();
    search(QStringLiteral("report"));
    QCOMPARE(sorted(listed()),
             QStringList({QStringLiteral("acct/deep/report.pdf"), QStringLiteral("acct/report-2020.txt")}));
    QVERIFY2(status().startsWith(
                 QStringLiteral("\"report\" in the names of *.*: 2 folder(s) searched and 2 file(s) found")),
             qPrintable(status()));
}

void TestSearchWindow::twoAccountsSharingAFolder()
{
    write(QStringLiteral("shared/invoice.txt"));
    write(QStringLiteral("shared/sub/old invoice.doc"));
    write(QStringLiteral("own/invoice 3.txt"));
    m_accounts.paths = {root(QStringLiteral("shared")), root(QStringLiteral("own")), root(QStringLiteral("shared/"))};
    search(QStringLiteral("invoice"));
    QCOMPARE(sorted(listed()), QStringList({QStringLiteral("own/invoice 3.txt"), QStringLiteral("shared/invoice.txt"),
                                            QStringLiteral("shared/sub/old invoice.doc")}));
    // Folders count once per pass and account: (2 + 1 + 2) x 2.
    QVERIFY2(status().startsWith(QStringLiteral("\"invoice\" in *.*: 10 folder(s) searched and 3 file(s) found")),
             qPrintable(status()));
    // The files reach the list account by account, each in collation order.
    QCOMPARE(listed(), QStringList({QStringLiteral("shared/invoice.txt"), QStringLiteral("shared/sub/old invoice.doc"),
                                    QStringLiteral("own/invoice 3.txt")}));
}

void TestSearchWindow::emptyFindTextListsEveryFile()
{
    write(QStringLiteral("a/one.txt"));
    write(QStringLiteral("a/README"));
    write(QStringLiteral("a/.hidden"));
    write(QStringLiteral("a/sub/two.pdf"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    const QStringList all = {QStringLiteral("a/.hidden"), QStringLiteral("a/README"), QStringLiteral("a/one.txt"),
                             QStringLiteral("a/sub/two.pdf")};
    for (const char *option : {"chkSearchFilenames", "chkSearchContents"}) {
        // Each pass alone lists every file.
        child<QCheckBox>(option)->click();
        search(QString());
        QCOMPARE(sorted(listed()), all);
        child<QCheckBox>(option)->click();
    }
    // An empty mask text narrows the name pass to the find text alone and gives the content pass
    // nothing to look at; the folders are still walked.
    search(QStringLiteral("one"), QString());
    QCOMPARE(listed(), QStringList{QStringLiteral("a/one.txt")});
    QVERIFY(status().startsWith(QStringLiteral("\"one\": 4 folder(s) searched and 1 file(s) found")));
}

void TestSearchWindow::severalMasksNarrowOnlyTheFirst()
{
    write(QStringLiteral("a/report.htm"));
    write(QStringLiteral("a/plan.htm"), "report");
    write(QStringLiteral("a/plan.html"));
    write(QStringLiteral("a/sub/report.txt"));
    write(QStringLiteral("a/sub/REPORT2.HTM"));
    write(QStringLiteral("a/sub/index.html"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    child<QCheckBox>("chkSearchContents")->click();
    search(QStringLiteral("report"), QStringLiteral("*.htm;*.html"));
    QCOMPARE(sorted(listed()), QStringList({QStringLiteral("a/plan.html"), QStringLiteral("a/report.htm"),
                                            QStringLiteral("a/sub/REPORT2.HTM"), QStringLiteral("a/sub/index.html")}));
}

void TestSearchWindow::optionBoxesNeverBothOff_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("names, then contents, clicked") << "chkSearchFilenames"
                                                   << "chkSearchContents" << false;
    QTest::newRow("contents, then names, clicked") << "chkSearchContents"
                                                   << "chkSearchFilenames" << false;
    QTest::newRow("names, then contents, by space") << "chkSearchFilenames"
                                                    << "chkSearchContents" << true;
}

void TestSearchWindow::optionBoxesNeverBothOff()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, byKey);
    auto *a = m_window->findChild<QCheckBox *>(first);
    auto *b = m_window->findChild<QCheckBox *>(second);
    const auto toggle = [byKey](QCheckBox *box) {
        if (byKey) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
        } else {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
    };
    toggle(a);
    QVERIFY(!a->isChecked());
    QVERIFY(b->isChecked());
    toggle(b); // unchecking the last one checks the other again
    QVERIFY(!b->isChecked());
    QVERIFY(a->isChecked());
    toggle(b);
    QVERIFY(a->isChecked());
    QVERIFY(b->isChecked());
}

// --- Stopping ------------------------------------------------------------------------------------

void TestSearchWindow::passesRunFromTheEventLoop()
{
    // No loop of the window's own waits for a pass: Find returns while the search runs, and every
    // event of it reaches the window from the loop that clicked Find, none from a loop inside.
    write(QStringLiteral("a/invoice.txt"));
    write(QStringLiteral("a/sub/invoice.txt"));
    write(QStringLiteral("b/invoice.txt"));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("b"))};
    QList<int> levels;
    onStatus([&](const QString &) { levels << QThread::currentThread()->loopLevel(); });
    const int clickLevel = QThread::currentThread()->loopLevel();
    child<QLineEdit>("cbFindText")->setText(QStringLiteral("invoice"));
    QTest::mouseClick(child<QPushButton>("btnFind"), Qt::LeftButton);
    QVERIFY(m_window->isSearching());
    QVERIFY(!child<QPushButton>("btnFind")->isEnabled());
    QVERIFY(child<QPushButton>("btnCancel")->isDefault());
    waitForTheEnd(m_window.get());
    // The folders the passes entered (a status that repeats the one before is not told again),
    // and the summary.
    QCOMPARE(levels.size(), 6);
    QCOMPARE(levels, QList<int>(levels.size(), clickLevel));
    QCOMPARE(sorted(listed()), QStringList({QStringLiteral("a/invoice.txt"), QStringLiteral("a/sub/invoice.txt"),
                                            QStringLiteral("b/invoice.txt")}));
    QVERIFY(child<QPushButton>("btnFind")->isEnabled());
}

void TestSearchWindow::cancelDuringTheSecondAccount()
{
    write(QStringLiteral("first/invoice.txt"));
    write(QStringLiteral("first/sub/invoice 2.txt"));
    write(QStringLiteral("second/a/invoice.txt"));
    write(QStringLiteral("second/b/invoice.txt"));
    write(QStringLiteral("third/invoice.txt"));
    m_accounts.paths = {root(QStringLiteral("first")), root(QStringLiteral("second")), root(QStringLiteral("third"))};
    const QString second = AppendPathDelimiter(root(QStringLiteral("second")));
    QStringList foldersAfterCancel;
    bool cancelled = false;
    onStatus([&](const QString &text) {
        if (cancelled) {
            foldersAfterCancel << text;
        } else if (text == second) {
            cancelled = true;
            QTest::mouseClick(child<QPushButton>("btnCancel"), Qt::LeftButton);
        }
    });
    search(QStringLiteral("invoice"));
    QVERIFY(cancelled);
    QVERIFY(m_window->isVisible()); // Cancel during a search only stops it
    QCOMPARE(sorted(listed()),
             QStringList({QStringLiteral("first/invoice.txt"), QStringLiteral("first/sub/invoice 2.txt")}));
    // No folder after the stop; the status names the folders entered: 2 + 2 of the first account, 1 of the second.
    QCOMPARE(foldersAfterCancel.size(), 1);
    QVERIFY2(foldersAfterCancel.constFirst().startsWith(
                 QStringLiteral("Search aborted - \"invoice\" in *.*: 5 folder(s) searched and 2 file(s) found - ")),
             qPrintable(foldersAfterCancel.constFirst()));
    QVERIFY(m_window->FileFinder()->StopRequested());
    QVERIFY(child<QPushButton>("btnFind")->isEnabled());
    QVERIFY(child<QPushButton>("btnFind")->isDefault());
    QVERIFY(!child<QPushButton>("btnCancel")->isDefault());
    // The accounts were taken once, when the search began.
    QCOMPARE(m_accounts.snapshots, 1);

    // The next search runs whole again.
    search(QStringLiteral("invoice"));
    QCOMPARE(listed().size(), 5);
    QVERIFY(!status().startsWith(QStringLiteral("Search aborted")));
}

void TestSearchWindow::enterInTheFindBoxStartsAndStops()
{
    write(QStringLiteral("a/invoice.txt"));
    write(QStringLiteral("a/sub/invoice.txt"));
    write(QStringLiteral("b/invoice.txt"));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("b"))};
    auto *find = child<QLineEdit>("cbFindText");
    find->setFocus();
    QTest::keyClicks(find, QStringLiteral("invoice"));
    QTest::keyClick(find, Qt::Key_Return);
    waitForTheEnd(m_window.get());
    QCOMPARE(listed().size(), 3);
    QVERIFY(!status().startsWith(QStringLiteral("Search aborted")));

    // During a search Enter stops it, and starts nothing new.
    int searchesStarted = 0;
    m_window->FileFinder()->setOnSearchBegin([&](QObject *) { ++searchesStarted; });
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub")));
    bool pressed = false;
    onStatus([&](const QString &text) {
        if (text == sub && !pressed) {
            pressed = true;
            QVERIFY(child<QPushButton>("btnCancel")->isDefault());
            QTest::keyClick(find, Qt::Key_Enter);
        }
    });
    find->setFocus();
    QTest::keyClick(find, Qt::Key_Return);
    waitForTheEnd(m_window.get());
    QVERIFY(pressed);
    QVERIFY(status().startsWith(QStringLiteral("Search aborted - ")));
    QCOMPARE(searchesStarted, 1);
    QVERIFY(m_window->isVisible());
}

void TestSearchWindow::f5ReachesNoControl()
{
    write(QStringLiteral("a/one.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    for (const char *name : {"cbFindText", "cbFileMask", "btnFind", "velvSearchResult", "chkSearchContents"}) {
        QWidget *widget = m_window->findChild<QWidget *>(QLatin1String(name));
        widget->setFocus();
        QWidget *focus = QApplication::focusWidget();
        KeySpy spy;
        focus->installEventFilter(&spy);
        QTest::keyClick(focus, Qt::Key_F5);
        QTest::keyClick(focus, Qt::Key_F6);
        focus->removeEventFilter(&spy);
        QCOMPARE(spy.keys, QList<int>{Qt::Key_F6}); // every other key passes
    }
}

void TestSearchWindow::escapeAndCancelCloseOnlyWhenIdle()
{
    QTest::keyClick(child<QLineEdit>("cbFindText"), Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Rejected));
    m_window->show();
    QTest::mouseClick(child<QPushButton>("btnCancel"), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());

    // While searching, Esc stops the search and the window stays.
    m_window->show();
    write(QStringLiteral("a/one.txt"));
    write(QStringLiteral("a/sub/two.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub")));
    onStatus([&](const QString &text) {
        if (text == sub)
            QTest::keyClick(child<SearchResultList>("velvSearchResult"), Qt::Key_Escape);
    });
    search(QString());
    QVERIFY(m_window->isVisible());
    QVERIFY(status().startsWith(QStringLiteral("Search aborted - ")));
}

void TestSearchWindow::emptyAccountTable()
{
    search(QStringLiteral("anything"));
    QVERIFY(listed().isEmpty());
    QVERIFY2(QRegularExpression(QStringLiteral("^\"anything\" in \\*\\.\\*: 0 folder\\(s\\) searched and 0 file\\(s\\) "
                                               "found - \\d+\\.\\d{3} second\\(s\\)$"))
                 .match(status())
                 .hasMatch(),
             qPrintable(status()));
    QVERIFY(child<QPushButton>("btnFind")->isEnabled());
}

void TestSearchWindow::fileDeletedBeforeTheListIsFilled()
{
    write(QStringLiteral("a/doomed.txt"));
    write(QStringLiteral("a/kept doomed.txt"));
    write(QStringLiteral("a/sub/x.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub")));
    onStatus([&](const QString &text) {
        // The content pass has reported the files of a/ by the time it enters a/sub/.
        if (text == sub)
            QFile::remove(root(QStringLiteral("a/doomed.txt")));
    });
    search(QStringLiteral("doomed"));
    QCOMPARE(listed(), QStringList{QStringLiteral("a/kept doomed.txt")});
    QVERIFY2(status().startsWith(QStringLiteral("\"doomed\" in *.*: 4 folder(s) searched and 1 file(s) found")),
             qPrintable(status()));
}

void TestSearchWindow::accountsWithoutOrWithAMissingFolder()
{
    write(QStringLiteral("real/invoice.txt"));
    m_accounts.paths = {QString(), root(QStringLiteral("missing")), root(QStringLiteral("real"))};
    QStringList shown;
    onStatus([&](const QString &text) { shown << text; });
    search(QStringLiteral("invoice"));
    QCOMPARE(listed(), QStringList{QStringLiteral("real/invoice.txt")});
    // No folder for the account without one; the missing one is entered (and shown) by both passes.
    QVERIFY(shown.contains(AppendPathDelimiter(root(QStringLiteral("missing")))));
    QVERIFY2(status().startsWith(QStringLiteral("\"invoice\" in *.*: 4 folder(s) searched and 1 file(s) found")),
             qPrintable(status()));
    QCOMPARE(m_accounts.snapshots, 1);
}

void TestSearchWindow::namesWithoutASpellingAreToldAbout()
{
#ifdef Q_OS_LINUX
    write(QStringLiteral("a/invoice.txt"));
    write(QStringLiteral("b/invoice.txt"));
    const QByteArray folder = QFile::encodeName(root(QStringLiteral("a")));
    QVERIFY(TestSupport::makeRawEntry(folder + "/invoice\xff.txt", false));
    QVERIFY(TestSupport::makeRawEntry(folder + "/bad\xfe", true));
    QVERIFY(TestSupport::makeRawEntry(folder + "/bad\xfe/invoice 2.txt", false));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("b"))};
    search(QStringLiteral("invoice"));
    // Only files that can be opened are listed; what was left out is counted once per account.
    QCOMPARE(sorted(listed()), QStringList({QStringLiteral("a/invoice.txt"), QStringLiteral("b/invoice.txt")}));
    QVERIFY2(status().endsWith(QStringLiteral(" second(s) - 2 item(s) with unreadable names left out")),
             qPrintable(status()));
    QVERIFY(TestSupport::removeTree(root(QStringLiteral("a"))));
#else
    QSKIP("Names that are not valid in the system's encoding exist on Linux only");
#endif
}

void TestSearchWindow::animationMovesOnlyWhileSearching()
{
    write(QStringLiteral("a/one.txt"));
    write(QStringLiteral("a/sub/two.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    auto *animation = child<SearchAnimation>("Animate");
    QVERIFY(!animation->isRunning());
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub")));
    bool runningDuringSearch = false;
    bool moved = false;
    onStatus([&](const QString &text) {
        if (text != sub || runningDuringSearch)
            return;
        runningDuringSearch = animation->isRunning();
        const int frame = animation->frame();
        QTRY_VERIFY_WITH_TIMEOUT(animation->frame() != frame, 5000);
        moved = true;
    });
    search(QString());
    QVERIFY(runningDuringSearch);
    QVERIFY(moved);
    QVERIFY(!animation->isRunning());
    QCOMPARE(animation->frame(), 0);
}

// --- Check marks and Save Selection -------------------------------------------------------------

void TestSearchWindow::checkMarksDriveSaveSelection()
{
    write(QStringLiteral("a/one.txt"));
    write(QStringLiteral("a/two.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    auto *save = child<QPushButton>("btnSaveSelection");
    QVERIFY(!save->isEnabled());
    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    QCOMPARE(m_window->resultList()->results()->checkedCount(), 2);
    QVERIFY(save->isEnabled());
    QTest::mouseClick(child<QPushButton>("btnUnselectAll"), Qt::LeftButton);
    QCOMPARE(m_window->resultList()->results()->checkedCount(), 0);
    QVERIFY(!save->isEnabled());

    // One mark by the keyboard is enough.
    SearchResultList *list = m_window->resultList();
    list->focusFirstEntry();
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(save->isEnabled());

    // A new search empties the list: nothing is checked, so nothing can be saved.
    search(QString());
    QCOMPARE(listed().size(), 2);
    QCOMPARE(m_window->resultList()->results()->checkedCount(), 0);
    QVERIFY(!save->isEnabled());
}

void TestSearchWindow::saveSelectionKeepsAnExistingFile()
{
    write(QStringLiteral("a/notes.txt"), "new notes");
    write(QStringLiteral("a/sub/notes.txt"), "other notes");
    write(QStringLiteral("dest/notes.txt"), "existing");
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QStringLiteral("notes"));
    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    m_services->queuePath(root(QStringLiteral("dest")));
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>("btnSaveSelection"), Qt::LeftButton);

    QCOMPARE(m_services->pickers.size(), 1);
    QCOMPARE(m_services->pickers[0].kind, QStringLiteral("folder"));
    QCOMPARE(m_services->pickers[0].title, QStringLiteral("Select Destination Directory"));
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Information);
    // Both copies found "notes.txt" taken, the first by the file that was there.
    QCOMPARE(m_services->messages[0].text,
             QStringLiteral("The files have been successfully saved to the folder\r\n") +
                 QDir::toNativeSeparators(root(QStringLiteral("dest"))) +
                 QStringLiteral("\r\n2 file(s) copied, 2 of them under a new name because the name was taken."));
    QCOMPARE(TestSupport::readFile(root(QStringLiteral("dest/notes.txt"))), QByteArray("existing"));
    QDir dest(root(QStringLiteral("dest")));
    QCOMPARE(dest.entryList(QDir::Files).size(), 3);
    QByteArrayList copies;
    for (const QString &name : dest.entryList(QDir::Files))
        copies << TestSupport::readFile(dest.filePath(name));
    std::sort(copies.begin(), copies.end());
    QCOMPARE(copies, QByteArrayList({"existing", "new notes", "other notes"}));
}

void TestSearchWindow::saveSelectionReportsFilesThatDidNotArrive()
{
    write(QStringLiteral("a/first.txt"), "1");
    write(QStringLiteral("a/second.txt"), "2");
    write(QStringLiteral("a/third.txt"), "3");
    QVERIFY(QDir().mkpath(root(QStringLiteral("dest"))));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString(), QStringLiteral("*.txt"));
    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    // The first of them goes before it is copied; the others are still tried.
    QVERIFY(QFile::remove(root(QStringLiteral("a/first.txt"))));
    m_services->queuePath(root(QStringLiteral("dest")));
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>("btnSaveSelection"), Qt::LeftButton);

    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
    QCOMPARE(m_services->messages[0].text,
             QStringLiteral("Failed to save all files\r\n1 of 3 file(s) could not be saved."));
    QCOMPARE(sorted(QDir(root(QStringLiteral("dest"))).entryList(QDir::Files)),
             QStringList({QStringLiteral("second.txt"), QStringLiteral("third.txt")}));
}

void TestSearchWindow::saveSelectionCancelledPickerDoesNothing()
{
    write(QStringLiteral("a/one.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    m_services->queuePath(QString());
    QTest::mouseClick(child<QPushButton>("btnSaveSelection"), Qt::LeftButton);
    QCOMPARE(m_services->pickers.size(), 1);
    QVERIFY(m_services->messages.isEmpty());
}

void TestSearchWindow::saveSelectionStartsInTheFolderUsedLast_data()
{
    QTest::addColumn<bool>("used");   // a picker was answered in a folder before
    QTest::addColumn<bool>("exists"); // that folder is still there
    QTest::newRow("at first") << false << false;
    QTest::newRow("used before") << true << true;
    QTest::newRow("used before, gone since") << true << false;
}

void TestSearchWindow::saveSelectionStartsInTheFolderUsedLast()
{
    QFETCH(bool, used);
    QFETCH(bool, exists);
    TestSupport::clearSettings();
    const QString folder = root(QStringLiteral("used"));
    QVERIFY(QDir().mkpath(folder));
    if (used)
        LastFolder::rememberFileFolder(QDir(folder).filePath(QStringLiteral("backup.xml")));
    if (!exists)
        QVERIFY(QDir(folder).removeRecursively());
    write(QStringLiteral("a/one.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    m_services->queuePath(QString());
    QTest::mouseClick(child<QPushButton>("btnSaveSelection"), Qt::LeftButton);
    QCOMPARE(m_services->pickers.size(), 1);
    QCOMPARE(m_services->pickers[0].start, used && exists ? folder : QDir::homePath());
}

// --- Closing and destroying during a search ------------------------------------------------------

void TestSearchWindow::closingDuringASearchStopsIt()
{
    write(QStringLiteral("a/invoice.txt"), "invoice");
    write(QStringLiteral("a/sub/invoice.txt"));
    write(QStringLiteral("b/invoice.txt"));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("b"))};
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub")));
    QStringList shownAfterClose;
    bool closed = false;
    onStatus([&](const QString &text) {
        if (closed) {
            shownAfterClose << text;
        } else if (text == sub) {
            closed = true;
            QVERIFY(m_window->close());
        }
    });
    search(QStringLiteral("invoice"));
    QVERIFY(closed);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(m_window->result(), int(QDialog::Rejected));
    // No pass ran after the close: only the summary came.
    QCOMPARE(shownAfterClose.size(), 1);
    QVERIFY2(shownAfterClose[0].startsWith(
                 QStringLiteral("Search aborted - \"invoice\" in *.*: 2 folder(s) searched and 1 file(s) found")),
             qPrintable(shownAfterClose[0]));
    QCOMPARE(listed(), QStringList{QStringLiteral("a/invoice.txt")});
}

void TestSearchWindow::destroyingDuringASearch()
{
    for (int i = 0; i < 20; ++i)
        write(QStringLiteral("a/sub%1/invoice.txt").arg(i));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("a"))};
    QPointer<TfrmSearch> window(m_window.get());
    const QString sub = AppendPathDelimiter(root(QStringLiteral("a/sub3")));
    bool asked = false;
    onStatus([&](const QString &text) {
        // As the program's end does it: from the event loop, while the search waits for a pass.
        if (text == sub && !asked) {
            asked = true;
            QTimer::singleShot(0, this, [&] { m_window.reset(); });
        }
    });
    child<QLineEdit>("cbFindText")->setText(QStringLiteral("invoice"));
    window->btnFindClick();
    waitForTheEnd(window);
    QVERIFY(asked);
    QVERIFY(!window);
    QCOMPARE(m_accounts.snapshots, 1); // the window took the accounts once, and went
}

void TestSearchWindow::destroyedWindowHearsNothingFromItsSearch_data()
{
    QTest::addColumn<int>("moment");
    QTest::newRow("from the event loop") << 0;
    QTest::newRow("the GUI thread busy first") << 1;
    QTest::newRow("the worker ended, its end not yet handled") << 2;
}

void TestSearchWindow::destroyedWindowHearsNothingFromItsSearch()
{
    // The window destroyed at many moments of a running search, while its pass waits: once its
    // destruction has begun no handler it gave the search runs (finish, abort, match, folder), then
    // or later.
    QFETCH(int, moment);
    for (int i = 0; i < 20; ++i)
        write(QStringLiteral("a/sub%1/invoice.txt").arg(i));
    m_accounts.paths = {root(QStringLiteral("a")), root(QStringLiteral("a"))};
    QStringList late;
    constexpr int kTries = 12;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (!m_window) {
            m_window = std::make_unique<TfrmSearch>([this] { return m_accounts.take(); });
            m_window->show();
        }
        TFindFile *finder = m_window->FileFinder();
        bool goingAway = false;
        bool asked = false;
        int statuses = 0;
        const auto record = [&late, &goingAway, attempt](const char *what) {
            if (goingAway)
                late << QStringLiteral("%1 (try %2)").arg(QLatin1String(what)).arg(attempt);
            return goingAway;
        };
        const auto destroy = [&] {
            if (moment == 1)
                QThread::usleep(unsigned(attempt % 4) * 500);
            if (moment == 2) {
                const QThread *worker = finder->Worker();
                while (worker && !worker->isFinished())
                    QThread::yieldCurrentThread();
            }
            goingAway = true;
            m_window.reset();
        };
        onStatus([&](const QString &) {
            record("status");
            if (statuses++ == 0) {
                // The window's own handlers, watched; one for the abort, which it leaves unset.
                TNotifyEvent finish = finder->OnSearchFinish();
                finder->setOnSearchFinish([record, finish](QObject *sender) {
                    if (!record("finish"))
                        finish(sender);
                });
                TFileMatchEvent match = finder->OnFileMatch();
                finder->setOnFileMatch([record, match](QObject *sender, const QString &folder, const TSearchRec &e) {
                    if (!record("match"))
                        match(sender, folder, e);
                });
                finder->setOnSearchAbort([record](QObject *) { record("abort"); });
            }
            if (statuses == 1 + attempt % 15 && !asked) {
                asked = true;
                QTimer::singleShot(0, this, destroy);
            }
        });
        child<QLineEdit>("cbFindText")->setText(QStringLiteral("invoice"));
        QPointer<TfrmSearch> window(m_window.get());
        window->btnFindClick();
        waitForTheEnd(window);
        QVERIFY(asked);
        QVERIFY(!window);
        QCoreApplication::processEvents(); // what was queued for the search reaches no handler either
    }
    QVERIFY2(late.isEmpty(), qPrintable(late.join(u", ")));
}

// --- Paths ---------------------------------------------------------------------------------------

void TestSearchWindow::pathsToldApartAsTheFileSystemDoes()
{
    write(QStringLiteral("a/B.txt"), "upper");
    write(QStringLiteral("a/b.txt"), "lower");
    write(QStringLiteral("a/a.txt"));
    write(QStringLiteral("a/C.txt"));
    if (QDir(root(QStringLiteral("a"))).entryList(QDir::Files).size() != 4)
        QSKIP("The file system here does not tell names apart by case");
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    // Two files whose names differ by case are two entries; the order is the locale's.
    QCOMPARE(listed(), QStringList({QStringLiteral("a/a.txt"), QStringLiteral("a/b.txt"), QStringLiteral("a/B.txt"),
                                    QStringLiteral("a/C.txt")}));
}

// --- The result list's columns and the window's size ----------------------------------------------

void TestSearchWindow::resultColumnsAtTheFirstSize()
{
    const QStringList names = {QStringLiteral("INVOICE for the yearly membership.TXT"),
                               QStringLiteral("Invoice of the quarterly report summary.pdf")};
    const QString folder = QStringLiteral("PLR Articles/Weight Loss and Fitness/Monthly Packs");
    for (const QString &name : names)
        write(folder + u'/' + name);
    m_accounts.paths = {root(QStringLiteral("PLR Articles"))};
    QCOMPARE(m_window->size(), QSize(520, 419));
    search(QStringLiteral("invoice"));
    SearchResultList *list = m_window->resultList();
    QHeaderView *head = list->header();
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    const int icon = list->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, list);
    option.decorationSize = QSize(icon, icon);
    const auto needed = [&](int row, int column) {
        return list->itemDelegate()->sizeHint(option, list->model()->index(row, column)).width();
    };
    const auto sizes = [head] {
        QStringList texts;
        for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
            texts << QString::number(head->sectionSize(column));
        return texts.join(u' ');
    };
    const int rows = list->model()->rowCount();
    QCOMPARE(rows, 2);
    // The type is shown whole, and the folder has room for its last parts. Together the columns fill
    // the list without a scroll bar.
    for (int row = 0; row < rows; ++row) {
        QTRY_VERIFY2(head->sectionSize(SearchResultModel::ColumnType) >= needed(row, SearchResultModel::ColumnType),
                     qPrintable(sizes()));
    }
    QCOMPARE(head->length(), list->viewport()->width());
    // The name has what the others leave, more than the folder; the date no more than it needs.
    QVERIFY2(head->sectionSize(SearchResultModel::ColumnName) > head->sectionSize(SearchResultModel::ColumnFolder),
             qPrintable(sizes()));
    const int slack = 2 * list->fontMetrics().averageCharWidth();
    for (int row = 0; row < rows; ++row) {
        QVERIFY2(head->sectionSize(SearchResultModel::ColumnModified) <=
                     needed(row, SearchResultModel::ColumnModified) + slack,
                 qPrintable(sizes()));
    }
    QVERIFY2(head->sectionSize(SearchResultModel::ColumnFolder) >=
                 list->fontMetrics().horizontalAdvance(QStringLiteral("Packs")),
             qPrintable(sizes()));

    // With room enough, the names are shown whole, and the folder gets what they leave.
    m_window->resize(960, 419);
    QTRY_COMPARE(head->length(), list->viewport()->width());
    for (int row = 0; row < rows; ++row) {
        QVERIFY2(head->sectionSize(SearchResultModel::ColumnName) >= needed(row, SearchResultModel::ColumnName),
                 qPrintable(sizes()));
        QVERIFY2(head->sectionSize(SearchResultModel::ColumnType) >= needed(row, SearchResultModel::ColumnType),
                 qPrintable(sizes()));
    }
    QVERIFY2(head->sectionSize(SearchResultModel::ColumnFolder) >
                 list->fontMetrics().horizontalAdvance(QStringLiteral("Weight Loss and Fitness/Monthly Packs")),
             qPrintable(sizes()));
}

void TestSearchWindow::sizeAndColumnsAreKeptBetweenRuns()
{
    write(QStringLiteral("a/one.txt"));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QString());
    m_window->resize(700, 480);
    // The user drags the border between the first two columns to the left.
    QHeaderView *head = m_window->resultList()->header();
    QTRY_COMPARE(head->length(), m_window->resultList()->viewport()->width());
    const int border = head->sectionViewportPosition(1) - 1;
    const int y = head->height() / 2;
    QTest::mousePress(head->viewport(), Qt::LeftButton, {}, QPoint(border, y));
    QTest::mouseMove(head->viewport(), QPoint(border - 40, y));
    QTest::mouseRelease(head->viewport(), Qt::LeftButton, {}, QPoint(border - 40, y));
    QList<int> widths;
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
        widths << head->sectionSize(column);
    QVERIFY(widths[0] < border - 20);

    // Shown again, and made anew as at the program's next start.
    m_window->close();
    m_window->show();
    QCOMPARE(m_window->size(), QSize(700, 480));
    m_window.reset();
    m_window = std::make_unique<TfrmSearch>([this] { return m_accounts.take(); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->size(), QSize(700, 480));
    head = m_window->resultList()->header();
    QList<int> widthsAgain;
    for (int column = 0; column < SearchResultModel::ColumnCount; ++column)
        widthsAgain << head->sectionSize(column);
    QCOMPARE(widthsAgain, widths);
    // The main section of the settings is as it was: the window's keys are in a section of their own.
    QCOMPARE(RegReadInteger(SettingsKeys::SectionSearch, SettingsKeys::SettingSearchWidth, 0), 700);
}

void TestSearchWindow::saveFolderWithListSyntaxInItsPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("list separator") << "sites;old";
    QTest::newRow("two separators") << "a;b;c";
    QTest::newRow("this-folder-only sign first") << "<inbox";
    QTest::newRow("with-subfolders sign first") << ">inbox";
}

void TestSearchWindow::saveFolderWithListSyntaxInItsPath()
{
    QFETCH(QString, folder);
    write(folder + QStringLiteral("/invoice.txt"));
    write(folder + QStringLiteral("/deeper/invoice 2.txt"));
    // A relative save folder is taken from the current folder, so a leading sign stays first.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root()));
    m_accounts.paths = {folder};
    search(QStringLiteral("invoice"));
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(sorted(listed()),
             QStringList({folder + QStringLiteral("/deeper/invoice 2.txt"), folder + QStringLiteral("/invoice.txt")}));
}

// --- The main window's Search command -------------------------------------------------------------

void TestSearchWindow::mainWindowSearchCommand()
{
    using namespace VantoryConsts;
    using namespace AccountSchema;
    using namespace SettingsKeys;
    m_window.reset();
    TestSupport::clearSettings();
    RegWriteString(SectionMain, SettingDataPath, root(QStringLiteral("data")));
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    write(QStringLiteral("saves/one/invoice.txt"));
    write(QStringLiteral("saves/two/invoice 2.txt"));
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    const QStringList sites = {QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")};
    const QStringList folders = {root(QStringLiteral("saves/one")), QString(), root(QStringLiteral("saves/two"))};
    for (int i = 0; i < 3; ++i) {
        xml += QStringLiteral("<Account><accountID>%1</accountID><siteName>%2</siteName>%3<monthlyFee>1</monthlyFee>"
                              "<addedDate>2024-01-01</addedDate><active>1</active></Account>\n")
                   .arg(i + 1)
                   .arg(sites[i],
                        folders[i].isEmpty() ? QString() : QStringLiteral("<savePath>%1</savePath>").arg(folders[i]))
                   .toUtf8();
    }
    write(QStringLiteral("data/main.xml"), xml + "</Accounts>\n");

    TfrmVantory main;
    auto *search = main.findChild<TfrmSearch *>(QStringLiteral("frmSearch"));
    QVERIFY(search);
    QCOMPARE(search, main.frmSearch());
    QVERIFY(!search->isVisible());
    QCOMPARE(main.cdsVantory()->recordCount(), 3);
    main.cdsVantory()->setRecNo(1);
    main.show();
    QVERIFY(QTest::qWaitForWindowActive(&main));

    // Ctrl+F shows it modally; a search there walks the accounts, and F5 refreshes nothing.
    bool shown = false;
    int refreshes = 0;
    connect(main.cdsVantory(), &DataSet::reset, this, [&] { ++refreshes; });
    QTimer::singleShot(0, this, [&] {
        const auto closeAtEnd = qScopeGuard([&] { search->reject(); });
        shown = QApplication::activeModalWidget() == search;
        QTRY_COMPARE(QApplication::activeWindow(), search);
        auto *find = search->findChild<QLineEdit *>(QStringLiteral("cbFindText"));
        QVERIFY(find->hasFocus());
        QTest::keyClicks(find, QStringLiteral("invoice"));
        QTest::keyClick(find, Qt::Key_Return);
        waitForTheEnd(search);
        QTest::keyClick(find, Qt::Key_F5);
    });
    QTest::keyClick(&main, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(shown);
    QVERIFY(!search->isVisible());
    QCOMPARE(refreshes, 0);
    QCOMPARE(search->resultList()->results()->count(), 2);
    // The search leaves the table on the account the user was on.
    QCOMPARE(main.cdsVantory()->recNo(), 1);

    // Shown again, it still has its texts, options and results.
    QString textAgain;
    int resultsAgain = -1;
    QTimer::singleShot(0, this, [&] {
        const auto closeAtEnd = qScopeGuard([&] { search->reject(); });
        textAgain = search->findChild<QLineEdit *>(QStringLiteral("cbFindText"))->text();
        resultsAgain = search->resultList()->results()->count();
    });
    main.findChild<QAction *>(QStringLiteral("aSearch"))->trigger();
    QCOMPARE(textAgain, QStringLiteral("invoice"));
    QCOMPARE(resultsAgain, 2);
}

// --- Inside packs and documents ---------------------------------------------------------------------

namespace {
const QString kInside = QStringLiteral(" \u203A ");
} // namespace

void TestSearchWindow::searchInsidePacksListsEntries_data()
{
    QTest::addColumn<bool>("packs");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("on") << true
                        << QStringList{QStringLiteral("acct/notes.txt"), QStringLiteral("acct/page.html"),
                                       QStringLiteral("acct/sub/pack.zip") + kInside + QStringLiteral("folder/article.txt"),
                                       QStringLiteral("acct/sub/pack.zip") + kInside + QStringLiteral("inner.zip") +
                                           kInside + QStringLiteral("a-report.txt")};
    // Without the option the window lists what it always did: the document's markup hides the
    // phrase, the pack's compressed bytes hide it too.
    QTest::newRow("off") << false << QStringList{QStringLiteral("acct/notes.txt")};
}

void TestSearchWindow::searchInsidePacksListsEntries()
{
    QFETCH(bool, packs);
    QFETCH(QStringList, expected);
    using PackFixtures::Kind;
    const QByteArray inner = PackFixtures::write(Kind::Zip, {{"a-report.txt", "x"}});
    write(QStringLiteral("acct/notes.txt"), "the report");
    write(QStringLiteral("acct/page.html"), "<html><body><p>the re<i>port</i></p></body></html>");
    write(QStringLiteral("acct/sub/pack.zip"),
          PackFixtures::write(Kind::Zip, {{"folder/article.txt", "a report, a report, a report, again"},
                                          {"inner.zip", inner}}));
    m_accounts.paths = {root(QStringLiteral("acct"))};
    auto *option = child<QCheckBox>("chkSearchPacks");
    if (option->isChecked() != packs)
        QTest::mouseClick(option, Qt::LeftButton);
    QCOMPARE(option->isChecked(), packs);
    search(QStringLiteral("report"));
    QCOMPARE(sorted(listed()), expected);
    if (!packs)
        return;

    // The entry shows its place inside the pack, its own size, and Copy Path gives that text.
    SearchResultModel *results = m_window->resultList()->results();
    const QString article = root(QStringLiteral("acct/sub/pack.zip")) + kInside + QStringLiteral("folder/article.txt");
    const int row = results->rowOf(article);
    QVERIFY(row >= 0);
    QVERIFY(results->isPackEntry(row));
    QCOMPARE(results->data(results->index(row, SearchResultModel::ColumnName)).toString(),
             QStringLiteral("pack.zip") + kInside + QStringLiteral("folder/article.txt"));
    QCOMPARE(results->data(results->index(row, SearchResultModel::ColumnSize), SearchResultModel::SortRole).toLongLong(),
             qint64(QByteArray("a report, a report, a report, again").size()));
    QCOMPARE(results->data(results->index(row, SearchResultModel::ColumnFolder)).toString(),
             QDir::toNativeSeparators(root(QStringLiteral("acct/sub"))));
    SearchResultList *list = m_window->resultList();
    list->setFocus();
    list->setCurrentIndex(results->index(row, SearchResultModel::ColumnName));
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(list, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QDir::toNativeSeparators(root(QStringLiteral("acct/sub/pack.zip"))) + kInside +
                 QStringLiteral("folder/article.txt"));
}

// Each result names its account, and sorts by it; a content match shows the text around it, found
// for the rows in sight, the match marked; a match by name alone shows none.
void TestSearchWindow::accountAndPreviewColumns()
{
    using PackFixtures::Kind;
    write(QStringLiteral("one/notes.txt"), "Line one.\nThe marigold LEDGER #7 is here.\n");
    write(QStringLiteral("one/marigold ledger list.txt"), "no such words inside");
    const QByteArray inner = PackFixtures::write(Kind::Zip, {{"deep/ledger.txt", "nested Marigold Ledger text"}});
    write(QStringLiteral("two/pack.zip"),
          PackFixtures::write(Kind::Zip, {{"folder/article.txt", "an article on the Marigold ledger, with more"},
                                          {"inner.zip", inner}}));
    write(QStringLiteral("two/report.pdf"), PackFixtures::minimalPdf({"Cover", "The Marigold ledger in a PDF"}));
    m_accounts.paths = {root(QStringLiteral("one")), root(QStringLiteral("two"))};
    search(QStringLiteral("marigold ledger"));

    SearchResultList *list = m_window->resultList();
    SearchResultModel *results = list->results();
    const QString packEntry = root(QStringLiteral("two/pack.zip")) + kInside + QStringLiteral("folder/article.txt");
    const QString nested = root(QStringLiteral("two/pack.zip")) + kInside + QStringLiteral("inner.zip") + kInside +
                           QStringLiteral("deep/ledger.txt");
    struct Expected
    {
        QString path;
        QString account;
        QString preview; // empty: none
    };
    const QList<Expected> expected = {
        {root(QStringLiteral("one/notes.txt")), QStringLiteral("Site 0"),
         QStringLiteral("Line one. The marigold LEDGER #7 is here.")},
        {root(QStringLiteral("one/marigold ledger list.txt")), QStringLiteral("Site 0"), QString()},
        {packEntry, QStringLiteral("Site 1"), QStringLiteral("an article on the Marigold ledger, with more")},
        {nested, QStringLiteral("Site 1"), QStringLiteral("nested Marigold Ledger text")},
        {root(QStringLiteral("two/report.pdf")), QStringLiteral("Site 1"),
         QStringLiteral("Cover The Marigold ledger in a PDF")},
    };
    QCOMPARE(results->count(), int(expected.size()));
    QVERIFY(!list->isColumnHidden(SearchResultModel::ColumnAccount));
    QVERIFY(!list->isColumnHidden(SearchResultModel::ColumnPreview));
    // In the view, the account comes right after the name.
    QCOMPARE(list->header()->visualIndex(SearchResultModel::ColumnAccount), 1);
    for (const Expected &one : expected) {
        const int row = results->rowOf(one.path);
        QVERIFY2(row >= 0, qPrintable(one.path));
        QCOMPARE(results->index(row, SearchResultModel::ColumnAccount).data().toString(), one.account);
        QCOMPARE(results->isContentMatch(row), !one.preview.isEmpty());
        if (!one.preview.isEmpty())
            QTRY_COMPARE(results->index(row, SearchResultModel::ColumnPreview).data().toString(), one.preview);
    }
    const int nameHit = results->rowOf(expected[1].path);
    QVERIFY(!results->preview(nameHit));
    QVERIFY(results->index(nameHit, SearchResultModel::ColumnPreview).data().toString().isEmpty());

    // The match is painted on the highlight colour in a row that is not selected.
    list->clearSelection();
    const int row = results->rowOf(expected[0].path);
    const QRect cell = list->visualRect(results->index(row, SearchResultModel::ColumnPreview));
    QVERIFY(cell.isValid());
    const QImage image = list->viewport()->grab(cell).toImage();
    const QList<QColor> marks = {list->palette().color(QPalette::Active, QPalette::Highlight),
                                 list->palette().color(QPalette::Inactive, QPalette::Highlight)};
    int marked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            marked += marks.contains(image.pixelColor(x, y)) ? 1 : 0;
    }
    QVERIFY2(marked > cell.height(), qPrintable(QString::number(marked)));

    // A click on the Account title sorts by the site, then by name; a click on Preview changes nothing.
    QHeaderView *head = list->header();
    const auto clickTitle = [head](int section) {
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                          QPoint(head->sectionViewportPosition(section) + head->sectionSize(section) / 2,
                                 head->height() / 2));
    };
    clickTitle(SearchResultModel::ColumnAccount);
    QCOMPARE(results->sortColumn(), int(SearchResultModel::ColumnAccount));
    QStringList order;
    for (int i = 0; i < results->count(); ++i)
        order << results->account(i) + u'|' + results->index(i, SearchResultModel::ColumnName).data().toString();
    QCOMPARE(order, QStringList({QStringLiteral("Site 0|marigold ledger list.txt"), QStringLiteral("Site 0|notes.txt"),
                                 QStringLiteral("Site 1|pack.zip") + kInside + QStringLiteral("folder/article.txt"),
                                 QStringLiteral("Site 1|pack.zip") + kInside + QStringLiteral("inner.zip") + kInside +
                                     QStringLiteral("deep/ledger.txt"),
                                 QStringLiteral("Site 1|report.pdf")}));
    clickTitle(SearchResultModel::ColumnAccount);
    QCOMPARE(results->account(0), QStringLiteral("Site 1"));
    clickTitle(SearchResultModel::ColumnPreview);
    QCOMPARE(results->sortColumn(), int(SearchResultModel::ColumnAccount));
    QCOMPARE(head->sortIndicatorSection(), int(SearchResultModel::ColumnAccount));
    QCOMPARE(results->account(0), QStringLiteral("Site 1"));
}

// Enter on an entry takes it out of its pack into a private folder, opens it there, and the folder
// goes with the window. Copy Path and Open Containing Folder name the pack.
void TestSearchWindow::openingAnEntryTakesItOutPrivately()
{
    using PackFixtures::Kind;
    const QByteArray article = PackFixtures::noise(150 * 1024, 4) + "the notes";
    const QByteArray inner = PackFixtures::write(Kind::Zip, {{"deep/notes.txt", "nested notes"}});
    write(QStringLiteral("a/pack.zip"),
          PackFixtures::write(Kind::Zip, {{"in/notes.txt", article}, {"inner.zip", inner}}));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QStringLiteral("notes"), QStringLiteral("*.txt"));
    SearchResultList *list = m_window->resultList();
    SearchResultModel *results = list->results();
    const QString entry = root(QStringLiteral("a/pack.zip")) + kInside + QStringLiteral("in/notes.txt");
    const QString nestedEntry = root(QStringLiteral("a/pack.zip")) + kInside + QStringLiteral("inner.zip") + kInside +
                                QStringLiteral("deep/notes.txt");
    QCOMPARE(sorted(listed()),
             QStringList({QDir(root()).relativeFilePath(entry), QDir(root()).relativeFilePath(nestedEntry)}));

    list->setFocus();
    list->setCurrentIndex(results->index(results->rowOf(entry), SearchResultModel::ColumnName));
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(m_services->urls.size(), 1);
    QVERIFY(m_services->messages.isEmpty());
    const QString opened = m_services->urls[0].toLocalFile();
    QCOMPARE(QFileInfo(opened).fileName(), QStringLiteral("notes.txt"));
    QCOMPARE(TestSupport::readFile(opened), article);
    const QString privateFolder = list->entryOpener()->folder();
    QVERIFY(opened.startsWith(privateFolder + u'/'));
    QCOMPARE(QFileInfo(privateFolder).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    QCOMPARE(TestSupport::fileMode(privateFolder), QStringLiteral("700"));

    // A nested entry of the same name is taken out beside it, not over it.
    list->setCurrentIndex(results->index(results->rowOf(nestedEntry), SearchResultModel::ColumnName));
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(m_services->urls.size(), 2);
    const QString nestedOpened = m_services->urls[1].toLocalFile();
    QCOMPARE(QFileInfo(nestedOpened).fileName(), QStringLiteral("notes.txt"));
    QVERIFY(nestedOpened != opened);
    QCOMPARE(TestSupport::readFile(nestedOpened), QByteArray("nested notes"));
    QCOMPARE(TestSupport::readFile(opened), article);

    // The pack's folder for Open Containing Folder; the entry's text for Copy Path.
    list->openSelectedFolders();
    QCOMPARE(m_services->urls.size(), 3);
    QCOMPARE(m_services->urls[2], QUrl::fromLocalFile(root(QStringLiteral("a"))));
    QTest::keySequence(list, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QDir::toNativeSeparators(root(QStringLiteral("a/pack.zip"))) +
                                                       kInside + QStringLiteral("inner.zip") + kInside +
                                                       QStringLiteral("deep/notes.txt"));

    m_window.reset();
    QVERIFY(!QFileInfo::exists(privateFolder));
}

void TestSearchWindow::openingAnEntryThatCannotBeRead_data()
{
    QTest::addColumn<QByteArray>("replacement"); // what the pack holds by the time the entry is opened
    QTest::addColumn<QString>("reason");         // a part of the message's reason
    using PackFixtures::Kind;
    QByteArray error;
    const QByteArray locked = PackFixtures::write(Kind::Zip, {{"in/notes.txt", "notes"}}, "zip:encryption=zipcrypt",
                                                  "password", &error);
    if (!locked.isEmpty())
        QTest::newRow("locked") << locked << QStringLiteral("is encrypted");
    const QByteArray zip = PackFixtures::buildZip({{"in/notes.txt", PackFixtures::noise(6000, 2), true}});
    QTest::newRow("damaged") << zip.left(zip.size() / 2) << QStringLiteral("pack.zip");
}

void TestSearchWindow::openingAnEntryThatCannotBeRead()
{
    QFETCH(QByteArray, replacement);
    QFETCH(QString, reason);
    write(QStringLiteral("a/pack.zip"), PackFixtures::write(PackFixtures::Kind::Zip, {{"in/notes.txt", "notes"}}));
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QStringLiteral("notes"));
    QCOMPARE(listed().size(), 1);
    write(QStringLiteral("a/pack.zip"), replacement);

    SearchResultList *list = m_window->resultList();
    list->focusFirstEntry();
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(m_services->messages.size(), 1);
    QVERIFY(m_services->urls.isEmpty());
    const QString text = m_services->messages[0].text;
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QVERIFY2(text.startsWith(u'"' + QDir::toNativeSeparators(root(QStringLiteral("a/pack.zip"))) + kInside +
                             QStringLiteral("in/notes.txt\" could not be opened.\n")),
             qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    // Nothing half taken out is left to be opened.
    QDirIterator files(list->entryOpener()->folder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY(!files.hasNext());
}

// Save Selection takes the checked entries out of their packs into the folder, with the files, by
// the files' rule for names taken: by a file there before, and by each other.
void TestSearchWindow::saveSelectionTakesEntriesOutOfPacks()
{
    using PackFixtures::Kind;
    const QByteArray big = PackFixtures::noise(300 * 1024, 6) + "notes";
    write(QStringLiteral("a/notes.txt"), "notes of a file");
    write(QStringLiteral("a/pack.zip"),
          PackFixtures::write(
              Kind::Zip,
              {{"in/notes.txt", big}, {"inner.zip", PackFixtures::write(Kind::Zip, {{"notes.txt", "nested notes"}})}}));
    write(QStringLiteral("dest/notes.txt"), "kept");
    m_accounts.paths = {root(QStringLiteral("a"))};
    search(QStringLiteral("notes"), QStringLiteral("*.txt"));
    QCOMPARE(listed().size(), 3);

    QTest::mouseClick(child<QPushButton>("btnSelectAll"), Qt::LeftButton);
    m_services->queuePath(root(QStringLiteral("dest")));
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(child<QPushButton>("btnSaveSelection"), Qt::LeftButton);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Information);
    QVERIFY2(m_services->messages[0].text.endsWith(
                 QStringLiteral("3 file(s) copied, 3 of them under a new name because the name was taken.")),
             qPrintable(m_services->messages[0].text));
    QDir dest(root(QStringLiteral("dest")));
    QCOMPARE(sorted(dest.entryList(QDir::Files | QDir::Hidden)),
             QStringList({QStringLiteral("notes (2).txt"), QStringLiteral("notes (3).txt"),
                          QStringLiteral("notes (4).txt"), QStringLiteral("notes.txt")}));
    QByteArrayList copies;
    for (const QString &name : dest.entryList(QDir::Files))
        copies << TestSupport::readFile(dest.filePath(name));
    std::sort(copies.begin(), copies.end());
    QByteArrayList wanted = {"kept", "notes of a file", "nested notes", big};
    std::sort(wanted.begin(), wanted.end());
    QCOMPARE(copies, wanted);
}

void TestSearchWindow::searchPacksOptionIsRemembered()
{
    auto *option = child<QCheckBox>("chkSearchPacks");
    QCOMPARE(option->text(), QStringLiteral("Search inside packs and documents"));
    QVERIFY(option->isChecked()); // on for a new user
    QTest::mouseClick(option, Qt::LeftButton);
    QVERIFY(!option->isChecked());
    m_window->close();
    m_window.reset();
    m_window = std::make_unique<TfrmSearch>([this] { return m_accounts.take(); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    option = child<QCheckBox>("chkSearchPacks");
    QVERIFY(!option->isChecked());
    QCOMPARE(RegReadInteger(SettingsKeys::SectionSearch, SettingsKeys::SettingSearchPacks, -1), 0);
    QTest::mouseClick(option, Qt::LeftButton);
    m_window->close();
    QCOMPARE(RegReadInteger(SettingsKeys::SectionSearch, SettingsKeys::SettingSearchPacks, -1), 1);
}

void TestSearchWindow::secondSearchTakesTheTextFromTheCache()
{
    write(QStringLiteral("acct/page.html"), "<html><body><p>the re<i>port</i></p></body></html>");
    write(QStringLiteral("acct/pack.zip"),
          PackFixtures::write(PackFixtures::Kind::Zip, {{"article.txt", "a report"}, {"other.txt", "nothing"}}));
    m_accounts.paths = {root(QStringLiteral("acct"))};
    const QStringList expected{QStringLiteral("acct/pack.zip") + kInside + QStringLiteral("article.txt"),
                               QStringLiteral("acct/page.html")};
    const QString fromCache = QStringLiteral("text of 2 packs and documents from cache");
    search(QStringLiteral("report"));
    QCOMPARE(sorted(listed()), expected);
    QVERIFY2(!status().contains(fromCache), qPrintable(status()));
    search(QStringLiteral("REPORT"));
    QCOMPARE(sorted(listed()), expected);
    QVERIFY2(status().endsWith(QStringLiteral(" - ") + fromCache), qPrintable(status()));

    // Emptied, the next search reads the pack and the document again.
    auto *empty = child<QPushButton>("btnEmptyCache");
    QVERIFY(empty->isEnabled());
    QTest::mouseClick(empty, Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("The text kept from packs and documents has been removed."));
    search(QStringLiteral("report"));
    QCOMPARE(sorted(listed()), expected);
    QVERIFY2(!status().contains(fromCache), qPrintable(status()));
}

void TestSearchWindow::lockedEntryIsFoundByItsName()
{
    write(QStringLiteral("acct/members.zip"),
          PackFixtures::write(PackFixtures::Kind::Zip, {{"ledger-secret.txt", "the ledger inside"}},
                              "zip:encryption=zipcrypt", "pass"));
    m_accounts.paths = {root(QStringLiteral("acct"))};
    search(QStringLiteral("ledger"));
    const QString entry = QStringLiteral("acct/members.zip") + kInside + QStringLiteral("ledger-secret.txt");
    QCOMPARE(listed(), QStringList{entry});
    SearchResultModel *results = m_window->resultList()->results();
    QVERIFY(results->data(results->index(0, SearchResultModel::ColumnType)).toString().endsWith(
        QStringLiteral("(locked)")));
    QVERIFY(results->data(results->index(0, SearchResultModel::ColumnName), Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("encrypted")));
    QVERIFY2(status().contains(QStringLiteral("1 locked item(s) in packs left out")), qPrintable(status()));
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
