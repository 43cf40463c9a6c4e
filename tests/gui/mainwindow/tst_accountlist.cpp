// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/FileCount.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/security/Encode.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/mainwindow/AccountModel.h"
#include "gui/mainwindow/GridEditors.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/TotalsBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMutex>
#include <QScrollBar>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <stdexcept>

using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

struct Account
{
    QString name;
    QString url;
    QString username;
    QString folder;
    QString password = {}; // as typed
    int active = 1;
    int fee = 1;
};

QByteArray dataFile(const QList<Account> &accounts)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    int id = 0;
    for (const Account &a : accounts) {
        QString row = QStringLiteral("<Account><accountID>%1</accountID><siteName>%2</siteName>")
                          .arg(id++)
                          .arg(a.name.toHtmlEscaped());
        if (!a.url.isEmpty())
            row += QStringLiteral("<siteUrl>%1</siteUrl>").arg(a.url.toHtmlEscaped());
        if (!a.username.isEmpty())
            row += QStringLiteral("<username>%1</username>").arg(a.username.toHtmlEscaped());
        if (!a.password.isEmpty())
            row += QStringLiteral("<password>%1</password>").arg(EncodeStr(a.password).toHtmlEscaped());
        if (!a.folder.isEmpty())
            row += QStringLiteral("<savePath>%1</savePath>").arg(a.folder.toHtmlEscaped());
        row += QStringLiteral(
                   "<monthlyFee>%1</monthlyFee><addedDate>2024-03-05</addedDate><active>%2</active></Account>\n")
                   .arg(a.fee)
                   .arg(a.active);
        xml += row.toUtf8();
    }
    return xml + "</Accounts>\n";
}

// A stand-in for the folder counter: each count waits until the test lets one through, and gives
// the number the test set for the folder when the count began.
class GatedCounter
{
public:
    qint32 operator()(const QString &folder, qint32)
    {
        qint32 result = 0;
        bool fails = false;
        {
            QMutexLocker lock(&m_mutex);
            result = m_counts.value(folder);
            fails = m_failing.contains(folder);
        }
        m_started.release();
        m_gate.acquire();
        ++m_done;
        if (fails)
            throw std::runtime_error("unreadable");
        return result;
    }

    void set(const QString &folder, qint32 count)
    {
        QMutexLocker lock(&m_mutex);
        m_counts.insert(folder, count);
    }
    void fail(const QString &folder)
    {
        QMutexLocker lock(&m_mutex);
        m_failing.insert(folder);
    }
    void let(int n = 1) { m_gate.release(n); }
    // Waits until a count has begun (it then waits at the gate).
    bool waitStarted() { return m_started.tryAcquire(1, 10000); }
    int done() const { return m_done.load(); }

private:
    QMutex m_mutex;
    QHash<QString, qint32> m_counts;
    QSet<QString> m_failing;
    QSemaphore m_gate;
    QSemaphore m_started;
    std::atomic<int> m_done{0};
};

} // namespace

class TestAccountList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void countsArriveOneByOne();
    void sortByTotalFilesFollowsTheCounts();
    void refreshDropsTheCountsInProgress();
    void closeStopsTheCounting();
    void failedCountLeavesTheOthers();
    void enterOpensTheAccount_data();
    void enterOpensTheAccount();
    void enterInTheStateListStaysThere();
    void accountCommandsFollowWhatTheAccountHolds_data();
    void accountCommandsFollowWhatTheAccountHolds();
    void shortcutsReachTheCommandsFromTheGrid();
    void copiedPasswordIsClearedAfterItsTime();
    void copiedPasswordIsKeptWhenSomethingElseWasCopied();
    void filterNarrowsTheList_data();
    void filterNarrowsTheList();
    void filterKeys();
    void sortEditAndRemoveOnTheNarrowedList();
    void exportWritesTheListWithoutPasswords();
    void columnsMakeRoomForTheScrollBar();
    void totalsDescribeTheShownAccounts_data();
    void totalsDescribeTheShownAccounts();
    void filterBoxCopiesFromTheCurrentAccount_data();
    void filterBoxCopiesFromTheCurrentAccount();
    void filterBoxLeadsToTheList_data();
    void filterBoxLeadsToTheList();
    void pickersStartInTheFolderUsedLast_data();
    void pickersStartInTheFolderUsedLast();

private:
    std::unique_ptr<TfrmVantory> makeWindow(const QList<Account> &accounts);
    QString cell(int row, int column) const;
    QStringList column(int column) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<GatedCounter> m_counter;
    std::unique_ptr<TfrmVantory> m_window;
};

