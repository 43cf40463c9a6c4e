// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with -O3 (see CMakeLists.txt): this is the content search's hot loop.
#include "PhraseSearch.h"

#include "core/platform/DirListing.h"

#include <QChar>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VANTORY_PHRASE_SSE2 1
#include <emmintrin.h>
#endif

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace SearchDetail {

namespace {
// Bytes readable after the filled part of the buffer, for the 16-byte loads at its end.
constexpr size_t kPadding = 32;

inline unsigned countTrailingZeros(unsigned v)
{
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, v);
    return unsigned(index);
#else
    return unsigned(__builtin_ctz(v));
#endif
}

// The simple case fold of a character; ASCII by the A-Z rule without a table lookup.
inline char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Reads one UTF-8 character of [p, end) into c; its length, or 0 where the bytes are no UTF-8
// (a stray or missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF, the end).
inline int decodeUtf8(const unsigned char *p, const unsigned char *end, char32_t &c)
{
    const unsigned char b = *p;
    if (b < 0x80) {
        c = b;
        return 1;
    }
    int length;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        c = b & 0x1F;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        c = b & 0x0F;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        c = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

inline size_t utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

inline unsigned char utf8Lead(char32_t c)
{
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    if (c < 0x800)
        return static_cast<unsigned char>(0xC0 | (c >> 6));
    if (c < 0x10000)
        return static_cast<unsigned char>(0xE0 | (c >> 12));
    return static_cast<unsigned char>(0xF0 | (c >> 18));
}

// Every character whose fold differs from itself, as (fold, character), sorted: the other
// spellings of a folded character. Made once, on first use.
const std::vector<std::pair<char32_t, char32_t>> &foldedFrom()
{
    static const std::vector<std::pair<char32_t, char32_t>> pairs = [] {
        std::vector<std::pair<char32_t, char32_t>> result;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c == 0xD800)
                c = 0xE000;
            const char32_t folded = foldCase(c);
            if (folded != c)
                result.emplace_back(folded, c);
        }
        std::sort(result.begin(), result.end());
        return result;
    }();
    return pairs;
}
} // namespace

PhraseSearcher::PhraseSearcher()
    : m_closer(std::make_unique<Platform::FileCloser>())
{
}

void PhraseSearcher::flush()
{
    m_closer->flush();
}
PhraseSearcher::~PhraseSearcher() = default;

void PhraseSearcher::setPhrase(const QByteArray &phrase, bool fold, const unsigned char *lowerTable)
{
    m_phrase = phrase;
    m_fold = fold;
    m_lowerTable = fold ? lowerTable : nullptr;
    m_orMask = QByteArray(phrase.size(), 0);
    if (fold && !lowerTable) {
        for (qsizetype i = 0; i < phrase.size(); ++i) {
            const char c = phrase[i];
            if (c >= 'a' && c <= 'z')
                m_orMask[i] = 0x20;
        }
    }
    m_unicode = fold && !lowerTable && prepareUnicode();
}

// For a phrase beyond ASCII in valid UTF-8: its folded characters, the bytes a match may begin
// with and how long a match may be. False (byte for byte) for ASCII, or bytes that are no UTF-8.
bool PhraseSearcher::prepareUnicode()
{
    m_folded.clear();
    m_leads.clear();
    std::fill(std::begin(m_isLead), std::end(m_isLead), false);
    m_minBytes = m_maxBytes = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(m_phrase.constData());
    const auto *end = p + m_phrase.size();
    if (std::all_of(p, end, [](unsigned char b) { return b < 0x80; }) || !localEncodingIsUtf8())
        return false;
    while (p < end) {
        char32_t c;
        const int length = decodeUtf8(p, end, c);
        if (length == 0)
            return false;
        m_folded.push_back(foldCase(c));
        p += length;
    }
    const auto &others = foldedFrom();
    for (size_t k = 0; k < m_folded.size(); ++k) {
        const char32_t folded = m_folded[k];
        size_t shortest = utf8Length(folded), longest = shortest;
        const auto range = std::equal_range(others.begin(), others.end(), std::make_pair(folded, char32_t(0)),
                                            [](const auto &a, const auto &b) { return a.first < b.first; });
        std::vector<char32_t> spellings{folded};
        for (auto it = range.first; it != range.second; ++it)
            spellings.push_back(it->second);
        for (char32_t c : spellings) {
            shortest = std::min(shortest, utf8Length(c));
            longest = std::max(longest, utf8Length(c));
            if (k == 0 && !m_isLead[utf8Lead(c)]) {
                m_isLead[utf8Lead(c)] = true;
                m_leads.push_back(utf8Lead(c));
            }
        }
        m_minBytes += shortest;
        m_maxBytes += longest;
    }
    return true;
}

