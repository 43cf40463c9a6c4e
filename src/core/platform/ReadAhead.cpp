// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReadAhead.h"

#include <algorithm>
#include <cstring>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace Platform {

namespace {
std::atomic<qint64> g_sessions{0};
std::atomic<int> g_peakOpen{0};
std::atomic<qint64> g_filesRead{0};

constexpr int kWarmers = 8;
// A folder that takes longer than this (and a little more per entry) to list, while the walk slept,
// came from the disk. A folder in memory lists in a few microseconds; one read from a fast disk
// takes longer than this, and a walk that waits for such reads folder after folder is what the
// read-ahead is for.
constexpr qint64 kSlowListingNs = 50000;
constexpr qint64 kSlowListingPerEntryNs = 200;
} // namespace

ReadAheadSettings &readAheadSettings()
{
    static ReadAheadSettings settings;
    return settings;
}

void resetReadAheadStats()
{
    g_sessions.store(0);
    g_peakOpen.store(0);
    g_filesRead.store(0);
}

ReadAheadStats readAheadStats()
{
    ReadAheadStats stats;
    stats.sessions = g_sessions.load();
    stats.peakOpen = g_peakOpen.load();
    stats.filesRead = g_filesRead.load();
    return stats;
}

int readAheadFileBudget()
{
#if defined(Q_OS_LINUX)
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur == RLIM_INFINITY)
        return 64;
    const int budget = int(std::min<rlim_t>(64, limit.rlim_cur / 4));
    return budget >= 8 ? budget : 0; // too few to be worth the threads
#else
    return 0;
#endif
}

// --- ColdDetector ---------------------------------------------------------------------------

ColdDetector::ColdDetector()
{
    const ReadAheadMode mode = readAheadSettings().mode;
    m_enabled = mode != ReadAheadMode::Never && readAheadFileBudget() > 0;
}

bool ColdDetector::fire()
{
    if (!m_enabled || m_started)
        return false;
    m_started = true;
    return true;
}

namespace {
// The times the calling thread has gone to sleep of its own accord (to wait for the disk, among
// others), as opposed to being put aside for another thread.
long voluntarySleeps()
{
#if defined(Q_OS_LINUX) && defined(RUSAGE_THREAD)
    struct rusage usage;
    if (getrusage(RUSAGE_THREAD, &usage) == 0)
        return usage.ru_nvcsw;
#endif
    return 0;
}
} // namespace

void ColdDetector::beginListing()
{
    if (m_enabled && !m_started)
        m_sleepsBefore = voluntarySleeps();
}

bool ColdDetector::folderListed(qint64 nanoseconds, qsizetype entries)
{
    if (!m_enabled || m_started)
        return false;
    if (readAheadSettings().mode == ReadAheadMode::Always)
        return fire();
    if (nanoseconds > kSlowListingNs + kSlowListingPerEntryNs * entries && voluntarySleeps() > m_sleepsBefore)
        return fire();
    return false;
}

bool ColdDetector::wantsFileCheck()
{
    return m_enabled && !m_started && (m_files++ % 8) == 0;
}

bool ColdDetector::fileNotInMemory()
{
    return fire();
}

// --- ReadAheadBudget --------------------------------------------------------------------------

ReadAheadBudget::ReadAheadBudget(int folders, int files) : m_folders(std::max(1, folders)), m_files(files)
{
    g_sessions.fetch_add(1);
}

void ReadAheadBudget::notePeak(int open)
{
    int peak = g_peakOpen.load();
    while (open > peak && !g_peakOpen.compare_exchange_weak(peak, open)) {
    }
}

bool ReadAheadBudget::acquire(const std::atomic<bool> &stop)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_freed.wait(lock, [&] { return stop.load() || m_folders > 0; });
    if (stop.load())
        return false;
    --m_folders;
    notePeak(++m_open);
    return true;
}

bool ReadAheadBudget::tryAcquire()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_folders == 0)
        return false;
    --m_folders;
    notePeak(++m_open);
    return true;
}

void ReadAheadBudget::release()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_folders;
        --m_open;
    }
    m_freed.notify_one();
}

void ReadAheadBudget::fileOpened()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    notePeak(++m_open);
}