void TestAccountList::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    m_services = std::make_unique<ScriptedServices>();
    m_counter = std::make_unique<GatedCounter>();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
}

void TestAccountList::cleanup()
{
    // Whatever the test left waiting is let through, so the counting thread can end.
    m_counter->let(1000);
    m_window.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_counter.reset();
    m_services.reset();
    m_dir.reset();
}

std::unique_ptr<TfrmVantory> TestAccountList::makeWindow(const QList<Account> &accounts)
{
    TestSupport::writeFile(m_dir->filePath(DataFileName), dataFile(accounts));
    GatedCounter *counter = m_counter.get();
    return std::make_unique<TfrmVantory>(
        std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()), nullptr,
        [counter](const QString &folder, qint32 limit) { return (*counter)(folder, limit); });
}

QString TestAccountList::cell(int row, int column) const
{
    return m_window->accountModel()->index(row, column).data().toString();
}

QStringList TestAccountList::column(int c) const
{
    QStringList texts;
    for (int r = 0; r < m_window->accountModel()->rowCount(); ++r)
        texts << cell(r, c);
    return texts;
}

void TestAccountList::countsArriveOneByOne()
{
    m_counter->set(u"/saves/a"_qs, 5);
    m_counter->set(u"/saves/b"_qs, FileCountCap);
    m_window =
        makeWindow({{u"A"_qs, {}, {}, u"/saves/a"_qs}, {u"B"_qs, {}, {}, u"/saves/b"_qs}, {u"C"_qs, {}, {}, {}}});
    // The list is there at once; the counts are still to come, an account without a folder has none.
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"A"_qs, u"B"_qs, u"C"_qs}));
    QCOMPARE(column(AccountModel::ColumnTotalFiles), (QStringList{u"\u2026"_qs, u"\u2026"_qs, u"(0)  "_qs}));
    QCOMPARE(m_window->hdrTotals()->sectionText(2), u"(0)  "_qs);
    QVERIFY(m_window->isCounting());

    m_counter->let();
    QTRY_COMPARE(cell(0, AccountModel::ColumnTotalFiles), u"(5)  "_qs);
    QCOMPARE(cell(1, AccountModel::ColumnTotalFiles), u"\u2026"_qs);
    QCOMPARE(m_window->hdrTotals()->sectionText(2), u"(5)  "_qs);

    m_counter->let();
    QTRY_VERIFY(!m_window->isCounting());
    QCOMPARE(column(AccountModel::ColumnTotalFiles), (QStringList{u"(5)  "_qs, u"> 1,000  "_qs, u"(0)  "_qs}));
    // Over the cap: the totals say so, as they did when the counts were made before the list showed.
    QCOMPARE(m_window->hdrTotals()->sectionText(2), u"> 1,000  "_qs);
    QCOMPARE(m_counter->done(), 2);
}

void TestAccountList::sortByTotalFilesFollowsTheCounts()
{
    const QList<int> counts = {30, 10, 20, 40};
    QList<Account> accounts;
    for (int i = 0; i < counts.size(); ++i) {
        const QString folder = QStringLiteral("/saves/%1").arg(i);
        m_counter->set(folder, counts[i]);
        accounts.append({QStringLiteral("S%1").arg(i), {}, {}, folder});
    }
    m_window = makeWindow(accounts);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->dbgAccountsTitleClick(AccountModel::ColumnTotalFiles);
    m_window->dbgAccounts()->setCurrentIndex(m_window->accountModel()->index(1, 0)); // S1
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), u"S1"_qs);

    m_counter->let(2); // S0 (30) and S1 (10): counted rows come first, smallest first
    QTRY_COMPARE(column(AccountModel::ColumnSite), (QStringList{u"S1"_qs, u"S0"_qs, u"S2"_qs, u"S3"_qs}));
    // The current account stays current as its row moves.
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), u"S1"_qs);
    QCOMPARE(m_window->dbgAccounts()->currentIndex().row(), m_window->cdsVantory()->recNo() - 1);

    m_counter->let(2);
    QTRY_VERIFY(!m_window->isCounting());
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"S1"_qs, u"S2"_qs, u"S0"_qs, u"S3"_qs}));
    QCOMPARE(m_window->hdrTotals()->sectionText(2), u"(100)  "_qs);
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), u"S1"_qs);
    // The other direction, once all are there.
    m_window->dbgAccountsTitleClick(AccountModel::ColumnTotalFiles);
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"S3"_qs, u"S0"_qs, u"S2"_qs, u"S1"_qs}));
}

