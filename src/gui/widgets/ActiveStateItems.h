// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QComboBox;

// "Inactive", "Active", "Not Applicable", indexed by the stored value of an account's state.
QStringList activeStateCaptions();
// Names of the pictures of the three states, indexed the same way.
QStringList activeStatePictures();

// Fills a box with the three active states, picture and caption, in the order of their stored
// values, so that an item's index is the value.
void addActiveStateItems(QComboBox *box);
