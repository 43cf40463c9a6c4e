// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableOrder.h"

#include "AccountSchema.h"
#include "DataSet.h"

bool SortDataSet(DataSet &table, const QString &fieldName)
{
    const QString active = table.indexName();
    if (table.fieldIndex(fieldName) < 0)
        return false;
    const QString ascending = fieldName + AccountSchema::AscendingIndexSuffix;
    const bool descending = active == ascending;
    const QString wanted = descending ? fieldName + AccountSchema::DescendingIndexSuffix : ascending;
    if (!table.hasIndex(wanted) && !table.addIndex({wanted, fieldName, descending, false}))
        return false;
    return table.setIndexName(wanted);
}

void RefreshDataSet(DataSet &table)
{
    const DataSet::Bookmark mark = table.bookmark();
    table.close();
    if (table.open())
        table.gotoBookmark(mark);
}
