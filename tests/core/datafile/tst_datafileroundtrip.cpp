// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolderFixture.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"
#include "ProviderChanges.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace AccountSchema;

// Every save loads back, in every encoding a data file can have, whatever the texts hold.
//
// The rule the table follows: a text entering it loses the characters no data file can carry
// (controls other than tab, line feed and carriage return; U+FFFE and U+FFFF; either half of a
// surrogate pair on its own) and is then cut to its field's size at a character boundary. The file
// holds exactly what the table holds; a save never writes what a load cannot read.

namespace {

const std::vector<FieldDef> kFields = AccountTable::storedFieldDefs();

// A code point of one of the kinds that have broken data files: plain, markup, controls and line
// ends, surrogate halves, non-characters, Latin-1, CJK, anything in the first plane or beyond it.
QString randomPiece(QRandomGenerator &rng)
{
    static const QStringList markup = {u"<"_qs,     u">"_qs,    u"&"_qs,    u"\""_qs, u"'"_qs,  u"]]>"_qs, u"&amp;"_qs,
                                       u"&#13;"_qs, u"<!--"_qs, u"\r\n"_qs, u"\r"_qs, u"\n"_qs, u"\t"_qs,  u" "_qs};
    auto fromCode = [](char32_t c) { return QString::fromUcs4(&c, 1); };
    switch (rng.bounded(11)) {
    case 0:
    case 1:
        return QString(QChar(char16_t(0x20 + rng.bounded(0x5F))));
    case 2:
        return markup[rng.bounded(int(markup.size()))];
    case 3: // C0 and C1 controls, DEL
        return QString(QChar(char16_t(rng.bounded(2) ? rng.bounded(0x20) : 0x7F + rng.bounded(0x21))));
    case 4:
        return QString(QChar(char16_t(0xD800 + rng.bounded(0x400)))); // a high half on its own
    case 5:
        return QString(QChar(char16_t(0xDC00 + rng.bounded(0x400)))); // a low half on its own
    case 6: {
        static const char32_t odd[] = {0xFFFE, 0xFFFF, 0xFDD0, 0xFDEF, 0xFFFD, 0x1FFFE, 0x1FFFF, 0x10FFFE, 0x10FFFF};
        return fromCode(odd[rng.bounded(int(std::size(odd)))]);
    }
    case 7:
        return QString(QChar(char16_t(0xA0 + rng.bounded(0x60)))); // Latin-1
    case 8:
        return QString(QChar(char16_t(0x4E00 + rng.bounded(0x5200)))); // CJK
    case 9: {
        char16_t c;
        do
            c = char16_t(rng.bounded(0x10000));
        while (QChar::isSurrogate(c));
        return QString(QChar(c));
    }
    default:
        return fromCode(char32_t(0x10000 + rng.bounded(0x100000)));
    }
}

QString randomText(QRandomGenerator &rng)
{
    // Most texts are short; some are longer than every field.
    const int pieces = rng.bounded(10) == 0 ? 150 + rng.bounded(200) : rng.bounded(16);
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += randomPiece(rng);
    return text;
}

double randomFee(QRandomGenerator &rng)
{
    switch (rng.bounded(3)) {
    case 0:
        return rng.bounded(10000) / 100.0;
    case 1:
        return rng.generateDouble() * std::pow(10.0, rng.bounded(600) - 300) * (rng.bounded(2) ? 1 : -1);
    default: {
        double d;
        do {
            const quint64 bits = rng.generate64();
            std::memcpy(&d, &bits, sizeof d);
        } while (!std::isfinite(d));
        return d;
    }
    }
}

// The stored values of one account, straight from the generator: fields may be null, texts hold
// anything.
RowValues randomAccount(QRandomGenerator &rng)
{
    RowValues row;
    auto maybeNull = [&](QVariant v) { return rng.bounded(8) == 0 ? QVariant() : v; };
    row << QVariant(int(rng.generate()));
    for (int i = 0; i < 5; ++i)
        row << maybeNull(randomText(rng));
    row << maybeNull(randomFee(rng));
    row << maybeNull(QDate(1 + rng.bounded(9999), 1 + rng.bounded(12), 1 + rng.bounded(28)));
    row << maybeNull(rng.bounded(4) ? rng.bounded(3) : int(qint16(rng.generate())));
    return row;
}

// Texts that broke saves before, one per field.
RowValues nastyAccount()
{
    const QChar high(0xD83D), low(0xDE00);
    return {7,
            QString(u"end on a high half "_qs + high),
            QString(QString(low) + u" low half first, and \uFFFE \uFFFF"_qs),
            u"C:\\line\r\nends\rand ]]> &#13; <tags> & \"quotes\""_qs,
            QString(QString(high) + QString(high) + low + u"\U0001F600"_qs),
            QString(QString(79, u'x') + u"\U0001F600"_qs), // the cut falls inside the last character
            0.1 + 0.2,
            QDate(2024, 2, 29),
            2};
}

RowValues asTheTableHoldsIt(const RowValues &row)
{
    RowValues out;
    for (size_t i = 0; i < kFields.size(); ++i)
        out << coerceFieldValue(kFields[i], row.value(qsizetype(i)));
    return out;
}

QString describe(const QVariant &v)
{
    if (!v.isValid())
        return u"null"_qs;
    if (v.typeId() != QMetaType::QString)
        return v.toString();
    QStringList codes;
    for (const QChar c : v.toString())
        codes << QString::number(c.unicode(), 16);
    return codes.join(u' ');
}

// The first difference between two lists of rows, for the failure message.
QString firstDifference(const QList<RowValues> &actual, const QList<RowValues> &expected)
{
    if (actual.size() != expected.size())
        return u"%1 rows instead of %2"_qs.arg(actual.size()).arg(expected.size());
    for (qsizetype r = 0; r < actual.size(); ++r) {
        for (qsizetype f = 0; f < expected[r].size(); ++f) {
            if (actual[r].value(f) != expected[r].value(f)) {
                return u"row %1, %2: [%3] instead of [%4]"_qs.arg(r).arg(
                    kFields[size_t(f)].name, describe(actual[r].value(f)), describe(expected[r].value(f)));
            }
        }
    }
    return {};
}

using Folder = TestSupport::DataFolderFixture;

Status loadRows(const Folder &folder, QList<RowValues> &rows, QByteArray *encoding = nullptr)
{
    XmlDataProvider p(kFields);
    folder.point(p);
    Status loaded = p.load(rows);
    if (encoding)
        *encoding = p.encoding();
    return loaded;
}

} // namespace

class TestDataFileRoundTrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySaveLoadsBack_data();
    void everySaveLoadsBack();
    void onlyTheDeclarationNamesTheEncoding_data();
    void onlyTheDeclarationNamesTheEncoding();
};

void TestDataFileRoundTrip::everySaveLoadsBack_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<bool>("byteOrderMark");
    QTest::addColumn<QByteArray>("kept"); // the encoding of the file after a save
    QTest::newRow("UTF-8") << QByteArray("UTF-8") << false << QByteArray("UTF-8");
    QTest::newRow("UTF-8 with mark") << QByteArray("UTF-8") << true << QByteArray("UTF-8");
    QTest::newRow("utf8") << QByteArray("utf8") << false << QByteArray("utf8");
    QTest::newRow("UTF-16") << QByteArray("UTF-16") << true << QByteArray("UTF-16");
    for (const char *name :
         {"ISO-8859-1", "iso-8859-15", "windows-1252", "windows-1251", "KOI8-R", "US-ASCII", "macintosh", "Shift_JIS",
          "EUC-JP", "ISO-2022-JP", "GB18030", "GBK", "Big5", "EUC-KR", "UTF-7", "SCSU", "CESU-8"})
        QTest::newRow(name) << QByteArray(name) << false << QByteArray(name);
    // Reads as ASCII, but its writer starts every text with a shift sequence the declaration cannot
    // be found behind: saved in UTF-8.
    QTest::newRow("HZ-GB-2312") << QByteArray("HZ-GB-2312") << false << QByteArray("UTF-8");
}

