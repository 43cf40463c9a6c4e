// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlDataReader.h"

#include "XmlDataProvider.h" // xmlParseErrorText

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cmath>
#include <cstring>
#include <limits>

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
        out = text.trimmed().toInt(&ok);
        break;
    case FieldType::SmallInt: {
        // A number the field cannot hold would silently become another one.
        const int v = text.trimmed().toInt(&ok);
        ok = ok && v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max();
        out = v;
        break;
    }
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

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
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
// The declaration is "<?xml" and a blank: "<?xml-stylesheet ...?>" or "<?xmlfoo ...?>" is a
// processing instruction, and an encoding="..." inside it says nothing about the file. Taken for
// the declaration, it made a UTF-8 file read as another encoding, or saved under a declaration that
// no reader accepts.
QByteArray detectEncoding(const QByteArray &data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return "UTF-16";
    static constexpr QByteArrayView Open("<?xml");
    if (!data.startsWith(Open) || data.size() == Open.size() || !isXmlSpace(data.at(Open.size())))
        return "UTF-8";
    const qsizetype end = data.indexOf("?>");
    const QByteArray decl = data.left(end < 0 ? 200 : end);
    static const QRegularExpression re(QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(decl));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("UTF-8");
}

namespace {

// What a load found that the next write will not keep: each sentence once, in the order found.
class Notes
{
public:
    void add(const QString &sentence)
    {
        if (!m_seen.contains(sentence)) {
            m_seen.insert(sentence);
            m_list.append(sentence);
        }
    }
    QStringList take() { return std::move(m_list); }

private:
    QSet<QString> m_seen;
    QStringList m_list;
};

// One account as either reader finds it. Both readers hand every field here, so they cannot differ
// in what they make of a value, nor in the notes they give for it.
class RowBuilder
{
public:
    RowBuilder(const std::vector<FieldDef> &fields, const XmlDataLayout &layout, Notes &notes)
        : m_fields(fields), m_layout(layout), m_notes(notes)
    {
    }

    // number: the account's place among the accounts read, from 1.
    void begin(qsizetype number)
    {
        m_number = number;
        m_values = RowValues(qsizetype(m_fields.size()));
        m_seen.assign(m_fields.size(), false);
    }
    qsizetype number() const { return m_number; }

    int fieldIndex(QStringView element) const
    {
        for (size_t i = 0; i < m_layout.fieldElements.size(); ++i) {
            if (m_layout.fieldElements[i] == element)
                return int(i);
        }
        return -1;
    }

    // A failure, with the reason, when the text is no value of the field.
    Status field(int index, const QString &text)
    {
        const FieldDef &f = m_fields[size_t(index)];
        if (m_seen[size_t(index)])
            m_notes.add(tr("Account %1 gives %2 more than once; only the last one is kept.").arg(m_number).arg(f.name));
        m_seen[size_t(index)] = true;
        if (!parseValue(f, text, m_values[index]))
            return Status::failure(tr("'%1' is not a valid value of the field %2").arg(text, f.name));
        if (const int size = f.sizeFor(text); f.type == FieldType::String && size > 0 && text.size() > size) {
            m_notes.add(tr("Account %1 has a %2 of %3 characters; only the first %4 are kept.")
                            .arg(m_number)
                            .arg(f.name)
                            .arg(text.size())
                            .arg(size));
        }
        return {};
    }

    void unknownElement(QStringView element)
    {
        m_notes.add(tr("Account %1 has an element <%2> that is not kept.").arg(m_number).arg(element));
    }

    RowValues take() { return std::move(m_values); }

private:
    const std::vector<FieldDef> &m_fields;
    const XmlDataLayout &m_layout;
    Notes &m_notes;
    qsizetype m_number = 0;
    RowValues m_values;
    std::vector<bool> m_seen;
};

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A character reference's number: decimal, or hexadecimal after a lower-case x, digits only.
bool referencedCode(QByteArrayView digits, char32_t &code)
{
    int base = 10;
    if (digits.startsWith('x')) {
        base = 16;
        digits = digits.sliced(1);
    }
    if (digits.isEmpty())
        return false;
    quint32 value = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        value = value * quint32(base) + quint32(d);
        if (value > 0x10FFFF)
            return false;
    }
    code = value;
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
}

// A quick reader for data files in the layout this program writes: UTF-8, a plain declaration, one
// element per account, one text element per field, nothing else between them. Anything else, and
// anything that is not exactly right, it leaves to the full reader, which also gives the exact
// error and its place: it never accepts what the full reader refuses.
class QuickReader
{
public:
    QuickReader(const QByteArray &data, RowBuilder &builder, const std::vector<QByteArray> &names,
                const QByteArray &document, const QByteArray &row)
        : p(data.constData()), end(data.constData() + data.size()), m_builder(builder), m_names(names),
          m_document(document), m_row(row)
    {
    }

