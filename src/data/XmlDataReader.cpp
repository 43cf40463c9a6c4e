#include "XmlDataReader.h"

#include "XmlDataProvider.h" // xmlParseErrorText

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cmath>
#include <cstring>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("XmlDataReader", text);
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

namespace XmlDataReader {

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

namespace {

// A quick reader for data files in the layout this program writes (UTF-8, one element per row, one
// text element per field). Anything it does not expect, it leaves to the full XML reader, which
// also gives the exact error and its place; so it never accepts what the full reader would refuse.
class QuickReader
{
public:
    QuickReader(const QByteArray &data, const std::vector<FieldDef> &fields, const std::vector<QByteArray> &names,
                const QByteArray &document, const QByteArray &row)
        : p(data.constData()), end(data.constData() + data.size()), m_fields(fields), m_names(names),
          m_document(document), m_row(row)
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
        if (after < end &&
            (*after == '>' || *after == '/' || *after == ' ' || *after == '\n' || *after == '\r' || *after == '\t')) {
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

bool readQuick(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
               XmlDataRead &result)
{
    result = {};
    result.encoding = detectEncoding(data);
    const QByteArray upper = result.encoding.toUpper();
    if (upper != "UTF-8" && upper != "UTF8")
        return false;
    std::vector<QByteArray> names;
    for (const QString &n : layout.fieldElements)
        names.push_back(n.toUtf8());
    QuickReader quick(data, fields, names, layout.documentElement.toUtf8(), layout.rowElement.toUtf8());
    return quick.read(result.rows);
}

bool readFull(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
              XmlDataRead &result)
{
    result = {};
    const QByteArray &encoding = result.encoding = detectEncoding(data);
    QList<RowValues> &rows = result.rows;
    QString &error = result.error;
    const XmlDataLayout &mapping = layout;
    const std::vector<FieldDef> &m_fields = fields;
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
                    xml.raiseError(
                        tr("The document element is %1, not %2").arg(xml.name().toString(), mapping.documentElement));
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

bool read(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout, XmlDataRead &result)
{
    return readQuick(data, fields, layout, result) || readFull(data, fields, layout, result);
}

} // namespace XmlDataReader
