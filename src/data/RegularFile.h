#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file that the user may have pointed us at: the data file, a backup, a mapping file.
//
// Only regular files are read, and only up to maxSize bytes. A named pipe would block the program
// until something writes into it, and a device such as /dev/zero never ends; both are refused at
// once, as is a file larger than maxSize. Links are followed: what counts is the file they lead to.
//
// On failure, error holds a short reason without the path ("not a regular file", "larger than 256 MB"
// or the system's message), for the caller to put into its own sentence.
bool readRegularFile(const QString &path, qint64 maxSize, QByteArray &data, QString &error);
