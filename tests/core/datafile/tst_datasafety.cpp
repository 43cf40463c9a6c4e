// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/datafile/DataFileBackups.h"
#include "core/datafile/SaveFile.h"
#include "core/datafile/XmlDataProvider.h"
#include "ProviderChanges.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace AccountSchema;

namespace {

// A data file as another version of the program may have written it: an element this one does not
// know, and no mapping files yet.
const QByteArray kOriginal = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n  <Account>\n"
                             "    <accountID>0</accountID>\n    <siteName>Kept</siteName>\n"
                             "    <notes>only in the file</notes>\n  </Account>\n</Accounts>\n";

RowValues account(int id, const QString &name)
{
    return {id, name, QString(), QString(), QString(), QString(), 1.5, QDate(2024, 1, 2), 1};
}

// A data folder with a provider pointed at it; each provider is one run of the program.
struct DataFolder
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }
    QString data() const { return path(DataFileName); }
    QString backups() const { return path(QStringLiteral("Backups")); }

    std::unique_ptr<XmlDataProvider> run() const
    {
        auto p = std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs());
        p->setFileName(data());
        p->setReadMappingFile(path(ReadMappingFileName));
        p->setWriteMappingFile(path(WriteMappingFileName));
        return p;
    }
    // Loads and saves one new account; false with the error shown when either fails.
    static bool addAccount(XmlDataProvider &p, int id)
    {
        QList<RowValues> rows;
        Status saved = p.load(rows);
        if (saved)
            saved = applyToFile(p, {{PendingChange::Insert, {}, account(id, QStringLiteral("n%1").arg(id))}});
        if (!saved)
            qWarning() << saved.error;
        return saved.ok();
    }
    // Everything in the Backups folder but the record of the copies made.
    QStringList copies() const
    {
        QStringList names = QDir(backups()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeOne(DataFileBackups::recordName());
        return names;
    }
    QString backup(const QString &name) const { return QDir(backups()).filePath(name); }
    // One run at the given local time that copies the data file as it loads it and then saves an
    // account; the name of its copy.
    QString copyAt(const QDateTime &when, int id) const
    {
        auto p = run();
        p->backups().setClock([when] { return when; });
        QList<RowValues> rows;
        if (const Status loaded = p->load(rows); !loaded)
            qWarning() << loaded.error;
        const DataFileBackups::Result kept = p->backups().copyNow();
        const Status saved = applyToFile(*p, {{PendingChange::Insert, {}, account(id, QStringLiteral("n%1").arg(id))}});
        if (!saved)
            qWarning() << saved.error;
        return QFileInfo(kept.copy).fileName();
    }
};

QDateTime at(int year, int month, int day, int seconds = 0)
{
    return QDateTime(QDate(year, month, day), QTime(12, 0).addSecs(seconds));
}

const QRegularExpression kCopyName(QStringLiteral("^main-\\d{4}-\\d{2}-\\d{2}-\\d{6}(-\\d+)?\\.xml$"));

} // namespace

class TestDataSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void firstSaveOfEachRunKeepsTheFileAsItWas();
    void firstRunWithoutDataFileNeedsNoCopy();
    void newestTenCopiesAreKept();
    void rotationRemovesOnlyItsOwnCopies_data();
    void rotationRemovesOnlyItsOwnCopies();
    void copiesDatedInTheFutureRotateOut();
    void copiesMadeInOneSecondNeverShareAName();
    void copyThatCannotBeMadeDoesNotStopTheSave();
    void copyAtLoadCountsAsTheRunsCopy();

    void staleSaveLeftoversGoAfterASave_data();
    void staleSaveLeftoversGoAfterASave();
    void killedSaveLeavesNothingAfterTheNextSave();
    void leftoversStayWhenTheSaveFails();

    void savedFilesAreUserOnly_data();
    void savedFilesAreUserOnly();

private:
#ifdef Q_OS_UNIX
    mode_t m_umask = 0;
#endif
};

void TestDataSafety::initTestCase()
{
#ifdef Q_OS_UNIX
    // The mode new files get by default on most systems: what our files get must not depend on it.
    m_umask = ::umask(022);
#endif
}

