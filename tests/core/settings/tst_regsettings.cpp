// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedSettings.h"
#include "FifoFeeder.h"
#include "FolderFixtures.h"
#include "TestSupport.h"
#include "core/settings/RegSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

using namespace Qt::Literals::StringLiterals;

namespace {
QString storeFileName()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Orvane"_s, u"Vantory"_s).fileName();
}
} // namespace

class TestRegSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void missingValuesGiveDefaults();
    void stringsRoundTrip_data();
    void stringsRoundTrip();
    void integersRoundTrip_data();
    void integersRoundTrip();
    void stringIsCutAtFirstZero_data();
    void stringIsCutAtFirstZero();
    void integerReadAsString();
    void stringReadAsInteger_data();
    void stringReadAsInteger();
    void writesLandUnderVersionAndSection();
    void changesMadeOutsideAreSeen();
    void handEditedValues_data();
    void handEditedValues();
    void unwritableStoreFailsSilently();
    void failedWriteIsReportedAndLost_data();
    void failedWriteIsReportedAndLost();
    void storeFileIsUserOnly_data();
    void storeFileIsUserOnly();
    void storeFoldersAreUserOnly_data();
    void storeFoldersAreUserOnly();
    void harmlessHandEditsAreRead_data();
    void harmlessHandEditsAreRead();
    void unreadableStoreIsNeitherReadNorWritten_data();
    void unreadableStoreIsNeitherReadNorWritten();
    void writesOnlyIntoARegularFileOfTheUser_data();
    void writesOnlyIntoARegularFileOfTheUser();
};

void TestRegSettings::init()
{
    TestSupport::clearSettings();
}

void TestRegSettings::cleanup()
{
    const QString file = storeFileName();
    const QFileInfo left(file);
    if (left.isSymLink() || (left.exists() && !left.isFile() && !left.isDir()))
        QFile::remove(file);
    else if (left.isDir())
        QDir(file).removeRecursively();
    TestSupport::clearSettings();
}

void TestRegSettings::missingValuesGiveDefaults()
{
    QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, 0), 0);
    QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, -17), -17);
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), QString());
    // A section that exists does not make its other values appear.
    RegWriteString(u"Main"_s, u"pwd"_s, u"x"_s);
    QCOMPARE(RegReadInteger(u"Main"_s, u"Other"_s, 5), 5);
    QCOMPARE(RegReadString(u"Main"_s, u"Other"_s), QString());
    QCOMPARE(RegReadString(u"Elsewhere"_s, u"pwd"_s), QString());
}

void TestRegSettings::stringsRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain") << u"C:/Users/me/Vantory Data"_s;
    QTest::newRow("backslashes") << u"C:\\Data\\Accounts\\"_s;
    QTest::newRow("comma") << u"Sites, old and new"_s;
    QTest::newRow("outer blanks") << u"  padded  "_s;
    QTest::newRow("quotes and semicolon") << u"say \"hi\"; ok"_s;
    QTest::newRow("equals and hash") << u"a=b #c"_s;
    QTest::newRow("leading at") << u"@Variant(abc)"_s;
    QTest::newRow("line break and tab") << u"one\ntwo\tthree"_s;
    QTest::newRow("non-ascii") << u"Zürich Ærø 東京"_s;
    // What the scrambler produces: bytes 0x32, 0x33 and 0x41-0xC0 as Latin-1 characters.
    QTest::newRow("scrambled") << QString::fromLatin1("2A3\xC0"
                                                      "2\x7F"
                                                      "3\x80"
                                                      "2z");
    QTest::newRow("long") << QString(5000, u'q');
}

void TestRegSettings::stringsRoundTrip()
{
    QFETCH(QString, value);
    RegWriteString(u"Main"_s, u"DataPath"_s, value);
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), value);
}

void TestRegSettings::integersRoundTrip_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("minus one") << -1;
    QTest::newRow("max") << std::numeric_limits<int>::max();
    QTest::newRow("min") << std::numeric_limits<int>::min();
}

