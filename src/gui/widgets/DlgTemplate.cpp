// SPDX-License-Identifier: GPL-3.0-or-later
#include "DlgTemplate.h"

#include "Icons.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int StripHeight = 40;
constexpr char ModalResultProperty[] = "vantoryModalResult";
constexpr QSize ButtonSize{80, 25};

QPushButton *makeStripButton(const QString &text, const QString &icon, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(Icons::icon(icon), text, parent);
    button->setObjectName(name);
    button->setMinimumSize(ButtonSize);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

TDlgTemplate::TDlgTemplate(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("DlgTemplate"));
    setSizeGripEnabled(false);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("pnlClient"));
    root->addWidget(m_client, 1);

    ButtonsGroupBox = new QGroupBox(this);
    ButtonsGroupBox->setObjectName(QStringLiteral("ButtonsGroupBox"));
    ButtonsGroupBox->setMinimumHeight(StripHeight);
    ButtonsGroupBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    root->addWidget(ButtonsGroupBox);

    btnOK = makeStripButton(tr("OK"), QStringLiteral("ok"), QStringLiteral("btnOK"), ButtonsGroupBox);
    btnOK->setDefault(true);
    btnCancel = makeStripButton(tr("Cancel"), QStringLiteral("cancel"), QStringLiteral("btnCancel"), ButtonsGroupBox);
    // A hidden Cancel leaves its place empty: OK keeps its position at the right.
    QSizePolicy cancelPolicy = btnCancel->sizePolicy();
    cancelPolicy.setRetainSizeWhenHidden(true);
    btnCancel->setSizePolicy(cancelPolicy);

    // OK 6 px left of Cancel, Cancel 4 px from the right end, both 8 px below the strip's top;
    // both stay at the right edge when the dialog is wider.
    auto *strip = new QHBoxLayout(ButtonsGroupBox);
    fitStripMargins();
    strip->setSpacing(6);
    strip->addStretch(1);
    strip->addWidget(btnOK);
    strip->addWidget(btnCancel);
    setTabOrder(btnOK, btnCancel);

    setModalResult(btnOK, mrOk);
    setModalResult(btnCancel, mrCancel);
    m_cancelButton = btnCancel;

    setMinimumSize(MinimumClientSize);
    resize(m_clientSize);
}

TDlgTemplate::~TDlgTemplate() = default;

void TDlgTemplate::setClientSize(const QSize &size)
{
    m_clientSize = size.expandedTo(MinimumClientSize);
    if (!m_placed)
        resize(m_clientSize);
}

void TDlgTemplate::setModalResult(QAbstractButton *button, int result)
{
    if (!button)
        return;
    // Kept on the button itself, so that it lives exactly as long as the button.
    if (!button->property(ModalResultProperty).isValid())
        connect(button, &QAbstractButton::clicked, this, [this, button] { modalButtonWasClicked(button); });
    button->setProperty(ModalResultProperty, result);
}

int TDlgTemplate::modalResult(const QAbstractButton *button) const
{
    return button ? button->property(ModalResultProperty).toInt() : mrNone;
}

void TDlgTemplate::makeOkTheCancelButton()
{
    m_cancelButton = btnOK;
    btnCancel->hide();
}

void TDlgTemplate::modalButtonWasClicked(QAbstractButton *button)
{
    setResult(modalResult(button));
    if (button == btnOK)
        btnOKClick();
    else if (button == btnCancel)
        btnCancelClick();
    Q_EMIT modalButtonClicked(button);
    if (result() != mrNone)
        done(result());
}

void TDlgTemplate::btnOKClick()
{
}

void TDlgTemplate::btnCancelClick()
{
}

void TDlgTemplate::reject()
{
    done(mrCancel);
}

QPushButton *TDlgTemplate::visibleDefaultButton() const
{
    // QDialog hands the default role to an auto-default button while it has the focus, so this is
    // the button Enter presses right now.
    const QList<QPushButton *> buttons = findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->isDefault() && button->isVisible())
            return button;
    }
    return nullptr;
}

bool TDlgTemplate::takesEnter() const
{
    const QPushButton *button = visibleDefaultButton();
    return button && button->isEnabled();
}

bool TDlgTemplate::takesEscape() const
{
    return m_cancelButton && m_cancelButton->isVisible() && m_cancelButton->isEnabled();
}

void TDlgTemplate::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        if (takesEscape()) {
            event->accept();
            m_cancelButton->click();
        } else {
            event->ignore();
        }
        return;
    }
    const bool plainEnter =
        (event->key() == Qt::Key_Return && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_Enter && (event->modifiers() | Qt::KeypadModifier) == Qt::KeypadModifier);
    if (plainEnter) {
        if (takesEnter()) {
            event->accept();
            visibleDefaultButton()->click();
        } else {
            event->ignore();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgTemplate::setVisible(bool visible)
{
    if (visible && !m_placed && !isVisible()) {
        m_placed = true;
        placeOnFirstShow();
    }
    QDialog::setVisible(visible);
}

QWidget *TDlgTemplate::mainWindow(const QWidget *except)
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window != except && window->isVisible() && qobject_cast<QMainWindow *>(window))
            return window;
    }
    QWidget *active = QApplication::activeWindow();
    return active && active != except ? active : nullptr;
}

void TDlgTemplate::fitStripMargins()
{
    // The group box keeps a style-dependent frame margin of its own; the layout adds the rest, so
    // that the buttons sit 8 px below the strip's top and 4 px from its right end whatever the style.
    const QMargins frame = ButtonsGroupBox->contentsMargins();
    const int bottom = StripHeight - 8 - ButtonSize.height();
    ButtonsGroupBox->layout()->setContentsMargins(qMax(0, 4 - frame.left()), qMax(0, 8 - frame.top()),
                                                  qMax(0, 4 - frame.right()), qMax(0, bottom - frame.bottom()));
}

void TDlgTemplate::placeOnFirstShow()
{
    ensurePolished();
    ButtonsGroupBox->ensurePolished();
    fitStripMargins();
    if (layout())
        layout()->activate();
    setFixedSize(m_clientSize.expandedTo(minimumSizeHint()).expandedTo(MinimumClientSize));
    centre();
}

void TDlgTemplate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Now the frame around the window is known (where the platform tells it at once): centre the
    // whole frame, not just the client area.
    if (!m_centredWithFrame && frameGeometry().size() != size()) {
        m_centredWithFrame = true;
        centre();
    }
}

void TDlgTemplate::centre()
{
    centreOverMainWindow(this);
}

void TDlgTemplate::centreOverMainWindow(QWidget *window)
{
    QWidget *host = window->parentWidget() ? window->parentWidget()->window() : mainWindow(window);
    QScreen *screen = host ? host->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect target = host && host->isVisible() ? host->frameGeometry() : available;
    if (!target.isValid())
        return;
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    const QMargins margins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                           outer.bottom() - inner.bottom());
    QRect frame(QPoint(0, 0), window->size().grownBy(margins));
    frame.moveCenter(target.center());
    if (available.isValid()) {
        frame.moveRight(qMin(frame.right(), available.right()));
        frame.moveBottom(qMin(frame.bottom(), available.bottom()));
        frame.moveLeft(qMax(frame.left(), available.left()));
        frame.moveTop(qMax(frame.top(), available.top()));
    }
    window->move(frame.topLeft());
}
