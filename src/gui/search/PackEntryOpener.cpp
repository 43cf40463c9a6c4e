// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackEntryOpener.h"

#include "core/packs/PackEntryData.h"
#include "core/platform/BackgroundWorker.h"
#include "gui/widgets/PlatformServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <stop_token>

// What the worker leaves for the GUI thread; read after its finished(), which its thread's end orders.
struct PackEntryOpener::Outcome
{
    Status status;
};

PackEntryOpener::PackEntryOpener(QWidget *parent)
    : QObject(parent), m_parent(parent), m_worker(new Platform::BackgroundWorker(this))
{
    connect(m_worker, &Platform::BackgroundWorker::finished, this, &PackEntryOpener::finishJob);
}

PackEntryOpener::~PackEntryOpener()
{
    // The worker writes into the private folder: it ends before the folder goes.
    m_worker->stop();
    m_dir.reset();
}

QString PackEntryOpener::folder() const
{
    return m_dir ? m_dir->path() : QString();
}

bool PackEntryOpener::isBusy() const
{
    return !m_jobs.empty();
}

void PackEntryOpener::open(const QString &packPath, const QStringList &inner, const QString &text)
{
    m_jobs.push_back({packPath, inner, text, QString()});
    if (m_jobs.size() == 1)
        startNext();
}

void PackEntryOpener::startNext()
{
    while (!m_jobs.empty()) {
        Job &job = m_jobs.front();
        QString failure;
        if (!m_dir) {
            // A unique name, made for the user alone.
            m_dir = std::make_unique<QTemporaryDir>(QDir(QDir::tempPath()).filePath(QStringLiteral("vantory-XXXXXX")));
            if (!m_dir->isValid()) {
                failure = m_dir->errorString();
                m_dir.reset();
            }
        }
        const QString name = PackEntryData::entryName(job.inner);
        if (failure.isEmpty()) {
            // A folder per entry, so that two entries of one name never meet.
            const QString folder = QDir(m_dir->path()).filePath(QString::number(++m_taken));
            if (!QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
                failure = tr("The folder %1 could not be made.").arg(QDir::toNativeSeparators(folder));
            job.target = QDir(folder).filePath(name);
        }
        if (failure.isEmpty()) {
            auto outcome = std::make_shared<Outcome>();
            m_outcome = outcome;
            m_worker->start([outcome, job](std::stop_token stop) {
                std::atomic<bool> stopFlag{false};
                const std::stop_callback raise(stop, [&stopFlag] { stopFlag.store(true); });
                outcome->status = PackEntryData::extract(job.packPath, job.inner, job.target, &stopFlag);
            });
            return;
        }
        Platform::showMessage(QMessageBox::Warning, tr("\"%1\" could not be opened.\n%2").arg(job.text, failure),
                              QMessageBox::Ok, QMessageBox::NoButton, m_parent);
        m_jobs.pop_front();
        Q_EMIT done();
    }
}

void PackEntryOpener::finishJob()
{
    if (m_jobs.empty())
        return;
    const Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    const Status status = std::exchange(m_outcome, {})->status;
    if (!status) {
        Platform::showMessage(QMessageBox::Warning, tr("\"%1\" could not be opened.\n%2").arg(job.text, status.error),
                              QMessageBox::Ok, QMessageBox::NoButton, m_parent);
    } else if (!Platform::Services::instance().openUrl(QUrl::fromLocalFile(job.target))) {
        Platform::showMessage(QMessageBox::Warning,
                              tr("No program could open \"%1\".").arg(QDir::toNativeSeparators(job.target)),
                              QMessageBox::Ok, QMessageBox::NoButton, m_parent);
    }
    Q_EMIT done();
    startNext();
}
