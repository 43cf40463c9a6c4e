// SPDX-License-Identifier: GPL-3.0-or-later
#include "FirstRun.h"

#include "RegSettings.h"
#include "SettingsKeys.h"

using namespace SettingsKeys;

bool FirstRun::takeMasterPasswordOffer()
{
    if (RegReadInteger(SectionMain, SettingNoPromptSetPassword, 0) != 0)
        return false;
    if (!RegReadString(SectionMain, SettingPassword).isEmpty())
        return false;
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    return true;
}
