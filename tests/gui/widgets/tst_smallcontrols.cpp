// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "gui/widgets/LabeledEdit.h"
#include "gui/widgets/XPPanel.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

class TestSmallControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void labeledEditAbove();
    void labeledEditLeft();
    void labeledEditForwardsText();
    void labeledEditIsOneTabStop();
    void xpPanelPaintsItsOwnColour();
    void captionBar();
};

void TestSmallControls::labeledEditAbove()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *led = new LabeledEdit(QStringLiteral("Site &Name:"), LabeledEdit::LabelPosition::Above, &window);
    led->setObjectName(QStringLiteral("ledSiteName"));
    auto *other = new QLineEdit(&window);
    layout->addWidget(other);
    layout->addWidget(led);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(led->label()->buddy(), led->edit());
    QCOMPARE(led->edit()->accessibleName(), QStringLiteral("Site Name:"));
    QCOMPARE(led->labelText(), QStringLiteral("Site &Name:"));
    QVERIFY(led->label()->geometry().bottom() < led->edit()->geometry().top());
    QCOMPARE(led->label()->x(), led->edit()->x());
    QCOMPARE(led->labelPosition(), LabeledEdit::LabelPosition::Above);

    // The widget hands its focus to the edit.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    led->setFocus();
    QCOMPARE(QApplication::focusWidget(), led->edit());
    // The access key focuses the edit too.
    other->setFocus();
    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), led->edit());
}

void TestSmallControls::labeledEditLeft()
{
    LabeledEdit led(QStringLiteral("Old Password:"), LabeledEdit::LabelPosition::Left);
    led.resize(300, led.sizeHint().height());
    led.show();
    QVERIFY(QTest::qWaitForWindowExposed(&led));
    QVERIFY(led.label()->geometry().right() < led.edit()->geometry().left());
    QCOMPARE(led.edit()->geometry().left() - led.label()->geometry().right() - 1, led.labelSpacing());
    led.setLabelPosition(LabeledEdit::LabelPosition::Above);
    QCOMPARE(led.labelPosition(), LabeledEdit::LabelPosition::Above);
}

void TestSmallControls::labeledEditForwardsText()
{
    LabeledEdit led(QStringLiteral("Username:"));
    QSignalSpy changed(&led, &LabeledEdit::textChanged);
    led.setText(QStringLiteral("alice"));
    QCOMPARE(led.text(), QStringLiteral("alice"));
    QCOMPARE(led.edit()->text(), QStringLiteral("alice"));
    QCOMPARE(changed.count(), 1);
    led.setMaxLength(3);
    QCOMPARE(led.maxLength(), 3);
    QCOMPARE(led.text(), QStringLiteral("ali"));
    led.setEchoMode(QLineEdit::Password);
    QCOMPARE(led.edit()->echoMode(), QLineEdit::Password);
    led.setLabelText(QStringLiteral("User:"));
    QCOMPARE(led.edit()->accessibleName(), QStringLiteral("User:"));
}

void TestSmallControls::labeledEditIsOneTabStop()
{
    // As a dialog builds it: its buttons first, the labelled edits after them, and then a tab order
    // set between the edits and on to the buttons. Only the edits and the buttons are stops.
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *ok = new QPushButton(QStringLiteral("OK"), &window);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    auto *first = new LabeledEdit(QStringLiteral("First:"), LabeledEdit::LabelPosition::Above, &window);
    auto *second = new LabeledEdit(QStringLiteral("Second:"), LabeledEdit::LabelPosition::Left, &window);
    for (QWidget *w : {static_cast<QWidget *>(first), static_cast<QWidget *>(second), static_cast<QWidget *>(ok),
                       static_cast<QWidget *>(cancel)})
        layout->addWidget(w);
    QWidget::setTabOrder(first->edit(), second->edit());
    QWidget::setTabOrder(second->edit(), ok);
    QWidget::setTabOrder(ok, cancel);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QList<QWidget *> cycle = {first->edit(), second->edit(), ok, cancel, first->edit(), second->edit()};
    for (const bool backwards : {false, true}) {
        QList<QWidget *> expected = cycle;
        if (backwards)
            std::reverse(expected.begin(), expected.end());
        expected.front()->setFocus();
        QList<QWidget *> visited{QApplication::focusWidget()};
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, expected);
    }
    // Focusing the labelled edit itself still lands in its edit.
    ok->setFocus();
    second->setFocus();
    QCOMPARE(QApplication::focusWidget(), second->edit());
}

void TestSmallControls::xpPanelPaintsItsOwnColour()
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette pp = parent.palette();
    pp.setColor(QPalette::Window, Qt::green);
    parent.setPalette(pp);
    auto *panel = new TXpPanel(&parent);
    panel->setColor(QColor(0x12, 0x34, 0x56));
    panel->setGeometry(10, 10, 100, 40);
    parent.resize(200, 100);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QVERIFY(panel->autoFillBackground());
    QVERIFY(panel->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage img = parent.grab().toImage();
    QCOMPARE(img.pixelColor(50, 30), QColor(0x12, 0x34, 0x56));
    QCOMPARE(img.pixelColor(5, 5), QColor(Qt::green));

    // A child panel without a colour of its own takes its parent's.
    auto *child = new TXpPanel(QStringLiteral("Hi"), panel);
    child->setGeometry(0, 0, 50, 20);
    child->show();
    QCOMPARE(child->color(), QColor(0x12, 0x34, 0x56));
    QCOMPARE(child->caption(), QStringLiteral("Hi"));
}

void TestSmallControls::captionBar()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    const AccountsCaptionBar bar = createAccountsCaptionBar(&window);
    layout->addWidget(bar.pnlAccounts);
    layout->addStretch(1);
    window.resize(400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.findChild<TXpPanel *>(QStringLiteral("pnlAccounts")), bar.pnlAccounts);
    QCOMPARE(window.findChild<TXpPanel *>(QStringLiteral("lblAccounts")), bar.lblAccounts);
    QCOMPARE(bar.pnlAccounts->height(), 29);
    QCOMPARE(bar.pnlAccounts->width(), 400);
    QCOMPARE(bar.pnlAccounts->frameShadow(), QFrame::Sunken);
    QCOMPARE(bar.lblAccounts->caption(), QStringLiteral("Accounts"));
    QVERIFY(bar.lblAccounts->font().bold());
    const QColor caption = window.palette().color(QPalette::Active, QPalette::Highlight);
    QCOMPARE(bar.pnlAccounts->color(), caption);
    QCOMPARE(bar.lblAccounts->color(), caption);
    QCOMPARE(bar.lblAccounts->captionColor(), window.palette().color(QPalette::Active, QPalette::HighlightedText));
    // lblAccounts fills the bar inside its bevel.
    QCOMPARE(bar.lblAccounts->geometry(), bar.pnlAccounts->contentsRect());

    const QImage img = window.grab().toImage();
    QCOMPARE(img.pixelColor(300, 14), caption); // right of the text
    // The caption text is drawn: some pixel in the text area has the text colour's tone.
    bool textSeen = false;
    for (int x = 2; x < 80 && !textSeen; ++x) {
        for (int y = 4; y < 25 && !textSeen; ++y)
            textSeen = img.pixelColor(x, y) != caption;
    }
    QVERIFY(textSeen);
}

QTEST_MAIN(TestSmallControls)
#include "tst_smallcontrols.moc"
