// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchResultModel.h"

#include "core/platform/FileOps.h"
#include "core/search/FindFile.h"
#include "MimeIconLoader.h"
#include "PreviewLoader.h"

#include <QApplication>
#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <numeric>

namespace {

const QString kPackSeparator = QStringLiteral(" › ");

qint32 nameStartOf(const QString &path)
{
#ifdef Q_OS_WIN
    return qint32(std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1);
#else
    return qint32(path.lastIndexOf(u'/') + 1);
#endif
}

bool isValidFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
#ifdef Q_OS_WIN
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar c : name) {
        if (c.unicode() < 32 || forbidden.contains(c))
            return false;
    }
    return true;
#else
    return !name.contains(u'/') && !name.contains(QChar(0));
#endif
}

} // namespace

SearchResultModel::SearchResultModel(QObject *parent) : SearchResultModel(nullptr, parent)
{
}

SearchResultModel::SearchResultModel(MimeIconLoader *icons, QObject *parent)
    : QAbstractTableModel(parent), m_icons(icons ? icons : new MimeIconLoader(this)),
      m_previews(new PreviewLoader(this))
{
    connect(m_icons, &MimeIconLoader::iconLoaded, this, &SearchResultModel::iconLoaded);
    connect(m_previews, &PreviewLoader::answersReady, this, &SearchResultModel::takePreviews);
}

SearchResultModel::~SearchResultModel() = default;

QString SearchResultModel::pathKey(const QString &path)
{
#ifdef Q_OS_WIN
    return QDir::fromNativeSeparators(path).toCaseFolded();
#else
    return PathStyle::native().caseSensitive ? path : path.toCaseFolded();
#endif
}

bool SearchResultModel::appendPath(const QString &path)
{
    return appendPaths(QStringList{path}) == 1;
}

int SearchResultModel::appendPaths(const QStringList &paths)
{
    QList<FileResult> results;
    results.reserve(paths.size());
    for (const QString &path : paths)
        results.append({path, QString(), false});
    return appendResults(results);
}

int SearchResultModel::appendResults(const QList<FileResult> &results)
{
    std::vector<Entry> fresh;
    fresh.reserve(results.size());
    // Room for a large batch at once (a reserve within the capacity would still rebuild the set).
    if (results.size() > 1 && m_keys.capacity() < m_keys.size() + results.size())
        m_keys.reserve(m_keys.size() + results.size());
    for (const FileResult &result : results) {
        const QString &path = result.path;
        if (path.isEmpty())
            continue;
        // One hash lookup for the usual case: a new path of an existing file.
        const qsizetype known = m_keys.size();
        const auto key = m_keys.insert(pathKey(path));
        if (m_keys.size() == known)
            continue;
        Platform::FileStatus status;
        if (!Platform::statFile(path, status)) {
            m_keys.erase(key);
            continue;
        }
        Entry entry;
        entry.path = path;
        entry.account = result.account;
        entry.contentMatch = result.contentMatch;
        entry.size = status.size;
        entry.modifiedMs = status.modifiedMs;
        entry.sequence = m_nextSequence++;
        entry.nameStart = nameStartOf(path);
        fresh.push_back(std::move(entry));
    }
    return insertEntries(std::move(fresh));
}

QString SearchResultModel::packEntryText(const QString &packPath, const QStringList &inner)
{
    QString text = packPath;
    for (const QString &part : inner)
        text += kPackSeparator + part;
    return text;
}

