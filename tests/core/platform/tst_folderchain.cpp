// SPDX-License-Identifier: GPL-3.0-or-later
// The chain of open folders of a walk: bounded open files at any depth, folders opened again on the
// way back, links and loops.
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/platform/FolderChain.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace Platform;

namespace {

// The entries of a listing, by name.
QSet<QString> entriesOf(DirListing *listing)
{
    QSet<QString> names;
    while (listing && listing->next())
        names << listing->name();
    return names;
}

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

class TestFolderChain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boundedOpenFilesAtAnyDepth();
    void foldersAreOpenedAgainOnTheWayBack_data();
    void foldersAreOpenedAgainOnTheWayBack();
    void theWayBackFromALinkLeadsToTheLinksFolder();
    void aFolderAlreadyOnTheChainIsNotEntered();
    void loopsAreFoundAtAnyDepth_data();
    void loopsAreFoundAtAnyDepth();
    void aReplacedFolderIsNotWalkedInstead();
    void failuresSayWhy();
};

void TestFolderChain::boundedOpenFilesAtAnyDepth()
{
    if (!QFileInfo(QStringLiteral("/proc/self/fd")).isDir())
        QSKIP("needs /proc/self/fd to count open files");
    const TestSupport::DeepTree tree(300);
    QVERIFY(tree.isValid());
    const int before = openFiles();
    FolderChain chain;
    QVERIFY(chain.start(tree.root()));
    int most = 0;
    for (int level = 1; level <= 300; ++level) {
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
        QVERIFY(entriesOf(chain.deepest()).contains(QStringLiteral("f")));
        most = std::max(most, openFiles() - before);
    }
    QCOMPARE(chain.depth(), 301);
    QVERIFY2(most <= FolderChain::kMaxOpen, qPrintable(QString::number(most)));
    QVERIFY(chain.path().endsWith(QStringLiteral("/d/d/d")));
    QCOMPARE(chain.path().size(), tree.root().size() + 2 * 300);
    while (chain.depth() > 0)
        chain.leave(true);
    QCOMPARE(openFiles(), before);
}

void TestFolderChain::foldersAreOpenedAgainOnTheWayBack_data()
{
    QTest::addColumn<int>("levels");
    QTest::newRow("within the open folders") << FolderChain::kMaxOpen / 2;
    QTest::newRow("deeper than the open folders") << 5 * FolderChain::kMaxOpen;
}

void TestFolderChain::foldersAreOpenedAgainOnTheWayBack()
{
    QFETCH(int, levels);
    // Each level holds "d" (the way down) and "e" with a file named after the level: on the way
    // back each folder must be the right one to find its "e".
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    QString path = dir.path();
    for (int level = 0; level < levels; ++level) {
        QVERIFY(TestSupport::writeFile(path + QStringLiteral("/e/at%1").arg(level), "x"));
        path += QStringLiteral("/d");
    }
    QVERIFY(QDir().mkpath(path));

    FolderChain chain;
    QVERIFY(chain.start(dir.path()));
    for (int level = 1; level <= levels; ++level)
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
    for (int level = levels - 1; level >= 0; --level) {
        chain.leave(true);
        QCOMPARE(chain.depth(), level + 1);
        QCOMPARE(chain.enter("e"), FolderChain::Entered);
        QCOMPARE(entriesOf(chain.deepest()), QSet<QString>{QStringLiteral("at%1").arg(level)});
        chain.leave(true);
        QCOMPARE(entriesOf(chain.deepest()), (QSet<QString>{QStringLiteral("d"), QStringLiteral("e")}));
    }
}

void TestFolderChain::theWayBackFromALinkLeadsToTheLinksFolder()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    // top/link -> top/real/inner, and a chain below inner deep enough that top gets closed: on the
    // way back, ".." of inner is real, not top.
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    const QString top = dir.filePath(QStringLiteral("top"));
    QString chainPath = top + QStringLiteral("/real/inner");
    for (int i = 0; i < 2 * FolderChain::kMaxOpen; ++i)
        chainPath += QStringLiteral("/d");
    QVERIFY(QDir().mkpath(chainPath));
    QVERIFY(QFile::link(top + QStringLiteral("/real/inner"), top + QStringLiteral("/link")));

    FolderChain chain;
    QVERIFY(chain.start(top));
    QCOMPARE(chain.enter("link"), FolderChain::Entered);
    for (int i = 0; i < 2 * FolderChain::kMaxOpen; ++i)
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
    while (chain.depth() > 1)
        chain.leave(true);
    QCOMPARE(entriesOf(chain.deepest()), (QSet<QString>{QStringLiteral("real"), QStringLiteral("link")}));
    QCOMPARE(chain.path(), top);
}

