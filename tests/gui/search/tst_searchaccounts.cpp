// SPDX-License-Identifier: GPL-3.0-or-later
// The main window and its search window together: a search looks through every account whatever the
// list's filter and order, counts that arrive during a search change nothing of it, the current
// account is the same after it, a search keeps to what was asked when Find was pressed, and its
// status line is never cut.
#include "FolderFixtures.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/search/FindFile.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/mainwindow/AccountModel.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/search/SearchForm.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <functional>

using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

// A folder counter whose counts wait until the test lets them through, one by one; each gives the
// number the test set for its folder.
class GatedCounter
{
public:
    qint32 operator()(const QString &folder, qint32)
    {
        m_gate.acquire();
        ++m_done;
        return m_counts.value(folder);
    }
    // Before the window is made: the counting thread reads these.
    void set(const QString &folder, qint32 count) { m_counts.insert(folder, count); }
    void let(int n = 1) { m_gate.release(n); }

private:
    QHash<QString, qint32> m_counts;
    QSemaphore m_gate;
    std::atomic<int> m_done{0};
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestSearchAccounts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void filterNarrowsTheListNotTheSearch_data();
    void filterNarrowsTheListNotTheSearch();
    void countsArrivingDuringASearch();
    void editsDuringASearchApplyToTheNextOne_data();
    void editsDuringASearchApplyToTheNextOne();
    void statusLineIsNeverCut();

private:
    QString root(const QString &relative = {}) const { return QDir(m_dir->path()).filePath(relative); }
    void write(const QString &relative, const QByteArray &contents = "filler") const;
    // The main window on accounts named S0, S1, ... whose save folders are saves/S0, saves/S1, ...
    void makeMainWindow(int accounts);
    // Shows the search window by the main window's Search command and runs body in it; closes it after.
    void inSearchWindow(const std::function<void()> &body);
    // Types the text into the Find box and presses Enter; the search has ended when this returns.
    void searchFor(const QString &text);
    // Runs hook on every status text the search shows (the folders as it enters them).
    void onStatus(std::function<void(const QString &)> hook);
    QStringList listed() const;
    QString status() const;
    QString currentSite() const { return m_main->cdsVantory()->value(FieldSiteName).toString(); }
    template <typename T> T *child(const char *name) const
    {
        T *widget = m_search->findChild<T *>(QLatin1String(name));
        [&] { QVERIFY2(widget, name); }();
        return widget;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<GatedCounter> m_counter;
    std::unique_ptr<TfrmVantory> m_main;
    TfrmSearch *m_search = nullptr;
};

void TestSearchAccounts::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_services = std::make_unique<ScriptedServices>();
    m_counter = std::make_unique<GatedCounter>();
    RegWriteString(SectionMain, SettingDataPath, root(QStringLiteral("data")));
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
}

void TestSearchAccounts::cleanup()
{
    // Counts still waiting are let through, so the counting thread can end.
    m_counter->let(1000);
    m_search = nullptr;
    m_main.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_counter.reset();
    m_services.reset();
    m_dir.reset();
}

void TestSearchAccounts::write(const QString &relative, const QByteArray &contents) const
{
    QVERIFY2(TestSupport::writeFile(root(relative), contents), qPrintable(relative));
}

