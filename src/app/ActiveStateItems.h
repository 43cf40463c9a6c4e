#pragma once

class QComboBox;

// Fills a box with the three active states, picture and caption, in the order of their stored
// values, so that an item's index is the value.
void addActiveStateItems(QComboBox *box);
