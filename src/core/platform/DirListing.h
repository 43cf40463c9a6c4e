// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>

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
// The Unix epoch, 1970-01-01 UTC, as a file time.
constexpr FileTime UnixEpochFileTime = 116444736000000000LL;
// Milliseconds since the Unix epoch as a file time, and back (rounded towards the past).
constexpr FileTime fileTimeFromMSecs(qint64 ms)
{
    return ms * 10000 + UnixEpochFileTime;
}
constexpr qint64 fileTimeToMSecs(FileTime time)
{
    const qint64 ticks = time - UnixEpochFileTime;
    return ticks >= 0 ? ticks / 10000 : -((-ticks + 9999) / 10000);
}

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
    // cannot be listed; error() says why.
    bool open(const QString &folder);
    // Opens the parent's current entry as a folder (openat on POSIX: no path is built).
    bool openChild(const DirListing &parent);
    void close();
    bool isOpen() const;

    // Advances to the next entry; "." and ".." are skipped. False at the end, and when reading the
    // folder failed (error() is then not 0).
    bool next();

    // The system's error code of the last open or read that failed, 0 when none did since the
    // folder was opened.
    int error() const { return m_error; }

    // The current entry's name: raw bytes on POSIX (the file system's encoding), UTF-8 on Windows
    // (where an unpaired surrogate, which UTF-8 cannot carry, is spelt as if it could).
    QByteArrayView nameBytes() const { return m_name; }
    // The current entry's name decoded for display and path building.
    QString name() const;
    // isExactName() of the current entry's name.
    bool nameIsExact() const;
    bool isHidden() const;
    // True for folders and links to folders; resolves unknown types with a stat.
    bool isDirectory();
    // True when the entry is a symbolic link (or a reparse point on Windows).
    bool isLink() const;
    // True when the listing's own type says regular file (no stat; false for links and for
    // types the listing did not give, until a stat has resolved them).
    bool isRegularFile() const { return m_type == 1; }
    // A stat of the current entry, following links (falling back to the link itself when its target
    // is gone). False when it fails.
    bool info(EntryInfo &out);

    // Identity of the folder this listing has open.
    FolderId folderId() const;

    // Opens the entry called name of the open folder parent as a folder (openat on POSIX: no path
    // is built). name is an entry name as nameBytes() gave it, possibly after the parent moved on,
    // or ".." for the parent's parent.
    bool openAt(const DirListing &parent, QByteArrayView name);
    // True when info() of the current entry costs no further system call (always on Windows,
    // where the listing carries it; on POSIX once isDirectory() or info() has done the stat).
    bool infoReady() const;
    // A stat of the entry called name in the open folder, following links (falling back to the
    // link itself), with the same attribute rules as info(). On Windows it asks the file system by
    // path. False when it fails.
    bool infoOf(QByteArrayView name, EntryInfo &out) const;

    // Reads of folder records made by every listing of the process so far (getdents64 calls on
    // Linux, readdir or FindNextFile calls elsewhere): lets tests see how much of a folder was read.
    static qint64 readCalls();

private:
    friend class ReadOnlyFile;
    bool statEntry();

    QByteArrayView m_name;
    int m_error = 0;
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
    bool attach(int fd, const DirListing *parent = nullptr);
    int m_fd = -1; // the open folder
#ifdef Q_OS_LINUX
    // getdents64 straight into a buffer of our own: no DIR, so none of the fstat and fcntl calls
    // that fdopendir makes per folder. The folder's identity is taken once when it is opened. The
    // buffer is made at the first read, so a listing only opened to reach a folder below costs none.
    std::unique_ptr<char[]> m_buffer;
    int m_bufferPos = 0;
    int m_bufferEnd = 0;
    qint64 m_lastOffset = 0;   // d_off of the last record read
    bool m_atEnd = false;
    bool m_eofMarked = false;  // the file system marks the last record (see next())
    FolderId m_id;
#else
    void *m_dir = nullptr; // DIR * over m_fd
#endif
#endif
};

// Decodes an entry name as nameBytes() gives it.
QString decodeEntryName(QByteArrayView name);
// True when decodeEntryName(name) is an exact spelling of the entry's name: encoded again it gives
// the very bytes the listing gave, so a path built with it leads to the entry. False for names that
// are not valid in the system's encoding (bytes that are no UTF-8 on Linux, unpaired surrogates on
// Windows), which decoding replaces.
bool isExactName(QByteArrayView name);

