// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolderFixture.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/datafile/XmlDataReader.h"
#include "ProviderChanges.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace AccountSchema;

// The quick reader takes the files this program writes; everything else goes to the full reader.
// Restore trusts them to tell a data file from anything else, so the quick one must never accept
// what the full one refuses, and where it accepts, both give the same rows, notes and encoding.
// The files here are mutations of real data files and random runs of the pieces that have
// confused readers before.

namespace {

const std::vector<FieldDef> kFields = AccountTable::storedFieldDefs();

XmlDataLayout builtinLayout()
{
    XmlDataLayout layout{QStringLiteral("Accounts"), QStringLiteral("Account"), {}, QStringLiteral("Vault")};
    for (const FieldDef &f : kFields)
        layout.fieldElements.push_back(f.name);
    return layout;
}

QByteArray account(int id, const QByteArray &inner = {})
{
    return "  <Account>\n    <accountID>" + QByteArray::number(id) + "</accountID>\n    <siteName>Site " +
           QByteArray::number(id) + "</siteName>\n" + inner + "  </Account>\n";
}

QByteArray document(const QByteArray &accounts, const QByteArray &declaration = "<?xml version=\"1.0\" "
                                                                                "encoding=\"UTF-8\"?>\n")
{
    return declaration + "<Accounts>\n" + accounts + "</Accounts>\n";
}

// A file as this program writes it, with every field and texts that need escaping.
const QByteArray kWritten = document(
    "  <Account>\n    <accountID>0</accountID>\n    <siteName>Ölçü &amp; &lt;Co&gt; &quot;x&quot; "
    "\xF0\x9F\x98\x80</siteName>\n    <siteUrl>https://example.com/?a=1&amp;b=2</siteUrl>\n"
    "    <savePath>/home/me/PLR/vault</savePath>\n    <username>me@example.com</username>\n"
    "    <password>2K3b2Q</password>\n    <monthlyFee>9.95</monthlyFee>\n    <addedDate>2025-03-15</addedDate>\n"
    "    <active>1</active>\n  </Account>\n  <Account>\n    <accountID>1</accountID>\n"
    "    <siteName>line&#13;\nends\ttab</siteName>\n    <siteUrl></siteUrl>\n    <monthlyFee>-0.5</monthlyFee>\n"
    "    <active>2</active>\n  </Account>\n");

// Pieces that have confused a reader: markup, references, line ends, names XML refuses, byte
// sequences UTF-8 or XML refuse, and the data file's own elements.
const QList<QByteArray> kPieces = {"<",
                                   ">",
                                   "/",
                                   "&",
                                   ";",
                                   "=",
                                   "\"",
                                   "'",
                                   "#",
                                   "x",
                                   " ",
                                   "\t",
                                   "\n",
                                   "\r",
                                   "\r\n",
                                   "&#13;",
                                   "&#10;",
                                   "&#x",
                                   "&#+65;",
                                   "&# 65;",
                                   "&#X41;",
                                   "&#0065;",
                                   "&#65534;",
                                   "&#xD800;",
                                   "&#0;",
                                   "&#1;",
                                   "&#x10FFFF;",
                                   "&amp;",
                                   "&lt;",
                                   "&foo;",
                                   "<!--",
                                   "-->",
                                   "--",
                                   "<!-- c -->",
                                   "]]>",
                                   "]]",
                                   "<![CDATA[",
                                   "<![CDATA[a<b]]>",
                                   "?>",
                                   "<?xml",
                                   "<?pi x?>",
                                   "<?xml-stylesheet href='a'?>",
                                   "<?xml version=\"1.0\"?>",
                                   "<?xml garbage?>",
                                   "<!DOCTYPE Accounts>",
                                   "<1bad>",
                                   "</1bad>",
                                   "<a&b>",
                                   "<a:b>",
                                   "</a:b>",
                                   "<notes>",
                                   "</notes>",
                                   "<notes/>",
                                   "<Vault/>",
                                   "<Vault salt=\"c2FsdA==\" ops='2'/>",
                                   "<Vault a=\"1\" a=\"2\"/>",
                                   "<Vault x=\"&amp;\"/>",
                                   "<Vault>",
                                   "</Vault>",
                                   "<siteName>",
                                   "</siteName>",
                                   "<siteName/>",
                                   "<active>",
                                   "</active>",
                                   "<Account>",
                                   "</Account>",
                                   "<Account/>",
                                   "<Accounts>",
                                   "</Accounts>",
                                   "<Group>",
                                   "</Group>",
                                   " a=\"1\"",
                                   " a",
                                   " xmlns:a=\"u\"",
                                   "\xEF\xBF\xBE",
                                   "\xEF\xBF\xBF",
                                   "\xEF\xB7\x90",
                                   "\xC3",
                                   "\xC3\xA9",
                                   "\xED\xA0\x80",
                                   "\xC0\xAF",
                                   QByteArray(1, '\0'),
                                   "\x01",
                                   "\x7F",
                                   "\xEF\xBB\xBF",
                                   "encoding=\"UTF-8\"",
                                   "encoding=\"ISO-8859-1\"",
                                   "version=\"1.1\"",
                                   "70000",
                                   "nan",
                                   "1e400",
                                   "-",
                                   "2025-02-30",
                                   "\xF0\x9F\x98\x80"};

// Pieces that keep a text a text, most of the time.
const QList<QByteArray> kTextPieces = {"a",
                                       "Z",
                                       "0",
                                       "5",
                                       "-",
                                       ".",
                                       "e",
                                       "é",
                                       "\xC3\xA9",
                                       "\xF0\x9F\x98\x80",
                                       "&amp;",
                                       "&gt;",
                                       "&#13;",
                                       "&#x10FFFF;",
                                       "&#xFDD0;",
                                       "\r",
                                       "\r\n",
                                       "\t",
                                       " ",
                                       "]]",
                                       "\x7F",
                                       "\xEF\xB7\x90",
                                       "\xEF\xBB\xBF",
                                       "\xC2\x85",
                                       "70000",
                                       "1e300"};

QByteArray mutate(QByteArray data, QRandomGenerator &rng)
{
    const int steps = rng.bounded(3) ? 1 : 2 + rng.bounded(2);
    for (int s = 0; s < steps; ++s) {
        const qsizetype at = data.isEmpty() ? 0 : rng.bounded(int(data.size()));
        switch (rng.bounded(7)) {
        case 5:
        case 6: {
            // Into a text, just after a tag: the structure mostly survives, so both readers get far.
            const qsizetype gt = data.indexOf('>', at);
            const QList<QByteArray> &pieces = rng.bounded(4) ? kTextPieces : kPieces;
            data.insert(gt < 0 ? data.size() : gt + 1, pieces[rng.bounded(int(pieces.size()))]);
            break;
        }
        case 0:
            data.remove(at, 1 + rng.bounded(8));
            break;
        case 1:
        case 2:
            data.insert(at, kPieces[rng.bounded(int(kPieces.size()))]);
            break;
        case 3:
            if (!data.isEmpty())
                data[at] = char(rng.bounded(256));
            break;
        default: {
            const QByteArray piece = data.mid(at, 1 + rng.bounded(40));
            data.insert(rng.bounded(int(data.size()) + 1), piece);
            break;
        }
        }
    }
    return data;
}

QByteArray randomFile(QRandomGenerator &rng)
{
    QByteArray data = rng.bounded(2) ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>" : "<Accounts>";
    const int pieces = rng.bounded(40);
    for (int i = 0; i < pieces; ++i)
        data += kPieces[rng.bounded(int(kPieces.size()))];
    return rng.bounded(4) ? data + "</Accounts>\n" : data;
}

// Empty when the readers agree on the file, else what differs.
QString disagreement(const QByteArray &file)
{
    const XmlDataLayout layout = builtinLayout();
    XmlDataRead quick, full;
    const bool quickAccepted = XmlDataReader::readQuick(file, kFields, layout, quick);
    const bool fullAccepted = XmlDataReader::readFull(file, kFields, layout, full);
    if (!quickAccepted)
        return {};
    if (!fullAccepted)
        return u"the quick reader accepts what the full reader refuses: "_qs + full.error;
    if (quick.rows != full.rows)
        return u"the rows differ"_qs;
    if (quick.notes != full.notes)
        return u"the notes differ: [%1] against [%2]"_qs.arg(quick.notes.join(u'|'), full.notes.join(u'|'));
    if (quick.encoding != full.encoding)
        return u"the encodings differ"_qs;
    if (quick.hasVault != full.hasVault || quick.vault != full.vault)
        return u"the vault elements differ"_qs;
    return {};
}

QByteArray printable(const QByteArray &file)
{
    return file.size() > 400 ? file.left(400).toPercentEncoding(" <>/=\"'!?-[]") + "..."
                             : file.toPercentEncoding(" <>/=\"'!?-[]");
}

using Folder = TestSupport::DataFolderFixture;

} // namespace

