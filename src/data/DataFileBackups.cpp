#include "DataFileBackups.h"

#include "PrivateFiles.h"
#include "SaveFile.h"
#include "SaveLeftovers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
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

// A copy's name: the data file's base name, the local date and time, a counter when two copies are
// made within one second, the data file's suffix.
QRegularExpression copyNamePattern(const QFileInfo &dataFile)
{
    const QString suffix = dataFile.suffix().isEmpty() ? QString() : u'.' + dataFile.suffix();
    return QRegularExpression(u'^' + QRegularExpression::escape(dataFile.completeBaseName()) +
                              QStringLiteral("-(\\d{4}-\\d{2}-\\d{2}-\\d{6})(?:-(\\d+))?") +
                              QRegularExpression::escape(suffix) + u'$');
}

} // namespace

QString DataFileBackups::folderName()
{
    return QStringLiteral("Backups");
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
    QFile source(m_dataFile);
    if (!source.open(QIODevice::ReadOnly))
        return {QString(), tr("Cannot read %1: %2").arg(m_dataFile, source.errorString())};
    const QByteArray data = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return {QString(), tr("Cannot read %1: %2").arg(m_dataFile, source.errorString())};
    const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    if (!m_copy.isEmpty() && digest == m_copiedDigest && QFileInfo::exists(m_copy))
        return {m_copy, QString()};

    const QString dir = folder();
    if (!PrivateFiles::makeFolder(dir))
        return {QString(), tr("Cannot create the folder %1").arg(dir)};
    const QFileInfo info(m_dataFile);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString stem =
        info.completeBaseName() + u'-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString path = QDir(dir).filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = QDir(dir).filePath(stem + u'-' + QString::number(n) + suffix);

    SaveFile copy(path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(data) != data.size() || !copy.commit())
        return {QString(), tr("Cannot write %1: %2").arg(path, copy.errorString())};
    m_copy = path;
    m_copiedDigest = digest;
    prune();
    return {m_copy, QString()};
}

QStringList DataFileBackups::copies() const
{
    const QRegularExpression pattern = copyNamePattern(QFileInfo(m_dataFile));
    struct Entry
    {
        QString name;
        QString time;
        int counter;
    };
    std::vector<Entry> entries;
    const QDir dir(folder());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            entries.push_back({name, m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.time != b.time ? a.time > b.time : a.counter > b.counter;
    });
    QStringList out;
    for (const Entry &e : entries)
        out << dir.filePath(e.name);
    return out;
}

void DataFileBackups::prune() const
{
    const QStringList all = copies();
    for (qsizetype i = KeptCopies; i < all.size(); ++i) {
        // Never the copy this run made, even when the clock was set back since older copies.
        if (all[i] != m_copy)
            QFile::remove(all[i]);
    }
    // A copy that was being written when the program was killed is no copy.
    const QRegularExpression pattern = copyNamePattern(QFileInfo(m_dataFile));
    const QDir dir(folder());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QString target = SaveFile::leftoverTarget(name);
        if (!target.isEmpty() && pattern.match(target).hasMatch())
            SaveLeftovers::removeLeftover(dir.filePath(name));
    }
}