int SearchResultModel::appendPackEntries(const QList<PackEntryResult> &entries)
{
    std::vector<Entry> fresh;
    fresh.reserve(entries.size());
    for (const PackEntryResult &found : entries) {
        if (found.packPath.isEmpty() || found.inner.isEmpty())
            continue;
        const QString text = packEntryText(found.packPath, found.inner);
        const qsizetype known = m_keys.size();
        const auto key = m_keys.insert(pathKey(text));
        if (m_keys.size() == known)
            continue;
        Platform::FileStatus status;
        if (!Platform::statFile(found.packPath, status)) {
            m_keys.erase(key);
            continue;
        }
        Entry entry;
        entry.path = text;
        entry.inner = found.inner;
        entry.account = found.account;
        entry.contentMatch = found.contentMatch;
        entry.locked = found.locked;
        entry.size = found.size;
        entry.modifiedMs = found.modifiedMs;
        entry.sequence = m_nextSequence++;
        entry.nameStart = nameStartOf(found.packPath);
        entry.packEnd = qint32(found.packPath.size());
        fresh.push_back(std::move(entry));
    }
    return insertEntries(std::move(fresh));
}

int SearchResultModel::insertEntries(std::vector<Entry> &&fresh)
{
    if (fresh.empty())
        return 0;
    const int first = count();
    m_contentMatches += int(std::count_if(fresh.begin(), fresh.end(), [](const Entry &e) { return e.contentMatch; }));
    beginInsertRows(QModelIndex(), first, first + int(fresh.size()) - 1);
    m_entries.insert(m_entries.end(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    endInsertRows();
    // New entries come last, which is their place in the order of adding; a column order moves them.
    if (m_sortColumn >= 0)
        applySort();
    return int(fresh.size());
}

void SearchResultModel::clear()
{
    beginResetModel();
    m_entries.clear();
    m_keys.clear();
    m_nextSequence = 0;
    m_checkedCount = 0;
    m_contentMatches = 0;
    dropPreviews();
    endResetModel();
    // Whoever follows the check marks learns that none is left, also when none was checked before.
    Q_EMIT checkedChanged(0);
}

bool SearchResultModel::contains(const QString &path) const
{
    return m_keys.contains(pathKey(path));
}

QString SearchResultModel::path(int row) const
{
    return row >= 0 && row < count() ? m_entries[row].path : QString();
}

QString SearchResultModel::filePath(int row) const
{
    if (row < 0 || row >= count())
        return {};
    const Entry &entry = m_entries[row];
    return entry.packEnd < 0 ? entry.path : entry.path.left(entry.packEnd);
}

bool SearchResultModel::isPackEntry(int row) const
{
    return row >= 0 && row < count() && m_entries[row].packEnd >= 0;
}

QStringList SearchResultModel::innerPath(int row) const
{
    return row >= 0 && row < count() ? m_entries[row].inner : QStringList();
}

QString SearchResultModel::account(int row) const
{
    return row >= 0 && row < count() ? m_entries[row].account : QString();
}

bool SearchResultModel::isContentMatch(int row) const
{
    return row >= 0 && row < count() && m_entries[row].contentMatch;
}

// --- Previews ------------------------------------------------------------------------------------

void SearchResultModel::setPreviewPhrase(const QString &phrase, bool ignoreCase, bool documentText)
{
    if (phrase == m_previewPhrase && ignoreCase == m_previewIgnoreCase && documentText == m_previewDocumentText)
        return;
    m_previewPhrase = phrase;
    m_previewIgnoreCase = ignoreCase;
    m_previewDocumentText = documentText;
    dropPreviews();
    for (Entry &entry : m_entries) {
        entry.preview.reset();
        entry.previewDone = false;
    }
    if (count() > 0)
        Q_EMIT dataChanged(index(0, ColumnPreview), index(count() - 1, ColumnPreview));
}

std::optional<MatchPreviewText> SearchResultModel::preview(int row) const
{
    if (row < 0 || row >= count() || !m_entries[row].preview)
        return std::nullopt;
    return *m_entries[row].preview;
}

QString SearchResultModel::previewText(const MatchPreviewText &preview)
{
    const QString ellipsis(QChar(0x2026));
    return (preview.cutBefore ? ellipsis : QString()) + preview.before + preview.match + preview.after +
           (preview.cutAfter ? ellipsis : QString());
}

void SearchResultModel::requestPreview(const Entry &entry) const
{
    if (!entry.contentMatch || entry.previewDone || m_previewPhrase.isEmpty() ||
        m_previewsAsked.contains(entry.sequence))
        return;
    MatchPreviewRequest what;
    what.path = entry.packEnd < 0 ? entry.path : entry.path.left(entry.packEnd);
    what.inner = entry.inner;
    what.phrase = m_previewPhrase;
    what.ignoreCase = m_previewIgnoreCase;
    what.documentText = m_previewDocumentText;
    what.textCacheFile = m_previewTextCache;
    m_previewsAsked.insert(entry.sequence);
    const quint64 key = (quint64(m_generation) << 32) | entry.sequence;
    // Rows asked for long ago and out of sight since are asked for again when they show.
    for (const quint64 dropped : m_previews->request(key, what))
        m_previewsAsked.remove(quint32(dropped));
}

void SearchResultModel::takePreviews()
{
    QHash<quint32, std::optional<MatchPreviewText>> found;
    for (PreviewLoader::Answer &answer : m_previews->takeAnswers()) {
        if (quint32(answer.key >> 32) != m_generation)
            continue;
        const auto sequence = quint32(answer.key);
        m_previewsAsked.remove(sequence);
        found.insert(sequence, std::move(answer.preview));
    }
    if (found.isEmpty())
        return;
    for (int row = 0; row < count() && !found.isEmpty(); ++row) {
        Entry &entry = m_entries[row];
        const auto it = found.find(entry.sequence);
        if (it == found.end())
            continue;
        entry.previewDone = true;
        if (it->has_value())
            entry.preview = std::make_shared<const MatchPreviewText>(std::move(**it));
        found.erase(it);
        const QModelIndex cell = index(row, ColumnPreview);
        Q_EMIT dataChanged(cell, cell);
    }
}

void SearchResultModel::dropPreviews()
{
    // The answers still to come belong to results that are gone, or to another phrase.
    ++m_generation;
    m_previews->dropAll();
    m_previewsAsked.clear();
}

int SearchResultModel::rowOf(const QString &path) const
{
    const QString key = pathKey(path);
    for (int row = 0; row < count(); ++row) {
        if (pathKey(m_entries[row].path) == key)
            return row;
    }
    return -1;
}

bool SearchResultModel::isChecked(int row) const
{
    return row >= 0 && row < count() && m_entries[row].checked;
}

void SearchResultModel::setChecked(int row, bool checked)
{
    setRowsChecked({row}, checked);
}

void SearchResultModel::setRowsChecked(const QList<int> &rows, bool checked)
{
    int first = count();
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= count() || m_entries[row].checked == checked)
            continue;
        m_entries[row].checked = checked;
        m_checkedCount += checked ? 1 : -1;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last < 0)
        return;
    Q_EMIT dataChanged(index(first, ColumnName), index(last, ColumnName), {Qt::CheckStateRole});
    Q_EMIT checkedChanged(m_checkedCount);
}

