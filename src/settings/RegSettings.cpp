#include "RegSettings.h"
#include "ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <limits>

namespace {

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

// The store holds the master password (scrambled only): its file is the user's alone. Made so before
// a write, the file's mode carries over to the file that replaces it, so the password is never
// readable by others, not even while it is written. Where the store is no file (the registry, the
// preferences service) or something else stands in its place, nothing is done.
void keepStoreFilePrivate(const QSettings &store)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString path = store.fileName();
    const QFileInfo info(path);
    if (info.isFile()) {
        QFile::setPermissions(path, info.permissions() & OwnerOnly);
    } else if (!info.exists() && QDir().mkpath(info.absolutePath())) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly))
            file.close();
    }
#else
    Q_UNUSED(store);
#endif
}

QString cutAtZero(QString text)
{
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

bool writeValue(const QString &section, const QString &name, const QVariant &value)
{
    QSettings store = openStore();
    keepStoreFilePrivate(store);
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
    const QVariant value = openStore().value(groupKey(section, name));
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
    const QVariant value = openStore().value(groupKey(section, name));
    if (!value.isValid())
        return QString();
    // A comma in a value edited by hand without quotes makes the file format split it into a list;
    // the user meant one text.
    if (value.typeId() == QMetaType::QStringList)
        return cutAtZero(value.toStringList().join(QLatin1String(", ")));
    return cutAtZero(value.toString());
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
    return QDir::toNativeSeparators(openStore().fileName());
}
