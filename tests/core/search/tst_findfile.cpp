// SPDX-License-Identifier: GPL-3.0-or-later
// Targets, the walk, the tests in the walk, the events and the two modes of TFindFile.
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/search/FindFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <stdexcept>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

// Records the events of a search as text: "begin", "folder:REL", "match:REL|NAME", "abort", "finish",
// with REL the folder relative to the root ("" for the root itself, else "a/b/").
class Recorder
{
public:
    Recorder(TFindFile &finder, const QString &root)
        : m_root(QDir::cleanPath(root) + u'/')
    {
        finder.setOnSearchBegin([this](QObject *) { events << QStringLiteral("begin"); });
        finder.setOnSearchFinish([this](QObject *) { events << QStringLiteral("finish"); });
        finder.setOnSearchAbort([this](QObject *) { events << QStringLiteral("abort"); });
        finder.setOnFolderChange([this](QObject *, const QString &folder, TFolderIgnore &answer) {
            threads.insert(QThread::currentThread());
            events << QStringLiteral("folder:") + rel(folder);
            if (folderHook)
                folderHook(rel(folder), answer);
        });
        finder.setOnFileMatch([this](QObject *, const QString &folder, const TSearchRec &entry) {
            threads.insert(QThread::currentThread());
            events << QStringLiteral("match:") + rel(folder) + u'|' + entry.Name();
            if (matchHook)
                matchHook(folder, entry);
        });
    }
    QString rel(const QString &folder) const
    {
        return folder.startsWith(m_root) ? folder.mid(m_root.size()) : QStringLiteral("<") + folder + u'>';
    }
    QStringList matches() const
    {
        QStringList result;
        for (const QString &e : events)
            if (e.startsWith(QLatin1String("match:")))
                result << e.mid(6).replace(u'|', QString());
        return result;
    }
    QStringList sortedMatches() const
    {
        QStringList m = matches();
        m.sort();
        return m;
    }
    QStringList folders() const
    {
        QStringList result;
        for (const QString &e : events)
            if (e.startsWith(QLatin1String("folder:")))
                result << e.mid(7);
        return result;
    }

    QStringList events;
    QSet<QThread *> threads;
    std::function<void(const QString &, TFolderIgnore &)> folderHook;
    std::function<void(const QString &, const TSearchRec &)> matchHook;

private:
    QString m_root;
};

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

} // namespace

class TestFindFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void splitMasks_data();
    void splitMasks();
    void readFolderPrefix_data();
    void readFolderPrefix();
    void addFolderExpandsAndKeepsOne();
    void addTargetsBuildsTheFolderList();
    void targetSearchCopiesTheCriteria();
    void isExcludedTriesTheLastMaskFirst();

    void walkOrderAndEventOrder();
    void masksFromLastToFirstAndTwice();
    void folderPrefixes();
    void levels();
    void folderAnswers();
    void contentSearchNeverReportsFolders();
    void emptyFileNameWalksFoldersOnly();
    void startWhileSearchingStopWhileIdle();
    void stopFromAHandlerInLine();
    void exclusionsInTheWalk();
    void attributesSizeAndTimesInTheWalk();
    void contentsInTheWalk();
    void recordGivesEverythingOnDemand();
    void missingAndUnreadableFolders();
    void linkLoopIsNotEntered();
    void errorInAHandlerInLineEndsTheSearch();

    void threadedGivesTheSameEventsOnTheGuiThread_data();
    void threadedGivesTheSameEventsOnTheGuiThread();
    void threadedStop_data();
    void threadedStop();
    void threadedStopFromOutside();
    void windowStaysResponsiveDuringThreadedSearch();
    void threadedErrorEndsTheWorker_data();
    void threadedErrorEndsTheWorker();
    void destructionDuringAThreadedSearch_data();
    void destructionDuringAThreadedSearch();
    void batchedWorkerNeverWaitsForTheGuiThread();
    void batchedDeliversNothingAfterAStop_data();
    void batchedDeliversNothingAfterAStop();
    void destructionNeverRunsTheEventLoop();
    void destructionAtAnyMomentFiresNoEvent_data();
    void destructionAtAnyMomentFiresNoEvent();

    void deepTreeUnderAnOpenFileLimit_data();
    void deepTreeUnderAnOpenFileLimit();
    void namesWithoutAPathSpellingAreLeftOut_data();
    void namesWithoutAPathSpellingAreLeftOut();
    void unreadableFoldersAreReported_data();
    void unreadableFoldersAreReported();
    void contentsNearTheOpenFileLimit();

private:
    void makeTree();
    QTemporaryDir m_dir;
    QString m_root;
};

void TestFindFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    makeTree();
}

// root/
//   a.htm  b.html  c.txt  .hidden.htm  noext  Report 2019
//   sub1/  x.htm  y.html  deeper/  z.htm
//   sub2.htm/  w.htm          (a folder whose name fits *.htm)
void TestFindFile::makeTree()
{
    m_root = m_dir.filePath(QStringLiteral("root"));
    const auto put = [this](const char *rel, const QByteArray &contents = QByteArray("x")) {
        QVERIFY(TestSupport::writeFile(m_root + u'/' + QString::fromUtf8(rel), contents));
    };
    put("a.htm", "alpha Kestrel");
    put("b.html", "beta");
    put("c.txt", "gamma kestrel");
    put(".hidden.htm", "hidden");
    put("noext", "no extension");
    put("Report 2019", "report");
    put("sub1/x.htm", "x in sub1 KESTREL");
    put("sub1/y.html", "y");
    put("sub1/deeper/z.htm", "z deep");
    put("sub2.htm/w.htm", "w");
}

void TestFindFile::splitMasks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one") << QStringLiteral("*.htm") << QStringList{QStringLiteral("*.htm")};
    QTest::newRow("two") << QStringLiteral("*.htm;*.html") << QStringList{QStringLiteral("*.htm"), QStringLiteral("*.html")};
    QTest::newRow("empty between") << QStringLiteral("a;;b") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    QTest::newRow("empty first") << QStringLiteral(";a") << QStringList{QString(), QStringLiteral("a")};
    QTest::newRow("trailing ; adds nothing") << QStringLiteral("a;") << QStringList{QStringLiteral("a")};
    QTest::newRow("only ;") << QStringLiteral(";") << QStringList{QString()};
    QTest::newRow("not trimmed, duplicates kept")
        << QStringLiteral(" a ; a") << QStringList{QStringLiteral(" a "), QStringLiteral(" a")};
}

void TestFindFile::splitMasks()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(SplitMasks(text), expected);
}

void TestFindFile::readFolderPrefix_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<QString>("rest");
    QTest::addColumn<bool>("expected");
    QTest::newRow("< this folder only") << QStringLiteral("</a") << true << QStringLiteral("/a") << false;
    QTest::newRow("> with subfolders") << QStringLiteral(">/a") << false << QStringLiteral("/a") << true;
    QTest::newRow("none: default true") << QStringLiteral("/a") << true << QStringLiteral("/a") << true;
    QTest::newRow("none: default false") << QStringLiteral("/a") << false << QStringLiteral("/a") << false;
    QTest::newRow("empty") << QString() << true << QString() << true;
    QTest::newRow("only one prefix is read") << QStringLiteral("<>/a") << true << QStringLiteral(">/a") << false;
}

void TestFindFile::readFolderPrefix()
{
    QFETCH(QString, entry);
    QFETCH(bool, defaultValue);
    QFETCH(QString, rest);
    QFETCH(bool, expected);
    QCOMPARE(ReadFolderPrefix(entry, defaultValue), expected);
    QCOMPARE(entry, rest);
}

