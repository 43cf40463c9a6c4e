// SPDX-License-Identifier: GPL-3.0-or-later
// The content test (FileContainsPhrase, TContentCriteria.Matches) and the two fast matchers
// behind the walk: the phrase searcher and the listing's name masks.
#include "TestSupport.h"
#include "core/platform/DirListing.h"
#include "core/search/FindFile.h"
#include "core/search/NameMask.h"
#include "core/search/PhraseSearch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

using SearchDetail::kChunkSize;

class TestPhraseSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contains_data();
    void contains();
    void chunkBoundary_data();
    void chunkBoundary();
    void everyOffsetAroundTheBoundary();
    void readsAreChunksOfAtMost61440();
    void fileShorterThanPhraseIsNotRead();
    void phraseLongerThanAChunk();
    void unreadableMissingAndOddFiles();
    void fileOfUnknownSizeIsReadToItsEnd();
    void largeFileSearchedInFull();
    void codePageTableFolding();
    void unicodeFolding_data();
    void unicodeFolding();
    void unicodeFoldingAcrossChunks_data();
    void unicodeFoldingAcrossChunks();
    void contentCriteriaMatches();

    void listingMask_data();
    void listingMask();

private:
    QString write(const QByteArray &bytes);
    QTemporaryDir m_dir;
    int m_count = 0;
};

QString TestPhraseSearch::write(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("f%1.bin").arg(++m_count));
    if (!TestSupport::writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestPhraseSearch::contains_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("phrase"); // as given: folded here by the ASCII rule when fold
    QTest::addColumn<bool>("fold");
    QTest::addColumn<bool>("expected");
    QTest::newRow("whole file") << QByteArray("abc") << QByteArray("abc") << false << true;
    QTest::newRow("at the start") << QByteArray("abcxyz") << QByteArray("abc") << false << true;
    QTest::newRow("at the end") << QByteArray("xyzabc") << QByteArray("abc") << false << true;
    QTest::newRow("absent") << QByteArray("xyzab") << QByteArray("abc") << false << false;
    QTest::newRow("one byte short") << QByteArray("ab") << QByteArray("abc") << false << false;
    QTest::newRow("empty file") << QByteArray() << QByteArray("a") << false << false;
    QTest::newRow("aab in aaab (overlapping partial match)") << QByteArray("aaab") << QByteArray("aab") << false << true;
    QTest::newRow("abab-c") << QByteArray("ababac") << QByteArray("abac") << false << true;
    QTest::newRow("Kestrel prefix repeats")
        << QByteArray("xx Kestrel Kestrel kestrel Kettle #42 yy") << QByteArray("Kestrel kestrel Kettle #42") << true
        << true;
    QTest::newRow("last byte differs") << QByteArray("Kestrel kestrel Kettle #43") << QByteArray("Kestrel kestrel Kettle #42")
                                       << true << false;
    QTest::newRow("NUL bytes before") << QByteArray("\0\0\0abc\0", 7) << QByteArray("abc") << false << true;
    QTest::newRow("NUL inside the phrase") << QByteArray("x\0y\0z", 5) << QByteArray("\0y\0", 3) << false << true;
    QTest::newRow("NUL breaks the phrase") << QByteArray("ab\0c", 4) << QByteArray("abc") << false << false;
    QTest::newRow("single byte") << QByteArray("....#...") << QByteArray("#") << false << true;
    QTest::newRow("single byte, folded") << QByteArray("....Q...") << QByteArray("q") << true << true;
    QTest::newRow("fold: ABC finds abc") << QByteArray("--abc--") << QByteArray("ABC") << true << true;
    QTest::newRow("fold: ABC finds Abc") << QByteArray("--Abc--") << QByteArray("ABC") << true << true;
    QTest::newRow("fold: abc finds ABC") << QByteArray("--ABC--") << QByteArray("abc") << true << true;
    QTest::newRow("no fold: ABC misses abc") << QByteArray("--abc--") << QByteArray("ABC") << false << false;
    QTest::newRow("no fold: ABC finds ABC") << QByteArray("--ABC--") << QByteArray("ABC") << false << true;
    QTest::newRow("fold: not beyond letters (@ is not `)") << QByteArray("a`b") << QByteArray("A@B") << true << false;
    QTest::newRow("fold: [ is not {") << QByteArray("a{b") << QByteArray("A[B") << true << false;
    QTest::newRow("fold: ASCII only, not the KELVIN SIGN")
        << QByteArray("\xE2\x84\xAA" "estrel") << QByteArray("kestrel") << true << false;
    QTest::newRow("fold: high bytes are compared as they are")
        << QByteArray("caf\xC3\xA9") << QByteArray("CAF\xC3\xA9") << true << true;
    QTest::newRow("fold: accented capital folds in UTF-8 text")
        << QByteArray("caf\xC3\x89") << QByteArray("caf\xC3\xA9") << true << true;
    QTest::newRow("no fold: accented capital is another byte run")
        << QByteArray("caf\xC3\x89") << QByteArray("caf\xC3\xA9") << false << false;
    QByteArray binary(5000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131 + 7) & 0xFF);
    QByteArray withPhrase = binary;
    withPhrase.insert(3333, "NeedLE");
    QTest::newRow("binary noise") << binary << QByteArray("needle") << true << false;
    QTest::newRow("binary with phrase") << withPhrase << QByteArray("needle") << true << true;
}

