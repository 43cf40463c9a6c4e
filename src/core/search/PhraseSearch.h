// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace Platform {
class DirListing;
class FileCloser;
class ReadOnlyFile;
} // namespace Platform

// The content test's engine: does a file's byte run (lowered when folding) hold the phrase?
// Files are read sequentially in chunks of at most kChunkSize bytes into one reused buffer; the
// last bytes of a chunk (one less than the longest text a match can span) are carried in front of
// the next, so a phrase across a chunk boundary is found. Inside a chunk the phrase is found with a
// first/last-byte filter (SSE2, 16 bytes at a time, on x86-64; a scalar loop elsewhere) and a
// compare of the rest at candidates. ASCII folding needs no pass over the bytes: for a letter of
// the folded phrase, (byte | 0x20) equals it exactly when the byte is that letter in either case.
//
// A folded phrase that holds characters beyond ASCII, where the local 8-bit encoding is UTF-8 (and
// no code page table lowers the bytes), is matched character by character instead: the file's
// bytes are read as UTF-8 at candidates and each character compared by its simple case fold, so
// "überweisung" finds "ÜBERWEISUNG", "σ" finds "Σ" and "ς", and a character may be spelt with
// more or fewer bytes than its counterpart in the phrase ("ſ" and the KELVIN SIGN fold to "s" and
// "k"; "ß" stays itself and finds the capital sharp s, not "ss"). Bytes that are no UTF-8 match
// no character. A phrase of ASCII characters only stays byte for byte with
// A-Z folded: "i" never finds the dotted capital I.
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
    // nullptr means A-Z to a-z only, or the UTF-8 case folding above for a phrase beyond ASCII.
    void setPhrase(const QByteArray &phrase, bool fold, const unsigned char *lowerTable = nullptr);
    const QByteArray &phrase() const { return m_phrase; }
    // True when the phrase is matched by the case folds of UTF-8 characters, not byte for byte.
    bool foldsUnicode() const { return m_unicode; }

    bool containsFile(const QString &path);
    // knownRegular: the listing's type says regular file (see ReadOnlyFile::openAt).
    // neededDisk: when given, set to whether the file's first bytes had to come from the disk.
    bool containsAt(const Platform::DirListing &folder, QByteArrayView name, bool knownRegular = false,
                    bool *neededDisk = nullptr);
    // Closes the files that the tests opened and left to be closed in a batch.
    void flush();
    // The test on an opened file, read from its current position (the start).
    bool contains(Platform::ReadOnlyFile &file);
    // The test on a stream: read(data, max) gives up to max bytes, 0 at the end, -1 on failure
    // (then false). Used for the entries of packs, which are never held whole.
    using ReadFunction = std::function<qint64(char *data, qint64 max)>;
    bool containsStream(const ReadFunction &read);
    // The test on bytes in memory (the text of a document, as the local 8-bit encoding).
    bool containsBytes(QByteArrayView bytes);
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
    // size: what the source holds, -1 when not known (read to the end).
    bool containsReading(qint64 size, const ReadFunction &read);
    bool search(const unsigned char *data, size_t size) const;
    bool verify(const unsigned char *candidate) const;
    bool prepareUnicode();
    bool searchFolded(const unsigned char *data, size_t size) const;
    bool verifyFolded(const unsigned char *p, const unsigned char *end) const;

    QByteArray m_phrase;
    QByteArray m_orMask;  // per phrase byte: 0x20 for a letter when folding by ASCII, else 0
    const unsigned char *m_lowerTable = nullptr;
    bool m_fold = false;
    // The UTF-8 case folding: the phrase's characters folded, the shortest and the longest byte
    // run that can match them, and the bytes a match can begin with.
    bool m_unicode = false;
    std::vector<char32_t> m_folded;
    size_t m_minBytes = 0;
    size_t m_maxBytes = 0;
    std::vector<unsigned char> m_leads;
    bool m_isLead[256] = {};
    const std::atomic<bool> *m_cancel = nullptr;
    std::unique_ptr<Platform::FileCloser> m_closer;
    std::unique_ptr<unsigned char[]> m_buffer;
    size_t m_capacity = 0;
    ReadStats m_stats;
};

// The platform's single-byte lowercase mapping of the active code page when it lowers more than
// A-Z (Windows code pages lower accented capitals too), else nullptr.
const unsigned char *codePageLowerTable();

// Whether the local 8-bit encoding, in which phrases and file contents are compared, is UTF-8
// (always on Linux and macOS; on Windows when the code page is UTF-8).
bool localEncodingIsUtf8();

} // namespace SearchDetail
