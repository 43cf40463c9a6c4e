// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DocumentText.h"

#include <functional>

// The text of the documents that are ZIP packs of XML: DOCX (word/document.xml), ODT (content.xml)
// and EPUB (the XHTML files its package lists, in its reading order).
namespace OfficeText {

// open opens a fresh reader on the document; EPUB reads it twice (its list, then its chapters).
DocumentTextResult extract(DocumentKind kind, const std::function<bool(PackReader &)> &open, const QString &name,
                           const DocumentTextOptions &options);

} // namespace OfficeText
