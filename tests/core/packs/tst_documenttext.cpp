// SPDX-License-Identifier: GPL-3.0-or-later
// The plain text of PDF, DOCX, ODT, EPUB and HTML documents, from files and from bytes, and what is
// reported when a document is none, is damaged, locked, too long or cancelled.
#include "PackFixtures.h"
#include "core/packs/DocumentText.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using PackFixtures::ZipFile;

Q_DECLARE_METATYPE(DocumentKind)
Q_DECLARE_METATYPE(DocumentStatus)

namespace {

using PackFixtures::docx;
using PackFixtures::minimalPdf;

QByteArray odt(const QByteArray &text)
{
    const QByteArray content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">\n"
        "  <office:automatic-styles><style>Not text</style></office:automatic-styles>\n"
        "  <office:body>\n    <office:text>\n" + text + "\n    </office:text>\n  </office:body>\n"
        "</office:document-content>";
    return PackFixtures::buildZip({{"mimetype", "application/vnd.oasis.opendocument.text"},
                                   {"content.xml", content, true}});
}

QByteArray xhtml(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">"
           "<head><title>Title, not text</title><style>p { color: red }</style></head><body>"
           + body + "</body></html>";
}

// Two chapters stored against their reading order, one of them no well-formed XML (an HTML entity
// XML does not know).
QByteArray epub()
{
    const QByteArray container =
        "<?xml version=\"1.0\"?><container version=\"1.0\" "
        "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
        "<rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
        "</rootfiles></container>";
    const QByteArray opf =
        "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
        "<manifest><item id=\"c1\" href=\"text/chapter%201.xhtml\" media-type=\"application/xhtml+xml\"/>"
        "<item id=\"c2\" href=\"text/two.xhtml\" media-type=\"application/xhtml+xml\"/></manifest>"
        "<spine><itemref idref=\"c1\"/><itemref idref=\"c2\"/></spine></package>";
    return PackFixtures::buildZip(
        {{"mimetype", "application/epub+zip"},
         {"META-INF/container.xml", container, true},
         {"OEBPS/text/two.xhtml", xhtml("<h1>Two</h1><p>Caf&eacute;&nbsp;open</p>"), true},
         {"OEBPS/content.opf", opf, true},
         {"OEBPS/text/chapter 1.xhtml",
          xhtml("<h1>One</h1><p>First <b>bold</b>\n  words</p><script>alert('no')</script><p>a&amp;b</p>"), true}});
}

const QByteArray kHtml =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Page</title>"
    "<style>body { font: 12px }</style><script>var x = '<p>not text</p>';</script></head>"
    "<body><!-- a comment <p>no</p> --><h1>Heading</h1><p>Fish &amp; chips &lt;3 &#8364;5 &#x41;&eacute;"
    "&unknown; 1 < 2 & 3</p><div>Line<br>break</div><ul><li>one<li>two</ul>"
    "<p title=\"a > b\">quoted</p><SCRIPT type=x>hidden()</SCRIPT>tail";

} // namespace

class TestDocumentText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractsText_data();
    void extractsText();
    void reportsProblems_data();
    void reportsProblems();
    void truncatesAtTheLimit_data();
    void truncatesAtTheLimit();
    void stopsWhenCancelled_data();
    void stopsWhenCancelled();
    void tellsKinds_data();
    void tellsKinds();
};

