// SPDX-License-Identifier: GPL-3.0-or-later
// The criteria classes and the matching routines. The engine is in FindFileEngine.cpp.
#include "FindFile.h"

#include "PhraseSearch.h"

#include <QDate>
#include <QDir>
#include <QDateTime>
#include <QTime>

#include <cmath>

namespace {

inline char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

// Splits at the last "." : the extension keeps its dot; no dot gives an empty extension.
void splitExtension(const QString &name, QStringView &base, QStringView &ext)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) {
        base = name;
        ext = QStringView();
    } else {
        base = QStringView(name).left(dot);
        ext = QStringView(name).mid(dot);
    }
}

bool matchesWildcardView(QStringView text, QStringView mask)
{
    qsizetype t = 0, m = 0;
    while (t < text.size() && m < mask.size()) {
        const char16_t mc = mask[m].unicode();
        if (mc == u'*')
            return true; // the rest of the text matches; the mask after this "*" is never examined
        if (mc != u'?' && asciiUpper(mc) != asciiUpper(text[t].unicode()))
            return false;
        ++t;
        ++m;
    }
    if (t < text.size())
        return false;
    // The text is used up: a "?" left may match nothing, and the first "*" still ends the test, so
    // that a mask with text after its first "*" behaves as if it ended there whatever the length
    // of the text ("x*z" takes "x" as it takes "xy").
    while (m < mask.size() && mask[m] == u'?')
        ++m;
    return m == mask.size() || mask[m] == u'*';
}

// The drive part of a path: "X:" or the "\\server\share" prefix (Windows style only).
QStringView drivePart(QStringView path, PathStyle style)
{
    if (!style.windows)
        return QStringView();
    if (path.size() >= 2 && path[1] == u':')
        return path.left(2);
    if (path.size() >= 2 && style.isDelimiter(path[0]) && style.isDelimiter(path[1])) {
        // A share: up to, not including, the delimiter after the share's name.
        qsizetype i = 2, delimiters = 0;
        while (i < path.size() - 1 && delimiters < 2) {
            if (style.isDelimiter(path[i]))
                ++delimiters;
            if (delimiters < 2)
                ++i;
        }
        // The loop stops on the last character, or past the end of a path of the two delimiters alone.
        if (i < path.size() && style.isDelimiter(path[i]))
            --i;
        return path.left(i + 1);
    }
    return QStringView();
}

bool pathEqual(QStringView a, QStringView b, PathStyle style)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (style.windows) {
            if (x == u'/')
                x = u'\\';
            if (y == u'/')
                y = u'\\';
        }
        if (!style.caseSensitive) {
            x = asciiUpper(x);
            y = asciiUpper(y);
        }
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

PathStyle PathStyle::native()
{
#if defined(Q_OS_WIN)
    return windowsStyle();
#elif defined(Q_OS_DARWIN)
    return PathStyle{false, false};
#else
    return posixStyle();
#endif
}

// --- TFileCriteria ---------------------------------------------------------------------------

TFileCriteria::TFileCriteria() = default;

void TFileCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TFileCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    m_fileName = s->m_fileName;
    m_location = s->m_location;
    m_included = s->m_included;
    m_excluded = s->m_excluded;
    m_subfolders = s->m_subfolders;
    m_minLevel = s->m_minLevel;
    m_maxLevel = s->m_maxLevel;
}

// --- TAttributeCriteria ----------------------------------------------------------------------

namespace {
struct AttributeMap
{
    TFileAttribute flag;
    quint32 bit;
};
constexpr AttributeMap kAttributeMap[] = {
    {ffArchive, Platform::AttrArchive}, {ffReadonly, Platform::AttrReadOnly}, {ffHidden, Platform::AttrHidden},
    {ffSystem, Platform::AttrSystem},   {ffDirectory, Platform::AttrDirectory},
};
constexpr quint32 kTestedAttributes = 0x37;
} // namespace

TAttributeCriteria::TAttributeCriteria() = default;

void TAttributeCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TAttributeCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    m_attributes = s->m_attributes;
    m_exactMatch = s->m_exactMatch;
}

TFileAttributes TAttributeCriteria::Attributes() const
{
    TFileAttributes set;
    for (const AttributeMap &m : kAttributeMap)
        if (m_attributes & m.bit)
            set.insert(m.flag);
    return set;
}

