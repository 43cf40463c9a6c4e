#include "FolderFixtures.h"
#include "TestSupport.h"
#include "settings/RegSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

#include <limits>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
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
};

void TestRegSettings::init()
{
    TestSupport::clearSettings();
}

void TestRegSettings::cleanup()
{
    const QString file = storeFileName();
    if (QFileInfo(file).isDir())
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

QTEST_GUILESS_MAIN(TestRegSettings)
#include "tst_regsettings.moc"
