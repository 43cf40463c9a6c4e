// SPDX-License-Identifier: GPL-3.0-or-later
#include "VaultLock.h"

#include "core/session/AccountBook.h"
#include "core/session/VaultSession.h"
#include "gui/dialogs/LoginForm.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#ifdef VANTORY_HAVE_DBUS
#include <QDBusConnection>
#endif

VaultLock::VaultLock(AccountBook *book, QObject *parent)
    : QObject(parent), m_book(book), m_giveUp([] { QCoreApplication::exit(0); })
{
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &VaultLock::lockNow);
    qApp->installEventFilter(this);
    watchScreenSaver();
}

VaultLock::~VaultLock()
{
    qApp->removeEventFilter(this);
}

void VaultLock::setIdleInterval(int ms)
{
    m_interval = qMax(0, ms);
    restartIdle();
}

void VaultLock::restartIdle()
{
    if (m_interval > 0 && !m_locked)
        m_idle.start(m_interval);
    else
        m_idle.stop();
}

bool VaultLock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        if (m_interval > 0 && !m_locked)
            m_idle.start(m_interval);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void VaultLock::watchScreenSaver()
{
#ifdef VANTORY_HAVE_DBUS
    // The freedesktop name, and the older one of GNOME; whichever the session has tells.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
                SLOT(screenSaverActive(bool)));
    bus.connect(QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
                QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
                SLOT(screenSaverActive(bool)));
#endif
}

void VaultLock::screenSaverActive(bool active)
{
    if (active)
        lockNow();
}

void VaultLock::lockNow()
{
    if (m_locked || m_book->vault()->state() != VaultSession::State::Unlocked)
        return;
    m_locked = true;
    m_idle.stop();
    m_book->vault()->lock();
    m_hidden.clear();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            m_hidden << w;
            w->hide();
        }
    }
    Q_EMIT locked();

    TfrmLogin login;
    VaultSession *vault = m_book->vault();
    login.setCheck([vault](const QString &typed) { return vault->unlock(typed).ok(); },
                   tr("Vantory is locked. Enter the master password:"));
    if (login.exec() != TDlgTemplate::mrOk) {
        // Everything was saved as it was changed: there is nothing to write on the way out.
        m_giveUp();
        return;
    }
    m_locked = false;
    for (const QPointer<QWidget> &w : std::as_const(m_hidden))
        if (w)
            w->show();
    m_hidden.clear();
    restartIdle();
    Q_EMIT unlocked();
}
