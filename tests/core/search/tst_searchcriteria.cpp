// SPDX-License-Identifier: GPL-3.0-or-later
// The criteria classes, their defaults, Assign, and every matching rule but the content
// search (tst_phrasesearch.cpp).
#include "TestSupport.h"
#include "core/search/FindFile.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <ctime>

Q_DECLARE_METATYPE(PathStyle)

namespace {
constexpr qint64 kTicksPerDay = 864000000000LL;
constexpr qint64 kUnixEpochInTicks = 116444736000000000LL;

Platform::FileTime fileTimeOf(const QDateTime &utc)
{
    return kUnixEpochInTicks + utc.toMSecsSinceEpoch() * 10000;
}

// A date-time value made of a date and a time (days since 1899-12-30 + fraction).
TDateTime dateTime(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d))) + (h * 3600 + min * 60 + s) / 86400.0;
}
TDateTime timeOnly(int h, int min = 0)
{
    return (h * 3600 + min * 60) / 86400.0;
}
} // namespace

class TestSearchCriteria : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void fileCriteriaDefaultsAndAssign();
    void fileCriteriaListsAreCopies();
    void attributeDefaults();
    void attributeSetTranslation_data();
    void attributeSetTranslation();
    void attributeMatches_data();
    void attributeMatches();
    void assignFromAnotherClassRaises();
    void searchCriteriaAssignCopiesIntoParts();
    void contentSetters();
    void contentAssignFollowsTheFlag();
    void contentPhraseIsLocalBytes();

    void sizeMatches_data();
    void sizeMatches();

    void dateTimeInRange_data();
    void dateTimeInRange();
    void fileTimeToLocalDateTime();
    void dateTimeCriteriaMatches();

    void appendPathDelimiter_data();
    void appendPathDelimiter();
    void matchesWildcard_data();
    void matchesWildcard();
    void matchesFileMask_data();
    void matchesFileMask();
    void matchesPathMask_data();
    void matchesPathMask();
};

void TestSearchCriteria::initTestCase()
{
    // The time tests compute their expectations in UTC.
    qputenv("TZ", "UTC");
    tzset();
}

void TestSearchCriteria::fileCriteriaDefaultsAndAssign()
{
    TFileCriteria a;
    QCOMPARE(a.FileName(), QString());
    QCOMPARE(a.Location(), QString());
    QVERIFY(a.Included().isEmpty());
    QVERIFY(a.Excluded().isEmpty());
    QCOMPARE(a.Subfolders(), true);
    QCOMPARE(a.MinLevel(), quint16(0));
    QCOMPARE(a.MaxLevel(), quint16(0));

    a.setFileName(QStringLiteral("*.htm;*.html"));
    a.setLocation(QStringLiteral("/a;>/b"));
    a.Included() << QStringLiteral("/c/*.txt");
    a.Excluded() << QStringLiteral("/temp/");
    a.setSubfolders(false);
    a.setMinLevel(2);
    a.setMaxLevel(65535);
    TFileCriteria b;
    b.Assign(a);
    QCOMPARE(b.FileName(), a.FileName());
    QCOMPARE(b.Location(), a.Location());
    QCOMPARE(b.Included(), a.Included());
    QCOMPARE(b.Excluded(), a.Excluded());
    QCOMPARE(b.Subfolders(), false);
    QCOMPARE(b.MinLevel(), quint16(2));
    QCOMPARE(b.MaxLevel(), quint16(65535));
}

void TestSearchCriteria::fileCriteriaListsAreCopies()
{
    QStringList mine{QStringLiteral("x")};
    TFileCriteria a;
    a.setExcluded(mine);
    mine << QStringLiteral("y");
    QCOMPARE(a.Excluded(), QStringList{QStringLiteral("x")});
    TFileCriteria b;
    b.Assign(a);
    a.Excluded() << QStringLiteral("z");
    QCOMPARE(b.Excluded(), QStringList{QStringLiteral("x")});
}

