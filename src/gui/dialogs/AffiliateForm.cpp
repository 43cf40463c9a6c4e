// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffiliateForm.h"

#include "core/outreach/OutreachLinks.h"
#include "core/outreach/OutreachTexts.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/PlatformServices.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

TfrmAffiliate::TfrmAffiliate(QWidget *parent) : TDlgTemplate(parent)
{
    setObjectName(QStringLiteral("frmAffiliate"));
    setWindowTitle(tr("Make Money"));
    setClientSize(241, 228);

    QWidget *area = clientArea();
    auto *grid = new QGridLayout(area);
    grid->setContentsMargins(12, 10, 12, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);

    lblDescription = new QLabel(tr("Did you know you can make money by giving Vantory away for free?"), area);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    ledClickBankID = new LabeledEdit(tr("Enter Your ClickBank ID Here:"), LabeledEdit::LabelPosition::Above, area);
    ledClickBankID->setObjectName(QStringLiteral("ledClickBankID"));
    connect(ledClickBankID, &LabeledEdit::textChanged, this, &TfrmAffiliate::ledClickBankIDChange);

    btnGetAffiliateLink = new QPushButton(tr("Generate Affiliate Link"), area);
    btnGetAffiliateLink->setObjectName(QStringLiteral("btnGetAffiliateLink"));
    btnGetAffiliateLink->setAutoDefault(false);
    btnGetAffiliateLink->setEnabled(false);
    connect(btnGetAffiliateLink, &QPushButton::clicked, this, &TfrmAffiliate::btnGetAffiliateLinkClick);

    createLinkEdit(area);

    btnCopyLink = new QPushButton(tr("Copy"), area);
    btnCopyLink->setObjectName(QStringLiteral("btnCopyLink"));
    btnCopyLink->setAutoDefault(false);
    btnCopyLink->setEnabled(false);
    connect(btnCopyLink, &QPushButton::clicked, this, &TfrmAffiliate::btnCopyLinkClick);

    grid->addWidget(lblDescription, 0, 0, 1, 2);
    grid->addWidget(ledClickBankID, 1, 0, 1, 2);
    grid->addWidget(btnGetAffiliateLink, 2, 0, 1, 2);
    grid->addWidget(edtAffiliateLink, 3, 0, 1, 2);
    grid->addWidget(btnCopyLink, 4, 1);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(5, 1);

    // OK closes the dialog and is the button Escape presses too; there is nothing to cancel.
    makeOkTheCancelButton();

    setTabOrder(ledClickBankID->edit(), btnGetAffiliateLink);
    setTabOrder(btnGetAffiliateLink, edtAffiliateLink);
    setTabOrder(edtAffiliateLink, btnCopyLink);
    setTabOrder(btnCopyLink, btnOK);
    ledClickBankID->setFocus();
}

// Looks like a link in a page: navy, underlined, on the dialog's own background.
void TfrmAffiliate::createLinkEdit(QWidget *area)
{
    edtAffiliateLink = new QLineEdit(area);
    edtAffiliateLink->setObjectName(QStringLiteral("edtAffiliateLink"));
    edtAffiliateLink->setReadOnly(true);
    edtAffiliateLink->setFrame(false);
    edtAffiliateLink->setAccessibleName(tr("Your affiliate link"));
    edtAffiliateLink->setToolTip(tr("Open link in browser"));
    QPalette linkPalette = edtAffiliateLink->palette();
    linkPalette.setColor(QPalette::Base, linkPalette.color(QPalette::Window));
    linkPalette.setColor(QPalette::Text, QColor(0x00, 0x00, 0x80));
    edtAffiliateLink->setPalette(linkPalette);
    QFont linkFont = edtAffiliateLink->font();
    linkFont.setUnderline(true);
    edtAffiliateLink->setFont(linkFont);
    // Wide enough for the link of a ten-character ID in whatever font; the dialog grows with it.
    // The link of a longer ID scrolls.
    const QMargins margins = edtAffiliateLink->textMargins();
    edtAffiliateLink->setMinimumWidth(
        QFontMetrics(linkFont).horizontalAdvance(Outreach::affiliateLink(QStringLiteral("abcdefghij"))) +
        margins.left() + margins.right() + 6);
    edtAffiliateLink->setCursor(Qt::PointingHandCursor);
    edtAffiliateLink->installEventFilter(this);
}

void TfrmAffiliate::ledClickBankIDChange()
{
    btnGetAffiliateLink->setEnabled(!ledClickBankID->text().isEmpty());
}

void TfrmAffiliate::btnGetAffiliateLinkClick()
{
    m_linkId = ledClickBankID->text();
    edtAffiliateLink->setText(Outreach::affiliateLink(m_linkId));
    edtAffiliateLink->setCursorPosition(0);
    // Stays enabled from now on, even when the ID is cleared: the link stays in place to copy.
    btnCopyLink->setEnabled(true);
}

void TfrmAffiliate::btnCopyLinkClick()
{
    QGuiApplication::clipboard()->setText(edtAffiliateLink->text());
}

void TfrmAffiliate::edtAffiliateLinkClick()
{
    const QString link = edtAffiliateLink->text();
    QUrl url;
    switch (Outreach::checkAffiliateLink(link, &url)) {
    case Outreach::LinkCheck::Empty:
        return;
    case Outreach::LinkCheck::Opens:
        Platform::Services::instance().openUrl(url);
        return;
    case Outreach::LinkCheck::Refused:
        Platform::showMessage(QMessageBox::Warning,
                              OutreachTexts::affiliateLinkRefused().arg(m_linkId, Outreach::affiliateDomain()),
                              QMessageBox::Ok, QMessageBox::NoButton, this);
        return;
    }
}

bool TfrmAffiliate::eventFilter(QObject *watched, QEvent *event)
{
    // A click is a left press and release over the field, as with a link in a page.
    if (watched == edtAffiliateLink && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && edtAffiliateLink->rect().contains(mouse->position().toPoint()))
            edtAffiliateLinkClick();
    }
    return TDlgTemplate::eventFilter(watched, event);
}
