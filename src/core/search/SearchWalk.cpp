// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchWalk.h"

#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace SearchDetail {

namespace {
// A pack entry's date as a file time (ticks of 100 ns since 1601); 0 when the pack stores none.
Platform::FileTime entryTime(const PackEntry &entry)
{
    return entry.modified.isValid() ? Platform::fileTimeFromMSecs(entry.modified.toMSecsSinceEpoch()) : 0;
}
} // namespace

// The read-ahead of one search: a FolderScout that lists the coming folders, and for a content
// search the readers that test the coming files. The scout predicts the files the walk will test
// (those its masks list, of a type that can be read); the readers test them in that order, as
// many at once as there are readers; the walk takes each answer when it gets to the file. The
// answers are keyed by folder identity and name, so a folder changed meanwhile or a prediction
// the walk does not follow only costs a read in vain: the walk tests what it finds no answer for.
class ReadAheadSession
{
public:
    enum Answer { Unknown, Found, NotFound };

    ReadAheadSession(const TTargetSearch &targets, const PhraseSearcher *phrase, bool needContent)
    {
        const int budget = Platform::readAheadFileBudget();
        const int readers = needContent ? std::clamp(budget / 4, 1, 16) : 0;
        const int folders = budget - readers;
        m_budget = std::make_unique<Platform::ReadAheadBudget>(folders, readers);
        std::vector<Platform::FolderScout::Target> scoutTargets;
        const TTargetFolderList &list = targets.Folders;
        for (int i = list.Count() - 1; i >= 0; --i) {
            const TTargetFolder &folder = *list.Folders(i);
            Platform::FolderScout::Target t;
            t.path = folder.Path;
            t.subfolders = folder.Subfolders;
            t.maxLevel = folder.MaxLevel;
            t.exactNamesOnly = true;
            scoutTargets.push_back(t);
            std::vector<NameMask> masks;
            for (const QString &mask : folder.Masks)
                masks.emplace_back(mask);
            m_masks.push_back(std::move(masks));
            m_minLevels.push_back(folder.MinLevel);
        }
        Platform::FolderScout::FolderHook hook;
        if (needContent && phrase) {
            m_phrase = phrase->phrase();
            m_fold = targets.Content.IgnoreCase();
            hook = [this](const Platform::FolderScout::ListedFolder &folder) { predict(folder); };
        }
        // The scout holds a folder open per level it is down: a third of the folders at most.
        m_scout = std::make_unique<Platform::FolderScout>(std::move(scoutTargets), *m_budget, kFolderLead,
                                                          std::max(1, folders / 3), std::move(hook));
        m_readerCount = readers;
    }

    ~ReadAheadSession()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop.store(true);
        }
        m_work.notify_all();
        m_room.notify_all();
        m_done.notify_all();
        m_scout->stop();
        for (std::thread &t : m_readers)
            t.join();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_todo.clear();
        m_order.clear();
        m_byKey.clear();
    }

    void start(qint64 walkedSoFar)
    {
        for (int i = 0; i < m_readerCount; ++i)
            m_readers.emplace_back([this] { read(); });
        m_scout->start(walkedSoFar);
    }

    void walkEnteredFolder() { m_scout->walkEnteredFolder(); }

    // The answer of the content test of name in the folder id, when it was read ahead. Jobs the
    // walk has passed without asking are dropped. Waits for a reader under way; a job not begun yet
    // is left to the walk. Unknown when the walk is to test the file itself.
    template<typename StopPending>
    Answer take(const Platform::FolderId &id, QByteArrayView name, StopPending stopPending)
    {
        if (!id.valid)
            return Unknown;
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto it = m_byKey.find(Key{id.device, id.inode, name.toByteArray()});
        if (it == m_byKey.end())
            return Unknown;
        const std::shared_ptr<Job> job = it->second;
        while (!m_order.empty()) {
            const std::shared_ptr<Job> front = std::move(m_order.front());
            m_order.pop_front();
            m_byKey.erase(front->key);
            if (front == job)
                break;
            if (front->state == Job::Queued)
                front->state = Job::Dropped;
        }
        m_room.notify_one();
        if (job->state == Job::Queued) {
            job->state = Job::Dropped;
            return Unknown;
        }
        while (job->state != Job::Done) {
            if (stopPending())
                return NotFound; // nothing more is reported
            m_done.wait_for(lock, std::chrono::milliseconds(5));
        }
        return job->answer;
    }

