// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlatCopy.h"

#include "core/packs/PackEntryData.h"
#include "core/packs/PackReader.h"
#include "core/platform/DirListing.h"
#include "core/platform/FileOps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Past this many taken names something else is wrong; the file is given up.
constexpr int kMaxCandidates = 10000;
// Read and write buffer where the system cannot copy between files itself.
constexpr qint64 kBufferSize = 1024 * 1024;
// A source that keeps changing while it is copied is given up after this many tries.
constexpr int kMaxCopyAttempts = 3;

QString tr(const char *text)
{
    return QCoreApplication::translate("FlatCopy", text);
}

// A temporary name in the destination: hidden where a leading dot hides, and short, so that even
// a source name of the longest length leaves room for it.
QString temporaryName()
{
    return QStringLiteral(".vantory-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

// Exactly the names temporaryName() gives.
bool isTemporaryName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.vantory-[0-9a-f]{16}\\.part$"));
    return pattern.match(name).hasMatch();
}

} // namespace

FlatCopy::FlatCopy(const QStringList &sources, const QString &destination)
    : m_sources(sources), m_destination(destination)
{
    m_paths = m_sources;
    m_inner.resize(m_sources.size());
    m_entrySizes.resize(m_sources.size());
}

FlatCopy::FlatCopy(const QList<Source> &sources, const QString &destination) : m_destination(destination)
{
    for (const Source &source : sources) {
        m_sources << (source.inner.isEmpty()
                          ? source.path
                          : source.path + QStringLiteral(" › ") + source.inner.join(QStringLiteral(" › ")));
        m_paths << source.path;
        m_inner << source.inner;
        m_entrySizes << std::max<qint64>(0, source.size);
    }
}

QString FlatCopy::sourceName(int index) const
{
    if (index < 0 || index >= m_sources.size())
        return {};
    if (!m_inner.at(index).isEmpty())
        return PackEntryData::entryName(m_inner.at(index));
    return QFileInfo(m_sources.at(index)).fileName();
}

QString FlatCopy::candidateName(const QString &name, int n)
{
    if (n <= 1)
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString number = QStringLiteral(" (%1)").arg(n);
    if (dot <= 0)
        return name + number;
    return name.left(dot) + number + name.mid(dot);
}

FlatCopy::Progress FlatCopy::progress() const
{
    Progress p;
    p.filesTotal = int(m_sources.size());
    p.filesDone = m_filesDone.load(std::memory_order_relaxed);
    p.bytesDone = m_bytesDone.load(std::memory_order_relaxed);
    p.bytesTotal = m_bytesTotal.load(std::memory_order_relaxed);
    p.current = m_current.load(std::memory_order_relaxed);
    return p;
}

void FlatCopy::report()
{
    if (m_hook)
        m_hook(progress());
}

void FlatCopy::run()
{
    m_result = Result();
    m_result.total = int(m_sources.size());
    removeLeftovers();

    // The sizes first, so the progress can be told in bytes from the start.
    std::vector<qint64> sizes(m_sources.size(), 0);
    qint64 total = 0;
    for (qsizetype i = 0; i < m_sources.size(); ++i) {
        Platform::FileStatus status;
        if (!m_inner.at(i).isEmpty())
            sizes[i] = m_entrySizes.at(i);
        else if (Platform::statFile(m_sources.at(i), status))
            sizes[i] = status.size;
        total += sizes[i];
    }
    m_bytesTotal.store(total, std::memory_order_relaxed);

    for (qsizetype i = 0; i < m_sources.size(); ++i) {
        if (isCancelRequested()) {
            m_result.cancelled = true;
            for (qsizetype rest = i; rest < m_sources.size(); ++rest)
                m_result.failures.append({m_sources.at(rest), tr("Cancelled")});
            break;
        }
        m_current.store(int(i), std::memory_order_relaxed);
        report();
        const qint64 before = m_bytesDone.load(std::memory_order_relaxed);
        QString arrivedAt;
        const Status copied = m_inner.at(i).isEmpty() ? copyOne(int(i), arrivedAt) : copyEntry(int(i), arrivedAt);
        if (copied) {
            m_result.arrived.append(arrivedAt);
            if (QFileInfo(arrivedAt).fileName() != sourceName(int(i)))
                ++m_result.renamed;
        } else {
            m_result.failures.append({m_sources.at(i), copied.error});
            if (isCancelRequested())
                m_result.cancelled = true;
        }
        // A file that failed half-way still moves the count on by its whole size.
        m_bytesDone.store(std::max(m_bytesDone.load(std::memory_order_relaxed), before + sizes[i]),
                          std::memory_order_relaxed);
        m_filesDone.fetch_add(1, std::memory_order_relaxed);
        report();
    }
    m_current.store(-1, std::memory_order_relaxed);
}