void TestRegSettings::integersRoundTrip()
{
    QFETCH(int, value);
    RegWriteInteger(u"Main"_s, u"NoPromptSetPassword"_s, value);
    // A default that differs from every row, so a failed read cannot pass.
    QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, 12345), value);
}

void TestRegSettings::stringIsCutAtFirstZero_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("middle") << u"ab\0cd"_s << u"ab"_s;
    QTest::newRow("trailing") << u"abc\0"_s << u"abc"_s;
    QTest::newRow("leading") << u"\0abc"_s << QString();
}

void TestRegSettings::stringIsCutAtFirstZero()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    RegWriteString(u"Main"_s, u"pwd"_s, stored);
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), expected);
}

void TestRegSettings::integerReadAsString()
{
    RegWriteInteger(u"Main"_s, u"n"_s, -1234);
    QCOMPARE(RegReadString(u"Main"_s, u"n"_s), u"-1234"_s);
}

void TestRegSettings::stringReadAsInteger_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("digits") << u"77"_s << 77;
    QTest::newRow("negative") << u"-8"_s << -8;
    QTest::newRow("empty") << QString() << 99;
    QTest::newRow("word") << u"abc"_s << 99;
    QTest::newRow("trailing junk") << u"12abc"_s << 99;
    QTest::newRow("fraction") << u"1.5"_s << 99;
    QTest::newRow("above range") << u"2147483648"_s << 99;
    QTest::newRow("below range") << u"-2147483649"_s << 99;
}

void TestRegSettings::stringReadAsInteger()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    RegWriteString(u"Main"_s, u"n"_s, stored);
    QCOMPARE(RegReadInteger(u"Main"_s, u"n"_s, 99), expected);
}

void TestRegSettings::writesLandUnderVersionAndSection()
{
    RegWriteString(u"Main"_s, u"pwd"_s, u"2A3B"_s);
    RegWriteInteger(u"Main"_s, u"NoPromptSetPassword"_s, 1);
    RegWriteString(u"Other"_s, u"pwd"_s, u"elsewhere"_s);

    // Read back through a reader of the file alone, as the next start of the program would.
    QSettings reader(storeFileName(), QSettings::IniFormat);
    QCOMPARE(reader.childGroups(), QStringList{u"1.0"_s});
    reader.beginGroup(u"1.0"_s);
    QCOMPARE(reader.childGroups(), (QStringList{u"Main"_s, u"Other"_s}));
    QCOMPARE(reader.value(u"Main/pwd"_s).toString(), u"2A3B"_s);
    QCOMPARE(reader.value(u"Main/NoPromptSetPassword"_s).toInt(), 1);
    QCOMPARE(reader.value(u"Other/pwd"_s).toString(), u"elsewhere"_s);
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), u"2A3B"_s);
}

void TestRegSettings::changesMadeOutsideAreSeen()
{
    RegWriteString(u"Main"_s, u"DataPath"_s, u"/first"_s);
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), u"/first"_s);
    // Another process (or the user with an editor) rewrites the file between two calls.
    QVERIFY(TestSupport::writeFile(storeFileName(), "[1.0]\nMain\\DataPath=/second/and/longer\n"));
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), u"/second/and/longer"_s);
    QVERIFY(QFile::remove(storeFileName()));
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), QString());
}

void TestRegSettings::handEditedValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("unquoted comma") << "DataPath=/data/My, Stuff"_ba << u"/data/My, Stuff"_s << -1;
    QTest::newRow("number") << "DataPath=42"_ba << u"42"_s << 42;
    QTest::newRow("blanks around number") << "DataPath= 42 "_ba << u"42"_s << 42;
    QTest::newRow("empty") << "DataPath="_ba << QString() << -1;
}

