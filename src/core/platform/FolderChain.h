// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirListing.h"

#include <QByteArray>
#include <QString>

#include <unordered_set>
#include <vector>

namespace Platform {

// The folders of a depth-first walk, from the folder it started at down to the folder it is in,
// each opened relative to the one above it (never by a path, so no limit on the length of paths
// applies however deep the walk goes).
//
// Only the kMaxOpen deepest folders are held open: a walk must not run out of files to open in a
// tree a thousand or more folders deep, and it shares the process's open files with everything
// else. A folder that was closed on the way down is opened again when the walk comes back to it:
// from the folder below by "..", or, when that does not lead back to the same folder (the walk
// came down through a link), by its name from the nearest open folder above it. Either way its
// identity is checked, so a folder moved or replaced meanwhile is noticed, not walked instead.
//
// A folder already on the chain is never entered again: a link that leads back into its own tree
// would be walked without end otherwise.
class FolderChain
{
public:
    // Open folders at most. Deeper walks close the folders above and open them again as needed,
    // for one open, one identity check and one close per folder left that has further subfolders.
    static constexpr int kMaxOpen = 32;

    enum EnterResult
    {
        Entered,
        Failed,
        Loop
    };

    FolderChain();
    ~FolderChain();
    FolderChain(const FolderChain &) = delete;
    FolderChain &operator=(const FolderChain &) = delete;

    // Starts a chain at a folder given by its path (any previous chain ends). False when it cannot
    // be opened; error() says why.
    bool start(const QString &folder);
    // Enters the entry called name (as the listing gave it) of the deepest folder. Failed: it could
    // not be opened, error() says why. Loop: it is a folder already on the chain; not entered.
    EnterResult enter(QByteArrayView name);
    // Leaves the deepest folder. parentNeeded: the walk goes on in the folder above (it has
    // subfolders left), so if that folder was closed it is opened again now, the cheap way from
    // this one.
    void leave(bool parentNeeded);
    // Ends the chain; every folder is closed.
    void clear();

    // The listing of the deepest folder, opened again when it had been closed. nullptr when it
    // cannot be (moved away, no longer readable...); error() says why.
    DirListing *deepest();
    // The number of folders on the chain: 1 after start, 0 before.
    int depth() const { return int(m_levels.size()); }
    // The system's error code of the last failure of start, enter or deepest.
    int error() const { return m_error; }
    // The deepest folder's path (the start folder's path as given, then the names decoded, each
    // followed by a separator), with name appended when given. For telling the user: it may be
    // longer than any path the system takes.
    QString path(QByteArrayView name = {}) const;

private:
    struct Level
    {
        qsizetype nameOffset = 0; // its name in m_names (the start folder has none)
        qsizetype nameLength = 0;
        FolderId id;
    };
    struct IdHash
    {
        size_t operator()(const FolderId &id) const noexcept
        {
            return std::hash<quint64>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
        }
    };
    struct IdEqual
    {
        bool operator()(const FolderId &a, const FolderId &b) const noexcept
        {
            return a.device == b.device && a.inode == b.inode;
        }
    };

    DirListing &slot(int level) { return m_slots[level % kMaxOpen]; }
    bool isOpen(int level) const;
    bool reopen(int level);
    bool sameFolder(const DirListing &listing, const Level &level) const;
    QByteArrayView nameOf(const Level &level) const;
    bool openInto(DirListing &target, DirListing &parent, QByteArrayView name);

    bool isOnChain(const FolderId &id) const;

    // The identities of the first kLinearLevels levels are compared one by one (no memory to
    // manage per folder); deeper ones are looked up in m_deepIds.
    static constexpr size_t kLinearLevels = 64;

    QString m_start;
    std::vector<Level> m_levels;
    QByteArray m_names;
    DirListing m_slots[kMaxOpen];
    int m_owner[kMaxOpen]; // the level whose folder a slot holds open, -1 for none
    DirListing m_steps[2]; // the folders in between when a folder is opened again from far above
    std::unordered_set<FolderId, IdHash, IdEqual> m_deepIds;
    int m_error = 0;
};

} // namespace Platform
