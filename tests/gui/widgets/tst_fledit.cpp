// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "gui/widgets/FlEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <limits>

using Extended = TCustomFloatEdit::Extended;

namespace {

// A plain window (no dialog, so Enter and Escape reach the field) with the field, a second edit
// to move the focus to, and a button.
struct Host
{
    QWidget window;
    TFloatEdit *edit;
    QLineEdit *other;
    QPushButton *button;

    Host()
    {
        auto *layout = new QVBoxLayout(&window);
        edit = new TFloatEdit(&window);
        edit->setObjectName(QStringLiteral("edtMonthlyFee"));
        other = new QLineEdit(&window);
        button = new QPushButton(QStringLiteral("Button"), &window);
        layout->addWidget(edit);
        layout->addWidget(other);
        layout->addWidget(button);
    }

    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

// The account editor's settings.
void configureAsMonthlyFee(TCustomFloatEdit *edit)
{
    edit->setDigits(2);
    QVERIFY(edit->setMaxValue(1000000.0L));
    QVERIFY(edit->setMinValue(0.0L));
    edit->setErrorMessage(QStringLiteral("Invalid value entered. Please check your input and try again"));
    edit->setAdditionalDecimalSeparator(u'.');
}

// Types a script into the widget: printable characters as typed keys, plus
// '<' Left, '>' Right, '#' Home, '$' End, '^' select all, '~' Backspace, '!' Delete.
void typeScript(QWidget *w, const QString &script)
{
    for (QChar c : script) {
        switch (c.unicode()) {
        case u'<':
            QTest::keyClick(w, Qt::Key_Left);
            break;
        case u'>':
            QTest::keyClick(w, Qt::Key_Right);
            break;
        case u'#':
            QTest::keyClick(w, Qt::Key_Home);
            break;
        case u'$':
            QTest::keyClick(w, Qt::Key_End);
            break;
        case u'^':
            QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
            break;
        case u'~':
            QTest::keyClick(w, Qt::Key_Backspace);
            break;
        case u'!':
            QTest::keyClick(w, Qt::Key_Delete);
            break;
        default:
            QTest::keyClick(w, char(c.unicode()));
            break;
        }
    }
}

class LocaleScope
{
public:
    explicit LocaleScope(const QLocale &locale) : m_old(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(m_old); }

private:
    QLocale m_old;
};

} // namespace

class TestFloatEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void formatting_data();
    void formatting();
    void parsing_data();
    void parsing();
    void writtenValuesReadBack_data();
    void writtenValuesReadBack();
    void largestValueStaysInTheField();

    void initialState();
    void keyFilter_data();
    void keyFilter();
    void additionalSeparatorUnderCommaLocale_data();
    void additionalSeparatorUnderCommaLocale();
    void keyPressRaisedForFilteredKeys();

    void exitRestoresOnInvalidValue();
    void exitByMouseClickEatsTheClick();
    void exitWithValidValueReformats();
    void leavingEmptyFieldGivesMinimum();
    void escapeRestoresEntryValue();
    void enterRaisesOnEnterPress();

    void pasteGuard_data();
    void pasteGuard();
    void pasteThroughContextMenu();

    void valueRead_data();
    void valueRead();
    void valueWriteClampsWithMessage();
    void minMaxRefusal();
    void boundsAndDigitsReformat();
    void formLoading();

private:
    ScriptedServices *m_services = nullptr;
};

void TestFloatEdit::init()
{
    m_services = new ScriptedServices;
}

void TestFloatEdit::cleanup()
{
    QString why;
    const bool ok = m_services->allConsumed(&why);
    delete m_services;
    m_services = nullptr;
    QVERIFY2(ok, qPrintable(why));
}

