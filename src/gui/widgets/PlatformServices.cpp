// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>

namespace Platform {

namespace {
Services *g_services = nullptr;

// Filters come in the classic "Description|pattern" form; Qt wants "Description".
QString qtFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    return bar < 0 ? filter : filter.left(bar);
}
} // namespace

Services::~Services() = default;

Services &Services::instance()
{
    static DesktopServices desktop;
    return g_services ? *g_services : desktop;
}

void Services::setInstance(Services *services)
{
    g_services = services;
}

QString applicationTitle()
{
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

QMessageBox::StandardButton DesktopServices::message(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, applicationTitle(), text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

QString DesktopServices::saveFileName(QWidget *parent, const QString &title, const QString &filter,
                                      const QString &defaultSuffix, const QString &start)
{
    QFileDialog dialog(parent, title, start, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix.startsWith(u'.') ? defaultSuffix.mid(1) : defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DesktopServices::openFileName(QWidget *parent, const QString &title, const QString &filter,
                                      const QString &defaultSuffix, const QString &start)
{
    QFileDialog dialog(parent, title, start, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix.startsWith(u'.') ? defaultSuffix.mid(1) : defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DesktopServices::existingFolder(QWidget *parent, const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

bool DesktopServices::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

QMessageBox::StandardButton showMessage(QMessageBox::Icon icon, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton, QWidget *parent)
{
    return Services::instance().message(parent, icon, text, buttons, defaultButton);
}

QString errorTextWithFullStop(const QString &text)
{
    if (!text.isEmpty() && text.back() > u'.')
        return text + u'.';
    return text;
}

void showError(const QString &text, QWidget *parent)
{
    showMessage(QMessageBox::Critical, errorTextWithFullStop(text), QMessageBox::Ok, QMessageBox::NoButton, parent);
}

} // namespace Platform
