// SPDX-License-Identifier: GPL-3.0-or-later
// The content test on any bytes and phrases against a plain search of the whole file, with case
// folding off, by A-Z and by a single-byte table, and with the file's size known and not known.
// A phrase beyond ASCII in UTF-8 folded without a table is checked against the whole file decoded
// and folded character by character.
// The file is laid out so that the input's bytes lie on chunk edges: a run of filler bytes (any
// byte, the phrase's own first byte included) ends a little before or after the end of the first
// or second chunk, and the input's bytes follow.
//
// Input: flags, phrase length, filler byte, two bytes of offset, then the phrase and the file's
// own bytes.
#include "core/platform/DirListing.h"
#include "core/search/PhraseSearch.h"

#include <QByteArray>
#include <QChar>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &phrase, qsizetype fileSize, int fold, bool expected)
{
    fprintf(stderr, "phrase_search: %s: the search says %s for the phrase %s (fold %d) in %lld bytes\n", what,
            expected ? "no" : "yes", phrase.toHex(' ').constData(), fold, static_cast<long long>(fileSize));
    fflush(stderr);
    abort();
}

// A single-byte lowercase table beyond A-Z, as a code page has: Latin-1 capitals lowered too.
const std::array<unsigned char, 256> &latin1Lower()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const bool capital = (i >= 'A' && i <= 'Z') || (i >= 0xC0 && i <= 0xDE && i != 0xD7);
            t[size_t(i)] = static_cast<unsigned char>(capital ? i + 32 : i);
        }
        return t;
    }();
    return table;
}

unsigned char asciiLower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// The file decoded as UTF-8 (bytes that are no UTF-8 become U+FFFD) and every character folded.
std::vector<char32_t> foldedCharacters(const QByteArray &bytes)
{
    std::vector<char32_t> characters;
    for (const uint c : QString::fromUtf8(bytes).toUcs4())
        characters.push_back(QChar::toCaseFolded(char32_t(c)));
    return characters;
}

struct Scratch
{
    QTemporaryDir dir;
    QString path;
    Scratch()
    {
        if (!dir.isValid())
            abort();
        path = dir.filePath(QStringLiteral("file.bin"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Scratch scratch;
    static SearchDetail::PhraseSearcher searcher; // one buffer for every file, as a search has
    if (size < 5)
        return 0;
    const int fold = data[0] % 3; // 0 none, 1 A-Z, 2 the table
    const bool sizeKnown = (data[0] & 4) == 0;
    const size_t phraseLength = qMin<size_t>(data[1], size - 5);
    const unsigned char filler = data[2];
    const unsigned offset = data[3] | (data[4] << 8);
    const uint8_t *phraseBytes = data + 5;
    const uint8_t *own = phraseBytes + phraseLength;
    const size_t ownSize = size - 5 - phraseLength;

    // No filler, or a filler that ends up to 255 bytes before or after the end of chunk 1 or 2.
    const int edge = (offset >> 9) % 3;
    const qint64 fillerSize = edge == 0 ? 0 : qMax<qint64>(0, edge * SearchDetail::kChunkSize + (offset & 0x1FF) - 256);
    QByteArray file(fillerSize, char(filler));
    file.append(reinterpret_cast<const char *>(own), qsizetype(ownSize));

    // The phrase as the caller hands it: lowered the same way as the file's bytes when folding.
    QByteArray phrase(reinterpret_cast<const char *>(phraseBytes), qsizetype(phraseLength));
    const unsigned char *table = fold == 2 ? latin1Lower().data() : nullptr;
    auto lower = [&](unsigned char c) { return fold == 0 ? c : fold == 1 ? asciiLower(c) : table[c]; };
    for (char &c : phrase)
        c = char(lower(static_cast<unsigned char>(c)));

    // The plain search: lower a copy of the whole file, then look at every position.
    QByteArray lowered = file;
    for (char &c : lowered)
        c = char(lower(static_cast<unsigned char>(c)));
    const bool plainExpected = phrase.isEmpty() || memmem(lowered.constData(), size_t(lowered.size()), phrase.constData(),
                                                     size_t(phrase.size()));

    QFile out(scratch.path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size())
        abort();
    out.close();

    searcher.setPhrase(phrase, fold != 0, table);
    bool expected = plainExpected;
    if (searcher.foldsUnicode()) {
        const std::vector<char32_t> wanted = foldedCharacters(phrase);
        // The decoder's stand-in for bytes that are no UTF-8 is no character of the phrase's.
        if (std::find(wanted.begin(), wanted.end(), char32_t(QChar::ReplacementCharacter)) != wanted.end())
            return 0;
        const std::vector<char32_t> text = foldedCharacters(file);
        expected = std::search(text.begin(), text.end(), wanted.begin(), wanted.end()) != text.end();
    }
    bool found;
    if (sizeKnown) {
        found = searcher.containsFile(scratch.path);
    } else {
        // As the walk reads a file the listing says is regular: to its end, size not asked for.
        Platform::DirListing folder(scratch.dir.path());
        found = searcher.containsAt(folder, "file.bin", true);
        searcher.flush();
    }
    if (found != expected)
        fail(sizeKnown ? "size known" : "size not known", phrase, file.size(), fold, expected);
    return 0;
}
