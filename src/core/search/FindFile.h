// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The search criteria and the search engine TFindFile.
//
// Paths follow the platform: on Windows the delimiter is "\" (a "/" is taken as one too) and
// paths may start with a drive ("C:") or a server and share ("\\server\share"); elsewhere the
// delimiter is "/", a colon is an ordinary character and there are no drives. Wildcard masks match
// names without regard to case on every system; paths compare as the file system does (without
// regard to case on Windows and macOS, with it elsewhere). The Windows rules stay reachable on
// every system through the PathStyle overloads, which the tests use.
//
// Choices made on purpose:
// - Link loops: the walk never enters a folder that is already on its current path (same device
//   and inode, or volume and file index) instead of walking on until the path is too long.
// - Any depth: the walk keeps its own stack (no recursion) and at most a few dozen folders open
//   (each opened relative to its parent), so a tree tens of thousands of levels deep is walked
//   whole on a small stack under the usual limit of open files. Paths reported from down there may
//   be longer than the system takes as a path.
// - Only paths that lead to the entry are reported: an entry whose name the system's encoding
//   cannot spell back byte for byte (a name that is no UTF-8 on Linux) is left out, a folder with
//   all it holds, and counted in Report(); so is every folder that could not be opened or read. The
//   walk goes on past both.
// - Sizes are 64-bit throughout: the content test reads files of 2 GiB and more whole, and the
//   size test compares the full size with its unsigned 32-bit bounds (taking only the low 32
//   bits of the size would let a 4 GiB + 500 byte file pass Max = 1000).
// - An error raised by a handler in in-line mode (or by OnSearchBegin in either mode) still ends
//   the search: the finish event, Targets freed, Searching cleared; then it reaches the caller of
//   StartSearch, instead of leaving the component searching.
// - The directory listing's pattern match is our own (NameMask.h), the same on every system; it
//   never matches 8.3 short names, "?" is exactly one character, and a mask ending in ".*" also
//   matches every name that the mask without ".*" matches whole (dot-less names included).
// - Each folder is listed once, after its folder event, into a snapshot that the masks and the
//   subfolder step share, rather than a listing per mask and one more for subfolders.
// - The content test reads only regular files (a FIFO, device or socket gives false). In the walk
//   it opens files relative to their folder and, where the listing says "regular file", reads to
//   the end without asking for the size (a file shorter than the phrase is then read, in vain).
//   With Ignore case, an ASCII phrase finds its letters in either case byte for byte (A-Z only,
//   or by the code page's single-byte table on Windows); a phrase beyond ASCII in UTF-8 text
//   finds each character by its simple case fold ("ü" finds "Ü", "σ" finds "ς" and "Σ"), bytes
//   that are no UTF-8 matching no character (see PhraseSearch.h). One buffer serves a whole search.
// - An entry of Location or Included whose folder part is empty names no folder and adds no
//   target (the platform would search the current directory).
// - StopSearch raises the worker's terminate flag before the abort event, not after it.
// - The component owns its worker and frees it once the thread has ended. Destroyed during a
//   threaded search, it stops the worker and waits for it without handling any event meanwhile;
//   the worker's pending event is dropped, and no handler runs after the destructor.
// - TSearchRec gives size, times and the read-only bit on demand; it is valid during the call it
//   is handed to (in batched delivery, for as long as the handler keeps a copy).
// - Threaded searches deliver their events in one of two ways (Delivery): handed over one at a
//   time, the worker waiting for each handler, or queued by the worker and delivered in batches,
//   the worker never waiting for the GUI thread.

#include "core/platform/DirListing.h"
#include "Persistent.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TFindFile;
class TSearchThread;
class WorkerEvents;
namespace SearchDetail {
class EventBatches;
class GuiHandOff;
class HandOffDrain;
class SearchWalk;
class PhraseSearcher;
} // namespace SearchDetail

// A date-time value: whole days since 30 December 1899, the fraction the time of day.
using TDateTime = double;

// How paths are spelt: the delimiter, whether drives exist, whether case matters in paths.
struct PathStyle
{
    bool windows = false;     // "\" (and "/") delimit, "X:" and "\\server\share" are drives
    bool caseSensitive = true; // path comparisons (never name masks) regard case

    static PathStyle native();
    static PathStyle windowsStyle() { return PathStyle{true, false}; }
    static PathStyle posixStyle() { return PathStyle{false, true}; }
    QChar delimiter() const { return windows ? QChar(u'\\') : QChar(u'/'); }
    bool isDelimiter(QChar c) const { return windows ? (c == u'\\' || c == u'/') : c == u'/'; }
};

