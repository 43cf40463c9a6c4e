// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Who the program is: its name, its maker (the two name its settings), and its web site.
namespace ProgramInfo {

inline const QString Name = QStringLiteral("Vantory");
inline const QString Organization = QStringLiteral("Orvane");
inline const QString WebSite = QStringLiteral("https://www.vantory.app/");

} // namespace ProgramInfo