private:
    static constexpr int kFolderLead = 128;
    static constexpr size_t kWindow = 64; // files read ahead of the walk at most

    struct Key
    {
        quint64 device = 0;
        quint64 inode = 0;
        QByteArray name;
        friend bool operator==(const Key &a, const Key &b)
        {
            return a.device == b.device && a.inode == b.inode && a.name == b.name;
        }
    };
    struct KeyHash
    {
        size_t operator()(const Key &k) const noexcept
        {
            return size_t(qHash(k.name) ^ (k.inode * 0x9E3779B97F4A7C15ULL) ^ k.device);
        }
    };
    struct Job
    {
        enum State { Queued, Running, Done, Dropped };
        Key key;
        Platform::FolderRef folder;
        bool listedRegular = false;
        State state = Queued;
        Answer answer = Unknown;
    };

    // On the scout: the files of a folder just listed that the walk will test, in the walk's order
    // (masks from the last to the first, entries in listing order, each file once).
    void predict(const Platform::FolderScout::ListedFolder &folder)
    {
        const std::vector<NameMask> &masks = m_masks[size_t(folder.target)];
        if (masks.empty() || folder.level < m_minLevels[size_t(folder.target)])
            return;
        const Platform::FolderId id = folder.folder->listing.folderId();
        if (!id.valid)
            return;
        std::vector<char> picked(folder.entries.size(), 0);
        for (size_t m = masks.size(); m-- > 0;) {
            for (size_t i = 0; i < folder.entries.size(); ++i) {
                const Platform::FolderScout::Entry &e = folder.entries[i];
                if (picked[i] || e.isDirectory || !(e.isRegular || e.isLink))
                    continue;
                const QByteArrayView name(folder.names.constData() + e.nameOffset, e.nameLength);
                if (!masks[m].matches(name) || !Platform::isExactName(name))
                    continue;
                picked[i] = 1;
                if (!submit(id, folder.folder, name, e.isRegular))
                    return;
            }
        }
    }

    bool submit(const Platform::FolderId &id, const Platform::FolderRef &folder, QByteArrayView name, bool regular)
    {
        auto job = std::make_shared<Job>();
        job->key = Key{id.device, id.inode, name.toByteArray()};
        job->folder = folder;
        job->listedRegular = regular;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_room.wait(lock, [this] { return m_stop.load() || m_order.size() < kWindow; });
            if (m_stop.load())
                return false;
            if (!m_byKey.emplace(job->key, job).second)
                return true; // the same folder twice (named by two targets): the walk reads it again
            m_order.push_back(job);
            m_todo.push_back(job);
        }
        m_work.notify_one();
        return true;
    }

    void read()
    {
        PhraseSearcher searcher;
        searcher.setPhrase(m_phrase, m_fold, codePageLowerTable());
        searcher.setCancel(&m_stop);
        for (;;) {
            std::shared_ptr<Job> job;
            Platform::FolderRef folder;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_work.wait(lock, [this] { return m_stop.load() || !m_todo.empty(); });
                if (m_stop.load())
                    return;
                job = std::move(m_todo.front());
                m_todo.pop_front();
                folder = std::move(job->folder);
                if (job->state != Job::Queued)
                    continue; // passed by the walk, or taken by it
                job->state = Job::Running;
            }
            Answer answer = NotFound;
            {
                Platform::ReadOnlyFile file;
                m_budget->fileOpened();
                if (file.openChecked(folder->listing, job->key.name, job->listedRegular)) {
                    answer = searcher.contains(file) ? Found : NotFound;
                    Platform::ReadAheadBudget::countFileRead();
                } else if (Platform::isOutOfHandlesError(file.error()))
                    answer = Unknown; // the walk tries again itself
                file.close();
                m_budget->fileClosed();
            }
            folder.reset();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                job->answer = answer;
                job->state = Job::Done;
            }
            m_done.notify_all();
        }
    }

    std::unique_ptr<Platform::ReadAheadBudget> m_budget;
    std::unique_ptr<Platform::FolderScout> m_scout;
    std::vector<std::vector<NameMask>> m_masks; // per target, in the scout's order
    std::vector<int> m_minLevels;
    QByteArray m_phrase;
    bool m_fold = false;
    int m_readerCount = 0;
    std::vector<std::thread> m_readers;

    std::mutex m_mutex;
    std::condition_variable m_work; // a job to read, or the end
    std::condition_variable m_room; // the window has room, or the end
    std::condition_variable m_done; // a job is done
    std::atomic<bool> m_stop{false};
    std::deque<std::shared_ptr<Job>> m_order; // the jobs the walk has not passed, in its order
    std::deque<std::shared_ptr<Job>> m_todo;  // the jobs no reader has taken yet
    std::unordered_map<Key, std::shared_ptr<Job>, KeyHash> m_byKey;
};

