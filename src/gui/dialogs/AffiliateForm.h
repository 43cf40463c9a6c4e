// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

class LabeledEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// "Make Money": turns the user's ClickBank ID into an affiliate link for the program, copies it to
// the clipboard and opens it in the browser. Nothing entered is kept: each opening starts empty.
class TfrmAffiliate : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmAffiliate(QWidget *parent = nullptr);

    QLabel *lblDescription = nullptr;
    LabeledEdit *ledClickBankID = nullptr;
    QPushButton *btnGetAffiliateLink = nullptr;
    QLineEdit *edtAffiliateLink = nullptr;
    QPushButton *btnCopyLink = nullptr;

public Q_SLOTS:
    void ledClickBankIDChange();
    void btnGetAffiliateLinkClick();
    void btnCopyLinkClick();
    void edtAffiliateLinkClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createLinkEdit(QWidget *area);
    // The ID the link in edtAffiliateLink was built from.
    QString m_linkId;
};
