#pragma once

#include <QString>

// ---- Folder file counter -------------------------------------------------------------------------

// What CountFiles gives when a folder holds more files than the limit asked for.
const qint32 FileCountCap = 2147483647;
// The limit the account list counts save folders with; also the number shown for a capped count.
const qint32 FileCountLimit = 1000;

// Counts the files under a folder at every depth; folders themselves do not count, hidden files do.
// With a limit of 0 or more the count gives up with FileCountCap once it passes the limit; the limit
// is tested only between the entries of the folder itself, so each sub-folder is counted in full.
// A negative limit means no limit. An empty path, a missing path, a file or a folder that cannot be
// listed gives 0; a sub-folder that cannot be listed adds 0. Links to folders are followed, but never
// into a folder that is already being counted, so a link back into its own tree cannot loop.
qint32 CountFiles(const QString &folder, qint32 limit);

// The text of a file count in the account list and the totals bar: "(1,300)  ", or "> 1,000  " for
// FileCountCap, the number grouped by the current locale.
QString FileCountText(qint32 count);

// ---- Sorting and refresh -------------------------------------------------------------------------

class DataSet;

// Orders the table by one field: ascending, or descending when the field's ascending order is the
// active one. Each order is defined once and reused. False when nothing could be done (no such
// field, or the table refused; its lastError() says why).
bool SortDataSet(DataSet &table, const QString &fieldName);

// Reloads the table from its storage and returns to the record that was current. Never reports a
// failure: a table that cannot be reopened stays closed.
void RefreshDataSet(DataSet &table);
