// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/outreach/OutreachLinks.h"
#include "core/outreach/OutreachTexts.h"
#include "core/settings/ProgramInfo.h"

#include <QtTest>

using namespace Outreach;

class TestOutreachLinks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void affiliateLinkKeepsTheIdAsTyped_data();
    void affiliateLinkKeepsTheIdAsTyped();
    void linkCheck_data();
    void linkCheck();
    void shareBodyForEveryCombination_data();
    void shareBodyForEveryCombination();
    void mailToUrl_data();
    void mailToUrl();
    void mailToUrlReachesTheMailProgramWhole_data();
    void mailToUrlReachesTheMailProgramWhole();
};

void TestOutreachLinks::affiliateLinkKeepsTheIdAsTyped_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("link");
    const auto row = [](const char *name, const QString &id, const QString &link) {
        QTest::newRow(name) << id << link;
    };
    row("plain", QStringLiteral("jdoe"), QStringLiteral("https://jdoe.vantory.hop.clickbank.net"));
    row("case kept", QStringLiteral("JDoe7"), QStringLiteral("https://JDoe7.vantory.hop.clickbank.net"));
    row("blanks kept", QStringLiteral(" my id "), QStringLiteral("https:// my id .vantory.hop.clickbank.net"));
    row("single blank", QStringLiteral(" "), QStringLiteral("https:// .vantory.hop.clickbank.net"));
    row("markers not filled", QStringLiteral("%1%2"), QStringLiteral("https://%1%2.vantory.hop.clickbank.net"));
    row("moves the host", QStringLiteral("me@other.example#"),
        QStringLiteral("https://me@other.example#.vantory.hop.clickbank.net"));
    row("beyond ASCII", QStringLiteral("j\u00f6rg"), QStringLiteral("https://j\u00f6rg.vantory.hop.clickbank.net"));
}

void TestOutreachLinks::affiliateLinkKeepsTheIdAsTyped()
{
    QFETCH(QString, id);
    QFETCH(QString, link);
    QCOMPARE(affiliateLink(id), link);
    QCOMPARE(affiliateDomain(), QStringLiteral("vantory.hop.clickbank.net"));
}

void TestOutreachLinks::linkCheck_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("host");
    const auto row = [](const char *name, const QString &id, LinkCheck check, const QString &host = {}) {
        QTest::newRow(name) << id << int(check) << host;
    };
    row("plain", QStringLiteral("jdoe"), LinkCheck::Opens, QStringLiteral("jdoe.vantory.hop.clickbank.net"));
    row("upper case", QStringLiteral("JDoe"), LinkCheck::Opens, QStringLiteral("jdoe.vantory.hop.clickbank.net"));
    row("digits and hyphen", QStringLiteral("a-1"), LinkCheck::Opens, QStringLiteral("a-1.vantory.hop.clickbank.net"));
    row("two labels", QStringLiteral("a.b"), LinkCheck::Opens, QStringLiteral("a.b.vantory.hop.clickbank.net"));
    row("user info moves the host", QStringLiteral("me@other.example#"), LinkCheck::Refused);
    row("user info alone", QStringLiteral("me@x"), LinkCheck::Refused);
    row("path moves the host", QStringLiteral("other.example/"), LinkCheck::Refused);
    row("query moves the host", QStringLiteral("other.example?"), LinkCheck::Refused);
    row("backslash", QStringLiteral("other.example\\"), LinkCheck::Refused);
    row("port", QStringLiteral("other.example:80"), LinkCheck::Refused);
    row("blank", QStringLiteral("my id"), LinkCheck::Refused);
    row("single blank", QStringLiteral(" "), LinkCheck::Refused);
    row("encoded at", QStringLiteral("me%40other.example%23"), LinkCheck::Refused);
}

void TestOutreachLinks::linkCheck()
{
    QFETCH(QString, id);
    QFETCH(int, check);
    QFETCH(QString, host);
    QUrl url;
    QCOMPARE(int(checkAffiliateLink(affiliateLink(id), &url)), check);
    if (check == int(LinkCheck::Opens)) {
        QCOMPARE(url.host(), host);
        QCOMPARE(url.scheme(), QStringLiteral("https"));
    } else {
        QVERIFY(url.isEmpty());
    }
}

