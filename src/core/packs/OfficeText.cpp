// SPDX-License-Identifier: GPL-3.0-or-later
#include "OfficeText.h"

#include "HtmlText.h"
#include "TextSink.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>

namespace OfficeText {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DocumentText", text);
}

// The small files of a package (its lists) are read whole, up to this.
constexpr qsizetype kMaxListBytes = 4 * 1024 * 1024;
// A chapter of an EPUB is held whole while its XML is tried, up to this.
constexpr qsizetype kMaxChapterBytes = 16 * 1024 * 1024;

// What a document's XML means as text, by element.
class XmlHandler
{
public:
    virtual ~XmlHandler() = default;
    virtual void start(QStringView name, const QXmlStreamAttributes &attributes) = 0;
    virtual void end(QStringView name) = 0;
    virtual void characters(QStringView text) = 0;
};

// DOCX: the runs' text (w:t), their tabs and breaks; every paragraph (w:p) ends a line.
class DocxHandler final : public XmlHandler
{
public:
    explicit DocxHandler(TextSink &sink)
        : m_sink(sink)
    {
    }
    void start(QStringView name, const QXmlStreamAttributes &) override
    {
        if (name == u"r")
            ++m_run;
        else if (name == u"t" && m_run > 0)
            ++m_text;
        else if (name == u"tab" && m_run > 0)
            m_sink.append(QChar(u'\t'));
        else if ((name == u"br" || name == u"cr") && m_run > 0)
            m_sink.lineBreak();
    }
    void end(QStringView name) override
    {
        if (name == u"r")
            m_run = qMax(0, m_run - 1);
        else if (name == u"t")
            m_text = qMax(0, m_text - 1);
        else if (name == u"p")
            m_sink.lineBreak();
    }
    void characters(QStringView text) override
    {
        if (m_text > 0)
            m_sink.append(text);
    }

private:
    TextSink &m_sink;
    int m_run = 0;
    int m_text = 0;
};

// ODT: the text of the body, white space collapsed as the format says, text:s for spaces kept.
class OdtHandler final : public XmlHandler
{
public:
    explicit OdtHandler(TextSink &sink)
        : m_sink(sink)
    {
    }
    void start(QStringView name, const QXmlStreamAttributes &attributes) override
    {
        if (name == u"body")
            ++m_body;
        if (m_body == 0)
            return;
        if (name == u"s") {
            int count = 1;
            for (const QXmlStreamAttribute &attribute : attributes) {
                if (attribute.name() == u"c")
                    count = qBound(1, attribute.value().toInt(), 1000);
            }
            m_sink.append(QString(count, u' '));
        } else if (name == u"tab") {
            m_sink.append(QChar(u'\t'));
        } else if (name == u"line-break") {
            m_sink.lineBreak();
        }
    }
    void end(QStringView name) override
    {
        if (name == u"body")
            m_body = qMax(0, m_body - 1);
        else if (m_body > 0 && (name == u"p" || name == u"h"))
            m_sink.lineBreak();
    }
    void characters(QStringView text) override
    {
        if (m_body > 0)
            m_sink.appendCollapsed(text);
    }

private:
    TextSink &m_sink;
    int m_body = 0;
};

// XHTML (EPUB chapters): as HTML, through the XML reader.
class XhtmlHandler final : public XmlHandler
{
public:
    explicit XhtmlHandler(TextSink &sink)
        : m_sink(sink)
    {
    }
    void start(QStringView name, const QXmlStreamAttributes &) override
    {
        const QString lower = name.toString().toLower();
        if (m_hidden > 0 || lower == u"head" || HtmlText::isHiddenElement(lower))
            ++m_hidden;
        else if (lower == u"br")
            m_sink.lineBreak();
    }
    void end(QStringView name) override
    {
        if (m_hidden > 0)
            --m_hidden;
        else if (HtmlText::isBlockElement(name.toString().toLower()))
            m_sink.lineBreak();
    }
    void characters(QStringView text) override
    {
        if (m_hidden == 0)
            m_sink.appendCollapsed(text);
    }

private:
    TextSink &m_sink;
    int m_hidden = 0;
};

// Hands the tokens read so far to the handler. False on an XML error other than wanting more.
bool drain(QXmlStreamReader &xml, XmlHandler &handler, const TextSink &sink)
{
    while (!xml.atEnd() && !sink.isFull()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            handler.start(xml.name(), xml.attributes());
            break;
        case QXmlStreamReader::EndElement:
            handler.end(xml.name());
            break;
        case QXmlStreamReader::Characters:
            handler.characters(xml.text());
            break;
        default:
            break;
        }
    }
    return xml.error() == QXmlStreamReader::NoError || xml.error() == QXmlStreamReader::PrematureEndOfDocumentError;
}