void TestDataSafety::cleanupTestCase()
{
#ifdef Q_OS_UNIX
    ::umask(m_umask);
#endif
}

void TestDataSafety::firstSaveOfEachRunKeepsTheFileAsItWas()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    {
        auto run = folder.run();
        QVERIFY(DataFolder::addAccount(*run, 1));
        const QStringList copies = folder.copies();
        QCOMPARE(copies.size(), 1);
        QVERIFY2(kCopyName.match(copies[0]).hasMatch(), qPrintable(copies[0]));
        // Byte for byte what was there, also what this program does not read.
        QCOMPARE(TestSupport::readFile(QDir(folder.backups()).filePath(copies[0])), kOriginal);
        QVERIFY(DataFolder::addAccount(*run, 2));
        QCOMPARE(folder.copies().size(), 1);
    }
    const QByteArray afterFirstRun = TestSupport::readFile(folder.data());
    auto next = folder.run();
    QVERIFY(DataFolder::addAccount(*next, 3));
    QList<QByteArray> contents;
    for (const QString &name : folder.copies())
        contents << TestSupport::readFile(QDir(folder.backups()).filePath(name));
    QCOMPARE(contents.size(), 2);
    QVERIFY(contents.contains(kOriginal));
    QVERIFY(contents.contains(afterFirstRun));
}

void TestDataSafety::firstRunWithoutDataFileNeedsNoCopy()
{
    DataFolder folder;
    auto run = folder.run();
    QVERIFY(DataFolder::addAccount(*run, 0));
    QVERIFY(QFile::exists(folder.data()));
    QVERIFY(!QFileInfo::exists(folder.backups()));
    QCOMPARE(run->takeWriteWarning(), QString());
}

void TestDataSafety::newestTenCopiesAreKept()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    QStringList made;
    for (int day = 1; day <= 11; ++day)
        made << folder.copyAt(at(2020, 1, day), day);
    // A second copy made within the same second is the newer of the two.
    made << folder.copyAt(at(2020, 1, 3), 12);
    QCOMPARE(made.last(), u"main-2020-01-03-120000-2.xml"_qs);
    const QStringList others = {QStringLiteral("notes.txt"), QStringLiteral("main-2019.xml"),
                                QStringLiteral("other-2019-01-01-120000.xml"),
                                QStringLiteral("main-2019-01-01-120000.txt")};
    for (const QString &name : others)
        QVERIFY(TestSupport::writeFile(folder.backup(name), name.toUtf8()));
    // A copy whose writing was cut off long ago, beside the old ones.
    const QString cutOff = folder.backup(QStringLiteral("main-2020-01-12-120000.xml.vantory-save-0a1b2c3d"));
    QVERIFY(TestSupport::writeFile(cutOff, "<?xml"));

    auto run = folder.run();
    QVERIFY(DataFolder::addAccount(*run, 13));
    QStringList copies = folder.copies();
    for (const QString &name : others)
        QVERIFY2(copies.removeOne(name), qPrintable(name));
    QCOMPARE(copies.size(), 10);
    const QStringList now = QStringList(copies).filter(QRegularExpression(QStringLiteral("^main-(?!2020)")));
    QCOMPARE(now.size(), 1);
    QVERIFY2(kCopyName.match(now[0]).hasMatch(), qPrintable(now[0]));
    // The nine newest old ones stay: the 4th to the 11th, and the later copy made on the 3rd.
    copies.removeOne(now[0]);
    const QStringList kept = made.mid(3);
    QCOMPARE(QSet<QString>(copies.begin(), copies.end()), QSet<QString>(kept.begin(), kept.end()));
    QCOMPARE(run->backups().copies().first(), folder.backup(now[0]));
    QVERIFY(!QFileInfo::exists(cutOff));
}

