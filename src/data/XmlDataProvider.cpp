#include "XmlDataProvider.h"

#include "RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("XmlDataProvider", text);
}

const QString kMappingElement = QStringLiteral("VantoryMapping");
const QString kDocumentElement = QStringLiteral("Accounts");
const QString kRowElement = QStringLiteral("Account");

bool isUnicodeName(const QByteArray &name)
{
    const QByteArray n = name.toUpper();
    return n.isEmpty() || n == "UTF-8" || n == "UTF8" || n.startsWith("UTF-16");
}

// The encoding of an XML document: its byte-order mark, else the declaration, else UTF-8.
QByteArray detectEncoding(const QByteArray &data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return "UTF-16";
    if (!data.startsWith("<?xml"))
        return "UTF-8";
    const qsizetype end = data.indexOf("?>");
    const QByteArray decl = data.left(end < 0 ? 200 : end);
    static const QRegularExpression re(QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(decl));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("UTF-8");
}

QString formatValue(const FieldDef &f, const QVariant &v)
{
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
        return QString::number(v.toInt());
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case FieldType::Date:
        return v.toDate().toString(Qt::ISODate);
    case FieldType::String:
        return v.toString();
    }
    return v.toString();
}

bool parseValue(const FieldDef &f, const QString &text, QVariant &out)
{
    bool ok = true;
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
        out = text.trimmed().toInt(&ok);
        break;
    case FieldType::Float: {
        // "nan" and "inf" read as numbers, but no save could find such an account again.
        const double d = text.trimmed().toDouble(&ok);
        ok = ok && std::isfinite(d);
        out = d;
        break;
    }
    case FieldType::Date: {
        const QDate d = QDate::fromString(text.trimmed(), Qt::ISODate);
        ok = d.isValid();
        out = d;
        break;
    }
    case FieldType::String:
        out = text;
        break;
    }
    if (ok)
        out = coerceFieldValue(f, out);
    return ok;
}

} // namespace

QString xmlParseErrorText(const QString &reason, qint64 line, qint64 position)
{
    QString text = QStringLiteral("XML Parse Error:\n\r") + QStringLiteral("Reason: %1\n\r").arg(reason);
    if (line > 0)
        text += QStringLiteral("Error on line %1, position %2").arg(line).arg(position);
    return text;
}

XmlDataProvider::XmlDataProvider(std::vector<FieldDef> fields)
    : m_fields(std::move(fields))
{
}

XmlDataProvider::Mapping XmlDataProvider::builtinMapping() const
{
    Mapping m;
    m.documentElement = kDocumentElement;
    m.rowElement = kRowElement;
    for (const FieldDef &f : m_fields)
        m.fieldElements.push_back(f.name);
    return m;
}

QByteArray XmlDataProvider::defaultMapping(bool forReading) const
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(kMappingElement);
    w.writeAttribute(QStringLiteral("version"), QString::number(MappingVersion));
    w.writeAttribute(QStringLiteral("direction"), forReading ? QStringLiteral("ToRows") : QStringLiteral("ToXml"));
    w.writeEmptyElement(QStringLiteral("Document"));
    w.writeAttribute(QStringLiteral("element"), kDocumentElement);
    w.writeEmptyElement(QStringLiteral("Row"));
    w.writeAttribute(QStringLiteral("element"), kRowElement);
    for (const FieldDef &f : m_fields) {
        w.writeEmptyElement(QStringLiteral("Field"));
        w.writeAttribute(QStringLiteral("name"), f.name);
        w.writeAttribute(QStringLiteral("element"), f.name);
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

bool XmlDataProvider::readMapping(const QString &path, bool forReading, Mapping &mapping, QString &error) const
{
    Q_UNUSED(forReading);
    if (path.isEmpty()) {
        error = tr("TransformationFile must be specified");
        return false;
    }
    QByteArray data;
    QString reason;
    if (!readRegularFile(path, MaxFileSize, data, reason)) {
        error = xmlParseErrorText(tr("Cannot open the mapping file %1: %2").arg(path, reason), 0, 0);
        return false;
    }
    mapping = builtinMapping();
    QXmlStreamReader xml(data);
    bool seenRoot = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (!seenRoot) {
            seenRoot = true;
            if (xml.name() != kMappingElement ||
                xml.attributes().value(QStringLiteral("version")).toInt() != MappingVersion) {
                error = tr("Version of Transformation File not supported");
                return false;
            }
            continue;
        }
        const QString element = xml.attributes().value(QStringLiteral("element")).toString();
        if (xml.name() == u"Document" && !element.isEmpty()) {
            mapping.documentElement = element;
        } else if (xml.name() == u"Row" && !element.isEmpty()) {
            mapping.rowElement = element;
        } else if (xml.name() == u"Field" && !element.isEmpty()) {
            const QString name = xml.attributes().value(QStringLiteral("name")).toString();
            for (size_t i = 0; i < m_fields.size(); ++i) {
                if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                    mapping.fieldElements[i] = element;
            }
        }
    }
    if (xml.hasError()) {
        error = xmlParseErrorText(xml.errorString(), xml.lineNumber(), xml.columnNumber());
        return false;
    }
    if (!seenRoot) {
        error = tr("Version of Transformation File not supported");
        return false;
    }
    return true;
}