void TestAccountList::refreshDropsTheCountsInProgress()
{
    m_counter->set(u"/saves/a"_qs, 100);
    m_counter->set(u"/saves/b"_qs, 200);
    m_window = makeWindow({{u"A"_qs, {}, {}, u"/saves/a"_qs}, {u"B"_qs, {}, {}, u"/saves/b"_qs}});
    QVERIFY(m_counter->waitStarted()); // A's count of the first round is under way
    m_counter->set(u"/saves/a"_qs, 7);
    m_counter->set(u"/saves/b"_qs, 8);
    m_window->findChild<QAction *>(u"aRefresh"_qs)->trigger();
    QCOMPARE(column(AccountModel::ColumnTotalFiles), (QStringList{u"\u2026"_qs, u"\u2026"_qs}));
    m_counter->let(10);
    QTRY_VERIFY(!m_window->isCounting());
    // The first round's count of A (100) never shows, nor joins the totals.
    QCOMPARE(column(AccountModel::ColumnTotalFiles), (QStringList{u"(7)  "_qs, u"(8)  "_qs}));
    QCOMPARE(m_window->hdrTotals()->sectionText(2), u"(15)  "_qs);
}

void TestAccountList::closeStopsTheCounting()
{
    m_counter->set(u"/saves/a"_qs, 3);
    m_window = makeWindow({{u"A"_qs, {}, {}, u"/saves/a"_qs}, {u"B"_qs, {}, {}, u"/saves/b"_qs}});
    m_window->show();
    QVERIFY(m_counter->waitStarted());
    QVERIFY(m_window->close());
    m_counter->let(); // A's count ends after the close
    QTRY_COMPARE(m_counter->done(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(cell(0, AccountModel::ColumnTotalFiles), u"\u2026"_qs);
    m_counter->let(10);
    m_window.reset(); // waits for the counting thread
    // B was never counted.
    QCOMPARE(m_counter->done(), 1);
}

void TestAccountList::failedCountLeavesTheOthers()
{
    m_counter->set(u"/saves/c"_qs, 4);
    m_counter->fail(u"/saves/a"_qs);
    m_window = makeWindow({{u"A"_qs, {}, {}, u"/saves/a"_qs}, {u"B"_qs, {}, {}, u"/saves/c"_qs}});
    m_counter->let(2);
    QTRY_VERIFY(!m_window->isCounting());
    QCOMPARE(column(AccountModel::ColumnTotalFiles), (QStringList{u"(0)  "_qs, u"(4)  "_qs}));
}

// Which account editor opened (-2: none) when a key is pressed; the editor is closed at once.
static int editorOpenedBy(const std::function<void()> &press)
{
    int opened = -2;
    QTimer::singleShot(0, [&opened] {
        if (auto *dialog = qobject_cast<TfrmAccountEdit *>(QApplication::activeModalWidget())) {
            opened = dialog->AccountId;
            dialog->reject();
        }
    });
    press();
    QCoreApplication::processEvents();
    return opened;
}

void TestAccountList::enterOpensTheAccount_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("key");
    QTest::newRow("site, Return") << int(AccountModel::ColumnSite) << int(Qt::Key_Return);
    QTest::newRow("site, keypad Enter") << int(AccountModel::ColumnSite) << int(Qt::Key_Enter);
    QTest::newRow("total files") << int(AccountModel::ColumnTotalFiles) << int(Qt::Key_Return);
    QTest::newRow("date added") << int(AccountModel::ColumnDateAdded) << int(Qt::Key_Return);
    QTest::newRow("state") << int(AccountModel::ColumnActive) << int(Qt::Key_Return);
    QTest::newRow("fee") << int(AccountModel::ColumnMonthlyFee) << int(Qt::Key_Return);
}

void TestAccountList::enterOpensTheAccount()
{
    QFETCH(int, column);
    QFETCH(int, key);
    m_window = makeWindow({{u"A"_qs, {}, {}, {}}, {u"B"_qs, {}, {}, {}}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTableView *grid = m_window->dbgAccounts();
    grid->setFocus();
    grid->setCurrentIndex(m_window->accountModel()->index(1, column));
    QCOMPARE(editorOpenedBy([&] { QTest::keyClick(grid, Qt::Key(key)); }), 1);
}

void TestAccountList::enterInTheStateListStaysThere()
{
    m_window = makeWindow({{u"A"_qs, {}, {}, {}}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTableView *grid = m_window->dbgAccounts();
    grid->setFocus();
    grid->setCurrentIndex(m_window->accountModel()->index(0, AccountModel::ColumnActive));
    QComboBox *states = m_window->gridEditors()->cbGridActive();
    QTRY_VERIFY(states->isVisible());
    states->setFocus();
    // Enter in the list gives the focus back to the grid and opens nothing.
    QCOMPARE(editorOpenedBy([&] { QTest::keyClick(states, Qt::Key_Return); }), -2);
    QTRY_VERIFY(grid->hasFocus());
}

void TestAccountList::accountCommandsFollowWhatTheAccountHolds_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QUrl>("opened");    // by a command that opens something
    QTest::addColumn<QString>("copied"); // by a command that copies
    const QString folder = QStringLiteral("/data/saves/Site One");
    QTest::newRow("open site") << u"aOpenSite"_qs << u"https://example.com/members"_qs << QString() << QString()
                               << QString() << QUrl(u"https://example.com/members"_qs) << QString();
    QTest::newRow("open site without a scheme") << u"aOpenSite"_qs << u"example.com/login"_qs << QString() << QString()
                                                << QString() << QUrl(u"http://example.com/login"_qs) << QString();
    QTest::newRow("copy username") << u"aCopyUsername"_qs << QString() << u"jo\u00EBl"_qs << QString() << QString()
                                   << QUrl() << u"jo\u00EBl"_qs;
    QTest::newRow("copy password") << u"aCopyPassword"_qs << QString() << QString() << u"s3cr\u00E9t!"_qs << QString()
                                   << QUrl() << u"s3cr\u00E9t!"_qs;
    QTest::newRow("open folder") << u"aOpenFolder"_qs << QString() << QString() << QString() << folder
                                 << QUrl::fromLocalFile(folder) << QString();
}

void TestAccountList::accountCommandsFollowWhatTheAccountHolds()
{
    QFETCH(QString, command);
    QFETCH(QString, url);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, folder);
    QFETCH(QUrl, opened);
    QFETCH(QString, copied);
    m_counter->let(10);
    // "A" holds the one value the command needs, "B" holds every other one.
    Account other{u"B"_qs, u"https://other.example"_qs, u"other"_qs, u"/other"_qs, u"pw"_qs};
    if (!url.isEmpty())
        other.url.clear();
    if (!username.isEmpty())
        other.username.clear();
    if (!password.isEmpty())
        other.password.clear();
    if (!folder.isEmpty())
        other.folder.clear();
    m_window = makeWindow({{u"A"_qs, url, username, folder, password}, other});
    auto *action = m_window->findChild<QAction *>(command);
    QVERIFY(action);
    QVERIFY(m_window->cdsVantory()->setRecNo(2));
    QVERIFY(!action->isEnabled());
    // The pop-up menu's item follows the command.
    auto *item = m_window->findChild<QAction *>(command + u"Item"_qs);
    QVERIFY(item);
    QVERIFY(!item->isEnabled());
    QVERIFY(m_window->cdsVantory()->setRecNo(1));
    QVERIFY(action->isEnabled());
    QVERIFY(item->isEnabled());

    QGuiApplication::clipboard()->setText(u"before"_qs);
    item->trigger();
    QCOMPARE(m_services->urls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{opened});
    QCOMPARE(QGuiApplication::clipboard()->text(), copied.isEmpty() ? u"before"_qs : copied);

    // An account whose value is removed loses the command at once.
    DataSet *t = m_window->cdsVantory();
    const QString field = command == u"aOpenSite"_qs       ? FieldSiteUrl
                          : command == u"aCopyUsername"_qs ? FieldUsername
                          : command == u"aCopyPassword"_qs ? FieldPassword
                                                           : FieldSavePath;
    QVERIFY(t->edit() && t->setValue(field, QString()) && t->post());
    QVERIFY(!action->isEnabled());
}

void TestAccountList::shortcutsReachTheCommandsFromTheGrid()
{
    m_counter->let(10);
    m_window = makeWindow({{u"A"_qs, u"https://a.example"_qs, u"ann"_qs, u"/saves/a"_qs, u"pw1"_qs}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTableView *grid = m_window->dbgAccounts();
    grid->setFocus();
    grid->setCurrentIndex(m_window->accountModel()->index(0, AccountModel::ColumnSite));
    QTest::keyClick(grid, Qt::Key_U, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_services->urls, (QList<QUrl>{QUrl(u"https://a.example"_qs), QUrl::fromLocalFile(u"/saves/a"_qs)}));
    QTest::keyClick(grid, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"ann"_qs);
    // Ctrl+C is the password's, not the grid's copy of the cell.
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"pw1"_qs);
}

void TestAccountList::copiedPasswordIsClearedAfterItsTime()
{
    m_counter->let(10);
    m_window = makeWindow({{u"A"_qs, {}, {}, {}, u"pw1"_qs}});
    m_window->setPasswordClipboardTime(20);
    m_window->findChild<QAction *>(u"aCopyPassword"_qs)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), u"pw1"_qs);
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TestAccountList::copiedPasswordIsKeptWhenSomethingElseWasCopied()
{
    m_counter->let(10);
    m_window = makeWindow({{u"A"_qs, {}, {}, {}, u"pw1"_qs}});
    m_window->setPasswordClipboardTime(20);
    m_window->findChild<QAction *>(u"aCopyPassword"_qs)->trigger();
    QGuiApplication::clipboard()->setText(u"something else"_qs);
    // A timer started after the password's, as long, runs out after it.
    bool after = false;
    QTimer::singleShot(20, this, [&after] { after = true; });
    QTRY_VERIFY(after);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"something else"_qs);
}

void TestAccountList::filterNarrowsTheList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("totals");
    // In the order of the site names.
    const QStringList all = {u"\u00C5ngstr\u00F6m"_qs, u"Caf\u00E9 Noir"_qs, u"Dark Room"_qs, u"ZEBRA"_qs};
    QTest::newRow("nothing typed") << QString() << all << u"Totals: 4 Site(s)"_qs;
    QTest::newRow("without the accent") << u"cafe"_qs << QStringList{all[1]} << u"Totals: 1 of 4 Site(s)"_qs;
    QTest::newRow("with it, in capitals") << u"CAF\u00C9"_qs << QStringList{all[1]} << u"Totals: 1 of 4 Site(s)"_qs;
    QTest::newRow("ring and umlaut") << u"angstrom"_qs << QStringList{all[0]} << u"Totals: 1 of 4 Site(s)"_qs;
    QTest::newRow("username") << u"ANNA"_qs << QStringList{all[3]} << u"Totals: 1 of 4 Site(s)"_qs;
    QTest::newRow("url") << u"members.example"_qs << QStringList{all[0], all[2]} << u"Totals: 2 of 4 Site(s)"_qs;
    QTest::newRow("no account") << u"nowhere"_qs << QStringList() << u"Totals: 0 of 4 Site(s)"_qs;
    QTest::newRow("not across two fields") << u"roomhttps"_qs << QStringList() << u"Totals: 0 of 4 Site(s)"_qs;
}

void TestAccountList::filterNarrowsTheList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    QFETCH(QString, totals);
    m_counter->let(10);
    m_window = makeWindow({{u"Caf\u00E9 Noir"_qs, u"cafe.example"_qs, u"joe"_qs, {}},
                           {u"Dark Room"_qs, u"https://members.example/dark"_qs, u"pat"_qs, {}},
                           {u"ZEBRA"_qs, {}, u"Anna"_qs, {}},
                           {u"\u00C5ngstr\u00F6m"_qs, u"https://members.example/a"_qs, {}, {}}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QLineEdit *filter = m_window->edtFilter();
    filter->setFocus();
    QTest::keyClicks(filter, text);
    QCOMPARE(column(AccountModel::ColumnSite), shown);
    QCOMPARE(m_window->hdrTotals()->sectionText(1), totals);
    QCOMPARE(m_window->findChild<QAction *>(u"aAccountDelete"_qs)->isEnabled(), !shown.isEmpty());
    // Escape gives the whole list back.
    QTest::keyClick(filter, Qt::Key_Escape);
    QCOMPARE(filter->text(), QString());
    QCOMPARE(column(AccountModel::ColumnSite).size(), 4);
    QCOMPARE(m_window->hdrTotals()->sectionText(1), u"Totals: 4 Site(s)"_qs);
}

void TestAccountList::filterKeys()
{
    m_counter->let(10);
    m_window = makeWindow({{u"A"_qs, {}, {}, {}}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->dbgAccounts()->setFocus();
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_K, Qt::ControlModifier);
    QVERIFY(m_window->edtFilter()->hasFocus());
    // Ctrl+C in the box copies the box's text, not a password.
    QTest::keyClicks(m_window->edtFilter(), u"abc"_qs);
    m_window->edtFilter()->selectAll();
    QTest::keyClick(m_window->edtFilter(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"abc"_qs);
}

void TestAccountList::sortEditAndRemoveOnTheNarrowedList()
{
    m_counter->let(10);
    m_window = makeWindow({{u"alpha one"_qs, {}, {}, {}},
                           {u"beta"_qs, {}, {}, {}},
                           {u"gamma one"_qs, {}, {}, {}},
                           {u"delta one"_qs, {}, {}, {}}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->edtFilter()->setText(u"one"_qs);
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"alpha one"_qs, u"delta one"_qs, u"gamma one"_qs}));
    m_window->dbgAccountsTitleClick(AccountModel::ColumnSite); // descending
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"gamma one"_qs, u"delta one"_qs, u"alpha one"_qs}));

    // Editing the second shown row edits "delta one", wherever it is among all rows.
    DataSet *t = m_window->cdsVantory();
    m_window->dbgAccounts()->setCurrentIndex(m_window->accountModel()->index(1, 0));
    QVERIFY(t->edit() && t->setValue(FieldSiteName, u"zeta one"_qs) && t->post());
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"zeta one"_qs, u"gamma one"_qs, u"alpha one"_qs}));

    // Removing the last shown row removes "alpha one".
    m_window->dbgAccounts()->setCurrentIndex(m_window->accountModel()->index(2, 0));
    m_services->queueAnswer(QMessageBox::Ok);
    m_window->findChild<QAction *>(u"aAccountDelete"_qs)->trigger();
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"zeta one"_qs, u"gamma one"_qs}));
    QCOMPARE(m_window->hdrTotals()->sectionText(1), u"Totals: 2 of 3 Site(s)"_qs);
    m_window->edtFilter()->clear();
    QCOMPARE(column(AccountModel::ColumnSite), (QStringList{u"zeta one"_qs, u"gamma one"_qs, u"beta"_qs}));
    const QByteArray saved = TestSupport::readFile(m_dir->filePath(DataFileName));
    QVERIFY(!saved.contains("alpha one"));
    QVERIFY(saved.contains("zeta one"));
    QVERIFY(!saved.contains("delta one"));

    // A new account gets an identifier no other has, the filter on or not.
    m_window->edtFilter()->setText(u"zeta"_qs);
    QVERIFY(t->insert() && t->setValue(FieldSiteName, u"new"_qs) && t->post());
    QCOMPARE(t->value(FieldAccountID).toInt(), 4);
}