void TestOutreachLinks::shareBodyForEveryCombination_data()
{
    QTest::addColumn<QString>("friendsName");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("yourName");
    const QString site = ProgramInfo::WebSite;
    const QString affiliate = affiliateLink(QStringLiteral("jdoe"));
    for (int mask = 0; mask < 8; ++mask) {
        const QString friendsName = mask & 1 ? QStringLiteral("Ann") : QString();
        const QString link = mask & 2 ? affiliate : site;
        const QString yourName = mask & 4 ? QStringLiteral("Bob") : QString();
        QTest::addRow("friend %d, id %d, you %d", mask & 1, (mask >> 1) & 1, (mask >> 2) & 1)
            << friendsName << link << yourName;
    }
    // Names holding markers go in as typed: one pass fills all three.
    QTest::newRow("markers in names") << QStringLiteral("%3") << site << QStringLiteral("%1 %2");
}

void TestOutreachLinks::shareBodyForEveryCombination()
{
    QFETCH(QString, friendsName);
    QFETCH(QString, link);
    QFETCH(QString, yourName);
    const QString expected = QStringLiteral("Hey ") + friendsName +
                             QStringLiteral(",\n\nI wanted to tell you about this new software program I just "
                                            "downloaded\ncalled Vantory. It organizes all of your private label "
                                            "rights\ncontent and it's totally free.\n\nYou can grab it here:\n\n=> ") +
                             link + QStringLiteral("\n\n") + yourName;
    QCOMPARE(shareBody(friendsName, link, yourName), expected);
}

void TestOutreachLinks::mailToUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("url");
    const auto row = [](const char *name, const QString &address, const QString &subject, const QString &body,
                        const QString &url) { QTest::newRow(name) << address << subject << body << url; };
    const QString subject = QStringLiteral("Check this out...");
    row("two lines", QStringLiteral("friend"), subject, QStringLiteral("Hello there\nBye"),
        QStringLiteral("mailto:friend?subject=Check%20this%20out...&body=Hello%20there%0ABye%0A"));
    row("never generated", QStringLiteral("friend"), subject, QString(),
        QStringLiteral("mailto:friend?subject=Check%20this%20out...&body="));
    row("empty subject", QStringLiteral("a@b.example"), QString(), QStringLiteral("x"),
        QStringLiteral("mailto:a@b.example?subject=&body=x%0A"));
    row("windows line breaks", QStringLiteral("friend"), subject, QStringLiteral("Hello there\r\nBye\r\n"),
        QStringLiteral("mailto:friend?subject=Check%20this%20out...&body=Hello%20there%0ABye%0A"));
    row("empty lines kept", QStringLiteral("friend"), subject, QStringLiteral("Hey,\n\nBye\n\n"),
        QStringLiteral("mailto:friend?subject=Check%20this%20out...&body=Hey,%0A%0ABye%0A%0A"));
    row("a lone line break", QStringLiteral("friend"), subject, QStringLiteral("\n"),
        QStringLiteral("mailto:friend?subject=Check%20this%20out...&body=%0A"));
    row("punctuation stays", QStringLiteral("a.b@c.example"), QStringLiteral("Hi! (it's me), ok:"),
        QStringLiteral("Yes; me@home"),
        QStringLiteral("mailto:a.b@c.example?subject=Hi!%20(it's%20me),%20ok:&body=Yes;%20me@home%0A"));
    // What would end the subject, start a new field, cut the URL short or be read as an escape.
    row("ampersand", QStringLiteral("friend"), QStringLiteral("Tom & Jerry"), QStringLiteral("A&body=B"),
        QStringLiteral("mailto:friend?subject=Tom%20%26%20Jerry&body=A%26body%3DB%0A"));
    row("hash", QStringLiteral("friend"), QStringLiteral("#1 tool"), QStringLiteral("see #2"),
        QStringLiteral("mailto:friend?subject=%231%20tool&body=see%20%232%0A"));
    row("percent", QStringLiteral("friend"), QStringLiteral("100% free"), QStringLiteral("%0A is not a break"),
        QStringLiteral("mailto:friend?subject=100%25%20free&body=%250A%20is%20not%20a%20break%0A"));
    row("question mark", QStringLiteral("friend"), QStringLiteral("Why?"), QStringLiteral("?subject=x"),
        QStringLiteral("mailto:friend?subject=Why%3F&body=%3Fsubject%3Dx%0A"));
    row("plus", QStringLiteral("me+tag@x.example"), QStringLiteral("1+1"), QStringLiteral("C++"),
        QStringLiteral("mailto:me+tag@x.example?subject=1%2B1&body=C%2B%2B%0A"));
    row("tab", QStringLiteral("friend"), QStringLiteral("a\tb"), QStringLiteral("\tindented"),
        QStringLiteral("mailto:friend?subject=a%09b&body=%09indented%0A"));
    row("link in the body", QStringLiteral("friend"), subject, QStringLiteral("=> https://x.example/a?b=c"),
        QStringLiteral(
            "mailto:friend?subject=Check%20this%20out...&body=%3D%3E%20https:%2F%2Fx.example%2Fa%3Fb%3Dc%0A"));
    row("beyond ASCII as UTF-8", QStringLiteral("j\u00f6rg@x.example"), QStringLiteral("Gr\u00fc\u00dfe \u20ac"),
        QStringLiteral("\u65e5\u672c \U0001F600"),
        QStringLiteral("mailto:j%C3%B6rg@x.example?subject=Gr%C3%BC%C3%9Fe%20%E2%82%AC"
                       "&body=%E6%97%A5%E6%9C%AC%20%F0%9F%98%80%0A"));
    row("address delimiters", QStringLiteral("a&b=c?d#e%f@x.example"), QString(), QString(),
        QStringLiteral("mailto:a%26b%3Dc%3Fd%23e%25f@x.example?subject=&body="));
    row("quotes and brackets", QStringLiteral("friend"), QStringLiteral("\"<x>\" [y] {z}"), QStringLiteral("a|b\\c^`"),
        QStringLiteral("mailto:friend?subject=%22%3Cx%3E%22%20%5By%5D%20%7Bz%7D&body=a%7Cb%5Cc%5E%60%0A"));
}

