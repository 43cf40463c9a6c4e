// SPDX-License-Identifier: GPL-3.0-or-later
// Copying checked files flat into one folder: names that are taken, failures, cancels, progress,
// and the progress dialog around a copy on its worker thread.
#include "PackFixtures.h"
#include "TestSupport.h"
#include "core/search/FlatCopy.h"
#include "gui/search/CopyProgressDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

// Every name in the folder, hidden ones included: a leftover temporary file must show.
QStringList namesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

QByteArray pattern(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i % 251);
    return data;
}

} // namespace

class TestFlatCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void candidateNames_data();
    void candidateNames();
    void copiesFlatKeepingDateAndMode();
    void takenNamesGetNumbers();
    void sameNameFromTwoFolders();
    void copyIntoItsOwnFolder();
    void failedFilesDoNotStopTheRest_data();
    void failedFilesDoNotStopTheRest();
    void missingDestinationFailsEveryFile();
    void filesWithoutReportedSizeAreCopiedWhole();
    void cancelLeavesNoHalfFile();
    void entriesOfPacksArriveUnderTheirNames();
    void entriesThatCannotBeReadAreReported_data();
    void entriesThatCannotBeReadAreReported();
    void cancelInsideAnEntryLeavesNothing();
    void progressIsReported();
    void sourceChangedWhileCopied_data();
    void sourceChangedWhileCopied();
    void leftoversOfKilledCopiesGo_data();
    void leftoversOfKilledCopiesGo();
    void dialogShowsProgressAndCancels_data();
    void dialogShowsProgressAndCancels();
    void dialogReturnsWhenCopyEnds();
};

void TestFlatCopy::candidateNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first is the name") << "report.pdf" << 1 << "report.pdf";
    QTest::newRow("number before the extension") << "report.pdf" << 2 << "report (2).pdf";
    QTest::newRow("no extension") << "README" << 3 << "README (3)";
    QTest::newRow("leading dot starts no extension") << ".profile" << 2 << ".profile (2)";
    QTest::newRow("last dot only") << "archive.tar.gz" << 2 << "archive.tar (2).gz";
    QTest::newRow("trailing dot") << "odd." << 4 << "odd (4).";
    QTest::newRow("two digits") << "a.txt" << 12 << "a (12).txt";
}

void TestFlatCopy::candidateNames()
{
    QFETCH(QString, name);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(FlatCopy::candidateName(name, n), expected);
}

void TestFlatCopy::copiesFlatKeepingDateAndMode()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString a = tree.filePath(QStringLiteral("one/a.txt"));
    const QString b = tree.filePath(QStringLiteral("two/deeper/b.bin"));
    const QByteArray big = pattern(3 * 1024 * 1024 + 17, 'b');
    QVERIFY(TestSupport::writeFile(a, "alpha"));
    QVERIFY(TestSupport::writeFile(b, big));
    const QDateTime stamp = QDateTime::fromString(QStringLiteral("2021-03-04T05:06:07Z"), Qt::ISODate);
    {
        QFile f(b);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
#ifndef Q_OS_WIN
    QVERIFY(QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
#endif

    FlatCopy job({a, b}, dest.path());
    job.run();
    const FlatCopy::Result &result = job.result();
    QVERIFY(result.ok());
    QVERIFY(!result.cancelled);
    QCOMPARE(result.total, 2);
    QCOMPARE(result.arrived,
             QStringList({dest.filePath(QStringLiteral("a.txt")), dest.filePath(QStringLiteral("b.bin"))}));
    QVERIFY(result.failures.isEmpty());
    QCOMPARE(namesIn(dest.path()), QStringList({QStringLiteral("a.txt"), QStringLiteral("b.bin")}));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("a.txt"))), QByteArray("alpha"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("b.bin"))), big);
    QCOMPARE(QFileInfo(dest.filePath(QStringLiteral("b.bin"))).lastModified().toUTC(), stamp);
