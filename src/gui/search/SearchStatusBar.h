// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStatusBar>

class QTextLayout;

// The search window's status line. Its messages are never cut: one too long for a line is wrapped
// (at spaces, or anywhere in a word longer than the line, such as a folder path), and the bar grows
// to as many lines as the message needs. Messages are given as on any status bar (showMessage), and
// currentMessage() is the whole text.
class SearchStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit SearchStatusBar(QWidget *parent = nullptr);

    // Where the message is drawn: left of the size grip, as on any status bar.
    QRect messageRect() const;
    // The message as it is shown, line by line.
    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Lays the message out in the message area's width; returns the height of its lines.
    qreal layOut(QTextLayout &layout) const;
    // Makes the bar as tall as the message needs.
    void fitHeight();
};