void TestFloatEdit::formatting_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero, 1 digit") << 0.0 << 1 << QStringLiteral("0.0");
    QTest::newRow("zero, 2 digits") << 0.0 << 2 << QStringLiteral("0.00");
    QTest::newRow("no decimals") << 12.0 << 0 << QStringLiteral("12");
    QTest::newRow("rounds up") << 12.346 << 2 << QStringLiteral("12.35");
    QTest::newRow("negative") << -3.5 << 2 << QStringLiteral("-3.50");
    QTest::newRow("negative rounding to zero has no sign") << -0.001 << 2 << QStringLiteral("0.00");
    QTest::newRow("negative zero") << -0.0 << 2 << QStringLiteral("0.00");
    QTest::newRow("no thousands separator") << 1234567.891 << 2 << QStringLiteral("1234567.89");
    QTest::newRow("max of the fee") << 1000000.0 << 2 << QStringLiteral("1000000.00");
    QTest::newRow("small") << 0.004 << 2 << QStringLiteral("0.00");
    QTest::newRow("leading zero") << 0.5 << 1 << QStringLiteral("0.5");
    QTest::newRow("18 integer digits") << 123456789012345678.0 << 2 << QStringLiteral("123456789012345680.00");
    QTest::newRow("19 integer digits: exponent form") << 1e20 << 2 << QStringLiteral("1E20");
    QTest::newRow("exponent form with decimals") << 1.5e20 << 2 << QStringLiteral("1.5E20");
}

void TestFloatEdit::formatting()
{
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, expected);
    QCOMPARE(TCustomFloatEdit::formatNumber(value, digits, u'.'), expected);
    QString comma = expected;
    comma.replace(u'.', u',');
    QCOMPARE(TCustomFloatEdit::formatNumber(value, digits, u','), comma);
}

void TestFloatEdit::parsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << QStringLiteral("12") << true << 12.0;
    QTest::newRow("decimal") << QStringLiteral("12.34") << true << 12.34;
    QTest::newRow("blanks around") << QStringLiteral("  12.5 ") << true << 12.5;
    QTest::newRow("plus") << QStringLiteral("+3") << true << 3.0;
    QTest::newRow("minus") << QStringLiteral("-3") << true << -3.0;
    QTest::newRow("exponent") << QStringLiteral("1e5") << true << 1e5;
    QTest::newRow("exponent with sign") << QStringLiteral("1.5E-2") << true << 0.015;
    QTest::newRow("trailing separator") << QStringLiteral("12.") << true << 12.0;
    QTest::newRow("leading separator") << QStringLiteral(".5") << true << 0.5;
    QTest::newRow("minus zero") << QStringLiteral("-0") << true << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("blank only") << QStringLiteral(" ") << false << 0.0;
    QTest::newRow("minus alone") << QStringLiteral("-") << false << 0.0;
    QTest::newRow("separator alone") << QStringLiteral(".") << false << 0.0;
    QTest::newRow("E alone") << QStringLiteral("E") << false << 0.0;
    QTest::newRow("exponent without digits") << QStringLiteral("1E") << false << 0.0;
    QTest::newRow("exponent without mantissa") << QStringLiteral("E5") << false << 0.0;
    QTest::newRow("two separators") << QStringLiteral("1.2.3") << false << 0.0;
    QTest::newRow("thousands separator") << QStringLiteral("1,000") << false << 0.0;
    QTest::newRow("inner blank") << QStringLiteral("1 2") << false << 0.0;
    QTest::newRow("two signs") << QStringLiteral("--1") << false << 0.0;
    QTest::newRow("hex") << QStringLiteral("0x10") << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
    QTest::newRow("other digits") << QStringLiteral("\u0661\u0662") << false << 0.0;
    QTest::newRow("overflow") << QStringLiteral("1e99999") << false << 0.0;
}

void TestFloatEdit::parsing()
{
    QFETCH(QString, text);
    QFETCH(bool, parses);
    QFETCH(double, value);
    Extended result = -1;
    QCOMPARE(TCustomFloatEdit::parseNumber(text, u'.', &result), parses);
    if (parses)
        QCOMPARE(double(result), value);
}