class TestDataReaders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readersAgree_data();
    void readersAgree();
    void readersAgreeOnMutatedAndRandomFiles();
    void quickReaderTakesWhatThisProgramWrites();
    void loadNotesNameWhatTheNextWriteDrops_data();
    void loadNotesNameWhatTheNextWriteDrops();
    void loadNotesAreClearedAndTellTheTruth();
    void deepNestingIsRefusedBeforeItIsRead_data();
    void deepNestingIsRefusedBeforeItIsRead();
};

void TestDataReaders::readersAgree_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("fullAccepts");
    auto row = [](const char *name, const QByteArray &file, bool accepted) { QTest::newRow(name) << file << accepted; };
    const QByteArray plain = document(account(1));
    row("written by us", kWritten, true);
    row("element name starting with a digit", document(account(1, "    <1bad>x</1bad>\n")), false);
    row("element name with &", document(account(1, "    <a&b>x</a&b>\n")), false);
    row("undeclared prefix", document(account(1, "    <a:b>x</a:b>\n")), false);
    row("garbage attribute on Accounts", QByteArray(plain).replace("<Accounts>", "<Accounts junk>"), false);
    row("attribute on Accounts", QByteArray(plain).replace("<Accounts>", "<Accounts version=\"1\">"), true);
    row("garbage declaration", document(account(1), "<?xml garbage?>\n"), false);
    row("declaration without version", document(account(1), "<?xml encoding=\"UTF-8\"?>\n"), false);
    row("version 1.1", document(account(1), "<?xml version=\"1.1\"?>\n"), false);
    row("style sheet first", document(account(1), "<?xml-stylesheet href='a'?>\n"), true);
    row("space before the declaration", document(account(1), " <?xml version=\"1.0\"?>\n"), false);
    row("-- inside a comment", document("<!-- a -- b -->\n" + account(1)), false);
    row("comment ending --->", document("<!-- a --->\n" + account(1)), false);
    row("comment", document("<!-- a - b -->\n" + account(1)), true);
    row("carriage return reference", document(account(1, "    <siteUrl>a&#13;b&#13;&#10;c</siteUrl>\n")), true);
    row("raw carriage returns", document(account(1, "    <siteUrl>a\rb\r\nc\n\rd</siteUrl>\n")), true);
    row("reference with +", document(account(1, "    <siteUrl>&#+65;</siteUrl>\n")), false);
    row("reference with space", document(account(1, "    <siteUrl>&# 65;</siteUrl>\n")), false);
    row("reference with X", document(account(1, "    <siteUrl>&#X41;</siteUrl>\n")), false);
    row("reference to a half", document(account(1, "    <siteUrl>&#xD800;</siteUrl>\n")), false);
    row("reference with zeros", document(account(1, "    <siteUrl>&#0065;&#x0042;</siteUrl>\n")), true);
    row("raw U+FFFE", document(account(1, "    <siteUrl>a\xEF\xBF\xBE</siteUrl>\n")), false);
    row("raw U+FFFF", document(account(1, "    <siteUrl>a\xEF\xBF\xBF</siteUrl>\n")), false);
    row("raw U+FDD0", document(account(1, "    <siteUrl>a\xEF\xB7\x90</siteUrl>\n")), true);
    row("]]> in text", document(account(1, "    <siteUrl>a]]>b</siteUrl>\n")), false);
    row("NUL", document(account(1, QByteArray("    <siteUrl>a\0b</siteUrl>\n", 27))), false);
    row("broken UTF-8", document(account(1, "    <siteUrl>a\xC3</siteUrl>\n")), false);
    row("encoded surrogate", document(account(1, "    <siteUrl>\xED\xA0\x80</siteUrl>\n")), false);
    row("empty account", document("  <Account/>\n"), true);
    row("document type", "<!DOCTYPE Accounts>\n" + document(account(1), {}), true);
    row("CDATA", document(account(1, "    <siteUrl><![CDATA[a<b]]></siteUrl>\n")), true);
    row("element inside a field", document(account(1, "    <siteUrl>a<b>c</b>d</siteUrl>\n")), true);
    row("unknown element", document(account(1, "    <notes>x</notes>\n")), true);
    row("field twice", document(account(1, "    <siteName>again</siteName>\n")), true);
    row("long text", document(account(1, "    <username>" + QByteArray(81, 'u') + "</username>\n")), true);
    row("text between fields", document(account(1, "    loose\n")), true);
    row("account inside another element", document("  <Group>\n" + account(1) + "  </Group>\n"), true);
    row("state out of range", document(account(1, "    <active>70000</active>\n")), false);
    row("fee not a number", document(account(1, "    <monthlyFee>nan</monthlyFee>\n")), false);
    row("text after the document", plain + "x", false);
    row("comment after the document", plain + "<!-- c -->\n", true);
}

