// The real limited-broadcast path: discovery sends to 255.255.255.255 from 0.0.0.0:20034,
// inside a private network namespace with two lab segments (veth pairs) and no default
// route. A module sits in a namespace of its own behind each segment. Both must be found,
// although a plain send to 255.255.255.255 fails there for want of a route.
//
// The same executable plays the parts inside the namespaces (DUVO_NETNS_ROLE=scan|module).
// Skipped where network namespaces cannot be made.

#include "duvosim/SimLab.h"
#include "duvosim/SimModuleService.h"
#include "duvosim/SimModules.h"
#include "link/DeviceScan.h"
#include "link/ModuleProtocol.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A module on this namespace's segment address; answers broadcasts for at most 20 s.
int runModule()
{
    const char *address = std::getenv("DUVO_NETNS_MODULE");
    const char *last = std::getenv("DUVO_NETNS_MAC");
    if (!address || !last)
        return 2;
    duvosim::SimModuleNetwork net(duvo::module::LimitedBroadcast);
    duvosim::SimModule m;
    m.address = address;
    m.mac = {0x00, 0x03, 0xF4, 0x00, 0x02, uint8_t(std::atoi(last))};
    m.baseMac = m.mac;
    m.type = "DUVO 24";
    net.add(m);
    std::string error;
    if (!net.start(&error)) {
        std::fprintf(stderr, "module: %s\n", error.c_str());
        return 3;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(20));
    return 0;
}

int runScan()
{
    // Without a default route the system will not send a limited broadcast by itself.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(probe, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(20999);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    const bool plain = sendto(probe, "x", 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) == 1;
    close(probe);
    std::printf("plain %s\n", plain ? "sent" : "failed");

    DiscoveryOptions o;
    o.target = duvo::module::LimitedBroadcast;
    o.bind = duvo::module::AnyAddress;
    DiscoveryEntry table[8];
    const int n = DiscoverModules(1500, table, 8, o);
    std::printf("found %d\n", n);
    for (int i = 0; i < n; ++i)
        std::printf("%s %s %s\n", table[i].ip, table[i].mac, table[i].type);
    return 0;
}

// A lab of three instruments on 127.0.155.0/24 where a routing rule makes TCP to the second
// one unreachable (ENETUNREACH at connect): only that instrument fails.
int runUnreachable()
{
    duvosim::SimLab lab("127.0.155", 3);
    duvosim::SimModuleService::install(lab);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "lab: %s\n", error.c_str());
        return 3;
    }
    ScanSettings s;
    s.waitMs = 300;
    s.localIP = lab.workstationAddress();
    s.modules.target = lab.hubAddress();
    s.modules.bind = lab.workstationAddress();
    s.connectTimeoutMs = 3000;
    s.exchangeTimeoutMs = 3000;
    DeviceList list;
    ScanDevices(list, s);
    std::printf("records %d\n", list.Count());
    for (const auto &r : list)
        std::printf("%s|%d|%d|%s\n", r->ipAddress.c_str(), r->unreachable, r->busy, r->message.c_str());
    return 0;
}

const char *UnreachableScript = R"SH(
set -e
ip link set lo up
# Routing rules come before the local table, so one rule can block TCP to one local address.
ip rule add pref 100 lookup local && ip rule del pref 0 || exit 77
ip rule add pref 10 to 127.0.155.11 ipproto tcp unreachable || exit 77
DUVO_NETNS_ROLE=unreachable "$1"
)SH";

const char *Script = R"SH(
set -e
self="$1"
command -v ip >/dev/null && command -v nsenter >/dev/null || exit 77
ip link set lo up
pids=""
trap 'kill $pids 2>/dev/null || true' EXIT
mine=$(readlink /proc/self/ns/net)
for seg in 1 2; do
  ip link add w$seg type veth peer name m$seg || exit 77
  unshare -n sleep 25 &
  ns=$!; pids="$pids $ns"
  for i in $(seq 1 100); do
    [ "$(readlink /proc/$ns/ns/net)" != "$mine" ] && break
    sleep 0.02
  done
  ip link set m$seg netns $ns
  ip addr add 10.77.$seg.1/24 dev w$seg
  ip link set w$seg up
  nsenter -t $ns -n sh -c "ip link set lo up && ip addr add 10.77.$seg.2/24 dev m$seg && ip link set m$seg up"
  nsenter -t $ns -n env DUVO_NETNS_ROLE=module DUVO_NETNS_MODULE=10.77.$seg.2 DUVO_NETNS_MAC=$seg "$self" > module$seg.out &
  pids="$pids $!"
