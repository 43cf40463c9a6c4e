// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/accounts/DataSet.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

// The two readers of the data file. The provider reads through read(); the header is apart so that
// tests can run each reader on its own and compare them.

// The elements a data file uses: the document element, the row element and one per stored field.
struct XmlDataLayout
{
    QString documentElement;
    QString rowElement;
    std::vector<QString> fieldElements; // per stored field
    // The empty element beside the accounts whose attributes are kept as they are; none when empty.
    QString vaultElement;
};

// What reading a data file gave.
struct XmlDataRead
{
    QList<RowValues> rows;
    // What the file holds that the next write will not keep, one short sentence each.
    QStringList notes;
    QByteArray encoding;
    QString error;
    // The attributes of the vault element, when the file has one.
    bool hasVault = false;
    QMap<QString, QString> vault;
};

namespace XmlDataReader {

// A data file nests three deep; a file nested deeper than this is refused before it is read
// further, whatever it holds.
constexpr int MaxDepth = 64;

// UTF-8 or UTF-16, which the XML reader decodes itself.
bool isUnicodeName(const QByteArray &name);
// The encoding of an XML document: its byte-order mark, else the declaration, else UTF-8.
QByteArray detectEncoding(const QByteArray &data);

// The quick reader, for UTF-8 files in the layout this program writes. False when it leaves the
// file to the full reader, which it does with anything it does not expect; it never accepts what
// the full reader refuses, and gives the same rows and notes.
bool readQuick(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
               XmlDataRead &result);
// The full reader: any well-formed document in any encoding. False, with the error, for one that
// is not a data file.
bool readFull(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
              XmlDataRead &result);
// The quick reader where it can, else the full one.
bool read(const QByteArray &data, const std::vector<FieldDef> &fields, const XmlDataLayout &layout,
          XmlDataRead &result);

} // namespace XmlDataReader
