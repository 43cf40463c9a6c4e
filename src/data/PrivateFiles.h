#pragma once

#include <QFileDevice>
#include <QString>

// The accounts hold the user's logins, the passwords only scrambled: the files and folders that keep
// them are the user's alone. (Where the file system has no owner, group and other modes, these only
// keep a file readable and writable.)
namespace PrivateFiles {

// Owner read and write. An existing file keeps its own mode where that is stricter (a file the user
// made read-only stays so), but never what it lets group and others do.
QFileDevice::Permissions permissionsFor(const QString &path);

// Gives a file just opened for writing, before anything is written to it, the mode for the file at
// path. A file system without modes (a memory stick) may refuse; the write goes on all the same.
void setPrivateMode(QFileDevice &file, const QString &path);

// Creates the folder and every missing folder above it, each one user-only; folders that exist keep
// their mode. True when the folder exists afterwards.
bool makeFolder(const QString &path);

// Readies a file for a writer that cannot set the mode itself but keeps the mode of the file it
// replaces: an existing file loses what group and others may do, a missing one is created empty and
// user-only. *created tells whether the file was made here, so that the caller can take it away
// again when the write fails.
bool prepareFile(const QString &path, bool *created = nullptr);

} // namespace PrivateFiles
