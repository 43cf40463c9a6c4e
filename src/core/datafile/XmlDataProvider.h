// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BackupRestore.h"
#include "DataFileBackups.h"
#include "core/accounts/DataSet.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QFileDevice;
struct XmlDataLayout;
struct XmlDataRead;

// Reads the accounts from the XML data file and rewrites it in full after every change.
//
// The data file holds one element per row under the document element; each stored field is a child
// element named after it. Numbers and dates are written in a locale-independent form; a field without
// a value has no element. Two small mapping files beside the data file name the document and row
// elements and the element of every field, one for reading and one for writing; both carry a version.
//
// The file keeps the character encoding it was read in (UTF-8 for a new one). It is replaced
// atomically: a write that fails part-way leaves the old file whole. Before its first write the
// provider keeps a copy of the file as it was (see DataFileBackups). The files it creates are the
// user's alone.
class XmlDataProvider : public DataProvider
{
public:
    static constexpr int MappingVersion = 1;
    // No real account list comes near this; anything larger is refused with a clear error instead of
    // being read until memory runs out. Backup and Restore copy within the same bound.
    static constexpr qint64 MaxFileSize = DataFileBackups::MaxFileSize;

    // The stored fields, in the table's order.
    explicit XmlDataProvider(std::vector<FieldDef> fields);

    void setFileName(const QString &path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }
    void setReadMappingFile(const QString &path) { m_readMapping = path; }
    QString readMappingFile() const { return m_readMapping; }
    void setWriteMappingFile(const QString &path) { m_writeMapping = path; }
    QString writeMappingFile() const { return m_writeMapping; }

    // A missing data file loads as an empty table; it and any missing mapping file are created at the
    // first write.
    Status load(QList<RowValues> &rows) override;
    // Rewrites the data file from the rows; the changes are not needed to write a whole file.
    Status applyChanges(const QList<PendingChange> &changes, const QList<RowValues> &rows) override;

    // Parses a data file without touching the provider's state (used to check a file before it
    // replaces the data file).
    Status parseFile(const QString &path, QList<RowValues> &rows) const;

    // Replaces the data file with the file at path (Restore). The file is read once, checked as a data
    // file and its very bytes are written, so what was checked is what arrives; the data file as it
    // was is copied into the Backups folder first (a copy that cannot be made is told through
    // takeWriteWarning(), it does not stop the restore). NotDataFile or Failed, with the reason, when
    // the file is no data file or the data file cannot be written; either way it is as it was. When
    // given, proceed is asked with the number of accounts of the checked file before anything is
    // written; when it says no, the outcome is Declined and nothing has changed.
    BackupRestore::Outcome restoreFrom(const QString &path, const std::function<bool(qsizetype accounts)> &proceed = {});

    // The encoding the next write uses (the one the data file was read in).
    QByteArray encoding() const { return m_encoding; }

    // The attributes of the vault element the data file holds (empty when it has none), as the last
    // load found them; every write writes them again. Set before a write to change them.
    const QMap<QString, QString> &vaultHeader() const { return m_vault; }
    void setVaultHeader(const QMap<QString, QString> &vault) { m_vault = vault; }

    // Reads any data file as load() reads the data file, without touching the provider's state.
    Status readFile(const QString &path, XmlDataRead &read) const;
    // Writes rows and a vault element to a file other than the data file (a copy in the Backups
    // folder), atomically, in the encoding given (UTF-8 when it cannot carry them).
    Status writeFile(const QString &path, const QList<RowValues> &rows, const QMap<QString, QString> &vault,
                     const QByteArray &encoding) const;

    // What the last successful load found in the file that the next write will not keep (unknown
    // elements, a field given twice, a text longer than its field, attributes, comments, an
    // encoding it cannot write), one short sentence each for the user, at most MaxLoadNotes and then
    // one saying how many more; empty when the next write keeps everything. Cleared by every load.
    const QStringList &loadNotes() const { return m_loadNotes; }
    static constexpr int MaxLoadNotes = 10;

    // The text of a mapping file as this program writes it.
    QByteArray defaultMapping(bool forReading) const;

    // The copies of the data file in the Backups folder beside it, made by this provider.
    DataFileBackups &backups();
    // What the last successful write could not do on its way (keep a copy of the file as it was
    // before); empty when nothing. Reading it clears it.
    QString takeWriteWarning();

protected:
    // Lets a provider that learns more about a file than load() does say what the next write drops.
    void setLoadNotes(const QStringList &notes) { m_loadNotes = notes; }

    // Writes the new contents into the save file; the file replaces the data file only when this
    // succeeds and the commit does.
    virtual bool writeContents(QFileDevice &file, const QByteArray &data);

private:
    using Mapping = XmlDataLayout;

    Status readCheckedFile(const QString &path, QByteArray &data, QList<RowValues> &rows) const;
    Status readMapping(const QString &path, Mapping &mapping) const;
    QString documentText(const QList<RowValues> &rows, const Mapping &mapping, const QByteArray &encoding,
                         const QMap<QString, QString> &vault) const;
    // The document in the encoding, or in UTF-8 when that encoding could not carry it; written is
    // the encoding used.
    QByteArray serialize(const QList<RowValues> &rows, const Mapping &mapping, const QByteArray &encoding,
                         QByteArray *written = nullptr, const QMap<QString, QString> &vault = {}) const;
    Mapping builtinMapping() const;
    Status ensureMappingFile(const QString &path, bool forReading) const;

    std::vector<FieldDef> m_fields;
    QString m_fileName;
    QString m_readMapping;
    QString m_writeMapping;
    QByteArray m_encoding = "UTF-8";
    QMap<QString, QString> m_vault;
    QStringList m_loadNotes;
    DataFileBackups m_backups;
    QString m_writeWarning;
};

// The load error text: "XML Parse Error:" with the reason and, when known, the line and position.
QString xmlParseErrorText(const QString &reason, qint64 line, qint64 position);