void TestAccountList::exportWritesTheListWithoutPasswords()
{
    m_counter->let(10);
    m_window = makeWindow({{u"B, \"the\" site"_qs, u"https://b.example"_qs, u"bob"_qs, u"/saves/b"_qs, u"secret1"_qs},
                           {u"A\nnext line"_qs, {}, u"\u00E5sa"_qs, {}, u"secret2"_qs}});
    const QString target = m_dir->filePath(u"list.csv"_qs);
    m_services->queuePath(QString()); // cancelled: nothing is written
    m_window->findChild<QAction *>(u"aExport"_qs)->trigger();
    QVERIFY(!QFile::exists(target));
    m_services->queuePath(target);
    m_window->findChild<QAction *>(u"aExport"_qs)->trigger();
    QCOMPARE(m_services->pickers.size(), 2);
    QCOMPARE(m_services->pickers[1].kind, u"save"_qs);
    const QByteArray csv = TestSupport::readFile(target);
    QVERIFY(!csv.contains("secret"));
    const QString expected = QStringLiteral(
        "\"Site\",\"URL\",\"Username\",\"Save Folder\",\"Monthly Fee\",\"Date Added\",\"State\"\r\n"
        "\"A\nnext line\",\"\",\"\u00E5sa\",\"\",\"1.00\",\"2024-03-05\",\"Active\"\r\n"
        "\"B, \"\"the\"\" site\",\"https://b.example\",\"bob\",\"/saves/b\",\"1.00\",\"2024-03-05\",\"Active\"\r\n");
    QCOMPARE(csv, QByteArray("\xEF\xBB\xBF") + expected.toUtf8());
}

