// SPDX-License-Identifier: GPL-3.0-or-later
// The stored passwords moved between their scrambled and their encrypted form, with every file of the
// data folder, its Backups and the settings checked afterwards; wrong passwords, changed fields, and
// copies of the data file encrypted under an earlier master password.
#include "DataFolderFixture.h"
#include "TestSupport.h"
#include "VerifyStatus.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/BackupRestore.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/datafile/XmlDataReader.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"

#include <QDirIterator>
#include <QTest>

using namespace AccountSchema;
using TestSupport::DataFolderFixture;

namespace {

const Vault::Cost kCost{Vault::MinOps, Vault::MinMemory};
const QString kMaster = QStringLiteral("master-pw one");
const QString kSecond = QStringLiteral("second-pw two");

// The accounts' passwords, long enough and with characters no base64 holds, so that finding one in
// a file means it is there.
const QStringList kPasswords{QStringLiteral("alpha-pass 1"), QStringLiteral("bravo-pass ü 2"), QString(),
                             QStringLiteral("delta-pass € 4")};

RowValues account(int id, const QString &password)
{
    return {id,
            QStringLiteral("Site %1").arg(id),
            QString(),
            QString(),
            QStringLiteral("user%1").arg(id),
            password.isEmpty() ? QVariant() : QVariant(EncodeStr(password)),
            1.5,
            QDate(2024, 1, 2),
            1};
}

QString settingsPassword()
{
    return RegReadString(SettingsKeys::SectionMain, SettingsKeys::SettingPassword);
}

struct Folder
{
    DataFolderFixture fixture;

    std::unique_ptr<AccountBook> book() const
    {
        auto provider = std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs());
        fixture.point(*provider);
        auto b = std::make_unique<AccountBook>(std::move(provider), [](const QString &, qint32) { return 0; });
        return b;
    }
    QString path(const QString &name) const { return fixture.dir.filePath(name); }
};

// Today's data file: the accounts with scrambled passwords, a recorded copy of it in Backups and one
// the user put there, and the master password scrambled in the settings.
void makeScrambledFolder(const Folder &folder)
{
    TestSupport::clearSettings();
    XmlDataProvider provider(AccountTable::storedFieldDefs());
    folder.fixture.point(provider);
    QList<RowValues> rows;
    for (int i = 0; i < kPasswords.size(); ++i)
        rows << account(i, kPasswords[i]);
    QVERIFY(provider.applyChanges({}, rows));
    QVERIFY(provider.backups().copyNow().ok());
    QVERIFY(TestSupport::writeFile(folder.path(QStringLiteral("Backups/mine.xml")),
                                   TestSupport::readFile(folder.fixture.data())));
    RegWriteString(SettingsKeys::SectionMain, SettingsKeys::SettingPassword, EncodeStr(kMaster));
}