// Every value the field can hold is written as a text that reads back as that value, within the
// rounding of what is shown, the extremes of the type included.
void TestFloatEdit::writtenValuesReadBack_data()
{
    QTest::addColumn<Extended>("value");
    QTest::addColumn<int>("digits");
    using limits = std::numeric_limits<Extended>;
    QTest::newRow("largest") << limits::max() << 2;
    QTest::newRow("lowest") << limits::lowest() << 0;
    QTest::newRow("largest, all decimals") << limits::max() << 18;
    QTest::newRow("just below the largest") << std::nextafter(limits::max(), Extended(0)) << 2;
    QTest::newRow("largest double") << Extended(std::numeric_limits<double>::max()) << 2;
    QTest::newRow("smallest") << limits::denorm_min() << 18;
    QTest::newRow("exponent form") << Extended(1.5e20) << 2;
    QTest::newRow("18 nines") << Extended(999999999999999999.0L) << 0;
}

void TestFloatEdit::writtenValuesReadBack()
{
    QFETCH(Extended, value);
    QFETCH(int, digits);
    const QString text = TCustomFloatEdit::formatNumber(value, digits, u'.');
    Extended back = 0;
    QVERIFY2(TCustomFloatEdit::parseNumber(text, u'.', &back), qPrintable(text));
    const Extended bound = 0.5L * std::pow(10.0L, Extended(-digits)) + std::fabs(value) * 1e-17L;
    QVERIFY2(std::fabs(back - value) <= bound, qPrintable(text));
    QCOMPARE(TCustomFloatEdit::formatNumber(back, digits, u'.'), text);
}

// A field whose maximum is the largest number of the type keeps that number when it is set, instead
// of showing a text that reads as no number (and so as the minimum).
void TestFloatEdit::largestValueStaysInTheField()
{
    TFloatEdit edit;
    QVERIFY(edit.setMaxValue(std::numeric_limits<Extended>::max()));
    edit.setValue(std::numeric_limits<Extended>::max());
    QVERIFY2(edit.value() > 1e4931L, qPrintable(edit.text()));
}

