// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShareForm.h"

#include "core/outreach/OutreachLinks.h"
#include "core/outreach/OutreachTexts.h"
#include "core/settings/ProgramInfo.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TfrmShare::TfrmShare(QWidget *parent) : TDlgTemplate(parent)
{
    setObjectName(QStringLiteral("frmShare"));
    setWindowTitle(tr("Tell A Friend"));
    setClientSize(332, 409);

    QWidget *area = clientArea();
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(12, 10, 12, 8);
    column->setSpacing(6);

    auto makeEdit = [area](const QString &label, const char *name) {
        auto *edit = new LabeledEdit(label, LabeledEdit::LabelPosition::Above, area);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    ledYourName = makeEdit(tr("Your name:"), "ledYourName");
    ledFriendsName = makeEdit(tr("Your friend's name:"), "ledFriendsName");
    ledEmailAddress = makeEdit(tr("Enter your friend's email address here:"), "ledEmailAddress");
    ledClickBankID = makeEdit(tr("If you have a ClickBank ID, you may enter it here:"), "ledClickBankID");
    ledSubject = makeEdit(tr("Email Subject:"), "ledSubject");
    ledSubject->setText(OutreachTexts::shareDefaultSubject());

    lblEmailBody = new QLabel(tr("Message Text:"), area);
    lblEmailBody->setObjectName(QStringLiteral("lblEmailBody"));
    memEmailBody = new QPlainTextEdit(area);
    memEmailBody->setObjectName(QStringLiteral("memEmailBody"));
    // Long lines scroll instead of wrapping: the lines in the box are the lines of the mail.
    memEmailBody->setLineWrapMode(QPlainTextEdit::NoWrap);
    memEmailBody->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memEmailBody->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memEmailBody->setTabChangesFocus(true);
    lblEmailBody->setBuddy(memEmailBody);

    column->addWidget(ledYourName);
    column->addWidget(ledFriendsName);
    column->addWidget(ledEmailAddress);
    column->addWidget(ledClickBankID);
    column->addWidget(ledSubject);
    column->addSpacing(2);
    column->addWidget(lblEmailBody);
    column->addWidget(memEmailBody, 1);

    connect(ledYourName, &LabeledEdit::textChanged, this, &TfrmShare::UserInfoFieldsChange);
    connect(ledFriendsName, &LabeledEdit::textChanged, this, &TfrmShare::UserInfoFieldsChange);
    connect(ledClickBankID, &LabeledEdit::textChanged, this, &TfrmShare::UserInfoFieldsChange);
    connect(ledEmailAddress, &LabeledEdit::textChanged, this, &TfrmShare::ledEmailAddressChange);
    connect(memEmailBody, &QPlainTextEdit::textChanged, this, &TfrmShare::memEmailBodyChange);

    btnOK->setEnabled(false);

    setTabOrder(ledYourName->edit(), ledFriendsName->edit());
    setTabOrder(ledFriendsName->edit(), ledEmailAddress->edit());
    setTabOrder(ledEmailAddress->edit(), ledClickBankID->edit());
    setTabOrder(ledClickBankID->edit(), ledSubject->edit());
    setTabOrder(ledSubject->edit(), memEmailBody);
    setTabOrder(memEmailBody, btnOK);
    setTabOrder(btnOK, btnCancel);
    ledYourName->setFocus();
}

void TfrmShare::UserInfoFieldsChange()
{
    if (m_locked)
        return;
    const QString id = ledClickBankID->text();
    const QString link = id.isEmpty() ? ProgramInfo::WebSite : Outreach::affiliateLink(id);
    m_generating = true;
    memEmailBody->setPlainText(Outreach::shareBody(ledFriendsName->text(), link, ledYourName->text()));
    m_generating = false;
}

void TfrmShare::memEmailBodyChange()
{
    // Every change that is not ours is the user's wording (typed, pasted, dropped): keep it.
    if (m_generating || m_locked)
        return;
    m_locked = true;
    ledYourName->setEnabled(false);
    ledFriendsName->setEnabled(false);
    ledClickBankID->setEnabled(false);
}

void TfrmShare::ledEmailAddressChange()
{
    btnOK->setEnabled(!ledEmailAddress->text().isEmpty());
}

QString TfrmShare::mailToUrl() const
{
    return Outreach::mailToUrl(ledEmailAddress->text(), ledSubject->text(), memEmailBody->toPlainText());
}

void TfrmShare::btnOKClick()
{
    // Every character is percent-encoded already: the URL goes to the mail program as it is.
    if (Platform::Services::instance().openUrl(QUrl::fromEncoded(mailToUrl().toLatin1(), QUrl::StrictMode)))
        return;
    // Nothing was sent: closing now would throw away what the user wrote.
    setResult(mrNone);
    Platform::showMessage(QMessageBox::Warning, OutreachTexts::shareNoMailProgram(), QMessageBox::Ok,
                          QMessageBox::NoButton, this);
}
