// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class AccountBook;
class QWidget;

// Locks encrypted accounts when the user is away: after a while without input, and when the session's
// screen is locked. Locking wipes the key, hides every window of the program and asks for the master
// password again; the windows come back once it is given. Giving up there ends the program, which has
// nothing unsaved to write. Accounts that are not encrypted are never locked.
class VaultLock : public QObject
{
    Q_OBJECT

public:
    explicit VaultLock(AccountBook *book, QObject *parent = nullptr);
    ~VaultLock() override;

    // How long the program waits without input before it locks, in milliseconds; 0: never.
    void setIdleInterval(int ms);
    int idleInterval() const { return m_interval; }
    bool isLocked() const { return m_locked; }

    // What giving up at the lock does: ends the program unless replaced.
    void setGiveUp(std::function<void()> giveUp) { m_giveUp = std::move(giveUp); }

public Q_SLOTS:
    // Locks now, when a key is held.
    void lockNow();
    // The session's screen saver became active (true) or not.
    void screenSaverActive(bool active);

Q_SIGNALS:
    void locked();
    void unlocked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchScreenSaver();
    void restartIdle();

    AccountBook *m_book;
    QTimer m_idle;
    int m_interval = 0;
    bool m_locked = false;
    QList<QPointer<QWidget>> m_hidden;
    std::function<void()> m_giveUp;
};
