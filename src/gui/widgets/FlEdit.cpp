// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlEdit.h"

#include "DlgTemplate.h"
#include "PlatformServices.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace {

// After a refused exit the focus goes back to the field, but the mouse press that took it away is
// still on its way to the widget that was clicked (a button would then click). Swallows the mouse
// presses that reach that widget until control returns to the event loop, as a modal error box
// that takes the mouse while it is up would.
class ClickEater : public QObject
{
public:
    explicit ClickEater(QWidget *target) : QObject(target)
    {
        target->installEventFilter(this);
        QTimer::singleShot(0, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    }
};

QChar systemDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.at(0);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAbove(TCustomFloatEdit::Extended value, TCustomFloatEdit::Extended max)
{
    // "Above the maximum (or not comparable)": NaN counts as above.
    return !(value <= max);
}

} // namespace

TCustomFloatEdit::TCustomFloatEdit(QWidget *parent) : QLineEdit(parent), m_decimalSeparator(systemDecimalSeparator())
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Input methods and drops would put text in without passing the key filter or the paste guard.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
    setText(formatValue(m_min));
}

TCustomFloatEdit::~TCustomFloatEdit() = default;

QString TCustomFloatEdit::about()
{
    return QStringLiteral("TFloatEdit 1.0: floating-point number edit field");
}

QString TCustomFloatEdit::minAboveMaxText()
{
    return tr("Minimum value must not be greater than maximum value !");
}

QString TCustomFloatEdit::maxBelowMinText()
{
    return tr("Maximum value must not be less than minimum value !");
}

// ---- Number text ----

QString TCustomFloatEdit::formatNumber(Extended value, int digits, QChar separator)
{
    return FloatText::format(value, digits, separator);
}

bool TCustomFloatEdit::parseNumber(const QString &text, QChar separator, Extended *value)
{
    return FloatText::parse(text, separator, value);
}

// ---- Properties ----

TCustomFloatEdit::Extended TCustomFloatEdit::value() const
{
    if (m_loading)
        return m_loadedValue;
    QString t = text();
    if (t.isEmpty() || t == QStringLiteral("-") || t == QString(m_decimalSeparator) || t == QStringLiteral("E"))
        t = QStringLiteral("0");
    Extended v = 0;
    if (!parseText(t, &v))
        v = m_min;
    if (v < m_min)
        return m_min;
    if (isAbove(v, m_max))
        return m_max;
    return v;
}

void TCustomFloatEdit::setValue(Extended value)
{
    if (m_loading) {
        m_loadedValue = value;
        return;
    }
    if (isAbove(value, m_max)) {
        showError();
        value = m_max;
    }
    if (value < m_min) {
        showError();
        value = m_min;
    }
    setText(formatValue(value));
}

void TCustomFloatEdit::reapplyValue()
{
    setValue(value());
}

void TCustomFloatEdit::setDigits(int digits)
{
    if (digits == m_digits)
        return;
    m_digits = qBound(0, digits, MaxDigits);
    reapplyValue();
}

bool TCustomFloatEdit::setMinValue(Extended value, QString *error)
{
    if (value == m_min)
        return true;
    if (!m_loading && value > m_max) {
        if (error)
            *error = minAboveMaxText();
        return false;
    }
    m_min = value;
    reapplyValue();
    return true;
}

bool TCustomFloatEdit::setMaxValue(Extended value, QString *error)
{
    if (value == m_max)
        return true;
    if (!m_loading && value < m_min) {
        if (error)
            *error = maxBelowMinText();
        return false;
    }
    m_max = value;
    reapplyValue();
    return true;
}

void TCustomFloatEdit::beginLoad()
{
    if (m_loading)
        return;
    // A load that sets no Value keeps the current one.
    m_loadedValue = value();
    m_loading = true;
}

void TCustomFloatEdit::endLoad()
{
    if (!m_loading)
        return;
    m_loading = false;
    if (m_min > m_max)
        std::swap(m_min, m_max);
    setValue(m_loadedValue);
}

void TCustomFloatEdit::showError() const
{
    if (!m_errorMessage.isEmpty())
        Platform::showMessage(QMessageBox::NoIcon, m_errorMessage, QMessageBox::Ok, QMessageBox::NoButton,
                              const_cast<TCustomFloatEdit *>(this));
}

