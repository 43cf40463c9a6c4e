// SPDX-License-Identifier: GPL-3.0-or-later
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

// Creates the folder and every missing folder above it, each one user-only; folders that exist keep
// their mode. True when the folder exists afterwards.
bool makeFolder(const QString &path);

} // namespace PrivateFiles
