#include "RegularFile.h"

#include <QCoreApplication>
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

} // namespace

#ifdef Q_OS_UNIX

bool readRegularFile(const QString &path, qint64 maxSize, QByteArray &data, QString &error)
{
    data.clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer; with it, the open returns at
    // once and the pipe is refused below. On a regular file the flag changes nothing.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    // The checks look at the file that was opened, so a file swapped in after them is never read.
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = tr("not a regular file");
        return false;
    }
    if (st.st_size > maxSize) {
        error = tooLarge(maxSize);
        return false;
    }
    // The file may grow while it is read: read one byte past the bound to notice.
    QByteArray buffer(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == buffer.size()) {
            if (total > maxSize) {
                error = tooLarge(maxSize);
                return false;
            }
            buffer.resize(qsizetype(std::min<qint64>(maxSize + 1, total * 2 + 4096)));
        }
        const ssize_t n = ::read(fd, buffer.data() + total, size_t(buffer.size() - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (n == 0)
            break;
        total += n;
    }
    if (total > maxSize) {
        error = tooLarge(maxSize);
        return false;
    }
    buffer.truncate(qsizetype(total));
    data = std::move(buffer);
    return true;
}

#else

bool readRegularFile(const QString &path, qint64 maxSize, QByteArray &data, QString &error)
{
    data.clear();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = tr("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.isSequential()) {
        error = tr("not a regular file");
        return false;
    }
    if (file.size() > maxSize) {
        error = tooLarge(maxSize);
        return false;
    }
    QByteArray buffer = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    if (buffer.size() > maxSize) {
        error = tooLarge(maxSize);
        return false;
    }
    data = std::move(buffer);
    return true;
}

#endif
