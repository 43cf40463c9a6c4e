// SPDX-License-Identifier: GPL-3.0-or-later
// The text cache: what is stored reads back as it was, only under the key it was stored with; files
// left unfinished, gone from the disk or past the bound go; a damaged or held cache file is set
// aside and a new one begun.
#include "PackFixtures.h"
#include "TestSupport.h"
#include "core/packs/TextCache.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TextCacheEntry entry(const QStringList &chain, const QByteArray &text, quint32 flags = 0)
{
    TextCacheEntry e;
    e.chain = chain;
    e.size = text.size();
    e.modifiedMs = 1577836800000; // 2020-01-01
    e.flags = flags;
    e.text = text;
    return e;
}

void store(TextCache &cache, const TextCacheKey &key, const QList<TextCacheEntry> &entries, qint64 damaged = 0)
{
    cache.beginFile(key);
    for (const TextCacheEntry &e : entries)
        cache.addEntry(e);
    cache.endFile(damaged);
}

QList<TextCacheEntry> readAll(TextCache &cache, const TextCache::Record &record, bool withText = true)
{
    QList<TextCacheEntry> out;
    const bool whole = cache.entries(record, withText, [&out](TextCacheEntry &e) {
        out << e;
        return true;
    });
    return whole ? out : QList<TextCacheEntry>{};
}

} // namespace

class TestTextCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsBackWhatWasStored();
    void findsOnlyUnderTheSameKey_data();
    void findsOnlyUnderTheSameKey();
    void keepsOnlyThePrintableRunsOfBinaries();
    void phraseFitsStrings_data();
    void phraseFitsStrings();
    void filterTellsWhatTextsCannotHold_data();
    void filterTellsWhatTextsCannotHold();
    void dropsUnfinishedFiles();
    void dropsAFileWithATextTooLong();
    void prunesFilesGoneFromTheDisk();
    void dropsTheLeastRecentlyUsedPastTheBound();
    void setsAsideAnUnusableFile_data();
    void setsAsideAnUnusableFile();
    void setsAsideAFileHeldByAnother();
    void emptiesTheCache();

