#include "DirListing.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

namespace {
constexpr qint64 kTicksPerSecond = 10000000;
constexpr qint64 kUnixEpochInTicks = 116444736000000000LL; // 1970-01-01 counted from 1601-01-01
} // namespace

QChar nativeSeparator()
{
    return QDir::separator();
}

bool endsWithSeparator(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QChar last = path.back();
#ifdef Q_OS_WIN
    return last == u'\\' || last == u'/';
#else
    return last == u'/';
#endif
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || endsWithSeparator(folder))
        return folder + name;
    return folder + nativeSeparator() + name;
}

QString DirListing::name() const
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(m_name);
#else
    return QFile::decodeName(m_name.toByteArray());
#endif
}

bool DirListing::isHidden() const
{
#ifdef Q_OS_WIN
    return reinterpret_cast<const WIN32_FIND_DATAW *>(m_findData)->dwFileAttributes & FILE_ATTRIBUTE_HIDDEN;
#else
    return !m_name.isEmpty() && m_name.front() == '.';
#endif
}

bool DirListing::isLink() const
{
    return m_type == 3;
}

#ifndef Q_OS_WIN

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

void DirListing::close()
{
    if (m_dir)
        closedir(static_cast<DIR *>(m_dir));
    m_dir = nullptr;
    m_name = {};
}

bool DirListing::isOpen() const
{
    return m_dir != nullptr;
}

bool DirListing::open(const QString &folder)
{
    close();
    if (folder.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(folder);
    m_dir = opendir(path.constData());
    return m_dir != nullptr;
}

bool DirListing::openChild(const DirListing &parent)
{
    close();
    if (!parent.m_dir || parent.m_name.isEmpty())
        return false;
    // m_name views a NUL-terminated dirent name.
    const int fd = openat(dirfd(static_cast<DIR *>(parent.m_dir)), parent.m_name.data(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    m_dir = fdopendir(fd);
    if (!m_dir) {
        ::close(fd);
        return false;
    }
    return true;
}

bool DirListing::next()
{
    if (!m_dir)
        return false;
    while (const dirent *e = readdir(static_cast<DIR *>(m_dir))) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        m_name = QByteArrayView(n, qsizetype(strlen(n)));
        m_statState = 0;
        switch (e->d_type) {
        case DT_REG: m_type = 1; break;
        case DT_DIR: m_type = 2; break;
        case DT_LNK: m_type = 3; break;
        case DT_UNKNOWN: m_type = 0; break;
        default: m_type = 4; break;
        }
        return true;
    }
    m_name = {};
    return false;
}

bool DirListing::statEntry()
{
    if (m_statState != 0)
        return m_statState > 0;
    const int fd = dirfd(static_cast<DIR *>(m_dir));
    struct stat st;
    if (fstatat(fd, m_name.data(), &st, 0) != 0 && fstatat(fd, m_name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        m_statState = -1;
        return false;
    }
    EntryInfo info;
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
    if (statx(fd, m_name.data(), 0, STATX_BTIME, &stx) == 0 && (stx.stx_mask & STATX_BTIME)) {
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
    if (isHidden())
        attrs |= AttrHidden;
    if (!(st.st_mode & S_IWUSR))
        attrs |= AttrReadOnly;
    if (m_type == 3)
        attrs |= AttrReparsePoint;
    if (attrs == 0)
        attrs = AttrNormal;
    info.attributes = attrs;
    m_info = info;
    if (m_type == 0 || m_type == 3) {
        // Links and unknown types take the type of what they lead to, for the folder test.
        const bool dir = S_ISDIR(st.st_mode);
        if (m_type == 0)
            m_type = dir ? 2 : (S_ISREG(st.st_mode) ? 1 : 4);
        else if (dir)
            m_info.attributes |= AttrDirectory;
    }
    m_statState = 1;
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
    if (!m_dir || m_name.isEmpty() || !statEntry())
        return false;
    out = m_info;
    return true;
}

FolderId DirListing::folderId() const
{
    FolderId id;
    struct stat st;
    if (m_dir && fstat(dirfd(static_cast<DIR *>(m_dir)), &st) == 0) {
        id.device = quint64(st.st_dev);
        id.inode = quint64(st.st_ino);
        id.valid = true;
    }
    return id;
}

#else // Q_OS_WIN

namespace {
FileTime toFileTime(const FILETIME &ft)
{
    return qint64((quint64(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}
WIN32_FIND_DATAW *findData(unsigned char *buffer)
{
    static_assert(sizeof(WIN32_FIND_DATAW) <= 600);
    return reinterpret_cast<WIN32_FIND_DATAW *>(buffer);
}
} // namespace

DirListing::~DirListing()
{
    close();
}

void DirListing::close()
{
    if (m_handle)
        FindClose(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
    m_name = {};
}

bool DirListing::isOpen() const
{
    return m_handle != nullptr;
}

bool DirListing::open(const QString &folder)
{
    close();
    if (folder.isEmpty())
        return false;
    m_path = QDir::toNativeSeparators(folder);
    if (!endsWithSeparator(m_path))
        m_path += u'\\';
    const QString pattern = m_path + u'*';
    HANDLE h = FindFirstFileExW(reinterpret_cast<const wchar_t *>(pattern.utf16()), FindExInfoBasic,
                                findData(m_findData), FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_handle = h;
    m_first = true;
    return true;
}

bool DirListing::openChild(const DirListing &parent)
{
    if (!parent.m_handle)
        return false;
    return open(parent.m_path + parent.name());
}

bool DirListing::next()
{
    if (!m_handle)
        return false;
    for (;;) {
        if (!m_first && !FindNextFileW(static_cast<HANDLE>(m_handle), findData(m_findData))) {
            m_name = {};
            return false;
        }
        m_first = false;
        const WIN32_FIND_DATAW *fd = findData(m_findData);
        const wchar_t *n = fd->cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
            continue;
        m_nameBuffer = QString::fromWCharArray(n).toUtf8();
        m_name = QByteArrayView(m_nameBuffer);
        const DWORD a = fd->dwFileAttributes;
        m_type = (a & FILE_ATTRIBUTE_REPARSE_POINT) ? 3 : (a & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
        m_statState = 0;
        return true;
    }
}

bool DirListing::statEntry()
{
    const WIN32_FIND_DATAW *fd = findData(m_findData);
    m_info.attributes = fd->dwFileAttributes;
    m_info.size = (quint64(fd->nFileSizeHigh) << 32) | fd->nFileSizeLow;
    m_info.creationTime = toFileTime(fd->ftCreationTime);
    m_info.lastAccessTime = toFileTime(fd->ftLastAccessTime);
    m_info.lastWriteTime = toFileTime(fd->ftLastWriteTime);
    m_statState = 1;
    return true;
}

bool DirListing::isDirectory()
{
    return findData(m_findData)->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
}

bool DirListing::info(EntryInfo &out)
{
    if (!m_handle || m_name.isEmpty())
        return false;
    statEntry();
    out = m_info;
    return true;
}

FolderId DirListing::folderId() const
{
    FolderId id;
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return id;
    BY_HANDLE_FILE_INFORMATION fi;
    if (GetFileInformationByHandle(h, &fi)) {
        id.device = fi.dwVolumeSerialNumber;
        id.inode = (quint64(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
        id.valid = true;
    }
    CloseHandle(h);
    return id;
}

#endif

} // namespace Platform
