// The address tool's dialog when the selected node changes under the user: a WiFi module
// shown with its wireless fields, whose device then answers with a second interface
// (127.0.195.0/24: the tool binds .1, the hub is .2, the modules answer from .11 and .12).

#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "duvosim/SimModules.h"
#include "iptool/forms/CIPToolDlg.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace duvo;
using namespace duvo::iptool;
using namespace duvo::test;
using duvosim::SimModule;
using duvosim::SimModuleNetwork;

namespace {

const std::string Net = "127.0.195.";
const duvo::iptool::Mac Base = {0x00, 0x03, 0xF4, 0x00, 0x0A, 0x0A};

SimModule module(int host, uint8_t m5, uint8_t kind)
{
    SimModule m;
    m.address = Net + std::to_string(host);
    m.mac = {0x00, 0x03, 0xF4, 0x00, 0x02, m5};
    m.baseMac = Base;
    m.interfaceKind = kind;
    return m;
}

std::string tftpOf(const SimModule &m)
{
    return std::string(reinterpret_cast<const char *>(&m.record[27]));
}

} // namespace

class TestIpToolSplit : public QObject {
    Q_OBJECT
private slots:
    // The automatically selected WiFi interface's device gains a second interface while the
    // user types a WEP key: the fields follow the node at once (the device shows no wireless
    // fields), so nothing typed there is silently dropped by Set-->, which then writes the
    // device's first interface with its own wireless text and asks nothing.
    void splitOfTheSelectedNodeRefreshesTheFields()
    {
        ScriptedPrompts prompts;
        SimModuleNetwork net(Net + "2");
        SimModule wifi = module(11, 0x01, WiFi);
        wifi.tftpFile = "SSID:labnet,WEP:";
        net.add(wifi);
        QVERIFY(net.start());
        CIPToolDlg dialog(nullptr, Net + "2", Net + "1");
        dialog.setTickInterval(150);
        dialog.setRelay(Net + "3", 20035);
        QVERIFY(dialog.initialise());
        dialog.show();
        QVERIFY(waitFor([&] { return dialog.tree()->currentItem() != nullptr; }));
        auto *ssid = dialog.findChild<QLineEdit *>(QStringLiteral("editSsid"));
        auto *wep = dialog.findChild<QLineEdit *>(QStringLiteral("editWep"));
        QVERIFY(ssid->isVisible());
        QCOMPARE(ssid->text(), QStringLiteral("labnet"));
        ssid->setText(QStringLiteral("lab2"));
        wep->setText(QStringLiteral("12345"));  // not a valid key: Set--> would have to say so

        net.add(module(12, 0x02, Ethernet));  // answers the next verification list
        QVERIFY(waitFor([&] { return dialog.tree()->topLevelItem(0)->childCount() == 2; }));
        QCOMPARE(dialog.tree()->currentItem(), dialog.tree()->topLevelItem(0));
        QVERIFY(!ssid->isVisible());
        QVERIFY(!wep->isVisible());

        QVERIFY(clickButton(&dialog, QStringLiteral("buttonSet")));
        QVERIFY(waitFor([&] { return net.configsAccepted() == 1; }));
        QCOMPARE(tftpOf(net.module(0)), std::string("SSID:labnet,WEP:"));
        QVERIFY(prompts.asked().isEmpty());
    }
};

QTEST_MAIN(TestIpToolSplit)
#include "tst_iptoolsplit.moc"
