// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as main.xml. Whatever the file holds, the readers never crash, and:
// - the quick reader never accepts what the full reader refuses, and where it accepts, both give the
//   same accounts, notes and encoding;
// - a file the provider loads is saved, and the saved file loads again with the same accounts (the
//   accounts of a file that loads are never lost at the next save);
// - the file a save writes in UTF-8 is one the quick reader takes.
#include "core/accounts/AccountTable.h"
#include "core/datafile/XmlDataProvider.h"
#include "core/datafile/XmlDataReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const std::vector<FieldDef> kFields = AccountTable::storedFieldDefs();

XmlDataLayout builtinLayout()
{
    XmlDataLayout layout{QStringLiteral("Accounts"), QStringLiteral("Account"), {}, QStringLiteral("Vault")};
    for (const FieldDef &f : kFields)
        layout.fieldElements.push_back(f.name);
    return layout;
}

QByteArray describe(const QList<RowValues> &rows)
{
    QByteArray out;
    for (const RowValues &row : rows) {
        out += "account:";
        for (const QVariant &v : row) {
            out += ' ';
            out += v.isValid() ? QByteArray(v.typeName()) : QByteArray("invalid");
            out += v.isNull() ? "(null)" : "";
            out += '=' + v.toString().toUtf8();
        }
        out += '\n';
    }
    return out;
}

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    fprintf(stderr, "data_file: %s\n%s\n", what, detail.constData());
    fflush(stderr);
    abort();
}

struct Scratch
{
    QTemporaryDir dir;
    QString dataFile;
    std::unique_ptr<XmlDataProvider> saver;

    Scratch()
    {
        if (!dir.isValid())
            fail("no scratch folder");
        dataFile = dir.filePath(QStringLiteral("main.xml"));
        saver = makeProvider();
    }
    std::unique_ptr<XmlDataProvider> makeProvider() const
    {
        auto p = std::make_unique<XmlDataProvider>(kFields);
        p->setFileName(dataFile);
        p->setReadMappingFile(dir.filePath(QStringLiteral("main_ToDp.xtr")));
        p->setWriteMappingFile(dir.filePath(QStringLiteral("main_ToXml.xtr")));
        return p;
    }
};

Scratch &scratch()
{
    static int argc = 1;
    static char name[] = "fuzz_data_file";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // One provider saves every input: it keeps its one copy of the file as it was (the first input)
    // and then only writes.
    static Scratch s;
    return s;
}

void checkReadersAgree(const QByteArray &data, const XmlDataLayout &layout)
{
    XmlDataRead quick, full;
    const bool quickAccepts = XmlDataReader::readQuick(data, kFields, layout, quick);
    const bool fullAccepts = XmlDataReader::readFull(data, kFields, layout, full);
    if (!quickAccepts)
        return;
    if (!fullAccepts)
        fail("the quick reader accepts what the full reader refuses", full.error.toUtf8());
    if (quick.rows != full.rows)
        fail("the readers give different accounts",
             "quick:\n" + describe(quick.rows) + "full:\n" + describe(full.rows));
    if (quick.notes != full.notes)
        fail("the readers give different notes",
             "quick:\n" + quick.notes.join(u'\n').toUtf8() + "\nfull:\n" + full.notes.join(u'\n').toUtf8());
    if (quick.encoding != full.encoding)
        fail("the readers give different encodings", quick.encoding + " / " + full.encoding);
    if (quick.hasVault != full.hasVault || quick.vault != full.vault)
        fail("the readers give different vault elements");
}

void checkSaveAndLoadAgain(const QByteArray &data, const XmlDataLayout &layout)
{
    XmlDataRead read;
    if (!XmlDataReader::read(data, kFields, layout, read))
        return;
    Scratch &s = scratch();
    QFile file(s.dataFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        fail("cannot write the scratch data file");
    file.close();

    QList<RowValues> loaded;
    if (const Status accepted = s.saver->load(loaded); !accepted)
        fail("the provider refuses a file the reader accepts", accepted.error.toUtf8());
    if (loaded != read.rows)
        fail("the provider loads other accounts than the reader gives",
             "provider:\n" + describe(loaded) + "reader:\n" + describe(read.rows));
    if (const Status saved = s.saver->applyChanges({}, loaded); !saved)
        fail("the accounts of a file that loads cannot be saved", saved.error.toUtf8());

    QList<RowValues> again;
    const auto reader = s.makeProvider();
    if (const Status reloaded = reader->load(again); !reloaded) {
        QFile saved(s.dataFile);
        saved.open(QIODevice::ReadOnly);
        fail("the saved file does not load", reloaded.error.toUtf8() + "\nsaved:\n" + saved.readAll());
    }
    if (again != loaded)
        fail("the saved file loads other accounts", "before:\n" + describe(loaded) + "after:\n" + describe(again));

    if (s.saver->encoding() == "UTF-8") {
        QFile saved(s.dataFile);
        if (!saved.open(QIODevice::ReadOnly))
            fail("cannot read the saved file");
        const QByteArray bytes = saved.readAll();
        XmlDataRead quick;
        if (!XmlDataReader::readQuick(bytes, kFields, layout, quick))
            fail("the quick reader leaves a file this program wrote to the full reader", bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    scratch();
    static const XmlDataLayout layout = builtinLayout();
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    checkReadersAgree(text, layout);
    checkSaveAndLoadAgain(text, layout);
    return 0;
}