void TestDocumentText::extractsText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<DocumentKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("pdf, two pages") << QStringLiteral("a.pdf") << minimalPdf({"Hello PDF world", "Second page"})
                                    << DocumentKind::Pdf << QStringLiteral("Hello PDF world\nSecond page");
    QTest::newRow("docx")
        << QStringLiteral("a.docx")
        << docx("<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
                "<w:r><w:t>Hello </w:t></w:r><w:r><w:t xml:space=\"preserve\">Word &amp; co</w:t></w:r></w:p>"
                "<w:p><w:r><w:t>A</w:t><w:tab/><w:t>B</w:t><w:br/><w:t>C</w:t></w:r></w:p><w:p/>"
                "<w:p><w:r><w:t>Last</w:t></w:r></w:p>")
        << DocumentKind::Docx << QStringLiteral("Hello Word & co\nA\tB\nC\nLast");
    QTest::newRow("odt") << QStringLiteral("a.odt")
                         << odt("<text:h>Title</text:h>\n<text:p>Some\n   text<text:s text:c=\"3\"/>spaced"
                                "<text:tab/>tab<text:line-break/>next</text:p>")
                         << DocumentKind::Odt << QStringLiteral("Title\nSome text   spaced\ttab\nnext");
    QTest::newRow("epub") << QStringLiteral("a.epub") << epub() << DocumentKind::Epub
                          << QStringLiteral("One\nFirst bold words\na&b\nTwo\nCafé\u00A0open");
    QTest::newRow("html") << QStringLiteral("a.html") << kHtml << DocumentKind::Html
                          << QStringLiteral("Page\nHeading\nFish & chips <3 €5 Aé&unknown; 1 < 2 & 3\nLine\nbreak\n"
                                            "one\ntwo\nquoted\ntail");
    QTest::newRow("html, Latin-1 by its meta")
        << QStringLiteral("b.htm") << QByteArray("<html><head><meta charset=\"iso-8859-1\"></head><p>caf\xE9</p>")
        << DocumentKind::Html << QStringLiteral("café");
    QTest::newRow("html told by its content") << QStringLiteral("page") << QByteArray("<HTML><p>x</p></HTML>")
                                              << DocumentKind::Html << QStringLiteral("x");
    // A page keeps its spacing, as any text file does; a book's chapters flow (the epub row).
    QTest::newRow("html keeps its spacing")
        << QStringLiteral("c.html") << QByteArray("<p>two  spaces,\nre<b>port</b>\t&amp; a tab</p>")
        << DocumentKind::Html << QStringLiteral("two  spaces,\nreport\t& a tab");
}

// From bytes (an entry of a pack) and from a file alike.
void TestDocumentText::extractsText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(DocumentKind, kind);
    QFETCH(QString, text);
    const DocumentTextResult fromBytes = DocumentText::fromBytes(bytes, name);
    QVERIFY2(fromBytes.ok(), qPrintable(fromBytes.error));
    QVERIFY(fromBytes.error.isEmpty());
    QCOMPARE(fromBytes.kind, kind);
    QCOMPARE(fromBytes.text, text);
    QVERIFY(!fromBytes.truncated);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const DocumentTextResult fromFile = DocumentText::fromFile(path);
    QVERIFY2(fromFile.status == DocumentStatus::Ok, qPrintable(fromFile.error));
    QCOMPARE(fromFile.text, text);
}

void TestDocumentText::reportsProblems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<DocumentStatus>("status");
    QTest::newRow("noise named .pdf") << QStringLiteral("a.pdf") << PackFixtures::noise(2000, 4)
                                      << DocumentStatus::NotADocument;
    QTest::newRow("text named .docx") << QStringLiteral("a.docx") << QByteArray("plain text")
                                      << DocumentStatus::NotADocument;
    QTest::newRow("no name, no kind") << QStringLiteral("notes") << QByteArray("plain text")
                                      << DocumentStatus::NotADocument;
    const QByteArray pdf = minimalPdf({"Hello"});
    QTest::newRow("pdf with a password") << QStringLiteral("a.pdf") << minimalPdf({"Hello"}, true)
                                         << DocumentStatus::Locked;
    QTest::newRow("pdf cut to its header") << QStringLiteral("a.pdf") << pdf.left(20) << DocumentStatus::Damaged;
    QTest::newRow("docx without its document")
        << QStringLiteral("a.docx") << PackFixtures::buildZip({{"[Content_Types].xml", "<Types/>"}})
        << DocumentStatus::NotADocument;
    QTest::newRow("docx with broken XML")
        << QStringLiteral("a.docx")
        << PackFixtures::buildZip({{"word/document.xml", "<w:document xmlns:w=\"urn:w\"><w:p><w:r><w:t>kept</w:t>"
                                                         "</w:r></w:p><w:p></w:q>"}})
        << DocumentStatus::Damaged;
    const QByteArray full = docx("<w:p><w:r><w:t>text</w:t></w:r></w:p>");
    QTest::newRow("docx cut short") << QStringLiteral("a.docx") << full.left(full.size() / 2)
                                    << DocumentStatus::Damaged;
    QByteArray error;
    const QByteArray locked = PackFixtures::write(PackFixtures::Kind::Zip, {{"word/document.xml", "<w:document/>"}},
                                                  "zip:encryption=zipcrypt", "password", &error);
    if (!locked.isEmpty())
        QTest::newRow("docx encrypted") << QStringLiteral("a.docx") << locked << DocumentStatus::Locked;
}

