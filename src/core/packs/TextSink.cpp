// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextSink.h"

namespace {

bool isMarkupSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

} // namespace

TextSink::TextSink(qsizetype maxChars)
    : m_max(maxChars)
{
}

void TextSink::append(QStringView text)
{
    if (m_truncated || text.isEmpty())
        return;
    if (m_pendingSpace) {
        m_pendingSpace = false;
        append(QStringView(u" "));
    }
    const qsizetype room = m_max - m_text.size();
    if (text.size() > room) {
        m_text.append(text.left(room));
        m_truncated = true;
        return;
    }
    m_text.append(text);
}

void TextSink::appendCollapsed(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && !m_truncated) {
        if (isMarkupSpace(text[at])) {
            while (at < text.size() && isMarkupSpace(text[at]))
                ++at;
            // A space only between words: none at a line's start.
            m_pendingSpace = !m_text.isEmpty() && !m_text.endsWith(u'\n');
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && !isMarkupSpace(text[end]))
            ++end;
        append(text.mid(at, end - at));
        at = end;
    }
}

void TextSink::lineBreak()
{
    m_pendingSpace = false;
    while (m_text.endsWith(u' '))
        m_text.chop(1);
    if (!m_text.isEmpty() && !m_text.endsWith(u'\n'))
        append(QChar(u'\n'));
}

QString TextSink::take()
{
    lineBreak();
    if (m_text.endsWith(u'\n'))
        m_text.chop(1);
    return std::move(m_text);
}
