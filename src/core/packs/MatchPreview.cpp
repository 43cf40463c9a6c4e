// SPDX-License-Identifier: GPL-3.0-or-later
#include "MatchPreview.h"

#include "DocumentText.h"
#include "PackEntryData.h"
#include "TextCache.h"
#include "core/platform/DirListing.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <functional>
#include <vector>

namespace {

constexpr qint64 kReadChunk = 64 * 1024;
// Raw characters kept in front of the place a match may begin, and wanted after a match: enough for
// kContextChars once runs of white space are squeezed.
constexpr qsizetype kKeepBefore = 1024;
constexpr qsizetype kWantAfter = 1024;

bool stopped(const std::atomic<bool> *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// Takes the next piece of the text; false once it has what it needs.
using ByteSink = std::function<bool(QByteArrayView)>;

void streamEntry(const MatchPreviewRequest &request, const std::atomic<bool> *stop, const ByteSink &sink)
{
    const QString name = PackEntryData::entryName(request.inner);
    if (!DocumentText::isDocumentName(name)) {
        // A sink that has seen enough stops the reading; what the reader says of that is no failure.
        (void)PackEntryData::read(
            request.path, request.inner,
            [&sink](const char *data, qint64 size) {
                return sink({data, size});
            },
            stop);
        return;
    }
    // A document's text needs its bytes whole, as the search takes them; the pack's limits bound them.
    const PackLimits limits;
    QByteArray bytes;
    const Status read = PackEntryData::read(
        request.path, request.inner,
        [&bytes](const char *data, qint64 size) {
            bytes.append(data, size);
            return true;
        },
        stop, nullptr, limits);
    if (!read)
        return;
    DocumentTextOptions options;
    options.stop = stop;
    options.packLimits = limits;
    const DocumentTextResult document = DocumentText::fromBytes(bytes, name, options);
    if (!document.text.isEmpty())
        sink(document.text.toUtf8());
}

// Where the text to look through comes from: a file's bytes, a document's text (as UTF-8) or an
// entry's bytes, handed to sink piece by piece. The one place that knows the sources.
// The text the search kept of an entry or a document, when the file is as it was then (the cache
// is keyed as the search keys it, by the listing's size and time). False when none is kept.
bool streamFromCache(const MatchPreviewRequest &request, const ByteSink &sink)
{
    const QFileInfo info(request.path);
    Platform::DirListing folder;
    Platform::EntryInfo entry;
    if (!folder.open(info.absolutePath()) || !folder.infoOf(QFile::encodeName(info.fileName()), entry))
        return false;
    TextCache cache(request.textCacheFile, TextCache::lookOnly);
    const auto kept = cache.find({request.path, qint64(entry.size), entry.lastWriteTime});
    if (!kept)
        return false;
    QByteArray text;
    bool found = false;
    const bool read = cache.entries(*kept, true, [&](TextCacheEntry &cached) {
        if (cached.chain != request.inner)
            return true;
        // A binary keeps only its printable runs: no text to show from there.
        found = !(cached.flags & (TextCacheEntry::Strings | TextCacheEntry::Locked | TextCacheEntry::Unreadable));
        text = std::move(cached.text);
        return false;
    });
    if (!read || !found)
        return false;
    if (!text.isEmpty())
        sink(text);
    return true;
}

void streamText(const MatchPreviewRequest &request, const std::atomic<bool> *stop, const ByteSink &sink)
{
    const bool kept = !request.inner.isEmpty() ||
                      (request.documentText && DocumentText::isDocumentName(QFileInfo(request.path).fileName()));
    if (kept && !request.textCacheFile.isEmpty() && streamFromCache(request, sink))
        return;
    if (!request.inner.isEmpty()) {
        streamEntry(request, stop, sink);
        return;
    }
    const QFileInfo info(request.path);
    // Only a regular file: opening a FIFO would wait for a writer.
    if (!info.isFile())
        return;
    if (request.documentText && DocumentText::isDocumentName(info.fileName())) {
        DocumentTextOptions options;
        options.stop = stop;
        const DocumentTextResult document = DocumentText::fromFile(request.path, options);
        if (!document.text.isEmpty())
            sink(document.text.toUtf8());
        return;
    }
    QFile file(request.path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray chunk(kReadChunk, Qt::Uninitialized);
    while (!stopped(stop)) {
        const qint64 n = file.read(chunk.data(), kReadChunk);
        if (n <= 0 || !sink(QByteArrayView(chunk.constData(), n)))
            return;
    }
}

// One run of white space or control characters as one space; the rest as it stands.
QString squeezed(QStringView text)
{
    QString result;
    result.reserve(text.size());
    bool space = false;
    for (const QChar c : text) {
        const bool blank = c.isSpace() || c.category() == QChar::Other_Control;
        if (blank && !space)
            result += u' ';
        else if (!blank)
            result += c;
        space = blank;
    }
    return result;
}

// Looks for the phrase in a stream of UTF-8, keeping only the text a preview needs.
class Scanner
{
public:
    Scanner(const QString &phrase, bool ignoreCase)
    {
        m_unicode = std::any_of(phrase.begin(), phrase.end(), [](QChar c) { return c.unicode() >= 0x80; });
        m_ignoreCase = ignoreCase;
        for (const char32_t c : phrase.toUcs4())
            m_phrase.push_back(fold(c));
    }

    // False once the match and what follows it are in.
    bool feed(QByteArrayView bytes)
    {
        m_text += m_decoder.decode(bytes);
        if (m_matchStart < 0 && !search()) {
            dropFront();
            return true;
        }
        if (m_text.size() - m_matchEnd < kWantAfter)
            return true;
        m_endReached = false;
        return false;
    }
    void ended(bool whole) { m_endReached = whole; }
    std::optional<MatchPreviewText> result() const;

private:
    char32_t fold(char32_t c) const
    {
        if (!m_ignoreCase)
            return c;
        if (m_unicode)
            return QChar::toCaseFolded(c);
        return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
    }
    // The code point at i, and where the next begins; false when the text ends inside it.
    bool codePointAt(qsizetype i, char32_t &c, qsizetype &next) const
    {
        const QChar first = m_text.at(i);
        if (first.isHighSurrogate()) {
            if (i + 1 >= m_text.size())
                return false;
            if (m_text.at(i + 1).isLowSurrogate()) {
                c = QChar::surrogateToUcs4(first, m_text.at(i + 1));
                next = i + 2;
                return true;
            }
        }
        c = first.unicode();
        next = i + 1;
        return true;
    }
    bool search();
    void dropFront();

    QStringDecoder m_decoder{QStringDecoder::Utf8};
    std::vector<char32_t> m_phrase;
    bool m_unicode = false;
    bool m_ignoreCase = true;
    QString m_text;         // what is kept of the text decoded so far
    qsizetype m_from = 0;   // in m_text, where the next match may begin
    bool m_dropped = false; // text was dropped from the front of m_text
    bool m_endReached = false;
    qsizetype m_matchStart = -1;
    qsizetype m_matchEnd = -1;
};

// Tries every place from m_from on. A match the text ends in the middle of is tried again with more.
bool Scanner::search()
{
    const qsizetype size = m_text.size();
    qsizetype i = m_from;
    while (i < size) {
        qsizetype j = i;
        size_t k = 0;
        qsizetype afterFirst = i + 1;
        for (; k < m_phrase.size(); ++k) {
            char32_t c = 0;
            if (j >= size || !codePointAt(j, c, j)) {
                m_from = i; // the text ends before this place can be told
                return false;
            }
            if (k == 0)
                afterFirst = j;
            if (fold(c) != m_phrase[k])
                break;
        }
        if (k == m_phrase.size()) {
            m_matchStart = i;
            m_matchEnd = j;
            return true;
        }
        i = afterFirst;
    }
    m_from = size;
    return false;
}

void Scanner::dropFront()
{
    qsizetype cut = m_from - kKeepBefore;
    if (cut <= 0)
        return;
    if (m_text.at(cut).isLowSurrogate())
        ++cut;
    m_text.remove(0, cut);
    m_from -= cut;
    m_dropped = true;
}

std::optional<MatchPreviewText> Scanner::result() const
{
    if (m_matchStart < 0)
        return std::nullopt;
    MatchPreviewText preview;
    preview.match = squeezed(QStringView(m_text).sliced(m_matchStart, m_matchEnd - m_matchStart));
    preview.before = squeezed(QStringView(m_text).first(m_matchStart));
    preview.cutBefore = m_dropped;
    if (preview.before.size() > MatchPreview::kContextChars) {
        preview.before = preview.before.right(MatchPreview::kContextChars);
        if (preview.before.front().isLowSurrogate())
            preview.before.remove(0, 1);
        preview.cutBefore = true;
    }
    if (!preview.cutBefore && preview.before.startsWith(u' '))
        preview.before.remove(0, 1);
    preview.after = squeezed(QStringView(m_text).sliced(m_matchEnd));
    preview.cutAfter = !m_endReached;
    if (preview.after.size() > MatchPreview::kContextChars) {
        preview.after.truncate(MatchPreview::kContextChars);
        if (preview.after.back().isHighSurrogate())
            preview.after.chop(1);
        preview.cutAfter = true;
    }
    if (!preview.cutAfter && preview.after.endsWith(u' '))
        preview.after.chop(1);
    return preview;
}

} // namespace

namespace MatchPreview {

std::optional<MatchPreviewText> find(const MatchPreviewRequest &request, const std::atomic<bool> *stop)
{
    if (request.phrase.isEmpty() || request.path.isEmpty())
        return std::nullopt;
    Scanner scanner(request.phrase, request.ignoreCase);
    bool whole = true;
    streamText(request, stop, [&](QByteArrayView bytes) {
        if (stopped(stop))
            return whole = false;
        return whole = scanner.feed(bytes);
    });
    if (stopped(stop))
        return std::nullopt;
    scanner.ended(whole);
    return scanner.result();
}

} // namespace MatchPreview
