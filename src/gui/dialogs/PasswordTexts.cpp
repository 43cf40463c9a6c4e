// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordTexts.h"

#include <QCoreApplication>

namespace PasswordTexts {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PasswordTexts", text);
}
} // namespace

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

QString settingsUnreadable()
{
    return tr("The settings in %1 cannot be read: %2.\n"
              "The master password cannot be checked until the file is repaired or removed.");
}

QString settingsUnreadableAtStart()
{
    return tr("The settings in %1 cannot be read: %2.\n"
              "They may hold a master password, which cannot be checked, so Vantory will not start. "
              "Repair the file or remove it (removing it also removes the master password and your other "
              "settings), then start Vantory again.");
}

} // namespace PasswordTexts

namespace PasswordTexts {

QString encryptionOffQuestion()
{
    return tr("Stop encrypting the stored passwords?\n"
              "They will be stored scrambled again, as before encryption was turned on: anyone who can read "
              "the data file or a copy of it can recover them without the master password.");
}

QString passwordsNotRewritten()
{
    return tr("The stored passwords could not be changed: %1\n"
              "The master password and the passwords are as they were.");
}

QString cannotBeDecrypted()
{
    return tr("This password cannot be decrypted");
}

} // namespace PasswordTexts
