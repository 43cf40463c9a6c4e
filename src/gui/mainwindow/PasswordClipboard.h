// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// Puts a password on the clipboard for a while: it is taken off again when the time is up, unless
// something else was copied meanwhile. Each copy starts its own time; only the last one counts. The
// copy is marked as a secret, so that clipboard managers that honour the mark keep no history of it.
class PasswordClipboard : public QObject
{
    Q_OBJECT

public:
    explicit PasswordClipboard(QObject *parent = nullptr);

    void setClearAfter(int ms) { m_clearAfterMs = ms; }
    void copy(const QString &password);

private:
    int m_clearAfterMs = 30000;
    quint64 m_copies = 0;
};
