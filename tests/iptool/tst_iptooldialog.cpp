// The address tool's dialog driven like a user against simulated network modules on this
// test's own loopback /24 (127.0.82.0/24: the tool binds .1, the modules' hub is .2, module
// k answers from .(11+k)); boxes are answered through the scripted prompts.

#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "duvosim/SimModules.h"
#include "iptool/forms/CIPToolDlg.h"
#include "iptool/forms/CPasswordDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace duvo;
using namespace duvo::iptool;
using namespace duvo::test;
using duvosim::SimModule;
using duvosim::SimModuleNetwork;

namespace {

const std::string Net = "127.0.82.";
constexpr int Tick = 150;

SimModule module(int host, uint8_t m5, const duvo::iptool::Mac &base = {}, uint8_t kind = Ethernet)
{
    SimModule m;
    m.address = Net + std::to_string(host);
    m.mac = {0x00, 0x03, 0xF4, 0x00, 0x01, m5};
    m.baseMac = base;
    m.interfaceKind = kind;
    return m;
}

std::string staticIpOf(const SimModule &m)
{
    return FormatIpv4({m.record[4], m.record[5], m.record[6], m.record[7]});
}

std::string tftpOf(const SimModule &m)
{
    return std::string(reinterpret_cast<const char *>(&m.record[27]));
}

void typeInto(QWidget *window, const QString &name, const QString &text)
{
    auto *edit = window->findChild<QLineEdit *>(name);
    QVERIFY2(edit, qPrintable(name));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

QString fieldText(QWidget *window, const QString &name)
{
    auto *edit = window->findChild<QLineEdit *>(name);
    return edit ? edit->text() : QStringLiteral("<missing>");
}

// Answers the next user name and password box: fills it in and presses OK, or cancels.
void answerLogin(const QString &user, const QString &password, bool ok)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *box = qobject_cast<CPasswordDlg *>(QApplication::activeModalWidget());
        if (!box) {
            if (++*tries > 250)
                timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        QTest::keyClicks(box->findChild<QLineEdit *>(QStringLiteral("editUserName")), user);
        QTest::keyClicks(box->findChild<QLineEdit *>(QStringLiteral("editPassword")), password);
        ok ? box->accept() : box->reject();
    });
    timer->start();
}

// One lab and one dialog per test.
struct Bench {
    SimModuleNetwork net{Net + "2"};
    std::unique_ptr<CIPToolDlg> dialog;

    bool start()
    {
        if (!net.start())
            return false;
        dialog = std::make_unique<CIPToolDlg>(nullptr, Net + "2", Net + "1");
        dialog->setTickInterval(Tick);
        dialog->setRelay(Net + "3", 20035);
        if (!dialog->initialise())
            return false;
        dialog->show();
        return true;
    }
    QTreeWidget *tree() const { return dialog->tree(); }
    bool searchDone(int ms = 5000) { return waitFor([this] { return !dialog->searching(); }, ms); }
    int state(QTreeWidgetItem *item) const { return item->data(0, CIPToolDlg::StateImageRole).toInt(); }
};

} // namespace

