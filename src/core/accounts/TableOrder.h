// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class DataSet;

// Orders the table by one field: ascending, or descending when the field's ascending order is the
// active one. Each order is defined once and reused. False when nothing could be done (no such
// field, or the table refused; its lastError() says why).
bool SortDataSet(DataSet &table, const QString &fieldName);

// Reloads the table from its storage and returns to the record that was current. Never reports a
// failure: a table that cannot be reopened stays closed.
void RefreshDataSet(DataSet &table);
