#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// A thin, fast directory listing over the native API: opendir/readdir on POSIX (d_type, a stat only
// when a caller asks for something the listing does not carry), FindFirstFileExW on Windows.
// It never allocates per entry on POSIX; names are handed out as views into the listing's own buffer.
namespace Platform {

// Attribute bits of a directory entry, with the values the Windows API gives them.
enum FileAttribute : quint32 {
    AttrReadOnly = 0x0001,
    AttrHidden = 0x0002,
    AttrSystem = 0x0004,
    AttrVolumeLabel = 0x0008,
    AttrDirectory = 0x0010,
    AttrArchive = 0x0020,
    AttrNormal = 0x0080,
    AttrReparsePoint = 0x0400,
};

// File times count 100-nanosecond ticks since 1601-01-01 UTC, as on Windows, on every system.
using FileTime = qint64;

// What a stat of one entry gives. Hidden is a leading dot on POSIX; read-only comes from the
// permissions; the creation time is the birth time where the file system keeps one, else the
// status-change time.
struct EntryInfo
{
    quint32 attributes = 0;
    quint64 size = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
};

// Identity of an opened folder (device and inode, or volume serial and file index), used to
// refuse entering a folder that is already on the current path through a link.
struct FolderId
{
    quint64 device = 0;
    quint64 inode = 0;
    bool valid = false;
    friend bool operator==(const FolderId &a, const FolderId &b)
    {
        return a.valid && b.valid && a.device == b.device && a.inode == b.inode;
    }
};

class DirListing
{
public:
    DirListing() = default;
    explicit DirListing(const QString &folder) { open(folder); }
    ~DirListing();
    DirListing(const DirListing &) = delete;
    DirListing &operator=(const DirListing &) = delete;

    // Opens a folder by path (with or without a trailing separator). False when it is no folder or
    // cannot be listed.
    bool open(const QString &folder);
    // Opens the parent's current entry as a folder (openat on POSIX: no path is built).
    bool openChild(const DirListing &parent);
    void close();
    bool isOpen() const;

    // Advances to the next entry; "." and ".." are skipped. False at the end.
    bool next();

    // The current entry's name: raw bytes on POSIX (the file system's encoding), UTF-8 on Windows.
    QByteArrayView nameBytes() const { return m_name; }
    // The current entry's name decoded for display and path building.
    QString name() const;
    bool isHidden() const;
    // True for folders and links to folders; resolves unknown types with a stat.
    bool isDirectory();
    // True when the entry is a symbolic link (or a reparse point on Windows).
    bool isLink() const;
    // A stat of the current entry, following links (falling back to the link itself when its target
    // is gone). False when it fails.
    bool info(EntryInfo &out);

    // Identity of the folder this listing has open.
    FolderId folderId() const;

private:
    bool statEntry();

    QByteArrayView m_name;
    int m_type = 0;           // 0 unknown, 1 file, 2 folder, 3 link, 4 other
    int m_statState = 0;      // 0 not done, 1 done, -1 failed
    EntryInfo m_info;
#ifdef Q_OS_WIN
    QString m_path;           // folder path with a trailing separator
    void *m_handle = nullptr; // HANDLE of FindFirstFileExW
    bool m_first = false;
    QByteArray m_nameBuffer;
    alignas(8) unsigned char m_findData[600]; // WIN32_FIND_DATAW
#else
    void *m_dir = nullptr; // DIR *
#endif
};

// Joins a folder path and a name with exactly one separator between them.
QString joinPath(const QString &folder, const QString &name);
// True when the path ends in a path separator of this system.
bool endsWithSeparator(const QString &path);
// The native path separator as a QChar.
QChar nativeSeparator();

} // namespace Platform
