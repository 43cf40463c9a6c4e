// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "gui/widgets/DlgTemplate.h"
#include "gui/widgets/FlEdit.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

namespace {

// A derived dialog as the program's dialogs are: its own controls and an OK handler.
class SampleDialog : public TDlgTemplate
{
public:
    explicit SampleDialog(QWidget *parent = nullptr) : TDlgTemplate(parent)
    {
        setWindowTitle(QStringLiteral("Sample"));
        setClientSize(332, 160);
        auto *layout = new QVBoxLayout(clientArea());
        edit = new QLineEdit(clientArea());
        edit->setObjectName(QStringLiteral("ledName"));
        fee = new TFloatEdit(clientArea());
        fee->setObjectName(QStringLiteral("edtFee"));
        memo = new QPlainTextEdit(clientArea());
        layout->addWidget(edit);
        layout->addWidget(fee);
        layout->addWidget(memo);
        edit->setFocus();
    }

    QLineEdit *edit;
    TFloatEdit *fee;
    QPlainTextEdit *memo;
    bool keepOpen = false;
    int okCalls = 0;
    int cancelCalls = 0;
    int resultInHandler = -1;

protected:
    void btnOKClick() override
    {
        ++okCalls;
        resultInHandler = result();
        if (keepOpen)
            setResult(mrNone);
    }
    void btnCancelClick() override
    {
        ++cancelCalls;
        resultInHandler = result();
    }
};

// Runs `action` once the dialog's exec() has started; returns exec()'s result.
int execWith(TDlgTemplate &dialog, std::function<void()> action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        if (QApplication::activeModalWidget() != &dialog)
            qWarning("dialog is not the active modal widget");
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("dialog did not become active");
        action();
        // Whatever happened, do not hang the test.
        if (dialog.isVisible())
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.done(-1); });
    });
    return dialog.exec();
}

} // namespace

class TestDlgTemplate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void layoutOfTheStrip();
    void clientSizeIsTheInitialSize();
    void okHandlerThatResetsResultKeepsOpen();
    void okHandlerThatDoesNothingClosesWithOk();
    void cancelClosesWithCancel();
    void escapeFromLineEditPressesCancel();
    void enterFromLineEditPressesOk();
    void enterAndEscapeFromTheNumericField();
    void enterInMultiLineTextMakesNewLine();
    void disabledDefaultButtonTakesNoEnter();
    void okAsCancelButton();
    void closeBoxGivesCancel();
    void otherButtonsCanCarryAModalResult();
    void centredOverMainWindow();

private:
    ScriptedServices *m_services = nullptr;
};

void TestDlgTemplate::init()
{
    m_services = new ScriptedServices;
}

void TestDlgTemplate::cleanup()
{
    QString why;
    const bool ok = m_services->allConsumed(&why);
    delete m_services;
    m_services = nullptr;
    QVERIFY2(ok, qPrintable(why));
}

void TestDlgTemplate::layoutOfTheStrip()
{
    TDlgTemplate dialog;
    QGroupBox *strip = dialog.findChild<QGroupBox *>(QStringLiteral("ButtonsGroupBox"));
    QPushButton *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOK"));
    QPushButton *cancel = dialog.findChild<QPushButton *>(QStringLiteral("btnCancel"));
    QVERIFY(strip && ok && cancel);
    QCOMPARE(strip, dialog.ButtonsGroupBox);
    QCOMPARE(ok, dialog.btnOK);
    QCOMPARE(cancel, dialog.btnCancel);
    QVERIFY(strip->title().isEmpty());
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QVERIFY(ok->isDefault());
    QCOMPARE(dialog.cancelButton(), cancel);
    QCOMPARE(dialog.modalResult(ok), int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.modalResult(cancel), int(TDlgTemplate::mrCancel));
    QVERIFY(!ok->icon().isNull());
    QVERIFY(!cancel->icon().isNull());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(strip->height(), 40);
    QCOMPARE(strip->width(), dialog.width());
    QCOMPARE(strip->geometry().bottom(), dialog.rect().bottom());
    QVERIFY(ok->width() >= 80 && ok->height() >= 25);
    QVERIFY(cancel->width() >= 80 && cancel->height() >= 25);
    // Cancel at the right end, OK left of it, both on one line in the strip.
    QVERIFY(ok->geometry().right() < cancel->geometry().left());
    QCOMPARE(cancel->geometry().top(), ok->geometry().top());
    QVERIFY(strip->width() - cancel->geometry().right() - 1 <= 8);
    // Tab order: OK, then Cancel.
    QCOMPARE(ok->nextInFocusChain(), cancel);
    // Fixed frame.
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
}

