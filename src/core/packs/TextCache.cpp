// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextCache.h"

#include <QAtomicInt>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <zstd.h>

#include <array>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int kSchemaVersion = 5;
// A text's row: its file's id, then its place in the file (a pack holds fewer entries than this).
constexpr int kSeqBits = 20;
inline qint64 textId(qint64 file, qint64 seq)
{
    return (file << kSeqBits) | seq;
}
// Queued texts the writer has not stored yet; past this the caller waits for it.
constexpr qint64 kMaxPending = qint64(48) << 20;
// A write transaction ends after this many bytes or this long, so that what was stored survives a
// crash and other readers see it.
constexpr qint64 kCommitBytes = qint64(32) << 20;
constexpr qint64 kCommitMs = 1000;
// A binary entry is told by a NUL among its first bytes.
constexpr qsizetype kBinaryProbe = 8192;
// SQLite's result codes that say the file is no usable database, or is held by another.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

QAtomicInt g_connectionSerial;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool isUnusableError(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xFF; // the primary code of an extended one
    return ok && (code == kSqliteBusy || code == kSqliteLocked || code == kSqliteCorrupt ||
                  code == kSqliteNotADatabase);
}

QByteArray encodeChain(const QStringList &chain)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << chain;
    return bytes;
}

bool decodeChain(const QByteArray &bytes, QStringList &chain)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    in >> chain;
    return in.status() == QDataStream::Ok;
}

bool isStringsByte(unsigned char c)
{
    return (c >= 0x20 && c <= 0x7E) || c == '\t';
}

// The runs of printable ASCII at least kStringsRun long, each ended by a line break (a byte no
// fitting phrase holds, so no match spans two runs).
QByteArray printableRuns(const QByteArray &bytes)
{
    QByteArray out;
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && isStringsByte(static_cast<unsigned char>(p[i])))
            continue;
        if (i - start >= TextCache::kStringsRun) {
            out.append(p + start, i - start);
            out.append('\n');
        }
        start = i + 1;
    }
    return out;
}

// The filter of four-byte runs: a bit per hashed run of ASCII-lowered bytes, kGramBits wide while
// a file is written, then folded in halves while it stays sparse. A width that is a power of two
// lets a filter be folded: a run's bit in the half is its bit in the whole, less the half's width.
// Four bytes, not three: the runs inside and across the words of a phrase are then rare enough in
// other texts that most files are told apart.
constexpr quint32 kGramBits = quint32(1) << 17;
constexpr quint32 kFoldedGramBits = 1024;
constexpr int kGramLength = 4;

constexpr std::array<uchar, 256> kLowerAscii = [] {
    std::array<uchar, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = uchar((c >= 'A' && c <= 'Z') ? (c | 0x20) : c);
    return table;
}();

inline uchar lowerAscii(char c)
{
    return kLowerAscii[static_cast<uchar>(c)];
}

// The run's bit in the widest filter (a multiplicative hash: its top bits).
inline quint32 gramHash(quint32 run)
{
    return (run * 0x9E3779B1u) >> (32 - 17);
}
static_assert(kGramBits == quint32(1) << 17);

void addGrams(QByteArray &bits, const QByteArray &text)
{
    const qsizetype n = text.size();
    if (n < kGramLength)
        return;
    const char *p = text.constData();
    auto *out = reinterpret_cast<uchar *>(bits.data());
    // The runs that start at an even place only: half the work, and half the bits set. A phrase then
    // finds in the filter either its runs at even places or those at odd ones (mayHold).
    quint32 run = (quint32(lowerAscii(p[0])) << 16) | (quint32(lowerAscii(p[1])) << 8) | lowerAscii(p[2]);
    for (qsizetype i = 3; i < n; i += 2) {
        run = (run << 8) | lowerAscii(p[i]);
        const quint32 h = gramHash(run);
        out[h >> 3] |= uchar(1u << (h & 7));
        if (i + 1 < n)
            run = (run << 8) | lowerAscii(p[i + 1]);
    }
}

