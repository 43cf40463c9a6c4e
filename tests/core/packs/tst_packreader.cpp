// SPDX-License-Identifier: GPL-3.0-or-later
// Reading packs as streams: every kind written here, nesting, locked entries, damage, the limits
// against bombs, names in old code pages and cancelling inside a large entry.
#include "PackFixtures.h"
#include "core/packs/PackReader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using PackFixtures::File;
using PackFixtures::Kind;
using PackFixtures::ZipFile;

Q_DECLARE_METATYPE(PackFixtures::Kind)
Q_DECLARE_METATYPE(PackStatus)

namespace {

// What a walk saw of one entry.
struct Seen
{
    QString path; // nested entries as "inner.zip › path"
    QByteArray data;
    bool folder = false;
    bool locked = false;
    qint64 size = -1;
    PackStatus status = PackStatus::Ok; // why its data stopped
};

// Reads every entry to its end; entries named as packs are opened and walked too.
QList<Seen> walk(PackReader &reader, const QString &prefix = QString())
{
    QList<Seen> seen;
    while (reader.nextEntry()) {
        const PackEntry &entry = reader.entry();
        Seen one{prefix + entry.path, {}, entry.isFolder, entry.isLocked, entry.size, PackStatus::Ok};
        if (PackReader::isPackName(entry.path)) {
            PackReader inner(reader.limits());
            if (inner.openNested(reader))
                seen += walk(inner, one.path + QStringLiteral(" › "));
            one.status = inner.status();
            seen.append(one);
            continue;
        }
        QByteArray chunk;
        while (reader.readChunk(chunk))
            one.data += chunk;
        one.status = reader.entryStatus();
        seen.append(one);
    }
    return seen;
}

QStringList pathsOf(const QList<Seen> &seen)
{
    QStringList paths;
    for (const Seen &one : seen)
        paths << one.path;
    return paths;
}

const Seen *find(const QList<Seen> &seen, const QString &path)
{
    for (const Seen &one : seen) {
        if (one.path == path)
            return &one;
    }
    return nullptr;
}

QByteArray pack(Kind kind, const QList<File> &files)
{
    QByteArray error;
    const QByteArray bytes = PackFixtures::write(kind, files, nullptr, nullptr, &error);
    if (bytes.isEmpty())
        qWarning("the writer refused: %s", error.constData());
    return bytes;
}

} // namespace

class TestPackReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsEachKind_data();
    void readsEachKind();
    void opensNestedPacks_data();
    void opensNestedPacks();
    void reportsLockedEntries_data();
    void reportsLockedEntries();
    void readsUpToTheDamage_data();
    void readsUpToTheDamage();
    void refusesBombs_data();
    void refusesBombs();
    void readsDataDescriptors_data();
    void readsDataDescriptors();
    void decodesNames_data();
    void decodesNames();
    void stopsAtTheNextChunkAfterCancel_data();
    void stopsAtTheNextChunkAfterCancel();
    void tellsWhatIsNoPack_data();
    void tellsWhatIsNoPack();
    void knowsPackNames_data();
    void knowsPackNames();
};

void TestPackReader::readsEachKind_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("fromFile");
    const QList<QPair<const char *, Kind>> kinds = {{"zip", Kind::Zip},       {"7z", Kind::SevenZip},
                                                   {"tar", Kind::Tar},       {"tar.gz", Kind::TarGz},
                                                   {"tar.bz2", Kind::TarBz2}, {"tar.xz", Kind::TarXz}};
    for (const auto &[name, kind] : kinds) {
        QTest::addRow("%s from a file", name) << kind << true;
        QTest::addRow("%s from memory", name) << kind << false;
    }
}

