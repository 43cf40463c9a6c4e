// SPDX-License-Identifier: GPL-3.0-or-later
#include "CopyProgressDialog.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr int kBarSteps = 1000;
constexpr int kRefreshMs = 100;

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

CopyProgressDialog::CopyProgressDialog(FlatCopy &job, QWidget *parent)
    : QDialog(parent), m_job(job), m_file(new QLabel(this)), m_counts(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_cancel(nullptr)
{
    setWindowTitle(tr("Copying Files"));
    setWindowModality(Qt::ApplicationModal);
    m_file->setObjectName(QStringLiteral("lblCopyFile"));
    m_file->setTextFormat(Qt::PlainText);
    m_file->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    m_counts->setObjectName(QStringLiteral("lblCopyCounts"));
    m_counts->setTextFormat(Qt::PlainText);
    m_bar->setObjectName(QStringLiteral("pbCopy"));
    m_bar->setRange(0, kBarSteps);
    m_bar->setTextVisible(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &CopyProgressDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addWidget(m_bar);
    layout->addWidget(m_counts);
    layout->addWidget(buttons);
    refresh();
}

void CopyProgressDialog::refresh()
{
    const FlatCopy::Progress p = m_job.progress();
    if (m_job.isCancelRequested())
        m_file->setText(tr("Cancelling..."));
    else if (p.current >= 0 && p.current < m_job.sources().size())
        m_file->setText(tr("Copying \"%1\"").arg(QFileInfo(m_job.sources().at(p.current)).fileName()));
    else
        m_file->setText(tr("Copying"));
    m_counts->setText(tr("%1 of %2 files, %3 of %4")
                          .arg(p.filesDone)
                          .arg(p.filesTotal)
                          .arg(sizeText(std::min(p.bytesDone, p.bytesTotal)), sizeText(p.bytesTotal)));
    // Bytes tell the progress best; a copy of empty files has only the file count.
    double fraction = 0;
    if (p.bytesTotal > 0)
        fraction = double(p.bytesDone) / double(p.bytesTotal);
    else if (p.filesTotal > 0)
        fraction = double(p.filesDone) / double(p.filesTotal);
    m_bar->setValue(int(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
}

void CopyProgressDialog::reject()
{
    m_job.cancel();
    m_cancel->setEnabled(false);
    refresh();
}

FlatCopy::Result CopyProgressDialog::run(FlatCopy &job, QWidget *parent, int showAfterMs)
{
    CopyProgressDialog dialog(job, parent);
    QEventLoop loop;
    bool done = false;
    // Set by the worker as its last step: what it wrote (the result above all) is then ordered
    // before what this thread reads after the wait by our own atomic, which a race checker sees,
    // not only by the thread library's wait, which it may not.
    std::atomic<bool> ended{false};
    std::unique_ptr<QThread> worker(QThread::create([&job, &ended] {
        job.run();
        ended.store(true, std::memory_order_release);
    }));
    // Queued to this thread: done is set here, by the loop that then quits, never by the worker.
    connect(worker.get(), &QThread::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer poll;
    poll.setInterval(kRefreshMs);
    connect(&poll, &QTimer::timeout, &dialog, &CopyProgressDialog::refresh);
    QTimer moment;
    moment.setSingleShot(true);
    connect(&moment, &QTimer::timeout, &loop, &QEventLoop::quit);

    worker->start();
    poll.start();
    moment.start(std::max(0, showAfterMs));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    moment.stop();
    if (!done) {
        dialog.refresh();
        dialog.show();
        loop.exec();
    }
    worker->wait();
    while (!ended.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
    return job.result();
}

FlatCopy::Result CopyProgressDialog::copyFiles(const QStringList &sources, const QString &destination, QWidget *parent)
{
    FlatCopy job(sources, destination);
    return run(job, parent);
}
