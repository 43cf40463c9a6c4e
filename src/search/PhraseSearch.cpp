// Compiled with -O3 (see CMakeLists.txt): this is the content search's hot loop.
#include "PhraseSearch.h"

#include "platform/DirListing.h"

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
    const qint64 length = m_phrase.size();
    if (length <= 0)
        return true;
    const qint64 size = file.size(); // -1: not known, read to the end
    if (size >= 0 && size < length)
        return false; // nothing is read
    const size_t carryMax = size_t(length - 1);
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
        const qint64 got = file.read(reinterpret_cast<char *>(buffer + carry), n);
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
        if (search(buffer, filled))
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

} // namespace SearchDetail
