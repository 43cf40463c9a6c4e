// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountTable.h"

#include "AccountSchema.h"
#include "FileCount.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace AccountSchema;

namespace AccountTable {

std::vector<FieldDef> fieldDefs()
{
    std::vector<FieldDef> f = storedFieldDefs();
    for (const QString &name : {FieldTotalFiles, FieldIsActive, FieldIsInactive, FieldActualMonthlyFee})
        f.push_back({.name = name, .type = FieldType::Integer, .calculated = true});
    return f;
}

std::vector<FieldDef> storedFieldDefs()
{
    return {
        {.name = FieldAccountID, .type = FieldType::Integer},
        {.name = FieldSiteName, .type = FieldType::String, .size = PathFieldSize, .required = true},
        {.name = FieldSiteUrl, .type = FieldType::String, .size = PathFieldSize},
        {.name = FieldSavePath, .type = FieldType::String, .size = PathFieldSize},
        {.name = FieldUsername, .type = FieldType::String, .size = LoginFieldSize},
        {.name = FieldPassword,
         .type = FieldType::String,
         .size = LoginFieldSize,
         .longFormPrefix = SealedPasswordLead,
         .longFormSize = SealedPasswordFieldSize},
        {.name = FieldMonthlyFee, .type = FieldType::Float, .defaultValue = 0.0},
        {.name = FieldAddedDate, .type = FieldType::Date},
        {.name = FieldActive, .type = FieldType::SmallInt, .defaultValue = int(StateActive)},
    };
}

void define(DataSet &table)
{
    for (const FieldDef &f : fieldDefs())
        table.addField(f);
    table.addAggregate({AggMaxAccountID, AggregateKind::Max, FieldAccountID});
    table.addAggregate({AggSumTotalFiles, AggregateKind::Sum, FieldTotalFiles});
    table.addAggregate({AggSumMonthlyFee, AggregateKind::Sum, FieldActualMonthlyFee});
    table.addAggregate({AggMaxTotalFiles, AggregateKind::Max, FieldTotalFiles});
    table.addAggregate({AggCountActive, AggregateKind::Count, FieldIsActive});
    table.addAggregate({AggCountInactive, AggregateKind::Count, FieldIsInactive});
    table.setKeyField(FieldAccountID);
}

namespace {

// The smallest identifier from 0 up that no account has.
int firstFreeIdentifier(const DataSet &table)
{
    std::vector<qint64> used;
    used.reserve(size_t(table.totalRecordCount()));
    for (int row = 0; row < table.totalRecordCount(); ++row) { // the filter hides none from this
        const QVariant id = table.valueOfRow(row, AccountID);
        if (id.isValid() && !id.isNull())
            used.push_back(id.toLongLong());
    }
    std::sort(used.begin(), used.end());
    qint64 candidate = 0;
    for (const qint64 id : used) {
        if (id == candidate)
            ++candidate;
        else if (id > candidate)
            break;
    }
    return int(candidate);
}

} // namespace

bool initNewRecord(DataSet &table)
{
    int id = 0;
    bool ok = true;
    const QVariant max = table.aggregate(AggMaxAccountID);
    if (max.isValid() && !max.isNull()) {
        bool converted = false;
        const qint64 next = max.toLongLong(&converted) + 1;
        if (!converted || next > std::numeric_limits<qint32>::max())
            ok = false;
        else
            id = int(next);
    }
    // With no next identifier after the largest, an unused one: two accounts never share one.
    if (!ok)
        id = firstFreeIdentifier(table);
    table.setValue(FieldAccountID, id);
    table.setValue(FieldAddedDate, QDate::currentDate());
    return ok;
}

qint64 roundedFee(double fee)
{
    // A fee beyond what 64 bits hold (1e300 in a hand-edited file) is held at the ends: converting it
    // would be undefined. A fee that is no number has no whole value.
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (std::isnan(fee))
        return 0;
    if (fee >= limit)
        return std::numeric_limits<qint64>::max();
    if (fee <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(std::nearbyint(fee)); // the default rounding mode sends halves to the even neighbour
}

void calcFields(DataSet &table, const FileCounter &countFiles)
{
    // Runs for every row on every load: positions, not names.
    const QString savePath = table.value(SavePath).toString();
    const qint32 count = countFiles ? countFiles(savePath, FileCountLimit) : 0;
    table.setCalcValue(TotalFiles, count == FileCountPending ? QVariant() : QVariant(count));
    const int active = table.value(Active).toInt();
    table.setCalcValue(IsActive, active == StateActive ? QVariant(1) : QVariant());
    table.setCalcValue(IsInactive, active == StateInactive ? QVariant(1) : QVariant());
    const double fee = table.value(MonthlyFee).toDouble();
    table.setCalcValue(ActualMonthlyFee, active == StateActive ? QVariant(qint64(roundedFee(fee))) : QVariant());
}

QList<AccountFolder> accountFolders(const DataSet &table)
{
    QList<AccountFolder> folders;
    folders.reserve(table.totalRecordCount());
    for (int row = 0; row < table.totalRecordCount(); ++row) { // the filter hides none from this
        folders.append({table.valueOfRow(row, AccountID).toLongLong(), table.valueOfRow(row, SiteName).toString(),
                        table.valueOfRow(row, SavePath).toString()});
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const AccountFolder &a, const AccountFolder &b) { return a.accountId < b.accountId; });
    return folders;
}

} // namespace AccountTable
