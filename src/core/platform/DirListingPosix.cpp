// SPDX-License-Identifier: GPL-3.0-or-later
// The directory walker on POSIX systems: openat/getdents64 (Linux) or readdir, fstatat, and reads that
// never wait on a slow disk where the system allows it.
#include "DirListing.h"
#include "DirListingInternal.h"

#ifndef Q_OS_WIN
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/statfs.h>
#include <sys/syscall.h>
#endif

namespace Platform {

bool isMissingError(int code)
{
    return code == ENOENT || code == ENOTDIR;
}

bool isOutOfHandlesError(int code)
{
    return code == EMFILE || code == ENFILE;
}

int folderChangedError()
{
    return ESTALE;
}

namespace {
FileTime toFileTime(const struct timespec &ts)
{
    return kUnixEpochInTicks + qint64(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100;
}
} // namespace

DirListing::~DirListing()
{
    close();
}

namespace {
#ifdef Q_OS_LINUX
constexpr int kDentsBufferSize = 32768;
constexpr long kExt4Magic = 0xEF53;      // ext2, ext3 and ext4
constexpr long kBtrfsMagic = 0x9123683E;
struct LinuxDirent64
{
    quint64 d_ino;
    qint64 d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};
#endif
} // namespace

void DirListing::close()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
    m_bufferPos = m_bufferEnd = 0;
    m_atEnd = false;
#else
    if (m_dir)
        closedir(static_cast<DIR *>(m_dir)); // closes m_fd too
    m_dir = nullptr;
#endif
    m_fd = -1;
    m_name = {};
}

bool DirListing::isOpen() const
{
    return m_fd >= 0;
}

bool DirListing::attach(int fd, const DirListing *parent)
{
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    m_error = 0;
#ifdef Q_OS_LINUX
    m_fd = fd;
    m_bufferPos = m_bufferEnd = 0;
    m_lastOffset = 0;
    m_atEnd = false;
    m_id = FolderId();
    m_eofMarked = false;
    struct stat st;
    if (fstat(fd, &st) == 0) {
        m_id.device = quint64(st.st_dev);
        m_id.inode = quint64(st.st_ino);
        m_id.valid = true;
        if (parent && parent->m_id.valid && parent->m_id.device == m_id.device) {
            m_eofMarked = parent->m_eofMarked; // same file system as the parent
        } else {
            struct statfs fs;
            if (fstatfs(fd, &fs) == 0)
                m_eofMarked = fs.f_type == kExt4Magic || fs.f_type == kBtrfsMagic;
        }
    }
#else
    Q_UNUSED(parent);
    m_dir = fdopendir(fd);
    if (!m_dir) {
        m_error = errno;
        ::close(fd);
        return false;
    }
    m_fd = fd;
#endif
    return true;
}

bool DirListing::open(const QString &folder)
{
    close();
    if (folder.isEmpty()) {
        m_error = ENOENT;
        return false;
    }
    const QByteArray path = QFile::encodeName(folder);
    return attach(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

bool DirListing::openChild(const DirListing &parent)
{
    close();
    if (parent.m_fd < 0 || parent.m_name.isEmpty()) {
        m_error = EBADF;
        return false;
    }
    // m_name views a NUL-terminated dirent name.
    return attach(openat(parent.m_fd, parent.m_name.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), &parent);
}

namespace {
inline int typeOf(unsigned char dType)
{
    switch (dType) {
    case DT_REG: return 1;
    case DT_DIR: return 2;
    case DT_LNK: return 3;
    case DT_UNKNOWN: return 0;
    default: return 4;
    }
}
} // namespace

#ifdef Q_OS_LINUX
bool DirListing::next()
{
    if (m_fd < 0)
        return false;
    for (;;) {
        if (m_bufferPos >= m_bufferEnd) {
            // ext4 (hashed folders) and btrfs give the last record of a folder the offset
            // 0x7fffffff or 0x7fffffffffffffff, which no other record has: then the call that
            // would only say "no more" is saved. Elsewhere the listing reads on until it does.
            if (m_eofMarked && (m_lastOffset == 0x7fffffffLL || m_lastOffset == 0x7fffffffffffffffLL))
                m_atEnd = true;
            if (m_atEnd)
                break;
            if (!m_buffer)
                m_buffer.reset(new char[kDentsBufferSize]);
            const long n = syscall(SYS_getdents64, m_fd, m_buffer.get(), kDentsBufferSize);
            countRead();
            if (n <= 0) {
                if (n < 0)
                    m_error = errno;
                m_atEnd = true;
                break;
            }
            m_bufferPos = 0;
            m_bufferEnd = int(n);
        }
        const auto *e = reinterpret_cast<const LinuxDirent64 *>(m_buffer.get() + m_bufferPos);
        m_bufferPos += e->d_reclen;
        m_lastOffset = e->d_off;
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        m_name = QByteArrayView(n, qsizetype(strlen(n)));
        m_statState = 0;
        m_type = typeOf(e->d_type);
        return true;
    }
    m_name = {};
    return false;
}
#else
bool DirListing::next()
{
    if (!m_dir)
        return false;
    for (;;) {
        errno = 0;
        const dirent *e = readdir(static_cast<DIR *>(m_dir));
        countRead();
        if (!e) {
            if (errno != 0)
                m_error = errno;
            break;
        }
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        m_name = QByteArrayView(n, qsizetype(strlen(n)));
        m_statState = 0;
        m_type = typeOf(e->d_type);
        return true;
    }
    m_name = {};
    return false;
}
#endif

namespace {
// A name as a NUL-terminated C string: the view itself when a NUL follows it, else a copy.
class CName
{
public:
    explicit CName(QByteArrayView name)
    {
        if (name.size() < qsizetype(sizeof(m_small))) {
            memcpy(m_small, name.data(), size_t(name.size()));
            m_small[name.size()] = 0;
            m_ptr = m_small;
        } else {
            m_large = name.toByteArray();
            m_ptr = m_large.constData();
        }
    }
    const char *get() const { return m_ptr; }

private:
    const char *m_ptr = nullptr;
    char m_small[256];
    QByteArray m_large;
};

// Stats name in the folder fd (following links, else the link itself). type is the listing's
// type of the entry (0 unknown, 1 file, 2 folder, 3 link, 4 other); an unknown type is resolved.
bool statAt(int fd, const char *name, int &type, EntryInfo &info)
{
    struct stat st;
    if (fstatat(fd, name, &st, 0) != 0 && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    info = EntryInfo();
    info.size = S_ISDIR(st.st_mode) ? 0 : quint64(st.st_size);
#if defined(Q_OS_DARWIN)
    info.lastWriteTime = toFileTime(st.st_mtimespec);
    info.lastAccessTime = toFileTime(st.st_atimespec);
    info.creationTime = toFileTime(st.st_birthtimespec);
#else
    info.lastWriteTime = toFileTime(st.st_mtim);
    info.lastAccessTime = toFileTime(st.st_atim);
    info.creationTime = toFileTime(st.st_ctim);
#if defined(STATX_BTIME)
    struct statx stx;
    if (statx(fd, name, 0, STATX_BTIME, &stx) == 0 && (stx.stx_mask & STATX_BTIME)) {
        struct timespec ts;
        ts.tv_sec = stx.stx_btime.tv_sec;
        ts.tv_nsec = stx.stx_btime.tv_nsec;
        info.creationTime = toFileTime(ts);
    }
#endif
#endif
    quint32 attrs = 0;
    if (S_ISDIR(st.st_mode))
        attrs |= AttrDirectory;
    if (name[0] == '.')
        attrs |= AttrHidden;
    if (!(st.st_mode & S_IWUSR))
        attrs |= AttrReadOnly;
    if (type == 3)
        attrs |= AttrReparsePoint;
    if (attrs == 0)
        attrs = AttrNormal;
    info.attributes = attrs;
    if (type == 0)
        type = S_ISDIR(st.st_mode) ? 2 : (S_ISREG(st.st_mode) ? 1 : 4);
    return true;
}
} // namespace

bool DirListing::statEntry()
{
    if (m_statState != 0)
        return m_statState > 0;
    // m_name views a NUL-terminated dirent name.
    if (!statAt(m_fd, m_name.data(), m_type, m_info)) {
        m_statState = -1;
        return false;
    }
    m_statState = 1;
    return true;
}

bool DirListing::infoReady() const
{
    return m_statState != 0;
}

bool DirListing::infoOf(QByteArrayView name, EntryInfo &out) const
{
    if (m_fd < 0 || name.isEmpty())
        return false;
    const CName cname(name);
    // The type is not known here: a link is recognised by lstat only when the target is gone,
    // so ask for it explicitly to keep the reparse-point bit as info() gives it.
    struct stat lst;
    int type = 0;
    if (fstatat(m_fd, cname.get(), &lst, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(lst.st_mode))
        type = 3;
    return statAt(m_fd, cname.get(), type, out);
}

bool DirListing::openAt(const DirListing &parent, QByteArrayView name)
{
    close();
    if (parent.m_fd < 0 || name.isEmpty()) {
        m_error = EBADF;
        return false;
    }
    const CName cname(name);
    return attach(openat(parent.m_fd, cname.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), &parent);
}

QString decodeEntryName(QByteArrayView name)
{
    return QFile::decodeName(name.toByteArray());
}

ReadOnlyFile::~ReadOnlyFile()
{
    close();
}

void ReadOnlyFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_read = 0;
    m_left = -1;
}

bool ReadOnlyFile::isOpen() const
{
    return m_fd >= 0;
}

void ReadOnlyFile::close(FileCloser &closer)
{
    if (m_fd >= 0)
        closer.add(m_fd);
    m_fd = -1;
    m_size = 0;
    m_read = 0;
    m_left = -1;
}

FileCloser::~FileCloser()
{
    flush();
}

void FileCloser::add(int fd)
{
#if defined(Q_OS_LINUX) && defined(SYS_close_range)
    if (m_count == kBatch)
        flush();
    m_fds[m_count++] = fd;
#else
    ::close(fd);
#endif
}

void FileCloser::flush()
{
    if (m_count == 0)
        return;
    std::sort(m_fds, m_fds + m_count);
    int i = 0;
    while (i < m_count) {
        int j = i;
        while (j + 1 < m_count && m_fds[j + 1] == m_fds[j] + 1)
            ++j;
        // Every number from m_fds[i] to m_fds[j] is a descriptor of ours, still open: no other
        // thread can hold one of them, so the range closes only our files.
#if defined(Q_OS_LINUX) && defined(SYS_close_range)
        if (j > i && syscall(SYS_close_range, unsigned(m_fds[i]), unsigned(m_fds[j]), 0u) == 0) {
            i = j + 1;
            continue;
        }
#endif
        for (int k = i; k <= j; ++k)
            ::close(m_fds[k]);
        i = j + 1;
    }
    m_count = 0;
}

bool ReadOnlyFile::finishOpen()
{
    struct stat st;
    if (m_fd < 0) {
        m_error = errno;
        return false;
    }
    m_error = 0;
    if (fstat(m_fd, &st) != 0) {
        m_error = errno;
        close();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close();
        return false;
    }
    m_size = qint64(st.st_size);
    return true;
}

bool ReadOnlyFile::open(const QString &path)
{
    close();
    if (path.isEmpty())
        return false;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused right after.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    return finishOpen();
}

bool ReadOnlyFile::openAt(const DirListing &folder, QByteArrayView name, bool knownRegular)
{
    close();
    if (folder.m_fd < 0 || name.isEmpty())
        return false;
    const CName cname(name);
    m_fd = openat(folder.m_fd, cname.get(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (knownRegular && m_fd >= 0) {
        m_error = 0;
        // One system call less per file: on Linux a read of a regular file gives less than asked
        // only at its end.
        m_size = -1;
        return true;
    }
    return finishOpen();
}

bool ReadOnlyFile::openChecked(const DirListing &folder, QByteArrayView name, bool listedRegular)
{
    close();
    if (folder.m_fd < 0 || name.isEmpty())
        return false;
    const CName cname(name);
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (listedRegular)
        flags |= O_NOFOLLOW;
    m_fd = openat(folder.m_fd, cname.get(), flags);
    return finishOpen();
}

bool ReadOnlyFile::needsDisk() const
{
#if defined(Q_OS_LINUX) && defined(RWF_NOWAIT)
    if (m_fd < 0)
        return false;
    // A read that may not wait: it fails with EAGAIN when the bytes are still on the disk.
    char byte;
    struct iovec io = {&byte, 1};
    return preadv2(m_fd, &io, 1, 0, RWF_NOWAIT) < 0 && errno == EAGAIN;
#else
    return false;
#endif
}

qint64 ReadOnlyFile::read(char *data, qint64 count)
{
    if (m_left >= 0)
        count = std::min(count, m_left);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, data + done, size_t(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
        if (m_size < 0) {
            // Size not asked for: a short read of a regular file is its end. A full one may be
            // the first of a larger file, or the listing's word is out of date: what was a file
            // when the folder was read may since have been replaced by a link to a device that
            // never ends or a pipe that someone keeps writing. The type and size are asked now,
            // once, and the size bounds what is read, so a file that grows meanwhile ends too.
            if (done == count && !takeSize(m_read))
                return -1;
            break;
        }
    }
    m_read += done;
    if (m_left >= 0)
        m_left = std::max<qint64>(0, m_left - done);
    return done;
}

bool ReadOnlyFile::takeSize(qint64 readBefore)
{
    struct stat st;
    if (fstat(m_fd, &st) != 0) {
        m_error = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    m_size = qint64(st.st_size);
    m_left = std::max<qint64>(0, m_size - readBefore); // what the current read took is subtracted after it
    return true;
}

bool DirListing::isDirectory()
{
    if (m_type == 2)
        return true;
    if (m_type == 1 || m_type == 4)
        return false;
    if (!statEntry())
        return false;
    return m_info.attributes & AttrDirectory;
}

bool DirListing::info(EntryInfo &out)
{
    if (m_fd < 0 || m_name.isEmpty() || !statEntry())
        return false;
    out = m_info;
    return true;
}

FolderId DirListing::folderId() const
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        return m_id;
#endif
    FolderId id;
    struct stat st;
    if (m_fd >= 0 && fstat(m_fd, &st) == 0) {
        id.device = quint64(st.st_dev);
        id.inode = quint64(st.st_ino);
        id.valid = true;
    }
    return id;
}

} // namespace Platform
#endif