void TestDataSafety::rotationRemovesOnlyItsOwnCopies_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "link", "copy replaced by a file", "copy replaced by a link"
    QTest::newRow("the user's file named like a copy") << u"main-2010-06-01-101010.xml"_qs << u"file"_qs;
    QTest::newRow("impossible date") << u"main-2010-13-45-996699.xml"_qs << u"file"_qs;
    QTest::newRow("counter 1") << u"main-2010-06-01-101010-1.xml"_qs << u"file"_qs;
    QTest::newRow("counter with a leading zero") << u"main-2010-06-01-101010-02.xml"_qs << u"file"_qs;
#ifdef Q_OS_UNIX
    QTest::newRow("link named like a copy") << u"main-2010-06-02-101010.xml"_qs << u"link"_qs;
    QTest::newRow("copy replaced by a link") << u"main-2010-06-03-120000.xml"_qs << u"copy replaced by a link"_qs;
#endif
    QTest::newRow("copy replaced by a file") << u"main-2010-06-03-120000.xml"_qs << u"copy replaced by a file"_qs;
}

// The rotation removes the copies it made and nothing else, however much a file looks like one.
void TestDataSafety::rotationRemovesOnlyItsOwnCopies()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    const QString path = folder.backup(name);
    const QString elsewhere = folder.path(QStringLiteral("elsewhere.xml"));
    QVERIFY(TestSupport::writeFile(elsewhere, "the user's"));
    if (kind.startsWith(u"copy replaced")) {
        QCOMPARE(folder.copyAt(at(2010, 6, 3), 1), name);
        QVERIFY(QFile::remove(path));
    }
    if (kind.endsWith(u"link"))
        QVERIFY(QDir().mkpath(folder.backups()) && QFile::link(elsewhere, path));
    else
        QVERIFY(TestSupport::writeFile(path, "the user's own file"));

    QStringList made;
    for (int i = 0; i < DataFileBackups::KeptCopies + 2; ++i)
        made << folder.copyAt(at(2011, 1, 1, i), 10 + i);
    QVERIFY2(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), qPrintable(name));
    QCOMPARE(QFileInfo(path).isSymLink(), kind.endsWith(u"link"));
    QCOMPARE(TestSupport::readFile(elsewhere), QByteArray("the user's"));
    if (!kind.endsWith(u"link"))
        QCOMPARE(TestSupport::readFile(path), QByteArray("the user's own file"));
    // The copies it made rotate among themselves: the ten newest stay.
    QStringList copies = folder.copies();
    QVERIFY(copies.removeOne(name));
    copies.sort();
    const QStringList kept = made.mid(2);
    QCOMPARE(copies, kept);
}

void TestDataSafety::copiesDatedInTheFutureRotateOut()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    // A clock that was years ahead for a while.
    QStringList future;
    for (int i = 0; i < DataFileBackups::KeptCopies; ++i)
        future << folder.copyAt(at(2099, 1, 1, i), i);
    QStringList made;
    for (int i = 0; i < DataFileBackups::KeptCopies; ++i) {
        made << folder.copyAt(at(2030, 1, 1, i), 100 + i);
        // Every copy made since stays, and only the oldest of the future ones went.
        QStringList expected = made + future.mid(i + 1);
        QStringList copies = folder.copies();
        expected.sort();
        copies.sort();
        QCOMPARE(copies, expected);
    }
}

void TestDataSafety::copiesMadeInOneSecondNeverShareAName()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    QStringList made;
    QList<QByteArray> contents;
    for (int i = 0; i < DataFileBackups::KeptCopies + 3; ++i) {
        contents << TestSupport::readFile(folder.data());
        made << folder.copyAt(at(2030, 1, 1), i);
    }
    QCOMPARE(QSet<QString>(made.begin(), made.end()).size(), made.size());
    // The newest ten stay, each holding the file as it was when it was made.
    QStringList copies = folder.copies();
    copies.sort();
    QStringList kept = made.mid(3);
    kept.sort();
    QCOMPARE(copies, kept);
    for (qsizetype i = 3; i < made.size(); ++i)
        QCOMPARE(TestSupport::readFile(folder.backup(made[i])), contents[i]);
}

