// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/platform/DirListing.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace Platform;

class TestDirListing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsEveryEntryButDots();
    void linksTakeTheirTargetsType();
    void infoGivesSizeTimesAndAttributes();
    void childListingSharesIdentityWithPathListing();
    void missingOrFileIsNotOpened();
    void errorSaysWhyAFolderWasNotOpened();
    void nameIsExact_data();
    void nameIsExact();
    void dotDotOpensTheParent();
};

void TestDirListing::listsEveryEntryButDots()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("a.txt")), "x"));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral(".hidden")), ""));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("Ünïcode name")), ""));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));

    DirListing listing(dir.path() + u'/');
    QVERIFY(listing.isOpen());
    QSet<QString> names, dirs, hidden;
    while (listing.next()) {
        names << listing.name();
        if (listing.isDirectory())
            dirs << listing.name();
        if (listing.isHidden())
            hidden << listing.name();
    }
    QCOMPARE(names, (QSet<QString>{QStringLiteral("a.txt"), QStringLiteral(".hidden"),
                                   QStringLiteral("Ünïcode name"), QStringLiteral("sub")}));
    QCOMPARE(dirs, QSet<QString>{QStringLiteral("sub")});
    QCOMPARE(hidden, QSet<QString>{QStringLiteral(".hidden")});
    QVERIFY(!listing.next());
}

void TestDirListing::linksTakeTheirTargetsType()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("file")), "abc"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("dirlink"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("file")), dir.filePath(QStringLiteral("filelink"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));

    DirListing listing(dir.path());
    QMap<QString, bool> isDir, isLink;
    while (listing.next()) {
        isDir[listing.name()] = listing.isDirectory();
        isLink[listing.name()] = listing.isLink();
    }
    QCOMPARE(isDir.value(QStringLiteral("dirlink")), true);
    QCOMPARE(isDir.value(QStringLiteral("filelink")), false);
    QCOMPARE(isDir.value(QStringLiteral("dangling")), false);
    QCOMPARE(isLink.value(QStringLiteral("dirlink")), true);
    QCOMPARE(isLink.value(QStringLiteral("real")), false);
}

void TestDirListing::infoGivesSizeTimesAndAttributes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.bin"));
    QVERIFY(TestSupport::writeFile(path, QByteArray(12345, 'x')));
    QFile::setPermissions(path, QFile::ReadOwner);
    const QDateTime modified(QDate(2020, 5, 17), QTime(10, 30, 0), Qt::UTC);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }

    DirListing listing(dir.path());
    QVERIFY(listing.next());
    EntryInfo info;
    QVERIFY(listing.info(info));
    QCOMPARE(info.size, quint64(12345));
    QVERIFY(info.attributes & AttrReadOnly);
    QVERIFY(!(info.attributes & AttrDirectory));
    // 100 ns ticks since 1601-01-01 UTC.
    const qint64 expected = (modified.toSecsSinceEpoch() + 11644473600LL) * 10000000LL;
    QCOMPARE(info.lastWriteTime, expected);
    QVERIFY(info.creationTime > 0);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void TestDirListing::childListingSharesIdentityWithPathListing()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub/deeper")));
    DirListing top(dir.path());
    QVERIFY(top.next());
    QCOMPARE(top.name(), QStringLiteral("sub"));
    DirListing child;
    QVERIFY(child.openChild(top));
    DirListing byPath(dir.filePath(QStringLiteral("sub")));
    QVERIFY(child.folderId() == byPath.folderId());
    QVERIFY(!(child.folderId() == top.folderId()));
    QVERIFY(child.next());
    QCOMPARE(child.name(), QStringLiteral("deeper"));
}

void TestDirListing::missingOrFileIsNotOpened()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("f")), "x"));
    QVERIFY(!DirListing(QString()).isOpen());
    QVERIFY(!DirListing(dir.filePath(QStringLiteral("missing"))).isOpen());
    QVERIFY(!DirListing(dir.filePath(QStringLiteral("f"))).isOpen());
}

void TestDirListing::errorSaysWhyAFolderWasNotOpened()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("f")), "x"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("closed")));
    DirListing missing(dir.filePath(QStringLiteral("missing")));
    QVERIFY(isMissingError(missing.error()));
    DirListing file(dir.filePath(QStringLiteral("f")));
    QVERIFY(isMissingError(file.error()));
    DirListing fine(dir.path());
    QCOMPARE(fine.error(), 0);
    while (fine.next()) {
    }
    QCOMPARE(fine.error(), 0); // the end is no error
#ifndef Q_OS_WIN
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("closed")), QFileDevice::Permissions()));
    int code = 0;
    TestSupport::runOnThread([&] { code = DirListing(dir.filePath(QStringLiteral("closed"))).error(); }, 256 * 1024,
                             true);
    QFile::setPermissions(dir.filePath(QStringLiteral("closed")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(code != 0);
    QVERIFY(!isMissingError(code));
#endif
}

void TestDirListing::nameIsExact_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("exact");
    QTest::newRow("ASCII") << QByteArray("plain name.txt") << true;
    QTest::newRow("UTF-8") << QByteArray("\xc3\x9cn\xc3\xaf"
                                         "code")
                           << true;
    QTest::newRow("a character that looks like a replacement") << QByteArray("\xef\xbf\xbd.txt") << true;
    QTest::newRow("a byte that is no UTF-8") << QByteArray("bad\xff") << false;
    QTest::newRow("a Latin-1 name") << QByteArray("caf\xe9") << false;
    QTest::newRow("a cut sequence at the end") << QByteArray("caf\xc3") << false;
    QTest::newRow("an overlong encoding") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("an encoded surrogate") << QByteArray("\xed\xa0\x80") << false;
}

void TestDirListing::nameIsExact()
{
#ifdef Q_OS_WIN
    QSKIP("names on Windows are UTF-16");
#endif
    QFETCH(QByteArray, name);
    QFETCH(bool, exact);
    QTemporaryDir dir;
    struct Cleanup
    {
        QString path;
        ~Cleanup() { TestSupport::removeTree(path); }
    } cleanup{dir.filePath(QStringLiteral("tree"))};
    QVERIFY(QDir().mkpath(cleanup.path));
    QVERIFY(TestSupport::makeRawEntry(QFile::encodeName(cleanup.path) + '/' + name, false));
    DirListing listing(cleanup.path);
    QVERIFY(listing.next());
    QCOMPARE(listing.nameBytes().toByteArray(), name);
    QCOMPARE(listing.nameIsExact(), exact);
    QCOMPARE(QFileInfo::exists(cleanup.path + u'/' + listing.name()), exact);
}

void TestDirListing::dotDotOpensTheParent()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a/b"))));
    DirListing a(dir.filePath(QStringLiteral("a")));
    DirListing b;
    QVERIFY(b.openAt(a, "b"));
    DirListing up;
    QVERIFY(up.openAt(b, ".."));
    QVERIFY(up.folderId() == a.folderId());
}

QTEST_GUILESS_MAIN(TestDirListing)
#include "tst_dirlisting.moc"
