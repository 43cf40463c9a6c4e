// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AccountFolders.h"
#include "DataSet.h"

#include <functional>
#include <vector>

// The account table's shape: its nine stored and four computed fields, its six aggregates and the
// rules of its new-record and computed-field hooks.
namespace AccountTable {

// Counts the files under a save folder, capped at a limit; FileCountPending when the count is not
// known yet (it is being made elsewhere and comes later through DataSet::recalcRows).
using FileCounter = std::function<qint32(const QString &folder, qint32 limit)>;
constexpr qint32 FileCountPending = -1;

// Positions of the fields in the table, in the order fieldDefs() gives them.
enum Field {
    AccountID, SiteName, SiteUrl, SavePath, Username, Password, MonthlyFee, AddedDate, Active,
    TotalFiles, IsActive, IsInactive, ActualMonthlyFee, FieldCount
};

std::vector<FieldDef> fieldDefs();
std::vector<FieldDef> storedFieldDefs();
// Defines the fields, the aggregates and the bookmark key of a closed table.
void define(DataSet &table);

// The new-record rule: the next identifier (one more than the largest, 0 for an empty table) and
// today's date. Returns false when there is no next identifier (the largest is the largest possible);
// the record then gets the smallest identifier that no account has.
bool initNewRecord(DataSet &table);
// Computes the four computed fields of the record being computed. A pending count leaves Total Files
// empty: no total, order or cap reads a count that is not there.
void calcFields(DataSet &table, const FileCounter &countFiles);

// Every account's save folder with its identifier and site name, from all rows of the table whatever
// its filter and order, ordered by identifier (accounts with the same one in the order they were
// added). Reads the rows without moving the current one.
QList<AccountFolder> accountFolders(const DataSet &table);

// A monthly fee in whole currency units, a half going to the even neighbour.
qint64 roundedFee(double fee);

} // namespace AccountTable
