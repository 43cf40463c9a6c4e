// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// The number text of the numeric edit (FlEdit.h): how a value is written into the field and how the
// field's text is read back. Plain functions without widgets, so that anything may call them
// without an application object.
namespace FloatText {

using Extended = long double;
constexpr int MaxDigits = 18;

// Fixed-point with exactly `digits` decimals (0 to MaxDigits), the given separator, no thousands
// separator, rounded to 18 significant digits; exponent form when the integer part needs more than 18.
QString format(Extended value, int digits, QChar separator);
// Optional blanks, optional sign, digits with at most one separator, optional exponent
// (E or e, optional sign, digits), optional blanks. Nothing else parses, the empty text included.
bool parse(const QString &text, QChar separator, Extended *value);

} // namespace FloatText
