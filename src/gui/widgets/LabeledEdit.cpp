// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabeledEdit.h"

#include <QBoxLayout>
#include <QLabel>

LabeledEdit::LabeledEdit(QWidget *parent) : LabeledEdit(QString(), LabelPosition::Above, parent)
{
}

LabeledEdit::LabeledEdit(const QString &labelText, LabelPosition position, QWidget *parent)
    : QWidget(parent), m_position(position)
{
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edit"));
    m_label->setBuddy(m_edit);
    // The widget itself keeps no focus policy: a policy set on it would pass to the edit, and a
    // focusable wrapper would be a second stop of the tab chain beside its edit, left behind where
    // the tab order is given with edit().
    setFocusProxy(m_edit);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(3);
    m_layout->addWidget(m_label);
    m_layout->addWidget(m_edit, 1);
    setLabelPosition(position);
    setLabelText(labelText);

    connect(m_edit, &QLineEdit::textChanged, this, &LabeledEdit::textChanged);
    connect(m_edit, &QLineEdit::textEdited, this, &LabeledEdit::textEdited);
}

LabeledEdit::~LabeledEdit() = default;

QString LabeledEdit::labelText() const
{
    return m_label->text();
}

void LabeledEdit::setLabelText(const QString &text)
{
    m_label->setText(text);
    // The accessible name is what a screen reader says: the label without its access-key marker.
    QString name = text;
    name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    name.remove(u'&');
    name.replace(u'\x01', u'&');
    m_edit->setAccessibleName(name);
}

void LabeledEdit::setLabelPosition(LabelPosition position)
{
    m_position = position;
    if (position == LabelPosition::Above) {
        m_layout->setDirection(QBoxLayout::TopToBottom);
        m_label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    } else {
        m_layout->setDirection(QBoxLayout::LeftToRight);
        m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

int LabeledEdit::labelSpacing() const
{
    return m_layout->spacing();
}

void LabeledEdit::setLabelSpacing(int spacing)
{
    m_layout->setSpacing(spacing);
}
