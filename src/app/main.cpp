// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/mainwindow/Startup.h"

int main(int argc, char *argv[])
{
    VantoryApplication app(argc, argv);
    return Startup::run(app);
}
