// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of one entry of a pack found by its place, and the line of text around a content match:
// in plain files, in entries of packs (nested too), in documents, late in a large file, with case
// folded as the search folds it, with white space squeezed, bytes that are no UTF-8, and a stop.
#include "PackFixtures.h"
#include "TestSupport.h"
#include "VerifyStatus.h"
#include "core/packs/MatchPreview.h"
#include "core/packs/PackEntryData.h"
#include "core/packs/TextCache.h"
#include "core/platform/DirListing.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using PackFixtures::Kind;

namespace {

// "before[match]after", with "…" where more text lies beyond; "-" for no preview.
QString shown(const std::optional<MatchPreviewText> &preview)
{
    if (!preview)
        return QStringLiteral("-");
    return (preview->cutBefore ? QStringLiteral("…") : QString()) + preview->before + u'[' + preview->match + u']' +
           preview->after + (preview->cutAfter ? QStringLiteral("…") : QString());
}

QStringList chain(std::initializer_list<const char *> parts)
{
    QStringList list;
    for (const char *part : parts)
        list << QString::fromUtf8(part);
    return list;
}

QByteArray inner()
{
    return PackFixtures::write(Kind::Zip, {{"deep/ledger.txt", "inner text with the Marigold ledger #7 in it"}});
}

} // namespace

class TestMatchPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void entryBytes_data();
    void entryBytes();
    void entryFailuresNameTheEntry_data();
    void entryFailuresNameTheEntry();
    void previewOfAFileOrEntry_data();
    void previewOfAFileOrEntry();
    void matchLateInALargeFile();
    void stopFlagEndsTheLook();
    void keptTextIsTakenWhileTheFileIsUnchanged();

private:
    QString write(const QString &name, const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMatchPreview::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestMatchPreview::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    [&] { QVERIFY(TestSupport::writeFile(path, bytes)); }();
    return path;
}

// --- The bytes of an entry -------------------------------------------------------------------------

void TestMatchPreview::entryBytes_data()
{
    QTest::addColumn<QByteArray>("pack");
    QTest::addColumn<QStringList>("inner");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray big = PackFixtures::noise(300 * 1024, 3);
    const QByteArray zip = PackFixtures::write(
        Kind::Zip, {{"a.txt", "first"}, {"docs/a.txt", "second"}, {"big.bin", big}, {"inner.zip", inner()}});
    QTest::newRow("by its whole path") << zip << chain({"docs/a.txt"}) << QByteArray("second");
    QTest::newRow("larger than a chunk") << zip << chain({"big.bin"}) << big;
    QTest::newRow("nested") << zip << chain({"inner.zip", "deep/ledger.txt"})
                            << QByteArray("inner text with the Marigold ledger #7 in it");
    QTest::newRow("tar.gz") << PackFixtures::write(Kind::TarGz, {{"x/y.txt", "from tar"}}) << chain({"x/y.txt"})
                            << QByteArray("from tar");
}

void TestMatchPreview::entryBytes()
{
    QFETCH(QByteArray, pack);
    QFETCH(QStringList, inner);
    QFETCH(QByteArray, expected);
    const QString path = write(QStringLiteral("pack.bin"), pack);
    QByteArray got;
    PackEntry header;
    VERIFY_OK(PackEntryData::read(
        path, inner,
        [&got](const char *data, qint64 size) {
            got.append(data, size);
            return true;
        },
        nullptr, &header));
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(got, expected);
    QCOMPARE(header.path, inner.last());
    QCOMPARE(PackEntryData::entryName(inner), inner.last().section(u'/', -1));
}

void TestMatchPreview::entryFailuresNameTheEntry_data()
{
    QTest::addColumn<QByteArray>("pack");
    QTest::addColumn<QStringList>("inner");
    QTest::addColumn<QString>("reason"); // a part of the reason
    QByteArray error;
    const QByteArray locked =
        PackFixtures::write(Kind::Zip, {{"secret.txt", "secret"}}, "zip:encryption=zipcrypt", "password", &error);
    if (!locked.isEmpty())
        QTest::newRow("locked") << locked << chain({"secret.txt"}) << QStringLiteral("secret.txt is encrypted");
    const QByteArray zip = PackFixtures::buildZip({{"one.txt", QByteArray(4000, 'x'), true}});
    QTest::newRow("damaged") << zip.left(zip.size() / 3) << chain({"one.txt"}) << QStringLiteral("pack.bin");
    QTest::newRow("gone") << zip << chain({"two.txt"}) << QStringLiteral("pack.bin › two.txt");
    QTest::newRow("no pack") << QByteArray("plain text, no pack") << chain({"one.txt"}) << QStringLiteral("pack.bin");
}

