// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolderFixture.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/accounts/TableOrder.h"
#include "core/datafile/XmlDataProvider.h"
#include "ProviderChanges.h"

#include <QDir>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QtTest>

using namespace AccountSchema;

namespace {

// A provider whose write breaks off half-way, as a full disk or a killed program would.
class BrokenWriteProvider : public XmlDataProvider
{
public:
    using XmlDataProvider::XmlDataProvider;

protected:
    bool writeContents(QFileDevice &file, const QByteArray &data) override
    {
        file.write(data.left(data.size() / 2));
        return false;
    }
};

using Folder = TestSupport::DataFolderFixture;

RowValues sample(int id, const QString &name)
{
    return {id, name, QStringLiteral("https://example.com/a?b=1&c=<2>"), QStringLiteral("/home/u/Downloads/Ünï"),
            QStringLiteral("user \"x\""), QStringLiteral("2A3\xC0"), 9.99, QDate(2024, 2, 29), 2};
}

QList<RowValues> roundTrip(const QList<RowValues> &rows, const Folder &folder, QByteArray *encoding = nullptr)
{
    XmlDataProvider writer(AccountTable::storedFieldDefs());
    folder.point(writer);
    QList<RowValues> loaded;
    if (const Status loadedBefore = writer.load(loaded); !loadedBefore)
        qWarning() << loadedBefore.error;
    QList<PendingChange> changes;
    for (const RowValues &r : rows)
        changes.append({PendingChange::Insert, {}, r});
    if (const Status written = applyToFile(writer, changes); !written)
        qWarning() << written.error;
    XmlDataProvider reader(AccountTable::storedFieldDefs());
    folder.point(reader);
    if (const Status loadedAfter = reader.load(loaded); !loadedAfter)
        qWarning() << loadedAfter.error;
    if (encoding)
        *encoding = reader.encoding();
    return loaded;
}

QByteArray readAll(const QString &path)
{
    return TestSupport::readFile(path);
}

} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDataFileLoadsEmptyAndIsCreatedAtFirstWrite();
    void everyFieldTypeRoundTrips();
    void nullAndEmptyStayApart();
    void fileInAnotherEncodingKeepsIt();
    void parseErrorsCarryLineAndPosition_data();
    void parseErrorsCarryLineAndPosition();
    void brokenWriteLeavesOriginalWholeAndNoTemporary();
    void mappingWithUnknownVersionIsRefused();
    void missingMappingFilesAreRecreated();
    void quickAndFullReaderAgree();
    void savesWriteTheTableRowsInTheirOrder();
};

void TestDataFile::missingDataFileLoadsEmptyAndIsCreatedAtFirstWrite()
{
    Folder folder;
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QList<RowValues> rows;
    VERIFY_OK(p.load(rows));
    QVERIFY(rows.isEmpty());
    QVERIFY(!QFile::exists(folder.data()));
    QVERIFY(applyToFile(p, {{PendingChange::Insert, {}, sample(0, QStringLiteral("x"))}}));
    QVERIFY(QFile::exists(folder.data()));
    QVERIFY(QFile::exists(folder.readMapping()));
    QVERIFY(QFile::exists(folder.writeMapping()));
    QVERIFY(readAll(folder.data()).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
}

void TestDataFile::everyFieldTypeRoundTrips()
{
    Folder folder;
    QList<RowValues> rows = {sample(0, QStringLiteral("Ölçü 日本 & <co>")), sample(2147483647, QStringLiteral("  spaced  "))};
    rows[1][6] = 0.1 + 0.2; // not representable in few digits
    rows[1][8] = -32768;
    QCOMPARE(roundTrip(rows, folder), rows);
    const QByteArray xml = readAll(folder.data());
    QVERIFY(xml.contains("<monthlyFee>9.99</monthlyFee>")); // locale-independent, shortest form
    QVERIFY(xml.contains("<addedDate>2024-02-29</addedDate>"));
}

void TestDataFile::nullAndEmptyStayApart()
{
    Folder folder;
    RowValues row = sample(1, QStringLiteral("n"));
    row[2] = QVariant();          // no URL at all
    row[4] = QString(u""_qs);     // an empty user name
    row[7] = QVariant();
    QCOMPARE(roundTrip({row}, folder), QList<RowValues>{row});
}

void TestDataFile::fileInAnotherEncodingKeepsIt()
{
    Folder folder;
    // "Café" in ISO-8859-1: é is the single byte 0xE9.
    QVERIFY(TestSupport::writeFile(folder.data(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                                  "<Accounts><Account><accountID>4</accountID>"
                                                  "<siteName>Caf\xE9</siteName></Account></Accounts>\n"));
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QVERIFY(TestSupport::writeFile(folder.readMapping(), p.defaultMapping(true)));
    QList<RowValues> rows;
    VERIFY_OK(p.load(rows));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][1].toString(), QStringLiteral("Café"));
    QCOMPARE(p.encoding(), QByteArray("ISO-8859-1"));

    // A name the encoding cannot hold is written as a character reference, never replaced by "?".
    RowValues changed = rows[0];
    changed[1] = QStringLiteral("Café € 日本");
    VERIFY_OK(applyToFile(p, {{PendingChange::Modify, rows[0], changed}}));
    const QByteArray bytes = readAll(folder.data());
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
    QVERIFY(bytes.contains("Caf\xE9 &#8364; &#26085;&#26412;"));
    QVERIFY(p.load(rows));
    QCOMPARE(rows[0][1].toString(), QStringLiteral("Café € 日本"));
}

