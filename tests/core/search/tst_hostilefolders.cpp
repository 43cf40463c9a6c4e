// SPDX-License-Identifier: GPL-3.0-or-later
// Save folders as the downloads of a real user leave them: named pipes, sockets, device nodes,
// unreadable files and folders, strange names, paths longer than a path may be, huge folders, link
// loops, files that change while they are looked at, trees deeper than the open files allow. Each
// folder goes through the file counter and through the search (by name and by contents; in-line,
// threaded with hand-off and threaded in batches): nothing may hang or crash, every readable
// matching file is found under a path that exists, and the count is what the counter's rules give.
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/accounts/FileCount.h"
#include "core/platform/DirListing.h"
#include "core/search/FindFile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

enum class Hostile
{
    Pipes,
    Sockets,
    DeviceNodes,
    Unreadable,
    StrangeNames,
    LongPaths,
    ManyFiles,
    LinkLoops,
    ChangingFiles,
    DeepTree,
};
Q_DECLARE_METATYPE(Hostile)

namespace {

constexpr auto kPhrase = "Kestrel";
constexpr auto kHit = "a Kestrel in the file";
// Generous: a row that takes this long hangs. Sanitizer builds are many times slower.
constexpr int kHangSeconds = 180;

// What a row's folder holds and what the counter and the search must make of it. Paths are
// relative to the folder.
struct Expected
{
    QStringList names;    // found by the name mask "*.txt"
    QStringList contents; // found by the phrase, whatever the name
    // Changed while the search runs: each may be found or not, and need not exist afterwards.
    QStringList changing;
    qint64 count = 0;
    qint64 countMax = -1; // the count may be as high as this when files change meanwhile
    qint64 unreadable = 0;
    qint64 skippedNames = 0;
    unsigned openFileLimit = 0; // 0: as it is
    bool honourPermissions = false;
    // The folder changes itself during each pass: it is made anew for the next one.
    bool rebuild = false;
    // Called on every match; may change the folder (the walk of an in-line or hand-off search
    // waits for it).
    std::function<void(const QString &path)> onMatch;
    // Runs on a thread of its own while a pass runs, until stop is set.
    std::function<void(const std::atomic<bool> &stop)> meanwhile;
    QString skip;
};

// Aborts the process with the row's name when the row takes longer than any row may: a hang
// fails the run rather than blocking it.
class Watchdog
{
public:
    explicit Watchdog(const QByteArray &row)
        : m_thread([this, row] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::seconds(kHangSeconds), [this] { return m_finished; }))
                  qFatal("Row \"%s\" hangs: it did not end within %d s", row.constData(), kHangSeconds);
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

#ifndef Q_OS_WIN

// Makes entries by raw system calls under a root given as bytes (names are any bytes).
class Maker
{
public:
    explicit Maker(const QByteArray &root) : m_root(root) {}

