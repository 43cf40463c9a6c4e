// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/FolderChain.h"
#include "core/packs/DocumentText.h"
#include "core/packs/PackReader.h"
#include "core/packs/TextCache.h"
#include "core/platform/ReadAhead.h"
#include "FindFile.h"
#include "NameMask.h"
#include "PhraseSearch.h"

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

// The walk (SearchTargets / SearchFolder), shared by the in-line search and the worker.
//
// The order of events: target folders in walk order, depth first; in each folder the folder
// event first, then the masks from the last to the first with their matches (an entry matching
// two masks is reported twice), then the subfolders; the tests in AcceptFile's order; the stop
// checks between folders, masks and entries.
// What keeps it cheap: each folder is listed once into a snapshot (names and types) after its
// folder event, and the masks and the subfolder step run over that snapshot rather than listing
// the folder again per mask; names are matched by NameMask (the platform's wildcard rules); a
// stat is made only when a test needs size, times or the read-only bit; files are opened relative
// to the open folder. It never enters a folder that is already on its current path (a link
// leading back into its own tree).
// Any depth: the walk keeps its own stack of folders (no recursion), and the folders are held by a
// FolderChain, which keeps a bounded number of them open. Nothing it cannot report truthfully is
// reported: an entry whose name has no exact spelling is left out (a folder with all it holds) and
// counted, a folder that cannot be opened or read is counted with the first one's reason, and the
// walk goes on past both.
// On a disk whose files are not in memory yet, the walk reads ahead (ReadAheadSession): a scout
// lists the coming folders before the walk gets there, and a few readers run the content test on
// the coming files, as many at once as the disk takes. The walk takes their answers in its own
// order; what was not read ahead it reads itself. Each entry's content test is made once, however
// many masks it matches.
namespace SearchDetail {

class ReadAheadSession;

class WalkEvents
{
public:
    virtual ~WalkEvents() = default;
    virtual bool stopPending() const = 0;
    // Raised with a stop request, for readers that look at a flag inside one file (packs, documents).
    virtual const std::atomic<bool> *stopFlag() const { return nullptr; }
    virtual TFolderIgnore folderChange(const QString &folder) = 0;
    virtual void fileMatch(const QString &folder, const TSearchRec &entry) = 0;
};

class SearchWalk
{
public:
    // depth: where the level of the folder being walked is published (read by other threads);
    // report: what the walk had to leave out, added to as it goes.
    SearchWalk(const TTargetSearch &targets, WalkEvents &events, std::atomic<quint16> &depth,
               Platform::WalkReport &report);
    ~SearchWalk();
    SearchWalk(const SearchWalk &) = delete;
    SearchWalk &operator=(const SearchWalk &) = delete;

    // Walks every target folder in walk order while no stop is pending. The published depth is 0
    // again afterwards, also when a handler's error ends the walk.
    void run();

private:
    struct Entry
    {
        quint32 nameOffset = 0;
        quint32 nameLength = 0;
        quint32 attributes = 0; // from the listing (all of them when infoKnown)
        bool isDirectory = false;
        bool isLink = false;
        bool isRegular = false; // by the listing's type, without a stat
        bool infoKnown = false;
        qint8 exactName = -1; // the decoded name leads to the entry (Platform::isExactName); -1: not asked yet
        bool skipCounted = false;
        qint8 content = -1; // the content test's answer; -1: not made yet
        Platform::EntryInfo info;
    };
    // A folder on the way down from the target folder.
    struct Level
    {
        std::vector<Entry> entries;
        QByteArray names;         // NUL-terminated names, one after another
        size_t next = 0;          // the next entry to look at in the subfolder step
        qsizetype pathLength = 0; // m_path up to and including this folder's delimiter
        bool doSubfolders = false;
    };

    void walkTarget(const TTargetFolder &folder);
    void enterFolder(size_t index);
    void leaveFolder();
    void readEntries(Level &level, Platform::DirListing &listing);
    bool accept(Platform::DirListing &listing, Entry &entry, const TSearchRec &record);
    bool containsPhrase(Platform::DirListing &listing, Entry &entry, QByteArrayView name);
    void startReadAhead();
    // Inside packs and documents (TContentCriteria::SearchPacks).
    void searchPacksOf(Level &level, Platform::DirListing &listing);
    void walkPack(PackReader &reader, QStringList &chain, const TSearchRec &pack);
    void packEntry(PackReader &reader, QStringList &chain, const TSearchRec &pack);
    bool entryContains(PackReader &reader, const QString &name, TextCacheEntry *kept);
    bool readEntryDocument(PackReader &reader, const QString &name, TextCacheEntry *kept);
    bool documentOnDiskContains(const TSearchRec &record);
    bool documentContains(const DocumentTextResult &document);
    bool documentTextContains(const QByteArray &utf8);
    bool matchesAnyMask(const QString &name) const;
    bool entryFits(const QString &name, qint64 size, Platform::FileTime modified) const;
    void reportEntry(const QStringList &chain, qint64 size, Platform::FileTime modified, const TSearchRec &pack,
                     bool locked = false);
    // The text cache (TTargetSearch::TextCacheFile): a pack or document read from it, or kept in it.
    static TextCacheKey cacheKey(const QString &path, const TSearchRec &record);
    struct CachedHit
    {
        QStringList chain;
        qint64 size;
        Platform::FileTime modified;
        bool locked;
    };
    bool packFromCache(const TextCache::Record &kept, const TSearchRec &pack);
    // One entry of a kept pack: tested as a read one is; locked entries counted when locked is given.
    bool takeCachedEntry(TextCacheEntry &entry, std::vector<CachedHit> &hits, qint64 *locked);
    void stopKeeping();
    // Whether the entry's decoded name leads back to it: asked only of entries about to be reported
    // or entered, not of every entry listed.
    bool hasExactName(const Level &level, Entry &entry);
    void countSkipped(Entry &entry);
    void publishDepth(size_t level);

    const TTargetSearch &m_targets;
    WalkEvents &m_events;
    std::atomic<quint16> &m_depth;
    Platform::WalkReport &m_report;
    const TTargetFolder *m_active = nullptr;
    std::vector<NameMask> m_masks;
    Platform::FolderChain m_chain;
    std::deque<Level> m_levels; // kept between folders; a deque, so that growing it moves none
    QString m_path;             // the folder being walked, ending with the delimiter
    PhraseSearcher m_phrase;
    bool m_needFullAttributes = false;
    bool m_needSize = false;
    bool m_needTimes = false;
    bool m_needExclusion = false;
    bool m_needContent = false;
    bool m_searchPacks = false;
    std::unique_ptr<TextCache> m_cache;
    bool m_keeping = false; // the pack being read is being kept in the cache
    QChar m_delimiter;
    Platform::ColdDetector m_cold;
    std::unique_ptr<ReadAheadSession> m_readAhead;
    qint64 m_foldersEntered = 0;
};

} // namespace SearchDetail
