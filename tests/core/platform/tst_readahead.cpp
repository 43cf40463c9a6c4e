// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ahead of the walk changes how soon files are read, never what is reported or in which
// order: the same matches as the walk that reads one file at a time, also when files change
// between the listing and the read; a stop ends it; it stays inside its share of the open files.
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/accounts/FileCount.h"
#include "core/platform/ReadAhead.h"
#include "core/search/FindFile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <mutex>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Sets the read-ahead settings for one run and puts the defaults back afterwards.
struct ReadAheadScope
{
    explicit ReadAheadScope(Platform::ReadAheadMode mode, std::function<void(const QString &, bool)> afterListing = {})
    {
        Platform::readAheadSettings().mode = mode;
        Platform::readAheadSettings().afterListing = std::move(afterListing);
        Platform::resetReadAheadStats();
    }
    ~ReadAheadScope() { Platform::readAheadSettings() = Platform::ReadAheadSettings(); }
};

// How a file holding the phrase is changed between the listing of its folder and its read.
enum Change
{
    Deleted,
    MadeAFolder,
    MadeUnreadable,
    MadeAFifo
};

} // namespace

class TestReadAhead : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sameMatchesInTheSameOrder_data();
    void sameMatchesInTheSameOrder();
    void stopEndsIt();
    void staysInsideItsShareOfOpenFiles();
    void countIsTheSame();
    void aWalkInMemoryReadsNothingAhead();

private:
    // Runs one search; gives "folder|name" of each match in order.
    QStringList search(Platform::ReadAheadMode mode, bool threaded, TEventDelivery delivery,
                       const std::function<void(const QString &, bool)> &afterListing = {});
    static bool makeTree(const QString &root);
    // Changes the files of one folder once, whoever lists it first.
    void change(const QString &folder);

    QTemporaryDir m_dir{TestSupport::fastTempTemplate()};
    QString m_root;
    std::mutex m_changedMutex;
    QSet<QString> m_changed;
    QList<int> m_fifoCreated;
};

void TestReadAhead::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("the read-ahead is Linux only");
#endif
    if (Platform::readAheadFileBudget() == 0)
        QSKIP("too low a limit of open files to read ahead");
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path() + u'/';
    QVERIFY(makeTree(m_root));
}

bool TestReadAhead::makeTree(const QString &root)
{
    // 3 x 4 folders of 12 files, every third holding the phrase (one of them past the first chunk
    // of a read), with names for two masks.
    const QByteArray filler(70000, 'x');
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 4; ++b) {
            const QString folder = root + u"a%1/b%2/"_s.arg(a).arg(b);
            for (int f = 0; f < 12; ++f) {
                const QString ext = f % 2 ? u".txt"_s : u".dat"_s;
                QByteArray body = "nothing to see";
                if (f % 3 == 0)
                    body = f == 9 ? filler + "the Kestrel is here" : QByteArray("a kestrel");
                if (!TestSupport::writeFile(folder + u"file%1"_s.arg(f, 2, 10, QChar(u'0')) + ext, body))
                    return false;
            }
        }
    }
    return true;
}

void TestReadAhead::change(const QString &folder)
{
    {
        const std::lock_guard<std::mutex> lock(m_changedMutex);
        if (m_changed.contains(folder))
            return;
        m_changed.insert(folder);
    }
    // In each folder b1 and b3 of every a: file00 deleted, file03 made a folder, file06 made
    // unreadable, file09 made a FIFO (all of them held the phrase).
    if (!folder.endsWith(u"/b1/"_s) && !folder.endsWith(u"/b3/"_s))
        return;
    QFile::remove(folder + u"file00.dat"_s);
    QFile::remove(folder + u"file03.txt"_s);
    QDir().mkdir(folder + u"file03.txt"_s);
    QFile(folder + u"file06.dat"_s).setPermissions(QFileDevice::Permissions());
#ifndef Q_OS_WIN
    QFile::remove(folder + u"file09.txt"_s);
    mkfifo(QFile::encodeName(folder + u"file09.txt"_s).constData(), 0600);
#endif
}

