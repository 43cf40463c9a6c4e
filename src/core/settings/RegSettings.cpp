// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegSettings.h"
#include "ProgramInfo.h"

#include "core/datafile/RegularFile.h"
#include "core/platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <limits>
#include <memory>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define VANTORY_SETTINGS_FILE 1
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RegSettings", text);
}

// The version in the group keeps settings of a future incompatible release apart; on Windows the
// native format puts this at HKCU\Software\Orvane\Vantory\1.0\<section>.
QString groupKey(const QString &section, const QString &name)
{
    return QLatin1String("1.0/") + section + u'/' + name;
}

// A fresh store per call: another process (or the user) may change the settings between two calls,
// and nothing here may hide that.
QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, ProgramInfo::Organization, ProgramInfo::Name);
}

#ifdef VANTORY_SETTINGS_FILE

// The program writes a few hundred bytes; a file far larger is no settings file of ours.
constexpr qint64 MaxStoreSize = 4 * 1024 * 1024;

// Where the file format keeps the store, found without opening it: a settings object reads its
// file as soon as it is made, and that read would block on a named pipe.
QString storePath()
{
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return config + u'/' + ProgramInfo::Organization + u'/' + ProgramInfo::Name + QLatin1String(".conf");
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Takes the next line from text at pos as the file format splits lines: a backslash escapes the
// character after it, ";" outside quotation marks starts a comment, and the format would read on over
// a line break inside quotation marks or after a backslash. Such a line swallows the lines after it,
// and it is reported as damage. line gets the setting's text without comment and outer blanks.
QString nextLine(const QByteArray &text, qsizetype &pos, int &lineNumber, QByteArray &line)
{
    const qsizetype size = text.size();
    const qsizetype start = pos;
    qsizetype end = -1; // where a comment starts
    bool inQuotes = false;
    for (; pos < size && text.at(pos) != '\n' && text.at(pos) != '\r'; ++pos) {
        const char c = text.at(pos);
        if (end >= 0)
            continue; // a comment, read to the end of its line as it stands
        if (c == '\\') {
            if (pos + 1 < size && (text.at(pos + 1) == '\n' || text.at(pos + 1) == '\r'))
                return tr("line %1 runs on into the next one").arg(lineNumber);
            ++pos;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';' && !inQuotes) {
            end = pos;
        }
    }
    if (inQuotes)
        return tr("a quotation mark in line %1 is not closed").arg(lineNumber);
    line = text.mid(start, (end < 0 ? pos : end) - start).trimmed();
    // "\r\n" counts once: its "\r" ends the line, its "\n" then ends an empty one.
    if (pos < size && (text.at(pos) == '\n' || pos + 1 == size || text.at(pos + 1) != '\n'))
        ++lineNumber;
    ++pos;
    return QString();
}

// The key of a setting's line: what stands before its first "=" outside quotation marks; empty when
// there is none.
QByteArray keyOf(const QByteArray &line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == '\\')
            ++i;
        else if (line.at(i) == '"')
            quoted = !quoted;
        else if (line.at(i) == '=' && !quoted)
            return line.left(i).trimmed();
    }
    return QByteArray();
}

// The file format takes a line that is no setting for nothing, and lets the last line of a key win.
// In each case, as with a line that swallows others, a value whose line looks intact (the master
// password above all) is not the one read: the text counts as damaged, and the reason says where.
QString damageIn(const QByteArray &text)
{
    QSet<QByteArray> keys;
    QByteArray section;
    qsizetype pos = 0;
    int lineNumber = 1;
    while (pos < text.size()) {
        const int number = lineNumber;
        QByteArray line;
        if (QString damage = nextLine(text, pos, lineNumber, line); !damage.isEmpty())
            return damage;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close < 0)
                return tr("line %1 is no setting").arg(number);
            section = line.mid(1, close - 1).trimmed();
            continue;
        }
        const QByteArray key = keyOf(line);
        if (key.isEmpty())
            return tr("line %1 is no setting").arg(number);
        QByteArray full = section + '/' + key;
        full.replace('\\', '/');
        if (keys.contains(full))
            return tr("line %1 sets %2 a second time").arg(number).arg(QString::fromUtf8(key));
        keys.insert(full);
    }
    return QString();
}

// Whether the file at path can be read whole: true when there is none, or when it is a regular file
// (a link to one counts) of a sane size whose text is not damaged. Anything else is not opened at
// all: opening a pipe or a device may wait or act.
Status checkReadable(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return {}; // nothing stored yet (a link that leads nowhere holds nothing either)
        return Status::failure(systemError(errno));
    }
    if (!S_ISREG(st.st_mode))
        return Status::failure(S_ISDIR(st.st_mode) ? tr("it is a folder") : tr("not a regular file"));
    // Read the bounded way: should something else have taken the file's place meanwhile, it is
    // refused here rather than waited on.
    QByteArray text;
    if (Status read = readRegularFile(path, MaxStoreSize, text); !read)
        return read;
    return {damageIn(text)};
}

