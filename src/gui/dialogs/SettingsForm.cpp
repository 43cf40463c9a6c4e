// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsForm.h"

#include "PasswordTexts.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

using namespace PasswordTexts;
using namespace SettingsKeys;

namespace {

// A picture drawn from its SVG at every paint, at the density of the screen it is on.
class SvgPicture : public QWidget
{
public:
    SvgPicture(QString name, const QSize &size, QWidget *parent) : QWidget(parent), m_name(std::move(name))
    {
        setFixedSize(size);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(QPoint(0, 0), Icons::pixmap(m_name, size(), devicePixelRatioF()));
    }

private:
    QString m_name;
};

LabeledEdit *passwordEdit(const QString &label, const QString &name, QWidget *parent)
{
    auto *edit = new LabeledEdit(label, LabeledEdit::LabelPosition::Left, parent);
    edit->setObjectName(name);
    edit->setLabelSpacing(8);
    return edit;
}

} // namespace

TfrmSettings::TfrmSettings(QWidget *parent) : TDlgTemplate(parent)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(tr("Master Password"));
    setClientSize(308, 177);

    QWidget *area = clientArea();
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(12, 10, 12, 8);
    column->setSpacing(8);

    imgUserAgent = new SvgPicture(QStringLiteral("key"), QSize(16, 16), area);
    imgUserAgent->setObjectName(QStringLiteral("imgUserAgent"));
    lblMasterPasswordDesc = new QLabel(tr("Enter the password to protect account information"), area);
    lblMasterPasswordDesc->setObjectName(QStringLiteral("lblMasterPasswordDesc"));
    lblMasterPasswordDesc->setWordWrap(true);
    QPalette blue = lblMasterPasswordDesc->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblMasterPasswordDesc->setPalette(blue);
    auto *top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(imgUserAgent, 0, Qt::AlignTop);
    top->addWidget(lblMasterPasswordDesc, 1);
    column->addLayout(top);
    column->addSpacing(4);

    ledOldPassword = passwordEdit(tr("Old Password:"), QStringLiteral("ledOldPassword"), area);
    ledNewPassword = passwordEdit(tr("New Password:"), QStringLiteral("ledNewPassword"), area);
    ledRetypePassword = passwordEdit(tr("Confirm Password:"), QStringLiteral("ledRetypePassword"), area);
    column->addWidget(ledOldPassword);
    column->addWidget(ledNewPassword);
    column->addWidget(ledRetypePassword);
    chkEncryptPasswords = new QCheckBox(tr("Encrypt stored passwords with the master password"), area);
    chkEncryptPasswords->setObjectName(QStringLiteral("chkEncryptPasswords"));
    chkEncryptPasswords->hide();
    column->addWidget(chkEncryptPasswords);
    column->addStretch(1);
    alignLabels();
    connect(ledNewPassword->edit(), &QLineEdit::textChanged, this, &TfrmSettings::updateEncryptBox);

    setTabOrder(ledOldPassword->edit(), ledNewPassword->edit());
    setTabOrder(ledNewPassword->edit(), ledRetypePassword->edit());
    setTabOrder(ledRetypePassword->edit(), chkEncryptPasswords);
    setTabOrder(chkEncryptPasswords, btnOK);
    setTabOrder(btnOK, btnCancel);
}

void TfrmSettings::setAccountBook(AccountBook *book)
{
    m_book = book;
    m_passwordSet = !RegReadString(SectionMain, SettingPassword).isEmpty();
    // On while the passwords are encrypted; the first time a master password is set, on as well.
    const bool sealed = book && book->vault()->fileIsSealed();
    chkEncryptPasswords->setChecked(sealed || !m_passwordSet);
    chkEncryptPasswords->setVisible(book != nullptr);
    m_fitted = false;
    updateEncryptBox();
}

void TfrmSettings::updateEncryptBox()
{
    // Without a master password, now or to come, there is nothing to encrypt with.
    chkEncryptPasswords->setEnabled(m_passwordSet || !ledNewPassword->text().isEmpty());
}

void TfrmSettings::alignLabels()
{
    const QList<LabeledEdit *> edits{ledOldPassword, ledNewPassword, ledRetypePassword};
    int width = 0;
    for (LabeledEdit *edit : edits) {
        edit->label()->setMinimumWidth(0);
        width = qMax(width, edit->label()->sizeHint().width());
    }
    for (LabeledEdit *edit : edits)
        edit->label()->setMinimumWidth(width);
}

