// SPDX-License-Identifier: GPL-3.0-or-later
// A save killed at any moment leaves the data file whole: the state before it or the state after it,
// never a mixture, never a file that does not load; and what the killed save left behind is gone once
// the next save has succeeded. The same for the changes between scrambled and encrypted passwords:
// every password of the file in one form, opening with one master password, and the copies in
// Backups encrypted once the key is given again.
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/SaveFile.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/datafile/XmlDataReader.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/VaultSession.h"
#include "ProviderChanges.h"

#include <QDirIterator>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace AccountSchema;

namespace {

constexpr int Accounts = 40;

RowValues account(int id, int generation)
{
    // A long text, so that a save takes long enough to be caught half-way now and then.
    return {id, QStringLiteral("Site %1 generation %2 ").arg(id).arg(generation).repeated(8), QString(), QString(),
            QString(), QString(), double(generation), QDate(2024, 1, 2), 1};
}

std::unique_ptr<XmlDataProvider> providerIn(const QTemporaryDir &dir)
{
    auto p = std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs());
    p->setFileName(dir.filePath(DataFileName));
    p->setReadMappingFile(dir.filePath(ReadMappingFileName));
    p->setWriteMappingFile(dir.filePath(WriteMappingFileName));
    return p;
}

// The generation every account of the file holds; -1 when they disagree or the file does not load.
int generationOf(const QTemporaryDir &dir, QString &error)
{
    QList<RowValues> rows;
    if (const Status loaded = providerIn(dir)->load(rows); !loaded) {
        error = loaded.error;
        return -1;
    }
    if (rows.size() != Accounts) {
        error = QStringLiteral("%1 accounts").arg(rows.size());
        return -1;
    }
    const int generation = int(rows[0][6].toDouble());
    for (int i = 0; i < Accounts; ++i) {
        if (rows[i] != account(i, generation)) {
            error = QStringLiteral("account %1 is not of generation %2").arg(i).arg(generation);
            return -1;
        }
    }
    return generation;
}

// Moves every account from its generation to the next one in one save.
Status saveNextGeneration(XmlDataProvider &p, int generation)
{
    QList<PendingChange> changes;
    for (int i = 0; i < Accounts; ++i)
        changes.append({PendingChange::Modify, account(i, generation), account(i, generation + 1)});
    return applyToFile(p, changes);
}

QStringList leftovers(const QTemporaryDir &dir)
{
    QStringList found;
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        if (!SaveFile::leftoverTarget(name).isEmpty())
            found << name;
    return found;
}

const Vault::Cost kVaultCost{Vault::MinOps, Vault::MinMemory};
const QStringList kMasters{QStringLiteral("first master"), QStringLiteral("second master")};

QString vaultPassword(int id)
{
    return QStringLiteral("pass-%1 word").arg(id);
}

// Which master password opens the data file now (-1: none, or it is not encrypted), with the
// passwords it reads; error when any account's password is not its own.
int vaultStateOf(const QTemporaryDir &dir, QString &error)
{
    auto p = providerIn(dir);
    QList<RowValues> rows;
    if (const Status loaded = p->load(rows); !loaded) {
        error = loaded.error;
        return -2;
    }
    VaultSession vault(*p);
    int master = -1;
    if (vault.fileIsSealed()) {
        for (int m = 0; m < kMasters.size() && master < 0; ++m)
            if (vault.unlock(kMasters[m]))
                master = m;
        if (master < 0) {
            error = QStringLiteral("no master password opens the file");
            return -2;
        }
    }
    for (int i = 0; i < rows.size(); ++i) {
        const QString stored = rows[i][AccountTable::Password].toString();
        QString plain;
        if (Vault::isSealed(stored) != (master >= 0) || !vault.reveal(stored, plain) || plain != vaultPassword(i)) {
            error = QStringLiteral("account %1 holds %2").arg(i).arg(stored);
            return -2;
        }
    }
    return master;
}

// A scrambled password in a copy in Backups; empty when there is none.
QString scrambledInBackups(const QTemporaryDir &dir)
{
    auto p = providerIn(dir);
    QDirIterator it(dir.filePath(DataFileBackups::folderName()), QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        const QString file = it.next();
        XmlDataRead read;
        if (!p->readFile(file, read))
            continue;
        for (const RowValues &row : read.rows)
            if (!Vault::isSealed(row[AccountTable::Password].toString()))
                return file;
    }
    return {};
}

