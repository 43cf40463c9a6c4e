// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/accounts/FileCount.h"
#include "core/platform/DirListing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Builds a tree from short descriptions: "a/b/" is an empty folder, "a/*5" five files in a, anything
// else one file.
bool buildTree(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (entry.endsWith(u'/')) {
            if (!QDir(root).mkpath(entry))
                return false;
            continue;
        }
        const qsizetype star = entry.lastIndexOf(u'*');
        if (star < 0) {
            if (!TestSupport::writeFile(root + u'/' + entry, "x"))
                return false;
            continue;
        }
        const QString folder = root + u'/' + entry.left(star);
        const int count = entry.mid(star + 1).toInt();
        for (int i = 0; i < count; ++i) {
            if (!TestSupport::writeFile(folder + u"file%1.txt"_s.arg(i), QByteArray()))
                return false;
        }
    }
    return true;
}

} // namespace

class TestCountFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void counts_data();
    void counts();
    void linksToFoldersAreFollowedButNeverInALoop_data();
    void linksToFoldersAreFollowedButNeverInALoop();
    void deepTreeUnderAnOpenFileLimit_data();
    void deepTreeUnderAnOpenFileLimit();
    void stopsReadingAtTheCapAtAnyDepth_data();
    void stopsReadingAtTheCapAtAnyDepth();
    void unreadableFoldersAreReported_data();
    void unreadableFoldersAreReported();
    void countText_data();
    void countText();
    void countTextFollowsTheLocale();
};

void TestCountFiles::counts_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("target"); // relative to the tree; "<empty>" for an empty path
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("expected");

    const QStringList nested{u"a.txt"_s, u"sub/b.txt"_s, u"sub/deeper/still/c.txt"_s, u"sub/deeper/d.txt"_s};
    QTest::newRow("empty path") << nested << u"<empty>"_s << 1000 << 0;
    QTest::newRow("path names a file") << nested << u"a.txt"_s << 1000 << 0;
    QTest::newRow("missing path") << nested << u"nowhere"_s << 1000 << 0;
    QTest::newRow("nested, no separator") << nested << QString() << 1000 << 4;
    QTest::newRow("nested, trailing separator") << nested << u"/"_s << 1000 << 4;
    QTest::newRow("nested, no limit") << nested << QString() << -1 << 4;
    QTest::newRow("sub-folder as target") << nested << u"sub"_s << 1000 << 3;
    QTest::newRow("only empty sub-folders") << QStringList{u"e1/"_s, u"e2/e3/"_s} << QString() << 1000 << 0;
    QTest::newRow("empty folder, limit 0") << QStringList{u"e1/"_s} << QString() << 0 << 0;
    QTest::newRow("one file, limit 0") << QStringList{u"f"_s} << QString() << 0 << FileCountCap;
    QTest::newRow("hidden files and folders")
        << QStringList{u".hidden"_s, u"plain"_s, u".cache/.inner"_s, u".cache/x"_s} << QString() << 1000 << 4;

    // The cap applies to the count so far, sub-folders included, tested after each top entry.
    QTest::newRow("999 files and a sub-folder of 5")
        << QStringList{u"*999"_s, u"sub/*5"_s} << QString() << 1000 << FileCountCap;
    QTest::newRow("exactly 1000") << QStringList{u"*1000"_s} << QString() << 1000 << 1000;
    QTest::newRow("1001") << QStringList{u"*1001"_s} << QString() << 1000 << FileCountCap;
    QTest::newRow("1001, no limit") << QStringList{u"*1001"_s} << QString() << -1 << 1001;
    QTest::newRow("1000 spread over sub-folders")
        << QStringList{u"*400"_s, u"a/*300"_s, u"a/b/*300"_s} << QString() << 1000 << 1000;
    QTest::newRow("large sub-folder within a larger limit")
        << QStringList{u"big/*1500"_s, u"f"_s} << QString() << 2000 << 1501;
    QTest::newRow("large sub-folder past the limit")
        << QStringList{u"big/*1500"_s} << QString() << 1000 << FileCountCap;
}

void TestCountFiles::counts()
{
    QFETCH(QStringList, tree);
    QFETCH(QString, target);
    QFETCH(int, limit);
    QFETCH(int, expected);

    QTemporaryDir dir;
    QVERIFY(buildTree(dir.path(), tree));
    QString path;
    if (target != u"<empty>"_s)
        path = target.isEmpty() || target == u"/"_s ? dir.path() + target : dir.filePath(target);
    QCOMPARE(CountFiles(QDir::toNativeSeparators(path), limit), expected);
}