Status FlatCopy::claim(const QString &temporary, const QString &name, QString &arrivedAt)
{
    for (int n = 1; n <= kMaxCandidates; ++n) {
        const QString target = Platform::joinPath(m_destination, candidateName(name, n));
        const Platform::RenameResult renamed = Platform::renameNoReplace(temporary, target);
        switch (renamed.kind) {
        case Platform::RenameResult::Done:
            arrivedAt = target;
            return {};
        case Platform::RenameResult::Exists:
            continue;
        case Platform::RenameResult::Failed:
            return Status::failure(renamed.error);
        }
    }
    return Status::failure(tr("No free name left for the copy"));
}

#ifndef Q_OS_WIN

namespace {

struct FileDescriptor
{
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int result = fd;
        fd = -1;
        return result;
    }
};

bool writeAll(int fd, const char *data, qint64 count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, data, size_t(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        count -= n;
    }
    return true;
}

} // namespace

Status FlatCopy::copyOne(int index, QString &arrivedAt)
{
    const QString &source = m_sources.at(index);
    const QString name = QFileInfo(source).fileName();
    FileDescriptor in;
    struct stat st;
    if (Status opened = openSource(source, name, in.fd, st); !opened)
        return opened;
    // The copy is created with the source's permission bits (the umask applies, as for any new file).
    QString temporary;
    FileDescriptor out;
    // Holds the lock that tells other copies into this folder that the temporary file is in use, until
    // it has its final name.
    FileDescriptor held;
    if (Status created = createTemporary(st.st_mode & 0777, out.fd, held.fd, temporary); !created)
        return created;

    Status done = copyContents(in.fd, out.fd, st);
    if (done) {
        // The copy keeps the source's modification time, as a file manager's copy does.
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
#ifdef Q_OS_DARWIN
        times[1] = st.st_mtimespec;
#else
        times[1] = st.st_mtim;
#endif
        ::futimens(out.fd, times);
        // Some file systems (network ones) report write errors only here.
        if (::close(out.release()) != 0)
            done = Status::failure(Platform::systemErrorText(errno));
    }
    return finishTemporary(done, out.fd, temporary, name, arrivedAt);
}

Status FlatCopy::finishTemporary(Status done, int &fd, const QString &temporary, const QString &name,
                                 QString &arrivedAt)
{
    if (done && isCancelRequested())
        done = Status::failure(tr("Cancelled"));
    if (done)
        done = claim(temporary, name, arrivedAt);
    if (!done) {
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
        ::unlink(QFile::encodeName(temporary).constData());
    }
    return done;
}

Status FlatCopy::copyEntry(int index, QString &arrivedAt)
{
    const QString name = sourceName(index);
    if (name.isEmpty())
        return Status::failure(tr("Not a regular file"));
    QString temporary;
    FileDescriptor out;
    FileDescriptor held; // the lock that marks the temporary file as in use (see copyOne)
    if (Status created = createTemporary(0666, out.fd, held.fd, temporary); !created)
        return created;
    int writeError = 0;
    PackEntry header;
    Status done = PackEntryData::read(
        m_paths.at(index), m_inner.at(index),
        [&](const char *data, qint64 size) {
            if (isCancelRequested())
                return false;
            if (!writeAll(out.fd, data, size)) {
                writeError = errno;
                return false;
            }
            m_bytesDone.fetch_add(size, std::memory_order_relaxed);
            report();
            return true;
        },
        &m_cancel, &header);
    if (writeError != 0)
        done = Status::failure(Platform::systemErrorText(writeError));
    if (done && header.modified.isValid() && header.modified.toMSecsSinceEpoch() >= 0) {
        // The copy keeps the date the pack gives the entry, as a copy of a file keeps the file's.
        const qint64 ms = header.modified.toMSecsSinceEpoch();
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = time_t(ms / 1000);
        times[1].tv_nsec = long(ms % 1000) * 1000000;
        ::futimens(out.fd, times);
    }
    if (done && ::close(out.release()) != 0)
        done = Status::failure(Platform::systemErrorText(errno));
    return finishTemporary(done, out.fd, temporary, name, arrivedAt);
}