void TestSearchCriteria::attributeDefaults()
{
    TAttributeCriteria a;
    QCOMPARE(a.AttributeBits(), quint32(0x27));
    QCOMPARE(a.Attributes().toInt(), 15);
    QVERIFY((a.Attributes() == TFileAttributes{ffArchive, ffReadonly, ffHidden, ffSystem}));
    QCOMPARE(a.ExactMatch(), false);
}

void TestSearchCriteria::attributeSetTranslation_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<quint32>("bits");
    QTest::newRow("archive") << 1 << quint32(0x20);
    QTest::newRow("readonly") << 2 << quint32(0x01);
    QTest::newRow("hidden") << 4 << quint32(0x02);
    QTest::newRow("system") << 8 << quint32(0x04);
    QTest::newRow("directory") << 16 << quint32(0x10);
    QTest::newRow("all") << 31 << quint32(0x37);
    QTest::newRow("none") << 0 << quint32(0);
}

void TestSearchCriteria::attributeSetTranslation()
{
    QFETCH(int, set);
    QFETCH(quint32, bits);
    TAttributeCriteria a;
    a.setAttributes(TFileAttributes::fromInt(set));
    QCOMPARE(a.AttributeBits(), bits);
    QCOMPARE(a.Attributes().toInt(), set);
}

void TestSearchCriteria::attributeMatches_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<quint32>("attributes");
    QTest::addColumn<bool>("expected");
    const int defaults = 15;
    QTest::newRow("default: archive file") << defaults << false << quint32(0x20) << true;
    QTest::newRow("default: normal file (0x80, none of the five)") << defaults << false << quint32(0x80) << true;
    QTest::newRow("default: no bits at all") << defaults << false << quint32(0) << true;
    QTest::newRow("default: hidden system read-only archive") << defaults << false << quint32(0x27) << true;
    QTest::newRow("default: directory") << defaults << false << quint32(0x10) << false;
    QTest::newRow("default: hidden directory") << defaults << false << quint32(0x12) << false;
    QTest::newRow("default: link bit ignored") << defaults << false << quint32(0x420) << true;
    QTest::newRow("no read-only: read-only file") << (defaults & ~2) << false << quint32(0x21) << false;
    QTest::newRow("no hidden: hidden file") << (defaults & ~4) << false << quint32(0x02) << false;
    QTest::newRow("with directory: directory") << 31 << false << quint32(0x10) << true;
    QTest::newRow("exact archive: archive") << 1 << true << quint32(0x20) << true;
    QTest::newRow("exact archive: archive + read-only") << 1 << true << quint32(0x21) << false;
    QTest::newRow("exact archive: nothing") << 1 << true << quint32(0x80) << false;
    QTest::newRow("exact archive: archive + other bits") << 1 << true << quint32(0x2820) << true;
    QTest::newRow("exact empty: normal") << 0 << true << quint32(0x80) << true;
    QTest::newRow("empty set: normal file passes") << 0 << false << quint32(0x80) << true;
    QTest::newRow("empty set: archive fails") << 0 << false << quint32(0x20) << false;
}

void TestSearchCriteria::attributeMatches()
{
    QFETCH(int, set);
    QFETCH(bool, exact);
    QFETCH(quint32, attributes);
    QFETCH(bool, expected);
    TAttributeCriteria a;
    a.setAttributes(TFileAttributes::fromInt(set));
    a.setExactMatch(exact);
    QCOMPARE(a.Matches(attributes), expected);
}

