// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedSettings.h"
#include "FifoFeeder.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/security/Encode.h"
#include "core/security/Vault.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/dialogs/LoginForm.h"
#include "gui/dialogs/PasswordTexts.h"
#include "gui/dialogs/SettingsForm.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/Startup.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/widgets/LabeledEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace VantoryConsts;
using namespace PasswordTexts;
using namespace SettingsKeys;

namespace {

const QString &Pwd = SettingPassword;
const QString Question = QStringLiteral("Do you want to password protect your account settings?");
const QString Changed = QStringLiteral("Your password has been changed successfully");
const QString Wrong = QStringLiteral("Incorrect password entered\nPlease check your input and try again");

QString storeFileName()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Vantory"))
        .fileName();
}

void typeInto(LabeledEdit *edit, const QString &text)
{
    edit->edit()->setFocus();
    edit->edit()->selectAll();
    QTest::keyClicks(edit->edit(), text);
}

TfrmVantory *visibleMainWindow()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *main = qobject_cast<TfrmVantory *>(window); main && main->isVisible())
            return main;
    }
    return nullptr;
}

// Runs drive on the first modal dialog of type T that opens, from the event loop that shows it.
template <typename T> void whenModal(QObject *context, std::function<void(T *)> drive)
{
    auto *timer = new QTimer(context);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, context, [timer, drive] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            drive(dialog);
        }
    });
    timer->start();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void gateEndsTheProgramWithNothingOpenedOrWritten_data();
    void gateEndsTheProgramWithNothingOpenedOrWritten();
    void rightPasswordOpensTheMainWindow();
    void firstRunQuestion_data();
    void firstRunQuestion();
    void unreadableSettingsStopTheStart_data();
    void unreadableSettingsStopTheStart();

private:
    // Runs the program until its main window shows, then closes it; returns the exit code.
    // loginDrive runs on the login dialog when one opens.
    int runProgram(const std::function<void(TfrmLogin *)> &loginDrive);

    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataFolder;
    bool m_loginShown = false;
    bool m_mainWindowShown = false;
    QStringList m_windowsBeforeLogin;
};

void TestStartup::init()
{
    TestSupport::clearSettings();
    m_services = std::make_unique<ScriptedServices>();
    m_dir = std::make_unique<QTemporaryDir>();
    // A data folder that does not exist yet: the main window makes it, nothing else may.
    m_dataFolder = m_dir->filePath(QStringLiteral("data"));
    RegWriteString(SectionMain, SettingDataPath, m_dataFolder);
    m_loginShown = false;
    m_mainWindowShown = false;
    m_windowsBeforeLogin.clear();
}

void TestStartup::cleanup()
{
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
    TestSupport::clearSettings();
}

int TestStartup::runProgram(const std::function<void(TfrmLogin *)> &loginDrive)
{
    auto *poll = new QTimer(this);
    poll->setInterval(5);
    connect(poll, &QTimer::timeout, this, [this, poll, loginDrive] {
        if (auto *login = qobject_cast<TfrmLogin *>(QApplication::activeModalWidget()); login && !m_loginShown) {
            m_loginShown = true;
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                if (window != login && (window->isVisible() || qobject_cast<TfrmVantory *>(window)))
                    m_windowsBeforeLogin << QString::fromLatin1(window->metaObject()->className());
            }
            loginDrive(login);
        } else if (TfrmVantory *main = visibleMainWindow()) {
            m_mainWindowShown = true;
            poll->stop();
            main->close();
            // Ends the run also when a message box of the window kept the loop from ending by itself.
            QCoreApplication::exit(0);
        }
    });
    poll->start();
    const int code = Startup::run(*qApp);
    delete poll;
    return code;
}

