#include "common/ProgramFolder.h"

#include <QCoreApplication>

namespace duvo {

namespace {
QString g_override;
}

QString withTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString ProgramFolder()
{
    if (!g_override.isEmpty())
        return withTrailingSeparator(g_override);
    const QString env = qEnvironmentVariable("DUVO_PROGRAM_FOLDER");
    if (!env.isEmpty())
        return withTrailingSeparator(env);
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

void setProgramFolderOverride(const QString &folder)
{
    g_override = folder;
}

} // namespace duvo
