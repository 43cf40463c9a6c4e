// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the data folder is: the folder the user chose ("DataPath" in the settings) when there is one;
// else the "Data" folder beside the program when it exists (a portable copy carries its accounts with
// it); else the user's own application data folder, so an installed program never writes beside its
// binary. The path is in the system's separators and ends in one.
namespace DataFolder {

inline const QString FolderName = QStringLiteral("Data");

QString path();

// The folder of an installed program that holds what a new data folder starts with (an empty data
// file and the two mapping files): share/vantory/Data of the installation, found from where the
// program is, so an installation can move as a whole. Empty when there is none (a build tree, a
// portable copy).
QString templatePath();

// Copies into folder every file of templateDir that folder lacks, each one readable and writable by
// the user alone; folder is made (user-only) when missing. A file already in folder is never
// touched, whatever it holds. True when every file of the template is in folder afterwards.
bool provideFrom(const QString &templateDir, const QString &folder);

// At start: when the data folder is the user's own application data folder and the program was
// installed with a template, the folder gets the template's files it lacks, so a user finds the data
// file and its mapping files where the program keeps them from the first run on. A folder the user
// chose and the Data folder beside the program are left as they are; whatever cannot be copied is
// made at the first save, as without a template.
void provide();

} // namespace DataFolder
