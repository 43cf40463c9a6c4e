// SPDX-License-Identifier: GPL-3.0-or-later
// What the search engine added to Platform::DirListing: listing by name after the parent moved on,
// a stat by name, the listing's own file type, read-only files and batched closing.
#include "TestSupport.h"
#include "core/platform/DirListing.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Platform;

class TestSearchListing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bigFolderIsListedWhole();
    void openAtAndIdentity();
    void infoByName();
    void typesFromTheListing();
    void readOnlyFile();
    void closerClosesEveryFile();
};

void TestSearchListing::bigFolderIsListedWhole()
{
    // Far more than one 32 KiB buffer of records; then a folder of one entry and an empty one.
    QTemporaryDir dir;
    QSet<QString> expected;
    for (int i = 0; i < 3000; ++i) {
        const QString name = QStringLiteral("entry number %1 with a rather long name.txt").arg(i);
        QVERIFY(TestSupport::writeFile(dir.filePath(name), QByteArray()));
        expected << name;
    }
    DirListing listing(dir.path());
    QSet<QString> seen;
    int count = 0;
    while (listing.next()) {
        seen << listing.name();
        ++count;
    }
    QCOMPARE(count, 3000);
    QCOMPARE(seen, expected);
    QVERIFY(!listing.next());

    QTemporaryDir small;
    QVERIFY(TestSupport::writeFile(small.filePath(QStringLiteral("one")), QByteArray()));
    DirListing one(small.path());
    QVERIFY(one.next());
    QCOMPARE(one.name(), QStringLiteral("one"));
    QVERIFY(!one.next());
    QVERIFY(!one.next());
    QVERIFY(QDir(small.path()).mkdir(QStringLiteral("empty")));
    DirListing empty(small.filePath(QStringLiteral("empty")));
    QVERIFY(empty.isOpen());
    QVERIFY(!empty.next());
}

void TestSearchListing::openAtAndIdentity()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("a/inner.txt")), "x"));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("b/other.txt")), "x"));
    DirListing top(dir.path());
    while (top.next()) {
    }
    // The parent has moved past its entries: a child is still opened by name.
    DirListing a;
    QVERIFY(a.openAt(top, "a"));
    QVERIFY(a.next());
    QCOMPARE(a.name(), QStringLiteral("inner.txt"));
    QVERIFY(a.folderId() == DirListing(dir.filePath(QStringLiteral("a"))).folderId());
    QVERIFY(!(a.folderId() == top.folderId()));
    DirListing missing;
    QVERIFY(!missing.openAt(top, "nope"));
    QVERIFY(!missing.openAt(top, "b/other.txt"));
    QVERIFY(!missing.isOpen());
    QVERIFY(!FolderId().valid);
    QVERIFY(!(FolderId() == FolderId()));
}

void TestSearchListing::infoByName()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("data.bin")), QByteArray(777, 'd')));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral(".hidden")), "h"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("data.bin")), QFile::ReadOwner));
    DirListing listing(dir.path());
    EntryInfo info;
    QVERIFY(listing.infoOf("data.bin", info));
    QCOMPARE(info.size, quint64(777));
    QVERIFY(info.attributes & AttrReadOnly);
    QVERIFY(!(info.attributes & AttrDirectory));
    QVERIFY(info.lastWriteTime > 0);
    QVERIFY(listing.infoOf("sub", info));
    QVERIFY(info.attributes & AttrDirectory);
#ifndef Q_OS_WIN
    QVERIFY(listing.infoOf(".hidden", info));
    QVERIFY(info.attributes & AttrHidden);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub")), dir.filePath(QStringLiteral("link"))));
    QVERIFY(listing.infoOf("link", info));
    QVERIFY(info.attributes & AttrDirectory);
    QVERIFY(info.attributes & AttrReparsePoint);
#endif
    QVERIFY(!listing.infoOf("missing", info));
    QFile::setPermissions(dir.filePath(QStringLiteral("data.bin")), QFile::ReadOwner | QFile::WriteOwner);
}

