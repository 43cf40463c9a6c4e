// SPDX-License-Identifier: GPL-3.0-or-later
// The account session without a window: every change saved at once (and kept when it cannot be),
// the counting of save folders and its cache, what a loaded file drops told once, the snapshot of
// every account's folder and the rows of a CSV export.
#include "DataFolderFixture.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/TableOrder.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/session/AccountBook.h"

#include <QDir>
#include <QFileDevice>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>

using namespace AccountSchema;
using TestSupport::DataFolderFixture;

namespace {

// A provider whose writes fail while told to, as a full disk would.
class FailingProvider : public XmlDataProvider
{
public:
    FailingProvider() : XmlDataProvider(AccountTable::storedFieldDefs()) {}
    std::atomic<bool> failing{false};

protected:
    bool writeContents(QFileDevice &file, const QByteArray &data) override
    {
        return !failing && XmlDataProvider::writeContents(file, data);
    }
};

// Counts by folder name ("…/7" holds 7 files) and remembers what it was asked, from the counting thread.
struct Counter
{
    QMutex mutex;
    QStringList asked;
    AccountBook::FolderCounter function()
    {
        return [this](const QString &folder, qint32) {
            QMutexLocker lock(&mutex);
            asked << folder;
            return qint32(QDir(folder).dirName().toInt());
        };
    }
    QStringList take()
    {
        QMutexLocker lock(&mutex);
        return std::exchange(asked, {});
    }
};

QByteArray account(int id, const char *name, const char *folder, const char *extra = "")
{
    return QByteArray("<Account><accountID>") + QByteArray::number(id) + "</accountID><siteName>" + name +
           "</siteName><savePath>" + folder + "</savePath><password>secret</password><active>1</active>" + extra +
           "</Account>";
}

QByteArray document(const QByteArray &accounts)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>" + accounts + "</Accounts>\n";
}

} // namespace

class TestAccountBook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void everyChangeIsSavedAtOnce_data();
    void everyChangeIsSavedAtOnce();
    void aChangeThatCannotBeSavedIsToldAndKept();
    void foldersAreCountedOnceAndAgainWhenAsked();
    void whatALoadedFileDropsIsToldOnce();
    void snapshotHoldsEveryAccountWhateverTheView();
    void csvRowsAreTheRowsShownWithoutPasswords();

private:
    void openBook(const QByteArray &contents);

    std::unique_ptr<DataFolderFixture> m_folder;
    std::unique_ptr<Counter> m_counter;
    FailingProvider *m_provider = nullptr;
    std::unique_ptr<AccountBook> m_book;
};

void TestAccountBook::init()
{
    m_folder = std::make_unique<DataFolderFixture>();
    m_counter = std::make_unique<Counter>();
}

void TestAccountBook::cleanup()
{
    m_book.reset();
    m_counter.reset();
    m_folder.reset();
}

void TestAccountBook::openBook(const QByteArray &contents)
{
    QVERIFY(TestSupport::writeFile(m_folder->data(), contents));
    auto provider = std::make_unique<FailingProvider>();
    m_provider = provider.get();
    m_book = std::make_unique<AccountBook>(std::move(provider), m_counter->function());
    m_book->setDataFolder(m_folder->dir.path() + u'/');
    QVERIFY2(m_book->open(), qPrintable(m_book->table()->lastError()));
}

void TestAccountBook::everyChangeIsSavedAtOnce_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("inFile");
    QTest::addColumn<QByteArray>("notInFile");
    QTest::newRow("added") << "add" << QByteArray("<siteName>Added</siteName>") << QByteArray();
    QTest::newRow("edited") << "edit" << QByteArray("<siteName>Renamed</siteName>")
                            << QByteArray("<siteName>Beta</siteName>");
    QTest::newRow("removed") << "remove" << QByteArray("<siteName>Alpha</siteName>")
                             << QByteArray("<siteName>Beta</siteName>");
}

void TestAccountBook::everyChangeIsSavedAtOnce()
{
    QFETCH(QString, change);
    QFETCH(QByteArray, inFile);
    QFETCH(QByteArray, notInFile);
    openBook(document(account(1, "Alpha", "/nowhere/1") + account(2, "Beta", "/nowhere/2")));
    QSignalSpy saved(m_book.get(), &AccountBook::saved);
    DataSet *t = m_book->table();
    QVERIFY(t->setRecNo(2));
    if (change == u"add")
        QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("Added")) && t->post());
    else if (change == u"edit")
        QVERIFY(t->edit() && t->setValue(FieldSiteName, QStringLiteral("Renamed")) && t->post());
    else
        QVERIFY(t->deleteRecord());
    // Saved before the call returned: nothing waits for a later moment that may never come.
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved[0][0].toString(), QString());
    QVERIFY(!t->hasPendingChanges());
    const QByteArray file = TestSupport::readFile(m_folder->data());
    QVERIFY2(file.contains(inFile), file.constData());
    if (!notInFile.isEmpty())
        QVERIFY2(!file.contains(notInFile), file.constData());
}