// The filter as stored: folded while no more than an eighth of its bits would be set.
QByteArray foldedGrams(QByteArray bits)
{
    while (quint32(bits.size()) * 8 > kFoldedGramBits) {
        const qsizetype half = bits.size() / 2;
        QByteArray folded = bits.left(half);
        qint64 set = 0;
        for (qsizetype i = 0; i < half; ++i) {
            folded[i] = char(uchar(folded[i]) | uchar(bits[half + i]));
            set += std::popcount(uchar(folded[i]));
        }
        if (set * 8 > half * 8)
            break;
        bits = folded;
    }
    return bits;
}

// An open SQLite connection on the thread that made it, set up with our tables.
class Connection
{
public:
    Connection(const QString &file, bool lookOnly)
        : m_lookOnly(lookOnly)
        , m_name(QStringLiteral("vantory-text-cache-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
        m_open = db.open() && setUp(db);
        if (!m_open)
            m_unusable = isUnusableError(db.lastError()) || isUnusableError(m_lastError) || !db.isOpen();
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_open; }
    // Opening failed for the file, not for want of the driver.
    bool isUnusable() const { return m_unusable; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    bool run(QSqlQuery &query, const QString &sql)
    {
        if (query.exec(sql))
            return true;
        m_lastError = query.lastError();
        return false;
    }
    bool setUp(QSqlDatabase &db)
    {
        QSqlQuery q(db);
        if (!run(q, QStringLiteral("PRAGMA user_version")) || !q.next())
            return false;
        const int version = q.value(0).toInt();
        q.finish();
        if (m_lookOnly) // another's file, to be read as it is or not at all
            return version == kSchemaVersion && run(q, QStringLiteral("SELECT id FROM files LIMIT 1"));
        if (version != kSchemaVersion) {
            // Another layout, or none yet: it is only a cache, so it is begun anew.
            if (!run(q, QStringLiteral("PRAGMA auto_vacuum=INCREMENTAL")) ||
                !run(q, QStringLiteral("DROP TABLE IF EXISTS entries")) ||
                !run(q, QStringLiteral("DROP TABLE IF EXISTS texts")) ||
                !run(q, QStringLiteral("DROP TABLE IF EXISTS files")) ||
                !run(q, QStringLiteral("CREATE TABLE files(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, "
                                       "size INTEGER NOT NULL, mtime INTEGER NOT NULL, used INTEGER NOT NULL, "
                                       "bytes INTEGER NOT NULL DEFAULT 0, complete INTEGER NOT NULL DEFAULT 0, "
                                       "locked INTEGER NOT NULL DEFAULT 0, damaged INTEGER NOT NULL DEFAULT 0, "
                                       "strings INTEGER NOT NULL DEFAULT 0, grams BLOB)")) ||
                !run(q, QStringLiteral("CREATE INDEX files_used ON files(used)")) ||
                // The entries' few fields close together, so that a search by name, or one that
                // needs a few texts of a file, reads few pages; the texts by themselves.
                !run(q, QStringLiteral("CREATE TABLE entries(file INTEGER NOT NULL, seq INTEGER NOT NULL, "
                                       "chain BLOB NOT NULL, size INTEGER NOT NULL, mtime INTEGER NOT NULL, "
                                       "flags INTEGER NOT NULL, PRIMARY KEY(file, seq)) WITHOUT ROWID")) ||
                !run(q, QStringLiteral("CREATE TABLE texts(id INTEGER PRIMARY KEY, text BLOB NOT NULL)")) ||
                !run(q, QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)))
                return false;
        }
        // Readers never wait for the writer, and a crash loses at most the last transaction.
        if (!run(q, QStringLiteral("PRAGMA journal_mode=WAL")) || !run(q, QStringLiteral("PRAGMA synchronous=NORMAL")))
            return false;
        // Reading a row proves the file is what it claims to be.
        return run(q, QStringLiteral("SELECT id FROM files LIMIT 1"));
    }

    bool m_lookOnly = false;
    QString m_name;
    bool m_open = false;
    bool m_unusable = false;
    QSqlError m_lastError;
};

bool removeCacheFiles(const QString &file, QString *error)
{
    bool ok = true;
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile f(file + suffix);
        if (f.exists() && !f.remove()) {
            ok = false;
            if (error && error->isEmpty())
                *error = QObject::tr("Could not remove %1: %2").arg(QDir::toNativeSeparators(f.fileName()),
                                                                      f.errorString());
        }
    }
    return ok;
}

