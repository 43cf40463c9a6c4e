// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Copies of the data file in the "Backups" folder beside it, so that whatever a run of the program
// changes in the file can be undone by hand. A run copies the file before it first rewrites it, or
// earlier when the user is told at load that the next save will not keep everything the file holds.
// Copies are named after the data file and the local time they were made ("main-2026-12-10-143547.xml").
//
// The folder's record (a hidden file in it) lists every copy the program made there: its name, size and
// modification time, and a number that grows with every copy, so copies are ordered by when they were
// made even when the clock was wrong for a while. The ten newest recorded copies are kept. Only a copy
// that is still what the record says (a regular file, not a link, of the name, size and time recorded)
// is ever removed: a file of the user's, a link, or a copy that was in the folder before the record
// (made by an older version) is never touched, nor is anything else in the folder, except what the
// writing of a copy left behind when it was cut off.
class DataFileBackups
{
public:
    static constexpr int KeptCopies = 10;
    // No real account list comes near this; a larger data file is not copied.
    static constexpr qint64 MaxFileSize = 256LL * 1024 * 1024;
    static QString folderName();

    // Shaped like a Status: an error text, empty when it went well, and ok().
    struct Result
    {
        QString copy;  // the copy that holds the file as it was; empty when none could be made
        QString error; // why no copy could be made

        bool ok() const { return error.isEmpty(); }
    };

    // The data file these are copies of; another file starts the run's record afresh.
    void setDataFile(const QString &path);
    QString dataFile() const { return m_dataFile; }
    QString folder() const;

    // Before each write of the data file: copies it when this run holds no copy yet and has not
    // written the file yet (after that the file as it was is gone anyway). Nothing to do gives an
    // empty result.
    Result beforeWrite();
    // The data file has been written.
    void written() { m_written = true; }

    // Copies the data file as it is now, unless this run's copy already holds exactly its bytes;
    // either way the result names the copy.
    Result copyNow();

    // Rewrites a file in the folder through write (which replaces it whole), keeping it recorded when
    // it was a recorded copy still as recorded: it stays one of the copies kept. False when write fails.
    bool rewrite(const QString &path, const std::function<bool()> &write);

    // The copies of the data file that the record holds and that are still as recorded, newest first.
    QStringList copies() const;

    // The hidden file in the folder that records the copies made.
    static QString recordName();

    // The local time that names the copies; tests set another clock.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    struct Recorded
    {
        qint64 serial = 0;
        QString name;
        qint64 size = 0;
        qint64 modifiedMs = 0;
    };
    std::vector<Recorded> readRecord() const;
    bool writeRecord(const std::vector<Recorded> &record) const;
    bool isCopyName(const QString &name) const;
    bool isStillOurs(const Recorded &entry) const;
    QString freeName(const QString &stem, const QString &suffix, const std::vector<Recorded> &record) const;
    void prune(std::vector<Recorded> &record) const;

    QString m_dataFile;
    QString m_copy;
    QByteArray m_copiedDigest;
    bool m_written = false;
    std::function<QDateTime()> m_clock;
};