void TestFindFile::addFolderExpandsAndKeepsOne()
{
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    TTargetFolderList list;
    const QString base = QDir::cleanPath(m_dir.path());
    TTargetFolder *a = list.AddFolder(QStringLiteral("root"));
    QCOMPARE(a->Path, QDir::toNativeSeparators(base + QStringLiteral("/root/")));
    QCOMPARE(list.AddFolder(QStringLiteral("root/sub1/../.")), a);
    QCOMPARE(list.AddFolder(base + QStringLiteral("/root/")), a);
    QCOMPARE(list.Count(), 1);
    TTargetFolder *b = list.AddFolder(QStringLiteral("./root/sub1"));
    QCOMPARE(b->Path, QDir::toNativeSeparators(base + QStringLiteral("/root/sub1/")));
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Folders(0), b); // newest first
    QCOMPARE(list.Folders(1), a);
    QCOMPARE(list.IndexOfFolder(a->Path), 1);
    QCOMPARE(list.IndexOfFolder(QStringLiteral("/nowhere/")), -1);
    // A fresh folder starts empty.
    QVERIFY(b->Masks.isEmpty());
    QCOMPARE(b->Subfolders, false);
    QCOMPARE(b->MinLevel, quint16(0));
    QCOMPARE(b->MaxLevel, quint16(0));
#if !defined(Q_OS_WIN) && !defined(Q_OS_DARWIN)
    // Paths compare as the file system does: with regard to case on Linux.
    TTargetFolder *upper = list.AddFolder(QStringLiteral("ROOT"));
    QVERIFY(upper != a);
    QCOMPARE(list.Count(), 3);
#endif
    QDir::setCurrent(saved);
}

void TestFindFile::addTargetsBuildsTheFolderList()
{
    const QString r = QDir::cleanPath(m_root);
    const QString rootPath = QDir::toNativeSeparators(r + u'/');
    const QString sub1Path = QDir::toNativeSeparators(r + QStringLiteral("/sub1/"));
    const QString sub2Path = QDir::toNativeSeparators(r + QStringLiteral("/sub2.htm/"));
    TFileCriteria files;
    files.setFileName(QStringLiteral("*.htm;*.html"));
    files.setLocation(r + QStringLiteral(";;") + r + QStringLiteral("/;<") + sub2Path);
    files.setIncluded({sub1Path + QStringLiteral("*.txt"), QStringLiteral("<") + rootPath + QStringLiteral("*.pdf"),
                       QStringLiteral("noFolderPart.doc")});
    files.setExcluded({QStringLiteral("/temp/"), QStringLiteral("*.bak")});
    files.setSubfolders(true);
    files.setMinLevel(2);
    files.setMaxLevel(5);
    TTargetFolderList list;
    list.AddTargets(files);
    QCOMPARE(list.ExcludedMasks, files.Excluded());
    QCOMPARE(list.Count(), 3);
    // Walk order (last to first) is the order in which folders were first named: Included first.
    TTargetFolder *first = list.Folders(2), *second = list.Folders(1), *third = list.Folders(0);
    QCOMPARE(first->Path, sub1Path);
    QCOMPARE(second->Path, rootPath);
    QCOMPARE(third->Path, sub2Path);
    // Included: the name part as a mask, the prefix as the flag, no levels.
    QCOMPARE(first->Masks, QStringList{QStringLiteral("*.txt")});
    QCOMPARE(first->Subfolders, true);
    QCOMPARE(first->MinLevel, quint16(0));
    QCOMPARE(first->MaxLevel, quint16(0));
    // The root: its Included mask, then FileName's masks once per Location entry naming it; the
    // flag and the levels set last (by a Location entry).
    QCOMPARE(second->Masks, (QStringList{QStringLiteral("*.pdf"), QStringLiteral("*.htm"), QStringLiteral("*.html"),
                                         QStringLiteral("*.htm"), QStringLiteral("*.html")}));
    QCOMPARE(second->Subfolders, true);
    QCOMPARE(second->MinLevel, quint16(2));
    QCOMPARE(second->MaxLevel, quint16(5));
    QCOMPARE(third->Subfolders, false);
    QCOMPARE(third->Masks, (QStringList{QStringLiteral("*.htm"), QStringLiteral("*.html")}));
}

void TestFindFile::targetSearchCopiesTheCriteria()
{
    TSearchCriteria c;
    c.Files()->setLocation(m_root);
    c.Files()->setFileName(QStringLiteral("*.*"));
    c.Attribute()->setAttributes(TFileAttributes{ffArchive, ffDirectory});
    c.Size()->setMax(10);
    {
        TTargetSearch t(c);
        QVERIFY(t.Attribute.Attributes().contains(ffDirectory));
        QCOMPARE(t.Size.Max(), quint32(10));
        QCOMPARE(t.Folders.Count(), 1);
        c.Size()->setMax(20); // the copy is private
        QCOMPARE(t.Size.Max(), quint32(10));
    }
    c.Content()->setPhrase(QStringLiteral("x"));
    TTargetSearch t(c);
    QVERIFY(!t.Attribute.Attributes().contains(ffDirectory)); // a folder never matches a content search
    QVERIFY(t.Attribute.Attributes().contains(ffArchive));
    QVERIFY(c.Attribute()->Attributes().contains(ffDirectory)); // the component's criteria are untouched
    QCOMPARE(t.Content.FoldedPhrase(), QByteArray("x"));
}

void TestFindFile::isExcludedTriesTheLastMaskFirst()
{
    TTargetFolderList list;
    QVERIFY(!list.IsExcluded(QStringLiteral("/a/"), QStringLiteral("x")));
    list.ExcludedMasks = {QStringLiteral("*.tmp"), QStringLiteral("/cache/")};
    QVERIFY(list.IsExcluded(QStringLiteral("/a/"), QStringLiteral("x.tmp")));
    QVERIFY(list.IsExcluded(QStringLiteral("/home/cache/"), QStringLiteral("x.txt")));
    QVERIFY(!list.IsExcluded(QStringLiteral("/home/cache/more/"), QStringLiteral("x.txt")));
    QVERIFY(!list.IsExcluded(QStringLiteral("/a/"), QStringLiteral("x.txt")));
}

void TestFindFile::walkOrderAndEventOrder()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    QList<quint16> depths;
    rec.folderHook = [&](const QString &, TFolderIgnore &) { depths << finder.Depth(); };
    bool accepted = true;
    rec.matchHook = [&](const QString &folder, const TSearchRec &entry) {
        accepted = accepted && finder.AcceptFile(folder, entry);
        QVERIFY(finder.Searching());
    };
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.htm"));
    finder.StartSearch();
    QVERIFY(!finder.Searching());
    QVERIFY(accepted);
    QCOMPARE(finder.Depth(), quint16(0));
    QCOMPARE(rec.events.first(), QStringLiteral("begin"));
    QCOMPARE(rec.events.last(), QStringLiteral("finish"));
    QCOMPARE(sorted(rec.folders()),
             (QStringList{QString(), QStringLiteral("sub1/"), QStringLiteral("sub1/deeper/"), QStringLiteral("sub2.htm/")}));
    QCOMPARE(rec.folders().first(), QString());
    // Depth first: a folder's subfolders follow it at once, before its siblings.
    const QStringList f = rec.folders();
    QCOMPARE(f.indexOf(QStringLiteral("sub1/deeper/")), f.indexOf(QStringLiteral("sub1/")) + 1);
    for (int i = 0; i < f.size(); ++i)
        QCOMPARE(depths[i], quint16(f[i].count(u'/') + 1));
    // Every match comes after its folder's event and before the next folder event.
    QString current;
    for (const QString &e : rec.events) {
        if (e.startsWith(QLatin1String("folder:")))
            current = e.mid(7);
        else if (e.startsWith(QLatin1String("match:")))
            QCOMPARE(e.mid(6).section(u'|', 0, 0), current);
    }
    QCOMPARE(rec.sortedMatches(),
             (QStringList{QStringLiteral(".hidden.htm"), QStringLiteral("a.htm"), QStringLiteral("sub1/deeper/z.htm"),
                          QStringLiteral("sub1/x.htm"), QStringLiteral("sub2.htm/w.htm")}));
}