// ---------------------------------------------------------------------------------------------
// Search criteria
// ---------------------------------------------------------------------------------------------

// Names and places.
class TFileCriteria : public TPersistent
{
public:
    TFileCriteria();
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TFileCriteria"; }

    const QString &FileName() const { return m_fileName; }
    void setFileName(const QString &value) { m_fileName = value; }
    const QString &Location() const { return m_location; }
    void setLocation(const QString &value) { m_location = value; }
    // The owned lists; setting copies the given entries.
    const QStringList &Included() const { return m_included; }
    QStringList &Included() { return m_included; }
    void setIncluded(const QStringList &value) { m_included = value; }
    const QStringList &Excluded() const { return m_excluded; }
    QStringList &Excluded() { return m_excluded; }
    void setExcluded(const QStringList &value) { m_excluded = value; }
    bool Subfolders() const { return m_subfolders; }
    void setSubfolders(bool value) { m_subfolders = value; }
    quint16 MinLevel() const { return m_minLevel; }
    void setMinLevel(quint16 value) { m_minLevel = value; }
    quint16 MaxLevel() const { return m_maxLevel; }
    void setMaxLevel(quint16 value) { m_maxLevel = value; }

private:
    QString m_fileName;
    QString m_location;
    QStringList m_included;
    QStringList m_excluded;
    bool m_subfolders = true;
    quint16 m_minLevel = 0;
    quint16 m_maxLevel = 0;
};

// The enumeration of TFileAttributes, in this order (set bits 0 to 4).
enum TFileAttribute { ffArchive, ffReadonly, ffHidden, ffSystem, ffDirectory };

// A set of TFileAttribute: bit i stands for the enumeration value i.
class TFileAttributes
{
public:
    constexpr TFileAttributes() = default;
    constexpr TFileAttributes(std::initializer_list<TFileAttribute> items)
    {
        for (TFileAttribute a : items)
            m_bits = quint8(m_bits | (1u << a));
    }
    static constexpr TFileAttributes fromInt(int bits)
    {
        TFileAttributes s;
        s.m_bits = quint8(bits & 0x1F);
        return s;
    }
    constexpr int toInt() const { return m_bits; }
    constexpr bool contains(TFileAttribute a) const { return m_bits & (1u << a); }
    constexpr void insert(TFileAttribute a) { m_bits = quint8(m_bits | (1u << a)); }
    constexpr void remove(TFileAttribute a) { m_bits = quint8(m_bits & ~(1u << a)); }
    friend constexpr bool operator==(TFileAttributes a, TFileAttributes b) { return a.m_bits == b.m_bits; }

private:
    quint8 m_bits = 0;
};

// File attributes.
class TAttributeCriteria : public TPersistent
{
public:
    TAttributeCriteria();
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TAttributeCriteria"; }

    TFileAttributes Attributes() const;
    void setAttributes(TFileAttributes value);
    bool ExactMatch() const { return m_exactMatch; }
    void setExactMatch(bool value) { m_exactMatch = value; }
    // The stored bits in the platform's attribute values (read-only 0x01 ... archive 0x20).
    quint32 AttributeBits() const { return m_attributes; }

    bool Matches(quint32 attributes) const;

private:
    quint32 m_attributes = 0x27;
    bool m_exactMatch = false;
};

// Time stamps; 0 is no bound.
class TDateTimeCriteria : public TPersistent
{
public:
    TDateTimeCriteria() = default;
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TDateTimeCriteria"; }

    TDateTime CreatedBefore() const { return m_createdBefore; }
    void setCreatedBefore(TDateTime v) { m_createdBefore = v; }
    TDateTime CreatedAfter() const { return m_createdAfter; }
    void setCreatedAfter(TDateTime v) { m_createdAfter = v; }
    TDateTime ModifiedBefore() const { return m_modifiedBefore; }
    void setModifiedBefore(TDateTime v) { m_modifiedBefore = v; }
    TDateTime ModifiedAfter() const { return m_modifiedAfter; }
    void setModifiedAfter(TDateTime v) { m_modifiedAfter = v; }
    TDateTime AccessedBefore() const { return m_accessedBefore; }
    void setAccessedBefore(TDateTime v) { m_accessedBefore = v; }
    TDateTime AccessedAfter() const { return m_accessedAfter; }
    void setAccessedAfter(TDateTime v) { m_accessedAfter = v; }

