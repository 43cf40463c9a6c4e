// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Tables as spreadsheets read them: UTF-8 with a byte-order mark (so that accents survive the
// opening), every field in double quotes with its quotes doubled, lines ended by CR LF. A field may
// hold the separator, quotes and line breaks.
namespace CsvExport {

// The separator a spreadsheet of the user's locale expects: a semicolon where the decimal point is
// a comma, a comma elsewhere.
QChar separatorFor(QChar decimalPoint);

// The document of the rows, the first of which is usually the titles.
QByteArray document(const QList<QStringList> &rows, QChar separator);

// Writes the document to a file, replacing it whole or not at all. On failure the error is the
// system's reason, without the path.
Status write(const QString &path, const QList<QStringList> &rows, QChar separator);

} // namespace CsvExport