void SearchResultModel::setAllChecked(bool checked)
{
    QList<int> rows(count());
    std::iota(rows.begin(), rows.end(), 0);
    setRowsChecked(rows, checked);
}

QStringList SearchResultModel::checkedPaths() const
{
    QStringList paths;
    paths.reserve(m_checkedCount);
    for (const Entry &entry : m_entries) {
        if (entry.checked)
            paths << entry.path;
    }
    return paths;
}

bool SearchResultModel::renameEntry(int row, const QString &newName, QString *reason)
{
    if (row < 0 || row >= count())
        return false;
    Entry &entry = m_entries[row];
    if (newName == nameOf(entry))
        return true;
    if (entry.packEnd >= 0) {
        if (reason)
            *reason = tr("An entry inside a pack cannot be renamed.");
        return false;
    }
    auto fail = [&](const QString &text) {
        if (reason)
            *reason = text;
        return false;
    };
    if (!isValidFileName(newName))
        return fail(tr("A file name cannot be empty, \".\" or \"..\", nor contain a path separator."));
    const QString newPath = entry.path.left(entry.nameStart) + newName;
    const QString oldKey = pathKey(entry.path);
    const QString newKey = pathKey(newPath);
    if (newKey == oldKey) {
        // Only the case changes, on a file system that ignores it: the same file keeps its place.
        QFile file(entry.path);
        if (!file.rename(newPath))
            return fail(file.errorString());
    } else {
        const Platform::RenameResult renamed = Platform::renameNoReplace(entry.path, newPath);
        switch (renamed.kind) {
        case Platform::RenameResult::Done:
            break;
        case Platform::RenameResult::Exists:
            return fail(tr("A file with this name already exists."));
        case Platform::RenameResult::Failed:
            return fail(renamed.error);
        }
    }
    m_keys.remove(oldKey);
    m_keys.insert(newKey);
    entry.path = newPath;
    entry.nameStart = nameStartOf(newPath);
    entry.type = -1; // the extension may have changed
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    return true;
}