private:
    QString cacheFile() const { return m_dir->filePath(QStringLiteral("cache/text-cache.sqlite")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTextCache::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTextCache::readsBackWhatWasStored()
{
    const TextCacheKey key{QStringLiteral("/downloads/pack.zip"), 1234, 5678};
    const QList<TextCacheEntry> stored{
        entry({QStringLiteral("folder/a.txt")}, "the kiwi inside"),
        entry({QStringLiteral("locked.txt")}, {}, TextCacheEntry::Locked),
        entry({QStringLiteral("inner.zip")}, {}, TextCacheEntry::Pack),
        entry({QStringLiteral("inner.zip"), QStringLiteral("b.txt")}, QByteArray(200000, 'x') + "end"),
        entry({QStringLiteral("book.pdf")}, QStringLiteral("Grüße, \u03a3\n").toUtf8(), TextCacheEntry::Document),
        entry({QStringLiteral("name \u203a with\nodd parts")}, "text"),
    };
    {
        TextCache cache(cacheFile());
        QVERIFY(cache.isOpen());
        QVERIFY(!cache.wasSetAside());
        store(cache, key, stored, 2);
    }
    TextCache cache(cacheFile());
    const auto record = cache.find(key);
    QVERIFY(record);
    QCOMPARE(record->damagedPacks, qint64(2));
    QVERIFY(!record->hasStrings);
    const QList<TextCacheEntry> back = readAll(cache, *record);
    QCOMPARE(back.size(), stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        QCOMPARE(back[i].chain, stored[i].chain);
        QCOMPARE(back[i].size, stored[i].size);
        QCOMPARE(back[i].modifiedMs, stored[i].modifiedMs);
        QCOMPARE(back[i].flags, stored[i].flags);
        QCOMPARE(back[i].text, stored[i].text);
    }
    // A search by name takes the entries without their texts.
    const QList<TextCacheEntry> names = readAll(cache, *record, false);
    QCOMPARE(names.size(), stored.size());
    QVERIFY(names[3].text.isEmpty());
    QCOMPARE(names[3].chain, stored[3].chain);
    // Compressed: the 200 kB of one letter take little room.
    QVERIFY(cache.stats().bytes < 20000);
}

void TestTextCache::findsOnlyUnderTheSameKey_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("modified");
    QTest::addColumn<bool>("found");

    QTest::newRow("same") << QStringLiteral("/d/pack.zip") << qint64(100) << qint64(200) << true;
    QTest::newRow("other size") << QStringLiteral("/d/pack.zip") << qint64(101) << qint64(200) << false;
    QTest::newRow("other time") << QStringLiteral("/d/pack.zip") << qint64(100) << qint64(201) << false;
    QTest::newRow("other path") << QStringLiteral("/d/Pack.zip") << qint64(100) << qint64(200) << false;
}

void TestTextCache::findsOnlyUnderTheSameKey()
{
    QFETCH(QString, path);
    QFETCH(qint64, size);
    QFETCH(qint64, modified);
    QFETCH(bool, found);
    {
        TextCache cache(cacheFile());
        store(cache, {QStringLiteral("/d/pack.zip"), 100, 200}, {entry({QStringLiteral("a.txt")}, "kiwi")});
    }
    TextCache cache(cacheFile());
    QCOMPARE(bool(cache.find({path, size, modified})), found);
}

void TestTextCache::keepsOnlyThePrintableRunsOfBinaries()
{
    QByteArray binary = PackFixtures::noise(50000, 3);
    binary.replace(10, 1, QByteArray(1, '\0'));
    binary.insert(30000, QByteArray("\0\0Marigold ledger #7\0", 21));
    const TextCacheKey key{QStringLiteral("/d/p.zip"), 1, 1};
    {
        TextCache cache(cacheFile());
        store(cache, key, {entry({QStringLiteral("a.jpg")}, binary), entry({QStringLiteral("b.txt")}, "plain text")});
    }
    TextCache cache(cacheFile());
    const auto record = cache.find(key);
    QVERIFY(record);
    QVERIFY(record->hasStrings);
    const QList<TextCacheEntry> back = readAll(cache, *record);
    QCOMPARE(back.size(), 2);
    QVERIFY(back[0].flags & TextCacheEntry::Strings);
    QVERIFY(back[0].text.contains("Marigold ledger #7\n"));
    QVERIFY(back[0].text.size() < binary.size() / 4);
    QVERIFY(!back[0].text.contains('\0'));
    // Runs shorter than four bytes are gone; every run kept is whole.
    for (const QByteArray &run : back[0].text.split('\n'))
        QVERIFY(run.isEmpty() || (run.size() >= TextCache::kStringsRun && binary.contains(run)));
    QCOMPARE(back[1].flags, quint32(0));
    QCOMPARE(back[1].text, QByteArray("plain text"));
}

void TestTextCache::phraseFitsStrings_data()
{
    QTest::addColumn<QByteArray>("phrase");
    QTest::addColumn<bool>("fits");

    QTest::newRow("ascii") << QByteArray("marigold ledger #7") << true;
    QTest::newRow("four bytes") << QByteArray("kiwi") << true;
    QTest::newRow("three bytes") << QByteArray("kiw") << false;
    QTest::newRow("with a tab") << QByteArray("a\tbcd") << true;
    QTest::newRow("with a line break") << QByteArray("ab\ncd") << false;
    QTest::newRow("beyond ascii") << QByteArray("gr\xc3\xbc\xc3\x9f") << false;
    QTest::newRow("control byte") << QByteArray("ab\x01" "cd") << false;
}

void TestTextCache::phraseFitsStrings()
{
    QFETCH(QByteArray, phrase);
    QFETCH(bool, fits);
    QCOMPARE(TextCache::phraseFitsStrings(phrase), fits);
}

void TestTextCache::filterTellsWhatTextsCannotHold_data()
{
    QTest::addColumn<QByteArray>("phrase");
    QTest::addColumn<bool>("mayHold");

    QTest::newRow("in a text") << QByteArray("quick brown") << true;
    QTest::newRow("in another case") << QByteArray("QUICK Brown") << true;
    QTest::newRow("at an odd place") << QByteArray("he quick brow") << true;
    QTest::newRow("at the very end") << QByteArray("brown fox") << true;
    QTest::newRow("in a document") << QByteArray("ledger") << true;
    QTest::newRow("in a nested entry") << QByteArray("kiwi") << true;
    QTest::newRow("in no text") << QByteArray("zebra") << false;
    QTest::newRow("across two texts") << QByteArray("foxmarigold") << false;
    QTest::newRow("in a binary's printable runs") << QByteArray("papaya") << true;
    QTest::newRow("across a binary's runs") << QByteArray("papayapapaya") << false;
    QTest::newRow("too short to tell") << QByteArray("zqx") << true;
    QTest::newRow("beyond ascii") << QByteArray("z\xc3\xa9" "bra") << true;
}

void TestTextCache::filterTellsWhatTextsCannotHold()
{
    QFETCH(QByteArray, phrase);
    QFETCH(bool, mayHold);
    const TextCacheKey key{QStringLiteral("/d/p.zip"), 1, 1};
    {
        TextCache cache(cacheFile());
        QByteArray binary = PackFixtures::noise(3000, 4).replace("papaya", "");
        binary.insert(100, QByteArray("\0\0papaya\0", 10));
        store(cache, key,
              {entry({QStringLiteral("a.txt")}, "The quick brown fox"),
               entry({QStringLiteral("b.pdf")}, "Marigold Ledger", TextCacheEntry::Document),
               entry({QStringLiteral("inner.zip"), QStringLiteral("c.txt")}, "one kiwi"),
               entry({QStringLiteral("d.jpg")}, binary)});
    }
    TextCache cache(cacheFile());
    const auto record = cache.find(key);
    QVERIFY(record);
    QVERIFY(record->hasStrings);
    QCOMPARE(record->mayHold(phrase), mayHold);
}

void TestTextCache::dropsUnfinishedFiles()
{
    const TextCacheKey begun{QStringLiteral("/d/begun.zip"), 1, 1};
    const TextCacheKey dropped{QStringLiteral("/d/dropped.zip"), 1, 1};
    const TextCacheKey stopped{QStringLiteral("/d/stopped.zip"), 1, 1};
    {
        TextCache cache(cacheFile());
        store(cache, {QStringLiteral("/d/dropped.zip"), 1, 1}, {entry({QStringLiteral("old.txt")}, "old")});
    }
    {
        TextCache cache(cacheFile());
        // Begun anew and then given up: the old record is gone too (the file changed).
        cache.beginFile(dropped);
        cache.addEntry(entry({QStringLiteral("a.txt")}, "a"));
        cache.abandonFile();
        cache.beginFile(begun);
        cache.addEntry(entry({QStringLiteral("a.txt")}, "a"));
    }
    {
        TextCache cache(cacheFile());
        cache.beginFile(stopped);
        cache.addEntry(entry({QStringLiteral("a.txt")}, "a"));
        cache.endFile(0);
        cache.abandon(); // a stop: nothing queued is stored
    }
    TextCache cache(cacheFile());
    QVERIFY(!cache.find(begun));
    QVERIFY(!cache.find(dropped));
    QVERIFY(!cache.find(stopped));
    QCOMPARE(cache.stats().files, qint64(0));
}

void TestTextCache::dropsAFileWithATextTooLong()
{
    const TextCacheKey key{QStringLiteral("/d/huge.zip"), 1, 1};
    {
        TextCache cache(cacheFile());
        cache.beginFile(key);
        cache.addEntry(entry({QStringLiteral("a.txt")}, "a"));
        cache.addEntry(entry({QStringLiteral("b.txt")}, QByteArray(TextCache::kMaxEntryText + 1, 'b')));
        cache.addEntry(entry({QStringLiteral("c.txt")}, "c"));
        cache.endFile(0);
    }
    TextCache cache(cacheFile());
    QVERIFY(!cache.find(key));
}

void TestTextCache::prunesFilesGoneFromTheDisk()
{
    const QString folder = m_dir->filePath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(folder));
    const QString kept = folder + QStringLiteral("/kept.zip");
    const QString gone = folder + QStringLiteral("/gone.zip");
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere/gone.zip"));
    QFile file(kept);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        TextCache cache(cacheFile());
        for (const QString &path : {kept, gone, elsewhere})
            store(cache, {path, 1, 1}, {entry({QStringLiteral("a.txt")}, "a")});
    }
    {
        // A later search of the folder: what it did not meet and is gone goes; other folders stay.
        TextCache cache(cacheFile());
        cache.prune({folder});
    }
    TextCache cache(cacheFile());
    QVERIFY(cache.find({kept, 1, 1}));
    QVERIFY(!cache.find({gone, 1, 1}));
    QVERIFY(cache.find({elsewhere, 1, 1}));
}

