// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/packs/MatchPreview.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QMimeDatabase>
#include <QSet>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class MimeIconLoader;
class PreviewLoader;

Q_DECLARE_METATYPE(MatchPreviewText)

// The files a search found, one entry per file, in the order they were added (or as sorted by a
// column). Each entry has a two-state check mark, shown with its name. Entries are never folders:
// the list shows search results only. A result may be an entry inside a pack (a search inside
// packs): it is shown and copied as "pack.zip › folder/article.txt" ("outer.zip › inner.zip › a.txt"
// when nested), with the entry's size and date; it cannot be renamed, and path() gives that text
// while filePath() gives the pack on disk and innerPath() the entry's place inside it.
//
// Each result names the account (its site) in whose save folder it was found. A result of a
// content match shows a line of the text around the match (the preview); it is found in the
// background, only for the rows a view asks for, and kept once found.
//
// Adding a path costs one stat (it tells whether the file still exists, and its size and date);
// the type is taken from the name, once per entry and only when it is first shown or sorted by, and
// the type's icon is loaded in the background.
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnName,
        ColumnAccount,
        ColumnFolder,
        ColumnSize,
        ColumnType,
        ColumnModified,
        ColumnPreview,
        ColumnCount
    };
    enum Role
    {
        PathRole = Qt::UserRole + 1, // the full path
        SortRole,                    // the raw value: name, site, folder, size in bytes, type, ms since 1970 UTC
        PreviewRole,                 // the preview's parts (MatchPreviewText), once found
    };

    // A file on disk, as a search found it.
    struct FileResult
    {
        QString path;
        QString account;           // the site name of the account whose save folder holds it
        bool contentMatch = false; // found by its contents: it gets a preview
    };

    // An entry inside a pack, as a search found it.
    struct PackEntryResult
    {
        QString packPath;     // the pack on disk
        QStringList inner;    // the entry's path inside it; then inside the packs nested in it
        qint64 size = 0;
        qint64 modifiedMs = 0; // ms since 1970 UTC; 0 when the pack stores no date
        QString account;
        bool contentMatch = false;
        bool locked = false; // encrypted: found by its name only
    };
    // The text that names a pack entry: the pack's path, then each path inside, joined by " › ".
    static QString packEntryText(const QString &packPath, const QStringList &inner);

    explicit SearchResultModel(QObject *parent = nullptr);
    // With an icon loader of the caller's choice (tests use one on a theme of their own).
    SearchResultModel(MimeIconLoader *icons, QObject *parent);
    ~SearchResultModel() override;

    // Adds an entry for the file at path. Refused (false, nothing happens) when the path does not
    // name an existing file, or names one that is listed already.
    bool appendPath(const QString &path);
    // Adds the paths in one step (one insertion for the views); refuses as appendPath does.
    // Returns how many were added.
    int appendPaths(const QStringList &paths);
    // Adds files with their account in one step; refuses as appendPath does.
    int appendResults(const QList<FileResult> &results);
    // Adds entries inside packs in one step; refused when listed already or the pack is gone.
    int appendPackEntries(const QList<PackEntryResult> &entries);
    // Removes every entry in one reset. Always notifies checkedChanged(0).
    void clear();

    int count() const { return int(m_entries.size()); }
    // True when path is listed; paths are told apart as the file system tells them apart.
    bool contains(const QString &path) const;
    QString path(int row) const;
    // The file on disk: the path itself, or for an entry inside a pack the pack's path.
    QString filePath(int row) const;
    bool isPackEntry(int row) const;
    // The entry's path inside its pack, then inside each nested pack; empty for a file.
    QStringList innerPath(int row) const;
    // The site name of the result's account; empty when none was given.
    QString account(int row) const;
    bool isContentMatch(int row) const;
    bool hasContentMatches() const { return m_contentMatches > 0; }

    // What the previews look for: the phrase of the search that found the results, whether case is
    // ignored, and whether documents on disk were searched by their text. Previews found for
    // another phrase are dropped.
    void setPreviewPhrase(const QString &phrase, bool ignoreCase, bool documentText);
    // Where the search kept the text of packs and documents: previews take it from there.
    void setPreviewTextCache(const QString &file) { m_previewTextCache = file; }
    // The row's preview once found; nothing until then, and for rows without a content match.
    std::optional<MatchPreviewText> preview(int row) const;
    // The text a preview shows in one line, with "…" where the text goes on.
    static QString previewText(const MatchPreviewText &preview);
    // path() as the user reads it: in the system's spelling (Copy Path, drags).
    QString displayPath(int row) const;
    // The entry's row, or -1.
    int rowOf(const QString &path) const;

    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    void setRowsChecked(const QList<int> &rows, bool checked);
    void setAllChecked(bool checked);
    int checkedCount() const { return m_checkedCount; }
    // The checked entries' paths in list order.
    QStringList checkedPaths() const;

    // Renames the entry's file on disk (within its folder; never over another file) and the entry
    // with it. False with the reason when that fails.
    bool renameEntry(int row, const QString &newName, QString *reason = nullptr);

    // The column sorted by (-1: the order of adding) and its direction. New entries take their
    // place in that order; clear() keeps it.
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // How two paths are compared: equal keys for the same file system entry name.
    static QString pathKey(const QString &path);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

