// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DirListing.h"

// Shared by the system-specific parts of the directory walker.
namespace Platform {

// File times count 100 ns ticks from 1601-01-01.
constexpr qint64 kTicksPerSecond = 10000000;
constexpr qint64 kUnixEpochInTicks = UnixEpochFileTime;

// Counts one read call of a folder listing (DirListing::readCalls()).
void countRead();

} // namespace Platform