struct Outcome
{
    DocumentStatus status = DocumentStatus::Ok;
    QString error;
};

Outcome fromPack(const PackReader &reader)
{
    switch (reader.status()) {
    case PackStatus::Ok:
        return {};
    case PackStatus::CannotOpen:
        return {DocumentStatus::CannotOpen, reader.error()};
    case PackStatus::NotAPack:
        return {DocumentStatus::NotADocument, reader.error()};
    case PackStatus::Locked:
        return {DocumentStatus::Locked, reader.error()};
    case PackStatus::Cancelled:
        return {DocumentStatus::Cancelled, reader.error()};
    default:
        return {DocumentStatus::Damaged, reader.error()};
    }
}

Outcome fromEntry(const PackReader &reader)
{
    if (reader.entryStatus() == PackStatus::Locked)
        return {DocumentStatus::Locked, reader.error()};
    if (reader.entryStatus() == PackStatus::Cancelled)
        return {DocumentStatus::Cancelled, reader.error()};
    return {DocumentStatus::Damaged, reader.error()};
}

// The current entry streamed through the XML reader into the handler, a chunk at a time.
Outcome streamEntry(PackReader &reader, XmlHandler &handler, const TextSink &sink, const QString &name)
{
    QXmlStreamReader xml;
    QByteArray chunk;
    while (!sink.isFull() && reader.readChunk(chunk)) {
        xml.addData(chunk);
        if (!drain(xml, handler, sink))
            return {DocumentStatus::Damaged, tr("%1 is damaged: %2").arg(name, xml.errorString())};
    }
    if (sink.isFull())
        return {};
    if (reader.entryStatus() != PackStatus::Ok)
        return fromEntry(reader);
    return {};
}

// The whole of the current entry, up to most bytes; the rest is left unread.
bool readWhole(PackReader &reader, qsizetype most, QByteArray &bytes)
{
    bytes.clear();
    QByteArray chunk;
    while (bytes.size() < most && reader.readChunk(chunk))
        bytes += chunk;
    bytes.truncate(most);
    return reader.entryStatus() == PackStatus::Ok;
}

// One entry of the pack, found by its path, read as XML into the handler.
Outcome mainPart(const std::function<bool(PackReader &)> &open, const QString &part, XmlHandler &handler,
                 const TextSink &sink, const QString &name, const DocumentTextOptions &options)
{
    PackReader reader(options.packLimits);
    reader.setStopFlag(options.stop);
    if (!open(reader))
        return fromPack(reader);
    while (reader.nextEntry()) {
        if (reader.entry().path == part)
            return streamEntry(reader, handler, sink, name);
    }
    if (reader.status() != PackStatus::Ok)
        return fromPack(reader);
    return {DocumentStatus::NotADocument, tr("%1 has no %2").arg(name, part)};
}

QString attributeOf(const QByteArray &xmlBytes, QStringView element, const QString &attribute)
{
    QXmlStreamReader xml(xmlBytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == element)
            return xml.attributes().value(attribute).toString();
    }
    return QString();
}

// The chapters of an EPUB in reading order: the spine of its package file, the paths made whole.
QStringList readingOrder(const QByteArray &opf, const QString &opfPath)
{
    const QString base = opfPath.contains(u'/') ? opfPath.section(u'/', 0, -2) + u'/' : QString();
    QHash<QString, QString> hrefs;
    QStringList order;
    QXmlStreamReader xml(opf);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"item") {
            const QString href = QUrl::fromPercentEncoding(attributes.value(QStringLiteral("href")).toUtf8());
            hrefs.insert(attributes.value(QStringLiteral("id")).toString(), QDir::cleanPath(base + href));
        } else if (xml.name() == u"itemref") {
            order << attributes.value(QStringLiteral("idref")).toString();
        }
    }
    QStringList paths;
    for (const QString &id : std::as_const(order)) {
        if (hrefs.contains(id))
            paths << hrefs.value(id);
    }
    return paths;
}

bool isChapterName(const QString &path)
{
    return path.endsWith(QStringLiteral(".xhtml"), Qt::CaseInsensitive)
           || path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)
           || path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive);
}

