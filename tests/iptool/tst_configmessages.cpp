// The address tool's core: the configuration record layout, the verification and
// configuration messages, the reading of discovery replies, the device list rules and labels,
// and the socket's relay (on this test's own loopback /24, 127.0.81.0/24).

#include "iptool/CDiscoverySocket.h"
#include "iptool/ConfigMessages.h"
#include "iptool/UnitList.h"

#include <QTest>
#include <QUdpSocket>
#include <QNetworkDatagram>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace duvo::iptool;

namespace {

using Bytes = std::vector<uint8_t>;

QByteArray qbytes(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

Ipv4 ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return {a, b, c, d};
}

// A record for an interface: MAC 00-03-F4-00-<m4>-<m5>, base MAC given, static and active
// address as given, marker set.
UnitConfigRecord record(uint8_t m4, uint8_t m5, const Ipv4 &address, uint8_t kind = Ethernet,
                        const Mac &base = {})
{
    UnitConfigRecord r;
    r.setLength(148);
    r.setMac({0x00, 0x03, 0xF4, 0x00, m4, m5});
    r.setBaseMac(base);
    r.setStaticIp(address);
    r.setActiveIp(address);
    r.setInterfaceKind(kind);
    r.setMarker(ExtensionMarker);
    return r;
}

DiscoveryReply reply(const UnitConfigRecord &r, const Ipv4 &source, const std::string &app = "DuvoNet",
                     const std::string &type = "DUVO 96")
{
    DiscoveryReply d;
    d.record = r;
    d.source = source;
    d.application = app;
    d.type = type;
    return d;
}

Bytes replyBytes(const UnitConfigRecord &r, const QByteArray &texts)
{
    Bytes b = {'D', 'V', 'M', 'R', 'R'};
    b.insert(b.end(), r.bytes.begin(), r.bytes.end());
    b.insert(b.end(), texts.begin(), texts.end());
    return b;
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class TestConfigMessages : public QObject {
    Q_OBJECT
private slots:
    void recordFieldsSitAtTheirBytes_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("length") << 0 << 0 << QByteArray("\x00\x00\x00\x94", 4);
        QTest::newRow("static ip") << 1 << 4 << QByteArray("\x0A\x00\x00\x05", 4);
        QTest::newRow("mask") << 2 << 8 << QByteArray("\xFF\xFF\xFF\x00", 4);
        QTest::newRow("gateway") << 3 << 12 << QByteArray("\x0A\x00\x00\x01", 4);
        QTest::newRow("tftp server") << 4 << 16 << QByteArray("\x0A\x00\x00\x02", 4);
        QTest::newRow("baud big-endian") << 5 << 20 << QByteArray("\x00\x01\xC2\x00", 4);
        QTest::newRow("boot delay") << 6 << 24 << QByteArray("\x07", 1);
        QTest::newRow("boot to application") << 7 << 25 << QByteArray("\x01", 1);
        QTest::newRow("trap mode") << 8 << 26 << QByteArray("\x02", 1);
        QTest::newRow("mac") << 9 << 107 << QByteArray("\x00\x03\xF4\x01\xAB\x0C", 6);
        QTest::newRow("monitor port") << 10 << 113 << QByteArray("\x01", 1);
        QTest::newRow("dns") << 11 << 114 << QByteArray("\x08\x08\x04\x04", 4);
        QTest::newRow("base mac") << 12 << 118 << QByteArray("\x00\x03\xF4\x01\xAB\x00", 6);
        QTest::newRow("kind") << 13 << 124 << QByteArray("\x01", 1);
        QTest::newRow("marker") << 14 << 125 << QByteArray("\xAA", 1);
        QTest::newRow("active ip") << 15 << 126 << QByteArray("\xC0\xA8\x01\x09", 4);
        QTest::newRow("boot quietly") << 16 << 145 << QByteArray("\x01", 1);
    }

    void recordFieldsSitAtTheirBytes()
    {
        QFETCH(int, field);
        QFETCH(int, offset);
        QFETCH(QByteArray, expected);
        UnitConfigRecord r;
        switch (field) {
        case 0: r.setLength(148); break;
        case 1: r.setStaticIp(ip(10, 0, 0, 5)); break;
        case 2: r.setMask(ip(255, 255, 255, 0)); break;
        case 3: r.setGateway(ip(10, 0, 0, 1)); break;
        case 4: r.setTftpServer(ip(10, 0, 0, 2)); break;
        case 5: r.setBaudRate(115200); break;
        case 6: r.setBootDelay(7); break;
        case 7: r.setBootToApplication(true); break;
        case 8: r.setTrapMode(2); break;
        case 9: r.setMac({0x00, 0x03, 0xF4, 0x01, 0xAB, 0x0C}); break;
        case 10: r.setMonitorPort(1); break;
        case 11: r.setDns(ip(8, 8, 4, 4)); break;
        case 12: r.setBaseMac({0x00, 0x03, 0xF4, 0x01, 0xAB, 0x00}); break;
        case 13: r.setInterfaceKind(WiFi); break;
        case 14: r.setMarker(ExtensionMarker); break;
        case 15: r.setActiveIp(ip(192, 168, 1, 9)); break;
        case 16: r.setBootQuietly(true); break;
        }
        const QByteArray all(reinterpret_cast<const char *>(r.bytes.data()), 148);
        QCOMPARE(all.mid(offset, expected.size()), expected);
        // Nothing else was touched.
        QByteArray rest = all;
        rest.replace(offset, expected.size(), QByteArray(expected.size(), '\0'));
        QCOMPARE(rest, QByteArray(148, '\0'));
    }

    void tftpFileKeepsItsLastByteZero()
    {
        UnitConfigRecord r;
        r.bytes.fill(0x41);
        r.setTftpFile(std::string(100, 'x'));
        QCOMPARE(r.tftpFile(), std::string(79, 'x'));
        QCOMPARE(int(r.bytes[106]), 0);
        QCOMPARE(int(r.bytes[107]), 0x41);  // the MAC after it is untouched
        r.setTftpFile("a.bin");
        QCOMPARE(r.tftpFile(), std::string("a.bin"));
        QCOMPARE(int(r.bytes[40]), 0);  // the old text's tail is gone
    }

    void addressMatchesAndNodeKey()
    {
        UnitConfigRecord r = record(1, 2, ip(10, 0, 0, 5));
        r.setActiveIp(ip(10, 0, 0, 6));
        QVERIFY(AddressMatches(r, ip(10, 0, 0, 5)));   // the static address
        QVERIFY(AddressMatches(r, ip(10, 0, 0, 6)));   // the active address
        QVERIFY(!AddressMatches(r, ip(10, 0, 0, 7)));
        r.setMarker(0);
        QVERIFY(AddressMatches(r, ip(10, 0, 0, 7)));   // no extension: nothing to compare

        const Mac base = {0x00, 0x03, 0xF4, 0x09, 0x09, 0x09};
        UnitConfigRecord k = record(1, 2, ip(10, 0, 0, 5), Ethernet, base);
        QCOMPARE(NodeKey(k), base);
        k.setBaseMac({});
        QCOMPARE(NodeKey(k), k.mac());
        k.setBaseMac(base);
        k.setMarker(0);
        QCOMPARE(NodeKey(k), k.mac());
    }

    void verifyListOfOneDeviceWithTwoInterfaces()
    {
        const Mac base = {0x00, 0x03, 0xF4, 0x00, 0x00, 0x01};
        UnitList list;
        list.InsertDeviceReply(reply(record(0x11, 0x22, ip(10, 0, 0, 5), Ethernet, base), ip(10, 0, 0, 5)));
        // The second interface answers from an address its record does not name.
        list.InsertDeviceReply(reply(record(0x33, 0x44, ip(10, 0, 0, 6), WiFi, base), ip(10, 0, 0, 99)));
        const Bytes v = VerifyList(VerifyPairs(list));
        QCOMPARE(qbytes(v), QByteArray("DVM2V\x11\x22\xB3\x44\0\0\0\0\0", 14));
        QCOMPARE(VerifyList({}).size(), size_t(10));
        // No fixed buffer: a list longer than the old 739 pairs is whole.
        QCOMPARE(VerifyList(std::vector<VerifyPair>(800)).size(), size_t(10 + 1600));
    }

    void configRequestCarriesTheWholeRecord()
    {
        UnitConfigRecord r = record(1, 2, ip(10, 0, 0, 5));
        const Bytes w = ConfigRequest(r);
        QCOMPARE(w.size(), size_t(153));
        QCOMPARE(qbytes(w).left(5), QByteArray("DVMQW"));
        QVERIFY(std::equal(r.bytes.begin(), r.bytes.end(), w.begin() + 5));
        // A record whose length field says more than it holds still sends its 148 bytes only.
        r.setLength(1000);
        QCOMPARE(ConfigRequest(r).size(), size_t(153));
        r.setLength(20);
        QCOMPARE(ConfigRequest(r).size(), size_t(153));
    }

    void configRequestWithLogin_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("passwordField");
        QTest::addColumn<QByteArray>("userField");
        QTest::newRow("short") << "abc" << "admin" << QByteArray("abc") + QByteArray(17, '\0')
                               << QByteArray("admin") + QByteArray(15, '\0');
        QTest::newRow("password cut to 19") << QString(25, QLatin1Char('p')) << "u"
                                            << QByteArray(19, 'p') + QByteArray(1, '\0')
                                            << QByteArray("u") + QByteArray(19, '\0');
        QTest::newRow("user cut to 19") << "" << QString(20, QLatin1Char('n')) << QByteArray(20, '\0')
                                        << QByteArray(19, 'n') + QByteArray(1, '\0');
    }

