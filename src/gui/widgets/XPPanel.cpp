// SPDX-License-Identifier: GPL-3.0-or-later
#include "XPPanel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>

namespace {
constexpr int CaptionIndent = 6;
constexpr int CaptionBarHeight = 29;
} // namespace

TXpPanel::TXpPanel(QWidget *parent) : TXpPanel(QString(), parent)
{
}

TXpPanel::TXpPanel(const QString &caption, QWidget *parent) : QFrame(parent), m_caption(caption)
{
    // Opaque, and painted in its own colour rather than its parent's background.
    setAutoFillBackground(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground, false);
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);
}

TXpPanel::~TXpPanel() = default;

void TXpPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateGeometry();
    update();
}

void TXpPanel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QColor TXpPanel::color() const
{
    return palette().color(QPalette::Window);
}

void TXpPanel::setColor(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

QColor TXpPanel::captionColor() const
{
    return palette().color(QPalette::WindowText);
}

void TXpPanel::setCaptionColor(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, color);
    setPalette(pal);
}

QSize TXpPanel::sizeHint() const
{
    const QFontMetrics fm(font());
    const QMargins m = contentsMargins();
    return QSize(fm.horizontalAdvance(m_caption) + 2 * CaptionIndent + m.left() + m.right(),
                 fm.height() + 4 + m.top() + m.bottom());
}

QSize TXpPanel::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right(), m.top() + m.bottom());
}

void TXpPanel::paintEvent(QPaintEvent *event)
{
    {
        // autoFillBackground has painted the colour already, except where WA_OpaquePaintEvent let
        // the paint system skip it; fill again so the whole area is ours in any case.
        QPainter painter(this);
        painter.fillRect(rect(), palette().brush(backgroundRole()));
        if (!m_caption.isEmpty()) {
            QRect r = contentsRect();
            if (m_alignment & Qt::AlignLeft)
                r.setLeft(r.left() + CaptionIndent);
            if (m_alignment & Qt::AlignRight)
                r.setRight(r.right() - CaptionIndent);
            painter.setPen(palette().color(foregroundRole()));
            painter.setFont(font());
            painter.drawText(r, int(m_alignment) | Qt::TextSingleLine, m_caption);
        }
    }
    QFrame::paintEvent(event); // the bevel
}

AccountsCaptionBar createAccountsCaptionBar(QWidget *parent)
{
    AccountsCaptionBar bar;
    bar.pnlAccounts = new TXpPanel(parent);
    bar.pnlAccounts->setObjectName(QStringLiteral("pnlAccounts"));
    bar.pnlAccounts->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar.pnlAccounts->setLineWidth(1);
    bar.pnlAccounts->setFixedHeight(CaptionBarHeight);
    bar.pnlAccounts->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const QPalette system = bar.pnlAccounts->palette();
    bar.pnlAccounts->setColor(system.color(QPalette::Active, QPalette::Highlight));
    bar.pnlAccounts->setCaptionColor(system.color(QPalette::Active, QPalette::HighlightedText));

    // lblAccounts sets no colour of its own: it inherits pnlAccounts' palette.
    bar.lblAccounts = new TXpPanel(TXpPanel::tr("Accounts"), bar.pnlAccounts);
    bar.lblAccounts->setObjectName(QStringLiteral("lblAccounts"));
    bar.lblAccounts->setFrameStyle(QFrame::NoFrame);
    QFont font = bar.lblAccounts->font();
    font.setFamilies({QStringLiteral("Tahoma"), font.family()});
    font.setBold(true);
    bar.lblAccounts->setFont(font);

    auto *layout = new QHBoxLayout(bar.pnlAccounts);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar.lblAccounts);
    return bar;
}
