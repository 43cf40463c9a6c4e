// SPDX-License-Identifier: GPL-3.0-or-later
// Restore against hostile files: a data file that is no regular file, a backup that changes while it
// is read, a backup without a single account.
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/BackupRestore.h"
#include "core/datafile/RegularFile.h"
#include "core/datafile/XmlDataProvider.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VANTORY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VANTORY_SANITIZED 1
#endif
#endif

using namespace AccountSchema;

namespace {

QByteArray dataFile(const QStringList &sites)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n";
    for (qsizetype i = 0; i < sites.size(); ++i)
        xml += QStringLiteral("  <Account>\n    <accountID>%1</accountID>\n    <siteName>%2</siteName>\n  </Account>\n")
                   .arg(i)
                   .arg(sites[i])
                   .toUtf8();
    return xml + "</Accounts>\n";
}

// A data folder with a provider pointed at it.
struct DataFolder
{
    QTemporaryDir dir;
    XmlDataProvider provider{AccountTable::storedFieldDefs()};

    DataFolder()
    {
        provider.setFileName(path(DataFileName));
        provider.setReadMappingFile(path(ReadMappingFileName));
        provider.setWriteMappingFile(path(WriteMappingFileName));
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString data() const { return path(DataFileName); }
    QStringList copies() const
    {
        return QDir(path(QStringLiteral("Backups"))).entryList({QStringLiteral("main-*")}, QDir::Files);
    }
};

} // namespace

class TestBackupRestore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restoreOverADataFileThatIsNoRegularFile_data();
    void restoreOverADataFileThatIsNoRegularFile();
    void restoreTakesOneVersionOfAChangingBackup_data();
    void restoreTakesOneVersionOfAChangingBackup();
    void backupWithoutAccountsReplacesNothingUnlessConfirmed_data();
    void backupWithoutAccountsReplacesNothingUnlessConfirmed();
};

void TestBackupRestore::restoreOverADataFileThatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("kind");
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << u"named pipe"_qs;
    QTest::newRow("link to a named pipe") << u"link to a named pipe"_qs;
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_qs;
#endif
}

// The data file cannot be loaded, so the user restores a backup: that neither hangs nor reads without
// end, and what the data file names is not replaced; the user is told why.
void TestBackupRestore::restoreOverADataFileThatIsNoRegularFile()
{
#ifndef Q_OS_UNIX
    QSKIP("Named pipes and devices are POSIX");
#else
    QFETCH(QString, kind);
    DataFolder folder;
    const QString pipe = folder.path(QStringLiteral("pipe"));
    const QString target = kind == u"link to /dev/zero" ? QStringLiteral("/dev/zero") : pipe;
    if (kind != u"link to /dev/zero")
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    if (kind == u"named pipe")
        QVERIFY(QFile::rename(pipe, folder.data()));
    else
        QVERIFY(QFile::link(target, folder.data()));
    const QString backup = folder.path(QStringLiteral("backup.xml"));
    QVERIFY(TestSupport::writeFile(backup, dataFile({QStringLiteral("Kept")})));

    // Run where a hang or a read without end fails the test instead of stopping it: the child is
    // stopped by an alarm and by a bound on its memory.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::alarm(60);
#ifndef VANTORY_SANITIZED
        const rlimit memory{rlim_t(2) << 30, rlim_t(2) << 30};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        const BackupRestore::Outcome done = BackupRestore::restore(folder.provider, backup);
        const bool told = done.kind == BackupRestore::Outcome::Failed && done.error.contains(u"not a regular file") &&
                          (done.error.contains(folder.data()) || done.error.contains(target));
        ::_exit(told ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(!WIFSIGNALED(status), qPrintable(u"stopped by signal %1"_qs.arg(WTERMSIG(status))));
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the restore went on or did not say why");
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(folder.data()).constData(), &st), 0);
    QVERIFY(kind == u"link to /dev/zero" ? S_ISCHR(st.st_mode) : S_ISFIFO(st.st_mode));
    QCOMPARE(folder.copies(), QStringList());
#endif
}

void TestBackupRestore::restoreTakesOneVersionOfAChangingBackup_data()
{
    QTest::addColumn<int>("changes"); // how many reads of the backup find it rewritten after their first piece
    QTest::addColumn<bool>("restored");
    QTest::newRow("rewritten once") << 1 << true;
    QTest::newRow("rewritten at every read") << 100 << false;
}

// Another program rewrites the backup in place while Restore reads it: the data file gets the accounts
// of one version, never some of each; a backup that never holds still is not restored.
void TestBackupRestore::restoreTakesOneVersionOfAChangingBackup()
{
    QFETCH(int, changes);
    QFETCH(bool, restored);
    DataFolder folder;
    const QByteArray before = dataFile({QStringLiteral("Current")});
    QVERIFY(TestSupport::writeFile(folder.data(), before));
    const QString backup = folder.path(QStringLiteral("backup.xml"));
    const QByteArray first = dataFile({QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("C1")});
    // Differs from the first version within the piece read before the change, so a mixed read shows.
    const QByteArray second =
        dataFile({QStringLiteral("Another2"), QStringLiteral("Bnother2")}).replace("UTF-8", "utf-8");
    QVERIFY(TestSupport::writeFile(backup, first));
    int done = 0;
    RegularFileTesting::setReadHook(
        [&](const QString &file, qint64 bytes) {
            if (file != backup || bytes != 64 || done >= changes)
                return;
            ++done;
            QFile f(backup);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            const QByteArray next = done % 2 ? second : first;
            QCOMPARE(f.write(next), next.size());
            QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(done), QFileDevice::FileModificationTime));
            f.close();
        },
        64);
    const BackupRestore::Outcome done2 = BackupRestore::restore(folder.provider, backup);
    RegularFileTesting::setReadHook({});
    QCOMPARE(done2.ok(), restored);
    if (restored) {
        QCOMPARE(TestSupport::readFile(folder.data()), second);
    } else {
        QVERIFY2(done2.error.contains(u"changed while it was read"), qPrintable(done2.error));
        QCOMPARE(TestSupport::readFile(folder.data()), before);
    }
}

void TestBackupRestore::backupWithoutAccountsReplacesNothingUnlessConfirmed_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("kept") << false;
    QTest::newRow("replaced") << true;
}

// A file whose accounts element holds only elements of another kind is a data file without accounts:
// the caller is asked, before anything is written or copied.
void TestBackupRestore::backupWithoutAccountsReplacesNothingUnlessConfirmed()
{
    QFETCH(bool, confirmed);
    DataFolder folder;
    const QByteArray before = dataFile({QStringLiteral("A"), QStringLiteral("B")});
    QVERIFY(TestSupport::writeFile(folder.data(), before));
    const QString backup = folder.path(QStringLiteral("backup.xml"));
    const QByteArray empty = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n  <Site><siteName>A</siteName></Site>\n"
                             "  <Site><siteName>B</siteName></Site>\n</Accounts>\n";
    QVERIFY(TestSupport::writeFile(backup, empty));
    QList<qsizetype> asked;
    const BackupRestore::Outcome done = BackupRestore::restore(folder.provider, backup, [&](qsizetype accounts) {
        asked << accounts;
        return confirmed;
    });
    QCOMPARE(asked, QList<qsizetype>{0});
    QCOMPARE(done.kind, confirmed ? BackupRestore::Outcome::Done : BackupRestore::Outcome::Declined);
    QCOMPARE(TestSupport::readFile(folder.data()), confirmed ? empty : before);
    QCOMPARE(folder.copies().size(), confirmed ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
