// The firmware upload: the request bytes, the reply handling driven reply by reply and tick
// by tick, and whole uploads against simulated network modules on this test's own loopback
// /24 (127.0.104.0/24), with the modules' faults switched on one at a time.

#include "duvosim/SimModules.h"
#include "link/FirmwareUpload.h"
#include "SRecordText.h"
#include "link/FirmwareUploadJob.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace duvo::firmware;
using namespace duvosim;
using duvo::test::srecordText;

namespace {

const std::string Net = "127.0.104.";
const std::string Workstation = Net + "1";
const std::string Hub = Net + "2";
constexpr int FastWaitMs = 30; // six silent waits (180 ms) before a resend

QByteArray bytes(const std::vector<uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
}

uint32_t be32(const std::vector<uint8_t> &v, size_t at)
{
    return (uint32_t(v[at]) << 24) | (uint32_t(v[at + 1]) << 16) | (uint32_t(v[at + 2]) << 8) | v[at + 3];
}

SRecordImage makeImage(uint32_t base, uint32_t size)
{
    SRecordImage image;
    image.base = base;
    image.size = size;
    for (uint32_t i = 0; i < size; ++i)
        image.bytes.push_back(uint8_t(i * 7 + 3));
    image.checksum = ImageChecksum(image.bytes);
    return image;
}

std::vector<uint8_t> reply(uint8_t type, uint32_t id, uint32_t address)
{
    return SimFirmwareReceiver::reply(type, id, address);
}

// The upload state with every request recorded in place of a socket.
class RecordingUpload : public ModuleUpdateSocket {
public:
    using ModuleUpdateSocket::ModuleUpdateSocket;
    std::vector<std::vector<uint8_t>> sent;

    void feed(const std::vector<uint8_t> &datagram) { OnDatagram(datagram.data(), datagram.size()); }
    const std::vector<uint8_t> &last() const { return sent.back(); }
    uint32_t lastAddress() const { return be32(last(), 12); }
    uint32_t lastLength() const { return be32(last(), 16); }
    int lastType() const { return last()[5]; }

protected:
    void SendRequest(const std::vector<uint8_t> &request) override { sent.push_back(request); }
};

constexpr uint32_t Id = 0x5F5E1000;


} // namespace

