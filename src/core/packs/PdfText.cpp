// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfText.h"

#include "TextSink.h"

#include <QCoreApplication>
#include <QRectF>

#include <poppler-qt6.h>

#include <memory>
#include <mutex>

namespace PdfText {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DocumentText", text);
}

// The library writes what it dislikes in a file to the standard error; a damaged PDF is reported as
// a value instead.
void quiet(const QString & /*message*/, const QVariant & /*closure*/) {}

} // namespace

DocumentTextResult extract(const QString &path, const QByteArray &bytes, const QString &name,
                           const DocumentTextOptions &options)
{
    static std::once_flag silenced;
    std::call_once(silenced, [] { Poppler::setDebugErrorFunction(quiet, QVariant()); });

    DocumentTextResult result;
    result.kind = DocumentKind::Pdf;
    const std::unique_ptr<Poppler::Document> document =
        path.isEmpty() ? Poppler::Document::loadFromData(bytes) : Poppler::Document::load(path);
    if (!document) {
        result.status = DocumentStatus::Damaged;
        result.error = tr("%1 is a damaged PDF file").arg(name);
        return result;
    }
    if (document->isLocked()) {
        result.status = DocumentStatus::Locked;
        result.error = tr("%1 is protected by a password").arg(name);
        return result;
    }
    TextSink sink(options.maxChars);
    const int pages = document->numPages();
    for (int i = 0; i < pages && !sink.isFull(); ++i) {
        if (options.stop && options.stop->load(std::memory_order_relaxed)) {
            result.status = DocumentStatus::Cancelled;
            result.error = tr("Reading %1 was cancelled").arg(name);
            break;
        }
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        if (!page)
            continue;
        sink.append(page->text(QRectF()));
        sink.lineBreak();
    }
    result.truncated = sink.truncated();
    result.text = sink.take();
    return result;
}

} // namespace PdfText