// Moves a cache file that cannot be used out of the way, keeping the last one for a look.
void setAside(const QString &file)
{
    const QString aside = file + QStringLiteral(".damaged");
    QFile::remove(aside);
    if (!QFile::rename(file, aside))
        QFile::remove(file);
    QFile::remove(file + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm"));
}

} // namespace

// ---------------------------------------------------------------------------------------------

class TextCache::Private
{
public:
    struct Job
    {
        enum Kind { Begin, Entry, End, AbandonFile, Touch, Prune } kind = Begin;
        TextCacheKey key;
        TextCacheEntry entry;
        qint64 b = 0;
        QStringList folders;
        QList<qint64> ids;
    };

    Private(const QString &file, qint64 bound, bool lookOnly)
        : file(file), bound(bound), sessionStart(nowMs()), lookOnly(lookOnly)
    {
    }

    class Writer;

    void open();
    void writerMain();
    void enqueue(Job &&job);
    bool takeJob(Job &job);

    // Reading
    bool prepareReads();
    bool decompress(const QByteArray &blob, QByteArray &text);
    bool fail(QSqlQuery &query); // false; a failure that says the file is unusable marks it damaged
    void markDamaged() { damaged.store(true); }

    const QString file;
    const qint64 bound;
    const qint64 sessionStart;
    const bool lookOnly; // reads only: no writer, nothing set aside
    std::unique_ptr<Connection> reader;
    std::unique_ptr<QSqlQuery> findQuery;
    std::unique_ptr<QSqlQuery> entriesQuery;
    std::unique_ptr<QSqlQuery> textsQuery; // a file's texts in order
    ZSTD_DCtx *dctx = nullptr;
    bool open_ = false;
    bool setAsideOnOpen = false;
    std::atomic<bool> damaged{false};
    bool fileTooLarge = false; // the file being written has an entry past kMaxEntryText
    QList<qint64> touched;     // files found, whose time of use the writer has yet to set
    void flushTouched()
    {
        if (touched.isEmpty())
            return;
        Job job;
        job.kind = Job::Touch;
        job.ids = std::exchange(touched, {});
        enqueue(std::move(job));
    }

    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable room;
    std::deque<Job> queue;
    qint64 pending = 0;
    bool closing = false;
    std::thread writer;
};

void TextCache::Private::open()
{
    if (file.isEmpty() || (lookOnly && !QFileInfo::exists(file)))
        return;
    QDir().mkpath(QFileInfo(file).absolutePath());
    reader = std::make_unique<Connection>(file, lookOnly);
    if (!lookOnly && !reader->isOpen() && reader->isUnusable()) {
        reader.reset();
        setAside(file);
        setAsideOnOpen = true;
        reader = std::make_unique<Connection>(file, false);
    }
    if (!reader->isOpen() || !prepareReads()) {
        findQuery.reset();
        entriesQuery.reset();
        textsQuery.reset();
        reader.reset();
        return;
    }
    open_ = true;
    dctx = ZSTD_createDCtx();
    if (!lookOnly)
        writer = std::thread([this] { writerMain(); });
}

bool TextCache::Private::prepareReads()
{
    const QSqlDatabase db = reader->db();
    findQuery = std::make_unique<QSqlQuery>(db);
    entriesQuery = std::make_unique<QSqlQuery>(db);
    textsQuery = std::make_unique<QSqlQuery>(db);
    for (QSqlQuery *q : {findQuery.get(), entriesQuery.get(), textsQuery.get()})
        q->setForwardOnly(true);
    return findQuery->prepare(QStringLiteral("SELECT id, size, mtime, complete, locked, damaged, strings, grams "
                                             "FROM files WHERE path = ?")) &&
           entriesQuery->prepare(QStringLiteral("SELECT seq, chain, size, mtime, flags FROM entries "
                                                "WHERE file = ? ORDER BY seq")) &&
           textsQuery->prepare(QStringLiteral("SELECT id, text FROM texts WHERE id BETWEEN ? AND ? ORDER BY id"));
}