void TestDataFileRoundTrip::everySaveLoadsBack()
{
    QFETCH(QByteArray, encoding);
    QFETCH(bool, byteOrderMark);
    QFETCH(QByteArray, kept);
    Folder folder;
    {
        // A data file without accounts in the encoding, as another tool or an older save left it.
        const QString empty =
            u"<?xml version=\"1.0\" encoding=\"%1\"?>\n<Accounts>\n</Accounts>\n"_qs.arg(QString::fromLatin1(encoding));
        QByteArray bytes = empty.toLatin1();
        if (encoding.startsWith("UTF-16")) {
            QStringEncoder encoder(encoding.constData(), QStringEncoder::Flag::WriteBom);
            bytes = encoder.encode(empty);
        } else if (byteOrderMark) {
            bytes.prepend("\xEF\xBB\xBF");
        }
        QVERIFY(TestSupport::writeFile(folder.data(), bytes));
    }
    QList<RowValues> rows;
    VERIFY_OK(loadRows(folder, rows));
    QVERIFY(rows.isEmpty());

    const quint32 seed = 20240229u + qChecksum(encoding);
    QRandomGenerator rng(seed);
    for (int round = 0; round < 12; ++round) {
        // Through the table, as the program saves: insert, then change one account.
        XmlDataProvider provider(kFields);
        folder.point(provider);
        DataSet table;
        AccountTable::define(table);
        table.setProvider(&provider);
        QVERIFY2(table.open(), qPrintable(table.lastError()));
        const int accounts = round == 0 ? 1 : 4;
        for (int a = 0; a < accounts; ++a) {
            RowValues values = round == 0 ? nastyAccount() : randomAccount(rng);
            if (coerceFieldValue(kFields[1], values[1]).toString().isEmpty())
                values[1] = QString(u"site "_qs + values[1].toString()); // the table requires a site name
            QVERIFY(table.insert());
            for (int f = 0; f < int(kFields.size()); ++f)
                QVERIFY(table.setValue(f, values[f]));
            QVERIFY2(table.post(), qPrintable(table.lastError()));
        }
        QVERIFY(table.setRecNo(1 + rng.bounded(table.recordCount())));
        QVERIFY(table.edit());
        QVERIFY(table.setValue(FieldSiteName, QString(u"changed "_qs + randomText(rng))));
        QVERIFY(table.post());
        QVERIFY2(table.applyUpdates(0), qPrintable(table.lastError()));

        QList<RowValues> expected;
        for (int r = 0; r < table.recordCount(); ++r) {
            RowValues row;
            for (int f = 0; f < int(kFields.size()); ++f)
                row << table.valueAt(r + 1, f);
            expected << row;
        }
        QByteArray loadedEncoding;
        const Status loaded = loadRows(folder, rows, &loadedEncoding);
        QVERIFY2(loaded, qPrintable(u"seed %1, round %2: %3"_qs.arg(seed).arg(round).arg(loaded.error)));
        QCOMPARE(loadedEncoding, kept);
        const QString difference = firstDifference(rows, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(u"seed %1, round %2: %3"_qs.arg(seed).arg(round).arg(difference)));

        // Straight to the provider, past the table: the file still only holds what can be read, by
        // the same rule.
        QList<PendingChange> changes;
        QList<RowValues> raw;
        for (int a = 0; a < 3; ++a) {
            raw << (round == 0 ? nastyAccount() : randomAccount(rng));
            raw.last()[0] = 1000 * round + a; // a modified account is found by its values: no twins
            changes.append({PendingChange::Insert, {}, raw.last()});
            expected << asTheTableHoldsIt(raw.last());
        }
        XmlDataProvider direct(kFields);
        folder.point(direct);
        VERIFY_OK(direct.load(rows));
        VERIFY_OK(applyToFile(direct, changes));
        const Status reloaded = loadRows(folder, rows);
        QVERIFY2(reloaded, qPrintable(u"seed %1, round %2: %3"_qs.arg(seed).arg(round).arg(reloaded.error)));
        const QString rawDifference = firstDifference(rows, expected);
        QVERIFY2(rawDifference.isEmpty(),
                 qPrintable(u"seed %1, round %2: %3"_qs.arg(seed).arg(round).arg(rawDifference)));
    }
}

void TestDataFileRoundTrip::onlyTheDeclarationNamesTheEncoding_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("kept"); // the encoding of the file after a save
    const QByteArray accounts = "<Accounts>\n  <Account><accountID>1</accountID><siteName>Caf\xC3\xA9</siteName>"
                                "</Account>\n</Accounts>\n";
    // Processing instructions whose names start with "xml" are no declaration, whatever they hold:
    // the file is UTF-8.
    QTest::newRow("xml-stylesheet naming an encoding")
        << QByteArray("<?xml-stylesheet href=\"a.xsl\" encoding=\"ISO-8859-1\"?>\n" + accounts) << QByteArray("UTF-8");
    QTest::newRow("xmle naming no valid encoding")
        << QByteArray("<?xmle vrison=\"1.0\" encoding=\"Ut:F-8\"?>\n" + accounts) << QByteArray("UTF-8");
    // A declaration may have any blank after its name.
    const QByteArray latin1Accounts = QByteArray(accounts).replace("\xC3\xA9", "\xE9");
    QTest::newRow("declaration with a tab")
        << QByteArray("<?xml\tversion=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + latin1Accounts)
        << QByteArray("ISO-8859-1");
    QTest::newRow("declaration with a line break")
        << QByteArray("<?xml\nversion=\"1.0\" encoding=\"UTF-8\"?>\n" + accounts) << QByteArray("UTF-8");
}

void TestDataFileRoundTrip::onlyTheDeclarationNamesTheEncoding()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, kept);
    Folder folder;
    QVERIFY(TestSupport::writeFile(folder.data(), file));
    XmlDataProvider provider(kFields);
    folder.point(provider);
    QList<RowValues> rows;
    VERIFY_OK(provider.load(rows));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][1].toString(), u"Caf\u00E9"_qs); // the site name

    VERIFY_OK(provider.applyChanges({}, rows));
    QList<RowValues> again;
    QByteArray encoding;
    VERIFY_OK(loadRows(folder, again, &encoding));
    QCOMPARE(encoding, kept);
    QCOMPARE(again, rows);
}

QTEST_GUILESS_MAIN(TestDataFileRoundTrip)
#include "tst_datafileroundtrip.moc"