    bool read(QList<RowValues> &rows)
    {
        if (end - p >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        if (startsWith("<?xml") && !declaration())
            return false;
        skipSpace();
        if (!openTag(m_document))
            return false;
        for (;;) {
            skipSpace();
            if (closeTag(m_document))
                break;
            if (!m_vaultTag.isEmpty() && name(m_vaultOpen)) {
                if (m_hasVault || !readVault())
                    return false;
                continue;
            }
            m_builder.begin(rows.size() + 1);
            if (!readRow())
                return false;
            rows.append(m_builder.take());
        }
        skipSpace();
        return p == end;
    }

    bool hasVault() const { return m_hasVault; }
    const QMap<QString, QString> &vault() const { return m_vault; }
    void setVaultElement(const QByteArray &tag)
    {
        m_vaultTag = tag;
        m_vaultOpen = "<" + tag;
    }

private:
    // The rest of an empty vault element whose name was just read: plain ASCII attributes, each
    // once, with no references; anything else is for the full reader.
    bool readVault()
    {
        for (;;) {
            const char *before = p;
            skipSpace();
            if (startsWith("/>")) {
                p += 2;
                m_hasVault = true;
                return true;
            }
            if (p == before || p >= end || !isNameStart(*p))
                return false;
            const char *nameStart = p;
            while (p < end && isNameChar(*p))
                ++p;
            const QString attribute = QString::fromLatin1(nameStart, p - nameStart);
            QByteArrayView value;
            p = nameStart;
            if (!pseudoAttribute(attribute.toLatin1().constData(), value) || m_vault.contains(attribute))
                return false;
            for (const char c : value)
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80 || c == '>')
                    return false;
            m_vault.insert(attribute, QString::fromLatin1(value));
        }
    }
    bool startsWith(const char *s) const
    {
        const size_t n = strlen(s);
        return size_t(end - p) >= n && memcmp(p, s, n) == 0;
    }
    void skipSpace()
    {
        while (p < end && isXmlSpace(*p))
            ++p;
    }
    // name="value" or name='value' with white space allowed around the "=".
    bool pseudoAttribute(const char *name, QByteArrayView &value)
    {
        if (!startsWith(name))
            return false;
        p += strlen(name);
        skipSpace();
        if (p >= end || *p != '=')
            return false;
        ++p;
        skipSpace();
        if (p >= end || (*p != '"' && *p != '\''))
            return false;
        const char quote = *p++;
        const char *start = p;
        while (p < end && *p != quote && *p != '<' && *p != '&')
            ++p;
        if (p >= end || *p != quote)
            return false;
        value = QByteArrayView(start, p - start);
        ++p;
        return true;
    }
    // <?xml version="1.0"?>, with encoding="UTF-8" or none; anything else is for the full reader.
    bool declaration()
    {
        p += 5;
        if (p >= end || !isXmlSpace(*p))
            return false;
        skipSpace();
        QByteArrayView value;
        if (!pseudoAttribute("version", value) || value != "1.0")
            return false;
        const char *before = p;
        skipSpace();
        if (p > before && startsWith("encoding")) {
            if (!pseudoAttribute("encoding", value) || value.toByteArray().toUpper() != "UTF-8")
                return false;
            skipSpace();
        }
        if (!startsWith("?>"))
            return false;
        p += 2;
        return true;
    }
    bool name(QByteArrayView expected)
    {
        if (size_t(end - p) < size_t(expected.size()) || memcmp(p, expected.data(), size_t(expected.size())) != 0)
            return false;
        const char *after = p + expected.size();
        if (after < end && (*after == '>' || *after == '/' || isXmlSpace(*after))) {
            p = after;
            return true;
        }
        return false;
    }
    // "<name>" with nothing but white space inside.
    bool openTag(QByteArrayView tag)
    {
        if (p >= end || *p != '<')
            return false;
        ++p;
        if (!name(tag))
            return false;
        skipSpace();
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
    bool readRow()
    {
        if (!openTag(m_row))
            return false;
        for (;;) {
            skipSpace();
            if (closeTag(m_row))
                return true;
            if (p >= end || *p != '<')
                return false;
            ++p;
            // Names of ASCII letters, digits, "_", "-" and "."; others (prefixes, letters beyond
            // ASCII) are left to the full reader.
            const char *nameStart = p;
            if (p >= end || !isNameStart(*p))
                return false;
            while (p < end && isNameChar(*p))
                ++p;
            if (p >= end || (*p != '>' && *p != '/' && !isXmlSpace(*p)))
                return false;
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
                const void *lt = memchr(p, '<', size_t(end - p));
                p = lt ? static_cast<const char *>(lt) : end;
                if (!decodeText(textStart, p, text) || !closeTag(tag))
                    return false;
            }
            int field = -1;
            for (size_t i = 0; i < m_names.size(); ++i) {
                if (m_names[i] == tag) {
                    field = int(i);
                    break;
                }
            }
            if (field < 0)
                m_builder.unknownElement(QString::fromLatin1(tag));
            else if (!m_builder.field(field, text))
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
            const QByteArrayView entity(q + 1, semi - q - 1);
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
            else if (char32_t code; entity.startsWith('#') && referencedCode(entity.sliced(1), code))
                bytes += QString::fromUcs4(&code, 1).toUtf8();
            else
                return false;
            q = semi;
            run = semi + 1;
        }
        bytes.append(run, to - run);
        // A U+FEFF at the start of a text is a character of the text, not a byte-order mark.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        out = utf8.decode(bytes);
        if (utf8.hasError())
            return false;
        // U+FFFE and U+FFFF are no XML characters (as references they were refused above).
        return !out.contains(QChar(0xFFFE)) && !out.contains(QChar(0xFFFF));
    }

