// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFrame>

// A panel that always paints its own colour over its whole area (a plain
// panel under visual themes shows its parent's background instead), with an optional caption.
// Its colour is the Window role of its palette: a child panel that sets no colour of its own takes
// its parent's ("ParentColor"), as lblAccounts does.
class TXpPanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit TXpPanel(QWidget *parent = nullptr);
    explicit TXpPanel(const QString &caption, QWidget *parent = nullptr);
    ~TXpPanel() override;

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Where the caption sits (default: left, vertically centred, with a small indent).
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);

    QColor color() const;
    void setColor(const QColor &color);
    QColor captionColor() const;
    void setCaptionColor(const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// The "Accounts" caption bar above the account list: pnlAccounts, 29 px high with a
// lowered inner bevel in the active-caption colour (QPalette::Highlight), holding lblAccounts, a
// TXpPanel that fills it, takes its colour and shows "Accounts" in bold (Tahoma where installed) in
// the caption-text colour (QPalette::HighlightedText).
struct AccountsCaptionBar
{
    TXpPanel *pnlAccounts = nullptr;
    TXpPanel *lblAccounts = nullptr;
};
AccountsCaptionBar createAccountsCaptionBar(QWidget *parent);