void TestFindFile::masksFromLastToFirstAndTwice()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.htm;*.html"));
    finder.StartSearch();
    // In every folder the matches of the second mask come before those of the first.
    QString current;
    bool seenHtm = false;
    for (const QString &e : rec.events) {
        if (e.startsWith(QLatin1String("folder:"))) {
            seenHtm = false;
        } else if (e.startsWith(QLatin1String("match:"))) {
            if (e.endsWith(QLatin1String(".htm")))
                seenHtm = true;
            else
                QVERIFY2(!seenHtm, qPrintable(e));
        }
    }
    QCOMPARE(rec.matches().size(), 7);

    // The same folder twice is one target walked once, its masks twice: every match twice.
    TFindFile twice;
    Recorder rec2(twice, m_root);
    twice.Criteria()->Files()->setLocation(m_root + u';' + m_root + QStringLiteral("/sub1/.."));
    twice.Criteria()->Files()->setFileName(QStringLiteral("*.html"));
    twice.StartSearch();
    QCOMPARE(rec2.folders().count(QString()), 1);
    QCOMPARE(rec2.sortedMatches(), (QStringList{QStringLiteral("b.html"), QStringLiteral("b.html"),
                                                QStringLiteral("sub1/y.html"), QStringLiteral("sub1/y.html")}));
    // An entry that fits two masks of a folder is reported once per mask.
    TFindFile both;
    Recorder rec3(both, m_root);
    both.Criteria()->Files()->setLocation(QStringLiteral("<") + m_root);
    both.Criteria()->Files()->setFileName(QStringLiteral("a.*;*.htm"));
    both.StartSearch();
    QCOMPARE(rec3.matches().count(QStringLiteral("a.htm")), 2);
}

void TestFindFile::folderPrefixes()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.htm"));
    finder.Criteria()->Files()->setLocation(QStringLiteral("<") + m_root);
    finder.StartSearch();
    QCOMPARE(rec.folders(), QStringList{QString()});
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral(".hidden.htm"), QStringLiteral("a.htm")}));

    rec.events.clear();
    finder.Criteria()->Files()->setSubfolders(false);
    finder.Criteria()->Files()->setLocation(QStringLiteral(">") + m_root);
    finder.StartSearch();
    QCOMPARE(rec.folders().size(), 4);
    QCOMPARE(rec.matches().size(), 5);

    rec.events.clear();
    finder.Criteria()->Files()->setLocation(m_root); // no prefix: Subfolders (False)
    finder.StartSearch();
    QCOMPARE(rec.folders().size(), 1);
}

void TestFindFile::levels()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    TFileCriteria *files = finder.Criteria()->Files();
    files->setLocation(m_root);
    files->setFileName(QStringLiteral("*.htm"));
    files->setMaxLevel(1);
    finder.StartSearch();
    QCOMPARE(rec.folders(), QStringList{QString()});

    rec.events.clear();
    files->setMaxLevel(2);
    finder.StartSearch();
    QCOMPARE(sorted(rec.folders()), (QStringList{QString(), QStringLiteral("sub1/"), QStringLiteral("sub2.htm/")}));
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral(".hidden.htm"), QStringLiteral("a.htm"),
                                               QStringLiteral("sub1/x.htm"), QStringLiteral("sub2.htm/w.htm")}));

    rec.events.clear();
    files->setMaxLevel(0);
    files->setMinLevel(2); // the target's own files are skipped, its folder event still fires
    finder.StartSearch();
    QCOMPARE(rec.folders().size(), 4);
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral("sub1/deeper/z.htm"), QStringLiteral("sub1/x.htm"),
                                               QStringLiteral("sub2.htm/w.htm")}));
    rec.events.clear();
    files->setMinLevel(1); // 0 and 1 both mean: from the named folder on
    finder.StartSearch();
    QCOMPARE(rec.matches().size(), 5);
}

void TestFindFile::folderAnswers()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.htm"));
    TFolderIgnore rootAnswer = fiNone;
    rec.folderHook = [&](const QString &rel, TFolderIgnore &answer) {
        QCOMPARE(answer, fiNone);
        if (rel.isEmpty())
            answer = rootAnswer;
    };
    rootAnswer = fiJustThis; // skip the root's files, walk its subfolders
    finder.StartSearch();
    QCOMPARE(rec.folders().size(), 4);
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral("sub1/deeper/z.htm"), QStringLiteral("sub1/x.htm"),
                                               QStringLiteral("sub2.htm/w.htm")}));
    rec.events.clear();
    rootAnswer = fiJustSubfolders; // the root's files, no descent
    finder.StartSearch();
    QCOMPARE(rec.folders(), QStringList{QString()});
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral(".hidden.htm"), QStringLiteral("a.htm")}));
    rec.events.clear();
    rootAnswer = fiThisAndSubfolders;
    finder.StartSearch();
    QCOMPARE(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("folder:"), QStringLiteral("finish")}));
}

void TestFindFile::contentSearchNeverReportsFolders()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(QStringLiteral("<") + m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.htm"));
    finder.Criteria()->Attribute()->setAttributes(TFileAttributes::fromInt(31)); // folders too
    finder.StartSearch();
    QVERIFY(rec.matches().contains(QStringLiteral("sub2.htm")));
    rec.events.clear();
    finder.Criteria()->Content()->setPhrase(QStringLiteral("w"));
    finder.StartSearch();
    QVERIFY(!rec.matches().contains(QStringLiteral("sub2.htm")));
    // By default no folder is ever reported.
    TFindFile plain;
    Recorder rec2(plain, m_root);
    plain.Criteria()->Files()->setLocation(m_root);
    plain.Criteria()->Files()->setFileName(QStringLiteral("*"));
    plain.StartSearch();
    QCOMPARE(rec2.matches().size(), 10);
    QVERIFY(!rec2.matches().contains(QStringLiteral("sub1")));
}

void TestFindFile::emptyFileNameWalksFoldersOnly()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.StartSearch();
    QCOMPARE(rec.folders().size(), 4);
    QVERIFY(rec.matches().isEmpty());
    // Neither an empty Location.
    rec.events.clear();
    finder.Criteria()->Files()->setLocation(QString());
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.StartSearch();
    QCOMPARE(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("finish")}));
}

void TestFindFile::startWhileSearchingStopWhileIdle()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.StopSearch(); // idle: nothing, no event
    QVERIFY(rec.events.isEmpty());
    QVERIFY(!finder.StopRequested());
    finder.Criteria()->Files()->setLocation(QStringLiteral("<") + m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("a.htm"));
    int nested = 0;
    rec.matchHook = [&](const QString &, const TSearchRec &) {
        finder.StartSearch(); // while Searching: nothing
        ++nested;
    };
    finder.StartSearch();
    QCOMPARE(nested, 1);
    QCOMPARE(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("folder:"), QStringLiteral("match:|a.htm"),
                                      QStringLiteral("finish")}));
}