void TestDataFile::parseErrorsCarryLineAndPosition_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("location");
    QTest::newRow("unclosed row") << QByteArray("<?xml version=\"1.0\"?>\n<Accounts>\n<Account>\n</Accounts>\n")
                                  << QStringLiteral("Error on line 4, position ");
    QTest::newRow("garbage") << QByteArray("not xml at all") << QStringLiteral("Error on line 1, position ");
    QTest::newRow("bad number") << QByteArray("<Accounts>\n<Account>\n  <accountID>x1</accountID>\n"
                                              "</Account></Accounts>")
                                << QStringLiteral("Error on line 3, position ");
    QTest::newRow("empty file") << QByteArray() << QString();
    // A fee that is no finite number would make every later save fail to find its account.
    for (const char *fee : {"nan", "-NaN", "inf", "-inf", "1e400"}) {
        QTest::addRow("fee %s", fee) << QByteArray("<Accounts>\n<Account>\n  <accountID>1</accountID><monthlyFee>" +
                                                   QByteArray(fee) + "</monthlyFee>\n</Account></Accounts>")
                                     << QStringLiteral("Error on line 3, position ");
    }
    // A state the 16-bit field cannot hold would silently become another one.
    for (const char *state : {"70000", "-32769"}) {
        QTest::addRow("state %s", state) << QByteArray("<Accounts>\n<Account>\n  <accountID>1</accountID><active>" +
                                                       QByteArray(state) + "</active>\n</Account></Accounts>")
                                         << QStringLiteral("Error on line 3, position ");
    }
    // Bytes that are no text in the file's encoding would be replaced at the next save.
    QTest::newRow("not ISO-8859-7") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<Accounts>\n"
                                                  "<Account><siteName>a\xAE</siteName></Account></Accounts>")
                                    << QStringLiteral("Error on line 3, position ");
}

void TestDataFile::parseErrorsCarryLineAndPosition()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, location);
    Folder folder;
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QVERIFY(TestSupport::writeFile(folder.data(), contents));
    QVERIFY(TestSupport::writeFile(folder.readMapping(), p.defaultMapping(true)));
    QList<RowValues> rows;
    const Status loaded = p.load(rows);
    QVERIFY(!loaded);
    QVERIFY2(loaded.error.startsWith(QStringLiteral("XML Parse Error:\n\rReason: ")), qPrintable(loaded.error));
    if (!location.isEmpty())
        QVERIFY2(loaded.error.contains(location), qPrintable(loaded.error));
    // The file is never touched by a failed load.
    QCOMPARE(readAll(folder.data()), contents);
}

