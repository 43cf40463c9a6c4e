#pragma once

#include "search/FindFile.h"
#include "search/NameMask.h"
#include "search/PhraseSearch.h"

#include <vector>

// The walk (SearchTargets / SearchFolder), shared by the in-line search and the worker.
//
// What it keeps: target folders in walk order, depth first; in each folder the folder
// event first, then the masks from the last to the first with their matches (an entry matching
// two masks is reported twice), then the subfolders; the tests in AcceptFile's order; the stop
// checks between folders, masks and entries.
// What it does its own way, with the same results: each folder is listed once into a snapshot
// (names and types) after its folder event, and the masks and the subfolder step run over that
// snapshot instead of listing the folder again per mask; names are matched by NameMask (the
// platform's wildcard rules); a stat is made only when a test needs size, times or the read-only
// bit; files are opened relative to the open folder. It never enters a folder that is already on
// its current path (a link leading back into its own tree).
namespace SearchDetail {

class WalkEvents
{
public:
    virtual ~WalkEvents() = default;
    virtual bool stopPending() const = 0;
    virtual TFolderIgnore folderChange(const QString &folder) = 0;
    virtual void fileMatch(const QString &folder, const TSearchRec &entry) = 0;
};

class SearchWalk
{
public:
    SearchWalk(const TTargetSearch &targets, WalkEvents &events, quint16 &depth, TTargetFolder *&activeFolder);
    ~SearchWalk();
    SearchWalk(const SearchWalk &) = delete;
    SearchWalk &operator=(const SearchWalk &) = delete;

    // Walks every target folder in walk order while no stop is pending.
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
        Platform::EntryInfo info;
    };
    struct Level
    {
        Platform::DirListing listing;
        QString path;
        std::vector<Entry> entries;
        QByteArray names; // NUL-terminated names, one after another
        Platform::FolderId id;
        bool idKnown = false;
    };
    struct PreparedTarget
    {
        std::vector<NameMask> masks;
    };

    Level &level(size_t index);
    void searchFolder(size_t index);
    void readEntries(Level &level);
    bool accept(Level &level, const Entry &entry, const TSearchRec &record);
    bool isOnPath(size_t childIndex);

    const TTargetSearch &m_targets;
    WalkEvents &m_events;
    quint16 &m_depth;
    TTargetFolder *&m_activeFolder;
    const PreparedTarget *m_prepared = nullptr;
    std::vector<std::unique_ptr<Level>> m_levels;
    PhraseSearcher m_phrase;
    bool m_needFullAttributes = false;
    bool m_needSize = false;
    bool m_needTimes = false;
    bool m_needExclusion = false;
    bool m_needContent = false;
    QChar m_delimiter;
};

} // namespace SearchDetail
