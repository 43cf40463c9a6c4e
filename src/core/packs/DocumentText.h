// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <atomic>

// The plain text of documents: PDF, DOCX, ODT, EPUB and HTML, from a file or from bytes (an entry of
// a pack). Paragraphs end in line breaks; markup, scripts and styles are gone. Which libraries do the
// work is this file's business only. Nothing here throws or shows anything: every outcome is a
// DocumentStatus, with a text naming the document.

enum class DocumentKind { None, Pdf, Docx, Odt, Epub, Html };

enum class DocumentStatus {
    Ok,           // the text is all there (or its first maxChars, when truncated)
    CannotOpen,   // the file could not be read
    NotADocument, // the bytes are none of the kinds read here
    Damaged,      // corrupt: text holds what could be read before the damage
    Locked,       // protected by a password
    Cancelled,    // the stop flag was raised; text holds what was read until then
};

struct DocumentTextOptions
{
    // Looked at between pages of a PDF, chunks of a pack's entry and stretches of HTML.
    const std::atomic<bool> *stop = nullptr;
    // The text is cut here and marked truncated: 32 Mi characters, 64 MiB as UTF-16.
    qsizetype maxChars = qsizetype(32) * 1024 * 1024;
    // For the packs that DOCX, ODT and EPUB files are.
    PackLimits packLimits;
};

struct DocumentTextResult
{
    QString text;
    DocumentStatus status = DocumentStatus::Ok;
    DocumentKind kind = DocumentKind::None;
    bool truncated = false; // the text stopped at maxChars
    QString error;          // names the document; empty when all went well

    bool ok() const { return status == DocumentStatus::Ok; }
};

class DocumentText
{
public:
    // A quick test by name only: .pdf, .docx, .odt, .epub, .html, .htm, .xhtml, in any case.
    static bool isDocumentName(QStringView name);
    // The kind from the first bytes where they tell (a PDF's "%PDF-", a ZIP's first entry, an HTML
    // start), otherwise from the name. None when neither does.
    static DocumentKind kindOf(QStringView name, QByteArrayView head);

    static DocumentTextResult fromFile(const QString &path, const DocumentTextOptions &options = {});
    // name is what error texts call the document and what its kind is told from with the bytes.
    static DocumentTextResult fromBytes(const QByteArray &bytes, const QString &name,
                                        const DocumentTextOptions &options = {});
};