void TestDataFile::brokenWriteLeavesOriginalWholeAndNoTemporary()
{
    Folder folder;
    roundTrip({sample(0, QStringLiteral("kept"))}, folder);
    const QByteArray before = readAll(folder.data());
    const QStringList filesBefore = QDir(folder.dir.path()).entryList(QDir::Files | QDir::Hidden);

    BrokenWriteProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QList<RowValues> rows;
    QVERIFY(p.load(rows));
    const Status written = applyToFile(p, {{PendingChange::Insert, {}, sample(1, QStringLiteral("lost"))}});
    QVERIFY(!written);
    QVERIFY(written.error.contains(folder.data()));
    QCOMPARE(readAll(folder.data()), before);
    QCOMPARE(QDir(folder.dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
}

void TestDataFile::mappingWithUnknownVersionIsRefused()
{
    Folder folder;
    roundTrip({sample(0, QStringLiteral("a"))}, folder);
    QVERIFY(TestSupport::writeFile(folder.readMapping(), "<VantoryMapping version=\"99\"/>"));
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QList<RowValues> rows;
    const Status loaded = p.load(rows);
    QVERIFY(!loaded);
    QCOMPARE(loaded.error, QStringLiteral("Version of Transformation File not supported"));
}

void TestDataFile::missingMappingFilesAreRecreated()
{
    Folder folder;
    const RowValues a = sample(0, QStringLiteral("a"));
    roundTrip({a}, folder);
    QVERIFY(QFile::remove(folder.readMapping()));
    QVERIFY(QFile::remove(folder.writeMapping()));
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    QList<RowValues> rows;
    VERIFY_OK(p.load(rows));
    QCOMPARE(rows, QList<RowValues>{a});
    QVERIFY(applyToFile(p, {{PendingChange::Delete, a, {}}}));
    QVERIFY(QFile::exists(folder.readMapping()));
    QVERIFY(QFile::exists(folder.writeMapping()));
}

void TestDataFile::quickAndFullReaderAgree()
{
    // Files written by hand or by other tools take the full reader's path; the result is the same.
    Folder folder;
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    const QByteArray plain = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Accounts>\n<!-- note -->\n"
                             "  <Account>\n    <accountID>7</accountID>\n    <siteName>A &amp; B &#x65E5; &lt;x&gt;</siteName>\n"
                             "    <siteUrl/>\n    <monthlyFee> 1.5 </monthlyFee>\n  </Account>\n</Accounts>\n";
    QByteArray unusual = plain;
    unusual.replace("<siteName>A &amp; B", "<siteName><![CDATA[A & B]]>");
    for (const QByteArray &contents : {plain, unusual}) {
        QVERIFY(TestSupport::writeFile(folder.data(), contents));
        QList<RowValues> rows;
        VERIFY_OK(p.load(rows));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toInt(), 7);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("A & B 日 <x>"));
        QCOMPARE(rows[0][2].toString(), QString(u""_qs));
        QVERIFY(!rows[0][2].isNull());
        QCOMPARE(rows[0][6].toDouble(), 1.5);
        QVERIFY(rows[0][3].isNull());
    }
}

void TestDataFile::savesWriteTheTableRowsInTheirOrder()
{
    // The file holds the accounts in the order they were loaded and added, whatever order the list
    // shows them in: a save writes the table's own rows, changed, removed and added ones included.
    Folder folder;
    roundTrip({sample(0, QStringLiteral("c")), sample(1, QStringLiteral("a")), sample(2, QStringLiteral("b"))},
              folder);
    XmlDataProvider p(AccountTable::storedFieldDefs());
    folder.point(p);
    DataSet table;
    AccountTable::define(table);
    table.setProvider(&p);
    table.afterPost = [](DataSet &t) { QVERIFY(t.applyUpdates(0)); };
    table.afterDelete = [](DataSet &t) { QVERIFY(t.applyUpdates(0)); };
    QVERIFY2(table.open(), qPrintable(table.lastError()));
    QVERIFY(SortDataSet(table, FieldSiteName));
    QVERIFY(table.setRecNo(1)); // "a", second in the file, moves to the end of the list
    QVERIFY(table.edit() && table.setValue(FieldSiteName, QStringLiteral("z")) && table.post());
    QVERIFY(table.setRecNo(1)); // now "b"
    QVERIFY(table.deleteRecord());
    QVERIFY(table.insert() && table.setValue(FieldAccountID, 7) && table.setValue(FieldSiteName, QStringLiteral("d")) &&
            table.post());

    XmlDataProvider reader(AccountTable::storedFieldDefs());
    folder.point(reader);
    QList<RowValues> rows;
    VERIFY_OK(reader.load(rows));
    QStringList names;
    for (const RowValues &row : rows)
        names << row[AccountTable::SiteName].toString();
    QCOMPARE(names, (QStringList{u"c"_qs, u"z"_qs, u"d"_qs}));
}

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