void TestFindFile::stopFromAHandlerInLine()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    rec.matchHook = [&](const QString &, const TSearchRec &) {
        finder.StopSearch();
        QVERIFY(finder.StopRequested());
    };
    finder.StartSearch();
    // The abort event at the moment of the request; no folder or match event after it.
    QCOMPARE(rec.events.size(), 5);
    QCOMPARE(rec.events[0], QStringLiteral("begin"));
    QCOMPARE(rec.events[1], QStringLiteral("folder:"));
    QVERIFY(rec.events[2].startsWith(QLatin1String("match:")));
    QCOMPARE(rec.events[3], QStringLiteral("abort"));
    QCOMPARE(rec.events[4], QStringLiteral("finish"));
    QVERIFY(finder.StopRequested()); // until the next search begins
    QVERIFY(!finder.Searching());
    rec.matchHook = nullptr;
    finder.StartSearch();
    QVERIFY(!finder.StopRequested());
    QCOMPARE(rec.matches().size(), 1 + 10);
}

void TestFindFile::exclusionsInTheWalk()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    TFileCriteria *files = finder.Criteria()->Files();
    files->setLocation(m_root);
    files->setFileName(QStringLiteral("*.htm;*.html"));
    files->setExcluded({QStringLiteral("sub1/"), QStringLiteral("*.html"), QStringLiteral("/deeper/z.*")});
    finder.StartSearch();
    QCOMPARE(rec.sortedMatches(),
             (QStringList{QStringLiteral(".hidden.htm"), QStringLiteral("a.htm"), QStringLiteral("sub2.htm/w.htm")}));
    // Exclusions do not stop the walk: the folders are still entered.
    QCOMPARE(rec.folders().size(), 4);
}

void TestFindFile::attributesSizeAndTimesInTheWalk()
{
    QTemporaryDir dir;
    const QString ro = dir.filePath(QStringLiteral("readonly.txt"));
    QVERIFY(TestSupport::writeFile(ro, QByteArray(100, 'r')));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("big.txt")), QByteArray(1000, 'b')));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral(".hidden.txt")), QByteArray(10, 'h')));
    QVERIFY(QFile::setPermissions(ro, QFile::ReadOwner | QFile::ReadUser));
    {
        QFile f(dir.filePath(QStringLiteral("big.txt")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2015, 6, 1), QTime(10, 0), Qt::LocalTime), QFileDevice::FileModificationTime));
    }
    TFindFile finder;
    Recorder rec(finder, dir.path());
    finder.Criteria()->Files()->setLocation(dir.path());
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.txt"));
    finder.StartSearch();
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral(".hidden.txt"), QStringLiteral("big.txt"),
                                               QStringLiteral("readonly.txt")}));
    auto run = [&]() {
        rec.events.clear();
        finder.StartSearch();
        return rec.sortedMatches();
    };
    TAttributeCriteria *attr = finder.Criteria()->Attribute();
    attr->setAttributes(TFileAttributes{ffArchive, ffHidden, ffSystem}); // no read-only
    QCOMPARE(run(), (QStringList{QStringLiteral(".hidden.txt"), QStringLiteral("big.txt")}));
    attr->setAttributes(TFileAttributes{ffArchive, ffReadonly, ffSystem}); // no hidden
    QCOMPARE(run(), (QStringList{QStringLiteral("big.txt"), QStringLiteral("readonly.txt")}));
    attr->setAttributes(TFileAttributes{ffReadonly});
    attr->setExactMatch(true);
    QCOMPARE(run(), QStringList{QStringLiteral("readonly.txt")});
    attr->setAttributes(TFileAttributes{ffArchive, ffReadonly, ffHidden, ffSystem});
    attr->setExactMatch(false);

    TSizeCriteria *size = finder.Criteria()->Size();
    size->setMin(100);
    size->setMax(100);
    QCOMPARE(run(), QStringList{QStringLiteral("readonly.txt")});
    size->setMax(0);
    QCOMPARE(run(), (QStringList{QStringLiteral("big.txt"), QStringLiteral("readonly.txt")}));
    size->setMin(0);

    TDateTimeCriteria *times = finder.Criteria()->TimeStamp();
    const double june1 = double(QDate(1899, 12, 30).daysTo(QDate(2015, 6, 1)));
    times->setModifiedBefore(june1); // a date: the whole day
    QCOMPARE(run(), QStringList{QStringLiteral("big.txt")});
    times->setModifiedBefore(june1 + 10.0 / 24); // 10:00 that day
    QCOMPARE(run(), QStringList{QStringLiteral("big.txt")});
    times->setModifiedBefore(june1 + 9.0 / 24);
    QCOMPARE(run(), QStringList());
    times->setModifiedBefore(0);
    times->setModifiedAfter(june1 + 1);
    QCOMPARE(run(), (QStringList{QStringLiteral(".hidden.txt"), QStringLiteral("readonly.txt")}));
    QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner);
}

void TestFindFile::contentsInTheWalk()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.Criteria()->Content()->setPhrase(QStringLiteral("Kestrel"));
    finder.StartSearch();
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral("a.htm"), QStringLiteral("c.txt"), QStringLiteral("sub1/x.htm")}));
    rec.events.clear();
    finder.Criteria()->Content()->setIgnoreCase(false);
    finder.StartSearch();
    QCOMPARE(rec.sortedMatches(), QStringList{QStringLiteral("a.htm")});
    // NUL bytes are ordinary bytes.
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("bin.exe")), QByteArray("\0\0MZ\0Kestrel\0", 13)));
    TFindFile bin;
    Recorder rec2(bin, dir.path());
    bin.Criteria()->Files()->setLocation(dir.path());
    bin.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    bin.Criteria()->Content()->setPhrase(QStringLiteral("kestrel"));
    bin.StartSearch();
    QCOMPARE(rec2.matches(), QStringList{QStringLiteral("bin.exe")});
}

void TestFindFile::recordGivesEverythingOnDemand()
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("Ünïcode Invoice.pdf");
    QVERIFY(TestSupport::writeFile(dir.filePath(name), QByteArray(4321, 'u')));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral(".dot")), QByteArray()));
    const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    TFindFile finder;
    finder.Criteria()->Files()->setLocation(dir.path());
    finder.Criteria()->Files()->setFileName(QStringLiteral("*"));
    QMap<QString, quint64> sizes;
    QMap<QString, quint32> attrs;
    QMap<QString, qint64> written;
    QString folderSeen;
    finder.setOnFileMatch([&](QObject *sender, const QString &folder, const TSearchRec &entry) {
        QCOMPARE(sender, &finder);
        folderSeen = folder;
        sizes[entry.Name()] = entry.Size();
        attrs[entry.Name()] = entry.Attr();
        written[entry.Name()] = entry.LastWriteTime();
        QVERIFY(entry.CreationTime() > 0);
        QVERIFY(entry.LastAccessTime() > 0);
    });
    finder.StartSearch();
    QCOMPARE(folderSeen, AppendPathDelimiter(QDir::toNativeSeparators(QDir::cleanPath(dir.path()))));
    QCOMPARE(sizes.value(name), quint64(4321));
    QCOMPARE(written.value(name), (modified.toSecsSinceEpoch() + 11644473600LL) * 10000000LL);
#ifndef Q_OS_WIN
    QVERIFY(attrs.value(QStringLiteral(".dot")) & Platform::AttrHidden);
    QVERIFY(!(attrs.value(name) & Platform::AttrHidden));
