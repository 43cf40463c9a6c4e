// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegularFile.h"

#include "core/platform/FileOps.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RegularFile", text);
}

QString tooLarge(qint64 maxSize)
{
    constexpr qint64 MB = 1024 * 1024;
    return maxSize >= MB ? tr("larger than %1 MB").arg(maxSize / MB) : tr("larger than %1 bytes").arg(maxSize);
}

// Reads of a file that keeps changing give up after this many tries.
constexpr int MaxReadAttempts = 3;

std::function<void(const QString &, qint64)> &readHook()
{
    static std::function<void(const QString &, qint64)> hook;
    return hook;
}

qint64 &hookPieceSize()
{
    static qint64 size = 16;
    return size;
}

enum class Attempt
{
    Read,
    Changed, // the file changed while it was read: worth another try
    Failed,
};

} // namespace

void RegularFileTesting::setReadHook(std::function<void(const QString &, qint64)> hook, qint64 pieceSize)
{
    readHook() = std::move(hook);
    hookPieceSize() = std::max<qint64>(1, pieceSize);
}

#ifdef Q_OS_UNIX

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

Attempt readOnce(const QString &path, qint64 maxSize, QByteArray &data, QString &error)
{
    // Without O_NONBLOCK, opening a named pipe waits for a writer; with it, the open returns at
    // once and the pipe is refused below. On a regular file the flag changes nothing.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemError();
        return Attempt::Failed;
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    // The checks look at the file that was opened, so a file swapped in after them is never read.
    struct stat before
    {
    };
    if (::fstat(fd, &before) != 0) {
        error = systemError();
        return Attempt::Failed;
    }
    if (!S_ISREG(before.st_mode)) {
        error = tr("not a regular file");
        return Attempt::Failed;
    }
    if (before.st_size > maxSize) {
        error = tooLarge(maxSize);
        return Attempt::Failed;
    }
    const auto &hook = readHook();
    // The file may grow while it is read: read one byte past the bound to notice.
    QByteArray buffer(qsizetype(before.st_size) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == buffer.size()) {
            if (total > maxSize) {
                error = tooLarge(maxSize);
                return Attempt::Failed;
            }
            buffer.resize(qsizetype(std::min<qint64>(maxSize + 1, total * 2 + 4096)));
        }
        const qint64 piece = hook ? std::min(hookPieceSize(), buffer.size() - total) : buffer.size() - total;
        const ssize_t n = ::read(fd, buffer.data() + total, size_t(piece));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = systemError();
            return Attempt::Failed;
        }
        if (n == 0)
            break;
        total += n;
        if (hook)
            hook(path, total);
    }
    if (total > maxSize) {
        error = tooLarge(maxSize);
        return Attempt::Failed;
    }
    struct stat after
    {
    };
    if (::fstat(fd, &after) != 0) {
        error = systemError();
        return Attempt::Failed;
    }
    if (!Platform::sameFileVersion(before, after) || total != after.st_size)
        return Attempt::Changed;
    buffer.truncate(qsizetype(total));
    data = std::move(buffer);
    return Attempt::Read;
}

} // namespace

#else

namespace {

Attempt readOnce(const QString &path, qint64 maxSize, QByteArray &data, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = tr("not a regular file");
        return Attempt::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return Attempt::Failed;
    }
    if (file.isSequential()) {
        error = tr("not a regular file");
        return Attempt::Failed;
    }
    if (file.size() > maxSize) {
        error = tooLarge(maxSize);
        return Attempt::Failed;
    }
    const qint64 sizeBefore = file.size();
    const QDateTime modifiedBefore = file.fileTime(QFileDevice::FileModificationTime);
    QByteArray buffer = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return Attempt::Failed;
    }
    if (buffer.size() > maxSize) {
        error = tooLarge(maxSize);
        return Attempt::Failed;
    }
    if (readHook())
        readHook()(path, buffer.size());
    if (file.size() != sizeBefore || buffer.size() != sizeBefore ||
        file.fileTime(QFileDevice::FileModificationTime) != modifiedBefore)
        return Attempt::Changed;
    data = std::move(buffer);
    return Attempt::Read;
}

} // namespace

#endif

Status readRegularFile(const QString &path, qint64 maxSize, QByteArray &data)
{
    data.clear();
    QString error;
    for (int attempt = 0; attempt < MaxReadAttempts; ++attempt) {
        switch (readOnce(path, maxSize, data, error)) {
        case Attempt::Read:
            return {};
        case Attempt::Failed:
            data.clear();
            return Status::failure(error);
        case Attempt::Changed:
            break;
        }
    }
    data.clear();
    return Status::failure(tr("changed while it was read"));
}
