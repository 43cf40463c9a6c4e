// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <cwchar>

// Names around packs: which file names look like packs or documents, and how an entry's stored name
// becomes text.
namespace PackNames {

// True for the names of the pack kinds read (.zip, .7z, .rar, .tar, .tar.gz, .tgz, .tar.bz2, .tbz2,
// .tar.xz, .txz, .tar.zst), in any case.
bool isPackName(QStringView name);

// An entry's name from what the library has of it: the stored bytes (raw) when they are UTF-8;
// otherwise the library's wide form (wide) when it has one; otherwise the bytes decoded as the
// code page old ZIP tools wrote (CP437, legacyZip) or as Latin-1 (old tar). Nothing is dropped.
QString entryName(const char *raw, const wchar_t *wide, bool legacyZip);

// The IBM PC code page of old ZIP names.
QString fromCp437(QByteArrayView bytes);

} // namespace PackNames