QString SearchResultModel::displayPath(int row) const
{
    return row >= 0 && row < count() ? displayPath(m_entries[row]) : QString();
}

QString SearchResultModel::displayPath(const Entry &entry) const
{
    // The pack's path in the system's spelling; the paths inside keep their "/".
    if (entry.packEnd < 0)
        return QDir::toNativeSeparators(entry.path);
    return QDir::toNativeSeparators(entry.path.left(entry.packEnd)) + entry.path.mid(entry.packEnd);
}

QString SearchResultModel::typeText(const Entry &entry) const
{
    return entry.locked ? tr("%1 (locked)").arg(typeOf(entry).description) : typeOf(entry).description;
}

QString SearchResultModel::nameOf(const Entry &entry) const
{
    return entry.path.mid(entry.nameStart);
}

QString SearchResultModel::folderOf(const Entry &entry) const
{
    QString folder = entry.path.left(entry.nameStart);
    // "/" and "C:\" keep their separator; every other folder is shown without one.
    if (folder.size() > 1 && !folder.endsWith(QLatin1String(":/")) && !folder.endsWith(QLatin1String(":\\")))
        folder.chop(1);
    return QDir::toNativeSeparators(folder);
}

const SearchResultModel::TypeInfo &SearchResultModel::typeOf(const Entry &entry) const
{
    if (entry.type < 0) {
        // By the name only: reading the file to tell its type would cost a read per entry.
        const QString name = nameOf(entry);
        const QMimeType mime = m_mimeDatabase.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        QString key = mime.name();
        QString description = mime.comment();
        if (mime.isDefault()) {
            // Unknown types are told apart by their extension, as file managers do.
            const qsizetype dot = name.lastIndexOf(u'.');
            const QString suffix = dot > 0 ? name.mid(dot + 1).toUpper() : QString();
            key += u'\n' + suffix;
            description = suffix.isEmpty() ? tr("File") : tr("%1 File").arg(suffix);
        }
        auto it = m_typeIndex.constFind(key);
        if (it == m_typeIndex.cend()) {
            it = m_typeIndex.insert(key, int(m_types.size()));
            m_types.push_back({mime, description});
        }
        entry.type = *it;
    }
    return m_types[entry.type];
}

QIcon SearchResultModel::iconOf(const Entry &entry) const
{
    const QIcon icon = m_icons->icon(typeOf(entry).mime);
    if (!icon.isNull())
        return icon;
    if (m_genericIcon.isNull())
        m_genericIcon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return m_genericIcon;
}

void SearchResultModel::iconLoaded(const QString &)
{
    // The views repaint what they show; entries out of sight cost nothing.
    if (count() > 0)
        Q_EMIT dataChanged(index(0, ColumnName), index(count() - 1, ColumnName), {Qt::DecorationRole});
}

int SearchResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int SearchResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchResultModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry &entry = m_entries[index.row()];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case ColumnName:
            return nameOf(entry);
        case ColumnAccount:
            return entry.account;
        case ColumnFolder:
            return folderOf(entry);
        case ColumnSize:
            // The locale's own format says "1 bytes".
            if (entry.size == 1)
                return tr("1 byte");
            return QLocale().formattedDataSize(entry.size, 1, QLocale::DataSizeTraditionalFormat);
        case ColumnType:
            return typeText(entry);
        case ColumnModified:
            return QLocale().toString(QDateTime::fromMSecsSinceEpoch(entry.modifiedMs), QLocale::ShortFormat);
        case ColumnPreview:
            // Asked for by a view about to show the row: the time to look for it.
            requestPreview(entry);
            return entry.preview ? previewText(*entry.preview) : QString();
        }
        break;
    case PreviewRole:
        if (column != ColumnPreview)
            break;
        requestPreview(entry);
        if (entry.preview)
            return QVariant::fromValue(*entry.preview);
        break;
    case Qt::EditRole:
        if (column == ColumnName)
            return nameOf(entry);
        break;
    case Qt::DecorationRole:
        if (column == ColumnName)
            return iconOf(entry);
        break;
    case Qt::CheckStateRole:
        if (column == ColumnName)
            return entry.checked ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::TextAlignmentRole:
        if (column == ColumnSize)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::ToolTipRole:
        if (entry.locked && (column == ColumnName || column == ColumnType))
            return tr("%1\nThis entry is encrypted: its contents can be neither searched nor opened.")
                .arg(displayPath(entry));
        if (column == ColumnName || column == ColumnFolder)
            return displayPath(entry);
        if (column == ColumnPreview && entry.preview)
            return previewText(*entry.preview);
        break;
    case PathRole:
        return entry.path;
    case SortRole:
        switch (column) {
        case ColumnName:
            return nameOf(entry);
        case ColumnAccount:
            return entry.account;
        case ColumnFolder:
            return folderOf(entry);
        case ColumnSize:
            return entry.size;
        case ColumnType:
            return typeText(entry);
        case ColumnModified:
            return entry.modifiedMs;
        }
        break;
    }
    return {};
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case ColumnName:
            return tr("Name");
        case ColumnAccount:
            return tr("Account");
        case ColumnFolder:
            return tr("In Folder");
        case ColumnSize:
            return tr("Size");
        case ColumnType:
            return tr("Type");
        case ColumnModified:
            return tr("Date Modified");
        case ColumnPreview:
            return tr("Preview");
        }
    }
    if (role == Qt::TextAlignmentRole && section == ColumnSize)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags SearchResultModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == ColumnName) {
        result |= Qt::ItemIsUserCheckable;
        if (m_entries[index.row()].packEnd < 0)
            result |= Qt::ItemIsEditable;
    }
    return result;
}

bool SearchResultModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        index.column() != ColumnName)
        return false;
    if (role == Qt::CheckStateRole) {
        setChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole) {
        const QString newName = value.toString();
        const QString oldPath = m_entries[index.row()].path;
        QString reason;
        if (renameEntry(index.row(), newName, &reason))
            return true;
        Q_EMIT renameFailed(oldPath, newName, reason);
        return false;
    }
    return false;
}

void SearchResultModel::sort(int column, Qt::SortOrder order)
{
    // A preview is found only for the rows in sight: no order can be made of them.
    if (column == ColumnPreview)
        return;
    m_sortColumn = column >= 0 && column < ColumnCount ? column : -1;
    m_sortOrder = order;
    applySort();
}