void TestFolderChain::aFolderAlreadyOnTheChainIsNotEntered()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a/b"))));
    QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("a/b/top"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("a")), dir.filePath(QStringLiteral("a/b/up"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("a/b")), dir.filePath(QStringLiteral("a/b/self"))));
    FolderChain chain;
    QVERIFY(chain.start(dir.path()));
    QCOMPARE(chain.enter("a"), FolderChain::Entered);
    QCOMPARE(chain.enter("b"), FolderChain::Entered);
    QCOMPARE(chain.enter("top"), FolderChain::Loop);
    QCOMPARE(chain.enter("up"), FolderChain::Loop);
    QCOMPARE(chain.enter("self"), FolderChain::Loop);
    QCOMPARE(chain.depth(), 3);
    // Once left, a folder may be entered again (by another way).
    chain.leave(true);
    QCOMPARE(chain.enter("b"), FolderChain::Entered);
}

void TestFolderChain::loopsAreFoundAtAnyDepth_data()
{
    // A chain of 150 folders; at its bottom a link to the folder at some level of it.
    QTest::addColumn<int>("target");
    for (const int level : {0, 1, 63, 64, 65, 100, 149, 150})
        QTest::newRow(qPrintable(QStringLiteral("to level %1").arg(level))) << level;
}

void TestFolderChain::loopsAreFoundAtAnyDepth()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    QFETCH(int, target);
    constexpr int kLevels = 150;
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    QString path = dir.path();
    QString targetPath;
    for (int level = 0; level <= kLevels; ++level) {
        if (level == target)
            targetPath = path;
        if (level < kLevels)
            path += QStringLiteral("/d");
    }
    QVERIFY(QDir().mkpath(path));
    QVERIFY(QFile::link(targetPath, path + QStringLiteral("/back")));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("elsewhere"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), path + QStringLiteral("/away")));

    FolderChain chain;
    QVERIFY(chain.start(dir.path()));
    for (int level = 1; level <= kLevels; ++level)
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
    QCOMPARE(chain.enter("back"), FolderChain::Loop);
    QCOMPARE(chain.enter("away"), FolderChain::Entered);
    // Once the target level is left, the same folder is no longer on the chain.
    while (chain.depth() > target)
        chain.leave(false);
    if (target > 0) {
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
        QCOMPARE(chain.depth(), target + 1);
    }
}

void TestFolderChain::aReplacedFolderIsNotWalkedInstead()
{
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    QString deep = dir.filePath(QStringLiteral("a"));
    for (int i = 0; i < 2 * FolderChain::kMaxOpen; ++i)
        deep += QStringLiteral("/d");
    QVERIFY(QDir().mkpath(deep));
    FolderChain chain;
    QVERIFY(chain.start(dir.path()));
    QCOMPARE(chain.enter("a"), FolderChain::Entered);
    for (int i = 0; i < 2 * FolderChain::kMaxOpen; ++i)
        QCOMPARE(chain.enter("d"), FolderChain::Entered);
    // "a" is closed by now; it is moved away and another folder takes its name.
    QVERIFY(QDir(dir.path()).rename(QStringLiteral("a"), QStringLiteral("moved")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a")));
    while (chain.depth() > 2)
        chain.leave(false); // nothing is opened on the way: "a" is then reached from above, by name
    QVERIFY(!chain.deepest());
    QCOMPARE(chain.error(), folderChangedError());
    chain.leave(true);
    QVERIFY(entriesOf(chain.deepest()).contains(QStringLiteral("moved")));
}

void TestFolderChain::failuresSayWhy()
{
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("file")), "x"));
    FolderChain chain;
    QVERIFY(!chain.start(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(isMissingError(chain.error()));
    QVERIFY(!chain.start(dir.filePath(QStringLiteral("file"))));
    QVERIFY(isMissingError(chain.error()));
    QVERIFY(chain.start(dir.path()));
    QCOMPARE(chain.enter("missing"), FolderChain::Failed);
    QVERIFY(isMissingError(chain.error()));
    QCOMPARE(chain.enter("file"), FolderChain::Failed);
    QCOMPARE(chain.depth(), 1);
    QCOMPARE(chain.path("x"), dir.path() + QStringLiteral("/x"));
}

QTEST_GUILESS_MAIN(TestFolderChain)
#include "tst_folderchain.moc"
