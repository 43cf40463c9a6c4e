// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/accounts/AccountSchema.h"
#include "core/datafile/XmlDataProvider.h"

#include <QTemporaryDir>

namespace TestSupport {

// A temporary data folder, and a provider pointed at its data file and mapping files.
struct DataFolderFixture
{
    QTemporaryDir dir;
    QString data() const { return dir.filePath(AccountSchema::DataFileName); }
    QString readMapping() const { return dir.filePath(AccountSchema::ReadMappingFileName); }
    QString writeMapping() const { return dir.filePath(AccountSchema::WriteMappingFileName); }
    void point(XmlDataProvider &p) const
    {
        p.setFileName(data());
        p.setReadMappingFile(readMapping());
        p.setWriteMappingFile(writeMapping());
    }
};

} // namespace TestSupport