    const char *p;
    const char *end;
    RowBuilder &m_builder;
    const std::vector<QByteArray> &m_names;
    QByteArray m_document;
    QByteArray m_row;
    QByteArray m_vaultTag;
    QByteArray m_vaultOpen;
    bool m_hasVault = false;
    QMap<QString, QString> m_vault;
};

// Where the first byte lies that is no text in the encoding: the shortest start of the data whose
// decoding fails ends just past it.
qsizetype firstUndecodable(const QByteArray &data, const QByteArray &encoding)
{
    qsizetype good = 0, bad = data.size();
    while (bad - good > 1) {
        const qsizetype mid = good + (bad - good) / 2;
        QStringDecoder decoder(encoding.constData());
        decoder.decode(QByteArrayView(data).first(mid));
        (decoder.hasError() ? bad : good) = mid;
    }
    return good;
}

void tooDeep(QXmlStreamReader &xml)
{
    xml.raiseError(tr("The elements are nested more than %1 deep.").arg(XmlDataReader::MaxDepth));
}

void noteAttributes(const QXmlStreamReader &xml, Notes &notes)
{
    if (!xml.attributes().isEmpty() || !xml.namespaceDeclarations().isEmpty())
        notes.add(tr("The element <%1> has attributes that are not kept.").arg(xml.qualifiedName()));
}

void noteOther(QXmlStreamReader::TokenType token, Notes &notes)
{
    if (token == QXmlStreamReader::Comment)
        notes.add(tr("The file has comments, which are not kept."));
    else if (token == QXmlStreamReader::ProcessingInstruction)
        notes.add(tr("The file has processing instructions, which are not kept."));
    else if (token == QXmlStreamReader::DTD)
        notes.add(tr("The file has a document type declaration, which is not kept."));
}

// The text of a field element whose start the reader has just read, up to and with its end. Text
// inside elements within it counts; markup tells that there were such elements. Reads in a loop,
// not by recursion, and refuses nesting beyond the limit.
bool readFieldText(QXmlStreamReader &xml, int depth, Notes &notes, QString &text, bool &markup)
{
    int inner = 0;
    for (;;) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        switch (token) {
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            break;
        case QXmlStreamReader::StartElement:
            markup = true;
            if (depth + ++inner > XmlDataReader::MaxDepth) {
                tooDeep(xml);
                return false;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (inner == 0)
                return true;
            --inner;
            break;
        case QXmlStreamReader::Invalid:
            return false;
        default:
            noteOther(token, notes);
            break;
        }
    }
}

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
    Notes notes;
    RowBuilder builder(fields, layout, notes);
    QuickReader quick(data, builder, names, layout.documentElement.toUtf8(), layout.rowElement.toUtf8());
    quick.setVaultElement(layout.vaultElement.toUtf8());
    if (!quick.read(result.rows)) {
        result.rows.clear();
        return false;
    }
    result.hasVault = quick.hasVault();
    result.vault = quick.vault();
    result.notes = notes.take();
    return true;
}

// Gives the reader the document's text: as it is when it is Unicode, else decoded, refusing bytes the
// encoding does not have (the decoder would put a substitute in their place, and the next save would
// keep that).
bool feedDecoded(const QByteArray &data, const QByteArray &encoding, QXmlStreamReader &xml, QString &error)
{
    if (isUnicodeName(encoding)) {
        xml.addData(data);
        return true;
    }
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid()) {
        error = xmlParseErrorText(tr("The encoding %1 is not supported").arg(QString::fromLatin1(encoding)), 1, 1);
        return false;
    }
    const QString text = decoder.decode(data);
    if (decoder.hasError()) {
        const qsizetype at = firstUndecodable(data, encoding);
        const QByteArrayView before = QByteArrayView(data).first(at);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        error = xmlParseErrorText(tr("The file holds bytes that are not %1 text").arg(QString::fromLatin1(encoding)),
                                  before.count('\n') + 1, at - lineStart + 1);
        return false;
    }
    xml.addData(text);
    return true;
}