void TestCountFiles::linksToFoldersAreFollowedButNeverInALoop_data()
{
    // Each link is "name -> target", both relative to the tree.
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("expected");

    QTest::newRow("link to a folder elsewhere is counted")
        << QStringList{u"x/f1"_s, u"x/f2"_s, u"y/g"_s} << QStringList{u"y/tox -> x"_s} << QString() << -1 << 5;
    QTest::newRow("links to a file and to nothing count as files")
        << QStringList{u"f"_s} << QStringList{u"tof -> f"_s, u"dangling -> gone"_s} << QString() << -1 << 3;
    QTest::newRow("link to the top folder")
        << QStringList{u"a/f"_s} << QStringList{u"a/up -> ."_s} << QString() << -1 << 1;
    QTest::newRow("link to its own folder")
        << QStringList{u"a/b/f"_s} << QStringList{u"a/b/self -> a/b"_s} << QString() << -1 << 1;
    QTest::newRow("two folders linked to each other")
        << QStringList{u"a/f"_s, u"b/g"_s} << QStringList{u"a/tob -> b"_s, u"b/toa -> a"_s} << QString() << -1 << 4;
    QTest::newRow("loop reached through a link as the target")
        << QStringList{u"a/f"_s} << QStringList{u"a/up -> ."_s} << u"a/up"_s << -1 << 1;
    // A walk around the loop would pass the limit.
    QTest::newRow("loop below a folder at the limit")
        << QStringList{u"*999"_s, u"a/f"_s} << QStringList{u"a/up -> ."_s} << QString() << 1000 << 1000;
}

void TestCountFiles::linksToFoldersAreFollowedButNeverInALoop()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    QFETCH(QStringList, tree);
    QFETCH(QStringList, links);
    QFETCH(QString, target);
    QFETCH(int, limit);
    QFETCH(int, expected);

    QTemporaryDir dir;
    QVERIFY(buildTree(dir.path(), tree));
    for (const QString &link : links) {
        const QStringList parts = link.split(u" -> "_s);
        const QString to = parts[1] == u"."_s ? dir.path() : dir.filePath(parts[1]);
        QVERIFY2(QFile::link(to, dir.filePath(parts[0])), qPrintable(link));
    }
    const QString path = target.isEmpty() ? dir.path() : dir.filePath(target);
    QCOMPARE(CountFiles(path, limit), expected);
}

void TestCountFiles::deepTreeUnderAnOpenFileLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("expected");
    QTest::newRow("no limit") << -1 << 20000;
    QTest::newRow("a limit above the count") << 20000 << 20000;
    QTest::newRow("the account list's limit") << 1000 << FileCountCap;
}

void TestCountFiles::deepTreeUnderAnOpenFileLimit()
{
#ifdef Q_OS_WIN
    QSKIP("needs POSIX folder calls to build the tree");
#endif
    QFETCH(int, limit);
    QFETCH(int, expected);
    // Far more levels than files may be open at once, and than a small stack holds frames of a
    // recursive walk; paths down there are ten times as long as the system takes.
    const TestSupport::DeepTree tree(20000);
    QVERIFY(tree.isValid());
    qint32 count = -1;
    {
        const TestSupport::OpenFileLimit openFiles(1024);
        QVERIFY(openFiles.isValid());
        TestSupport::runOnThread([&] { count = CountFiles(tree.root(), limit); }, 256 * 1024);
    }
    QCOMPARE(count, expected);
}

void TestCountFiles::stopsReadingAtTheCapAtAnyDepth_data()
{
    QTest::addColumn<QString>("bigFolder");
    QTest::newRow("the folder itself") << QString();
    QTest::newRow("a sub-folder") << u"big/"_s;
    QTest::newRow("five levels down") << u"1/2/3/4/5/"_s;
}