// Names, sizes, times, folders and contents, a large entry among them (many chunks).
void TestPackReader::readsEachKind()
{
    QFETCH(Kind, kind);
    QFETCH(bool, fromFile);
    const QByteArray large = PackFixtures::noise(300 * 1024, 7);
    const QByteArray bytes = pack(kind, {{"a.txt", "alpha"}, {"folder/", {}}, {"folder/b.bin", large},
                                         {"folder/empty.txt", {}}, {"Übersicht.txt", "umlaut"}});
    QVERIFY(!bytes.isEmpty());

    PackReader reader;
    QTemporaryDir dir;
    if (fromFile) {
        const QString path = dir.filePath(QStringLiteral("pack"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY2(reader.open(path), qPrintable(reader.error()));
    } else {
        QVERIFY2(reader.openBytes(bytes, QStringLiteral("pack")), qPrintable(reader.error()));
    }
    QVERIFY(reader.nextEntry());
    QCOMPARE(reader.entry().path, QStringLiteral("a.txt"));
    QCOMPARE(reader.entry().modified, QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
    QCOMPARE(reader.entry().size, 5);
    QCOMPARE(reader.depth(), 1);

    PackReader again;
    QVERIFY(again.openBytes(bytes, QStringLiteral("pack")));
    const QList<Seen> seen = walk(again);
    QCOMPARE(again.status(), PackStatus::Ok);
    const QStringList expected = {QStringLiteral("a.txt"), QStringLiteral("folder"), QStringLiteral("folder/b.bin"),
                                  QStringLiteral("folder/empty.txt"), QStringLiteral("Übersicht.txt")};
    // 7z lists folders apart from files, so compare the set.
    QStringList paths = pathsOf(seen);
    paths.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(paths, sortedExpected);
    QCOMPARE(find(seen, QStringLiteral("a.txt"))->data, QByteArray("alpha"));
    QVERIFY(find(seen, QStringLiteral("folder"))->folder);
    QCOMPARE(find(seen, QStringLiteral("folder/b.bin"))->data, large);
    QCOMPARE(find(seen, QStringLiteral("folder/b.bin"))->size, large.size());
    QCOMPARE(find(seen, QStringLiteral("folder/empty.txt"))->data, QByteArray());
    QCOMPARE(find(seen, QStringLiteral("Übersicht.txt"))->data, QByteArray("umlaut"));
    QCOMPARE(again.tally().entries, 5);
}

void TestPackReader::opensNestedPacks_data()
{
    QTest::addColumn<Kind>("outerKind");
    QTest::addColumn<Kind>("middleKind");
    QTest::addColumn<Kind>("innerKind");
    QTest::newRow("zip in zip in tar.gz") << Kind::TarGz << Kind::Zip << Kind::Zip;
    QTest::newRow("tar.xz in 7z in zip") << Kind::Zip << Kind::SevenZip << Kind::TarXz;
    QTest::newRow("7z in tar in tar.bz2") << Kind::TarBz2 << Kind::Tar << Kind::SevenZip;
}

// Three levels, each streamed out of the one around it; the entries around the nested packs are read
// as well.
void TestPackReader::opensNestedPacks()
{
    QFETCH(Kind, outerKind);
    QFETCH(Kind, middleKind);
    QFETCH(Kind, innerKind);
    const QByteArray deepText = PackFixtures::noise(200 * 1024, 3);
    const QByteArray inner = pack(innerKind, {{"deep.txt", deepText}});
    const QByteArray middle = pack(middleKind, {{"m.txt", "middle"}, {"inner2.pack.zip", inner}});
    const QByteArray outer = pack(outerKind, {{"inner.zip", middle}, {"after.txt", "after"}});
    QVERIFY(!inner.isEmpty() && !middle.isEmpty() && !outer.isEmpty());

    PackReader reader;
    QVERIFY(reader.openBytes(outer, QStringLiteral("outer")));
    const QList<Seen> seen = walk(reader);
    QCOMPARE(reader.status(), PackStatus::Ok);
    QStringList paths = pathsOf(seen);
    QVERIFY2(paths.contains(QStringLiteral("inner.zip › inner2.pack.zip › deep.txt")), qPrintable(paths.join(u'|')));
    QCOMPARE(find(seen, QStringLiteral("inner.zip › inner2.pack.zip › deep.txt"))->data, deepText);
    QCOMPARE(find(seen, QStringLiteral("inner.zip › m.txt"))->data, QByteArray("middle"));
    QCOMPARE(find(seen, QStringLiteral("after.txt"))->data, QByteArray("after"));
    QCOMPARE(find(seen, QStringLiteral("inner.zip"))->status, PackStatus::Ok);
    QCOMPARE(reader.tally().tooDeep, 0);
}

void TestPackReader::reportsLockedEntries_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<bool>("nested");
    QTest::addColumn<PackStatus>("endStatus");
    QTest::newRow("deflated, from the pack's own bytes")
        << QByteArray("zip:encryption=zipcrypt") << false << PackStatus::Ok;
    QTest::newRow("stored, streamed out of another pack")
        << QByteArray("zip:encryption=zipcrypt,zip:compression=store") << true << PackStatus::Ok;
    // Streamed, a deflated entry whose length follows its data cannot be skipped without its key.
    QTest::newRow("deflated, streamed out of another pack")
        << QByteArray("zip:encryption=zipcrypt") << true << PackStatus::Locked;
}

// A locked entry is listed as locked and its data is never read; what can be reached is.
void TestPackReader::reportsLockedEntries()
{
    QFETCH(QByteArray, options);
    QFETCH(bool, nested);
    QFETCH(PackStatus, endStatus);
    QByteArray error;
    const QByteArray locked =
        PackFixtures::write(Kind::Zip, {{"secret.txt", "secret"}, {"also.txt", "also secret"}}, options.constData(),
                            "password", &error);
    if (locked.isEmpty())
        QSKIP(qPrintable(QStringLiteral("the writer cannot encrypt: ") + QString::fromUtf8(error)));
    const QByteArray bytes = nested ? pack(Kind::Tar, {{"open.txt", "open"}, {"locked.zip", locked}}) : locked;

    PackReader reader;
    QVERIFY(reader.openBytes(bytes, QStringLiteral("pack")));
    const QList<Seen> seen = walk(reader);
    const QString prefix = nested ? QStringLiteral("locked.zip › ") : QString();
    const Seen *secret = find(seen, prefix + QStringLiteral("secret.txt"));
    QVERIFY(secret);
    QVERIFY(secret->locked);
    QCOMPARE(secret->status, PackStatus::Locked);
    QVERIFY(secret->data.isEmpty());
    if (endStatus == PackStatus::Ok)
        QVERIFY(find(seen, prefix + QStringLiteral("also.txt"))->locked);
    if (nested) {
        QCOMPARE(find(seen, QStringLiteral("open.txt"))->data, QByteArray("open"));
        QCOMPARE(find(seen, QStringLiteral("locked.zip"))->status, endStatus);
    }
    QCOMPARE(reader.status(), PackStatus::Ok);
    QVERIFY(reader.tally().locked >= 1);

    // Asking for a locked entry's data is answered, not attempted.
    PackReader direct;
    QVERIFY(direct.openBytes(locked, QStringLiteral("locked.zip")));
    QVERIFY(direct.nextEntry());
    char byte;
    QCOMPARE(direct.read(&byte, 1), -1);
    QCOMPARE(direct.entryStatus(), PackStatus::Locked);
    QVERIFY(direct.error().contains(QStringLiteral("secret.txt")));
}

void TestPackReader::readsUpToTheDamage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("whole");   // entries read whole before the damage
    QTest::addColumn<PackStatus>("endStatus");
    const QByteArray third = PackFixtures::noise(100 * 1024, 9);
    const QList<ZipFile> files = {{"one.txt", "one"}, {"two.txt", "two"}, {"three.bin", third}};
    const QByteArray zip = PackFixtures::buildZip(files);
    QTest::newRow("zip cut inside the third entry")
        << zip.left(zip.size() - 50 * 1024) << QStringList{QStringLiteral("one.txt"), QStringLiteral("two.txt")}
        << PackStatus::Damaged;
    const QByteArray tgz = pack(Kind::TarGz, {{"one.txt", "one"}, {"two.txt", "two"}, {"three.bin", third}});
    QTest::newRow("tar.gz cut inside the third entry")
        << tgz.left(tgz.size() - 20 * 1024) << QStringList{QStringLiteral("one.txt"), QStringLiteral("two.txt")}
        << PackStatus::Damaged;
    QByteArray scrambled = zip;
    for (qsizetype i = 200; i < 260; ++i)
        scrambled[i] = char(0xA5);
    QTest::newRow("zip with scrambled bytes after its first entries")
        << scrambled.left(scrambled.size() - 80 * 1024) << QStringList{QStringLiteral("one.txt")}
        << PackStatus::Damaged;
    // The header claims a gigabyte: the stream is what is read, and no memory follows the claim.
    ZipFile liar{"claims.txt", "a short text", true, false, true, qint64(1) << 30};
    QTest::newRow("zip entry claiming a gigabyte")
        << PackFixtures::buildZip({liar, {"next.txt", "next"}}) << QStringList{QStringLiteral("next.txt")}
        << PackStatus::Ok;
}

void TestPackReader::readsUpToTheDamage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, whole);
    QFETCH(PackStatus, endStatus);
    PackReader reader;
    QVERIFY(reader.openBytes(bytes, QStringLiteral("broken.zip")));
    const QList<Seen> seen = walk(reader);
    for (const QString &path : whole) {
        const Seen *one = find(seen, path);
        QVERIFY2(one, qPrintable(path));
        QCOMPARE(one->status, PackStatus::Ok);
        QCOMPARE(one->data, path.section(u'.', 0, 0).toUtf8());
    }
    QCOMPARE(reader.status(), endStatus);
    if (endStatus != PackStatus::Ok)
        QVERIFY(reader.error().contains(QStringLiteral("broken.zip")));
    // Nothing more is handed out once it is over.
    QVERIFY(!reader.nextEntry());
}

