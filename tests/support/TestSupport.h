// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace TestSupport {

// Pinned en_US locale, test-mode standard paths, the application's names and title.
void initEnvironment();
// Removes every value of the settings store.
void clearSettings();
// Writes a file (creating its folder); returns false on failure.
bool writeFile(const QString &path, const QByteArray &contents);
// The whole file; empty when it cannot be read.
QByteArray readFile(const QString &path);
// The POSIX mode bits of a file or folder in octal ("600"); empty when there is none to read.
QString fileMode(const QString &path);

} // namespace TestSupport
