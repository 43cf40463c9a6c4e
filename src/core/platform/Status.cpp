// SPDX-License-Identifier: GPL-3.0-or-later
#include "Status.h"

#include <QCoreApplication>

Status Status::failure(const QString &error)
{
    if (error.isEmpty())
        return {QCoreApplication::translate("Status", "Unknown error")};
    return {error};
}
