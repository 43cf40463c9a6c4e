// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The texts of the login and master password dialogs' messages.
namespace PasswordTexts {

QString wrongPassword();     // the typed password is not the stored one
QString passwordMismatch();  // new password and confirmation differ
QString passwordChanged();   // stored (set, changed or removed)
QString passwordNotStored(); // %1: where the settings are kept
// The settings cannot be read whole, so the stored password cannot be checked; %1: where the
// settings are kept, %2: why they cannot be read.
QString settingsUnreadable();        // in the login dialog, which stays open
QString settingsUnreadableAtStart(); // at start, before the program ends
// Asked before the stored passwords go back to their scrambled form.
QString encryptionOffQuestion();
// The stored passwords could not be moved to their new form; %1: why.
QString passwordsNotRewritten();
// A stored password that cannot be decrypted.
QString cannotBeDecrypted();

} // namespace PasswordTexts