// Every file under the data folder, and the settings file.
QStringList everyFile(const Folder &folder)
{
    QStringList files{RegStoreLocation()};
    QDirIterator it(folder.fixture.dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// Where a password, or its scrambled form, can be read in a file; empty when nowhere.
QString findPasswords(const Folder &folder, const QStringList &passwords)
{
    for (const QString &file : everyFile(folder)) {
        const QByteArray bytes = TestSupport::readFile(file);
        for (const QString &password : passwords) {
            if (password.isEmpty())
                continue;
            if (bytes.contains(password.toUtf8()))
                return file + QStringLiteral(" holds ") + password;
            if (bytes.contains(EncodeStr(password).toUtf8()))
                return file + QStringLiteral(" holds ") + password + QStringLiteral(" scrambled");
        }
    }
    return {};
}

// The passwords as a fresh session reads them from the data file (unlocked with master when given).
QStringList readPasswords(const Folder &folder, const QString &master, QString &error)
{
    auto book = folder.book();
    if (!book->open()) {
        error = book->table()->lastError();
        return {};
    }
    if (!master.isEmpty()) {
        if (const Status unlocked = book->vault()->unlock(master); !unlocked) {
            error = unlocked.error;
            return {};
        }
    }
    QStringList passwords;
    DataSet &table = *book->table();
    for (int r = 1; r <= table.recordCount(); ++r) {
        QString plain;
        if (!book->vault()->reveal(table.valueAt(r, AccountTable::Password).toString(), plain))
            plain = QStringLiteral("<cannot be decrypted>");
        passwords << plain;
    }
    return passwords;
}

Status step(AccountBook &book, const QString &what)
{
    return book.changeVault([&what](VaultSession &vault) {
        if (what == u"on")
            return vault.turnOn(kMaster, kCost);
        if (what == u"off")
            return vault.turnOff(kMaster);
        if (what == u"remove")
            return vault.turnOff(QString());
        if (what == u"change")
            return vault.changePassword(kSecond, kCost);
        return Status::failure(QStringLiteral("no such step"));
    });
}

} // namespace

class TestVaultSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestSupport::clearSettings(); }
    void modeChangesLeaveNoPasswordBehind_data();
    void modeChangesLeaveNoPasswordBehind();
    void todaysFilesAreLeftAsTheyAre();
    void bothReadersTakeTheVaultElement();
    void wrongPasswordDecryptsNothing();
    void changedFieldIsKeptAndToldAlone_data();
    void changedFieldIsKeptAndToldAlone();
    void dataFileAloneOpensElsewhere();
    void backupUnderEarlierPasswordIsAdopted();
    void restoredScrambledCopyIsEncryptedAgain();
};

void TestVaultSession::modeChangesLeaveNoPasswordBehind_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("master");   // the master password at the end; empty when the vault is off
    QTest::addColumn<QString>("settings"); // "verifier", "scrambled" or "empty"
    QTest::newRow("on") << QStringList{QStringLiteral("on")} << kMaster << QStringLiteral("verifier");
    QTest::newRow("on, off") << QStringList{QStringLiteral("on"), QStringLiteral("off")} << QString()
                             << QStringLiteral("scrambled");
    QTest::newRow("on, change") << QStringList{QStringLiteral("on"), QStringLiteral("change")} << kSecond
                                << QStringLiteral("verifier");
    QTest::newRow("on, remove") << QStringList{QStringLiteral("on"), QStringLiteral("remove")} << QString()
                                << QStringLiteral("empty");
    QTest::newRow("on, off, on") << QStringList{QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("on")}
                                 << kMaster << QStringLiteral("verifier");
}

void TestVaultSession::modeChangesLeaveNoPasswordBehind()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, master);
    QFETCH(QString, settings);
    Folder folder;
    makeScrambledFolder(folder);
    {
        auto book = folder.book();
        QVERIFY(book->open());
        for (const QString &s : steps)
            VERIFY_OK(step(*book, s));
        // The table shows the stored form the file has now.
        for (int r = 1; r <= book->table()->recordCount(); ++r) {
            const QString stored = book->table()->valueAt(r, AccountTable::Password).toString();
            QCOMPARE(Vault::isSealed(stored), !master.isEmpty() && !stored.isEmpty());
        }
    }
    const QString stored = settingsPassword();
    if (settings == u"verifier") {
        QVERIFY(Vault::verify(stored, master));
        QCOMPARE(findPasswords(folder, kPasswords + QStringList{kMaster, kSecond}), QString());
    } else {
        QCOMPARE(stored, settings == u"scrambled" ? EncodeStr(kMaster) : QString());
    }
    QString error;
    QCOMPARE(readPasswords(folder, master, error), kPasswords);
    QCOMPARE(error, QString());
}

void TestVaultSession::todaysFilesAreLeftAsTheyAre()
{
    Folder folder;
    makeScrambledFolder(folder);
    const QByteArray before = TestSupport::readFile(folder.fixture.data());
    auto book = folder.book();
    QVERIFY(book->open());
    QCOMPARE(book->vault()->state(), VaultSession::State::Off);
    QCOMPARE(book->provider()->loadNotes(), QStringList());
    QVERIFY(book->close());
    QCOMPARE(TestSupport::readFile(folder.fixture.data()), before);
}

