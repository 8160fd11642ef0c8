// The firmware manager: its rules as tables, then single, batch and forced updates through
// the real windows against simulated instruments and their network modules on this test's own
// loopback /24s, with the modules' faults, a held port and a module busy for ever.

#include "duvosim/SimModuleService.h"
#include "link/FirmwareUpload.h"
#include "link/Workstation.h"
#include "maintenance/FirmwareManager.h"
#include "maintenance/forms/TFWMgrForm.h"
#include "maintenance/forms/TFlashForm.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace duvo;
using namespace duvo::test;

namespace {

QString srecord(int type, uint32_t address, const QByteArray &data, int addressBytes)
{
    QByteArray b;
    for (int i = addressBytes - 1; i >= 0; --i)
        b.append(char((address >> (8 * i)) & 0xFF));
    b.append(data);
    int sum = b.size() + 1;
    for (const char c : b)
        sum += uchar(c);
    return QStringLiteral("S%1%2%3%4")
        .arg(type)
        .arg(b.size() + 1, 2, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(b.toHex()))
        .arg(0xFF - (sum & 0xFF), 2, 16, QLatin1Char('0'))
        .toUpper();
}

// An ".s19" image of `size` bytes whose data begins with the firmware marker the simulated
// instruments read after an upload.
QString writeImage(const QString &path, const QByteArray &marker, int size = 2048)
{
    QByteArray data = marker;
    while (data.size() < size)
        data.append(char((data.size() * 37 + 11) & 0xFF));
    QStringList lines{srecord(0, 0, "demo", 2)};
    for (int off = 0; off < data.size(); off += 32)
        lines << srecord(3, 0x100000 + uint32_t(off), data.mid(off, 32), 4);
    lines << srecord(7, 0x100000, {}, 4);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    return path;
}

std::unique_ptr<DVDEVICEINFO_T> record(const std::string &ip, const std::string &type, const std::string &state = "Stopped")
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = ip;
    d->typeText = type;
    d->runState = state;
    d->deviceId = "BCBB" + ip.substr(ip.rfind('.') + 1);
    d->firmware = "2.4.1";
    return d;
}

// A lab of simulated instruments with their network modules for one test. While it lives,
// the workstation's upload socket binds the lab's own address (put back however the test
// ends) and the device list holds the lab's instruments, idle unless states says otherwise.
struct FlashLab {
    SimulatedLab lab;
    duvosim::SimModuleService *modules = nullptr;
    QByteArray savedBind = qgetenv("DUVO_MODULE_BIND");
    Workstation ws;

    FlashLab(const std::string &base, const QStringList &types, const QStringList &states = {}) : lab(base, 0)
    {
        for (const QString &type : types)
            lab.lab().addInstrument(type.toStdString());
        modules = duvosim::SimModuleService::install(lab.lab());
        qputenv("DUVO_MODULE_BIND", (base + ".1").c_str());
        for (int k = 0; k < types.size(); ++k)
            ws.FDeviceList.Add(record(lab.address(k), types[k].toStdString(),
                                      states.value(k, QStringLiteral("Stopped")).toStdString()));
    }
    ~FlashLab() { qputenv("DUVO_MODULE_BIND", savedBind); }
    duvosim::SimUploadStatus upload(int k) const { return modules->network().uploadStatus(k); }
};

// Shows the manager with the image chosen, and Batch Update All checked when batch.
void chooseImage(TFWMgrForm &form, const QString &image, bool batch)
{
    form.show();
    form.FWEdit1->setText(image);
    form.FWEdit1Change();
    form.BulkBox1->setChecked(batch);
}

// Records the progress text of every flash window that comes up while the call runs; act, when
// set, runs once on each of them.
QStringList flashWindowsDuring(const std::function<void()> &call, const std::function<void(TFlashForm *)> &act = {})
{
    QStringList seen;
    QPointer<TFlashForm> last;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *f = qobject_cast<TFlashForm *>(QApplication::activeModalWidget());
        if (f && f != last) {
            last = f;
            seen << f->lblStatus->text();
            if (act)
                act(f);
        }
    });
    poll.start();
    call();
    return seen;
}

