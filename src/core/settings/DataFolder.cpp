// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolder.h"

#include "RegSettings.h"
#include "SettingsKeys.h"
#include "core/platform/DirListing.h"
#include "core/platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef VANTORY_DATA_TEMPLATE
#define VANTORY_DATA_TEMPLATE "../share/vantory/Data"
#endif

namespace DataFolder {

namespace {

enum class Kind
{
    Chosen,
    BesideProgram,
    PerUser
};

QString resolve(Kind &kind)
{
    QString folder = RegReadString(SettingsKeys::SectionMain, SettingsKeys::SettingDataPath);
    kind = Kind::Chosen;
    if (folder.isEmpty()) {
        const QString beside = QCoreApplication::applicationDirPath() + u'/' + FolderName;
        kind = QFileInfo(beside).isDir() ? Kind::BesideProgram : Kind::PerUser;
        folder = QDir::toNativeSeparators(
            kind == Kind::BesideProgram ? beside : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    }
    if (!Platform::endsWithSeparator(folder))
        folder += QDir::separator();
    return folder;
}

// The template's files are a few hundred bytes each; anything far larger is no template file.
constexpr qint64 MaxTemplateFileSize = 1024 * 1024;

bool copyIfMissing(const QFileInfo &source, const QString &target)
{
    if (QFileInfo::exists(target))
        return true;
    if (source.size() > MaxTemplateFileSize)
        return false;
    QFile in(source.filePath());
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = in.readAll();
    // NewOnly: a file that appeared meanwhile (another start of the program) is left alone.
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return QFileInfo::exists(target);
    if (out.write(data) != data.size() || !out.flush()) {
        out.close();
        out.remove(); // a half-written file would not load; without it the first save makes it whole
        return false;
    }
    out.close();
    return true;
}

} // namespace

QString path()
{
    Kind kind;
    return resolve(kind);
}

QString templatePath()
{
    const QString dir =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(VANTORY_DATA_TEMPLATE));
    return QFileInfo(dir).isDir() ? dir : QString();
}

bool provideFrom(const QString &templateDir, const QString &folder)
{
    const QFileInfoList files = QDir(templateDir).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (files.isEmpty() || !PrivateFiles::makeFolder(folder))
        return false;
    const QDir target(folder);
    bool all = true;
    for (const QFileInfo &file : files) {
        if (!copyIfMissing(file, target.filePath(file.fileName())))
            all = false;
    }
    return all;
}

void provide()
{
    Kind kind;
    const QString folder = resolve(kind);
    if (kind != Kind::PerUser)
        return;
    const QString from = templatePath();
    if (!from.isEmpty())
        provideFrom(from, folder);
}

} // namespace DataFolder
