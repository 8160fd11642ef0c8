#include "link/Firewall.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
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

// ---------------------------------------------------------------------------------------
// The host's firewall, read only

namespace {

const char *protocolName(int protocol)
{
    return protocol == NET_FW_IP_PROTOCOL_UDP ? "udp" : "tcp";
}

// One nftables ruleset, its chains and named sets by "family table name".
struct NftRuleset {
    struct Chain {
        QString hook;
        QString policy;
        QList<QJsonArray> rules;  // each rule's expressions, in order
    };
    QHash<QString, Chain> chains;
    QHash<QString, QJsonArray> sets;
    QStringList inputChains;  // base chains on the input hook

    static QString key(const QJsonObject &o, const QString &nameField = QStringLiteral("name"))
    {
        return o.value(QLatin1String("family")).toString() + QLatin1Char(' ') + o.value(QLatin1String("table")).toString()
               + QLatin1Char(' ') + o.value(nameField).toString();
    }

    explicit NftRuleset(const QByteArray &json)
    {
        const QJsonArray items = QJsonDocument::fromJson(json).object().value(QLatin1String("nftables")).toArray();
        for (const QJsonValue &item : items) {
            const QJsonObject o = item.toObject();
            if (o.contains(QLatin1String("chain"))) {
                const QJsonObject c = o.value(QLatin1String("chain")).toObject();
                Chain &chain = chains[key(c)];
                chain.hook = c.value(QLatin1String("hook")).toString();
                chain.policy = c.value(QLatin1String("policy")).toString();
                if (chain.hook == QLatin1String("input"))
                    inputChains << key(c);
            } else if (o.contains(QLatin1String("rule"))) {
                const QJsonObject r = o.value(QLatin1String("rule")).toObject();
                chains[key(r, QStringLiteral("chain"))].rules << r.value(QLatin1String("expr")).toArray();
            } else if (o.contains(QLatin1String("set"))) {
                const QJsonObject st = o.value(QLatin1String("set")).toObject();
                const QJsonValue elem = st.value(QLatin1String("elem"));
                sets[key(st)] = elem.isArray() ? elem.toArray() : QJsonArray{elem};
            }
        }
    }

    static bool hasVerdict(const QJsonArray &expr, const char *verdict)
    {
        for (const QJsonValue &e : expr)
            if (e.toObject().contains(QLatin1String(verdict)))
                return true;
        return false;
    }

    bool covers(const QJsonValue &right, int port, const QString &family, const QString &table, int depth = 0) const
    {
        if (depth > 4)
            return false;
        if (right.isDouble())
            return right.toInt() == port;
        if (right.isArray()) {
            for (const QJsonValue &v : right.toArray())
                if (covers(v, port, family, table, depth + 1))
                    return true;
            return false;
        }
        if (right.isString()) {
            const QString text = right.toString();
            if (text.startsWith(QLatin1Char('@'))) {
                const auto it = sets.find(family + QLatin1Char(' ') + table + QLatin1Char(' ') + text.mid(1));
                if (it == sets.end())
                    return false;
                for (const QJsonValue &v : *it)
                    if (covers(v, port, family, table, depth + 1))
                        return true;
                return false;
            }
            bool ok = false;
            return text.toInt(&ok) == port && ok;
        }
        const QJsonObject o = right.toObject();
        if (o.contains(QLatin1String("set"))) {
            const QJsonValue inner = o.value(QLatin1String("set"));
            const QJsonArray elems = inner.isArray() ? inner.toArray() : QJsonArray{inner};
            for (const QJsonValue &v : elems)
                if (covers(v, port, family, table, depth + 1))
                    return true;
            return false;
        }
        if (o.contains(QLatin1String("range"))) {
            const QJsonArray r = o.value(QLatin1String("range")).toArray();
            return r.size() == 2 && r.at(0).toInt() <= port && port <= r.at(1).toInt();
        }
        if (o.contains(QLatin1String("elem")))
            return covers(o.value(QLatin1String("elem")).toObject().value(QLatin1String("val")), port, family, table, depth + 1);
        return false;
    }

