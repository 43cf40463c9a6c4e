// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

#include <functional>

// The program's entry sequence: application title, the master-password gate, the main window.
namespace Startup {

// Asks for the master password; true when the right one was given. The login dialog unless another
// gate was set; setting an empty gate puts the login dialog back.
using LoginGate = std::function<bool()>;
void setLoginGate(LoginGate gate);

// Names the application and sets its title; done before any window exists.
void initApplication();

// True when the program may go on: no master password is set, or the login gate let the user in.
// Nothing is read or written here but the stored master password. Settings that cannot be read whole
// keep the gate shut: the user is told which file cannot be read and why, and no login is asked for.
bool passGate();

// Runs the whole program on an existing application object; returns its exit code. When the gate
// stays shut, no window is created, no data file opened and no setting written, and the code is 0
// (1 when the settings could not be read).
int run(QApplication &app);

} // namespace Startup

// The application object: failures that no one handled where they arose end up here and are shown
// with the error icon; the program then goes on.
class VantoryApplication : public QApplication
{
public:
    VantoryApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