// Changes the mode of the data file, or its master password, again and again until killed.
[[noreturn]] void changeModesForever(const QTemporaryDir &dir, bool changePasswords)
{
    auto p = providerIn(dir);
    QList<RowValues> rows;
    if (!p->load(rows))
        ::_exit(2);
    VaultSession vault(*p);
    for (;;) {
        int master = 0;
        if (vault.fileIsSealed() && !vault.unlock(kMasters[0])) {
            master = 1;
            if (!vault.unlock(kMasters[1]))
                ::_exit(3);
        }
        Status changed;
        if (changePasswords)
            changed = vault.changePassword(kMasters[1 - master], kVaultCost);
        else if (vault.fileIsSealed())
            changed = vault.turnOff(kMasters[0]);
        else
            changed = vault.turnOn(kMasters[0], kVaultCost);
        if (!changed)
            ::_exit(4);
        vault.lock();
    }
}

} // namespace

class TestKilledSaves : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyKillLeavesOneWholeState();
    void everyKillDuringAModeChangeLeavesOneMode_data();
    void everyKillDuringAModeChangeLeavesOneMode();
};

void TestKilledSaves::everyKillLeavesOneWholeState()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs fork() and SIGKILL");
#else
    // More kills in a longer run: VANTORY_KILLED_SAVES=5000.
    const int kills = qMax(200, qEnvironmentVariableIntValue("VANTORY_KILLED_SAVES"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        auto p = providerIn(dir);
        QList<RowValues> rows;
        VERIFY_OK(p->load(rows));
        QList<PendingChange> changes;
        for (int i = 0; i < Accounts; ++i)
            changes.append({PendingChange::Insert, {}, account(i, 0)});
        VERIFY_OK(applyToFile(*p, changes));
    }
    int caughtWithLeftover = 0;
    int generation = 0;
    for (int kill = 0; kill < kills; ++kill) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // Saves one generation after another until it is killed.
            auto p = providerIn(dir);
            QList<RowValues> rows;
            if (!p->load(rows))
                ::_exit(2);
            for (int g = int(rows[0][6].toDouble());; ++g)
                if (!saveNextGeneration(*p, g))
                    ::_exit(3);
        }
        ::usleep(QRandomGenerator::global()->bounded(200u, 8000u));
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), "the saving child ended by itself");

        QString error;
        const int now = generationOf(dir, error);
        QVERIFY2(now >= generation, qPrintable(QStringLiteral("after kill %1: %2").arg(kill).arg(error)));
        generation = now;
        if (!leftovers(dir).isEmpty())
            ++caughtWithLeftover;

        // The next save succeeds and takes away what the killed one left.
        auto p = providerIn(dir);
        QList<RowValues> rows;
        VERIFY_OK(p->load(rows));
        VERIFY_OK(saveNextGeneration(*p, generation));
        ++generation;
        QCOMPARE(leftovers(dir), QStringList());
    }
    qInfo("%d kills, %d of them left a temporary file behind, %d generations saved", kills, caughtWithLeftover,
          generation);
#endif
}

void TestKilledSaves::everyKillDuringAModeChangeLeavesOneMode_data()
{
    QTest::addColumn<bool>("changePasswords");
    QTest::newRow("on and off") << false;
    QTest::newRow("change of master password") << true;
}

void TestKilledSaves::everyKillDuringAModeChangeLeavesOneMode()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs fork() and SIGKILL");
#else
    QFETCH(bool, changePasswords);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        auto p = providerIn(dir);
        QList<RowValues> rows;
        VERIFY_OK(p->load(rows));
        for (int i = 0; i < 6; ++i)
            rows.append({i, QStringLiteral("Site %1").arg(i), QString(), QString(), QString(),
                         EncodeStr(vaultPassword(i)), 1.0, QDate(2024, 1, 2), 1});
        VERIFY_OK(p->applyChanges({}, rows));
        if (changePasswords) {
            VaultSession vault(*p);
            VERIFY_OK(vault.turnOn(kMasters[0], kVaultCost));
        }
    }
    // A change takes a few key derivations, a few tenths of a second each: the kills fall before,
    // inside and after them.
    constexpr int Kills = 10;
    QSet<int> seen;
    for (int kill = 0; kill < Kills; ++kill) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0)
            changeModesForever(dir, changePasswords);
        ::usleep(QRandomGenerator::global()->bounded(20000u, 2500000u));
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), "the child ended by itself");

        QString error;
        const int master = vaultStateOf(dir, error);
        QVERIFY2(master > -2, qPrintable(QStringLiteral("after kill %1: %2").arg(kill).arg(error)));
        seen.insert(master);
        // Given the key again, the session encrypts what the killed change left scrambled in Backups.
        if (master >= 0) {
            auto p = providerIn(dir);
            QList<RowValues> rows;
            VERIFY_OK(p->load(rows));
            VaultSession vault(*p);
            VERIFY_OK(vault.unlock(kMasters[master]));
            QCOMPARE(scrambledInBackups(dir), QString());
        }
    }
    qInfo("%d kills, modes seen: %d", Kills, int(seen.size()));
#endif
}

QTEST_GUILESS_MAIN(TestKilledSaves)
#include "tst_killedsaves.moc"
