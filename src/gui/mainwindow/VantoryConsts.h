// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The main window's string table: the texts it shows outside its own layout. Texts are looked up at
// the time of use so that a translation loaded at start applies.
namespace VantoryConsts {

QString failedToInsertRecord();
QString askPasswordProtect();

// Backup and restore.
QString backupTitle();
QString restoreTitle();
QString backupFilter();
QString backupDefaultExt();
QString backupFailed();
QString restoreFailed();

// A loaded data file holds what the next save will not keep.
QString loadNotesText();   // file, the list of what changes, then loadNotesCopy or loadNotesNoCopy
QString loadNotesCopy();   // where the copy of the file lies
QString loadNotesNoCopy(); // why no copy could be made

} // namespace VantoryConsts