void TestDataReaders::readersAgree()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, fullAccepts);
    XmlDataRead full;
    QCOMPARE(XmlDataReader::readFull(file, kFields, builtinLayout(), full), fullAccepts);
    const QString why = disagreement(file);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestDataReaders::readersAgreeOnMutatedAndRandomFiles()
{
    const QList<QByteArray> seeds = {
        kWritten, document(account(1) + account(2, "    <notes>x</notes>\n    <siteName>b</siteName>\n") + account(3)),
        document(account(4, "    <siteUrl>a&#13;b\r\nc</siteUrl>\n    <active>0</active>\n")),
        document("<!-- c -->\n" + account(5, "    <addedDate>2024-02-29</addedDate>\n"))};
    QRandomGenerator rng(20250315);
    int quickAccepted = 0, fullAccepted = 0;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray file = i % 5 == 4 ? randomFile(rng) : mutate(seeds[i % 5], rng);
        const QString why = disagreement(file);
        QVERIFY2(why.isEmpty(),
                 qPrintable(u"%1 in file %2: %3"_qs.arg(why).arg(i).arg(QString::fromLatin1(printable(file)))));
        XmlDataRead quick, full;
        quickAccepted += XmlDataReader::readQuick(file, kFields, builtinLayout(), quick);
        fullAccepted += XmlDataReader::readFull(file, kFields, builtinLayout(), full);
    }
    // The comparison means something only where the quick reader accepts.
    QVERIFY2(quickAccepted > 1000, qPrintable(u"%1 %2"_qs.arg(quickAccepted).arg(fullAccepted)));
}

