// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirListing.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reading ahead of a folder walk while the files are not in memory yet.
//
// A walk reads one folder and one file at a time; on a disk that is not in the page cache each of
// those reads waits for the disk, which could serve many requests at once. A FolderScout walks the
// same folders in the same order a little ahead of the walk, on a thread of its own, and lists
// them; ahead of it a few warmer threads list the folders below, several at once, in the walk's
// order. The walk then finds its folders in memory. What the scout lists is handed to a hook, which
// may start reading the files the walk will want (the content search does).
//
// The walk itself is unchanged: it reports what it lists, in its own order; the scout only makes
// the walk's reads cheaper, and whatever it gets wrong (a folder changed meanwhile, a handler that
// skips a subtree) costs a read in vain, never a result.
//
// Everything the read-ahead of one walk holds open counts against ReadAheadBudget: at most
// min(64, a quarter of the process's open-file limit) files and folders.
//
// Linux only; elsewhere nothing is read ahead (the walk goes as it always did).
namespace Platform {

// The most files and folders the read-ahead of one walk may hold open at once: a quarter of the
// process's open-file limit, at most 64. 0 when the limit is too low to read ahead at all.
int readAheadFileBudget();

// When read-ahead runs. Auto: once a walk finds the disk slow (a folder or a file that is not in
// memory); Always and Never are for tests and measurements.
enum class ReadAheadMode
{
    Auto,
    Always,
    Never
};

struct ReadAheadSettings
{
    ReadAheadMode mode = ReadAheadMode::Auto;
    // Called once a folder has been listed, by whoever lists it first (the walk or its scout), and
    // before any file in it is read: lets tests change the folder between the listing and the read.
    // May run on any thread. The folder is spelt as the walk's folder events spell it; ahead: it
    // was listed by the read-ahead, not by the walk.
    std::function<void(const QString &folder, bool ahead)> afterListing;
};
// Process-wide; set it while no walk runs.
ReadAheadSettings &readAheadSettings();

// Of the read-ahead sessions so far, for tests: how many ran, and the most files and folders one
// of them held open at once.
struct ReadAheadStats
{
    qint64 sessions = 0;
    int peakOpen = 0;
    qint64 filesRead = 0; // by the readers of a content search
};
ReadAheadStats readAheadStats();
void resetReadAheadStats();

// Whether a walk should start reading ahead: it asks on every folder it lists and every file it
// reads, and gets true once (in Auto mode when one of them had to wait for the disk).
class ColdDetector
{
public:
    ColdDetector();
    // Around the listing of each folder. True the first time the walk should start its read-ahead:
    // the listing was slow and the walk slept meanwhile (waited for the disk, rather than for a
    // core, which a busy machine makes a walk in memory wait for too).
    void beginListing();
    bool folderListed(qint64 nanoseconds, qsizetype entries);
    bool fileNotInMemory();
    // Whether a file's first bytes should be checked for being in memory (one file in eight).
    bool wantsFileCheck();
    bool started() const { return m_started; }

private:
    bool fire();
    bool m_enabled = false;
    bool m_started = false;
    unsigned m_files = 0;
    long m_sleepsBefore = 0;
};

// Files and folders open for the read-ahead of one walk. Folders take a token (waiting for one
// when none is free); the files the readers have open are counted against their own share.
class ReadAheadBudget
{
public:
    ReadAheadBudget(int folders, int files);
    // Takes a token for a folder; waits while none is free, false when stop is raised meanwhile.
    bool acquire(const std::atomic<bool> &stop);
    bool tryAcquire();
    void release();
    void fileOpened();
    void fileClosed();
    static void countFileRead();
    void wake();

private:
    void notePeak(int open);

    std::mutex m_mutex;
    std::condition_variable m_freed;
    int m_folders;
    int m_files;
    int m_open = 0;
};

// A folder opened by the read-ahead, shared by those who read in it; closed (and its token given
// back) when the last of them lets go.
class SharedFolder
{
public:
    SharedFolder(ReadAheadBudget &budget) : m_budget(budget) {}
    ~SharedFolder();
    SharedFolder(const SharedFolder &) = delete;
    SharedFolder &operator=(const SharedFolder &) = delete;

