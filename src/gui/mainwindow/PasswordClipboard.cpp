// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

PasswordClipboard::PasswordClipboard(QObject *parent) : QObject(parent) {}

void PasswordClipboard::copy(const QString &password)
{
    auto *data = new QMimeData;
    data->setText(password);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data);
    const quint64 copy = ++m_copies;
    QTimer::singleShot(m_clearAfterMs, this, [this, password, copy] {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (copy == m_copies && clipboard->text() == password)
            clipboard->clear();
    });
}
