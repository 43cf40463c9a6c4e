// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameMask.h"

#include <cstring>

namespace SearchDetail {

namespace {

struct LowerTable
{
    unsigned char map[256];
    constexpr LowerTable()
        : map()
    {
        for (int i = 0; i < 256; ++i)
            map[i] = (i >= 'A' && i <= 'Z') ? static_cast<unsigned char>(i + 32) : static_cast<unsigned char>(i);
    }
};
constexpr LowerTable kLower;

bool isAscii(const char *s, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    return true;
}

inline unsigned code(char c)
{
    return static_cast<unsigned char>(c);
}
inline unsigned code(QChar c)
{
    return c.unicode();
}

// Glob match of the whole text against the whole pattern ("*" any run, "?" one unit), with the
// star position remembered for backtracking: linear in practice, O(n*m) at worst.
template <typename Char, typename Eq>
bool glob(const Char *s, qsizetype n, const Char *p, qsizetype m, Eq eq)
{
    qsizetype i = 0, j = 0, star = -1, mark = 0;
    while (i < n) {
        if (j < m && code(p[j]) == '*') {
            star = j++;
            mark = i;
        } else if (j < m && (code(p[j]) == '?' || eq(p[j], s[i]))) {
            ++i;
            ++j;
        } else if (star >= 0) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < m && code(p[j]) == '*')
        ++j;
    return j == m;
}

bool onlyStars(const QString &s)
{
    for (QChar c : s)
        if (c != u'*')
            return false;
    return !s.isEmpty();
}

} // namespace

NameMask::NameMask(const QString &mask)
{
    QString base = mask;
    if (base.endsWith(u'.')) {
        m_requireNoDot = true;
        base.chop(1);
    }
    QString alternatives[2] = {base, QString()};
    m_altCount = 1;
    if (base.endsWith(QLatin1String(".*"))) {
        alternatives[1] = base.left(base.size() - 2);
        m_altCount = 2;
    }
    for (int k = 0; k < m_altCount; ++k) {
        const QString &a = alternatives[k];
        if (onlyStars(a) && !m_requireNoDot)
            m_all = true;
        QByteArray bytes = a.toUtf8();
        if (!isAscii(bytes.constData(), bytes.size()))
            m_ascii = false;
        for (char &c : bytes)
            c = static_cast<char>(kLower.map[static_cast<unsigned char>(c)]);
        m_alt[k].lowered = bytes;
        // Simple per-unit mapping, as the comparison uses (QString::toUpper may lengthen: ß → SS).
        QString upper = a;
        for (QChar &c : upper)
            c = c.toUpper();
        m_alt[k].upper = upper;
    }
}

bool NameMask::matches(QByteArrayView name) const
{
    if (m_all)
        return true;
    const char *s = name.data();
    const qsizetype n = name.size();
    if (!m_ascii || !isAscii(s, n))
        return matchesUtf16(QString::fromUtf8(name));
    if (m_requireNoDot && memchr(s, '.', size_t(n)))
        return false;
    const auto eq = [](char p, char c) { return p == static_cast<char>(kLower.map[static_cast<unsigned char>(c)]); };
    for (int k = 0; k < m_altCount; ++k) {
        const QByteArray &p = m_alt[k].lowered;
        if (glob(s, n, p.constData(), p.size(), eq))
            return true;
    }
    return false;
}

bool NameMask::matches(const QString &name) const
{
    if (m_all)
        return true;
    return matchesUtf16(name);
}

bool NameMask::matchesUtf16(const QString &name) const
{
    if (m_requireNoDot && name.contains(u'.'))
        return false;
    const auto eq = [](QChar p, QChar c) { return p == c || p == c.toUpper(); };
    for (int k = 0; k < m_altCount; ++k) {
        const QString &p = m_alt[k].upper;
        if (glob(name.constData(), name.size(), p.constData(), p.size(), eq))
            return true;
    }
    return false;
}

bool matchesListingMask(const QString &name, const QString &mask)
{
    return NameMask(mask).matches(name);
}

} // namespace SearchDetail