Q_SIGNALS:
    // After every change of check marks, with the number of checked entries.
    void checkedChanged(int checkedCount);
    // An in-place rename (setData) failed; nothing was changed.
    void renameFailed(const QString &path, const QString &newName, const QString &reason);

private:
    struct Entry
    {
        QString path;
        QStringList inner;        // for an entry inside a pack: its place there
        QString account;
        std::shared_ptr<const MatchPreviewText> preview;
        qint64 size = 0;
        qint64 modifiedMs = 0;
        quint32 sequence = 0;     // order of adding
        qint32 nameStart = 0;     // where the file name starts in path
        qint32 packEnd = -1;      // for an entry inside a pack: where the pack's path ends in path
        mutable qint32 type = -1; // index into m_types; -1 until first needed
        bool checked = false;
        bool contentMatch = false;
        bool locked = false;
        bool previewDone = false; // looked for: preview holds it, or there is none
    };
    struct TypeInfo
    {
        QMimeType mime;
        QString description;
    };

    int insertEntries(std::vector<Entry> &&fresh);
    QString displayPath(const Entry &entry) const;
    QString nameOf(const Entry &entry) const;
    // The type's description, marked for a locked entry.
    QString typeText(const Entry &entry) const;
    QString folderOf(const Entry &entry) const;
    const TypeInfo &typeOf(const Entry &entry) const;
    QIcon iconOf(const Entry &entry) const;
    void applySort();
    // The row numbers of the entries in the order of the sort column, equals by name, then as added.
    std::vector<int> sortedOrder() const;
    void reorder(const std::vector<int> &order);
    void iconLoaded(const QString &mimeType);
    // Asks the loader for the entry's preview unless it has it or has been asked.
    void requestPreview(const Entry &entry) const;
    void takePreviews();
    void dropPreviews();

    std::vector<Entry> m_entries;
    QSet<QString> m_keys;
    quint32 m_nextSequence = 0;
    int m_checkedCount = 0;
    int m_contentMatches = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    QMimeDatabase m_mimeDatabase;
    mutable std::vector<TypeInfo> m_types;
    mutable QHash<QString, int> m_typeIndex;
    MimeIconLoader *m_icons;
    mutable QIcon m_genericIcon;

    // The previews: what they look for, the requests under way (by sequence) and the generation of
    // results they belong to (the high half of a request's key).
    PreviewLoader *m_previews;
    QString m_previewPhrase;
    QString m_previewTextCache;
    bool m_previewIgnoreCase = true;
    bool m_previewDocumentText = true;
    mutable QSet<quint32> m_previewsAsked;
    quint32 m_generation = 0;
};