    // True when any bound is set (then the test needs the entry's times).
    bool HasBounds() const;
    bool Matches(Platform::FileTime created, Platform::FileTime modified, Platform::FileTime accessed) const;

private:
    TDateTime m_createdBefore = 0;
    TDateTime m_createdAfter = 0;
    TDateTime m_modifiedBefore = 0;
    TDateTime m_modifiedAfter = 0;
    TDateTime m_accessedBefore = 0;
    TDateTime m_accessedAfter = 0;
};

// File size; 0 is no bound.
class TSizeCriteria : public TPersistent
{
public:
    TSizeCriteria() = default;
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TSizeCriteria"; }

    quint32 Min() const { return m_min; }
    void setMin(quint32 v) { m_min = v; }
    quint32 Max() const { return m_max; }
    void setMax(quint32 v) { m_max = v; }

    bool HasBounds() const { return m_min != 0 || m_max != 0; }
    // The size is the full 64-bit size (not only its low 32 bits): the bounds are
    // unsigned 32-bit and compared as such, and a file of 4 GiB or more is larger than any Max and
    // not smaller than any Min.
    bool Matches(quint64 size) const;

private:
    quint32 m_min = 0;
    quint32 m_max = 0;
};

// A phrase in the file's bytes.
class TContentCriteria : public TPersistent
{
public:
    TContentCriteria();
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TContentCriteria"; }

    const QString &Phrase() const { return m_phrase; }
    void setPhrase(const QString &value);
    bool IgnoreCase() const { return m_ignoreCase; }
    void setIgnoreCase(bool value);
    // Search inside packs and documents: the entries of packs (nested ones too) are matched by name
    // and by content as files are, each reported on its own (TSearchRec::InnerPath), and a document
    // (PDF, DOCX, ODT, EPUB, HTML) is searched by its text. A pack or document then matches
    // through what it holds, never through its raw bytes. Off by default.
    bool SearchPacks() const { return m_searchPacks; }
    void setSearchPacks(bool value) { m_searchPacks = value; }
    // Derived: the phrase's length in bytes (local 8-bit encoding) and the folded phrase bytes.
    qint32 PhraseLength() const { return m_phraseLength; }
    const QByteArray &FoldedPhrase() const { return m_foldedPhrase; }

    bool Matches(const QString &fileName) const;

private:
    void updateFolded();

    QString m_phrase;
    qint32 m_phraseLength = 0;
    bool m_ignoreCase = true;
    bool m_searchPacks = false;
    QByteArray m_foldedPhrase;
};

// The whole: five owned parts; setting a part copies the values into it.
class TSearchCriteria : public TPersistent
{
public:
    TSearchCriteria();
    ~TSearchCriteria() override;
    TSearchCriteria(const TSearchCriteria &) = delete;
    TSearchCriteria &operator=(const TSearchCriteria &) = delete;
    using TPersistent::Assign;
    void Assign(const TPersistent *source) override;
    const char *ClassName() const override { return "TSearchCriteria"; }

    TFileCriteria *Files() const { return m_files.get(); }
    void setFiles(const TFileCriteria *value) { m_files->Assign(value); }
    TAttributeCriteria *Attribute() const { return m_attribute.get(); }
    void setAttribute(const TAttributeCriteria *value) { m_attribute->Assign(value); }
    TDateTimeCriteria *TimeStamp() const { return m_timeStamp.get(); }
    void setTimeStamp(const TDateTimeCriteria *value) { m_timeStamp->Assign(value); }
    TSizeCriteria *Size() const { return m_size.get(); }
    void setSize(const TSizeCriteria *value) { m_size->Assign(value); }
    TContentCriteria *Content() const { return m_content.get(); }
    void setContent(const TContentCriteria *value) { m_content->Assign(value); }

private:
    std::unique_ptr<TFileCriteria> m_files;
    std::unique_ptr<TAttributeCriteria> m_attribute;
    std::unique_ptr<TDateTimeCriteria> m_timeStamp;
    std::unique_ptr<TSizeCriteria> m_size;
    std::unique_ptr<TContentCriteria> m_content;
};