class TestFirmwareUpload : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FImagePath;
    QByteArray FData;
    std::unique_ptr<SimModuleNetwork> FModules;

    SimModule module(int k)
    {
        SimModule m;
        m.address = Net + std::to_string(10 + k);
        m.mac = {0x00, 0x03, 0xF4, 0x00, 0x02, uint8_t(k)};
        m.baseMac = m.mac;
        return m;
    }

    int upload(int k, const std::string &user = {}, const std::string &password = {},
               const std::atomic<bool> *stop = nullptr, const std::string &path = {})
    {
        uint8_t address[4] = {127, 0, 104, uint8_t(10 + k)};
        UploadOptions o;
        o.bind = Workstation;
        o.waitMs = FastWaitMs;
        o.stop = stop;
        return UploadFirmware(address, path.empty() ? FImagePath.toStdString() : path, 0, user, password, o);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(FDir.isValid());
        // 1500 bytes from 0x10000: four blocks (470, 470, 470, 90).
        for (int i = 0; i < 1500; ++i)
            FData.append(char((i * 31 + 5) & 0xFF));
        FImagePath = FDir.filePath("DUVO96_2_1.s19");
        QFile f(FImagePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(srecordText(0x10000, FData));
    }

    void init()
    {
        FModules = std::make_unique<SimModuleNetwork>(Hub);
        for (int k = 0; k < 3; ++k)
            FModules->add(module(k));
        std::string error;
        QVERIFY2(FModules->start(&error), error.c_str());
    }

    void cleanup() { FModules.reset(); }

    void requestBytes_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("start")
            << bytes(StartRequest(0x5F5E1000, 0x00010000, 1500))
            << QByteArray::fromHex("44564D51" "41" "01" "0000" "5F5E1000" "00010000" "000005DC" "00000000");
        QTest::newRow("start with credentials")
            << bytes(StartRequestWithCredentials(0x01020304, 0x8000, 0x10, "ab", "xyz"))
            << QByteArray::fromHex("44564D51" "41" "01" "0000" "01020304" "00008000" "00000010"
                                   "616200" "78797A00" "00000000");
        QTest::newRow("start with a password only")
            << bytes(StartRequestWithCredentials(1, 0, 4, "", "pw"))
            << QByteArray::fromHex("44564D51" "41" "01" "0000" "00000001" "00000000" "00000004"
                                   "00" "707700" "00000000");
        const uint8_t data[3] = {0xDE, 0xAD, 0x01};
        QTest::newRow("data block")
            << bytes(DataRequest(0xA0B0C0D0, 0x000101D6, data, 3))
            << QByteArray::fromHex("44564D51" "41" "02" "0000" "A0B0C0D0" "000101D6" "00000003" "DEAD01");
        QTest::newRow("finish")
            << bytes(FinishRequest(7, 0x000105DC, 0xCAFEF00D))
            << QByteArray::fromHex("44564D51" "41" "04" "0000" "00000007" "000105DC" "CAFEF00D" "00000000");
    }
    void requestBytes()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        QCOMPARE(request.toHex(), expected.toHex());
    }

    void credentialsLengthIs26PlusTexts()
    {
        QCOMPARE(StartRequestWithCredentials(1, 0, 4, "admin", "secret").size(), size_t(26 + 5 + 6));
    }

    // --- reply handling, without a socket ---

    void blocksOf470AndTheRest()
    {
        RecordingUpload u(makeImage(0x1000, 472), Id, "", "");
        u.Begin();
        QCOMPARE(u.lastType(), int(RequestStart));
        QCOMPARE(u.lastAddress(), 0x1000u);
        QCOMPARE(u.lastLength(), 472u);
        u.feed(reply(0, Id, 0x1000));
        QCOMPARE(u.lastType(), int(RequestData));
        QCOMPARE(u.lastAddress(), 0x1000u);
        QCOMPARE(u.lastLength(), 470u);
        QCOMPARE(u.last().size(), size_t(20 + 470));
        QCOMPARE(int(u.last()[20]), 3);
        u.feed(reply(0, Id, 0x1000 + 470));
        QCOMPARE(u.lastAddress(), 0x1000u + 470);
        QCOMPARE(u.lastLength(), 2u);
        QCOMPARE(u.last().size(), size_t(22));
        QCOMPARE(int(u.last()[21]), int(uint8_t(471 * 7 + 3)));
        u.feed(reply(0, Id, 0x1000 + 472));
        QCOMPARE(u.lastType(), int(RequestFinish));
        QCOMPARE(u.lastAddress(), 0x1000u + 472);
        QCOMPARE(u.lastLength(), ImageChecksum(makeImage(0x1000, 472).bytes));
        QCOMPARE(u.sent.size(), size_t(4));
        u.feed(reply(0, Id, 0x1000 + 472));
        QCOMPARE(u.Phase(), UploadPhase::Done);
        QCOMPARE(u.Error(), 0);
        QCOMPARE(u.sent.size(), size_t(4));
    }

    void moduleChoosesTheNextAddress()
    {
        RecordingUpload u(makeImage(0x1000, 1500), Id, "", "");
        u.Begin();
        u.feed(reply(0, Id, 0x1000));
        u.feed(reply(0, Id, 0x1000 + 470));
        u.feed(reply(0, Id, 0x1000 + 940));
        // An acknowledgement in the middle of the last block: the rest from there.
        u.feed(reply(0, Id, 0x1000 + 1450));
        QCOMPARE(u.lastAddress(), 0x1000u + 1450);
        QCOMPARE(u.lastLength(), 50u);
        // "Send again from" takes the upload back, even behind where it was.
        u.feed(reply(7, Id, 0x1000 + 940));
        QCOMPARE(u.lastAddress(), 0x1000u + 940);
        QCOMPARE(u.lastLength(), 470u);
        // Any other reply in the data phase repeats the current block.
        const size_t before = u.sent.size();
        u.feed(reply(6, Id, 0x1000));
        QCOMPARE(u.sent.size(), before + 1);
        QCOMPARE(u.lastAddress(), 0x1000u + 940);
        QCOMPARE(u.sent[before - 1], u.last());
    }

    void repliesOutsideTheImageRepeatTheBlock_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<quint32>("address");
        QTest::newRow("accepted, below the image") << 0 << quint32(0x0FFF);
        QTest::newRow("accepted, address zero") << 0 << quint32(0);
        QTest::newRow("send again, below the image") << 7 << quint32(0x10);
        QTest::newRow("send again, at the end") << 7 << quint32(0x1000 + 1500);
        QTest::newRow("send again, far past the end") << 7 << quint32(0xFFFFFFF0);
    }
    void repliesOutsideTheImageRepeatTheBlock()
    {
        QFETCH(int, type);
        QFETCH(quint32, address);
        RecordingUpload u(makeImage(0x1000, 1500), Id, "", "");
        u.Begin();
        u.feed(reply(0, Id, 0x1000));
        u.feed(reply(0, Id, 0x1000 + 470));
        u.feed(reply(uint8_t(type), Id, address));
        QCOMPARE(u.Phase(), UploadPhase::Data);
        QCOMPARE(u.lastType(), int(RequestData));
        QCOMPARE(u.lastAddress(), 0x1000u + 470);
        QCOMPARE(u.lastLength(), 470u);
        QCOMPARE(u.last().size(), size_t(490));
    }

    void neverAnswered()
    {
        RecordingUpload u(makeImage(0, 8), Id, "", "");
        u.Begin();
        int ticks = 0;
        while (!u.Finished() && ticks < 100) {
            u.Tick();
            ++ticks;
        }
        // Sent at 0, then after 6, 12, 18 and 24 silent waits (12 s each at 2 s a wait).
        QCOMPARE(ticks, 24);
        QCOMPARE(u.sent.size(), size_t(5));
        for (const auto &r : u.sent)
            QCOMPARE(r, StartRequest(Id, 0, 8));
        QCOMPARE(u.Error(), ErrTimedOut);
    }

    void foreignIdentifierIsIgnored()
    {
        RecordingUpload u(makeImage(0, 8), Id, "", "");
        u.Begin();
        for (int i = 0; i < 12; ++i)
            u.Tick();
        QCOMPARE(u.ResendCount(), 2);
        u.feed(reply(0, Id + 1, 0));
        u.feed(reply(0, Id - 1, 0));
        QCOMPARE(u.ResendCount(), 2);
        QCOMPARE(u.Phase(), UploadPhase::Start);
        QCOMPARE(u.sent.size(), size_t(3));
        // Too short to be a reply, though it starts like one.
        std::vector<uint8_t> cut = reply(0, Id, 0);
        cut.resize(16);
        u.feed(cut);
        QCOMPARE(u.Phase(), UploadPhase::Start);
        QCOMPARE(u.ResendCount(), 2);
        // The own identifier resets the count.
        u.feed(reply(0, Id, 0));
        QCOMPARE(u.ResendCount(), 0);
        QCOMPARE(u.Phase(), UploadPhase::Data);
    }

    void busyKeepsTheUploadAlive()
    {
        RecordingUpload u(makeImage(0, 8), Id, "", "");
        u.Begin();
        for (int round = 0; round < 50; ++round) {
            for (int i = 0; i < 17; ++i)
                u.Tick();
            u.feed(reply(5, Id, 0));
        }
        QVERIFY(!u.Finished());
        QCOMPARE(u.Phase(), UploadPhase::Start);
    }

    void startReplies_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("phase");
        QTest::newRow("credentials needed, none given") << 1 << QString() << ErrCredentialsNeeded << int(UploadPhase::Start);
        QTest::newRow("credentials wrong") << 2 << QString("admin") << ErrCredentialsWrong << int(UploadPhase::Start);
        QTest::newRow("no memory") << 3 << QString() << ErrNoMemory << int(UploadPhase::Start);
        QTest::newRow("refused to shut down") << 4 << QString() << ErrRefusedShutdown << int(UploadPhase::Start);
        QTest::newRow("checksum reply ignored") << 6 << QString() << 0 << int(UploadPhase::Start);
        QTest::newRow("send again ignored") << 7 << QString() << 0 << int(UploadPhase::Start);
        QTest::newRow("unknown type ignored") << 99 << QString() << 0 << int(UploadPhase::Start);
        QTest::newRow("credentials needed and given") << 1 << QString("admin") << 0 << int(UploadPhase::StartWithCredentials);
    }
    void startReplies()
    {
        QFETCH(int, type);
        QFETCH(QString, user);
        QFETCH(int, error);
        QFETCH(int, phase);
        RecordingUpload u(makeImage(0x200, 8), Id, user.toStdString(), user.isEmpty() ? "" : "pw");
        u.Begin();
        u.feed(reply(uint8_t(type), Id, 0));
        QCOMPARE(u.Error(), error);
        QCOMPARE(int(u.Phase()), phase);
        if (phase == int(UploadPhase::StartWithCredentials)) {
            QCOMPARE(u.last(), StartRequestWithCredentials(Id, 0x200, 8, "admin", "pw"));
            // A resend in this phase repeats the request with the credentials.
            for (int i = 0; i < 6; ++i)
                u.Tick();
            QCOMPARE(u.last(), StartRequestWithCredentials(Id, 0x200, 8, "admin", "pw"));
        } else {
            QCOMPARE(u.sent.size(), size_t(1));
        }
    }

    void finishReplies()
    {
        RecordingUpload u(makeImage(0, 8), Id, "", "");
        u.Begin();
        u.feed(reply(0, Id, 0));
        u.feed(reply(0, Id, 8));
        QCOMPARE(u.Phase(), UploadPhase::Finish);
        const size_t sent = u.sent.size();
        u.feed(reply(7, Id, 0)); // ignored: no block goes out after the finish request
        u.feed(reply(5, Id, 0));
        QCOMPARE(u.sent.size(), sent);
        QCOMPARE(u.Phase(), UploadPhase::Finish);
        u.feed(reply(6, Id, 8));
        QCOMPARE(u.Error(), ErrModuleChecksum);
        QVERIFY(u.Finished());
    }

    // --- the simulated module's own checks, request by request ---

    void simulatedModuleChecksWhatItGets_data()
    {
        QTest::addColumn<int>("blocks");      // good blocks sent before the probe
        QTest::addColumn<QByteArray>("probe");
        QTest::addColumn<int>("type");
        QTest::addColumn<quint32>("address");
        const SRecordImage image = makeImage(0x1000, 1000);
        const uint8_t *b = image.bytes.data();
        QTest::newRow("next block accepted") << 1 << bytes(DataRequest(Id, 0x1000 + 470, b + 470, 470)) << 0 << quint32(0x1000 + 940);
        QTest::newRow("repeated block accepted") << 2 << bytes(DataRequest(Id, 0x1000 + 470, b + 470, 470)) << 0 << quint32(0x1000 + 940);
        QTest::newRow("hole: send again from") << 1 << bytes(DataRequest(Id, 0x1000 + 940, b + 940, 60)) << 7 << quint32(0x1000 + 470);
        QTest::newRow("past the image") << 2 << bytes(DataRequest(Id, 0x1000 + 940, b + 940, 64)) << 7 << quint32(0x1000 + 940);
        QTest::newRow("before the image") << 1 << bytes(DataRequest(Id, 0x0F00, b, 16)) << 7 << quint32(0x1000 + 470);
        QTest::newRow("block too long") << 0 << bytes(DataRequest(Id, 0x1000, std::vector<uint8_t>(480).data(), 480)) << 7 << quint32(0x1000);
        std::vector<uint8_t> lying = DataRequest(Id, 0x1000, b, 470);
        lying.resize(400);
        QTest::newRow("length field lies") << 0 << bytes(lying) << 7 << quint32(0x1000);
        QTest::newRow("finish too early") << 1 << bytes(FinishRequest(Id, 0x1000 + 1000, image.checksum)) << 7 << quint32(0x1000 + 470);
        QTest::newRow("finish, checksum right") << 3 << bytes(FinishRequest(Id, 0x1000 + 1000, image.checksum)) << 0 << quint32(0x1000 + 1000);
        QTest::newRow("finish, checksum wrong") << 3 << bytes(FinishRequest(Id, 0x1000 + 1000, image.checksum + 1)) << 6 << quint32(0x1000 + 1000);
    }
    void simulatedModuleChecksWhatItGets()
    {
        QFETCH(int, blocks);
        QFETCH(QByteArray, probe);
        QFETCH(int, type);
        QFETCH(quint32, address);
        const SRecordImage image = makeImage(0x1000, 1000);
        SimFirmwareReceiver module;
        const SimUploadSettings settings;
        const std::vector<uint8_t> start = StartRequest(Id, 0x1000, 1000);
        QCOMPARE(module.handle(settings, start.data(), start.size()), reply(0, Id, 0x1000));
        for (int k = 0; k < blocks; ++k) {
            const uint32_t off = uint32_t(k) * 470;
            const std::vector<uint8_t> block =
                DataRequest(Id, 0x1000 + off, image.bytes.data() + off, std::min<uint32_t>(470, 1000 - off));
            QCOMPARE(int(module.handle(settings, block.data(), block.size())[5]), 0);
        }
        const std::vector<uint8_t> answer =
            module.handle(settings, reinterpret_cast<const uint8_t *>(probe.constData()), size_t(probe.size()));
        QCOMPARE(answer, reply(uint8_t(type), Id, address));
        QCOMPARE(module.status().completed, type == 0 && probe[5] == 4);
        // Another upload's identifier is not this module's business.
        std::vector<uint8_t> foreign = DataRequest(Id + 1, 0x1000, image.bytes.data(), 4);
        QVERIFY(module.handle(settings, foreign.data(), foreign.size()).empty());
    }

    // --- whole uploads against simulated modules ---

    void uploadsToAModule()
    {
        QCOMPARE(upload(1), 0);
        const SimUploadStatus s = FModules->uploadStatus(1);
        QVERIFY(s.completed);
        QCOMPARE(s.base, 0x10000u);
        QCOMPARE(s.size, 1500u);
        QCOMPARE(bytes(s.image), FData);
        QCOMPARE(s.blocks, 4);
        QCOMPARE(s.finishes, 1);
        // The identifier is the time in seconds at the start.
        QVERIFY(qAbs(qint64(s.uploadId) - qint64(time(nullptr))) < 60);
        // Only the addressed module saw anything.
        QCOMPARE(FModules->uploadStatus(0).requests, 0);
        QCOMPARE(FModules->uploadStatus(2).requests, 0);
    }

    void lostAcknowledgementIsResent()
    {
        SimUploadSettings lose;
        lose.fault = UploadFault::LoseAck;
        lose.faultAt = 2; // the second data block's acknowledgement
        FModules->setUpload(0, lose);
        QElapsedTimer t;
        t.start();
        QCOMPARE(upload(0), 0);
        const SimUploadStatus s = FModules->uploadStatus(0);
        // The block went again only after six silent waits.
        QVERIFY(t.elapsed() >= 5 * FastWaitMs);
        QVERIFY(s.completed);
        QCOMPARE(bytes(s.image), FData);
        QCOMPARE(s.blocks, 5);
        QCOMPARE(s.blockAddresses[1], s.blockAddresses[2]);
    }

    void failures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("requests");
        QTest::newRow("module checksum fails") << int(UploadFault::CorruptBlock) << ErrModuleChecksum << 6;
        QTest::newRow("no answer") << int(UploadFault::NoAnswer) << ErrTimedOut << 5;
        QTest::newRow("answers with another identifier") << int(UploadFault::WrongId) << ErrTimedOut << 5;
        QTest::newRow("refuses to shut down") << int(UploadFault::RefuseShutdown) << ErrRefusedShutdown << 1;
    }
    void failures()
    {
        QFETCH(int, fault);
        QFETCH(int, result);
        QFETCH(int, requests);
        SimUploadSettings settings;
        settings.fault = UploadFault(fault);
        FModules->setUpload(2, settings);
        QElapsedTimer t;
        t.start();
        QCOMPARE(upload(2), result);
        QVERIFY(t.elapsed() < 10000);
        // The last request may still be on its way to the module.
        QTRY_COMPARE_WITH_TIMEOUT(FModules->uploadStatus(2).requests, requests, 2000);
        QVERIFY(!FModules->uploadStatus(2).completed);
    }

    void tooLargeForTheModule()
    {
        SimUploadSettings small;
        small.memory = 1024;
        FModules->setUpload(1, small);
        QCOMPARE(upload(1), ErrNoMemory);
        QCOMPARE(FModules->uploadStatus(1).blocks, 0);
    }

    void busyModuleThenAccepts()
    {
        SimUploadSettings busy;
        busy.fault = UploadFault::Busy;
        busy.faultCount = 3;
        FModules->setUpload(0, busy);
        // Busy answers keep the upload alive but do not move it: the start goes again by
        // the tick rule after each one.
        QCOMPARE(upload(0), 0);
        const SimUploadStatus s = FModules->uploadStatus(0);
        QVERIFY(s.completed);
        QCOMPARE(s.starts, 1);
        QCOMPARE(s.requests, 3 + 1 + 4 + 1);
    }

    void credentials_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::newRow("right") << "service" << "s3cret" << 0;
        QTest::newRow("wrong password") << "service" << "guess" << ErrCredentialsWrong;
        QTest::newRow("none given") << "" << "" << ErrCredentialsNeeded;
    }
    void credentials()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, result);
        SimUploadSettings locked;
        locked.user = "service";
        locked.password = "s3cret";
        FModules->setUpload(1, locked);
        QCOMPARE(upload(1, user.toStdString(), password.toStdString()), result);
        const SimUploadStatus s = FModules->uploadStatus(1);
        QCOMPARE(s.completed, result == 0);
        if (result == 0)
            QCOMPARE(bytes(s.image), FData);
        QCOMPARE(s.starts, result == ErrCredentialsNeeded ? 1 : 2);
    }

    void stopFlagEndsTheUpload()
    {
        SimUploadSettings silent;
        silent.fault = UploadFault::NoAnswer;
        FModules->setUpload(0, silent);
        std::atomic<bool> stop{false};
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stop = true;
        });
        uint8_t address[4] = {127, 0, 104, 10};
        UploadOptions o;
        o.bind = Workstation;
        o.waitMs = 2000; // the product's wait: the stop must not sit it out
        o.stop = &stop;
        QElapsedTimer t;
        t.start();
        const int result = UploadFirmware(address, FImagePath.toStdString(), 0, "", "", o);
        stopper.join();
        QCOMPARE(result, ErrTimedOut);
        QVERIFY(t.elapsed() < 1000);
    }

    void jobUploadsOnAWorker()
    {
        const uint8_t address[4] = {127, 0, 104, 11};
        UploadOptions o;
        o.bind = Workstation;
        o.waitMs = FastWaitMs;
        FirmwareUploadJob job(address, FImagePath.toStdString(), {}, {}, o);
        QVERIFY(!job.started());
        job.start();
        QTRY_VERIFY_WITH_TIMEOUT(job.finished(), 10000);
        QCOMPARE(job.result(), 0);
        QVERIFY(FModules->uploadStatus(1).completed);
    }

    void jobStopsOnRequest()
    {
        SimUploadSettings silent;
        silent.fault = UploadFault::NoAnswer;
        FModules->setUpload(1, silent);
        const uint8_t address[4] = {127, 0, 104, 11};
        UploadOptions o;
        o.bind = Workstation;
        auto job = std::make_unique<FirmwareUploadJob>(address, FImagePath.toStdString(), "", "", o);
        job->start();
        QTRY_COMPARE_WITH_TIMEOUT(FModules->uploadStatus(1).requests, 1, 2000);
        QVERIFY(!job->finished());
        QElapsedTimer t;
        t.start();
        job->requestStop();
        QVERIFY(job->wait(2000));
        QVERIFY(t.elapsed() < 1000);
        QVERIFY(job->finished());
        QCOMPARE(job->result(), ErrTimedOut);
        job.reset();
    }

    void badImageSendsNothing()
    {
        const QString bad = FDir.filePath("bad.s19");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("S1130000285F245F2212226A000424290008237C2B\n");
        f.close();
        QCOMPARE(upload(0, {}, {}, nullptr, bad.toStdString()), ErrImage);
        QCOMPARE(upload(0, {}, {}, nullptr, FDir.filePath("missing.s19").toStdString()), ErrImage);
        QCOMPARE(FModules->uploadStatus(0).requests, 0);
    }

    void portTakenFailsAtOnce()
    {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(20034);
        inet_pton(AF_INET, Workstation.c_str(), &a.sin_addr);
        QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(upload(0), ErrBind);
        QVERIFY(t.elapsed() < 1000);
        close(fd);
        QCOMPARE(FModules->uploadStatus(0).requests, 0);
        // Once the port is free again the upload goes through.
        QCOMPARE(upload(0), 0);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareUpload)
#include "tst_firmware_upload.moc"
