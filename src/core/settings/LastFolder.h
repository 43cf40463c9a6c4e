// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the file and folder pickers start: in the folder the user picked something in last, kept in
// the settings between runs, or in the home folder when there is none yet or it is gone.
namespace LastFolder {

// The folder a picker starts in.
QString startFolder();
// The start of a save picker that suggests a file name: that name in the start folder.
QString startPath(const QString &fileName);
// Remembers the folder the user picked, or the folder of the file the user picked.
void rememberFolder(const QString &folder);
void rememberFileFolder(const QString &file);

} // namespace LastFolder
