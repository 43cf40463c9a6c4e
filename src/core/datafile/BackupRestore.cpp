// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupRestore.h"

#include "RegularFile.h"
#include "SaveFile.h"
#include "XmlDataProvider.h"

namespace BackupRestore {

Outcome backup(const QString &dataFile, const QString &target)
{
    QByteArray data;
    QString reason;
    if (!readRegularFile(dataFile, XmlDataProvider::MaxFileSize, data, reason))
        return {Outcome::Failed, QStringLiteral("%1: %2").arg(dataFile, reason)};
    SaveFile copy(target);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(data) != data.size() || !copy.commit())
        return {Outcome::Failed, copy.errorString()};
    return {};
}

Outcome restore(XmlDataProvider &provider, const QString &source, const std::function<bool(qsizetype)> &proceed)
{
    QString error;
    bool notDataFile = false;
    bool declined = false;
    const auto ask = [&](qsizetype accounts) {
        declined = !proceed(accounts);
        return !declined;
    };
    if (!provider.restoreFrom(source, error, &notDataFile, proceed ? std::function<bool(qsizetype)>(ask) : nullptr)) {
        if (declined)
            return {Outcome::Declined, QString()};
        return {notDataFile ? Outcome::NotDataFile : Outcome::Failed, error};
    }
    return {};
}

} // namespace BackupRestore
