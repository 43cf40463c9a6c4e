// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The reversible scrambling of stored passwords. It keeps a password from being readable as typed in
// the data file and the settings; it is not encryption: the key is built into the program.
//
// Each source byte becomes a pair: "2" or "3" for the high bit of the scrambled byte, then a character
// from 0x41 to 0xC0 for its low seven bits. The output never holds a NUL, an ASCII control character
// or a space, so it survives any text field (it may hold DEL, C1 controls and the no-break space,
// which XML and the settings carry as they are). Scrambling is deterministic and one-to-one: comparing scrambled
// texts is comparing the texts. Both directions are pure and may be called from any thread.

// Scrambles bytes of any length; the result is exactly twice as long.
QByteArray encodeBytes(QByteArrayView source);
// Restores bytes. Any input is accepted: a trailing odd byte is ignored, and input that encodeBytes did
// not produce gives (length / 2) bytes without complaint.
QByteArray decodeBytes(QByteArrayView scrambled);

// Scrambles the text's local 8-bit bytes; the result holds one Latin-1 character per scrambled byte.
QString EncodeStr(const QString &text);
// Restores a text scrambled by EncodeStr. Characters beyond Latin-1 cannot come from EncodeStr and
// count as '?'.
QString DecodeStr(const QString &scrambled);
