// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QString>

// The program's per-user settings: one group per section, read and written one value at a time.
// Nothing is kept in memory between calls, and no call reports failure: a value that cannot be
// read gives the default (integers) or empty text (strings), a write that cannot be done is lost.
//
// A store that cannot be read whole gives nothing: a settings file that is no regular file (a named
// pipe would block every read, a device never ends), that is larger than any the program writes, or
// whose text the file format would misread (a line that is no setting, a quotation mark that is not
// closed, a key set twice: each hides or changes values whose lines look intact). Such a store is
// never written either, since the file format would rewrite it from what it misread.
int RegReadInteger(const QString &section, const QString &name, int defaultValue);
QString RegReadString(const QString &section, const QString &name);
void RegWriteInteger(const QString &section, const QString &name, int value);
void RegWriteString(const QString &section, const QString &name, const QString &value);

// The same writes for callers that must know whether the value was stored: true only when it is in
// the store once the store has been written out. A write that fails (a read-only file or folder, a
// full disk, something else where the store should be) changes nothing, not even what later reads in
// this process give.
//
// The store holds the master password: its file is written user-only (0600, in folders made 0700),
// and only when it is a regular file of the user's, reached directly or through a link. A link that
// leads nowhere, to a device, a pipe, a folder or another user's file is refused, and so is such a
// thing in the file's place; it is left as it was.
bool RegWriteIntegerChecked(const QString &section, const QString &name, int value);
bool RegWriteStringChecked(const QString &section, const QString &name, const QString &value);

// Ok when the store can be read whole: there is none yet, or it reads as it stands. Otherwise the
// error tells why in a few words without the path, for the caller's own sentence.
Status RegStoreReadable();

// RegReadString for callers that must tell an empty value from a store that cannot be read: a
// failure, with value empty and the error as RegStoreReadable gives it, when the store cannot be
// read whole.
Status RegReadStringChecked(const QString &section, const QString &name, QString &value);

// Where the store lies, for messages to the user: the settings file, or the registry key on Windows.
// Found without reading the store, so it can be named whatever stands there.
QString RegStoreLocation();
