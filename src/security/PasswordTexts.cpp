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

} // namespace PasswordTexts
