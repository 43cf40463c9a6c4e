// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackReader.h"

#include "PackNames.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <locale.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PackReader", text);
}

QString mebibytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

// libarchive turns names stored as UTF-16 (7z, RAR 5) into the thread's character set. Under a UTF-8
// one every name survives, whatever locale the process runs in (a fuzzer or a tool has the C
// locale); names stored as bare bytes (old ZIP and tar) are left alone and decoded by us.
class Utf8Names
{
public:
    Utf8Names()
    {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (utf8)
            m_previous = uselocale(utf8);
    }
    ~Utf8Names()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    Utf8Names(const Utf8Names &) = delete;
    Utf8Names &operator=(const Utf8Names &) = delete;

private:
    locale_t m_previous = locale_t(nullptr);
};

// The library's errno for bytes of no format it reads, on systems without EFTYPE (ours).
constexpr int kUnknownFormat = EILSEQ;

const QByteArray kSevenZipSignature = QByteArrayLiteral("7z\xBC\xAF\x27\x1C");

} // namespace

bool isRefusal(PackStatus status)
{
    switch (status) {
    case PackStatus::TooDeep:
    case PackStatus::TooCompressed:
    case PackStatus::TooMuchOutput:
    case PackStatus::TooManyEntries:
        return true;
    default:
        return false;
    }
}

struct PackReader::Shared
{
    PackLimits limits;
    const std::atomic<bool> *stop = nullptr;
    PackTally tally;
    // A limit of the whole pack, once passed, stops every reader of it, outer and nested.
    PackStatus fatal = PackStatus::Ok;
    QString fatalError;
};

// Where a reader takes the pack's bytes from.
class PackReader::Source
{
public:
    virtual ~Source() = default;
    // Points buffer at the next bytes and returns their number: 0 at the end, -1 on failure (then
    // failure and error say why).
    virtual qint64 read(const char **buffer) = 0;
    virtual bool seekable() const { return false; }
    virtual qint64 seek(qint64 /*offset*/, int /*whence*/) { return -1; }

    PackStatus failure = PackStatus::Damaged;
    QString error;
};

// Friend of PackReader: the library's callbacks, and what a nested reader asks of its outer one.
struct PackCallbacks
{
    static la_ssize_t read(archive *archive, void *self, const void **buffer);
    static la_int64_t seek(archive *archive, void *self, la_int64_t offset, int whence);
    static quint64 entrySerial(const PackReader &reader) { return reader.m_entrySerial; }
};

namespace {

class FileSource final : public PackReader::Source
{
public:
    explicit FileSource(const QString &path)
        : m_file(path)
    {
    }
    bool open()
    {
        if (m_file.open(QIODevice::ReadOnly))
            return true;
        error = m_file.errorString();
        return false;
    }
    qint64 read(const char **buffer) override
    {
        m_buffer.resize(PackReader::chunkSize());
        const qint64 n = m_file.read(m_buffer.data(), m_buffer.size());
        if (n < 0) {
            error = m_file.errorString();
            return -1;
        }
        *buffer = m_buffer.constData();
        return n;
    }
    bool seekable() const override { return !m_file.isSequential(); }
    qint64 seek(qint64 offset, int whence) override
    {
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m_file.pos() : m_file.size();
        if (base + offset < 0 || !m_file.seek(base + offset))
            return -1;
        return m_file.pos();
    }

private:
    QFile m_file;
    QByteArray m_buffer;
};

// Bytes in memory, handed out a chunk at a time so that cancels and counts work as for a file.
class BytesSource final : public PackReader::Source
{
public:
    explicit BytesSource(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }
    qint64 read(const char **buffer) override
    {
        const qint64 n = qMin<qint64>(PackReader::chunkSize(), m_bytes.size() - m_pos);
        *buffer = m_bytes.constData() + m_pos;
        m_pos += n;
        return n;
    }
    bool seekable() const override { return true; }
    qint64 seek(qint64 offset, int whence) override
    {
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m_pos : m_bytes.size();
        if (base + offset < 0 || base + offset > m_bytes.size())
            return -1;
        m_pos = base + offset;
        return m_pos;
    }

private:
    const QByteArray m_bytes;
    qint64 m_pos = 0;
};

// The current entry of an outer reader, streamed: what was read ahead to look at the entry's kind
// first, then the rest as the outer reader gives it.
class EntrySource final : public PackReader::Source
{
public:
    EntrySource(PackReader &outer, const QByteArray &head)
        : m_outer(outer)
        , m_serial(PackCallbacks::entrySerial(outer))
        , m_head(head)
    {
    }
    qint64 read(const char **buffer) override
    {
        if (!m_head.isEmpty()) {
            m_buffer = m_head;
            m_head.clear();
        } else {
            if (PackCallbacks::entrySerial(m_outer) != m_serial) {
                failure = PackStatus::Damaged;
                error = tr("%1 moved to another entry").arg(m_outer.name());
                return -1;
            }
            m_buffer.resize(PackReader::chunkSize());
            const qint64 n = m_outer.read(m_buffer.data(), m_buffer.size());
            if (n < 0) {
                failure = m_outer.entryStatus();
                error = m_outer.error();
                return -1;
            }
            m_buffer.resize(n);
        }
        *buffer = m_buffer.constData();
        return m_buffer.size();
    }

private:
    PackReader &m_outer;
    const quint64 m_serial;
    QByteArray m_head;
    QByteArray m_buffer;
};

} // namespace

