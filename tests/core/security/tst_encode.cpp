// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/security/Encode.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray randomBytes(qsizetype length, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(length, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray everyByteValue(bool descending = false)
{
    QByteArray bytes(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(descending ? 255 - i : i);
    return bytes;
}

} // namespace

class TestEncode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytesRoundTripInFormat_data();
    void bytesRoundTripInFormat();
    void everyLengthRoundTrips();
    void knownVectors_data();
    void knownVectors();
    void earlierPairsDoNotDependOnLaterBytes();
    void arbitraryInputDecodes_data();
    void arbitraryInputDecodes();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void textDecodeToleratesAnyString();
};

void TestEncode::bytesRoundTripInFormat_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one zero byte") << QByteArray(1, '\0');
    QTest::newRow("every byte value") << everyByteValue();
    QTest::newRow("every byte value reversed") << everyByteValue(true);
    QTest::newRow("zeros") << QByteArray(300, '\0');
    QTest::newRow("0xFF") << QByteArray(300, '\xFF');
    QTest::newRow("0x80") << QByteArray(300, '\x80');
    QTest::newRow("255 random") << randomBytes(255, 1);
    QTest::newRow("256 random") << randomBytes(256, 2);
    QTest::newRow("long random") << randomBytes(70000, 3);
}

void TestEncode::bytesRoundTripInFormat()
{
    QFETCH(QByteArray, source);
    const QByteArray scrambled = encodeBytes(source);
    QCOMPARE(scrambled.size(), 2 * source.size());
    for (qsizetype i = 0; i < scrambled.size(); i += 2) {
        const uchar marker = uchar(scrambled[i]);
        const uchar payload = uchar(scrambled[i + 1]);
        if (marker != '2' && marker != '3')
            QFAIL(qPrintable(u"marker 0x%1 at %2"_s.arg(marker, 0, 16).arg(i)));
        if (payload < 0x41 || payload > 0xC0)
            QFAIL(qPrintable(u"payload 0x%1 at %2"_s.arg(payload, 0, 16).arg(i + 1)));
    }
    QCOMPARE(decodeBytes(scrambled), source);
}

void TestEncode::everyLengthRoundTrips()
{
    // Every byte value at every position of short texts, and every length across the 8-bit boundary.
    const QByteArray all = everyByteValue();
    for (qsizetype length = 0; length <= 300; ++length) {
        QByteArray source = randomBytes(length, quint32(length) + 100);
        for (qsizetype i = 0; i < length; ++i) {
            source[i] = all[(i + length) % 256];
            const QByteArray scrambled = encodeBytes(source);
            if (scrambled.size() != 2 * length || decodeBytes(scrambled) != source)
                QFAIL(qPrintable(u"length %1, byte %2"_s.arg(length).arg(i)));
        }
    }
}

void TestEncode::knownVectors_data()
{
    // Pinned outputs: passwords already stored were made with these exact keys, so any change to
    // the initial key, the multiplier or the key schedule must fail here.
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("scrambled");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("password") << "password"_ba
                              << QByteArray("2O3\xA6"
                                            "2\xA1"
                                            "2\x81"
                                            "3E3\x91"
                                            "3\xA4"
                                            "3\x95");
    QTest::newRow("edge bytes") << QByteArray("\x00\x7F\x80\xFF\x00\x00", 6)
                                << QByteArray("3_3\x94"
                                              "3D2b3\xB8"
                                              "2[");
}

void TestEncode::knownVectors()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, scrambled);
    QCOMPARE(encodeBytes(source), scrambled);
    QCOMPARE(decodeBytes(scrambled), source);
}

void TestEncode::earlierPairsDoNotDependOnLaterBytes()
{
    const QByteArray source = randomBytes(64, 7);
    const QByteArray scrambled = encodeBytes(source);
    for (qsizetype i : {0, 1, 31, 63}) {
        for (int delta = 1; delta < 256; ++delta) {
            QByteArray changed = source;
            changed[i] = char(uchar(changed[i]) + delta);
            const QByteArray other = encodeBytes(changed);
            QCOMPARE(other.left(2 * i), scrambled.left(2 * i));
            // The changed byte's own pair differs, so different texts never scramble alike.
            QVERIFY(other.mid(2 * i, 2) != scrambled.mid(2 * i, 2));
        }
    }
}

void TestEncode::arbitraryInputDecodes_data()
{
    // Text edited by hand in the data file: decoding must take anything and give one byte per pair.
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("sameAs");
    QTest::newRow("single character") << "2"_ba << QByteArray();
    QTest::newRow("odd length ignores the last") << "2O3\xA6"
                                                    "2"_ba
                                                 << "2O3\xA6"_ba;
    // Only the marker's lowest bit counts.
    QTest::newRow("other markers") << "xO\x01\xA6"_ba
                                   << "2O3\xA6"_ba;
    // A payload below 0x41 or above 0xC0 wraps around, also across the high bit.
    QTest::newRow("payload below range") << "2@"_ba
                                         << "3\xC0"_ba;
    QTest::newRow("payload above range") << "3\xC1"_ba
                                         << "2A"_ba;
    QTest::newRow("zero bytes") << QByteArray(4, '\0')
                                << "3\x80"
                                   "3\x80"_ba;
}

void TestEncode::arbitraryInputDecodes()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, sameAs);
    const QByteArray decoded = decodeBytes(input);
    QCOMPARE(decoded.size(), input.size() / 2);
    QCOMPARE(decoded, decodeBytes(sameAs));
}

void TestEncode::textsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("scrambled"); // empty: not pinned
    QTest::newRow("empty") << QString() << QString();
    // The bytes of a text are its local 8-bit encoding (UTF-8 here): two bytes for the ü.
    QTest::newRow("non-ascii") << u"Zürich"_s
                               << QString::fromLatin1("3\xB9"
                                                      "3z3\xC0"
                                                      "3A3\xB8"
                                                      "2U2~");
    QTest::newRow("zero character") << u"a\0b"_s << QString();
    QTest::newRow("beyond 255 bytes") << QString(400, u'ü') << QString();
    QTest::newRow("symbols") << u"p@ss w0rd!€東京"_s << QString();
}

void TestEncode::textsRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(QString, scrambled);
    const QString result = EncodeStr(text);
    QCOMPARE(result.size(), 2 * text.toUtf8().size());
    if (!scrambled.isEmpty())
        QCOMPARE(result, scrambled);
    // One Latin-1 character per scrambled byte, none of them a blank or control character.
    for (const QChar c : result)
        QVERIFY(c.unicode() >= 0x32 && c.unicode() <= 0xC0);
    QCOMPARE(DecodeStr(result), text);
}

void TestEncode::textDecodeToleratesAnyString()
{
    QCOMPARE(DecodeStr(QString()), QString());
    QCOMPARE(DecodeStr(u"3"_s), QString());
    // A character beyond Latin-1 cannot come from EncodeStr; it reads as '?'.
    QCOMPARE(DecodeStr(u"2€2A"_s), DecodeStr(u"2?2A"_s));
}

QTEST_GUILESS_MAIN(TestEncode)
#include "tst_encode.moc"