// ---- Entry and exit ----

void TCustomFloatEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Coming back from another window, a popup menu or a refused exit is no new entry; a click or a
    // Tab always is (the field cannot get those while it still counts as entered).
    const bool userMove = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                          reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    if (m_inside && !userMove)
        return;
    m_inside = true;
    if (m_autoSelect && reason != Qt::MouseFocusReason)
        selectAll();
    m_valueOnEntry = value();
    Q_EMIT entered();
}

void TCustomFloatEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // A message box, another window or a popup menu taking the focus for a while is no exit.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !m_inside)
        return;
    m_inside = false;
    // A field being disabled or hidden cannot take the focus back; leave its text to Value's clamping.
    if (!isEnabled() || !isVisible())
        return;
    validateOnExit(reason);
}

void TCustomFloatEdit::hideEvent(QHideEvent *event)
{
    QLineEdit::hideEvent(event);
    m_inside = false;
}

void TCustomFloatEdit::validateOnExit(Qt::FocusReason reason)
{
    QString t = text();
    if (t.isEmpty())
        t = formatValue(m_min);
    Extended number = 0;
    if (!parseText(t, &number) || number < m_min || isAbove(number, m_max)) {
        QWidget *taker = QApplication::focusWidget();
        // Restore and refocus first, so that the error box finds the focus already back here.
        setValue(m_valueOnEntry);
        selectAll();
        m_inside = true;
        setFocus(Qt::OtherFocusReason);
        showError();
        selectAll();
        if (reason == Qt::MouseFocusReason && taker && taker != this)
            new ClickEater(taker);
        return;
    }
    setText(formatValue(number));
    setValue(value());
    Q_EMIT exited();
}

// ---- Key filter ----

bool TCustomFloatEdit::windowTakesEnter() const
{
    if (auto *dialog = qobject_cast<TDlgTemplate *>(window()))
        return dialog->takesEnter();
    if (auto *dialog = qobject_cast<QDialog *>(window())) {
        const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            if (button->isDefault() && button->isVisible())
                return button->isEnabled();
        }
    }
    return false;
}

bool TCustomFloatEdit::windowTakesEscape() const
{
    if (auto *dialog = qobject_cast<TDlgTemplate *>(window()))
        return dialog->takesEscape();
    // A plain QDialog rejects on Escape.
    return qobject_cast<QDialog *>(window()) != nullptr;
}

void TCustomFloatEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) ||
        (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
        if (!isReadOnly())
            paste();
        event->accept();
        return;
    }

    const int key = event->key();
    const QString text = event->text();
    QChar k = text.size() == 1 ? text.at(0) : QChar();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        k = QChar(u'\r');
    else if (key == Qt::Key_Escape)
        k = QChar(0x1b);

    // Only typed characters reach the filter. Keys without one (arrows, Home, Delete, whose text may
    // be DEL) and shortcuts with Ctrl or Meta go to the edit control; Ctrl+Alt is AltGr on Windows.
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shortcut = (mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier);
    if (k.isNull() || k.unicode() == 0x7f || key == Qt::Key_Delete || (shortcut && k.unicode() >= 32)) {
        QLineEdit::keyPressEvent(event);
        return;
    }

    // 1. The additional separator types the decimal separator.
    if (!m_additionalSeparator.isNull() && k == m_additionalSeparator)
        k = m_decimalSeparator;

    // 2 and 3. Enter and Escape.
    if (enterOrEscape(event, k))
        return;

    // 4. Other control characters (backspace, clipboard shortcuts) go to the edit control.
    if (k.unicode() < 32) {
        Q_EMIT keyPress(k);
        QLineEdit::keyPressEvent(event);
        return;
    }

    event->accept();
    if (isReadOnly()) {
        Q_EMIT keyPress(k);
        return;
    }
    handleCharacter(k);
}

// Enter: OnEnterPress, then discard; Escape: back to the value on entry. A default or cancel button of
// the window takes its key first. True when the key was one of them.
bool TCustomFloatEdit::enterOrEscape(QKeyEvent *event, QChar k)
{
    if (k == u'\r' || k == u'\n') {
        if (windowTakesEnter()) {
            event->ignore();
            return true;
        }
        event->accept();
        Q_EMIT enterPressed(k);
        return true;
    }

    if (k.unicode() == 0x1b) {
        if (windowTakesEscape()) {
            event->ignore();
            return true;
        }
        event->accept();
        setValue(m_valueOnEntry);
        selectAll();
        Q_EMIT keyPress(k);
        return true;
    }
    return false;
}

