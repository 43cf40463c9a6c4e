// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServices.h"

ScriptedServices::ScriptedServices()
{
    Platform::Services::setInstance(this);
}

ScriptedServices::~ScriptedServices()
{
    Platform::Services::setInstance(nullptr);
}

bool ScriptedServices::allConsumed(QString *why) const
{
    QStringList reasons = unexpected;
    if (!m_answers.isEmpty())
        reasons << QStringLiteral("%1 message answer(s) left unused").arg(m_answers.size());
    if (!m_paths.isEmpty())
        reasons << QStringLiteral("%1 picker answer(s) left unused").arg(m_paths.size());
    if (why)
        *why = reasons.join(QStringLiteral("; "));
    return reasons.isEmpty();
}

void ScriptedServices::reset()
{
    messages.clear();
    pickers.clear();
    urls.clear();
    unexpected.clear();
    m_answers.clear();
    m_paths.clear();
    m_openUrlResult = true;
}

QMessageBox::StandardButton ScriptedServices::message(QWidget *, QMessageBox::Icon icon, const QString &text,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton)
{
    messages.append({icon, Platform::applicationTitle(), text, buttons});
    if (m_answers.isEmpty()) {
        // A plain notice needs no scripted answer; a question does.
        if (buttons == QMessageBox::Ok)
            return QMessageBox::Ok;
        unexpected << QStringLiteral("unanswered question: ") + text;
        return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
    }
    return m_answers.dequeue();
}

QString ScriptedServices::nextPath(const QString &kind, const QString &title)
{
    if (m_paths.isEmpty()) {
        unexpected << QStringLiteral("unanswered %1 picker: %2").arg(kind, title);
        return {};
    }
    return m_paths.dequeue();
}

QString ScriptedServices::saveFileName(QWidget *, const QString &title, const QString &filter,
                                       const QString &defaultSuffix, const QString &start)
{
    pickers.append({QStringLiteral("save"), title, filter, defaultSuffix, start});
    return nextPath(QStringLiteral("save"), title);
}

QString ScriptedServices::openFileName(QWidget *, const QString &title, const QString &filter,
                                       const QString &defaultSuffix, const QString &start)
{
    pickers.append({QStringLiteral("open"), title, filter, defaultSuffix, start});
    return nextPath(QStringLiteral("open"), title);
}

QString ScriptedServices::existingFolder(QWidget *, const QString &title, const QString &startFolder)
{
    pickers.append({QStringLiteral("folder"), title, QString(), QString(), startFolder});
    return nextPath(QStringLiteral("folder"), title);
}

bool ScriptedServices::openUrl(const QUrl &url)
{
    urls.append(url);
    return m_openUrlResult;
}