SearchWalk::SearchWalk(const TTargetSearch &targets, WalkEvents &events, std::atomic<quint16> &depth,
                       Platform::WalkReport &report)
    : m_targets(targets), m_events(events), m_depth(depth), m_report(report),
      m_delimiter(PathStyle::native().delimiter())
{
    // The read-only bit needs a stat on POSIX; it can change the answer only when the stored set
    // lacks it or the match is exact. The other bits come with the listing.
    const TAttributeCriteria &attribute = m_targets.Attribute;
    m_needFullAttributes = attribute.ExactMatch() || !(attribute.AttributeBits() & Platform::AttrReadOnly);
    m_needSize = m_targets.Size.HasBounds();
    m_needTimes = m_targets.TimeStamp.HasBounds();
    m_needExclusion = !m_targets.Folders.ExcludedMasks.isEmpty();
    m_needContent = m_targets.Content.PhraseLength() > 0;
    m_searchPacks = m_targets.Content.SearchPacks();
    if (m_needContent)
        m_phrase.setPhrase(m_targets.Content.FoldedPhrase(), m_targets.Content.IgnoreCase(), codePageLowerTable());
}

SearchWalk::~SearchWalk() = default;

void SearchWalk::publishDepth(size_t level)
{
    // Depth is 16 bits wide; deeper levels read as the deepest it can tell.
    m_depth.store(quint16(std::min<size_t>(level, 0xFFFF)), std::memory_order_relaxed);
}

void SearchWalk::run()
{
    struct Reset
    {
        SearchWalk *walk;
        ~Reset()
        {
            walk->m_readAhead.reset(); // its threads end, its files are closed
            if (walk->m_cache && walk->m_events.stopPending())
                walk->m_cache->abandon(); // a stop does not wait for texts to be stored
            walk->m_cache.reset();
            walk->m_chain.clear();
            walk->publishDepth(0);
        }
    } reset{this};
    if (m_searchPacks && !m_targets.TextCacheFile.isEmpty()) {
        m_cache = std::make_unique<TextCache>(m_targets.TextCacheFile);
        if (!m_cache->isOpen())
            m_cache.reset(); // searched all the same, every pack and document read
    }
    const TTargetFolderList &folders = m_targets.Folders;
    for (int i = folders.Count() - 1; i >= 0 && !m_events.stopPending(); --i)
        walkTarget(*folders.Folders(i));
    if (m_cache && !m_events.stopPending()) {
        QStringList walked;
        for (int i = 0; i < folders.Count(); ++i)
            walked << folders.Folders(i)->Path;
        m_cache->prune(walked);
    }
}

void SearchWalk::walkTarget(const TTargetFolder &folder)
{
    m_masks.clear();
    m_masks.reserve(size_t(folder.Masks.size()));
    for (const QString &mask : folder.Masks)
        m_masks.emplace_back(mask);
    m_active = &folder;
    m_path = folder.Path;
    publishDepth(0);
    if (folder.Path.isEmpty() || !m_chain.start(folder.Path)) {
        if (!folder.Path.isEmpty() && !Platform::isMissingError(m_chain.error()))
            m_report.addUnreadable(folder.Path, m_chain.error());
        // Entered all the same: its folder event fires, and nothing in it can be listed.
        publishDepth(1);
        m_events.folderChange(m_path);
        publishDepth(0);
        return;
    }
    if (m_levels.empty())
        m_levels.emplace_back();
    m_levels.front().pathLength = m_path.size();
    enterFolder(0);

    // Depth first without recursion: the deepest level's next subfolder, or back up a level.
    while (m_chain.depth() > 0) {
        const size_t index = size_t(m_chain.depth() - 1);
        Level &here = m_levels[index];
        if (!here.doSubfolders || m_events.stopPending()) {
            leaveFolder();
            continue;
        }
        while (here.next < here.entries.size() && !here.entries[here.next].isDirectory)
            ++here.next;
        if (here.next == here.entries.size()) {
            leaveFolder();
            continue;
        }
        Entry &entry = here.entries[here.next++];
        if (!hasExactName(here, entry)) {
            countSkipped(entry);
            continue;
        }
        if (!m_chain.deepest()) {
            // This folder cannot be opened again (moved or closed meanwhile): none of its other
            // subfolders can be reached either.
            m_report.addUnreadable(m_path, m_chain.error());
            here.doSubfolders = false;
            continue;
        }
        const QByteArrayView name(here.names.constData() + entry.nameOffset, entry.nameLength);
        const Platform::FolderChain::EnterResult entered = m_chain.enter(name);
        if (entered == Platform::FolderChain::Loop)
            continue; // already on the current path: entering it would never end
        m_path.truncate(here.pathLength);
        m_path += Platform::decodeEntryName(name);
        m_path += m_delimiter;
        if (entered == Platform::FolderChain::Failed) {
            if (!Platform::isMissingError(m_chain.error()))
                m_report.addUnreadable(m_path, m_chain.error());
            publishDepth(index + 2);
            m_events.folderChange(m_path);
            publishDepth(index + 1);
            m_path.truncate(here.pathLength);
            continue;
        }
        if (m_levels.size() <= index + 1)
            m_levels.emplace_back();
        m_levels[index + 1].pathLength = m_path.size();
        enterFolder(index + 1);
    }
}

