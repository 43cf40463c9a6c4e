// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "core/accounts/AccountSchema.h"
#include "core/accounts/DataSet.h"
#include "core/security/Encode.h"
#include "core/settings/RegSettings.h"
#include "core/settings/SettingsKeys.h"
#include "gui/editor/AccountEditForm.h"
#include "gui/mainwindow/AccountModel.h"
#include "gui/mainwindow/MainForm.h"
#include "gui/mainwindow/VantoryConsts.h"
#include "gui/widgets/FlEdit.h"
#include "gui/widgets/LabeledEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace VantoryConsts;
using namespace AccountSchema;
using namespace SettingsKeys;

class TestAccountEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void newAccountWithOnlyASiteName();
    void newAccountNeverSharesAnIdentifier_data();
    void newAccountNeverSharesAnIdentifier();
    void editingLoadsEveryFieldAndKeepsTheDate();
    void feeBoxRuleBothWays();
    void passwordRoundTripAndTooLongPassword_data();
    void passwordRoundTripAndTooLongPassword();
    void missingSiteNameKeepsDialogOpenAndTableClean();
    void fieldsAcceptNoMoreThanTheirSize();
    void cancelTouchesNothing();
    void browsePutsTheChosenFolder();
    void editOnAnEmptyTable();
    void tabCyclesThroughTheControls_data();
    void tabCyclesThroughTheControls();

    void removeAsksWithTheSiteName();
    void removeIsDisabledOnAnEmptyTable();
    void insertOpensTheEditorFromAnyControl();
    void doubleClickOnDataRowOnlyOpensTheEditor();
    void logoOpensTheWebSite();
    void menusAndPopupMenu();
    void menusOpenFromTheKeyboard_data();
    void menusOpenFromTheKeyboard();
    void menuItemsShowPictureAndHint_data();
    void menuItemsShowPictureAndHint();

private:
    void writeAccounts(const QByteArray &accounts);
    // Runs an action that opens the editor; `drive` works the dialog while it is open.
    void withEditor(const QString &action, const std::function<void(TfrmAccountEdit *)> &drive);
    QByteArray dataFile();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<TfrmVantory> m_window;
    bool m_driven = false;
};

void TestAccountEditor::init()
{
    TestSupport::clearSettings();
    m_dir = std::make_unique<QTemporaryDir>();
    m_services = std::make_unique<ScriptedServices>();
    RegWriteString(SectionMain, SettingDataPath, m_dir->path());
    RegWriteInteger(SectionMain, SettingNoPromptSetPassword, 1);
}

void TestAccountEditor::cleanup()
{
    m_window.reset();
    QString why;
    QVERIFY2(m_services->allConsumed(&why), qPrintable(why));
    m_services.reset();
    m_dir.reset();
}

