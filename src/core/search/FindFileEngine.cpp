// SPDX-License-Identifier: GPL-3.0-or-later
// The search component TFindFile, its worker TSearchThread and the entry record.
#include "FindFile.h"

#include "SearchWalk.h"

#include <QFile>
#include <QMetaMethod>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

// --- TSearchRec ------------------------------------------------------------------------------

TSearchRec::TSearchRec(const QString &name, quint32 attributes, quint64 size, Platform::FileTime creationTime,
                       Platform::FileTime lastAccessTime, Platform::FileTime lastWriteTime)
    : m_nameBytes(name.toUtf8())
    , m_name(name)
    , m_nameKnown(true)
    , m_listingAttr(attributes)
    , m_infoKnown(true)
{
#ifndef Q_OS_WIN
    m_nameBytes = QFile::encodeName(name);
#endif
    m_info.attributes = attributes;
    m_info.size = size;
    m_info.creationTime = creationTime;
    m_info.lastAccessTime = lastAccessTime;
    m_info.lastWriteTime = lastWriteTime;
}

QString TSearchRec::Name() const
{
    if (!m_nameKnown) {
        m_name = Platform::decodeEntryName(m_nameBytes);
        m_nameKnown = true;
    }
    return m_name;
}

TSearchRec TSearchRec::detached(const QString &folder) const
{
    TSearchRec copy(*this);
    // The walk hands out its name bytes as a view into its listing: the copy takes its own.
    copy.m_nameBytes = QByteArray(m_nameBytes.constData(), m_nameBytes.size());
    copy.m_folder = nullptr;
    copy.m_detachedFolder = folder;
    return copy;
}

void TSearchRec::fetch() const
{
    if (m_infoKnown)
        return;
    m_infoKnown = true;
    bool asked = false;
    if (m_folder) {
        asked = m_folder->infoOf(m_nameBytes, m_info);
    } else if (!m_detachedFolder.isEmpty()) {
        Platform::DirListing folder;
        asked = folder.open(m_detachedFolder) && folder.infoOf(m_nameBytes, m_info);
    }
    if (!asked) {
        // The entry is gone or cannot be asked: keep what the listing gave.
        m_info = Platform::EntryInfo();
        m_info.attributes = m_listingAttr;
    }
}

quint32 TSearchRec::Attr() const
{
    fetch();
    return m_info.attributes;
}

quint64 TSearchRec::Size() const
{
    fetch();
    return m_info.size;
}

Platform::FileTime TSearchRec::CreationTime() const
{
    fetch();
    return m_info.creationTime;
}

Platform::FileTime TSearchRec::LastAccessTime() const
{
    fetch();
    return m_info.lastAccessTime;
}

Platform::FileTime TSearchRec::LastWriteTime() const
{
    fetch();
    return m_info.lastWriteTime;
}

// --- The queue of a batched search ---------------------------------------------------------------

namespace SearchDetail {

// The events of a batched search: queued in order by the worker, taken by the GUI thread. The
// worker holds the lock only to append one event, so it never waits on the GUI thread's work.
class EventBatches
{
public:
    struct Event
    {
        QString folder;
        std::optional<TSearchRec> entry; // none: a folder event
    };

    // On the worker.
    void push(Event &&event)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queued.push_back(std::move(event));
    }

    // On the GUI thread: what has been queued so far goes behind the events not yet delivered.
    void take()
    {
        if (m_next == m_taken.size()) {
            m_taken.clear();
            m_next = 0;
        }
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_taken.empty()) {
            m_taken.swap(m_queued);
        } else {
            std::move(m_queued.begin(), m_queued.end(), std::back_inserter(m_taken));
            m_queued.clear();
        }
    }
    bool hasNext() const { return m_next < m_taken.size(); }
    Event &next() { return m_taken[m_next++]; }
    bool isEmpty()
    {
        if (hasNext())
            return false;
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_queued.empty();
    }
    void clear()
    {
        m_taken.clear();
        m_next = 0;
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queued.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<Event> m_queued; // guarded by m_mutex
    std::vector<Event> m_taken;  // the GUI thread's own
    size_t m_next = 0;
};

} // namespace SearchDetail