void TestRegSettings::handEditedValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, text);
    QFETCH(int, number);
    QVERIFY(TestSupport::writeFile(storeFileName(), "[1.0]\nMain\\" + line + '\n'));
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), text);
    QCOMPARE(RegReadInteger(u"Main"_s, u"DataPath"_s, -1), number);
}

void TestRegSettings::unwritableStoreFailsSilently()
{
    // A folder where the settings file should be: nothing can be written or read there.
    const QString file = storeFileName();
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    RegWriteString(u"Main"_s, u"pwd"_s, u"lost"_s);
    RegWriteInteger(u"Main"_s, u"NoPromptSetPassword"_s, 1);
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), QString());
    QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, 0), 0);
}

// How a store that was writable a moment ago stops taking writes, and how it is mended again.
enum class Blocker
{
    FolderInPlace,  // something else stands where the file should be
    ReadOnlyFile,   // the file's mode forbids writing
    ReadOnlyFolder, // the folder's mode forbids replacing the file
};

void TestRegSettings::failedWriteIsReportedAndLost_data()
{
    QTest::addColumn<Blocker>("blocker");
    QTest::addColumn<bool>("asInteger");
    QTest::addColumn<bool>("hadValue");
    QTest::newRow("folder in place, text") << Blocker::FolderInPlace << false << false;
    QTest::newRow("read-only file, text over text") << Blocker::ReadOnlyFile << false << true;
    QTest::newRow("read-only file, new text") << Blocker::ReadOnlyFile << false << false;
    QTest::newRow("read-only file, number") << Blocker::ReadOnlyFile << true << true;
    QTest::newRow("read-only folder, text over text") << Blocker::ReadOnlyFolder << false << true;
    QTest::newRow("read-only folder, new number") << Blocker::ReadOnlyFolder << true << false;
}

void TestRegSettings::failedWriteIsReportedAndLost()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    QFETCH(Blocker, blocker);
    QFETCH(bool, asInteger);
    QFETCH(bool, hadValue);
    const QString file = storeFileName();
    const QString folder = QFileInfo(file).absolutePath();
    const QString name = asInteger ? u"NoPromptSetPassword"_s : u"pwd"_s;
    const QString before = hadValue ? (asInteger ? u"7"_s : u"2A3B"_s) : QString();
    // Something else in the store, so the file is not empty and the store keeps it in mind.
    RegWriteString(u"Main"_s, u"DataPath"_s, u"/data"_s);
    if (hadValue)
        RegWriteString(u"Main"_s, name, before);
    if (blocker == Blocker::FolderInPlace) {
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file));
    }
    const QByteArray contents = TestSupport::readFile(file);
    const QString blocked = blocker == Blocker::ReadOnlyFolder ? folder : file;
    const QFileDevice::Permissions mode = QFileInfo(blocked).permissions();
    if (blocker != Blocker::FolderInPlace)
        QVERIFY(QFile::setPermissions(blocked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    // A process with the privilege to bypass file modes writes anyway: the write runs on a thread
    // that has given it up.
    bool stored = true;
    TestSupport::runOnThread(
        [&] {
            stored = asInteger ? RegWriteIntegerChecked(u"Main"_s, name, 42)
                               : RegWriteStringChecked(u"Main"_s, name, u"3X2Y"_s);
        },
        1 << 20, true);
    QVERIFY(!stored);
    if (blocker != Blocker::FolderInPlace)
        QVERIFY(QFile::setPermissions(blocked, mode));
    else
        QVERIFY(QDir(file).removeRecursively() && TestSupport::writeFile(file, contents));
    QCOMPARE(TestSupport::readFile(file), contents);

    // The write is lost: later reads in this process give what the store holds, and the next write
    // that succeeds does not carry the lost value along.
    if (blocker != Blocker::FolderInPlace)
        QCOMPARE(RegReadString(u"Main"_s, name), before);
    QVERIFY(RegWriteStringChecked(u"Main"_s, u"Other"_s, u"x"_s));
    QCOMPARE(RegReadString(u"Main"_s, name), blocker == Blocker::FolderInPlace ? QString() : before);
    const QSettings reader(file, QSettings::IniFormat);
    QCOMPARE(reader.value(u"1.0/Main/"_s + name).toString(), blocker == Blocker::FolderInPlace ? QString() : before);
    QCOMPARE(reader.value(u"1.0/Main/Other"_s).toString(), u"x"_s);
#endif
}

void TestRegSettings::storeFileIsUserOnly_data()
{
    QTest::addColumn<int>("modeBefore"); // -1: no file yet
    QTest::addColumn<bool>("asInteger");
    QTest::newRow("new store, text") << -1 << false;
    QTest::newRow("new store, number") << -1 << true;
    QTest::newRow("readable by all") << 0644 << false;
    QTest::newRow("writable by all") << 0666 << true;
}

void TestRegSettings::storeFileIsUserOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    QFETCH(int, modeBefore);
    QFETCH(bool, asInteger);
    // The mode a new file gets by default on most systems; the store must not depend on it.
    const mode_t oldMask = ::umask(022);
    const QString file = storeFileName();
    QFile::remove(file);
    if (modeBefore >= 0) {
        QVERIFY(TestSupport::writeFile(file, "[1.0]\nMain\\pwd=old\n"));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(modeBefore)) == 0);
    }
    if (asInteger)
        RegWriteInteger(u"Main"_s, u"NoPromptSetPassword"_s, 1);
    else
        RegWriteString(u"Main"_s, u"pwd"_s, u"2A3B"_s);
    ::umask(oldMask);
    QCOMPARE(TestSupport::fileMode(file), u"600"_s);
    if (asInteger)
        QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, 0), 1);
    else
        QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), u"2A3B"_s);
