// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"

#include <QtTest>

using namespace AccountSchema;

namespace {

// Keeps rows in memory and records every batch of changes handed to it.
class MemoryProvider : public DataProvider
{
public:
    QList<RowValues> rows;
    QList<QList<PendingChange>> written;
    bool failWrites = false;

    Status load(QList<RowValues> &out) override
    {
        out = rows;
        return {};
    }
    Status applyChanges(const QList<PendingChange> &changes, const QList<RowValues> &tableRows) override
    {
        if (failWrites)
            return Status::failure(QStringLiteral("disk full"));
        written.append(changes);
        // The rows the table hands over are what its changes make of the rows it last wrote.
        QList<RowValues> replayed = rows;
        for (const PendingChange &c : changes) {
            if (c.kind == PendingChange::Insert)
                replayed.append(c.newValues);
            else if (c.kind == PendingChange::Modify)
                replayed[replayed.indexOf(c.oldValues)] = c.newValues;
            else
                replayed.removeAt(replayed.indexOf(c.oldValues));
        }
        if (replayed != tableRows)
            return Status::failure(QStringLiteral("the rows do not match the changes"));
        rows = tableRows;
        return {};
    }
};

RowValues account(int id, const QString &name, int active = StateActive, double fee = 0, const QString &path = {})
{
    return {id, name, QString(), path, QString(), QString(), fee, QDate(2020, 1, 1), active};
}

// An account table as the main window sets it up, with a file counter that reads the count from the
// save path ("count:N").
struct Fixture
{
    MemoryProvider provider;
    DataSet table;

    explicit Fixture(const QList<RowValues> &rows = {})
    {
        provider.rows = rows;
        AccountTable::define(table);
        table.setProvider(&provider);
        table.onNewRecord = [](DataSet &t) { AccountTable::initNewRecord(t); };
        table.onCalcFields = [](DataSet &t) {
            AccountTable::calcFields(t, [](const QString &path, qint32) {
                return path.startsWith(u"count:") ? path.mid(6).toInt() : 0;
            });
        };
        table.afterPost = [](DataSet &t) { t.applyUpdates(0); };
        table.afterDelete = [](DataSet &t) { t.applyUpdates(0); };
    }
    bool addAccount(const QString &name, int active = StateActive, double fee = 0)
    {
        return table.insert() && table.setValue(FieldSiteName, name) && table.setValue(FieldActive, active) &&
               table.setValue(FieldMonthlyFee, fee) && table.post();
    }
    QStringList names()
    {
        QStringList out;
        for (int r = 1; r <= table.recordCount(); ++r)
            out << table.valueAt(r, table.fieldIndex(FieldSiteName)).toString();
        return out;
    }
    int agg(const QString &name) { return table.aggregate(name).toInt(); }
};

} // namespace

class TestDataSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newRecordDefaultsAndIdentifiers();
    void requiredSiteNameIsRefused_data();
    void requiredSiteNameIsRefused();
    void textsAreCutToTheirFieldSize();
    void aggregatesOverEmptyAndMixedTables();
    void computedFieldsFollowEveryPost();
    void identifierOfDeletedLastAccountComesBack();
    void editOnEmptyTableInserts();
    void sortOrdersKeepCurrentRecordAndFollowPosts();
    void caseDifferencesKeepAFixedOrder();
    void numbersAndDatesSortByValue();
    void emptyValuesSortLastBothWays_data();
    void emptyValuesSortLastBothWays();
    void definingAnOrderNeedsAnOpenTable();
    void activeOrderSurvivesReopen();
    void bookmarkFindsTheAccountAfterReload();
    void everyPostAndDeleteIsWrittenOnce();
    void failedWriteKeepsChangesPending();
    void unmodifiedEditWritesNothing();
    void valuesTakeTheFormOfTheirField_data();
    void valuesTakeTheFormOfTheirField();
    void feeRuleRoundsEveryFee_data();
    void feeRuleRoundsEveryFee();
};

void TestDataSet::newRecordDefaultsAndIdentifiers()
{
    Fixture f;
    QVERIFY(f.table.open());
    QVERIFY(f.table.insert());
    QCOMPARE(f.table.value(FieldAccountID).toInt(), 0); // first account of an empty table
    QCOMPARE(f.table.value(FieldAddedDate).toDate(), QDate::currentDate());
    QCOMPARE(f.table.value(FieldMonthlyFee).toDouble(), 0.0);
    QCOMPARE(f.table.value(FieldActive).toInt(), 1);
    QVERIFY(!f.table.isModified());
    f.table.setValue(FieldSiteName, QStringLiteral("First"));
    QVERIFY(f.table.post());
    QVERIFY(f.addAccount(QStringLiteral("Second")));
    QCOMPARE(f.table.value(FieldAccountID).toInt(), 1);
}