#ifndef Q_OS_WIN
    // Owner, group and others (the "user" bits say what this process may do).
    const QFileDevice::Permissions ownerGroupOther(0x7077);
    QCOMPARE(QFile::permissions(dest.filePath(QStringLiteral("a.txt"))) & ownerGroupOther,
             QFileDevice::Permissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
#endif
}

void TestFlatCopy::takenNamesGetNumbers()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString source = tree.filePath(QStringLiteral("a.txt"));
    QVERIFY(TestSupport::writeFile(source, "new"));
    QVERIFY(TestSupport::writeFile(dest.filePath(QStringLiteral("a.txt")), "old"));
    QVERIFY(TestSupport::writeFile(dest.filePath(QStringLiteral("a (2).txt")), "older"));

    FlatCopy job({source}, dest.path());
    job.run();
    QVERIFY(job.result().ok());
    QCOMPARE(job.result().arrived, QStringList{dest.filePath(QStringLiteral("a (3).txt"))});
    QCOMPARE(job.result().renamed, 1);
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("a.txt"))), QByteArray("old"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("a (2).txt"))), QByteArray("older"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("a (3).txt"))), QByteArray("new"));
    QCOMPARE(namesIn(dest.path()).size(), 3);
}

void TestFlatCopy::sameNameFromTwoFolders()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString first = tree.filePath(QStringLiteral("x/notes.txt"));
    const QString second = tree.filePath(QStringLiteral("y/notes.txt"));
    QVERIFY(TestSupport::writeFile(first, "from x"));
    QVERIFY(TestSupport::writeFile(second, "from y"));

    FlatCopy job({first, second}, dest.path());
    job.run();
    QVERIFY(job.result().ok());
    QCOMPARE(namesIn(dest.path()), QStringList({QStringLiteral("notes (2).txt"), QStringLiteral("notes.txt")}));
    // The first takes its own name; only the second needed another.
    QCOMPARE(job.result().renamed, 1);
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes.txt"))), QByteArray("from x"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes (2).txt"))), QByteArray("from y"));
}

void TestFlatCopy::copyIntoItsOwnFolder()
{
    // The source itself holds the name: it must stay whole, and the copy goes beside it.
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("self.dat"));
    const QByteArray data = pattern(100000, 's');
    QVERIFY(TestSupport::writeFile(source, data));
    FlatCopy job({source}, dir.path());
    job.run();
    QVERIFY(job.result().ok());
    QCOMPARE(TestSupport::readFile(source), data);
    QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("self (2).dat"))), data);
}

void TestFlatCopy::failedFilesDoNotStopTheRest_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("vanished") << "vanished";
    QTest::newRow("folder") << "folder";
#ifndef Q_OS_WIN
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("unreadable") << "unreadable";
#endif
#ifdef Q_OS_LINUX
    QTest::newRow("read error half-way") << "read error";
#endif
}

void TestFlatCopy::failedFilesDoNotStopTheRest()
{
    QFETCH(QString, kind);
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString before = tree.filePath(QStringLiteral("before.txt"));
    const QString after = tree.filePath(QStringLiteral("after.txt"));
    QVERIFY(TestSupport::writeFile(before, "1"));
    QVERIFY(TestSupport::writeFile(after, "3"));
    QString bad = tree.filePath(QStringLiteral("bad.txt"));
    if (kind == QLatin1String("vanished")) {
        QVERIFY(TestSupport::writeFile(bad, "gone"));
        QVERIFY(QFile::remove(bad));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(bad));
    }
#ifndef Q_OS_WIN
    else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
    } else if (kind == QLatin1String("unreadable")) {
        QVERIFY(TestSupport::writeFile(bad, "secret"));
        QVERIFY(QFile::setPermissions(bad, QFileDevice::Permissions()));
        QFile probe(bad);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("This user reads files whatever their permissions");
    }
