// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutreachTexts.h"

#include <QCoreApplication>

namespace OutreachTexts {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("OutreachTexts", text);
}
} // namespace

QString affiliateLinkTemplate()
{
    return QStringLiteral("https://%1.vantory.hop.clickbank.net");
}

QString affiliateLinkRefused()
{
    return tr("This link does not lead to ClickBank: the ClickBank ID \"%1\" does not make a host name under %2. "
              "Check the ID you entered.");
}

QString shareBodyTemplate()
{
    // Line breaks are a plain line feed, the line break of the message text box.
    return tr("Hey %1,\n\nI wanted to tell you about this new software program I just downloaded\n"
              "called Vantory. It organizes all of your private label rights\n"
              "content and it's totally free.\n\nYou can grab it here:\n\n=> %2\n\n%3");
}

QString shareDefaultSubject()
{
    return tr("Check this out...");
}

QString shareNoMailProgram()
{
    return tr("No mail program could be started to send this message.\n\n"
              "Set one up to open e-mail links, or copy the text into a new message in yours.");
}

QString copyrightNotice()
{
    return tr("Copyright \u00a9 2025 Orvane.\nAll rights reserved.");
}

} // namespace OutreachTexts