void TextCache::Private::enqueue(Job &&job)
{
    if (!open_ || lookOnly)
        return;
    std::unique_lock lock(mutex);
    const qint64 size = job.entry.text.size();
    room.wait(lock, [this, size] { return pending == 0 || pending + size <= kMaxPending || closing; });
    pending += size;
    queue.push_back(std::move(job));
    work.notify_one();
}

bool TextCache::Private::takeJob(Job &job)
{
    std::unique_lock lock(mutex);
    work.wait(lock, [this] { return !queue.empty() || closing; });
    if (queue.empty())
        return false;
    job = std::move(queue.front());
    queue.pop_front();
    pending -= job.entry.text.size();
    room.notify_all();
    return true;
}

// The writer's side: one connection on the writer thread, the statements it repeats, and the file
// being written.
class TextCache::Private::Writer
{
public:
    Writer(Private &owner, Connection &connection) : m_owner(owner), m_db(connection.db())
    {
        for (QSqlQuery *q : {&m_findFile, &m_removeEntries, &m_removeTexts, &m_removeFile, &m_addFile, &m_addEntry,
                             &m_addText, &m_endFile, &m_touch})
            *q = QSqlQuery(m_db);
        m_failed = !(
            m_findFile.prepare(QStringLiteral("SELECT id FROM files WHERE path = ?")) &&
            m_removeEntries.prepare(QStringLiteral("DELETE FROM entries WHERE file = ?")) &&
            m_removeTexts.prepare(QStringLiteral("DELETE FROM texts WHERE id BETWEEN ? AND ?")) &&
            m_removeFile.prepare(QStringLiteral("DELETE FROM files WHERE id = ?")) &&
            m_addFile.prepare(QStringLiteral("INSERT INTO files(path, size, mtime, used) VALUES (?, ?, ?, ?)")) &&
            m_addEntry.prepare(QStringLiteral("INSERT INTO entries(file, seq, chain, size, mtime, flags) "
                                              "VALUES (?, ?, ?, ?, ?, ?)")) &&
            m_addText.prepare(QStringLiteral("INSERT INTO texts(id, text) VALUES (?, ?)")) &&
            m_endFile.prepare(QStringLiteral("UPDATE files SET complete = 1, bytes = ?, locked = ?, damaged = ?, "
                                             "strings = ?, grams = ? WHERE id = ?")) &&
            m_touch.prepare(QStringLiteral("UPDATE files SET used = ? WHERE id = ?")));
        m_cctx = ZSTD_createCCtx();
    }
    ~Writer()
    {
        ZSTD_freeCCtx(m_cctx);
        for (QSqlQuery *q : {&m_findFile, &m_removeEntries, &m_removeTexts, &m_removeFile, &m_addFile, &m_addEntry,
                             &m_addText, &m_endFile, &m_touch})
            q->finish();
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void handle(Job &job);
    // Stores what is pending, then tidies: unfinished files, files gone from the searched folders, the bound.
    void finish();

private:
    bool run(QSqlQuery &query);
    void commit();
    void begin(const TextCacheKey &key);
    void store(TextCacheEntry &entry);
    void end(qint64 damaged);
    void removeFiles(const QList<qint64> &ids);
    void pruneGone();
    void keepBound();

    Private &m_owner;
    QSqlDatabase m_db;
    QSqlQuery m_findFile, m_removeEntries, m_removeTexts, m_removeFile, m_addFile, m_addEntry, m_addText, m_endFile,
        m_touch;
    ZSTD_CCtx *m_cctx = nullptr;
    QByteArray m_grams = QByteArray(kGramBits / 8, '\0'); // of the file being written
    qint64 m_fileLocked = 0;
    bool m_failed = false; // what cannot be stored is read again next time
    bool m_inTransaction = false;
    qint64 m_sinceCommit = 0;
    qint64 m_commitStart = 0;
    qint64 m_fileId = -1; // the file being written; -1: none, or dropped
    qint64 m_seq = 0;
    qint64 m_fileBytes = 0;
    bool m_fileStrings = false;
    QStringList m_pruneFolders;
};

bool TextCache::Private::Writer::run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    if (isUnusableError(query.lastError()))
        m_owner.markDamaged();
    m_failed = true;
    return false;
}