QString AppendPathDelimiter(const QString &path);
QString AppendPathDelimiter(const QString &path, PathStyle style);
TDateTime FileTimeToLocalDateTime(Platform::FileTime fileTime);
bool DateTimeInRange(TDateTime value, TDateTime before, TDateTime after);
bool MatchesWildcard(const QString &text, const QString &mask);
bool MatchesFileMask(const QString &fileName, const QString &mask);
bool MatchesPathMask(const QString &folder, const QString &name, const QString &mask);
bool MatchesPathMask(const QString &folder, const QString &name, const QString &mask, PathStyle style);
// Never raises: a file that cannot be opened or read gives false. A length of 0 or less gives true.
bool FileContainsPhrase(const QString &fileName, const QByteArray &phrase, qint32 length, bool fold);

// ---------------------------------------------------------------------------------------------
// Search engine
// ---------------------------------------------------------------------------------------------

enum TFolderIgnore { fiNone, fiJustThis, fiJustSubfolders, fiThisAndSubfolders };

// The directory entry record handed to the file-match event and to AcceptFile: name, attribute
// word, 64-bit size and the three file times. A record made by the walk fetches size, times and
// the read-only bit from the file system only when they are first asked for (the listing alone
// gives the name, the directory and hidden bits); it is valid during the call it is handed to.
class TSearchRec
{
public:
    TSearchRec() = default;
    TSearchRec(const QString &name, quint32 attributes, quint64 size = 0, Platform::FileTime creationTime = 0,
               Platform::FileTime lastAccessTime = 0, Platform::FileTime lastWriteTime = 0);

    QString Name() const;
    // The name as the listing gave it (UTF-8 on Windows, the file system's bytes elsewhere).
    const QByteArray &NameBytes() const { return m_nameBytes; }
    quint32 Attr() const;
    quint64 Size() const;
    Platform::FileTime CreationTime() const;
    Platform::FileTime LastAccessTime() const;
    Platform::FileTime LastWriteTime() const;

    // For an entry inside a pack (SearchPacks): the entry's path inside the pack on disk, then, for
    // a pack nested in it, the path inside that one, outermost first. Name() is then the pack file's
    // name in its folder (a path that exists on disk), and size and times are the entry's. Empty for
    // a plain file.
    const QStringList &InnerPath() const { return m_innerPath; }
    bool IsPackEntry() const { return !m_innerPath.isEmpty(); }
    // An encrypted entry, found by its name (which packs keep readable): its contents can be neither
    // searched nor taken out.
    bool IsLocked() const { return m_locked; }

    // The attribute bits the listing gave without a stat (all of them on Windows; directory,
    // hidden and link on POSIX).
    quint32 ListingAttr() const { return m_listingAttr; }

private:
    friend class SearchDetail::SearchWalk;
    friend class WorkerEvents;
    void fetch() const;
    // A copy that stays valid after the walk has moved on: what the listing (or a stat) gave is
    // kept, the rest is asked of the file system, by the folder's path, when first wanted.
    TSearchRec detached(const QString &folder) const;

    QByteArray m_nameBytes;
    mutable QString m_name;
    mutable bool m_nameKnown = false;
    quint32 m_listingAttr = 0;
    mutable Platform::EntryInfo m_info;
    mutable bool m_infoKnown = false;
    const Platform::DirListing *m_folder = nullptr;
    QString m_detachedFolder;
    QStringList m_innerPath;
    bool m_locked = false;
};

using TNotifyEvent = std::function<void(QObject *sender)>;
using TFileMatchEvent = std::function<void(QObject *sender, const QString &folder, const TSearchRec &entry)>;
using TFolderChangeEvent = std::function<void(QObject *sender, const QString &folder, TFolderIgnore &answer)>;

// One folder to walk.
class TTargetFolder
{
public:
    QString Path;          // full path ending with the delimiter
    bool Subfolders = false;
    QStringList Masks;     // name patterns enumerated in every folder of this target
    quint16 MinLevel = 0;
    quint16 MaxLevel = 0;
};

// The target folders of a search, newest first, and its exclusion masks.
class TTargetFolderList
{
public:
    TTargetFolderList() = default;
    TTargetFolderList(const TTargetFolderList &) = delete;
    TTargetFolderList &operator=(const TTargetFolderList &) = delete;

    int Count() const { return int(m_folders.size()); }
    TTargetFolder *Folders(int i) const { return m_folders[size_t(i)].get(); }
    // Compares as the file system does (see PathStyle).
    int IndexOfFolder(const QString &path) const;
    TTargetFolder *AddFolder(const QString &path);
    bool IsExcluded(const QString &folder, const QString &name) const;
    void AddTargets(const TFileCriteria &files);

