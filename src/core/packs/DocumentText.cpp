// SPDX-License-Identifier: GPL-3.0-or-later
#include "DocumentText.h"

#include "HtmlText.h"
#include "OfficeText.h"
#include "PdfText.h"
#include "TextSink.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DocumentText", text);
}

constexpr qsizetype kHeadBytes = 4096;

DocumentKind kindByName(QStringView name)
{
    struct Ending
    {
        QStringView ending;
        DocumentKind kind;
    };
    static const Ending endings[] = {
        {u".pdf", DocumentKind::Pdf},    {u".docx", DocumentKind::Docx},  {u".odt", DocumentKind::Odt},
        {u".epub", DocumentKind::Epub},  {u".html", DocumentKind::Html},  {u".htm", DocumentKind::Html},
        {u".xhtml", DocumentKind::Html},
    };
    for (const Ending &ending : endings) {
        if (name.size() > ending.ending.size() && name.endsWith(ending.ending, Qt::CaseInsensitive))
            return ending.kind;
    }
    return DocumentKind::None;
}

// A ZIP document tells its kind in its first entry: ODT and EPUB store "mimetype" first and
// uncompressed, DOCX starts with its list of content types.
DocumentKind zipKind(const QByteArray &head)
{
    if (head.size() < 30)
        return DocumentKind::None;
    const int nameLength = static_cast<unsigned char>(head[26]) | (static_cast<unsigned char>(head[27]) << 8);
    const int extraLength = static_cast<unsigned char>(head[28]) | (static_cast<unsigned char>(head[29]) << 8);
    const QByteArray firstName = head.mid(30, nameLength);
    if (firstName == "[Content_Types].xml")
        return DocumentKind::Docx;
    if (firstName != "mimetype")
        return DocumentKind::None;
    const QByteArray type = head.mid(30 + nameLength + extraLength, 64);
    if (type.startsWith("application/epub+zip"))
        return DocumentKind::Epub;
    if (type.startsWith("application/vnd.oasis.opendocument.text"))
        return DocumentKind::Odt;
    return DocumentKind::None;
}

DocumentTextResult failed(DocumentStatus status, DocumentKind kind, const QString &error)
{
    DocumentTextResult result;
    result.status = status;
    result.kind = kind;
    result.error = error;
    return result;
}

DocumentTextResult htmlText(const QByteArray &bytes, bool cut, const QString &name, const DocumentTextOptions &options)
{
    TextSink sink(options.maxChars);
    DocumentTextResult result;
    result.kind = DocumentKind::Html;
    if (!HtmlText::extract(HtmlText::decode(bytes), sink, options.stop, HtmlText::Head::Read, HtmlText::Spacing::Kept)) {
        result.status = DocumentStatus::Cancelled;
        result.error = tr("Reading %1 was cancelled").arg(name);
    }
    result.truncated = sink.truncated() || cut;
    result.text = sink.take();
    return result;
}

// An HTML file is read whole, up to what its text could fill (four bytes a character at most).
qsizetype htmlBytesLimit(const DocumentTextOptions &options)
{
    return qMin<qsizetype>(options.maxChars, qsizetype(256) * 1024 * 1024 / 4) * 4;
}

} // namespace

bool DocumentText::isDocumentName(QStringView name)
{
    return kindByName(name) != DocumentKind::None;
}

DocumentKind DocumentText::kindOf(QStringView name, QByteArrayView head)
{
    const QByteArray start = head.first(qMin<qsizetype>(head.size(), 1024)).toByteArray();
    if (start.contains("%PDF-"))
        return DocumentKind::Pdf;
    const DocumentKind byName = kindByName(name);
    if (start.startsWith("PK\x03\x04")) {
        if (byName == DocumentKind::Docx || byName == DocumentKind::Odt || byName == DocumentKind::Epub)
            return byName;
        return zipKind(head.toByteArray());
    }
    if (byName == DocumentKind::Html)
        return byName;
    if (byName != DocumentKind::None)
        return DocumentKind::None; // the name promises a kind the bytes are not
    const QByteArray lower = start.toLower();
    if (lower.contains("<!doctype html") || lower.contains("<html"))
        return DocumentKind::Html;
    return DocumentKind::None;
}

DocumentTextResult DocumentText::fromFile(const QString &path, const DocumentTextOptions &options)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(DocumentStatus::CannotOpen, kindByName(name),
                      tr("Cannot open %1: %2").arg(path, file.errorString()));
    const QByteArray head = file.read(kHeadBytes);
    const DocumentKind kind = kindOf(name, head);
    switch (kind) {
    case DocumentKind::None:
        return failed(DocumentStatus::NotADocument, kind, tr("%1 is no document whose text can be read").arg(name));
    case DocumentKind::Pdf:
        return PdfText::extract(path, QByteArray(), name, options);
    case DocumentKind::Html: {
        const qsizetype most = htmlBytesLimit(options);
        const QByteArray bytes = head + file.read(most - head.size());
        return htmlText(bytes, !file.atEnd(), name, options);
    }
    default:
        return OfficeText::extract(kind, [&path](PackReader &reader) { return reader.open(path); }, name, options);
    }
}

DocumentTextResult DocumentText::fromBytes(const QByteArray &bytes, const QString &name,
                                           const DocumentTextOptions &options)
{
    const QString shortName = name.section(u'/', -1);
    const DocumentKind kind = kindOf(shortName, QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), kHeadBytes)));
    switch (kind) {
    case DocumentKind::None:
        return failed(DocumentStatus::NotADocument, kind, tr("%1 is no document whose text can be read").arg(name));
    case DocumentKind::Pdf:
        return PdfText::extract(QString(), bytes, name, options);
    case DocumentKind::Html: {
        const qsizetype most = htmlBytesLimit(options);
        return htmlText(bytes.left(most), bytes.size() > most, name, options);
    }
    default:
        return OfficeText::extract(
            kind, [&bytes, &name](PackReader &reader) { return reader.openBytes(bytes, name); }, name, options);
    }
}