void TestAccountList::columnsMakeRoomForTheScrollBar()
{
    m_counter->let(100);
    QList<Account> accounts;
    for (int i = 0; i < 40; ++i)
        accounts.append({QStringLiteral("Site %1").arg(i, 2, 10, QLatin1Char('0')), {}, {}, {}});
    m_window = makeWindow(accounts);
    m_window->resize(720, 480);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTableView *grid = m_window->dbgAccounts();
    QHeaderView *titles = grid->horizontalHeader();
    const auto rightEdge = [&] {
        const int last = AccountModel::ColumnCount - 1;
        return titles->sectionViewportPosition(last) + titles->sectionSize(last);
    };
    QTRY_VERIFY(grid->verticalScrollBar()->isVisible());
    QCoreApplication::processEvents();
    // The last column ends inside the viewport, not under the scroll bar.
    QVERIFY2(rightEdge() <= grid->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(rightEdge()).arg(grid->viewport()->width())));
    // Filtered to a few rows the bar goes, and the columns take its place again.
    const int withBar = rightEdge();
    m_window->edtFilter()->setText(u"Site 0"_qs);
    QTRY_VERIFY(!grid->verticalScrollBar()->isVisible());
    QTRY_VERIFY(rightEdge() > withBar);
    QVERIFY(rightEdge() <= grid->viewport()->width());
}

