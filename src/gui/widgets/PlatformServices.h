// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

class QWidget;

// Everything that asks the user through a system dialog or hands something to the desktop goes
// through this one service, so tests can answer in advance and check what was asked.
namespace Platform {

class Services
{
public:
    virtual ~Services();

    // A modal message box captioned with the application title.
    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;
    // File pickers. An empty result means the user cancelled. The save dialog asks before an
    // existing file is overwritten. They start in the folder given, or at the file given (a save
    // dialog suggests its name); with none, wherever the system likes.
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &filter,
                                 const QString &defaultSuffix, const QString &start = QString()) = 0;
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &filter,
                                 const QString &defaultSuffix, const QString &start = QString()) = 0;
    // Folder picker; empty when cancelled.
    virtual QString existingFolder(QWidget *parent, const QString &title, const QString &startFolder) = 0;
    // Hands a URL (web or mailto:) to the desktop. False when nothing could open it.
    virtual bool openUrl(const QUrl &url) = 0;

    // The service in use; the desktop one unless a test installed its own.
    static Services &instance();
    // Installs a service (not owned); nullptr returns to the desktop one.
    static void setInstance(Services *services);
};

// The service that shows real dialogs.
class DesktopServices : public Services
{
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &filter, const QString &defaultSuffix,
                         const QString &start = QString()) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &filter, const QString &defaultSuffix,
                         const QString &start = QString()) override;
    QString existingFolder(QWidget *parent, const QString &title, const QString &startFolder) override;
    bool openUrl(const QUrl &url) override;
};

// The caption of every message box: the application's title.
QString applicationTitle();

// Shorthands over Services::instance().message().
QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                        QWidget *parent = nullptr);

// The default error handler: shows the text with the error icon, with a full stop added when the
// text does not already end in punctuation.
void showError(const QString &text, QWidget *parent = nullptr);
QString errorTextWithFullStop(const QString &text);

} // namespace Platform