bool TCustomFloatEdit::handleCharacter(QChar k)
{
    // 5. Printable characters.
    const bool allowed = k == u'-' || isAsciiDigit(k) || k == u'E' || k == u'e' || k == m_decimalSeparator;
    if (!allowed) {
        Q_EMIT keyPress(k);
        return false;
    }

    const QString current = text();
    const int selLength = selectionLength();
    const int selStart = selLength > 0 ? selectionStart() : cursorPosition();
    const QString candidate = current.left(selStart) + k + current.mid(selStart + selLength);

    // 5.1 A lone minus becomes "-0" with the 0 selected, ready to be typed over.
    if (candidate == QStringLiteral("-")) {
        Q_EMIT keyPress(k);
        setText(QStringLiteral("-0"));
        setSelection(1, 1);
        return false;
    }
    // 5.2 A lone separator becomes "0.0" with the last 0 selected.
    if (candidate == QString(m_decimalSeparator)) {
        Q_EMIT keyPress(k);
        setText(QStringLiteral("0") + m_decimalSeparator + QStringLiteral("0"));
        setSelection(2, 1);
        return false;
    }
    Extended number = 0;
    // 5.3 Not a number; 5.4 above the maximum (the minimum is not tested while typing).
    if (!parseText(candidate, &number) || isAbove(number, m_max)) {
        Q_EMIT keyPress(k);
        return false;
    }
    // 5.5 No separator without decimals.
    if (k == m_decimalSeparator && m_digits == 0) {
        Q_EMIT keyPress(k);
        return false;
    }
    // 5.6 Too many decimals (exponent forms are not counted).
    if (!candidate.contains(u'E') && !candidate.contains(u'e')) {
        const qsizetype p = candidate.indexOf(m_decimalSeparator) + 1;
        if (p > 0 && candidate.size() - p > m_digits) {
            Q_EMIT keyPress(k);
            return false;
        }
    }
    // 5.7 Accept.
    Q_EMIT keyPress(k);
    insert(QString(k));
    return true;
}

// ---- Paste guard ----

template <typename Paste> void TCustomFloatEdit::guardedPaste(Paste doPaste)
{
    const QString before = text();
    const int selLength = selectionLength();
    const int selStart = selLength > 0 ? selectionStart() : cursorPosition();
    doPaste();
    Extended number = 0;
    if (!parseText(text(), &number)) {
        setText(before);
        if (selLength > 0)
            setSelection(selStart, selLength);
        else
            setCursorPosition(selStart);
    } else if (isAbove(number, m_max)) {
        setValue(m_max);
    }
    // Below the minimum or too many decimals: left to the exit validation.
}

void TCustomFloatEdit::paste()
{
    if (isReadOnly())
        return;
    guardedPaste([this] { QLineEdit::paste(); });
}

void TCustomFloatEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    if (!menu)
        return;
    // The standard Paste item calls QLineEdit::paste directly; route it through the guard. Newer Qt
    // names the item "edit-paste"; older versions are recognised by the item's (translated) text.
    const QString pasteText = QLineEdit::tr("&Paste");
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        const bool isPaste = action->objectName() == QLatin1String("edit-paste") || action->text() == pasteText ||
                             action->text().startsWith(pasteText + u'\t');
        if (isPaste) {
            action->setObjectName(QStringLiteral("edit-paste"));
            QObject::disconnect(action, &QAction::triggered, this, nullptr);
            connect(action, &QAction::triggered, this, [this] { paste(); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TCustomFloatEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // A middle click pastes the X11 selection.
    if (event->button() == Qt::MiddleButton && !isReadOnly()) {
        guardedPaste([this, event] { QLineEdit::mouseReleaseEvent(event); });
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// ---- TFloatEdit ----

TFloatEdit::TFloatEdit(QWidget *parent) : TCustomFloatEdit(parent)
{
}

TFloatEdit::~TFloatEdit() = default;
