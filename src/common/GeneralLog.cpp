#include "common/GeneralLog.h"

#include <QFile>
#include <QMutexLocker>

namespace duvo {

GeneralLog::~GeneralLog()
{
    Dump();
}

void GeneralLog::setFileName(const QString &path)
{
    QMutexLocker lock(&FMutex);
    FFileName = path;
}

QString GeneralLog::fileName() const
{
    QMutexLocker lock(&FMutex);
    return FFileName;
}

void GeneralLog::setEnabled(bool on)
{
    QMutexLocker lock(&FMutex);
    FEnabled = on;
}

bool GeneralLog::enabled() const
{
    QMutexLocker lock(&FMutex);
    return FEnabled;
}

void GeneralLog::WriteLine(const QString &line)
{
    QMutexLocker lock(&FMutex);
    if (FEnabled)
        FPending << line;
}

bool GeneralLog::Dump()
{
    QMutexLocker lock(&FMutex);
    if (FPending.isEmpty() || FFileName.isEmpty())
        return true;
    QFile f(FFileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    for (const QString &l : std::as_const(FPending)) {
        f.write(l.toUtf8());
        f.write("\n");
    }
    FPending.clear();
    return f.flush();
}

} // namespace duvo
