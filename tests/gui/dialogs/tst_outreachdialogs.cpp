// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/outreach/OutreachLinks.h"
#include "core/outreach/OutreachTexts.h"
#include "core/settings/ProgramInfo.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AffiliateForm.h"
#include "gui/dialogs/ShareForm.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/widgets/LabeledEdit.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using namespace OutreachTexts;
using namespace SettingsKeys;

class TestOutreachDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void affiliateOpensEmptyWithOnlyOk();
    void affiliateButtonsFollowTheId();
    void affiliateLinkAndClipboard_data();
    void affiliateLinkAndClipboard();
    void affiliateLinkClickOpensTheLink();
    void affiliateLinkClickRefusesAnIdThatMovesTheHost_data();
    void affiliateLinkClickRefusesAnIdThatMovesTheHost();
    void affiliateEmptyLinkClickOpensNothing();
    void affiliateClosesWithOkAndEscape_data();
    void affiliateClosesWithOkAndEscape();

    void shareOkFollowsTheAddress();
    void shareBodyFollowsTheFields_data();
    void shareBodyFollowsTheFields();
    void shareIdSwapsTheLinkBothWays();
    void shareLocksTheFieldsOnceTheTextIsEdited_data();
    void shareLocksTheFieldsOnceTheTextIsEdited();
    void shareOkHandsTheMailUrl_data();
    void shareOkHandsTheMailUrl();
    void shareCancelSendsNothing();
    void shareKeepsTheMailWhenNoProgramTakesIt();

    void aboutClosesOnClicks_data();
    void aboutClosesOnClicks();
    void aboutLinkOpensAndStaysOpen();

    void commandsOpenTheirDialogs_data();
    void commandsOpenTheirDialogs();

private:
    std::unique_ptr<ScriptedServices> m_services;
};

