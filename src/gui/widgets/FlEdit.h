// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/text/FloatText.h"

#include <QLineEdit>

// A single-line field for one number between a minimum and a maximum, shown
// with a fixed number of decimals. Keystrokes whose result would not be a number, would exceed the
// maximum or would carry too many decimals are refused; leaving the field validates against both
// bounds and restores the value on entry when that fails.
//
// "Extended" values are long double (80-bit on x86 Linux/GCC; the same as double on MSVC).
// Inconsistent bounds are refused with a returned error (false plus the text), not an exception.
// The OnKeyPress, OnEnter, OnExit, OnEnterPress and OnChange events are the signals keyPress,
// entered, exited, enterPressed and QLineEdit::textChanged. Alignment is QLineEdit's alignment
// (right by default). Form loading is the explicit pair beginLoad()/endLoad().
class TCustomFloatEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int digits READ digits WRITE setDigits)
    Q_PROPERTY(QString errorMessage READ errorMessage WRITE setErrorMessage)
    Q_PROPERTY(bool autoSelect READ autoSelect WRITE setAutoSelect)

public:
    using Extended = FloatText::Extended;
    static constexpr int MaxDigits = FloatText::MaxDigits;

    explicit TCustomFloatEdit(QWidget *parent = nullptr);
    ~TCustomFloatEdit() override;

    // Value: read from the text (clamped into the range), written clamped and formatted.
    Extended value() const;
    void setValue(Extended value);

    // Number of decimals shown, 0 to 18 (capped). Default 1.
    int digits() const { return m_digits; }
    void setDigits(int digits);

    // Min and Max. Outside form loading a minimum above the maximum (or a maximum below the minimum)
    // is refused: the setter returns false, puts the error text into *error and changes nothing.
    Extended minValue() const { return m_min; }
    bool setMinValue(Extended value, QString *error = nullptr);
    Extended maxValue() const { return m_max; }
    bool setMaxValue(Extended value, QString *error = nullptr);
    static QString minAboveMaxText();
    static QString maxBelowMinText();

    // Shown (plain message box, OK) when a value is refused on exit or clamped by setValue();
    // empty means refuse silently.
    QString errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const QString &message) { m_errorMessage = message; }

    // A second key that types the decimal separator; a null QChar means none.
    QChar additionalDecimalSeparator() const { return m_additionalSeparator; }
    void setAdditionalDecimalSeparator(QChar separator) { m_additionalSeparator = separator; }

    // The locale's decimal separator, copied from QLocale() when the field was created.
    QChar decimalSeparator() const { return m_decimalSeparator; }

    // Select all text when the field is entered other than by a mouse click. Default true.
    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool on) { m_autoSelect = on; }

    // The value the field had when it last got the focus.
    Extended valueOnEntry() const { return m_valueOnEntry; }

    // Form loading: between the two calls Min and Max accept any order and Value is only
    // remembered; endLoad() puts the bounds in order and applies the remembered value.
    void beginLoad();
    void endLoad();
    bool isLoading() const { return m_loading; }

    // A one-line description of the control: its name, version and purpose.
    static QString about();

    // Number text with this field's separator and digits.
    QString formatValue(Extended value) const { return formatNumber(value, m_digits, m_decimalSeparator); }
    bool parseText(const QString &text, Extended *value) const { return parseNumber(text, m_decimalSeparator, value); }

    // The field's number text: FloatText::format and FloatText::parse.
    static QString formatNumber(Extended value, int digits, QChar separator);
    static bool parseNumber(const QString &text, QChar separator, Extended *value);

public Q_SLOTS:
    // Pastes from the clipboard through the paste guard. Hides QLineEdit::paste, which the standard
    // context menu and the paste shortcuts would otherwise reach directly.
    void paste();

Q_SIGNALS:
    // OnKeyPress: a character key reached the key filter (raised before the key is handled).
    void keyPress(QChar key);
    // OnEnterPress: Enter reached the field (no default button of the window took it).
    void enterPressed(QChar key);
    // OnEnter / OnExit. exited() is not raised when the exit validation refused the value.
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    template <typename Paste> void guardedPaste(Paste doPaste);
    bool handleCharacter(QChar key);
    bool enterOrEscape(QKeyEvent *event, QChar k);
    void validateOnExit(Qt::FocusReason reason);
    void showError() const;
    bool windowTakesEnter() const;
    bool windowTakesEscape() const;
    void reapplyValue();

    QChar m_additionalSeparator;
    int m_digits = 1;
    Extended m_min = 0.0L;
    Extended m_max = 100.0L;
    QChar m_decimalSeparator;
    QString m_errorMessage;
    Extended m_valueOnEntry = 0.0L;
    Extended m_loadedValue = 0.0L;
    bool m_loading = false;
    bool m_autoSelect = true;
    // True from entry to exit; a window deactivation in between is neither.
    bool m_inside = false;
};

// The form-level class: the same control with its properties published.
class TFloatEdit : public TCustomFloatEdit
{
    Q_OBJECT

public:
    explicit TFloatEdit(QWidget *parent = nullptr);
    ~TFloatEdit() override;
};
