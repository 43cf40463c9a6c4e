// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileCount.h"

#include "core/platform/DirListing.h"
#include "core/platform/FolderChain.h"
#include "core/platform/ReadAhead.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Counts depth first without recursion: a folder's files are counted as it is read, its subfolders'
// names kept, and then the subfolders are entered one after another. The folders from the top down
// are held by a FolderChain, which keeps the number of open folders bounded at any depth.
// On a disk that is not in memory, a FolderScout lists the coming folders ahead of the count (see
// ReadAhead.h), once a folder has been slow to list.
class FileCounter
{
public:
    FileCounter(qint32 limit, Platform::WalkReport *report) : m_limit(limit), m_report(report) {}
    ~FileCounter()
    {
        if (m_scout)
            m_scout->stop(); // before the budget it counts against goes
    }

    qint32 count(const QString &folder)
    {
        if (folder.isEmpty())
            return 0;
        m_folder = folder;
        if (!m_chain.start(folder)) {
            if (!Platform::isMissingError(m_chain.error()))
                unreadable(folder, m_chain.error());
            return 0;
        }
        if (!readDeepest())
            return FileCountCap;
        while (m_chain.depth() > 0) {
            Subfolders &here = m_subfolders[size_t(m_chain.depth() - 1)];
            if (here.next >= here.names.size()) {
                m_chain.leave(m_chain.depth() > 1 && hasMore(m_chain.depth() - 2));
                continue;
            }
            const char *name = here.names.constData() + here.next;
            const QByteArrayView entry(name, qsizetype(strlen(name)));
            here.next += entry.size() + 1;
            if (!m_chain.deepest()) {
                // The folder cannot be opened again (moved or closed meanwhile): its other
                // subfolders cannot be reached either.
                unreadable(m_chain.path(), m_chain.error());
                here.next = here.names.size();
                continue;
            }
            switch (m_chain.enter(entry)) {
            case Platform::FolderChain::Entered:
                if (!readDeepest())
                    return FileCountCap;
                break;
            case Platform::FolderChain::Failed:
                if (!Platform::isMissingError(m_chain.error()))
                    unreadable(m_chain.path(entry), m_chain.error());
                break;
            case Platform::FolderChain::Loop:
                break;
            }
        }
        // Two billion files would not fit the count; the cap is the only honest answer then.
        return qint32(std::min<qint64>(m_count, FileCountCap));
    }

private:
    struct Subfolders
    {
        QByteArray names; // NUL-terminated, one after another
        qsizetype next = 0;
    };

    bool hasMore(int level) const
    {
        const Subfolders &s = m_subfolders[size_t(level)];
        return s.next < s.names.size();
    }

    // Counts the files of the folder just entered and keeps its subfolders' names. False as soon as
    // the count passes the limit.
    bool readDeepest()
    {
        const size_t level = size_t(m_chain.depth() - 1);
        if (m_subfolders.size() <= level)
            m_subfolders.resize(level + 1);
        Subfolders &here = m_subfolders[level];
        here.names.clear();
        here.next = 0;
        Platform::DirListing &listing = *m_chain.deepest(); // open: just entered
        ++m_entered;
        if (m_scout)
            m_scout->walkEnteredFolder();
        m_cold.beginListing();
        const auto start = std::chrono::steady_clock::now();
        qsizetype entries = 0;
        while (listing.next()) {
            ++entries;
            if (listing.isDirectory()) {
                const QByteArrayView name = listing.nameBytes();
                here.names.append(name.data(), name.size());
                here.names.append('\0');
            } else if (++m_count > m_limit && m_limit >= 0) {
                return false;
            }
        }
        if (listing.error() != 0)
            unreadable(m_chain.path(), listing.error());
        const qint64 took =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
        if (m_cold.folderListed(took, entries))
            startReadAhead();
        return true;
    }

    void startReadAhead()
    {
        const int budget = Platform::readAheadFileBudget();
        Platform::FolderScout::Target target;
        target.path = m_folder;
        if (!Platform::endsWithSeparator(target.path))
            target.path += Platform::nativeSeparator();
        m_budget = std::make_unique<Platform::ReadAheadBudget>(budget, 0);
        m_scout = std::make_unique<Platform::FolderScout>(std::vector<Platform::FolderScout::Target>{target}, *m_budget,
                                                          128, std::max(1, budget / 3));
        m_scout->start(m_entered);
    }

    void unreadable(const QString &path, int code)
    {
        if (m_report)
            m_report->addUnreadable(path, code);
    }

    const qint64 m_limit;
    Platform::WalkReport *const m_report;
    Platform::FolderChain m_chain;
    std::vector<Subfolders> m_subfolders; // per level, kept for the next folder at that level
    qint64 m_count = 0;
    QString m_folder;
    qint64 m_entered = 0; // folders listed so far
    Platform::ColdDetector m_cold;
    std::unique_ptr<Platform::ReadAheadBudget> m_budget;
    std::unique_ptr<Platform::FolderScout> m_scout;
};

} // namespace

qint32 CountFiles(const QString &folder, qint32 limit)
{
    FileCounter counter(limit, nullptr);
    return counter.count(folder);
}

qint32 CountFilesReporting(const QString &folder, qint32 limit, Platform::WalkReport &report)
{
    FileCounter counter(limit, &report);
    return counter.count(folder);
}

QString FileCountText(qint32 count)
{
    if (count == FileCountCap)
        return QCoreApplication::translate("FileCount", "> %1  ").arg(QLocale().toString(FileCountLimit));
    return QCoreApplication::translate("FileCount", "(%1)  ").arg(QLocale().toString(count));
}