// A chapter's text: as XML where it is well formed, else by the tolerant HTML parser.
QString chapterText(const QByteArray &bytes, qsizetype room, const std::atomic<bool> *stop)
{
    {
        TextSink sink(room);
        XhtmlHandler handler(sink);
        QXmlStreamReader xml(bytes);
        if (drain(xml, handler, sink) && xml.error() == QXmlStreamReader::NoError)
            return sink.take();
    }
    TextSink sink(room);
    HtmlText::extract(HtmlText::decode(bytes), sink, stop, HtmlText::Head::Skipped);
    return sink.take();
}

// EPUB, first pass: the package file's path (from META-INF/container.xml) and its bytes.
Outcome findPackage(const std::function<bool(PackReader &)> &open, const QString &name,
                    const DocumentTextOptions &options, QStringList &chapters)
{
    PackReader reader(options.packLimits);
    reader.setStopFlag(options.stop);
    if (!open(reader))
        return fromPack(reader);
    QString rootPath;
    QHash<QString, QByteArray> packages;
    while (reader.nextEntry()) {
        const QString path = reader.entry().path;
        QByteArray bytes;
        if (path == u"META-INF/container.xml" && readWhole(reader, kMaxListBytes, bytes))
            rootPath = attributeOf(bytes, u"rootfile", QStringLiteral("full-path"));
        else if (path.endsWith(QStringLiteral(".opf"), Qt::CaseInsensitive) && readWhole(reader, kMaxListBytes, bytes))
            packages.insert(path, bytes);
    }
    if (reader.status() != PackStatus::Ok)
        return fromPack(reader);
    if (rootPath.isEmpty() && !packages.isEmpty())
        rootPath = packages.keys().constFirst();
    if (packages.contains(rootPath))
        chapters = readingOrder(packages.value(rootPath), rootPath);
    if (rootPath.isEmpty())
        return {DocumentStatus::NotADocument, tr("%1 has no EPUB package file").arg(name)};
    return {};
}

// EPUB: the chapters its spine lists, in that order; without a spine, every XHTML file in the
// pack's order.
Outcome epubText(const std::function<bool(PackReader &)> &open, TextSink &sink, const QString &name,
                 const DocumentTextOptions &options)
{
    QStringList order;
    const Outcome found = findPackage(open, name, options, order);
    if (found.status != DocumentStatus::Ok)
        return found;
    const bool bySpine = !order.isEmpty();
    PackReader reader(options.packLimits);
    reader.setStopFlag(options.stop);
    if (!open(reader))
        return fromPack(reader);
    // Chapters stored out of their reading order are held until all are read. The text is a prefix
    // in reading order: a chapter behind enough text of earlier ones is dropped, and what is held
    // stays below twice the limit (past it the text is cut where it stands).
    QHash<QString, QString> texts;
    qsizetype held = 0;
    while (reader.nextEntry()) {
        const QString path = reader.entry().path;
        if (bySpine ? !order.contains(path) : !isChapterName(path))
            continue;
        if (!bySpine)
            order << path;
        qsizetype before = 0;
        for (qsizetype i = 0; i < order.indexOf(path); ++i)
            before += texts.value(order[i]).size();
        if (before >= options.maxChars)
            continue;
        // A chapter that cannot be read (locked, damaged, refused) is left out; the others are not.
        QByteArray bytes;
        if (!readWhole(reader, kMaxChapterBytes, bytes))
            continue;
        const QString text = chapterText(bytes, options.maxChars - before + 1, options.stop);
        held += text.size();
        texts.insert(path, text);
        if (held > 2 * options.maxChars)
            break;
    }
    if (reader.status() != PackStatus::Ok)
        return fromPack(reader);
    for (const QString &path : std::as_const(order)) {
        sink.append(texts.value(path));
        sink.lineBreak();
    }
    return {};
}

} // namespace

DocumentTextResult extract(DocumentKind kind, const std::function<bool(PackReader &)> &open, const QString &name,
                           const DocumentTextOptions &options)
{
    TextSink sink(options.maxChars);
    Outcome outcome;
    if (kind == DocumentKind::Docx) {
        DocxHandler handler(sink);
        outcome = mainPart(open, QStringLiteral("word/document.xml"), handler, sink, name, options);
    } else if (kind == DocumentKind::Odt) {
        OdtHandler handler(sink);
        outcome = mainPart(open, QStringLiteral("content.xml"), handler, sink, name, options);
    } else {
        outcome = epubText(open, sink, name, options);
    }
    DocumentTextResult result;
    result.kind = kind;
    result.status = outcome.status;
    result.error = outcome.error;
    result.truncated = sink.truncated();
    result.text = sink.take();
    return result;
}

} // namespace OfficeText