#endif
    else if (kind == QLatin1String("read error")) {
        // Opens as a regular file; reading its first page fails.
        bad = QStringLiteral("/proc/self/mem");
    }

    FlatCopy job({before, bad, after}, dest.path());
    job.setChunkSize(4096);
    job.run();
    const FlatCopy::Result &result = job.result();
    QVERIFY(!result.ok());
    QVERIFY(!result.cancelled);
    QCOMPARE(result.notArrived(), 1);
    QCOMPARE(result.failures.size(), 1);
    QCOMPARE(result.failures.first().source, bad);
    QVERIFY(!result.failures.first().error.isEmpty());
    // The files on both sides of the failure arrived; nothing else did, not even a temporary file.
    QCOMPARE(namesIn(dest.path()), QStringList({QStringLiteral("after.txt"), QStringLiteral("before.txt")}));
    QCOMPARE(job.progress().filesDone, 3);
}

void TestFlatCopy::missingDestinationFailsEveryFile()
{
    QTemporaryDir tree;
    const QString a = tree.filePath(QStringLiteral("a.txt"));
    const QString b = tree.filePath(QStringLiteral("b.txt"));
    QVERIFY(TestSupport::writeFile(a, "a"));
    QVERIFY(TestSupport::writeFile(b, "b"));
    FlatCopy job({a, b}, tree.filePath(QStringLiteral("no such folder")));
    job.run();
    QCOMPARE(job.result().notArrived(), 2);
    QCOMPARE(job.result().failures.size(), 2);
    QVERIFY(!QFileInfo::exists(tree.filePath(QStringLiteral("no such folder"))));
}

void TestFlatCopy::filesWithoutReportedSizeAreCopiedWhole()
{
#ifndef Q_OS_LINUX
    QSKIP("Files that report no size are a Linux matter");
#else
    // /proc files say they are empty; their contents come by reading.
    const QString source = QStringLiteral("/proc/version");
    const QByteArray expected = TestSupport::readFile(source);
    QVERIFY(!expected.isEmpty());
    QTemporaryDir dest;
    FlatCopy job({source}, dest.path());
    job.run();
    QVERIFY(job.result().ok());
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("version"))), expected);
#endif
}

void TestFlatCopy::cancelLeavesNoHalfFile()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    QStringList sources;
    for (const char *name : {"first.bin", "second.bin", "third.bin"}) {
        sources << tree.filePath(QLatin1String(name));
        QVERIFY(TestSupport::writeFile(sources.last(), pattern(256 * 1024, name[0])));
    }
    FlatCopy job(sources, dest.path());
    job.setChunkSize(4096);
    // Cancel from the worker itself once the second file is a few pieces in: no timing involved.
    job.setProgressHook([&job](const FlatCopy::Progress &p) {
        if (p.current == 1 && p.bytesDone >= 256 * 1024 + 3 * 4096)
            job.cancel();
    });
    job.run();
    const FlatCopy::Result &result = job.result();
    QVERIFY(result.cancelled);
    QVERIFY(!result.ok());
    QCOMPARE(result.arrived, QStringList{dest.filePath(QStringLiteral("first.bin"))});
    QCOMPARE(result.notArrived(), 2);
    QCOMPARE(result.failures.size(), 2);
    QCOMPARE(result.failures.at(0).source, sources.at(1));
    QCOMPARE(result.failures.at(1).source, sources.at(2));
    QCOMPARE(namesIn(dest.path()), QStringList{QStringLiteral("first.bin")});
}

