// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// The links the outreach dialogs build and hand to the desktop: the affiliate link from a ClickBank
// ID, the recommendation mail's text and its mailto: URL. Plain text in, plain text out: no widgets.
namespace Outreach {

// The affiliate link for an ID taken exactly as typed (no trimming, no case change, no escaping).
QString affiliateLink(const QString &clickBankId);
// The fixed part of the affiliate link's host, right of the ID ("vantory.hop.clickbank.net").
QString affiliateDomain();

enum class LinkCheck
{
    Empty,   // nothing to open
    Opens,   // an http(s) link to a host under the affiliate domain
    Refused, // the text would take the browser somewhere else, or is no URL at all
};
// Whether a link field's text may be handed to the browser; *url receives the link to open.
// Only "scheme://host" with a host under affiliateDomain() passes: an ID such as
// "me@other.example#" builds a link whose host is other.example, and that is refused.
LinkCheck checkAffiliateLink(const QString &link, QUrl *url = nullptr);

// The recommendation mail's text: the template with the friend's name, the link and the user's
// name, each as typed.
QString shareBody(const QString &friendsName, const QString &link, const QString &yourName);

// "mailto:" address "?subject=" subject "&body=" body, percent-encoded so that the mail program
// gets every character back: a blank is "%20", each line of the body (a text ending in a line break
// has no empty line after it) is followed by "%0A", delimiters such as "&", "#", "%", "?", "=" and
// "+" and every character beyond ASCII (as UTF-8 bytes) are percent-encoded. Plain words,
// punctuation such as "." "," "!" and the address's "@" stay as they are.
QString mailToUrl(const QString &address, const QString &subject, const QString &body);

} // namespace Outreach
