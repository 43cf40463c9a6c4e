// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <atomic>
#include <memory>

// Reading packs (ZIP, 7z, RAR, tar, and tar compressed with gzip, bzip2, xz or zstd) one entry after
// the other, as a stream: an entry's bytes are handed out in chunks and never held whole, so memory
// stays bounded by a chunk whatever the size of the pack or its entries. Which library does the work
// is this file's business only: no header of ours names it.
//
// Nothing here throws and nothing shows a message: every outcome is a PackStatus with a text that
// names the pack (error()).

// Why a pack, or one of its entries, could not be read to its end. The refusals (isRefusal) are the
// limits a pack built to harm the reader runs into.
enum class PackStatus {
    Ok,             // readable: no entry yet, or everything read so far
    CannotOpen,     // the file could not be read at all
    NotAPack,       // the bytes are no pack of a kind we read
    Damaged,        // truncated or corrupt: the entries before the damage were handed out
    Locked,         // encrypted: a locked entry's data is never read
    Cancelled,      // the stop flag was raised
    NotSupported,   // a kind we read, used in a way we do not (a large 7z inside another pack)
    TooDeep,        // a pack nested deeper than the limit allows
    TooCompressed,  // an entry whose output passed the ratio limit
    TooMuchOutput,  // the pack, nested packs included, gave more output than the limit allows
    TooManyEntries, // the pack, nested packs included, holds more entries than the limit allows
};

// The refusals: limits a pack ran into (the rest: damage, locks, cancels).
bool isRefusal(PackStatus status);

// The limits against packs built to harm the reader (bombs). The defaults are what the program uses;
// tests and fuzzers set smaller ones.
struct PackLimits
{
    // An entry is refused once its output passes both ratio times the compressed bytes it took and
    // ratioFloor, so ordinary files that compress well are never refused.
    qint64 ratio = 100;
    qint64 ratioFloor = qint64(10) * 1024 * 1024;
    // Bytes of output of one pack, counted at every level of nesting.
    qint64 maxOutput = qint64(1) * 1024 * 1024 * 1024;
    // Entries of one pack, nested packs included.
    qint64 maxEntries = 100000;
    // The outermost pack is level 1; a pack at level maxDepth + 1 is refused.
    int maxDepth = 3;
    // A 7z pack cannot be read as a stream; inside another pack it is held in memory up to this size.
    qint64 maxHeldNested = qint64(64) * 1024 * 1024;
};

// One entry of a pack, as its header describes it.
struct PackEntry
{
    QString path;         // inside the pack, as stored ('/' between folders); never empty
    qint64 size = -1;     // what the header claims; -1 when it does not say. The data may differ.
    QDateTime modified;   // UTC; invalid when the pack does not store it
    bool isFolder = false;
    bool isLocked = false; // encrypted: reported, but its data is never read
};

// What a pack and the packs opened inside it came to, counted together.
struct PackTally
{
    qint64 entries = 0;
    qint64 locked = 0;        // locked entries met
    qint64 tooDeep = 0;       // nested packs refused for their depth
    qint64 tooCompressed = 0; // entries refused for their ratio
    qint64 output = 0;        // bytes of output, every level counted
};

// Reads one pack. The usual walk:
//
//     PackReader reader;
//     reader.setStopFlag(&stop);
//     if (reader.open(path)) {
//         while (reader.nextEntry()) {
//             const PackEntry &entry = reader.entry();
//             QByteArray chunk;
//             while (reader.readChunk(chunk))
//                 ...;                      // reader.entryStatus() says why it stopped
//             // or, for an entry that is a pack itself:
//             PackReader inner;
//             if (inner.openNested(reader)) ...
//         }
//     }
//     reader.status();                     // Ok when every entry was reached
//
// A reader is used on one thread; the stop flag may be raised from any other.
class PackReader
{
public:
    explicit PackReader(const PackLimits &limits = PackLimits());
    ~PackReader();
    PackReader(const PackReader &) = delete;
    PackReader &operator=(const PackReader &) = delete;

    // Checked before every chunk and every block read from the source, so a raised flag stops the
    // reader within one chunk. Set it before opening; a nested reader takes its outer's.
    void setStopFlag(const std::atomic<bool> *stop);

    // Opens the pack in a file. False when it cannot: status() and error() say why.
    bool open(const QString &path);
    // Opens a pack held in memory (the bytes are shared, not copied); name is used in error texts.
    bool openBytes(const QByteArray &bytes, const QString &name);
    // Opens the current entry of outer as a pack, streamed from outer's data. outer must outlive
    // this reader and must not move to another entry while it is in use. The limits, the stop flag
    // and the tally are outer's. False when the entry is no pack, or is refused (TooDeep); whatever
    // the outcome, the entry's data is used up: outer goes on with nextEntry().
    bool openNested(PackReader &outer);

    // Moves to the next entry (the rest of the current one is skipped). False at the end of the pack
    // and when reading cannot go on: then status() is Ok at the end, otherwise says why.
    bool nextEntry();
    const PackEntry &entry() const { return m_entry; }

    // Reads the current entry's next bytes into data. Returns the number of bytes (at most max), 0
    // at the end of the entry, -1 when the entry cannot be read on: entryStatus() says why (Locked,
    // TooCompressed, Damaged, Cancelled, ...). A failure of the whole pack also shows in status().
    qint64 read(char *data, qint64 max);
    // read() into chunk, chunkSize() bytes at most. False at the end of the entry or on failure.
    bool readChunk(QByteArray &chunk);
    PackStatus entryStatus() const { return m_entryStatus; }

    PackStatus status() const { return m_status; }
    // The text of the last failure, of the pack or of an entry; it names the pack.
    QString error() const { return m_error; }
    // The pack's name in texts: the file name, and for a nested pack "outer › entry path".
    QString name() const { return m_name; }
    // The level of nesting: 1 for a pack opened from a file or bytes.
    int depth() const { return m_depth; }
    const PackLimits &limits() const;
    PackTally tally() const;

    static constexpr qint64 chunkSize() { return 64 * 1024; }
    // A quick test by name only: true for the names of the kinds read here (.zip, .7z, .rar, .tar,
    // .tar.gz, .tgz, ...). Documents that are ZIP inside (.docx, .odt, .epub) are not packs here.
    static bool isPackName(QStringView name);

    struct Shared;
    class Source;

private:
    bool openSource(std::unique_ptr<Source> source);
    bool openNestedHeld(PackReader &outer, QByteArray head);
    void fail(PackStatus status, const QString &reason);
    void failFromLibrary(PackStatus fallback);
    bool failEntry(PackStatus status, const QString &reason);
    bool checkShared();
    void countOutput();
    bool startEntry();
    void releaseArchive();

    friend struct PackCallbacks;

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Source> m_source;
    struct archive *m_archive = nullptr;
    PackEntry m_entry;
    bool m_hasEntry = false;
    quint64 m_entrySerial = 0; // changes with every entry, so a nested reader notices a move
    PackStatus m_status = PackStatus::Ok;
    PackStatus m_entryStatus = PackStatus::Ok;
    QString m_error;
    QString m_name;
    int m_depth = 1;
    qint64 m_rawRead = 0;        // bytes taken from the source
    qint64 m_entryRawStart = 0;  // m_rawRead when the entry's header was read
    qint64 m_entryOutput = 0;    // bytes of the current entry handed out
    qint64 m_dataOutput = 0;     // bytes of every entry handed out
    qint64 m_counted = 0;        // this reader's output already in the tally
    bool m_sourceCancelled = false;
    PackStatus m_sourceFailure = PackStatus::Ok; // why the source stopped giving bytes, if it did
};