void TestStartup::gateEndsTheProgramWithNothingOpenedOrWritten_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("wrongTries");
    QTest::newRow("Cancel") << QStringLiteral("Cancel") << 0;
    QTest::newRow("Escape") << QStringLiteral("Escape") << 0;
    QTest::newRow("close box") << QStringLiteral("close box") << 0;
    QTest::newRow("wrong tries, then Cancel") << QStringLiteral("Cancel") << 3;
    QTest::newRow("right password typed, then Escape") << QStringLiteral("Escape") << 0;
}

void TestStartup::gateEndsTheProgramWithNothingOpenedOrWritten()
{
    QFETCH(QString, how);
    QFETCH(int, wrongTries);
    RegWriteString(SectionMain, Pwd, EncodeStr(QStringLiteral("Secret")));
    const QString store = storeFileName();
    const QByteArray settingsBefore = TestSupport::readFile(store);
    const QDateTime changedBefore = QFileInfo(store).lastModified();

    const int code = runProgram([&](TfrmLogin *login) {
        for (int i = 0; i < wrongTries; ++i) {
            typeInto(login->edtPassword, QStringLiteral("guess"));
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
        }
        typeInto(login->edtPassword, QStringLiteral("Secret"));
        if (how == QLatin1String("Cancel"))
            QTest::mouseClick(login->btnCancel, Qt::LeftButton);
        else if (how == QLatin1String("Escape"))
            QTest::keyClick(login->edtPassword->edit(), Qt::Key_Escape);
        else
            login->close();
    });

    QVERIFY(m_loginShown);
    QCOMPARE(m_windowsBeforeLogin, QStringList()); // the login dialog comes before any other window
    QVERIFY(!m_mainWindowShown);
    QCOMPARE(code, 0);
    QCOMPARE(m_services->messages.size(), wrongTries);
    for (const auto &message : std::as_const(m_services->messages))
        QCOMPARE(message.text, Wrong);
    // No data folder, no data file, no mapping file; the settings as they were.
    QVERIFY(!QFileInfo::exists(m_dataFolder));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QCOMPARE(TestSupport::readFile(store), settingsBefore);
    QCOMPARE(QFileInfo(store).lastModified(), changedBefore);
    QCOMPARE(RegReadInteger(SectionMain, SettingNoPromptSetPassword, -1), -1);
}

void TestStartup::rightPasswordOpensTheMainWindow()
{
    RegWriteString(SectionMain, Pwd, EncodeStr(QStringLiteral("Secret")));
    const int code = runProgram([](TfrmLogin *login) {
        typeInto(login->edtPassword, QStringLiteral("Secret"));
        QTest::keyClick(login->edtPassword->edit(), Qt::Key_Return);
    });
    QVERIFY(m_loginShown);
    QVERIFY(m_mainWindowShown);
    QCOMPARE(code, 0);
    QVERIFY(QFileInfo(m_dataFolder).isDir());
    // With a password set, the first-run question is not asked.
    QVERIFY(m_services->messages.isEmpty());
}

void TestStartup::firstRunQuestion_data()
{
    QTest::addColumn<QString>("stored");   // the master password already set; null for none
    QTest::addColumn<int>("answer");       // QMessageBox::NoButton: not asked
    QTest::addColumn<QString>("inDialog"); // what is done in the master password dialog
    QTest::addColumn<QStringList>("told");
    QTest::newRow("No") << QString() << int(QMessageBox::No) << QString() << QStringList{Question};
    QTest::newRow("Yes, then Cancel") << QString() << int(QMessageBox::Yes) << QStringLiteral("cancel")
                                      << QStringList{Question};
    QTest::newRow("Yes, then a password")
        << QString() << int(QMessageBox::Yes) << QStringLiteral("set") << QStringList{Question, Changed};
    QTest::newRow("password set before") << QStringLiteral("Secret") << int(QMessageBox::NoButton) << QString()
                                         << QStringList();
}

