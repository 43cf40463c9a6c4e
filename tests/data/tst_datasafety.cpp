#include "TestSupport.h"
#include "app/VantoryConsts.h"
#include "data/AccountTable.h"
#include "data/XmlDataProvider.h"

#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace VantoryConsts;

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
        QString error;
        const bool ok =
            p.load(rows, error) &&
            p.applyChanges({{PendingChange::Insert, {}, account(id, QStringLiteral("n%1").arg(id))}}, error);
        if (!ok)
            qWarning() << error;
        return ok;
    }
};

} // namespace

class TestDataSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

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

void TestDataSafety::savedFilesAreUserOnly_data()
{
    QTest::addColumn<int>("modeBefore"); // of the data file; -1: none yet
    QTest::addColumn<QString>("modeAfter");
    QTest::newRow("new file") << -1 << u"600"_qs;
    QTest::newRow("readable by all") << 0644 << u"600"_qs;
    QTest::newRow("readable by the group") << 0640 << u"600"_qs;
    QTest::newRow("already user-only") << 0600 << u"600"_qs;
    QTest::newRow("read-only for the user") << 0400 << u"400"_qs;
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
    // The mapping files this save created.
    QCOMPARE(TestSupport::fileMode(folder.path(ReadMappingFileName)), u"600"_qs);
    QCOMPARE(TestSupport::fileMode(folder.path(WriteMappingFileName)), u"600"_qs);
#endif
}

QTEST_GUILESS_MAIN(TestDataSafety)
#include "tst_datasafety.moc"
