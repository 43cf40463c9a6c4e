// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <QPushButton>

class QAbstractButton;
class QGroupBox;

// The base of the program's modal dialogs. Supplies a client area for
// the derived dialog's own controls and the bottom strip ButtonsGroupBox with btnOK (the default
// button, modal result OK) and btnCancel (the cancel button, modal result Cancel).
//
// Modal results: clicking a button that has one sets the dialog's result() to it, then runs the
// button's handler, then emits modalButtonClicked(); afterwards the dialog closes with that result
// unless the handler set it back to mrNone. A derived dialog hooks the OK button by overriding the
// virtual slot btnOKClick() (and btnCancelClick() likewise):
//
//     void TfrmLogin::btnOKClick()
//     {
//         if (!passwordIsRight()) {
//             Platform::showMessage(QMessageBox::Warning, ...);
//             setResult(mrNone); // stays open
//         }
//     }
//
// Connecting to btnOK->clicked directly runs after the dialog has closed; use the hook instead.
// Enter presses the default button and Escape the cancel button from any control (a multi-line
// text box keeps Enter for itself); the close box gives Cancel.
class TDlgTemplate : public QDialog
{
    Q_OBJECT

public:
    enum ModalResult
    {
        mrNone = 0,
        mrOk = 1,
        mrCancel = 2
    };
    Q_ENUM(ModalResult)

    static constexpr QSize DefaultClientSize{332, 95};
    static constexpr QSize MinimumClientSize{130, 50};

    explicit TDlgTemplate(QWidget *parent = nullptr);
    ~TDlgTemplate() override;

    // The area above the button strip; a derived dialog gives it its layout and controls.
    QWidget *clientArea() const { return m_client; }

    // The size the dialog opens with (its client area, i.e. the whole QWidget, strip included);
    // it grows when the fonts need more room. The dialog frame is fixed once shown.
    QSize clientSize() const { return m_clientSize; }
    void setClientSize(const QSize &size);
    void setClientSize(int width, int height) { setClientSize(QSize(width, height)); }

    // The modal result a button sets when clicked. Setting one for another button of the dialog
    // makes it close the dialog the same way.
    int modalResult(const QAbstractButton *button) const;
    void setModalResult(QAbstractButton *button, int result);

    // The button Escape presses; nullptr for none.
    QPushButton *cancelButton() const { return m_cancelButton; }
    void setCancelButton(QPushButton *button) { m_cancelButton = button; }
    // btnOK becomes the cancel button as well, btnCancel is hidden (its place stays empty).
    void makeOkTheCancelButton();

    // Whether Enter / Escape pressed anywhere in the dialog press a button: there is a visible and
    // enabled default (cancel) button. The numeric edit field asks before it handles the keys itself.
    bool takesEnter() const;
    bool takesEscape() const;

    // The window to centre over when the dialog has no parent: the first visible QMainWindow, else
    // the active window; nullptr when there is none.
    static QWidget *mainWindow(const QWidget *except = nullptr);
    // Moves a top-level window so that its whole frame is centred over its parent's window (or the
    // main window; the screen while there is none), kept inside the screen's available area.
    static void centreOverMainWindow(QWidget *window);

    void setVisible(bool visible) override;

    QGroupBox *ButtonsGroupBox = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

public Q_SLOTS:
    // The close box (and QDialog's own reject paths) close with Cancel.
    void reject() override;

Q_SIGNALS:
    // A button with a modal result was clicked: the result is set and the button's handler has run;
    // the dialog closes right after unless result() is mrNone.
    void modalButtonClicked(QAbstractButton *button);

protected Q_SLOTS:
    virtual void btnOKClick();
    virtual void btnCancelClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void modalButtonWasClicked(QAbstractButton *button);
    void placeOnFirstShow();
    void fitStripMargins();
    void centre();
    QPushButton *visibleDefaultButton() const;

    QWidget *m_client = nullptr;
    QSize m_clientSize = DefaultClientSize;
    QPointer<QPushButton> m_cancelButton;
    bool m_placed = false;
    bool m_centredWithFrame = false;
};
