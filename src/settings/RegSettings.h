#pragma once

#include <QString>

// The program's per-user settings: one group per section, read and written one value at a time.
// Nothing is kept in memory between calls, and no call reports failure: a value that cannot be
// read gives the default (integers) or empty text (strings), a write that cannot be done is lost.
int RegReadInteger(const QString &section, const QString &name, int defaultValue);
QString RegReadString(const QString &section, const QString &name);
void RegWriteInteger(const QString &section, const QString &name, int value);
void RegWriteString(const QString &section, const QString &name, const QString &value);