// One field element of an account, read to its end. False when the reading stops there: with error
// set when the field's value is refused (the file is then not read), else because the document is
// damaged (the reader has the error) or the element is no field (noted).
bool readRowField(QXmlStreamReader &xml, int &depth, const std::vector<FieldDef> &fields, RowBuilder &row,
                  Notes &notes, QString &error)
{
    const qint64 line = xml.lineNumber();
    const qint64 column = xml.columnNumber();
    const QString element = xml.qualifiedName().toString();
    const int field = row.fieldIndex(element);
    if (field >= 0)
        noteAttributes(xml, notes);
    QString text;
    bool markup = false;
    if (!readFieldText(xml, depth, notes, text, markup))
        return false;
    --depth;
    if (field < 0) {
        row.unknownElement(element);
        return false;
    }
    if (markup) {
        notes.add(tr("Account %1 has elements inside %2 that are not kept, only their text.")
                      .arg(row.number())
                      .arg(fields[size_t(field)].name));
    }
    if (const Status value = row.field(field, text); !value) {
        error = xmlParseErrorText(value.error, line, column);
        return false;
    }
    return true;
}

// An element beside the accounts, and the accounts inside it, are not kept.
void noteOtherElement(Notes &notes, const QString &other, int accountsInOther)
{
    if (accountsInOther == 0)
        notes.add(tr("The file has an element <%1> that is not kept.").arg(other));
    else if (accountsInOther == 1)
        notes.add(tr("The element <%1> and the account inside it are not kept.").arg(other));
    else
        notes.add(tr("The element <%1> and the %2 accounts inside it are not kept.").arg(other).arg(accountsInOther));
}

bool readFull(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
              XmlDataRead &result)
{
    result = {};
    result.encoding = detectEncoding(data);
    const QByteArray &encoding = result.encoding;
    QXmlStreamReader xml;
    if (!feedDecoded(data, encoding, xml, result.error))
        return false;

    Notes notes;
    RowBuilder row(fields, layout, notes);
    QList<RowValues> &rows = result.rows;
    int depth = 0;
    bool inRow = false;
    bool inVault = false;
    QString other; // an element beside the accounts, and how many accounts it holds
    int accountsInOther = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        switch (token) {
        case QXmlStreamReader::StartElement: {
            if (++depth > XmlDataReader::MaxDepth) {
                tooDeep(xml);
                break;
            }
            const QStringView name = xml.qualifiedName();
            if (depth == 1) {
                if (name != layout.documentElement) {
                    xml.raiseError(
                        tr("The document element is %1, not %2").arg(name.toString(), layout.documentElement));
                    break;
                }
                noteAttributes(xml, notes);
            } else if (depth == 2) {
                if (name == layout.rowElement) {
                    inRow = true;
                    row.begin(rows.size() + 1);
                    noteAttributes(xml, notes);
                } else if (!layout.vaultElement.isEmpty() && name == layout.vaultElement && !result.hasVault) {
                    inVault = true;
                    result.hasVault = true;
                    for (const QXmlStreamAttribute &a : xml.attributes())
                        result.vault.insert(a.qualifiedName().toString(), a.value().toString());
                } else {
                    other = name.toString();
                    accountsInOther = 0;
                }
            } else if (inRow && depth == 3) {
                if (!readRowField(xml, depth, fields, row, notes, result.error)) {
                    if (!result.error.isEmpty()) {
                        rows.clear();
                        return false;
                    }
                    break;
                }
            } else if (!inRow && depth > 2 && name == layout.rowElement) {
                ++accountsInOther;
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (depth == 2) {
                if (inRow) {
                    rows.append(row.take());
                    inRow = false;
                } else if (inVault) {
                    inVault = false;
                } else {
                    noteOtherElement(notes, other, accountsInOther);
                }
            }
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (token == QXmlStreamReader::EntityReference || !xml.isWhitespace()) {
                if (depth == 1)
                    notes.add(tr("The file has text outside the accounts that is not kept."));
                else if (depth == 2 && inRow)
                    notes.add(tr("Account %1 has text outside its fields that is not kept.").arg(row.number()));
            }
            break;
        default:
            noteOther(token, notes);
            break;
        }
    }
    if (xml.hasError()) {
        result.error = xmlParseErrorText(xml.errorString(), xml.lineNumber(), xml.columnNumber());
        rows.clear();
        return false;
    }
    result.notes = notes.take();
    return true;
}

bool read(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout, XmlDataRead &result)
{
    return readQuick(data, fields, layout, result) || readFull(data, fields, layout, result);
}

} // namespace XmlDataReader