void SearchWalk::leaveFolder()
{
    const size_t index = size_t(m_chain.depth() - 1);
    bool parentNeeded = false;
    if (index > 0) {
        const Level &parent = m_levels[index - 1];
        parentNeeded = parent.doSubfolders && parent.next < parent.entries.size();
        m_path.truncate(parent.pathLength);
    }
    m_chain.leave(parentNeeded);
    publishDepth(index);
}

bool SearchWalk::hasExactName(const Level &lvl, Entry &entry)
{
    if (entry.exactName < 0) {
        const QByteArrayView name(lvl.names.constData() + entry.nameOffset, entry.nameLength);
        entry.exactName = Platform::isExactName(name) ? 1 : 0;
    }
    return entry.exactName != 0;
}

void SearchWalk::countSkipped(Entry &entry)
{
    if (!entry.skipCounted) {
        entry.skipCounted = true;
        ++m_report.skippedNames;
    }
}

void SearchWalk::readEntries(Level &lvl, Platform::DirListing &listing)
{
    while (listing.next()) {
        const QByteArrayView name = listing.nameBytes();
        Entry e;
        e.nameOffset = quint32(lvl.names.size());
        e.nameLength = quint32(name.size());
        lvl.names.append(name.data(), name.size());
        lvl.names.append('\0');
        e.isDirectory = listing.isDirectory();
        e.isLink = listing.isLink();
        e.isRegular = listing.isRegularFile();
        if (listing.infoReady() && listing.info(e.info)) {
            e.infoKnown = true;
            e.attributes = e.info.attributes;
        } else {
            quint32 attributes = 0;
            if (e.isDirectory)
                attributes |= Platform::AttrDirectory;
            if (listing.isHidden())
                attributes |= Platform::AttrHidden;
            if (e.isLink)
                attributes |= Platform::AttrReparsePoint;
            e.attributes = attributes ? attributes : quint32(Platform::AttrNormal);
        }
        lvl.entries.push_back(e);
    }
    if (listing.error() != 0)
        m_report.addUnreadable(m_path, listing.error());
}

void SearchWalk::startReadAhead()
{
    m_readAhead = std::make_unique<ReadAheadSession>(m_targets, m_needContent ? &m_phrase : nullptr, m_needContent);
    m_readAhead->start(m_foldersEntered);
}

bool SearchWalk::containsPhrase(Platform::DirListing &listing, Entry &entry, QByteArrayView name)
{
    if (entry.content >= 0)
        return entry.content != 0; // the entry matched an earlier mask too
    ReadAheadSession::Answer answer = ReadAheadSession::Unknown;
    if (m_readAhead)
        answer = m_readAhead->take(listing.folderId(), name, [this] { return m_events.stopPending(); });
    if (answer == ReadAheadSession::Unknown) {
        if (m_cold.wantsFileCheck()) {
            bool neededDisk = false;
            answer = m_phrase.containsAt(listing, name, entry.isRegular, &neededDisk) ? ReadAheadSession::Found
                                                                                     : ReadAheadSession::NotFound;
            if (neededDisk && m_cold.fileNotInMemory())
                startReadAhead();
        } else {
            answer = m_phrase.containsAt(listing, name, entry.isRegular) ? ReadAheadSession::Found
                                                                        : ReadAheadSession::NotFound;
        }
    }
    entry.content = answer == ReadAheadSession::Found ? 1 : 0;
    return entry.content != 0;
}

