// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The text of packs and documents, kept between searches so that a second search over files that
// did not change opens no pack and parses no document.
//
// One SQLite file (in the user's cache folder by default) holds, per file on disk, keyed by its path,
// size and modification time: for a pack, each of its entries (nested packs' entries too) with the
// entry's path, size, date and text; for a document, its text. Texts are compressed. A binary entry
// keeps only its runs of printable ASCII (kStringsRun bytes or longer): a phrase of printable ASCII
// that long is found in those runs exactly when it is found in the bytes (phraseFitsStrings).
// Each file also keeps a filter of the four-byte runs of its texts (lowered), so a search for a phrase
// skips, without reading a text, a file whose texts cannot hold it.
//
// It is a cache and nothing more: deleting the file loses nothing. A file that cannot be opened as a
// cache (damaged, of another format, held by another program) is moved aside, as "<file>.damaged",
// and a new one begun; when even that fails the cache is simply off (isOpen() false), never an error
// for the search. The total size of the texts is bounded: past the bound, the files used longest ago
// go first. Files written but not finished (a stopped search) are never read and are removed.
//
// Reading happens on the thread that made the cache; writing is queued to a thread of its own, which
// compresses and stores while the caller goes on. The destructor waits until what was queued is
// stored, unless abandon() dropped it.
struct TextCacheKey
{
    QString path;
    qint64 size = 0;
    qint64 modified = 0; // the file's modification time, in the finest unit the caller has
};

struct TextCacheEntry
{
    enum Flag : quint32 {
        Locked = 1,     // encrypted, said so by its header: never read
        Unreadable = 2, // its data could not be read (locked or refused): no text
        Pack = 4,       // a pack inside the pack: found by its name; its entries follow it
        Document = 8,   // the text of a document (UTF-8), not the entry's bytes
        Strings = 16,   // binary: only its runs of printable ASCII are kept
    };
    QStringList chain; // the entry's path inside the pack, then inside packs nested in it; empty for a document on disk
    qint64 size = -1;
    qint64 modifiedMs = 0; // 0 when the pack stores no date
    quint32 flags = 0;
    QByteArray text;
};

class TextCache
{
public:
    static constexpr qint64 kDefaultBound = qint64(1) << 30;
    // A longer text is not kept, and the file it belongs to not at all: it is read each time.
    static constexpr qint64 kMaxEntryText = qint64(64) << 20;
    static constexpr int kStringsRun = 4;

    // "<the user's cache folder>/text-cache.sqlite".
    static QString defaultFile();

    explicit TextCache(const QString &file, qint64 bound = kDefaultBound);
    // For a look at what is kept, from anywhere: nothing is written, created or set aside; a file
    // that is not there, or not usable as it is, leaves the cache off.
    enum LookOnly { lookOnly };
    TextCache(const QString &file, LookOnly);
    ~TextCache();
    TextCache(const TextCache &) = delete;
    TextCache &operator=(const TextCache &) = delete;

    bool isOpen() const;
    // The file was found damaged (or held elsewhere) and set aside on opening.
    bool wasSetAside() const;

    struct Record
    {
        qint64 id = 0;
        qint64 lockedEntries = 0; // what reading the file met, to be counted again
        qint64 damagedPacks = 0;
        bool hasStrings = false;  // some entry keeps only its printable runs
        QByteArray grams;         // the filter of its texts' four-byte runs

        // False when no text of the file can hold the phrase (the folded bytes a search looks for,
        // in either case); true when one may, or the filter cannot tell.
        bool mayHold(const QByteArray &phrase) const;
    };
    // The finished record of the file as the key describes it; none when it is not kept, or was kept
    // at another size or date.
    std::optional<Record> find(const TextCacheKey &key);
    // The record's entries in order. withText false leaves the texts out (a search by name).
    // each returns false to stop. False when the cache could not give them all (then it is damaged,
    // and treated as a miss by the caller).
    using EntryFunction = std::function<bool(TextCacheEntry &entry)>;
    bool entries(const Record &record, bool withText, const EntryFunction &each);

    // Whether a phrase (the folded bytes the search looks for) is found in a Strings text exactly
    // when it is found in the entry's bytes.
    static bool phraseFitsStrings(const QByteArray &phrase);

    // Writing, in this order: beginFile, addEntry for each entry, endFile. A file begun anew replaces
    // what was kept of it. An entry's text longer than kMaxEntryText makes the file be dropped.
    void beginFile(const TextCacheKey &key);
    void addEntry(TextCacheEntry entry);
    // The entries flagged Locked or Unreadable are counted as the file's locked ones.
    void endFile(qint64 damagedPacks);
    // Drops the file begun (it was not read to its end).
    void abandonFile();
    // Drops every queued write (the search was stopped); what was stored stays.
    void abandon();
    // Removes what is kept of files under these folders that are gone from the disk. Queued.
    void prune(const QStringList &folders);

    // Removes the cache file (and the files SQLite keeps beside it). False with the reason when one
    // stays.
    static bool empty(const QString &file, QString *error = nullptr);

    // For tests and the bench.
    struct Stats
    {
        qint64 files = 0;
        qint64 bytes = 0; // the stored (compressed) texts
    };
    Stats stats();

    class Private;

private:
    std::unique_ptr<Private> d;
};
