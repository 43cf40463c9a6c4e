// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program offers a new user once.
namespace FirstRun {

// Whether to offer a master password now: none is set and the offer was never made. A true answer
// is recorded before it is given, so the offer comes at most once, whatever the user answers.
bool takeMasterPasswordOffer();

} // namespace FirstRun