class TestIpToolDialog : public QObject {
    Q_OBJECT
private slots:
    void searchShowsModulesInArrivalOrderAndSelectsTheFirst()
    {
        ScriptedPrompts prompts;
        Bench b;
        for (auto [host, key] : {std::pair{11, 0x30}, {12, 0x10}, {13, 0x20}})
            b.net.add(module(host, uint8_t(key)));
        QVERIFY(b.start());
        QVERIFY(!b.dialog->findChild<QPushButton *>(QStringLiteral("buttonSearchAgain"))->isEnabled());
        QVERIFY(waitFor([&] { return b.tree()->topLevelItemCount() == 3; }));
        QVERIFY(b.tree()->topLevelItem(0)->text(0).contains(QStringLiteral("-01-30] at 127.0.82.11  Type: DUVO 96")));
        QVERIFY(b.tree()->topLevelItem(1)->text(0).contains(QStringLiteral("-01-10]")));
        QVERIFY(b.tree()->topLevelItem(2)->text(0).contains(QStringLiteral("-01-20]")));
        QCOMPARE(int(b.dialog->units().devices()[0]->key[5]), 0x10);
        QCOMPARE(int(b.dialog->units().devices()[2]->key[5]), 0x30);
        QCOMPARE(b.tree()->currentItem(), b.tree()->topLevelItem(0));
        QCOMPARE(fieldText(b.dialog.get(), QStringLiteral("editIp")), QStringLiteral("127.0.82.11"));
        QCOMPARE(fieldText(b.dialog.get(), QStringLiteral("editMask")), QStringLiteral("255.255.255.0"));
        QCOMPARE(b.state(b.tree()->topLevelItem(0)), 2);

        QVERIFY(b.searchDone());
        QCOMPARE(b.dialog->tickCount(), 3);
        QVERIFY(b.dialog->findChild<QPushButton *>(QStringLiteral("buttonSearchAgain"))->isEnabled());
        QCOMPARE(b.net.requestsSeen(), 1);
        QCOMPARE(b.net.verifyListsSeen(), 3);
        // The list order of keys: 10, 20, 30.
        const std::vector<uint8_t> v = b.net.lastVerifyList();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size())),
                 QByteArray("DVM2V\x01\x10\x01\x20\x01\x30\0\0\0\0\0", 16));
        QCOMPARE(b.tree()->topLevelItemCount(), 3);

        // Search Again empties the tree and finds them again.
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSearchAgain")));
        QVERIFY(b.dialog->searching());
        QVERIFY(waitFor([&] { return b.net.requestsSeen() == 2 && b.tree()->topLevelItemCount() == 3; }));
        QCOMPARE(b.tree()->currentItem(), b.tree()->topLevelItem(0));
    }

    void interfacesOfOneDeviceHangUnderIt()
    {
        ScriptedPrompts prompts;
        Bench b;
        const duvo::iptool::Mac base = {0x00, 0x03, 0xF4, 0x00, 0x00, 0x77};
        b.net.add(module(11, 0x01, base));
        b.net.add(module(12, 0x02, base, WiFi));
        SimModule third = module(13, 0x03, base, Ethernet2);
        third.recordAddress = Net + "98";  // answers from an address its record does not name
        b.net.add(third);
        QVERIFY(b.start());
        QVERIFY(b.searchDone());
        QCOMPARE(b.tree()->topLevelItemCount(), 1);
        QTreeWidgetItem *device = b.tree()->topLevelItem(0);
        QCOMPARE(device->text(0), QStringLiteral("DuvoNet [00-03-F4-00-00-77] running DUVO 96"));
        QCOMPARE(b.state(device), 1);
        // The mismatching interface answers again at every verification list, and stays one item.
        QCOMPARE(device->childCount(), 3);
        QCOMPARE(device->child(0)->text(0), QStringLiteral("Ethernet [00-03-F4-00-01-01] at 127.0.82.11"));
        QCOMPARE(device->child(1)->text(0), QStringLiteral("WiFi [00-03-F4-00-01-02] at 127.0.82.12"));
        QCOMPARE(device->child(2)->text(0), QStringLiteral("Ethernet2 [00-03-F4-00-01-03] at 127.0.82.98"));
        QCOMPARE(b.state(device->child(1)), 4);
        QCOMPARE(b.state(device->child(2)), 3);
        const std::vector<uint8_t> v = b.net.lastVerifyList();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size())),
                 QByteArray("DVM2V\x01\x01\x01\x02\x81\x03\0\0\0\0\0", 16));
    }

    void setWritesTheTypedSettings()
    {
        ScriptedPrompts prompts;
        Bench b;
        b.net.add(module(11, 0x01));
        QVERIFY(b.start());
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        typeInto(b.dialog.get(), QStringLiteral("editIp"), QStringLiteral("10.1.2.3"));
        typeInto(b.dialog.get(), QStringLiteral("editMask"), QStringLiteral("255.255.0.0"));
        typeInto(b.dialog.get(), QStringLiteral("editGateway"), QStringLiteral("10.1.0.1"));
        typeInto(b.dialog.get(), QStringLiteral("editDns"), QStringLiteral("10.1.0."));  // last part empty: 0
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        QVERIFY(waitFor([&] { return b.net.configsAccepted() == 1; }));
        const SimModule m = b.net.module(0);
        QCOMPARE(staticIpOf(m), std::string("10.1.2.3"));
        QCOMPARE(FormatIpv4({m.record[8], m.record[9], m.record[10], m.record[11]}), std::string("255.255.0.0"));
        QCOMPARE(FormatIpv4({m.record[12], m.record[13], m.record[14], m.record[15]}), std::string("10.1.0.1"));
        QCOMPARE(FormatIpv4({m.record[114], m.record[115], m.record[116], m.record[117]}), std::string("10.1.0.0"));
        // The advanced settings went back as they came.
        QCOMPARE(int(m.record[24]), 3);
        QCOMPARE(int(m.record[25]), 1);
        QCOMPARE(tftpOf(m), std::string("duvo.bin"));
        QCOMPARE(int(m.record[20]) << 24 | int(m.record[21]) << 16 | int(m.record[22]) << 8 | int(m.record[23]), 115200);
        // A new search shows the module's new settings.
        QVERIFY(waitFor([&] { return b.net.requestsSeen() == 2 && b.tree()->topLevelItemCount() == 1; }));
        QVERIFY(waitFor([&] { return fieldText(b.dialog.get(), QStringLiteral("editIp")) == QStringLiteral("10.1.2.3"); }));
        QCOMPARE(b.net.configRequests().front().size(), size_t(153));
    }

    void useDhcpClearsTheAddresses()
    {
        ScriptedPrompts prompts;
        Bench b;
        SimModule m = module(11, 0x01);
        m.recordAddress = Net + "11";
        b.net.add(m);
        QVERIFY(b.start());
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        prompts.answer(Cancel, QStringLiteral("This will clear all Network fields and set the device for DHCP.  Do you want to continue?"),
                       QStringLiteral("DHCP Setup"));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonUseDhcp")));
        QCOMPARE(fieldText(b.dialog.get(), QStringLiteral("editIp")), QStringLiteral("127.0.82.11"));
        prompts.answer(Ok, QStringLiteral("set the device for DHCP"), QStringLiteral("DHCP Setup"));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonUseDhcp")));
        QCOMPARE(prompts.asked().last().icon, PromptIcon::Information);
        QVERIFY(waitFor([&] { return b.net.configsAccepted() == 1; }));
        QCOMPARE(b.net.configRequests().size(), size_t(1));
        QCOMPARE(staticIpOf(b.net.module(0)), std::string("0.0.0.0"));
        QVERIFY(waitFor([&] {
            return b.tree()->topLevelItemCount() == 1
                && b.tree()->topLevelItem(0)->text(0).contains(QStringLiteral("DHCP at 127.0.82.11  Type:"));
        }));
    }

    void bootDelayZeroAsksFirst()
    {
        ScriptedPrompts prompts;
        Bench b;
        SimModule m = module(11, 0x01);
        m.bootDelay = 0;
        b.net.add(m);
        QVERIFY(b.start());
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        prompts.answer(No, QStringLiteral(" It is recommend that the Boot Delay value not be set to zero\nIt can create"));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        // Nothing sent, but a new search all the same.
        QVERIFY(waitFor([&] { return b.net.requestsSeen() == 2; }));
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        QVERIFY(b.net.configRequests().empty());
        prompts.answer(Yes, QStringLiteral("Continue anyway?"));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        QVERIFY(waitFor([&] { return b.net.configsAccepted() == 1; }));
        QCOMPARE(int(b.net.module(0).record[24]), 0);
    }

    void passwordProtectedModule_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("accepted");
        QTest::newRow("right login") << "admin" << "s3cret" << true << 1 << 1;
        QTest::newRow("wrong password") << "admin" << "guess" << true << 1 << 0;
        QTest::newRow("cancel") << "admin" << "s3cret" << false << 0 << 0;
    }

    void passwordProtectedModule()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, ok);
        QFETCH(int, requests);
        QFETCH(int, accepted);
        ScriptedPrompts prompts;
        Bench b;
        SimModule m = module(11, 0x01);
        m.passNeeded = true;
        m.userName = "admin";
        m.password = "s3cret";
        b.net.add(m);
        QVERIFY(b.start());
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        typeInto(b.dialog.get(), QStringLiteral("editIp"), QStringLiteral("10.9.9.9"));
        answerLogin(user, password, ok);
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        QVERIFY(waitFor([&] { return b.net.requestsSeen() == 2; }));
        QTest::qWait(100);
        QCOMPARE(int(b.net.configRequests().size()), requests);
        QCOMPARE(b.net.configsAccepted(), accepted);
        QCOMPARE(staticIpOf(b.net.module(0)), std::string(accepted ? "10.9.9.9" : "127.0.82.11"));
        if (requests) {
            const std::vector<uint8_t> w = b.net.configRequests().front();
            QCOMPARE(w.size(), size_t(197));
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(w.data()) + 153, 4), QByteArray("1414"));
        }
    }

    void wirelessSettings_data()
    {
        QTest::addColumn<QString>("wep");
        QTest::addColumn<QString>("message");
        QTest::newRow("too short") << "12345"
                                   << "The length of the WEP key must be 26 chars (128bit) or 10 chars (64bit)\nSettings were not sent";
        QTest::newRow("not hexadecimal") << "012345678g"
                                         << "The WEP key must only contain numbers 0 to 9 and letters a to f\nSettings were not sent";
        QTest::newRow("64 bit") << "0123456789" << "";
        QTest::newRow("empty") << "" << "";
    }

    void wirelessSettings()
    {
        QFETCH(QString, wep);
        QFETCH(QString, message);
        ScriptedPrompts prompts;
        Bench b;
        SimModule m = module(11, 0x01, {}, WiFi);
        m.tftpFile = "SSID:labnet,WEP:";
        b.net.add(m);
        QVERIFY(b.start());
        QVERIFY(waitFor([&] { return b.tree()->currentItem() != nullptr; }));
        auto *ssid = b.dialog->findChild<QLineEdit *>(QStringLiteral("editSsid"));
        QVERIFY(ssid->isVisible());
        QCOMPARE(ssid->text(), QStringLiteral("labnet"));
        typeInto(b.dialog.get(), QStringLiteral("editSsid"), QStringLiteral("lab2"));
        typeInto(b.dialog.get(), QStringLiteral("editWep"), wep);
        if (!message.isEmpty())
            prompts.answer(Ok, message);
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        if (!message.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(b.net.configRequests().empty());
            QCOMPARE(b.net.requestsSeen(), 1);  // no new search either
            QCOMPARE(b.tree()->topLevelItemCount(), 1);
            return;
        }
        QVERIFY(waitFor([&] { return b.net.configsAccepted() == 1; }));
        QCOMPARE(tftpOf(b.net.module(0)), "SSID:lab2,WEP:" + wep.toStdString());
    }

    void hiddenWirelessFieldsDoNotOverwriteAnotherModule()
    {
        // A WiFi module on its own, and a device whose first interface is WiFi too: selecting
        // the device (its SSID fields stay hidden) and writing keeps its own wireless text.
        ScriptedPrompts prompts;
        Bench b;
        SimModule alone = module(11, 0x01, {}, WiFi);
        alone.tftpFile = "SSID:alpha,WEP:";
        b.net.add(alone);
        const duvo::iptool::Mac base = {0x00, 0x03, 0xF4, 0x00, 0x09, 0x09};
        SimModule first = module(12, 0x02, base, WiFi);
        first.tftpFile = "SSID:beta,WEP:";
        b.net.add(first);
        b.net.add(module(13, 0x03, base));
        QVERIFY(b.start());
        QVERIFY(waitFor([&] {
            return b.tree()->topLevelItemCount() == 2 && b.tree()->topLevelItem(1)->childCount() == 2;
        }));
        QCOMPARE(fieldText(b.dialog.get(), QStringLiteral("editSsid")), QStringLiteral("alpha"));
        b.tree()->setCurrentItem(b.tree()->topLevelItem(1));
        QVERIFY(!b.dialog->findChild<QLineEdit *>(QStringLiteral("editSsid"))->isVisible());
        typeInto(b.dialog.get(), QStringLiteral("editIp"), QStringLiteral("10.4.4.4"));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        QVERIFY(waitFor([&] { return b.net.configsAccepted() == 1; }));
        QCOMPARE(staticIpOf(b.net.module(1)), std::string("10.4.4.4"));
        QCOMPARE(tftpOf(b.net.module(1)), std::string("SSID:beta,WEP:"));
        QCOMPARE(tftpOf(b.net.module(0)), std::string("SSID:alpha,WEP:"));
    }

    void setWithoutSelectionSendsNothing()
    {
        ScriptedPrompts prompts;
        Bench b;
        QVERIFY(b.start());
        prompts.answer(Ok, QStringLiteral("You must first select a module in the\nSelect a Unit in the tree."));
        QVERIFY(clickButton(b.dialog.get(), QStringLiteral("buttonSet")));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(b.searchDone());
        QVERIFY(b.net.configRequests().empty());
        QCOMPARE(b.net.requestsSeen(), 1);
    }

    void secondToolCannotBindThePort()
    {
        ScriptedPrompts prompts;
        Bench b;
        QVERIFY(b.start());
        CIPToolDlg second(nullptr, Net + "2", Net + "1");
        prompts.answer(Ok, QStringLiteral("Error unable to bind to socket is IPDuvo already open?"));
        QVERIFY(!second.initialise());
        QCOMPARE(prompts.pending(), 0);
    }
};

QTEST_MAIN(TestIpToolDialog)
#include "tst_iptooldialog.moc"