#endif
}

void TestRegSettings::storeFoldersAreUserOnly_data()
{
    QTest::addColumn<QString>("missing"); // the folder taken away before the write: "maker" or "config"
    QTest::addColumn<int>("makerMode");   // the maker's folder's mode before, when it is left in place
    QTest::newRow("maker's folder missing") << u"maker"_s << 0;
    QTest::newRow("config folder missing") << u"config"_s << 0;
    QTest::newRow("maker's folder readable by all") << QString() << 0755;
    QTest::newRow("maker's folder open to all") << QString() << 0777;
}

void TestRegSettings::storeFoldersAreUserOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    QFETCH(QString, missing);
    QFETCH(int, makerMode);
    const QString file = storeFileName();
    const QString maker = QFileInfo(file).absolutePath();
    const QString config = QFileInfo(maker).absolutePath();
    QCOMPARE(QDir::toNativeSeparators(file), RegStoreLocation());
    QVERIFY(QDir(missing == u"config"_s ? config : maker).removeRecursively());
    if (missing.isEmpty()) {
        QVERIFY(QDir().mkpath(maker));
        QVERIFY(::chmod(QFile::encodeName(maker).constData(), mode_t(makerMode)) == 0);
    }
    const mode_t oldMask = ::umask(022);
    const bool stored = RegWriteStringChecked(u"Main"_s, u"pwd"_s, u"2A3B"_s);
    ::umask(oldMask);
    QVERIFY(stored);
    QCOMPARE(TestSupport::fileMode(maker), u"700"_s);
    if (missing == u"config"_s)
        QCOMPARE(TestSupport::fileMode(config), u"700"_s);
    QCOMPARE(TestSupport::fileMode(file), u"600"_s);
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), u"2A3B"_s);
#endif
}