void TestPhraseSearch::contains()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, phrase);
    QFETCH(bool, fold);
    QFETCH(bool, expected);
    const QString path = write(file);
    QByteArray folded = phrase;
    if (fold)
        for (char &c : folded)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
    QCOMPARE(FileContainsPhrase(path, folded, qint32(folded.size()), fold), expected);

    // The same through the walk's door: opened relative to the listing, size not asked for.
    Platform::DirListing listing(m_dir.path());
    QVERIFY(listing.isOpen());
    SearchDetail::PhraseSearcher searcher;
    searcher.setPhrase(folded, fold);
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    QCOMPARE(searcher.containsAt(listing, name, true), expected);
    QCOMPARE(searcher.containsAt(listing, name, false), expected);
    searcher.flush();
}

void TestPhraseSearch::chunkBoundary_data()
{
    QTest::addColumn<int>("start");       // where the phrase begins in the file
    QTest::addColumn<QByteArray>("phrase");
    QTest::addColumn<QByteArray>("prefix"); // written right before the phrase
    QTest::addColumn<bool>("expected");
    const QByteArray phrase("Kestrel kestrel Kettle #42");
    const int b = int(kChunkSize);
    QTest::newRow("ends at the boundary") << b - int(phrase.size()) << phrase << QByteArray() << true;
    QTest::newRow("straddles: 1 byte before") << b - 1 << phrase << QByteArray() << true;
    QTest::newRow("straddles: half") << b - 13 << phrase << QByteArray() << true;
    QTest::newRow("straddles: all but 1") << b - int(phrase.size()) + 1 << phrase << QByteArray() << true;
    QTest::newRow("starts at the boundary") << b << phrase << QByteArray() << true;
    QTest::newRow("straddles the second boundary") << 2 * b - 5 << phrase << QByteArray() << true;
    // A partial match carried over the boundary that fails, then the real one overlapping it.
    QTest::newRow("carried partial match, overlap") << b - 4 << QByteArray("aab") << QByteArray("a") << true;
    QTest::newRow("aaab across the boundary") << b - 2 << QByteArray("aab") << QByteArray("aa") << true;
    QTest::newRow("Kestrel Kestrel across") << b - 10 << phrase << QByteArray("Kestrel ") << true;
}

void TestPhraseSearch::chunkBoundary()
{
    QFETCH(int, start);
    QFETCH(QByteArray, phrase);
    QFETCH(QByteArray, prefix);
    QFETCH(bool, expected);
    QByteArray file(start + phrase.size() + 1000, 'x');
    file.replace(start - prefix.size(), prefix.size(), prefix);
    file.replace(start, phrase.size(), phrase);
    const QString path = write(file);
    QByteArray folded = phrase.toLower();
    QCOMPARE(FileContainsPhrase(path, folded, qint32(folded.size()), true), expected);
    QCOMPARE(FileContainsPhrase(path, phrase, qint32(phrase.size()), false), expected);
    // A near miss at the same place is not found.
    QByteArray miss = file;
    miss[start + phrase.size() - 1] = '!';
    const QString missPath = write(miss);
    QCOMPARE(FileContainsPhrase(missPath, phrase, qint32(phrase.size()), false), false);
}