done
for seg in 1 2; do
  for i in $(seq 1 200); do grep -q ready module$seg.out 2>/dev/null && break; sleep 0.02; done
done
ip route show default | grep -q . && { echo "default route present"; exit 1; }
DUVO_NETNS_ROLE=scan "$self"
)SH";

} // namespace

class TestDiscoveryNetns : public QObject {
    Q_OBJECT
private:
    // Runs script in a private network namespace; false (with out holding why) when no
    // namespace can be made here.
    bool runIsolated(const char *script, QByteArray &out, QByteArray &err, int &exitCode)
    {
        QStringList unshare;
        if (geteuid() == 0 && QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")}) == 0)
            unshare = {QStringLiteral("-n")};
        else if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("true")}) == 0)
            unshare = {QStringLiteral("-rn")};
        else
            return false;
        QProcess p;
        p.setWorkingDirectory(FWork.path());
        p.start(QStringLiteral("unshare"),
                unshare + QStringList{QStringLiteral("bash"), QStringLiteral("-c"), QString::fromLatin1(script),
                                      QStringLiteral("netns"), QCoreApplication::applicationFilePath()});
        if (!p.waitForStarted(5000))
            return false;
        if (!p.waitForFinished(40000)) {
            p.kill();
            p.waitForFinished(5000);
        }
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return exitCode != 77;
    }

    QTemporaryDir FWork;

private slots:
    void limitedBroadcastReachesEverySegment()
    {
        QByteArray out, err;
        int exitCode = 0;
        if (!runIsolated(Script, out, err, exitCode))
            QSKIP("no private network namespace with interfaces here");
        QVERIFY2(exitCode == 0, (out + err).constData());
        QVERIFY2(out.contains("plain failed\n"), out.constData());
        QVERIFY2(out.contains("found 2\n"), (out + err).constData());
        QVERIFY(out.contains("10.77.1.2 00:03:f4:00:02:01 DUVO 24\n"));
        QVERIFY(out.contains("10.77.2.2 00:03:f4:00:02:02 DUVO 24\n"));
    }

    void unreachableInstrumentFailsOnlyItself()
    {
        QByteArray out, err;
        int exitCode = 0;
        if (!runIsolated(UnreachableScript, out, err, exitCode))
            QSKIP("no private network namespace with routing rules here");
        QVERIFY2(exitCode == 0, (out + err).constData());
        const QList<QByteArray> lines = out.split('\n');
        QVERIFY2(lines.size() >= 4 && lines[0] == "records 3", out.constData());
        QVERIFY2(lines[1].startsWith("127.0.155.10|0|0|Firmware:  "), out.constData());
        QCOMPARE(lines[2], QByteArray("127.0.155.11|1|1|IP address 127.0.155.11 can not connect with IP socket from "
                                      "127.0.155.1.  Are you in Firmware Upgrade C mode?  Otherwise make sure IP "
                                      "address class and Subnet mask match host PC network"));
        QVERIFY2(lines[3].startsWith("127.0.155.12|0|0|Firmware:  "), out.constData());
    }
};

int main(int argc, char **argv)
{
    if (const char *role = std::getenv("DUVO_NETNS_ROLE")) {
        if (std::strcmp(role, "module") == 0)
            return runModule();
        if (std::strcmp(role, "scan") == 0)
            return runScan();
        if (std::strcmp(role, "unreachable") == 0)
            return runUnreachable();
        return 2;
    }
    QCoreApplication app(argc, argv);
    TestDiscoveryNetns test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_discovery_netns.moc"
