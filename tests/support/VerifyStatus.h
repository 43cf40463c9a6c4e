// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QTest>

// QVERIFY for a Status: fails the test with the status's own error text when it is not ok.
#define VERIFY_OK(expression)                                                                                         \
    do {                                                                                                              \
        const Status verifiedStatus = (expression);                                                                   \
        QVERIFY2(verifiedStatus, qPrintable(verifiedStatus.error));                                                   \
    } while (false)
