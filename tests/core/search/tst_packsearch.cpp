// SPDX-License-Identifier: GPL-3.0-or-later
// The search inside packs and documents: names and contents of entries, nested packs, documents by
// their text, locked entries and damaged packs counted, and the search without it unchanged; the
// same answers again from the text cache, which is read instead of the packs while they are unchanged;
// a stop inside a large entry.
#include "PackFixtures.h"
#include "TestSupport.h"
#include "core/search/FindFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/time.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray docx(const QByteArray &text)
{
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
        "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:body></w:document>";
    return PackFixtures::buildZip({{"[Content_Types].xml", "<Types/>", true},
                                   {"word/document.xml", document, true}});
}

} // namespace

class TestPackSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void findsInsidePacks_data();
    void findsInsidePacks();
    void batchedResultsKeepTheirEntry();
    void answersFromTheCacheWithoutReading();
    void searchesBinaryEntriesFromTheCache_data();
    void searchesBinaryEntriesFromTheCache();
    void stopsInsideALargeEntry();

private:
    QStringList search(const QString &mask, const QString &phrase, bool packs, bool threaded = false,
                       const QString &cacheFile = QString());
    bool writeFile(const QString &name, const QByteArray &data);

    QTemporaryDir m_dir;
    Platform::WalkReport m_report;
};