    static bool textIn(const QJsonValue &right, const char *text)
    {
        if (right.isString())
            return right.toString() == QLatin1String(text);
        if (right.isArray()) {
            for (const QJsonValue &v : right.toArray())
                if (v.toString() == QLatin1String(text))
                    return true;
            return false;
        }
        const QJsonValue inner = right.toObject().value(QLatin1String("set"));
        for (const QJsonValue &v : inner.isArray() ? inner.toArray() : QJsonArray{inner})
            if (v.toString() == QLatin1String(text))
                return true;
        return false;
    }

    // 1: accepted, 0: dropped, -1: the chain ends without a decision.
    int decide(const QString &chainKey, int port, int protocol, int depth) const
    {
        const auto it = chains.find(chainKey);
        if (it == chains.end() || depth > 8)
            return -1;
        const QStringList parts = chainKey.split(QLatin1Char(' '));
        const QString family = parts.value(0), table = parts.value(1);
        const char *proto = protocolName(protocol);
        for (const QJsonArray &expr : it->rules) {
            bool applies = true;
            for (const QJsonValue &e : expr) {
                const QJsonObject o = e.toObject();
                if (!o.contains(QLatin1String("match")))
                    continue;
                const QJsonObject m = o.value(QLatin1String("match")).toObject();
                const QString op = m.value(QLatin1String("op")).toString();
                const QJsonObject left = m.value(QLatin1String("left")).toObject();
                const QJsonValue right = m.value(QLatin1String("right"));
                if (op != QLatin1String("==") && op != QLatin1String("in")) {
                    applies = false;
                    break;
                }
                if (left.contains(QLatin1String("payload"))) {
                    const QJsonObject p = left.value(QLatin1String("payload")).toObject();
                    const QString field = p.value(QLatin1String("field")).toString();
                    const QString pp = p.value(QLatin1String("protocol")).toString();
                    if (field != QLatin1String("dport")
                        || (pp != QLatin1String(proto) && pp != QLatin1String("th"))
                        || !covers(right, port, family, table)) {
                        applies = false;
                        break;
                    }
                } else if (left.value(QLatin1String("meta")).toObject().value(QLatin1String("key")).toString()
                           == QLatin1String("l4proto")) {
                    if (!textIn(right, proto)) {
                        applies = false;
                        break;
                    }
                } else if (left.value(QLatin1String("ct")).toObject().value(QLatin1String("key")).toString()
                           == QLatin1String("state")) {
                    // "ct state established,related accept" says nothing about new connections.
                    if (!textIn(right, "new")) {
                        applies = false;
                        break;
                    }
                } else {
                    applies = false;  // addresses, interfaces...: not a rule for everybody
                    break;
                }
            }
            if (!applies)
                continue;
            if (hasVerdict(expr, "accept"))
                return 1;
            if (hasVerdict(expr, "drop") || hasVerdict(expr, "reject"))
                return 0;
            for (const QJsonValue &e : expr) {
                const QJsonObject o = e.toObject();
                for (const char *jump : {"jump", "goto"}) {
                    if (!o.contains(QLatin1String(jump)))
                        continue;
                    const QString target = family + QLatin1Char(' ') + table + QLatin1Char(' ')
                                           + o.value(QLatin1String(jump)).toObject().value(QLatin1String("target")).toString();
                    const int r = decide(target, port, protocol, depth + 1);
                    if (r >= 0)
                        return r;
                    if (QLatin1String(jump) == QLatin1String("goto"))
                        return -1;
                }
            }
        }
        return -1;
    }
};

// The port ranges of "--dport 62751", "--dports 20000:20100,30000".
bool portListCovers(const QByteArray &list, int port)
{
    for (const QByteArray &part : list.split(',')) {
        const QList<QByteArray> ends = part.split(':');
        bool ok1 = false, ok2 = true;
        const int from = ends.value(0).toInt(&ok1);
        const int to = ends.size() > 1 ? ends.value(1).toInt(&ok2) : from;
        if (ok1 && ok2 && from <= port && port <= to)
            return true;
    }
    return false;
}

} // namespace

