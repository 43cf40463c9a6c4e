// SPDX-License-Identifier: GPL-3.0-or-later
#include "XmlDataProvider.h"
#include "core/accounts/AccountSchema.h"

#include "SaveFile.h"
#include "SaveLeftovers.h"
#include "RegularFile.h"
#include "XmlDataReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <utility>

using XmlDataReader::detectEncoding;
using XmlDataReader::isUnicodeName;

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("XmlDataProvider", text);
}

const QString &kMappingElement = AccountSchema::MappingElement;
const QString &kDocumentElement = AccountSchema::DocumentElement;
const QString &kRowElement = AccountSchema::RowElement;

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

} // namespace

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
    m.vaultElement = AccountSchema::VaultElement;
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

Status XmlDataProvider::readMapping(const QString &path, Mapping &mapping) const
{
    if (path.isEmpty())
        return Status::failure(tr("TransformationFile must be specified"));
    QByteArray data;
    if (const Status read = readRegularFile(path, MaxFileSize, data); !read)
        return Status::failure(
            xmlParseErrorText(tr("Cannot open the mapping file %1: %2").arg(path, read.error), 0, 0));
    mapping = builtinMapping();
    QXmlStreamReader xml(data);
    bool seenRoot = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (!seenRoot) {
            seenRoot = true;
            if (xml.name() != kMappingElement ||
                xml.attributes().value(QStringLiteral("version")).toInt() != MappingVersion)
                return Status::failure(tr("Version of Transformation File not supported"));
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
    if (xml.hasError())
        return Status::failure(xmlParseErrorText(xml.errorString(), xml.lineNumber(), xml.columnNumber()));
    if (!seenRoot)
        return Status::failure(tr("Version of Transformation File not supported"));
    return {};
}

Status XmlDataProvider::parseFile(const QString &path, QList<RowValues> &rows) const
{
    QByteArray data;
    return readCheckedFile(path, data, rows);
}

Status XmlDataProvider::readFile(const QString &path, XmlDataRead &read) const
{
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_readMapping)) {
        if (Status readMap = readMapping(m_readMapping, mapping); !readMap)
            return readMap;
    }
    QByteArray data;
    if (const Status readData = readRegularFile(path, MaxFileSize, data); !readData)
        return Status::failure(xmlParseErrorText(tr("Cannot open the file %1: %2").arg(path, readData.error), 0, 0));
    if (!XmlDataReader::read(data, m_fields, mapping, read))
        return Status::failure(read.error);
    return {};
}

Status XmlDataProvider::writeFile(const QString &path, const QList<RowValues> &rows,
                                  const QMap<QString, QString> &vault, const QByteArray &encoding) const
{
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_writeMapping)) {
        if (Status read = readMapping(m_writeMapping, mapping); !read)
            return read;
    }
    SaveFile file(path);
    const QByteArray data = serialize(rows, mapping, encoding, nullptr, vault);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return Status::failure(tr("Cannot save the file %1: %2").arg(path, file.errorString()));
    SaveLeftovers::remove(path);
    return {};
}

Status XmlDataProvider::readCheckedFile(const QString &path, QByteArray &data, QList<RowValues> &rows) const
{
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_readMapping)) {
        if (Status read = readMapping(m_readMapping, mapping); !read)
            return read;
    }
    if (const Status read = readRegularFile(path, MaxFileSize, data); !read)
        return Status::failure(xmlParseErrorText(tr("Cannot open the file %1: %2").arg(path, read.error), 0, 0));
    XmlDataRead read;
    if (!XmlDataReader::read(data, m_fields, mapping, read))
        return Status::failure(read.error);
    rows = std::move(read.rows);
    return {};
}

BackupRestore::Outcome XmlDataProvider::restoreFrom(const QString &path, const std::function<bool(qsizetype)> &proceed)
{
    using BackupRestore::Outcome;
    if (m_fileName.isEmpty())
        return {Outcome::Failed, tr("XMLDataFile must be specified")};
    QByteArray data;
    QList<RowValues> rows;
    if (const Status checked = readCheckedFile(path, data, rows); !checked)
        return {Outcome::NotDataFile, checked.error};
    if (proceed && !proceed(rows.size()))
        return {Outcome::Declined, QString()};
    // Opened first: a data file that may not be replaced (no regular file, read-only) stops the
    // restore before anything else is done.
    SaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return {Outcome::Failed, file.errorString()};
    // Everything the data file holds now is about to go: it is kept, whether or not this run
    // has copied it before.
    DataFileBackups::Result kept;
    if (QFileInfo::exists(m_fileName))
        kept = backups().copyNow();
    if (!writeContents(file, data) || !file.commit())
        return {Outcome::Failed, file.errorString()};
    m_backups.written();
    if (!kept.ok())
        m_writeWarning = tr("The backup was restored, but no copy of the data file as it was before could be "
                            "kept: %1.")
                             .arg(kept.error);
    return {};
}