// Entries inside packs, nested ones too, arrive under their own names by the rule for files: after
// a file that has the name already, and after each other.
void TestFlatCopy::entriesOfPacksArriveUnderTheirNames()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    using PackFixtures::Kind;
    const QByteArray big = PackFixtures::noise(200 * 1024, 5);
    const QByteArray inner = PackFixtures::write(Kind::Zip, {{"deep/notes.txt", big}});
    const QString pack = tree.filePath(QStringLiteral("pack.zip"));
    QVERIFY(TestSupport::writeFile(pack, PackFixtures::write(Kind::Zip, {{"docs/notes.txt", "from the pack"},
                                                                         {"inner.zip", inner}})));
    const QString file = tree.filePath(QStringLiteral("x/notes.txt"));
    QVERIFY(TestSupport::writeFile(file, "from a file"));
    QVERIFY(TestSupport::writeFile(dest.filePath(QStringLiteral("notes.txt")), "there before"));

    FlatCopy job({{file, {}, 0},
                  {pack, {QStringLiteral("docs/notes.txt")}, 13},
                  {pack, {QStringLiteral("inner.zip"), QStringLiteral("deep/notes.txt")}, big.size()}},
                 dest.path());
    QCOMPARE(job.sourceName(1), QStringLiteral("notes.txt"));
    job.setChunkSize(4096);
    job.run();
    const FlatCopy::Result &result = job.result();
    QVERIFY(result.ok());
    QCOMPARE(result.renamed, 3);
    QCOMPARE(result.arrived, QStringList({dest.filePath(QStringLiteral("notes (2).txt")),
                                          dest.filePath(QStringLiteral("notes (3).txt")),
                                          dest.filePath(QStringLiteral("notes (4).txt"))}));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes.txt"))), QByteArray("there before"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes (2).txt"))), QByteArray("from a file"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes (3).txt"))), QByteArray("from the pack"));
    QCOMPARE(TestSupport::readFile(dest.filePath(QStringLiteral("notes (4).txt"))), big);
    QCOMPARE(namesIn(dest.path()).size(), 4);
    QCOMPARE(job.progress().bytesDone, qint64(11 + 13 + big.size()));
}

void TestFlatCopy::entriesThatCannotBeReadAreReported_data()
{
    QTest::addColumn<QByteArray>("pack");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("reason"); // a part of it
    using PackFixtures::Kind;
    QByteArray error;
    const QByteArray locked = PackFixtures::write(Kind::Zip, {{"secret.txt", "secret"}}, "zip:encryption=zipcrypt",
                                                  "password", &error);
    if (!locked.isEmpty())
        QTest::newRow("locked") << locked << QStringLiteral("secret.txt") << QStringLiteral("secret.txt is encrypted");
    const QByteArray zip = PackFixtures::buildZip({{"one.txt", PackFixtures::noise(8000, 1), true}});
    QTest::newRow("damaged") << zip.left(zip.size() / 2) << QStringLiteral("one.txt") << QStringLiteral("pack.zip");
    QTest::newRow("gone from the pack") << zip << QStringLiteral("two.txt") << QStringLiteral("pack.zip › two.txt");
}

void TestFlatCopy::entriesThatCannotBeReadAreReported()
{
    QFETCH(QByteArray, pack);
    QFETCH(QString, entry);
    QFETCH(QString, reason);
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString packPath = tree.filePath(QStringLiteral("pack.zip"));
    QVERIFY(TestSupport::writeFile(packPath, pack));
    const QString file = tree.filePath(QStringLiteral("after.txt"));
    QVERIFY(TestSupport::writeFile(file, "after"));
    FlatCopy job({{packPath, {entry}, 8000}, {file, {}, 0}}, dest.path());
    job.run();
    const FlatCopy::Result &result = job.result();
    QCOMPARE(result.notArrived(), 1);
    QCOMPARE(result.failures.size(), 1);
    QCOMPARE(result.failures.at(0).source, packPath + QStringLiteral(" › ") + entry);
    QVERIFY2(result.failures.at(0).error.contains(reason), qPrintable(result.failures.at(0).error));
    // Nothing of the entry is left, not even a part under a temporary name; the file after it arrived.
    QCOMPARE(namesIn(dest.path()), QStringList{QStringLiteral("after.txt")});
}