void TestAccountList::totalsDescribeTheShownAccounts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("totals"); // sections 1, 2, 4 and 5
    QTest::newRow("nothing typed") << QString()
                                   << QStringList{u"Totals: 5 Site(s)"_qs, u"> 1,000  "_qs, u"2 Active/2 Inactive"_qs,
                                                  u"$50.00"_qs};
    QTest::newRow("two shown") << u"alp"_qs
                               << QStringList{u"Totals: 2 of 5 Site(s)"_qs, u"(8)  "_qs, u"1 Active/0 Inactive"_qs,
                                              u"$10.00"_qs};
    QTest::newRow("an inactive one") << u"beta"_qs
                                     << QStringList{u"Totals: 1 of 5 Site(s)"_qs, u"(7)  "_qs,
                                                    u"0 Active/1 Inactive"_qs, u"$0.00"_qs};
    QTest::newRow("the one over the cap")
        << u"zeta"_qs
        << QStringList{u"Totals: 1 of 5 Site(s)"_qs, u"> 1,000  "_qs, u"0 Active/1 Inactive"_qs, u"$0.00"_qs};
    QTest::newRow("none") << u"nowhere"_qs
                          << QStringList{u"Totals: 0 of 5 Site(s)"_qs, u"(0)  "_qs, u"0 Active/0 Inactive"_qs,
                                         u"$0.00"_qs};
}

