// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

class DataSet;
class LabeledEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QToolButton;
class TFloatEdit;
class VaultSession;

// The dialog in which the user enters a new account or changes one: it reads the account table's
// current row when shown and writes and posts it on OK.
class TfrmAccountEdit : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmAccountEdit(DataSet *table, QWidget *parent = nullptr);

    // Below 0: a new account; otherwise the table's current row is edited.
    int AccountId = -1;

    LabeledEdit *ledSiteName = nullptr;
    LabeledEdit *ledSiteUrl = nullptr;
    LabeledEdit *ledUserName = nullptr;
    LabeledEdit *ledPassword = nullptr;
    LabeledEdit *ledSavePath = nullptr;
    QToolButton *sbBrowseSiteName = nullptr;
    QLabel *lblMonthlyFeeCheck = nullptr;
    QCheckBox *chkMonthlyFee = nullptr;
    QLabel *lblMonthlyFee = nullptr;
    TFloatEdit *edtMonthlyFee = nullptr;
    QLabel *lblActiveState = nullptr;
    QComboBox *cbActiveState = nullptr;
    // Under the password: why the stored password is not shown. Hidden while there is nothing to say.
    QLabel *lblPasswordState = nullptr;

    // How passwords are stored (scrambled, or encrypted with the key held); without one, scrambled.
    void setVault(const VaultSession *vault) { m_vault = vault; }

    // The most bytes (in the local 8-bit encoding) a password may take: its scrambled form, two
    // characters a byte, fills the account's 80-character password field.
    static constexpr int MaxPasswordBytes = 40;

public Q_SLOTS:
    void chkMonthlyFeeClick();
    void sbBrowseSiteNameClick();

protected Q_SLOTS:
    void btnOKClick() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    // Writes the fields into the table's current row and posts it; false (with the reason shown)
    // when the table refused.
    bool saveAccount();

    DataSet *m_table;
    const VaultSession *m_vault = nullptr;
    // The stored password that could not be decrypted; kept as it is unless another one is typed.
    QString m_undecryptable;
    bool m_shown = false;
};
