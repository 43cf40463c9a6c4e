// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The directory listing's own pattern match, one and the same on every system, so that a mask
// finds the same files wherever the program runs: "*" any run of characters anywhere in the name, "?" exactly one character, letters
// compared without regard to case (each UTF-16 unit upper-cased, as Windows compares names),
// "*.*" matching every name, a mask ending in ".*" also matching every name that the mask without
// its ".*" matches whole (so dot-less names too: "*report*.*" lists "Report 2019" and also
// "a.report"), and a mask ending in "." matching only names without a dot.
// This is not MatchesWildcard (whose first "*" ends the test), which serves exclusion masks only.
namespace SearchDetail {

class NameMask
{
public:
    NameMask() = default;
    explicit NameMask(const QString &mask);

    // name: UTF-8 bytes (the listing's nameBytes on every system).
    bool matches(QByteArrayView name) const;
    bool matches(const QString &name) const;
    // True when every name matches ("*", "*.*", ...): no comparison is needed.
    bool matchesAll() const { return m_all; }

private:
    struct Alternative
    {
        QByteArray lowered;  // ASCII-lowered UTF-8 bytes, used when mask and name are ASCII
        QString upper;       // upper-cased UTF-16, used otherwise
    };
    bool matchesUtf16(const QString &name) const;

    Alternative m_alt[2];
    int m_altCount = 0;
    bool m_all = false;
    bool m_requireNoDot = false;
    bool m_ascii = true;
};

// One-off match (tests and callers without a prepared mask).
bool matchesListingMask(const QString &name, const QString &mask);

} // namespace SearchDetail
