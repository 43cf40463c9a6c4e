// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QWidget>

class QLabel;
class QBoxLayout;

// The labelled edit of the forms ("led" components): a label above or to the left of a line edit.
// The label is the edit's buddy (its access letter focuses the edit) and its text is the edit's
// accessible name. The widget hands its focus to the edit, and only the edit is a stop of the tab
// chain (tab orders are given with edit()).
class LabeledEdit : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged USER true)
    Q_PROPERTY(QString labelText READ labelText WRITE setLabelText)

public:
    enum class LabelPosition
    {
        Above,
        Left
    };

    explicit LabeledEdit(QWidget *parent = nullptr);
    LabeledEdit(const QString &labelText, LabelPosition position = LabelPosition::Above, QWidget *parent = nullptr);
    ~LabeledEdit() override;

    QLineEdit *edit() const { return m_edit; }
    QLabel *label() const { return m_label; }

    QString text() const { return m_edit->text(); }
    void setText(const QString &text) { m_edit->setText(text); }
    int maxLength() const { return m_edit->maxLength(); }
    void setMaxLength(int length) { m_edit->setMaxLength(length); }
    QLineEdit::EchoMode echoMode() const { return m_edit->echoMode(); }
    void setEchoMode(QLineEdit::EchoMode mode) { m_edit->setEchoMode(mode); }

    QString labelText() const;
    void setLabelText(const QString &text);

    LabelPosition labelPosition() const { return m_position; }
    void setLabelPosition(LabelPosition position);
    // Pixels between the label and the edit (3 by default).
    int labelSpacing() const;
    void setLabelSpacing(int spacing);

Q_SIGNALS:
    void textChanged(const QString &text);
    void textEdited(const QString &text);

private:
    QLabel *m_label = nullptr;
    QLineEdit *m_edit = nullptr;
    QBoxLayout *m_layout = nullptr;
    LabelPosition m_position = LabelPosition::Above;
};