    void configRequestWithLogin()
    {
        QFETCH(QString, password);
        QFETCH(QString, user);
        QFETCH(QByteArray, passwordField);
        QFETCH(QByteArray, userField);
        const UnitConfigRecord r = record(1, 2, ip(10, 0, 0, 5));
        const QByteArray w = qbytes(ConfigRequestWithLogin(r, password.toStdString(), user.toStdString()));
        QCOMPARE(w.size(), 197);
        QCOMPARE(w.left(5), QByteArray("DVMQW"));
        QCOMPARE(w.mid(5, 148), QByteArray(reinterpret_cast<const char *>(r.bytes.data()), 148));
        QCOMPARE(w.mid(153, 4), QByteArray("1414"));
        QCOMPARE(w.mid(157, 20), passwordField);
        QCOMPARE(w.mid(177, 20), userField);
    }

    void parseDiscoveryReply_data()
    {
        QTest::addColumn<Bytes>("datagram");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("password");
        const UnitConfigRecord r = record(1, 2, ip(10, 0, 0, 5));
        QTest::newRow("plain") << replyBytes(r, QByteArray("DuvoNet\0DUVO 96\0", 16)) << true << "DuvoNet"
                               << "DUVO 96" << false;
        QTest::newRow("unknown type") << replyBytes(r, QByteArray("DuvoNet\0:Unknown\0", 17)) << true
                                      << "DuvoNet" << "" << false;
        QTest::newRow("name only") << replyBytes(r, QByteArray("DuvoNet\0", 8)) << true << "DuvoNet" << ""
                                   << false;
        QTest::newRow("no texts") << replyBytes(r, QByteArray()) << true << "" << "" << false;
        QTest::newRow("passneeded after type")
            << replyBytes(r, QByteArray("DuvoNet\0DUVO 24\0PASSNEEDED\0", 27)) << true << "DuvoNet"
            << "DUVO 24" << true;
        QTest::newRow("passneeded inside type")
            << replyBytes(r, QByteArray("DuvoNet\0PASSNEEDED\0", 19)) << true << "DuvoNet" << "PASSNEEDED"
            << false;
        QTest::newRow("passneeded without its zero")
            << replyBytes(r, QByteArray("DuvoNet\0DUVO 24\0PASSNEEDED", 26)) << true << "DuvoNet"
            << "DUVO 24" << false;
        // Texts without their zero byte end at the datagram's end, never past it.
        QTest::newRow("type without zero") << replyBytes(r, QByteArray("DuvoNet\0DUVO", 12)) << true
                                           << "DuvoNet" << "DUVO" << false;
        QTest::newRow("name without zero") << replyBytes(r, QByteArray("DuvoNet", 7)) << true << "DuvoNet"
                                           << "" << false;
        QTest::newRow("long name cut to 79")
            << replyBytes(r, QByteArray(100, 'a') + QByteArray("\0DUVO 96\0", 9)) << true
            << QString(79, QLatin1Char('a')) << "DUVO 96" << false;
        Bytes request = replyBytes(r, QByteArray("DuvoNet\0DUVO 96\0", 16));
        std::memcpy(request.data(), "DVMQ", 4);
        QTest::newRow("own request") << request << false << "" << "" << false;
        Bytes shortOne = replyBytes(r, QByteArray());
        shortOne.resize(152);
        QTest::newRow("152 bytes") << shortOne << false << "" << "" << false;
    }