la_ssize_t PackCallbacks::read(archive *archive, void *self, const void **buffer)
{
    auto *reader = static_cast<PackReader *>(self);
    const auto &shared = *reader->m_shared;
    if (shared.stop && shared.stop->load(std::memory_order_relaxed)) {
        reader->m_sourceCancelled = true;
        archive_set_error(archive, ECANCELED, "cancelled");
        return -1;
    }
    // Skipping an entry of a compressed stream expands it without handing anything out: the
    // stream's output is counted here too, so a skipped bomb stops as a read one does.
    reader->countOutput();
    if (shared.fatal != PackStatus::Ok) {
        archive_set_error(archive, ECANCELED, "limit");
        return -1;
    }
    const char *data = nullptr;
    const qint64 n = reader->m_source->read(&data);
    if (n < 0) {
        reader->m_sourceFailure = reader->m_source->failure;
        archive_set_error(archive, EIO, "%s", reader->m_source->error.toUtf8().constData());
        return -1;
    }
    reader->m_rawRead += n;
    *buffer = data;
    return la_ssize_t(n);
}

la_int64_t PackCallbacks::seek(archive * /*archive*/, void *self, la_int64_t offset, int whence)
{
    auto *reader = static_cast<PackReader *>(self);
    const qint64 at = reader->m_source->seek(offset, whence);
    return at < 0 ? ARCHIVE_FATAL : la_int64_t(at);
}

PackReader::PackReader(const PackLimits &limits)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->limits = limits;
}

PackReader::~PackReader()
{
    releaseArchive();
}

void PackReader::releaseArchive()
{
    if (m_archive) {
        archive_read_free(m_archive);
        m_archive = nullptr;
    }
}

void PackReader::setStopFlag(const std::atomic<bool> *stop)
{
    m_shared->stop = stop;
}

const PackLimits &PackReader::limits() const
{
    return m_shared->limits;
}

PackTally PackReader::tally() const
{
    return m_shared->tally;
}

bool PackReader::isPackName(QStringView name)
{
    return PackNames::isPackName(name);
}

bool PackReader::open(const QString &path)
{
    m_name = QFileInfo(path).fileName();
    auto source = std::make_unique<FileSource>(path);
    if (!source->open()) {
        fail(PackStatus::CannotOpen, tr("Cannot open %1: %2").arg(path, source->error));
        return false;
    }
    return openSource(std::move(source));
}

bool PackReader::openBytes(const QByteArray &bytes, const QString &name)
{
    m_name = name;
    return openSource(std::make_unique<BytesSource>(bytes));
}

bool PackReader::openNested(PackReader &outer)
{
    m_shared = outer.m_shared;
    m_depth = outer.m_depth + 1;
    m_name = outer.m_name + QStringLiteral(" › ") + outer.m_entry.path;
    if (!outer.m_hasEntry || outer.m_entry.isFolder || outer.m_status != PackStatus::Ok) {
        fail(PackStatus::NotAPack, tr("%1 is not a pack").arg(m_name));
        return false;
    }
    if (outer.m_entry.isLocked) {
        fail(PackStatus::Locked, tr("%1 is encrypted").arg(m_name));
        return false;
    }
    if (m_depth > m_shared->limits.maxDepth) {
        ++m_shared->tally.tooDeep;
        fail(PackStatus::TooDeep,
             tr("%1 lies more than %2 packs deep and is not opened").arg(m_name).arg(m_shared->limits.maxDepth));
        return false;
    }
    // A look at the first bytes: a 7z pack keeps its list at its end and cannot be read as a stream.
    QByteArray head(chunkSize(), Qt::Uninitialized);
    const qint64 n = outer.read(head.data(), head.size());
    if (n < 0) {
        fail(outer.entryStatus(), outer.error());
        return false;
    }
    head.resize(n);
    if (head.startsWith(kSevenZipSignature))
        return openNestedHeld(outer, head);
    return openSource(std::make_unique<EntrySource>(outer, head));
}

