// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedSettings.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/security/Encode.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/PasswordTexts.h"
#include "gui/dialogs/SettingsForm.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/LabeledEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace VantoryConsts;
using namespace PasswordTexts;
using namespace SettingsKeys;

namespace {

const QString &Pwd = SettingPassword;

QString storeFileName()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Vantory"))
        .fileName();
}

// A null text: no master password has ever been stored.
void storePassword(const QString &plain)
{
    if (!plain.isNull())
        RegWriteString(SectionMain, Pwd, EncodeStr(plain));
}

// Types as the keyboard does, one key at a time, over what the edit held.
void typeInto(LabeledEdit *edit, const QString &text)
{
    edit->edit()->setFocus();
    edit->edit()->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit->edit(), Qt::Key_Delete);
        return;
    }
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit->edit(), c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit->edit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// What the user is told after OK.
enum class Told
{
    Nothing,
    WrongPassword,
    Mismatch,
    Changed,
};

QString toldText(Told told)
{
    switch (told) {
    case Told::WrongPassword:
        return QStringLiteral("Incorrect password entered\nPlease check your input and try again");
    case Told::Mismatch:
        return QStringLiteral("The new password and confirmation don't match\nPlease, confirm the new password");
    case Told::Changed:
        return QStringLiteral("Your password has been changed successfully");
    case Told::Nothing:
        break;
    }
    return {};
}

QMessageBox::Icon toldIcon(Told told)
{
    return told == Told::Changed ? QMessageBox::Information : QMessageBox::Warning;
}

// While it lives, the calling thread gives up the privilege to bypass file modes (a test running as
// root has it), so that a read-only file cannot be written on it; the privilege comes back at the end.
// Capabilities belong to each thread on Linux: the rest of the process keeps them.
class PermissionsHonoured
{
public:
    PermissionsHonoured() { m_active = setOverride(false); }
    ~PermissionsHonoured()
    {
        if (m_active)
            setOverride(true);
    }
    PermissionsHonoured(const PermissionsHonoured &) = delete;
    PermissionsHonoured &operator=(const PermissionsHonoured &) = delete;

private:
    static bool setOverride(bool on)
    {
#ifdef Q_OS_LINUX
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            return false;
        const quint32 bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        if (on)
            data[0].effective |= bits & data[0].permitted;
        else
            data[0].effective &= ~bits;
        return syscall(SYS_capset, &header, data) == 0;
#else
        Q_UNUSED(on);
        return false;
#endif
    }
    bool m_active = false;
};

} // namespace

class TestPasswordDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void login_data();
    void login();
    void loginAnyNumberOfTriesAgainstTheStoredValue();
    void loginLayout();

    void settings_data();
    void settings();
    void settingsCancelStoresNothing_data();
    void settingsCancelStoresNothing();
    void settingsFailedWriteKeepsTheDialogOpen_data();
    void settingsFailedWriteKeepsTheDialogOpen();
    void settingsLayout();
    void keyPictureIsDrawnAtTheScreensDensity();
    void damagedSettings_data();
    void damagedSettings();

private:
    void clickOk(TDlgTemplate &dialog);

    std::unique_ptr<ScriptedServices> m_services;
    QString m_blocked; // a path made read-only by a test, given its mode back at cleanup
    QFileDevice::Permissions m_blockedMode;
};

void TestPasswordDialogs::init()
{
    TestSupport::clearSettings();
    m_services = std::make_unique<ScriptedServices>();
}

void TestPasswordDialogs::cleanup()
{
    if (!m_blocked.isEmpty())
        QFile::setPermissions(m_blocked, m_blockedMode);
    m_blocked.clear();
    if (QFileInfo(storeFileName()).isDir())
        QDir(storeFileName()).removeRecursively();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    TestSupport::clearSettings();
}

void TestPasswordDialogs::clickOk(TDlgTemplate &dialog)
{
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
}

void TestPasswordDialogs::login_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << QStringLiteral("Secret") << QStringLiteral("Secret") << true;
    QTest::newRow("other case") << QStringLiteral("Secret") << QStringLiteral("secret") << false;
    QTest::newRow("trailing blank typed") << QStringLiteral("Secret") << QStringLiteral("Secret ") << false;
    QTest::newRow("trailing blank missing") << QStringLiteral("Secret ") << QStringLiteral("Secret") << false;
    QTest::newRow("trailing blank both") << QStringLiteral("Secret ") << QStringLiteral("Secret ") << true;
    QTest::newRow("nothing typed") << QStringLiteral("Secret") << QString() << false;
    QTest::newRow("beyond ASCII") << QStringLiteral("Pässwörd€") << QStringLiteral("Pässwörd€") << true;
    QTest::newRow("beyond ASCII, one letter off")
        << QStringLiteral("Pässwörd€") << QStringLiteral("Passwörd€") << false;
}