void SearchResultModel::applySort()
{
    const int n = count();
    if (n < 2)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    reorder(sortedOrder());
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> SearchResultModel::sortedOrder() const
{
    const int n = count();
    // Texts compare as the user's language sorts them, without regard to case and with numbers by
    // their value ("file2" before "file10"); one sort key per entry keeps that affordable.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::vector<QCollatorSortKey> names;
    std::vector<QCollatorSortKey> texts; // the column's text; the folder when sorting by name
    const bool byText = m_sortColumn == ColumnName || m_sortColumn == ColumnAccount || m_sortColumn == ColumnFolder ||
                        m_sortColumn == ColumnType;
    const auto textOf = [this](const Entry &entry) {
        switch (m_sortColumn) {
        case ColumnType:
            return typeText(entry);
        case ColumnAccount:
            return entry.account;
        default:
            return folderOf(entry);
        }
    };
    if (m_sortColumn >= 0) {
        names.reserve(n);
        for (const Entry &entry : m_entries)
            names.push_back(collator.sortKey(nameOf(entry)));
    }
    if (byText) {
        texts.reserve(n);
        for (const Entry &entry : m_entries)
            texts.push_back(collator.sortKey(textOf(entry)));
    }
    // The order among equals: by name (then folder for the name column), then the order of adding.
    auto less = [&](int a, int b) {
        const Entry &x = m_entries[size_t(a)];
        const Entry &y = m_entries[size_t(b)];
        int c = 0;
        switch (m_sortColumn) {
        case ColumnName:
            c = names[a].compare(names[b]);
            if (c == 0)
                c = texts[a].compare(texts[b]);
            break;
        case ColumnAccount:
        case ColumnFolder:
        case ColumnType:
            c = texts[a].compare(texts[b]);
            if (c == 0)
                c = names[a].compare(names[b]);
            break;
        case ColumnSize:
            c = x.size < y.size ? -1 : x.size > y.size ? 1 : names[a].compare(names[b]);
            break;
        case ColumnModified:
            c = x.modifiedMs < y.modifiedMs ? -1 : x.modifiedMs > y.modifiedMs ? 1 : names[a].compare(names[b]);
            break;
        }
        if (c == 0)
            return x.sequence < y.sequence;
        return c < 0;
    };
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (m_sortColumn >= 0 && m_sortOrder == Qt::DescendingOrder)
        std::sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
    else
        std::sort(order.begin(), order.end(), less);

    return order;
}

// Puts the entries in the order given (old row numbers, in their new order), the persistent indexes
// with them.
void SearchResultModel::reorder(const std::vector<int> &order)
{
    const int n = int(order.size());
    std::vector<Entry> sorted;
    sorted.reserve(n);
    std::vector<int> newRow(n);
    for (int i = 0; i < n; ++i) {
        sorted.push_back(std::move(m_entries[order[i]]));
        newRow[order[i]] = i;
    }
    m_entries = std::move(sorted);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to << index(newRow[old.row()], old.column());
    changePersistentIndexList(from, to);
}

QStringList SearchResultModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

QMimeData *SearchResultModel::mimeData(const QModelIndexList &indexes) const
{
    // One URL per entry, in list order, however many of its cells were selected.
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.model() == this)
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty())
        return nullptr;
    QList<QUrl> urls;
    QStringList paths;
    for (int row : std::as_const(rows)) {
        // An entry inside a pack is no file to drop anywhere: only its text travels.
        if (m_entries[row].packEnd < 0)
            urls << QUrl::fromLocalFile(m_entries[row].path);
        paths << displayPath(m_entries[row]);
    }
    auto *mime = new QMimeData;
    mime->setUrls(urls);
    mime->setText(paths.join(u'\n'));
    return mime;
}

Qt::DropActions SearchResultModel::supportedDragActions() const
{
    // Never a move: the files stay where the search found them.
    return Qt::CopyAction | Qt::LinkAction;
}

Qt::DropActions SearchResultModel::supportedDropActions() const
{
    return Qt::IgnoreAction;
}