// The whole entry in memory, up to the limit, read from there as a file is.
bool PackReader::openNestedHeld(PackReader &outer, QByteArray head)
{
    const qint64 most = m_shared->limits.maxHeldNested;
    QByteArray held = std::move(head);
    for (;;) {
        if (held.size() > most) {
            fail(PackStatus::NotSupported,
                 tr("%1 is a 7z pack of more than %2 MiB inside another pack and is not read")
                     .arg(m_name, mebibytes(most)));
            return false;
        }
        const qsizetype at = held.size();
        held.resize(at + chunkSize());
        const qint64 n = outer.read(held.data() + at, chunkSize());
        if (n < 0) {
            fail(outer.entryStatus(), outer.error());
            return false;
        }
        held.resize(at + n);
        if (n == 0)
            break;
    }
    return openSource(std::make_unique<BytesSource>(held));
}

bool PackReader::openSource(std::unique_ptr<Source> source)
{
    const Utf8Names names;
    releaseArchive();
    m_source = std::move(source);
    m_archive = archive_read_new();
    // The kinds we read, and no others: every further format is more code facing hostile bytes, and
    // some filters would start outside programs.
    archive_read_support_format_zip(m_archive);
    archive_read_support_format_7zip(m_archive);
    archive_read_support_format_rar(m_archive);
    archive_read_support_format_rar5(m_archive);
    archive_read_support_format_tar(m_archive);
    archive_read_support_filter_gzip(m_archive);
    archive_read_support_filter_bzip2(m_archive);
    archive_read_support_filter_xz(m_archive);
    archive_read_support_filter_lzma(m_archive);
    archive_read_support_filter_zstd(m_archive);
    archive_read_set_read_callback(m_archive, &PackCallbacks::read);
    if (m_source->seekable())
        archive_read_set_seek_callback(m_archive, &PackCallbacks::seek);
    archive_read_set_callback_data(m_archive, this);
    if (archive_read_open1(m_archive) != ARCHIVE_OK) {
        failFromLibrary(archive_errno(m_archive) == kUnknownFormat ? PackStatus::NotAPack
                                                                              : PackStatus::Damaged);
        releaseArchive();
        return false;
    }
    return true;
}

void PackReader::fail(PackStatus status, const QString &reason)
{
    if (m_status == PackStatus::Ok) {
        m_status = status;
        m_error = reason;
    }
    m_entryStatus = m_status;
}

// After the library gave up: why it did, as far as we know it better than the library does.
void PackReader::failFromLibrary(PackStatus fallback)
{
    if (m_sourceCancelled || (m_shared->stop && m_shared->stop->load(std::memory_order_relaxed))) {
        fail(PackStatus::Cancelled, tr("Reading %1 was cancelled").arg(m_name));
    } else if (m_shared->fatal != PackStatus::Ok) {
        fail(m_shared->fatal, m_shared->fatalError);
    } else if (m_sourceFailure != PackStatus::Ok) {
        fail(m_sourceFailure, m_source->error);
    } else if (fallback == PackStatus::NotAPack) {
        fail(fallback, tr("%1 is not a pack that can be read").arg(m_name));
    } else {
        const char *why = archive_error_string(m_archive);
        fail(fallback, tr("%1 is damaged: %2").arg(m_name, why ? QString::fromUtf8(why) : tr("unknown error")));
    }
}

bool PackReader::failEntry(PackStatus status, const QString &reason)
{
    m_entryStatus = status;
    m_error = reason;
    return false;
}

bool PackReader::checkShared()
{
    if (m_shared->stop && m_shared->stop->load(std::memory_order_relaxed))
        fail(PackStatus::Cancelled, tr("Reading %1 was cancelled").arg(m_name));
    else if (m_shared->fatal != PackStatus::Ok)
        fail(m_shared->fatal, m_shared->fatalError);
    return m_status == PackStatus::Ok;
}

// This reader's output: what its entries handed out, or, where the pack is a compressed stream (tar
// in gzip), what the stream expanded to, whichever is more.
void PackReader::countOutput()
{
    qint64 output = m_dataOutput;
    if (m_archive && archive_filter_count(m_archive) > 1)
        output = qMax<qint64>(output, archive_filter_bytes(m_archive, 0));
    Shared &shared = *m_shared;
    if (output > m_counted) {
        shared.tally.output += output - m_counted;
        m_counted = output;
    }
    if (shared.tally.output > shared.limits.maxOutput && shared.fatal == PackStatus::Ok) {
        shared.fatal = PackStatus::TooMuchOutput;
        shared.fatalError = tr("%1 expands to more than %2 MiB; the rest is not read")
                                .arg(m_name, mebibytes(shared.limits.maxOutput));
    }
}

