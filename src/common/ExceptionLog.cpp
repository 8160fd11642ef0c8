#include "common/ExceptionLog.h"

#include <QDateTime>
#include <QFile>
#include <QMutexLocker>

namespace duvo {

void ExceptionLog::setFileName(const QString &path)
{
    QMutexLocker lock(&FMutex);
    FFileName = path;
}

QString ExceptionLog::fileName() const
{
    QMutexLocker lock(&FMutex);
    return FFileName;
}

void ExceptionLog::setActive(bool on)
{
    QMutexLocker lock(&FMutex);
    FActive = on;
}

bool ExceptionLog::active() const
{
    QMutexLocker lock(&FMutex);
    return FActive;
}

void ExceptionLog::LogException(const QString &where, const QString &what)
{
    QMutexLocker lock(&FMutex);
    if (!FActive || FFileName.isEmpty())
        return;
    QFile f(FFileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    f.write(QStringLiteral("%1 Exception in %2: %3\n").arg(stamp, where, what).toUtf8());
}

} // namespace duvo
