// SPDX-License-Identifier: GPL-3.0-or-later
// The windows of encrypted passwords: the master password dialog's check box and what OK then does to
// the stored passwords, the login against a verifier, the key asked for at start and after a restore,
// the editor of a password that cannot be decrypted, the copy of a password marked as a secret, and
// the lock after a while without input or when the screen is locked.
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/AccountTable.h"
#include "core/accounts/DataSet.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/PasswordTexts.h"
#include "gui/dialogs/SettingsForm.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/VaultLock.h"
#include "gui/widgets/LabeledEdit.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace AccountSchema;
using namespace SettingsKeys;

namespace {

const Vault::Cost kCost{Vault::MinOps, Vault::MinMemory};
const QString kFirst = QStringLiteral("first-master");
const QString kSite1 = QStringLiteral("site-one pass");
const QString kSite2 = QStringLiteral("site-two pass");

enum class Stored
{
    None,
    Scrambled, // kFirst, scrambled in the settings
    Encrypted, // kFirst, the passwords encrypted with it
};

void typeInto(LabeledEdit *edit, const QString &text)
{
    edit->edit()->setFocus();
    edit->edit()->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit->edit(), Qt::Key_Delete);
        return;
    }
    for (const QChar c : text)
        QTest::keyClick(edit->edit(), c.toLatin1());
}

QByteArray dataFile()
{
    return "<Accounts><Account><accountID>1</accountID><siteName>One</siteName><password>" +
           EncodeStr(kSite1).toUtf8() +
           "</password></Account><Account><accountID>2</accountID><siteName>Two</siteName><password>" +
           EncodeStr(kSite2).toUtf8() + "</password></Account></Accounts>";
}

} // namespace

class TestVaultDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void settingsMovesThePasswords_data();
    void settingsMovesThePasswords();
    void loginChecksAVerifier();
    void startAsksForTheKeyWhenTheLoginDoesNotOpenTheFile();
    void editorShowsAPasswordThatCannotBeDecrypted();
    void copiedPasswordIsMarkedSecret();
    void restoreAsksForTheEarlierPassword_data();
    void restoreAsksForTheEarlierPassword();
    void lockAsksAgain_data();
    void lockAsksAgain();

private:
    // A book over the test's data folder, opened; encrypted with kFirst when asked.
    std::unique_ptr<AccountBook> makeBook(Stored stored);
    QStringList revealed(AccountBook &book) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
};

void TestVaultDialogs::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    m_services = std::make_unique<ScriptedServices>();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
    QVERIFY(TestSupport::writeFile(m_dir->filePath(DataFileName), dataFile()));
}

void TestVaultDialogs::cleanup()
{
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
    TestSupport::clearSettings();
}

std::unique_ptr<AccountBook> TestVaultDialogs::makeBook(Stored stored)
{
    auto provider = std::make_unique<XmlDataProvider>(AccountTable::storedFieldDefs());
    auto book = std::make_unique<AccountBook>(std::move(provider), [](const QString &, qint32) { return 0; });
    book->setDataFolder(m_dir->path() + u'/');
    book->setVaultCost(kCost);
    if (!book->open())
        return nullptr;
    if (stored == Stored::Scrambled)
        RegWriteString(SectionMain, SettingPassword, EncodeStr(kFirst));
    if (stored == Stored::Encrypted && !book->changeVault([](VaultSession &v) { return v.turnOn(kFirst, kCost); }))
        return nullptr;
    return book;
}

QStringList TestVaultDialogs::revealed(AccountBook &book) const
{
    QStringList out;
    for (int r = 1; r <= book.table()->recordCount(); ++r) {
        QString plain;
        out << (book.vault()->reveal(book.table()->valueAt(r, AccountTable::Password).toString(), plain)
                    ? plain
                    : QStringLiteral("?"));
    }
    return out;
}

