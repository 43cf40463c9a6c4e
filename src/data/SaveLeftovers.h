#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Our files are saved whole or not at all: the new contents go to a temporary file beside the old
// one, which is then renamed over it. A save killed before the rename leaves that temporary file
// behind, a complete or partial copy of the accounts under a name nobody looks at. These find such
// leftovers of our own saves, and nothing else.
namespace SaveLeftovers {

// The name of the file whose save left a file called name behind, or empty when name is not such a
// leftover. A save names its temporary file after the file it replaces, a dot and six random ASCII
// letters ("main.xml.jXDDHa"), whether it writes it under that name from the start or, where the
// system offers unnamed files, names the unnamed file so just before the rename.
// Six letters that read as a word (all of one case, or one capital before lower case: "backup",
// "Backup") are left alone, since that is how a person names a copy by hand; a save picks letters of
// that shape about once in twenty, and then its leftover stays where it is.
QString leftoverTarget(const QString &name);

// Removes path when it is a stale leftover: a regular file (never a link or a folder) last written
// before modifiedBefore. A younger one may belong to a save in progress in another running copy of
// the program.
bool removeIfStale(const QString &path, const QDateTime &modifiedBefore);

// Removes the stale leftovers of the saves of the file path; they lie beside the file a link points
// to, as the save writes there. Returns the paths removed.
QStringList remove(const QString &path, const QDateTime &modifiedBefore);

// The time before which a leftover is surely stale: a minute ago.
QDateTime staleBefore();

} // namespace SaveLeftovers