void TestSearchCriteria::assignFromAnotherClassRaises()
{
    TFileCriteria files;
    files.setFileName(QStringLiteral("keep"));
    TSizeCriteria size;
    try {
        files.Assign(size);
        QFAIL("no error");
    } catch (const EConvertError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot assign a TSizeCriteria to a TFileCriteria"));
    }
    QCOMPARE(files.FileName(), QStringLiteral("keep"));
    try {
        files.Assign(static_cast<const TPersistent *>(nullptr));
        QFAIL("no error");
    } catch (const EConvertError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot assign a nil to a TFileCriteria"));
    }
    TSearchCriteria all;
    TContentCriteria content;
    QVERIFY_THROWS_EXCEPTION(EConvertError, all.Assign(content));
    QVERIFY_THROWS_EXCEPTION(EConvertError, content.Assign(all));
    QVERIFY_THROWS_EXCEPTION(EConvertError, TAttributeCriteria().Assign(TDateTimeCriteria()));
    QVERIFY_THROWS_EXCEPTION(EConvertError, TDateTimeCriteria().Assign(TAttributeCriteria()));
    QVERIFY_THROWS_EXCEPTION(EConvertError, TSizeCriteria().Assign(TContentCriteria()));
}

void TestSearchCriteria::searchCriteriaAssignCopiesIntoParts()
{
    TSearchCriteria a;
    a.Files()->setFileName(QStringLiteral("*.txt"));
    a.Attribute()->setExactMatch(true);
    a.TimeStamp()->setModifiedAfter(40000);
    a.Size()->setMax(77);
    a.Content()->setPhrase(QStringLiteral("Hello"));
    a.Content()->setIgnoreCase(false);

    TSearchCriteria b;
    TFileCriteria *files = b.Files();
    b.Assign(a);
    QCOMPARE(b.Files(), files); // copied into, never replaced
    QCOMPARE(b.Files()->FileName(), QStringLiteral("*.txt"));
    QCOMPARE(b.Attribute()->ExactMatch(), true);
    QCOMPARE(b.TimeStamp()->ModifiedAfter(), 40000.0);
    QCOMPARE(b.Size()->Max(), quint32(77));
    QCOMPARE(b.Content()->Phrase(), QStringLiteral("Hello"));
    QCOMPARE(b.Content()->FoldedPhrase(), QByteArray("Hello"));

    TSizeCriteria size;
    size.setMin(5);
    TSizeCriteria *part = b.Size();
    b.setSize(&size);
    QCOMPARE(b.Size(), part);
    QCOMPARE(b.Size()->Min(), quint32(5));
    QCOMPARE(b.Size()->Max(), quint32(0));
}

void TestSearchCriteria::contentSetters()
{
    TContentCriteria c;
    QCOMPARE(c.Phrase(), QString());
    QCOMPARE(c.IgnoreCase(), true);
    QCOMPARE(c.PhraseLength(), 0);
    QCOMPARE(c.FoldedPhrase(), QByteArray());

    c.setPhrase(QStringLiteral("AbC #42"));
    QCOMPARE(c.PhraseLength(), 7);
    QCOMPARE(c.FoldedPhrase(), QByteArray("abc #42"));
    // The same phrase again leaves the folded phrase untouched (the very same bytes).
    const QByteArray before = c.FoldedPhrase();
    c.setPhrase(QStringLiteral("AbC #42"));
    QVERIFY(c.FoldedPhrase().constData() == before.constData());
    // A phrase differing in case only is a different phrase.
    c.setPhrase(QStringLiteral("ABC #42"));
    QCOMPARE(c.FoldedPhrase(), QByteArray("abc #42"));
    // Switching IgnoreCase off restores the phrase's own case.
    c.setIgnoreCase(false);
    QCOMPARE(c.FoldedPhrase(), QByteArray("ABC #42"));
    c.setIgnoreCase(true);
    QCOMPARE(c.FoldedPhrase(), QByteArray("abc #42"));
    c.setPhrase(QString());
    QCOMPARE(c.PhraseLength(), 0);
    // An empty phrase accepts every file without opening it.
    QVERIFY(c.Matches(QStringLiteral("/no/such/file")));
}

void TestSearchCriteria::contentAssignFollowsTheFlag()
{
    TContentCriteria source;
    source.setPhrase(QStringLiteral("MiXed"));
    source.setIgnoreCase(false);
    TContentCriteria target; // IgnoreCase on
    target.Assign(source);
    QCOMPARE(target.IgnoreCase(), false);
    QCOMPARE(target.FoldedPhrase(), QByteArray("MiXed"));
    source.setIgnoreCase(true);
    target.Assign(source);
    QCOMPARE(target.FoldedPhrase(), QByteArray("mixed"));
}