void TextCache::Private::Writer::commit()
{
    if (m_inTransaction && !m_db.commit()) {
        if (isUnusableError(m_db.lastError()))
            m_owner.markDamaged();
        m_failed = true;
    }
    m_inTransaction = false;
    m_sinceCommit = 0;
}

void TextCache::Private::Writer::handle(Job &job)
{
    if (m_failed || m_owner.damaged.load())
        return; // drained, not stored
    if (!m_inTransaction) {
        m_inTransaction = m_db.transaction();
        m_commitStart = nowMs();
    }
    switch (job.kind) {
    case Job::Begin:
        begin(job.key);
        break;
    case Job::Entry:
        if (m_fileId >= 0)
            store(job.entry);
        break;
    case Job::End:
        if (m_fileId >= 0)
            end(job.b);
        break;
    case Job::AbandonFile:
        m_fileId = -1; // left unfinished: never read, removed at the end
        break;
    case Job::Touch:
        for (const qint64 id : std::as_const(job.ids)) {
            m_touch.addBindValue(nowMs());
            m_touch.addBindValue(id);
            if (!run(m_touch))
                break;
        }
        break;
    case Job::Prune:
        m_pruneFolders += job.folders;
        break;
    }
    if (m_sinceCommit >= kCommitBytes || nowMs() - m_commitStart >= kCommitMs)
        commit();
}

void TextCache::Private::Writer::begin(const TextCacheKey &key)
{
    // What was kept of the file before goes.
    m_findFile.addBindValue(key.path);
    if (!run(m_findFile))
        return;
    QList<qint64> old;
    while (m_findFile.next())
        old << m_findFile.value(0).toLongLong();
    m_findFile.finish();
    removeFiles(old);
    m_addFile.addBindValue(key.path);
    m_addFile.addBindValue(key.size);
    m_addFile.addBindValue(key.modified);
    m_addFile.addBindValue(nowMs());
    m_fileId = run(m_addFile) ? m_addFile.lastInsertId().toLongLong() : -1;
    m_seq = 0;
    m_fileBytes = 0;
    m_fileStrings = false;
    m_fileLocked = 0;
    m_grams.fill('\0');
}

void TextCache::Private::Writer::store(TextCacheEntry &entry)
{
    if (!(entry.flags & TextCacheEntry::Document) && !entry.text.isEmpty() &&
        std::memchr(entry.text.constData(), 0, size_t(std::min(entry.text.size(), kBinaryProbe)))) {
        entry.text = printableRuns(entry.text);
        entry.flags |= TextCacheEntry::Strings;
        m_fileStrings = true;
    }
    addGrams(m_grams, entry.text);
    if (entry.flags & (TextCacheEntry::Locked | TextCacheEntry::Unreadable))
        ++m_fileLocked;
    QByteArray blob;
    if (!entry.text.isEmpty()) {
        blob.resize(qsizetype(ZSTD_compressBound(size_t(entry.text.size()))));
        const size_t written = ZSTD_compressCCtx(m_cctx, blob.data(), size_t(blob.size()), entry.text.constData(),
                                                 size_t(entry.text.size()), 1);
        if (ZSTD_isError(written)) {
            m_fileId = -1;
            return;
        }
        blob.truncate(qsizetype(written));
    }
    const qint64 seq = m_seq++;
    if (seq >= (qint64(1) << kSeqBits)) {
        m_fileId = -1; // more entries than a pack may hold: left unfinished
        return;
    }
    m_addEntry.addBindValue(m_fileId);
    m_addEntry.addBindValue(seq);
    m_addEntry.addBindValue(encodeChain(entry.chain));
    m_addEntry.addBindValue(entry.size);
    m_addEntry.addBindValue(entry.modifiedMs);
    m_addEntry.addBindValue(qint64(entry.flags));
    run(m_addEntry);
    if (!blob.isEmpty()) {
        m_addText.addBindValue(textId(m_fileId, seq));
        m_addText.addBindValue(blob);
        run(m_addText);
    }
    m_fileBytes += blob.size() + 64; // the row's own fields, roughly
    m_sinceCommit += blob.size();
}