    DirListing listing; // open; read to its end by the time it is shared

private:
    ReadAheadBudget &m_budget;
};
using FolderRef = std::shared_ptr<const SharedFolder>;

class FolderScout
{
public:
    // One folder the walk starts at, with its rules for going down.
    struct Target
    {
        QString path; // as the walk spells it, ending with a separator
        bool subfolders = true;
        int maxLevel = 0;            // a folder of level L (the target is 1) is gone into when 0 or > L
        bool exactNamesOnly = false; // a folder whose name has no exact spelling is not entered
    };
    // One entry of a folder the scout has listed.
    struct Entry
    {
        quint32 nameOffset = 0;
        quint32 nameLength = 0;
        bool isDirectory = false;
        bool isRegular = false; // by the listing's own type
        bool isLink = false;
    };
    struct ListedFolder
    {
        const FolderRef &folder;
        const QString &path; // as the walk spells it
        int target;          // index into the targets
        int level;           // the target folder is 1
        const std::vector<Entry> &entries;
        const QByteArray &names; // NUL-terminated names, one after another
    };
    // Runs on the scout's thread for each folder listed ahead of the walk. May block (the scout
    // waits meanwhile); should return soon once stopping() is true.
    using FolderHook = std::function<void(const ListedFolder &)>;

    // folderLead: how many folders the scout may be ahead of the walk; depthCap: how deep it goes
    // (each level holds a folder open), deeper folders the walk lists on its own.
    FolderScout(std::vector<Target> targets, ReadAheadBudget &budget, int folderLead, int depthCap,
                FolderHook hook = {});
    ~FolderScout();
    FolderScout(const FolderScout &) = delete;
    FolderScout &operator=(const FolderScout &) = delete;

    // Starts the threads. walkedSoFar: the folders the walk has entered already; the scout passes
    // over as many before it reads ahead.
    void start(qint64 walkedSoFar);
    // The walk has entered one more folder.
    void walkEnteredFolder();
    // Ends the read-ahead at once and waits for its threads; nothing stays open.
    void stop();
    bool stopping() const { return m_stop.load(std::memory_order_relaxed); }
    const std::atomic<bool> &stopFlag() const { return m_stop; }

private:
    // A folder to list ahead, by its path: a folder waiting in the queue holds nothing open.
    struct Warm
    {
        QString path;
        int target = 0;
        int level = 0; // of the folder to list
    };
    // Where a folder comes in the walk: the target's index, then the folder's place among its
    // parent's subfolders at each level. Compared element by element, a parent comes before its
    // subfolders and those before its next sibling: the walk's own order.
    using WalkPlace = std::vector<quint32>;
    struct Frame
    {
        FolderRef folder;
        std::vector<quint32> subfolders; // offsets into names
        QByteArray names;
        size_t next = 0;
        qsizetype pathLength = 0;
        int level = 1;
    };

    void scout();
    void warmer();
    // Queues the subfolders of the folder at parentPlace to be listed.
    void queueWarm(const QString &parent, const WalkPlace &parentPlace, const QByteArray &names,
                   const std::vector<quint32> &subfolders, int target, int level);
    bool goesDown(const Target &rules, int level) const
    {
        return rules.subfolders && (rules.maxLevel == 0 || rules.maxLevel > level);
    }
    bool enter(std::vector<Frame> &frames, std::shared_ptr<SharedFolder> folder, int target, int level, QString &path);
    // Counts one more folder scouted and waits until it is no more than the lead ahead of the walk.
    bool waitForTheWalk();
    bool warmersMayGo() const; // under m_mutex

    std::vector<Target> m_targets;
    ReadAheadBudget &m_budget;
    const int m_folderLead;
    const int m_depthCap;
    FolderHook m_hook;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_walked{0}; // written under m_mutex
    qint64 m_scouted = 0; // guarded by m_mutex
    qint64 m_warmed = 0; // guarded by m_mutex
    std::mutex m_mutex;
    // Each side is woken only when what it waits for may have come: a wake-up for every folder
    // the walk enters, to every thread, would cost more than the reads it saves.
    std::condition_variable m_scoutWake;
    std::condition_variable m_warmWake;
    bool m_scoutWaiting = false; // guarded by m_mutex
    int m_warmersWaiting = 0;    // guarded by m_mutex
    // The folders to list, by their place in the walk: the warmers always take the one the walk
    // comes to first. Guarded by m_mutex.
    std::map<WalkPlace, Warm> m_warm;
    std::thread m_scout;
    std::vector<std::thread> m_warmers;
};

} // namespace Platform