void TestAccountBook::aChangeThatCannotBeSavedIsToldAndKept()
{
    openBook(document(account(1, "Alpha", "/nowhere/1")));
    const QByteArray before = TestSupport::readFile(m_folder->data());
    QSignalSpy saved(m_book.get(), &AccountBook::saved);
    m_provider->failing = true;
    DataSet *t = m_book->table();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("Pending")) && t->post());
    QCOMPARE(saved.size(), 1);
    QVERIFY(!saved[0][0].toString().isEmpty());
    QCOMPARE(TestSupport::readFile(m_folder->data()), before);
    // Closing cannot write it either: the session stays, with the change.
    QVERIFY(!m_book->close());
    QVERIFY(t->hasPendingChanges());
    m_provider->failing = false;
    QVERIFY2(m_book->close(), qPrintable(t->lastError()));
    QVERIFY(TestSupport::readFile(m_folder->data()).contains("<siteName>Pending</siteName>"));
}

void TestAccountBook::foldersAreCountedOnceAndAgainWhenAsked()
{
    openBook(document(account(1, "Alpha", "/nowhere/3") + account(2, "Beta", "/nowhere/40")));
    QSignalSpy changed(m_book.get(), &AccountBook::countsChanged);
    DataSet *t = m_book->table();
    const auto totalOf = [t](int recNo) { return t->valueAt(recNo, AccountTable::TotalFiles); };
    QTRY_VERIFY(!m_book->isCounting());
    QVERIFY(!changed.isEmpty());
    QCOMPARE(totalOf(1).toInt() + totalOf(2).toInt(), 43);
    QStringList asked = m_counter->take();
    asked.sort();
    QCOMPARE(asked, (QStringList{QStringLiteral("/nowhere/3"), QStringLiteral("/nowhere/40")}));

    // A change of another field keeps the known count on screen and counts that folder again.
    QVERIFY(t->setRecNo(1));
    const QString folder = t->value(FieldSavePath).toString();
    QVERIFY(t->edit() && t->setValue(FieldSiteName, QStringLiteral("Renamed")) && t->post());
    QVERIFY(!t->value(FieldTotalFiles).isNull());
    QTRY_VERIFY(!m_book->isCounting());
    QCOMPARE(m_counter->take(), QStringList{folder});

    // Refresh forgets every count: each folder is counted anew.
    m_book->refresh();
    QTRY_VERIFY(!m_book->isCounting());
    asked = m_counter->take();
    asked.sort();
    QCOMPARE(asked, (QStringList{QStringLiteral("/nowhere/3"), QStringLiteral("/nowhere/40")}));
    QCOMPARE(totalOf(1).toInt() + totalOf(2).toInt(), 43);
}

void TestAccountBook::whatALoadedFileDropsIsToldOnce()
{
    QVERIFY(TestSupport::writeFile(m_folder->data(), document(account(1, "Alpha", "/nowhere/1", "<notes>x</notes>"))));
    auto book = std::make_unique<AccountBook>(std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs()));
    QSignalSpy told(book.get(), &AccountBook::loadNotesFound);
    book->setDataFolder(m_folder->dir.path() + u'/');
    QVERIFY(book->open());
    QCOMPARE(told.size(), 1);
    const auto notes = told[0][0].value<AccountBook::LoadNotes>();
    QCOMPARE(notes.file, m_folder->data());
    QVERIFY(!notes.notes.isEmpty());
    // The copy of the file as it was is there before any change.
    QVERIFY2(!notes.copy.isEmpty(), qPrintable(notes.copyError));
    QCOMPARE(TestSupport::readFile(notes.copy), TestSupport::readFile(m_folder->data()));
    // The same file read again is not told again.
    book->refresh();
    QVERIFY(book->table()->isActive());
    QCOMPARE(told.size(), 1);
}

void TestAccountBook::snapshotHoldsEveryAccountWhateverTheView()
{
    openBook(document(account(3, "Gamma", "/nowhere/3") + account(1, "Alpha", "/nowhere/1") +
                      account(2, "Beta", "/nowhere/2")));
    DataSet *t = m_book->table();
    QVERIFY(SortDataSet(*t, FieldSiteName));
    QVERIFY(SortDataSet(*t, FieldSiteName)); // descending
    QVERIFY(t->setFilter(QStringLiteral("Beta"), {AccountTable::SiteName}));
    QCOMPARE(t->recordCount(), 1);
    const int current = t->recNo();
    const QList<AccountFolder> folders = m_book->accountFolders();
    QCOMPARE(folders.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(folders[i].accountId, qint64(i + 1));
        QCOMPARE(folders[i].savePath, QStringLiteral("/nowhere/%1").arg(i + 1));
    }
    QCOMPARE(folders[0].siteName, QStringLiteral("Alpha"));
    QCOMPARE(t->recNo(), current);
}

void TestAccountBook::csvRowsAreTheRowsShownWithoutPasswords()
{
    openBook(document(account(2, "Beta", "/nowhere/2") + account(1, "Alpha", "/nowhere/1")));
    DataSet *t = m_book->table();
    QVERIFY(SortDataSet(*t, FieldSiteName));
    const QList<QStringList> rows = m_book->csvRows({QStringLiteral("off"), QStringLiteral("on")});
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].size(), 7);
    QCOMPARE(rows[1][0], QStringLiteral("Alpha"));
    QCOMPARE(rows[2][0], QStringLiteral("Beta"));
    QCOMPARE(rows[1][6], QStringLiteral("on"));
    for (const QStringList &row : rows)
        QVERIFY(!row.join(u'|').contains(QStringLiteral("secret")));
    QVERIFY(t->setFilter(QStringLiteral("Beta"), {AccountTable::SiteName}));
    QCOMPARE(m_book->csvRows({}).size(), 2);
}

QTEST_GUILESS_MAIN(TestAccountBook)
#include "tst_accountbook.moc"
