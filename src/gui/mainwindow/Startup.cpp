// SPDX-License-Identifier: GPL-3.0-or-later
#include "Startup.h"

#include "MainForm.h"
#include "VantoryConsts.h"
#include "core/settings/DataFolder.h"
#include "core/settings/ProgramInfo.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/PasswordTexts.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <exception>

namespace Startup {

namespace {

// What the login dialog let through, for the key of the accounts once the data file is read; wiped then.
QString g_loginPassword;

// Shown without an owner: no window of the program exists yet.
bool showLoginDialog()
{
    TfrmLogin frmLogin;
    if (frmLogin.exec() != TDlgTemplate::mrOk)
        return false;
    g_loginPassword = frmLogin.edtPassword->text();
    return true;
}

void wipeLoginPassword()
{
    g_loginPassword.fill(QChar(0));
    g_loginPassword.clear();
}

LoginGate g_loginGate = showLoginDialog;

} // namespace

void setLoginGate(LoginGate gate)
{
    g_loginGate = gate ? std::move(gate) : LoginGate(showLoginDialog);
}

void initApplication()
{
    QCoreApplication::setOrganizationName(ProgramInfo::Organization);
    QCoreApplication::setApplicationName(ProgramInfo::Name);
    QGuiApplication::setApplicationDisplayName(ProgramInfo::Name);
    // The desktop entry and the icon it names are installed under this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("vantory"));
    QGuiApplication::setWindowIcon(Icons::icon(QStringLiteral("vantory")));
}

namespace {

enum class Gate
{
    Open,
    Shut,
    Unreadable, // the settings cannot be read whole: whether a password is set is not known
};

Gate checkGate()
{
    QString stored;
    const Status read = RegReadStringChecked(SettingsKeys::SectionMain, SettingsKeys::SettingPassword, stored);
    if (!read) {
        // Not the same as no password: the user is told which file to repair or remove.
        Platform::showMessage(QMessageBox::Critical,
                              PasswordTexts::settingsUnreadableAtStart().arg(RegStoreLocation(), read.error));
        return Gate::Unreadable;
    }
    if (stored.isEmpty())
        return Gate::Open;
    return g_loginGate() ? Gate::Open : Gate::Shut;
}

} // namespace

bool passGate()
{
    return checkGate() == Gate::Open;
}

int run(QApplication &app)
{
    initApplication();
    switch (checkGate()) {
    case Gate::Open:
        break;
    case Gate::Shut:
        return 0;
    case Gate::Unreadable:
        return 1;
    }
    DataFolder::provide();
    TfrmVantory frmVantory;
    // Encrypted accounts need their key before the list is of any use; without it nothing is written.
    const bool unlocked = frmVantory.unlockVault(g_loginPassword);
    wipeLoginPassword();
    if (!unlocked)
        return 0;
    frmVantory.show();
    return app.exec();
}

} // namespace Startup

VantoryApplication::VantoryApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool VantoryApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        Platform::showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Platform::showError(tr("An unexpected error occurred"));
    }
    return false;
}