#endif
    QVERIFY(!(attrs.value(name) & Platform::AttrDirectory));
    // A record built by hand carries its values.
    const TSearchRec made(QStringLiteral("x.txt"), 0x20, 5, 1, 2, 3);
    QCOMPARE(made.Name(), QStringLiteral("x.txt"));
    QCOMPARE(made.Attr(), quint32(0x20));
    QCOMPARE(made.Size(), quint64(5));
    QCOMPARE(made.CreationTime(), 1);
    QCOMPARE(made.LastAccessTime(), 2);
    QCOMPARE(made.LastWriteTime(), 3);
}

void TestFindFile::missingAndUnreadableFolders()
{
    TFindFile finder;
    Recorder rec(finder, m_dir.path());
    finder.Criteria()->Files()->setLocation(m_dir.filePath(QStringLiteral("missing")));
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.StartSearch();
    QCOMPARE(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("folder:missing/"), QStringLiteral("finish")}));
#ifndef Q_OS_WIN
    if (geteuid() == 0)
        QSKIP("running as root: a folder without permissions is still readable");
    QTemporaryDir dir;
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("closed/inside.txt")), "x"));
    QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("open.txt")), "x"));
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("closed")), QFileDevice::Permissions()));
    TFindFile f2;
    Recorder rec2(f2, dir.path());
    f2.Criteria()->Files()->setLocation(dir.path());
    f2.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    f2.StartSearch();
    QCOMPARE(sorted(rec2.folders()), (QStringList{QString(), QStringLiteral("closed/")}));
    QCOMPARE(rec2.matches(), QStringList{QStringLiteral("open.txt")});
    QFile::setPermissions(dir.filePath(QStringLiteral("closed")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}

void TestFindFile::linkLoopIsNotEntered()
{
#ifdef Q_OS_WIN
    QSKIP("symbolic links need privileges on Windows");
#endif
    QTemporaryDir dir;
    const QString r = dir.filePath(QStringLiteral("tree"));
    QVERIFY(TestSupport::writeFile(r + QStringLiteral("/top.txt"), "t"));
    QVERIFY(TestSupport::writeFile(r + QStringLiteral("/a/in-a.txt"), "a"));
    QVERIFY(TestSupport::writeFile(r + QStringLiteral("/b/in-b.txt"), "b"));
    QVERIFY(QFile::link(r, r + QStringLiteral("/a/up")));          // back to the target folder
    QVERIFY(QFile::link(r + QStringLiteral("/a"), r + QStringLiteral("/a/self"))); // to itself
    QVERIFY(QFile::link(r + QStringLiteral("/a"), r + QStringLiteral("/b/to-a"))); // across: no loop
    TFindFile finder;
    Recorder rec(finder, r);
    finder.Criteria()->Files()->setLocation(r);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.txt"));
    finder.StartSearch();
    QCOMPARE(sorted(rec.folders()), (QStringList{QString(), QStringLiteral("a/"), QStringLiteral("b/"), QStringLiteral("b/to-a/")}));
    QCOMPARE(rec.sortedMatches(), (QStringList{QStringLiteral("a/in-a.txt"), QStringLiteral("b/in-b.txt"),
                                               QStringLiteral("b/to-a/in-a.txt"), QStringLiteral("top.txt")}));
}

void TestFindFile::errorInAHandlerInLineEndsTheSearch()
{
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    rec.matchHook = [](const QString &, const TSearchRec &) { throw std::runtime_error("handler failed"); };
    bool thrown = false;
    try {
        finder.StartSearch();
    } catch (const std::runtime_error &e) {
        thrown = QByteArray(e.what()) == "handler failed";
    }
    QVERIFY(thrown); // the error reaches the caller...
    QVERIFY(!finder.Searching()); // ...after the search has ended cleanly
    QCOMPARE(finder.Depth(), quint16(0));
    QCOMPARE(rec.events.last(), QStringLiteral("finish"));
    QCOMPARE(rec.matches().size(), 1);
    // And a new search runs.
    rec.matchHook = nullptr;
    rec.events.clear();
    finder.StartSearch();
    QCOMPARE(rec.matches().size(), 10);
    // An error in the begin handler too.
    finder.setOnSearchBegin([](QObject *) { throw std::runtime_error("begin failed"); });
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, finder.StartSearch());
    QVERIFY(!finder.Searching());
}

// The tests of threaded searches run with both ways of delivering the events.
static void addDeliveryColumn()
{
    QTest::addColumn<TEventDelivery>("delivery");
    QTest::newRow("handed off") << edHandOff;
    QTest::newRow("batched") << edBatched;
}

void TestFindFile::threadedGivesTheSameEventsOnTheGuiThread_data()
{
    addDeliveryColumn();
}

void TestFindFile::threadedGivesTheSameEventsOnTheGuiThread()
{
    QFETCH(TEventDelivery, delivery);
    TFindFile inLine;
    Recorder expected(inLine, m_root);
    inLine.Criteria()->Files()->setLocation(m_root);
    inLine.Criteria()->Files()->setFileName(QStringLiteral("*.htm;*.html"));
    inLine.StartSearch();

    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Assign(inLine.Criteria());
    finder.setThreaded(true);
    finder.setDelivery(delivery);
    finder.setThreadPriority(tpLower);
    QCOMPARE(finder.ThreadPriority(), tpLower);
    finder.StartSearch();
    QVERIFY(finder.Searching()); // returns at once
    QCOMPARE(rec.events, QStringList{QStringLiteral("begin")});
    QTRY_VERIFY(!finder.Searching());
    QCOMPARE(rec.events, expected.events);
    QCOMPARE(rec.threads, QSet<QThread *>{QThread::currentThread()});
    QCOMPARE(finder.Depth(), quint16(0));
    // Again, with the same component.
    rec.events.clear();
    finder.StartSearch();
    QTRY_VERIFY(!finder.Searching());
    QCOMPARE(rec.events, expected.events);
}

void TestFindFile::threadedStop_data()
{
    addDeliveryColumn();
}

void TestFindFile::threadedStop()
{
    QFETCH(TEventDelivery, delivery);
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.setThreaded(true);
    finder.setDelivery(delivery);
    bool searchingAfterStop = false;
    rec.folderHook = [&](const QString &rel, TFolderIgnore &) {
        if (rel == QLatin1String("sub1/")) {
            finder.StopSearch();
            searchingAfterStop = finder.Searching();
        }
    };
    finder.StartSearch();
    QTRY_VERIFY(!finder.Searching());
    QVERIFY(searchingAfterStop); // the worker still has to end
    QVERIFY(finder.StopRequested());
    const int abort = rec.events.indexOf(QStringLiteral("abort"));
    QVERIFY(abort > 0);
    QCOMPARE(rec.events[abort - 1], QStringLiteral("folder:sub1/"));
    QCOMPARE(rec.events.mid(abort), (QStringList{QStringLiteral("abort"), QStringLiteral("finish")}));
    finder.Criteria()->Files()->setLocation(QStringLiteral("<") + m_root);
    rec.folderHook = nullptr;
    finder.StartSearch();
    QVERIFY(!finder.StopRequested());
    QTRY_VERIFY(!finder.Searching());
}

