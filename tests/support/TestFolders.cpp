#include "TestFolders.h"

#include "common/ProgramFolder.h"

#include <QFile>

namespace duvo::test {

TempProgramFolder::TempProgramFolder()
{
    setProgramFolderOverride(FDir.path());
}

TempProgramFolder::~TempProgramFolder()
{
    setProgramFolderOverride(QString());
}

QString TempProgramFolder::path() const
{
    return withTrailingSeparator(FDir.path());
}

QString TempProgramFolder::file(const QString &name) const
{
    return path() + name;
}

QString TempProgramFolder::readFile(const QString &name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace duvo::test
