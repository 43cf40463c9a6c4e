// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// Folder trees that the ordinary file API cannot make or remove: far deeper than a path may be long,
// or with names that are not valid in the system's encoding. Everything here works relative to open
// folders (mkdirat, openat, unlinkat), holds one or two folders open at a time and never recurses.
// POSIX only; on Windows every function fails (returns false or an invalid tree).
namespace TestSupport {

// A template for QTemporaryDir in memory (/dev/shm) where the system has such a place, else in the
// temporary folder: for fixtures of thousands of entries, which take long on a disk.
QString fastTempTemplate();

// A chain of folders, each named "d", levels deep below root(), with one empty file "f" in each of
// them (so levels files in all), in a temporary folder of its own (fastTempTemplate()). Removed with
// everything in it when destroyed.
class DeepTree
{
public:
    explicit DeepTree(int levels);
    ~DeepTree();
    DeepTree(const DeepTree &) = delete;
    DeepTree &operator=(const DeepTree &) = delete;

    bool isValid() const { return m_valid; }
    QString root() const { return m_root; }

private:
    QTemporaryDir m_dir;
    QString m_root;
    bool m_valid = false;
};

// Creates an entry at path, given as the bytes the system takes (any names): a folder when asFolder,
// else an empty file.
bool makeRawEntry(const QByteArray &path, bool asFolder);

// Removes folder and everything below it, whatever the depth and the names.
bool removeTree(const QString &folder);

// Runs work on a thread of its own with a stack of stackSize bytes and waits for it. With
// honourPermissions, the thread gives up the privilege to bypass file permissions first (which a
// test running as root has), so that a folder without read permission cannot be read on it.
void runOnThread(const std::function<void()> &work, unsigned stackSize, bool honourPermissions = false);

// While it lives, the calling thread (and every thread it starts meanwhile, which inherits it) has
// given up the privilege to bypass file permissions, as runOnThread's honourPermissions does: a
// file or folder without read permission cannot be read then, also by a test running as root.
// isValid() is false where the privilege could not be given up (then it is not held either, unless
// the process runs as root).
class HonourPermissions
{
public:
    HonourPermissions();
    ~HonourPermissions();
    HonourPermissions(const HonourPermissions &) = delete;
    HonourPermissions &operator=(const HonourPermissions &) = delete;
    bool isValid() const { return m_valid; }

private:
    quint32 m_saved = 0;
    bool m_valid = false;
};

// The paths of the list that lead to nothing (a link counts as there, wherever it leads), in the
// order given. Paths may be of any length and depth: each is followed folder by folder from the
// one the last path ended in, with one folder open at a time, so a sorted list of paths deep down
// one tree costs about one step per folder.
QStringList missingPaths(const QStringList &paths);

// Lowers the process's limit of open files (the soft limit) while it lives.
class OpenFileLimit
{
public:
    explicit OpenFileLimit(unsigned limit);
    ~OpenFileLimit();
    OpenFileLimit(const OpenFileLimit &) = delete;
    OpenFileLimit &operator=(const OpenFileLimit &) = delete;
    bool isValid() const { return m_valid; }

private:
    unsigned long long m_saved = 0;
    bool m_valid = false;
};

} // namespace TestSupport
