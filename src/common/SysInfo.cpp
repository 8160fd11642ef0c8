#include "common/SysInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <filesystem>
#include <pwd.h>
#include <sys/sysinfo.h>
#include <system_error>
#include <unistd.h>

namespace duvo {

namespace {

SysInfo *g_installed = nullptr;

QByteArray readSmall(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(1 << 20);
}

} // namespace

int CpuMHzFrom(const QString &sysRoot, const char *cpufreqFile)
{
    const QByteArray khz = readSmall(sysRoot + QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/")
                                     + QLatin1String(cpufreqFile)).trimmed();
    bool ok = false;
    const qint64 value = khz.toLongLong(&ok);
    if (ok && value > 0)
        return static_cast<int>(value / 1000);
    const QByteArray cpuinfo = readSmall(sysRoot + QStringLiteral("/proc/cpuinfo"));
    for (const QByteArray &line : cpuinfo.split('\n')) {
        if (!line.startsWith("cpu MHz"))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const double mhz = line.mid(colon + 1).trimmed().toDouble(&ok);
        if (ok && mhz > 0 && mhz < 1e7)
            return static_cast<int>(mhz + 0.5);
    }
    return 0;
}

int SysInfo::ProcessorCount()
{
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : QThread::idealThreadCount();
}

int SysInfo::RawMHz()
{
    return CpuMHzFrom(QString(), "cpuinfo_max_freq");
}

int SysInfo::MeasuredMHz()
{
    return CpuMHzFrom(QString(), "scaling_cur_freq");
}

qint64 SysInfo::TotalMemoryMB()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    const unsigned long long bytes = static_cast<unsigned long long>(info.totalram) * info.mem_unit;
    return static_cast<qint64>(bytes / 1024 / 1024);
}

QString SysInfo::OSName()
{
    return QSysInfo::prettyProductName();
}

QString SysInfo::OSLevel()
{
    return QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
}

QString SysInfo::ComputerName()
{
    return QSysInfo::machineHostName();
}

QString SysInfo::UserName()
{
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

IpWatchState SysInfo::IpState()
{
    return CurrentIpWatch();
}

qint64 SysInfo::FreeDiskMB(const QString &path)
{
    if (path.isEmpty())
        return -1;
    QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(path).isDir())
        folder = path;
    std::error_code ec;
    const std::filesystem::space_info info = std::filesystem::space(QFile::encodeName(folder).toStdString(), ec);
    if (ec || info.available == static_cast<std::uintmax_t>(-1))
        return -1;
    return static_cast<qint64>(info.available / 1024 / 1024);
}

SysInfo &SysInfo::instance()
{
    static SysInfo real;
    return g_installed ? *g_installed : real;
}

SysInfo *SysInfo::install(SysInfo *info)
{
    SysInfo *previous = g_installed;
    g_installed = info;
    return previous;
}

} // namespace duvo
