// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBasicTimer>
#include <QWidget>

// The search window's busy sign: a magnifying glass that circles over a sheet of paper while a
// search runs and rests in the sheet's corner otherwise. It ticks only while running, so an idle
// window costs nothing.
class SearchAnimation : public QWidget
{
    Q_OBJECT

public:
    explicit SearchAnimation(QWidget *parent = nullptr);

    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    // The step of the circle the glass is at (0 while resting).
    int frame() const { return m_frame; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    static constexpr int kFrames = 24;
    static constexpr int kFrameMs = 60;

    QBasicTimer m_timer;
    int m_frame = 0;
};