bool SearchWalk::accept(Platform::DirListing &listing, Entry &entry, const TSearchRec &record)
{
    // The order of AcceptFile: attributes, size, times, exclusions, contents.
    const quint32 attributes = m_needFullAttributes ? record.Attr() : record.ListingAttr();
    if (!m_targets.Attribute.Matches(attributes))
        return false;
    if (m_needSize && !m_targets.Size.Matches(record.Size()))
        return false;
    if (m_needTimes &&
        !m_targets.TimeStamp.Matches(record.CreationTime(), record.LastWriteTime(), record.LastAccessTime()))
        return false;
    if (m_needExclusion && m_targets.Folders.IsExcluded(m_path, record.Name()))
        return false;
    if (m_needContent && m_searchPacks) {
        // A pack matches through its entries (searchPacksOf), a document through its text.
        const QString name = record.Name();
        if (PackReader::isPackName(name))
            return false;
        if (DocumentText::isDocumentName(name)) {
            if (entry.content < 0)
                entry.content = documentOnDiskContains(record) ? 1 : 0;
            return entry.content != 0;
        }
    }
    if (m_needContent && !containsPhrase(listing, entry, record.NameBytes()))
        return false;
    return true;
}

TextCacheKey SearchWalk::cacheKey(const QString &path, const TSearchRec &record)
{
    return TextCacheKey{path, qint64(record.Size()), record.LastWriteTime()};
}

bool SearchWalk::documentOnDiskContains(const TSearchRec &record)
{
    const QString path = m_path + record.Name();
    TextCacheKey key;
    if (m_cache) {
        key = cacheKey(path, record);
        if (const auto kept = m_cache->find(key)) {
            if (!kept->mayHold(m_phrase.phrase()) && !m_phrase.foldsUnicode()) {
                m_report.lockedEntries += kept->lockedEntries;
                ++m_report.cachedTexts;
                return false;
            }
            bool found = false;
            const bool whole = m_cache->entries(*kept, true, [this, &found](TextCacheEntry &entry) {
                if (entry.flags & TextCacheEntry::Unreadable)
                    ++m_report.lockedEntries;
                else
                    found = documentTextContains(entry.text);
                return false;
            });
            if (whole) {
                ++m_report.cachedTexts;
                return found;
            }
        }
    }
    DocumentTextOptions options;
    options.stop = m_events.stopFlag();
    const DocumentTextResult document = DocumentText::fromFile(path, options);
    if (m_cache && m_needContent && document.status != DocumentStatus::Cancelled &&
        document.status != DocumentStatus::CannotOpen && !m_events.stopPending()) {
        TextCacheEntry entry;
        entry.size = key.size;
        entry.modifiedMs = Platform::fileTimeToMSecs(key.modified);
        entry.flags = TextCacheEntry::Document;
        if (document.status == DocumentStatus::Locked)
            entry.flags |= TextCacheEntry::Unreadable;
        entry.text = document.text.toUtf8();
        m_cache->beginFile(key);
        m_cache->addEntry(std::move(entry));
        m_cache->endFile(0);
    }
    return documentContains(document);
}

bool SearchWalk::documentContains(const DocumentTextResult &document)
{
    // What could be read of a damaged document is searched all the same.
    if (document.status == DocumentStatus::Locked)
        ++m_report.lockedEntries;
    if (document.text.isEmpty() || m_events.stopPending())
        return false;
    return m_phrase.containsBytes(document.text.toLocal8Bit());
}

bool SearchWalk::documentTextContains(const QByteArray &utf8)
{
    // Kept as UTF-8; searched, as a document's text always is, in the local 8-bit encoding.
    static const bool localIsUtf8 = QStringDecoder(QStringDecoder::System).name() == QByteArrayLiteral("UTF-8");
    if (utf8.isEmpty() || m_events.stopPending())
        return false;
    return m_phrase.containsBytes(localIsUtf8 ? utf8 : QString::fromUtf8(utf8).toLocal8Bit());
}

bool SearchWalk::matchesAnyMask(const QString &name) const
{
    const QByteArray bytes = QFile::encodeName(name);
    return std::any_of(m_masks.begin(), m_masks.end(), [&bytes](const NameMask &mask) {
        return mask.matches(QByteArrayView(bytes));
    });
}

bool SearchWalk::entryFits(const QString &name, qint64 size, Platform::FileTime modified) const
{
    return matchesAnyMask(name) && (!m_needSize || m_targets.Size.Matches(quint64(qMax<qint64>(0, size)))) &&
           (!m_needTimes || m_targets.TimeStamp.Matches(modified, modified, modified));
}