void TestFindFile::threadedStopFromOutside()
{
    // A tree large enough to be still walking when the stop comes.
    QTemporaryDir dir;
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 10; ++j)
            QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("d%1/f%2.txt").arg(i).arg(j)), "x"));
    TFindFile finder;
    Recorder rec(finder, dir.path());
    // Handlers that take their time keep the walk going when the stop comes.
    rec.folderHook = [](const QString &, TFolderIgnore &) { QThread::msleep(2); };
    finder.Criteria()->Files()->setLocation(dir.path());
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.setThreaded(true);
    finder.StartSearch();
    QTRY_VERIFY(rec.matches().size() >= 5);
    finder.StopSearch();
    QCOMPARE(rec.events.last(), QStringLiteral("abort")); // at once, on the thread that asked
    const int seen = rec.events.size();
    QVERIFY(finder.Searching());
    QTRY_VERIFY(!finder.Searching());
    QCOMPARE(rec.events.size(), seen + 1);
    QCOMPARE(rec.events.last(), QStringLiteral("finish"));
    QVERIFY(rec.matches().size() < 600);
}

void TestFindFile::threadedErrorEndsTheWorker_data()
{
    addDeliveryColumn();
}

void TestFindFile::threadedErrorEndsTheWorker()
{
    QFETCH(TEventDelivery, delivery);
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.setThreaded(true);
    finder.setDelivery(delivery);
    rec.folderHook = [](const QString &rel, TFolderIgnore &) {
        if (rel == QLatin1String("sub1/"))
            throw std::runtime_error("handler failed");
    };
    finder.StartSearch();
    QTRY_VERIFY(!finder.Searching());
    QCOMPARE(rec.events.last(), QStringLiteral("finish"));
    QCOMPARE(rec.events[rec.events.size() - 2], QStringLiteral("folder:sub1/"));
    QCOMPARE(finder.Depth(), quint16(0));
    QVERIFY(!finder.StopRequested());
}

void TestFindFile::windowStaysResponsiveDuringThreadedSearch()
{
    // Hand-offs come back to back; the GUI thread still gets to its event loop now and then.
    QTemporaryDir dir;
    for (int i = 0; i < 300; ++i)
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("d%1").arg(i))));
    TFindFile finder;
    finder.Criteria()->Files()->setLocation(dir.path());
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.setThreaded(true);
    finder.setOnFolderChange([](QObject *, const QString &, TFolderIgnore &) {
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 200000) {
        }
    });
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, [&] {
        if (finder.Searching())
            ++ticks;
    });
    timer.start();
    finder.StartSearch();
    QTRY_VERIFY_WITH_TIMEOUT(!finder.Searching(), 10000);
    QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
}

void TestFindFile::destructionDuringAThreadedSearch_data()
{
    addDeliveryColumn();
}

void TestFindFile::destructionDuringAThreadedSearch()
{
    QFETCH(TEventDelivery, delivery);
    QTemporaryDir dir;
    for (int i = 0; i < 40; ++i)
        QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("d%1/f.txt").arg(i)), "x"));
    QStringList events;
    auto *finder = new TFindFile;
    finder->Criteria()->Files()->setLocation(dir.path());
    finder->Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder->setThreaded(true);
    finder->setDelivery(delivery);
    finder->setOnSearchFinish([&](QObject *) { events << QStringLiteral("finish"); });
    finder->setOnSearchAbort([&](QObject *) { events << QStringLiteral("abort"); });
    int matches = 0;
    finder->setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) {
        ++matches;
        QThread::msleep(2); // a slow handler keeps the walk going when the component is destroyed
    });
    finder->StartSearch();
    QTRY_VERIFY(matches >= 2);
    delete finder; // stops, waits for the worker; no abort or finish event while being destroyed
    QVERIFY(events.isEmpty());
    const int seen = matches;
    QTest::qWait(50);
    QCOMPARE(matches, seen);
}

// Waits, without handling any event, until the worker of the running search has ended. A worker
// that waits for the GUI thread never does: the deadline only keeps such a test from hanging.
static bool workerEndsWithoutTheEventLoop(const TFindFile &finder)
{
    const QThread *worker = finder.Worker();
    if (!worker)
        return false;
    QDeadlineTimer deadline(60000);
    while (!worker->isFinished() && !deadline.hasExpired())
        QThread::msleep(1);
    return worker->isFinished();
}

void TestFindFile::batchedWorkerNeverWaitsForTheGuiThread()
{
    TFindFile inLine;
    Recorder expected(inLine, m_root);
    inLine.Criteria()->Files()->setLocation(m_root);
    inLine.Criteria()->Files()->setFileName(QStringLiteral("*.htm;*.html;noext"));
    inLine.StartSearch();

    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Assign(inLine.Criteria());
    finder.setThreaded(true);
    finder.setDelivery(edBatched);
    QCOMPARE(finder.Delivery(), edBatched);
    // The records stay whole after the walk has moved on: their size and attributes are those of the
    // files.
    QStringList wrongRecords;
    rec.matchHook = [&](const QString &folder, const TSearchRec &entry) {
        const TSearchRec copy = entry;
        const QFileInfo file(folder + copy.Name());
        if (copy.Size() != quint64(file.size()) || (copy.Attr() & 0x10) != 0)
            wrongRecords << file.filePath();
    };
    finder.StartSearch();
    QVERIFY(workerEndsWithoutTheEventLoop(finder));
    QCOMPARE(rec.events, QStringList{QStringLiteral("begin")}); // nothing is delivered by the worker
    QVERIFY(finder.Searching());
    QTRY_VERIFY(!finder.Searching());
    QCOMPARE(rec.events, expected.events);
    QCOMPARE(rec.threads, QSet<QThread *>{QThread::currentThread()});
    QVERIFY2(wrongRecords.isEmpty(), qPrintable(wrongRecords.join(u", ")));
    QVERIFY(!finder.Worker());
}

void TestFindFile::batchedDeliversNothingAfterAStop_data()
{
    QTest::addColumn<int>("stopAtMatch"); // 0: from outside, before anything is delivered
    QTest::newRow("from outside") << 0;
    QTest::newRow("from the first handler") << 1;
    QTest::newRow("from the third handler") << 3;
}

void TestFindFile::batchedDeliversNothingAfterAStop()
{
    QFETCH(int, stopAtMatch);
    TFindFile finder;
    Recorder rec(finder, m_root);
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder.setThreaded(true);
    finder.setDelivery(edBatched);
    int matches = 0;
    rec.matchHook = [&](const QString &, const TSearchRec &) {
        if (++matches == stopAtMatch)
            finder.StopSearch();
    };
    finder.StartSearch();
    // Everything the walk finds is queued by now, most of it in one batch.
    QVERIFY(workerEndsWithoutTheEventLoop(finder));
    if (stopAtMatch == 0) {
        finder.StopSearch();
        QCOMPARE(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("abort")}));
    }
    QTRY_VERIFY(!finder.Searching());
    QVERIFY(finder.StopRequested());
    QCOMPARE(rec.matches().size(), stopAtMatch);
    const int abort = rec.events.indexOf(QStringLiteral("abort"));
    QCOMPARE(rec.events.mid(abort), (QStringList{QStringLiteral("abort"), QStringLiteral("finish")}));
    if (stopAtMatch > 0)
        QVERIFY(rec.events[abort - 1].startsWith(QLatin1String("match:")));
}

