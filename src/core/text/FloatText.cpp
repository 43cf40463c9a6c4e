// SPDX-License-Identifier: GPL-3.0-or-later
#include "FloatText.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>

namespace FloatText {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Whether a number in C notation lies within the range of Extended.
bool fitsTheType(const std::string &number)
{
    std::istringstream in(number);
    in.imbue(std::locale::classic());
    Extended value = 0;
    in >> value;
    return !in.fail();
}

} // namespace

QString format(Extended value, int digits, QChar separator)
{
    digits = qBound(0, digits, MaxDigits);
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    const bool negative = std::signbit(value);
    const Extended magnitude = std::fabs(value);

    // 18 significant digits: d.ddddddddddddddddde+XX
    std::ostringstream sci;
    sci.imbue(std::locale::classic());
    sci << std::scientific << std::setprecision(MaxDigits - 1) << magnitude;
    const std::string s = sci.str();
    const std::size_t ePos = s.find('e');
    QString mantissa = QString::fromLatin1(s.substr(0, 1) + s.substr(2, ePos - 2));
    const int exponent = magnitude == 0 ? 0 : std::stoi(s.substr(ePos + 1));

    QString result;
    if (exponent >= MaxDigits) {
        // The integer part needs more than 18 digits: exponent form. Rounded up, the largest values
        // of the type would be written above it, as a text that reads as no number at all; they are
        // written rounded toward zero instead.
        if (!fitsTheType(s)) {
            for (qsizetype i = mantissa.size() - 1; i >= 0; --i) {
                if (mantissa[i] != u'0') {
                    mantissa[i] = QChar(mantissa[i].unicode() - 1);
                    break;
                }
                mantissa[i] = u'9';
            }
        }
        while (mantissa.size() > 1 && mantissa.endsWith(u'0'))
            mantissa.chop(1);
        result = mantissa.left(1);
        if (mantissa.size() > 1)
            result += separator + mantissa.mid(1);
        result += u'E' + QString::number(exponent);
    } else if (exponent + 1 + digits <= MaxDigits) {
        // Every shown digit is significant: round the exact value once.
        std::ostringstream fixed;
        fixed.imbue(std::locale::classic());
        fixed << std::fixed << std::setprecision(digits) << magnitude;
        result = QString::fromLatin1(fixed.str());
        result.replace(u'.', separator);
    } else {
        // Decimals past the 18th significant digit are zeros.
        const QString fraction = mantissa.mid(exponent + 1).leftJustified(digits, u'0');
        result = mantissa.left(exponent + 1);
        if (digits > 0)
            result += separator + fraction;
    }

    // No "-0.00": a value that rounds to zero is written without a sign.
    const bool allZero = std::none_of(result.cbegin(), result.cend(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    if (negative && !allZero)
        result.prepend(u'-');
    return result;
}

bool parse(const QString &text, QChar separator, Extended *value)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    std::string buf;
    while (i < n && text.at(i) == u' ')
        ++i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        buf += char(text.at(i++).unicode());
    int mantissaDigits = 0;
    bool seenSeparator = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (isAsciiDigit(c)) {
            buf += char(c.unicode());
            ++mantissaDigits;
        } else if (c == separator && !seenSeparator) {
            seenSeparator = true;
            buf += '.';
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text.at(i) == u'E' || text.at(i) == u'e')) {
        buf += 'e';
        ++i;
        if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
            buf += char(text.at(i++).unicode());
        int exponentDigits = 0;
        for (; i < n && isAsciiDigit(text.at(i)); ++i, ++exponentDigits)
            buf += char(text.at(i).unicode());
        if (exponentDigits == 0)
            return false;
    }
    while (i < n && text.at(i) == u' ')
        ++i;
    if (i != n)
        return false;

    std::istringstream in(buf);
    in.imbue(std::locale::classic());
    Extended result = 0;
    in >> result;
    if (in.fail()) // out of the range of the type
        return false;
    if (value)
        *value = result;
    return true;
}

} // namespace FloatText