void TestMatchPreview::entryFailuresNameTheEntry()
{
    QFETCH(QByteArray, pack);
    QFETCH(QStringList, inner);
    QFETCH(QString, reason);
    const QString path = write(QStringLiteral("pack.bin"), pack);
    const Status read = PackEntryData::read(path, inner, [](const char *, qint64) { return true; });
    QVERIFY(!read);
    QVERIFY2(read.error.contains(reason), qPrintable(read.error));
}

// --- The preview -----------------------------------------------------------------------------------

void TestMatchPreview::previewOfAFileOrEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("inner");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("expected");
    const QStringList none;
    const QByteArray ledger = "Some words before.\n\n   The   Marigold LEDGER #7\tand the words after it.";
    QTest::newRow("plain file") << "notes.txt" << ledger << none << "marigold ledger" << true
                                << "Some words before. The [Marigold LEDGER] #7 and the words after it.";
    QTest::newRow("case kept") << "notes.txt" << ledger << none << "marigold ledger" << false << "-";
    QTest::newRow("no match") << "notes.txt" << ledger << none << "tulip" << true << "-";
    const QByteArray longLine = QByteArray(200, 'a') + " Marigold " + QByteArray(200, 'b');
    QTest::newRow("context cut on both sides")
        << "long.txt" << longLine << none << "MARIGOLD" << true
        << QStringLiteral("…") + QString(39, u'a') + QStringLiteral(" [Marigold] ") + QString(39, u'b') +
               QStringLiteral("…");
    // ASCII phrases fold A-Z only, byte for byte: the long s is no "s", the Kelvin sign no "k".
    QTest::newRow("ascii rule") << "fold.txt"
                                << QByteArray("ſun \xe2\x84\xaa"
                                              "ey SUN key")
                                << none << "sun" << true << QStringLiteral("ſun \u212Aey [SUN] key");
    QTest::newRow("unicode fold") << "fold.txt" << QByteArray("Grüße aus ÜBERLINGEN heute") << none << "überlingen"
                                  << true << QStringLiteral("Grüße aus [ÜBERLINGEN] heute");
    QTest::newRow("unicode fold, sigma") << "fold.txt" << QByteArray("ΟΔΟΣ και οδος") << none << "οδος" << true
                                         << QStringLiteral("[ΟΔΟΣ] και οδος");
    QTest::newRow("not utf-8") << "latin1.txt" << QByteArray("caf\xe9 \xff\xfe Marigold end") << none << "marigold"
                               << true << QStringLiteral("caf\ufffd \ufffd\ufffd [Marigold] end");
    QTest::newRow("control bytes") << "bin.dat" << QByteArray("\x01\x02key\0\0value", 12) << none << "key" << true
                                   << QStringLiteral("[key] value");
    const QByteArray zip = PackFixtures::write(
        Kind::Zip, {{"folder/article.txt", "an article on the marigold ledger"}, {"inner.zip", inner()}});
    QTest::newRow("entry") << "pack.zip" << zip << chain({"folder/article.txt"}) << "Marigold" << true
                           << "an article on the [marigold] ledger";
    QTest::newRow("nested entry") << "pack.zip" << zip << chain({"inner.zip", "deep/ledger.txt"}) << "ledger" << true
                                  << "inner text with the Marigold [ledger] #7 in it";
    const QByteArray pdf = PackFixtures::minimalPdf({"First page", "The Marigold ledger"});
    QTest::newRow("pdf") << "report.pdf" << pdf << none << "marigold" << true << "First page The [Marigold] ledger";
    const QByteArray docx =
        PackFixtures::docx("<w:p><w:r><w:t>Dear reader,</w:t></w:r></w:p>"
                           "<w:p><w:r><w:t>the Mari</w:t></w:r><w:r><w:t>gold file</w:t></w:r></w:p>");
    QTest::newRow("docx") << "letter.docx" << docx << none << "marigold" << true << "Dear reader, the [Marigold] file";
    QTest::newRow("docx in a pack") << "pack.tar" << PackFixtures::write(Kind::Tar, {{"d/letter.docx", docx}})
                                    << chain({"d/letter.docx"}) << "marigold" << true
                                    << "Dear reader, the [Marigold] file";
    QTest::newRow("html by its text") << "page.html" << QByteArray("<p>the <b>Mari</b>gold page</p>") << none
                                      << "marigold" << true << "the [Marigold] page";
}