void TestPackReader::refusesBombs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readData");
    QTest::addColumn<qint64>("maxOutput");
    QTest::addColumn<qint64>("maxEntries");
    QTest::addColumn<PackStatus>("entryStatus"); // of the bomb entry; Ok when the pack itself is refused
    QTest::addColumn<PackStatus>("endStatus");
    const qint64 noLimit = qint64(1) << 40;
    const QByteArray zeros(20 * 1024 * 1024, '\0');
    QTest::newRow("ratio: 20 MiB of zeros in a ZIP")
        << PackFixtures::buildZip({{"zeros.bin", zeros, true}, {"after.txt", "after", true}}) << true << noLimit
        << noLimit << PackStatus::TooCompressed << PackStatus::Ok;
    QTest::newRow("ratio: 20 MiB of zeros in a tar.gz")
        << pack(Kind::TarGz, {{"zeros.bin", zeros}, {"after.txt", "after"}}) << true << noLimit << noLimit
        << PackStatus::TooCompressed << PackStatus::Ok;
    const QByteArray noisy = PackFixtures::noise(600 * 1024, 5);
    QTest::newRow("output: three entries past 1 MiB")
        << pack(Kind::Zip, {{"a.bin", noisy}, {"b.bin", noisy}, {"c.bin", noisy}}) << true << qint64(1 << 20)
        << noLimit << PackStatus::Ok << PackStatus::TooMuchOutput;
    // Skipped, a compressed stream still expands; it is stopped within a block of its input.
    QList<File> zeroFiles;
    for (int i = 0; i < 6; ++i)
        zeroFiles.append({QByteArray("zeros") + QByteArray::number(i), zeros});
    QTest::newRow("output: skipped entries of a tar.gz past 1 MiB")
        << pack(Kind::TarGz, zeroFiles) << false << qint64(1 << 20) << noLimit << PackStatus::Ok
        << PackStatus::TooMuchOutput;
    QList<File> many;
    for (int i = 0; i < 12; ++i)
        many.append({QByteArray("f") + QByteArray::number(i), "x"});
    QTest::newRow("entries: twelve where ten are allowed")
        << pack(Kind::Tar, many) << true << noLimit << qint64(10) << PackStatus::Ok << PackStatus::TooManyEntries;
    QByteArray level = pack(Kind::Zip, {{"deepest.txt", "deepest"}});
    for (int i = 0; i < 3; ++i)
        level = pack(Kind::Zip, {{"nested.zip", level}, {"sibling.txt", "sibling"}});
    QTest::newRow("nesting: four levels") << level << true << noLimit << noLimit << PackStatus::Ok << PackStatus::Ok;
}