void SearchWalk::searchPacksOf(Level &lvl, Platform::DirListing &listing)
{
    for (Entry &e : lvl.entries) {
        if (m_events.stopPending())
            return;
        if (e.isDirectory || !(e.isRegular || e.isLink))
            continue;
        const QByteArrayView nameBytes(lvl.names.constData() + e.nameOffset, e.nameLength);
        if (!hasExactName(lvl, e) || !PackReader::isPackName(Platform::decodeEntryName(nameBytes)))
            continue;
        TSearchRec pack;
        pack.m_nameBytes = QByteArray::fromRawData(nameBytes.data(), nameBytes.size());
        pack.m_listingAttr = e.attributes;
        pack.m_folder = &listing;
        if (e.infoKnown) {
            pack.m_info = e.info;
            pack.m_infoKnown = true;
        }
        // The pack itself passes the tests of the file it is; its entries those of their own.
        const quint32 attributes = m_needFullAttributes ? pack.Attr() : pack.ListingAttr();
        if (!m_targets.Attribute.Matches(attributes) ||
            (m_needExclusion && m_targets.Folders.IsExcluded(m_path, pack.Name())))
            continue;
        const QString path = m_path + pack.Name();
        TextCacheKey key;
        std::optional<TextCache::Record> kept;
        if (m_cache) {
            key = cacheKey(path, pack);
            kept = m_cache->find(key);
            if (kept && packFromCache(*kept, pack))
                continue;
        }
        PackReader reader;
        reader.setStopFlag(m_events.stopFlag());
        if (!reader.open(path)) {
            if (reader.status() != PackStatus::Cancelled)
                ++m_report.damagedPacks;
            continue;
        }
        // Only a search by content reads every entry whole, as keeping the pack needs.
        m_keeping = m_cache && m_needContent && !kept;
        if (m_keeping)
            m_cache->beginFile(key);
        const qint64 damagedBefore = m_report.damagedPacks;
        QStringList chain;
        walkPack(reader, chain, pack);
        if (m_keeping) {
            if (m_events.stopPending())
                m_cache->abandonFile();
            else
                m_cache->endFile(m_report.damagedPacks - damagedBefore);
        }
        m_keeping = false;
    }
}

void SearchWalk::stopKeeping()
{
    if (m_keeping)
        m_cache->abandonFile();
    m_keeping = false;
}

bool SearchWalk::packFromCache(const TextCache::Record &kept, const TSearchRec &pack)
{
    // A binary entry keeps only its printable runs: a phrase they cannot answer reads the pack.
    if (m_needContent && kept.hasStrings &&
        (m_phrase.foldsUnicode() || !TextCache::phraseFitsStrings(m_phrase.phrase())))
        return false;
    std::vector<CachedHit> hits; // reported once the whole record has been read
    qint64 locked = 0;
    bool whole = true;
    if (m_needContent && !m_phrase.foldsUnicode() && !kept.mayHold(m_phrase.phrase())) {
        locked = kept.lockedEntries; // no text of it can hold the phrase: none is read
    } else {
        whole = m_cache->entries(kept, m_needContent,
                                 [&](TextCacheEntry &entry) { return takeCachedEntry(entry, hits, &locked); });
    }
    if (m_events.stopPending())
        return true;
    if (!whole)
        return false; // the cache failed: the pack is read
    m_report.lockedEntries += locked;
    m_report.damagedPacks += kept.damagedPacks;
    ++m_report.cachedTexts;
    for (const CachedHit &hit : hits)
        reportEntry(hit.chain, hit.size, hit.modified, pack, hit.locked);
    return true;
}

bool SearchWalk::takeCachedEntry(TextCacheEntry &entry, std::vector<CachedHit> &hits, qint64 *locked)
{
    if (m_events.stopPending())
        return false;
    const QString &inner = entry.chain.constLast();
    const QString name = inner.mid(inner.lastIndexOf(u'/') + 1);
    const Platform::FileTime modified = entry.modifiedMs ? Platform::fileTimeFromMSecs(entry.modifiedMs) : 0;
    const bool fits = entryFits(name, entry.size, modified);
    if (entry.flags & TextCacheEntry::Locked) {
        if (locked)
            ++*locked;
        if (fits && !m_needContent)
            hits.push_back(CachedHit{entry.chain, entry.size, modified, true});
        return true;
    }
    if (!fits)
        return true;
    bool found = false;
    if (!m_needContent) {
        found = true;
    } else if (entry.flags & TextCacheEntry::Pack) {
        found = false; // a nested pack is found by content only through its own entries
    } else if (entry.flags & TextCacheEntry::Unreadable) {
        if (locked)
            ++*locked;
    } else if (entry.flags & TextCacheEntry::Document) {
        found = documentTextContains(entry.text);
    } else {
        found = !entry.text.isEmpty() && m_phrase.containsBytes(entry.text);
    }
    if (found)
        hits.push_back(CachedHit{entry.chain, entry.size, modified, false});
    return true;
}