void TestFloatEdit::initialState()
{
    TFloatEdit edit;
    QCOMPARE(edit.text(), QStringLiteral("0.0"));
    QCOMPARE(edit.digits(), 1);
    QCOMPARE(double(edit.minValue()), 0.0);
    QCOMPARE(double(edit.maxValue()), 100.0);
    QCOMPARE(edit.decimalSeparator(), QChar(u'.'));
    QVERIFY(edit.additionalDecimalSeparator().isNull());
    QVERIFY(edit.errorMessage().isEmpty());
    QCOMPARE(edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QVERIFY(edit.autoSelect());
    QVERIFY(!TCustomFloatEdit::about().isEmpty());
}

void TestFloatEdit::keyFilter_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("selStart"); // -1: nothing selected
    QTest::addColumn<int>("selLength");
    QTest::addColumn<int>("cursor");

    // Digits 2, Min 0, Max 1000000, "." as separator unless stated.
    QTest::newRow("12.34") << QString() << 2 << QStringLiteral("12.34") << QStringLiteral("12.34") << -1 << 0 << 5;
    QTest::newRow("third decimal refused")
        << QString() << 2 << QStringLiteral("12.345") << QStringLiteral("12.34") << -1 << 0 << 5;
    QTest::newRow("seventh digit refused")
        << QString() << 2 << QStringLiteral("1234567") << QStringLiteral("123456") << -1 << 0 << 6;
    QTest::newRow("1000000 itself") << QString() << 2 << QStringLiteral("1000000") << QStringLiteral("1000000") << -1
                                    << 0 << 7;
    QTest::newRow("one more digit at 1000000")
        << QString() << 2 << QStringLiteral("10000000") << QStringLiteral("1000000") << -1 << 0 << 7;
    QTest::newRow("minus gives -0 with 0 selected")
        << QString() << 2 << QStringLiteral("-") << QStringLiteral("-0") << 1 << 1 << 2;
    QTest::newRow("digit after minus replaces the 0")
        << QString() << 2 << QStringLiteral("-5") << QStringLiteral("-5") << -1 << 0 << 2;
    QTest::newRow("separator gives 0.0 with last 0 selected")
        << QString() << 2 << QStringLiteral(".") << QStringLiteral("0.0") << 2 << 1 << 3;
    QTest::newRow("digit after separator")
        << QString() << 2 << QStringLiteral(".5") << QStringLiteral("0.5") << -1 << 0 << 3;
    QTest::newRow("separator over a selection")
        << QStringLiteral("12.00") << 2 << QStringLiteral("^.") << QStringLiteral("0.0") << 2 << 1 << 3;
    QTest::newRow("second separator refused")
        << QString() << 2 << QStringLiteral("1.2.3") << QStringLiteral("1.23") << -1 << 0 << 4;
    QTest::newRow("separator refused with 0 digits")
        << QString() << 0 << QStringLiteral("1.5") << QStringLiteral("15") << -1 << 0 << 2;
    QTest::newRow("E at the end refused")
        << QString() << 2 << QStringLiteral("12E") << QStringLiteral("12") << -1 << 0 << 2;
    QTest::newRow("E between two digits")
        << QString() << 2 << QStringLiteral("12<E") << QStringLiteral("1E2") << -1 << 0 << 2;
    QTest::newRow("e between two digits")
        << QString() << 2 << QStringLiteral("12<e") << QStringLiteral("1e2") << -1 << 0 << 2;
    QTest::newRow("E making the number too big")
        << QString() << 2 << QStringLiteral("19<E") << QStringLiteral("19") << -1 << 0 << 1;
    QTest::newRow("exponent form not counted for decimals")
        << QStringLiteral("1.2345") << 2 << QStringLiteral("$<E") << QStringLiteral("1.234E5") << -1 << 0 << 6;
    QTest::newRow("letters refused") << QString() << 2 << QStringLiteral("1a2b") << QStringLiteral("12") << -1 << 0
                                     << 2;
    QTest::newRow("blank refused") << QString() << 2 << QStringLiteral("1 2") << QStringLiteral("12") << -1 << 0 << 2;
    QTest::newRow("plus refused") << QString() << 2 << QStringLiteral("+1") << QStringLiteral("1") << -1 << 0 << 1;
    QTest::newRow("comma refused") << QString() << 2 << QStringLiteral("1,5") << QStringLiteral("15") << -1 << 0 << 2;
    QTest::newRow("minus in the middle refused")
        << QString() << 2 << QStringLiteral("12<-") << QStringLiteral("12") << -1 << 0 << 1;
    QTest::newRow("minus at the start") << QStringLiteral("12") << 2 << QStringLiteral("#-") << QStringLiteral("-12")
                                        << -1 << 0 << 1;
    QTest::newRow("typing over everything")
        << QStringLiteral("12.00") << 2 << QStringLiteral("^5") << QStringLiteral("5") << -1 << 0 << 1;
    QTest::newRow("above max through insertion")
        << QStringLiteral("999999.00") << 2 << QStringLiteral("#1") << QStringLiteral("999999.00") << -1 << 0 << 0;
    QTest::newRow("backspace passes") << QString() << 2 << QStringLiteral("12~") << QStringLiteral("1") << -1 << 0 << 1;
    QTest::newRow("backspace may leave a non-number")
        << QStringLiteral("-5") << 2 << QStringLiteral("$~") << QStringLiteral("-") << -1 << 0 << 1;
    QTest::newRow("delete passes") << QStringLiteral("12") << 2 << QStringLiteral("#!") << QStringLiteral("2") << -1
                                   << 0 << 0;
    QTest::newRow("leading zeros") << QString() << 2 << QStringLiteral("007") << QStringLiteral("007") << -1 << 0 << 3;
}

void TestFloatEdit::keyFilter()
{
    QFETCH(QString, initial);
    QFETCH(int, digits);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(int, cursor);

    Host host;
    configureAsMonthlyFee(host.edit);
    host.edit->setDigits(digits);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::OtherFocusReason);
    host.edit->setText(initial);
    host.edit->end(false);

    typeScript(host.edit, keys);
    QCOMPARE(host.edit->text(), expected);
    QCOMPARE(host.edit->selectionStart(), selStart);
    QCOMPARE(host.edit->selectionLength(), selLength);
    QCOMPARE(host.edit->cursorPosition(), cursor);
}