void TestDataSafety::copyThatCannotBeMadeDoesNotStopTheSave()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    // A file where the Backups folder should be.
    QVERIFY(TestSupport::writeFile(folder.backups(), "in the way"));
    auto run = folder.run();
    QVERIFY(DataFolder::addAccount(*run, 1));
    QVERIFY(TestSupport::readFile(folder.data()).contains("<siteName>n1</siteName>"));
    const QString warning = run->takeWriteWarning();
    QVERIFY2(warning.contains(folder.backups()), qPrintable(warning));
    QCOMPARE(run->takeWriteWarning(), QString());
    // The file as it was is gone after that save; later saves neither try again nor warn again.
    QVERIFY(QFile::remove(folder.backups()));
    QVERIFY(DataFolder::addAccount(*run, 2));
    QCOMPARE(run->takeWriteWarning(), QString());
    QVERIFY(!QFileInfo::exists(folder.backups()));
}

void TestDataSafety::copyAtLoadCountsAsTheRunsCopy()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    auto run = folder.run();
    QList<RowValues> rows;
    QVERIFY(run->load(rows));
    const DataFileBackups::Result kept = run->backups().copyNow();
    QCOMPARE(kept.error, QString());
    QCOMPARE(TestSupport::readFile(kept.copy), kOriginal);
    // The same bytes once more (a reload): the same copy.
    QCOMPARE(run->backups().copyNow().copy, kept.copy);
    QVERIFY(applyToFile(*run, {{PendingChange::Insert, {}, account(1, QStringLiteral("a"))}}));
    QCOMPARE(folder.copies().size(), 1);
    // A file changed since (by another program) is copied anew.
    QVERIFY(TestSupport::writeFile(folder.data(), QByteArray(kOriginal).replace("Kept", "Changed")));
    const DataFileBackups::Result again = run->backups().copyNow();
    QVERIFY(!again.copy.isEmpty());
    QVERIFY(again.copy != kept.copy);
    QCOMPARE(folder.copies().size(), 2);
}

void TestDataSafety::staleSaveLeftoversGoAfterASave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "folder" or "link"
    QTest::addColumn<bool>("removed");
    // Names as a save gives its temporary file.
    QTest::newRow("data file") << u"main.xml.vantory-save-0a1b2c3d"_qs << u"file"_qs << true;
    QTest::newRow("write mapping") << u"main_ToXml.xtr.vantory-save-ffffffff"_qs << u"file"_qs << true;
    QTest::newRow("read mapping") << u"main_ToDp.xtr.vantory-save-00000000"_qs << u"file"_qs << true;
    // Anything else is not ours to remove.
    QTest::newRow("what a person names a copy") << u"main.xml.backup"_qs << u"file"_qs << false;
    QTest::newRow("another program's temporary") << u"main.xml.jXDDHa"_qs << u"file"_qs << false;
    QTest::newRow("seven digits") << u"main.xml.vantory-save-0a1b2c3"_qs << u"file"_qs << false;
    QTest::newRow("nine digits") << u"main.xml.vantory-save-0a1b2c3d4"_qs << u"file"_qs << false;
    QTest::newRow("not hexadecimal") << u"main.xml.vantory-save-0a1b2c3g"_qs << u"file"_qs << false;
    QTest::newRow("upper-case digits") << u"main.xml.vantory-save-0A1B2C3D"_qs << u"file"_qs << false;
    QTest::newRow("more after") << u"main.xml.vantory-save-0a1b2c3d.xml"_qs << u"file"_qs << false;
    QTest::newRow("other file") << u"other.xml.vantory-save-0a1b2c3d"_qs << u"file"_qs << false;
    QTest::newRow("other case") << u"Main.xml.vantory-save-0a1b2c3d"_qs << u"file"_qs << false;
    QTest::newRow("folder") << u"main.xml.vantory-save-0a1b2c3d"_qs << u"folder"_qs << false;
#ifdef Q_OS_UNIX
    QTest::newRow("link") << u"main.xml.vantory-save-0a1b2c3d"_qs << u"link"_qs << false;
#endif
}

