#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Copies of the data file in the "Backups" folder beside it, so that whatever a run of the program
// changes in the file can be undone by hand. A run copies the file before it first rewrites it, or
// earlier when the user is told at load that the next save will not keep everything the file holds.
// Copies are named after the data file and the local time they were made ("main-2026-12-10-143547.xml");
// the newest ten are kept. Other files in the folder are never touched, except what the writing of a
// copy left behind when it was cut off.
class DataFileBackups
{
public:
    static constexpr int KeptCopies = 10;
    static QString folderName();

    struct Result
    {
        QString copy;  // the copy that holds the file as it was; empty when none could be made
        QString error; // why no copy could be made
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

    // The copies in the folder, newest first.
    QStringList copies() const;

private:
    void prune() const;

    QString m_dataFile;
    QString m_copy;
    QByteArray m_copiedDigest;
    bool m_written = false;
};
