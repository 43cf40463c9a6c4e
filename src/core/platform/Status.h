// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether an operation of the core went well, and if not, why: the one way the core reports an error
// (see docs/errors.md). The error travels back in what the function returns; the caller decides what
// the user sees, since the core shows no windows.
//
//     const Status written = CsvExport::write(path, rows, separator);
//     if (!written)
//         Platform::showError(written.error, this);
//
// The error is a whole sentence for the user, naming the file where there is one; for a lower layer
// (reading a file, renaming one) a short reason without the path, which the caller puts into its own
// sentence. Results that tell more than yes or no (BackupRestore::Outcome, DataFileBackups::Result,
// FlatCopy::Result, Platform::RenameResult) have the same shape: an error text and ok().
struct [[nodiscard]] Status
{
    QString error; // why it did not go well; empty when it did

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }

    // A failure for the reason given. A failure must never read as success: an empty reason becomes
    // a general one.
    static Status failure(const QString &error);
};