void TAttributeCriteria::setAttributes(TFileAttributes value)
{
    quint32 bits = 0;
    for (const AttributeMap &m : kAttributeMap)
        if (value.contains(m.flag))
            bits |= m.bit;
    m_attributes = bits;
}

bool TAttributeCriteria::Matches(quint32 attributes) const
{
    const quint32 tested = attributes & kTestedAttributes;
    if (m_exactMatch)
        return tested == (m_attributes & kTestedAttributes);
    return (tested & ~m_attributes) == 0;
}

// --- TDateTimeCriteria -----------------------------------------------------------------------

void TDateTimeCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TDateTimeCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    m_createdBefore = s->m_createdBefore;
    m_createdAfter = s->m_createdAfter;
    m_modifiedBefore = s->m_modifiedBefore;
    m_modifiedAfter = s->m_modifiedAfter;
    m_accessedBefore = s->m_accessedBefore;
    m_accessedAfter = s->m_accessedAfter;
}

bool TDateTimeCriteria::HasBounds() const
{
    return m_createdBefore != 0 || m_createdAfter != 0 || m_modifiedBefore != 0 || m_modifiedAfter != 0
        || m_accessedBefore != 0 || m_accessedAfter != 0;
}

bool TDateTimeCriteria::Matches(Platform::FileTime created, Platform::FileTime modified,
                                Platform::FileTime accessed) const
{
    const struct
    {
        TDateTime before, after;
        Platform::FileTime time;
    } pairs[] = {
        {m_createdBefore, m_createdAfter, created},
        {m_modifiedBefore, m_modifiedAfter, modified},
        {m_accessedBefore, m_accessedAfter, accessed},
    };
    for (const auto &p : pairs) {
        if (p.before == 0 && p.after == 0)
            continue; // skipped without converting the file time
        if (!DateTimeInRange(FileTimeToLocalDateTime(p.time), p.before, p.after))
            return false;
    }
    return true;
}

// --- TSizeCriteria ---------------------------------------------------------------------------

void TSizeCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TSizeCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    m_min = s->m_min;
    m_max = s->m_max;
}

bool TSizeCriteria::Matches(quint64 size) const
{
    if (m_min != 0 && size < quint64(m_min))
        return false;
    if (m_max != 0 && size > quint64(m_max))
        return false;
    return true;
}

// --- TContentCriteria ------------------------------------------------------------------------

TContentCriteria::TContentCriteria() = default;

void TContentCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TContentCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    setPhrase(s->m_phrase);
    setIgnoreCase(s->m_ignoreCase);
    m_searchPacks = s->m_searchPacks;
}

void TContentCriteria::setPhrase(const QString &value)
{
    // Case-sensitive comparison; null and empty count as equal (both are the empty phrase).
    if (value == m_phrase)
        return;
    m_phrase = value;
    updateFolded();
}

void TContentCriteria::setIgnoreCase(bool value)
{
    if (value == m_ignoreCase)
        return;
    m_ignoreCase = value;
    updateFolded();
}

void TContentCriteria::updateFolded()
{
    QByteArray bytes = m_phrase.toLocal8Bit();
    m_phraseLength = qint32(bytes.size());
    if (m_ignoreCase) {
        for (char &c : bytes)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
    }
    m_foldedPhrase = bytes;
}

bool TContentCriteria::Matches(const QString &fileName) const
{
    if (m_phraseLength <= 0)
        return true;
    return FileContainsPhrase(fileName, m_foldedPhrase, m_phraseLength, m_ignoreCase);
}

// --- TSearchCriteria -------------------------------------------------------------------------

TSearchCriteria::TSearchCriteria()
    : m_files(std::make_unique<TFileCriteria>())
    , m_attribute(std::make_unique<TAttributeCriteria>())
    , m_timeStamp(std::make_unique<TDateTimeCriteria>())
    , m_size(std::make_unique<TSizeCriteria>())
    , m_content(std::make_unique<TContentCriteria>())
{
}

TSearchCriteria::~TSearchCriteria() = default;

void TSearchCriteria::Assign(const TPersistent *source)
{
    const auto *s = dynamic_cast<const TSearchCriteria *>(source);
    if (!s)
        return TPersistent::Assign(source);
    m_files->Assign(s->m_files.get());
    m_attribute->Assign(s->m_attribute.get());
    m_timeStamp->Assign(s->m_timeStamp.get());
    m_size->Assign(s->m_size.get());
    m_content->Assign(s->m_content.get());
}

