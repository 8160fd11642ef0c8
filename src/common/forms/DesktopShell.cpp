#include "common/forms/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace duvo {

bool DesktopShell::openDocument(const QString &target)
{
    const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace duvo