void TestAccountEditor::writeAccounts(const QByteArray &accounts)
{
    QVERIFY(TestSupport::writeFile(m_dir->filePath(DataFileName), "<Accounts>" + accounts + "</Accounts>"));
    m_window = std::make_unique<TfrmVantory>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

QByteArray TestAccountEditor::dataFile()
{
    return TestSupport::readFile(m_dir->filePath(DataFileName));
}

void TestAccountEditor::withEditor(const QString &action, const std::function<void(TfrmAccountEdit *)> &drive)
{
    m_driven = false;
    QTimer::singleShot(0, this, [this, drive] {
        auto *dialog = qobject_cast<TfrmAccountEdit *>(QApplication::activeModalWidget());
        if (!dialog) {
            qWarning("no account editor open");
            return;
        }
        m_driven = true;
        drive(dialog);
        if (dialog->isVisible())
            dialog->reject(); // a test that forgot to close it must not hang
    });
    m_window->findChild<QAction *>(action)->trigger();
    QVERIFY(m_driven);
}

static void typeInto(LabeledEdit *edit, const QString &text)
{
    edit->edit()->setFocus();
    edit->edit()->selectAll();
    for (const QChar c : text) {
        // A character beyond ASCII arrives as the keyboard sends it: a key the test cannot name,
        // with the character as its text.
        if (c.unicode() < 0x80)
            QTest::keyClick(edit->edit(), c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit->edit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void TestAccountEditor::newAccountWithOnlyASiteName()
{
    writeAccounts("<Account><accountID>4</accountID><siteName>Old</siteName></Account>");
    withEditor(QStringLiteral("aAccountAdd"), [](TfrmAccountEdit *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Account details"));
        QTRY_VERIFY(d->ledSiteName->edit()->hasFocus());
        QCOMPARE(d->cbActiveState->currentText(), QStringLiteral("Active"));
        QVERIFY(!d->edtMonthlyFee->isEnabled());
        typeInto(d->ledSiteName, QStringLiteral("New Site"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    DataSet *t = m_window->cdsVantory();
    QCOMPARE(t->recordCount(), 2);
    QCOMPARE(t->value(FieldSiteName).toString(), QStringLiteral("New Site"));
    QCOMPARE(t->value(FieldAccountID).toInt(), 5);
    QCOMPARE(t->value(FieldAddedDate).toDate(), QDate::currentDate());
    QCOMPARE(t->value(FieldMonthlyFee).toDouble(), 0.0);
    QCOMPARE(t->value(FieldActive).toInt(), 1);
    for (const QString &f : {FieldSiteUrl, FieldUsername, FieldPassword, FieldSavePath})
        QCOMPARE(t->value(f).toString(), QString());
    QVERIFY(dataFile().contains("<siteName>New Site</siteName>"));
}

void TestAccountEditor::newAccountNeverSharesAnIdentifier_data()
{
    QTest::addColumn<QList<int>>("existing");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("failed"); // whether there was no next identifier after the largest
    QTest::newRow("next after the largest") << QList<int>{0, 3} << 4 << false;
    QTest::newRow("largest possible, 0 taken") << QList<int>{0, 2147483647} << 1 << true;
    QTest::newRow("largest possible, 0 free") << QList<int>{2147483647, 5} << 0 << true;
    QTest::newRow("largest possible, a run taken") << QList<int>{2, 0, 2147483647, 1, 4} << 3 << true;
    QTest::newRow("largest possible, negatives") << QList<int>{-1, 2147483647, 0} << 1 << true;
}

void TestAccountEditor::newAccountNeverSharesAnIdentifier()
{
    QFETCH(QList<int>, existing);
    QFETCH(int, expected);
    QFETCH(bool, failed);
    QByteArray accounts;
    for (int id : existing)
        accounts +=
            QStringLiteral("<Account><accountID>%1</accountID><siteName>S%1</siteName></Account>").arg(id).toUtf8();
    writeAccounts(accounts);
    withEditor(QStringLiteral("aAccountAdd"), [](TfrmAccountEdit *d) {
        typeInto(d->ledSiteName, QStringLiteral("New"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    DataSet *t = m_window->cdsVantory();
    QCOMPARE(t->recordCount(), existing.size() + 1);
    QCOMPARE(t->value(FieldSiteName).toString(), QStringLiteral("New"));
    QCOMPARE(t->value(FieldAccountID).toInt(), expected);
    if (!failed) {
        QVERIFY(m_services->messages.isEmpty());
        return;
    }
    // Shown as it is: the default error handler's full stop is not added.
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("Failed to insert a new record"));
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
}

void TestAccountEditor::editingLoadsEveryFieldAndKeepsTheDate()
{
    const QByteArray pwd = EncodeStr(QStringLiteral("s3cret")).toUtf8();
    writeAccounts("<Account><accountID>0</accountID><siteName>Vault</siteName><siteUrl>https://v.example</siteUrl>"
                  "<savePath>/tmp/v</savePath><username>me</username><password>" + pwd + "</password>"
                  "<monthlyFee>12.5</monthlyFee><addedDate>2020-02-02</addedDate><active>2</active></Account>");
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        QCOMPARE(d->ledSiteName->text(), QStringLiteral("Vault"));
        QCOMPARE(d->ledSiteUrl->text(), QStringLiteral("https://v.example"));
        QCOMPARE(d->ledUserName->text(), QStringLiteral("me"));
        QCOMPARE(d->ledPassword->text(), QStringLiteral("s3cret"));
        QCOMPARE(d->ledSavePath->text(), QStringLiteral("/tmp/v"));
        QVERIFY(d->chkMonthlyFee->isChecked());
        QCOMPARE(d->edtMonthlyFee->text(), QStringLiteral("12.50"));
        QTRY_VERIFY(d->edtMonthlyFee->hasFocus()); // an account with a fee opens in the amount
        QCOMPARE(d->cbActiveState->currentIndex(), 2);
        d->cbActiveState->setCurrentIndex(0);
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    DataSet *t = m_window->cdsVantory();
    QCOMPARE(t->recordCount(), 1);
    QCOMPARE(t->value(FieldActive).toInt(), 0);
    QCOMPARE(t->value(FieldAddedDate).toDate(), QDate(2020, 2, 2)); // the date the user had stays
    QCOMPARE(t->value(FieldMonthlyFee).toDouble(), 12.5);
}

void TestAccountEditor::feeBoxRuleBothWays()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>A</siteName><monthlyFee>0</monthlyFee></Account>");
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        QVERIFY(!d->chkMonthlyFee->isChecked());
        QVERIFY(!d->edtMonthlyFee->isEnabled() && !d->lblMonthlyFee->isEnabled());
        QTest::mouseClick(d->chkMonthlyFee, Qt::LeftButton);
        QVERIFY(d->edtMonthlyFee->isEnabled() && d->lblMonthlyFee->isEnabled());
        QTRY_VERIFY(d->edtMonthlyFee->hasFocus());
        d->edtMonthlyFee->selectAll();
        QTest::keyClicks(d->edtMonthlyFee, QStringLiteral("9.99"));
        // Unchecking stores 0 although the amount still shows.
        QTest::mouseClick(d->chkMonthlyFee, Qt::LeftButton);
        QCOMPARE(d->edtMonthlyFee->text(), QStringLiteral("9.99"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    QCOMPARE(m_window->cdsVantory()->value(FieldMonthlyFee).toDouble(), 0.0);
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        QTest::mouseClick(d->chkMonthlyFee, Qt::LeftButton);
        d->edtMonthlyFee->selectAll();
        QTest::keyClicks(d->edtMonthlyFee, QStringLiteral("9.99"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    QCOMPARE(m_window->cdsVantory()->value(FieldMonthlyFee).toDouble(), 9.99);
}

void TestAccountEditor::passwordRoundTripAndTooLongPassword_data()
{
    // The password field holds 80 scrambled characters, two for each stored byte of the password:
    // 40 bytes, whatever number of characters they make.
    QTest::addColumn<QString>("longest"); // the longest password of its kind that is stored
    QTest::addColumn<QString>("tooLong"); // one character more
    const QString e = QStringLiteral("\u00e9"), euro = QStringLiteral("\u20ac");
    QTest::newRow("one-byte characters") << QString(40, u'p') << QString(41, u'p');
    QTest::newRow("two-byte characters") << e.repeated(20) << e.repeated(21);
    QTest::newRow("three-byte characters") << euro.repeated(13) << euro.repeated(14);
    QTest::newRow("mixed") << QString(37, u'a') + euro << QString(37, u'a') + euro + e;
}

void TestAccountEditor::passwordRoundTripAndTooLongPassword()
{
    QFETCH(QString, longest);
    QFETCH(QString, tooLong);
    writeAccounts("<Account><accountID>0</accountID><siteName>A</siteName></Account>");
    withEditor(QStringLiteral("aAccountEdit"), [&](TfrmAccountEdit *d) {
        typeInto(d->ledPassword, tooLong);
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(d->isVisible()); // refused, not cut
        QTRY_VERIFY(d->ledPassword->edit()->hasFocus());
        typeInto(d->ledPassword, longest);
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("This password is too long to be stored"));
    const QString stored = m_window->cdsVantory()->value(FieldPassword).toString();
    QCOMPARE(stored.size(), 2 * longest.toLocal8Bit().size());
    QVERIFY(!dataFile().contains(longest.toUtf8()));
    withEditor(QStringLiteral("aAccountEdit"), [&](TfrmAccountEdit *d) {
        QCOMPARE(d->ledPassword->text(), longest);
        d->reject();
    });
}

void TestAccountEditor::missingSiteNameKeepsDialogOpenAndTableClean()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>Keep</siteName></Account>");
    const QByteArray before = dataFile();
    withEditor(QStringLiteral("aAccountAdd"), [&](TfrmAccountEdit *d) {
        typeInto(d->ledSiteUrl, QStringLiteral("https://x"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(d->isVisible());
        QCOMPARE(m_window->cdsVantory()->state(), DataSet::Browse);
        QCOMPARE(m_window->cdsVantory()->recordCount(), 1);
        QTRY_VERIFY(d->ledSiteName->edit()->hasFocus());
        d->reject();
    });
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("Field 'siteName' must have a value"));
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(dataFile(), before);
    // Clearing the name of an existing account is refused the same way and leaves it as it was.
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        d->ledSiteName->edit()->clear();
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
        QVERIFY(d->isVisible());
        d->reject();
    });
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), QStringLiteral("Keep"));
    QCOMPARE(m_services->messages.size(), 2);
}

void TestAccountEditor::fieldsAcceptNoMoreThanTheirSize()
{
    writeAccounts({});
    withEditor(QStringLiteral("aAccountAdd"), [](TfrmAccountEdit *d) {
        const QList<QPair<LabeledEdit *, int>> limits = {
            {d->ledSiteName, 260}, {d->ledSiteUrl, 260}, {d->ledSavePath, 260}, {d->ledUserName, 80}};
        for (const auto &[edit, size] : limits) {
            edit->edit()->setFocus();
            QTest::keyClicks(edit->edit(), QString(size + 5, u'x'));
            QCOMPARE(edit->text().size(), size);
        }
        d->reject();
    });
}

void TestAccountEditor::cancelTouchesNothing()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>Keep</siteName></Account>");
    const QByteArray before = dataFile();
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        typeInto(d->ledSiteName, QStringLiteral("Changed"));
        QTest::mouseClick(d->btnCancel, Qt::LeftButton);
    });
    withEditor(QStringLiteral("aAccountAdd"), [](TfrmAccountEdit *d) {
        typeInto(d->ledSiteName, QStringLiteral("Never"));
        QTest::keyClick(d->ledSiteName->edit(), Qt::Key_Escape);
    });
    QCOMPARE(dataFile(), before);
    QCOMPARE(m_window->cdsVantory()->recordCount(), 1);
    QCOMPARE(m_window->cdsVantory()->value(FieldSiteName).toString(), QStringLiteral("Keep"));
}

void TestAccountEditor::browsePutsTheChosenFolder()
{
    writeAccounts({});
    m_services->queuePath(QString()); // cancelled: nothing changes
    m_services->queuePath(m_dir->path());
    withEditor(QStringLiteral("aAccountAdd"), [&](TfrmAccountEdit *d) {
        d->ledSavePath->setText(QStringLiteral("/kept"));
        QTest::mouseClick(d->sbBrowseSiteName, Qt::LeftButton);
        QCOMPARE(d->ledSavePath->text(), QStringLiteral("/kept"));
        QTest::mouseClick(d->sbBrowseSiteName, Qt::LeftButton);
        QCOMPARE(d->ledSavePath->text(), QDir::toNativeSeparators(m_dir->path()));
        d->reject();
    });
    QCOMPARE(m_services->pickers.size(), 2);
    QCOMPARE(m_services->pickers[0].kind, QStringLiteral("folder"));
    QCOMPARE(m_services->pickers[0].title, QStringLiteral("Save Path"));
}

void TestAccountEditor::editOnAnEmptyTable()
{
    writeAccounts({});
    withEditor(QStringLiteral("aAccountEdit"), [](TfrmAccountEdit *d) {
        QCOMPARE(d->AccountId, 0);
        QCOMPARE(d->ledSiteName->text(), QString());
        QCOMPARE(d->cbActiveState->currentText(), QStringLiteral("Inactive"));
        typeInto(d->ledSiteName, QStringLiteral("From edit"));
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    QCOMPARE(m_window->cdsVantory()->recordCount(), 1);
    QCOMPARE(m_window->cdsVantory()->value(FieldAccountID).toInt(), 0);
}

void TestAccountEditor::tabCyclesThroughTheControls_data()
{
    QTest::addColumn<bool>("withFee"); // the amount takes part only while the fee box is checked
    QTest::addColumn<bool>("backwards");
    QTest::newRow("no fee, Tab") << false << false;
    QTest::newRow("no fee, Shift+Tab") << false << true;
    QTest::newRow("fee, Tab") << true << false;
    QTest::newRow("fee, Shift+Tab") << true << true;
}

void TestAccountEditor::tabCyclesThroughTheControls()
{
    QFETCH(bool, withFee);
    QFETCH(bool, backwards);
    writeAccounts({});
    QStringList expected{u"ledSiteName"_qs, u"ledSiteUrl"_qs,    u"ledUserName"_qs,   u"ledPassword"_qs,
                         u"ledSavePath"_qs, u"chkMonthlyFee"_qs, u"edtMonthlyFee"_qs, u"cbActiveState"_qs,
                         u"btnOK"_qs,       u"btnCancel"_qs};
    if (!withFee)
        expected.removeAll(u"edtMonthlyFee"_qs);
    if (backwards)
        std::reverse(expected.begin() + 1, expected.end()); // from Site Name back to Cancel
    expected << expected.first() << expected.at(1);         // round the whole cycle and on
    QStringList visited;
    withEditor(QStringLiteral("aAccountAdd"), [&](TfrmAccountEdit *d) {
        QVERIFY(QTest::qWaitForWindowActive(d));
        if (withFee)
            QTest::mouseClick(d->chkMonthlyFee, Qt::LeftButton);
        d->ledSiteName->edit()->setFocus();
        // The control a key lands in, by the name a user knows it by (a labelled edit's, for its edit).
        const auto focused = [] {
            QWidget *w = QApplication::focusWidget();
            if (w && qobject_cast<LabeledEdit *>(w->parentWidget()))
                w = w->parentWidget();
            return w ? w->objectName() : QString();
        };
        visited << focused();
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
            visited << focused();
        }
        d->reject();
    });
    QCOMPARE(visited, expected);
}

void TestAccountEditor::removeAsksWithTheSiteName()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>Foo</siteName></Account>"
                  "<Account><accountID>1</accountID><siteName>Zed</siteName></Account>");
    m_services->queueAnswer(QMessageBox::Cancel);
    m_window->findChild<QAction *>(QStringLiteral("aAccountDelete"))->trigger();
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].text, QStringLiteral("Do you really want to delete the selected account Foo?"));
    QCOMPARE(m_services->messages[0].title, QStringLiteral("Vantory"));
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Question);
    QCOMPARE(m_services->messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(m_window->cdsVantory()->recordCount(), 2);
    m_services->queueAnswer(QMessageBox::Ok);
    m_window->findChild<QAction *>(QStringLiteral("aAccountDelete"))->trigger();
    QCOMPARE(m_window->cdsVantory()->recordCount(), 1);
    QVERIFY(!dataFile().contains("Foo"));
}

void TestAccountEditor::removeIsDisabledOnAnEmptyTable()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>Only</siteName></Account>");
    QAction *remove = m_window->findChild<QAction *>(QStringLiteral("aAccountDelete"));
    QVERIFY(remove->isEnabled());
    m_services->queueAnswer(QMessageBox::Ok);
    remove->trigger();
    QVERIFY(!remove->isEnabled());
    m_window->dbgAccounts()->setFocus();
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_services->messages.size(), 1); // Ctrl+Delete asked nothing
    QVERIFY(m_window->findChild<QAction *>(QStringLiteral("aAccountEdit"))->isEnabled());
    // Adding a row brings it back.
    DataSet *t = m_window->cdsVantory();
    QVERIFY(t->insert() && t->setValue(FieldSiteName, QStringLiteral("Back")) && t->post());
    QVERIFY(remove->isEnabled());
}

void TestAccountEditor::insertOpensTheEditorFromAnyControl()
{
    writeAccounts("<Account><accountID>0</accountID><siteName>A</siteName></Account>");
    int opened = 0;
    // From the grid, and with no control focused at all.
    for (QWidget *target : {static_cast<QWidget *>(m_window->dbgAccounts()), static_cast<QWidget *>(m_window.get())}) {
        m_window->activateWindow(); // the offscreen platform does not hand activation back after a dialog
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        if (target == m_window.get())
            m_window->dbgAccounts()->clearFocus();
        else
            target->setFocus();
        QTimer::singleShot(0, this, [&] {
            if (auto *d = qobject_cast<TfrmAccountEdit *>(QApplication::activeModalWidget())) {
                ++opened;
                QCOMPARE(d->AccountId, -1);
                d->reject();
            }
        });
        QTest::keyClick(target, Qt::Key_Insert);
    }
    QCOMPARE(opened, 2);
    QCOMPARE(m_window->cdsVantory()->recordCount(), 1);
}

void TestAccountEditor::doubleClickOnDataRowOnlyOpensTheEditor()
{
    writeAccounts("<Account><accountID>7</accountID><siteName>A</siteName></Account>");
    QTableView *grid = m_window->dbgAccounts();
    int opened = 0;
    QTimer::singleShot(0, this, [&] {
        if (auto *d = qobject_cast<TfrmAccountEdit *>(QApplication::activeModalWidget())) {
            ++opened;
            QCOMPARE(d->AccountId, 7);
            d->reject();
        }
    });
    const QPoint onRow = grid->visualRect(grid->model()->index(0, 0)).center();
    QCursor::setPos(grid->viewport()->mapToGlobal(onRow));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, onRow);
    QCOMPARE(opened, 1);
    // Below the last row, or on a title, nothing opens.
    const QPoint below(onRow.x(), grid->viewport()->height() - 3);
    QCursor::setPos(grid->viewport()->mapToGlobal(below));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseDClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 5));
    QTest::qWait(20);
    QCOMPARE(opened, 1);
}