void TestCountFiles::stopsReadingAtTheCapAtAnyDepth()
{
    QFETCH(QString, bigFolder);
    // 20,000 files with long names take over a hundred reads of the folder's records; a thousand and
    // one of them take seven.
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    const QString folder = dir.path() + u'/' + bigFolder;
    QVERIFY(QDir().mkpath(folder));
    const QString stem(200, u'n');
    for (int i = 0; i < 20000; ++i) {
        QFile file(folder + stem + QString::number(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(TestSupport::writeFile(dir.filePath(u"beside.txt"_s), "x"));

    qint64 before = Platform::DirListing::readCalls();
    QCOMPARE(CountFiles(dir.path(), -1), 20001);
    const qint64 whole = Platform::DirListing::readCalls() - before;
    before = Platform::DirListing::readCalls();
    QCOMPARE(CountFiles(dir.path(), FileCountLimit), FileCountCap);
    const qint64 capped = Platform::DirListing::readCalls() - before;
    QVERIFY2(capped * 3 < whole, qPrintable(u"%1 reads to the cap, %2 in all"_s.arg(capped).arg(whole)));
}

void TestCountFiles::unreadableFoldersAreReported_data()
{
    // Folders ending in "!" lose every permission before the count.
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QString>("firstError"); // relative to the tree

    QTest::newRow("all readable") << QStringList{u"a/f"_s, u"g"_s} << QString() << 2 << 0 << QString();
    QTest::newRow("a closed sub-folder") << QStringList{u"a/f"_s, u"closed!/inside"_s, u"g"_s} << QString() << 2 << 1
                                         << u"closed!"_s;
    QTest::newRow("the count goes on past it, at every depth")
        << QStringList{u"a/b!/x"_s, u"a/c/f1"_s, u"a/c/f2"_s, u"d/e/f!/y"_s, u"d/e/g"_s} << QString() << 3 << 2
        << QString();
    QTest::newRow("the folder itself closed")
        << QStringList{u"closed!/inside"_s} << u"closed!"_s << 0 << 1 << u"closed!"_s;
    QTest::newRow("a missing folder is no error") << QStringList{u"f"_s} << u"missing"_s << 0 << 0 << QString();
    QTest::newRow("a file is no error") << QStringList{u"f"_s} << u"f"_s << 0 << 0 << QString();
}

void TestCountFiles::unreadableFoldersAreReported()
{
#ifdef Q_OS_WIN
    QSKIP("folder permissions are POSIX ones here");
#endif
    QFETCH(QStringList, tree);
    QFETCH(QString, target);
    QFETCH(int, expected);
    QFETCH(int, unreadable);
    QFETCH(QString, firstError);
    QTemporaryDir dir;
    QVERIFY(buildTree(dir.path(), tree));
    QStringList closed;
    for (const QString &entry : tree) {
        const qsizetype mark = entry.indexOf(u'!');
        if (mark >= 0)
            closed << dir.filePath(entry.left(mark + 1));
    }
    for (const QString &folder : std::as_const(closed))
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions()));

    Platform::WalkReport report;
    qint32 count = -1;
    const QString path = target.isEmpty() ? dir.path() : dir.filePath(target);
    // Without the privilege to read any folder, which a test running as root has.
    TestSupport::runOnThread([&] { count = CountFilesReporting(path, -1, report); }, 1024 * 1024, true);
    for (const QString &folder : std::as_const(closed))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(count, expected);
    QCOMPARE(report.unreadableFolders, qint64(unreadable));
    QCOMPARE(report.skippedNames, qint64(0));
    if (!firstError.isEmpty())
        QCOMPARE(report.firstErrorPath, dir.filePath(firstError));
    QCOMPARE(report.firstErrorPath.isEmpty(), unreadable == 0);
    QCOMPARE(report.firstErrorReason.isEmpty(), unreadable == 0);
}

void TestCountFiles::countText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << u"(0)  "_s;
    QTest::newRow("below a thousand") << 999 << u"(999)  "_s;
    QTest::newRow("the limit") << 1000 << u"(1,000)  "_s;
    QTest::newRow("grouped") << 1300 << u"(1,300)  "_s;
    QTest::newRow("millions") << 1234567 << u"(1,234,567)  "_s;
    QTest::newRow("just below the cap") << FileCountCap - 1 << u"(2,147,483,646)  "_s;
    QTest::newRow("cap") << FileCountCap << u"> 1,000  "_s;
}

void TestCountFiles::countText()
{
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(FileCountText(count), text);
}

void TestCountFiles::countTextFollowsTheLocale()
{
    const QLocale pinned;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString grouped = FileCountText(1300);
    const QString capped = FileCountText(FileCountCap);
    QLocale::setDefault(pinned);
    QCOMPARE(grouped, u"(1.300)  "_s);
    QCOMPARE(capped, u"> 1.000  "_s);
}

QTEST_GUILESS_MAIN(TestCountFiles)
#include "tst_countfiles.moc"
