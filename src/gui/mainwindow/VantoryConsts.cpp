// SPDX-License-Identifier: GPL-3.0-or-later
#include "VantoryConsts.h"

#include <QCoreApplication>

namespace VantoryConsts {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("VantoryConsts", text);
}
} // namespace

QString failedToInsertRecord()
{
    return tr("Failed to insert a new record");
}

QString askPasswordProtect()
{
    return tr("Do you want to password protect your account settings?");
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

} // namespace VantoryConsts