void TestRegSettings::harmlessHandEditsAreRead_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("comments") << "; mine\n# also mine\n[1.0]\nMain\\pwd=2A3B ; a \"note\n"_ba;
    QTest::newRow("Windows line ends") << "[1.0]\r\n\r\nMain\\DataPath=/d\r\nMain\\pwd=2A3B\r\n"_ba;
    QTest::newRow("quoted semicolon and equals") << "[1.0]\nMain\\DataPath=\"a;b=c\"\nMain\\pwd=2A3B"_ba;
    QTest::newRow("same key in another section") << "[1.0]\nOther\\pwd=x\nMain\\pwd=2A3B\n"_ba;
}

// What the file format reads as it stands is not taken for damage.
void TestRegSettings::harmlessHandEditsAreRead()
{
    QFETCH(QByteArray, contents);
    QVERIFY(TestSupport::writeFile(storeFileName(), contents));
    const Status readable = RegStoreReadable();
    QVERIFY2(readable, qPrintable(readable.error));
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), u"2A3B"_s);
}

void TestRegSettings::unreadableStoreIsNeitherReadNorWritten_data()
{
    QTest::addColumn<QString>("damage"); // a row of DamagedSettings, or "named pipe"
    for (const auto &[name, damage] : DamagedSettings::all())
        QTest::newRow(name) << QString::fromLatin1(name);
    QTest::newRow("named pipe") << u"named pipe"_s;
}

void TestRegSettings::unreadableStoreIsNeitherReadNorWritten()
{
    QFETCH(QString, damage);
    const QString file = storeFileName();
    RegWriteString(u"Main"_s, u"DataPath"_s, u"/data"_s);
    RegWriteString(u"Main"_s, u"NoPromptSetPassword"_s, u"1"_s);
    RegWriteString(u"Main"_s, u"pwd"_s, u"2A3B"_s);
    const QByteArray good = TestSupport::readFile(file);
    QVERIFY(good.contains("pwd=2A3B\n"));
    std::unique_ptr<FifoFeeder> pipe;
    if (damage == u"named pipe"_s) {
        // A writer stands behind the pipe, so a reader that opens it gets the good file rather than
        // waiting for ever.
        QVERIFY(QFile::remove(file));
        pipe = std::make_unique<FifoFeeder>(file, good);
        QVERIFY(pipe->isValid());
    } else {
        for (const auto &[name, kind] : DamagedSettings::all()) {
            if (damage == QLatin1String(name))
                QVERIFY(TestSupport::writeFile(file, DamagedSettings::apply(good, kind)));
        }
    }
    const QByteArray before = pipe ? QByteArray() : TestSupport::readFile(file);

    const Status readable = RegStoreReadable();
    QVERIFY(!readable);
    QVERIFY(!readable.error.isEmpty());
    // Nothing is taken from a file that does not read as it stands, not even the values before the damage.
    QCOMPARE(RegReadString(u"Main"_s, u"pwd"_s), QString());
    QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), QString());
    QCOMPARE(RegReadInteger(u"Main"_s, u"NoPromptSetPassword"_s, 0), 0);
    // Nor is it rewritten: the file format would drop or change what it misreads.
    QVERIFY(!RegWriteStringChecked(u"Main"_s, u"pwd"_s, u"3X2Y"_s));
    QVERIFY(!RegWriteIntegerChecked(u"Main"_s, u"NoPromptSetPassword"_s, 2));
    RegWriteString(u"Main"_s, u"Other"_s, u"x"_s);
    if (pipe) {
        QVERIFY(!QFileInfo(file).isFile());
        pipe.reset();
    } else {
        QCOMPARE(TestSupport::readFile(file), before);
    }
}

// What the settings file is when a write comes.
enum class StoreTarget
{
    Nothing,    // a link that leads nowhere
    DeviceNode, // a character device, like the system's own
    NamedPipe,  // with a writer behind it
    Folder,
    OthersFile, // a regular file of another user
    OwnFile,    // a regular file of the user's
};

