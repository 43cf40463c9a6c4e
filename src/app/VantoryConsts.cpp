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

// Master password ----------------------------------------------------------------------------------

QString wrongPassword()
{
    return tr("Incorrect password entered\nPlease check your input and try again");
}

QString passwordMismatch()
{
    return tr("The new password and confirmation don't match\nPlease, confirm the new password");
}

QString passwordChanged()
{
    return tr("Your password has been changed successfully");
}

QString passwordNotStored()
{
    return tr("Your password could not be saved: the settings in %1 cannot be written.\n"
              "The master password has not been changed.");
}

// --------------------------------------------------------------------------------------------------

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

} // namespace VantoryConsts
