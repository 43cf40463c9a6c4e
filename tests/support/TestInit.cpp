// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every test: pins the locale and isolates the settings before any test runs.
#include "TestSupport.h"

#include <QCoreApplication>

static void vantoryTestInit()
{
    TestSupport::initEnvironment();
}
Q_COREAPP_STARTUP_FUNCTION(vantoryTestInit)
