#pragma once
// Letting the workstation and its two protocol ports through the host firewall.
// The seven functions keep the call order and result codes of the firewall API they were
// made for (negative = failure) and write one line per outcome to standard output. The
// firewall itself is a backend: this machine's reports no managed firewall; tests use a fake.

#include <QString>
#include <functional>
#include <string>

using HRESULT = long;
constexpr HRESULT FW_S_OK = 0;
constexpr HRESULT FW_E_OUTOFMEMORY = static_cast<HRESULT>(static_cast<int32_t>(0x8007000E));
constexpr int NET_FW_IP_PROTOCOL_TCP = 6;
constexpr int NET_FW_IP_PROTOCOL_UDP = 17;

class FirewallBackend {
public:
    virtual ~FirewallBackend() = default;
    virtual HRESULT OpenProfile() = 0;    // manager, local policy, current profile
    virtual void ReleaseProfile() = 0;
    virtual HRESULT FirewallEnabled(bool &on) = 0;
    // listed false: the application is not in the authorised list (no failure).
    virtual HRESULT FindApp(const QString &imagePath, bool &listed, bool &enabled) = 0;
    virtual HRESULT AddApp(const QString &imagePath, const QString &name) = 0;
    virtual HRESULT FindPort(int port, int protocol, bool &listed, bool &enabled) = 0;
    virtual HRESULT AddPort(int port, int protocol, const QString &name) = 0;
};

// This machine's backend: no firewall is managed here. It reports the firewall as off and
// adds nothing; it writes what would have to be opened to standard output.
class HostFirewall : public FirewallBackend {
public:
    HRESULT OpenProfile() override { return FW_S_OK; }
    void ReleaseProfile() override {}
    HRESULT FirewallEnabled(bool &on) override;
    HRESULT FindApp(const QString &, bool &listed, bool &enabled) override { listed = enabled = false; return FW_S_OK; }
    HRESULT AddApp(const QString &, const QString &) override { return FW_S_OK; }
    HRESULT FindPort(int, int, bool &listed, bool &enabled) override { listed = enabled = false; return FW_S_OK; }
    HRESULT AddPort(int, int, const QString &) override { return FW_S_OK; }
};

// The profile a caller holds between WindowsFirewallInitialize and ReleaseFirewallProfile.
struct FirewallProfile {
    FirewallBackend *backend = nullptr;
};

// Where the outcome lines go (standard output unless replaced, e.g. by a test).
void SetFirewallOutput(std::function<void(const std::string &)> sink);

HRESULT WindowsFirewallInitialize(FirewallBackend &backend, FirewallProfile &profile);
void ReleaseFirewallProfile(FirewallProfile &profile);
HRESULT WindowsFirewallIsOn(FirewallProfile &profile, bool &on);
HRESULT WindowsFirewallAppIsEnabled(FirewallProfile &profile, const QString &imagePath, bool &enabled);
HRESULT WindowsFirewallAddApp(FirewallProfile &profile, const QString &imagePath, const QString &name);
HRESULT WindowsFirewallPortIsEnabled(FirewallProfile &profile, int port, int protocol, bool &enabled);
HRESULT WindowsFirewallPortAdd(FirewallProfile &profile, int port, int protocol, const QString &name);

// Writes one outcome line to the firewall output.
void FirewallOut(const std::string &line);
// Formats "name failed: 0x%08lx\n".
std::string FirewallFailureLine(const char *name, HRESULT hr);