void TestFloatEdit::additionalSeparatorUnderCommaLocale_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::newRow("point types comma") << QStringLiteral("1.5") << QStringLiteral("1,5");
    QTest::newRow("comma types comma") << QStringLiteral("1,5") << QStringLiteral("1,5");
    QTest::newRow("lone point gives 0,0") << QStringLiteral(".") << QStringLiteral("0,0");
    QTest::newRow("second separator refused") << QStringLiteral("1,2.3") << QStringLiteral("1,23");
}

void TestFloatEdit::additionalSeparatorUnderCommaLocale()
{
    QFETCH(QString, keys);
    QFETCH(QString, expected);

    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    Host host;
    QCOMPARE(host.edit->decimalSeparator(), QChar(u','));
    configureAsMonthlyFee(host.edit);
    QCOMPARE(host.edit->text(), QStringLiteral("0,00"));
    QVERIFY(host.show());
    host.edit->setFocus(Qt::OtherFocusReason);
    host.edit->clear();
    typeScript(host.edit, keys);
    QCOMPARE(host.edit->text(), expected);
    QCOMPARE(double(host.edit->value()), QLocale(QLocale::German).toDouble(expected));
}

void TestFloatEdit::keyPressRaisedForFilteredKeys()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::OtherFocusReason);
    host.edit->clear();
    QSignalSpy spy(host.edit, &TCustomFloatEdit::keyPress);
    typeScript(host.edit, QStringLiteral("1a-~"));
    // Accepted, refused, refused ("1-" does not parse), backspace.
    QCOMPARE(spy.count(), 4);
    QCOMPARE(spy.at(1).at(0).value<QChar>(), QChar(u'a'));
    QCOMPARE(spy.at(3).at(0).value<QChar>(), QChar(u'\b'));
}

void TestFloatEdit::exitRestoresOnInvalidValue()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.edit->setMinValue(10));
    host.edit->setValue(12);
    QCOMPARE(host.edit->text(), QStringLiteral("12.00"));
    QVERIFY(host.show());
    host.other->setFocus(Qt::OtherFocusReason);

    QSignalSpy exited(host.edit, &TCustomFloatEdit::exited);
    host.edit->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.edit->selectedText(), QStringLiteral("12.00"));
    QCOMPARE(double(host.edit->valueOnEntry()), 12.0);
    QTest::keyClick(host.edit, Qt::Key_5);
    QCOMPARE(host.edit->text(), QStringLiteral("5"));

    host.other->setFocus(Qt::TabFocusReason);

    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages.at(0).icon, QMessageBox::NoIcon);
    QCOMPARE(m_services->messages.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_services->messages.at(0).title, QStringLiteral("Vantory"));
    QCOMPARE(m_services->messages.at(0).text,
             QStringLiteral("Invalid value entered. Please check your input and try again"));
    QCOMPARE(host.edit->text(), QStringLiteral("12.00"));
    QCOMPARE(host.edit->selectedText(), QStringLiteral("12.00"));
    QCOMPARE(QApplication::focusWidget(), host.edit);
    QCOMPARE(exited.count(), 0);

    // Still inside: leaving again with a valid value works normally.
    QTest::keyClicks(host.edit, QStringLiteral("15"));
    host.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), host.other);
    QCOMPARE(host.edit->text(), QStringLiteral("15.00"));
    QCOMPARE(exited.count(), 1);
    QCOMPARE(m_services->messages.size(), 1);
}

void TestFloatEdit::exitByMouseClickEatsTheClick()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(host.edit, QStringLiteral("-5"));
    QCOMPARE(host.edit->text(), QStringLiteral("-5"));

    QSignalSpy clicked(host.button, &QPushButton::clicked);
    QTest::mouseClick(host.button, Qt::LeftButton);
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(host.edit->text(), QStringLiteral("0.00"));
    QCOMPARE(QApplication::focusWidget(), host.edit);
    QCOMPARE(clicked.count(), 0);

    // The next click is a click again.
    QTest::qWait(1);
    host.edit->setText(QStringLiteral("3"));
    QTest::mouseClick(host.button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(host.edit->text(), QStringLiteral("3.00"));
}

