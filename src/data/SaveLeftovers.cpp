#include "SaveLeftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace SaveLeftovers {

namespace {

constexpr qsizetype RandomLength = 6;

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool readsAsWord(QStringView letters)
{
    const auto isLower = [](QChar c) { return c.isLower(); };
    const bool restLower = std::all_of(letters.begin() + 1, letters.end(), isLower);
    const bool allUpper = std::none_of(letters.begin(), letters.end(), isLower);
    return restLower || allUpper;
}

// The file a save of path writes: links are followed, as the save file does.
QFileInfo savedFile(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info;
}

} // namespace

QString leftoverTarget(const QString &name)
{
    if (name.size() <= RandomLength + 1 || name.at(name.size() - RandomLength - 1) != u'.')
        return QString();
    const QStringView letters = QStringView(name).right(RandomLength);
    if (!std::all_of(letters.begin(), letters.end(), isAsciiLetter) || readsAsWord(letters))
        return QString();
    return name.left(name.size() - RandomLength - 1);
}

bool removeIfStale(const QString &path, const QDateTime &modifiedBefore)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.lastModified() >= modifiedBefore)
        return false;
    return QFile::remove(path);
}

QStringList remove(const QString &path, const QDateTime &modifiedBefore)
{
    QStringList removed;
    const QFileInfo target = savedFile(path);
    if (target.fileName().isEmpty())
        return removed;
    const QDir folder = target.absoluteDir();
    const QStringList names = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (leftoverTarget(name) == target.fileName() && removeIfStale(folder.filePath(name), modifiedBefore))
            removed << folder.filePath(name);
    }
    return removed;
}

QDateTime staleBefore()
{
    return QDateTime::currentDateTime().addSecs(-60);
}

} // namespace SaveLeftovers