void SearchWalk::walkPack(PackReader &reader, QStringList &chain, const TSearchRec &pack)
{
    while (!m_events.stopPending() && reader.nextEntry())
        packEntry(reader, chain, pack);
    if (reader.status() != PackStatus::Ok && reader.status() != PackStatus::Cancelled)
        ++m_report.damagedPacks;
}

void SearchWalk::packEntry(PackReader &reader, QStringList &chain, const TSearchRec &pack)
{
    const PackEntry &entry = reader.entry();
    if (entry.isFolder)
        return;
    chain.append(entry.path);
    const auto popChain = qScopeGuard([&chain] { chain.removeLast(); });
    const Platform::FileTime modified = entryTime(entry);
    TextCacheEntry kept;
    if (m_keeping) {
        kept.chain = chain;
        kept.size = entry.size;
        kept.modifiedMs = entry.modified.isValid() ? entry.modified.toMSecsSinceEpoch() : 0;
    }
    const QString name = entry.path.mid(entry.path.lastIndexOf(u'/') + 1);
    const qint64 size = entry.size;
    const bool fits = entryFits(name, size, modified);
    if (entry.isLocked) {
        // Its name is readable, its contents are not: found by name, and counted.
        ++m_report.lockedEntries;
        if (fits && !m_needContent)
            reportEntry(chain, size, modified, pack, true);
        if (m_keeping) {
            kept.flags = TextCacheEntry::Locked;
            m_cache->addEntry(std::move(kept));
        }
        return;
    }
    if (PackReader::isPackName(name)) {
        // A nested pack is found by its name; by content only through its own entries.
        if (fits && !m_needContent)
            reportEntry(chain, size, modified, pack);
        if (m_keeping) {
            kept.flags = TextCacheEntry::Pack;
            m_cache->addEntry(std::move(kept));
        }
        PackReader inner;
        if (inner.openNested(reader))
            walkPack(inner, chain, pack);
        else if (inner.status() != PackStatus::Cancelled && inner.status() != PackStatus::NotAPack)
            ++m_report.damagedPacks;
        return;
    }
    // Kept, every entry is read whole whatever the masks, so that the next search finds it all.
    if (m_keeping) {
        const bool found = entryContains(reader, name, &kept);
        if (m_keeping)
            m_cache->addEntry(std::move(kept));
        if (fits && found)
            reportEntry(chain, reader.entry().size, modified, pack);
    } else if (fits && (!m_needContent || entryContains(reader, name, nullptr))) {
        reportEntry(chain, reader.entry().size, modified, pack);
    }
}

bool SearchWalk::readEntryDocument(PackReader &reader, const QString &name, TextCacheEntry *kept)
{
    // A document's text needs its bytes whole; the reader's limits bound them.
    QByteArray bytes;
    QByteArray chunk;
    while (reader.readChunk(chunk))
        bytes += chunk;
    if (kept)
        kept->flags = TextCacheEntry::Document;
    if (reader.entryStatus() != PackStatus::Ok) {
        if (reader.entryStatus() == PackStatus::Locked) {
            ++m_report.lockedEntries;
            if (kept)
                kept->flags |= TextCacheEntry::Unreadable;
        }
        return false;
    }
    DocumentTextOptions options;
    options.stop = m_events.stopFlag();
    options.packLimits = reader.limits();
    const DocumentTextResult document = DocumentText::fromBytes(bytes, name, options);
    if (kept) {
        if (document.status == DocumentStatus::Locked)
            kept->flags |= TextCacheEntry::Unreadable;
        kept->text = document.text.toUtf8();
    }
    return documentContains(document);
}

