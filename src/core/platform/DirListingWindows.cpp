// SPDX-License-Identifier: GPL-3.0-or-later
// The directory walker on Windows: FindFirstFileExW and file handles.
#include "DirListing.h"
#include "DirListingInternal.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QFile>

#include <cstring>
#include <windows.h>

namespace Platform {

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
    if (folder.isEmpty()) {
        m_error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    m_path = QDir::toNativeSeparators(folder);
    if (!endsWithSeparator(m_path))
        m_path += u'\\';
    const QString pattern = m_path + u'*';
    HANDLE h = FindFirstFileExW(reinterpret_cast<const wchar_t *>(pattern.utf16()), FindExInfoBasic,
                                findData(m_findData), FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    countRead();
    if (h == INVALID_HANDLE_VALUE) {
        m_error = int(GetLastError());
        return false;
    }
    m_error = 0;
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
        if (!m_first) {
            const BOOL more = FindNextFileW(static_cast<HANDLE>(m_handle), findData(m_findData));
            countRead();
            if (!more) {
                const DWORD code = GetLastError();
                if (code != ERROR_NO_MORE_FILES)
                    m_error = int(code);
                m_name = {};
                return false;
            }
        }
        m_first = false;
        const WIN32_FIND_DATAW *fd = findData(m_findData);
        const wchar_t *n = fd->cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
            continue;
        const QString wide = QString::fromWCharArray(n);
        if (wide.isValidUtf16()) {
            m_nameBuffer = wide.toUtf8();
        } else {
            // An unpaired surrogate gets the three bytes UTF-8 would give it if it could: no
            // valid UTF-8, so isExactName() tells the name apart.
            m_nameBuffer.clear();
            for (const QChar c : wide) {
                const char16_t u = c.unicode();
                if (u < 0x80) {
                    m_nameBuffer += char(u);
                } else if (u < 0x800) {
                    m_nameBuffer += char(0xC0 | (u >> 6));
                    m_nameBuffer += char(0x80 | (u & 0x3F));
                } else {
                    m_nameBuffer += char(0xE0 | (u >> 12));
                    m_nameBuffer += char(0x80 | ((u >> 6) & 0x3F));
                    m_nameBuffer += char(0x80 | (u & 0x3F));
                }
            }
        }
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

bool DirListing::infoReady() const
{
    return true;
}

bool DirListing::infoOf(QByteArrayView name, EntryInfo &out) const
{
    if (!m_handle || name.isEmpty())
        return false;
    const QString path = m_path + QString::fromUtf8(name);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(reinterpret_cast<const wchar_t *>(path.utf16()), GetFileExInfoStandard, &data))
        return false;
    out.attributes = data.dwFileAttributes;
    out.size = (quint64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out.creationTime = toFileTime(data.ftCreationTime);
    out.lastAccessTime = toFileTime(data.ftLastAccessTime);
    out.lastWriteTime = toFileTime(data.ftLastWriteTime);
    return true;
}

bool DirListing::openAt(const DirListing &parent, QByteArrayView name)
{
    if (!parent.m_handle || name.isEmpty()) {
        close();
        m_error = ERROR_INVALID_HANDLE;
        return false;
    }
    if (name == QByteArrayView("..")) {
        // The parent's path without its last folder, so that paths do not grow with each way back.
        QString path = parent.m_path;
        path.chop(1);
        const qsizetype cut = path.lastIndexOf(u'\\');
        if (cut < 0) {
            close();
            m_error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        path.truncate(cut + 1);
        return open(path);
    }
    const QString path = parent.m_path + QString::fromUtf8(name);
    return open(path);
}

QString decodeEntryName(QByteArrayView name)
{
    return QString::fromUtf8(name);
}

bool isMissingError(int code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY;
}

bool isOutOfHandlesError(int code)
{
    return code == ERROR_TOO_MANY_OPEN_FILES || code == ERROR_NO_SYSTEM_RESOURCES;
}

int folderChangedError()
{
    return ERROR_PATH_NOT_FOUND;
}

ReadOnlyFile::~ReadOnlyFile()
{
    close();
}

void ReadOnlyFile::close()
{
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
    m_size = 0;
}

bool ReadOnlyFile::isOpen() const
{
    return m_handle != nullptr;
}

void ReadOnlyFile::close(FileCloser &)
{
    close();
}

FileCloser::~FileCloser() = default;

void FileCloser::add(int)
{
}

void FileCloser::flush()
{
}

bool ReadOnlyFile::finishOpen()
{
    LARGE_INTEGER size;
    if (!m_handle)
        return false;
    m_error = 0;
    if (GetFileType(static_cast<HANDLE>(m_handle)) != FILE_TYPE_DISK
        || !GetFileSizeEx(static_cast<HANDLE>(m_handle), &size)) {
        close();
        return false;
    }
    m_size = size.QuadPart;
    return true;
}

bool ReadOnlyFile::open(const QString &path)
{
    close();
    if (path.isEmpty())
        return false;
    const QString native = QDir::toNativeSeparators(path);
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_error = int(GetLastError());
        return false;
    }
    m_handle = h;
    return finishOpen();
}

bool ReadOnlyFile::openAt(const DirListing &folder, QByteArrayView name, bool)
{
    if (!folder.m_handle || name.isEmpty()) {
        close();
        return false;
    }
    return open(folder.m_path + QString::fromUtf8(name));
}

bool ReadOnlyFile::openChecked(const DirListing &folder, QByteArrayView name, bool)
{
    // Opened by path, which never follows a link silently and checks the type on the handle.
    return openAt(folder, name, false);
}

bool ReadOnlyFile::needsDisk() const
{
    return false;
}

qint64 ReadOnlyFile::read(char *data, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const DWORD want = DWORD(qMin<qint64>(count - done, 1 << 30));
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(m_handle), data + done, want, &got, nullptr))
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace Platform
#endif