namespace {
// How often the GUI thread takes a batch, and how long one delivery may run before the GUI thread
// goes back to its other events (the rest follows at once).
constexpr int kBatchIntervalMs = 10;
constexpr auto kDeliverySlice = std::chrono::milliseconds(8);
} // namespace

// --- The two forms of the walk's events ------------------------------------------------------

// In-line: the handlers run on the caller's thread; a stop is StopRequested.
class InlineEvents : public SearchDetail::WalkEvents
{
public:
    explicit InlineEvents(TFindFile *finder)
        : m_finder(finder)
    {
    }
    bool stopPending() const override { return m_finder->m_stopRequested; }
    const std::atomic<bool> *stopFlag() const override { return &m_finder->m_stopFlag; }
    TFolderIgnore folderChange(const QString &folder) override { return m_finder->FireFolderChange(folder); }
    void fileMatch(const QString &folder, const TSearchRec &entry) override { m_finder->FireFileMatch(folder, entry); }

private:
    TFindFile *m_finder;
};

// Threaded: every event is handed to the GUI thread; a stop is the worker's own terminate flag.
class WorkerEvents : public SearchDetail::WalkEvents
{
public:
    explicit WorkerEvents(TSearchThread *thread)
        : m_thread(thread)
    {
    }
    bool stopPending() const override { return m_thread->isInterruptionRequested(); }
    const std::atomic<bool> *stopFlag() const override { return &m_thread->Finder->m_stopFlag; }
    TFolderIgnore folderChange(const QString &folder) override
    {
        if (!m_thread->m_batches)
            return m_thread->handOffFolderChange(folder);
        if (stopPending())
            return fiThisAndSubfolders;
        m_thread->m_batches->push({ownFolder(folder), std::nullopt});
        return fiNone;
    }
    void fileMatch(const QString &folder, const TSearchRec &entry) override
    {
        if (!m_thread->m_batches)
            m_thread->handOffFileMatch(folder, entry);
        else if (!stopPending())
            m_thread->m_batches->push({ownFolder(folder), entry.detached(ownFolder(folder))});
    }

private:
    // The walk's folder text is a buffer it changes as it goes: a queued event holds a copy of its
    // own, one per folder, shared by the folder's events.
    const QString &ownFolder(const QString &folder)
    {
        if (m_folder != folder)
            m_folder = QString(folder.constData(), folder.size());
        return m_folder;
    }

    TSearchThread *m_thread;
    QString m_folder;
};

// --- TFindFile -------------------------------------------------------------------------------

TFindFile::TFindFile(QObject *owner)
    : QObject(owner)
    , m_criteria(std::make_unique<TSearchCriteria>())
    , m_deliveryTimer(new QTimer(this))
{
    m_deliveryTimer->setTimerType(Qt::PreciseTimer);
    connect(m_deliveryTimer, &QTimer::timeout, this, &TFindFile::DeliverBatches);
}

TFindFile::~TFindFile()
{
    m_destroying = true;
    if (!m_worker)
        return;
    // A stop request, then the worker's end awaited right here. The hand-off stops taking calls
    // first, so a worker waiting for one (or about to) goes on at once without its handler having
    // run, sees the stop and ends: no event of the application is handled inside this destructor,
    // and no handler runs after it. (A handler that destroys its own component, in either mode,
    // is not supported.)
    StopSearch();
    m_worker->closeHandOff();
    m_worker->waitForEnd();
    m_worker.reset();
}

void TFindFile::StartSearch()
{
    if (m_searching)
        return;
    m_searching = true;
    m_stopRequested = false;
    m_stopFlag.store(false);
    m_report = Platform::WalkReport();
    try {
        m_targets = std::make_unique<TTargetSearch>(*m_criteria);
        m_targets->TextCacheFile = m_textCacheFile;
        FireSearchBegin();
    } catch (...) {
        End();
        throw;
    }
    if (m_threaded) {
        m_workerEnded = false;
        if (m_delivery == edBatched) {
            m_batches = std::make_unique<SearchDetail::EventBatches>();
            m_deliveryTimer->start(kBatchIntervalMs);
        }
        m_worker = std::make_unique<TSearchThread>(this);
        return;
    }
    try {
        SearchTargets();
    } catch (...) {
        // Skipping End here would leave the component searching; the search ends cleanly
        // (the finish event, Targets freed, Searching cleared) and let the error reach the caller.
        End();
        throw;
    }
    End();
}