void TestMatchPreview::previewOfAFileOrEntry()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, inner);
    QFETCH(QString, phrase);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, expected);
    MatchPreviewRequest request;
    request.path = write(name, bytes);
    request.inner = inner;
    request.phrase = phrase;
    request.ignoreCase = ignoreCase;
    QCOMPARE(shown(MatchPreview::find(request)), expected);
}

// The first match lies far beyond the first chunks, and across the border of two of them.
void TestMatchPreview::matchLateInALargeFile()
{
    for (const qsizetype at : {qsizetype(64 * 1024 - 3), qsizetype(5 * 1024 * 1024 + 11)}) {
        QByteArray bytes(at, 'x');
        for (qsizetype i = 80; i < bytes.size(); i += 81)
            bytes[i] = '\n';
        bytes += "Marigold ledger #7 text after";
        bytes += QByteArray(100 * 1024, 'y');
        MatchPreviewRequest request;
        request.path = write(QStringLiteral("large.txt"), bytes);
        request.phrase = QStringLiteral("marigold LEDGER");
        const std::optional<MatchPreviewText> preview = MatchPreview::find(request);
        QVERIFY(preview);
        QCOMPARE(preview->match, QStringLiteral("Marigold ledger"));
        QVERIFY(preview->cutBefore);
        QVERIFY(preview->before.endsWith(QStringLiteral("xxxx")));
        QVERIFY(preview->after.startsWith(QStringLiteral(" #7 text after")));
        QVERIFY(preview->cutAfter);
    }
}

void TestMatchPreview::stopFlagEndsTheLook()
{
    MatchPreviewRequest request;
    request.path = write(QStringLiteral("notes.txt"), "the Marigold ledger");
    request.phrase = QStringLiteral("marigold");
    std::atomic<bool> stop{true};
    QVERIFY(!MatchPreview::find(request, &stop));
    stop = false;
    QVERIFY(MatchPreview::find(request, &stop));
}

void TestMatchPreview::keptTextIsTakenWhileTheFileIsUnchanged()
{
    const QString pack = write(QStringLiteral("p.tar.gz"),
                               PackFixtures::write(Kind::TarGz, {{"a.txt", "the real apple pie"}, {"b.bin", "x"}}));
    const QString cacheFile = m_dir->filePath(QStringLiteral("cache.sqlite"));
    const auto keyNow = [&pack] {
        Platform::DirListing folder;
        Platform::EntryInfo info;
        const QFileInfo file(pack);
        [&] { QVERIFY(folder.open(file.absolutePath()) && folder.infoOf(QFile::encodeName(file.fileName()), info)); }();
        return TextCacheKey{pack, qint64(info.size), info.lastWriteTime};
    };
    const auto keep = [&](const TextCacheKey &key) {
        TextCache cache(cacheFile);
        cache.beginFile(key);
        TextCacheEntry a;
        a.chain = QStringList{QStringLiteral("a.txt")};
        a.text = "the kept apple tart";
        cache.addEntry(a);
        TextCacheEntry b;
        b.chain = QStringList{QStringLiteral("b.bin")};
        b.text = QByteArray("\0\0apple runs\0", 13); // a binary: only its printable runs are kept
        cache.addEntry(b);
        cache.endFile(0);
    };
    MatchPreviewRequest request;
    request.path = pack;
    request.inner = QStringList{QStringLiteral("a.txt")};
    request.phrase = QStringLiteral("apple");
    request.textCacheFile = cacheFile;

    // No cache file yet: read from the pack, and no file made by looking.
    QCOMPARE(shown(MatchPreview::find(request)), QStringLiteral("the real [apple] pie"));
    QVERIFY(!QFile::exists(cacheFile));
    keep(keyNow());
    QCOMPARE(shown(MatchPreview::find(request)), QStringLiteral("the kept [apple] tart"));
    // A binary's kept runs are no text to show: its bytes are read.
    request.inner = QStringList{QStringLiteral("b.bin")};
    QCOMPARE(shown(MatchPreview::find(request)), QStringLiteral("-"));
    request.inner = QStringList{QStringLiteral("a.txt")};
    // Kept under another time: the file changed since, and is read.
    TextCacheKey older = keyNow();
    older.modified -= 10000000;
    keep(older);
    QCOMPARE(shown(MatchPreview::find(request)), QStringLiteral("the real [apple] pie"));
}

QTEST_GUILESS_MAIN(TestMatchPreview)
#include "tst_matchpreview.moc"
