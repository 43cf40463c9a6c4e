// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The names under which the program keeps its settings.
namespace SettingsKeys {

inline const QString SectionMain = QStringLiteral("Main");
// Where the data folder is, when the user has moved it.
inline const QString SettingDataPath = QStringLiteral("DataPath");
// Set once the first-run question about a master password was asked.
inline const QString SettingNoPromptSetPassword = QStringLiteral("NoPromptSetPassword");
// The master password, scrambled; empty or absent when there is none.
inline const QString SettingPassword = QStringLiteral("pwd");
// Minutes without input after which encrypted accounts are locked; 0: never. 10 when none is stored.
inline const QString SettingLockMinutes = QStringLiteral("LockAfterMinutes");

// The file and folder pickers' own section.
inline const QString SectionPickers = QStringLiteral("Pickers");
// The folder the user last picked something in, where the next picker starts.
inline const QString SettingLastFolder = QStringLiteral("LastFolder");

// The search window's size and, once the user has sized them, its result columns' widths.
inline const QString SectionSearch = QStringLiteral("Search");
inline const QString SettingSearchWidth = QStringLiteral("Width");
inline const QString SettingSearchHeight = QStringLiteral("Height");
// One per column, in the list's column order: name, account, folder, size, type, date modified,
// preview.
inline const QString SettingSearchColumnWidths[] = {QStringLiteral("NameWidth"),    QStringLiteral("AccountWidth"),
                                                    QStringLiteral("FolderWidth"),  QStringLiteral("SizeWidth"),
                                                    QStringLiteral("TypeWidth"),    QStringLiteral("DateWidth"),
                                                    QStringLiteral("PreviewWidth")};
// Search inside packs and documents: 1 or 0; on when none is stored.
inline const QString SettingSearchPacks = QStringLiteral("SearchPacks");

} // namespace SettingsKeys
