// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

#include <QMessageBox>

class LabeledEdit;
class QLabel;

// The dialog that sets, changes and removes the master password. The old password must be given
// first (empty while none is set); the new one is typed twice, and leaving both empty removes it.
// What OK stores stays stored: the dialog keeps no undo.
class TfrmSettings : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmSettings(QWidget *parent = nullptr);

    QWidget *imgUserAgent = nullptr;
    QLabel *lblMasterPasswordDesc = nullptr;
    LabeledEdit *ledOldPassword = nullptr;
    LabeledEdit *ledNewPassword = nullptr;
    LabeledEdit *ledRetypePassword = nullptr;

    void setVisible(bool visible) override;

protected Q_SLOTS:
    void btnOKClick() override;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Gives the three labels the width of the widest, so that the edits start in one column.
    void alignLabels();
    void refuse(QMessageBox::Icon icon, const QString &text);

    bool m_shown = false;
    bool m_fitted = false;
};