void TestDataSet::requiredSiteNameIsRefused_data()
{
    QTest::addColumn<QVariant>("name");
    QTest::newRow("null") << QVariant();
    QTest::newRow("empty") << QVariant(QString());
}

void TestDataSet::requiredSiteNameIsRefused()
{
    QFETCH(QVariant, name);
    Fixture f;
    QVERIFY(f.table.open());
    QVERIFY(f.table.insert());
    f.table.setValue(FieldSiteName, name);
    QVERIFY(!f.table.post());
    QCOMPARE(f.table.lastError(), QStringLiteral("Field 'siteName' must have a value"));
    QCOMPARE(f.table.state(), DataSet::Insert);
    QCOMPARE(f.table.recordCount(), 0);
    QVERIFY(f.provider.written.isEmpty());
}

void TestDataSet::textsAreCutToTheirFieldSize()
{
    Fixture f;
    QVERIFY(f.table.open());
    QVERIFY(f.table.insert());
    f.table.setValue(FieldSiteName, QString(300, u'x'));
    f.table.setValue(FieldUsername, QString(QString(100, u'u') + u"  "));
    f.table.setValue(FieldSiteUrl, QStringLiteral("  padded  "));
    QVERIFY(f.table.post());
    QCOMPARE(f.table.value(FieldSiteName).toString().size(), 260);
    QCOMPARE(f.table.value(FieldUsername).toString(), QString(80, u'u'));
    QCOMPARE(f.table.value(FieldSiteUrl).toString(), QStringLiteral("  padded  ")); // never trimmed
}

void TestDataSet::aggregatesOverEmptyAndMixedTables()
{
    Fixture empty;
    QVERIFY(empty.table.open());
    for (const QString &name : {AggMaxAccountID, AggSumTotalFiles, AggSumMonthlyFee, AggMaxTotalFiles})
        QVERIFY2(empty.table.aggregate(name).isNull(), qPrintable(name));
    QCOMPARE(empty.agg(AggCountActive), 0);
    QCOMPARE(empty.agg(AggCountInactive), 0);

    Fixture f({account(3, QStringLiteral("A"), StateActive, 9.99, QStringLiteral("count:600")),
               account(7, QStringLiteral("B"), StateInactive, 5, QStringLiteral("count:700")),
               account(5, QStringLiteral("C"), StateNotApplicable, 7.5),
               account(1, QStringLiteral("D"), StateActive, 2.5),
               account(2, QStringLiteral("E"), StateActive, 3.5)});
    QVERIFY(f.table.open());
    QCOMPARE(f.agg(AggMaxAccountID), 7);
    QCOMPARE(f.agg(AggSumTotalFiles), 1300);
    QCOMPARE(f.agg(AggMaxTotalFiles), 700);
    QCOMPARE(f.agg(AggSumMonthlyFee), 10 + 2 + 4); // whole units, halves to even; inactive and N/A left out
    QCOMPARE(f.agg(AggCountActive), 3);
    QCOMPARE(f.agg(AggCountInactive), 1);
}

void TestDataSet::computedFieldsFollowEveryPost()
{
    Fixture f({account(0, QStringLiteral("A"), StateActive, 9.95), account(1, QStringLiteral("B"), StateActive, 10.49)});
    QVERIFY(f.table.open());
    QCOMPARE(f.agg(AggSumMonthlyFee), 20);
    QVERIFY(f.table.edit());
    f.table.setValue(FieldActive, int(StateNotApplicable));
    f.table.setValue(FieldSavePath, QStringLiteral("count:2147483647"));
    QVERIFY(f.table.post());
    QCOMPARE(f.table.value(FieldIsActive), QVariant());
    QCOMPARE(f.agg(AggSumMonthlyFee), 10);
    QCOMPARE(f.agg(AggCountActive), 1);
    QCOMPARE(f.agg(AggMaxTotalFiles), 2147483647);
}