void TFindFile::SearchTargets()
{
    InlineEvents events(this);
    SearchDetail::SearchWalk walk(*m_targets, events, m_depth, m_report);
    walk.run();
}

void TFindFile::End()
{
    struct Cleanup
    {
        TFindFile *finder;
        ~Cleanup()
        {
            finder->m_targets.reset();
            finder->m_deliveryTimer->stop();
            finder->m_batches.reset();
            finder->m_searching = false;
        }
    } cleanup{this};
    FireSearchFinish();
}

void TFindFile::ThreadTerminated()
{
    if (!m_worker)
        return;
    // The run method has returned; the thread is about to end, if it has not yet.
    m_worker->waitForEnd();
    m_report = m_worker->m_report;
    m_worker.reset();
    if (m_batches) {
        // The last batches come before the end; a delivery under way ends the search itself.
        m_workerEnded = true;
        if (!m_delivering)
            DeliverBatches();
        return;
    }
    End();
}

void TFindFile::DeliverBatches()
{
    // A handler that runs an event loop of its own must not see the events behind its own.
    if (!m_batches || m_delivering)
        return;
    m_delivering = true;
    const auto sliceEnd = std::chrono::steady_clock::now() + kDeliverySlice;
    m_batches->take();
    bool failed = false;
    while (m_batches->hasNext() && !m_stopRequested) {
        SearchDetail::EventBatches::Event &event = m_batches->next();
        try {
            if (event.entry)
                FireFileMatch(event.folder, *event.entry);
            else
                FireFolderChange(event.folder);
        } catch (...) {
            // As in the hand-off: an error raised by a handler ends the search; it is not reported.
            failed = true;
            break;
        }
        if (std::chrono::steady_clock::now() > sliceEnd)
            break;
    }
    m_delivering = false;
    if (failed) {
        if (m_worker)
            m_worker->requestInterruption();
        DropBatches();
    } else if (m_stopRequested) {
        DropBatches();
    }
    if (m_workerEnded && m_batches->isEmpty()) {
        m_workerEnded = false;
        End();
        return;
    }
    // What is left of a long batch follows as soon as the GUI thread has handled its other events.
    m_deliveryTimer->start(m_batches->hasNext() ? 0 : kBatchIntervalMs);
}

void TFindFile::DropBatches()
{
    if (m_batches)
        m_batches->clear();
}

void TFindFile::StopSearch()
{
    if (!m_searching)
        return;
    m_stopRequested = true;
    m_stopFlag.store(true);
    // Raised before the abort event (not after it), so that an abort handler that
    // fails cannot leave the worker running; no handler can tell the difference.
    if (m_worker)
        m_worker->requestInterruption();
    // Nothing queued is delivered after a stop. (A delivery under way drops the rest itself once
    // the handler that asked has returned: the event it was handed lives in the queue.) A batched
    // search whose worker has already ended ends at the next delivery.
    if (!m_delivering)
        DropBatches();
    FireSearchAbort();
}

const QThread *TFindFile::Worker() const
{
    return m_worker.get();
}

bool TFindFile::AcceptFile(const QString &folder, const TSearchRec &entry) const
{
    return m_targets && m_targets->AcceptFile(folder, entry);
}

void TFindFile::FireSearchBegin()
{
    if (m_onSearchBegin)
        m_onSearchBegin(this);
}

void TFindFile::FireSearchFinish()
{
    if (m_onSearchFinish && !m_destroying)
        m_onSearchFinish(this);
}

void TFindFile::FireSearchAbort()
{
    if (m_onSearchAbort && !m_destroying)
        m_onSearchAbort(this);
}

TFolderIgnore TFindFile::FireFolderChange(const QString &folder)
{
    TFolderIgnore answer = m_stopRequested ? fiThisAndSubfolders : fiNone;
    if (!m_stopRequested && m_onFolderChange)
        m_onFolderChange(this, folder, answer);
    return answer;
}