void ReadAheadBudget::countFileRead()
{
    g_filesRead.fetch_add(1, std::memory_order_relaxed);
}

void ReadAheadBudget::fileClosed()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    --m_open;
}

void ReadAheadBudget::wake()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
    }
    m_freed.notify_all();
}

SharedFolder::~SharedFolder()
{
    listing.close();
    m_budget.release(); // the token was taken before the folder was made
}

// --- FolderScout ------------------------------------------------------------------------------

FolderScout::FolderScout(std::vector<Target> targets, ReadAheadBudget &budget, int folderLead, int depthCap,
                         FolderHook hook)
    : m_targets(std::move(targets)), m_budget(budget), m_folderLead(folderLead), m_depthCap(std::max(1, depthCap)),
      m_hook(std::move(hook))
{
}

FolderScout::~FolderScout()
{
    stop();
}

void FolderScout::start(qint64 walkedSoFar)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_walked.store(walkedSoFar, std::memory_order_relaxed);
    }
    m_scout = std::thread([this] { scout(); });
    for (int i = 0; i < kWarmers; ++i)
        m_warmers.emplace_back([this] { warmer(); });
}

void FolderScout::walkEnteredFolder()
{
    bool wakeScout = false;
    bool wakeWarmer = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const qint64 walked = m_walked.fetch_add(1, std::memory_order_relaxed) + 1;
        wakeScout = m_scoutWaiting && m_scouted - walked <= m_folderLead;
        // One more folder walked lets one more warmer go.
        wakeWarmer = m_warmersWaiting > 0 && warmersMayGo();
    }
    if (wakeScout)
        m_scoutWake.notify_one();
    if (wakeWarmer)
        m_warmWake.notify_one();
}

bool FolderScout::warmersMayGo() const
{
    return !m_warm.empty() && m_warmed - m_walked.load(std::memory_order_relaxed) < 2 * qint64(m_folderLead);
}

void FolderScout::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop.store(true);
    }
    m_scoutWake.notify_all();
    m_warmWake.notify_all();
    m_budget.wake();
    if (m_scout.joinable())
        m_scout.join();
    for (std::thread &t : m_warmers)
        t.join();
    m_warmers.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_warm.clear();
}

bool FolderScout::waitForTheWalk()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_scouted;
    m_scoutWaiting = true;
    m_scoutWake.wait(
        lock, [this] { return m_stop.load() || m_scouted - m_walked.load(std::memory_order_relaxed) <= m_folderLead; });
    m_scoutWaiting = false;
    return !m_stop.load();
}

void FolderScout::scout()
{
    const QChar separator = nativeSeparator();
    std::vector<Frame> frames;
    QString path;
    for (size_t t = 0; t < m_targets.size() && !stopping(); ++t) {
        const Target &target = m_targets[t];
        if (target.path.isEmpty() || !m_budget.acquire(m_stop))
            continue;
        auto top = std::make_shared<SharedFolder>(m_budget);
        if (!top->listing.open(target.path))
            continue;
        path = target.path;
        enter(frames, std::move(top), int(t), 1, path);
        while (!frames.empty() && !stopping()) {
            Frame &here = frames.back();
            if (here.next == here.subfolders.size()) {
                frames.pop_back();
                if (!frames.empty())
                    path.truncate(frames.back().pathLength);
                continue;
            }
            const char *name = here.names.constData() + here.subfolders[here.next++];
            const QByteArrayView nameView(name, qsizetype(strlen(name)));
            if (int(frames.size()) >= m_depthCap)
                continue; // the walk goes there on its own
            if (!m_budget.acquire(m_stop))
                break;
            auto child = std::make_shared<SharedFolder>(m_budget);
            if (!child->listing.openAt(here.folder->listing, nameView))
                continue;
            const FolderId id = child->listing.folderId();
            const bool loop = std::any_of(frames.begin(), frames.end(),
                                          [&id](const Frame &f) { return f.folder->listing.folderId() == id; });
            if (loop)
                continue; // the walk never enters a folder already on its path
            const int level = here.level + 1;
            path.truncate(here.pathLength);
            path += decodeEntryName(nameView);
            path += separator;
            enter(frames, std::move(child), int(t), level, path);
        }
        frames.clear();
    }
}