void TestFindFile::destructionNeverRunsTheEventLoop()
{
    // A chain of folders, so that the walk still has folders to enter whenever it is destroyed.
    QTemporaryDir dir;
    QString chain = dir.path();
    for (int i = 0; i < 300; ++i)
        chain += QStringLiteral("/d");
    QVERIFY(QDir().mkpath(chain));

    auto *finder = new TFindFile;
    finder->Criteria()->Files()->setLocation(dir.path());
    finder->Criteria()->Files()->setFileName(QStringLiteral("*.*"));
    finder->setThreaded(true);
    bool destroyed = false;
    bool calledAfterDestruction = false;
    int folders = 0;
    quint16 handledDepth = 0;
    QObject context;
    bool queuedCallRan = false;
    bool queuedCallRanInside = false;
    bool laterDeletedInside = false;
    const auto destroy = [&] {
        // Wait, without handling events, until the worker has entered its next folder: it then waits
        // for the GUI thread to take its folder event.
        while (finder->Depth() == handledDepth)
            QThread::yieldCurrentThread();
        QMetaObject::invokeMethod(
            &context, [&] { queuedCallRan = true; }, Qt::QueuedConnection);
        auto *later = new QObject;
        QPointer<QObject> watch(later);
        later->deleteLater();
        delete finder;
        destroyed = true;
        queuedCallRanInside = queuedCallRan;
        laterDeletedInside = watch.isNull();
    };
    finder->setOnFolderChange([&](QObject *, const QString &, TFolderIgnore &) {
        calledAfterDestruction = calledAfterDestruction || destroyed;
        handledDepth = finder->Depth();
        if (++folders == 3)
            QMetaObject::invokeMethod(&context, destroy, Qt::QueuedConnection);
        else if (folders > 3)
            QThread::msleep(1); // the GUI thread gets back to its events before the walk is through
    });
    const auto after = [&](QObject *) { calledAfterDestruction = calledAfterDestruction || destroyed; };
    finder->setOnSearchFinish(after);
    finder->setOnSearchAbort(after);
    finder->setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) {
        calledAfterDestruction = calledAfterDestruction || destroyed;
    });
    finder->StartSearch();
    QTRY_VERIFY(destroyed);
    QVERIFY(!queuedCallRanInside);
    QVERIFY(!laterDeletedInside);
    QTRY_VERIFY(queuedCallRan); // they run afterwards, from the event loop
    QTest::qWait(20);
    QVERIFY(!calledAfterDestruction);
    QVERIFY(folders < 300);
}

void TestFindFile::destructionAtAnyMomentFiresNoEvent_data()
{
    addDeliveryColumn();
}

void TestFindFile::destructionAtAnyMomentFiresNoEvent()
{
    // The component of an owner that goes away, destroyed at many moments of a threaded search:
    // at once, after some of its events, while the GUI thread is busy, and once its worker has
    // ended with the end notification not yet handled. No handler runs once the owner's
    // destruction has begun, then or later.
    QFETCH(TEventDelivery, delivery);
    QTemporaryDir dir;
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 3; ++j)
            QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("d%1/f%2.txt").arg(i).arg(j)), "x"));
    QStringList late;
    bool goingAway = false;
    int events = 0;
    constexpr int kTries = 48;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        auto *owner = new QObject;
        auto *finder = new TFindFile(owner);
        finder->Criteria()->Files()->setLocation(dir.path());
        finder->Criteria()->Files()->setFileName(QStringLiteral("*.*"));
        finder->setThreaded(true);
        finder->setDelivery(delivery);
        const auto record = [&](const QString &what) {
            ++events;
            if (goingAway)
                late << QStringLiteral("%1 (try %2)").arg(what).arg(attempt);
        };
        finder->setOnSearchFinish([&](QObject *) { record(QStringLiteral("finish")); });
        finder->setOnSearchAbort([&](QObject *) { record(QStringLiteral("abort")); });
        finder->setOnFolderChange([&](QObject *, const QString &, TFolderIgnore &) { record(QStringLiteral("folder")); });
        finder->setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) { record(QStringLiteral("match")); });
        events = 0;
        goingAway = false;
        finder->StartSearch();
        switch (attempt % 4) {
        case 0: // at once
            break;
        case 1: // after some of its events
            while (finder->Searching() && events < attempt % 40)
                QCoreApplication::processEvents();
            break;
        case 2: // the GUI thread busy elsewhere for a moment, the worker going on
            QThread::usleep(unsigned(attempt % 7) * 200);
            break;
        case 3: // the worker has ended; its end notification waits in the queue
            while (finder->Worker() && !finder->Worker()->isFinished())
                QCoreApplication::processEvents();
            break;
        }
        goingAway = true;
        delete owner;
        QCoreApplication::processEvents(); // what was queued for it reaches no handler either
    }
    QVERIFY2(late.isEmpty(), qPrintable(late.join(u", ")));
}

void TestFindFile::deepTreeUnderAnOpenFileLimit_data()
{
    QTest::addColumn<bool>("threaded");
    QTest::newRow("in-line, on a small stack") << false;
    QTest::newRow("threaded") << true;
}

void TestFindFile::deepTreeUnderAnOpenFileLimit()
{
#ifdef Q_OS_WIN
    QSKIP("needs POSIX folder calls to build the tree");
#endif
    QFETCH(bool, threaded);
    constexpr int kLevels = 20000;
    const TestSupport::DeepTree tree(kLevels);
    QVERIFY(tree.isValid());

    int folders = 0;
    int matches = 0;
    int deepest = 0;
    bool searching = true;
    const auto search = [&] {
        TFindFile finder;
        finder.Criteria()->Files()->setLocation(tree.root());
        finder.Criteria()->Files()->setFileName(QStringLiteral("f"));
        finder.setThreaded(threaded);
        finder.setOnFolderChange([&](QObject *, const QString &, TFolderIgnore &) {
            ++folders;
            deepest = std::max(deepest, int(finder.Depth()));
        });
        finder.setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) { ++matches; });
        finder.StartSearch();
        if (threaded)
            QTRY_VERIFY_WITH_TIMEOUT(!finder.Searching(), 120000);
        searching = finder.Searching();
    };
    {
        const TestSupport::OpenFileLimit limit(1024);
        QVERIFY(limit.isValid());
        if (threaded)
            search();
        else
            TestSupport::runOnThread(search, 512 * 1024);
    }
    QVERIFY(!searching);
    QCOMPARE(folders, kLevels + 1);
    QCOMPARE(matches, kLevels);
    QCOMPARE(deepest, kLevels + 1);
}

void TestFindFile::namesWithoutAPathSpellingAreLeftOut_data()
{
    // A name that the system's encoding cannot give back byte for byte cannot be part of a path the
    // program hands on (the file could not be opened by it): it is left out and counted.
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<bool>("spelled");
    QTest::addColumn<bool>("threaded");
    QTest::newRow("file, a byte that is no UTF-8") << QByteArray("bad\xff.txt") << false << false << false;
    QTest::newRow("file, a cut sequence") << QByteArray("caf\xc3.txt") << false << false << false;
    QTest::newRow("file, an overlong slash") << QByteArray("\xc0\xaf.txt") << false << false << false;
    QTest::newRow("file, an encoded surrogate") << QByteArray("\xed\xa0\x80.txt") << false << false << false;
    QTest::newRow("file, threaded") << QByteArray("bad\xff.txt") << false << false << true;
    QTest::newRow("folder, a byte that is no UTF-8") << QByteArray("bad\xfe") << true << false << false;
    QTest::newRow("folder, threaded") << QByteArray("bad\xfe") << true << false << true;
    QTest::newRow("file, valid UTF-8") << QByteArray("\xc3\x9cn\xc3\xaf"
                                                     "code.txt")
                                       << false << true << false;
    QTest::newRow("folder, valid UTF-8") << QByteArray("\xc3\x9cn\xc3\xaf"
                                                       "code")
                                         << true << true << true;
}

