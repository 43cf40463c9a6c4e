// SPDX-License-Identifier: GPL-3.0-or-later
#include "CopyProgressDialog.h"

#include "core/platform/BackgroundWorker.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <stop_token>

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
        m_file->setText(tr("Copying \"%1\"").arg(m_job.sourceName(p.current)));
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
    Platform::BackgroundWorker worker;
    worker.start([&job](std::stop_token stop) {
        // A stop request (the program quitting under the dialog) cancels the copy as Cancel does.
        const std::stop_callback cancelOnStop(stop, [&job] { job.cancel(); });
        job.run();
    });
    // A short copy ends before anyone would notice the dialog: it never shows. Input made meanwhile
    // waits in the window system's queue and is handled afterwards, so nothing can be started a
    // second time.
    if (!worker.waitForEnd(showAfterMs)) {
        CopyProgressDialog dialog(job, parent);
        // The dialog's own loop is the only one: the worker's end closes it.
        connect(&worker, &Platform::BackgroundWorker::finished, &dialog, &QDialog::accept);
        QTimer poll;
        poll.setInterval(kRefreshMs);
        connect(&poll, &QTimer::timeout, &dialog, &CopyProgressDialog::refresh);
        poll.start();
        dialog.exec();
    }
    // Ended already, unless the dialog's loop was ended from outside: then the copy is cancelled
    // and awaited here. What the worker wrote, the result above all, is ordered before this
    // thread's reads by the end of its thread.
    worker.stop();
    return job.result();
}

FlatCopy::Result CopyProgressDialog::copyFiles(const QStringList &sources, const QString &destination, QWidget *parent)
{
    FlatCopy job(sources, destination);
    return run(job, parent);
}

FlatCopy::Result CopyProgressDialog::copySources(const QList<FlatCopy::Source> &sources, const QString &destination,
                                                 QWidget *parent)
{
    FlatCopy job(sources, destination);
    return run(job, parent);
}