namespace {

// A quick reader for data files in the layout this program writes (UTF-8, one element per row, one
// text element per field). Anything it does not expect, it leaves to the full XML reader, which
// also gives the exact error and its place; so it never accepts what the full reader would refuse.
class QuickReader
{
public:
    QuickReader(const QByteArray &data, const std::vector<FieldDef> &fields, const std::vector<QByteArray> &names,
                const QByteArray &document, const QByteArray &row)
        : p(data.constData())
        , end(data.constData() + data.size())
        , m_fields(fields)
        , m_names(names)
        , m_document(document)
        , m_row(row)
    {
    }

    bool read(QList<RowValues> &rows)
    {
        if (end - p >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        if (startsWith("<?xml")) {
            const char *close = find("?>");
            if (!close)
                return false;
            p = close + 2;
        }
        if (!skipMisc() || !openTag(m_document, true))
            return false;
        for (;;) {
            if (!skipMisc())
                return false;
            if (closeTag(m_document))
                break;
            RowValues values(qsizetype(m_fields.size()));
            if (!readRow(values))
                return false;
            rows.append(std::move(values));
        }
        return skipMisc() && p == end;
    }

private:
    bool startsWith(const char *s) const
    {
        const size_t n = strlen(s);
        return size_t(end - p) >= n && memcmp(p, s, n) == 0;
    }
    const char *find(const char *s) const
    {
        const size_t n = strlen(s);
        for (const char *q = p; size_t(end - q) >= n; ++q) {
            if (memcmp(q, s, n) == 0)
                return q;
        }
        return nullptr;
    }
    void skipSpace()
    {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
    }
    // White space and comments between elements.
    bool skipMisc()
    {
        for (;;) {
            skipSpace();
            if (!startsWith("<!--"))
                return true;
            const char *close = find("-->");
            if (!close)
                return false;
            p = close + 3;
        }
    }
    bool name(QByteArrayView expected)
    {
        if (size_t(end - p) < size_t(expected.size()) || memcmp(p, expected.data(), size_t(expected.size())) != 0)
            return false;
        const char *after = p + expected.size();
        if (after < end && (*after == '>' || *after == '/' || *after == ' ' || *after == '\n' || *after == '\r' ||
                            *after == '\t')) {
            p = after;
            return true;
        }
        return false;
    }
    // "<name>" with nothing but white space inside (attributes are left to the full reader, except on
    // the document element, where a version attribute is allowed).
    bool openTag(const QByteArray &tag, bool allowAttributes)
    {
        if (p >= end || *p != '<')
            return false;
        ++p;
        if (!name(tag))
            return false;
        if (allowAttributes) {
            while (p < end && *p != '>' && *p != '<' && *p != '/' && *p != '&')
                ++p;
        } else {
            skipSpace();
        }
        if (p >= end || *p != '>')
            return false;
        ++p;
        return true;
    }
    bool closeTag(QByteArrayView tag)
    {
        const char *save = p;
        if (startsWith("</")) {
            p += 2;
            if (name(tag)) {
                skipSpace();
                if (p < end && *p == '>') {
                    ++p;
                    return true;
                }
            }
        }
        p = save;
        return false;
    }
    bool readRow(RowValues &values)
    {
        if (!openTag(m_row, false))
            return false;
        for (;;) {
            if (!skipMisc())
                return false;
            if (closeTag(m_row))
                return true;
            if (p >= end || *p != '<' || p + 1 >= end || p[1] == '/' || p[1] == '!' || p[1] == '?')
                return false;
            ++p;
            const char *nameStart = p;
            while (p < end && *p != '>' && *p != '/' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r' &&
                   *p != '<')
                ++p;
            const QByteArrayView tag(nameStart, p - nameStart);
            skipSpace();
            QString text;
            if (startsWith("/>")) {
                p += 2;
            } else {
                if (p >= end || *p != '>')
                    return false;
                ++p;
                const char *textStart = p;
                while (p < end && *p != '<')
                    ++p;
                if (!decodeText(textStart, p, text))
                    return false;
                if (!closeTag(tag))
                    return false;
            }
            int field = -1;
            for (size_t i = 0; i < m_names.size(); ++i) {
                if (m_names[i] == tag) {
                    field = int(i);
                    break;
                }
            }
            if (field >= 0 && !parseValue(m_fields[size_t(field)], text, values[field]))
                return false;
        }
    }
    bool decodeText(const char *from, const char *to, QString &out)
    {
        // Most texts are plain ASCII without references: no copy, no decoder.
        bool plain = true;
        for (const char *q = from; q < to && plain; ++q) {
            const unsigned char c = static_cast<unsigned char>(*q);
            plain = c >= 0x20 && c < 0x80 && c != '&' && c != '>';
        }
        if (plain) {
            out = QString::fromLatin1(from, to - from);
            return true;
        }
        QByteArray bytes;
        const char *run = from;
        for (const char *q = from; q < to; ++q) {
            const unsigned char c = static_cast<unsigned char>(*q);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return false;
            if (c == '>' && q - from >= 2 && q[-1] == ']' && q[-2] == ']')
                return false;
            if (c == '\r') {
                // A line end in the file is a line feed, as the full reader reads it; a carriage
                // return written as "&#13;" stays one.
                bytes.append(run, q - run);
                bytes += '\n';
                if (q + 1 < to && q[1] == '\n')
                    ++q;
                run = q + 1;
                continue;
            }
            if (c != '&')
                continue;
            bytes.append(run, q - run);
            const char *semi = static_cast<const char *>(memchr(q, ';', size_t(to - q)));
            if (!semi)
                return false;
            const QByteArray entity(q + 1, semi - q - 1);
            if (entity == "amp")
                bytes += '&';
            else if (entity == "lt")
                bytes += '<';
            else if (entity == "gt")
                bytes += '>';
            else if (entity == "quot")
                bytes += '"';
            else if (entity == "apos")
                bytes += '\'';
            else if (entity.startsWith('#')) {
                bool ok = false;
                const uint code = entity.startsWith("#x") ? entity.mid(2).toUInt(&ok, 16) : entity.mid(1).toUInt(&ok);
                if (!ok || code == 0 || code > 0x10FFFF || (code < 0x20 && code != 9 && code != 10 && code != 13) ||
                    (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
                    return false;
                const char32_t ch = char32_t(code);
                bytes += QString::fromUcs4(&ch, 1).toUtf8();
            } else {
                return false;
            }
            q = semi;
            run = semi + 1;
        }
        bytes.append(run, to - run);
        QStringDecoder utf8(QStringDecoder::Utf8);
        out = utf8.decode(bytes);
        return !utf8.hasError();
    }

    const char *p;
    const char *end;
    const std::vector<FieldDef> &m_fields;
    const std::vector<QByteArray> &m_names;
    QByteArray m_document;
    QByteArray m_row;
};

} // namespace

bool XmlDataProvider::parse(const QByteArray &data, const Mapping &mapping, QList<RowValues> &rows,
                            QByteArray &encoding, QString &error) const
{
    encoding = detectEncoding(data);
    if (encoding.toUpper() == "UTF-8" || encoding.toUpper() == "UTF8") {
        std::vector<QByteArray> names;
        for (const QString &n : mapping.fieldElements)
            names.push_back(n.toUtf8());
        QuickReader quick(data, m_fields, names, mapping.documentElement.toUtf8(), mapping.rowElement.toUtf8());
        rows.clear();
        if (quick.read(rows))
            return true;
    }
    QXmlStreamReader xml;
    if (isUnicodeName(encoding)) {
        xml.addData(data);
    } else {
        QStringDecoder decoder(encoding.constData());
        if (!decoder.isValid()) {
            error = xmlParseErrorText(tr("The encoding %1 is not supported").arg(QString::fromLatin1(encoding)), 1, 1);
            return false;
        }
        const QString text = decoder.decode(data);
        xml.addData(text);
    }

    rows.clear();
    int depth = 0;
    RowValues row;
    bool inRow = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                if (xml.name() != mapping.documentElement) {
                    xml.raiseError(tr("The document element is %1, not %2")
                                       .arg(xml.name().toString(), mapping.documentElement));
                }
            } else if (depth == 2 && xml.name() == mapping.rowElement) {
                inRow = true;
                row = RowValues(qsizetype(m_fields.size()));
            } else if (depth == 3 && inRow) {
                const qsizetype line = xml.lineNumber();
                const qsizetype column = xml.columnNumber();
                const QStringView name = xml.name();
                int field = -1;
                for (size_t i = 0; i < mapping.fieldElements.size(); ++i) {
                    if (mapping.fieldElements[i] == name) {
                        field = int(i);
                        break;
                    }
                }
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
                if (xml.hasError())
                    break;
                if (field >= 0 && !parseValue(m_fields[size_t(field)], text, row[field])) {
                    error = xmlParseErrorText(
                        tr("'%1' is not a valid value of the field %2").arg(text, m_fields[size_t(field)].name), line,
                        column);
                    return false;
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && inRow) {
                rows.append(row);
                inRow = false;
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        error = xmlParseErrorText(xml.errorString(), xml.lineNumber(), xml.columnNumber());
        rows.clear();
        return false;
    }
    return true;
}

bool XmlDataProvider::parseFile(const QString &path, QList<RowValues> &rows, QString &error) const
{
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_readMapping) && !readMapping(m_readMapping, true, mapping, error))
        return false;
    QByteArray data;
    QString reason;
    if (!readRegularFile(path, MaxFileSize, data, reason)) {
        error = xmlParseErrorText(tr("Cannot open the file %1: %2").arg(path, reason), 0, 0);
        return false;
    }
    QByteArray encoding;
    return parse(data, mapping, rows, encoding, error);
}

bool XmlDataProvider::load(QList<RowValues> &rows, QString &error)
{
    if (m_fileName.isEmpty()) {
        error = tr("XMLDataFile must be specified");
        return false;
    }
    if (!QFileInfo::exists(m_fileName)) {
        // First start: an empty list; the file appears at the first save.
        rows.clear();
        m_cache.clear();
        m_encoding = "UTF-8";
        return true;
    }
    // A missing mapping file is the one this program writes; it is put back at the next write.
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_readMapping) && !readMapping(m_readMapping, true, mapping, error))
        return false;
    QByteArray data;
    QString reason;
    if (!readRegularFile(m_fileName, MaxFileSize, data, reason)) {
        error = xmlParseErrorText(tr("Cannot open the file %1: %2").arg(m_fileName, reason), 0, 0);
        return false;
    }
    QByteArray encoding;
    if (!parse(data, mapping, rows, encoding, error))
        return false;
    if (!isUnicodeName(encoding)) {
        // An encoding that cannot carry the markup of a data file is not kept: the next save writes
        // UTF-8. Every printable ASCII character tries it.
        QString ascii;
        for (char16_t c = 0x20; c < 0x7F; ++c)
            ascii += QChar(c);
        RowValues probe(qsizetype(m_fields.size()));
        for (size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].type == FieldType::String)
                probe[qsizetype(i)] = QString(ascii + QStringLiteral("\t\n"));
        }
        QByteArray written;
        serialize({probe}, builtinMapping(), encoding, &written);
        encoding = written;
    }
    m_encoding = encoding;
    m_cache = rows;
    return true;
}