void TestOutreachLinks::mailToUrl()
{
    QFETCH(QString, address);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, url);
    QCOMPARE(Outreach::mailToUrl(address, subject, body), url);
}

// The URL read back as a mail program reads it: the address, then each field of the query split at
// "&" and "=", then percent-decoded as UTF-8. Everything typed comes back, nothing more.
void TestOutreachLinks::mailToUrlReachesTheMailProgramWhole_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::newRow("plain") << QStringLiteral("a@b.example") << QStringLiteral("Check this out...")
                           << QStringLiteral("Hello there\nBye\n");
    QTest::newRow("delimiters") << QStringLiteral("me+x@b.example") << QStringLiteral("a&b=c#d?e%f+g/h;i")
                                << QStringLiteral("&body=x\n#y\n%0A\n+ + +\n");
    QTest::newRow("tabs and beyond ASCII") << QStringLiteral("j\u00f6rg@b.example") << QStringLiteral("\t\u00fc\u20ac")
                                           << QStringLiteral("\u65e5\t\U0001F600\n");
}

void TestOutreachLinks::mailToUrlReachesTheMailProgramWhole()
{
    QFETCH(QString, address);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    const QUrl url = QUrl::fromEncoded(Outreach::mailToUrl(address, subject, body).toLatin1(), QUrl::StrictMode);
    QVERIFY(url.isValid());
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QCOMPARE(url.path(QUrl::FullyDecoded), address);
    QVERIFY(!url.hasFragment());
    const QStringList fields = url.query(QUrl::FullyEncoded).split(u'&');
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0].section(u'=', 0, 0), QStringLiteral("subject"));
    QCOMPARE(QUrl::fromPercentEncoding(fields[0].section(u'=', 1).toLatin1()), subject);
    QCOMPARE(fields[1].section(u'=', 0, 0), QStringLiteral("body"));
    QCOMPARE(QUrl::fromPercentEncoding(fields[1].section(u'=', 1).toLatin1()), body);
    // What goes to the desktop is the URL as built.
    QCOMPARE(url.toString(QUrl::FullyEncoded), Outreach::mailToUrl(address, subject, body));
}

QTEST_GUILESS_MAIN(TestOutreachLinks)
#include "tst_outreachlinks.moc"
