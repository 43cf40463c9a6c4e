// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "core/datafile/CsvExport.h"

#include <QTemporaryDir>
#include <QtTest>

class TestCsvExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fields_data();
    void fields();
    void documentStartsWithTheByteOrderMark();
    void separatorFollowsTheDecimalPoint();
    void writeReplacesTheFileWhole();
    void failedWriteLeavesNothing();
};

void TestCsvExport::fields_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QStringList{u"a"_qs, u"b"_qs} << QChar(u',') << QByteArray("\"a\",\"b\"\r\n");
    QTest::newRow("comma") << QStringList{u"1,5"_qs, u"x"_qs} << QChar(u',') << QByteArray("\"1,5\",\"x\"\r\n");
    QTest::newRow("semicolon") << QStringList{u"a;b"_qs, u"c"_qs} << QChar(u';') << QByteArray("\"a;b\";\"c\"\r\n");
    QTest::newRow("quotes") << QStringList{u"say \"hi\""_qs} << QChar(u',') << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("line breaks") << QStringList{u"one\ntwo\r\nthree"_qs, u"z"_qs} << QChar(u',')
                                 << QByteArray("\"one\ntwo\r\nthree\",\"z\"\r\n");
    QTest::newRow("non-ASCII") << QStringList{u"Caf\u00E9 \u6771\u4EAC \U0001F600"_qs} << QChar(u',')
                               << QStringLiteral("\"Caf\u00E9 \u6771\u4EAC \U0001F600\"\r\n").toUtf8();
    QTest::newRow("empty fields") << QStringList{QString(), QString()} << QChar(u',') << QByteArray("\"\",\"\"\r\n");
}

void TestCsvExport::fields()
{
    QFETCH(QStringList, row);
    QFETCH(QChar, separator);
    QFETCH(QByteArray, line);
    QCOMPARE(CsvExport::document({row}, separator), QByteArray("\xEF\xBB\xBF") + line);
}

void TestCsvExport::documentStartsWithTheByteOrderMark()
{
    const QByteArray doc = CsvExport::document({{u"a"_qs}, {u"b"_qs}}, u',');
    QCOMPARE(doc, QByteArray("\xEF\xBB\xBF\"a\"\r\n\"b\"\r\n"));
    QCOMPARE(CsvExport::document({}, u','), QByteArray("\xEF\xBB\xBF"));
}

void TestCsvExport::separatorFollowsTheDecimalPoint()
{
    QCOMPARE(CsvExport::separatorFor(u'.'), QChar(u','));
    QCOMPARE(CsvExport::separatorFor(u','), QChar(u';'));
}

void TestCsvExport::writeReplacesTheFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.csv"_qs);
    QVERIFY(TestSupport::writeFile(path, QByteArray(10000, 'x')));
    const Status written = CsvExport::write(path, {{u"a"_qs}}, u',');
    QVERIFY2(written, qPrintable(written.error));
    QCOMPARE(TestSupport::readFile(path), QByteArray("\xEF\xBB\xBF\"a\"\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"list.csv"_qs});
}

void TestCsvExport::failedWriteLeavesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"missing/list.csv"_qs);
    const Status written = CsvExport::write(path, {{u"a"_qs}}, u',');
    QVERIFY(!written);
    QVERIFY(!written.error.isEmpty());
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