QStringList TestReadAhead::search(Platform::ReadAheadMode mode, bool threaded, TEventDelivery delivery,
                                  const std::function<void(const QString &, bool)> &afterListing)
{
    const ReadAheadScope scope(mode, afterListing);
    TFindFile finder;
    finder.Criteria()->Files()->setLocation(m_root);
    // file*.txt matches both masks: reported twice, read once.
    finder.Criteria()->Files()->setFileName(u"*.*;file*.txt"_s);
    finder.Criteria()->Content()->setPhrase(u"KESTREL"_s);
    finder.setThreaded(threaded);
    finder.setDelivery(delivery);
    QStringList matches;
    finder.setOnFileMatch([&](QObject *, const QString &folder, const TSearchRec &entry) {
        matches << folder.mid(m_root.size()) + u'|' + entry.Name();
    });
    finder.StartSearch();
    if (threaded)
        if (!QTest::qWaitFor([&finder] { return !finder.Searching(); }, 60000))
            qWarning("the threaded search did not end");
    return matches;
}

void TestReadAhead::sameMatchesInTheSameOrder_data()
{
    QTest::addColumn<bool>("threaded");
    QTest::addColumn<int>("delivery");
    QTest::newRow("in-line") << false << int(edHandOff);
    QTest::newRow("threaded, handed over") << true << int(edHandOff);
    QTest::newRow("threaded, batched") << true << int(edBatched);
}

void TestReadAhead::sameMatchesInTheSameOrder()
{
    QFETCH(bool, threaded);
    QFETCH(int, delivery);
    // Each run changes a tree of its own.
    QTemporaryDir work(TestSupport::fastTempTemplate());
    const QString pristine = m_root;
    const auto changer = [this](const QString &folder, bool byReadAhead) {
        change(folder);
        // The walk lags a little behind its read-ahead, so that the readers answer for most files
        // (on a small tree in memory the walk would otherwise read most of them itself).
        if (!byReadAhead)
            QThread::msleep(20);
    };

    m_root = work.path() + u"/reference/"_s;
    QVERIFY(makeTree(m_root));
    m_changed.clear();
    const QStringList reference = search(Platform::ReadAheadMode::Never, threaded, TEventDelivery(delivery), changer);
    QCOMPARE(Platform::readAheadStats().sessions, 0);

    m_root = work.path() + u"/ahead/"_s;
    QVERIFY(makeTree(m_root));
    m_changed.clear();
    const QStringList ahead = search(Platform::ReadAheadMode::Always, threaded, TEventDelivery(delivery), changer);
    const Platform::ReadAheadStats stats = Platform::readAheadStats();
    m_root = pristine;

    QCOMPARE(ahead, reference);
    QCOMPARE(stats.sessions, 1);
    QVERIFY(stats.filesRead > 0); // the readers answered, not only the walk
    // And the reference is what the tree holds: in b1 and b3 only file06 is left (when the
    // unreadable file can be read all the same, by an administrator); .txt files twice
    const bool unreadableIsRead = ::geteuid() == 0;
    QStringList expected;
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 4; ++b) {
            const QString folder = u"a%1/b%2/"_s.arg(a).arg(b);
            const bool changed = b % 2 == 1;
            QStringList txt, all;
            for (int f = 0; f < 12; f += 3) {
                const QString name = u"file%1"_s.arg(f, 2, 10, QChar(u'0')) + (f % 2 ? u".txt"_s : u".dat"_s);
                if (changed && !(f == 6 && unreadableIsRead))
                    continue;
                all << folder + u'|' + name;
                if (f % 2)
                    txt << folder + u'|' + name;
            }
            expected << txt << all;
        }
    }
    // (in the order the file system lists them, which is its own)
    QStringList sorted = reference;
    sorted.sort();
    expected.sort();
    QCOMPARE(sorted, expected);
}

