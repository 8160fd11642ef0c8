#include "common/Shell.h"

#include <QFileInfo>
#include <QProcess>

namespace duvo {

namespace {
Shell *g_shell = nullptr;
}

Shell &Shell::instance()
{
    static ProcessShell fallback;
    return g_shell ? *g_shell : fallback;
}

Shell *Shell::install(Shell *shell)
{
    Shell *previous = g_shell;
    g_shell = shell;
    return previous;
}

bool ProcessShell::openDocument(const QString &target)
{
    if (!QFileInfo::exists(target))
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

bool ProcessShell::startProgram(const QString &program, const QStringList &arguments,
                                const QString &workingFolder)
{
    return QProcess::startDetached(program, arguments, workingFolder);
}

} // namespace duvo