void TestAccountEditor::logoOpensTheWebSite()
{
    writeAccounts({});
    auto *logo = m_window->findChild<QWidget *>(QStringLiteral("imgLogo"));
    QTest::mouseClick(logo, Qt::LeftButton);
    QCOMPARE(m_services->urls.size(), 1);
    QCOMPARE(m_services->urls[0].scheme(), QStringLiteral("https"));
    QVERIFY(m_services->messages.isEmpty());
    // No browser took it: the user is told, not left wondering.
    m_services->setOpenUrlResult(false);
    m_services->queueAnswer(QMessageBox::Ok);
    QTest::mouseClick(logo, Qt::LeftButton);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages[0].icon, QMessageBox::Critical);
    QVERIFY(m_services->messages[0].text.contains(m_services->urls[0].toString()));
}

void TestAccountEditor::menusAndPopupMenu()
{
    writeAccounts({});
    struct Expect
    {
        const char *name, *caption, *hint;
        QKeySequence shortcut;
    };
    const Expect actions[] = {
        {"aAccountAdd", "Add", "Add a new account", QKeySequence(Qt::Key_Insert)},
        {"aAccountEdit", "Edit", "Edit an existing account", {}},
        {"aAccountDelete", "Remove", "Remove an account", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"aBackup", "Backup...", "Backup an account", {}},
        {"aRestore", "Restore...", "Restore an account", {}},
        {"aMakeMoney", "Make Money", "Enter Your ClickBank ID", {}},
        {"aShare", "Tell a Friend", "Send information about the program to your friend", {}},
        {"aAbout", "About", "Information about the program", {}},
        {"aSearch", "Search", "Find a file by given filetype or keyword", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {"aRefresh", "Refresh Data", "", QKeySequence(Qt::Key_F5)},
        {"aSettings", "Master Password...", "", {}},
        {"aExit", "E&xit", "", QKeySequence(Qt::ALT | Qt::Key_F4)},
    };
    for (const Expect &e : actions) {
        auto *a = m_window->findChild<QAction *>(QLatin1String(e.name));
        QVERIFY2(a, e.name);
        QCOMPARE(a->text(), QLatin1String(e.caption));
        QCOMPARE(a->statusTip(), QLatin1String(e.hint));
        QCOMPARE(a->shortcut(), e.shortcut);
    }
    auto *popup = m_window->findChild<QMenu *>(QStringLiteral("pmAccounts"));
    QStringList items;
    for (QAction *a : popup->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(items, (QStringList{u"Edit"_qs, u"-"_qs, u"Add"_qs, u"Remove"_qs, u"-"_qs, u"Open Site"_qs,
                                 u"Copy Username"_qs, u"Copy Password"_qs, u"Open Save Folder"_qs}));
    QCOMPARE(popup->defaultAction()->text(), QStringLiteral("Edit"));
    for (QAction *a : popup->actions())
        QVERIFY(a->icon().isNull());
    // The items follow their commands: Remove greys out with the command.
    QAction *removeItem = popup->actions().at(3);
    QCOMPARE(removeItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    QVERIFY(!removeItem->isEnabled()); // the table is empty
    int opened = 0;
    QTimer::singleShot(0, this, [&] {
        if (auto *d = qobject_cast<TfrmAccountEdit *>(QApplication::activeModalWidget())) {
            ++opened;
            d->reject();
        }
    });
    popup->actions().first()->trigger();
    QCOMPARE(opened, 1);
}

void TestAccountEditor::menusOpenFromTheKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("menu");
    QTest::newRow("Alt+A") << int(Qt::Key_A) << int(Qt::AltModifier) << u"Accounts"_qs;
    QTest::newRow("Alt+T") << int(Qt::Key_T) << int(Qt::AltModifier) << u"Tools"_qs;
    QTest::newRow("Alt+E") << int(Qt::Key_E) << int(Qt::AltModifier) << u"Extras"_qs;
    QTest::newRow("Alt+H") << int(Qt::Key_H) << int(Qt::AltModifier) << u"Help"_qs;
    QTest::newRow("F10") << int(Qt::Key_F10) << int(Qt::NoModifier) << u"Accounts"_qs;
}

void TestAccountEditor::menusOpenFromTheKeyboard()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, menu);
    writeAccounts("<Account><accountID>0</accountID><siteName>A</siteName></Account>");
    m_window->dbgAccounts()->setFocus();
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    auto *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(open);
    QCOMPARE(open->title().remove(u'&'), menu);
    QTest::keyClick(open, Qt::Key_Escape);
    QTRY_VERIFY(!open->isVisible());
}