void TestSearchCriteria::contentPhraseIsLocalBytes()
{
    // Single-byte text is the local 8-bit encoding (UTF-8 here); only A-Z are lowered.
    TContentCriteria c;
    c.setPhrase(QStringLiteral("ÀÉ Zz"));
    const QByteArray local = QStringLiteral("ÀÉ Zz").toLocal8Bit();
    QCOMPARE(c.PhraseLength(), qint32(local.size()));
    QByteArray expected = local;
    expected.replace('Z', 'z');
    QCOMPARE(c.FoldedPhrase(), expected);
}

void TestSearchCriteria::sizeMatches_data()
{
    QTest::addColumn<quint32>("min");
    QTest::addColumn<quint32>("max");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<bool>("expected");
    QTest::newRow("no bounds, empty") << 0u << 0u << quint64(0) << true;
    QTest::newRow("no bounds, 5 GiB") << 0u << 0u << (quint64(5) << 30) << true;
    QTest::newRow("1000..1000: 999") << 1000u << 1000u << quint64(999) << false;
    QTest::newRow("1000..1000: 1000") << 1000u << 1000u << quint64(1000) << true;
    QTest::newRow("1000..1000: 1001") << 1000u << 1000u << quint64(1001) << false;
    QTest::newRow("max 0 is no upper bound") << 10u << 0u << quint64(0xFFFFFFFFu) << true;
    QTest::newRow("min only: below") << 10u << 0u << quint64(9) << false;
    QTest::newRow("max only: at") << 0u << 10u << quint64(10) << true;
    QTest::newRow("max only: above") << 0u << 10u << quint64(11) << false;
    QTest::newRow("unsigned bounds: max 4 GiB - 1") << 0u << 0xFFFFFFFFu << quint64(0xFFFFFFFFu) << true;
    QTest::newRow("unsigned bounds: min 3 GiB, 2 GiB file") << 0xC0000000u << 0u << quint64(0x80000000u) << false;
    QTest::newRow("unsigned bounds: min 2 GiB, 3 GiB file") << 0x80000000u << 0u << quint64(0xC0000000u) << true;
    // 64-bit sizes: comparing only the low 32 bits, 4 GiB + 500 would pass Max 1000 and fail Min 1000.
    QTest::newRow("4 GiB + 500 against max 1000") << 0u << 1000u << ((quint64(1) << 32) + 500) << false;
    QTest::newRow("4 GiB against min 1000") << 1000u << 0u << (quint64(1) << 32) << true;
    QTest::newRow("5 GiB against max 4 GiB - 1") << 0u << 0xFFFFFFFFu << (quint64(5) << 30) << false;
}

void TestSearchCriteria::sizeMatches()
{
    QFETCH(quint32, min);
    QFETCH(quint32, max);
    QFETCH(quint64, size);
    QFETCH(bool, expected);
    TSizeCriteria s;
    s.setMin(min);
    s.setMax(max);
    QCOMPARE(s.Matches(size), expected);
}

