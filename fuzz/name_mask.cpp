// SPDX-License-Identifier: GPL-3.0-or-later
// The name and path masks on any names against plain matchers written from their rules:
// - MatchesWildcard: letters a-z compared without case, "?" one character (or nothing at the end
//   of the text), and the first "*" ends the test with a match;
// - MatchesFileMask: the name and the mask split at their last dot; a mask without a dot compares
//   the bases only; a name without a dot has the extension "."; "*.*" and "*" match every name;
// - MatchesPathMask: the mask's folder part ends the folder (Windows: "\" and "/" alike, drives
//   "X:" and "\\server\share" compared by their first character unless the mask's starts with a
//   wildcard, case ignored; POSIX: "/" only, case counts), its name part is a file mask;
// - the listing's NameMask: "*" any run, "?" exactly one character, case ignored unit by unit,
//   "*.*" every name, a mask ending in ".*" also matching what it matches without, a mask ending
//   in "." only names without a dot.
// The first byte picks the matcher and how the rest is decoded; the rest is split at NULs into the
// texts the matcher takes.
#include "core/search/FindFile.h"
#include "core/search/NameMask.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what, const QStringList &texts, bool got)
{
    fprintf(stderr, "name_mask: %s gives %s\n", what, got ? "true" : "false");
    for (const QString &t : texts)
        fprintf(stderr, "  \"%s\"\n", t.toUtf8().constData());
    fflush(stderr);
    abort();
}

char16_t asciiUpper(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'a' && u <= u'z' ? char16_t(u - 32) : u;
}

bool refWildcard(QStringView text, QStringView mask)
{
    while (!mask.isEmpty()) {
        if (mask[0] == u'*')
            return true;
        if (text.isEmpty()) {
            if (mask[0] != u'?')
                return false;
        } else {
            if (mask[0] != u'?' && asciiUpper(mask[0]) != asciiUpper(text[0]))
                return false;
            text = text.mid(1);
        }
        mask = mask.mid(1);
    }
    return text.isEmpty();
}

void splitAtLastDot(QStringView s, QStringView &base, QStringView &ext)
{
    const qsizetype dot = s.lastIndexOf(u'.');
    base = dot < 0 ? s : s.left(dot);
    ext = dot < 0 ? QStringView() : s.mid(dot);
}

bool refFileMask(QStringView name, QStringView mask)
{
    QStringView nameBase, nameExt, maskBase, maskExt;
    splitAtLastDot(name, nameBase, nameExt);
    splitAtLastDot(mask, maskBase, maskExt);
    if (maskExt.isEmpty())
        return refWildcard(nameBase, maskBase);
    const QString ext = nameExt.isEmpty() ? QStringLiteral(".") : nameExt.toString();
    return refWildcard(ext, maskExt) && refWildcard(nameBase, maskBase);
}

bool isDelimiter(QChar c, bool windows)
{
    return c == u'/' || (windows && c == u'\\');
}

// The drive of a path in Windows style: "X:", or "\\server\share" up to the delimiter after the
// share's name (a path that ends before that is all drive, but for a delimiter at its very end).
QStringView refDrive(QStringView path, bool windows)
{
    if (!windows)
        return {};
    if (path.size() >= 2 && path[1] == u':')
        return path.left(2);
    if (path.size() < 2 || !isDelimiter(path[0], true) || !isDelimiter(path[1], true))
        return {};
    int delimiters = 0;
    for (qsizetype i = 2; i < path.size(); ++i) {
        if (isDelimiter(path[i], true) && ++delimiters == 2)
            return path.left(i);
    }
    if (path.size() > 2 && isDelimiter(path.back(), true))
        return path.left(path.size() - 1);
    return path;
}

bool samePathChar(QChar a, QChar b, PathStyle style)
{
    char16_t x = a.unicode(), y = b.unicode();
    if (style.windows) {
        x = x == u'/' ? u'\\' : x;
        y = y == u'/' ? u'\\' : y;
    }
    if (!style.caseSensitive) {
        x = asciiUpper(QChar(x));
        y = asciiUpper(QChar(y));
    }
    return x == y;
}

