// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupRestore.h"

#include "RegularFile.h"
#include "SaveFile.h"
#include "XmlDataProvider.h"

namespace BackupRestore {

Outcome backup(const QString &dataFile, const QString &target)
{
    QByteArray data;
    if (const Status read = readRegularFile(dataFile, XmlDataProvider::MaxFileSize, data); !read)
        return {Outcome::Failed, QStringLiteral("%1: %2").arg(dataFile, read.error)};
    SaveFile copy(target);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(data) != data.size() || !copy.commit())
        return {Outcome::Failed, copy.errorString()};
    return {};
}

Outcome restore(XmlDataProvider &provider, const QString &source, const std::function<bool(qsizetype)> &proceed)
{
    return provider.restoreFrom(source, proceed);
}

} // namespace BackupRestore