bool HostFirewall::NftDropsInput(const QByteArray &json)
{
    const NftRuleset set(json);
    for (const QString &name : set.inputChains) {
        const NftRuleset::Chain &chain = set.chains[name];
        if (chain.policy == QLatin1String("drop"))
            return true;
        if (!chain.rules.isEmpty()
            && (NftRuleset::hasVerdict(chain.rules.last(), "drop") || NftRuleset::hasVerdict(chain.rules.last(), "reject")))
            return true;
    }
    return false;
}

bool HostFirewall::NftAcceptsPort(const QByteArray &json, int port, int protocol)
{
    const NftRuleset set(json);
    if (set.inputChains.isEmpty())
        return true;
    // Every input chain must let the packet through: a drop in any of them stops it.
    for (const QString &name : set.inputChains) {
        const int r = set.decide(name, port, protocol, 0);
        if (r == 0 || (r < 0 && set.chains[name].policy == QLatin1String("drop")))
            return false;
        if (r < 0 && !set.chains[name].rules.isEmpty()
            && (NftRuleset::hasVerdict(set.chains[name].rules.last(), "drop")
                || NftRuleset::hasVerdict(set.chains[name].rules.last(), "reject")))
            return false;
    }
    return true;
}

bool HostFirewall::UfwAcceptsPort(const QByteArray &rules, int port, int protocol)
{
    const QByteArray proto(protocolName(protocol));
    for (const QByteArray &raw : rules.split('\n')) {
        const QList<QByteArray> t = raw.simplified().split(' ');
        if (t.size() < 2 || t.at(0) != "-A" || t.at(1) != "ufw-user-input")
            continue;
        QByteArray p, ports, target;
        bool other = false;
        for (qsizetype i = 2; i < t.size(); ++i) {
            const QByteArray &w = t.at(i);
            const QByteArray next = i + 1 < t.size() ? t.at(i + 1) : QByteArray();
            if (w == "-p") { p = next; ++i; }
            else if (w == "--dport" || w == "--dports") { ports = next; ++i; }
            else if (w == "-j") { target = next; ++i; }
            else if (w == "-m") { ++i; }
            else if (w == "-s" || w == "-d" || w == "-i" || w == "--sport" || w == "--sports") { other = true; ++i; }
        }
        if (other || (!p.isEmpty() && p != proto && p != "all") || ports.isEmpty() || !portListCovers(ports, port))
            continue;
        if (target == "ACCEPT" || target == "ufw-user-limit-accept")
            return true;
        if (target == "DROP" || target == "REJECT" || target == "ufw-user-limit")
            return false;
    }
    return false;
}

bool HostFirewall::FirewalldListsPort(const QByteArray &ports, int port, int protocol)
{
    for (const QByteArray &entry : ports.simplified().split(' ')) {
        const qsizetype slash = entry.indexOf('/');
        if (slash < 0 || entry.mid(slash + 1) != protocolName(protocol))
            continue;
        const QList<QByteArray> ends = entry.left(slash).split('-');
        bool ok1 = false, ok2 = true;
        const int from = ends.value(0).toInt(&ok1);
        const int to = ends.size() > 1 ? ends.value(1).toInt(&ok2) : from;
        if (ok1 && ok2 && from <= port && port <= to)
            return true;
    }
    return false;
}

HostFirewall::HostFirewall()
{
    // DUVO_FIREWALL_PATH and DUVO_UFW_ROOT move the probe away from this machine's tools (tests).
    const QString path = qEnvironmentVariableIsSet("DUVO_FIREWALL_PATH") ? qEnvironmentVariable("DUVO_FIREWALL_PATH")
                                                                         : qEnvironmentVariable("PATH");
    FSearchPath = path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (qEnvironmentVariableIsSet("DUVO_UFW_ROOT"))
        FUfwRoot = qEnvironmentVariable("DUVO_UFW_ROOT");
}

