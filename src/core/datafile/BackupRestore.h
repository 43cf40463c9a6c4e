// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class XmlDataProvider;

// The user's Backup and Restore commands on the data file, with their errors as values.
namespace BackupRestore {

// Shaped like a Status (an error text and ok()), with the kind of failure, which the window tells
// apart: Declined is no success, yet there is no error to show.
struct [[nodiscard]] Outcome
{
    enum Kind
    {
        Done,
        NotDataFile, // the chosen file is no data file: nothing was changed
        Declined,    // the file was not to replace the accounts after all: nothing was changed
        Failed,      // reading or writing failed: the target is as it was
    };
    Kind kind = Done;
    QString error; // what went wrong, naming the file, when not done

    bool ok() const { return kind == Done; }
};

// Copies the data file to the file the user chose, through a temporary file, so the target is either
// what it was or the whole copy. The copy is user-only from its first byte on, like the data file.
// Only a regular file of a data file's size is copied: a pipe or a device named as the data file must
// not hang the program or fill the memory.
Outcome backup(const QString &dataFile, const QString &target);

// Replaces the provider's data file with the file the user chose, once it is checked as a data file;
// the data file as it was is kept in the Backups folder. When given, proceed is asked with the number
// of accounts the checked file holds before anything is written; no gives Declined.
Outcome restore(XmlDataProvider &provider, const QString &source,
                const std::function<bool(qsizetype accounts)> &proceed = {});

} // namespace BackupRestore