void TestVaultDialogs::settingsMovesThePasswords_data()
{
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<bool>("checkedAtFirst");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<int>("answer");       // to the question before encryption is turned off; 0: none asked
    QTest::addColumn<bool>("sealed");      // the passwords encrypted afterwards
    QTest::addColumn<QString>("settings"); // "verifier", "scrambled", "empty" or "as before"

    const QString next = QStringLiteral("next-master");
    QTest::newRow("first password: encrypted unless cleared")
        << Stored::None << true << false << next << 0 << true << QStringLiteral("verifier");
    QTest::newRow("first password, box cleared")
        << Stored::None << true << true << next << 0 << false << QStringLiteral("scrambled");
    QTest::newRow("scrambled stays scrambled")
        << Stored::Scrambled << false << false << next << 0 << false << QStringLiteral("scrambled");
    QTest::newRow("scrambled, box checked")
        << Stored::Scrambled << false << true << next << 0 << true << QStringLiteral("verifier");
    QTest::newRow("encrypted, changed") << Stored::Encrypted << true << false << next << 0 << true
                                        << QStringLiteral("verifier");
    QTest::newRow("encrypted, box cleared, confirmed")
        << Stored::Encrypted << true << true << next << int(QMessageBox::Yes) << false << QStringLiteral("scrambled");
    QTest::newRow("encrypted, box cleared, declined")
        << Stored::Encrypted << true << true << next << int(QMessageBox::No) << true << QStringLiteral("as before");
    QTest::newRow("encrypted, master password removed")
        << Stored::Encrypted << true << false << QString() << int(QMessageBox::Yes) << false << QStringLiteral("empty");
}

void TestVaultDialogs::settingsMovesThePasswords()
{
    QFETCH(Stored, stored);
    QFETCH(bool, checkedAtFirst);
    QFETCH(bool, toggle);
    QFETCH(QString, newPassword);
    QFETCH(int, answer);
    QFETCH(bool, sealed);
    QFETCH(QString, settings);
    auto book = makeBook(stored);
    QVERIFY(book);
    const QString settingsBefore = RegReadString(SectionMain, SettingPassword);
    if (answer)
        m_services->queueAnswer(QMessageBox::StandardButton(answer));

    TfrmSettings dialog;
    dialog.setAccountBook(book.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(dialog.chkEncryptPasswords->isVisible());
    QCOMPARE(dialog.chkEncryptPasswords->isChecked(), checkedAtFirst);
    typeInto(dialog.ledOldPassword, stored == Stored::None ? QString() : kFirst);
    typeInto(dialog.ledNewPassword, newPassword);
    typeInto(dialog.ledRetypePassword, newPassword);
    if (toggle) {
        dialog.chkEncryptPasswords->setFocus();
        QTest::keyClick(dialog.chkEncryptPasswords, Qt::Key_Space);
        QCOMPARE(dialog.chkEncryptPasswords->isChecked(), !checkedAtFirst);
    }
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);

    const bool declined = answer == int(QMessageBox::No);
    QCOMPARE(dialog.isVisible(), declined);
    if (answer) {
        QCOMPARE(m_services->messages.first().icon, QMessageBox::Question);
        QCOMPARE(m_services->messages.first().text, PasswordTexts::encryptionOffQuestion());
    }
    if (!declined)
        QCOMPARE(m_services->messages.last().text, PasswordTexts::passwordChanged());
    QCOMPARE(book->vault()->fileIsSealed(), sealed);
    QCOMPARE(revealed(*book), (QStringList{kSite1, kSite2}));
    const QString now = RegReadString(SectionMain, SettingPassword);
    if (settings == u"verifier")
        QVERIFY(Vault::verify(now, newPassword));
    else if (settings == u"scrambled")
        QCOMPARE(now, EncodeStr(newPassword));
    else if (settings == u"empty")
        QCOMPARE(now, QString());
    else
        QCOMPARE(now, settingsBefore);
    // The data file says the same as the session.
    QCOMPARE(TestSupport::readFile(m_dir->filePath(DataFileName)).contains("<Vault "), sealed);
}