void TextCache::Private::Writer::end(qint64 damaged)
{
    const QByteArray grams = foldedGrams(m_grams);
    m_endFile.addBindValue(m_fileBytes + grams.size());
    m_endFile.addBindValue(m_fileLocked);
    m_endFile.addBindValue(damaged);
    m_endFile.addBindValue(m_fileStrings ? 1 : 0);
    m_endFile.addBindValue(grams);
    m_endFile.addBindValue(m_fileId);
    run(m_endFile);
    m_fileId = -1;
}

void TextCache::Private::Writer::removeFiles(const QList<qint64> &ids)
{
    for (qint64 id : ids) {
        m_removeEntries.addBindValue(id);
        m_removeTexts.addBindValue(textId(id, 0));
        m_removeTexts.addBindValue(textId(id + 1, 0) - 1);
        m_removeFile.addBindValue(id);
        if (!run(m_removeEntries) || !run(m_removeTexts) || !run(m_removeFile))
            return;
    }
}

void TextCache::Private::Writer::pruneGone()
{
    // Files of the searched folders that this search did not meet, and that are gone.
    QList<qint64> gone;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT id, path FROM files WHERE used < ?"));
    q.addBindValue(m_owner.sessionStart);
    if (q.exec()) {
        while (q.next()) {
            const QString path = q.value(1).toString();
            const bool under = std::any_of(m_pruneFolders.cbegin(), m_pruneFolders.cend(), [&path](const QString &f) {
                return path.startsWith(f.endsWith(u'/') ? f : f + u'/');
            });
            if (under && !QFileInfo::exists(path))
                gone << q.value(0).toLongLong();
        }
    }
    removeFiles(gone);
}

void TextCache::Private::Writer::keepBound()
{
    const qint64 bound = m_owner.bound;
    QSqlQuery q(m_db);
    qint64 total = 0;
    if (q.exec(QStringLiteral("SELECT COALESCE(SUM(bytes), 0) FROM files")) && q.next())
        total = q.value(0).toLongLong();
    if (total <= bound)
        return;
    // The files used longest ago go, until a tenth of the bound is free again.
    QList<qint64> out;
    q.exec(QStringLiteral("SELECT id, bytes FROM files ORDER BY used"));
    while (total > bound - bound / 10 && q.next()) {
        out << q.value(0).toLongLong();
        total -= q.value(1).toLongLong();
    }
    q.finish();
    removeFiles(out);
}

void TextCache::Private::Writer::finish()
{
    commit();
    if (m_owner.damaged.load())
        return;
    QSqlQuery q(m_db);
    m_db.transaction();
    QList<qint64> unfinished;
    if (q.exec(QStringLiteral("SELECT id FROM files WHERE complete = 0"))) {
        while (q.next())
            unfinished << q.value(0).toLongLong();
    }
    q.finish();
    removeFiles(unfinished);
    if (!m_pruneFolders.isEmpty())
        pruneGone();
    keepBound();
    m_db.commit();
    q.exec(QStringLiteral("PRAGMA incremental_vacuum"));
}

void TextCache::Private::writerMain()
{
    Connection connection(file, false);
    if (!connection.isOpen()) {
        if (connection.isUnusable())
            markDamaged();
    } else {
        Writer writer(*this, connection);
        Job job;
        while (takeJob(job))
            writer.handle(job);
        writer.finish();
        return;
    }
    Job job;
    while (takeJob(job)) {
    }
}

// ---------------------------------------------------------------------------------------------

QString TextCache::defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/text-cache.sqlite");
}

TextCache::TextCache(const QString &file, qint64 bound) : d(std::make_unique<Private>(file, bound, false))
{
    d->open();
}