bool PackReader::nextEntry()
{
    if (!m_archive || m_status != PackStatus::Ok || !checkShared())
        return false;
    const Utf8Names names;
    const bool afterLocked = m_hasEntry && m_entry.isLocked;
    m_hasEntry = false;
    ++m_entrySerial;
    archive_entry *header = nullptr;
    const int result = archive_read_next_header(m_archive, &header);
    if (result == ARCHIVE_EOF)
        return false;
    if (result < ARCHIVE_WARN) {
        // Read as a stream, a locked entry whose length is only written after its data cannot be
        // skipped: the rest of the pack is out of reach, for want of the key, not for damage.
        if (afterLocked && result == ARCHIVE_FAILED && m_sourceFailure == PackStatus::Ok && !m_sourceCancelled)
            fail(PackStatus::Locked, tr("%1: the entries after %2 cannot be reached, as %2 is encrypted")
                                         .arg(m_name, m_entry.path));
        else
            failFromLibrary(PackStatus::Damaged);
        return false;
    }
    m_entry = PackEntry();
    m_entry.path = PackNames::entryName(archive_entry_pathname(header), archive_entry_pathname_w(header),
                                        (archive_format(m_archive) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP);
    m_entry.isFolder = archive_entry_filetype(header) == AE_IFDIR;
    if (m_entry.path.size() > 1 && m_entry.path.endsWith(QLatin1Char('/'))) {
        m_entry.path.chop(1);
        m_entry.isFolder = true;
    }
    if (m_entry.path.isEmpty())
        m_entry.path = tr("(no name)");
    if (archive_entry_size_is_set(header))
        m_entry.size = archive_entry_size(header);
    if (archive_entry_mtime_is_set(header))
        m_entry.modified = QDateTime::fromSecsSinceEpoch(archive_entry_mtime(header), Qt::UTC)
                               .addMSecs(archive_entry_mtime_nsec(header) / 1000000);
    m_entry.isLocked = archive_entry_is_encrypted(header) != 0;
    return startEntry();
}

bool PackReader::startEntry()
{
    Shared &shared = *m_shared;
    if (++shared.tally.entries > shared.limits.maxEntries && shared.fatal == PackStatus::Ok) {
        shared.fatal = PackStatus::TooManyEntries;
        shared.fatalError =
            tr("%1 holds more than %2 entries; the rest is not read").arg(m_name).arg(shared.limits.maxEntries);
    }
    if (m_entry.isLocked)
        ++shared.tally.locked;
    m_entryRawStart = m_rawRead;
    m_entryOutput = 0;
    m_entryStatus = PackStatus::Ok;
    countOutput();
    if (!checkShared())
        return false;
    m_hasEntry = true;
    return true;
}

qint64 PackReader::read(char *data, qint64 max)
{
    if (m_entryStatus != PackStatus::Ok)
        return -1;
    if (!m_hasEntry || m_entry.isFolder || max <= 0)
        return 0;
    if (m_entry.isLocked) {
        failEntry(PackStatus::Locked, tr("%1 › %2 is encrypted").arg(m_name, m_entry.path));
        return -1;
    }
    if (!checkShared())
        return -1;
    const Utf8Names names;
    const la_ssize_t n = archive_read_data(m_archive, data, size_t(max));
    if (n < 0) {
        if (n == ARCHIVE_FATAL || m_sourceCancelled || m_sourceFailure != PackStatus::Ok
            || m_shared->fatal != PackStatus::Ok) {
            failFromLibrary(PackStatus::Damaged);
        } else {
            const char *why = archive_error_string(m_archive);
            failEntry(PackStatus::Damaged, tr("%1 › %2 cannot be read: %3")
                                               .arg(m_name, m_entry.path,
                                                    why ? QString::fromUtf8(why) : tr("unknown error")));
        }
        return -1;
    }
    m_entryOutput += n;
    m_dataOutput += n;
    countOutput();
    if (!checkShared())
        return -1;
    // The compressed bytes are what the entry took from the source, plus two blocks of slack for
    // what was read ahead before its header: never less than the truth, so nothing ordinary is
    // refused, while a bomb's output outgrows any slack.
    const PackLimits &limits = m_shared->limits;
    const qint64 compressed = m_rawRead - m_entryRawStart + 2 * chunkSize();
    if (m_entryOutput > limits.ratioFloor && m_entryOutput / limits.ratio > compressed) {
        ++m_shared->tally.tooCompressed;
        failEntry(PackStatus::TooCompressed, tr("%1 › %2 expands more than %3 times; it is not read further")
                                                 .arg(m_name, m_entry.path)
                                                 .arg(limits.ratio));
        return -1;
    }
    return n;
}

bool PackReader::readChunk(QByteArray &chunk)
{
    chunk.resize(chunkSize());
    const qint64 n = read(chunk.data(), chunk.size());
    chunk.resize(qMax<qint64>(n, 0));
    return n > 0;
}
