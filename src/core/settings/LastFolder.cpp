// SPDX-License-Identifier: GPL-3.0-or-later
#include "LastFolder.h"

#include "RegSettings.h"
#include "SettingsKeys.h"

#include <QDir>
#include <QFileInfo>

using namespace SettingsKeys;

namespace LastFolder {

QString startFolder()
{
    const QString folder = RegReadString(SectionPickers, SettingLastFolder);
    // A folder removed or renamed since (or a drive no longer there) would open the picker nowhere.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QDir::homePath();
    return folder;
}

QString startPath(const QString &fileName)
{
    return QDir(startFolder()).filePath(fileName);
}

void rememberFolder(const QString &folder)
{
    if (!folder.isEmpty())
        RegWriteString(SectionPickers, SettingLastFolder, QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

void rememberFileFolder(const QString &file)
{
    if (!file.isEmpty())
        rememberFolder(QFileInfo(file).absolutePath());
}

} // namespace LastFolder