Status XmlDataProvider::load(QList<RowValues> &rows)
{
    m_loadNotes.clear();
    if (m_fileName.isEmpty())
        return Status::failure(tr("XMLDataFile must be specified"));
    if (!QFileInfo::exists(m_fileName)) {
        // First start: an empty list; the file appears at the first save.
        rows.clear();
        m_encoding = "UTF-8";
        m_vault.clear();
        return {};
    }
    // A missing mapping file is the one this program writes; it is put back at the next write.
    Mapping mapping = builtinMapping();
    if (QFileInfo::exists(m_readMapping)) {
        if (Status read = readMapping(m_readMapping, mapping); !read)
            return read;
    }
    QByteArray data;
    if (const Status read = readRegularFile(m_fileName, MaxFileSize, data); !read)
        return Status::failure(
            xmlParseErrorText(tr("Cannot open the file %1: %2").arg(m_fileName, read.error), 0, 0));
    XmlDataRead read;
    if (!XmlDataReader::read(data, m_fields, mapping, read))
        return Status::failure(read.error);
    rows = std::move(read.rows);
    m_vault = read.vault;
    QByteArray encoding = read.encoding;
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
        if (written != encoding) {
            read.notes << tr("The file's character encoding %1 is not kept; the next save writes %2.")
                              .arg(QString::fromLatin1(encoding), QString::fromLatin1(written));
            encoding = written;
        }
    }
    m_encoding = encoding;
    if (read.notes.size() > MaxLoadNotes) {
        const qsizetype more = read.notes.size() - MaxLoadNotes;
        read.notes.resize(MaxLoadNotes);
        read.notes << tr("And %1 more.").arg(more);
    }
    m_loadNotes = std::move(read.notes);
    return {};
}

Status XmlDataProvider::ensureMappingFile(const QString &path, bool forReading) const
{
    if (path.isEmpty())
        return Status::failure(tr("TransformationFile must be specified"));
    if (QFileInfo::exists(path))
        return {};
    SaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(defaultMapping(forReading)) < 0 || !file.commit())
        return Status::failure(tr("Cannot write the mapping file %1: %2").arg(path, file.errorString()));
    return {};
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

QString XmlDataProvider::documentText(const QList<RowValues> &rows, const Mapping &mapping, const QByteArray &encoding,
                                      const QMap<QString, QString> &vault) const
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
    if (!vault.isEmpty() && !mapping.vaultElement.isEmpty()) {
        text += QStringLiteral("  <") + mapping.vaultElement;
        for (auto a = vault.cbegin(); a != vault.cend(); ++a) {
            text += u' ' + a.key() + QStringLiteral("=\"");
            appendEscaped(text, a.value(), test);
            text += u'"';
        }
        text += QStringLiteral("/>\n");
    }
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
                                      QByteArray *written, const QMap<QString, QString> &vault) const
{
    if (written)
        *written = encoding;
    if (isUnicodeName(encoding))
        return encodeUnicode(documentText(rows, mapping, encoding, vault), encoding);

    // Never write what cannot be read back: the bytes must decode to exactly the document, and the
    // declaration must still name the encoding. Some encodings cannot carry the markup itself (one
    // that starts with a shift sequence, one that changes ASCII, names the encoding lacks); their
    // file is written in UTF-8 instead, which the next load then keeps.
    const QString text = documentText(rows, mapping, encoding, vault);
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
    return documentText(rows, mapping, "UTF-8", vault).toUtf8();
}

bool XmlDataProvider::writeContents(QFileDevice &file, const QByteArray &data)
{
    return file.write(data) == data.size();
}

Status XmlDataProvider::applyChanges(const QList<PendingChange> &changes, const QList<RowValues> &rows)
{
    Q_UNUSED(changes);
    if (m_fileName.isEmpty())
        return Status::failure(tr("XMLDataFile must be specified"));

    if (Status made = ensureMappingFile(m_writeMapping, false); !made)
        return made;
    if (Status made = ensureMappingFile(m_readMapping, true); !made)
        return made;
    Mapping mapping;
    if (Status read = readMapping(m_writeMapping, mapping); !read)
        return read;

    // The file as it was before this run first changes it; a copy that cannot be made is told, but
    // does not keep the user's change from being saved.
    const DataFileBackups::Result kept = backups().beforeWrite();

    SaveFile file(m_fileName);
    const QByteArray data = serialize(rows, mapping, m_encoding, nullptr, m_vault);
    // The save file is created user-only: the accounts are never readable by others, not even for a
    // moment.
    if (!file.open(QIODevice::WriteOnly) || !writeContents(file, data) || !file.commit())
        return Status::failure(tr("Cannot save the data file %1: %2").arg(m_fileName, file.errorString()));
    m_backups.written();
    if (!kept.ok())
        m_writeWarning = tr("The accounts were saved, but no copy of the data file as it was before could be "
                            "kept: %1.")
                             .arg(kept.error);
    // What earlier saves killed half-way left beside our files.
    for (const QString &path : {m_fileName, m_readMapping, m_writeMapping})
        SaveLeftovers::remove(path);
    return {};
}

DataFileBackups &XmlDataProvider::backups()
{
    m_backups.setDataFile(m_fileName);
    return m_backups;
}

QString XmlDataProvider::takeWriteWarning()
{
    return std::exchange(m_writeWarning, QString());
}