// Each limit stops what passes it and says so; a refused entry or nested pack leaves the rest of the
// pack readable, a refused pack stops.
void TestPackReader::refusesBombs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readData);
    QFETCH(qint64, maxOutput);
    QFETCH(qint64, maxEntries);
    QFETCH(PackStatus, entryStatus);
    QFETCH(PackStatus, endStatus);
    QVERIFY(!bytes.isEmpty());
    PackLimits limits;
    limits.maxOutput = maxOutput;
    limits.maxEntries = maxEntries;
    PackReader reader(limits);
    QVERIFY(reader.openBytes(bytes, QStringLiteral("bomb")));
    QList<Seen> seen;
    if (readData) {
        seen = walk(reader);
    } else {
        while (reader.nextEntry())
            ;
    }
    QCOMPARE(reader.status(), endStatus);
    if (endStatus != PackStatus::Ok) {
        QVERIFY(isRefusal(endStatus));
        QVERIFY(reader.error().contains(QStringLiteral("bomb")));
        // Past the limit by what one block of input expands to at most (deflate: about 1,000 times).
        QVERIFY(reader.tally().output <= maxOutput + 1100 * PackReader::chunkSize());
        QVERIFY(reader.tally().entries <= maxEntries + 1);
    }
    if (entryStatus == PackStatus::TooCompressed) {
        QCOMPARE(seen.first().status, PackStatus::TooCompressed);
        QVERIFY(seen.first().data.size() < 20 * 1024 * 1024);
        QCOMPARE(reader.tally().tooCompressed, 1);
        QCOMPARE(find(seen, QStringLiteral("after.txt"))->data, QByteArray("after"));
    }
    if (QByteArray(QTest::currentDataTag()).startsWith("nesting")) {
        QCOMPARE(reader.tally().tooDeep, 1);
        const QString third = QStringLiteral("nested.zip › nested.zip › nested.zip");
        QCOMPARE(find(seen, third)->status, PackStatus::TooDeep);
        QCOMPARE(find(seen, QStringLiteral("nested.zip › nested.zip › sibling.txt"))->data, QByteArray("sibling"));
        QCOMPARE(find(seen, QStringLiteral("sibling.txt"))->data, QByteArray("sibling"));
    }
}

