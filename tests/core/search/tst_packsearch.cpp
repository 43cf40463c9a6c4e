// SPDX-License-Identifier: GPL-3.0-or-later
// The search inside packs and documents: names and contents of entries, nested packs, documents by
// their text, locked entries and damaged packs counted, and the search without it unchanged.
#include "PackFixtures.h"
#include "TestSupport.h"
#include "core/search/FindFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

private:
    QStringList search(const QString &mask, const QString &phrase, bool packs, bool threaded = false);
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

QStringList TestPackSearch::search(const QString &mask, const QString &phrase, bool packs, bool threaded)
{
    TFindFile finder;
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
        found << parts.join(QStringLiteral(" > "));
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

    QTest::newRow("contents inside")
        << QStringLiteral("*.*") << QStringLiteral("kiwi") << true
        << QStringList{u"bundle.tar.gz > b.txt"_s, u"cut.zip > c1.txt"_s, u"notes.txt"_s, u"pack.zip > folder/article.txt"_s,
                       u"pack.zip > inner.zip > a.txt"_s, u"page.html"_s, u"report.docx"_s, u"stored.zip > s.txt"_s}
        << 1;
    QTest::newRow("contents, entries by mask")
        << QStringLiteral("a.txt") << QStringLiteral("KIWI") << true
        << QStringList{u"pack.zip > inner.zip > a.txt"_s} << 1;
    QTest::newRow("contents without packs")
        << QStringLiteral("*.*") << QStringLiteral("kiwi") << false
        << QStringList{u"cut.zip"_s, u"notes.txt"_s, u"stored.zip"_s} << 0;
    QTest::newRow("names inside") << QStringLiteral("*kiwi*") << QString() << true
                                  << QStringList{u"bundle.tar.gz > docs/kiwi-list.txt"_s} << 1;
    QTest::newRow("names without packs") << QStringLiteral("*kiwi*") << QString() << false << QStringList{} << 0;
    QTest::newRow("nested pack by name")
        << QStringLiteral("*.zip") << QString() << true
        << QStringList{u"cut.zip"_s, u"locked.zip"_s, u"pack.zip"_s, u"pack.zip > inner.zip"_s, u"stored.zip"_s} << 1;
}

void TestPackSearch::findsInsidePacks()
{
    QFETCH(QString, mask);
    QFETCH(QString, phrase);
    QFETCH(bool, packs);
    QFETCH(QStringList, expected);
    QFETCH(int, locked);

    QCOMPARE(search(mask, phrase, packs), expected);
    QCOMPARE(m_report.lockedEntries, qint64(locked));
    if (packs && !phrase.isEmpty() && mask == QLatin1String("*.*"))
        QVERIFY(m_report.damagedPacks >= 1); // cut.zip
    if (!packs)
        QCOMPARE(m_report.damagedPacks, qint64(0));
}

void TestPackSearch::batchedResultsKeepTheirEntry()
{
    // Queued results are copies: the entry's path inside the pack travels with them.
    QCOMPARE(search(QStringLiteral("*.txt"), QStringLiteral("kiwi"), true, true),
             (QStringList{u"bundle.tar.gz > b.txt"_s, u"cut.zip > c1.txt"_s, u"notes.txt"_s, u"pack.zip > folder/article.txt"_s,
                          u"pack.zip > inner.zip > a.txt"_s, u"stored.zip > s.txt"_s}));
}

QTEST_GUILESS_MAIN(TestPackSearch)
#include "tst_packsearch.moc"