void TestVaultDialogs::loginChecksAVerifier()
{
    RegWriteString(SectionMain, SettingPassword, Vault::makeVerifier(kFirst, kCost));
    for (const QString &typed : {QStringLiteral("first-maste"), kFirst}) {
        TfrmLogin dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        typeInto(dialog.edtPassword, typed);
        QTest::keyClick(dialog.edtPassword->edit(), Qt::Key_Return);
        QCOMPARE(dialog.isVisible(), typed != kFirst);
    }
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, PasswordTexts::wrongPassword());
}

void TestVaultDialogs::startAsksForTheKeyWhenTheLoginDoesNotOpenTheFile()
{
    makeBook(Stored::Encrypted).reset();
    for (const bool give : {false, true}) {
        TfrmVantory window;
        QCOMPARE(window.book()->vault()->state(), VaultSession::State::Locked);
        bool asked = false;
        QTimer::singleShot(0, this, [&] {
            auto *login = qobject_cast<TfrmLogin *>(QApplication::activeModalWidget());
            if (!login)
                return;
            asked = true;
            if (!give) {
                QTest::keyClick(login->edtPassword->edit(), Qt::Key_Escape);
                return;
            }
            typeInto(login->edtPassword, kFirst);
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
        });
        // The password the login let through is another's (the settings' verifier was replaced).
        QCOMPARE(window.unlockVault(QStringLiteral("not the file's")), give);
        QVERIFY(asked);
        QCOMPARE(window.book()->vault()->state(), give ? VaultSession::State::Unlocked : VaultSession::State::Locked);
    }
}

void TestVaultDialogs::editorShowsAPasswordThatCannotBeDecrypted()
{
    auto book = makeBook(Stored::Encrypted);
    QVERIFY(book);
    DataSet &table = *book->table();
    // The second account's stored password loses its last characters.
    QVERIFY(table.setRecNo(2));
    QVERIFY(table.edit());
    const QString damaged = table.value(FieldPassword).toString().chopped(6);
    QVERIFY(table.setValue(FieldPassword, damaged));
    QVERIFY(table.post());

    for (int row : {1, 2}) {
        QVERIFY(table.setRecNo(row));
        TfrmAccountEdit dialog(&table);
        dialog.setVault(book->vault());
        dialog.AccountId = table.value(FieldAccountID).toInt();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.lblPasswordState->isVisible(), row == 2);
        if (row == 1) {
            QCOMPARE(dialog.ledPassword->text(), kSite1);
            dialog.reject();
            continue;
        }
        QCOMPARE(dialog.lblPasswordState->text(), QStringLiteral("This password cannot be decrypted"));
        QCOMPARE(dialog.ledPassword->text(), QString());
        // OK without a new password keeps the stored one byte for byte.
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(table.value(FieldPassword).toString(), damaged);
    }
    // A password typed over it is stored encrypted.
    TfrmAccountEdit dialog(&table);
    dialog.setVault(book->vault());
    dialog.AccountId = table.value(FieldAccountID).toInt();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    typeInto(dialog.ledPassword, QStringLiteral("fresh-one"));
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QString plain;
    QVERIFY(book->vault()->reveal(table.value(FieldPassword).toString(), plain));
    QCOMPARE(plain, QStringLiteral("fresh-one"));
    QVERIFY(Vault::isSealed(table.value(FieldPassword).toString()));
}

void TestVaultDialogs::copiedPasswordIsMarkedSecret()
{
    makeBook(Stored::Encrypted).reset();
    TfrmVantory window;
    QVERIFY(window.unlockVault(kFirst));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.setPasswordClipboardTime(20);
    QVERIFY(window.cdsVantory()->setRecNo(1));
    window.findChild<QAction *>(QStringLiteral("aCopyPassword"))->trigger();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->text(), kSite1);
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TestVaultDialogs::restoreAsksForTheEarlierPassword_data()
{
    QTest::addColumn<bool>("give"); // the earlier master password given, else Cancel
    QTest::newRow("earlier password given") << true;
    QTest::newRow("cancelled") << false;
}