void TestPasswordDialogs::login()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    storePassword(stored);
    const QByteArray before = TestSupport::readFile(storeFileName());
    TfrmLogin dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.edtPassword->edit());
    QCOMPARE(dialog.edtPassword->echoMode(), QLineEdit::Password);
    typeInto(dialog.edtPassword, typed);
    QCOMPARE(dialog.edtPassword->text(), typed);
    QTest::keyClick(dialog.edtPassword->edit(), Qt::Key_Return);
    if (accepted) {
        QVERIFY(m_services->messages.isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(TDlgTemplate::mrOk));
    } else {
        QCOMPARE(m_services->messages.size(), 1);
        QCOMPARE(m_services->messages[0].text, toldText(Told::WrongPassword));
        QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
        QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
        QCOMPARE(m_services->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.edtPassword->text(), typed); // left for the next try
    }
    // Logging in writes nothing.
    QCOMPARE(TestSupport::readFile(storeFileName()), before);
}

void TestPasswordDialogs::loginAnyNumberOfTriesAgainstTheStoredValue()
{
    storePassword(QStringLiteral("first"));
    TfrmLogin dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (int attempt = 1; attempt <= 12; ++attempt) {
        typeInto(dialog.edtPassword, QStringLiteral("guess%1").arg(attempt));
        clickOk(dialog);
        QCOMPARE(m_services->messages.size(), attempt);
        QVERIFY(dialog.isVisible());
    }
    // The stored value is read at every try: a password changed meanwhile is the one that counts.
    storePassword(QStringLiteral("second"));
    typeInto(dialog.edtPassword, QStringLiteral("first"));
    clickOk(dialog);
    QCOMPARE(m_services->messages.size(), 13);
    QVERIFY(dialog.isVisible());
    typeInto(dialog.edtPassword, QStringLiteral("second"));
    clickOk(dialog);
    QCOMPARE(m_services->messages.size(), 13);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(TDlgTemplate::mrOk));
}

void TestPasswordDialogs::loginLayout()
{
    TfrmLogin dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmLogin"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Authentication"));
    QCOMPARE(dialog.findChild<LabeledEdit *>(QStringLiteral("edtPassword")), dialog.edtPassword);
    QCOMPARE(dialog.edtPassword->labelText(), QStringLiteral("Enter the master password:"));
    QCOMPARE(dialog.edtPassword->labelPosition(), LabeledEdit::LabelPosition::Above);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.width() >= 226 && dialog.height() >= 99);
    // The label whole, the edit clear of the button strip.
    QLabel *label = dialog.edtPassword->label();
    QVERIFY(label->width() >= label->sizeHint().width());
    const QRect edit(dialog.edtPassword->edit()->mapTo(&dialog, QPoint(0, 0)), dialog.edtPassword->edit()->size());
    QVERIFY(edit.bottom() < dialog.ButtonsGroupBox->geometry().top());
    QVERIFY(edit.height() >= dialog.edtPassword->edit()->sizeHint().height());
}