void TestVaultSession::bothReadersTakeTheVaultElement()
{
    Folder folder;
    makeScrambledFolder(folder);
    {
        auto book = folder.book();
        QVERIFY(book->open());
        VERIFY_OK(step(*book, QStringLiteral("on")));
    }
    const QByteArray file = TestSupport::readFile(folder.fixture.data());
    XmlDataLayout layout{DocumentElement, RowElement, {}, VaultElement};
    const std::vector<FieldDef> fields = AccountTable::storedFieldDefs();
    for (const FieldDef &f : fields)
        layout.fieldElements.push_back(f.name);
    XmlDataRead quick, full;
    // The file as written is for the quick reader, which gives what the full one gives.
    QVERIFY(XmlDataReader::readQuick(file, fields, layout, quick));
    QVERIFY(XmlDataReader::readFull(file, fields, layout, full));
    QVERIFY(quick.hasVault);
    QCOMPARE(quick.vault, full.vault);
    QCOMPARE(quick.rows, full.rows);
    QCOMPARE(quick.notes, QStringList());
    Vault::Params params;
    QVERIFY(Vault::fromAttributes(quick.vault, params));
    QVERIFY(Vault::verify(params.verifier, kMaster));
}

void TestVaultSession::wrongPasswordDecryptsNothing()
{
    Folder folder;
    makeScrambledFolder(folder);
    {
        auto book = folder.book();
        QVERIFY(book->open());
        VERIFY_OK(step(*book, QStringLiteral("on")));
    }
    const QByteArray file = TestSupport::readFile(folder.fixture.data());
    const QString settings = settingsPassword();
    auto book = folder.book();
    QVERIFY(book->open());
    QCOMPARE(book->vault()->state(), VaultSession::State::Locked);
    for (const QString &wrong : {QStringLiteral("Master-pw one"), QString(), kSecond})
        QVERIFY(!book->vault()->unlock(wrong));
    QCOMPARE(book->vault()->state(), VaultSession::State::Locked);
    for (int r = 1; r <= book->table()->recordCount(); ++r) {
        const QString stored = book->table()->valueAt(r, AccountTable::Password).toString();
        QString plain;
        QCOMPARE(book->vault()->reveal(stored, plain), stored.isEmpty());
    }
    // Nothing is turned off, changed or written without the key.
    QVERIFY(!step(*book, QStringLiteral("off")));
    QVERIFY(!step(*book, QStringLiteral("change")));
    QCOMPARE(TestSupport::readFile(folder.fixture.data()), file);
    QCOMPARE(settingsPassword(), settings);
}

void TestVaultSession::changedFieldIsKeptAndToldAlone_data()
{
    QTest::addColumn<int>("at"); // where the character is changed, from the end; 0: cut short instead
    QTest::addColumn<bool>("marker");
    QTest::newRow("tag") << 3 << false;
    QTest::newRow("ciphertext") << 28 << false;
    QTest::newRow("nonce") << 50 << false;
    QTest::newRow("cut short") << 0 << false;
    QTest::newRow("marker") << 0 << true;
}