bool refPathMask(QStringView folder, QStringView name, QStringView mask, PathStyle style)
{
    qsizetype split = mask.size();
    while (split > 0 && !isDelimiter(mask[split - 1], style.windows) && !(style.windows && mask[split - 1] == u':'))
        --split;
    QStringView path = mask.left(split);
    const QStringView namePart = mask.mid(split);
    const QStringView folderDrive = refDrive(folder, style.windows);
    const QStringView maskDrive = refDrive(path, style.windows);
    if (!maskDrive.isEmpty()) {
        if (maskDrive[0] != u'*' && maskDrive[0] != u'?' &&
            (folderDrive.isEmpty() || asciiUpper(folderDrive[0]) != asciiUpper(maskDrive[0])))
            return false;
        path = path.mid(maskDrive.size());
    }
    const QStringView rest = folder.mid(folderDrive.size());
    if (rest.size() < path.size())
        return false;
    const QStringView tail = rest.right(path.size());
    for (qsizetype i = 0; i < path.size(); ++i)
        if (!samePathChar(tail[i], path[i], style))
            return false;
    return namePart.isEmpty() || refFileMask(name, namePart);
}

// "*" any run, "?" exactly one unit; units compared upper-cased one by one.
bool refGlob(QStringView name, QStringView mask)
{
    // reach[j]: the mask's first j units match the name's first i units.
    std::vector<char> reach(size_t(mask.size()) + 1, 0), next(reach.size());
    reach[0] = 1;
    for (qsizetype j = 0; j < mask.size() && mask[j] == u'*'; ++j)
        reach[size_t(j) + 1] = 1;
    for (qsizetype i = 0; i < name.size(); ++i) {
        std::fill(next.begin(), next.end(), 0);
        for (qsizetype j = 0; j < mask.size(); ++j) {
            const QChar m = mask[j];
            if (m == u'*') {
                if (reach[size_t(j) + 1] || reach[size_t(j)] || next[size_t(j)])
                    next[size_t(j) + 1] = 1;
            } else if (reach[size_t(j)] && (m == u'?' || m.toUpper() == name[i].toUpper())) {
                next[size_t(j) + 1] = 1;
            }
        }
        reach.swap(next);
    }
    return reach.back();
}

bool refListing(QStringView name, QStringView mask)
{
    QStringView base = mask;
    if (base.endsWith(u'.')) {
        if (name.contains(u'.'))
            return false;
        base.chop(1);
    }
    if (refGlob(name, base))
        return true;
    return base.endsWith(QLatin1String(".*")) && refGlob(name, base.left(base.size() - 2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    // Masks and names longer than this say nothing new; the plain matchers are quadratic.
    constexpr qsizetype kLongest = 300;
    QStringList texts;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (const QByteArray &piece : rest.split('\0')) {
        QString s = (mode & 0x80) ? QString::fromLatin1(piece) : QString::fromUtf8(piece);
        s.truncate(kLongest);
        texts << s;
    }
    while (texts.size() < 3)
        texts << QString();
    const QString &a = texts[0], &b = texts[1], &c = texts[2];

    switch (mode % 5) {
    case 0: {
        const bool got = MatchesWildcard(a, b);
        if (got != refWildcard(a, b))
            fail("MatchesWildcard(text, mask)", {a, b}, got);
        break;
    }
    case 1: {
        const bool got = MatchesFileMask(a, b);
        if (got != refFileMask(a, b))
            fail("MatchesFileMask(name, mask)", {a, b}, got);
        if (!MatchesFileMask(a, QStringLiteral("*.*")) || !MatchesFileMask(a, QStringLiteral("*")))
            fail("MatchesFileMask(name, \"*.*\" or \"*\")", {a}, false);
        break;
    }
    case 2:
    case 3: {
        const PathStyle style = (mode % 5) == 2 ? PathStyle::windowsStyle() : PathStyle::posixStyle();
        const bool got = MatchesPathMask(a, b, c, style);
        if (got != refPathMask(a, b, c, style))
            fail(style.windows ? "MatchesPathMask(folder, name, mask, Windows)"
                               : "MatchesPathMask(folder, name, mask, POSIX)",
                 {a, b, c}, got);
        break;
    }
    case 4: {
        const SearchDetail::NameMask mask(b);
        const bool expected = refListing(a, b);
        if (mask.matches(a) != expected)
            fail("NameMask(mask).matches(name)", {a, b}, !expected);
        // The listing hands names over as UTF-8 bytes; invalid ones are read as their decoding.
        const QByteArray bytes = rest.split('\0').value(0);
        if (!(mode & 0x80) && bytes.size() <= kLongest && mask.matches(QByteArrayView(bytes)) != expected)
            fail("NameMask(mask).matches(name bytes)", {a, b}, !expected);
        if (!SearchDetail::NameMask(QStringLiteral("*.*")).matches(a))
            fail("NameMask(\"*.*\").matches(name)", {a}, false);
        break;
    }
    }
    return 0;
}