namespace {

// Types text as the keyboard sends it: a character beyond ASCII as a key the test cannot name.
void typeText(QWidget *target, const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n')
            QTest::keyClick(target, Qt::Key_Return);
        else if (c == u'\t')
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        else if (c.unicode() < 0x80)
            QTest::keyClick(target, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Clicks into an edit, replaces its text by typing, as a user would.
void retype(LabeledEdit *edit, const QString &text)
{
    QTest::mouseClick(edit->edit(), Qt::LeftButton);
    QTest::keyClick(edit->edit(), Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit->edit(), Qt::Key_Delete);
    else
        typeText(edit->edit(), text);
}

template <class Dialog> std::unique_ptr<Dialog> shown()
{
    auto dialog = std::make_unique<Dialog>();
    dialog->show();
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("the dialog did not become active");
    return dialog;
}

} // namespace

void TestOutreachDialogs::init()
{
    m_services = std::make_unique<ScriptedServices>();
    QGuiApplication::clipboard()->clear();
}

void TestOutreachDialogs::cleanup()
{
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
}

// ---- Affiliate link -------------------------------------------------------------------------------

void TestOutreachDialogs::affiliateOpensEmptyWithOnlyOk()
{
    auto d = shown<TfrmAffiliate>();
    QCOMPARE(d->objectName(), QStringLiteral("frmAffiliate"));
    QCOMPARE(d->windowTitle(), QStringLiteral("Make Money"));
    QTRY_VERIFY(d->ledClickBankID->edit()->hasFocus());
    QVERIFY(d->ledClickBankID->text().isEmpty());
    QVERIFY(d->edtAffiliateLink->text().isEmpty());
    QVERIFY(d->edtAffiliateLink->isReadOnly());
    QVERIFY(!d->btnGetAffiliateLink->isEnabled());
    QVERIFY(!d->btnCopyLink->isEnabled());
    QVERIFY(d->btnOK->isVisible());
    QVERIFY(!d->btnCancel->isVisible());
    QCOMPARE(d->lblDescription->text(),
             QStringLiteral("Did you know you can make money by giving Vantory away for free?"));
    QCOMPARE(d->ledClickBankID->labelText(), QStringLiteral("Enter Your ClickBank ID Here:"));
    QCOMPARE(d->edtAffiliateLink->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(d->edtAffiliateLink->font().underline());
}

void TestOutreachDialogs::affiliateButtonsFollowTheId()
{
    auto d = shown<TfrmAffiliate>();
    QLineEdit *id = d->ledClickBankID->edit();
    QTest::keyClick(id, Qt::Key_Space);
    QVERIFY(d->btnGetAffiliateLink->isEnabled());
    QTest::keyClick(id, Qt::Key_Backspace);
    QVERIFY(!d->btnGetAffiliateLink->isEnabled());

    typeText(id, QStringLiteral("first"));
    QTest::mouseClick(d->btnGetAffiliateLink, Qt::LeftButton);
    QCOMPARE(d->edtAffiliateLink->text(), Outreach::affiliateLink(QStringLiteral("first")));
    QVERIFY(d->btnCopyLink->isEnabled());

    retype(d->ledClickBankID, QStringLiteral("second"));
    QTest::mouseClick(d->btnGetAffiliateLink, Qt::LeftButton);
    QCOMPARE(d->edtAffiliateLink->text(), Outreach::affiliateLink(QStringLiteral("second")));

    // Clearing the ID leaves the link to copy.
    retype(d->ledClickBankID, QString());
    QVERIFY(d->ledClickBankID->text().isEmpty());
    QVERIFY(!d->btnGetAffiliateLink->isEnabled());
    QVERIFY(d->btnCopyLink->isEnabled());
    QCOMPARE(d->edtAffiliateLink->text(), Outreach::affiliateLink(QStringLiteral("second")));
    QVERIFY(d->isVisible());
}

void TestOutreachDialogs::affiliateLinkAndClipboard_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("link");
    QTest::newRow("plain") << QStringLiteral("jdoe") << QStringLiteral("https://jdoe.vantory.hop.clickbank.net");
    QTest::newRow("case kept") << QStringLiteral("JDoe") << QStringLiteral("https://JDoe.vantory.hop.clickbank.net");
    QTest::newRow("blanks kept") << QStringLiteral(" j doe ")
                                 << QStringLiteral("https:// j doe .vantory.hop.clickbank.net");
    QTest::newRow("moves the host") << QStringLiteral("me@other.example#")
                                    << QStringLiteral("https://me@other.example#.vantory.hop.clickbank.net");
    QTest::newRow("beyond ASCII") << QStringLiteral("j\u00f6rg")
                                  << QStringLiteral("https://j\u00f6rg.vantory.hop.clickbank.net");
}

void TestOutreachDialogs::affiliateLinkAndClipboard()
{
    QFETCH(QString, id);
    QFETCH(QString, link);
    auto d = shown<TfrmAffiliate>();
    typeText(d->ledClickBankID->edit(), id);
    QCOMPARE(d->ledClickBankID->text(), id);
    QTest::mouseClick(d->btnGetAffiliateLink, Qt::LeftButton);
    QCOMPARE(d->edtAffiliateLink->text(), link);
    QTest::mouseClick(d->btnCopyLink, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), link);
    QVERIFY(!d->edtAffiliateLink->hasSelectedText());
    QVERIFY(m_services->urls.isEmpty());
}

void TestOutreachDialogs::affiliateLinkClickOpensTheLink()
{
    auto d = shown<TfrmAffiliate>();
    typeText(d->ledClickBankID->edit(), QStringLiteral("JDoe"));
    QTest::mouseClick(d->btnGetAffiliateLink, Qt::LeftButton);
    QTest::mouseClick(d->edtAffiliateLink, Qt::LeftButton);
    QCOMPARE(m_services->urls.size(), 1);
    QCOMPARE(m_services->urls[0].toString(), QStringLiteral("https://jdoe.vantory.hop.clickbank.net"));
    QVERIFY(m_services->messages.isEmpty());
    QVERIFY(d->isVisible());
    // A right click is no click on the link.
    QTest::mouseClick(d->edtAffiliateLink, Qt::RightButton);
    QCOMPARE(m_services->urls.size(), 1);
}

void TestOutreachDialogs::affiliateLinkClickRefusesAnIdThatMovesTheHost_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("user info") << QStringLiteral("me@other.example#");
    QTest::newRow("path") << QStringLiteral("other.example/");
    QTest::newRow("blank") << QStringLiteral("j doe");
}

void TestOutreachDialogs::affiliateLinkClickRefusesAnIdThatMovesTheHost()
{
    QFETCH(QString, id);
    auto d = shown<TfrmAffiliate>();
    typeText(d->ledClickBankID->edit(), id);
    QTest::mouseClick(d->btnGetAffiliateLink, Qt::LeftButton);
    // The link shown is the one built from the ID as typed.
    QCOMPARE(d->edtAffiliateLink->text(), Outreach::affiliateLink(id));
    QTest::mouseClick(d->edtAffiliateLink, Qt::LeftButton);
    QVERIFY(m_services->urls.isEmpty());
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(m_services->messages[0].text, affiliateLinkRefused().arg(id, Outreach::affiliateDomain()));
    QVERIFY(d->isVisible());
}