bool XmlDataProvider::ensureMappingFile(const QString &path, bool forReading, QString &error) const
{
    if (path.isEmpty()) {
        error = tr("TransformationFile must be specified");
        return false;
    }
    if (QFileInfo::exists(path))
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(defaultMapping(forReading)) < 0 || !file.commit()) {
        error = tr("Cannot write the mapping file %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

namespace {

// Whether the data file's encoding holds a character; one that it does not is written as a
// character reference. Every character passes for UTF-8 and UTF-16.
class EncodingTest
{
public:
    explicit EncodingTest(const QByteArray &encoding) : m_encoding(encoding), m_unicode(isUnicodeName(encoding)) {}
    bool isUnicode() const { return m_unicode; }
    bool holds(QStringView ch)
    {
        if (m_unicode || (ch.size() == 1 && ch[0].unicode() < 0x80))
            return true;
        const char32_t code = ch.size() == 2 ? QChar::surrogateToUcs4(ch[0], ch[1]) : ch[0].unicode();
        const auto known = m_holds.constFind(code);
        if (known != m_holds.cend())
            return *known;
        QStringEncoder encoder(m_encoding.constData());
        const QByteArray bytes = encoder.encode(ch);
        QStringDecoder decoder(m_encoding.constData());
        const QString back = decoder.decode(bytes);
        const bool ok = !encoder.hasError() && !decoder.hasError() && back == ch;
        m_holds.insert(code, ok);
        return ok;
    }

private:
    QByteArray m_encoding;
    bool m_unicode;
    QHash<char32_t, bool> m_holds;
};

// Text content, escaped for XML. Characters XML cannot carry at all are dropped, by the rule the
// table follows when a text enters it (storableText), so the file holds what the table holds. A
// carriage return is written as a reference: a reader turns a raw one into a line feed.
void appendEscaped(QString &out, const QString &text, EncodingTest &encoding)
{
    // Most texts need nothing escaped, dropped or referenced: one pass to find out, no copy.
    const char16_t limit = encoding.isUnicode() ? 0xD800 : 0x80;
    const bool plain = std::all_of(text.cbegin(), text.cend(), [limit](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0x20 && u < limit && u != u'&' && u != u'<' && u != u'>' && u != u'"';
    });
    if (plain) {
        out += text;
        return;
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            continue;
        case '<':
            out += QLatin1String("&lt;");
            continue;
        case '>':
            out += QLatin1String("&gt;");
            continue;
        case '"':
            out += QLatin1String("&quot;");
            continue;
        case '\r':
            out += QLatin1String("&#13;");
            continue;
        default:
            break;
        }
        qsizetype len = 1;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
            len = 2;
        const QStringView ch = QStringView(text).mid(i, len);
        i += len - 1;
        if (len == 1 && !isStorableText(ch))
            continue;
        if (encoding.holds(ch)) {
            out += ch;
        } else {
            const char32_t code = len == 2 ? QChar::surrogateToUcs4(ch[0], ch[1]) : ch[0].unicode();
            out += QStringLiteral("&#%1;").arg(quint32(code));
        }
    }
}

QByteArray encodeUnicode(const QString &text, const QByteArray &encoding)
{
    if (encoding.toUpper().startsWith("UTF-16")) {
        QStringEncoder enc(QStringEncoder::Utf16, QStringEncoder::Flag::WriteBom);
        return enc.encode(text);
    }
    return text.toUtf8();
}

} // namespace

QString XmlDataProvider::documentText(const QList<RowValues> &rows, const Mapping &mapping,
                                      const QByteArray &encoding) const
{
    EncodingTest test(encoding);
    QString text;
    text.reserve(rows.size() * 640 + 256);
    text += QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(QString::fromLatin1(encoding));
    const QString rowOpen = QStringLiteral("  <") + mapping.rowElement + QStringLiteral(">\n");
    const QString rowClose = QStringLiteral("  </") + mapping.rowElement + QStringLiteral(">\n");
    std::vector<QString> open, close;
    for (const QString &e : mapping.fieldElements) {
        open.push_back(QStringLiteral("    <") + e + u'>');
        close.push_back(QStringLiteral("</") + e + QStringLiteral(">\n"));
    }
    text += u'<' + mapping.documentElement + QStringLiteral(">\n");
    for (const RowValues &row : rows) {
        text += rowOpen;
        for (size_t i = 0; i < m_fields.size(); ++i) {
            const QVariant &v = row.value(qsizetype(i));
            if (!v.isValid() || v.isNull())
                continue;
            text += open[i];
            appendEscaped(text, formatValue(m_fields[i], v), test);
            text += close[i];
        }
        text += rowClose;
    }
    text += QStringLiteral("</") + mapping.documentElement + QStringLiteral(">\n");
    return text;
}

QByteArray XmlDataProvider::serialize(const QList<RowValues> &rows, const Mapping &mapping, const QByteArray &encoding,
                                      QByteArray *written) const
{
    if (written)
        *written = encoding;
    if (isUnicodeName(encoding))
        return encodeUnicode(documentText(rows, mapping, encoding), encoding);

    // Never write what cannot be read back: the bytes must decode to exactly the document, and the
    // declaration must still name the encoding. Some encodings cannot carry the markup itself (one
    // that starts with a shift sequence, one that changes ASCII, names the encoding lacks); their
    // file is written in UTF-8 instead, which the next load then keeps.
    const QString text = documentText(rows, mapping, encoding);
    QStringEncoder encoder(encoding.constData());
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        QStringDecoder decoder(encoding.constData());
        const QString back = decoder.decode(bytes);
        if (!encoder.hasError() && !decoder.hasError() && back == text &&
            detectEncoding(bytes).compare(encoding, Qt::CaseInsensitive) == 0)
            return bytes;
    }
    if (written)
        *written = "UTF-8";
    return documentText(rows, mapping, "UTF-8").toUtf8();
}

