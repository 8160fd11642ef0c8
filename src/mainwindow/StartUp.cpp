#include "mainwindow/StartUp.h"

#include <QLocale>
#include <algorithm>
#include <filesystem>
#include <system_error>

QString DatabasePathFor(const std::optional<QString> &appPath, const QString &programFolder)
{
    const QString file = QStringLiteral("VadeZir.sqb");
    if (!appPath || appPath->isEmpty())
        return programFolder + file;
    QString folder = *appPath;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + file;
}

HRESULT SetupFirewall(FirewallBackend &backend, const QString &programPath, duvo::TaskDialog &taskDialog)
{
    FirewallProfile profile;
    HRESULT hr = WindowsFirewallInitialize(backend, profile);
    if (hr < 0) {
        FirewallOut(FirewallFailureLine("WindowsFirewallInitialize", hr));
    } else {
        bool on = false;
        hr = WindowsFirewallIsOn(profile, on);
        if (hr < 0) {
            FirewallOut(FirewallFailureLine("WindowsFirewallIsOn", hr));
        } else if (on) {
            hr = WindowsFirewallAddApp(profile, programPath.left(2048), QStringLiteral("Velmor Duvo Studio"));
            if (hr < 0) {
                FirewallOut(FirewallFailureLine("WindowsFirewallAddApp", hr));
            } else {
                hr = WindowsFirewallPortAdd(profile, 20034, NET_FW_IP_PROTOCOL_UDP, QStringLiteral("NB"));
                if (hr >= 0)
                    hr = WindowsFirewallPortAdd(profile, 62751, NET_FW_IP_PROTOCOL_TCP, QStringLiteral("SVDUVO"));
                if (hr < 0)
                    FirewallOut(FirewallFailureLine("WindowsFirewallPortAdd", hr));
            }
        }
    }
    ReleaseFirewallProfile(profile);
    if (hr < 0) {
        taskDialog.Show(duvo::Ok, duvo::PromptIcon::Warning, QStringLiteral("Admin Rights"), QStringLiteral("Local Admin rights required!"),
                        QStringLiteral("Duvo Studio requires that the User has local Admin rights."));
    }
    return hr;
}

int FreeDiskMB(const QString &path)
{
    if (path.isEmpty())
        return -1;
    std::error_code ec;
    const std::filesystem::space_info info = std::filesystem::space(path.toStdString(), ec);
    if (ec)
        return -1;
    const uintmax_t mb = info.available / 1024 / 1024;
    return static_cast<int>(std::min<uintmax_t>(mb, static_cast<uintmax_t>(INT32_MAX)));
}

int RefreshIntervalMs(int refreshSeconds)
{
    return std::max(1, refreshSeconds) * 1000;
}

QString StatusBarDateTime(const QDateTime &when, int blanks)
{
    const QLocale locale;
    return locale.toString(when.date(), QLocale::LongFormat) + QString(blanks, QLatin1Char(' '))
           + when.time().toString(QStringLiteral("hh:mm:ss"));
}

bool ExitLosesAlertsOrSessions(const DeviceList &devices)
{
    for (const auto &d : devices) {
        if ((d->alertArmed == 1 && d->alertSent == 0) || !d->sessionId.empty())
            return true;
    }
    return false;
}

int StartupWaitMs()
{
    bool ok = false;
    const int env = qEnvironmentVariableIntValue("DUVO_STARTUP_WAIT_MS", &ok);
    return ok && env >= 0 ? env : 5000;
}
