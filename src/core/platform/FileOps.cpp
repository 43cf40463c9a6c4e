// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileOps.h"

#include <QDir>
#include <QFile>

#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

QString systemErrorText(int error)
{
#ifdef Q_OS_WIN
    return qt_error_string(error);
#else
    // The standard library's text comes from strerror_r: no shared buffer, so workers may ask too.
    return QString::fromLocal8Bit(std::generic_category().message(error));
#endif
}

#ifdef Q_OS_WIN

bool statFile(const QString &path, FileStatus &status)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                              GetFileExInfoStandard, &data))
        return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    status.size = (qint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const qint64 ticks = (qint64(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    status.modifiedMs = (ticks - 116444736000000000LL) / 10000;
    return true;
}

RenameResult renameNoReplace(const QString &from, const QString &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move refuses a taken name in one step.
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()), 0))
        return {};
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return {RenameResult::Exists, QString()};
    return {RenameResult::Failed, systemErrorText(int(code))};
}

#else

bool statFile(const QString &path, FileStatus &status)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    status.size = st.st_size;
#ifdef Q_OS_DARWIN
    status.modifiedMs = qint64(st.st_mtimespec.tv_sec) * 1000 + st.st_mtimespec.tv_nsec / 1000000;
#else
    status.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
#endif
    return true;
}

bool sameFileVersion(const struct stat &a, const struct stat &b)
{
#ifdef Q_OS_DARWIN
    const auto &am = a.st_mtimespec, &bm = b.st_mtimespec, &ac = a.st_ctimespec, &bc = b.st_ctimespec;
#else
    const auto &am = a.st_mtim, &bm = b.st_mtim, &ac = a.st_ctim, &bc = b.st_ctim;
#endif
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && am.tv_sec == bm.tv_sec &&
           am.tv_nsec == bm.tv_nsec && ac.tv_sec == bc.tv_sec && ac.tv_nsec == bc.tv_nsec;
}

namespace {

RenameResult failed(int code)
{
    if (code == EEXIST || code == ENOTEMPTY)
        return {RenameResult::Exists, QString()};
    return {RenameResult::Failed, systemErrorText(code)};
}

} // namespace

RenameResult renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
#if defined(Q_OS_LINUX) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return {};
    // EINVAL: this file system has no RENAME_NOREPLACE; ENOSYS: nor has the kernel.
    if (errno != EINVAL && errno != ENOSYS)
        return failed(errno);
#elif defined(Q_OS_DARWIN)
    if (::renamex_np(src.constData(), dst.constData(), RENAME_EXCL) == 0)
        return {};
    if (errno != ENOTSUP)
        return failed(errno);
#endif
    // A hard link claims the name atomically; the old name then goes.
    if (::link(src.constData(), dst.constData()) == 0) {
        if (::unlink(src.constData()) != 0) {
            const int code = errno;
            ::unlink(dst.constData());
            return failed(code);
        }
        return {};
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != EXDEV)
        return failed(errno);
    // A file system without hard links (FAT and the like): test, then rename.
    struct stat st;
    if (::lstat(dst.constData(), &st) == 0)
        return {RenameResult::Exists, QString()};
    if (::rename(src.constData(), dst.constData()) == 0)
        return {};
    return failed(errno);
}

#endif

} // namespace Platform
