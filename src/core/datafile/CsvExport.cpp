// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvExport.h"

#include "SaveFile.h"

namespace CsvExport {

QChar separatorFor(QChar decimalPoint)
{
    return decimalPoint == u',' ? QChar(u';') : QChar(u',');
}

QByteArray document(const QList<QStringList> &rows, QChar separator)
{
    QString text;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += separator;
            text += u'"';
            text += QString(row[i]).replace(u'"', QStringLiteral("\"\""));
            text += u'"';
        }
        text += QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

Status write(const QString &path, const QList<QStringList> &rows, QChar separator)
{
    const QByteArray bytes = document(rows, separator);
    SaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return Status::failure(error);
    }
    return {};
}

} // namespace CsvExport