TextCache::TextCache(const QString &file, LookOnly) : d(std::make_unique<Private>(file, kDefaultBound, true))
{
    d->open();
}

TextCache::~TextCache()
{
    d->flushTouched();
    if (d->writer.joinable()) {
        {
            std::lock_guard lock(d->mutex);
            d->closing = true;
        }
        d->work.notify_all();
        d->room.notify_all();
        d->writer.join();
    }
    if (d->dctx)
        ZSTD_freeDCtx(d->dctx);
    d->findQuery.reset();
    d->entriesQuery.reset();
    d->textsQuery.reset();
    d->reader.reset();
    if (d->damaged.load() && !d->lookOnly)
        setAside(d->file); // begun anew next time
}

bool TextCache::isOpen() const
{
    return d->open_ && !d->damaged.load();
}

bool TextCache::wasSetAside() const
{
    return d->setAsideOnOpen;
}

std::optional<TextCache::Record> TextCache::find(const TextCacheKey &key)
{
    if (!isOpen())
        return std::nullopt;
    QSqlQuery &q = *d->findQuery;
    q.addBindValue(key.path);
    if (!q.exec()) {
        if (isUnusableError(q.lastError()))
            d->markDamaged();
        return std::nullopt;
    }
    std::optional<Record> found;
    if (q.next() && q.value(1).toLongLong() == key.size && q.value(2).toLongLong() == key.modified &&
        q.value(3).toInt() == 1) {
        Record record;
        record.id = q.value(0).toLongLong();
        record.lockedEntries = q.value(4).toLongLong();
        record.damagedPacks = q.value(5).toLongLong();
        record.hasStrings = q.value(6).toInt() != 0;
        record.grams = q.value(7).toByteArray();
        found = record;
    }
    q.finish();
    if (found) {
        // Told the writer in batches, not with a wake-up for every file a search meets.
        d->touched << found->id;
        if (d->touched.size() >= 256)
            d->flushTouched();
    }
    return found;
}

bool TextCache::Private::decompress(const QByteArray &blob, QByteArray &text)
{
    text.clear();
    if (blob.isEmpty())
        return true;
    const unsigned long long size = ZSTD_getFrameContentSize(blob.constData(), size_t(blob.size()));
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN || size > quint64(kMaxEntryText))
        return false;
    text.resize(qsizetype(size));
    const size_t got = ZSTD_decompressDCtx(dctx, text.data(), size_t(size), blob.constData(), size_t(blob.size()));
    return !ZSTD_isError(got) && got == size;
}

bool TextCache::Private::fail(QSqlQuery &query)
{
    if (isUnusableError(query.lastError()))
        markDamaged();
    return false;
}

bool TextCache::entries(const Record &record, bool withText, const EntryFunction &each)
{
    if (!isOpen())
        return false;
    struct Row
    {
        qint64 seq;
        TextCacheEntry entry;
    };
    std::vector<Row> rows;
    QSqlQuery &q = *d->entriesQuery;
    q.addBindValue(record.id);
    if (!q.exec())
        return d->fail(q);
    bool ok = true;
    while (ok && q.next()) {
        Row row;
        row.seq = q.value(0).toLongLong();
        ok = decodeChain(q.value(1).toByteArray(), row.entry.chain);
        row.entry.size = q.value(2).toLongLong();
        row.entry.modifiedMs = q.value(3).toLongLong();
        row.entry.flags = quint32(q.value(4).toLongLong());
        rows.push_back(std::move(row));
    }
    q.finish();

    // The texts of the file in one pass, in order; an entry without one has none.
    QSqlQuery &texts = *d->textsQuery;
    bool textsLeft = false;
    if (ok && withText) {
        texts.addBindValue(textId(record.id, 0));
        texts.addBindValue(textId(record.id + 1, 0) - 1);
        if (!texts.exec())
            return d->fail(texts);
        textsLeft = texts.next();
    }
    for (Row &row : rows) {
        if (!ok)
            break;
        if (withText) {
            const qint64 id = textId(record.id, row.seq);
            while (textsLeft && texts.value(0).toLongLong() < id)
                textsLeft = texts.next();
            if (textsLeft && texts.value(0).toLongLong() == id)
                ok = d->decompress(texts.value(1).toByteArray(), row.entry.text);
            if (!ok)
                break;
        }
        if (!each(row.entry))
            break;
        row.entry.text = QByteArray(); // one text in memory at a time
    }
    texts.finish();
    if (!ok)
        d->markDamaged(); // a row that does not read back: the file is set aside at the end
    return ok;
}