void TestAccountEditor::menuItemsShowPictureAndHint_data()
{
    QTest::addColumn<int>("menuKey"); // with Alt
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("action"); // whose picture and hint the item shows
    QTest::newRow("Add") << int(Qt::Key_A) << u"Add"_qs << u"aAccountAdd"_qs;
    QTest::newRow("Make Money...") << int(Qt::Key_E) << u"Make Money..."_qs << u"aMakeMoney"_qs;
    QTest::newRow("Tell a Friend...") << int(Qt::Key_E) << u"Tell a Friend..."_qs << u"aShare"_qs;
    QTest::newRow("Backup... (no picture)") << int(Qt::Key_T) << u"Backup..."_qs << u"aBackup"_qs;
}

void TestAccountEditor::menuItemsShowPictureAndHint()
{
    QFETCH(int, menuKey);
    QFETCH(QString, item);
    QFETCH(QString, action);
    writeAccounts({});
    const QAction *command = m_window->findChild<QAction *>(action);
    QVERIFY(command);
    m_window->dbgAccounts()->setFocus();
    QTest::keyClick(m_window->dbgAccounts(), Qt::Key(menuKey), Qt::AltModifier);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    // Down to the item, as a user goes there.
    for (int i = 0; i < menu->actions().size() && (!menu->activeAction() || menu->activeAction()->text() != item); ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    QAction *highlighted = menu->activeAction();
    QVERIFY(highlighted);
    QCOMPARE(highlighted->text(), item);
    QCOMPARE(m_window->statusBar()->currentMessage(), command->statusTip());
    QVERIFY(!command->statusTip().isEmpty());
    QCOMPARE(highlighted->icon().isNull(), command->icon().isNull());
    if (!command->icon().isNull())
        QCOMPARE(highlighted->icon().pixmap(16).toImage(), command->icon().pixmap(16).toImage());
    QTest::keyClick(menu, Qt::Key_Escape);
}

QTEST_MAIN(TestAccountEditor)
#include "tst_accounteditor.moc"