    QStringList ExcludedMasks;

private:
    std::vector<std::unique_ptr<TTargetFolder>> m_folders;
};

QStringList SplitMasks(const QString &text);
bool ReadFolderPrefix(QString &entry, bool defaultValue);

// The prepared search.
class TTargetSearch
{
public:
    explicit TTargetSearch(const TSearchCriteria &criteria);
    ~TTargetSearch();
    TTargetSearch(const TTargetSearch &) = delete;
    TTargetSearch &operator=(const TTargetSearch &) = delete;

    bool AcceptFile(const QString &folder, const TSearchRec &entry) const;

    TTargetFolderList Folders;
    TAttributeCriteria Attribute;
    TDateTimeCriteria TimeStamp;
    TSizeCriteria Size;
    TContentCriteria Content;
    // Where the text of packs and documents is kept between searches (TFindFile::TextCacheFile).
    QString TextCacheFile;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// How a threaded search's events reach the GUI thread.
// - edHandOff: each event is handed over on its own and the worker waits until its handler has
//   run; the folder handler's answer is honoured and Depth() is the level of the event's folder.
// - edBatched: the worker queues the events, in order, and goes on at once; the GUI thread takes
//   them in batches at least every 15 ms while it handles events. The worker never waits for the
//   GUI thread, so a busy GUI thread (or busy other cores) cannot slow the walk. A folder handler's
//   answer is not read (the walk goes on as for fiNone); the entry record stays valid when copied;
//   Depth() is the level the worker is at. After a stop request no queued event is delivered.
enum TEventDelivery { edHandOff, edBatched };

// The search component.
class TFindFile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Threaded READ Threaded WRITE setThreaded)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)
    Q_PROPERTY(bool Searching READ Searching)
    Q_PROPERTY(bool StopRequested READ StopRequested)

public:
    explicit TFindFile(QObject *owner = nullptr);
    ~TFindFile() override;

    TSearchCriteria *Criteria() const { return m_criteria.get(); }
    void setCriteria(const TSearchCriteria *value) { m_criteria->Assign(value); }
    bool Threaded() const { return m_threaded; }
    void setThreaded(bool value) { m_threaded = value; }
    // Taken when a search starts; see TEventDelivery. edHandOff by default.
    TEventDelivery Delivery() const { return m_delivery; }
    void setDelivery(TEventDelivery value) { m_delivery = value; }
    TThreadPriority ThreadPriority() const { return m_threadPriority; }
    void setThreadPriority(TThreadPriority value) { m_threadPriority = value; }
    int Tag() const { return m_tag; }
    void setTag(int value) { m_tag = value; }

    const TFileMatchEvent &OnFileMatch() const { return m_onFileMatch; }
    void setOnFileMatch(TFileMatchEvent handler) { m_onFileMatch = std::move(handler); }
    const TFolderChangeEvent &OnFolderChange() const { return m_onFolderChange; }
    void setOnFolderChange(TFolderChangeEvent handler) { m_onFolderChange = std::move(handler); }
    const TNotifyEvent &OnSearchBegin() const { return m_onSearchBegin; }
    void setOnSearchBegin(TNotifyEvent handler) { m_onSearchBegin = std::move(handler); }
    const TNotifyEvent &OnSearchFinish() const { return m_onSearchFinish; }
    void setOnSearchFinish(TNotifyEvent handler) { m_onSearchFinish = std::move(handler); }
    const TNotifyEvent &OnSearchAbort() const { return m_onSearchAbort; }
    void setOnSearchAbort(TNotifyEvent handler) { m_onSearchAbort = std::move(handler); }

    bool Searching() const { return m_searching; }
    bool StopRequested() const { return m_stopRequested; }
    // Level of the folder being walked (1 = the target folder; levels beyond 65535 read as 65535),
    // 0 when no search runs. May be read from any thread; in a handler it is the level of the
    // folder the event is about.
    quint16 Depth() const { return m_depth.load(std::memory_order_relaxed); }
    // What the current or last search had to leave out, for the user to be told: entries whose
    // names have no exact spelling in the system's encoding (never reported: a path built with the
    // decoded name would lead nowhere; a folder counts once, with all it holds) and folders that
    // could not be opened or read to the end (with the first one's path, spelt as the folder
    // events spell folders, and the system's reason). Emptied when a search begins; complete when
    // OnSearchFinish runs. Read it on the thread that runs the search's events.
    const Platform::WalkReport &Report() const { return m_report; }
    // The worker of the running threaded search; none otherwise.
    const QThread *Worker() const;
    // Where the text read from packs and documents is kept between searches (an SQLite file, see
    // TextCache); empty: none, every pack and document is read each time. Taken when a search starts.
    const QString &TextCacheFile() const { return m_textCacheFile; }
    void setTextCacheFile(const QString &path) { m_textCacheFile = path; }

    // Begins a search with the current criteria; nothing while Searching. In-line it returns when
    // the search has ended (an error raised by a handler still ends it, with the finish event,
    // and then reaches the caller); threaded it returns at once.
    void StartSearch();
    // Requests the running search to stop; nothing unless Searching.
    void StopSearch();
    bool AcceptFile(const QString &folder, const TSearchRec &entry) const;