void TestSearchListing::typesFromTheListing()
{
#ifdef Q_OS_WIN
    QSKIP("POSIX listing types");
#else
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("file")), "f"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("folder")), dir.filePath(QStringLiteral("link"))));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    DirListing listing(dir.path());
    QMap<QString, bool> regular, ready, directory;
    while (listing.next()) {
        const QString n = listing.name();
        regular[n] = listing.isRegularFile();
        const bool before = listing.infoReady();
        directory[n] = listing.isDirectory();
        ready[n] = !before && listing.infoReady();
    }
    QCOMPARE(regular.value(QStringLiteral("file")), true);
    QCOMPARE(regular.value(QStringLiteral("folder")), false);
    QCOMPARE(regular.value(QStringLiteral("link")), false);
    QCOMPARE(regular.value(QStringLiteral("fifo")), false);
    QCOMPARE(directory.value(QStringLiteral("link")), true);
    // The folder test of a link needs a stat, after which info() costs nothing more.
    QCOMPARE(ready.value(QStringLiteral("link")), true);
    QCOMPARE(ready.value(QStringLiteral("file")), false);
#endif
}

void TestSearchListing::readOnlyFile()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("f.txt")), "0123456789"));
    ReadOnlyFile f;
    QVERIFY(f.open(dir.filePath(QStringLiteral("f.txt"))));
    QCOMPARE(f.size(), qint64(10));
    char buffer[32];
    QCOMPARE(f.read(buffer, 4), qint64(4));
    QCOMPARE(QByteArray(buffer, 4), QByteArray("0123"));
    QCOMPARE(f.read(buffer, 32), qint64(6));
    QCOMPARE(f.read(buffer, 32), qint64(0));
    f.close();
    QVERIFY(!f.isOpen());
    QVERIFY(!f.open(dir.path()));                                    // a folder
    QVERIFY(!f.open(dir.filePath(QStringLiteral("missing"))));
    DirListing listing(dir.path());
    QVERIFY(f.openAt(listing, "f.txt"));
    QCOMPARE(f.size(), qint64(10));
    QVERIFY(f.openAt(listing, "f.txt", true));
#ifndef Q_OS_WIN
    QCOMPARE(f.size(), qint64(-1)); // not asked for
    QCOMPARE(f.read(buffer, 32), qint64(10));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    QVERIFY(!f.open(dir.filePath(QStringLiteral("fifo")))); // refused, without waiting for a writer
    QVERIFY(!f.openAt(listing, "fifo"));
#endif
}

void TestSearchListing::closerClosesEveryFile()
{
#ifdef Q_OS_WIN
    QSKIP("descriptors are a POSIX matter");
#else
    QTemporaryDir dir;
    for (int i = 0; i < 150; ++i)
        QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("f%1").arg(i)), "x"));
    DirListing listing(dir.path());
    QList<int> fds;
    {
        FileCloser closer;
        for (int i = 0; i < 150; ++i) {
            const auto openFds = [] {
                QSet<int> set;
                for (int k = 0; k < 1024; ++k)
                    if (fcntl(k, F_GETFD) != -1)
                        set << k;
                return set;
            };
            const QSet<int> before = openFds();
            ReadOnlyFile f;
            QVERIFY(f.openAt(listing, QFile::encodeName(QStringLiteral("f%1").arg(i))));
            const QSet<int> added = openFds() - before;
            QCOMPARE(added.size(), 1);
            fds << *added.begin();
            f.close(closer);
            QVERIFY(!f.isOpen());
            if (i == 99)
                closer.flush();
        }
    } // the rest when the closer goes
    for (int fd : fds) {
        errno = 0;
        QVERIFY2(fcntl(fd, F_GETFD) == -1 && errno == EBADF, qPrintable(QString::number(fd)));
    }
#endif
}

QTEST_GUILESS_MAIN(TestSearchListing)
#include "tst_searchlisting.moc"