void TestDataSafety::staleSaveLeftoversGoAfterASave()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    const QString path = folder.path(name);
    const QString elsewhere = folder.path(QStringLiteral("elsewhere.xml"));
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"link") {
        QVERIFY(TestSupport::writeFile(elsewhere, kOriginal));
        QVERIFY(QFile::link(elsewhere, path));
    } else {
        QVERIFY(TestSupport::writeFile(path, kOriginal));
    }
    auto run = folder.run();
    QVERIFY(DataFolder::addAccount(*run, 1));
    QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
    if (kind == u"link")
        QCOMPARE(TestSupport::readFile(elsewhere), kOriginal);
}

void TestDataSafety::killedSaveLeavesNothingAfterTheNextSave()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs fork()");
#else
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    {
        auto first = folder.run();
        QVERIFY(DataFolder::addAccount(*first, 1)); // mapping files made, this run's copy taken
    }
    const QByteArray before = TestSupport::readFile(folder.data());
    // A save killed after writing everything but before the rename.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        SaveFile file(folder.data());
        if (file.open(QIODevice::WriteOnly) && file.write("<Accounts>half") > 0 && file.flush())
            ::kill(::getpid(), SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(TestSupport::readFile(folder.data()), before);
    const auto leftovers = [&] {
        return QDir(folder.dir.path()).entryList({QStringLiteral("main.xml.*")}, QDir::Files | QDir::Hidden);
    };
    QCOMPARE(leftovers().size(), 1);

    auto next = folder.run();
    QVERIFY(DataFolder::addAccount(*next, 2));
    QCOMPARE(leftovers(), QStringList());
#endif
}

void TestDataSafety::leftoversStayWhenTheSaveFails()
{
    DataFolder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
    const QString leftover = folder.path(QStringLiteral("main.xml.vantory-save-0a1b2c3d"));
    QVERIFY(TestSupport::writeFile(leftover, kOriginal));
    auto run = folder.run();
    QList<RowValues> rows;
    QVERIFY(run->load(rows));
    // A data file without its owner's write permission is never replaced: the save fails.
    QVERIFY(QFile::setPermissions(folder.data(), QFileDevice::ReadOwner));
    QVERIFY(!applyToFile(*run, {{PendingChange::Insert, {}, account(5, QStringLiteral("new"))}}));
    QVERIFY(QFile::exists(leftover));
}

void TestDataSafety::savedFilesAreUserOnly_data()
{
    QTest::addColumn<int>("modeBefore"); // of the data file; -1: none yet
    QTest::addColumn<QString>("modeAfter");
    QTest::newRow("new file") << -1 << u"600"_qs;
    QTest::newRow("readable by all") << 0644 << u"600"_qs;
    QTest::newRow("readable by the group") << 0640 << u"600"_qs;
    QTest::newRow("already user-only") << 0600 << u"600"_qs;
    // Stricter than user-only and still writable: kept.
    QTest::newRow("write-only for the user") << 0200 << u"200"_qs;
}

void TestDataSafety::savedFilesAreUserOnly()
{
#ifndef Q_OS_UNIX
    QSKIP("file modes are POSIX");
#else
    QFETCH(int, modeBefore);
    QFETCH(QString, modeAfter);
    DataFolder folder;
    if (modeBefore >= 0) {
        QVERIFY(TestSupport::writeFile(folder.data(), kOriginal));
        QVERIFY(::chmod(QFile::encodeName(folder.data()).constData(), mode_t(modeBefore)) == 0);
    }
    auto run = folder.run();
    QVERIFY(DataFolder::addAccount(*run, 1));
    QCOMPARE(TestSupport::fileMode(folder.data()), modeAfter);
    // The mapping files this save created; the copy of the file as it was, in its folder.
    QCOMPARE(TestSupport::fileMode(folder.path(ReadMappingFileName)), u"600"_qs);
    QCOMPARE(TestSupport::fileMode(folder.path(WriteMappingFileName)), u"600"_qs);
    if (modeBefore >= 0) {
        QCOMPARE(TestSupport::fileMode(folder.backups()), u"700"_qs);
        QCOMPARE(folder.copies().size(), 1);
        QCOMPARE(TestSupport::fileMode(QDir(folder.backups()).filePath(folder.copies()[0])), u"600"_qs);
    }
#endif
}

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