void TestOutreachDialogs::affiliateEmptyLinkClickOpensNothing()
{
    auto d = shown<TfrmAffiliate>();
    QTest::mouseClick(d->edtAffiliateLink, Qt::LeftButton);
    QVERIFY(m_services->urls.isEmpty());
    QVERIFY(m_services->messages.isEmpty());
    QVERIFY(d->isVisible());
}

void TestOutreachDialogs::affiliateClosesWithOkAndEscape_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("OK") << false;
    QTest::newRow("Escape") << true;
}

void TestOutreachDialogs::affiliateClosesWithOkAndEscape()
{
    QFETCH(bool, escape);
    auto d = shown<TfrmAffiliate>();
    typeText(d->ledClickBankID->edit(), QStringLiteral("jdoe"));
    if (escape)
        QTest::keyClick(d->ledClickBankID->edit(), Qt::Key_Escape);
    else
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(TDlgTemplate::mrOk));
}

// ---- Tell a friend --------------------------------------------------------------------------------

void TestOutreachDialogs::shareOkFollowsTheAddress()
{
    auto d = shown<TfrmShare>();
    QCOMPARE(d->objectName(), QStringLiteral("frmShare"));
    QCOMPARE(d->windowTitle(), QStringLiteral("Tell A Friend"));
    QTRY_VERIFY(d->ledYourName->edit()->hasFocus());
    QCOMPARE(d->ledSubject->text(), QStringLiteral("Check this out..."));
    QVERIFY(d->memEmailBody->toPlainText().isEmpty());
    QVERIFY(!d->btnOK->isEnabled());

    retype(d->ledYourName, QStringLiteral("Bob"));
    retype(d->ledFriendsName, QStringLiteral("Ann"));
    retype(d->ledClickBankID, QStringLiteral("jdoe"));
    QVERIFY(!d->btnOK->isEnabled());
    // Enter with OK disabled sends nothing.
    QTest::keyClick(d->ledClickBankID->edit(), Qt::Key_Return);
    QVERIFY(d->isVisible());

    retype(d->ledEmailAddress, QStringLiteral(" "));
    QVERIFY(d->btnOK->isEnabled());
    QTest::keyClick(d->ledEmailAddress->edit(), Qt::Key_Backspace);
    QVERIFY(!d->btnOK->isEnabled());
    QVERIFY(m_services->urls.isEmpty());
}

void TestOutreachDialogs::shareBodyFollowsTheFields_data()
{
    QTest::addColumn<QString>("yourName");
    QTest::addColumn<QString>("friendsName");
    QTest::addColumn<QString>("id");
    for (int mask = 1; mask < 8; ++mask) {
        QTest::addRow("you %d, friend %d, id %d", mask & 1, (mask >> 1) & 1, (mask >> 2) & 1)
            << (mask & 1 ? QStringLiteral("Bob") : QString()) << (mask & 2 ? QStringLiteral("Ann") : QString())
            << (mask & 4 ? QStringLiteral("jdoe") : QString());
    }
    QTest::newRow("blanks and markers as typed")
        << QStringLiteral(" %2 ") << QStringLiteral("A & B") << QStringLiteral("a b");
}

void TestOutreachDialogs::shareBodyFollowsTheFields()
{
    QFETCH(QString, yourName);
    QFETCH(QString, friendsName);
    QFETCH(QString, id);
    auto d = shown<TfrmShare>();
    // Typed in tab order: each field regenerates the text.
    for (const auto &[edit, text] : {std::pair{d->ledYourName, yourName}, std::pair{d->ledFriendsName, friendsName},
                                     std::pair{d->ledClickBankID, id}}) {
        if (!text.isEmpty())
            retype(edit, text);
    }
    const QString link = id.isEmpty() ? ProgramInfo::WebSite : Outreach::affiliateLink(id);
    QCOMPARE(d->memEmailBody->toPlainText(), Outreach::shareBody(friendsName, link, yourName));
    // Generated text locks nothing.
    QVERIFY(d->ledYourName->isEnabled());
    QVERIFY(d->ledFriendsName->isEnabled());
    QVERIFY(d->ledClickBankID->isEnabled());
}

