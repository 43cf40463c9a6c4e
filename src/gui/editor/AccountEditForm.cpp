// SPDX-License-Identifier: GPL-3.0-or-later
#include "AccountEditForm.h"

#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/VaultSession.h"
#include "gui/widgets/ActiveStateItems.h"
#include "gui/widgets/FlEdit.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <cmath>

using namespace AccountSchema;

namespace {
// Keeps the hourglass up for the length of a scope, whatever way it is left.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TfrmAccountEdit::TfrmAccountEdit(DataSet *table, QWidget *parent)
    : TDlgTemplate(parent)
    , m_table(table)
{
    setObjectName(QStringLiteral("frmAccountEdit"));
    setWindowTitle(tr("Account details"));
    setClientSize(332, 313);

    QWidget *area = clientArea();
    auto *grid = new QGridLayout(area);
    grid->setContentsMargins(19, 12, 19, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);

    ledSiteName = new LabeledEdit(tr("Site Name:"), LabeledEdit::LabelPosition::Above, area);
    ledSiteName->setObjectName(QStringLiteral("ledSiteName"));
    ledSiteName->setMaxLength(PathFieldSize);
    ledSiteUrl = new LabeledEdit(tr("Site URL:"), LabeledEdit::LabelPosition::Above, area);
    ledSiteUrl->setObjectName(QStringLiteral("ledSiteUrl"));
    ledSiteUrl->setMaxLength(PathFieldSize);
    ledUserName = new LabeledEdit(tr("Username:"), LabeledEdit::LabelPosition::Above, area);
    ledUserName->setObjectName(QStringLiteral("ledUserName"));
    ledUserName->setMaxLength(LoginFieldSize);
    ledPassword = new LabeledEdit(tr("Password:"), LabeledEdit::LabelPosition::Above, area);
    ledPassword->setObjectName(QStringLiteral("ledPassword"));
    ledSavePath = new LabeledEdit(tr("Save Path:"), LabeledEdit::LabelPosition::Above, area);
    ledSavePath->setObjectName(QStringLiteral("ledSavePath"));
    ledSavePath->setMaxLength(PathFieldSize);
    sbBrowseSiteName = new QToolButton(area);
    sbBrowseSiteName->setObjectName(QStringLiteral("sbBrowseSiteName"));
    sbBrowseSiteName->setText(QStringLiteral("..."));
    sbBrowseSiteName->setFocusPolicy(Qt::NoFocus);
    sbBrowseSiteName->setToolTip(tr("Choose the folder downloads from this site are saved in"));
    sbBrowseSiteName->setFixedSize(21, 21);
    connect(sbBrowseSiteName, &QToolButton::clicked, this, &TfrmAccountEdit::sbBrowseSiteNameClick);

    lblMonthlyFeeCheck = new QLabel(tr("Monthly Fee?"), area);
    lblMonthlyFeeCheck->setObjectName(QStringLiteral("lblMonthlyFeeCheck"));
    chkMonthlyFee = new QCheckBox(tr("Yes"), area);
    chkMonthlyFee->setObjectName(QStringLiteral("chkMonthlyFee"));
    lblMonthlyFeeCheck->setBuddy(chkMonthlyFee);
    connect(chkMonthlyFee, &QCheckBox::clicked, this, &TfrmAccountEdit::chkMonthlyFeeClick);
    lblMonthlyFee = new QLabel(tr("How Much?"), area);
    lblMonthlyFee->setObjectName(QStringLiteral("lblMonthlyFee"));
    edtMonthlyFee = new TFloatEdit(area);
    edtMonthlyFee->setObjectName(QStringLiteral("edtMonthlyFee"));
    edtMonthlyFee->setDigits(2);
    edtMonthlyFee->setMaxValue(1000000.0);
    edtMonthlyFee->setErrorMessage(tr("Invalid value entered. Please check your input and try again"));
    edtMonthlyFee->setAdditionalDecimalSeparator(u'.');
    edtMonthlyFee->setFixedWidth(94);
    edtMonthlyFee->setAccessibleName(tr("Monthly fee amount"));
    lblMonthlyFee->setBuddy(edtMonthlyFee);
    lblMonthlyFee->setEnabled(false);
    edtMonthlyFee->setEnabled(false);

    lblActiveState = new QLabel(tr("Active?"), area);
    lblActiveState->setObjectName(QStringLiteral("lblActiveState"));
    cbActiveState = new QComboBox(area);
    cbActiveState->setObjectName(QStringLiteral("cbActiveState"));
    cbActiveState->setFixedWidth(145);
    cbActiveState->setIconSize(QSize(16, 16));
    lblActiveState->setBuddy(cbActiveState);

    grid->addWidget(ledSiteName, 0, 0, 1, 4);
    grid->addWidget(ledSiteUrl, 1, 0, 1, 4);
    auto *logins = new QHBoxLayout;
    logins->setSpacing(8);
    logins->addWidget(ledUserName, 1);
    logins->addWidget(ledPassword, 1);
    grid->addLayout(logins, 2, 0, 1, 4);
    // Under the password, in a row of its own: the edits keep their height when it shows.
    lblPasswordState = new QLabel(area);
    lblPasswordState->setObjectName(QStringLiteral("lblPasswordState"));
    lblPasswordState->setWordWrap(true);
    QPalette red = lblPasswordState->palette();
    red.setColor(QPalette::WindowText, QColor(0xB0, 0, 0));
    lblPasswordState->setPalette(red);
    lblPasswordState->hide();
    auto *below = new QHBoxLayout;
    below->setSpacing(8);
    below->addStretch(1);
    below->addWidget(lblPasswordState, 1);
    grid->addLayout(below, 3, 0, 1, 4);
    auto *path = new QHBoxLayout;
    path->setSpacing(4);
    path->addWidget(ledSavePath, 1);
    path->addWidget(sbBrowseSiteName, 0, Qt::AlignBottom);
    grid->addLayout(path, 4, 0, 1, 4);
    auto *fee = new QHBoxLayout;
    fee->setSpacing(8);
    fee->addWidget(lblMonthlyFeeCheck);
    fee->addWidget(chkMonthlyFee);
    fee->addStretch(1);
    fee->addWidget(lblMonthlyFee);
    fee->addWidget(edtMonthlyFee);
    grid->addLayout(fee, 5, 0, 1, 4);
    auto *state = new QHBoxLayout;
    state->setSpacing(8);
    state->addWidget(lblActiveState);
    state->addWidget(cbActiveState);
    state->addStretch(1);
    grid->addLayout(state, 6, 0, 1, 4);
    grid->setRowStretch(7, 1);

    setTabOrder(ledSiteName->edit(), ledSiteUrl->edit());
    setTabOrder(ledSiteUrl->edit(), ledUserName->edit());
    setTabOrder(ledUserName->edit(), ledPassword->edit());
    setTabOrder(ledPassword->edit(), ledSavePath->edit());
    setTabOrder(ledSavePath->edit(), chkMonthlyFee);
    setTabOrder(chkMonthlyFee, edtMonthlyFee);
    setTabOrder(edtMonthlyFee, cbActiveState);
    setTabOrder(cbActiveState, btnOK);
    setTabOrder(btnOK, btnCancel);

    FormCreate();
}

void TfrmAccountEdit::FormCreate()
{
    addActiveStateItems(cbActiveState);
    cbActiveState->setCurrentIndex(StateActive);
}

void TfrmAccountEdit::showEvent(QShowEvent *event)
{
    TDlgTemplate::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ledSiteName->edit()->setFocus();
    FormShow();
}

void TfrmAccountEdit::FormShow()
{
    if (AccountId < 0)
        return;
    ledSiteName->setText(m_table->value(FieldSiteName).toString());
    ledSiteUrl->setText(m_table->value(FieldSiteUrl).toString());
    ledUserName->setText(m_table->value(FieldUsername).toString());
    const QString stored = m_table->value(FieldPassword).toString();
    QString plain;
    const bool revealed = m_vault ? m_vault->reveal(stored, plain) : !Vault::isSealed(stored);
    if (revealed) {
        ledPassword->setText(m_vault ? plain : DecodeStr(stored));
    } else {
        // The field stays empty; OK keeps the stored value as it is unless a new password is typed.
        m_undecryptable = stored;
        lblPasswordState->setText(tr("This password cannot be decrypted"));
        lblPasswordState->show();
        ledPassword->edit()->setAccessibleDescription(lblPasswordState->text());
    }
    ledSavePath->setText(m_table->value(FieldSavePath).toString());
    const double fee = m_table->value(FieldMonthlyFee).toDouble();
    if (std::abs(fee) > 1e-12) {
        chkMonthlyFee->setChecked(true);
        chkMonthlyFeeClick();
        edtMonthlyFee->setValue(fee);
    }
    cbActiveState->setCurrentIndex(m_table->value(FieldActive).toInt());
}

void TfrmAccountEdit::chkMonthlyFeeClick()
{
    const bool on = chkMonthlyFee->isChecked();
    lblMonthlyFee->setEnabled(on);
    edtMonthlyFee->setEnabled(on);
    if (on)
        edtMonthlyFee->setFocus();
}

void TfrmAccountEdit::sbBrowseSiteNameClick()
{
    const QString folder = Platform::Services::instance().existingFolder(this, tr("Save Path"), QString());
    if (!folder.isEmpty())
        ledSavePath->setText(QDir::toNativeSeparators(folder));
}

void TfrmAccountEdit::btnOKClick()
{
    // Nothing is cut silently: a password whose scrambled form would not fit is refused. The limit is
    // on the password's bytes, which are as many as its characters only when they are all plain ASCII,
    // so the message names no number of characters.
    if (EncodeStr(ledPassword->text()).size() > 2 * MaxPasswordBytes) {
        Platform::showMessage(QMessageBox::Warning, tr("This password is too long to be stored"), QMessageBox::Ok,
                              QMessageBox::NoButton, this);
        ledPassword->edit()->setFocus();
        setResult(mrNone);
        return;
    }
    if (!saveAccount())
        setResult(mrNone);
}

bool TfrmAccountEdit::saveAccount()
{
    WaitCursor wait;
    const bool isNew = AccountId < 0;
    if (!(isNew ? m_table->insert() : m_table->edit())) {
        Platform::showError(m_table->lastError(), this);
        return true; // nothing to edit: the dialog has nothing more to offer
    }
    m_table->setValue(FieldSiteName, ledSiteName->text());
    m_table->setValue(FieldSiteUrl, ledSiteUrl->text());
    m_table->setValue(FieldUsername, ledUserName->text());
    if (m_undecryptable.isEmpty() || ledPassword->edit()->isModified())
        m_table->setValue(FieldPassword,
                          m_vault ? m_vault->conceal(ledPassword->text()) : EncodeStr(ledPassword->text()));
    m_table->setValue(FieldSavePath, ledSavePath->text());
    m_table->setValue(FieldMonthlyFee, chkMonthlyFee->isChecked() ? double(edtMonthlyFee->value()) : 0.0);
    // A new account got today's date from the table; an existing one keeps the date it has.
    m_table->setValue(FieldActive, cbActiveState->currentIndex());
    if (m_table->post())
        return true;
    // Refused (the site name is missing): say so, leave nothing half-edited, let the user fix it.
    const QString reason = m_table->lastError();
    m_table->cancel();
    Platform::showMessage(QMessageBox::Warning, reason, QMessageBox::Ok, QMessageBox::NoButton, this);
    ledSiteName->edit()->setFocus();
    return false;
}