void TestTextCache::dropsTheLeastRecentlyUsedPastTheBound()
{
    // Texts that do not compress (and hold no NUL, so they are kept whole), 40 kB each with a filter
    // of 16 kB, under a bound of 150 kB: the third is one too many.
    const qint64 bound = 150000;
    const auto key = [](int i) { return TextCacheKey{QStringLiteral("/d/%1.zip").arg(i), 1, 1}; };
    const auto text = [](quint32 seed) { return PackFixtures::noise(40000, seed).replace('\0', '\1'); };
    {
        TextCache cache(cacheFile(), bound);
        store(cache, key(1), {entry({QStringLiteral("a")}, text(1))});
        store(cache, key(2), {entry({QStringLiteral("a")}, text(2))});
    }
    QTest::qWait(5); // later times of use
    {
        TextCache cache(cacheFile(), bound);
        QVERIFY(cache.find(key(1))); // used again: now the most recent
    }
    QTest::qWait(5);
    {
        TextCache cache(cacheFile(), bound);
        store(cache, key(3), {entry({QStringLiteral("a")}, text(3))});
    }
    TextCache cache(cacheFile(), bound);
    QVERIFY(cache.stats().bytes <= bound);
    QVERIFY(cache.find(key(1)));
    QVERIFY(!cache.find(key(2)));
    QVERIFY(cache.find(key(3)));
}