void TestDataSet::identifierOfDeletedLastAccountComesBack()
{
    Fixture f({account(0, QStringLiteral("A")), account(1, QStringLiteral("B")), account(2, QStringLiteral("C"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.setRecNo(3));
    QVERIFY(f.table.deleteRecord());
    QVERIFY(f.addAccount(QStringLiteral("D")));
    QCOMPARE(f.table.value(FieldAccountID).toInt(), 2);
}

void TestDataSet::editOnEmptyTableInserts()
{
    Fixture f;
    QVERIFY(f.table.open());
    QVERIFY(f.table.edit());
    QCOMPARE(f.table.state(), DataSet::Insert);
    QCOMPARE(f.table.value(FieldAccountID).toInt(), 0);
}

void TestDataSet::sortOrdersKeepCurrentRecordAndFollowPosts()
{
    Fixture f({account(0, QStringLiteral("delta")), account(1, QStringLiteral("alpha")),
               account(2, QStringLiteral("charlie")), account(3, QStringLiteral("bravo"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.setRecNo(3)); // charlie
    QVERIFY(f.table.addIndex({QStringLiteral("siteName__IdxA"), FieldSiteName, false, false}));
    QVERIFY(f.table.setIndexName(QStringLiteral("siteName__IdxA")));
    QCOMPARE(f.names(), (QStringList{u"alpha"_qs, u"bravo"_qs, u"charlie"_qs, u"delta"_qs}));
    QCOMPARE(f.table.recNo(), 3);
    QCOMPARE(f.table.value(FieldSiteName).toString(), QStringLiteral("charlie"));

    // A renamed account moves to its new place and stays current; a new one lands in order.
    QVERIFY(f.table.edit());
    f.table.setValue(FieldSiteName, QStringLiteral("aardvark"));
    QVERIFY(f.table.post());
    QCOMPARE(f.table.recNo(), 1);
    QVERIFY(f.addAccount(QStringLiteral("beta")));
    QCOMPARE(f.names(), (QStringList{u"aardvark"_qs, u"alpha"_qs, u"beta"_qs, u"bravo"_qs, u"delta"_qs}));
    QCOMPARE(f.table.recNo(), 3);

    QVERIFY(f.table.addIndex({QStringLiteral("siteName__IdxD"), FieldSiteName, true, false}));
    QVERIFY(f.table.setIndexName(QStringLiteral("siteName__IdxD")));
    QCOMPARE(f.names(), (QStringList{u"delta"_qs, u"bravo"_qs, u"beta"_qs, u"alpha"_qs, u"aardvark"_qs}));
    QCOMPARE(f.table.value(FieldSiteName).toString(), QStringLiteral("beta"));
    // Back to the first order: it was kept up to date meanwhile.
    QVERIFY(f.table.setIndexName(QStringLiteral("siteName__IdxA")));
    QCOMPARE(f.names().first(), QStringLiteral("aardvark"));
    QVERIFY(f.table.setIndexName(QString()));
    QCOMPARE(f.names(), (QStringList{u"delta"_qs, u"alpha"_qs, u"aardvark"_qs, u"bravo"_qs, u"beta"_qs}));
}

void TestDataSet::caseDifferencesKeepAFixedOrder()
{
    Fixture f({account(0, QStringLiteral("site")), account(1, QStringLiteral("Site")), account(2, QStringLiteral("SITE")),
               account(3, QStringLiteral("Other"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.addIndex({QStringLiteral("a"), FieldSiteName, false, false}));
    QVERIFY(f.table.addIndex({QStringLiteral("d"), FieldSiteName, true, false}));
    QVERIFY(f.table.setIndexName(QStringLiteral("a")));
    const QStringList up = f.names();
    QVERIFY(f.table.setIndexName(QStringLiteral("d")));
    QStringList down = f.names();
    std::reverse(down.begin(), down.end());
    QCOMPARE(down, up);
    QCOMPARE(up.first(), QStringLiteral("Other"));
    // Case is counted: the three spellings are not equal, so the order does not depend on entry order.
    QCOMPARE(QSet<QString>(up.begin() + 1, up.end()).size(), 3);
}

void TestDataSet::numbersAndDatesSortByValue()
{
    QList<RowValues> rows = {account(0, QStringLiteral("A"), StateNotApplicable, 100),
                             account(1, QStringLiteral("B"), StateInactive, 9.5),
                             account(2, QStringLiteral("C"), StateActive, 20)};
    rows[0][7] = QDate(2021, 3, 1);
    rows[1][7] = QDate(2019, 12, 31);
    rows[2][7] = QDate(2020, 6, 15);
    rows[0][3] = QStringLiteral("count:2147483647");
    rows[1][3] = QStringLiteral("count:5");
    rows[2][3] = QStringLiteral("count:1000");
    Fixture f(rows);
    QVERIFY(f.table.open());
    const QList<QPair<QString, QStringList>> cases = {
        {FieldMonthlyFee, {u"B"_qs, u"C"_qs, u"A"_qs}},
        {FieldAddedDate, {u"B"_qs, u"C"_qs, u"A"_qs}},
        {FieldActive, {u"B"_qs, u"C"_qs, u"A"_qs}},
        {FieldTotalFiles, {u"B"_qs, u"C"_qs, u"A"_qs}}, // a capped count sorts above every real one
    };
    for (const auto &c : cases) {
        QVERIFY(f.table.addIndex({QString(c.first + u"__IdxA"), c.first, false, false}));
        QVERIFY(f.table.setIndexName(QString(c.first + u"__IdxA")));
        QCOMPARE(f.names(), c.second);
    }
}

void TestDataSet::emptyValuesSortLastBothWays_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QList<int>>("ascending");
    QTest::addColumn<QList<int>>("descending");
    // Accounts 1 and 3 have no value in any of these fields; they stay last, in the order they were
    // loaded in, whichever way the column is ordered.
    QTest::newRow("monthly fee") << FieldMonthlyFee << QList<int>{2, 0, 1, 3} << QList<int>{0, 2, 1, 3};
    QTest::newRow("date added") << FieldAddedDate << QList<int>{0, 2, 1, 3} << QList<int>{2, 0, 1, 3};
    QTest::newRow("active") << FieldActive << QList<int>{2, 0, 1, 3} << QList<int>{0, 2, 1, 3};
    QTest::newRow("site name") << FieldSiteName << QList<int>{0, 2, 1, 3} << QList<int>{2, 0, 1, 3};
}

void TestDataSet::emptyValuesSortLastBothWays()
{
    QFETCH(QString, field);
    QFETCH(QList<int>, ascending);
    QFETCH(QList<int>, descending);
    QList<RowValues> rows = {
        account(0, QStringLiteral("a"), StateNotApplicable, 5), account(1, QStringLiteral("x"), StateActive, 0),
        account(2, QStringLiteral("b"), StateInactive, 1), account(3, QStringLiteral("x"), StateActive, 0)};
    rows[0][7] = QDate(2020, 1, 2);
    rows[2][7] = QDate(2021, 1, 1);
    for (int empty : {1, 3}) {
        for (int column : {1, 6, 7, 8})
            rows[empty][column] = QVariant();
    }
    Fixture f(rows);
    QVERIFY(f.table.open());
    const int id = f.table.fieldIndex(FieldAccountID);
    auto ids = [&] {
        QList<int> out;
        for (int r = 1; r <= f.table.recordCount(); ++r)
            out << f.table.valueAt(r, id).toInt();
        return out;
    };
    QVERIFY(f.table.addIndex({field + AscendingIndexSuffix, field, false, false}));
    QVERIFY(f.table.addIndex({field + DescendingIndexSuffix, field, true, false}));
    QVERIFY(f.table.setIndexName(field + AscendingIndexSuffix));
    QCOMPARE(ids(), ascending);
    QVERIFY(f.table.setIndexName(field + DescendingIndexSuffix));
    QCOMPARE(ids(), descending);
}

void TestDataSet::definingAnOrderNeedsAnOpenTable()
{
    Fixture f;
    QVERIFY(!f.table.addIndex({QStringLiteral("x"), FieldSiteName, false, false}));
    QCOMPARE(f.table.lastError(), QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TestDataSet::activeOrderSurvivesReopen()
{
    Fixture f({account(0, QStringLiteral("b")), account(1, QStringLiteral("a"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.addIndex({QStringLiteral("siteName__IdxA"), FieldSiteName, false, false}));
    QVERIFY(f.table.setIndexName(QStringLiteral("siteName__IdxA")));
    f.table.close();
    QVERIFY(f.table.open());
    QCOMPARE(f.table.indexName(), QStringLiteral("siteName__IdxA"));
    QCOMPARE(f.names(), (QStringList{u"a"_qs, u"b"_qs}));
}

void TestDataSet::bookmarkFindsTheAccountAfterReload()
{
    Fixture f({account(0, QStringLiteral("a")), account(1, QStringLiteral("b")), account(2, QStringLiteral("c"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.setRecNo(2));
    const DataSet::Bookmark mark = f.table.bookmark();
    f.table.close();
    f.provider.rows.prepend(account(9, QStringLiteral("new")));
    QVERIFY(f.table.open());
    QVERIFY(f.table.gotoBookmark(mark));
    QCOMPARE(f.table.value(FieldAccountID).toInt(), 1);
    // A record that is gone leaves the first one current.
    f.table.close();
    f.provider.rows.removeAt(2);
    QVERIFY(f.table.open());
    QVERIFY(!f.table.gotoBookmark(mark));
    QCOMPARE(f.table.recNo(), 1);
}

void TestDataSet::everyPostAndDeleteIsWrittenOnce()
{
    Fixture f({account(0, QStringLiteral("a"))});
    QVERIFY(f.table.open());
    QVERIFY(f.addAccount(QStringLiteral("b")));
    QCOMPARE(f.provider.written.size(), 1);
    QCOMPARE(f.provider.written[0].size(), 1);
    QCOMPARE(f.provider.written[0][0].kind, PendingChange::Insert);
    QVERIFY(f.table.edit());
    f.table.setValue(FieldSiteName, QStringLiteral("bb"));
    QVERIFY(f.table.post());
    QVERIFY(f.table.deleteRecord());
    QCOMPARE(f.provider.written.size(), 3);
    QCOMPARE(f.provider.rows, (QList<RowValues>{account(0, QStringLiteral("a"))}));
    QVERIFY(!f.table.hasPendingChanges());
}

void TestDataSet::failedWriteKeepsChangesPending()
{
    Fixture f;
    QVERIFY(f.table.open());
    f.provider.failWrites = true;
    QVERIFY(f.addAccount(QStringLiteral("a")));
    QVERIFY(f.table.hasPendingChanges());
    QVERIFY(!f.table.applyUpdates(0));
    QCOMPARE(f.table.lastError(), QStringLiteral("disk full"));
    f.provider.failWrites = false;
    QVERIFY(f.table.applyUpdates(0));
    QVERIFY(!f.table.hasPendingChanges());
    QCOMPARE(f.provider.rows.size(), 1);
}

void TestDataSet::unmodifiedEditWritesNothing()
{
    Fixture f({account(0, QStringLiteral("a"))});
    QVERIFY(f.table.open());
    QVERIFY(f.table.edit());
    QVERIFY(f.table.applyUpdates(0)); // the unmodified record is cancelled, nothing is pending
    QCOMPARE(f.table.state(), DataSet::Browse);
    QVERIFY(f.provider.written.isEmpty());
}

void TestDataSet::valuesTakeTheFormOfTheirField_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected");
    const int Integer = int(FieldType::Integer), SmallInt = int(FieldType::SmallInt), Float = int(FieldType::Float);
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();

    // A number that is no number has no value; numbers beyond a field's range are held at its ends
    // (converting them would be undefined) instead of wrapping round to some other value.
    QTest::newRow("fee NaN") << Float << 0 << QVariant(nan) << QVariant();
    QTest::newRow("fee infinite") << Float << 0 << QVariant(inf) << QVariant();
    QTest::newRow("fee -infinite") << Float << 0 << QVariant(-inf) << QVariant();
    QTest::newRow("fee huge") << Float << 0 << QVariant(1e300) << QVariant(1e300);
    QTest::newRow("64-bit beyond 32") << Integer << 0 << QVariant(qint64(5'000'000'000)) << QVariant(2147483647);
    QTest::newRow("64-bit below 32") << Integer << 0 << QVariant(qint64(-5'000'000'000)) << QVariant(-2147483647 - 1);
    QTest::newRow("64-bit within") << Integer << 0 << QVariant(qint64(-7)) << QVariant(-7);
    QTest::newRow("float beyond integer") << Integer << 0 << QVariant(1e300) << QVariant(2147483647);
    QTest::newRow("float below integer") << Integer << 0 << QVariant(-inf) << QVariant(-2147483647 - 1);
    QTest::newRow("float NaN as integer") << Integer << 0 << QVariant(nan) << QVariant();
    QTest::newRow("float within integer") << Integer << 0 << QVariant(41.6) << QVariant(42);
    QTest::newRow("small beyond 16") << SmallInt << 0 << QVariant(70000) << QVariant(32767);
    QTest::newRow("small float below 16") << SmallInt << 0 << QVariant(-1e300) << QVariant(-32768);

    // A text is cut to its field's size at a character boundary, never between the two halves of
    // a character beyond the first plane.
    const int String = int(FieldType::String);
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::newRow("cut before a pair") << String << 4 << QVariant(u"abc"_qs + emoji) << QVariant(u"abc"_qs);
    QTest::newRow("pair fits") << String << 4 << QVariant(u"ab"_qs + emoji) << QVariant(u"ab"_qs + emoji);
    QTest::newRow("cut after a pair") << String << 3 << QVariant(emoji + u"xy"_qs) << QVariant(emoji + u"x"_qs);
    // Characters no data file can carry are dropped when a text enters the table, so what is in the
    // table is what a save keeps.
    const QChar high(0xD83D), low(0xDE00);
    QTest::newRow("lone high half") << String << 0 << QVariant(u"a"_qs + high + u"b"_qs) << QVariant(u"ab"_qs);
    QTest::newRow("lone low half") << String << 0 << QVariant(u"a"_qs + low + u"b"_qs) << QVariant(u"ab"_qs);
    QTest::newRow("high half at the end") << String << 0 << QVariant(u"ab"_qs + high) << QVariant(u"ab"_qs);
    QTest::newRow("halves swapped") << String << 0 << QVariant(QString(low) + high) << QVariant(QString(u""_qs));
    QTest::newRow("not characters") << String << 0 << QVariant(u"a\uFFFEb\uFFFFc"_qs) << QVariant(u"abc"_qs);
    const QChar controls[] = {u'a', QChar(0x01), QChar(0x1F), QChar(0), QChar(0x0B), u'b'};
    QTest::newRow("controls") << String << 0 << QVariant(QString(controls, 6)) << QVariant(u"ab"_qs);
    QTest::newRow("line ends and tabs kept")
        << String << 0 << QVariant(u"a\r\n\tb\u0085\uFDD0"_qs) << QVariant(u"a\r\n\tb\u0085\uFDD0"_qs);
    QTest::newRow("dropped before the cut") << String << 3 << QVariant(u"\uFFFEabcd"_qs) << QVariant(u"abc"_qs);
}

void TestDataSet::valuesTakeTheFormOfTheirField()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);
    const FieldDef def{QStringLiteral("f"), FieldType(type), size, {}, false, false};
    const QVariant result = coerceFieldValue(def, value);
    QCOMPARE(result.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(result.typeId(), expected.typeId());
        QCOMPARE(result, expected);
    }
}

void TestDataSet::feeRuleRoundsEveryFee_data()
{
    QTest::addColumn<double>("fee");
    QTest::addColumn<qint64>("rounded");
    QTest::addColumn<int>("actual"); // actualMonthlyFee, a 32-bit field
    const qint64 max64 = std::numeric_limits<qint64>::max(), min64 = std::numeric_limits<qint64>::min();
    QTest::newRow("9.99") << 9.99 << qint64(10) << 10;
    QTest::newRow("half to even down") << 2.5 << qint64(2) << 2;
    QTest::newRow("half to even up") << 3.5 << qint64(4) << 4;
    QTest::newRow("negative half") << -2.5 << qint64(-2) << -2;
    QTest::newRow("beyond 32 bits") << 3e9 << qint64(3'000'000'000) << 2147483647;
    QTest::newRow("1e300") << 1e300 << max64 << 2147483647;
    QTest::newRow("-1e300") << -1e300 << min64 << -2147483647 - 1;
    QTest::newRow("2^63") << 9223372036854775808.0 << max64 << 2147483647;
    QTest::newRow("-2^63") << -9223372036854775808.0 << min64 << -2147483647 - 1;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << max64 << 0; // no fee in the table
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << qint64(0) << 0;
}

// Rounding a fee never converts a number the integer cannot hold (undefined behaviour that gave
// any value at all); the total of the active fees stays within its field.
void TestDataSet::feeRuleRoundsEveryFee()
{
    QFETCH(double, fee);
    QFETCH(qint64, rounded);
    QFETCH(int, actual);
    QCOMPARE(AccountTable::roundedFee(fee), rounded);
    Fixture f({account(0, QStringLiteral("a"), StateActive, fee)});
    QVERIFY(f.table.open());
    QCOMPARE(f.table.value(FieldActualMonthlyFee), QVariant(actual));
    QCOMPARE(f.table.aggregate(AggSumMonthlyFee).toLongLong(), qint64(actual));
}

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