void TestPasswordDialogs::settings_data()
{
    QTest::addColumn<QString>("stored"); // null: never stored
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<Told>("told");

    const QString none;
    const QString empty = QStringLiteral("");
    QTest::newRow("set") << none << empty << QStringLiteral("abc") << QStringLiteral("abc") << Told::Changed;
    QTest::newRow("set over an empty value")
        << empty << empty << QStringLiteral("abc") << QStringLiteral("abc") << Told::Changed;
    QTest::newRow("set with a trailing blank")
        << none << empty << QStringLiteral("abc ") << QStringLiteral("abc ") << Told::Changed;
    QTest::newRow("none set, old typed") << none << QStringLiteral("x") << QStringLiteral("abc")
                                         << QStringLiteral("abc") << Told::WrongPassword;
    QTest::newRow("none set, old a blank")
        << none << QStringLiteral(" ") << QStringLiteral("abc") << QStringLiteral("abc") << Told::WrongPassword;
    QTest::newRow("change") << QStringLiteral("Old1") << QStringLiteral("Old1") << QStringLiteral("New2")
                            << QStringLiteral("New2") << Told::Changed;
    QTest::newRow("remove") << QStringLiteral("Old1") << QStringLiteral("Old1") << empty << empty << Told::Changed;
    QTest::newRow("old left empty") << QStringLiteral("Old1") << empty << QStringLiteral("New2")
                                    << QStringLiteral("New2") << Told::WrongPassword;
    QTest::newRow("old in other case") << QStringLiteral("Old1") << QStringLiteral("old1") << QStringLiteral("New2")
                                       << QStringLiteral("New2") << Told::WrongPassword;
    QTest::newRow("old with a trailing blank")
        << QStringLiteral("Old1") << QStringLiteral("Old1 ") << QStringLiteral("New2") << QStringLiteral("New2")
        << Told::WrongPassword;
    QTest::newRow("wrong old and differing new") << QStringLiteral("Old1") << QStringLiteral("bad")
                                                 << QStringLiteral("a") << QStringLiteral("b") << Told::WrongPassword;
    QTest::newRow("confirmation in other case") << QStringLiteral("Old1") << QStringLiteral("Old1")
                                                << QStringLiteral("New2") << QStringLiteral("new2") << Told::Mismatch;
    QTest::newRow("confirmation with a trailing blank")
        << none << empty << QStringLiteral("abc") << QStringLiteral("abc ") << Told::Mismatch;
    QTest::newRow("confirmation missing")
        << QStringLiteral("Old1") << QStringLiteral("Old1") << QStringLiteral("New2") << empty << Told::Mismatch;
    QTest::newRow("beyond ASCII") << QStringLiteral("Pässwörd") << QStringLiteral("Pässwörd") << QStringLiteral("Ключ€")
                                  << QStringLiteral("Ключ€") << Told::Changed;
}

void TestPasswordDialogs::settings()
{
    QFETCH(QString, stored);
    QFETCH(QString, oldText);
    QFETCH(QString, newText);
    QFETCH(QString, confirm);
    QFETCH(Told, told);
    storePassword(stored);
    const QByteArray before = TestSupport::readFile(storeFileName());

    TfrmSettings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.ledOldPassword->edit());
    typeInto(dialog.ledOldPassword, oldText);
    typeInto(dialog.ledNewPassword, newText);
    typeInto(dialog.ledRetypePassword, confirm);
    QTest::keyClick(dialog.ledRetypePassword->edit(), Qt::Key_Return);

    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, toldText(told));
    QCOMPARE(m_services->messages[0].icon, toldIcon(told));
    QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
    if (told == Told::Changed) {
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(TDlgTemplate::mrOk));
        // Stored scrambled, at once; removing stores an empty value.
        QCOMPARE(RegReadString(SectionMain, Pwd), EncodeStr(newText));
        QVERIFY(!TestSupport::readFile(storeFileName()).contains(newText.toUtf8()) || newText.isEmpty());
    } else {
        QVERIFY(dialog.isVisible());
        QCOMPARE(TestSupport::readFile(storeFileName()), before);
        // Nothing is cleared or moved after a message.
        QCOMPARE(dialog.ledOldPassword->text(), oldText);
        QCOMPARE(dialog.ledNewPassword->text(), newText);
        QCOMPARE(dialog.ledRetypePassword->text(), confirm);
    }
}

void TestPasswordDialogs::settingsCancelStoresNothing_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("how");
    for (const QString &how : {QStringLiteral("Cancel"), QStringLiteral("Escape"), QStringLiteral("close box")}) {
        QTest::addRow("none set, %s", qPrintable(how)) << QString() << how;
        QTest::addRow("set, %s", qPrintable(how)) << QStringLiteral("Old1") << how;
    }
}

void TestPasswordDialogs::settingsCancelStoresNothing()
{
    QFETCH(QString, stored);
    QFETCH(QString, how);
    storePassword(stored);
    const bool hadFile = QFileInfo::exists(storeFileName());
    const QByteArray before = TestSupport::readFile(storeFileName());
    TfrmSettings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    typeInto(dialog.ledOldPassword, stored);
    typeInto(dialog.ledNewPassword, QStringLiteral("New2"));
    typeInto(dialog.ledRetypePassword, QStringLiteral("New2"));
    if (how == QLatin1String("Cancel"))
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(dialog.ledRetypePassword->edit(), Qt::Key_Escape);
    else
        QVERIFY(dialog.close());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(TDlgTemplate::mrCancel));
    QVERIFY(m_services->messages.isEmpty());
    QCOMPARE(QFileInfo::exists(storeFileName()), hadFile);
    QCOMPARE(TestSupport::readFile(storeFileName()), before);
}