    QByteArray path(const QByteArray &rel) const { return m_root + '/' + rel; }
    bool folder(const QByteArray &rel, mode_t mode = 0755) { return ::mkdir(path(rel).constData(), mode) == 0; }
    bool file(const QByteArray &rel, const QByteArray &contents = {}, mode_t mode = 0644)
    {
        const int fd = ::open(path(rel).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const bool ok = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
        return ::close(fd) == 0 && ok && ::chmod(path(rel).constData(), mode) == 0;
    }
    bool link(const QByteArray &rel, const QByteArray &target)
    {
        return ::symlink(target.constData(), path(rel).constData()) == 0;
    }
    bool fifo(const QByteArray &rel) { return ::mkfifo(path(rel).constData(), 0644) == 0; }
    bool node(const QByteArray &rel, mode_t type, unsigned major, unsigned minor)
    {
        return ::mknod(path(rel).constData(), type | 0644, makedev(major, minor)) == 0;
    }
    // A listening socket; the file stays when the socket is closed.
    bool socket(const QByteArray &rel)
    {
        const QByteArray where = path(rel);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(where.size()) >= sizeof(address.sun_path))
            return false;
        memcpy(address.sun_path, where.constData(), size_t(where.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
                        ::listen(fd, 1) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    // count empty files named prefix + a number in one folder, one system call each.
    bool manyFiles(const QByteArray &rel, const char *prefix, int count)
    {
        const int fd = ::open(path(rel).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        bool ok = true;
        char name[64];
        for (int i = 0; i < count && ok; ++i) {
            snprintf(name, sizeof name, "%s%06d", prefix, i);
            ok = mknodat(fd, name, S_IFREG | 0644, 0) == 0;
        }
        ::close(fd);
        return ok;
    }
    // Folders of the given names, each in the one before, each holding a file called file: made
    // relative to the one above, so that the paths may be of any length. Gives the files' paths.
    bool nested(const QList<QByteArray> &names, const char *file, const QByteArray &contents, QStringList &files)
    {
        int fd = ::open(m_root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QByteArray rel;
        bool ok = fd >= 0;
        for (const QByteArray &name : names) {
            int child = -1;
            ok = ok && mkdirat(fd, name.constData(), 0755) == 0 &&
                 (child = openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0;
            if (!ok)
                break;
            ::close(fd);
            fd = child;
            rel += name + '/';
            const int f = openat(fd, file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            ok = f >= 0 && ::write(f, contents.constData(), size_t(contents.size())) == contents.size();
            if (f >= 0)
                ::close(f);
            files << QFile::decodeName(rel + file);
        }
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    // A chain of levels folders named "d"; every step-th one holds "f.txt", which holds the phrase
    // in every hitStep-th one. Gives the paths of the files and those with the phrase.
    bool chain(int levels, int step, int hitStep, QStringList &files, QStringList &hits)
    {
        int fd = ::open(m_root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QString rel;
        bool ok = fd >= 0;
        for (int level = 1; level <= levels && ok; ++level) {
            int child = -1;
            ok = mkdirat(fd, "d", 0755) == 0 && (child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0;
            if (!ok)
                break;
            ::close(fd);
            fd = child;
            rel += "d/"_L1;
            if (level % step != 0)
                continue;
            const bool hit = level % hitStep == 0;
            const int file = openat(fd, "f.txt", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            ok = file >= 0 && (!hit || ::write(file, kHit, strlen(kHit)) == qint64(strlen(kHit)));
            if (file >= 0)
                ::close(file);
            files << rel + "f.txt"_L1;
            if (hit)
                hits << rel + "f.txt"_L1;
        }
        if (fd >= 0)
            ::close(fd);
        return ok;
    }

private:
    QByteArray m_root;
};

// Builds the row's folder at root (made, empty) and says what to expect of it.
bool build(Hostile kind, const QString &root, Expected &x)
{
    Maker m(QFile::encodeName(root));
    const QByteArray hit(kHit);
    switch (kind) {
    case Hostile::Pipes: {
        // Opening a pipe for reading waits for a writer; reading one with a writer never ends.
        bool ok = m.file("hit.txt", hit) && m.fifo("pipe.txt") && m.link("link-to-pipe.txt", "pipe.txt") &&
                  m.folder("sub") && m.fifo("sub/pipe") && m.file("sub/hit2.txt", "KESTREL") && m.fifo("busy.txt");
        // A pipe with the phrase waiting in it, held open at both ends for as long as the process runs
        // (the test's own pipe: its ends are the process's, so reading would not wait).
        static int held = -1;
        if (held >= 0)
            ::close(held);
        if (ok) {
            held = ::open(m.path("busy.txt").constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            ok = held >= 0 && ::write(held, hit.constData(), size_t(hit.size())) == hit.size();
        }
        x.names = {u"hit.txt"_s, u"pipe.txt"_s, u"link-to-pipe.txt"_s, u"busy.txt"_s, u"sub/hit2.txt"_s};
        x.contents = {u"hit.txt"_s, u"sub/hit2.txt"_s};
        x.count = 6;
        return ok;
    }
    case Hostile::Sockets:
        x.names = {u"hit.txt"_s, u"sock.txt"_s, u"link-to-sock.txt"_s};
        x.contents = {u"hit.txt"_s};
        x.count = 4;
        return m.file("hit.txt", hit) && m.socket("sock.txt") && m.link("link-to-sock.txt", "sock.txt") &&
               m.folder("sub") && m.socket("sub/sock");
    case Hostile::DeviceNodes:
        if (geteuid() != 0) {
            x.skip = u"device nodes are made by root only"_s;
            return true;
        }
        // Endless zeros and random bytes, nothing, and a disk that is not there.
        x.names = {u"hit.txt"_s, u"zero.txt"_s, u"random.txt"_s, u"null.txt"_s, u"disk.txt"_s};
        x.contents = {u"hit.txt"_s};
        x.count = 5;
        return m.file("hit.txt", hit) && m.node("zero.txt", S_IFCHR, 1, 5) && m.node("random.txt", S_IFCHR, 1, 8) &&
               m.node("null.txt", S_IFCHR, 1, 3) && m.node("disk.txt", S_IFBLK, 7, 250);
    case Hostile::Unreadable:
        // A closed folder, one that cannot be listed, one that can be listed but not entered.
        x.honourPermissions = true;
        x.names = {u"open.txt"_s, u"closed.txt"_s, u"write-only.txt"_s, u"no-entry/in.txt"_s};
        x.contents = {u"open.txt"_s};
        x.count = 4;
        x.unreadable = 3;
        return m.file("open.txt", hit) && m.file("closed.txt", hit, 0) && m.file("write-only.txt", hit, 0200) &&
               m.folder("shut") && m.file("shut/in.txt", hit) && ::chmod(m.path("shut").constData(), 0) == 0 &&
               m.folder("no-list") && m.file("no-list/in.txt", hit) &&
               ::chmod(m.path("no-list").constData(), 0311) == 0 && m.folder("no-entry") &&
               m.file("no-entry/in.txt", hit) && m.folder("no-entry/deeper") && m.file("no-entry/deeper/in.txt", hit) &&
               ::chmod(m.path("no-entry").constData(), 0644) == 0;
    case Hostile::StrangeNames: {
        const QByteArray longName = QByteArray(251, 'n') + ".txt"; // the longest a name may be
        x.names = {u"line\nbreak.txt"_s, u"\t tab and blank .txt"_s, u"back\\slash.txt"_s,
                   u"star*.txt"_s,       u"question?.txt"_s,         u"[brackets].txt"_s,
                   u"-dash.txt"_s,       u".hidden.txt"_s,           QString::fromLatin1(longName),
                   u"Ünïcode.txt"_s,     u"new\nfolder/in.txt"_s,    u"carriage\r.txt"_s,
                   u"%1 %2.txt"_s};
        x.contents = {u"line\nbreak.txt"_s, u"trailing.txt\n"_s, u"\t tab and blank .txt"_s, u"star*.txt"_s,
                      u".hidden.txt"_s,     u"Ünïcode.txt"_s,    u"new\nfolder/in.txt"_s,    u"%1 %2.txt"_s};
        // Names that are no UTF-8 are counted, and left out of the search (no path leads to them).
        x.count = 16;
        x.skippedNames = 2;
        return m.file("line\nbreak.txt", hit) && m.file("trailing.txt\n", hit) &&
               m.file("\t tab and blank .txt", hit) && m.file("back\\slash.txt") && m.file("star*.txt", hit) &&
               m.file("question?.txt") && m.file("[brackets].txt") && m.file("-dash.txt") &&
               m.file(".hidden.txt", hit) && m.file(longName) &&
               m.file("\xc3\x9cn\xc3\xaf"
                      "code.txt",
                      hit) &&
               m.file("bad\xff.txt", hit) && m.folder("bad\xfe") && m.file("bad\xfe/inside.txt", hit) &&
               m.folder("new\nfolder") && m.file("new\nfolder/in.txt", hit) && m.file("carriage\r.txt") &&
               m.file("%1 %2.txt", hit);
    }
    case Hostile::LongPaths: {
        // 20 folders of 250 bytes: the deepest paths are 5,000 bytes and more.
        QList<QByteArray> names;
        for (int level = 0; level < 20; ++level)
            names << QByteArray(249, char('a' + level)) + QByteArray::number(level % 10);
        x.count = 20;
        return m.nested(names, "f.txt", hit, x.names) && (x.contents = x.names, true);
    }
    case Hostile::ManyFiles:
        // 100,000 files in one folder, 50 of them found.
        for (int i = 0; i < 50; ++i) {
            const QByteArray name = "hit" + QByteArray::number(i) + ".txt";
            if (!m.file(name, hit))
                return false;
            x.names << QString::fromLatin1(name);
        }
        x.contents = x.names;
        x.count = 100050;
        return m.manyFiles({}, "n", 100000);
    case Hostile::LinkLoops:
        // Links to the folder itself, to its parent, to the top, to each other, to nowhere, to an
        // endless device; and one to a sibling, which is no loop.
        x.names = {u"loop-a.txt"_s,    u"loop-b.txt"_s, u"self-loop.txt"_s, u"dangling.txt"_s,       u"zero-link.txt"_s,
                   u"file-link.txt"_s, u"real/a.txt"_s, u"other/b.txt"_s,   u"other/to-real/a.txt"_s};
        x.contents = {u"file-link.txt"_s, u"real/a.txt"_s, u"other/b.txt"_s, u"other/to-real/a.txt"_s};
        x.count = 9;
        return m.folder("real") && m.file("real/a.txt", hit) && m.link("real/self", ".") && m.link("real/up", "..") &&
               m.link("real/top", m.path({})) && m.folder("other") && m.file("other/b.txt", hit) &&
               m.link("other/to-real", "../real") && m.link("loop-a.txt", "loop-b.txt") &&
               m.link("loop-b.txt", "loop-a.txt") && m.link("self-loop.txt", "self-loop.txt") &&
               m.link("dangling.txt", "nowhere/at/all") && m.link("zero-link.txt", "/dev/zero") &&
               m.link("file-link.txt", "real/a.txt");
    case Hostile::ChangingFiles: {
        // On the first match in "busy", the files of "busy" not looked at yet are replaced: some
        // by links to an endless device (what was listed as a file is one no more), the others
        // deleted. All the while "grow.txt" grows and the files of "flux" come and go.
        x.rebuild = true;
        x.names = {u"steady.txt"_s, u"grow.txt"_s};
        x.contents = {u"steady.txt"_s};
        x.count = 22;
        x.countMax = 42;
        bool ok = m.file("steady.txt", hit) && m.file("grow.txt") && m.folder("busy") && m.folder("flux");
        for (int i = 0; i < 20 && ok; ++i) {
            const QByteArray busy = "busy/v" + QByteArray::number(i) + ".txt";
            const QByteArray flux = "flux/v" + QByteArray::number(i) + ".txt";
            ok = m.file(busy, hit) && m.file(flux, hit);
            x.changing << QString::fromLatin1(busy) << QString::fromLatin1(flux);
        }
        const QString busy = root + "/busy/"_L1;
        x.onMatch = [busy, done = std::make_shared<bool>(false)](const QString &path) {
            if (*done || !path.startsWith(busy))
                return;
            *done = true;
            for (int i = 0; i < 20; ++i) {
                const QByteArray name = QFile::encodeName(busy + u"v%1.txt"_s.arg(i));
                if (name == QFile::encodeName(path))
                    continue;
                ::unlink(name.constData());
                if (i % 2 == 0)
                    (void)!::symlink("/dev/zero", name.constData());
            }
        };
        const QByteArray grow = m.path("grow.txt");
        const QByteArray flux = m.path("flux/");
        x.meanwhile = [grow, flux](const std::atomic<bool> &stop) {
            const int fd = ::open(grow.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
            const QByteArray chunk(64 * 1024, 'x');
            qint64 written = 0;
            int round = 0;
            while (!stop.load() && fd >= 0 && written < 64 * 1024 * 1024) {
                if (::write(fd, chunk.constData(), size_t(chunk.size())) > 0)
                    written += chunk.size();
                const QByteArray name = flux + "v" + QByteArray::number(round++ % 20) + ".txt";
                if (::unlink(name.constData()) != 0)
                    ::close(::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            }
            if (fd >= 0)
                ::close(fd);
        };
        return ok;
    }
    case Hostile::DeepTree: {
        // 20,000 levels, and at most 1024 files open: far more folders than the process may open.
        x.openFileLimit = 1024;
        x.count = 2000;
        return m.chain(20000, 10, 1000, x.names, x.contents);
    }
    }
    return false;
}

#endif

enum class Mode
{
    InLine,
    HandOff,
    Batched
};

QStringList relative(const QStringList &paths, const QString &root)
{
    QStringList result;
    for (const QString &path : paths)
        result << (path.startsWith(root) ? path.mid(root.size()) : u"<outside> "_s + path);
    return result;
}

// Subtracts the changing paths.
QStringList steady(QStringList paths, const QStringList &changing)
{
    for (const QString &path : changing)
        paths.removeAll(path);
    return paths;
}

QString describe(const QStringList &list)
{
    QStringList shown;
    for (const QString &path : list.mid(0, 10))
        shown << QString(path).replace(u'\n', u"\\n"_s).replace(u'\r', u"\\r"_s).replace(u'\t', u"\\t"_s);
    if (list.size() > 10)
        shown << u"... (%1 in all)"_s.arg(list.size());
    return shown.join(u", "_s);
}

} // namespace

class TestHostileFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countAndSearch_data();
    void countAndSearch();
};

void TestHostileFolders::countAndSearch_data()
{
    QTest::addColumn<Hostile>("kind");
    QTest::newRow("named pipes") << Hostile::Pipes;
    QTest::newRow("sockets") << Hostile::Sockets;
    QTest::newRow("device nodes") << Hostile::DeviceNodes;
    QTest::newRow("unreadable files and folders") << Hostile::Unreadable;
    QTest::newRow("newlines and no UTF-8 in names") << Hostile::StrangeNames;
    QTest::newRow("paths longer than a path may be") << Hostile::LongPaths;
    QTest::newRow("100,000 files in one folder") << Hostile::ManyFiles;
    QTest::newRow("link loops") << Hostile::LinkLoops;
    QTest::newRow("files growing and deleted during the search") << Hostile::ChangingFiles;
    QTest::newRow("20,000 levels under 1024 open files") << Hostile::DeepTree;
}

void TestHostileFolders::countAndSearch()
{
#ifdef Q_OS_WIN
    QSKIP("the folders are made with POSIX calls");
#else
    QFETCH(Hostile, kind);
    const Watchdog watchdog(QTest::currentDataTag());
    QTemporaryDir dir(TestSupport::fastTempTemplate());
    QVERIFY(dir.isValid());
    const QString root = QDir::cleanPath(dir.path()) + u"/save"_s;
    struct Cleanup
    {
        QString path;
        ~Cleanup() { TestSupport::removeTree(path); }
    } cleanup{root};
    const auto make = [&](Expected &x) {
        TestSupport::removeTree(root);
        return QDir().mkdir(root) && build(kind, root, x);
    };
    Expected x;
    QVERIFY(make(x));
    if (!x.skip.isEmpty())
        QSKIP(qPrintable(x.skip));
    if (x.honourPermissions && !TestSupport::HonourPermissions().isValid() && geteuid() == 0)
        QSKIP("the privilege to bypass file permissions cannot be given up here");
    const QString prefix = root + u'/';

    // Runs one pass, with the folder's activity going on meanwhile and the row's limits in force.
    const auto pass = [&](const std::function<void()> &body) {
        std::atomic<bool> stop{false};
        std::thread activity;
        if (x.meanwhile)
            activity = std::thread([&] { x.meanwhile(stop); });
        {
            std::unique_ptr<TestSupport::OpenFileLimit> limit;
            if (x.openFileLimit)
                limit = std::make_unique<TestSupport::OpenFileLimit>(x.openFileLimit);
            body();
        }
        stop.store(true);
        if (activity.joinable())
            activity.join();
    };
    // In-line work runs on a small stack, without the privilege where the row asks for that.
    const auto onThread = [&](const std::function<void()> &work) {
        TestSupport::runOnThread(work, 512 * 1024, x.honourPermissions);
    };

    // The counter: what its rules count, and as much as the limit allows.
    qint64 count = -1;
    qint32 capped = -1;
    Platform::WalkReport countReport;
    pass([&] {
        onThread([&] {
            count = CountFilesReporting(root, -1, countReport);
            capped = CountFiles(root, FileCountLimit);
        });
    });
    if (x.countMax < 0) {
        QCOMPARE(count, x.count);
        QCOMPARE(capped, x.count > FileCountLimit ? FileCountCap : qint32(x.count));
        QCOMPARE(countReport.unreadableFolders, x.unreadable);
    } else {
        QVERIFY2(count >= x.count && count <= x.countMax, qPrintable(QString::number(count)));
    }

    for (const Mode mode : {Mode::InLine, Mode::HandOff, Mode::Batched}) {
        for (const bool byContents : {false, true}) {
            const QString what = QLatin1StringView(mode == Mode::InLine    ? "in-line"
                                                   : mode == Mode::HandOff ? "hand-off"
                                                                           : "batched") +
                                 QLatin1StringView(byContents ? ", by contents" : ", by name");
            if (x.rebuild) {
                Expected fresh;
                QVERIFY2(make(fresh), qPrintable(what));
                x.onMatch = fresh.onMatch;
                x.meanwhile = fresh.meanwhile;
            }
            QStringList found;
            int begun = 0;
            int finished = 0;
            bool searching = true;
            Platform::WalkReport report;
            const auto search = [&](TFindFile &finder) {
                finder.Criteria()->Files()->setLocation(root);
                finder.Criteria()->Files()->setFileName(byContents ? u"*"_s : u"*.txt"_s);
                if (byContents)
                    finder.Criteria()->Content()->setPhrase(QString::fromLatin1(kPhrase));
                finder.setThreaded(mode != Mode::InLine);
                finder.setDelivery(mode == Mode::Batched ? edBatched : edHandOff);
                finder.setOnSearchBegin([&](QObject *) { ++begun; });
                // Threaded, the event loop runs until the search ends (or hangs).
                QEventLoop loop;
                finder.setOnSearchFinish([&](QObject *) {
                    ++finished;
                    loop.quit();
                });
                finder.setOnFileMatch([&](QObject *, const QString &folder, const TSearchRec &entry) {
                    found << folder + entry.Name();
                    if (x.onMatch)
                        x.onMatch(found.last());
                });
                std::optional<TestSupport::HonourPermissions> honour;
                if (x.honourPermissions && mode != Mode::InLine)
                    honour.emplace(); // the worker, started now, inherits it
                finder.StartSearch();
                honour.reset();
                if (finder.Searching() && mode != Mode::InLine) {
                    QTimer::singleShot(std::chrono::seconds(kHangSeconds), &loop, &QEventLoop::quit);
                    loop.exec();
                }
                searching = finder.Searching();
                report = finder.Report();
            };
            pass([&] {
                if (mode == Mode::InLine) {
                    onThread([&] {
                        TFindFile finder;
                        search(finder);
                    });
                } else {
                    TFindFile finder;
                    search(finder);
                }
            });
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(!searching, qPrintable(what));
            QCOMPARE(begun, 1);
            QCOMPARE(finished, 1);

            // Found once each, every one expected, and every one there.
            const QStringList expected = byContents ? x.contents : x.names;
            const QStringList rel = relative(found, prefix);
            const QSet<QString> seen(rel.cbegin(), rel.cend());
            QVERIFY2(seen.size() == rel.size(), qPrintable(what + u": found twice: "_s + describe(rel)));
            QStringList missed;
            for (const QString &path : steady(expected, x.changing))
                if (!seen.contains(path))
                    missed << path;
            QVERIFY2(missed.isEmpty(), qPrintable(what + u": not found: "_s + describe(missed)));
            QStringList extra;
            for (const QString &path : rel)
                if (!expected.contains(path) && !x.changing.contains(path))
                    extra << path;
            QVERIFY2(extra.isEmpty(), qPrintable(what + u": found but not expected: "_s + describe(extra)));
            QStringList there;
            for (const QString &path : steady(rel, x.changing))
                there << prefix + path;
            const QStringList gone = TestSupport::missingPaths(there);
            QVERIFY2(gone.isEmpty(), qPrintable(what + u": found where nothing is: "_s + describe(gone)));
            if (x.countMax < 0) {
                QCOMPARE(report.unreadableFolders, x.unreadable);
                QCOMPARE(report.skippedNames, x.skippedNames);
            }
        }
    }
#endif
}

QTEST_GUILESS_MAIN(TestHostileFolders)
#include "tst_hostilefolders.moc"