void TestOutreachDialogs::shareIdSwapsTheLinkBothWays()
{
    auto d = shown<TfrmShare>();
    retype(d->ledFriendsName, QStringLiteral("Ann"));
    QVERIFY(d->memEmailBody->toPlainText().contains(QStringLiteral("=> ") + ProgramInfo::WebSite + u'\n'));
    retype(d->ledClickBankID, QStringLiteral("jdoe"));
    QCOMPARE(d->memEmailBody->toPlainText(),
             Outreach::shareBody(QStringLiteral("Ann"), Outreach::affiliateLink(QStringLiteral("jdoe")), QString()));
    retype(d->ledClickBankID, QString());
    QCOMPARE(d->memEmailBody->toPlainText(),
             Outreach::shareBody(QStringLiteral("Ann"), ProgramInfo::WebSite, QString()));
}

void TestOutreachDialogs::shareLocksTheFieldsOnceTheTextIsEdited_data()
{
    QTest::addColumn<bool>("generatedFirst");
    QTest::addColumn<bool>("paste");
    QTest::newRow("typed over generated text") << true << false;
    QTest::newRow("typed into an empty text") << false << false;
    QTest::newRow("pasted") << true << true;
}

void TestOutreachDialogs::shareLocksTheFieldsOnceTheTextIsEdited()
{
    QFETCH(bool, generatedFirst);
    QFETCH(bool, paste);
    auto d = shown<TfrmShare>();
    if (generatedFirst)
        retype(d->ledYourName, QStringLiteral("Bob"));
    const QString before = d->memEmailBody->toPlainText();
    QTest::mouseClick(d->memEmailBody->viewport(), Qt::LeftButton);
    QTest::keyClick(d->memEmailBody, Qt::Key_End, Qt::ControlModifier);
    if (paste) {
        QGuiApplication::clipboard()->setText(QStringLiteral("\nP.S. see you"));
        QTest::keyClick(d->memEmailBody, Qt::Key_V, Qt::ControlModifier);
    } else {
        typeText(d->memEmailBody, QStringLiteral("\nP.S. see you"));
    }
    const QString edited = before + QStringLiteral("\nP.S. see you");
    QCOMPARE(d->memEmailBody->toPlainText(), edited);
    QVERIFY(!d->ledYourName->isEnabled());
    QVERIFY(!d->ledFriendsName->isEnabled());
    QVERIFY(!d->ledClickBankID->isEnabled());
    QVERIFY(d->ledEmailAddress->isEnabled());
    QVERIFY(d->ledSubject->isEnabled());
    QVERIFY(d->memEmailBody->isEnabled());

    // Nothing rewrites the user's wording any more.
    d->ledFriendsName->setText(QStringLiteral("Carl"));
    d->ledClickBankID->setText(QStringLiteral("jdoe"));
    QCOMPARE(d->memEmailBody->toPlainText(), edited);
    // The address and the subject still take input.
    retype(d->ledEmailAddress, QStringLiteral("ann@x.example"));
    retype(d->ledSubject, QStringLiteral("Hi"));
    QCOMPARE(d->ledEmailAddress->text(), QStringLiteral("ann@x.example"));
    QCOMPARE(d->ledSubject->text(), QStringLiteral("Hi"));
    QVERIFY(d->btnOK->isEnabled());
}

void TestOutreachDialogs::shareOkHandsTheMailUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("subject"); // empty: the default subject stays
    QTest::addColumn<QString>("yourName");
    QTest::addColumn<QString>("text"); // typed over the message text; empty: left as it is
    QTest::addColumn<QString>("url");
    QTest::newRow("two typed lines") << QStringLiteral("friend") << QString() << QString()
                                     << QStringLiteral("Hello there\nBye")
                                     << QStringLiteral(
                                            "mailto:friend?subject=Check%20this%20out...&body=Hello%20there%0ABye%0A");
    QTest::newRow("never generated") << QStringLiteral("friend") << QString() << QString() << QString()
                                     << QStringLiteral("mailto:friend?subject=Check%20this%20out...&body=");
    QTest::newRow("ampersand and hash") << QStringLiteral("friend") << QStringLiteral("Tom & Jerry #1") << QString()
                                        << QStringLiteral("A&B\n#2")
                                        << QStringLiteral(
                                               "mailto:friend?subject=Tom%20%26%20Jerry%20%231&body=A%26B%0A%232%0A");
    QTest::newRow("percent, question mark, plus, tab")
        << QStringLiteral("friend") << QStringLiteral("100%? 1+1") << QString() << QStringLiteral("\ta=b")
        << QStringLiteral("mailto:friend?subject=100%25%3F%201%2B1&body=%09a%3Db%0A");
    QTest::newRow("beyond ASCII") << QStringLiteral("ann@x.example") << QStringLiteral("Gr\u00fc\u00dfe") << QString()
                                  << QStringLiteral("\u20ac 5")
                                  << QStringLiteral(
                                         "mailto:ann@x.example?subject=Gr%C3%BC%C3%9Fe&body=%E2%82%AC%205%0A");
    QTest::newRow("generated") << QStringLiteral("ann@x.example") << QString() << QStringLiteral("Bob") << QString()
                               << Outreach::mailToUrl(
                                      QStringLiteral("ann@x.example"), QStringLiteral("Check this out..."),
                                      Outreach::shareBody(QString(), ProgramInfo::WebSite, QStringLiteral("Bob")));
}

