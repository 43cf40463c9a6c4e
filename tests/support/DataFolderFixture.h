#pragma once

#include "app/VantoryConsts.h"
#include "data/XmlDataProvider.h"

#include <QTemporaryDir>

namespace TestSupport {

// A temporary data folder, and a provider pointed at its data file and mapping files.
struct DataFolderFixture
{
    QTemporaryDir dir;
    QString data() const { return dir.filePath(VantoryConsts::DataFileName); }
    QString readMapping() const { return dir.filePath(VantoryConsts::ReadMappingFileName); }
    QString writeMapping() const { return dir.filePath(VantoryConsts::WriteMappingFileName); }
    void point(XmlDataProvider &p) const
    {
        p.setFileName(data());
        p.setReadMappingFile(readMapping());
        p.setWriteMappingFile(writeMapping());
    }
};

} // namespace TestSupport
