// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Settings files that the file format reads without complaint but not as they stand: the line of
// each setting is intact, yet what is read is not what the file seems to hold.
namespace DamagedSettings {

enum class Damage
{
    GarbageLineBefore, // a line that is no setting, before the first section
    UnterminatedQuote, // a value whose quotation mark is not closed swallows the lines after it
    SecondEmptyValue,  // the last key of the file again, with an empty value
};

inline QList<std::pair<const char *, Damage>> all()
{
    return {{"garbage line before", Damage::GarbageLineBefore},
            {"unterminated quote", Damage::UnterminatedQuote},
            {"second empty value", Damage::SecondEmptyValue}};
}

// good: a settings file as the program writes it, ending in a line break, its first value (under
// the first section's header) followed by others.
inline QByteArray apply(QByteArray good, Damage damage)
{
    switch (damage) {
    case Damage::GarbageLineBefore:
        return "these words are no setting\n" + good;
    case Damage::UnterminatedQuote: {
        const qsizetype header = good.indexOf("]\n") + 2;
        const qsizetype equals = good.indexOf('=', header) + 1;
        return good.insert(equals, "\"/home/me/");
    }
    case Damage::SecondEmptyValue: {
        const qsizetype start = good.lastIndexOf('\n', good.size() - 2) + 1;
        const qsizetype equals = good.indexOf('=', start) + 1;
        return good + good.mid(start, equals - start) + '\n';
    }
    }
    return good;
}

} // namespace DamagedSettings
