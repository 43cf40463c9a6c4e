// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutreachLinks.h"

#include "OutreachTexts.h"

#include <QStringList>

namespace Outreach {

namespace {

constexpr char Placeholder[] = "%1";

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Every byte of the UTF-8 form that is neither unreserved nor in `keep` becomes "%XX".
QString percentEncoded(const QString &text, QByteArrayView keep)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (isUnreserved(c) || keep.contains(c)) {
            out += QLatin1Char(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += QLatin1Char('%');
            out += QLatin1Char(Hex[byte >> 4]);
            out += QLatin1Char(Hex[byte & 0xF]);
        }
    }
    return out;
}

// What a mail address may carry unencoded: the characters an address uses ("@", "+" of a
// sub-address, "," between addresses) but none that ends the address part ("?", "#") or stands for
// something else in the URL ("%", "&", ";", "=").
constexpr QByteArrayView AddressKeeps("!$'()*+,:@");
// What a header value may carry unencoded. "+" is encoded too: mail programs that read the query
// like a web form would turn a plain "+" into a blank.
constexpr QByteArrayView ValueKeeps("!$'()*,:;@");

} // namespace

QString affiliateLink(const QString &clickBankId)
{
    // arg() puts the ID in once and does not read it again: an ID holding "%1" stays as typed.
    return OutreachTexts::affiliateLinkTemplate().arg(clickBankId);
}

QString affiliateDomain()
{
    const QString linkTemplate = OutreachTexts::affiliateLinkTemplate();
    const qsizetype at = linkTemplate.indexOf(QLatin1String(Placeholder));
    QString rest = at >= 0 ? linkTemplate.mid(at + 2) : QString();
    const qsizetype slash = rest.indexOf(u'/');
    if (slash >= 0)
        rest.truncate(slash);
    return rest.startsWith(u'.') ? rest.mid(1).toLower() : rest.toLower();
}

LinkCheck checkAffiliateLink(const QString &link, QUrl *url)
{
    if (link.isEmpty())
        return LinkCheck::Empty;
    const QUrl parsed(link, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    // The host as it goes to the browser: lower case, international names in their ASCII form.
    const QString host = parsed.host(QUrl::FullyEncoded).toLower();
    const QString domain = affiliateDomain();
    const bool underDomain = !domain.isEmpty() && host.size() > domain.size() + 1 && host.endsWith(domain) &&
                             host.at(host.size() - domain.size() - 1) == u'.';
    const bool plainLink = parsed.userInfo().isEmpty() && parsed.port() == -1 && !parsed.hasQuery() &&
                           !parsed.hasFragment() && (parsed.path().isEmpty() || parsed.path() == u"/");
    if (!parsed.isValid() || (scheme != u"http" && scheme != u"https") || !underDomain || !plainLink)
        return LinkCheck::Refused;
    if (url)
        *url = parsed;
    return LinkCheck::Opens;
}

QString shareBody(const QString &friendsName, const QString &link, const QString &yourName)
{
    // The multi-argument arg() fills all three markers in one pass: a name holding "%2" stays as typed.
    return OutreachTexts::shareBodyTemplate().arg(friendsName, link, yourName);
}

QString mailToUrl(const QString &address, const QString &subject, const QString &body)
{
    QString url = QStringLiteral("mailto:") + percentEncoded(address, AddressKeeps) + QStringLiteral("?subject=") +
                  percentEncoded(subject, ValueKeeps) + QStringLiteral("&body=");
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    // A text ending in a line break has ended its last line; an empty text has none.
    if (lines.last().isEmpty())
        lines.removeLast();
    for (const QString &line : std::as_const(lines))
        url += percentEncoded(line, ValueKeeps) + QStringLiteral("%0A");
    return url;
}

} // namespace Outreach