    void parseDiscoveryReply()
    {
        QFETCH(Bytes, datagram);
        QFETCH(bool, valid);
        QFETCH(QString, application);
        QFETCH(QString, type);
        QFETCH(bool, password);
        // An exact-size copy on the heap, so a read past the end is caught by the sanitizer.
        auto copy = std::make_unique<uint8_t[]>(datagram.size());
        std::memcpy(copy.get(), datagram.data(), datagram.size());
        const auto parsed = ParseDiscoveryReply(copy.get(), datagram.size(), ip(10, 0, 0, 5));
        QCOMPARE(parsed.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(QString::fromStdString(parsed->application), application);
        QCOMPARE(QString::fromStdString(parsed->type), type);
        QCOMPARE(parsed->passwordNeeded, password);
        QVERIFY(parsed->record.bytes == record(1, 2, ip(10, 0, 0, 5)).bytes);
        QVERIFY(parsed->source == ip(10, 0, 0, 5));
    }

    void listKeepsKeyOrderAndTreeKeepsArrival()
    {
        UnitList list;
        std::vector<InsertResult::Kind> kinds;
        for (uint8_t k : {0x30, 0x10, 0x20}) {
            const InsertResult r = list.InsertDeviceReply(reply(record(0x01, k, ip(10, 0, 0, k)), ip(10, 0, 0, k)));
            QCOMPARE(r.kind, InsertResult::NewDevice);
            QCOMPARE(r.first, k == 0x30);
        }
        QCOMPARE(list.devices().size(), size_t(3));
        QCOMPARE(int(list.devices()[0]->key[5]), 0x10);
        QCOMPARE(int(list.devices()[1]->key[5]), 0x20);
        QCOMPARE(int(list.devices()[2]->key[5]), 0x30);
        // The same single interface again changes nothing.
        QCOMPARE(list.InsertDeviceReply(reply(record(0x01, 0x20, ip(10, 0, 0, 0x20)), ip(10, 0, 0, 0x20))).kind,
                 InsertResult::Ignored);
    }

    void interfacesOfOneDevice()
    {
        const Mac base = {0x00, 0x03, 0xF4, 0x00, 0x00, 0x07};
        UnitList list;
        list.InsertDeviceReply(reply(record(0x01, 0x01, ip(10, 0, 0, 1), Ethernet, base), ip(10, 0, 0, 1)));
        InsertResult r = list.InsertDeviceReply(reply(record(0x01, 0x02, ip(10, 0, 0, 2), WiFi, base), ip(10, 0, 0, 2)));
        QCOMPARE(r.kind, InsertResult::Split);
        UnitNode &device = *list.devices()[0];
        QCOMPARE(r.node, &device);
        QCOMPARE(device.children.size(), size_t(2));
        QCOMPARE(device.children[0]->record.mac()[5], uint8_t(1));
        QCOMPARE(device.children[1]->record.mac()[5], uint8_t(2));
        QCOMPARE(NodeStateImage(device), 1);
        QCOMPARE(FormatNodeLabel(device), std::string("DuvoNet [00-03-F4-00-00-07] running DUVO 96"));
        QCOMPARE(FormatNodeLabel(*device.children[1]), std::string("WiFi [00-03-F4-00-01-02] at 10.0.0.2"));
        QCOMPARE(NodeStateImage(*device.children[1]), 4);

        r = list.InsertDeviceReply(reply(record(0x01, 0x03, ip(10, 0, 0, 3), Ethernet2, base), ip(10, 0, 0, 3)));
        QCOMPARE(r.kind, InsertResult::NewInterface);
        QCOMPARE(r.node->parent, &device);
        QCOMPARE(FormatNodeLabel(*r.node), std::string("Ethernet2 [00-03-F4-00-01-03] at 10.0.0.3"));
        QCOMPARE(VerifyPairs(list).size(), size_t(3));
        // Repeats of any interface change nothing.
        for (uint8_t k : {1, 2, 3})
            QCOMPARE(list.InsertDeviceReply(reply(record(0x01, k, ip(10, 0, 0, k), Ethernet, base), ip(10, 0, 0, k))).kind,
                     InsertResult::Ignored);
    }

    void mismatchingInterfaceIsReplacedOnlyByAMatchingReply()
    {
        const Mac base = {0x00, 0x03, 0xF4, 0x00, 0x00, 0x07};
        UnitList list;
        list.InsertDeviceReply(reply(record(0x01, 0x01, ip(10, 0, 0, 1), Ethernet, base), ip(10, 0, 0, 1)));
        list.InsertDeviceReply(reply(record(0x01, 0x02, ip(10, 0, 0, 2), Ethernet, base), ip(10, 0, 0, 99)));
        UnitNode &second = *list.devices()[0]->children[1];
        QCOMPARE(NodeStateImage(second), 3);
        // Shown address: the active one, since the source does not match.
        QCOMPARE(FormatNodeLabel(second), std::string("Ethernet [00-03-F4-00-01-02] at 10.0.0.2"));
        // The same interface again from the foreign address: still one node, not a second.
        QCOMPARE(list.InsertDeviceReply(reply(record(0x01, 0x02, ip(10, 0, 0, 2), Ethernet, base), ip(10, 0, 0, 99))).kind,
                 InsertResult::Ignored);
        QCOMPARE(list.devices()[0]->children.size(), size_t(2));
        // From its own address it takes the reply.
        const InsertResult r = list.InsertDeviceReply(
            reply(record(0x01, 0x02, ip(10, 0, 0, 2), Ethernet, base), ip(10, 0, 0, 2), "DuvoNet", "DUVO 24"));
        QCOMPARE(r.kind, InsertResult::Replaced);
        QCOMPARE(r.node, &second);
        QCOMPARE(NodeStateImage(second), 2);
        QCOMPARE(second.type, std::string("DUVO 24"));
    }

    void singleDeviceLabels_data()
    {
        QTest::addColumn<Ipv4>("staticIp");
        QTest::addColumn<Ipv4>("activeIp");
        QTest::addColumn<Ipv4>("source");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("image");
        QTest::newRow("static") << ip(10, 0, 0, 5) << ip(10, 0, 0, 5) << ip(10, 0, 0, 5) << 0
                                << "DuvoNet [00-03-F4-00-AB-0C] at 10.0.0.5  Type: DUVO 96" << 2;
        QTest::newRow("dhcp") << ip(0, 0, 0, 0) << ip(10, 0, 0, 8) << ip(10, 0, 0, 8) << 0
                              << "DuvoNet [00-03-F4-00-AB-0C] DHCP at 10.0.0.8  Type: DUVO 96" << 2;
        QTest::newRow("wifi foreign source") << ip(10, 0, 0, 5) << ip(10, 0, 0, 6) << ip(10, 0, 0, 9) << 1
                                             << "DuvoNet [00-03-F4-00-AB-0C] at 10.0.0.6  Type: DUVO 96" << 5;
        QTest::newRow("nothing set, foreign source")
            << ip(0, 0, 0, 0) << ip(0, 0, 0, 0) << ip(10, 0, 0, 9) << 4
            << "DuvoNet [00-03-F4-00-AB-0C] DHCP at 0.0.0.0  Type: DUVO 96" << 3;
    }

    void singleDeviceLabels()
    {
        QFETCH(Ipv4, staticIp);
        QFETCH(Ipv4, activeIp);
        QFETCH(Ipv4, source);
        QFETCH(int, kind);
        QFETCH(QString, label);
        QFETCH(int, image);
        UnitConfigRecord r = record(0xAB, 0x0C, staticIp, uint8_t(kind));
        r.setActiveIp(activeIp);
        UnitList list;
        list.InsertDeviceReply(reply(r, source));
        QCOMPARE(QString::fromStdString(FormatNodeLabel(*list.devices()[0])), label);
        QCOMPARE(NodeStateImage(*list.devices()[0]), image);
    }

    void wepKeyAndWirelessText()
    {
        QCOMPARE(CheckWepKeyText(""), WepCheck::Ok);
        QCOMPARE(CheckWepKeyText("12345"), WepCheck::BadLength);
        QCOMPARE(CheckWepKeyText("0123456789"), WepCheck::Ok);
        QCOMPARE(CheckWepKeyText("abcDEF0123"), WepCheck::Ok);
        QCOMPARE(CheckWepKeyText("012345678g"), WepCheck::BadCharacters);
        QCOMPARE(CheckWepKeyText(std::string(26, 'f')), WepCheck::Ok);
        QCOMPARE(CheckWepKeyText(std::string(25, 'f')), WepCheck::BadLength);

        QCOMPARE(ReadWirelessSettings("SSID:labnet,WEP:0123456789").ssid, std::string("labnet"));
        QCOMPARE(ReadWirelessSettings("SSID:labnet,WEP:0123456789").wep, std::string("0123456789"));
        QCOMPARE(ReadWirelessSettings("SSID:labnet").wep, std::string());
        QCOMPARE(ReadWirelessSettings("SSID:labnet").ssid, std::string("labnet"));
        QCOMPARE(ReadWirelessSettings("duvo.bin").ssid, std::string());
        QCOMPARE(WirelessText("a", "b"), std::string("SSID:a,WEP:b"));
        QCOMPARE(WirelessText(std::string(90, 's'), "").size(), size_t(79));
    }

    void socketRelaysEveryDatagramWithItsSender()
    {
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress(QStringLiteral("127.0.81.3")), 0));
        CDiscoverySocket socket("127.0.81.2", "127.0.81.1");
        socket.setRelay("127.0.81.3", listener.localPort());
        std::vector<DiscoveryReply> replies;
        socket.setReplyHandler([&](const DiscoveryReply &r) { replies.push_back(r); });
        QVERIFY(socket.open());
        // A second socket on the same port fails to open.
        CDiscoverySocket second("127.0.81.2", "127.0.81.1");
        QVERIFY(!second.open());