// --- Free routines ---------------------------------------------------------------------------

QString AppendPathDelimiter(const QString &path, PathStyle style)
{
    if (path.isEmpty())
        return path;
    const QChar last = path.back();
    if (style.isDelimiter(last) || (style.windows && last == u':'))
        return path;
    return path + style.delimiter();
}

QString AppendPathDelimiter(const QString &path)
{
    return AppendPathDelimiter(path, PathStyle::native());
}

TDateTime FileTimeToLocalDateTime(Platform::FileTime fileTime)
{
    // 100-ns ticks since 1601-01-01 UTC, to whole milliseconds (as the platform's system time).
    const qint64 ms = Platform::fileTimeToMSecs(fileTime);
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toLocalTime();
    const double days = double(QDate(1899, 12, 30).daysTo(local.date()));
    const double time = double(local.time().msecsSinceStartOfDay()) / 86400000.0;
    // Before 30 December 1899 the days are negative and the time of day counts away from zero
    // (-1.25 is 29 December, 06:00), so the whole part is still the day.
    return days >= 0 ? days + time : days - time;
}

bool DateTimeInRange(TDateTime value, TDateTime before, TDateTime after)
{
    bool result = true;
    const double valueWhole = std::trunc(value);
    const double valueFraction = value - valueWhole;
    if (before != 0) {
        const double whole = std::trunc(before);
        if (before - whole == 0)
            result = valueWhole <= before;
        else if (whole == 0)
            result = valueFraction <= before;
        else
            result = value <= before;
    }
    if (after != 0) {
        const double whole = std::trunc(after);
        bool ok;
        if (after - whole == 0)
            ok = valueWhole >= after;
        else if (whole == 0)
            ok = valueFraction >= after;
        else
            ok = value >= after;
        result = result && ok;
    }
    return result;
}

bool MatchesWildcard(const QString &text, const QString &mask)
{
    return matchesWildcardView(text, mask);
}

bool MatchesFileMask(const QString &fileName, const QString &mask)
{
    QStringView fileBase, fileExt, maskBase, maskExt;
    splitExtension(fileName, fileBase, fileExt);
    splitExtension(mask, maskBase, maskExt);
    if (maskExt.isEmpty())
        return matchesWildcardView(fileBase, maskBase);
    static const QString dot = QStringLiteral(".");
    if (fileExt.isEmpty())
        fileExt = dot;
    return matchesWildcardView(fileExt, maskExt) && matchesWildcardView(fileBase, maskBase);
}

bool MatchesPathMask(const QString &folder, const QString &name, const QString &mask, PathStyle style)
{
    qsizetype split = mask.size();
    while (split > 0) {
        const QChar c = mask[split - 1];
        if (style.isDelimiter(c) || (style.windows && c == u':'))
            break;
        --split;
    }
    QStringView pathPart = QStringView(mask).left(split);
    const QString namePart = mask.mid(split);
    if (!pathPart.isEmpty()) {
        const QStringView folderDrive = drivePart(folder, style);
        const QStringView maskDrive = drivePart(pathPart, style);
        if (!maskDrive.isEmpty()) {
            if (pathPart[0] != u'*' && pathPart[0] != u'?') {
                if (folderDrive.isEmpty()
                    || asciiUpper(folderDrive[0].unicode()) != asciiUpper(maskDrive[0].unicode()))
                    return false;
            }
            pathPart = pathPart.mid(maskDrive.size());
        }
        if (!pathPart.isEmpty()) {
            const qsizetype length = pathPart.size();
            if (folder.size() - folderDrive.size() < length)
                return false;
            if (!pathEqual(QStringView(folder).right(length), pathPart, style))
                return false;
        }
    }
    if (namePart.isEmpty())
        return true;
    return MatchesFileMask(name, namePart);
}

bool MatchesPathMask(const QString &folder, const QString &name, const QString &mask)
{
    return MatchesPathMask(folder, name, mask, PathStyle::native());
}

bool FileContainsPhrase(const QString &fileName, const QByteArray &phrase, qint32 length, bool fold)
{
    if (length <= 0)
        return true;
    SearchDetail::PhraseSearcher searcher;
    searcher.setPhrase(phrase.left(length), fold, SearchDetail::codePageLowerTable());
    return searcher.containsFile(fileName);
}

// The engine's pieces that need no walk: targets, masks, the prepared search.
// (TSearchRec and the component are in FindFileEngine.cpp.)

