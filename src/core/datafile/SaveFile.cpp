// SPDX-License-Identifier: GPL-3.0-or-later
#include "SaveFile.h"

#include "core/platform/PrivateFiles.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const QLatin1String TemporaryInfix(".vantory-save-");
constexpr int RandomDigits = 8;

// Where a save of path writes: links are followed (a bounded number of them, so that a loop of links
// ends), so that replacing the file keeps the link.
QString resolvedTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 64 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

} // namespace

SaveFile::SaveFile(const QString &target)
    : m_target(resolvedTarget(target))
{
}

SaveFile::~SaveFile()
{
    if (!m_committed)
        removeTemporary();
}

bool SaveFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly) || (mode & Append)) {
        setErrorString(QStringLiteral("Unsupported open mode"));
        return false;
    }
    // A file the user made read-only is not replaced behind their back, though its folder would let
    // us. (Its mode is asked, not whether we may write it: an administrator may write anything.)
    const QFileInfo existing(m_target);
    // Only a regular file is replaced: renaming over a pipe, a device or a folder (where a link may
    // lead) would take away something that holds no accounts and may matter to the system.
    if ((existing.exists() && !existing.isFile()) || (!existing.exists() && existing.isSymLink())) {
        setErrorString(QStringLiteral("%1 is not a regular file").arg(m_target));
        return false;
    }
    if (existing.exists() && !(existing.permissions() & WriteOwner)) {
        setErrorString(QStringLiteral("The file %1 is read-only").arg(m_target));
        return false;
    }
    const Permissions permissions = PrivateFiles::permissionsFor(m_target);
    // A name that is taken (by another save of this file, say) is not ours to reuse: try another.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = m_target + TemporaryInfix
                             + QString::number(QRandomGenerator::global()->generate(), 16)
                                   .rightJustified(RandomDigits, u'0');
        setFileName(name);
        if (QFile::open(WriteOnly | NewOnly | (mode & Unbuffered), permissions)) {
            m_committed = false;
            return true;
        }
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            return false;
    }
    return false;
}

bool SaveFile::commit()
{
    if (!isOpen()) {
        setErrorString(QStringLiteral("The file is not open"));
        return false;
    }
    if (!flush() || !syncToDisk(handle())) {
        const QString reason = errorString();
        removeTemporary();
        setErrorString(reason);
        return false;
    }
    close();
    if (error() != NoError) {
        const QString reason = errorString();
        removeTemporary();
        setErrorString(reason);
        return false;
    }
    std::error_code failure;
    std::filesystem::rename(nativePath(fileName()), nativePath(m_target), failure);
    if (failure) {
        removeTemporary();
        setErrorString(QString::fromStdString(failure.message()));
        return false;
    }
    m_committed = true;
    return true;
}

void SaveFile::cancelWriting()
{
    removeTemporary();
}

void SaveFile::removeTemporary()
{
    if (isOpen())
        close();
    const QString name = fileName();
    if (!name.isEmpty() && leftoverTarget(QFileInfo(name).fileName()) == QFileInfo(m_target).fileName())
        QFile::remove(name);
    setFileName(QString());
}

QString SaveFile::leftoverTarget(const QString &name)
{
    const qsizetype stem = name.size() - TemporaryInfix.size() - RandomDigits;
    if (stem <= 0 || QStringView(name).mid(stem, TemporaryInfix.size()) != TemporaryInfix)
        return QString();
    const QStringView digits = QStringView(name).right(RandomDigits);
    const bool hex = std::all_of(digits.begin(), digits.end(),
                                 [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
    return hex ? name.left(stem) : QString();
}
