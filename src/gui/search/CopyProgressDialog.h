// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/search/FlatCopy.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress of a flat copy: the file being copied, files and bytes done, and Cancel. run() is
// the whole Save Selection copy in one call: the copy goes to a background worker
// (docs/background-work.md), and the dialog shows only when the copy takes longer than a moment;
// from then on the GUI keeps painting and answering in the dialog's own modal loop.
class CopyProgressDialog : public QDialog
{
    Q_OBJECT

public:
    // How long a copy may take before its progress shows.
    static constexpr int kShowAfterMs = 400;

    explicit CopyProgressDialog(FlatCopy &job, QWidget *parent = nullptr);

    // Runs the copy to its end and returns its result. Until the dialog shows (at most showAfterMs)
    // the calling thread waits for the copy without handling events: user input waits (it is
    // delivered afterwards), so nothing can be started a second time meanwhile. Once it shows, the
    // dialog is modal and closes itself when the copy has ended.
    static FlatCopy::Result run(FlatCopy &job, QWidget *parent = nullptr, int showAfterMs = kShowAfterMs);
    static FlatCopy::Result copyFiles(const QStringList &sources, const QString &destination,
                                      QWidget *parent = nullptr);
    // Files and entries inside packs alike.
    static FlatCopy::Result copySources(const QList<FlatCopy::Source> &sources, const QString &destination,
                                        QWidget *parent = nullptr);

    // Shows the job's current progress.
    void refresh();

public Q_SLOTS:
    // Cancel, Esc and the close button: the copy stops after the piece being written; the dialog
    // stays until the worker has cleaned up.
    void reject() override;

private:
    FlatCopy &m_job;
    QLabel *m_file;
    QLabel *m_counts;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
};
