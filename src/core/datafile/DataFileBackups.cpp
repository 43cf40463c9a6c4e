// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFileBackups.h"

#include "core/platform/PrivateFiles.h"
#include "RegularFile.h"
#include "SaveFile.h"
#include "SaveLeftovers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DataFileBackups", text);
}

const QByteArray RecordHeader("vantory-copies 1");
// The record lists at most a few hundred names; anything far larger is not ours.
constexpr qint64 MaxRecordSize = 1024 * 1024;

QString suffixOf(const QFileInfo &dataFile)
{
    return dataFile.suffix().isEmpty() ? QString() : u'.' + dataFile.suffix();
}

// A copy's name: the data file's base name, the local date and time, a counter from 2 on when the
// name is taken, the data file's suffix. Captures the date, the time and the counter.
QRegularExpression copyNamePattern(const QFileInfo &dataFile)
{
    return QRegularExpression(u'^' + QRegularExpression::escape(dataFile.completeBaseName()) +
                              QStringLiteral("-(\\d{4}-\\d{2}-\\d{2})-(\\d{6})(?:-([2-9]|[1-9]\\d+))?") +
                              QRegularExpression::escape(suffixOf(dataFile)) + u'$');
}

qint64 modifiedMs(const QFileInfo &info)
{
    return info.lastModified().toMSecsSinceEpoch();
}

} // namespace

QString DataFileBackups::folderName()
{
    return QStringLiteral("Backups");
}

QString DataFileBackups::recordName()
{
    return QStringLiteral(".vantory-copies");
}

void DataFileBackups::setDataFile(const QString &path)
{
    if (path == m_dataFile)
        return;
    m_dataFile = path;
    m_copy.clear();
    m_copiedDigest.clear();
    m_written = false;
}

QString DataFileBackups::folder() const
{
    return QFileInfo(m_dataFile).absoluteDir().filePath(folderName());
}

DataFileBackups::Result DataFileBackups::beforeWrite()
{
    if (!m_copy.isEmpty() || m_written || !QFileInfo::exists(m_dataFile))
        return {};
    return copyNow();
}

DataFileBackups::Result DataFileBackups::copyNow()
{
    // The same bounded reader as the load: a pipe or a device named as the data file must neither hang
    // the program nor fill its memory, and a file rewritten while it is copied is not kept half-and-half.
    QByteArray data;
    if (const Status read = readRegularFile(m_dataFile, MaxFileSize, data); !read)
        return {QString(), tr("Cannot read %1: %2").arg(m_dataFile, read.error)};
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    if (!m_copy.isEmpty() && digest == m_copiedDigest && QFileInfo::exists(m_copy))
        return {m_copy, QString()};

    const QString dir = folder();
    if (!PrivateFiles::makeFolder(dir))
        return {QString(), tr("Cannot create the folder %1").arg(dir)};
    const QFileInfo info(m_dataFile);
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    std::vector<Recorded> record = readRecord();
    const QString name =
        freeName(info.completeBaseName() + u'-' + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")), suffixOf(info),
                 record);
    const QString path = QDir(dir).filePath(name);

    SaveFile copy(path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(data) != data.size() || !copy.commit())
        return {QString(), tr("Cannot write %1: %2").arg(path, copy.errorString())};
    m_copy = path;
    m_copiedDigest = digest;
    const QFileInfo made(path);
    qint64 serial = 0;
    for (const Recorded &entry : record)
        serial = std::max(serial, entry.serial);
    record.push_back({serial + 1, name, made.size(), modifiedMs(made)});
    prune(record);
    // A record that cannot be written leaves the copy unrecorded: it is then kept for ever, never
    // taken for someone else's file.
    writeRecord(record);
    return {m_copy, QString()};
}

QString DataFileBackups::freeName(const QString &stem, const QString &suffix,
                                  const std::vector<Recorded> &record) const
{
    // Never a name used before for that second, even when that copy is gone since: a copy's name
    // then always means one copy. The counter goes past every one in the folder and in the record.
    const QDir dir(folder());
    const QRegularExpression sameStem(u'^' + QRegularExpression::escape(stem) +
                                      QStringLiteral("(?:-(\\d+))?") + QRegularExpression::escape(suffix) + u'$');
    int highest = 0;
    QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const Recorded &entry : record)
        names << entry.name;
    for (const QString &name : names) {
        const QRegularExpressionMatch m = sameStem.match(name);
        if (m.hasMatch())
            highest = std::max(highest, m.captured(1).isEmpty() ? 1 : m.captured(1).toInt());
    }
    for (int n = highest + 1;; ++n) {
        const QString name = n == 1 ? QString(stem + suffix) : QString(stem + u'-' + QString::number(n) + suffix);
        const QFileInfo candidate(dir.filePath(name));
        if (!candidate.exists() && !candidate.isSymLink())
            return name;
    }
}