void TestDlgTemplate::clientSizeIsTheInitialSize()
{
    TDlgTemplate plain;
    QCOMPARE(plain.size(), QSize(332, 95));
    QCOMPARE(plain.clientSize(), QSize(332, 95));
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    QCOMPARE(plain.size(), QSize(332, 95));

    TDlgTemplate affiliate;
    affiliate.setClientSize(241, 228);
    QCOMPARE(affiliate.size(), QSize(241, 228));
    affiliate.show();
    QVERIFY(QTest::qWaitForWindowExposed(&affiliate));
    QCOMPARE(affiliate.size(), QSize(241, 228));

    // Too small for its contents: it grows rather than cutting the buttons off.
    TDlgTemplate tiny;
    tiny.setClientSize(10, 10);
    QCOMPARE(tiny.clientSize(), QSize(130, 50));
    tiny.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tiny));
    QVERIFY(tiny.width() >= tiny.btnOK->width() + tiny.btnCancel->width());
    QVERIFY(tiny.height() >= 40);
}

void TestDlgTemplate::okHandlerThatResetsResultKeepsOpen()
{
    SampleDialog dialog;
    dialog.keepOpen = true;
    const int result = execWith(dialog, [&dialog] {
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        QCOMPARE(dialog.okCalls, 1);
        QCOMPARE(dialog.resultInHandler, int(TDlgTemplate::mrOk)); // set before the handler ran
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(TDlgTemplate::mrNone));
        // Now let it close.
        dialog.keepOpen = false;
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    QCOMPARE(result, int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.okCalls, 2);
}

void TestDlgTemplate::okHandlerThatDoesNothingClosesWithOk()
{
    SampleDialog dialog;
    QSignalSpy clicked(&dialog, &TDlgTemplate::modalButtonClicked);
    const int result = execWith(dialog, [&dialog] { QTest::mouseClick(dialog.btnOK, Qt::LeftButton); });
    QCOMPARE(result, int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.result(), int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.okCalls, 1);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(!dialog.isVisible());
}

void TestDlgTemplate::cancelClosesWithCancel()
{
    SampleDialog dialog;
    const int result = execWith(dialog, [&dialog] { QTest::mouseClick(dialog.btnCancel, Qt::LeftButton); });
    QCOMPARE(result, int(TDlgTemplate::mrCancel));
    QCOMPARE(dialog.cancelCalls, 1);
    QCOMPARE(dialog.resultInHandler, int(TDlgTemplate::mrCancel));
    QCOMPARE(dialog.okCalls, 0);
}

void TestDlgTemplate::escapeFromLineEditPressesCancel()
{
    SampleDialog dialog;
    const int result = execWith(dialog, [&dialog] {
        dialog.edit->setFocus();
        QTest::keyClick(dialog.edit, Qt::Key_Escape);
    });
    QCOMPARE(result, int(TDlgTemplate::mrCancel));
    QCOMPARE(dialog.cancelCalls, 1);
}

void TestDlgTemplate::enterFromLineEditPressesOk()
{
    SampleDialog dialog;
    const int result = execWith(dialog, [&dialog] {
        dialog.edit->setFocus();
        QTest::keyClick(dialog.edit, Qt::Key_Return);
    });
    QCOMPARE(result, int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.okCalls, 1);

    SampleDialog keypad;
    keypad.keepOpen = true;
    execWith(keypad, [&keypad] {
        keypad.edit->setFocus();
        QTest::keyClick(keypad.edit, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(keypad.okCalls, 1);
        QVERIFY(keypad.isVisible()); // the handler kept it open
    });
}

void TestDlgTemplate::enterAndEscapeFromTheNumericField()
{
    SampleDialog dialog;
    QSignalSpy enter(dialog.fee, &TCustomFloatEdit::enterPressed);
    int result = execWith(dialog, [&dialog] {
        dialog.fee->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(dialog.fee, QStringLiteral("42"));
        QTest::keyClick(dialog.fee, Qt::Key_Return);
    });
    QCOMPARE(result, int(TDlgTemplate::mrOk));
    QCOMPARE(enter.count(), 0); // the default button took Enter
    QCOMPARE(dialog.fee->text(), QStringLiteral("42"));

    SampleDialog second;
    result = execWith(second, [&second] {
        second.fee->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(second.fee, QStringLiteral("42"));
        QTest::keyClick(second.fee, Qt::Key_Escape);
    });
    QCOMPARE(result, int(TDlgTemplate::mrCancel)); // the cancel button took Escape
    QCOMPARE(second.cancelCalls, 1);
}

void TestDlgTemplate::enterInMultiLineTextMakesNewLine()
{
    SampleDialog dialog;
    dialog.keepOpen = true;
    execWith(dialog, [&dialog] {
        dialog.memo->setFocus();
        QTest::keyClicks(dialog.memo, QStringLiteral("a"));
        QTest::keyClick(dialog.memo, Qt::Key_Return);
        QTest::keyClicks(dialog.memo, QStringLiteral("b"));
        QCOMPARE(dialog.memo->toPlainText(), QStringLiteral("a\nb"));
        QCOMPARE(dialog.okCalls, 0);
        QVERIFY(dialog.isVisible());
        // Escape still cancels from there.
        QTest::keyClick(dialog.memo, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(dialog.result(), int(TDlgTemplate::mrCancel));
}

void TestDlgTemplate::disabledDefaultButtonTakesNoEnter()
{
    SampleDialog dialog; // as the Tell-a-Friend dialog: OK starts disabled
    dialog.btnOK->setEnabled(false);
    QSignalSpy enter(dialog.fee, &TCustomFloatEdit::enterPressed);
    execWith(dialog, [&dialog] {
        QVERIFY(!dialog.takesEnter());
        dialog.edit->setFocus();
        QTest::keyClick(dialog.edit, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        dialog.fee->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.fee, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.okCalls, 0);
        dialog.btnCancel->click();
    });
    QCOMPARE(enter.count(), 1); // nothing took Enter, so the field raised OnEnterPress
    QCOMPARE(dialog.result(), int(TDlgTemplate::mrCancel));
}

void TestDlgTemplate::okAsCancelButton()
{
    SampleDialog dialog; // as the affiliate dialog
    dialog.makeOkTheCancelButton();
    QCOMPARE(dialog.cancelButton(), dialog.btnOK);
    QVERIFY(dialog.btnCancel->isHidden());
    const int result = execWith(dialog, [&dialog] {
        QVERIFY(!dialog.btnCancel->isVisible());
        const QRect okPlace = dialog.btnOK->geometry();
        QVERIFY(okPlace.right() < dialog.ButtonsGroupBox->width() - 80); // Cancel's place stays empty
        dialog.edit->setFocus();
        QTest::keyClick(dialog.edit, Qt::Key_Escape);
    });
    // Escape pressed OK, which closes with OK.
    QCOMPARE(result, int(TDlgTemplate::mrOk));
    QCOMPARE(dialog.okCalls, 1);
    QCOMPARE(dialog.cancelCalls, 0);

    // Escape with no cancel button at all does nothing.
    SampleDialog none;
    none.setCancelButton(nullptr);
    execWith(none, [&none] {
        QVERIFY(!none.takesEscape());
        QTest::keyClick(none.edit, Qt::Key_Escape);
        QVERIFY(none.isVisible());
        none.btnCancel->click();
    });
    QCOMPARE(none.result(), int(TDlgTemplate::mrCancel));
}

void TestDlgTemplate::closeBoxGivesCancel()
{
    SampleDialog dialog;
    const int result = execWith(dialog, [&dialog] { dialog.close(); });
    QCOMPARE(result, int(TDlgTemplate::mrCancel));
    QCOMPARE(dialog.cancelCalls, 0); // no button was clicked
}

void TestDlgTemplate::otherButtonsCanCarryAModalResult()
{
    SampleDialog dialog;
    auto *retry = new QPushButton(QStringLiteral("Retry"), dialog.clientArea());
    dialog.clientArea()->layout()->addWidget(retry);
    dialog.setModalResult(retry, 4);
    QSignalSpy clicked(&dialog, &TDlgTemplate::modalButtonClicked);
    const int result = execWith(dialog, [retry] { QTest::mouseClick(retry, Qt::LeftButton); });
    QCOMPARE(result, 4);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<QAbstractButton *>(), retry);
}

void TestDlgTemplate::centredOverMainWindow()
{
    QMainWindow main;
    main.setGeometry(100, 120, 700, 500);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QCOMPARE(TDlgTemplate::mainWindow(), &main);

    TDlgTemplate dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint offset = dialog.frameGeometry().center() - main.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    dialog.hide();
    main.hide();

    // No main window: centred on the screen.
    TDlgTemplate alone;
    alone.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alone));
    const QRect screen = alone.screen()->availableGeometry();
    const QPoint off = alone.frameGeometry().center() - screen.center();
    QVERIFY2(off.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(off.x()).arg(off.y())));
}

QTEST_MAIN(TestDlgTemplate)
#include "tst_dlgtemplate.moc"