void TestVaultSession::changedFieldIsKeptAndToldAlone()
{
    QFETCH(int, at);
    QFETCH(bool, marker);
    Folder folder;
    makeScrambledFolder(folder);
    QString damaged;
    {
        auto book = folder.book();
        QVERIFY(book->open());
        VERIFY_OK(step(*book, QStringLiteral("on")));
        const QString sealed = book->table()->valueAt(2, AccountTable::Password).toString();
        damaged = sealed;
        if (marker)
            damaged[3] = u'2';
        else if (at == 0)
            damaged.chop(4);
        else
            damaged[damaged.size() - at] = damaged[damaged.size() - at] == u'A' ? u'B' : u'A';
        QByteArray file = TestSupport::readFile(folder.fixture.data());
        QVERIFY(file.contains(sealed.toUtf8()));
        file.replace(sealed.toUtf8(), damaged.toUtf8());
        QVERIFY(TestSupport::writeFile(folder.fixture.data(), file));
    }
    QString error;
    QStringList expected = kPasswords;
    expected[1] = QStringLiteral("<cannot be decrypted>");
    QCOMPARE(readPasswords(folder, kMaster, error), expected);

    // Turned off, every other password is scrambled again; the damaged one is kept byte for byte.
    auto book = folder.book();
    QVERIFY(book->open());
    VERIFY_OK(book->vault()->unlock(kMaster));
    QVERIFY(book->vault()->isUndecryptable(damaged));
    VERIFY_OK(step(*book, QStringLiteral("off")));
    QCOMPARE(book->table()->valueAt(2, AccountTable::Password).toString(), damaged);
    const QByteArray file = TestSupport::readFile(folder.fixture.data());
    QVERIFY(file.contains(damaged.toUtf8()));
    for (int r : {1, 4})
        QCOMPARE(book->table()->valueAt(r, AccountTable::Password).toString(), EncodeStr(kPasswords[r - 1]));
}

void TestVaultSession::dataFileAloneOpensElsewhere()
{
    Folder folder;
    makeScrambledFolder(folder);
    {
        auto book = folder.book();
        QVERIFY(book->open());
        VERIFY_OK(step(*book, QStringLiteral("on")));
    }
    // Another machine: only the data file, no mapping files, no copies, no settings.
    Folder elsewhere;
    QVERIFY(QFile::copy(folder.fixture.data(), elsewhere.fixture.data()));
    TestSupport::clearSettings();
    QString error;
    QCOMPARE(readPasswords(elsewhere, kMaster, error), kPasswords);
    QCOMPARE(error, QString());
}

void TestVaultSession::backupUnderEarlierPasswordIsAdopted()
{
    Folder folder;
    makeScrambledFolder(folder);
    const QString older = folder.path(QStringLiteral("older.xml"));
    auto book = folder.book();
    QVERIFY(book->open());
    VERIFY_OK(step(*book, QStringLiteral("on")));
    QVERIFY(BackupRestore::backup(folder.fixture.data(), older).ok());
    VERIFY_OK(step(*book, QStringLiteral("change")));

    QVERIFY(BackupRestore::restore(*book->provider(), older).ok());
    QVERIFY(book->reopen());
    QVERIFY(book->vault()->needsAdoption());
    QCOMPARE(book->vault()->state(), VaultSession::State::Locked);
    // The copy opens with the password of its time only.
    QVERIFY(!book->changeVault([](VaultSession &v) { return v.adopt(kSecond); }));
    VERIFY_OK(book->changeVault([](VaultSession &v) { return v.adopt(kMaster); }));
    QVERIFY(!book->vault()->needsAdoption());
    QCOMPARE(book->vault()->state(), VaultSession::State::Unlocked);
    book.reset();

    // The data file is now under the master password of today.
    QString error;
    QVERIFY(readPasswords(folder, kMaster, error).isEmpty());
    QCOMPARE(readPasswords(folder, kSecond, error), kPasswords);
}

void TestVaultSession::restoredScrambledCopyIsEncryptedAgain()
{
    Folder folder;
    makeScrambledFolder(folder);
    const QString scrambled = folder.path(QStringLiteral("scrambled.xml"));
    QVERIFY(QFile::copy(folder.fixture.data(), scrambled));
    auto book = folder.book();
    QVERIFY(book->open());
    VERIFY_OK(step(*book, QStringLiteral("on")));
    QVERIFY(BackupRestore::restore(*book->provider(), scrambled).ok());
    QVERIFY(book->reopen());
    QVERIFY(book->vault()->needsAdoption());
    VERIFY_OK(book->changeVault([](VaultSession &v) { return v.adopt(QString()); }));
    QFile::remove(scrambled);
    QCOMPARE(findPasswords(folder, kPasswords), QString());
    book.reset();
    QString error;
    QCOMPARE(readPasswords(folder, kMaster, error), kPasswords);
}

QTEST_GUILESS_MAIN(TestVaultSession)
#include "tst_vaultsession.moc"