void TestOutreachDialogs::shareOkHandsTheMailUrl()
{
    QFETCH(QString, address);
    QFETCH(QString, subject);
    QFETCH(QString, yourName);
    QFETCH(QString, text);
    QFETCH(QString, url);
    auto d = shown<TfrmShare>();
    if (!yourName.isEmpty())
        retype(d->ledYourName, yourName);
    retype(d->ledEmailAddress, address);
    if (!subject.isEmpty())
        retype(d->ledSubject, subject);
    if (!text.isEmpty()) {
        QTest::mouseClick(d->memEmailBody->viewport(), Qt::LeftButton);
        QTest::keyClick(d->memEmailBody, Qt::Key_A, Qt::ControlModifier);
        typeText(d->memEmailBody, text);
        // Enter in the message text made a line; it pressed no button.
        QVERIFY(d->isVisible());
    }
    QTest::mouseClick(d->btnOK, Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(TDlgTemplate::mrOk));
    QCOMPARE(m_services->urls.size(), 1);
    QCOMPARE(m_services->urls[0].toString(QUrl::FullyEncoded), url);
}

void TestOutreachDialogs::shareCancelSendsNothing()
{
    auto d = shown<TfrmShare>();
    retype(d->ledEmailAddress, QStringLiteral("ann@x.example"));
    QTest::keyClick(d->ledEmailAddress->edit(), Qt::Key_Escape);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(TDlgTemplate::mrCancel));
    QVERIFY(m_services->urls.isEmpty());
}

void TestOutreachDialogs::shareKeepsTheMailWhenNoProgramTakesIt()
{
    auto d = shown<TfrmShare>();
    retype(d->ledYourName, QStringLiteral("Bob"));
    retype(d->ledEmailAddress, QStringLiteral("ann@x.example"));
    const QString body = d->memEmailBody->toPlainText();
    m_services->setOpenUrlResult(false);
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(d->btnOK, Qt::LeftButton);
    // Told, and the dialog with all that was written stays for another try.
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(m_services->messages[0].text, OutreachTexts::shareNoMailProgram());
    QVERIFY(d->isVisible());
    QCOMPARE(d->memEmailBody->toPlainText(), body);
    QCOMPARE(d->ledEmailAddress->text(), QStringLiteral("ann@x.example"));
    m_services->setOpenUrlResult(true);
    QTest::mouseClick(d->btnOK, Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(TDlgTemplate::mrOk));
    QCOMPARE(m_services->urls.size(), 2);
    QCOMPARE(m_services->urls[0], m_services->urls[1]);
}

// ---- About ----------------------------------------------------------------------------------------

void TestOutreachDialogs::aboutClosesOnClicks_data()
{
    // Where the click lands: a widget and a point in it (x, y; negative counts from the far edge).
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("logo") << QStringLiteral("imgAbout") << QPoint(10, 10);
    QTest::newRow("copyright notice") << QStringLiteral("lblBottom") << QPoint(5, 5);
    QTest::newRow("line over the notice") << QStringLiteral("Shape1") << QPoint(5, 0);
    QTest::newRow("below the link") << QStringLiteral("pnlBottom") << QPoint(5, -1);
    QTest::newRow("beside Close") << QStringLiteral("pnlClose") << QPoint(5, 5);
    QTest::newRow("Close") << QStringLiteral("btnClose") << QPoint(10, 10);
    QTest::newRow("inner bevel") << QStringLiteral("pnlAbout") << QPoint(1, 40);
    QTest::newRow("border") << QStringLiteral("pnlMain") << QPoint(0, 0);
}

