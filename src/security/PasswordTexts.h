#pragma once

#include <QString>

// The texts of the login and master password dialogs' messages.
namespace PasswordTexts {

QString wrongPassword();     // the typed password is not the stored one
QString passwordMismatch();  // new password and confirmation differ
QString passwordChanged();   // stored (set, changed or removed)
QString passwordNotStored(); // %1: where the settings are kept

} // namespace PasswordTexts
