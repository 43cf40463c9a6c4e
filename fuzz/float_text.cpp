// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric edit's number text on any input. The first byte picks the decimal separator and the
// number of decimals, the rest is the text (UTF-8). Checked:
// - the parser accepts exactly the texts of its grammar whose value the type can hold, and gives the
//   value the C library reads from them;
// - every value it accepts, written with any number of decimals, parses again, lies within the
//   rounding of what was written, and is written the same way again.
#include "core/text/FloatText.h"

#include <QString>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using FloatText::Extended;

[[noreturn]] void fail(const char *what, const QString &text, const QString &detail = {})
{
    fprintf(stderr, "float_text: %s\ntext: \"%s\"\n%s\n", what, text.toUtf8().constData(), detail.toUtf8().constData());
    fflush(stderr);
    abort();
}

QString show(Extended v)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%.21Lg", v);
    return QString::fromLatin1(buf);
}

// The grammar, written out plainly: blanks, a sign, digits with at most one separator (at least one
// digit), an exponent with at least one digit, blanks. The number in C notation goes to c.
bool inGrammar(const QString &text, QChar separator, std::string &c)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text[k] : QChar(); };
    auto digit = [](QChar ch) { return ch.unicode() >= u'0' && ch.unicode() <= u'9'; };
    while (at(i) == u' ')
        ++i;
    if (at(i) == u'+' || at(i) == u'-')
        c += char(text[i++].unicode());
    int digits = 0, separators = 0;
    for (;; ++i) {
        if (i < n && digit(at(i))) {
            c += char(text[i].unicode());
            ++digits;
        } else if (i < n && at(i) == separator && separators == 0) {
            c += '.';
            ++separators;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (at(i) == u'e' || at(i) == u'E') {
        c += 'e';
        ++i;
        if (at(i) == u'+' || at(i) == u'-')
            c += char(text[i++].unicode());
        int exponentDigits = 0;
        for (; i < n && digit(at(i)); ++i, ++exponentDigits)
            c += char(text[i].unicode());
        if (exponentDigits == 0)
            return false;
    }
    while (at(i) == u' ')
        ++i;
    return i == n;
}

void checkWritten(Extended value, int digits, QChar separator, const QString &input)
{
    const QString written = FloatText::format(value, digits, separator);
    Extended back = 0;
    if (!FloatText::parse(written, separator, &back))
        fail("a written value does not parse", input, written);
    const int shown = qBound(0, digits, FloatText::MaxDigits);
    // Rounded once to the decimals shown or to 18 significant digits, whichever is coarser; the
    // long double reading of the 18 digits adds a little.
    const Extended bound = 0.5L * std::pow(10.0L, Extended(-shown)) * 1.000001L + std::fabs(value) * 1e-17L;
    if (!(std::fabs(back - value) <= bound))
        fail("a written value parses to another value", input,
             written + u" gives " + show(back) + u" for " + show(value));
    const QString again = FloatText::format(back, digits, separator);
    if (again != written)
        fail("a value read back is written otherwise", input, written + u" then " + again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QChar separators[] = {u'.', u',', QChar(0x066B), QChar(0x00B7)};
    const QChar separator = separators[data[0] & 3];
    const int digits = (data[0] >> 2) % 21 - 1; // -1 to 19: the bounds are capped
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Extended value = -12345;
    const bool parsed = FloatText::parse(text, separator, &value);
    std::string c;
    if (!inGrammar(text, separator, c)) {
        if (parsed)
            fail("a text outside the grammar parses", text);
        return 0;
    }
    errno = 0;
    char *end = nullptr;
    const Extended expected = std::strtold(c.c_str(), &end);
    if (std::isinf(expected)) {
        if (parsed)
            fail("a number beyond the range of the type parses", text, show(value));
        return 0;
    }
    if (!parsed)
        fail("a number of the grammar does not parse", text, QString::fromStdString(c));
    if (!(value == expected) || std::signbit(value) != std::signbit(expected))
        fail("a text parses to another value than the C library reads", text, show(value) + u" / " + show(expected));
    checkWritten(value, digits, separator, text);
    return 0;
}