void TFindFile::FireFileMatch(const QString &folder, const TSearchRec &entry)
{
    if (m_onFileMatch && !m_stopRequested)
        m_onFileMatch(this, folder, entry);
}

// --- The hand-off to the GUI thread ------------------------------------------------------------

namespace SearchDetail {

// Runs a call of the worker on the GUI thread and waits until it has run. A plain blocking queued
// call costs two thread wake-ups per event, tens of microseconds on a virtual machine, and a walk
// makes one per folder: more than the whole walk of a tree of small folders. So the GUI thread,
// having run a call, watches for the next one for a moment before it goes back to its event loop,
// and the worker watches for the result for a moment before it sleeps. The GUI thread returns to its
// event loop at least every few milliseconds, so the window stays responsive during a search.
class GuiHandOff
{
public:
    // drain: a slot of context (an object of the GUI thread) that calls drain(). The worker posts
    // a call of it rather than a call of a function object of its own: nothing of the worker's
    // memory travels inside the event, so all it hands over is ordered by the atomics below, which
    // a race checker sees (the event queue's lock, inside the library, it may not).
    GuiHandOff(QObject *context, QMetaMethod drain)
        : m_context(context), m_drain(drain), m_spin(std::thread::hardware_concurrency() > 1)
    {
    }

    // On the worker. Returns when work has run on the GUI thread, or at once, without running it,
    // once the hand-off is closed.
    void call(const std::function<void()> &work)
    {
        const unsigned ticket = m_done.load(std::memory_order_acquire);
        m_pending.store(&work, std::memory_order_seq_cst);
        // Either this sees the hand-off closed, or close() sees the call pending (both are
        // sequentially consistent); whoever takes the call back owns its completion.
        if (m_closed.load(std::memory_order_seq_cst)) {
            if (m_pending.exchange(nullptr, std::memory_order_acq_rel) == &work)
                return;
        } else if (!m_listening.load(std::memory_order_seq_cst)) {
            m_drain.invoke(m_context, Qt::QueuedConnection);
        }
        if (m_spin) {
            const auto until = Clock::now() + WorkerWatch;
            while (m_done.load(std::memory_order_acquire) == ticket && Clock::now() < until)
                relax();
        }
        while (m_done.load(std::memory_order_acquire) == ticket)
            m_done.wait(ticket, std::memory_order_acquire);
    }

    // On the GUI thread: no call runs from now on; a worker waiting for one goes on at once.
    void close()
    {
        m_closed.store(true, std::memory_order_seq_cst);
        if (m_pending.exchange(nullptr, std::memory_order_acq_rel))
            complete();
    }