Status FlatCopy::openSource(const QString &source, const QString &name, int &fd, struct stat &st)
{
    // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come; the type test
    // below refuses everything but regular files, on which the flag has no effect.
    fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Status::failure(Platform::systemErrorText(errno));
    if (::fstat(fd, &st) != 0)
        return Status::failure(Platform::systemErrorText(errno));
    if (!S_ISREG(st.st_mode) || name.isEmpty())
        return Status::failure(tr("Not a regular file"));
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return {};
}

Status FlatCopy::createTemporary(unsigned mode, int &out, int &held, QString &temporary)
{
    for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
        temporary = Platform::joinPath(m_destination, temporaryName());
        out = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
        if (out < 0 && errno != EEXIST)
            return Status::failure(Platform::systemErrorText(errno));
        if (out < 0)
            continue;
        // Another copy's clean-up may have taken the file for a leftover between its creation and the
        // lock: then it is gone (or about to go), and another name is tried.
        struct stat created;
        if (::flock(out, LOCK_EX | LOCK_NB) != 0 || ::fstat(out, &created) != 0 || created.st_nlink == 0) {
            ::close(std::exchange(out, -1));
            continue;
        }
        held = ::fcntl(out, F_DUPFD_CLOEXEC, 0);
    }
    if (out < 0)
        return Status::failure(Platform::systemErrorText(EEXIST));
    return {};
}

// Copies the whole source into the copy, again from the start when the source changed meanwhile.
// st is the source's status as the copy was made.
Status FlatCopy::copyContents(int in, int out, struct stat &st)
{
    qint64 copied = 0;
#ifdef Q_OS_LINUX
    // The kernel copies between the two files itself (and shares blocks where the file system can),
    // with no trip through our memory. Some file systems and kernels cannot; they get the buffer.
    bool inKernel = m_inKernel;
#else
    bool inKernel = false;
#endif
    for (int attempt = 1;; ++attempt) {
        for (;;) {
            if (isCancelRequested())
                return Status::failure(tr("Cancelled"));
            ssize_t n = 0;
#ifdef Q_OS_LINUX
            if (inKernel) {
                n = ::copy_file_range(in, nullptr, out, nullptr, size_t(m_chunkSize), 0);
                if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                    if (errno == ENOSYS) // the kernel has no such call: no use asking for the next files
                        m_inKernel = false;
                    inKernel = false;
                    continue;
                }
                // Files whose size the system reports as 0 (those of /proc and /sys) give nothing here
                // although they have contents; reading tells.
                if (n == 0 && copied == 0) {
                    inKernel = false;
                    continue;
                }
            }
#endif
            if (!inKernel) {
                if (!m_buffer)
                    m_buffer.reset(new char[kBufferSize]);
                n = ::read(in, m_buffer.get(), size_t(std::min(m_chunkSize, kBufferSize)));
                if (n > 0 && !writeAll(out, m_buffer.get(), n))
                    return Status::failure(Platform::systemErrorText(errno));
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return Status::failure(Platform::systemErrorText(errno));
            }
            if (n == 0)
                break;
            copied += n;
            m_bytesDone.fetch_add(n, std::memory_order_relaxed);
            report();
        }
        // A source written to while it was copied may have given parts of two versions (or of none, when
        // it was cut short): it is copied again from the start. Files whose size the system reports as 0
        // are taken as read.
        struct stat after;
        if (::fstat(in, &after) != 0)
            return Status::failure(Platform::systemErrorText(errno));
        if (Platform::sameFileVersion(st, after) && (copied == after.st_size || after.st_size == 0))
            break;
        if (attempt == kMaxCopyAttempts)
            return Status::failure(tr("The file changed while it was copied"));
        m_bytesDone.fetch_sub(copied, std::memory_order_relaxed);
        copied = 0;
        st = after;
        if (::lseek(in, 0, SEEK_SET) < 0 || ::ftruncate(out, 0) != 0 || ::lseek(out, 0, SEEK_SET) < 0)
            return Status::failure(Platform::systemErrorText(errno));
#ifdef Q_OS_LINUX
        inKernel = m_inKernel;
#endif
    }

    return {};
}

