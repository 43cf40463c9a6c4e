// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchAnimation.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>

#include <cmath>
#include <numbers>

SearchAnimation::SearchAnimation(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SearchAnimation::sizeHint() const
{
    // Follows the font, so it keeps its place beside the option boxes at every scale.
    const int side = fontMetrics().height() * 3;
    return QSize(side, side);
}

void SearchAnimation::start()
{
    if (m_timer.isActive())
        return;
    m_timer.start(kFrameMs, Qt::CoarseTimer, this);
}

void SearchAnimation::stop()
{
    m_timer.stop();
    m_frame = 0;
    update();
}

void SearchAnimation::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_frame = (m_frame + 1) % kFrames;
    update();
}

void SearchAnimation::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    p.translate((width() - side) / 2, (height() - side) / 2);
    p.scale(side / 48.0, side / 48.0);

    const QPalette &pal = palette();
    // The sheet, with a folded corner and lines of text.
    QPainterPath sheet;
    sheet.moveTo(8, 4);
    sheet.lineTo(30, 4);
    sheet.lineTo(38, 12);
    sheet.lineTo(38, 44);
    sheet.lineTo(8, 44);
    sheet.closeSubpath();
    p.setPen(QPen(pal.color(QPalette::Mid), 1.2));
    p.setBrush(pal.color(QPalette::Base));
    p.drawPath(sheet);
    p.drawLine(QPointF(30, 4), QPointF(30, 12));
    p.drawLine(QPointF(30, 12), QPointF(38, 12));
    p.setPen(QPen(pal.color(QPalette::Dark), 1.5));
    for (int line = 0; line < 6; ++line) {
        const qreal y = 17 + line * 4.5;
        p.drawLine(QPointF(12, y), QPointF(line % 3 == 2 ? 26 : 34, y));
    }

    // The glass: resting at the lower right, circling over the text while running.
    QPointF centre(31, 31);
    if (isRunning()) {
        const double angle = 2 * std::numbers::pi * m_frame / kFrames;
        centre = QPointF(22 + 8 * std::cos(angle), 25 + 8 * std::sin(angle));
    }
    const qreal radius = 8;
    const QPointF handleFrom = centre + QPointF(radius * 0.7, radius * 0.7);
    p.setPen(QPen(pal.color(QPalette::Shadow), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleFrom, handleFrom + QPointF(7, 7));
    QColor glass = pal.color(QPalette::Highlight);
    glass.setAlpha(60);
    p.setBrush(glass);
    p.setPen(QPen(pal.color(QPalette::Shadow), 2.2));
    p.drawEllipse(centre, radius, radius);
}
