// Phase 2 of the scan against an instrument whose replies to one command are replaced by
// texts of the test's own (self-test values, replies the readers cannot read), on
// 127.0.156.0/24. Every other command is answered by a simulated instrument.

#include "duvosim/SimInstrument.h"
#include "duvosim/SimModules.h"
#include "link/DeviceScan.h"

#include <QTest>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string Address = "127.0.156.10";

// A command server on Address:62751 that answers from a simulated instrument, except for
// the commands whose reply the test gives.
class ScriptedInstrument {
public:
    explicit ScriptedInstrument(std::map<std::string, std::string> replies)
        : FInstrument(0, Address), FReplies(std::move(replies))
    {
        FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(62751);
        inet_pton(AF_INET, Address.c_str(), &a.sin_addr);
        FOk = bind(FListen, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && listen(FListen, 8) == 0;
        if (FOk)
            FThread = std::thread([this] { run(); });
    }
    ~ScriptedInstrument()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
        close(FListen);
    }
    bool ok() const { return FOk; }
    duvosim::SimInstrument &instrument() { return FInstrument; }
    QStringList commands() const
    {
        std::lock_guard l(FMutex);
        return FCommands;
    }

private:
    void run()
    {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const int c = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            // The reachability test connects and closes without a request.
            std::string request;
            char buf[4096];
            while (!complete(request)) {
                pollfd q{c, POLLIN, 0};
                if (poll(&q, 1, 2000) <= 0)
                    break;
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, size_t(n));
            }
            if (request.empty()) {
                close(c);
                continue;
            }
            duvosim::SimResponse r = FInstrument.handleRequest(request);
            {
                std::lock_guard l(FMutex);
                FCommands << QString::fromStdString(r.command);
            }
            const auto it = FReplies.find(r.command);
            const std::string &reply = it != FReplies.end() ? it->second : r.reply;
            send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            close(c);
        }
    }
    static bool complete(const std::string &r)
    {
        for (const char *end : {"</Communication>", "</CycleProtocol>", "</Instrument>", "</FileSystem>"})
            if (r.size() >= std::strlen(end) && r.compare(r.size() - std::strlen(end), std::string::npos, end) == 0)
                return true;
        return false;
    }

    duvosim::SimInstrument FInstrument;
    std::map<std::string, std::string> FReplies;
    int FListen = -1;
    bool FOk = false;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    mutable std::mutex FMutex;
    QStringList FCommands;
};

std::string reply(const char *group, const char *command, const std::string &fields)
{
    return std::string("<?xml version=\"1.0\" ?><") + group + "><" + command + " CmdType=\"Reply\">" + fields
        + "<ErrCode>0</ErrCode><ErrMessage>OK</ErrMessage></" + command + "></" + group + ">";
}

std::string test1(const char *a, const char *i, const char *f, const char *b)
{
    return reply("Communication", "Test1",
                 std::string("<StringA>") + a + "</StringA><IntA>" + i + "</IntA><FloatA>" + f + "</FloatA><BooleanA>"
                     + b + "</BooleanA>");
}

using Replies = std::map<std::string, std::string>;

} // namespace

Q_DECLARE_METATYPE(Replies)

class TestDiscoveryReplies : public QObject {
    Q_OBJECT
private slots:
    void phaseTwo_data()
    {
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<int>("unreachable");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("commands");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("runState");
        const QString firmware = QStringLiteral("Firmware:  1.0.0");
        QTest::newRow("all answered") << Replies{} << 0 << firmware << 9 << "DUVO 96" << "Stopped";
        QTest::newRow("StringA") << Replies{{"Test1", test1("Test string", "34968", "381151.200000", "true")}} << 1
                                 << "Test1 StringA return value error" << 2 << "DUVO 96" << "-";
        QTest::newRow("IntA") << Replies{{"Test1", test1("Test stringresponse", "34967", "381151.200000", "true")}}
                              << 1 << "Test1 IntA return value error" << 2 << "DUVO 96" << "-";
        QTest::newRow("FloatA") << Replies{{"Test1", test1("Test stringresponse", "34968", "381151.2", "true")}} << 1
                                << "Test1 FloatA return value error" << 2 << "DUVO 96" << "-";
        QTest::newRow("BooleanA")
            << Replies{{"Test1", test1("Test stringresponse", "34968", "381151.200000", "false")}} << 1
            << "Test1 BooleanA return value error" << 2 << "DUVO 96" << "-";
        // An unreadable self-test reply only notes it; the scan goes on with this device.
        QTest::newRow("Test1 unreadable") << Replies{{"Test1", reply("Communication", "Test1", "")}} << 0 << firmware
                                          << 9 << "DUVO 96" << "Stopped";
        QTest::newRow("GetParameter unreadable")
            << Replies{{"GetParameter", reply("Instrument", "GetParameter", "")}} << 1 << "GetParameter XML error" << 3
            << "DUVO 96" << "-";
        QTest::newRow("GetTime unreadable") << Replies{{"GetTime", reply("Instrument", "SetTime", "")}} << 1
                                            << "GetTime XML error" << 7 << "DUVO 96" << "-";
        QTest::newRow("GetStatus unreadable") << Replies{{"GetStatus", reply("CycleProtocol", "GetStatus", "")}} << 0
                                              << firmware << 9 << "DUVO 96" << "????";
        QTest::newRow("GetInstrumentInfo unreadable")
            << Replies{{"GetInstrumentInfo", reply("Instrument", "GetInstrumentInfo", "")}} << 0 << "-" << 9 << "????"
            << "Stopped";
        QTest::newRow("not XML") << Replies{{"Nop", std::string("garbage")}} << 1 << "Parsing Error" << 1 << "DUVO 96"
                                 << "-";
    }

    void phaseTwo()
    {
        QFETCH(Replies, replies);
        QFETCH(int, unreachable);
        QFETCH(QString, message);
        QFETCH(int, commands);
        QFETCH(QString, type);
        QFETCH(QString, runState);

        ScriptedInstrument server(replies);
        QVERIFY(server.ok());
        server.instrument().setFirmware("1.0.0");
        duvosim::SimModuleNetwork modules("127.0.156.2");
        duvosim::SimModule m;
        m.address = Address;
        m.mac = {0, 3, 0xF4, 0, 0, 1};
        m.type = "DUVO 96";
        modules.add(m);
        QVERIFY(modules.start());

        ScanSettings s;
        s.waitMs = 200;
        s.localIP = "127.0.156.1";
        s.modules.target = "127.0.156.2";
        s.modules.bind = "127.0.156.1";
        s.connectTimeoutMs = 2000;
        s.exchangeTimeoutMs = 2000;
        DeviceList list;
        QCOMPARE(ScanDevices(list, s), ScanOutcome::Done);
        QCOMPARE(list.Count(), 1);
        const DVDEVICEINFO_T &r = *list.at(0);
        QCOMPARE(int(r.unreachable), unreachable);
        QCOMPARE(QString::fromStdString(r.message), message);
        QCOMPARE(QString::fromStdString(r.typeText), type);
        QCOMPARE(QString::fromStdString(r.runState), runState);
        QCOMPARE(server.commands().size(), commands);
        if (type == QStringLiteral("????"))
            QCOMPARE(QString::fromStdString(r.firmware), QStringLiteral("-"));
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryReplies)
#include "tst_discovery_replies.moc"
