#pragma once
// Letting the workstation and its two protocol ports through the host firewall.
// The seven functions keep the call order and result codes of the firewall API they were
// made for (negative = failure) and write one line per outcome to standard output. The
// firewall itself is a backend: this machine's is a read-only probe; tests use a fake.

#include <QString>
#include <QStringList>
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

// This machine's backend: a read-only probe of the host firewall that never changes it.
// The firewall counts as on when firewalld runs ("firewall-cmd --state"), ufw is enabled
// ("ENABLED=yes" in ufw.conf) or the nftables ruleset ("nft -j list ruleset") has an input
// chain that drops by policy or by its last rule. Linux filters ports, not programs, so the
// program always counts as listed and enabled. A port is open when the readable rules of the
// firewall in charge (firewalld, else ufw, else nftables) accept it; rules that cannot be read
// count as open, with a line saying so. AddPort changes nothing: it writes the command an
// administrator would run and answers "access denied" (0x80070005).
// Only those read-only commands run, found on the search path, each at most 2 s.
constexpr HRESULT FW_E_ACCESSDENIED = static_cast<HRESULT>(static_cast<int32_t>(0x80070005));

class HostFirewall : public FirewallBackend {
public:
    HostFirewall();
    // Where the tools are looked for (default: $PATH) and where ufw keeps its files.
    void setSearchPath(const QStringList &folders) { FSearchPath = folders; }
    void setUfwRoot(const QString &folder) { FUfwRoot = folder; }
    void setToolTimeoutMs(int ms) { FToolTimeoutMs = ms; }

    HRESULT OpenProfile() override;
    void ReleaseProfile() override {}
    HRESULT FirewallEnabled(bool &on) override;
    HRESULT FindApp(const QString &, bool &listed, bool &enabled) override { listed = enabled = true; return FW_S_OK; }
    HRESULT AddApp(const QString &, const QString &) override { return FW_S_OK; }
    HRESULT FindPort(int port, int protocol, bool &listed, bool &enabled) override;
    HRESULT AddPort(int port, int protocol, const QString &name) override;

    enum class Kind { None, Firewalld, Ufw, Nftables };
    Kind kind() const { return FKind; }

    // Whether an nftables ruleset (JSON of "nft -j list ruleset") drops in an input chain,
    // and whether it accepts a port; exposed for the tests.
    static bool NftDropsInput(const QByteArray &json);
    static bool NftAcceptsPort(const QByteArray &json, int port, int protocol);
    // Whether ufw's user.rules text accepts a port.
    static bool UfwAcceptsPort(const QByteArray &rules, int port, int protocol);
    // Whether firewalld's "--list-ports" text holds a port ("62751/tcp", "20000-20100/udp").
    static bool FirewalldListsPort(const QByteArray &ports, int port, int protocol);

private:
    struct ToolResult {
        bool ran = false;      // found, started and ended within the time-out
        int exitCode = -1;
        QByteArray output;
    };
    ToolResult runTool(const QString &tool, const QStringList &arguments) const;

    QStringList FSearchPath;
    QString FUfwRoot = QStringLiteral("/etc/ufw");
    int FToolTimeoutMs = 2000;
    Kind FKind = Kind::None;
    bool FRulesRead = false;     // the rules of the firewall in charge were read
    QByteArray FRules;           // nft JSON, ufw user.rules or firewalld's port list
    bool FPortsFetched = false;
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
