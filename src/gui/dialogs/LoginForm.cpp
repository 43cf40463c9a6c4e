// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoginForm.h"

#include "PasswordTexts.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <QApplication>
#include <QVBoxLayout>

using namespace PasswordTexts;
using namespace SettingsKeys;

TfrmLogin::TfrmLogin(QWidget *parent) : TDlgTemplate(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(tr("Authentication"));
    setClientSize(226, 99);

    QWidget *area = clientArea();
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(12, 9, 12, 8);
    column->setSpacing(0);

    edtPassword = new LabeledEdit(tr("Enter the master password:"), LabeledEdit::LabelPosition::Above, area);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    // Typed characters show as asterisks whatever the style's own masking character is.
    edtPassword->edit()->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    column->addWidget(edtPassword);
    column->addStretch(1);

    setTabOrder(edtPassword->edit(), btnOK);
    setTabOrder(btnOK, btnCancel);
}

void TfrmLogin::showEvent(QShowEvent *event)
{
    TDlgTemplate::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    edtPassword->edit()->setFocus();
}

void TfrmLogin::setCheck(Check check, const QString &prompt)
{
    m_check = std::move(check);
    edtPassword->setLabelText(prompt);
}

void TfrmLogin::btnOKClick()
{
    if (m_check) {
        // A key takes a moment to derive.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool right = m_check(edtPassword->text());
        QApplication::restoreOverrideCursor();
        if (right)
            return;
        Platform::showMessage(QMessageBox::Warning, wrongPassword(), QMessageBox::Ok, QMessageBox::NoButton, this);
        setResult(mrNone);
        return;
    }
    // Read at every try: the stored value is the only authority, never a copy taken at start. A store
    // that cannot be read holds no password to compare with, which is not the same as none set.
    QString stored;
    if (const Status read = RegReadStringChecked(SectionMain, SettingPassword, stored); !read) {
        Platform::showMessage(QMessageBox::Critical, settingsUnreadable().arg(RegStoreLocation(), read.error),
                              QMessageBox::Ok, QMessageBox::NoButton, this);
        setResult(mrNone);
        return;
    }
    if (Vault::isVerifier(stored) ? Vault::verify(stored, edtPassword->text())
                                  : EncodeStr(edtPassword->text()) == stored)
        return;
    Platform::showMessage(QMessageBox::Warning, wrongPassword(), QMessageBox::Ok, QMessageBox::NoButton, this);
    setResult(mrNone);
}
