// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

// Small file operations the result list and the copy of found files need, done with one system
// call each where the system allows it.
namespace Platform {

// What one stat of a path tells: its size and last-write time. Links are followed.
struct FileStatus
{
    qint64 size = 0;
    qint64 modifiedMs = 0; // milliseconds since 1970-01-01 UTC
};

// True when the path names something that exists and is not a folder; fills status then.
bool statFile(const QString &path, FileStatus &status);

// What a rename without replace did. Shaped like a Status: an error text and ok().
struct [[nodiscard]] RenameResult
{
    enum Kind
    {
        Done,
        Exists, // the target name is taken: nothing was changed
        Failed, // see the error text
    };
    Kind kind = Done;
    QString error; // the system's reason, without the paths, when it failed

    bool ok() const { return kind == Done; }
};

// Renames from to to, never replacing an existing to: the claim of the new name is atomic wherever
// the file system offers it (renameat2 with RENAME_NOREPLACE, else a hard link, on Linux; an
// exclusive rename on macOS; a rename without replace on Windows). Only file systems that have none
// of these fall back to a test followed by a rename.
RenameResult renameNoReplace(const QString &from, const QString &to);

// The system's text for an error number (errno on POSIX), safe to call from any thread.
QString systemErrorText(int error);

#ifndef Q_OS_WIN
// Whether two statuses of a path are of one version of one file: the same file (device and inode),
// size, modification and change time. A file rewritten in place, even to the same size, changes its
// change time; the status tells it without reading the file.
bool sameFileVersion(const struct stat &a, const struct stat &b);
#endif

} // namespace Platform