void TestPhraseSearch::everyOffsetAroundTheBoundary()
{
    // The phrase at every position that touches the first chunk boundary, folded and not,
    // through both doors; and a file that ends one byte short of it.
    const QByteArray phrase("abcdefghij0123456789ABCDEFGHIJ");
    const QByteArray folded = phrase.toLower();
    SearchDetail::PhraseSearcher exact, fold;
    exact.setPhrase(phrase, false);
    fold.setPhrase(folded, true);
    for (int start = int(kChunkSize) - int(phrase.size()) - 1; start <= int(kChunkSize) + 1; ++start) {
        QByteArray file(start + phrase.size(), 'z');
        file.replace(start, phrase.size(), phrase);
        const QString path = write(file);
        QVERIFY2(exact.containsFile(path), qPrintable(QString::number(start)));
        QVERIFY2(fold.containsFile(path), qPrintable(QString::number(start)));
        file.chop(1);
        const QString shortPath = write(file);
        QVERIFY2(!exact.containsFile(shortPath), qPrintable(QString::number(start)));
        QVERIFY2(!fold.containsFile(shortPath), qPrintable(QString::number(start)));
    }
}

void TestPhraseSearch::readsAreChunksOfAtMost61440()
{
    QByteArray file(5 * int(kChunkSize) + 123, 'y');
    file.append("needle");
    const QString path = write(file);
    SearchDetail::PhraseSearcher s;
    s.setPhrase("needle", true);
    QVERIFY(s.containsFile(path));
    QCOMPARE(s.readStats().bytes, qint64(file.size()));
    QCOMPARE(s.readStats().largestRead, kChunkSize);
    QCOMPARE(s.readStats().reads, qint64(6));
    // A small file is read whole, in one read.
    s.resetReadStats();
    QVERIFY(!s.containsFile(write(QByteArray(1000, 'n'))));
    QCOMPARE(s.readStats().reads, qint64(1));
    QCOMPARE(s.readStats().largestRead, qint64(1000));
}

void TestPhraseSearch::fileShorterThanPhraseIsNotRead()
{
    SearchDetail::PhraseSearcher s;
    s.setPhrase("longer phrase", false);
    QVERIFY(!s.containsFile(write("short")));
    QCOMPARE(s.readStats().reads, qint64(0));
    QVERIFY(!s.containsFile(write(QByteArray())));
    QCOMPARE(s.readStats().reads, qint64(0));
}

void TestPhraseSearch::phraseLongerThanAChunk()
{
    QByteArray phrase(int(kChunkSize) + 5000, 'p');
    for (int i = 0; i < phrase.size(); i += 97)
        phrase[i] = 'q';
    QByteArray file(100000, 'p');
    file.append(phrase);
    file.append(QByteArray(3000, 'p'));
    SearchDetail::PhraseSearcher s;
    s.setPhrase(phrase, false);
    QVERIFY(s.containsFile(write(file)));
    QVERIFY(s.readStats().largestRead <= kChunkSize);
    QByteArray miss = file;
    miss[100000 + phrase.size() - 1] = 'x';
    QVERIFY(!s.containsFile(write(miss)));
}

