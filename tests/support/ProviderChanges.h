// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/datafile/XmlDataProvider.h"
#include "VerifyStatus.h"

// Writes changes to what a provider's data file holds now, as a table would: loads the rows, plays
// the changes on them (a changed or removed row is found by its values) and writes the rows. A failure
// when a step fails or a changed row is not in the file; nothing is written then.
inline Status applyToFile(XmlDataProvider &provider, const QList<PendingChange> &changes)
{
    QList<RowValues> rows;
    if (Status loaded = provider.load(rows); !loaded)
        return loaded;
    for (const PendingChange &change : changes) {
        if (change.kind == PendingChange::Insert) {
            rows.append(change.newValues);
            continue;
        }
        const qsizetype at = rows.indexOf(change.oldValues);
        if (at < 0)
            return Status::failure(QStringLiteral("no such row in the file"));
        if (change.kind == PendingChange::Modify)
            rows[at] = change.newValues;
        else
            rows.removeAt(at);
    }
    return provider.applyChanges(changes, rows);
}