bool PhraseSearcher::verifyFolded(const unsigned char *p, const unsigned char *end) const
{
    for (char32_t folded : m_folded) {
        if (p == end)
            return false;
        char32_t c;
        const int length = decodeUtf8(p, end, c);
        if (length == 0 || foldCase(c) != folded)
            return false;
        p += length;
    }
    return true;
}

// True when data[0, size) holds a run of UTF-8 characters whose folds are the phrase's. size +
// kPadding bytes must be readable. Candidates are the bytes a spelling of the first character
// begins with; the rest is decoded and compared there.
bool PhraseSearcher::searchFolded(const unsigned char *data, size_t size) const
{
    if (size < m_minBytes)
        return false;
    const size_t last = size - m_minBytes;
    const unsigned char *end = data + size;
    size_t i = 0;
#ifdef VANTORY_PHRASE_SSE2
    if (m_leads.size() <= 4) {
        __m128i leads[4];
        for (size_t k = 0; k < 4; ++k)
            leads[k] = _mm_set1_epi8(char(m_leads[std::min(k, m_leads.size() - 1)]));
        for (; i <= last; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
            const __m128i e = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, leads[0]), _mm_cmpeq_epi8(a, leads[1])),
                                           _mm_or_si128(_mm_cmpeq_epi8(a, leads[2]), _mm_cmpeq_epi8(a, leads[3])));
            unsigned bits = unsigned(_mm_movemask_epi8(e));
            if (last - i < 15)
                bits &= (1u << (last - i + 1)) - 1;
            while (bits) {
                const unsigned j = countTrailingZeros(bits);
                if (verifyFolded(data + i + j, end))
                    return true;
                bits &= bits - 1;
            }
        }
        return false;
    }
#endif
    for (; i <= last; ++i)
        if (m_isLead[data[i]] && verifyFolded(data + i, end))
            return true;
    return false;
}

bool PhraseSearcher::verify(const unsigned char *candidate) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(m_phrase.constData());
    const auto *m = reinterpret_cast<const unsigned char *>(m_orMask.constData());
    const size_t length = size_t(m_phrase.size());
    // First and last bytes were checked by the filter.
    for (size_t k = 1; k + 1 < length; ++k)
        if ((candidate[k] | m[k]) != p[k])
            return false;
    return true;
}

// True when data[0, size) holds the phrase. size + kPadding bytes must be readable.
bool PhraseSearcher::search(const unsigned char *data, size_t size) const
{
    const size_t length = size_t(m_phrase.size());
    if (size < length)
        return false;
    const size_t last = size - length; // the last position where the phrase may begin
    const auto *p = reinterpret_cast<const unsigned char *>(m_phrase.constData());
    const auto *m = reinterpret_cast<const unsigned char *>(m_orMask.constData());
    const unsigned char first = p[0], lastByte = p[length - 1];
    const unsigned char firstMask = m[0], lastMask = m[length - 1];
    size_t i = 0;
#ifdef VANTORY_PHRASE_SSE2
    const __m128i vFirst = _mm_set1_epi8(char(first)), vFirstMask = _mm_set1_epi8(char(firstMask));
    const __m128i vLast = _mm_set1_epi8(char(lastByte)), vLastMask = _mm_set1_epi8(char(lastMask));
    const unsigned char *tail = data + length - 1;
    // Two blocks per round: the loads of the second overlap the branch of the first.
    for (; i + 32 <= last + 1; i += 32) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(tail + i));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 16));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(tail + i + 16));
        const __m128i e0 = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a0, vFirstMask), vFirst),
                                         _mm_cmpeq_epi8(_mm_or_si128(b0, vLastMask), vLast));
        const __m128i e1 = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a1, vFirstMask), vFirst),
                                         _mm_cmpeq_epi8(_mm_or_si128(b1, vLastMask), vLast));
        unsigned bits = unsigned(_mm_movemask_epi8(e0)) | (unsigned(_mm_movemask_epi8(e1)) << 16);
        while (bits) {
            const unsigned j = countTrailingZeros(bits);
            if (verify(data + i + j))
                return true;
            bits &= bits - 1;
        }
    }
    for (; i <= last; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(tail + i));
        const __m128i e = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, vFirstMask), vFirst),
                                        _mm_cmpeq_epi8(_mm_or_si128(b, vLastMask), vLast));
        unsigned bits = unsigned(_mm_movemask_epi8(e));
        if (last - i < 15)
            bits &= (1u << (last - i + 1)) - 1;
        while (bits) {
            const unsigned j = countTrailingZeros(bits);
            if (verify(data + i + j))
                return true;
            bits &= bits - 1;
        }
    }
    return false;
#else
    for (; i <= last; ++i) {
        if ((data[i] | firstMask) == first && (data[i + length - 1] | lastMask) == lastByte && verify(data + i))
            return true;
    }
    return false;
