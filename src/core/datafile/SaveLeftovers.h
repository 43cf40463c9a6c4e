// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Our files are saved whole or not at all (SaveFile): the new contents go to a temporary file beside
// the old one, which is then renamed over it. A save killed before the rename leaves that temporary
// file behind, a complete or partial copy of the accounts under a name nobody looks at. These take
// away such leftovers of our own saves, recognised by the name only our saves give, and nothing else.
namespace SaveLeftovers {

// Removes path when it is a regular file (never a link or a folder).
bool removeLeftover(const QString &path);

// Removes the leftovers of the saves of the file path; they lie beside the file a link points to,
// as the save writes there. Returns the paths removed.
QStringList remove(const QString &path);

} // namespace SaveLeftovers
