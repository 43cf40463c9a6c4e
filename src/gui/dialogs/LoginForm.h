// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

class LabeledEdit;

// The start-up password dialog, shown before any other window while a master password is stored. It
// closes with OK only once the stored password was typed; the tries are not counted.
class TfrmLogin : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmLogin(QWidget *parent = nullptr);

    LabeledEdit *edtPassword = nullptr;

protected Q_SLOTS:
    void btnOKClick() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_shown = false;
};
