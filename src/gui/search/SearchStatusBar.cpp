// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchStatusBar.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

namespace {

// The message's margins: as a plain status bar keeps them, room for the size grip on the right.
constexpr int kLeftMargin = 6;
constexpr int kRightMargin = 12;
// Above and below the lines.
constexpr int kVerticalMargin = 2;

} // namespace

SearchStatusBar::SearchStatusBar(QWidget *parent) : QStatusBar(parent)
{
    connect(this, &QStatusBar::messageChanged, this, &SearchStatusBar::fitHeight);
}

QRect SearchStatusBar::messageRect() const
{
    return QRect(kLeftMargin, 0, std::max(0, width() - kLeftMargin - kRightMargin), height());
}

qreal SearchStatusBar::layOut(QTextLayout &layout) const
{
    QTextOption option(Qt::AlignLeading);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setFont(font());
    const qreal lineWidth = messageRect().width();
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

QStringList SearchStatusBar::shownLines() const
{
    const QString text = currentMessage();
    QTextLayout layout(text);
    layOut(layout);
    QStringList lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        lines << text.mid(line.textStart(), line.textLength());
    }
    return lines;
}

void SearchStatusBar::fitHeight()
{
    const int oneLine = fontMetrics().height() + 2 * kVerticalMargin;
    int needed = oneLine;
    if (!currentMessage().isEmpty()) {
        QTextLayout layout(currentMessage());
        needed = std::max(oneLine, int(std::ceil(layOut(layout))) + 2 * kVerticalMargin);
    }
    // A size set here is one the bar's own layout leaves alone.
    if (minimumHeight() != needed)
        setMinimumHeight(needed);
    update();
}

void SearchStatusBar::paintEvent(QPaintEvent *event)
{
    if (currentMessage().isEmpty()) {
        QStatusBar::paintEvent(event);
        return;
    }
    // The bar holds no widgets of its own, so the message is all there is to draw.
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QTextLayout layout(currentMessage());
    const qreal height = layOut(layout);
    const QRect area = messageRect();
    layout.draw(&painter, QPointF(area.left(), area.top() + std::max(0.0, (area.height() - height) / 2)));
}

void SearchStatusBar::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    fitHeight();
}

void SearchStatusBar::changeEvent(QEvent *event)
{
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitHeight();
}
