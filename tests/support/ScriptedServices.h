// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/widgets/PlatformServices.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// A test double for the platform services: answers are queued before the action that asks, every
// call is recorded, and a call with no answer queued is recorded as unexpected. Installs itself on
// construction and uninstalls on destruction.
class ScriptedServices : public Platform::Services
{
public:
    struct MessageCall
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };
    struct PickerCall
    {
        QString kind; // "save", "open" or "folder"
        QString title;
        QString filter;
        QString defaultSuffix;
        QString start; // the folder, or the file, the picker starts at
    };

    ScriptedServices();
    ~ScriptedServices() override;

    void queueAnswer(QMessageBox::StandardButton answer) { m_answers.enqueue(answer); }
    // An empty path answers a picker with Cancel.
    void queuePath(const QString &path) { m_paths.enqueue(path); }
    void setOpenUrlResult(bool result) { m_openUrlResult = result; }

    // True when every queued answer was used and nothing unexpected was asked; the reason otherwise.
    bool allConsumed(QString *why = nullptr) const;
    void reset();

    QList<MessageCall> messages;
    QList<PickerCall> pickers;
    QList<QUrl> urls;
    QStringList unexpected;

    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &filter, const QString &defaultSuffix,
                         const QString &start = QString()) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &filter, const QString &defaultSuffix,
                         const QString &start = QString()) override;
    QString existingFolder(QWidget *parent, const QString &title, const QString &startFolder) override;
    bool openUrl(const QUrl &url) override;

private:
    QString nextPath(const QString &kind, const QString &title);

    QQueue<QMessageBox::StandardButton> m_answers;
    QQueue<QString> m_paths;
    bool m_openUrlResult = true;
};