void TfrmSettings::setVisible(bool visible)
{
    // The description wraps, and its lines count only at a given width, which the dialog's minimum
    // size leaves out: at the first showing the dialog is made as tall as its width needs, so that
    // no line is cut when the fonts are larger than the dialog was planned for.
    if (visible && !m_fitted) {
        m_fitted = true;
        ensurePolished();
        const int width = qMax(clientSize().width(), minimumSizeHint().width());
        setClientSize(width, qMax(clientSize().height(), heightForWidth(width)));
    }
    TDlgTemplate::setVisible(visible);
}

void TfrmSettings::changeEvent(QEvent *event)
{
    TDlgTemplate::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        alignLabels();
}

void TfrmSettings::showEvent(QShowEvent *event)
{
    TDlgTemplate::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ledOldPassword->edit()->setFocus();
}

void TfrmSettings::refuse(QMessageBox::Icon icon, const QString &text)
{
    Platform::showMessage(icon, text, QMessageBox::Ok, QMessageBox::NoButton, this);
    setResult(mrNone);
}

void TfrmSettings::btnOKClick()
{
    const QString &pwd = SettingPassword;
    // Settings that cannot be read whole are not rewritten (the password they hold would be lost or
    // changed): no old password can be checked against them, and nothing can be stored.
    QString stored;
    if (!RegReadStringChecked(SectionMain, pwd, stored)) {
        refuse(QMessageBox::Critical, passwordNotStored().arg(RegStoreLocation()));
        return;
    }
    // The old password first: a wrong one is all the user hears about, whatever the new fields hold.
    const bool oldMatches = Vault::isVerifier(stored) ? Vault::verify(stored, ledOldPassword->text())
                                                      : EncodeStr(ledOldPassword->text()) == stored;
    if (!oldMatches) {
        refuse(QMessageBox::Warning, wrongPassword());
        return;
    }
    // As typed: no trimming, case counts.
    if (ledNewPassword->text() != ledRetypePassword->text()) {
        refuse(QMessageBox::Warning, passwordMismatch());
        return;
    }
    if (m_book) {
        if (!storeWithVault()) {
            setResult(mrNone);
            return;
        }
        Platform::showMessage(QMessageBox::Information, passwordChanged(), QMessageBox::Ok, QMessageBox::NoButton,
                              this);
        return;
    }
    // Success is told only of a password that is really stored; otherwise the dialog stays open with
    // what was typed, for another try once the settings can be written.
    if (!RegWriteStringChecked(SectionMain, pwd, EncodeStr(ledNewPassword->text()))) {
        refuse(QMessageBox::Critical, passwordNotStored().arg(RegStoreLocation()));
        return;
    }
    Platform::showMessage(QMessageBox::Information, passwordChanged(), QMessageBox::Ok, QMessageBox::NoButton, this);
}

bool TfrmSettings::storeWithVault()
{
    const QString password = ledNewPassword->text();
    const bool encrypt = chkEncryptPasswords->isChecked() && !password.isEmpty();
    const bool sealed = m_book->vault()->fileIsSealed();
    if (!encrypt && !sealed) {
        if (RegWriteStringChecked(SectionMain, SettingPassword, EncodeStr(password)))
            return true;
        Platform::showMessage(QMessageBox::Critical, passwordNotStored().arg(RegStoreLocation()), QMessageBox::Ok,
                              QMessageBox::NoButton, this);
        return false;
    }
    if (sealed && !encrypt &&
        Platform::showMessage(QMessageBox::Question, encryptionOffQuestion(), QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No, this) != QMessageBox::Yes)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Vault::Cost cost = encrypt ? m_book->vaultCost() : Vault::Cost{};
    const Status changed = m_book->changeVault([&](VaultSession &vault) {
        if (!encrypt)
            return vault.turnOff(password);
        return sealed ? vault.changePassword(password, cost) : vault.turnOn(password, cost);
    });
    QApplication::restoreOverrideCursor();
    if (changed)
        return true;
    Platform::showMessage(QMessageBox::Critical, passwordsNotRewritten().arg(changed.error), QMessageBox::Ok,
                          QMessageBox::NoButton, this);
    return false;
}
