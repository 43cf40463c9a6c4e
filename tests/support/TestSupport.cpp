// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace TestSupport {

void initEnvironment()
{
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Vantory"));
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Vantory"));
}

void clearSettings()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                       QStringLiteral("Vantory"));
    settings.clear();
    settings.sync();
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(contents) == contents.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString fileMode(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return QString::number(st.st_mode & 07777, 8);
#else
    Q_UNUSED(path);
    return QString();
#endif
}

} // namespace TestSupport
