// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DocumentText.h"

// The text of a PDF, page by page, the stop flag looked at between pages. The one place that knows
// which library reads PDF files.
namespace PdfText {

// From a file (path) or from bytes (when path is empty); name is what texts call the document.
DocumentTextResult extract(const QString &path, const QByteArray &bytes, const QString &name,
                           const DocumentTextOptions &options);

} // namespace PdfText