    // On the GUI thread.
    void drain()
    {
        const auto sliceEnd = Clock::now() + GuiSlice;
        do {
            m_listening.store(true, std::memory_order_seq_cst);
            auto lastCall = Clock::now();
            for (;;) {
                if (runPending()) {
                    lastCall = Clock::now();
                    if (lastCall > sliceEnd)
                        break;
                    continue;
                }
                if (!m_spin || Clock::now() - lastCall > GuiWatch)
                    break;
                relax();
            }
            m_listening.store(false, std::memory_order_seq_cst);
            // A call may have come in while we stopped listening; it posted no wake-up then.
        } while (m_pending.load(std::memory_order_seq_cst) && Clock::now() <= sliceEnd);
        if (m_pending.load(std::memory_order_seq_cst))
            m_drain.invoke(m_context, Qt::QueuedConnection);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto GuiWatch = std::chrono::microseconds(200);
    static constexpr auto WorkerWatch = std::chrono::microseconds(50);
    static constexpr auto GuiSlice = std::chrono::milliseconds(8);

    static void relax()
    {
#if defined(__SSE2__) || defined(_M_X64)
        _mm_pause();
#else
        std::this_thread::yield();
#endif
    }

    void complete()
    {
        m_done.fetch_add(1, std::memory_order_release);
        m_done.notify_all();
    }

    bool runPending()
    {
        if (m_closed.load(std::memory_order_seq_cst))
            return false;
        const std::function<void()> *work = m_pending.exchange(nullptr, std::memory_order_acq_rel);
        if (!work)
            return false;
        struct Done
        {
            GuiHandOff *handOff;
            ~Done() { handOff->complete(); }
        } signal{this};
        (*work)();
        return true;
    }

    QObject *m_context;
    QMetaMethod m_drain;
    const bool m_spin;
    std::atomic<const std::function<void()> *> m_pending{nullptr};
    std::atomic<bool> m_listening{false};
    std::atomic<bool> m_closed{false};
    std::atomic<unsigned> m_done{0};
};

// The GUI thread's end of the hand-off: the worker posts calls of its slot. An object of its own
// rather than a slot of the worker's thread object: that one then has no meta-object of ours,
// which the library would read as the thread ends, after the run method, where a race checker
// cannot see it ordered before the object is freed.
class HandOffDrain : public QObject
{
    Q_OBJECT

public:
    GuiHandOff *handOff = nullptr;

public Q_SLOTS:
    void drain() { handOff->drain(); }
};

} // namespace SearchDetail

// --- TSearchThread ---------------------------------------------------------------------------

namespace {
QThread::Priority toQtPriority(TThreadPriority p)
{
    switch (p) {
    case tpIdle: return QThread::IdlePriority;
    case tpLowest: return QThread::LowestPriority;
    case tpLower: return QThread::LowPriority;
    case tpNormal: return QThread::NormalPriority;
    case tpHigher: return QThread::HighPriority;
    case tpHighest: return QThread::HighestPriority;
    case tpTimeCritical: return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}
} // namespace

TSearchThread::TSearchThread(TFindFile *finder)
    : m_drain(std::make_unique<SearchDetail::HandOffDrain>()),
      m_handOff(std::make_unique<SearchDetail::GuiHandOff>(
          m_drain.get(), SearchDetail::HandOffDrain::staticMetaObject.method(
                             SearchDetail::HandOffDrain::staticMetaObject.indexOfSlot("drain()")))),
      Finder(finder), m_batches(finder->m_batches.get())
{
    m_drain->handOff = m_handOff.get();
    // The end notification runs on the GUI thread, which then waits for the thread's very end and
    // frees it.
    connect(this, &QThread::finished, finder, &TFindFile::ThreadTerminated, Qt::QueuedConnection);
    start(toQtPriority(finder->m_threadPriority));
}

TSearchThread::~TSearchThread() = default;

void TSearchThread::closeHandOff()
{
    m_handOff->close();
}

void TSearchThread::waitForEnd()
{
    wait();
    // Pairs with the release at the end of run(): the walk's last reads of Targets and its report
    // come before whatever the GUI thread does next, by our own ordering, not only by the thread
    // library's wait. Set by then; the wait returns at once (it sleeps, never spins, if not).
    m_ended.wait(false, std::memory_order_acquire);
}

void TSearchThread::run()
{
    try {
        WorkerEvents events(this);
        SearchDetail::SearchWalk walk(*Finder->m_targets, events, Finder->m_depth, m_report);
        walk.run();
    } catch (...) {
        // An error raised by a handler ends the run method; it is not reported.
    }
    m_ended.store(true, std::memory_order_release);
    m_ended.notify_all();
}

TFolderIgnore TSearchThread::handOffFolderChange(const QString &folder)
{
    CurrentFolder = &folder;
    FolderAction = fiThisAndSubfolders; // the answer when the hand-off is closed: nothing more here
    std::exception_ptr error;
    m_handOff->call([this, &error] {
        try {
            FolderAction = Finder->FireFolderChange(*CurrentFolder);
        } catch (...) {
            error = std::current_exception();
        }
    });
    CurrentFolder = nullptr;
    if (error)
        std::rethrow_exception(error);
    return FolderAction;
}

void TSearchThread::handOffFileMatch(const QString &folder, const TSearchRec &entry)
{
    CurrentFolder = &folder;
    CurrentEntry = &entry;
    std::exception_ptr error;
    m_handOff->call([this, &error] {
        try {
            Finder->FireFileMatch(*CurrentFolder, *CurrentEntry);
        } catch (...) {
            error = std::current_exception();
        }
    });
    CurrentFolder = nullptr;
    CurrentEntry = nullptr;
    if (error)
        std::rethrow_exception(error);
}

#include "FindFileEngine.moc"
