// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/DlgTemplate.h"

class LabeledEdit;
class QLabel;
class QPlainTextEdit;

// "Tell A Friend": a recommendation mail with the user's name, the friend's name and the program's
// link (the user's affiliate link when a ClickBank ID is given), handed to the user's mail program
// as a mailto: URL. The program sends nothing itself, and nothing entered is kept.
class TfrmShare : public TDlgTemplate
{
    Q_OBJECT

public:
    explicit TfrmShare(QWidget *parent = nullptr);

    LabeledEdit *ledYourName = nullptr;
    LabeledEdit *ledFriendsName = nullptr;
    LabeledEdit *ledEmailAddress = nullptr;
    LabeledEdit *ledClickBankID = nullptr;
    LabeledEdit *ledSubject = nullptr;
    QLabel *lblEmailBody = nullptr;
    QPlainTextEdit *memEmailBody = nullptr;

    // The mailto: URL OK hands to the mail program, as the fields stand now.
    QString mailToUrl() const;

public Q_SLOTS:
    void UserInfoFieldsChange();
    void memEmailBodyChange();
    void ledEmailAddressChange();

protected Q_SLOTS:
    void btnOKClick() override;

private:
    // True while UserInfoFieldsChange writes the message text: that change is not the user's.
    bool m_generating = false;
    // The user has edited the message text: the names and the ID no longer rewrite it.
    bool m_locked = false;
};
