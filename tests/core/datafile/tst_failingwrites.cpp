// SPDX-License-Identifier: GPL-3.0-or-later
// A write that cannot be made: the change is reported, the data file stays as it was, the change
// stays pending, and the next save that can be made writes it.
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace AccountSchema;

class TestFailingWrites : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changeStaysPendingUntilItCanBeWritten_data();
    void changeStaysPendingUntilItCanBeWritten();
};

namespace {

struct Table
{
    DataSet table;
    XmlDataProvider provider{AccountTable::storedFieldDefs()};
    explicit Table(const QString &folder)
    {
        provider.setFileName(QDir(folder).filePath(DataFileName));
        provider.setReadMappingFile(QDir(folder).filePath(ReadMappingFileName));
        provider.setWriteMappingFile(QDir(folder).filePath(WriteMappingFileName));
        AccountTable::define(table);
        table.setProvider(&provider);
    }
    // Adds an account and saves, as the window does after every post.
    bool add(const QString &name)
    {
        return table.insert() && table.setValue(FieldSiteName, name) && table.post() && table.applyUpdates(0);
    }
};

bool setMode(const QString &path, int mode)
{
#ifdef Q_OS_UNIX
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
#else
    Q_UNUSED(path);
    Q_UNUSED(mode);
    return false;
#endif
}

} // namespace

void TestFailingWrites::changeStaysPendingUntilItCanBeWritten_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only data folder") << u"folder"_qs;
    QTest::newRow("read-only data file") << u"file"_qs;
    QTest::newRow("full disk") << u"disk"_qs;
}

void TestFailingWrites::changeStaysPendingUntilItCanBeWritten()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes and mounts are POSIX");
#else
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.filePath(QStringLiteral("Data"));
    QVERIFY(QDir().mkpath(folder));
    bool mounted = false;
    if (how == u"disk") {
        if (::geteuid() != 0)
            QSKIP("A small file system of its own needs root");
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("This system does not let the test mount a small file system");
        mounted = true;
    }
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            ::umount(QFile::encodeName(folder).constData());
    });

    const QString dataFile = QDir(folder).filePath(DataFileName);
    Table t(folder);
    QVERIFY(t.table.open());
    QVERIFY2(t.add(QStringLiteral("Written")), qPrintable(t.table.lastError()));
    const QByteArray before = TestSupport::readFile(dataFile);
    QVERIFY(before.contains("Written"));

    // The failing save runs without root's right to write anywhere, as a user's would.
    const QString big = QStringLiteral("x").repeated(250);
    bool failed = false;
    QString error;
    TestSupport::runOnThread(
        [&] {
            if (how == u"folder")
                setMode(folder, 0500);
            else if (how == u"file")
                setMode(dataFile, 0400);
            else {
                // Fill the disk, leaving less than a save needs.
                QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
                if (filler.open(QIODevice::WriteOnly))
                    while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {
                    }
            }
            failed = !t.add(big);
            error = t.table.lastError();
        },
        1 << 20, true);
    QVERIFY2(failed, "a save that could not be written was reported as done");
    QVERIFY(!error.isEmpty());
    QCOMPARE(TestSupport::readFile(dataFile), before);
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("filler"));
    QCOMPARE(names, QStringList({DataFileName, ReadMappingFileName, WriteMappingFileName}));

    // The way is free again: the next save writes the change that was left pending.
    setMode(folder, 0700);
    setMode(dataFile, 0600);
    QFile::remove(QDir(folder).filePath(QStringLiteral("filler")));
    QVERIFY2(t.table.applyUpdates(0), qPrintable(t.table.lastError()));
    QVERIFY(TestSupport::readFile(dataFile).contains(big.toUtf8()));
    QVERIFY(TestSupport::readFile(dataFile).contains("Written"));
#endif
}

QTEST_GUILESS_MAIN(TestFailingWrites)
#include "tst_failingwrites.moc"