void TestFlatCopy::cancelInsideAnEntryLeavesNothing()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QByteArray big = PackFixtures::noise(512 * 1024, 9);
    const QString pack = tree.filePath(QStringLiteral("pack.tar"));
    QVERIFY(TestSupport::writeFile(pack, PackFixtures::write(PackFixtures::Kind::Tar, {{"big.bin", big}})));
    FlatCopy job({{pack, {QStringLiteral("big.bin")}, big.size()}}, dest.path());
    // Cancelled from the worker itself a few chunks in: no timing involved.
    job.setProgressHook([&job](const FlatCopy::Progress &p) {
        if (p.current == 0 && p.bytesDone >= 128 * 1024)
            job.cancel();
    });
    job.run();
    QVERIFY(job.result().cancelled);
    QCOMPARE(job.result().notArrived(), 1);
    QVERIFY(namesIn(dest.path()).isEmpty());
}

void TestFlatCopy::progressIsReported()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QStringList sources{tree.filePath(QStringLiteral("a")), tree.filePath(QStringLiteral("b")),
                              tree.filePath(QStringLiteral("c"))};
    const int sizes[] = {10000, 0, 70000};
    for (int i = 0; i < 3; ++i)
        QVERIFY(TestSupport::writeFile(sources.at(i), pattern(sizes[i], 'p')));

    FlatCopy job(sources, dest.path());
    job.setChunkSize(8192);
    QList<FlatCopy::Progress> seen;
    job.setProgressHook([&seen](const FlatCopy::Progress &p) { seen << p; });
    job.run();
    QVERIFY(job.result().ok());

    QVERIFY(seen.size() > 6);
    QList<int> files;
    for (qsizetype i = 0; i < seen.size(); ++i) {
        const FlatCopy::Progress &p = seen.at(i);
        QCOMPARE(p.filesTotal, 3);
        QCOMPARE(p.bytesTotal, qint64(80000));
        if (i > 0) {
            QVERIFY(p.bytesDone >= seen.at(i - 1).bytesDone);
            QVERIFY(p.filesDone >= seen.at(i - 1).filesDone);
        }
        if (p.current >= 0 && (files.isEmpty() || files.last() != p.current))
            files << p.current;
    }
    QCOMPARE(files, QList<int>({0, 1, 2}));
    // A progress step inside the third file: the first two done, part of its bytes.
    QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](const FlatCopy::Progress &p) {
        return p.current == 2 && p.filesDone == 2 && p.bytesDone > 10000 && p.bytesDone < 80000;
    }));
    const FlatCopy::Progress last = job.progress();
    QCOMPARE(last.filesDone, 3);
    QCOMPARE(last.bytesDone, qint64(80000));
    QCOMPARE(last.current, -1);
}

void TestFlatCopy::sourceChangedWhileCopied_data()
{
    QTest::addColumn<int>("changes");  // how many of the tries find the source changed
    QTest::addColumn<int>("newSize");  // of the source after each change
    QTest::addColumn<bool>("arrives"); // whole, as the source is at the end
    QTest::newRow("rewritten once") << 1 << 48 * 1024 << true;
    QTest::newRow("cut short once") << 1 << 5000 << true;
    QTest::newRow("rewritten at the same size") << 1 << 64 * 1024 << true;
    QTest::newRow("rewritten at every try") << 100 << 40 * 1024 << false;
}