void TestRegSettings::writesOnlyIntoARegularFileOfTheUser_data()
{
    QTest::addColumn<StoreTarget>("target");
    QTest::addColumn<bool>("viaLink");
    QTest::addColumn<bool>("stored");
    QTest::newRow("dangling link") << StoreTarget::Nothing << true << false;
    QTest::newRow("link to a device node") << StoreTarget::DeviceNode << true << false;
    QTest::newRow("device node in place") << StoreTarget::DeviceNode << false << false;
    QTest::newRow("link to a named pipe") << StoreTarget::NamedPipe << true << false;
    QTest::newRow("link to a folder") << StoreTarget::Folder << true << false;
    QTest::newRow("link to another user's file") << StoreTarget::OthersFile << true << false;
    QTest::newRow("another user's file in place") << StoreTarget::OthersFile << false << false;
    QTest::newRow("link to a file of the user's") << StoreTarget::OwnFile << true << true;
}

void TestRegSettings::writesOnlyIntoARegularFileOfTheUser()
{
#ifndef Q_OS_UNIX
    QSKIP("links, device nodes and owners are POSIX");
#else
    QFETCH(StoreTarget, target);
    QFETCH(bool, viaLink);
    QFETCH(bool, stored);
    const bool root = ::geteuid() == 0;
    if ((target == StoreTarget::DeviceNode || target == StoreTarget::OthersFile) && !root)
        QSKIP("making a device node or a file of another user takes the system's privileges");
    const QString file = storeFileName();
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile::remove(file);
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString real = viaLink ? elsewhere.filePath(u"real"_s) : file;
    const QByteArray realName = QFile::encodeName(real);
    const QByteArray contents = "[1.0]\nMain\\pwd=2A3B\n";
    std::unique_ptr<FifoFeeder> pipe;
    switch (target) {
    case StoreTarget::Nothing:
        break;
    case StoreTarget::DeviceNode: // the null device's numbers, in a folder of the test's own
        QVERIFY(::mknod(realName.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0);
        QVERIFY(::chmod(realName.constData(), 0666) == 0);
        break;
    case StoreTarget::NamedPipe:
        pipe = std::make_unique<FifoFeeder>(real, contents);
        QVERIFY(pipe->isValid());
        break;
    case StoreTarget::Folder:
        QVERIFY(QDir().mkpath(real));
        break;
    case StoreTarget::OthersFile:
    case StoreTarget::OwnFile:
        QVERIFY(TestSupport::writeFile(real, contents));
        QVERIFY(::chmod(realName.constData(), 0600) == 0);
        if (target == StoreTarget::OthersFile)
            QVERIFY(::chown(realName.constData(), 65534, 65534) == 0);
        break;
    }
    if (viaLink)
        QVERIFY(QFile::link(real, file));
    struct stat before = {};
    const bool existed = ::stat(realName.constData(), &before) == 0;

    const mode_t oldMask = ::umask(022);
    QCOMPARE(RegWriteStringChecked(u"Main"_s, u"DataPath"_s, u"/data"_s), stored);
    ::umask(oldMask);

    // The link stays a link, and what it leads to is what it was, or the file with the new value.
    if (viaLink)
        QCOMPARE(QFileInfo(file).symLinkTarget(), real);
    struct stat after = {};
    QCOMPARE(::stat(realName.constData(), &after) == 0, existed);
    pipe.reset();
    if (!existed)
        return;
    QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    QCOMPARE(after.st_uid, before.st_uid);
    if (stored) {
        QCOMPARE(after.st_mode & 07777, mode_t(0600));
        QCOMPARE(RegReadString(u"Main"_s, u"DataPath"_s), u"/data"_s);
        QCOMPARE(QSettings(real, QSettings::IniFormat).value(u"1.0/Main/pwd"_s).toString(), u"2A3B"_s);
    } else {
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        if (target == StoreTarget::OthersFile)
            QCOMPARE(TestSupport::readFile(real), contents);
    }
    QFile::remove(file);
#endif
}

QTEST_GUILESS_MAIN(TestRegSettings)
#include "tst_regsettings.moc"
