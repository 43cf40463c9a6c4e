#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <memory>

namespace Platform {
class DirListing;
class FileCloser;
class ReadOnlyFile;
} // namespace Platform

// The content test's engine: does a file's byte run (lowered when folding) hold the phrase?
// Files are read sequentially in chunks of at most kChunkSize bytes into one reused buffer; the
// last length-1 bytes of a chunk are carried in front of the next, so a phrase across a chunk
// boundary is found. Inside a chunk the phrase is found with a first/last-byte filter (SSE2, 16
// bytes at a time, on x86-64; a scalar loop elsewhere) and a compare of the rest at candidates.
// ASCII folding needs no pass over the bytes: for a letter of the folded phrase, (byte | 0x20)
// equals it exactly when the byte is that letter in either case.
namespace SearchDetail {

constexpr qint64 kChunkSize = 61440;

class PhraseSearcher
{
public:
    PhraseSearcher();
    ~PhraseSearcher();
    PhraseSearcher(const PhraseSearcher &) = delete;
    PhraseSearcher &operator=(const PhraseSearcher &) = delete;

    // phrase: the bytes to find, already lowered by the ASCII rule when fold is set.
    // lowerTable: the single-byte lowercase mapping applied to the file's bytes when folding;
    // nullptr means A-Z to a-z only (what the platform's mapping is on POSIX).
    void setPhrase(const QByteArray &phrase, bool fold, const unsigned char *lowerTable = nullptr);
    const QByteArray &phrase() const { return m_phrase; }

    bool containsFile(const QString &path);
    // knownRegular: the listing's type says regular file (see ReadOnlyFile::openAt).
    // neededDisk: when given, set to whether the file's first bytes had to come from the disk.
    bool containsAt(const Platform::DirListing &folder, QByteArrayView name, bool knownRegular = false,
                    bool *neededDisk = nullptr);
    // Closes the files that the tests opened and left to be closed in a batch.
    void flush();
    // The test on an opened file, read from its current position (the start).
    bool contains(Platform::ReadOnlyFile &file);
    // A raised flag ends a test under way between two chunks, with false.
    void setCancel(const std::atomic<bool> *cancel) { m_cancel = cancel; }

    // Statistics of the reads since the last reset, for tests.
    struct ReadStats
    {
        qint64 reads = 0;
        qint64 bytes = 0;
        qint64 largestRead = 0;
    };
    const ReadStats &readStats() const { return m_stats; }
    void resetReadStats() { m_stats = ReadStats(); }

private:
    bool search(const unsigned char *data, size_t size) const;
    bool verify(const unsigned char *candidate) const;

    QByteArray m_phrase;
    QByteArray m_orMask;  // per phrase byte: 0x20 for a letter when folding by ASCII, else 0
    const unsigned char *m_lowerTable = nullptr;
    bool m_fold = false;
    const std::atomic<bool> *m_cancel = nullptr;
    std::unique_ptr<Platform::FileCloser> m_closer;
    std::unique_ptr<unsigned char[]> m_buffer;
    size_t m_capacity = 0;
    ReadStats m_stats;
};

// The platform's single-byte lowercase mapping of the active code page when it lowers more than
// A-Z (Windows code pages lower accented capitals too), else nullptr.
const unsigned char *codePageLowerTable();

} // namespace SearchDetail