void TestPhraseSearch::unreadableMissingAndOddFiles()
{
    QVERIFY(!FileContainsPhrase(m_dir.filePath(QStringLiteral("missing")), "a", 1, false));
    QVERIFY(!FileContainsPhrase(m_dir.path(), "a", 1, false)); // a folder
    // A length of 0 or less is contained in everything.
    QVERIFY(FileContainsPhrase(m_dir.filePath(QStringLiteral("missing")), "", 0, false));
#ifndef Q_OS_WIN
    // A FIFO is refused at once instead of waiting for a writer.
    const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!FileContainsPhrase(fifo, "a", 1, false));
    QFile::remove(fifo);

    const QString locked = write("secret phrase");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    if (geteuid() == 0) {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
        QSKIP("running as root: a file without read permission is still readable");
    }
    QVERIFY(!FileContainsPhrase(locked, "secret", 6, false));
    TContentCriteria c;
    c.setPhrase(QStringLiteral("secret"));
    QVERIFY(!c.Matches(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(c.Matches(locked));
#endif
}

void TestPhraseSearch::fileOfUnknownSizeIsReadToItsEnd()
{
    // The walk's door (size not asked for): a file of exactly two chunks, a phrase in the last bytes.
    QByteArray file(2 * int(kChunkSize), '-');
    file.replace(file.size() - 6, 6, "needle");
    const QString path = write(file);
    Platform::DirListing listing(m_dir.path());
    SearchDetail::PhraseSearcher s;
    s.setPhrase("needle", false);
    QVERIFY(s.containsAt(listing, QFile::encodeName(QFileInfo(path).fileName()), true));
    s.setPhrase("needlf", false);
    s.resetReadStats();
    QVERIFY(!s.containsAt(listing, QFile::encodeName(QFileInfo(path).fileName()), true));
    QCOMPARE(s.readStats().bytes, qint64(file.size()));
    s.flush();
}

void TestPhraseSearch::largeFileSearchedInFull()
{
#ifdef Q_OS_WIN
    QSKIP("sparse files are set up differently on Windows");
#else
    // A sparse file of 2 GiB + 100 bytes with the phrase in its last bytes: the content test reads
    // it whole with 64-bit sizes, by path (size asked for) and through the walk (read to the end).
    const QString path = m_dir.filePath(QStringLiteral("big.bin"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (!f.resize((qint64(1) << 31) + 90)) {
            QSKIP("the file system cannot hold a 2 GiB sparse file");
        }
        QVERIFY(f.seek((qint64(1) << 31) + 90));
        QVERIFY(f.write("xx needle 42") == 12);
    }
    QCOMPARE(QFileInfo(path).size(), (qint64(1) << 31) + 102);
    QVERIFY(FileContainsPhrase(path, "needle 42", 9, true));
    Platform::DirListing listing(m_dir.path());
    SearchDetail::PhraseSearcher s;
    s.setPhrase("needle 42", true);
    QVERIFY(s.containsAt(listing, "big.bin", true));
    QCOMPARE(s.readStats().bytes, (qint64(1) << 31) + 102);
    s.flush();
    QFile::remove(path);
#endif
}

void TestPhraseSearch::codePageTableFolding()
{
    // Where the code page lowers more than A-Z (Windows), the file's bytes go through its table.
    unsigned char table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = (i >= 'A' && i <= 'Z') ? static_cast<unsigned char>(i + 32) : static_cast<unsigned char>(i);
    table[0xC9] = 0xE9; // É → é (Latin-1)
    SearchDetail::PhraseSearcher s;
    s.setPhrase("caf\xE9", true, table);
    QVERIFY(s.containsFile(write("CAF\xC9")));
    QVERIFY(s.containsFile(write("Caf\xE9")));
    // The phrase itself is folded by the ASCII rule only: an accented capital in it finds nothing.
    s.setPhrase("caf\xC9", true, table);
    QVERIFY(!s.containsFile(write("CAF\xC9")));
    QVERIFY(SearchDetail::codePageLowerTable() == nullptr || true);
}

void TestPhraseSearch::unicodeFolding_data()
{
    QTest::addColumn<QByteArray>("file");   // UTF-8, or not
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("expected");
    const auto row = [](const char *name, const char *file, const char *phrase, bool expected,
                        bool ignoreCase = true) {
        QTest::newRow(name) << QByteArray(file) << QString::fromUtf8(phrase) << ignoreCase << expected;
    };
    // Latin-1 letters, lower, upper and title case.
    row("ü finds Ü", "Die Überweisung ist da", "überweisung", true);
    row("ü finds all capitals", "DIE ÜBERWEISUNG", "überweisung", true);
    row("Ü finds ü", "die überweisung", "ÜBERWEISUNG", true);
    row("mixed case phrase", "ÜbErWeIsUnG", "üBERweisung", true);
    row("ü is not u", "Uberweisung", "überweisung", false);
    row("é finds É at the end", "CAFÉ", "café", true);
    row("case kept: ü misses Ü", "Überweisung", "überweisung", false, false);
    row("case kept: ü finds ü", "überweisung", "überweisung", true, false);
    // ß stays itself under simple folding: it finds ß and the capital sharp s, never "ss".
    row("ß finds ß", "STRAßE", "straße", true);
    row("ß finds capital sharp s (2 bytes for 3)", "STRAẞE", "straße", true);
    row("capital sharp s finds ß", "Straße", "STRAẞE", true);
    row("ß does not find SS", "STRASSE", "straße", false);
    // Greek: the final and the other small sigma fold alike.
    row("σ finds Σ", "ΛΟΓΟΣ", "λογοσ", true);
    row("ς finds Σ", "ΛΟΓΟΣ", "λογος", true);
    row("Σ finds ς", "λογος", "ΛΟΓΟΣ", true);
    row("σ finds ς", "λογος", "λογοσ", true);
    row("accented ό is another letter", "λογος", "λόγος", false);
    // Cyrillic.
    row("Cyrillic lower finds upper", "ПРИВЕТ, МИР", "привет", true);
    row("Cyrillic upper finds title", "Привет", "ПРИВЕТ", true);
    row("ё finds Ё", "ЁЛКА", "ёлка", true);
    row("е is not ё", "ЁЛКА", "елка", false);
    // Title case digraphs: Ǆ, ǅ and ǆ fold to ǆ.
    row("title case ǅ finds Ǆ", "ǄEMAL", "ǅemal", true);
    row("title case ǅ finds ǆ", "ǆemal", "ǅEMAL", true);
    // Characters spelt with more or fewer bytes than their fold: in a phrase beyond ASCII every
    // character, ASCII letters too, compares by its fold.
    row("ſ (2 bytes) finds S", "SÜSS", "ſüss", true);
    row("s finds ſ in a phrase beyond ASCII", "ſüß", "süß", true);
    row("KELVIN SIGN finds k", "5 k über", "5 K über", true);
    row("k finds KELVIN SIGN in a phrase beyond ASCII", "5 K ÜBER", "5 k über", true);
    // A phrase of ASCII characters only is byte for byte with A-Z folded.
    row("ASCII i does not find İ", "İSTANBUL", "istanbul", false);
    row("ASCII s does not find ſ", "ſtraw", "straw", false);
    row("dotless ı does not find I", "ISTANBUL", "ıstanbul", false);
    row("dotted İ does not find i", "istanbul", "İstanbul", false);
    // Bytes that are no UTF-8 match no letter, and are passed over.
    row("invalid bytes before", "\xFF\xFE\xC3\xC3\x9C" "berweisung", "überweisung", true);
    row("a lead byte without its continuation", "\xC3" "berweisung", "überweisung", false);
    row("an overlong Ü", "\xE0\x83\x9C" "berweisung", "überweisung", false);
    row("stray continuation bytes", "\x9C\xBC" "berweisung", "überweisung", false);
    row("an encoded surrogate", "x\xED\xA0\x80y", "x\xED\xA0\x80y", false);
    row("truncated at the end", "ber\xC3", "berü", false);
    row("Latin-1 bytes are not UTF-8", "\xDC" "berweisung", "überweisung", false);
    row("not found in noise", "\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3\xC3", "ü",
        false);
}

void TestPhraseSearch::unicodeFolding()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, phrase);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, expected);
    const QString path = write(file);
    TContentCriteria c;
    c.setPhrase(phrase);
    c.setIgnoreCase(ignoreCase);
    QCOMPARE(c.Matches(path), expected);

    // The walk's door: the file read to its end, its size not asked for.
    Platform::DirListing listing(m_dir.path());
    QVERIFY(listing.isOpen());
    SearchDetail::PhraseSearcher searcher;
    searcher.setPhrase(c.FoldedPhrase(), ignoreCase, SearchDetail::codePageLowerTable());
    QCOMPARE(searcher.containsAt(listing, QFile::encodeName(QFileInfo(path).fileName()), true), expected);
    searcher.flush();
    // Only a folded phrase beyond ASCII leaves the byte-for-byte search.
    bool ascii = true;
    for (QChar ch : phrase)
        ascii = ascii && ch.unicode() < 0x80;
    QCOMPARE(searcher.foldsUnicode(), ignoreCase && !ascii);
}

