// The firmware upload against a network that duplicates a datagram (127.0.197.0/24): the
// module's acknowledgement of the last block arrives twice. The duplicate carries the same
// reply type and address as the module's finish reply, so it must not end the upload before
// the module has answered the finish request itself.

#include "duvosim/SimModules.h"
#include "link/FirmwareUpload.h"
#include "SRecordText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace duvo::firmware;
using namespace duvosim;
using duvo::test::srecordText;

namespace {

const std::string Net = "127.0.197.";

} // namespace

class TestFirmwareDuplicate : public QObject {
    Q_OBJECT
private slots:
    // 1500 bytes: the start (request 0), four blocks (1 to 4), the finish (5). The last
    // block's acknowledgement is duplicated; with a corrupted block the module answers the
    // finish with "checksum wrong", which the upload must report, and with a good image the
    // upload ends only after the module's own finish reply.
    void duplicatedLastAcknowledgementIsNotTheFinishReply_data()
    {
        QTest::addColumn<bool>("corrupt");
        QTest::addColumn<int>("result");
        QTest::newRow("module checksum fails") << true << ErrModuleChecksum;
        QTest::newRow("good image") << false << int(UploadOk);
    }
    void duplicatedLastAcknowledgementIsNotTheFinishReply()
    {
        QFETCH(bool, corrupt);
        QFETCH(int, result);
        QTemporaryDir dir;
        QByteArray data;
        for (int i = 0; i < 1500; ++i)
            data.append(char((i * 31 + 5) & 0xFF));
        const QString path = dir.filePath(QStringLiteral("DUVO96.s19"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(srecordText(0x10000, data));
        }
        for (int round = 0; round < 5; ++round) {  // the race the duplicate makes, several times
            SimModuleNetwork net(Net + "2");
            SimModule m;
            m.address = Net + "10";
            m.mac = {0x00, 0x03, 0xF4, 0x00, 0x03, 0x01};
            m.baseMac = m.mac;
            m.upload.fault = corrupt ? UploadFault::CorruptBlock : UploadFault::None;
            m.upload.duplicateAt = 4;  // the last block's acknowledgement
            net.add(m);
            QVERIFY(net.start());
            uint8_t address[4] = {127, 0, 197, 10};
            UploadOptions o;
            o.bind = Net + "1";
            o.waitMs = 30;
            o.uploadId = 0x70000000u + uint32_t(round);
            QCOMPARE(UploadFirmware(address, path.toStdString(), 0, {}, {}, o), result);
            const SimUploadStatus s = net.uploadStatus(0);
            QCOMPARE(s.finishes, 1);
            QCOMPARE(s.completed, !corrupt);
            QCOMPARE(s.replies, 6);
        }
    }
};

QTEST_GUILESS_MAIN(TestFirmwareDuplicate)
#include "tst_firmware_duplicate.moc"
