// SPDX-License-Identifier: GPL-3.0-or-later
#include "SaveLeftovers.h"

#include "SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SaveLeftovers {

bool removeLeftover(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    return QFile::remove(path);
}

QStringList remove(const QString &path)
{
    QStringList removed;
    const QFileInfo target(SaveFile(path).targetName());
    if (target.fileName().isEmpty())
        return removed;
    const QDir folder = target.absoluteDir();
    const QStringList names = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (SaveFile::leftoverTarget(name) == target.fileName() && removeLeftover(folder.filePath(name)))
            removed << folder.filePath(name);
    }
    return removed;
}

} // namespace SaveLeftovers