void TestPhraseSearch::unicodeFoldingAcrossChunks_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("text"); // its spelling in the file
    QTest::newRow("shorter in the file") << QStringLiteral("ſüß-σ·kelvin") << QStringLiteral("SÜß-ς·KELVIN");
    QTest::newRow("longer in the file") << QStringLiteral("süß-σ·kelvin") << QStringLiteral("ſÜẞ-Σ·\u212AELVIN");
}

void TestPhraseSearch::unicodeFoldingAcrossChunks()
{
    // The phrase in another spelling at every place that touches the first and second read
    // boundaries, through both doors (size known, and read to the end), and a file that ends one
    // byte short of it.
    QFETCH(QString, phrase);
    QFETCH(QString, text);
    TContentCriteria c;
    c.setPhrase(phrase);
    SearchDetail::PhraseSearcher searcher;
    searcher.setPhrase(c.FoldedPhrase(), true);
    QVERIFY(searcher.foldsUnicode());
    const QByteArray bytes = text.toUtf8();
    Platform::DirListing listing(m_dir.path());
    for (const qint64 boundary : {kChunkSize, 2 * kChunkSize}) {
        for (qint64 start = boundary - bytes.size() - 1; start <= boundary + 1; ++start) {
            const QString at = QString::number(start - boundary);
            QByteArray file(start, 'x');
            file += bytes;
            const QString path = write(file);
            QVERIFY2(searcher.containsFile(path), qPrintable(at));
            QVERIFY2(searcher.containsAt(listing, QFile::encodeName(QFileInfo(path).fileName()), true), qPrintable(at));
            file.chop(1);
            const QString shortPath = write(file);
            QVERIFY2(!searcher.containsFile(shortPath), qPrintable(at));
            QVERIFY2(!searcher.containsAt(listing, QFile::encodeName(QFileInfo(shortPath).fileName()), true),
                     qPrintable(at));
            searcher.flush();
            QFile::remove(path);
            QFile::remove(shortPath);
        }
    }
}