bool FolderScout::enter(std::vector<Frame> &frames, std::shared_ptr<SharedFolder> folder, int target, int level,
                        QString &path)
{
    if (!waitForTheWalk())
        return false;
    bool behind;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        behind = m_scouted <= m_walked.load(std::memory_order_relaxed);
    }
    const Target &rules = m_targets[size_t(target)];
    std::vector<Entry> entries;
    QByteArray names;
    DirListing &listing = folder->listing;
    while (listing.next()) {
        const QByteArrayView name = listing.nameBytes();
        Entry e;
        e.nameOffset = quint32(names.size());
        e.nameLength = quint32(name.size());
        names.append(name.data(), name.size());
        names.append('\0');
        e.isDirectory = listing.isDirectory();
        e.isRegular = listing.isRegularFile();
        e.isLink = listing.isLink();
        entries.push_back(e);
    }
    Frame frame;
    frame.level = level;
    frame.pathLength = path.size();
    frame.names = names;
    if (goesDown(rules, level)) {
        for (const Entry &e : entries) {
            if (!e.isDirectory)
                continue;
            if (rules.exactNamesOnly && !isExactName(QByteArrayView(names.constData() + e.nameOffset, e.nameLength)))
                continue;
            frame.subfolders.push_back(e.nameOffset);
        }
    }
    FolderRef shared = std::move(folder);
    frame.folder = shared;
    // The warmers go down from the target's subfolders on their own.
    if (level == 1)
        queueWarm(path, WalkPlace{quint32(target)}, names, frame.subfolders, target, level + 1);
    if (!behind) {
        if (const auto &afterListing = readAheadSettings().afterListing)
            afterListing(path, true);
        if (m_hook)
            m_hook(ListedFolder{shared, path, target, level, entries, names});
    }
    frames.push_back(std::move(frame));
    return true;
}

void FolderScout::queueWarm(const QString &parent, const WalkPlace &parentPlace, const QByteArray &names,
                            const std::vector<quint32> &subfolders, int target, int level)
{
    if (subfolders.empty())
        return;
    const QChar separator = nativeSeparator();
    WalkPlace place = parentPlace;
    place.push_back(0);
    int wake = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t k = 0; k < subfolders.size(); ++k) {
            place.back() = quint32(k);
            m_warm.emplace(place,
                           Warm{parent + decodeEntryName(names.constData() + subfolders[k]) + separator, target, level});
        }
        if (warmersMayGo())
            wake = int(std::min<size_t>(size_t(m_warmersWaiting), subfolders.size()));
    }
    for (int i = 0; i < wake; ++i)
        m_warmWake.notify_one();
}

void FolderScout::warmer()
{
    QByteArray names;
    std::vector<quint32> subfolders;
    for (;;) {
        Warm job;
        WalkPlace place;
        {
            // No further ahead of the walk than twice the scout's lead.
            std::unique_lock<std::mutex> lock(m_mutex);
            ++m_warmersWaiting;
            m_warmWake.wait(lock, [this] { return m_stop.load() || warmersMayGo(); });
            --m_warmersWaiting;
            if (m_stop.load())
                return;
            auto first = m_warm.begin();
            place = first->first;
            job = std::move(first->second);
            m_warm.erase(first);
            ++m_warmed;
        }
        if (!m_budget.tryAcquire())
            continue;
        // Listed to its end: the walk and the scout find it in memory when they come. Its
        // subfolders are listed before the folders after it: the warmers go down the tree in the
        // walk's order, several folders at once.
        auto folder = std::make_shared<SharedFolder>(m_budget);
        if (!folder->listing.open(job.path))
            continue;
        const Target &rules = m_targets[size_t(job.target)];
        const bool goFurther = goesDown(rules, job.level);
        names.clear();
        subfolders.clear();
        DirListing &listing = folder->listing;
        while (!stopping() && listing.next()) {
            if (!goFurther || !listing.isDirectory())
                continue;
            if (rules.exactNamesOnly && !listing.nameIsExact())
                continue;
            const QByteArrayView name = listing.nameBytes();
            subfolders.push_back(quint32(names.size()));
            names.append(name.data(), name.size());
            names.append('\0');
        }
        folder.reset();
        queueWarm(job.path, place, names, subfolders, job.target, job.level + 1);
    }
}

} // namespace Platform
