// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Reads a whole file that the user may have pointed us at: the data file, a backup, a mapping file.
//
// Only regular files are read, and only up to maxSize bytes. A named pipe would block the program
// until something writes into it, and a device such as /dev/zero never ends; both are refused at
// once, as is a file larger than maxSize. Links are followed: what counts is the file they lead to.
//
// A file that another program rewrites while it is read would give parts of two versions: its size and
// times (modification and status change) are compared before and after, and a file that changed is
// read again, a few times at most, before it is refused.
//
// On failure, data is empty and the error is a short reason without the path ("not a regular file",
// "larger than 256 MB", "changed while it was read" or the system's message), for the caller to put
// into its own sentence.
Status readRegularFile(const QString &path, qint64 maxSize, QByteArray &data);

namespace RegularFileTesting {
// Called on the reading thread after every piece read, with the path and the bytes read so far, so a
// test can change the file in the middle of a read. Pieces are at most pieceSize bytes while a hook
// is set. Set it before reads start and clear it (an empty function) after.
void setReadHook(std::function<void(const QString &path, qint64 done)> hook, qint64 pieceSize = 16);
} // namespace RegularFileTesting