bool SearchWalk::entryContains(PackReader &reader, const QString &name, TextCacheEntry *kept)
{
    if (DocumentText::isDocumentName(name))
        return readEntryDocument(reader, name, kept);
    // Kept: the bytes are gathered as they are searched, up to what the cache takes.
    QByteArray *gathered = kept ? &kept->text : nullptr;
    if (gathered && reader.entry().size > 0)
        gathered->reserve(qsizetype(std::min(reader.entry().size, TextCache::kMaxEntryText)));
    const auto gather = [this, &gathered](const char *data, qint64 size) {
        if (!gathered || size <= 0)
            return;
        if (gathered->size() + size > TextCache::kMaxEntryText) {
            gathered = nullptr; // too long to keep: the pack is read each time
            stopKeeping();
            return;
        }
        gathered->append(data, size);
    };
    const bool found = m_phrase.containsStream([&reader, &gather](char *data, qint64 max) {
        // The searcher takes a short read for the end: fill the chunk unless the entry ends.
        qint64 filled = 0;
        while (filled < max) {
            const qint64 got = reader.read(data + filled, max - filled);
            if (got < 0)
                return filled > 0 ? filled : got;
            if (got == 0)
                break;
            filled += got;
        }
        gather(data, filled);
        return filled;
    });
    if (found && gathered) {
        // The searcher stopped at the match; the rest is kept too.
        QByteArray chunk;
        while (gathered && reader.readChunk(chunk))
            gather(chunk.constData(), chunk.size());
    }
    if (!found && reader.entryStatus() == PackStatus::Locked) {
        ++m_report.lockedEntries;
        if (kept)
            kept->flags |= TextCacheEntry::Unreadable;
    }
    return found;
}

void SearchWalk::reportEntry(const QStringList &chain, qint64 size, Platform::FileTime modified, const TSearchRec &pack,
                             bool locked)
{
    TSearchRec record(pack.Name(), Platform::AttrNormal, quint64(qMax<qint64>(0, size)), modified, modified,
                      modified);
    record.m_innerPath = chain;
    record.m_locked = locked;
    m_phrase.flush();
    m_events.fileMatch(m_path, record);
}

void SearchWalk::enterFolder(size_t index)
{
    const size_t depth = index + 1; // the target folder is level 1
    publishDepth(depth);
    Level &lvl = m_levels[index];
    lvl.entries.clear();
    lvl.names.clear();
    lvl.next = 0;
    lvl.doSubfolders = false;
    ++m_foldersEntered;
    if (m_readAhead)
        m_readAhead->walkEnteredFolder();
    const TFolderIgnore answer = m_events.folderChange(m_path);
    const TTargetFolder &target = *m_active;
    const bool doFiles =
        (answer == fiNone || answer == fiJustSubfolders) && depth >= target.MinLevel && !m_masks.empty();
    const bool doSubfolders = target.Subfolders && (answer == fiNone || answer == fiJustThis) &&
                              (target.MaxLevel == 0 || target.MaxLevel > depth);
    if ((!doFiles && !doSubfolders) || m_events.stopPending())
        return;
    Platform::DirListing *listing = m_chain.deepest(); // just entered: open
    if (!listing)
        return;
    m_cold.beginListing();
    const auto listingStart = std::chrono::steady_clock::now();
    readEntries(lvl, *listing);
    const qint64 listingTime = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - listingStart).count();
    if (m_cold.folderListed(listingTime, qsizetype(lvl.entries.size())))
        startReadAhead();
    if (const auto &afterListing = Platform::readAheadSettings().afterListing)
        afterListing(m_path, false);
    lvl.doSubfolders = doSubfolders;
    if (!doFiles)
        return;

    for (size_t m = m_masks.size(); m-- > 0;) {
        if (m_events.stopPending())
            break;
        const NameMask &mask = m_masks[m];
        for (Entry &e : lvl.entries) {
            if (m_events.stopPending())
                break;
            const char *name = lvl.names.constData() + e.nameOffset;
            if (!mask.matches(QByteArrayView(name, e.nameLength)))
                continue;
            TSearchRec record;
            record.m_nameBytes = QByteArray::fromRawData(name, e.nameLength);
            record.m_listingAttr = e.attributes;
            record.m_folder = listing;
            if (e.infoKnown) {
                record.m_info = e.info;
                record.m_infoKnown = true;
            }
            if (!accept(*listing, e, record))
                continue;
            if (!hasExactName(lvl, e)) {
                countSkipped(e); // a path with its decoded name would lead nowhere
                continue;
            }
            m_phrase.flush(); // the handler finds the files closed
            m_events.fileMatch(m_path, record);
        }
    }
    m_phrase.flush();
    if (m_searchPacks)
        searchPacksOf(lvl, *listing);
}

} // namespace SearchDetail