// Another program writes the source while it is copied (after the first piece, from the progress hook,
// which runs between pieces): the copy holds one whole version or is reported as not made.
void TestFlatCopy::sourceChangedWhileCopied()
{
    QFETCH(int, changes);
    QFETCH(int, newSize);
    QFETCH(bool, arrives);
    QTemporaryDir src, dst;
    const QString source = src.filePath(QStringLiteral("report.pdf"));
    QVERIFY(TestSupport::writeFile(source, pattern(64 * 1024, 'a')));
    FlatCopy copy({source}, dst.path());
    copy.setChunkSize(4096);
    int done = 0;
    copy.setProgressHook([&](const FlatCopy::Progress &p) {
        // After the first piece of each try (a try that starts again counts its bytes afresh).
        if (p.current != 0 || p.bytesDone <= 0 || p.bytesDone > 4096 || done >= changes)
            return;
        ++done;
        // Rewritten in place, as an editor or a download does: same file, new contents.
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(f.write(pattern(newSize, char('b' + done))) == newSize);
        // Also when the clock has not moved on since the file was opened.
        QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(done), QFileDevice::FileModificationTime));
        f.close();
    });
    copy.run();
    const FlatCopy::Result &result = copy.result();
    QCOMPARE(result.ok(), arrives);
    if (arrives) {
        QCOMPARE(result.arrived, QStringList{dst.filePath(QStringLiteral("report.pdf"))});
        QCOMPARE(TestSupport::readFile(result.arrived[0]), TestSupport::readFile(source));
    } else {
        QCOMPARE(result.failures.size(), 1);
        QCOMPARE(result.failures[0].error, QStringLiteral("The file changed while it was copied"));
        QCOMPARE(namesIn(dst.path()), QStringList());
    }
}

void TestFlatCopy::leftoversOfKilledCopiesGo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "folder", "link" or "in use"
    QTest::addColumn<bool>("removed");
    QTest::newRow("left by a killed copy") << u".vantory-0123456789abcdef.part"_qs << u"file"_qs << true;
    QTest::newRow("in use by a running copy") << u".vantory-0123456789abcdef.part"_qs << u"in use"_qs << false;
    QTest::newRow("folder") << u".vantory-0123456789abcdef.part"_qs << u"folder"_qs << false;
    QTest::newRow("link") << u".vantory-0123456789abcdef.part"_qs << u"link"_qs << false;
    QTest::newRow("fifteen digits") << u".vantory-0123456789abcde.part"_qs << u"file"_qs << false;
    QTest::newRow("upper-case digits") << u".vantory-0123456789ABCDEF.part"_qs << u"file"_qs << false;
    QTest::newRow("not hidden") << u"vantory-0123456789abcdef.part"_qs << u"file"_qs << false;
    QTest::newRow("more after") << u".vantory-0123456789abcdef.part.pdf"_qs << u"file"_qs << false;
    QTest::newRow("the user's own") << u"report.part"_qs << u"file"_qs << false;
}

// A copy killed half-way leaves its hidden temporary file; the next copy into that folder takes away
// exactly such files, and nothing that a running copy or the user still has.
void TestFlatCopy::leftoversOfKilledCopiesGo()
{
#ifdef Q_OS_WIN
    QSKIP("Locks and links are tested on POSIX");
#else
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    QTemporaryDir src, dst;
    const QString path = dst.filePath(name);
    const QString elsewhere = src.filePath(QStringLiteral("elsewhere.txt"));
    QVERIFY(TestSupport::writeFile(elsewhere, "the user's"));
    int holder = -1;
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"link") {
        QVERIFY(QFile::link(elsewhere, path));
    } else {
        QVERIFY(TestSupport::writeFile(path, "half a copy"));
        if (kind == u"in use") {
            holder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
    }
    const QString source = src.filePath(QStringLiteral("a.txt"));
    QVERIFY(TestSupport::writeFile(source, "new"));
    FlatCopy copy({source}, dst.path());
    copy.run();
    if (holder >= 0)
        ::close(holder);
    QVERIFY(copy.result().ok());
    QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
    QCOMPARE(TestSupport::readFile(elsewhere), QByteArray("the user's"));
    QStringList expected{QStringLiteral("a.txt")};
    if (!removed && kind != u"folder")
        expected << name;
    expected.sort();
    QCOMPARE(namesIn(dst.path()), expected);
#endif
}