void TestDocumentText::reportsProblems()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(DocumentStatus, status);
    const DocumentTextResult result = DocumentText::fromBytes(bytes, name);
    QCOMPARE(result.status, status);
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains(name), qPrintable(result.error));
    if (QByteArray(QTest::currentDataTag()) == "docx with broken XML")
        QCOMPARE(result.text, QStringLiteral("kept"));

    const DocumentTextResult missing = DocumentText::fromFile(QStringLiteral("/nonexistent/a.pdf"));
    QCOMPARE(missing.status, DocumentStatus::CannotOpen);
    QVERIFY(missing.error.contains(QStringLiteral("/nonexistent/a.pdf")));
}

void TestDocumentText::truncatesAtTheLimit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("pdf") << QStringLiteral("a.pdf") << minimalPdf({"Hello PDF world", "Second page"});
    QTest::newRow("docx") << QStringLiteral("a.docx")
                          << docx("<w:p><w:r><w:t>Hello Word and the rest of it</w:t></w:r></w:p>");
    QTest::newRow("html") << QStringLiteral("a.html") << kHtml;
    QTest::newRow("epub") << QStringLiteral("a.epub") << epub();
}

void TestDocumentText::truncatesAtTheLimit()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    DocumentTextOptions options;
    options.maxChars = 10;
    const DocumentTextResult result = DocumentText::fromBytes(bytes, name, options);
    QCOMPARE(result.status, DocumentStatus::Ok);
    QVERIFY(result.truncated);
    QVERIFY(result.text.size() <= 10);
    QCOMPARE(result.text, DocumentText::fromBytes(bytes, name).text.left(result.text.size()));
}

void TestDocumentText::stopsWhenCancelled_data()
{
    truncatesAtTheLimit_data();
}

// A raised flag is looked at before any page or chunk.
void TestDocumentText::stopsWhenCancelled()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    std::atomic<bool> stop{true};
    DocumentTextOptions options;
    options.stop = &stop;
    const DocumentTextResult result = DocumentText::fromBytes(bytes + QByteArray(200 * 1024, ' '), name, options);
    QCOMPARE(result.status, DocumentStatus::Cancelled);
    QVERIFY(result.error.contains(name));
}

void TestDocumentText::tellsKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<DocumentKind>("kind");
    QTest::addColumn<bool>("isDocumentName");
    QTest::newRow("pdf by name and content") << QStringLiteral("a.PDF") << QByteArray("%PDF-1.7") << DocumentKind::Pdf
                                             << true;
    QTest::newRow("pdf by content alone") << QStringLiteral("download") << QByteArray("\n%PDF-1.4")
                                          << DocumentKind::Pdf << false;
    QTest::newRow("pdf name, other content") << QStringLiteral("a.pdf") << QByteArray("<html>") << DocumentKind::None
                                             << true;
    QTest::newRow("epub by its mimetype")
        << QStringLiteral("book") << epub().left(200) << DocumentKind::Epub << false;
    QTest::newRow("odt by its mimetype") << QStringLiteral("x.zip") << odt("").left(200) << DocumentKind::Odt
                                         << false;
    QTest::newRow("docx by its content types") << QStringLiteral("x") << docx("").left(200) << DocumentKind::Docx
                                               << false;
    QTest::newRow("plain zip") << QStringLiteral("x.zip") << PackFixtures::buildZip({{"a.txt", "a"}})
                               << DocumentKind::None << false;
    QTest::newRow("xhtml") << QStringLiteral("c.xhtml") << QByteArray("<?xml?>") << DocumentKind::Html << true;
    QTest::newRow("text") << QStringLiteral("a.txt") << QByteArray("hello") << DocumentKind::None << false;
}

void TestDocumentText::tellsKinds()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, head);
    QFETCH(DocumentKind, kind);
    QFETCH(bool, isDocumentName);
    QCOMPARE(DocumentText::kindOf(name, head), kind);
    QCOMPARE(DocumentText::isDocumentName(name), isDocumentName);
}

QTEST_GUILESS_MAIN(TestDocumentText)
#include "tst_documenttext.moc"