bool DataFileBackups::isCopyName(const QString &name) const
{
    const QRegularExpressionMatch m = copyNamePattern(QFileInfo(m_dataFile)).match(name);
    return m.hasMatch() && QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")).isValid() &&
           QTime::fromString(m.captured(2), QStringLiteral("HHmmss")).isValid();
}

bool DataFileBackups::isStillOurs(const Recorded &entry) const
{
    const QFileInfo info(QDir(folder()).filePath(entry.name));
    return isCopyName(entry.name) && !info.isSymLink() && info.isFile() && info.size() == entry.size &&
           modifiedMs(info) == entry.modifiedMs;
}

std::vector<DataFileBackups::Recorded> DataFileBackups::readRecord() const
{
    std::vector<Recorded> record;
    const QString path = QDir(folder()).filePath(recordName());
    QByteArray data;
    if (QFileInfo(path).isSymLink() || !readRegularFile(path, MaxRecordSize, data))
        return record;
    const QList<QByteArray> lines = data.split('\n');
    if (lines.isEmpty() || lines.first() != RecordHeader)
        return record;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() != 4)
            continue;
        Recorded entry;
        bool ok[3] = {false, false, false};
        entry.serial = fields[0].toLongLong(&ok[0]);
        entry.name = QString::fromUtf8(fields[1]);
        entry.size = fields[2].toLongLong(&ok[1]);
        entry.modifiedMs = fields[3].toLongLong(&ok[2]);
        if (ok[0] && ok[1] && ok[2] && !entry.name.isEmpty() && !entry.name.contains(u'/') &&
            !entry.name.contains(u'\\'))
            record.push_back(entry);
    }
    return record;
}

bool DataFileBackups::writeRecord(const std::vector<Recorded> &record) const
{
    QByteArray data = RecordHeader + '\n';
    for (const Recorded &entry : record) {
        data += QByteArray::number(entry.serial) + '\t' + entry.name.toUtf8() + '\t' +
                QByteArray::number(entry.size) + '\t' + QByteArray::number(entry.modifiedMs) + '\n';
    }
    SaveFile file(QDir(folder()).filePath(recordName()));
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

bool DataFileBackups::rewrite(const QString &path, const std::function<bool()> &write)
{
    const QFileInfo info(path);
    std::vector<Recorded> record = readRecord();
    const auto entry = std::find_if(record.begin(), record.end(), [&](const Recorded &r) {
        return r.name == info.fileName() && QFileInfo(QDir(folder()).filePath(r.name)) == info;
    });
    const bool recorded = entry != record.end() && isStillOurs(*entry);
    if (!write())
        return false;
    if (path == m_copy)
        m_copiedDigest.clear();
    if (recorded) {
        const QFileInfo now(path);
        entry->size = now.size();
        entry->modifiedMs = modifiedMs(now);
        writeRecord(record);
    }
    return true;
}

QStringList DataFileBackups::copies() const
{
    std::vector<Recorded> ours;
    for (const Recorded &entry : readRecord()) {
        if (isStillOurs(entry))
            ours.push_back(entry);
    }
    std::sort(ours.begin(), ours.end(), [](const Recorded &a, const Recorded &b) { return a.serial > b.serial; });
    QStringList out;
    const QDir dir(folder());
    for (const Recorded &entry : ours)
        out << dir.filePath(entry.name);
    return out;
}

void DataFileBackups::prune(std::vector<Recorded> &record) const
{
    // Newest first by when they were made, whatever the clock said then.
    std::sort(record.begin(), record.end(), [](const Recorded &a, const Recorded &b) { return a.serial > b.serial; });
    const QDir dir(folder());
    int kept = 0;
    std::vector<Recorded> remaining;
    for (const Recorded &entry : record) {
        if (!isCopyName(entry.name)) {
            remaining.push_back(entry); // a copy of another data file in the same folder
            continue;
        }
        // A copy that is gone or no longer what was recorded (the user put a file of their own there)
        // is not ours any more: it leaves the record and is never removed.
        if (!isStillOurs(entry))
            continue;
        const QString path = dir.filePath(entry.name);
        // Never the copy this run made.
        if (kept < KeptCopies || path == m_copy) {
            ++kept;
            remaining.push_back(entry);
        } else if (!QFile::remove(path)) {
            remaining.push_back(entry);
        }
    }
    record = std::move(remaining);
    // A copy or a record that was being written when the program was killed is no copy.
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QString target = SaveFile::leftoverTarget(name);
        if (!target.isEmpty() && (isCopyName(target) || target == recordName()))
            SaveLeftovers::removeLeftover(dir.filePath(name));
    }
}