void TestStartup::firstRunQuestion()
{
    QFETCH(QString, stored);
    QFETCH(int, answer);
    QFETCH(QString, inDialog);
    QFETCH(QStringList, told);
    if (!stored.isNull())
        RegWriteString(SectionMain, Pwd, EncodeStr(stored));
    if (answer != QMessageBox::NoButton)
        m_services->queueAnswer(QMessageBox::StandardButton(answer));
    bool dialogShown = false;
    if (!inDialog.isEmpty()) {
        whenModal<TfrmSettings>(this, [&](TfrmSettings *dialog) {
            dialogShown = true;
            if (inDialog == QLatin1String("set")) {
                typeInto(dialog->ledNewPassword, QStringLiteral("abc"));
                typeInto(dialog->ledRetypePassword, QStringLiteral("abc"));
                QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
            } else {
                QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
            }
        });
    }

    {
        TfrmVantory window;
        window.show();
        QTRY_COMPARE(m_services->messages.size(), told.size());
        QCOMPARE(dialogShown, !inDialog.isEmpty());
        // Activated again, after the dialogs and by hand: asked no more.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    {
        TfrmVantory again;
        again.show();
        QVERIFY(QTest::qWaitForWindowActive(&again));
    }
    QStringList texts;
    for (const auto &message : std::as_const(m_services->messages))
        texts << message.text;
    QCOMPARE(texts, told);
    if (!told.isEmpty())
        QCOMPARE(m_services->messages[0].icon, QMessageBox::Question);
    QCOMPARE(RegReadInteger(SectionMain, SettingNoPromptSetPassword, 0), stored.isNull() ? 1 : 0);
    // A first master password encrypts the stored passwords unless the user says otherwise: it is kept as a
    // verifier, never scrambled.
    if (inDialog == QLatin1String("set")) {
        QVERIFY(Vault::verify(RegReadString(SectionMain, Pwd), QStringLiteral("abc")));
        return;
    }
    QCOMPARE(RegReadString(SectionMain, Pwd), stored.isNull() ? QString() : EncodeStr(stored));
}

void TestStartup::unreadableSettingsStopTheStart_data()
{
    QTest::addColumn<QString>("damage"); // a row of DamagedSettings, or "named pipe"
    for (const auto &[name, damage] : DamagedSettings::all())
        QTest::newRow(name) << QString::fromLatin1(name);
    QTest::newRow("named pipe") << QStringLiteral("named pipe");
}

void TestStartup::unreadableSettingsStopTheStart()
{
    QFETCH(QString, damage);
    RegWriteString(SectionMain, Pwd, EncodeStr(QStringLiteral("Secret")));
    const QString store = storeFileName();
    const QByteArray good = TestSupport::readFile(store);
    std::unique_ptr<FifoFeeder> pipe;
    if (damage == QLatin1String("named pipe")) {
        // A writer stands behind the pipe: a start that opens it reads the good file instead of hanging.
        QVERIFY(QFile::remove(store));
        pipe = std::make_unique<FifoFeeder>(store, good);
        QVERIFY(pipe->isValid());
    } else {
        for (const auto &[name, kind] : DamagedSettings::all()) {
            if (damage == QLatin1String(name))
                QVERIFY(TestSupport::writeFile(store, DamagedSettings::apply(good, kind)));
        }
    }
    const QByteArray before = TestSupport::readFile(store);

    const int code = runProgram([](TfrmLogin *login) { QTest::mouseClick(login->btnCancel, Qt::LeftButton); });

    // Told why, naming the file, and nothing else happens: no login without a password to check it
    // against, no main window, no data folder, the settings as they were.
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QVERIFY2(m_services->messages[0].text.contains(QDir::toNativeSeparators(store)),
             qPrintable(m_services->messages[0].text));
    QVERIFY(!m_loginShown);
    QVERIFY(!m_mainWindowShown);
    QVERIFY(code != 0);
    QVERIFY(!QFileInfo::exists(m_dataFolder));
    if (pipe) {
        QVERIFY(!QFileInfo(store).isFile());
        pipe.reset();
    } else {
        QCOMPARE(TestSupport::readFile(store), before);
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