void TestReadAhead::stopEndsIt()
{
    const QDir descriptors(u"/proc/self/fd"_s);
    if (!descriptors.exists())
        QSKIP("needs /proc/self/fd to see the open files");
    const qsizetype openBefore = descriptors.entryList(QDir::Files | QDir::System).size();
    const ReadAheadScope scope(Platform::ReadAheadMode::Always);
    TFindFile finder;
    finder.Criteria()->Files()->setLocation(m_root);
    finder.Criteria()->Files()->setFileName(u"*.*"_s);
    finder.Criteria()->Content()->setPhrase(u"kestrel"_s);
    int matches = 0;
    int afterStop = 0;
    finder.setOnFileMatch([&](QObject *, const QString &, const TSearchRec &) {
        if (finder.StopRequested())
            ++afterStop;
        if (++matches == 3)
            finder.StopSearch();
    });
    int finished = 0;
    finder.setOnSearchFinish([&](QObject *) { ++finished; });
    finder.StartSearch();
    QCOMPARE(matches, 3);
    QCOMPARE(afterStop, 0);
    QCOMPARE(finished, 1);
    QVERIFY(!finder.Searching());
    // Its threads have ended with the search and hold nothing open.
    QCOMPARE(descriptors.entryList(QDir::Files | QDir::System).size(), openBefore);
}

void TestReadAhead::staysInsideItsShareOfOpenFiles()
{
    // 120 files the process may open: the read-ahead may hold 30 of them, the walk the rest.
    const QStringList reference = search(Platform::ReadAheadMode::Never, false, edHandOff);
    QStringList ahead;
    Platform::ReadAheadStats stats;
    int budget = 0;
    {
        const TestSupport::OpenFileLimit openFiles{120};
        QVERIFY(openFiles.isValid());
        budget = Platform::readAheadFileBudget();
        // The walk lags behind, so that the readers have files to read (see above).
        ahead = search(Platform::ReadAheadMode::Always, false, edHandOff, [](const QString &, bool byReadAhead) {
            if (!byReadAhead)
                QThread::msleep(20);
        });
        stats = Platform::readAheadStats();
    }
    QCOMPARE(budget, 30);
    QCOMPARE(ahead, reference);
    QCOMPARE(stats.sessions, 1);
    QVERIFY(stats.filesRead > 0);
    QVERIFY2(stats.peakOpen <= budget, qPrintable(u"held %1 open"_s.arg(stats.peakOpen)));
}

void TestReadAhead::countIsTheSame()
{
    qint32 reference = 0;
    {
        const ReadAheadScope scope(Platform::ReadAheadMode::Never);
        reference = CountFiles(m_root, -1);
    }
    const ReadAheadScope scope(Platform::ReadAheadMode::Always);
    QCOMPARE(CountFiles(m_root, -1), reference);
    QCOMPARE(reference, 3 * 4 * 12);
    QCOMPARE(Platform::readAheadStats().sessions, 1);
    QCOMPARE(CountFiles(m_root, 20), FileCountCap);
}

void TestReadAhead::aWalkInMemoryReadsNothingAhead()
{
    // The tree was just written: every folder and file is in memory, so a search or a count in
    // the usual mode must not start the read-ahead's threads (a warm search would only pay for them).
    CountFiles(m_root, -1);
    {
        const ReadAheadScope scope(Platform::ReadAheadMode::Auto);
        QCOMPARE(CountFiles(m_root, -1), 3 * 4 * 12);
        QCOMPARE(Platform::readAheadStats().sessions, 0);
    }
    // (search() sets the mode and clears the figures itself.)
    QVERIFY(!search(Platform::ReadAheadMode::Auto, false, edHandOff).isEmpty());
    QCOMPARE(Platform::readAheadStats().sessions, 0);
}

QTEST_GUILESS_MAIN(TestReadAhead)
#include "tst_readahead.moc"