void FlatCopy::removeLeftovers() const
{
    const QStringList names = QDir(m_destination).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!isTemporaryName(name))
            continue;
        const QByteArray path = QFile::encodeName(Platform::joinPath(m_destination, name));
        // Never through a link; a running copy holds a lock on its temporary file, which a copy that
        // was killed no longer does.
        FileDescriptor leftover;
        leftover.fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        if (leftover.fd < 0 || ::fstat(leftover.fd, &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::flock(leftover.fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
    }
}

#else // Q_OS_WIN

void FlatCopy::removeLeftovers() const
{
    // A running copy keeps its temporary file open, which keeps it from being removed here.
    const QStringList names = QDir(m_destination).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = Platform::joinPath(m_destination, name);
        const QFileInfo info(path);
        if (isTemporaryName(name) && info.isFile() && !info.isSymLink())
            QFile::remove(path);
    }
}

Status FlatCopy::copyEntry(int index, QString &arrivedAt)
{
    const QString name = sourceName(index);
    QFile out;
    for (int attempt = 0; attempt < 16 && !out.isOpen(); ++attempt) {
        out.setFileName(Platform::joinPath(m_destination, temporaryName()));
        if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!out.exists())
            return Status::failure(out.errorString());
    }
    if (!out.isOpen())
        return Status::failure(out.errorString());
    bool written = true;
    Status done = PackEntryData::read(
        m_paths.at(index), m_inner.at(index),
        [&](const char *data, qint64 size) {
            if (isCancelRequested())
                return false;
            written = out.write(data, size) == size;
            m_bytesDone.fetch_add(size, std::memory_order_relaxed);
            report();
            return written;
        },
        &m_cancel);
    if (!written)
        done = Status::failure(out.errorString());
    out.close();
    if (done && isCancelRequested())
        done = Status::failure(tr("Cancelled"));
    if (done)
        done = claim(out.fileName(), name, arrivedAt);
    if (!done)
        out.remove();
    return done;
}

Status FlatCopy::copyOne(int index, QString &arrivedAt)
{
    const QString &source = m_sources.at(index);
    const QFileInfo info(source);
    const QString name = info.fileName();
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(in.errorString());
    if (!info.isFile() || name.isEmpty())
        return Status::failure(tr("Not a regular file"));
    QFile out;
    for (int attempt = 0; attempt < 16 && !out.isOpen(); ++attempt) {
        out.setFileName(Platform::joinPath(m_destination, temporaryName()));
        if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!out.exists()) { // not a clash of names: the folder refuses
            return Status::failure(out.errorString());
        }
    }
    if (!out.isOpen())
        return Status::failure(out.errorString());
    auto drop = [&](const QString &why) {
        out.close();
        out.remove();
        return Status::failure(why);
    };
    if (!m_buffer)
        m_buffer.reset(new char[kBufferSize]);
    for (;;) {
        if (isCancelRequested())
            return drop(tr("Cancelled"));
        const qint64 n = in.read(m_buffer.get(), std::min(m_chunkSize, kBufferSize));
        if (n < 0)
            return drop(in.errorString());
        if (n == 0)
            break;
        if (out.write(m_buffer.get(), n) != n)
            return drop(out.errorString());
        m_bytesDone.fetch_add(n, std::memory_order_relaxed);
        report();
    }
    out.setFileTime(in.fileTime(QFileDevice::FileModificationTime), QFileDevice::FileModificationTime);
    if (!out.flush())
        return drop(out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError) {
        out.remove();
        return Status::failure(out.errorString());
    }
    if (isCancelRequested()) {
        out.remove();
        return Status::failure(tr("Cancelled"));
    }
    Status claimed = claim(out.fileName(), name, arrivedAt);
    if (!claimed)
        out.remove();
    return claimed;
}

#endif
