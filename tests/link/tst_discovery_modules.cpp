// The module protocol on UDP: the request's bytes, DiscoverModules against simulated modules
// on this test's own loopback /24 (127.0.151.0/24), ParseIPv4 and FormatMac.

#include "duvosim/SimModules.h"
#include "link/ModuleProtocol.h"

#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace duvosim;
using namespace duvo::module;

namespace {

const std::string Net = "127.0.151.";
const std::string Workstation = Net + "1";
const std::string Hub = Net + "2";

SimModule makeModule(int k, const std::string &type = "DUVO 96")
{
    SimModule m;
    m.address = Net + std::to_string(10 + k);
    m.mac = {0x00, 0x03, 0xF4, 0x00, 0x01, uint8_t(k)};
    m.baseMac = m.mac;
    m.type = type;
    return m;
}

DiscoveryOptions loopback()
{
    DiscoveryOptions o;
    o.target = Hub;
    o.bind = Workstation;
    return o;
}

} // namespace

class TestDiscoveryModules : public QObject {
    Q_OBJECT
private slots:
    void requestIs153BytesOfDvmqR()
    {
        const std::vector<uint8_t> r = DiscoveryRequest();
        QCOMPARE(r.size(), size_t(153));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.data()), 5), QByteArray("DVMQR"));
        for (size_t i = 5; i < r.size(); ++i)
            QCOMPARE(int(r[i]), 0);
    }

    void replyCarriesRecordMacAndTexts()
    {
        SimModule m = makeModule(3, "DUVO 24");
        m.passNeeded = true;
        const std::vector<uint8_t> reply = ModuleReply(m);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply.data()), 5), QByteArray("DVMRR"));
        // The record's length field, and the MAC at reply bytes 112 to 117.
        QCOMPARE(int(reply[5 + 3]), 148);
        QCOMPARE(int(reply[112 + 2]), 0xF4);
        QCOMPARE(int(reply[117]), 3);
        QCOMPARE(int(reply[5 + 125]), 0xAA);
        const QByteArray texts(reinterpret_cast<const char *>(reply.data()) + 153, int(reply.size()) - 153);
        QCOMPARE(texts, QByteArray("DuvoNet\0DUVO 24\0PASSNEEDED\0", 27));
    }

    void parseIPv4_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("10.0.0.7") << 1 << QByteArray("\x0a\x00\x00\x07", 4);
        QTest::newRow("fifth part ignored") << QByteArray("10.0.0.7.9") << 1 << QByteArray("\x0a\x00\x00\x07", 4);
        QTest::newRow("other characters ignored") << QByteArray(" 192.168.1.20\n") << 1
                                                  << QByteArray("\xc0\xa8\x01\x14", 4);
        QTest::newRow("part over 255") << QByteArray("192.168.1.300") << 0 << QByteArray();
        // A 16-bit counter would wrap 65537 to 1 and send to 10.0.0.1.
        QTest::newRow("wrapping part") << QByteArray("10.0.0.65537") << 0 << QByteArray();
        QTest::newRow("wrapping first part") << QByteArray("65546.0.0.7") << 0 << QByteArray();
        QTest::newRow("three parts") << QByteArray("10.0.7") << 0 << QByteArray();
        QTest::newRow("empty last part") << QByteArray("10.0.0.") << 0 << QByteArray();
        QTest::newRow("empty") << QByteArray("") << 0 << QByteArray();
    }

    void parseIPv4()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, result);
        QFETCH(QByteArray, bytes);
        uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        QCOMPARE(ParseIPv4(out, text.constData()), result);
        if (result == 1)
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(out), 4), bytes);
    }

    void formatMacIsLowerCaseWithColons()
    {
        const uint8_t mac[6] = {0x00, 0x03, 0xF4, 0x01, 0xAB, 0x0C};
        char out[18];
        std::memset(out, 'x', sizeof out);
        FormatMac(mac, out);
        QCOMPARE(QByteArray(out), QByteArray("00:03:f4:01:ab:0c"));
    }

    void findsModulesInReplyOrderAndDropsBadReplies()
    {
        SimModuleNetwork net(Hub);
        net.add(makeModule(1, "DUVO 96"));
        SimModule dup = makeModule(2, "SV cycler");
        dup.fault = ModuleFault::Duplicate;
        net.add(dup);
        SimModule shortOne = makeModule(3);
        shortOne.fault = ModuleFault::Short;
        net.add(shortOne);
        SimModule foreign = makeModule(4);
        foreign.fault = ModuleFault::Foreign;
        net.add(foreign);
        SimModule silent = makeModule(5);
        silent.fault = ModuleFault::NoReply;
        net.add(silent);
        // A second interface of module 1: same MAC, its own address.
        SimModule second = makeModule(1, "DUVO 96");
        second.address = Net + "40";
        net.add(second);
        // Another module on module 1's address.
        SimModule sameAddress = makeModule(6, "DUVO 24");
        sameAddress.address = makeModule(1).address;
        net.add(sameAddress);
        std::string error;
        QVERIFY2(net.start(&error), error.c_str());

        DiscoveryEntry table[10];
        std::memset(table, 'x', sizeof table);
        const int n = DiscoverModules(300, table, 10, loopback());
        QCOMPARE(n, 4);
        QCOMPARE(QByteArray(table[0].ip), QByteArray("127.0.151.11"));
        QCOMPARE(QByteArray(table[0].mac), QByteArray("00:03:f4:00:01:01"));
        QCOMPARE(QByteArray(table[0].type), QByteArray("DUVO 96"));
        QCOMPARE(QByteArray(table[1].ip), QByteArray("127.0.151.12"));
        QCOMPARE(QByteArray(table[1].type), QByteArray("SV cycler"));
        QCOMPARE(QByteArray(table[2].ip), QByteArray("127.0.151.40"));
        QCOMPARE(QByteArray(table[2].mac), QByteArray("00:03:f4:00:01:01"));
        QCOMPARE(QByteArray(table[3].ip), QByteArray("127.0.151.11"));
        QCOMPARE(QByteArray(table[3].mac), QByteArray("00:03:f4:00:01:06"));
        QCOMPARE(QByteArray(table[3].type), QByteArray("DUVO 24"));
        for (int i = n; i < 10; ++i)
            QCOMPARE(table[i].ip[0], '\0');
        QCOMPARE(net.requestsSeen(), 1);
    }

    void nobodyAnswersAfterOneWait()
    {
        SimModuleNetwork net(Hub);
        QVERIFY(net.start());
        DiscoveryEntry table[4];
        QElapsedTimer t;
        t.start();
        QCOMPARE(DiscoverModules(400, table, 4, loopback()), 0);
        QVERIFY2(t.elapsed() >= 390 && t.elapsed() < 2500, QByteArray::number(t.elapsed()));
    }

    void lateReplyInsideTheWaitIsFound()
    {
        SimModuleNetwork net(Hub);
        net.add(makeModule(1));
        SimModule late = makeModule(2);
        late.fault = ModuleFault::Late;
        late.delayMs = 250;
        net.add(late);
        SimModule tooLate = makeModule(3);
        tooLate.fault = ModuleFault::Late;
        tooLate.delayMs = 1500;
        net.add(tooLate);
        QVERIFY(net.start());
        DiscoveryEntry table[4];
        QCOMPARE(DiscoverModules(500, table, 4, loopback()), 2);
        QCOMPARE(QByteArray(table[1].ip), QByteArray("127.0.151.12"));
    }

    // Foreign datagrams do not restart the wait: the scan ends one wait after the last new
    // module although the chatter goes on much longer.
    void foreignChatterDoesNotKeepTheScanRunning()
    {
        SimModuleNetwork net(Hub);
        SimModule chatty = makeModule(1);
        chatty.fault = ModuleFault::Chatter;
        chatty.delayMs = 5000;
        net.add(chatty);
        QVERIFY(net.start());
        DiscoveryEntry table[4];
        QElapsedTimer t;
        t.start();
        QCOMPARE(DiscoverModules(300, table, 4, loopback()), 1);
        QVERIFY2(t.elapsed() < 2500, QByteArray::number(t.elapsed()));
    }

    void stopRequestEndsTheWait()
    {
        SimModuleNetwork net(Hub);
        net.add(makeModule(1));
        QVERIFY(net.start());
        std::atomic<bool> stop{false};
        DiscoveryOptions o = loopback();
        o.stop = &stop;
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop = true;
        });
        DiscoveryEntry table[4];
        QElapsedTimer t;
        t.start();
        const int n = DiscoverModules(20000, table, 4, o);
        stopper.join();
        QCOMPARE(n, 1);
        QVERIFY2(t.elapsed() < 2000, QByteArray::number(t.elapsed()));
        // The port is free again at once.
        QCOMPARE(DiscoverModules(50, table, 4, loopback()), 1);
    }

    void fullTableIsNeverWrittenPastItsEnd()
    {
        SimModuleNetwork net(Hub);
        for (int k = 1; k <= 5; ++k)
            net.add(makeModule(k));
        QVERIFY(net.start());
        DiscoveryEntry table[4];
        std::memset(table, 'x', sizeof table);
        QCOMPARE(DiscoverModules(200, table, 2, loopback()), 2);
        QCOMPARE(QByteArray(table[1].ip), QByteArray("127.0.151.12"));
        QCOMPARE(table[2].ip[0], 'x');
        QCOMPARE(table[3].type[79], 'x');
    }

    void longTypeTextIsCut()
    {
        SimModuleNetwork net(Hub);
        net.add(makeModule(1, std::string(120, 'T')));
        QVERIFY(net.start());
        DiscoveryEntry table[2];
        QCOMPARE(DiscoverModules(200, table, 2, loopback()), 1);
        QCOMPARE(QByteArray(table[0].type), QByteArray(79, 'T'));
    }

    void portAlreadyBoundGives101()
    {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(20034);
        inet_pton(AF_INET, Workstation.c_str(), &a.sin_addr);
        QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        DiscoveryEntry table[2];
        QElapsedTimer t;
        t.start();
        QCOMPARE(DiscoverModules(2000, table, 2, loopback()), ErrBind);
        QVERIFY(t.elapsed() < 1000);
        close(fd);
    }

    void addressesComeFromTheEnvironment()
    {
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
        QCOMPARE(QByteArray(ModuleTargetAddress().c_str()), QByteArray("255.255.255.255"));
        QCOMPARE(QByteArray(ModuleBindAddress().c_str()), QByteArray("0.0.0.0"));
        qputenv("DUVO_MODULE_TARGET", Hub.c_str());
        qputenv("DUVO_MODULE_BIND", Workstation.c_str());
        const DiscoveryOptions o;
        QCOMPARE(QByteArray(o.target.c_str()), QByteArray(Hub.c_str()));
        QCOMPARE(QByteArray(o.bind.c_str()), QByteArray(Workstation.c_str()));
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryModules)
#include "tst_discovery_modules.moc"