void TestVaultDialogs::restoreAsksForTheEarlierPassword()
{
    QFETCH(bool, give);
    const QString second = QStringLiteral("second-master");
    const QString older = m_dir->filePath(QStringLiteral("older.xml"));
    {
        auto book = makeBook(Stored::Encrypted);
        QVERIFY(book);
        QVERIFY(QFile::copy(m_dir->filePath(DataFileName), older));
        QVERIFY(book->changeVault([&](VaultSession &v) { return v.changePassword(second, kCost); }));
    }
    TfrmVantory window;
    QVERIFY(window.unlockVault(second));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    m_services->queuePath(older);
    bool asked = false;
    QTimer::singleShot(0, this, [&] {
        auto *login = qobject_cast<TfrmLogin *>(QApplication::activeModalWidget());
        if (!login)
            return;
        asked = true;
        if (give) {
            typeInto(login->edtPassword, second); // today's password is not the one
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
            typeInto(login->edtPassword, kFirst);
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
        } else {
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Escape);
        }
    });
    window.findChild<QAction *>(QStringLiteral("aRestore"))->trigger();
    QVERIFY(asked);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, give ? QMessageBox::Warning : QMessageBox::Information);
    if (give)
        QCOMPARE(m_services->messages[0].text, PasswordTexts::wrongPassword());
    // Either way the accounts open with today's master password, and only with it.
    VaultSession *vault = window.book()->vault();
    QCOMPARE(vault->state(), VaultSession::State::Unlocked);
    QVERIFY(!vault->needsAdoption());
    QCOMPARE(revealed(*window.book()), (QStringList{kSite1, kSite2}));
    Vault::Params params;
    QVERIFY(Vault::fromAttributes(window.xtrVantory()->vaultHeader(), params));
    QVERIFY(Vault::verify(params.verifier, second));
}

void TestVaultDialogs::lockAsksAgain_data()
{
    QTest::addColumn<bool>("idle"); // locked after a short time without input, else by the screen's lock
    QTest::addColumn<bool>("give"); // the master password given at the lock, else Cancel
    QTest::newRow("idle, password given") << true << true;
    QTest::newRow("idle, given up") << true << false;
    QTest::newRow("screen locked, password given") << false << true;
}

void TestVaultDialogs::lockAsksAgain()
{
    QFETCH(bool, idle);
    QFETCH(bool, give);
    makeBook(Stored::Encrypted).reset();
    const QByteArray file = TestSupport::readFile(m_dir->filePath(DataFileName));
    TfrmVantory window;
    QVERIFY(window.unlockVault(kFirst));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    bool gaveUp = false;
    window.vaultLock()->setGiveUp([&gaveUp] { gaveUp = true; });

    // The lock's login runs a loop of its own: it is found and worked from a timer.
    bool seenLocked = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *login = qobject_cast<TfrmLogin *>(QApplication::activeModalWidget());
        if (!login || seenLocked)
            return;
        seenLocked = true;
        QVERIFY(!window.isVisible());
        QCOMPARE(window.book()->vault()->state(), VaultSession::State::Locked);
        QVERIFY(!window.book()->vault()->holdsKey());
        if (give) {
            typeInto(login->edtPassword, kFirst);
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
        } else {
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Escape);
        }
    });
    driver.start(10);
    if (idle)
        window.vaultLock()->setIdleInterval(30);
    else
        QTimer::singleShot(0, window.vaultLock(), [&window] { window.vaultLock()->screenSaverActive(true); });
    QTRY_VERIFY(seenLocked);
    QTRY_VERIFY(give ? !window.vaultLock()->isLocked() : gaveUp);
    driver.stop();
    window.vaultLock()->setIdleInterval(0);
    QCOMPARE(window.isVisible(), give);
    QCOMPARE(window.book()->vault()->state(), give ? VaultSession::State::Unlocked : VaultSession::State::Locked);
    QCOMPARE(gaveUp, !give);
    // Nothing was written on the way.
    QCOMPARE(TestSupport::readFile(m_dir->filePath(DataFileName)), file);
}

QTEST_MAIN(TestVaultDialogs)
#include "tst_vaultdialogs.moc"