void TestAccountList::totalsDescribeTheShownAccounts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, totals);
    const QList<QPair<QString, qint32>> counts = {{u"/saves/a"_qs, 5},
                                                  {u"/saves/b"_qs, 7},
                                                  {u"/saves/g"_qs, 11},
                                                  {u"/saves/p"_qs, 3},
                                                  {u"/saves/z"_qs, FileCountCap}};
    for (const auto &[folder, count] : counts)
        m_counter->set(folder, count);
    m_counter->let(10);
    m_window = makeWindow({{u"Alpha"_qs, {}, {}, u"/saves/a"_qs, {}, 1, 10},
                           {u"Beta"_qs, {}, {}, u"/saves/b"_qs, {}, 0, 20},
                           {u"Gamma"_qs, {}, {}, u"/saves/g"_qs, {}, 1, 40},
                           {u"Alpine"_qs, {}, {}, u"/saves/p"_qs, {}, 2, 30},
                           {u"Zeta"_qs, {}, {}, u"/saves/z"_qs, {}, 0, 5}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_VERIFY(!m_window->isCounting());
    QLineEdit *filter = m_window->edtFilter();
    filter->setFocus();
    QTest::keyClicks(filter, text);
    const TotalsBar *bar = m_window->hdrTotals();
    QCOMPARE((QStringList{bar->sectionText(1), bar->sectionText(2), bar->sectionText(4), bar->sectionText(5)}), totals);
}

// A list narrowed to "Beta one" and "Gamma one", whose current account is the second; the filter
// box has the focus.
static void narrowToTwo(TfrmVantory &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTableView *grid = window.dbgAccounts();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(window.edtFilter()->hasFocus());
    QTest::keyClicks(window.edtFilter(), u"one"_qs);
    QCOMPARE(window.accountModel()->rowCount(), 2);
    grid->setCurrentIndex(window.accountModel()->index(1, AccountModel::ColumnSite));
    QCOMPARE(window.cdsVantory()->value(FieldSiteName).toString(), u"Gamma one"_qs);
    QVERIFY(window.edtFilter()->hasFocus());
}

void TestAccountList::filterBoxCopiesFromTheCurrentAccount_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("selected"); // the box's text is selected
    QTest::addColumn<QString>("copied");
    QTest::newRow("Ctrl+B") << int(Qt::Key_B) << false << u"gus"_qs;
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << false << u"pw-g"_qs;
    QTest::newRow("Ctrl+B, text selected") << int(Qt::Key_B) << true << u"gus"_qs;
    QTest::newRow("Ctrl+C, text selected") << int(Qt::Key_C) << true << u"one"_qs;
}