// Files as this program writes them never need the full reader.
void TestDataReaders::quickReaderTakesWhatThisProgramWrites()
{
    Folder folder;
    XmlDataProvider p(kFields);
    folder.point(p);
    QList<RowValues> rows;
    QVERIFY(p.load(rows));
    const QString awkward = u"Ölçü & <Co> \"x\" 'y' \U0001F600 \r\n\t ]]> &#13;"_qs;
    const RowValues row = {5, awkward, awkward, awkward, awkward.left(40), QString(), 1e300, QDate(1, 1, 1), -3};
    VERIFY_OK(applyToFile(p, {{PendingChange::Insert, {}, row}, {PendingChange::Insert, {}, RowValues(9)}}));
    XmlDataRead quick;
    QVERIFY(XmlDataReader::readQuick(TestSupport::readFile(folder.data()), kFields, builtinLayout(), quick));
    QCOMPARE(quick.rows.size(), 2);
    QCOMPARE(quick.rows[0], row);
    QVERIFY(quick.notes.isEmpty());
}

void TestDataReaders::loadNotesNameWhatTheNextWriteDrops_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("notes");
    auto row = [](const char *name, const QByteArray &file, const QStringList &notes) {
        QTest::newRow(name) << file << notes;
    };
    row("written by us", kWritten, {});
    row("unknown element", document(account(1) + account(2) + account(3, "    <notes>x</notes>\n    <notes/>\n")),
        {u"Account 3 has an element <notes> that is not kept."_qs});
    row("accounts inside another element",
        document(account(1) + "  <Group>\n" + account(2) + account(3) + "  </Group>\n  <Archive>" + account(4) +
                 "</Archive>\n"),
        {u"The element <Group> and the 2 accounts inside it are not kept."_qs,
         u"The element <Archive> and the account inside it are not kept."_qs});
    row("unknown element beside the accounts", document(account(1) + "  <Settings><a>1</a></Settings>\n"),
        {u"The file has an element <Settings> that is not kept."_qs});
    row("field twice",
        document(account(1) + account(2, "    <siteName>again</siteName>\n    <siteName>3</siteName>\n")),
        {u"Account 2 gives siteName more than once; only the last one is kept."_qs});
    row("texts longer than their fields",
        document(account(1, "    <siteUrl>" + QByteArray(300, 'u') + "</siteUrl>\n    <password>" +
                                QByteArray(81, 'p') + "</password>\n")),
        {u"Account 1 has a siteUrl of 300 characters; only the first 260 are kept."_qs,
         u"Account 1 has a password of 81 characters; only the first 80 are kept."_qs});
    row("elements inside a field", document(account(1, "    <siteUrl>a<b>c</b>d</siteUrl>\n")),
        {u"Account 1 has elements inside siteUrl that are not kept, only their text."_qs});
    row("text outside the fields", document(account(1, "    loose\n")),
        {u"Account 1 has text outside its fields that is not kept."_qs});
    row("text outside the accounts", document("  loose\n" + account(1)),
        {u"The file has text outside the accounts that is not kept."_qs});
    row("attributes",
        QByteArray(document(account(1)))
            .replace("<Accounts>", "<Accounts version=\"1\">")
            .replace("<siteName>", "<siteName lang=\"en\" xmlns:a=\"u\">"),
        {u"The element <Accounts> has attributes that are not kept."_qs,
         u"The element <siteName> has attributes that are not kept."_qs});
    row("comments", document("<!-- a -->\n" + account(1, "    <!-- b -->\n")) + "<!-- c -->",
        {u"The file has comments, which are not kept."_qs});
    row("processing instructions and document type",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE Accounts>\n<?style x?>\n" + document(account(1), {}),
        {u"The file has a document type declaration, which is not kept."_qs,
         u"The file has processing instructions, which are not kept."_qs});
    QByteArray many;
    for (int i = 1; i <= 15; ++i)
        many += account(i, "    <notes>" + QByteArray::number(i) + "</notes>\n");
    QStringList first10;
    for (int i = 1; i <= 10; ++i)
        first10 << u"Account %1 has an element <notes> that is not kept."_qs.arg(i);
    row("capped", document(many), first10 << u"And 5 more."_qs);
    row("encoding that cannot be written", document(account(1), "<?xml version=\"1.0\" encoding=\"HZ-GB-2312\"?>\n"),
        {u"The file's character encoding HZ-GB-2312 is not kept; the next save writes UTF-8."_qs});
}

