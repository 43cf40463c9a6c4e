// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

#include <functional>

class LabeledEdit;

// The start-up password dialog, shown before any other window while a master password is stored. It
// closes with OK only once the stored password was typed; the tries are not counted.
class TfrmLogin : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmLogin(QWidget *parent = nullptr);

    LabeledEdit *edtPassword = nullptr;

    // Checks the typed password with check instead of against the stored master password (the key of
    // the accounts, or of a backup), asking with prompt; a wrong one gives the same message.
    using Check = std::function<bool(const QString &password)>;
    void setCheck(Check check, const QString &prompt);

protected Q_SLOTS:
    void btnOKClick() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    Check m_check;
    bool m_shown = false;
};
