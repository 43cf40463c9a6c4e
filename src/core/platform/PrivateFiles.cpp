// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace PrivateFiles {

namespace {
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

QFileDevice::Permissions permissionsFor(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return OwnerOnly;
    return info.permissions() & OwnerOnly;
}

bool makeFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(path)));
    QStringList missing;
    for (QString at = folder; !QFileInfo::exists(at);) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    for (const QString &dir : missing) {
#ifdef Q_OS_UNIX
        const bool made = QDir().mkdir(dir, OwnerOnly | QFileDevice::ExeOwner);
#else
        const bool made = QDir().mkdir(dir);
#endif
        // Another program may have made it meanwhile; that is as good.
        if (!made && !QFileInfo(dir).isDir())
            return false;
    }
    return QFileInfo(folder).isDir();
}

} // namespace PrivateFiles
