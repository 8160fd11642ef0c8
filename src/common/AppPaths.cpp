#include "common/AppPaths.h"

#include <QSettings>

namespace duvo {

namespace {
QSettings appSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmor"),
                     QStringLiteral("VelmorDuvoStudio"));
}
const QString kKey = QStringLiteral("AppPaths/Path");
} // namespace

std::optional<QString> ReadAppPath()
{
    QSettings s = appSettings();
    if (s.status() != QSettings::NoError || !s.contains(kKey))
        return std::nullopt;
    return s.value(kKey).toString();
}

void WriteAppPath(const QString &path)
{
    QSettings s = appSettings();
    s.setValue(kKey, path);
    s.sync();
}

void RemoveAppPath()
{
    QSettings s = appSettings();
    s.remove(kKey);
    s.sync();
}

} // namespace duvo