bool TextCache::Record::mayHold(const QByteArray &phrase) const
{
    const quint32 bits = quint32(grams.size()) * 8;
    // Only a phrase of ASCII is matched byte for byte whatever the case rule; the rest can't be told.
    if (phrase.size() < kGramLength || bits < 8 || (bits & (bits - 1)) != 0 ||
        std::any_of(phrase.cbegin(), phrase.cend(), [](char c) { return static_cast<uchar>(c) >= 0x80; }))
        return true;
    const auto *filter = reinterpret_cast<const uchar *>(grams.constData());
    // Where the phrase stands in a text decides which of its runs were kept: those at its even
    // places, or those at its odd ones. It may be there when all of either set are.
    const auto allKept = [&](qsizetype parity) {
        for (qsizetype start = parity; start + kGramLength <= phrase.size(); start += 2) {
            quint32 run = 0;
            for (qsizetype i = start; i < start + kGramLength; ++i)
                run = (run << 8) | lowerAscii(phrase[i]);
            const quint32 h = gramHash(run) & (bits - 1);
            if (!(filter[h >> 3] & (1u << (h & 7))))
                return false;
        }
        return true;
    };
    return allKept(0) || allKept(1);
}

bool TextCache::phraseFitsStrings(const QByteArray &phrase)
{
    if (phrase.size() < kStringsRun)
        return false;
    return std::all_of(phrase.cbegin(), phrase.cend(),
                       [](char c) { return isStringsByte(static_cast<unsigned char>(c)); });
}

void TextCache::beginFile(const TextCacheKey &key)
{
    d->fileTooLarge = false;
    Private::Job job;
    job.kind = Private::Job::Begin;
    job.key = key;
    d->enqueue(std::move(job));
}

void TextCache::addEntry(TextCacheEntry entry)
{
    if (d->fileTooLarge)
        return;
    if (entry.text.size() > kMaxEntryText) {
        d->fileTooLarge = true;
        abandonFile();
        return;
    }
    Private::Job job;
    job.kind = Private::Job::Entry;
    job.entry = std::move(entry);
    d->enqueue(std::move(job));
}

void TextCache::endFile(qint64 damagedPacks)
{
    if (d->fileTooLarge)
        return;
    Private::Job job;
    job.kind = Private::Job::End;
    job.b = damagedPacks;
    d->enqueue(std::move(job));
}

void TextCache::abandonFile()
{
    Private::Job job;
    job.kind = Private::Job::AbandonFile;
    d->enqueue(std::move(job));
}

void TextCache::abandon()
{
    std::lock_guard lock(d->mutex);
    // Whatever was queued goes; a file left half written is removed when the writer ends.
    d->queue.clear();
    d->pending = 0;
    Private::Job job;
    job.kind = Private::Job::AbandonFile;
    d->queue.push_back(std::move(job));
    d->room.notify_all();
    d->work.notify_one();
}

void TextCache::prune(const QStringList &folders)
{
    Private::Job job;
    job.kind = Private::Job::Prune;
    job.folders = folders;
    d->enqueue(std::move(job));
}

bool TextCache::empty(const QString &file, QString *error)
{
    return removeCacheFiles(file, error);
}

TextCache::Stats TextCache::stats()
{
    Stats stats;
    if (!isOpen())
        return stats;
    QSqlQuery q(d->reader->db());
    if (q.exec(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(bytes), 0) FROM files WHERE complete = 1")) && q.next()) {
        stats.files = q.value(0).toLongLong();
        stats.bytes = q.value(1).toLongLong();
    }
    return stats;
}