void TestAccountList::filterBoxCopiesFromTheCurrentAccount()
{
    QFETCH(int, key);
    QFETCH(bool, selected);
    QFETCH(QString, copied);
    m_counter->let(10);
    m_window = makeWindow({{u"Alpha"_qs, {}, u"ann"_qs, {}, u"pw-a"_qs},
                           {u"Beta one"_qs, {}, u"bob"_qs, {}, u"pw-b"_qs},
                           {u"Gamma one"_qs, {}, u"gus"_qs, {}, u"pw-g"_qs}});
    narrowToTwo(*m_window);
    if (QTest::currentTestFailed())
        return;
    if (selected)
        m_window->edtFilter()->selectAll();
    QGuiApplication::clipboard()->setText(u"before"_qs);
    QTest::keyClick(m_window->edtFilter(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(m_window->edtFilter()->text(), u"one"_qs);
    QVERIFY(m_window->edtFilter()->hasFocus());
}

void TestAccountList::filterBoxLeadsToTheList_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("opened"); // the account whose editor opens; -2 for none
    QTest::addColumn<QString>("current");
    QTest::newRow("Down") << int(Qt::Key_Down) << -2 << u"Gamma one"_qs;
    QTest::newRow("Return") << int(Qt::Key_Return) << 1 << u"Beta one"_qs;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 1 << u"Beta one"_qs;
}

void TestAccountList::filterBoxLeadsToTheList()
{
    QFETCH(int, key);
    QFETCH(int, opened);
    QFETCH(QString, current);
    m_counter->let(10);
    m_window = makeWindow({{u"Alpha"_qs, {}, {}, {}}, {u"Beta one"_qs, {}, {}, {}}, {u"Gamma one"_qs, {}, {}, {}}});
    narrowToTwo(*m_window);
    if (QTest::currentTestFailed())
        return;
    // Enter opens the first account shown, Down goes to the list at its current account.
    QCOMPARE(editorOpenedBy([&] { QTest::keyClick(m_window->edtFilter(), Qt::Key(key)); }), opened);
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), current);
    QCOMPARE(m_window->edtFilter()->text(), u"one"_qs);
    if (opened == -2)
        QVERIFY(m_window->dbgAccounts()->hasFocus());
}

void TestAccountList::pickersStartInTheFolderUsedLast_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("suggested"); // the file name the picker suggests, if any
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QTest::newRow("export") << u"aExport"_qs << u"Vantory accounts %1.csv"_qs.arg(today);
    QTest::newRow("backup") << u"aBackup"_qs << QString();
    QTest::newRow("restore") << u"aRestore"_qs << QString();
}

void TestAccountList::pickersStartInTheFolderUsedLast()
{
    QFETCH(QString, command);
    QFETCH(QString, suggested);
    m_counter->let(100);
    m_window = makeWindow({{u"A"_qs, {}, {}, {}}});
    const QStringList commands = {u"aExport"_qs, u"aBackup"_qs, u"aRestore"_qs};
    // Where each command's picker starts, when cancelled.
    const auto starts = [this, &commands] {
        QStringList result;
        for (const QString &c : commands) {
            m_services->queuePath(QString());
            m_window->findChild<QAction *>(c)->trigger();
            result << m_services->pickers.constLast().start;
        }
        return result;
    };
    const auto startsIn = [&commands](const QString &folder) {
        QStringList result;
        for (const QString &c : commands)
            result << (c == u"aExport"_qs ? QDir(folder).filePath(u"Vantory accounts %1.csv"_qs.arg(
                                                QDate::currentDate().toString(Qt::ISODate)))
                                          : folder);
        return result;
    };
    // At first in the home folder.
    QCOMPARE(starts(), startsIn(QDir::homePath()));

    // A file picked in a folder: every picker starts there next.
    const QString used = m_dir->filePath(u"used"_qs);
    QVERIFY(QDir().mkpath(used));
    const QString picked = QDir(used).filePath(u"picked.xml"_qs);
    if (command == u"aRestore"_qs)
        QVERIFY(QFile::copy(m_dir->filePath(DataFileName), picked));
    m_services->queuePath(picked);
    m_window->findChild<QAction *>(command)->trigger();
    QCOMPARE(m_services->pickers.constLast().start,
             suggested.isEmpty() ? QDir::homePath() : QDir(QDir::homePath()).filePath(suggested));
    QVERIFY(QFile::exists(picked));
    QCOMPARE(starts(), startsIn(used));

    // Also in the next run, kept in a section of its own.
    m_window.reset();
    m_window = makeWindow({{u"A"_qs, {}, {}, {}}});
    QCOMPARE(starts(), startsIn(used));
    QCOMPARE(RegReadString(u"Pickers"_qs, u"LastFolder"_qs), used);
    QCOMPARE(RegReadString(SectionMain, SettingDataPath), m_dir->path());

    // A folder that is gone sends the pickers home again.
    QVERIFY(QDir(used).removeRecursively());
    QCOMPARE(starts(), startsIn(QDir::homePath()));
}

QTEST_MAIN(TestAccountList)
#include "tst_accountlist.moc"
