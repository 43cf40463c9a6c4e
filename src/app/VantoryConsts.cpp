#include "VantoryConsts.h"

#include <QCoreApplication>

namespace VantoryConsts {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("VantoryConsts", text);
}
} // namespace

QString appTitle()
{
    return QStringLiteral("Vantory");
}

QStringList activeStateCaptions()
{
    return {tr("Inactive"), tr("Active"), tr("Not Applicable")};
}

QStringList activeStatePictures()
{
    return {QStringLiteral("state-inactive"), QStringLiteral("state-active"), QStringLiteral("state-na")};
}

QString failedToInsertRecord()
{
    return tr("Failed to insert a new record");
}

QString passwordTooLong()
{
    return tr("This password is too long to be stored");
}

QString askPasswordProtect()
{
    return tr("Do you want to password protect your account settings?");
}

QString webSiteUrl()
{
    return QStringLiteral("https://www.vantory.app/");
}

QString totalsSites()
{
    return tr("Totals: %1 Site(s)");
}

QString totalsActive()
{
    return tr("%1 Active/%2 Inactive");
}

QString totalsNotApplicable()
{
    return tr("NA");
}

QString backupTitle()
{
    return tr("Select Backup Destination");
}

QString restoreTitle()
{
    return tr("Select Backup File");
}

QString backupFilter()
{
    return tr("Vantory Data (*.xml)|*.xml");
}

QString backupDefaultExt()
{
    return QStringLiteral(".xml");
}

QString backupFailed()
{
    return tr("The backup could not be written to %1: %2");
}

QString restoreFailed()
{
    return tr("The backup %1 could not be restored: %2");
}

QString loadNotesText()
{
    return tr("The data file %1 holds things that the next save of the accounts will not keep:\n\n%2\n\n%3");
}

QString loadNotesCopy()
{
    return tr("A copy of the file as it is now is kept as %1.");
}

QString loadNotesNoCopy()
{
    return tr("No copy of the file could be made (%1). Copy it yourself before you change any account.");
}

// Outreach texts.

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

QString copyrightNotice()
{
    return tr("Copyright \u00a9 2025 Orvane.\nAll rights reserved.");
}

} // namespace VantoryConsts