bool TestPackSearch::writeFile(const QString &name, const QByteArray &data)
{
    QFile file(m_dir.filePath(name));
    return !data.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

void TestPackSearch::initTestCase()
{
    QVERIFY(m_dir.isValid());
    using PackFixtures::Kind;
    const QByteArray inner = PackFixtures::write(Kind::Zip, {{"a.txt", "the kiwi inside"}});
    QVERIFY(writeFile(QStringLiteral("notes.txt"), "a plain kiwi"));
    QVERIFY(writeFile(QStringLiteral("pack.zip"),
                      PackFixtures::write(Kind::Zip, {{"folder/", {}},
                                                      {"folder/article.txt", "all about kiwi fruit, again and again"},
                                                      {"other.txt", "nothing here"},
                                                      {"inner.zip", inner}})));
    QVERIFY(writeFile(QStringLiteral("bundle.tar.gz"),
                      PackFixtures::write(Kind::TarGz, {{"docs/kiwi-list.txt", "banana"}, {"b.txt", "one kiwi"}})));
    QVERIFY(writeFile(QStringLiteral("stored.zip"), PackFixtures::buildZip({{"s.txt", "a kiwi stored as is"}})));
    QVERIFY(writeFile(QStringLiteral("report.docx"), docx("Kiwi season")));
    QVERIFY(writeFile(QStringLiteral("page.html"), "<html><body><p>ki<b>wi</b> in bold</p></body></html>"));
    QVERIFY(writeFile(QStringLiteral("locked.zip"),
                      PackFixtures::write(Kind::Zip, {{"secret.txt", "kiwi kept secret"}}, "zip:encryption=zipcrypt",
                                          "pass")));
    const QByteArray cut = PackFixtures::buildZip(
        {{"c1.txt", "kiwi before the damage"}, {"c2.txt", PackFixtures::noise(8000, 7)}});
    QVERIFY(writeFile(QStringLiteral("cut.zip"), cut.left(cut.size() - 3000)));
}

QStringList TestPackSearch::search(const QString &mask, const QString &phrase, bool packs, bool threaded,
                                   const QString &cacheFile)
{
    TFindFile finder;
    finder.setTextCacheFile(cacheFile);
    finder.Criteria()->Files()->setLocation(QDir(m_dir.path()).absolutePath());
    finder.Criteria()->Files()->setFileName(mask);
    finder.Criteria()->Content()->setPhrase(phrase);
    finder.Criteria()->Content()->setSearchPacks(packs);
    finder.setThreaded(threaded);
    finder.setDelivery(edBatched);
    QStringList found;
    bool finished = false;
    finder.setOnFileMatch([&found](QObject *, const QString &, const TSearchRec &entry) {
        QStringList parts{entry.Name()};
        parts += entry.InnerPath();
        found << parts.join(QStringLiteral(" > ")) + (entry.IsLocked() ? QStringLiteral(" [locked]") : QString());
    });
    finder.setOnSearchFinish([&finished](QObject *) { finished = true; });
    finder.StartSearch();
    if (threaded)
        [&finished] { QTRY_VERIFY_WITH_TIMEOUT(finished, 60000); }();
    m_report = finder.Report();
    found.sort();
    return found;
}

void TestPackSearch::findsInsidePacks_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("packs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("locked"); // met while walking the packs, whatever the mask
    QTest::addColumn<int>("cached"); // packs, and documents the mask takes, answered by the cache

    QTest::newRow("contents inside")
        << QStringLiteral("*.*") << QStringLiteral("kiwi") << true
        << QStringList{u"bundle.tar.gz > b.txt"_s, u"cut.zip > c1.txt"_s, u"notes.txt"_s, u"pack.zip > folder/article.txt"_s,
                       u"pack.zip > inner.zip > a.txt"_s, u"page.html"_s, u"report.docx"_s, u"stored.zip > s.txt"_s}
        << 1 << 7;
    QTest::newRow("contents, entries by mask")
        << QStringLiteral("a.txt") << QStringLiteral("KIWI") << true
        << QStringList{u"pack.zip > inner.zip > a.txt"_s} << 1 << 5;
    QTest::newRow("contents without packs")
        << QStringLiteral("*.*") << QStringLiteral("kiwi") << false
        << QStringList{u"cut.zip"_s, u"notes.txt"_s, u"stored.zip"_s} << 0 << 0;
    QTest::newRow("names inside") << QStringLiteral("*kiwi*") << QString() << true
                                  << QStringList{u"bundle.tar.gz > docs/kiwi-list.txt"_s} << 1 << 5;
    QTest::newRow("names without packs") << QStringLiteral("*kiwi*") << QString() << false << QStringList{} << 0 << 0;
    // A locked entry's name is readable: found by it, marked, and counted.
    QTest::newRow("locked entry by name") << QStringLiteral("secret*") << QString() << true
                                          << QStringList{u"locked.zip > secret.txt [locked]"_s} << 1 << 5;
    QTest::newRow("locked entry by content") << QStringLiteral("secret*") << QStringLiteral("kiwi") << true
                                             << QStringList{} << 1 << 5;
    QTest::newRow("nested pack by name")
        << QStringLiteral("*.zip") << QString() << true
        << QStringList{u"cut.zip"_s, u"locked.zip"_s, u"pack.zip"_s, u"pack.zip > inner.zip"_s, u"stored.zip"_s} << 1 << 5;
}

void TestPackSearch::findsInsidePacks()
{
    QFETCH(QString, mask);
    QFETCH(QString, phrase);
    QFETCH(bool, packs);
    QFETCH(QStringList, expected);
    QFETCH(int, locked);
    QFETCH(int, cached);

    QCOMPARE(search(mask, phrase, packs), expected);
    QCOMPARE(m_report.lockedEntries, qint64(locked));
    if (packs && !phrase.isEmpty() && mask == QLatin1String("*.*"))
        QVERIFY(m_report.damagedPacks >= 1); // cut.zip
    if (!packs)
        QCOMPARE(m_report.damagedPacks, qint64(0));
    const qint64 damaged = m_report.damagedPacks;

    // The same answers from the text cache, filled by a search for another phrase.
    QTemporaryDir cacheDir;
    const QString cacheFile = cacheDir.filePath(QStringLiteral("text-cache.sqlite"));
    QCOMPARE(search(QStringLiteral("*"), QStringLiteral("zzzz"), packs, false, cacheFile), QStringList{});
    QCOMPARE(m_report.cachedTexts, qint64(0));
    QCOMPARE(search(mask, phrase, packs, false, cacheFile), expected);
    QCOMPARE(m_report.lockedEntries, qint64(locked));
    QCOMPARE(m_report.damagedPacks, damaged);
    QCOMPARE(m_report.cachedTexts, qint64(cached));
}

void TestPackSearch::batchedResultsKeepTheirEntry()
{
    // Queued results are copies: the entry's path inside the pack travels with them.
    QCOMPARE(search(QStringLiteral("*.txt"), QStringLiteral("kiwi"), true, true),
             (QStringList{u"bundle.tar.gz > b.txt"_s, u"cut.zip > c1.txt"_s, u"notes.txt"_s, u"pack.zip > folder/article.txt"_s,
                          u"pack.zip > inner.zip > a.txt"_s, u"stored.zip > s.txt"_s}));
}

void TestPackSearch::answersFromTheCacheWithoutReading()
{
    QTemporaryDir dir;
    QTemporaryDir cacheDir;
    const QString cacheFile = cacheDir.filePath(QStringLiteral("text-cache.sqlite"));
    const QString packPath = dir.filePath(QStringLiteral("p.zip"));
    const auto writePack = [&packPath](const QByteArray &text) {
        QFile file(packPath);
        return file.open(QIODevice::WriteOnly) &&
               file.write(PackFixtures::buildZip({{"a.txt", text}})) > 0;
    };
    const auto setTime = [&packPath](time_t seconds) {
        const struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
        return ::utimes(QFile::encodeName(packPath).constData(), times) == 0;
    };
    const auto find = [&](const QString &phrase) {
        TFindFile finder;
        finder.setTextCacheFile(cacheFile);
        finder.Criteria()->Files()->setLocation(dir.path());
        finder.Criteria()->Files()->setFileName(QStringLiteral("*"));
        finder.Criteria()->Content()->setPhrase(phrase);
        finder.Criteria()->Content()->setSearchPacks(true);
        QStringList found;
        finder.setOnFileMatch([&found](QObject *, const QString &, const TSearchRec &entry) {
            found << entry.Name() + QStringLiteral(" > ") + entry.InnerPath().join(QStringLiteral(" > "));
        });
        finder.StartSearch();
        m_report = finder.Report();
        return found;
    };
    const QStringList hit{QStringLiteral("p.zip > a.txt")};

    QVERIFY(writePack("apple pie"));
    QVERIFY(setTime(1600000000));
    QCOMPARE(find(QStringLiteral("apple")), hit);
    QCOMPARE(m_report.cachedTexts, qint64(0));
    // Other bytes of the same size and date: the cache answers, so the pack was not read.
    QVERIFY(writePack("mango pie"));
    QVERIFY(setTime(1600000000));
    QCOMPARE(find(QStringLiteral("apple")), hit);
    QCOMPARE(m_report.cachedTexts, qint64(1));
    QCOMPARE(find(QStringLiteral("mango")), QStringList{});
    // Another date: read again, and kept anew.
    QVERIFY(setTime(1600000100));
    QCOMPARE(find(QStringLiteral("mango")), hit);
    QCOMPARE(m_report.cachedTexts, qint64(0));
    QCOMPARE(find(QStringLiteral("apple")), QStringList{});
    QCOMPARE(m_report.cachedTexts, qint64(1));
    // A damaged cache file is no error for the search.
    {
        QFile file(cacheFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    QCOMPARE(find(QStringLiteral("mango")), hit);
    QCOMPARE(find(QStringLiteral("mango")), hit);
    QCOMPARE(m_report.cachedTexts, qint64(1));
}

void TestPackSearch::searchesBinaryEntriesFromTheCache_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("fromCache"); // a phrase the printable runs cannot answer reads the pack

    QTest::newRow("ascii phrase") << QStringLiteral("LEDGER #7") << true << true;
    QTest::newRow("ascii phrase, none") << QStringLiteral("ledger #8") << false << true;
    QTest::newRow("short phrase") << QStringLiteral("Q7") << true << false;
    QTest::newRow("beyond ascii") << QStringLiteral("grüße") << true << false;
}

void TestPackSearch::searchesBinaryEntriesFromTheCache()
{
    QFETCH(QString, phrase);
    QFETCH(bool, found);
    QFETCH(bool, fromCache);
    QTemporaryDir dir;
    QTemporaryDir cacheDir;
    const QString cacheFile = cacheDir.filePath(QStringLiteral("text-cache.sqlite"));
    QByteArray binary = PackFixtures::noise(20000, 5);
    binary.insert(100, QByteArray("\0\0marigold ledger #7\0", 21));
    binary.insert(5000, QByteArray("\0Q7\0", 4));
    binary.insert(9000, QByteArray("\0Gr\xc3\x9c\xc3\x9f" "e\0", 9));
    QFile file(dir.filePath(QStringLiteral("pics.zip")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(PackFixtures::buildZip({{"photo.jpg", binary}})) > 0);
    file.close();

    const auto find = [&](const QString &p) {
        TFindFile finder;
        finder.setTextCacheFile(cacheFile);
        finder.Criteria()->Files()->setLocation(dir.path());
        finder.Criteria()->Files()->setFileName(QStringLiteral("*"));
        finder.Criteria()->Content()->setPhrase(p);
        finder.Criteria()->Content()->setSearchPacks(true);
        int hits = 0;
        finder.setOnFileMatch([&hits](QObject *, const QString &, const TSearchRec &) { ++hits; });
        finder.StartSearch();
        m_report = finder.Report();
        return hits;
    };
    QCOMPARE(find(QStringLiteral("zzzz")), 0); // fills the cache
    QCOMPARE(find(phrase), found ? 1 : 0);
    QCOMPARE(m_report.cachedTexts, qint64(fromCache ? 1 : 0));
}

namespace {
// Bytes read by this process so far, as the system counts them; -1 where it does not say.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}
} // namespace

void TestPackSearch::stopsInsideALargeEntry()
{
    if (bytesRead() < 0)
        QSKIP("the system does not count the bytes a process reads");
    // A tar holding one entry of 1000 MiB of zeros, written as a hole: it takes no room on disk.
    QTemporaryDir dir;
    const qint64 size = qint64(1000) << 20;
    QByteArray header = PackFixtures::buildTar({{"big.txt", QByteArray(1, 'x')}}).left(512);
    const QByteArray octal = QByteArray::number(size, 8).rightJustified(11, '0');
    header.replace(124, 11, octal);
    header.replace(148, 8, "        ");
    int sum = 0;
    for (char c : header)
        sum += static_cast<unsigned char>(c);
    header.replace(148, 7, QByteArray(QByteArray::number(sum, 8).rightJustified(6, '0') + '\0'));
    QFile file(dir.filePath(QStringLiteral("big.tar")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(header), qint64(512));
    QVERIFY(file.resize(512 + size + 1024)); // the entry, then the two empty blocks that end a tar
    file.close();

    const qint64 before = bytesRead();
    {
        TFindFile finder;
        finder.Criteria()->Files()->setLocation(dir.path());
        finder.Criteria()->Files()->setFileName(QStringLiteral("*"));
        finder.Criteria()->Content()->setPhrase(QStringLiteral("kiwi"));
        finder.Criteria()->Content()->setSearchPacks(true);
        finder.setThreaded(true);
        finder.setDelivery(edBatched);
        bool finished = false;
        finder.setOnSearchFinish([&finished](QObject *) { finished = true; });
        finder.setOnSearchAbort([&finished](QObject *) { finished = true; });
        finder.StartSearch();
        // Once the worker is well inside the entry, stop it.
        while (bytesRead() - before < (qint64(16) << 20) && finder.Searching())
            QThread::usleep(200);
        QVERIFY(finder.Searching());
        finder.StopSearch();
        QTRY_VERIFY_WITH_TIMEOUT(finished, 60000);
    } // the worker has ended here, whatever it still read after the stop
    QVERIFY2(bytesRead() - before < size / 2,
             qPrintable(QStringLiteral("read %1 bytes").arg(bytesRead() - before)));
}

QTEST_GUILESS_MAIN(TestPackSearch)
#include "tst_packsearch.moc"