QStringList SplitMasks(const QString &text)
{
    QStringList result;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype sep = text.indexOf(u';', start);
        if (sep < 0) {
            result << text.mid(start);
            break;
        }
        result << text.mid(start, sep - start);
        start = sep + 1;
    }
    return result;
}

bool ReadFolderPrefix(QString &entry, bool defaultValue)
{
    if (entry.startsWith(u'<')) {
        entry.remove(0, 1);
        return false;
    }
    if (entry.startsWith(u'>')) {
        entry.remove(0, 1);
        return true;
    }
    return defaultValue;
}

int TTargetFolderList::IndexOfFolder(const QString &path) const
{
    const PathStyle style = PathStyle::native();
    for (size_t i = 0; i < m_folders.size(); ++i)
        if (pathEqual(m_folders[i]->Path, path, style))
            return int(i);
    return -1;
}

namespace {
QString expandPath(const QString &path)
{
    if (path.isEmpty())
        return path;
    QString full = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    return QDir::toNativeSeparators(full);
}
} // namespace

TTargetFolder *TTargetFolderList::AddFolder(const QString &path)
{
    const QString full = AppendPathDelimiter(expandPath(path));
    const int index = IndexOfFolder(full);
    if (index >= 0)
        return m_folders[size_t(index)].get();
    auto folder = std::make_unique<TTargetFolder>();
    folder->Path = full;
    m_folders.insert(m_folders.begin(), std::move(folder));
    return m_folders.front().get();
}

bool TTargetFolderList::IsExcluded(const QString &folder, const QString &name) const
{
    for (qsizetype i = ExcludedMasks.size() - 1; i >= 0; --i)
        if (MatchesPathMask(folder, name, ExcludedMasks[i]))
            return true;
    return false;
}

void TTargetFolderList::AddTargets(const TFileCriteria &files)
{
    const PathStyle style = PathStyle::native();
    ExcludedMasks = files.Excluded();
    for (QString entry : files.Included()) {
        const bool subfolders = ReadFolderPrefix(entry, files.Subfolders());
        qsizetype split = entry.size();
        while (split > 0 && !style.isDelimiter(entry[split - 1]) && !(style.windows && entry[split - 1] == u':'))
            --split;
        // An entry without a folder part names no folder: it adds no target (left to the
        // platform, it would search the current directory).
        if (split == 0)
            continue;
        TTargetFolder *folder = AddFolder(entry.left(split));
        folder->Masks << entry.mid(split);
        folder->Subfolders = subfolders;
    }
    const QStringList masks = SplitMasks(files.FileName());
    const QStringList locations = SplitMasks(files.Location());
    for (QString entry : locations) {
        const bool subfolders = ReadFolderPrefix(entry, files.Subfolders());
        // An empty entry ("a;;b") names no folder and adds no target, as an empty Location does.
        if (entry.isEmpty())
            continue;
        TTargetFolder *folder = AddFolder(entry);
        folder->Masks << masks;
        folder->Subfolders = subfolders;
        folder->MinLevel = files.MinLevel();
        folder->MaxLevel = files.MaxLevel();
    }
}

TTargetSearch::TTargetSearch(const TSearchCriteria &criteria)
{
    Folders.AddTargets(*criteria.Files());
    Attribute.Assign(criteria.Attribute());
    TimeStamp.Assign(criteria.TimeStamp());
    Size.Assign(criteria.Size());
    Content.Assign(criteria.Content());
    if (!Content.Phrase().isEmpty()) {
        TFileAttributes set = Attribute.Attributes();
        set.remove(ffDirectory);
        Attribute.setAttributes(set);
    }
}

TTargetSearch::~TTargetSearch() = default;

bool TTargetSearch::AcceptFile(const QString &folder, const TSearchRec &entry) const
{
    if (!Attribute.Matches(entry.Attr()))
        return false;
    // Without bounds the tests pass: the entry's size and times are not fetched.
    if (Size.HasBounds() && !Size.Matches(entry.Size()))
        return false;
    if (TimeStamp.HasBounds() && !TimeStamp.Matches(entry.CreationTime(), entry.LastWriteTime(), entry.LastAccessTime()))
        return false;
    if (!Folders.ExcludedMasks.isEmpty() && Folders.IsExcluded(folder, entry.Name()))
        return false;
    return Content.Matches(folder + entry.Name());
}