void TestSearchCriteria::dateTimeInRange_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("before");
    QTest::addColumn<double>("after");
    QTest::addColumn<bool>("expected");
    const double d = dateTime(2020, 5, 17);
    QTest::newRow("no bounds") << dateTime(2020, 5, 17, 13) << 0.0 << 0.0 << true;
    // Date only: whole days.
    QTest::newRow("before date: same day 23:59") << dateTime(2020, 5, 17, 23, 59) << d << 0.0 << true;
    QTest::newRow("before date: next day 00:00") << dateTime(2020, 5, 18) << d << 0.0 << false;
    QTest::newRow("before date: day before") << dateTime(2020, 5, 16, 23) << d << 0.0 << true;
    QTest::newRow("after date: same day 00:00") << d << 0.0 << d << true;
    QTest::newRow("after date: day before 23:59") << dateTime(2020, 5, 16, 23, 59) << 0.0 << d << false;
    // Time only: the time of day on any day.
    QTest::newRow("before noon: 11:00") << dateTime(2001, 1, 1, 11) << 0.5 << 0.0 << true;
    QTest::newRow("before noon: 13:00") << dateTime(2030, 7, 9, 13) << 0.5 << 0.0 << false;
    QTest::newRow("before noon: 12:00") << dateTime(2030, 7, 9, 12) << 0.5 << 0.0 << true;
    QTest::newRow("after noon: 13:00") << dateTime(2030, 7, 9, 13) << 0.0 << 0.5 << true;
    QTest::newRow("after noon: 11:00") << dateTime(2030, 7, 9, 11) << 0.0 << 0.5 << false;
    QTest::newRow("between 09:00 and 17:00: 08:00")
        << dateTime(2020, 1, 1, 8) << timeOnly(17) << timeOnly(9) << false;
    QTest::newRow("between 09:00 and 17:00: 10:00")
        << dateTime(2020, 1, 1, 10) << timeOnly(17) << timeOnly(9) << true;
    // Date and time: the full value.
    QTest::newRow("before date+noon: 11:00 that day")
        << dateTime(2020, 5, 17, 11) << dateTime(2020, 5, 17, 12) << 0.0 << true;
    QTest::newRow("before date+noon: 13:00 that day")
        << dateTime(2020, 5, 17, 13) << dateTime(2020, 5, 17, 12) << 0.0 << false;
    QTest::newRow("after date+noon: 13:00 that day")
        << dateTime(2020, 5, 17, 13) << 0.0 << dateTime(2020, 5, 17, 12) << true;
    QTest::newRow("after date+noon: next day 01:00")
        << dateTime(2020, 5, 18, 1) << 0.0 << dateTime(2020, 5, 17, 12) << true;
    // Both bounds, both must hold.
    QTest::newRow("range of days: inside") << dateTime(2020, 5, 17, 9) << d + 1 << d - 1 << true;
    QTest::newRow("range of days: after it") << dateTime(2020, 5, 19) << d + 1 << d - 1 << false;
    QTest::newRow("range of days: before it") << dateTime(2020, 5, 15, 23) << d + 1 << d - 1 << false;
    QTest::newRow("empty range") << d << d - 1 << d + 1 << false;
}

void TestSearchCriteria::dateTimeInRange()
{
    QFETCH(double, value);
    QFETCH(double, before);
    QFETCH(double, after);
    QFETCH(bool, expected);
    QCOMPARE(DateTimeInRange(value, before, after), expected);
}

