// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

#include <QMessageBox>

class AccountBook;
class LabeledEdit;
class QCheckBox;
class QLabel;

// The dialog that sets, changes and removes the master password. The old password must be given
// first (empty while none is set); the new one is typed twice, and leaving both empty removes it.
// What OK stores stays stored: the dialog keeps no undo.
//
// Given the account book, it also offers to encrypt the stored passwords with the master password
// (checked the first time a master password is set) and moves them between their scrambled and
// encrypted forms as the box and the new password say.
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
    QCheckBox *chkEncryptPasswords = nullptr;

    // The accounts whose passwords the check box is about; without them the box is not shown.
    void setAccountBook(AccountBook *book);

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
    void updateEncryptBox();
    // Stores the new master password and moves the passwords to the form the check box says; false
    // (with the reason shown) when nothing was stored.
    bool storeWithVault();

    AccountBook *m_book = nullptr;
    bool m_passwordSet = false;
    bool m_shown = false;
    bool m_fitted = false;
};
