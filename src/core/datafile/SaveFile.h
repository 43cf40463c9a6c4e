// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

// A file that is replaced whole or not at all. The new contents go to a temporary file beside the
// target, created user-only (or with the target's own mode where that is stricter), which is synced
// and renamed over the target by commit(). Until then the target is untouched; a save that fails or
// is dropped removes its temporary file, and one killed half-way leaves a file of a name that only
// our saves make, which isLeftoverOf() recognises so that the next save can take it away.
//
// The temporary name is the target's name followed by ".vantory-save-" and eight hexadecimal digits.
// A target that is a symbolic link is replaced where the link points, and the link stays.
class SaveFile : public QFile
{
public:
    explicit SaveFile(const QString &target);
    ~SaveFile() override;

    // Creates the temporary file; only write-only opening is supported. Fails when the target exists
    // and may not be written (read-only) or is no regular file (a pipe, a device, a folder).
    bool open(OpenMode mode) override;
    // Writes everything to the disk and renames the temporary file over the target. On failure the
    // temporary file is gone, the target is as it was, and errorString() tells why.
    bool commit();
    // Drops the temporary file; the target is as it was.
    void cancelWriting();

    // The file that commit() replaces (a link's target).
    QString targetName() const { return m_target; }

    // The name of the file whose save writes the temporary file called name (bare names), or empty
    // when name is not of the form our saves give them.
    static QString leftoverTarget(const QString &name);

private:
    void removeTemporary();

    QString m_target;
    bool m_committed = false;
};