void TestFindFile::namesWithoutAPathSpellingAreLeftOut()
{
#ifdef Q_OS_WIN
    QSKIP("names on Windows are UTF-16");
#endif
    QFETCH(QByteArray, name);
    QFETCH(bool, asFolder);
    QFETCH(bool, spelled);
    QFETCH(bool, threaded);
    QTemporaryDir dir;
    struct Cleanup
    {
        QString path;
        ~Cleanup() { TestSupport::removeTree(path); }
    } cleanup{dir.filePath(QStringLiteral("tree"))};
    const QString root = cleanup.path;
    QVERIFY(TestSupport::writeFile(root + QStringLiteral("/good.txt"), "x"));
    QVERIFY(TestSupport::writeFile(root + QStringLiteral("/sub/also good.txt"), "x"));
    const QByteArray entry = QFile::encodeName(root) + '/' + name;
    QVERIFY(TestSupport::makeRawEntry(entry, asFolder));
    if (asFolder)
        QVERIFY(TestSupport::makeRawEntry(entry + "/inside.txt", false));

    TFindFile finder;
    finder.Criteria()->Files()->setLocation(root);
    finder.Criteria()->Files()->setFileName(QStringLiteral("*"));
    finder.setThreaded(threaded);
    QStringList found;
    QStringList folders;
    finder.setOnFolderChange([&](QObject *, const QString &folder, TFolderIgnore &) { folders << folder; });
    finder.setOnFileMatch(
        [&](QObject *, const QString &folder, const TSearchRec &entry) { found << folder + entry.Name(); });
    finder.StartSearch();
    QTRY_VERIFY(!finder.Searching());

    for (const QString &path : std::as_const(found))
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    for (const QString &folder : std::as_const(folders))
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    const QString spelling = QFile::decodeName(name);
    QStringList expected{QStringLiteral("good.txt"), QStringLiteral("sub/also good.txt")};
    if (spelled)
        expected << (asFolder ? spelling + QStringLiteral("/inside.txt") : spelling);
    QStringList relative;
    for (const QString &path : std::as_const(found))
        relative << path.mid(root.size() + 1);
    relative.sort();
    expected.sort();
    QCOMPARE(relative, expected);
    // Left out, and counted once (a folder with all it holds), for the user to be told.
    QCOMPARE(finder.Report().skippedNames, qint64(spelled ? 0 : 1));
    QCOMPARE(finder.Report().unreadableFolders, qint64(0));
    QVERIFY(finder.Report().isComplete() == spelled);
}

void TestFindFile::unreadableFoldersAreReported_data()
{
    // Folders ending in "!" lose every permission before the search.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("location"); // relative to the tree
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QString>("firstError"); // relative to the tree; empty: any

    QTest::newRow("all readable") << QStringList{u"a/f.txt"_s} << QString() << QStringList{u"a/f.txt"_s} << 0
                                  << QString();
    QTest::newRow("a closed folder; the walk goes on past it")
        << QStringList{u"a/f.txt"_s, u"b!/in.txt"_s, u"c/g.txt"_s} << QString()
        << QStringList{u"a/f.txt"_s, u"c/g.txt"_s} << 1 << u"b!/"_s;
    QTest::newRow("closed folders at several depths")
        << QStringList{u"a/b!/in.txt"_s, u"a/c/f.txt"_s, u"d/e/f!/in.txt"_s, u"d/e/g.txt"_s} << QString()
        << QStringList{u"a/c/f.txt"_s, u"d/e/g.txt"_s} << 2 << QString();
    QTest::newRow("the target folder closed")
        << QStringList{u"t!/in.txt"_s} << u"t!"_s << QStringList() << 1 << u"t!/"_s;
    QTest::newRow("a missing target folder is no error")
        << QStringList{u"f.txt"_s} << u"missing"_s << QStringList() << 0 << QString();
}

void TestFindFile::unreadableFoldersAreReported()
{
#ifdef Q_OS_WIN
    QSKIP("folder permissions are POSIX ones here");
#endif
    QFETCH(QStringList, files);
    QFETCH(QString, location);
    QFETCH(QStringList, expected);
    QFETCH(int, unreadable);
    QFETCH(QString, firstError);
    QTemporaryDir dir;
    const QString root = QDir::cleanPath(dir.path()) + u'/';
    QStringList closed;
    for (const QString &file : std::as_const(files)) {
        QVERIFY(TestSupport::writeFile(root + file, "x"));
        const qsizetype mark = file.indexOf(u'!');
        if (mark >= 0)
            closed << root + file.left(mark + 1);
    }
    for (const QString &folder : std::as_const(closed))
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions()));

    QStringList found;
    QStringList folders;
    Platform::WalkReport report;
    // In-line, on a thread without the privilege to read any folder (which a test running as root has).
    TestSupport::runOnThread(
        [&] {
            TFindFile finder;
            finder.Criteria()->Files()->setLocation(root + location);
            finder.Criteria()->Files()->setFileName(u"*.txt"_s);
            finder.setOnFolderChange([&](QObject *, const QString &folder, TFolderIgnore &) { folders << folder; });
            finder.setOnFileMatch([&](QObject *, const QString &folder, const TSearchRec &entry) {
                found << QString(folder + entry.Name()).mid(root.size());
            });
            finder.StartSearch();
            report = finder.Report();
        },
        1024 * 1024, true);
    for (const QString &folder : std::as_const(closed))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    found.sort();
    QCOMPARE(found, expected);
    for (const QString &folder : std::as_const(closed)) // entered all the same: its event fires
        QVERIFY2(folders.contains(folder + u'/'), qPrintable(folder));
    QCOMPARE(report.unreadableFolders, qint64(unreadable));
    QCOMPARE(report.skippedNames, qint64(0));
    if (!firstError.isEmpty())
        QCOMPARE(report.firstErrorPath, root + firstError);
    QCOMPARE(report.firstErrorReason.isEmpty(), unreadable == 0);
}

void TestFindFile::contentsNearTheOpenFileLimit()
{
    const QDir descriptors(u"/proc/self/fd"_s);
    if (!descriptors.exists())
        QSKIP("needs /proc/self/fd to see the open files");
    // In one folder 10 files holding the phrase and 400 without it, and only 40 more files the
    // process may open: the files read in vain are closed in batches, which must not take the
    // place of the next file to read.
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    for (int i = 0; i < 10; ++i)
        QVERIFY(TestSupport::writeFile(dir.filePath(u"hit%1.txt"_s.arg(i)), "a Kestrel here"));
    for (int i = 0; i < 400; ++i)
        QVERIFY(TestSupport::writeFile(dir.filePath(u"miss%1.txt"_s.arg(i)), "nothing here"));
    // The limit bounds the numbers of new files: 40 numbers below it are free.
    QList<int> open;
    for (const QString &entry : descriptors.entryList(QDir::Files | QDir::System))
        open << entry.toInt();
    int limit = 40;
    for (;;) {
        const int below = int(std::count_if(open.cbegin(), open.cend(), [&](int fd) { return fd < limit; }));
        if (below + 40 <= limit)
            break;
        limit = below + 40;
    }
    TFindFile finder;
    finder.Criteria()->Files()->setLocation(dir.path());
    finder.Criteria()->Files()->setFileName(u"*.txt"_s);
    finder.Criteria()->Content()->setPhrase(u"kestrel"_s);
    int matches = 0;
    finder.setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) { ++matches; });
    {
        const TestSupport::OpenFileLimit openFiles{unsigned(limit)};
        QVERIFY(openFiles.isValid());
        finder.StartSearch();
    }
    QCOMPARE(matches, 10);
    QVERIFY(finder.Report().isComplete());
}

QTEST_GUILESS_MAIN(TestFindFile)
#include "tst_findfile.moc"