void TestSearchCriteria::fileTimeToLocalDateTime()
{
    // TZ=UTC here: local time is UTC.
    QCOMPARE(FileTimeToLocalDateTime(fileTimeOf(QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC))), 0.0);
    QCOMPARE(FileTimeToLocalDateTime(fileTimeOf(QDateTime(QDate(2020, 5, 17), QTime(12, 0), Qt::UTC))),
             dateTime(2020, 5, 17) + 0.5);
    const double v = FileTimeToLocalDateTime(fileTimeOf(QDateTime(QDate(2001, 2, 3), QTime(6, 0, 0, 500), Qt::UTC)));
    QVERIFY(qAbs(v - (dateTime(2001, 2, 3, 6) + 0.5 / 86400)) < 1e-9);
    // 100-ns ticks below a millisecond are dropped, as by the platform's conversion.
    const Platform::FileTime t = fileTimeOf(QDateTime(QDate(2010, 1, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(FileTimeToLocalDateTime(t + 9999), FileTimeToLocalDateTime(t));
    QCOMPARE(FileTimeToLocalDateTime(t + kTicksPerDay), dateTime(2010, 1, 2));
    // Before 1899-12-30 the framework's encoding counts the time away from zero: -1.25 is
    // 29 December 1899, 06:00.
    QCOMPARE(FileTimeToLocalDateTime(fileTimeOf(QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC))), -1.25);
}

void TestSearchCriteria::dateTimeCriteriaMatches()
{
    const Platform::FileTime created = fileTimeOf(QDateTime(QDate(2019, 3, 1), QTime(8, 0), Qt::UTC));
    const Platform::FileTime modified = fileTimeOf(QDateTime(QDate(2020, 5, 17), QTime(23, 30), Qt::UTC));
    const Platform::FileTime accessed = fileTimeOf(QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC));
    TDateTimeCriteria c;
    QVERIFY(!c.HasBounds());
    QVERIFY(c.Matches(created, modified, accessed));
    QVERIFY(c.Matches(0, 0, 0));

    c.setModifiedBefore(dateTime(2020, 5, 17)); // a date: the whole day
    QVERIFY(c.HasBounds());
    QVERIFY(c.Matches(created, modified, accessed));
    c.setModifiedAfter(dateTime(2020, 5, 18));
    QVERIFY(!c.Matches(created, modified, accessed));
    c.setModifiedAfter(0);

    c.setCreatedAfter(dateTime(2019, 3, 1, 9)); // date and time: 08:00 is earlier
    QVERIFY(!c.Matches(created, modified, accessed));
    c.setCreatedAfter(timeOnly(7)); // time of day only
    QVERIFY(c.Matches(created, modified, accessed));

    c.setAccessedBefore(timeOnly(11)); // accessed at 12:00
    QVERIFY(!c.Matches(created, modified, accessed));
    c.setAccessedBefore(0);
    c.setAccessedAfter(dateTime(2024, 1, 1));
    QVERIFY(c.Matches(created, modified, accessed));
    // Each pair looks at its own time: the accessed bound does not apply to the modified time.
    QVERIFY(!c.Matches(created, modified, modified));

    TDateTimeCriteria copy;
    copy.Assign(c);
    QCOMPARE(copy.CreatedAfter(), c.CreatedAfter());
    QCOMPARE(copy.ModifiedBefore(), c.ModifiedBefore());
    QCOMPARE(copy.AccessedAfter(), c.AccessedAfter());
    QCOMPARE(copy.CreatedBefore(), 0.0);
}

void TestSearchCriteria::appendPathDelimiter_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const PathStyle win = PathStyle::windowsStyle(), posix = PathStyle::posixStyle();
    QTest::newRow("win: C: stays") << win << QStringLiteral("C:") << QStringLiteral("C:");
    QTest::newRow("win: C:\\a") << win << QStringLiteral("C:\\a") << QStringLiteral("C:\\a\\");
    QTest::newRow("win: C:\\a\\ stays") << win << QStringLiteral("C:\\a\\") << QStringLiteral("C:\\a\\");
    QTest::newRow("win: empty") << win << QString() << QString();
    QTest::newRow("win: share") << win << QStringLiteral("\\\\srv\\share") << QStringLiteral("\\\\srv\\share\\");
    QTest::newRow("posix: /a") << posix << QStringLiteral("/a") << QStringLiteral("/a/");
    QTest::newRow("posix: / stays") << posix << QStringLiteral("/") << QStringLiteral("/");
    QTest::newRow("posix: empty") << posix << QString() << QString();
    QTest::newRow("posix: a colon is a character") << posix << QStringLiteral("/x/c:") << QStringLiteral("/x/c:/");
    QTest::newRow("posix: backslash is a character") << posix << QStringLiteral("/x\\") << QStringLiteral("/x\\/");
}

void TestSearchCriteria::appendPathDelimiter()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(AppendPathDelimiter(path, style), expected);
#ifndef Q_OS_WIN
    if (!style.windows)
        QCOMPARE(AppendPathDelimiter(path), expected);
#endif
}