void TestSearchAccounts::makeMainWindow(int accounts)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (int i = 0; i < accounts; ++i) {
        xml += QStringLiteral("<Account><accountID>%1</accountID><siteName>S%1</siteName><savePath>%2</savePath>"
                              "<monthlyFee>1</monthlyFee><addedDate>2024-01-01</addedDate><active>1</active>"
                              "</Account>\n")
                   .arg(i)
                   .arg(root(QStringLiteral("saves/S%1").arg(i)))
                   .toUtf8();
    }
    write(QStringLiteral("data/") + DataFileName, xml + "</Accounts>\n");
    GatedCounter *counter = m_counter.get();
    m_main = std::make_unique<TfrmVantory>(
        std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()), nullptr,
        [counter](const QString &folder, qint32 limit) { return (*counter)(folder, limit); });
    m_search = m_main->frmSearch();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void TestSearchAccounts::inSearchWindow(const std::function<void()> &body)
{
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        const auto closeAtEnd = qScopeGuard([&] { m_search->reject(); });
        QTRY_COMPARE(QApplication::activeWindow(), m_search);
        ran = true;
        body();
    });
    QTest::keyClick(m_main->dbgAccounts(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(ran);
    QVERIFY(!m_search->isVisible());
}

void TestSearchAccounts::searchFor(const QString &text)
{
    auto *find = child<QLineEdit>("cbFindText");
    find->setFocus();
    find->selectAll();
    QTest::keyClicks(find, text);
    QTest::keyClick(find, Qt::Key_Return);
    // The search goes on from the event loop; waiting longer than this means it hung.
    QTRY_VERIFY_WITH_TIMEOUT(!m_search->isSearching(), 60'000);
}

void TestSearchAccounts::onStatus(std::function<void(const QString &)> hook)
{
    connect(child<QStatusBar>("stSearch"), &QStatusBar::messageChanged, m_search, std::move(hook));
}

QStringList TestSearchAccounts::listed() const
{
    QStringList paths;
    SearchResultModel *results = m_search->resultList()->results();
    for (int row = 0; row < results->count(); ++row)
        paths << QDir(m_dir->path()).relativeFilePath(results->path(row));
    return paths;
}

QString TestSearchAccounts::status() const
{
    return m_search->findChild<QStatusBar *>(QStringLiteral("stSearch"))->currentMessage();
}

// --- Which accounts a search looks through ------------------------------------------------------

void TestSearchAccounts::filterNarrowsTheListNotTheSearch_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("shown");
    QTest::newRow("a filter that matches nothing") << "nothing like it" << 0;
    QTest::newRow("a filter that matches one account") << "S1" << 1;
    QTest::newRow("no filter") << "" << 3;
}

void TestSearchAccounts::filterNarrowsTheListNotTheSearch()
{
    QFETCH(QString, filter);
    QFETCH(int, shown);
    for (int i = 0; i < 3; ++i)
        write(QStringLiteral("saves/S%1/invoice %1.txt").arg(i));
    makeMainWindow(3);
    m_counter->let(3);
    QTRY_VERIFY(!m_main->isCounting());
    // Ordered the other way round, and narrowed by the filter.
    m_main->dbgAccountsTitleClick(AccountModel::ColumnSite);
    m_main->edtFilter()->setFocus();
    QTest::keyClicks(m_main->edtFilter(), filter);
    QCOMPARE(m_main->cdsVantory()->recordCount(), shown);
    if (shown > 0)
        m_main->dbgAccounts()->setCurrentIndex(m_main->accountModel()->index(0, AccountModel::ColumnSite));
    const QString picked = currentSite();

    inSearchWindow([&] { searchFor(QStringLiteral("invoice")); });
    QCOMPARE(sorted(listed()),
             QStringList({QStringLiteral("saves/S0/invoice 0.txt"), QStringLiteral("saves/S1/invoice 1.txt"),
                          QStringLiteral("saves/S2/invoice 2.txt")}));
    // One folder per account, entered by each of the two passes.
    QVERIFY2(status().contains(QRegularExpression(QStringLiteral("(^|: )6 folder\\(s\\) searched and 3 file"))),
             qPrintable(status()));
    // The list is as narrow as before, on the account the user picked.
    QCOMPARE(m_main->cdsVantory()->recordCount(), shown);
    QCOMPARE(currentSite(), picked);
}

void TestSearchAccounts::countsArrivingDuringASearch()
{
    // The counts order the list by Total Files as they arrive, each putting its account somewhere else.
    const QList<int> counts = {40, 10, 20, 30, 5};
    const int accounts = int(counts.size());
    for (int i = 0; i < accounts; ++i) {
        write(QStringLiteral("saves/S%1/invoice %1.txt").arg(i));
        m_counter->set(root(QStringLiteral("saves/S%1").arg(i)), counts[i]);
    }
    makeMainWindow(accounts);
    m_main->dbgAccountsTitleClick(AccountModel::ColumnTotalFiles);
    // The account the user picked.
    m_main->dbgAccounts()->setFocus();
    m_main->dbgAccounts()->setCurrentIndex(m_main->accountModel()->index(2, AccountModel::ColumnSite));
    const QString picked = currentSite();
    QCOMPARE(picked, QStringLiteral("S2"));

    // Each time the search enters another account's folder, one more count arrives.
    DataSet *table = m_main->cdsVantory();
    const auto arrived = [table] {
        int known = 0;
        for (int row = 0; row < table->totalRecordCount(); ++row)
            known += table->valueOfRow(row, AccountTable::TotalFiles).isValid() ? 1 : 0;
        return known;
    };
    int let = 0;
    QString last;
    QStringList entered;
    onStatus([&](const QString &text) {
        if (text == last || !text.startsWith(root(QStringLiteral("saves"))))
            return;
        last = text;
        entered << QDir(root()).relativeFilePath(text);
        if (let == accounts)
            return;
        m_counter->let();
        ++let;
        QTRY_COMPARE(arrived(), let);
    });
    inSearchWindow([&] { searchFor(QStringLiteral("invoice")); });
    QCOMPARE(let, accounts);

    // Every account searched once.
    QStringList expected;
    for (int i = 0; i < accounts; ++i)
        expected << QStringLiteral("saves/S%1/invoice %1.txt").arg(i);
    QCOMPARE(sorted(listed()), expected);
    QCOMPARE(entered.size(), accounts);
    QVERIFY2(status().contains(QRegularExpression(
                 QStringLiteral("(^|: )%1 folder\\(s\\) searched and %2 file").arg(2 * accounts).arg(accounts))),
             qPrintable(status()));
    // The current account is still the one the user picked, and the grid shows it so.
    QCOMPARE(currentSite(), picked);
    const QModelIndex current = m_main->dbgAccounts()->currentIndex();
    QCOMPARE(current.siblingAtColumn(AccountModel::ColumnSite).data().toString(), picked);
}

// --- What a search looks for ---------------------------------------------------------------------

void TestSearchAccounts::editsDuringASearchApplyToTheNextOne_data()
{
    QTest::addColumn<QString>("edit");
    QTest::newRow("another find text") << "text";
    QTest::newRow("another file mask") << "mask";
    QTest::newRow("an option unchecked") << "option";
}

void TestSearchAccounts::editsDuringASearchApplyToTheNextOne()
{
    QFETCH(QString, edit);
    for (int i = 0; i < 2; ++i) {
        write(QStringLiteral("saves/S%1/alpha.txt").arg(i));
        write(QStringLiteral("saves/S%1/beta.txt").arg(i));
    }
    makeMainWindow(2);
    m_counter->let(2);
    const QString first = AppendPathDelimiter(root(QStringLiteral("saves/S0")));
    QString maskShown;
    inSearchWindow([&] {
        bool edited = false;
        onStatus([&](const QString &text) {
            if (edited || text != first)
                return;
            edited = true;
            // As the user would: select what the box holds and type over it, or click the option.
            if (edit == QLatin1String("text")) {
                auto *find = child<QLineEdit>("cbFindText");
                find->setFocus();
                QTest::keyClick(find, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(find, QStringLiteral("beta"));
            } else if (edit == QLatin1String("mask")) {
                auto *mask = child<QComboBox>("cbFileMask");
                mask->setFocus();
                QTest::keyClick(mask, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(mask, QStringLiteral("*.pdf"));
            } else {
                QTest::mouseClick(child<QCheckBox>("chkSearchFilenames"), Qt::LeftButton, {},
                                  QPoint(8, child<QCheckBox>("chkSearchFilenames")->height() / 2));
            }
        });
        searchFor(QStringLiteral("alpha"));
        QVERIFY(edited);
        maskShown = child<QComboBox>("cbFileMask")->currentText();
    });
    // Found as asked when Find was pressed, and the status line says what that was.
    QCOMPARE(sorted(listed()),
             QStringList({QStringLiteral("saves/S0/alpha.txt"), QStringLiteral("saves/S1/alpha.txt")}));
    QVERIFY2(status().startsWith(QStringLiteral("\"alpha\" in *.*: 4 folder(s) searched and 2 file(s) found - ")),
             qPrintable(status()));
    // The edit itself stays, for the next search.
    if (edit == QLatin1String("mask"))
        QCOMPARE(maskShown, QStringLiteral("*.pdf"));
}

// --- The status line ----------------------------------------------------------------------------

void TestSearchAccounts::statusLineIsNeverCut()
{
#ifdef Q_OS_LINUX
    write(QStringLiteral("saves/S0/report.txt"));
    // A name with no spelling in the system's encoding makes the summary tell about it.
    QVERIFY(TestSupport::makeRawEntry(QFile::encodeName(root(QStringLiteral("saves/S0"))) + "/report\xff.txt", false));
    makeMainWindow(1);
    m_counter->let(1);
    QString text;
    inSearchWindow([&] {
        // At the window's first size, with a summary longer than a line.
        searchFor(QStringLiteral("report"));
        auto *bar = child<QStatusBar>("stSearch");
        text = bar->currentMessage();
        const QFontMetrics metrics(bar->font());
        // The message is drawn left of the size grip, as on any status bar.
        const QRect area(6, 0, bar->width() - 18, bar->height());
        QVERIFY2(metrics.horizontalAdvance(text) > area.width(), qPrintable(text)); // the case it is about
        if (bar->toolTip() == text)
            return; // the whole is in the tool tip
        // Wrapped at spaces, every line fits the bar.
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, area.width(), 1 << 20), Qt::TextWordWrap | Qt::AlignLeft, text);
        QVERIFY2(
            needed.height() <= area.height(),
            qPrintable(
                QStringLiteral("%1 px needed, %2 px shown: %3").arg(needed.height()).arg(area.height()).arg(text)));
    });
    QVERIFY2(text.endsWith(QStringLiteral(" - 1 item(s) with unreadable names left out")), qPrintable(text));
    QVERIFY(TestSupport::removeTree(root(QStringLiteral("saves"))));
#else
    QSKIP("Names that are not valid in the system's encoding exist on Linux only");
#endif
}

QTEST_MAIN(TestSearchAccounts)
#include "tst_searchaccounts.moc"
