// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/RegularFile.h"
#include "core/datafile/XmlDataProvider.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace AccountSchema;

namespace {

const QByteArray kValidData = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n  <Account>\n"
                              "    <accountID>0</accountID>\n    <siteName>A</siteName>\n  </Account>\n</Accounts>\n";

// Puts something of the given kind at path: a regular file with contents, a named pipe nobody
// writes into, a link to a device that never ends, a folder, a link to a regular file, or a
// (sparse) regular file of a given size.
bool makeSource(const QString &kind, const QString &path, const QByteArray &contents = kValidData, qint64 size = -1)
{
    if (kind == u"regular")
        return TestSupport::writeFile(path, contents);
    if (kind == u"sparse") {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.resize(size);
    }
    if (kind == u"link to regular")
        return TestSupport::writeFile(path + u".target", contents) && QFile::link(path + u".target", path);
    if (kind == u"folder")
        return QDir().mkpath(path);
#ifdef Q_OS_UNIX
    if (kind == u"named pipe")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == u"link to /dev/zero")
        return QFile::link(QStringLiteral("/dev/zero"), path);
#endif
    return false;
}

} // namespace

class TestRegularFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyRegularFilesWithinTheBoundAreRead_data();
    void onlyRegularFilesWithinTheBoundAreRead();
    void providerReadsOnlyRegularFiles_data();
    void providerReadsOnlyRegularFiles();
    void fileChangedWhileReadIsReadAgain_data();
    void fileChangedWhileReadIsReadAgain();
};

void TestRegularFile::onlyRegularFilesWithinTheBoundAreRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("reason"); // empty: read

    const QByteArray sixteen = "0123456789abcdef";
    QTest::newRow("regular") << u"regular"_qs << sixteen << QString();
    QTest::newRow("empty") << u"regular"_qs << QByteArray() << QString();
    QTest::newRow("one byte too many") << u"regular"_qs << (sixteen + 'x') << u"larger than 16 bytes"_qs;
    QTest::newRow("link to regular") << u"link to regular"_qs << sixteen << QString();
    QTest::newRow("folder") << u"folder"_qs << QByteArray() << u"not a regular file"_qs;
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << u"named pipe"_qs << QByteArray() << u"not a regular file"_qs;
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_qs << QByteArray() << u"not a regular file"_qs;
#endif
}

void TestRegularFile::onlyRegularFilesWithinTheBoundAreRead()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("source"));
    QVERIFY(makeSource(kind, path, contents));
    QByteArray data = "stale";
    const Status read = readRegularFile(path, 16, data);
    QCOMPARE(read.error, reason);
    QCOMPARE(read.ok(), reason.isEmpty());
    QCOMPARE(data, read ? contents : QByteArray());

    const Status missing = readRegularFile(dir.filePath(QStringLiteral("missing")), 16, data);
    QVERIFY(!missing);
    QVERIFY(!missing.error.isEmpty());
}

void TestRegularFile::providerReadsOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("regular") << u"regular"_qs << QString();
    QTest::newRow("larger than the bound") << u"sparse"_qs << u"larger than 256 MB"_qs;
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << u"named pipe"_qs << u"not a regular file"_qs;
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_qs << u"not a regular file"_qs;
#endif
}

// The data file at start-up, a backup checked before Restore, and the mapping files.
void TestRegularFile::providerReadsOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    XmlDataProvider p(AccountTable::storedFieldDefs());
    p.setFileName(dir.filePath(DataFileName));
    p.setReadMappingFile(dir.filePath(ReadMappingFileName));
    p.setWriteMappingFile(dir.filePath(WriteMappingFileName));
    const QString source = dir.filePath(QStringLiteral("source.xml"));
    QVERIFY(makeSource(kind, source, kValidData, XmlDataProvider::MaxFileSize + 1));

    QList<RowValues> rows;
    const Status parsed = p.parseFile(source, rows);
    QCOMPARE(parsed.ok(), reason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(parsed.error, xmlParseErrorText(u"Cannot open the file %1: %2"_qs.arg(source, reason), 0, 0));

    QVERIFY(QFile::rename(source, p.fileName()));
    const Status loaded = p.load(rows);
    QCOMPARE(loaded.ok(), reason.isEmpty());
    if (!reason.isEmpty())
        QCOMPARE(loaded.error, xmlParseErrorText(u"Cannot open the file %1: %2"_qs.arg(p.fileName(), reason), 0, 0));
    else
        QCOMPARE(rows.size(), 1);

    // The read mapping file is read the same way.
    QVERIFY(QFile::rename(p.fileName(), p.readMappingFile()));
    QVERIFY(TestSupport::writeFile(p.fileName(), kValidData));
    if (!reason.isEmpty()) {
        const Status mapped = p.load(rows);
        QVERIFY(!mapped);
        QVERIFY2(mapped.error.contains(reason), qPrintable(mapped.error));
    }
}

void TestRegularFile::fileChangedWhileReadIsReadAgain_data()
{
    QTest::addColumn<int>("changes");     // how many reads find the file changed after their first piece
    QTest::addColumn<QByteArray>("next"); // what the file holds after each change
    QTest::addColumn<bool>("read");
    const QByteArray longer = "the second version, longer than the first";
    QTest::newRow("rewritten once") << 1 << longer << true;
    QTest::newRow("cut short once") << 1 << QByteArray("cut") << true;
    QTest::newRow("same size, later time") << 1 << QByteArray("fedcba9876543210") << true;
    QTest::newRow("changes at every read") << 100 << longer << false;
}

// Another program rewrites the file in place while it is read (between two pieces, through the
// reader's hook): what is read is one whole version, or nothing with the reason.
void TestRegularFile::fileChangedWhileReadIsReadAgain()
{
    QFETCH(int, changes);
    QFETCH(QByteArray, next);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("source"));
    QVERIFY(TestSupport::writeFile(path, "0123456789abcdef"));
    int done = 0;
    RegularFileTesting::setReadHook(
        [&](const QString &file, qint64 bytes) {
            if (file != path || bytes != 4 || done >= changes)
                return;
            ++done;
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(next), next.size());
            // Also when the clock has not moved on since the read began.
            QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(done), QFileDevice::FileModificationTime));
            f.close();
        },
        4);
    QByteArray data;
    const Status status = readRegularFile(path, 1024, data);
    RegularFileTesting::setReadHook({});
    QCOMPARE(status.ok(), read);
    QCOMPARE(data, read ? next : QByteArray());
    QCOMPARE(status.error, read ? QString() : u"changed while it was read"_qs);
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
