#pragma once

#include <QString>

// The program's per-user settings: one group per section, read and written one value at a time.
// Nothing is kept in memory between calls, and no call reports failure: a value that cannot be
// read gives the default (integers) or empty text (strings), a write that cannot be done is lost.
int RegReadInteger(const QString &section, const QString &name, int defaultValue);
QString RegReadString(const QString &section, const QString &name);
void RegWriteInteger(const QString &section, const QString &name, int value);
void RegWriteString(const QString &section, const QString &name, const QString &value);

// The same writes for callers that must know whether the value was stored: true only when it is in
// the store once the store has been written out. A write that fails (a read-only file or folder, a
// full disk, something else where the store should be) changes nothing, not even what later reads in
// this process give.
bool RegWriteIntegerChecked(const QString &section, const QString &name, int value);
bool RegWriteStringChecked(const QString &section, const QString &name, const QString &value);

// Where the store lies, for messages to the user: the settings file, or the registry key on Windows.
QString RegStoreLocation();