void TestPasswordDialogs::settingsFailedWriteKeepsTheDialogOpen_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::newRow("settings file read-only") << QStringLiteral("file");
    QTest::newRow("settings folder read-only") << QStringLiteral("folder");
    QTest::newRow("a folder where the settings file belongs") << QStringLiteral("folder in place");
}

void TestPasswordDialogs::settingsFailedWriteKeepsTheDialogOpen()
{
    QFETCH(QString, blocker);
    const QString file = storeFileName();
    const bool hadPassword = blocker != QLatin1String("folder in place");
    if (hadPassword)
        storePassword(QStringLiteral("Old1"));
    else
        QVERIFY(QFile::remove(file) && QDir().mkpath(file));
    const QString oldText = hadPassword ? QStringLiteral("Old1") : QString();
    const QByteArray before = TestSupport::readFile(file);

    TfrmSettings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    typeInto(dialog.ledOldPassword, oldText);
    typeInto(dialog.ledNewPassword, QStringLiteral("New2"));
    typeInto(dialog.ledRetypePassword, QStringLiteral("New2"));
    {
        std::optional<PermissionsHonoured> honoured;
        if (hadPassword) {
            m_blocked = blocker == QLatin1String("file") ? file : QFileInfo(file).absolutePath();
            m_blockedMode = QFileInfo(m_blocked).permissions();
            QVERIFY(QFile::setPermissions(m_blocked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            honoured.emplace();
        }
        clickOk(dialog);
    }
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QCOMPARE(m_services->messages[0].text, passwordNotStored().arg(RegStoreLocation()));
    QVERIFY(m_services->messages[0].text.contains(QDir::toNativeSeparators(file)));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ledNewPassword->text(), QStringLiteral("New2"));

    // The store is as it was, also for this process's own reads.
    if (hadPassword) {
        QVERIFY(QFile::setPermissions(m_blocked, m_blockedMode));
        m_blocked.clear();
    } else {
        QVERIFY(QDir(file).removeRecursively());
    }
    QCOMPARE(TestSupport::readFile(file), before);
    QCOMPARE(RegReadString(SectionMain, Pwd), hadPassword ? EncodeStr(oldText) : QString());

    // Once the settings can be written, the same OK stores the password.
    clickOk(dialog);
    QCOMPARE(m_services->messages.size(), 2);
    QCOMPARE(m_services->messages[1].text, toldText(Told::Changed));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(RegReadString(SectionMain, Pwd), EncodeStr(QStringLiteral("New2")));
}

void TestPasswordDialogs::settingsLayout()
{
    TfrmSettings dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmSettings"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Master Password"));
    const QList<std::pair<LabeledEdit *, QString>> edits{
        {dialog.ledOldPassword, QStringLiteral("Old Password:")},
        {dialog.ledNewPassword, QStringLiteral("New Password:")},
        {dialog.ledRetypePassword, QStringLiteral("Confirm Password:")},
    };
    for (const auto &[edit, label] : edits) {
        QCOMPARE(dialog.findChild<LabeledEdit *>(edit->objectName()), edit);
        QCOMPARE(edit->labelText(), label);
        QCOMPARE(edit->labelPosition(), LabeledEdit::LabelPosition::Left);
        QCOMPARE(edit->echoMode(), QLineEdit::Normal); // typed in plain characters
    }
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblMasterPasswordDesc")), dialog.lblMasterPasswordDesc);
    QCOMPARE(dialog.lblMasterPasswordDesc->text(), QStringLiteral("Enter the password to protect account information"));
    QVERIFY(dialog.lblMasterPasswordDesc->wordWrap());
    QCOMPARE(dialog.lblMasterPasswordDesc->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(dialog.findChild<QWidget *>(QStringLiteral("imgUserAgent")), dialog.imgUserAgent);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(dialog.width() >= 308 && dialog.height() >= 177);
    // Tab order: the three edits, then OK and Cancel.
    QCOMPARE(QApplication::focusWidget(), dialog.ledOldPassword->edit());
    const QList<QWidget *> chain{dialog.ledNewPassword->edit(), dialog.ledRetypePassword->edit(), dialog.btnOK,
                                 dialog.btnCancel};
    for (QWidget *next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }

    // The edits start in one column and end in another, each label whole, nothing under the strip.
    const auto at = [&dialog](QWidget *w) { return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size()); };
    const QRect first = at(dialog.ledOldPassword->edit());
    for (const auto &[edit, label] : edits) {
        const QRect field = at(edit->edit());
        QCOMPARE(field.left(), first.left());
        QCOMPARE(field.right(), first.right());
        QVERIFY(field.height() >= edit->edit()->sizeHint().height());
        QVERIFY(field.bottom() < dialog.ButtonsGroupBox->geometry().top());
        QVERIFY(edit->label()->width() >= edit->label()->sizeHint().width());
        QVERIFY(at(edit->label()).right() < field.left());
    }
    QLabel *desc = dialog.lblMasterPasswordDesc;
    QVERIFY(desc->height() >= desc->heightForWidth(desc->width()));
    QVERIFY(at(desc).bottom() < at(dialog.ledOldPassword).top());
    QVERIFY(at(dialog.imgUserAgent).right() < at(desc).left());
    QCOMPARE(dialog.imgUserAgent->size(), QSize(16, 16));
}