void TestOutreachDialogs::aboutClosesOnClicks()
{
    QFETCH(QString, widget);
    QFETCH(QPoint, at);
    TfrmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.size(), TfrmAbout::ClientSize);
    auto *named = about.findChild<QWidget *>(widget);
    QVERIFY(named);
    const QPoint local(at.x() < 0 ? named->width() + at.x() : at.x(), at.y() < 0 ? named->height() + at.y() : at.y());
    // The click goes where a real one would: to the widget under the point.
    const QPoint inWindow = named->mapTo(&about, local);
    QWidget *hit = about.childAt(inWindow);
    QVERIFY(hit);
    QVERIFY2(hit == named || named->isAncestorOf(hit) || named->testAttribute(Qt::WA_TransparentForMouseEvents),
             qPrintable(hit->objectName()));
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&about, inWindow));
    QVERIFY(!about.isVisible());
    QVERIFY(m_services->urls.isEmpty());
}

void TestOutreachDialogs::aboutLinkOpensAndStaysOpen()
{
    TfrmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.lblURL->text(), ProgramInfo::WebSite);
    QCOMPARE(about.lblURL->toolTip(), QStringLiteral("Open link in browser"));
    QCOMPARE(about.lblURL->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(about.lblBottom->text(), copyrightNotice());
    QCOMPARE(about.btnClose->text(), QStringLiteral("Close"));
    QVERIFY(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    QTest::mouseClick(about.lblURL, Qt::LeftButton, {}, about.lblURL->rect().center());
    QVERIFY(about.isVisible());
    QCOMPARE(m_services->urls, QList<QUrl>{QUrl(ProgramInfo::WebSite)});
    QTest::mouseClick(about.lblURL, Qt::LeftButton, {}, about.lblURL->rect().center());
    QCOMPARE(m_services->urls.size(), 2);
    QVERIFY(about.isVisible());
    QVERIFY(m_services->messages.isEmpty());
    // No browser took it: the user is told, and the window stays.
    m_services->setOpenUrlResult(false);
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(about.lblURL, Qt::LeftButton, {}, about.lblURL->rect().center());
    QCOMPARE(m_services->messages.size(), 1);
    QVERIFY(m_services->messages[0].text.startsWith(QStringLiteral("Cannot open ") + ProgramInfo::WebSite));
    QVERIFY(about.isVisible());
    QTest::mouseClick(about.imgAbout, Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

// ---- The main window's commands -------------------------------------------------------------------

void TestOutreachDialogs::commandsOpenTheirDialogs_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("Make Money") << QStringLiteral("aMakeMoney") << QStringLiteral("frmAffiliate");
    QTest::newRow("Tell a Friend") << QStringLiteral("aShare") << QStringLiteral("frmShare");
    QTest::newRow("About") << QStringLiteral("aAbout") << QStringLiteral("frmAbout");
}

void TestOutreachDialogs::commandsOpenTheirDialogs()
{
    QFETCH(QString, action);
    QFETCH(QString, dialog);
    TestSupport::clearSettings();
    QTemporaryDir data;
    RegWriteString(SectionMain, SettingDataPath, data.path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    TfrmVantory window;
    window.setGeometry(100, 120, 700, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QString opened;
    QPoint offCentre;
    // The timer dies with this scope, so it can never run on the locals after the test.
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        opened = modal->objectName();
        // Centred over the main window, moved inside the screen where it would stick out.
        QRect expected(QPoint(0, 0), modal->frameGeometry().size());
        expected.moveCenter(window.frameGeometry().center());
        const QRect screen = modal->screen()->availableGeometry();
        expected.moveRight(qMin(expected.right(), screen.right()));
        expected.moveBottom(qMin(expected.bottom(), screen.bottom()));
        expected.moveLeft(qMax(expected.left(), screen.left()));
        expected.moveTop(qMax(expected.top(), screen.top()));
        offCentre = modal->frameGeometry().topLeft() - expected.topLeft();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    window.findChild<QAction *>(action)->trigger();
    QCOMPARE(opened, dialog);
    QVERIFY2(offCentre.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    // The dialog lived for this one use.
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY(top->objectName() != dialog);
}

QTEST_MAIN(TestOutreachDialogs)
#include "tst_outreachdialogs.moc"