bool XmlDataProvider::writeContents(QSaveFile &file, const QByteArray &data)
{
    return file.write(data) == data.size();
}

bool XmlDataProvider::applyChanges(const QList<PendingChange> &changes, QString &error)
{
    if (m_fileName.isEmpty()) {
        error = tr("XMLDataFile must be specified");
        return false;
    }
    QList<RowValues> copy = m_cache;
    for (const PendingChange &change : changes) {
        if (change.kind == PendingChange::Insert) {
            copy.append(change.newValues);
            continue;
        }
        const qsizetype at = copy.indexOf(change.oldValues);
        if (at < 0) {
            error = tr("Record not found or changed by another user");
            return false;
        }
        if (change.kind == PendingChange::Modify)
            copy[at] = change.newValues;
        else
            copy.removeAt(at);
    }

    if (!ensureMappingFile(m_writeMapping, false, error) || !ensureMappingFile(m_readMapping, true, error))
        return false;
    Mapping mapping;
    if (!readMapping(m_writeMapping, false, mapping, error))
        return false;

    QSaveFile file(m_fileName);
    const QByteArray data = serialize(copy, mapping, m_encoding);
    if (!file.open(QIODevice::WriteOnly) || !writeContents(file, data) || !file.commit()) {
        error = tr("Cannot save the data file %1: %2").arg(m_fileName, file.errorString());
        return false;
    }
    m_cache = std::move(copy);
    return true;
}
