#include "DataFolder.h"

#include "RegSettings.h"
#include "SettingsKeys.h"
#include "platform/DirListing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataFolder {

QString path()
{
    QString folder = RegReadString(SettingsKeys::SectionMain, SettingsKeys::SettingDataPath);
    if (folder.isEmpty()) {
        const QString beside = QCoreApplication::applicationDirPath() + u'/' + FolderName;
        folder = QDir::toNativeSeparators(
            QFileInfo(beside).isDir() ? beside : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    }
    if (!Platform::endsWithSeparator(folder))
        folder += QDir::separator();
    return folder;
}

} // namespace DataFolder