void TestPackReader::readsDataDescriptors_data()
{
    QTest::addColumn<bool>("deflate");
    QTest::addColumn<bool>("nested");
    QTest::newRow("deflated") << true << false;
    QTest::newRow("stored") << false << false;
    QTest::newRow("deflated, streamed out of another pack") << true << true;
    QTest::newRow("stored, streamed out of another pack") << false << true;
}

// Sizes after the data: known from the central directory when the whole file is there, found by
// the stream's own end when it is streamed.
void TestPackReader::readsDataDescriptors()
{
    QFETCH(bool, deflate);
    QFETCH(bool, nested);
    const QByteArray text = PackFixtures::noise(150 * 1024, 11);
    const QByteArray zip = PackFixtures::buildZip(
        {{"first.bin", text, deflate, true}, {"second.txt", "second", deflate, true}, {"third.txt", "third"}});
    const QByteArray bytes = nested ? pack(Kind::Tar, {{"descriptors.zip", zip}}) : zip;
    const QString prefix = nested ? QStringLiteral("descriptors.zip › ") : QString();
    PackReader reader;
    QVERIFY(reader.openBytes(bytes, QStringLiteral("pack")));
    const QList<Seen> seen = walk(reader);
    QCOMPARE(reader.status(), PackStatus::Ok);
    QVERIFY2(find(seen, prefix + QStringLiteral("third.txt")), qPrintable(pathsOf(seen).join(u'|')));
    QCOMPARE(find(seen, prefix + QStringLiteral("first.bin"))->data, text);
    QCOMPARE(find(seen, prefix + QStringLiteral("second.txt"))->data, QByteArray("second"));
    QCOMPARE(find(seen, prefix + QStringLiteral("third.txt"))->data, QByteArray("third"));
}

void TestPackReader::decodesNames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("zip, CP437 without the UTF-8 flag")
        << PackFixtures::buildZip({{"caf\x82 \x9c.txt", "x", false, false, false}}) << QStringLiteral("café £.txt");
    QTest::newRow("zip, UTF-8 with the flag")
        << PackFixtures::buildZip({{"\xE6\x97\xA5\xE6\x9C\xAC.txt", "x"}}) << QStringLiteral("日本.txt");
    QTest::newRow("zip, UTF-8 without the flag")
        << PackFixtures::buildZip({{"na\xC3\xAFve.txt", "x", false, false, false}}) << QStringLiteral("naïve.txt");
    QTest::newRow("tar, Latin-1") << PackFixtures::buildTar({{"caf\xE9.txt", "x"}}) << QStringLiteral("café.txt");
    QTest::newRow("7z, stored as UTF-16") << pack(Kind::SevenZip, {{"\xCE\xB1\xCE\xB2.txt", "x"}})
                                          << QStringLiteral("αβ.txt");
}

// A name that is no UTF-8 is decoded as the tools of its time wrote it, never dropped.
void TestPackReader::decodesNames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QVERIFY(!bytes.isEmpty());
    PackReader reader;
    QVERIFY(reader.openBytes(bytes, QStringLiteral("names")));
    QVERIFY2(reader.nextEntry(), qPrintable(reader.error()));
    QCOMPARE(reader.entry().path, name);
    QByteArray chunk;
    QVERIFY(reader.readChunk(chunk));
    QCOMPARE(chunk, QByteArray("x"));
}