void TestSearchCriteria::matchesWildcard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("expected");
    auto row = [](const char *text, const char *mask, bool expected) {
        QTest::addRow("'%s' ~ '%s'", text, mask) << QString::fromUtf8(text) << QString::fromUtf8(mask) << expected;
    };
    // The documented examples.
    row("a", "a*", true);
    row("abc", "a*", true);
    row("a", "a?", true);
    row("ab", "a?", true);
    row("abc", "a?", false);
    row("abc", "a*z", true); // the first "*" ends the test
    row("", "*", true);
    row("abc", "ab", false);
    row("ab", "abc", false);
    // Neighbours.
    row("", "", true);
    row("", "?", true);
    row("", "*?*", true);
    row("", "a", false);
    row("a", "", false);
    row("ABC", "abc", true);
    row("abc", "A?C", true);
    row("abd", "a?c", false);
    row("xyz", "*abc", true);
    row("ab", "?", false);
    row("a", "??", true);
    row("abc", "???", true);
    row("abcd", "???", false);
    row("a.txt", "*.htm", true);   // "*" first: the rest never looked at
    // The first "*" ends the test also where the text ends just before it.
    row("", "*z", true);
    row("x", "x*z", true);
    row("x", "x?*z", true);
    row("x", "x?z", false);
    row("Ä", "ä", false);          // only a-z are folded
    row("[", "{", false);          // ASCII upper-casing does not touch brackets
}

void TestSearchCriteria::matchesWildcard()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QFETCH(bool, expected);
    QCOMPARE(MatchesWildcard(text, mask), expected);
}

void TestSearchCriteria::matchesFileMask_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("expected");
    auto row = [](const char *name, const char *mask, bool expected) {
        QTest::addRow("'%s' ~ '%s'", name, mask) << QString::fromUtf8(name) << QString::fromUtf8(mask) << expected;
    };
    row("README.TXT", "readme", true); // no mask extension: bases only
    row("readme", "readme", true);
    row("readme.md", "read", false);
    row("a", "a.", true);              // a bare dot: names without extension
    row("a.txt", "a.", false);
    row("abc", "*.", true);
    row("abc", "*.*", true);           // "*.*": every name, dot-less ones too
    row("a.b.c", "*.*", true);
    row(".hidden", "*.*", true);
    row("", "*.*", true);
    row("x.tmp", "*.tmp", true);
    row("x.TMP", "*.tmp", true);
    row("x.tmpl", "*.tmp", false);
    row("x.tm", "*.tmp", false);
    row("x", "*.tmp", false);
    row("x.tmp", "*", true);
    row("a.b.c", "*.c", true);
    row("a.b.c", "a.b.*", true);
    row("a.b.c", "a.*", false);        // bases "a.b" and "a"
    row("ab.txt", "a?.txt", true);
    row("a.txt", "a?.txt", true);      // "?" at the end of the base may match nothing
    row("abc.txt", "a?.txt", false);
    row("report.htm", "*report*.htm", true);
    row("x.htm", "*report*.htm", true);  // MatchesWildcard stops at the first "*"
    row(".hidden", "*z", true);          // an empty base, as every other, ends at the "*"
}

void TestSearchCriteria::matchesFileMask()
{
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, expected);
    QCOMPARE(MatchesFileMask(name, mask), expected);
}