// True when the error code of a failed open says that there is no such folder (any more): nothing
// there was missed.
bool isMissingError(int code);
// True when the error code says that the process (or the system) has no more files to open.
bool isOutOfHandlesError(int code);
// The error code for a folder that is no longer the one that was there (moved or replaced).
int folderChangedError();

// What a walk over folders had to leave out, for the user to be told. The walk goes on past each.
struct WalkReport
{
    // Entries whose names have no exact spelling (see DirListing::nameIsExact): nothing with such a
    // name can be reached by a path, so they were left out; a folder counts once, with all it holds.
    qint64 skippedNames = 0;
    // Folders that could not be opened or read to the end (no permission, an input/output error,
    // moved away while being walked...).
    qint64 unreadableFolders = 0;
    // The first of those folders and the system's reason.
    QString firstErrorPath;
    QString firstErrorReason;
    // Searches inside packs: locked (encrypted) entries passed over, and packs that could not be
    // read to their end (damaged, refused by a limit); what could be read of those was searched.
    qint64 lockedEntries = 0;
    qint64 damagedPacks = 0;
    // Packs and documents whose text came from the text cache instead of being read.
    qint64 cachedTexts = 0;

    bool isComplete() const { return skippedNames == 0 && unreadableFolders == 0; }
    void addUnreadable(const QString &path, int code);
};

// Closes files in batches. On Linux the descriptors handed over one after another are mostly
// consecutive numbers (the lowest free one is always taken), and each run of them is closed with
// one close_range call instead of one close per file. Elsewhere a file is closed at once.
class FileCloser
{
public:
    FileCloser() = default;
    ~FileCloser();
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;
    // Closes every file handed over and not closed yet.
    void flush();

private:
    friend class ReadOnlyFile;
    void add(int fd);
    static constexpr int kBatch = 64;
    int m_fds[kBatch];
    int m_count = 0;
};

// A file opened for sequential reading while other programs may read and write it meanwhile.
// Only regular files are opened: a folder, FIFO, device or socket is refused (it could block or
// never end).
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    bool open(const QString &path);
    // Opens the entry called name of the open folder (openat on POSIX). knownRegular: the listing
    // said it is a regular file, so the type check (and the size, see size()) are skipped on POSIX.
    bool openAt(const DirListing &folder, QByteArrayView name, bool knownRegular = false);
    // As openAt without knownRegular, for a read made later than the listing, maybe on another
    // thread: the type is always checked on the open file, and when the listing said "regular
    // file", a link put in its place since is not followed.
    bool openChecked(const DirListing &folder, QByteArrayView name, bool listedRegular);
    void close();
    // True when the file's first bytes are not in memory, so that reading them waits for the disk
    // (Linux); false when they are or when it cannot be told.
    bool needsDisk() const;
    // Closes the file through closer (which may do so later); the object is closed at once.
    void close(FileCloser &closer);
    bool isOpen() const;
    // The size in bytes (64 bits), taken when the file was opened; -1 when it was not asked for
    // (openAt with knownRegular on POSIX): read until read() gives less than asked. Such a file's
    // type and size are asked after its first full read; no more than that size is read then, and
    // something other than a regular file (the entry replaced since it was listed) is a read error.
    qint64 size() const { return m_size; }
    // Reads up to count bytes; fewer only at the end of the file. -1 on an error.
    qint64 read(char *data, qint64 count);
    // The system's error code of the last open that failed.
    int error() const { return m_error; }

private:
    bool finishOpen();
    qint64 m_size = 0;
    int m_error = 0;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    // Of a file opened without its size: asks for it after the first full read (see read()).
    bool takeSize(qint64 readBefore);
    int m_fd = -1;
    qint64 m_read = 0;  // bytes read so far
    qint64 m_left = -1; // bytes still to read once the size is known that way; -1: not bounded
#endif
};

// Joins a folder path and a name with exactly one separator between them.
QString joinPath(const QString &folder, const QString &name);
// True when the path ends in a path separator of this system.
bool endsWithSeparator(const QString &path);
// The native path separator as a QChar.
QChar nativeSeparator();

} // namespace Platform
