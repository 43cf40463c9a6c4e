// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

// Packs for tests, made in memory: the usual kinds through the pack library's writer, and ZIP files
// built byte by byte where a test needs what no writer makes on request (data descriptors, names in
// an old code page, truncation, sizes that lie).
namespace PackFixtures {

struct File
{
    QByteArray name; // as stored; a folder's ends with '/'
    QByteArray data;
};

enum class Kind { Zip, SevenZip, Tar, TarGz, TarBz2, TarXz };

// The files as a pack of the kind. options are the writer's ("zip:encryption=zipcrypt"), applied
// before the first file; with a passphrase the files are encrypted. Empty when the writer refuses,
// with its reason in error.
QByteArray write(Kind kind, const QList<File> &files, const char *options = nullptr,
                 const char *passphrase = nullptr, QByteArray *error = nullptr);

struct ZipFile
{
    QByteArray name;
    QByteArray data;
    bool deflate = false;
    bool descriptor = false; // sizes and CRC after the data, zeros in the local header
    bool utf8Name = true;    // the flag that says the name is UTF-8
    qint64 claimedSize = -1; // the uncompressed size the headers claim; -1: the true one
};

// A ZIP file written field by field.
QByteArray buildZip(const QList<ZipFile> &files);

// A tar file of plain files written field by field (ustar), names stored as given.
QByteArray buildTar(const QList<File> &files);

// Raw deflate (no zlib header), as ZIP stores it.
QByteArray deflateRaw(const QByteArray &data);
quint32 crc32(const QByteArray &data);

// Bytes that do not compress, from a seed.
QByteArray noise(qsizetype size, quint32 seed);

// A PDF written object by object, one page for each text. Locked, it asks for a password that no
// empty one matches.
QByteArray minimalPdf(const QList<QByteArray> &pages, bool locked = false);

// A DOCX document whose body is the given WordprocessingML.
QByteArray docx(const QByteArray &body);

} // namespace PackFixtures