void TestPackReader::stopsAtTheNextChunkAfterCancel_data()
{
    QTest::addColumn<bool>("nested");
    QTest::newRow("a pack") << false;
    QTest::newRow("a pack inside another") << true;
}

// The flag is looked at before every chunk: the read after it is raised is the last.
void TestPackReader::stopsAtTheNextChunkAfterCancel()
{
    QFETCH(bool, nested);
    const QByteArray zip =
        PackFixtures::buildZip({{"large.bin", QByteArray(8 * 1024 * 1024, 'a'), true}, {"after.txt", "after"}});
    const QByteArray bytes = nested ? pack(Kind::TarGz, {{"inner.zip", zip}}) : zip;
    std::atomic<bool> stop{false};
    PackReader outer;
    outer.setStopFlag(&stop);
    QVERIFY(outer.openBytes(bytes, QStringLiteral("pack")));
    QVERIFY(outer.nextEntry());
    PackReader inner;
    PackReader *reader = &outer;
    if (nested) {
        QVERIFY(inner.openNested(outer));
        QVERIFY(inner.nextEntry());
        reader = &inner;
    }
    QByteArray chunk;
    int chunks = 0;
    while (reader->readChunk(chunk)) {
        if (++chunks == 3)
            stop.store(true);
    }
    QCOMPARE(chunks, 3);
    QCOMPARE(reader->entryStatus(), PackStatus::Cancelled);
    QCOMPARE(reader->status(), PackStatus::Cancelled);
    QVERIFY(!reader->nextEntry());
    QVERIFY(!outer.nextEntry());
    QCOMPARE(outer.status(), PackStatus::Cancelled);
}

void TestPackReader::tellsWhatIsNoPack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<PackStatus>("status");
    QTest::newRow("empty") << QByteArray() << PackStatus::NotAPack;
    QTest::newRow("text") << QByteArray("just some text, not a pack at all\n").repeated(20) << PackStatus::NotAPack;
    QTest::newRow("noise") << PackFixtures::noise(5000, 1) << PackStatus::NotAPack;
    QTest::newRow("gzip of a text") << qCompress(QByteArray("text")) << PackStatus::NotAPack;
}

void TestPackReader::tellsWhatIsNoPack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(PackStatus, status);
    PackReader reader;
    QVERIFY(!reader.openBytes(bytes, QStringLiteral("file.zip")) || !reader.nextEntry());
    QCOMPARE(reader.status(), status);
    QVERIFY(reader.error().contains(QStringLiteral("file.zip")));

    PackReader missing;
    QVERIFY(!missing.open(QStringLiteral("/nonexistent/folder/pack.zip")));
    QCOMPARE(missing.status(), PackStatus::CannotOpen);
    QVERIFY(missing.error().contains(QStringLiteral("/nonexistent/folder/pack.zip")));
}

void TestPackReader::knowsPackNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isPack");
    QTest::newRow("zip") << QStringLiteral("a.zip") << true;
    QTest::newRow("upper case") << QStringLiteral("A.ZIP") << true;
    QTest::newRow("7z") << QStringLiteral("a.7z") << true;
    QTest::newRow("rar") << QStringLiteral("a.rar") << true;
    QTest::newRow("tar.gz") << QStringLiteral("a.tar.gz") << true;
    QTest::newRow("tgz") << QStringLiteral("a.tgz") << true;
    QTest::newRow("tar.bz2") << QStringLiteral("folder/a.tar.bz2") << true;
    QTest::newRow("tar.xz") << QStringLiteral("a.tar.xz") << true;
    QTest::newRow("gz alone") << QStringLiteral("a.gz") << false;
    QTest::newRow("docx") << QStringLiteral("a.docx") << false;
    QTest::newRow("bare extension") << QStringLiteral(".zip") << false;
    QTest::newRow("zip inside a name") << QStringLiteral("a.zip.txt") << false;
}

void TestPackReader::knowsPackNames()
{
    QFETCH(QString, name);
    QFETCH(bool, isPack);
    QCOMPARE(PackReader::isPackName(name), isPack);
}

QTEST_GUILESS_MAIN(TestPackReader)
#include "tst_packreader.moc"