void TestSearchCriteria::matchesPathMask_data()
{
    QTest::addColumn<PathStyle>("style");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("expected");
    const PathStyle win = PathStyle::windowsStyle(), posix = PathStyle::posixStyle();
    auto w = [&](const char *tag, const char *folder, const char *name, const char *mask, bool expected) {
        QTest::newRow(tag) << win << QString::fromUtf8(folder) << QString::fromUtf8(name) << QString::fromUtf8(mask)
                           << expected;
    };
    auto p = [&](const char *tag, const char *folder, const char *name, const char *mask, bool expected) {
        QTest::newRow(tag) << posix << QString::fromUtf8(folder) << QString::fromUtf8(name) << QString::fromUtf8(mask)
                           << expected;
    };
    // The documented examples (Windows rules).
    w("\\temp\\*.tmp in C:\\temp\\", "C:\\temp\\", "x.tmp", "\\temp\\*.tmp", true);
    w("\\temp\\*.tmp in D:\\a\\temp\\", "D:\\a\\temp\\", "x.tmp", "\\temp\\*.tmp", true);
    w("\\temp\\*.tmp not in C:\\tempo\\", "C:\\tempo\\", "x.tmp", "\\temp\\*.tmp", false);
    w("\\temp\\*.tmp not x.txt", "C:\\temp\\", "x.txt", "\\temp\\*.tmp", false);
    w("C:\\temp\\*.tmp on C:", "c:\\temp\\", "x.tmp", "C:\\temp\\*.tmp", true);
    w("C:\\temp\\*.tmp not on D:", "D:\\temp\\", "x.tmp", "C:\\temp\\*.tmp", false);
    w("?:\\temp\\*.tmp on D:", "D:\\x\\temp\\", "x.tmp", "?:\\temp\\*.tmp", true);
    w("*:\\temp\\ on E:", "E:\\temp\\", "x.tmp", "*:\\temp\\", true);
    w("mask path longer than the folder", "C:\\temp\\", "x.tmp", "\\a\\temp\\*.tmp", false);
    w("folder's drive does not count", "C:\\temp\\", "x.tmp", "C\\temp\\", false);
    w("path compare is case-insensitive", "C:\\Data\\TEMP\\", "x.tmp", "\\temp\\", true);
    w("empty name part: every file", "C:\\temp\\", "anything", "\\temp\\", true);
    w("no path part: every folder", "C:\\deep\\er\\", "x.bak", "*.bak", true);
    w("no path part, other name", "C:\\deep\\er\\", "x.bak1", "*.bak", false);
    w("drive only", "C:\\a\\", "f", "C:", true);
    w("drive only, other drive", "D:\\a\\", "f", "C:", false);
    w("drive and name", "c:\\a\\b\\", "f.log", "C:*.log", true);
    w("drive mask, folder without drive", "\\\\srv\\share\\a\\", "f", "C:\\a\\", false);
    w("share: first characters compared", "\\\\srv\\share\\temp\\", "f.tmp", "\\\\other\\x\\temp\\*.tmp", true);
    w("share path longer than folder without its share",
      "\\\\srv\\share\\temp\\", "f", "\\share\\temp\\", false);
    w("mask of two delimiters and a name", "\\\\srv\\share\\", "x", "\\\\x", true);
    w("mask of two delimiters, other name", "\\\\srv\\share\\", "f", "\\\\x", false);
    w("folder of two delimiters", "\\\\", "f", "\\\\a\\", false);
    w("forward slashes as delimiters", "C:\\a\\temp\\", "x.tmp", "/temp/*.tmp", true);
    // POSIX: "/" delimits, no drives, case counts in paths (not in name masks).
    p("posix: /temp/*.tmp in /a/temp/", "/a/temp/", "x.TMP", "/temp/*.tmp", true);
    p("posix: /temp/ not in /a/tempo/", "/a/tempo/", "x.tmp", "/temp/*.tmp", false);
    p("posix: path case counts", "/a/Temp/", "x.tmp", "/temp/*.tmp", false);
    p("posix: colon is no drive", "/a/C:/", "x", "C:/", true);
    p("posix: colon is no drive 2", "/a/b/", "x", "C:/b/", false);
    p("posix: mask longer than folder", "/t/", "x", "/a/t/", false);
    p("posix: relative tail", "/home/u/cache/", "x", "cache/", true);
    p("posix: whole folder", "/home/u/cache/", "x", "/home/u/cache/", true);
}

void TestSearchCriteria::matchesPathMask()
{
    QFETCH(PathStyle, style);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(bool, expected);
    QCOMPARE(MatchesPathMask(folder, name, mask, style), expected);
}

QTEST_GUILESS_MAIN(TestSearchCriteria)
#include "tst_searchcriteria.moc"