void TestFlatCopy::dialogShowsProgressAndCancels_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<bool>("entries"); // the sources are entries of a pack, not files
    QTest::addColumn<QString>("counts");
    const QString piece = QStringLiteral("0 of 3 files, 4.0 kB of 192.0 kB");
    QTest::newRow("Cancel button") << false << false << piece;
    QTest::newRow("Esc") << true << false << piece;
    // A pack hands out its entries a chunk of its own size at a time.
    QTest::newRow("entries of a pack") << false << true << QStringLiteral("0 of 3 files, 64.0 kB of 192.0 kB");
}

void TestFlatCopy::dialogShowsProgressAndCancels()
{
    QFETCH(bool, byEscape);
    QFETCH(bool, entries);
    QFETCH(QString, counts);
    QTemporaryDir tree;
    QTemporaryDir dest;
    QList<FlatCopy::Source> sources;
    QList<PackFixtures::File> packed;
    const QString pack = tree.filePath(QStringLiteral("pack.tar"));
    for (const char *name : {"a.bin", "b.bin", "c.bin"}) {
        const QByteArray data = pattern(64 * 1024, name[0]);
        packed.append({name, data});
        if (entries) {
            sources.append({pack, {QLatin1String(name)}, data.size()});
        } else {
            sources.append({tree.filePath(QLatin1String(name)), {}, 0});
            QVERIFY(TestSupport::writeFile(sources.last().path, data));
        }
    }
    QVERIFY(TestSupport::writeFile(pack, PackFixtures::write(PackFixtures::Kind::Tar, packed)));
    FlatCopy job(sources, dest.path());
    job.setChunkSize(4096);
    // The worker stops after its first piece until the test has looked at the dialog.
    QSemaphore reached;
    QSemaphore release;
    std::atomic<bool> held{false};
    job.setProgressHook([&](const FlatCopy::Progress &p) {
        if (p.bytesDone > 0 && !held.exchange(true)) {
            reached.release();
            release.acquire();
        }
    });

    QString fileText;
    QString countsText;
    bool cancelEnabledAfter = true;
    std::function<void()> look = [&] {
        auto *dialog = qobject_cast<CopyProgressDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || !reached.tryAcquire()) {
            QTimer::singleShot(5, look);
            return;
        }
        dialog->refresh();
        fileText = dialog->findChild<QLabel *>(QStringLiteral("lblCopyFile"))->text();
        countsText = dialog->findChild<QLabel *>(QStringLiteral("lblCopyCounts"))->text();
        auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("btnCancel"));
        if (byEscape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(cancel, Qt::LeftButton);
        cancelEnabledAfter = cancel->isEnabled();
        release.release();
    };
    QTimer::singleShot(0, look);
    const FlatCopy::Result result = CopyProgressDialog::run(job, nullptr, 0);

    QCOMPARE(fileText, QStringLiteral("Copying \"a.bin\""));
    QCOMPARE(countsText, counts);
    QVERIFY(!cancelEnabledAfter);
    QVERIFY(result.cancelled);
    QCOMPARE(result.notArrived(), 3);
    QCOMPARE(namesIn(dest.path()), QStringList());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestFlatCopy::dialogReturnsWhenCopyEnds()
{
    QTemporaryDir tree;
    QTemporaryDir dest;
    const QString a = tree.filePath(QStringLiteral("a.txt"));
    QVERIFY(TestSupport::writeFile(a, "a"));
    QVERIFY(TestSupport::writeFile(dest.filePath(QStringLiteral("a.txt")), "there"));
    const FlatCopy::Result result = CopyProgressDialog::copyFiles({a}, dest.path());
    QVERIFY(result.ok());
    QCOMPARE(result.arrived, QStringList{dest.filePath(QStringLiteral("a (2).txt"))});
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestFlatCopy)
#include "tst_flatcopy.moc"
