// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Collects a document's text up to a limit: runs of white space of markup become one space, and a
// paragraph's end one line break.
class TextSink
{
public:
    explicit TextSink(qsizetype maxChars);

    // Text as it stands (a word processor's runs keep their spaces).
    void append(QStringView text);
    // Text of markup, where any run of white space is one space.
    void appendCollapsed(QStringView text);
    void append(QChar c) { append(QStringView(&c, 1)); }
    // Ends the line, unless it is empty: empty paragraphs leave no empty lines.
    void lineBreak();

    bool isFull() const { return m_truncated; }
    bool truncated() const { return m_truncated; }
    qsizetype size() const { return m_text.size(); }
    QString take();

private:
    QString m_text;
    qsizetype m_max;
    bool m_truncated = false;
    bool m_pendingSpace = false;
};