struct FastTimings {
    FirmwareTimings saved = FirmwareTimings::current();
    FastTimings(int tickLimit = 600)
    {
        FirmwareTimings &t = FirmwareTimings::current();
        t.startMs = 10;
        t.tickMs = 20;
        t.tickLimit = tickLimit;
        t.waitTickMs = 10;
        t.waitTicks = 3;
        t.uploadWaitMs = 50;
    }
    ~FastTimings() { FirmwareTimings::current() = saved; }
};

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString image96() { return writeImage(FDir.filePath(QStringLiteral("Duvo_FW_2.5.0_96_demo.s19")), "DUVOFW=2.5.0;TYPE=DUVO 96;"); }

private slots:
    void initTestCase()
    {
        qputenv("DUVO_MODULE_TARGET", "127.0.221.2");
        qputenv("DUVO_MODULE_BIND", "127.0.221.1");
    }

    void errorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("bind") << -101 << "Error IP Bind";
        QTest::newRow("timeout") << -202 << "Error file timeout";
        QTest::newRow("no password") << -203 << "Error no password";
        QTest::newRow("password") << -204 << "Error invalid password";
        QTest::newRow("checksum") << -207 << "Error checksum";
        QTest::newRow("memory") << -301 << "Error memory alloc";
        QTest::newRow("unknown") << -999 << "";
        QTest::newRow("zero") << 0 << "";
    }
    void errorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(FlashErrorText(code), text);
    }

    void imageNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("usable");
        QTest::newRow("96") << "Duvo_FW_1.45_96_a.s19" << "" << "FW 1.45" << "96" << "Duvo\u00ae 96-well Thermal Cycler" << true;
        QTest::newRow("24") << "Duvo_FW_1.45_24_a.s19" << "" << "FW 1.45" << "24" << "Duvo\u00ae 24-well Thermal Cycler" << true;
        QTest::newRow("upper extension") << "Duvo_FW_1.45_96_a.S19" << "Filename extension is not for a valid Firmware file!" << "" << "" << "" << false;
        QTest::newRow("three parts") << "Duvo_FW_1.45.s19" << "Firmware filename naming convention not correct!" << "" << "" << "" << false;
        QTest::newRow("family 48") << "Duvo_FW_1.45_48_a.s19" << "" << "FW 1.45" << "48" << "Unknown" << false;
        QTest::newRow("blank splits") << "Duvo FW_1.45_96_a.s19" << "" << "FW 1.45" << "96" << "Duvo\u00ae 96-well Thermal Cycler" << true;
        QTest::newRow("quotes group") << "Duvo_\"F_W\"_1.45_96_a.s19" << "" << "F_W 1.45" << "96" << "Duvo\u00ae 96-well Thermal Cycler" << true;
        QTest::newRow("family with extension") << "Duvo_FW_1.45_96.s19" << "" << "FW 1.45" << "96.s19" << "Unknown" << false;
    }
    void imageNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        QFETCH(QString, version);
        QFETCH(QString, family);
        QFETCH(QString, type);
        QFETCH(bool, usable);
        const QString path = writeImage(FDir.filePath(name), "x", 64);
        QVERIFY(!path.isEmpty());
        const FirmwareImageCheck check = CheckFirmwareImage(path);
        QCOMPARE(check.error, error);
        if (error.isEmpty()) {
            QCOMPARE(check.version, version);
            QCOMPARE(check.family, family);
            QCOMPARE(check.typeText, type);
        }
        QCOMPARE(check.usable(), usable);
    }

    void missingImage()
    {
        QCOMPARE(CheckFirmwareImage(FDir.filePath(QStringLiteral("none_FW_1_96_a.s19"))).error,
                 QStringLiteral("Can not find selected Firmware file!"));
        QCOMPARE(CheckFirmwareImage(QString()).error, QStringLiteral("Can not find selected Firmware file!"));
    }

    void plans_data()
    {
        QTest::addColumn<QStringList>("types");  // the device list, in order
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<bool>("force");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QStringList>("visits");  // "record:progress"
        const QStringList lab{"DUVO 24", "????", "DUVO 96", "SV cycler", "DUVO 96"};
        // Rows skip the "????" record but keep their records: row 1 is record 2.
        QTest::newRow("single 96") << lab << 1 << false << false << "" << QStringList{"2:1/1"};
        QTest::newRow("single wrong family") << lab << 0 << false << false
                                             << "Selected Device can not be flashed with selected Firmware file!" << QStringList{};
        QTest::newRow("single SV cycler") << lab << 2 << false << false
                                          << "You must select the Force Flash Update option and make sure to load the correct Firmware for the Device type!"
                                          << QStringList{};
        QTest::newRow("single SV cycler forced") << lab << 2 << false << true << "" << QStringList{"3:1/1"};
        QTest::newRow("single 24 forced") << lab << 0 << false << true << "" << QStringList{"0:1/1"};
        QTest::newRow("no row") << lab << -1 << false << false << "Can not find IP addresses!" << QStringList{};
        QTest::newRow("batch") << lab << 0 << true << false << "" << QStringList{"2:1/2", "4:2/2"};
        QTest::newRow("batch forced") << lab << 0 << true << true << ""
                                      << QStringList{"0:1/4", "2:2/4", "3:3/4", "4:4/4"};
        QTest::newRow("batch one match third") << QStringList{"DUVO 24", "DUVO 24", "DUVO 96"} << 0 << true << false << ""
                                               << QStringList{"2:1/1"};
    }
    void plans()
    {
        QFETCH(QStringList, types);
        QFETCH(int, selectedRow);
        QFETCH(bool, batch);
        QFETCH(bool, force);
        QFETCH(QString, refusal);
        QFETCH(QStringList, visits);
        DeviceList devices;
        for (int i = 0; i < types.size(); ++i)
            devices.Add(record("10.0.0." + std::to_string(i), types[i].toStdString()));
        const std::vector<int> rows = FirmwareRows(devices);
        const FirmwarePlan plan = PlanFirmwareUpdate(devices, rows, selectedRow, batch, force, QStringLiteral("96"));
        QCOMPARE(plan.refusal, refusal);
        QStringList got;
        for (const FirmwareVisit &v : plan.visits)
            got << QStringLiteral("%1:%2").arg(v.recordIndex).arg(v.progress);
        QCOMPARE(got, visits);
    }

    void windowChecksTheImageAndShowsTheSelectedRecord()
    {
        Workstation ws;
        ws.FDeviceList.Add(record("127.0.222.10", "DUVO 96"));
        ws.FDeviceList.Add(record("127.0.222.11", "????"));
        ws.FDeviceList.Add(record("127.0.222.12", "DUVO 24"));
        ws.FDeviceList.at(2)->board0 = {"1", "CPU-7", "B", "C123", "X9", "2024-01-02"};
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        form.show();
        QCOMPARE(form.ListBox1->count(), 2);
        QCOMPARE(form.ListBox1->currentRow(), 0);
        QVERIFY(!form.btnOk->isEnabled());
        QVERIFY(form.BulkBox1->isEnabled());
        form.ListBox1->setCurrentRow(1);  // the "????" record has no row: row 1 is record 2
        QCOMPARE(form.lblIP->text(), QStringLiteral("127.0.222.12"));
        QCOMPARE(form.lblSelected->text(), QStringLiteral("Selected: 127.0.222.12"));

        form.FWEdit1->setText(image96());
        form.FWEdit1Change();
        QVERIFY(form.btnOk->isEnabled());
        QCOMPARE(form.lblVersion->text(), QStringLiteral("FW 2.5.0"));
        form.FWEdit1->setText(writeImage(FDir.filePath(QStringLiteral("Duvo_FW_2.5.0_48_x.s19")), "x", 64));
        form.FWEdit1Change();
        QVERIFY(!form.btnOk->isEnabled());
        QCOMPARE(form.lblVerType->text(), QStringLiteral("Unknown"));
        prompts.answer(Ok, QStringLiteral("Can not find selected Firmware file!"), QStringLiteral("Error"));
        form.FWEdit1->setText(FDir.filePath(QStringLiteral("gone_FW_1_96_a.s19")));
        form.FWEdit1Change();
        QVERIFY(!form.btnOk->isEnabled());

        prompts.answer(Ok, QStringLiteral("forces flashing"), QStringLiteral("Warning"));
        QTest::mouseClick(form.ForceBox1, Qt::LeftButton);
        QCOMPARE(prompts.pending(), 0);
        saveShot(form, QStringLiteral("TFWMgrForm"));
    }

    void singleUpdateRestartsTheInstrumentOnItsNewFirmware()
    {
        FastTimings fast;
        TempProgramFolder folder;
        SimulatedLab lab("127.0.221", 1, "DUVO 96");
        lab.lab().setRebootMs(50);
        duvosim::SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded main;
        main.FSearchDelay = 1;
        main.FLocalIP = QStringLiteral("127.0.221.1");
        main.RescanDevices();
        QCOMPARE(main.FDeviceList.Count(), 1);
        QCOMPARE(main.FDeviceList.at(0)->firmware, std::string("2.4.1"));

        TFWMgrForm form(&main);
        form.show();
        form.FWEdit1->setText(image96());
        form.FWEdit1Change();
        QVERIFY(form.btnOk->isEnabled());
        prompts.answer(Yes, QStringLiteral("Updating Device:  127.0.221.10Duvo ID: "), QStringLiteral("Firmware Update"));
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QCOMPARE(progress, QStringList{QStringLiteral("1/1")});
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 1);
        QVERIFY(lab.instrument(0).firmware() == "2.5.0");
        // The rescan after the wait found the instrument again, on its new firmware.
        QCOMPARE(main.FDeviceList.Count(), 1);
        QCOMPARE(main.FDeviceList.at(0)->firmware, std::string("2.5.0"));
        QCOMPARE(form.lblFW->text(), QStringLiteral("2.5.0"));
        QVERIFY(form.isVisible());
    }

    void batchVisitsTheFamilyInOrder()
    {
        FastTimings fast;
        FlashLab lab("127.0.222", {"DUVO 24", "DUVO 96", "DUVO 96"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, image96(), true);
        prompts.answer(Yes, QStringLiteral("All available devices of the same type will be updated"), QStringLiteral("Batch Firmware Update"));
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QCOMPARE(progress, (QStringList{QStringLiteral("1/2"), QStringLiteral("2/2")}));
        QCOMPARE(lab.upload(0).requests, 0);
        QVERIFY(lab.upload(1).completed);
        QVERIFY(lab.upload(2).completed);
        QCOMPARE(prompts.pending(), 0);
    }

    void forcedBatchBusyTargetAndFailures()
    {
        FastTimings fast;
        FlashLab lab("127.0.223", {"DUVO 96", "SV cycler", "DUVO 24"}, {"Running"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        // The second module asks for credentials the workstation never has.
        duvosim::SimUploadSettings secured;
        secured.user = "admin";
        secured.password = "1234";
        lab.modules->network().setUpload(1, secured);
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, image96(), true);
        prompts.answer(Ok, QStringLiteral("forces flashing"));
        QTest::mouseClick(form.ForceBox1, Qt::LeftButton);
        prompts.answer(Yes, QStringLiteral("All available devices"));
        prompts.answer(Ok, QStringLiteral("The Device 127.0.223.10 seems to be active.  Stop the Device and try again!"), QStringLiteral("Duvo Firmware Manager"));
        prompts.answer(Ok, QStringLiteral("Error no password. Code: -203 while updating: 127.0.223.11"), QStringLiteral("Error"));
        prompts.answer(Ok, QStringLiteral("Continue with Batch Update?"), QStringLiteral("Firmware Update"));
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QCOMPARE(progress, (QStringList{QStringLiteral("2/3"), QStringLiteral("3/3")}));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(lab.upload(0).requests, 0);
        QVERIFY(!lab.upload(1).completed);
        QVERIFY(lab.upload(2).completed);
    }

    void batchErrorThenCancelStopsTheBatch()
    {
        FastTimings fast;
        FlashLab lab("127.0.224", {"DUVO 96", "DUVO 96"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        duvosim::SimUploadSettings secured;
        secured.user = "admin";
        lab.modules->network().setUpload(0, secured);
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, image96(), true);
        prompts.answer(Yes, QStringLiteral("All available devices"));
        prompts.answer(Ok, QStringLiteral(". Code: -203 while updating: 127.0.224.10"));
        prompts.answer(Cancel, QStringLiteral("Continue with Batch Update?"));
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QCOMPARE(progress, QStringList{QStringLiteral("1/2")});
        QCOMPARE(lab.upload(1).requests, 0);
        QCOMPARE(prompts.pending(), 0);
    }

    void heldPortIsABindError()
    {
        FastTimings fast;
        FlashLab lab("127.0.225", {"DUVO 96"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        // Somebody else holds UDP 20034 on the workstation's address.
        const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(20034);
        ::inet_pton(AF_INET, "127.0.225.1", &a.sin_addr);
        const bool bound = ::bind(holder, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        struct Closer { int fd; ~Closer() { ::close(fd); } } closer{holder};
        QVERIFY(bound);
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, image96(), false);
        prompts.answer(Yes, QStringLiteral("Updating Device"));
        prompts.answer(Ok, QStringLiteral("Error IP Bind. Code: -101 while updating: 127.0.225.10"), QStringLiteral("Error"));
        flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QCOMPARE(prompts.pending(), 0);
    }

    void moduleBusyForEverEndsAtTheTickLimit()
    {
        FastTimings fast(8);
        FlashLab lab("127.0.226", {"DUVO 96", "DUVO 96"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        duvosim::SimUploadSettings busy;
        busy.fault = duvosim::UploadFault::Busy;
        busy.faultCount = -1;
        lab.modules->network().setUpload(0, busy);
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, image96(), true);
        prompts.answer(Yes, QStringLiteral("All available devices"));
        prompts.answer(Ok, QStringLiteral("Error file timeout. Code: -202 while updating: 127.0.226.10"), QStringLiteral("Error"));
        prompts.answer(Ok, QStringLiteral("Continue with Batch Update?"));
        // The GUI keeps running while the stuck module is waited for.
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        ticker.start();
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        ticker.stop();
        QCOMPARE(progress, (QStringList{QStringLiteral("1/2"), QStringLiteral("2/2")}));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(!lab.upload(0).completed);
        QVERIFY(lab.upload(1).completed);
        QVERIFY2(longest < 400, qPrintable(QString::number(longest)));
    }

    void cancelBatchLetsTheRunningUploadFinish()
    {
        FastTimings fast;
        FlashLab lab("127.0.227", {"DUVO 96", "DUVO 96"});
        QVERIFY2(lab.lab.started(), lab.lab.error().c_str());
        duvosim::SimUploadSettings slow;
        slow.replyDelayMs = 20;
        lab.modules->network().setUpload(0, slow);
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        chooseImage(form, writeImage(FDir.filePath(QStringLiteral("Big_FW_2.5.0_96_x.s19")), "DUVOFW=2.5.0;", 8000), true);
        prompts.answer(Yes, QStringLiteral("All available devices"));
        QString action;
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); },
                                                        [&](TFlashForm *f) {
                                                            QVERIFY(f->btnCancelBatch->isEnabled());
                                                            QTest::mouseClick(f->btnCancelBatch, Qt::LeftButton);
                                                            action = f->lblAction->text();
                                                        });
        QCOMPARE(progress, QStringList{QStringLiteral("1/2")});
        QCOMPARE(action, QStringLiteral("flashing device...Batch cancelled"));
        QCOMPARE(lab.ws.lastAlert(), QStringLiteral("Batch Updating Cancelled. Please wait"));
        QVERIFY(lab.upload(0).completed);
        QCOMPARE(lab.upload(1).requests, 0);
    }

    void svCyclerWithoutForceIsRefusedWithoutRefresh()
    {
        Workstation ws;
        ws.FDeviceList.Add(record("127.0.228.10", "SV cycler"));
        ScriptedPrompts prompts;
        TFWMgrForm form(nullptr);
        form.show();
        QVERIFY(!form.BulkBox1->isEnabled());  // fewer than two instruments
        form.FWEdit1->setText(image96());
        form.FWEdit1Change();
        prompts.answer(Yes, QStringLiteral("Updating Device:  127.0.228.10Duvo ID: BCBB10"));
        prompts.answer(Ok, QStringLiteral("You must select the Force Flash Update option"), QStringLiteral("Error"));
        const QStringList progress = flashWindowsDuring([&] { QTest::mouseClick(form.btnOk, Qt::LeftButton); });
        QVERIFY(progress.isEmpty());
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 2);  // no wait window, no rescan
    }
};

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