void TestPasswordDialogs::keyPictureIsDrawnAtTheScreensDensity()
{
    TfrmSettings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const qreal dpr = dialog.devicePixelRatioF();
    const QImage shown = dialog.imgUserAgent->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage key =
        Icons::pixmap(QStringLiteral("key"), QSize(16, 16), dpr).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown.size(), key.size());
    QCOMPARE(shown.size(), (QSizeF(16, 16) * dpr).toSize());
    // Every pixel the key covers fully shows the key's own colour at the screen's density, so the
    // picture was not drawn smaller and scaled up; the rest shows the dialog, not a background colour
    // of the picture's own.
    int covered = 0;
    int golden = 0;
    const QColor window = dialog.palette().color(QPalette::Window);
    for (int y = 0; y < key.height(); ++y) {
        for (int x = 0; x < key.width(); ++x) {
            const QColor want = key.pixelColor(x, y);
            const QColor got = shown.pixelColor(x, y);
            if (want.alpha() == 255) {
                ++covered;
                QCOMPARE(got.rgb(), want.rgb());
                if (got.red() > 200 && got.green() > 150 && got.blue() < 100)
                    ++golden;
            } else if (want.alpha() == 0) {
                QCOMPARE(got.rgb(), window.rgb());
            }
        }
    }
    QVERIFY(covered > key.width() * key.height() / 5);
    QVERIFY(golden > covered / 4);
}

void TestPasswordDialogs::damagedSettings_data()
{
    QTest::addColumn<DamagedSettings::Damage>("damage");
    QTest::addColumn<bool>("login"); // the login dialog, else the master password dialog
    for (const auto &[name, damage] : DamagedSettings::all()) {
        QTest::addRow("login, %s", name) << damage << true;
        QTest::addRow("master password, %s", name) << damage << false;
    }
}

// The file holds a password, but its damage hides it from the reader: neither dialog may take the
// empty text it then reads for the stored password, nor rewrite the file.
void TestPasswordDialogs::damagedSettings()
{
    QFETCH(DamagedSettings::Damage, damage);
    QFETCH(bool, login);
    const QString file = storeFileName();
    RegWriteString(SectionMain, SettingDataPath, QStringLiteral("/data"));
    storePassword(QStringLiteral("Old1"));
    const QByteArray damaged = DamagedSettings::apply(TestSupport::readFile(file), damage);
    QVERIFY(TestSupport::writeFile(file, damaged));
    const QString location = QDir::toNativeSeparators(file);

    if (login) {
        TfrmLogin dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (const QString &typed : {QString(), QStringLiteral("Old1")}) {
            typeInto(dialog.edtPassword, typed);
            clickOk(dialog);
            QVERIFY(dialog.isVisible());
        }
        QCOMPARE(m_services->messages.size(), 2);
        for (const auto &message : std::as_const(m_services->messages)) {
            QCOMPARE(message.icon, QMessageBox::Critical);
            QVERIFY2(message.text.contains(location), qPrintable(message.text));
        }
    } else {
        TfrmSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (const QString &old : {QString(), QStringLiteral("Old1")}) {
            typeInto(dialog.ledOldPassword, old);
            typeInto(dialog.ledNewPassword, QStringLiteral("New2"));
            typeInto(dialog.ledRetypePassword, QStringLiteral("New2"));
            clickOk(dialog);
            QVERIFY(dialog.isVisible());
        }
        QCOMPARE(m_services->messages.size(), 2);
        for (const auto &message : std::as_const(m_services->messages)) {
            QCOMPARE(message.icon, QMessageBox::Critical);
            QCOMPARE(message.text, passwordNotStored().arg(location));
        }
    }
    QCOMPARE(TestSupport::readFile(file), damaged);
}

QTEST_MAIN(TestPasswordDialogs)
#include "tst_passworddialogs.moc"