void TestFloatEdit::exitWithValidValueReformats()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.other->setFocus(Qt::OtherFocusReason);
    QSignalSpy entered(host.edit, &TCustomFloatEdit::entered);
    QSignalSpy exited(host.edit, &TCustomFloatEdit::exited);
    host.edit->setFocus(Qt::TabFocusReason);
    QCOMPARE(entered.count(), 1);
    QTest::keyClicks(host.edit, QStringLiteral("9.5"));
    host.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.edit->text(), QStringLiteral("9.50"));
    QCOMPARE(exited.count(), 1);
    QCOMPARE(double(host.edit->value()), 9.5);

    // A paste may leave more decimals than Digits; leaving rounds them.
    host.edit->setFocus(Qt::TabFocusReason);
    host.edit->setText(QStringLiteral("1.239"));
    host.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.edit->text(), QStringLiteral("1.24"));
    QVERIFY(m_services->messages.isEmpty());
}

void TestFloatEdit::leavingEmptyFieldGivesMinimum()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(host.edit, Qt::Key_Backspace); // everything was selected
    QCOMPARE(host.edit->text(), QString());
    host.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.edit->text(), QStringLiteral("0.00"));

    QVERIFY(host.edit->setMinValue(10));
    host.edit->setFocus(Qt::TabFocusReason);
    host.edit->clear();
    host.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(host.edit->text(), QStringLiteral("10.00"));
    QVERIFY(m_services->messages.isEmpty());
}

void TestFloatEdit::escapeRestoresEntryValue()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    host.edit->setValue(12);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::TabFocusReason);
    QSignalSpy keyPress(host.edit, &TCustomFloatEdit::keyPress);
    QTest::keyClicks(host.edit, QStringLiteral("345"));
    QCOMPARE(host.edit->text(), QStringLiteral("345"));
    QTest::keyClick(host.edit, Qt::Key_Escape);
    QCOMPARE(host.edit->text(), QStringLiteral("12.00"));
    QCOMPARE(host.edit->selectedText(), QStringLiteral("12.00"));
    QCOMPARE(keyPress.count(), 4);
    QCOMPARE(keyPress.last().at(0).value<QChar>(), QChar(0x1b));
    QCOMPARE(QApplication::focusWidget(), host.edit);
}

void TestFloatEdit::enterRaisesOnEnterPress()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(host.edit, QStringLiteral("7"));
    QSignalSpy enter(host.edit, &TCustomFloatEdit::enterPressed);
    QSignalSpy keyPress(host.edit, &TCustomFloatEdit::keyPress);
    QTest::keyClick(host.edit, Qt::Key_Return);
    QTest::keyClick(host.edit, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(enter.count(), 2);
    QCOMPARE(enter.at(0).at(0).value<QChar>(), QChar(u'\r'));
    QCOMPARE(keyPress.count(), 0);
    QCOMPARE(host.edit->text(), QStringLiteral("7"));
}

void TestFloatEdit::pasteGuard_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("how"); // 0 Ctrl+V, 1 Shift+Insert, 2 paste()
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedSelStart");
    QTest::addColumn<int>("expectedSelLength");

    QTest::newRow("not a number, caret") << QStringLiteral("12.00") << 2 << 0 << QStringLiteral("abc") << 0
                                         << QStringLiteral("12.00") << -1 << 0;
    QTest::newRow("not a number, selection")
        << QStringLiteral("12.00") << 1 << 3 << QStringLiteral("x") << 1 << QStringLiteral("12.00") << 1 << 3;
    QTest::newRow("number making a non-number")
        << QStringLiteral("12.00") << 5 << 0 << QStringLiteral("1.5") << 2 << QStringLiteral("12.00") << -1 << 0;
    QTest::newRow("above max") << QStringLiteral("12.00") << 0 << 5 << QStringLiteral("5000000") << 0
                               << QStringLiteral("1000000.00") << -1 << 0;
    QTest::newRow("number replacing the selection")
        << QStringLiteral("12.00") << 0 << 5 << QStringLiteral("42.5") << 1 << QStringLiteral("42.5") << -1 << 0;
    QTest::newRow("below min is left for the exit")
        << QStringLiteral("12.00") << 0 << 5 << QStringLiteral("-3") << 2 << QStringLiteral("-3") << -1 << 0;
    QTest::newRow("too many decimals are left for the exit")
        << QStringLiteral("12.00") << 0 << 5 << QStringLiteral("1.23456") << 0 << QStringLiteral("1.23456") << -1 << 0;
}