// The folder of the store holds the master password's file: the user's alone. Folders made for it
// are made so, and a folder of the user's that is open to others is closed to them.
Status keepFolderPrivate(const QString &folder)
{
    if (!PrivateFiles::makeFolder(folder))
        return Status::failure(tr("its folder cannot be made"));
    struct stat st = {};
    const QByteArray name = QFile::encodeName(folder);
    if (::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(name.constData(), st.st_mode & 0700);
    return {};
}

// Before a write: the file is there, user-only, and a regular file of the user's, so that the file
// written in its place (which keeps its mode) is never readable by others, not even while it is
// written, and nothing else is ever replaced by the settings.
Status prepareStoreFile(const QString &path)
{
    if (Status made = keepFolderPrivate(QFileInfo(path).absolutePath()); !made)
        return made;
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT)
            return Status::failure(systemError(errno));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return Status::failure(systemError(errno));
        ::close(fd);
        return {};
    }
    const bool link = S_ISLNK(st.st_mode);
    if (link && ::stat(name.constData(), &st) != 0)
        return Status::failure(errno == ENOENT ? tr("it is a link that leads nowhere") : systemError(errno));
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return Status::failure(link ? tr("it is a link to something that is not a regular file of yours")
                                    : tr("it is not a regular file of yours"));
    if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), st.st_mode & 0600) != 0)
        return Status::failure(systemError(errno));
    return {};
}

#endif

// The store, once it is known to read whole; none (and the status tells why) otherwise.
Status openReadable(std::unique_ptr<QSettings> &store)
{
    store.reset();
#ifdef VANTORY_SETTINGS_FILE
    if (Status readable = checkReadable(storePath()); !readable)
        return readable;
#endif
    auto opened = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, ProgramInfo::Organization,
                                              ProgramInfo::Name);
    if (opened->status() != QSettings::NoError)
        return Status::failure(tr("it cannot be read"));
    store = std::move(opened);
    return {};
}

// The value; none when the store cannot be read whole.
QVariant readValue(const QString &section, const QString &name)
{
    std::unique_ptr<QSettings> store;
    return openReadable(store) ? store->value(groupKey(section, name)) : QVariant();
}

QString cutAtZero(QString text)
{
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

QString toText(const QVariant &value)
{
    if (!value.isValid())
        return QString();
    // A comma in a value edited by hand without quotes makes the file format split it into a list;
    // the user meant one text.
    if (value.typeId() == QMetaType::QStringList)
        return cutAtZero(value.toStringList().join(QLatin1String(", ")));
    return cutAtZero(value.toString());
}

bool writeValue(const QString &section, const QString &name, const QVariant &value)
{
    {
        std::unique_ptr<QSettings> readable;
        if (!openReadable(readable))
            return false;
    }
#ifdef VANTORY_SETTINGS_FILE
    if (!prepareStoreFile(storePath()))
        return false;
#endif
    QSettings store = openStore();
    const QString key = groupKey(section, name);
    const QVariant previous = store.value(key);
    store.setValue(key, value);
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    // The settings objects of a process share what they know of a file, unwritten changes included:
    // left alone, the value that was not stored would be what the next read in this process gives,
    // and the next write that succeeds would store it after all. Putting back what the store held
    // leaves nothing behind that differs from the file.
    if (previous.isValid())
        store.setValue(key, previous);
    else
        store.remove(key);
    return false;
}

} // namespace

int RegReadInteger(const QString &section, const QString &name, int defaultValue)
{
    const QVariant value = readValue(section, name);
    if (!value.isValid())
        return defaultValue;
    // A per-user file keeps no types: an integer comes back as its text. Anything that is not a whole
    // number in range (hand-edited text, a fraction, a list) reads as missing rather than as a guess.
    bool ok = false;
    const qlonglong number =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toLongLong(&ok, 10) : value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return defaultValue;
    return int(number);
}

QString RegReadString(const QString &section, const QString &name)
{
    return toText(readValue(section, name));
}

Status RegReadStringChecked(const QString &section, const QString &name, QString &value)
{
    value.clear();
    std::unique_ptr<QSettings> store;
    Status readable = openReadable(store);
    if (readable)
        value = toText(store->value(groupKey(section, name)));
    return readable;
}

Status RegStoreReadable()
{
    std::unique_ptr<QSettings> store;
    return openReadable(store);
}

bool RegWriteIntegerChecked(const QString &section, const QString &name, int value)
{
    return writeValue(section, name, value);
}

bool RegWriteStringChecked(const QString &section, const QString &name, const QString &value)
{
    return writeValue(section, name, value);
}

void RegWriteInteger(const QString &section, const QString &name, int value)
{
    writeValue(section, name, value);
}

void RegWriteString(const QString &section, const QString &name, const QString &value)
{
    writeValue(section, name, value);
}

QString RegStoreLocation()
{
#ifdef VANTORY_SETTINGS_FILE
    return QDir::toNativeSeparators(storePath());
#else
    return QDir::toNativeSeparators(openStore().fileName());
#endif
}
