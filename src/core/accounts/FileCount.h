// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What CountFiles gives when a folder holds more files than the limit asked for.
const qint32 FileCountCap = 2147483647;
// The limit the account list counts save folders with; also the number shown for a capped count.
const qint32 FileCountLimit = 1000;

namespace Platform {
struct WalkReport;
}

// Counts the files under a folder at every depth; folders themselves do not count, hidden files do,
// and so do files whose names are not valid in the system's encoding (no path is built for them).
// With a limit of 0 or more the count gives up with FileCountCap as soon as it passes the limit,
// wherever in the tree that happens: a folder of a million files is not read to its end to count to
// a thousand. A negative limit means no limit. An empty path, a missing path or a file gives 0; a
// folder that cannot be listed adds 0 (and so does the folder itself). Links to folders are followed,
// but never into a folder that is already being counted, so a link back into its own tree cannot
// loop. Any depth is counted, with a bounded number of folders open and a small stack.
qint32 CountFiles(const QString &folder, qint32 limit);
// CountFiles, and report receives the folders that could not be opened or read to the end (a
// missing top folder is none). The count goes on past each.
qint32 CountFilesReporting(const QString &folder, qint32 limit, Platform::WalkReport &report);

// The text of a file count in the account list and the totals bar: "(1,300)  ", or "> 1,000  " for
// FileCountCap, the number grouped by the current locale.
QString FileCountText(qint32 count);