void TestFloatEdit::pasteGuard()
{
    QFETCH(QString, initial);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, clipboard);
    QFETCH(int, how);
    QFETCH(QString, expected);
    QFETCH(int, expectedSelStart);
    QFETCH(int, expectedSelLength);

    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::OtherFocusReason);
    host.edit->setText(initial);
    if (selLength > 0)
        host.edit->setSelection(selStart, selLength);
    else
        host.edit->setCursorPosition(selStart);
    QGuiApplication::clipboard()->setText(clipboard);

    if (how == 0)
        QTest::keyClick(host.edit, Qt::Key_V, Qt::ControlModifier);
    else if (how == 1)
        QTest::keyClick(host.edit, Qt::Key_Insert, Qt::ShiftModifier);
    else
        host.edit->paste();

    QCOMPARE(host.edit->text(), expected);
    QCOMPARE(host.edit->selectionStart(), expectedSelStart);
    QCOMPARE(host.edit->selectionLength(), expectedSelLength);
    if (expected == initial && expectedSelLength == 0)
        QCOMPARE(host.edit->cursorPosition(), selStart);
}

void TestFloatEdit::pasteThroughContextMenu()
{
    Host host;
    configureAsMonthlyFee(host.edit);
    QVERIFY(host.show());
    host.edit->setFocus(Qt::OtherFocusReason);
    host.edit->setText(QStringLiteral("12.00"));
    host.edit->setCursorPosition(5);

    const auto pasteFromMenu = [&host] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), host.edit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(host.edit, &event);
        QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction *paste = menu->findChild<QAction *>(QStringLiteral("edit-paste"));
        if (!paste) {
            const QList<QAction *> actions = menu->actions();
            for (QAction *a : actions) {
                if (a->objectName() == QLatin1String("edit-paste"))
                    paste = a;
            }
        }
        QVERIFY(paste);
        paste->trigger();
        menu->close();
    };

    QGuiApplication::clipboard()->setText(QStringLiteral("junk"));
    pasteFromMenu();
    QCOMPARE(host.edit->text(), QStringLiteral("12.00"));

    host.edit->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("99999999"));
    pasteFromMenu();
    QCOMPARE(host.edit->text(), QStringLiteral("1000000.00"));
}

void TestFloatEdit::valueRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("expected");

    QTest::newRow("minus, min 0") << QStringLiteral("-") << 0.0 << 100.0 << 0.0;
    QTest::newRow("minus, range around 0") << QStringLiteral("-") << -5.0 << 5.0 << 0.0;
    QTest::newRow("minus, min 1: clamped") << QStringLiteral("-") << 1.0 << 5.0 << 1.0;
    QTest::newRow("separator alone") << QStringLiteral(".") << -5.0 << 5.0 << 0.0;
    QTest::newRow("E alone") << QStringLiteral("E") << -5.0 << 5.0 << 0.0;
    QTest::newRow("empty") << QString() << -5.0 << 5.0 << 0.0;
    QTest::newRow("not a number: minimum") << QStringLiteral("1-") << -5.0 << 5.0 << -5.0;
    QTest::newRow("below min") << QStringLiteral("-7") << -5.0 << 5.0 << -5.0;
    QTest::newRow("above max") << QStringLiteral("7") << -5.0 << 5.0 << 5.0;
    QTest::newRow("inside") << QStringLiteral("2.25") << -5.0 << 5.0 << 2.25;
    QTest::newRow("more decimals than shown") << QStringLiteral("2.255") << -5.0 << 5.0 << 2.255;
}

