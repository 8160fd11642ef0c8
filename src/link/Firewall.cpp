#include "link/Firewall.h"

#include <cstdio>

namespace {

std::function<void(const std::string &)> &sink()
{
    static std::function<void(const std::string &)> s = [](const std::string &line) {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    };
    return s;
}

void out(const std::string &line)
{
    sink()(line);
}

template <typename... Args>
std::string format(const char *fmt, Args... args)
{
    char buf[2600];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

bool failed(HRESULT hr)
{
    return hr < 0;
}

} // namespace

void FirewallOut(const std::string &line)
{
    out(line);
}

void SetFirewallOutput(std::function<void(const std::string &)> s)
{
    sink() = s ? std::move(s) : [](const std::string &line) { std::fputs(line.c_str(), stdout); };
}

std::string FirewallFailureLine(const char *name, HRESULT hr)
{
    return format("%s failed: 0x%08lx\n", name, static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
}

HRESULT HostFirewall::FirewallEnabled(bool &on)
{
    on = false;
    out("No host firewall is managed by this workstation; if one runs, let the program, "
        "UDP port 20034 and TCP port 62751 through it.\n");
    return FW_S_OK;
}

HRESULT WindowsFirewallInitialize(FirewallBackend &backend, FirewallProfile &profile)
{
    profile.backend = nullptr;
    const HRESULT hr = backend.OpenProfile();
    if (failed(hr)) {
        out(FirewallFailureLine("get_CurrentProfile", hr));
        return hr;
    }
    profile.backend = &backend;
    return hr;
}

void ReleaseFirewallProfile(FirewallProfile &profile)
{
    if (profile.backend) {
        profile.backend->ReleaseProfile();
        profile.backend = nullptr;
    }
}

HRESULT WindowsFirewallIsOn(FirewallProfile &profile, bool &on)
{
    on = false;
    if (!profile.backend)
        return FW_E_OUTOFMEMORY;
    bool enabled = false;
    const HRESULT hr = profile.backend->FirewallEnabled(enabled);
    if (failed(hr)) {
        out(FirewallFailureLine("get_FirewallEnabled", hr));
        return hr;
    }
    on = enabled;
    if (on)
        out("The firewall is on.\n");
    return hr;
}

HRESULT WindowsFirewallAppIsEnabled(FirewallProfile &profile, const QString &imagePath, bool &enabled)
{
    enabled = false;
    if (!profile.backend)
        return FW_E_OUTOFMEMORY;
    bool listed = false, on = false;
    const HRESULT hr = profile.backend->FindApp(imagePath, listed, on);
    if (failed(hr)) {
        out(FirewallFailureLine("get_AuthorizedApplications", hr));
        return hr;
    }
    enabled = listed && on;
    const std::string path = imagePath.toStdString();
    if (enabled)
        out(format("Authorized application %s is enabled in the firewall.\n", path.c_str()));
    else
        out(format("Authorized application %s is disabled in the firewall.\n", path.c_str()));
    return FW_S_OK;
}

HRESULT WindowsFirewallAddApp(FirewallProfile &profile, const QString &imagePath, const QString &name)
{
    bool enabled = false;
    HRESULT hr = WindowsFirewallAppIsEnabled(profile, imagePath, enabled);
    if (failed(hr)) {
        out(FirewallFailureLine("WindowsFirewallAppIsEnabled", hr));
        return hr;
    }
    if (enabled)
        return hr;
    if (imagePath.isEmpty() || name.isEmpty()) {
        out(FirewallFailureLine("SysAllocString", FW_E_OUTOFMEMORY));
        return FW_E_OUTOFMEMORY;
    }
    hr = profile.backend->AddApp(imagePath, name);
    if (failed(hr)) {
        out(FirewallFailureLine("Add", hr));
        return hr;
    }
    out(format("Authorized application %s is now enabled in the firewall.\n", imagePath.toStdString().c_str()));
    return hr;
}

HRESULT WindowsFirewallPortIsEnabled(FirewallProfile &profile, int port, int protocol, bool &enabled)
{
    enabled = false;
    if (!profile.backend)
        return FW_E_OUTOFMEMORY;
    bool listed = false, on = false;
    const HRESULT hr = profile.backend->FindPort(port, protocol, listed, on);
    if (failed(hr)) {
        out(FirewallFailureLine("get_GloballyOpenPorts", hr));
        return hr;
    }
    enabled = listed && on;
    if (enabled)
        out(format("Port %ld is open in the firewall.\n", static_cast<long>(port)));
    else
        out(format("Port %ld is not open in the firewall.\n", static_cast<long>(port)));
    return FW_S_OK;
}

HRESULT WindowsFirewallPortAdd(FirewallProfile &profile, int port, int protocol, const QString &name)
{
    bool enabled = false;
    HRESULT hr = WindowsFirewallPortIsEnabled(profile, port, protocol, enabled);
    if (failed(hr)) {
        out(FirewallFailureLine("WindowsFirewallPortIsEnabled", hr));
        return hr;
    }
    if (enabled)
        return hr;
    if (name.isEmpty()) {
        out(FirewallFailureLine("SysAllocString", FW_E_OUTOFMEMORY));
        return FW_E_OUTOFMEMORY;
    }
    hr = profile.backend->AddPort(port, protocol, name);
    if (failed(hr)) {
        out(FirewallFailureLine("Add", hr));
        return hr;
    }
    out(format("Port %ld is now open in the firewall.\n", static_cast<long>(port)));
    return hr;
}
