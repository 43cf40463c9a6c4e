#pragma once

#include <QString>

// Where the data folder is: the folder the user chose ("DataPath" in the settings) when there is one;
// else the "Data" folder beside the program when it exists (a portable copy carries its accounts with
// it); else the user's own application data folder, so an installed program never writes beside its
// binary. The path is in the system's separators and ends in one.
namespace DataFolder {

inline const QString FolderName = QStringLiteral("Data");

QString path();

} // namespace DataFolder