void TestTextCache::setsAsideAnUnusableFile_data()
{
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("not a database") << QByteArray("this is no database at all, just some text").repeated(200);
    QByteArray header("SQLite format 3\0", 16);
    QTest::newRow("damaged header") << header + PackFixtures::noise(8192, 9);
}

void TestTextCache::setsAsideAnUnusableFile()
{
    QFETCH(QByteArray, contents);
    QVERIFY(QDir().mkpath(QFileInfo(cacheFile()).absolutePath()));
    QFile file(cacheFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
    file.close();

    const TextCacheKey key{QStringLiteral("/d/p.zip"), 1, 1};
    {
        TextCache cache(cacheFile());
        QVERIFY(cache.isOpen());
        QVERIFY(cache.wasSetAside());
        store(cache, key, {entry({QStringLiteral("a.txt")}, "a")});
    }
    QFile aside(cacheFile() + QStringLiteral(".damaged"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), contents);
    TextCache cache(cacheFile());
    QVERIFY(!cache.wasSetAside());
    QVERIFY(cache.find(key));
}

void TestTextCache::setsAsideAFileHeldByAnother()
{
    {
        TextCache cache(cacheFile());
        store(cache, {QStringLiteral("/d/p.zip"), 1, 1}, {entry({QStringLiteral("a.txt")}, "a")});
    }
    // Another program holds the file locked for itself: the search goes on with a new one.
    const QString holder = QStringLiteral("holder");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
        db.setDatabaseName(cacheFile());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode=DELETE")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM files")));
        {
            TextCache cache(cacheFile());
            QVERIFY(cache.isOpen());
            QVERIFY(cache.wasSetAside());
            store(cache, {QStringLiteral("/d/q.zip"), 1, 1}, {entry({QStringLiteral("b.txt")}, "b")});
        }
        q.exec(QStringLiteral("ROLLBACK"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(holder);
    TextCache cache(cacheFile());
    QVERIFY(cache.find({QStringLiteral("/d/q.zip"), 1, 1}));
}

void TestTextCache::emptiesTheCache()
{
    {
        TextCache cache(cacheFile());
        store(cache, {QStringLiteral("/d/p.zip"), 1, 1}, {entry({QStringLiteral("a.txt")}, "a")});
    }
    QVERIFY(QFile::exists(cacheFile()));
    QString error;
    QVERIFY(TextCache::empty(cacheFile(), &error));
    QVERIFY(error.isEmpty());
    QVERIFY(!QFile::exists(cacheFile()));
    QVERIFY(!QFile::exists(cacheFile() + QStringLiteral("-wal")));
    TextCache cache(cacheFile());
    QVERIFY(cache.isOpen());
    QVERIFY(!cache.find({QStringLiteral("/d/p.zip"), 1, 1}));
}

QTEST_GUILESS_MAIN(TestTextCache)
#include "tst_textcache.moc"