void TestPhraseSearch::contentCriteriaMatches()
{
    const QString path = write("The Quick Brown Fox");
    TContentCriteria c;
    QVERIFY(c.Matches(path));
    c.setPhrase(QStringLiteral("QUICK brown"));
    QVERIFY(c.Matches(path));
    c.setIgnoreCase(false);
    QVERIFY(!c.Matches(path));
    c.setPhrase(QStringLiteral("Quick Brown"));
    QVERIFY(c.Matches(path));
    QVERIFY(!c.Matches(m_dir.filePath(QStringLiteral("missing"))));
}

void TestPhraseSearch::listingMask_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("expected");
    auto row = [](const char *name, const char *mask, bool expected) {
        QTest::addRow("'%s' ~ '%s'", name, mask) << QString::fromUtf8(name) << QString::fromUtf8(mask) << expected;
    };
    row("anything.txt", "*", true);
    row("dotless", "*.*", true);
    row("a.b.c", "*.*", true);
    row(".hidden", "*.*", true);
    row("Report 2019", "*report*.*", true);  // ".*" at the end: dot-less names too
    row("a.report", "*report*.*", true);     // ... and whatever "*report*" matches whole
    row("my REPORT.doc", "*report*.*", true);
    row("repor.t", "*report*.*", false);
    row("annual report.htm", "*report*.htm", true); // full wildcard: "*" anywhere
    row("annual report.html", "*report*.htm", false);
    row("x.htm", "*report*.htm", false);
    row("report", "*report*.htm", false);
    row("INVOICE-2019.PDF", "*invoice*", true);
    row("my_Invoice", "*invoice*", true);
    row("invoic", "*invoice*", false);
    row("in voice", "*invoice*", false);
    row("x.invoice", "*invoice*", true);
    row("a.htm", "*.htm", true);
    row("a.HTM", "*.htm", true);
    row("a.html", "*.htm", false);
    row(".htm", "*.htm", true);
    row("ab", "a?", true);
    row("a", "a?", false);                    // "?" is exactly one character
    row("abc", "a?", false);
    row("abc", "a?c", true);
    row("readme", "*.", true);                // a final "." : only names without a dot
    row("read.me", "*.", false);
    row("readme", "readme.", true);
    row("readme", "readme.*", true);
    row("readme.txt", "readme.*", true);
    row("readme.txt.bak", "readme.*", true);
    row("aXbXc", "a*b*c", true);
    row("abcbc", "a*bc", true);
    row("aaaaaaaaaaaaaaaaaaab", "*a*a*a*a*b", true);
    row("aaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*b", false);
    row("", "", true);
    row("x", "", false);
    row("Café.txt", "*É*", true);             // non-ASCII letters ignore case too
    row("café.TXT", "CAFÉ.txt", true);
    row("cafe.txt", "café.txt", false);
    row("é", "?", true);                      // one character, not one byte
    row("日本", "??", true);
    row("日本", "?", false);
    row("Straße", "STRASSE", false);          // per character, no expansion
}

void TestPhraseSearch::listingMask()
{
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, expected);
    const SearchDetail::NameMask m(mask);
    QCOMPARE(m.matches(name), expected);
    QCOMPARE(m.matches(QByteArrayView(name.toUtf8())), expected);
}

QTEST_GUILESS_MAIN(TestPhraseSearch)
#include "tst_phrasesearch.moc"