void TestDataReaders::loadNotesNameWhatTheNextWriteDrops()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, notes);
    Folder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), file));
    XmlDataProvider p(kFields);
    folder.point(p);
    QList<RowValues> rows;
    VERIFY_OK(p.load(rows));
    QCOMPARE(p.loadNotes(), notes);
    const QString why = disagreement(file);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

// Every load starts with no notes, and what a note says is kept is what the next save keeps.
void TestDataReaders::loadNotesAreClearedAndTellTheTruth()
{
    Folder folder;
    QVERIFY(TestSupport::writeFile(
        folder.data(), document(account(1, "    <siteName>last</siteName>\n    <username>" + QByteArray(70, 'u') +
                                               "\xF0\x9F\x98\x80" + QByteArray(20, 'v') + "</username>\n"))));
    XmlDataProvider p(kFields);
    folder.point(p);
    QList<RowValues> rows;
    QVERIFY(p.load(rows));
    QCOMPARE(p.loadNotes().size(), 2);
    QVERIFY(applyToFile(p, {{PendingChange::Insert, {}, RowValues{2, u"b"_qs}}}));
    QVERIFY(p.load(rows));
    QVERIFY(p.loadNotes().isEmpty());
    QCOMPARE(rows[0][AccountTable::SiteName].toString(), u"last"_qs);
    QCOMPARE(rows[0][AccountTable::Username].toString(),
             QString(QString(70, u'u') + u"\U0001F600"_qs + QString(8, u'v')));

    QVERIFY(TestSupport::writeFile(folder.data(), document(account(1, "    <notes/>\n"))));
    QVERIFY(p.load(rows));
    QCOMPARE(p.loadNotes().size(), 1);
    QVERIFY(TestSupport::writeFile(folder.data(), "<Accounts>"));
    QVERIFY(!p.load(rows));
    QVERIFY(p.loadNotes().isEmpty());
}

void TestDataReaders::deepNestingIsRefusedBeforeItIsRead_data()
{
    QTest::addColumn<QByteArray>("file");
    const int depth = 100000;
    const QByteArray open = QByteArray("<a>").repeated(depth), close = QByteArray("</a>").repeated(depth);
    QTest::newRow("inside a field") << document(account(1, "    <siteUrl>" + open + close + "</siteUrl>\n"));
    QTest::newRow("inside an account") << document(account(1, open + close));
    QTest::newRow("beside the accounts") << document(open + close);
    QTest::newRow("never closed") << document(account(1, "    <siteUrl>" + open));
}

// 100,000 nested elements once overflowed the stack; now the load stops at a sane depth and says
// where.
void TestDataReaders::deepNestingIsRefusedBeforeItIsRead()
{
    QFETCH(QByteArray, file);
    XmlDataRead full;
    QVERIFY(!XmlDataReader::readFull(file, kFields, builtinLayout(), full));
    const QString reason = u"Reason: The elements are nested more than %1 deep."_qs.arg(XmlDataReader::MaxDepth);
    QVERIFY2(full.error.contains(reason) && full.error.contains(u"Error on line "_qs), qPrintable(full.error));
    const QString why = disagreement(file);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestDataReaders)
#include "tst_datareaders.moc"