public Q_SLOTS:
    // The worker's end notification (runs on the GUI thread).
    void ThreadTerminated();

protected:
    virtual void FireSearchBegin();
    virtual void FireSearchFinish();
    virtual void FireSearchAbort();
    virtual TFolderIgnore FireFolderChange(const QString &folder);
    virtual void FireFileMatch(const QString &folder, const TSearchRec &entry);

private:
    friend class TSearchThread;
    friend class InlineEvents;
    friend class WorkerEvents;
    // Batched delivery, on the GUI thread: delivers what the worker has queued.
    void DeliverBatches();
    void DropBatches();
    void SearchTargets();
    void End();

    std::unique_ptr<TSearchCriteria> m_criteria;
    bool m_threaded = false;
    TThreadPriority m_threadPriority = tpNormal;
    int m_tag = 0;
    TFileMatchEvent m_onFileMatch;
    TFolderChangeEvent m_onFolderChange;
    TNotifyEvent m_onSearchBegin;
    TNotifyEvent m_onSearchFinish;
    TNotifyEvent m_onSearchAbort;

    bool m_searching = false;
    bool m_stopRequested = false;
    bool m_destroying = false;
    std::atomic<quint16> m_depth{0}; // written by the walk, on the worker in a threaded search
    // Raised by StopSearch (either mode), for the readers of packs and documents, which look at it
    // inside an entry; lowered when a search starts.
    std::atomic<bool> m_stopFlag{false};
    std::unique_ptr<TSearchThread> m_worker;
    TEventDelivery m_delivery = edHandOff;
    std::unique_ptr<SearchDetail::EventBatches> m_batches; // of the running batched search
    QTimer *m_deliveryTimer = nullptr;
    bool m_workerEnded = false; // the batched search's worker has ended; End follows the last batch
    bool m_delivering = false;
    std::unique_ptr<TTargetSearch> m_targets;
    Platform::WalkReport m_report;
    QString m_textCacheFile;
};

// The worker of a threaded search: one per search, owned by its component, which frees it when
// the run method has ended (on the end notification, or in its destructor after a stop). The one
// worker of the program that is a thread object of its own rather than a Platform::BackgroundWorker
// (docs/background-work.md), by the same rule: StopSearch requests the stop (the interruption
// flag); the component's end notification, or its destructor, then waits for the thread. With
// edHandOff every folder event and file-match event is handed to the GUI thread synchronously and
// the worker waits until the handler has run; with edBatched it queues them and goes on.
class TSearchThread : public QThread
{
public:
    explicit TSearchThread(TFindFile *finder);
    ~TSearchThread() override;

protected:
    void run() override;

private:
    friend class WorkerEvents;
    friend class TFindFile;
    // No hand-off runs from now on: a call the worker waits for (or makes later) returns at once,
    // without its handler. On the GUI thread.
    void closeHandOff();
    // Waits until the thread has ended (its run method returned). On the GUI thread.
    void waitForEnd();
    std::atomic<bool> m_ended{false};
    std::unique_ptr<SearchDetail::HandOffDrain> m_drain; // the GUI thread's end of the hand-off
    std::unique_ptr<SearchDetail::GuiHandOff> m_handOff;
    TFolderIgnore handOffFolderChange(const QString &folder);
    void handOffFileMatch(const QString &folder, const TSearchRec &entry);

    TFindFile *Finder;
    SearchDetail::EventBatches *m_batches; // the queue of a batched search; none with edHandOff
    Platform::WalkReport m_report;         // the walk's own, handed to Finder when the worker has ended
    const QString *CurrentFolder = nullptr;
    TFolderIgnore FolderAction = fiNone;
    const TSearchRec *CurrentEntry = nullptr;
};