void TestFloatEdit::valueRead()
{
    QFETCH(QString, text);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, expected);
    TFloatEdit edit;
    QVERIFY(edit.setMinValue(min));
    QVERIFY(edit.setMaxValue(max));
    edit.setText(text);
    QCOMPARE(double(edit.value()), expected);
}

void TestFloatEdit::valueWriteClampsWithMessage()
{
    TFloatEdit edit;
    edit.setValue(42.26);
    QCOMPARE(edit.text(), QStringLiteral("42.3")); // digits 1 by default
    edit.setValue(150);
    QCOMPARE(edit.text(), QStringLiteral("100.0"));
    QVERIFY(m_services->messages.isEmpty()); // no error message set: silent

    edit.setErrorMessage(QStringLiteral("Out of range"));
    edit.setValue(-1);
    QCOMPARE(edit.text(), QStringLiteral("0.0"));
    QCOMPARE(m_services->messages.size(), 1);
    QCOMPARE(m_services->messages.at(0).text, QStringLiteral("Out of range"));
    QCOMPARE(m_services->messages.at(0).icon, QMessageBox::NoIcon);
    edit.setValue(1e300L * 1e300L); // far above
    QCOMPARE(edit.text(), QStringLiteral("100.0"));
    QCOMPARE(m_services->messages.size(), 2);
}

void TestFloatEdit::minMaxRefusal()
{
    TFloatEdit edit;
    QString error;
    QVERIFY(!edit.setMinValue(200, &error));
    QCOMPARE(error, QStringLiteral("Minimum value must not be greater than maximum value !"));
    QCOMPARE(double(edit.minValue()), 0.0);

    error.clear();
    QVERIFY(!edit.setMaxValue(-1, &error));
    QCOMPARE(error, QStringLiteral("Maximum value must not be less than minimum value !"));
    QCOMPARE(double(edit.maxValue()), 100.0);

    // Equal bounds are fine; setting the same value again changes nothing.
    QVERIFY(edit.setMinValue(100, &error));
    QVERIFY(edit.setMinValue(100));
    QCOMPARE(edit.text(), QStringLiteral("100.0"));
    QVERIFY(m_services->messages.isEmpty());
}

void TestFloatEdit::boundsAndDigitsReformat()
{
    TFloatEdit edit;
    edit.setText(QStringLiteral("5"));
    edit.setDigits(3);
    QCOMPARE(edit.text(), QStringLiteral("5.000"));
    QVERIFY(edit.setMinValue(10));
    QCOMPARE(edit.text(), QStringLiteral("10.000"));
    QVERIFY(edit.setMaxValue(20));
    QVERIFY(edit.setMinValue(0));
    edit.setValue(15.5);
    QVERIFY(edit.setMaxValue(12));
    QCOMPARE(edit.text(), QStringLiteral("12.000"));
    edit.setDigits(25);
    QCOMPARE(edit.digits(), 18);
    QCOMPARE(edit.text(), QStringLiteral("12.000000000000000000"));
    edit.setDigits(0);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QVERIFY(m_services->messages.isEmpty());
}

void TestFloatEdit::formLoading()
{
    TFloatEdit edit;
    edit.beginLoad();
    QVERIFY(edit.isLoading());
    QVERIFY(edit.setMinValue(500)); // above the current maximum: accepted while loading
    QVERIFY(edit.setMaxValue(50));
    edit.setValue(70);
    QCOMPARE(double(edit.value()), 70.0);
    QCOMPARE(edit.text(), QStringLiteral("0.0")); // nothing applied yet
    edit.endLoad();
    QVERIFY(!edit.isLoading());
    QCOMPARE(double(edit.minValue()), 50.0);
    QCOMPARE(double(edit.maxValue()), 500.0);
    QCOMPARE(edit.text(), QStringLiteral("70.0"));

    // A load that sets no value keeps the current one.
    edit.beginLoad();
    edit.endLoad();
    QCOMPARE(edit.text(), QStringLiteral("70.0"));
}

QTEST_MAIN(TestFloatEdit)
#include "tst_fledit.moc"