        QUdpSocket module;
        QVERIFY(module.bind(QHostAddress(QStringLiteral("127.0.81.4")), 0));
        const Bytes valid = replyBytes(record(1, 2, ip(127, 0, 81, 4)), QByteArray("DuvoNet\0DUVO 96\0", 16));
        const QByteArray foreign(1024, 'z');  // the largest datagram the socket reads
        const QByteArray request("DVMQR" + QByteArray(148, '\0'));
        for (const QByteArray &d : {qbytes(valid), foreign, request})
            module.writeDatagram(d, QHostAddress(QStringLiteral("127.0.81.1")), 20034);

        QList<QByteArray> relayed;
        QDeadlineTimer deadline(5000);
        while (relayed.size() < 3 && !deadline.hasExpired()) {
            socket.receivePending();
            while (listener.hasPendingDatagrams())
                relayed << listener.receiveDatagram().data();
            QTest::qWait(10);
        }
        QCOMPARE(relayed.size(), 3);
        const QByteArray from("\x7F\x00\x51\x04", 4);
        QCOMPARE(relayed[0], qbytes(valid) + from);
        QCOMPARE(relayed[1], foreign + from);
        QCOMPARE(relayed[2], request + from);
        QCOMPARE(replies.size(), size_t(1));
        QVERIFY(replies[0].source == ip(127, 0, 81, 4));
        QCOMPARE(replies[0].type, std::string("DUVO 96"));
    }
};

QTEST_GUILESS_MAIN(TestConfigMessages)
#include "tst_configmessages.moc"