HostFirewall::ToolResult HostFirewall::runTool(const QString &tool, const QStringList &arguments) const
{
    ToolResult result;
    const QString program = QStandardPaths::findExecutable(tool, FSearchPath);
    if (program.isEmpty())
        return result;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(FToolTimeoutMs))
        return result;
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < FToolTimeoutMs) {
        process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, FToolTimeoutMs - clock.elapsed())));
        output += process.readAllStandardOutput();
        if (output.size() > (16 << 20))
            break;
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    output += process.readAllStandardOutput();
    result.ran = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = output;
    return result;
}

HRESULT HostFirewall::OpenProfile()
{
    FKind = Kind::None;
    FRules.clear();
    FRulesRead = false;
    FPortsFetched = false;

    const ToolResult state = runTool(QStringLiteral("firewall-cmd"), {QStringLiteral("--state")});
    if (state.ran && state.exitCode == 0 && state.output.trimmed() == "running") {
        FKind = Kind::Firewalld;
        return FW_S_OK;
    }
    QFile conf(FUfwRoot + QStringLiteral("/ufw.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : conf.read(1 << 20).split('\n')) {
            const QByteArray l = line.trimmed();
            if (l == "ENABLED=yes" || l == "ENABLED=\"yes\"") {
                FKind = Kind::Ufw;
                QFile rules(FUfwRoot + QStringLiteral("/user.rules"));
                if (rules.open(QIODevice::ReadOnly)) {
                    FRules = rules.read(16 << 20);
                    FRulesRead = true;
                }
                FPortsFetched = true;
                return FW_S_OK;
            }
        }
    }
    const ToolResult nft = runTool(QStringLiteral("nft"), {QStringLiteral("-j"), QStringLiteral("list"), QStringLiteral("ruleset")});
    if (nft.ran && nft.exitCode == 0 && NftDropsInput(nft.output)) {
        FKind = Kind::Nftables;
        FRules = nft.output;
        FRulesRead = true;
        FPortsFetched = true;
    }
    return FW_S_OK;
}

HRESULT HostFirewall::FirewallEnabled(bool &on)
{
    on = FKind != Kind::None;
    if (!on)
        out("No host firewall filters incoming connections here; if one is added, let UDP port 20034 and "
            "TCP port 62751 through it.\n");
    return FW_S_OK;
}

HRESULT HostFirewall::FindPort(int port, int protocol, bool &listed, bool &enabled)
{
    listed = enabled = false;
    if (FKind == Kind::None) {
        listed = enabled = true;
        return FW_S_OK;
    }
    if (FKind == Kind::Firewalld && !FPortsFetched) {
        FPortsFetched = true;
        const ToolResult ports = runTool(QStringLiteral("firewall-cmd"), {QStringLiteral("--list-ports")});
        FRulesRead = ports.ran && ports.exitCode == 0;
        FRules = FRulesRead ? ports.output : QByteArray();
    }
    if (!FRulesRead) {
        out(format("Port %ld counts as open: the firewall's rules cannot be read without administrator rights.\n",
                   static_cast<long>(port)));
        listed = enabled = true;
        return FW_S_OK;
    }
    bool open = false;
    switch (FKind) {
    case Kind::Firewalld: open = FirewalldListsPort(FRules, port, protocol); break;
    case Kind::Ufw: open = UfwAcceptsPort(FRules, port, protocol); break;
    case Kind::Nftables: open = NftAcceptsPort(FRules, port, protocol); break;
    case Kind::None: open = true; break;
    }
    listed = enabled = open;
    return FW_S_OK;
}

HRESULT HostFirewall::AddPort(int port, int protocol, const QString &name)
{
    const char *proto = protocolName(protocol);
    std::string command;
    switch (FKind) {
    case Kind::Firewalld:
        command = format("sudo firewall-cmd --permanent --add-port=%d/%s && sudo firewall-cmd --reload", port, proto);
        break;
    case Kind::Ufw:
        command = format("sudo ufw allow %d/%s", port, proto);
        break;
    default:
        command = format("sudo nft insert rule inet filter input %s dport %d accept", proto, port);
        break;
    }
    out(format("To open port %d (%s) an administrator runs: %s\n", port, name.toStdString().c_str(), command.c_str()));
    return FW_E_ACCESSDENIED;
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
