#include "CommonUtil.h"

#include "DataSet.h"
#include "platform/DirListing.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <memory>
#include <vector>

// ---- Folder file counter -------------------------------------------------------------------------

namespace {

// Walks folders depth first without recursion, so a deep tree cannot exhaust the stack, and reuses
// one listing per depth so that a walk allocates per depth reached, not per folder or per entry.
class FileCounter
{
public:
    explicit FileCounter(const Platform::FolderId &top) { m_path.push_back(top); }

    // Counts every file below the parent's current entry, which is a folder or a link to one.
    qint64 countBelow(const Platform::DirListing &parent)
    {
        if (!enter(parent, 0))
            return 0;
        qint64 count = 0;
        int depth = 0;
        while (depth >= 0) {
            Platform::DirListing &listing = *m_listings[size_t(depth)];
            if (!listing.next()) {
                leave(listing);
                --depth;
            } else if (!listing.isDirectory()) {
                ++count;
            } else if (enter(listing, depth + 1)) {
                ++depth;
            }
        }
        return count;
    }

private:
    bool enter(const Platform::DirListing &parent, int depth)
    {
        if (m_listings.size() <= size_t(depth))
            m_listings.push_back(std::make_unique<Platform::DirListing>());
        Platform::DirListing &listing = *m_listings[size_t(depth)];
        if (!listing.openChild(parent))
            return false;
        // A link that leads back to a folder on the current path would be walked forever.
        const Platform::FolderId id = listing.folderId();
        if (std::find(m_path.cbegin(), m_path.cend(), id) != m_path.cend()) {
            listing.close();
            return false;
        }
        m_path.push_back(id);
        return true;
    }

    void leave(Platform::DirListing &listing)
    {
        listing.close();
        m_path.pop_back();
    }

    std::vector<std::unique_ptr<Platform::DirListing>> m_listings;
    std::vector<Platform::FolderId> m_path;
};

} // namespace

qint32 CountFiles(const QString &folder, qint32 limit)
{
    Platform::DirListing top;
    if (folder.isEmpty() || !top.open(folder))
        return 0;
    FileCounter counter(top.folderId());
    qint64 count = 0;
    while (top.next()) {
        count += top.isDirectory() ? counter.countBelow(top) : 1;
        if (limit >= 0 && count > limit)
            return FileCountCap;
    }
    // Two billion files would not fit the count; the cap is the only honest answer then.
    return qint32(std::min<qint64>(count, FileCountCap));
}

QString FileCountText(qint32 count)
{
    if (count == FileCountCap)
        return QCoreApplication::translate("CommonUtil", "> %1  ").arg(QLocale().toString(FileCountLimit));
    return QCoreApplication::translate("CommonUtil", "(%1)  ").arg(QLocale().toString(count));
}

bool SortDataSet(DataSet &table, const QString &fieldName)
{
    const QString active = table.indexName();
    if (table.fieldIndex(fieldName) < 0)
        return false;
    const QString ascending = fieldName + QStringLiteral("__IdxA");
    const bool descending = active == ascending;
    const QString wanted = descending ? fieldName + QStringLiteral("__IdxD") : ascending;
    if (!table.hasIndex(wanted) && !table.addIndex({wanted, fieldName, descending, false}))
        return false;
    return table.setIndexName(wanted);
}

void RefreshDataSet(DataSet &table)
{
    const DataSet::Bookmark mark = table.bookmark();
    table.close();
    if (table.open())
        table.gotoBookmark(mark);
}