#endif
}

bool PhraseSearcher::contains(Platform::ReadOnlyFile &file)
{
    return containsReading(file.size(), [&file](char *data, qint64 max) { return file.read(data, max); });
}

bool PhraseSearcher::containsStream(const ReadFunction &read)
{
    return containsReading(-1, read);
}

bool PhraseSearcher::containsBytes(QByteArrayView bytes)
{
    qsizetype at = 0;
    return containsReading(bytes.size(), [&bytes, &at](char *data, qint64 max) {
        const qsizetype n = qsizetype(qMin<qint64>(max, bytes.size() - at));
        memcpy(data, bytes.data() + at, size_t(n));
        at += n;
        return qint64(n);
    });
}

bool PhraseSearcher::containsReading(qint64 size, const ReadFunction &read)
{
    const qint64 length = m_phrase.size();
    if (length <= 0)
        return true;
    // The shortest and longest byte runs a match can be: the phrase's own length byte for byte.
    const qint64 shortest = m_unicode ? qint64(m_minBytes) : length;
    if (size >= 0 && size < shortest)
        return false; // nothing is read
    const size_t carryMax = (m_unicode ? m_maxBytes : size_t(length)) - 1;
    const size_t need = carryMax + size_t(kChunkSize) + kPadding;
    if (m_capacity < need) {
        m_buffer.reset(new (std::nothrow) unsigned char[need]);
        if (!m_buffer) {
            m_capacity = 0;
            return false;
        }
        memset(m_buffer.get(), 0, need);
        m_capacity = need;
    }
    unsigned char *buffer = m_buffer.get();
    size_t carry = 0;
    qint64 rest = size >= 0 ? size : std::numeric_limits<qint64>::max();
    while (rest > 0) {
        if (m_cancel && m_cancel->load(std::memory_order_relaxed))
            return false;
        const qint64 n = qMin(kChunkSize, rest);
        const qint64 got = read(reinterpret_cast<char *>(buffer + carry), n);
        ++m_stats.reads;
        m_stats.largestRead = qMax(m_stats.largestRead, n);
        if (got < 0)
            return false; // a read failed
        m_stats.bytes += got;
        if (got < n && size >= 0)
            return false; // the file shrank while being read
        if (m_lowerTable) {
            unsigned char *q = buffer + carry;
            for (qint64 k = 0; k < got; ++k)
                q[k] = m_lowerTable[q[k]];
        }
        const size_t filled = carry + size_t(got);
        if (m_unicode ? searchFolded(buffer, filled) : search(buffer, filled))
            return true;
        if (got < n)
            return false; // the end of a file of unknown size
        rest -= got;
        carry = qMin(carryMax, filled);
        memmove(buffer, buffer + filled - carry, carry);
    }
    return false;
}

bool PhraseSearcher::containsFile(const QString &path)
{
    if (m_phrase.isEmpty())
        return true;
    Platform::ReadOnlyFile file;
    if (!file.open(path))
        return false;
    return contains(file);
}

bool PhraseSearcher::containsAt(const Platform::DirListing &folder, QByteArrayView name, bool knownRegular,
                                bool *neededDisk)
{
    if (m_phrase.isEmpty())
        return true;
    Platform::ReadOnlyFile file;
    if (!file.openAt(folder, name, knownRegular)) {
        if (!Platform::isOutOfHandlesError(file.error()))
            return false;
        // The files read before, waiting to be closed in a batch, hold what the process may open:
        // closed now, they make room for this one.
        m_closer->flush();
        if (!file.openAt(folder, name, knownRegular))
            return false;
    }
    if (neededDisk)
        *neededDisk = file.needsDisk();
    const bool found = contains(file);
    file.close(*m_closer);
    return found;
}

const unsigned char *codePageLowerTable()
{
#ifdef Q_OS_WIN
    struct Table
    {
        unsigned char map[256];
        bool beyondAscii = false;
        Table()
        {
            for (int i = 0; i < 256; ++i)
                map[i] = static_cast<unsigned char>(i);
            CharLowerBuffA(reinterpret_cast<char *>(map + 1), 255);
            for (int i = 0; i < 256; ++i) {
                const unsigned char ascii = (i >= 'A' && i <= 'Z') ? static_cast<unsigned char>(i + 32)
                                                                   : static_cast<unsigned char>(i);
                if (map[i] != ascii)
                    beyondAscii = true;
            }
        }
    };
    static const Table table;
    return table.beyondAscii ? table.map : nullptr;
#else
    return nullptr;
#endif
}

bool localEncodingIsUtf8()
{
#ifdef Q_OS_WIN
    return GetACP() == CP_UTF8;
#else
    return true;
#endif
}

} // namespace SearchDetail
