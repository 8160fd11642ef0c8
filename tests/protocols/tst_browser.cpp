// The network protocol browser and its search against simulated instruments (127.0.123.0/24):
// the tree of a "DUVO 24", an "SV cycler" and a "DUVO 96", the requests each instrument got,
// the file records, View on file nodes only, a fetch error, a failing folder listing, no
// devices, Copy Files' target address, the search (WildcardMatch, counts, no requests), and
// closing the window during a build.

#include "duvosim/SimInstrument.h"
#include "link/CommandDocs.h"
#include "link/Workstation.h"
#include "protocols/BrowseItems.h"
#include "protocols/forms/BrowseWindows.h"
#include "protocols/forms/TDuvoFileMgrForm.h"
#include "protocols/forms/TSearchForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.123";

void fillDevices(Workstation &ws, SimulatedLab &lab, int count = 99)
{
    ws.FDeviceList.Clear();
    for (int k = 0; k < lab.count() && k < count; ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->deviceId = "ID" + std::to_string(k);
        d->typeText = lab.instrument(k).type();
        ws.FDeviceList.Add(std::move(d));
    }
}

// 0: "DUVO 24" with SYSTEM {VALIDAT}, DATA! {PCR1, PCR2}, RECENT {}; 1: "SV cycler";
// 2: "DUVO 96" with ASSAY {PCR10, APCR, 123}.
struct BrowseLab {
    BrowseLab() : sim(Base, 3)
    {
        auto &a = sim.instrument(0);
        a.setType("DUVO 24");
        a.removeAllFolders();
        a.makeFolder("SYSTEM");
        a.putProtocol("SYSTEM", "VALIDAT", "<P>v</P>");
        a.makeFolder("DATA", "AB12");
        a.putProtocol("DATA", "PCR1", "<P>1</P>");
        a.putProtocol("DATA", "PCR2", "<P>2</P>");
        a.makeFolder("RECENT");
        sim.instrument(1).setType("SV cycler");
        auto &c = sim.instrument(2);
        c.setType("DUVO 96");
        c.removeAllFolders();
        c.makeFolder("ASSAY");
        for (const char *name : {"PCR10", "APCR", "123"})
            c.putProtocol("ASSAY", name, "<P>x</P>");
    }
    SimulatedLab sim;
};

QStringList treeTexts(QTreeWidget *tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *n) {
        out << n->text(0);
        for (int i = 0; i < n->childCount(); ++i)
            walk(n->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return out;
}

QTreeWidgetItem *nodeAt(QTreeWidget *tree, int preorder)
{
    QTreeWidgetItem *found = nullptr;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *n) {
        if (n->data(0, TDuvoFileMgrForm::NodeIndexRole).toInt() == preorder)
            found = n;
        for (int i = 0; i < n->childCount() && !found; ++i)
            walk(n->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount() && !found; ++i)
        walk(tree->topLevelItem(i));
    return found;
}

QString folderNode(const char *name, int picture = 1)
{
    return QStringLiteral("<IMG src=\"idx:%1\" align=\"bottom\"><ind x=\"24\">%2").arg(picture).arg(QLatin1String(name));
}
QString fileNode(const char *name)
{
    return QStringLiteral("<IMG src=\"idx:17\" align=\"bottom\"><ind x=\"24\">%1").arg(QLatin1String(name));
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void wildcardMatch_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");
        const struct { const char *p, *n; bool m; } rows[] = {
            {"PCR*", "PCR", true},   {"PCR*", "PCR01", true}, {"PCR*", "APCR", false}, {"?CR", "PCR", true},
            {"?CR", "PCRA", false},  {"*", "ANY", true},      {"*", "", true},         {"", "", true},
            {"", "A", false},        {"A", "", false},        {"12?", "123", true},    {"*CR*1", "PCR01", true},
            {"*CR*1", "PCR10", false}, {"P*R*1", "PRR1", true}, {"**", "X", true},     {"pcr1", "PCR1", false},
            {"A?", "A", false},      {"*?", "", false},       {"*A", "BA*", false},    {"*\\*", "A*", false},
            {"a*b*c", "aXbYbc", true}, {"a*b*c", "aXbYbcd", false}, {"?*", "Z", true}, {"*", "*?", true},
        };
        for (const auto &r : rows)
            QTest::newRow((std::string(r.p) + " / " + r.n).c_str()) << r.p << r.n << r.m;
    }

    void wildcardMatch()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, match);
        QCOMPARE(WildcardMatch(pattern.toStdString(), name.toStdString()), match);
    }

    void treeOfThreeInstruments()
    {
        BrowseLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        Workstation ws;
        fillDevices(ws, lab.sim);
        ScriptedPrompts prompts;
        TDuvoFileMgrForm f(nullptr, QString());
        QCOMPARE(DuvoFileMgrForm, &f);
        f.TCPClient1.setTimeout(2000);
        QVERIFY(!f.btnViewProtocol->isEnabled() && !f.btnSearchProtocol->isEnabled());
        QVERIFY(!f.btnCopyDBDuvo->isEnabled());  // no copy manager in this program yet
        f.Timer1Timer();
        const std::string a = lab.sim.address(0), b = lab.sim.address(1), c = lab.sim.address(2);
        QCOMPARE(treeTexts(f.DuvoTree1),
                 QStringList({QString::fromStdString(
                                  "<IMG SRC=\"idx:14\" align=\"bottom\"> <B><FONT SIZE=\"10\">" + a +
                                  "</FONT></B><FONT SIZE=\"8\"><B>  ID</B>: ID0"),
                              folderNode("SYSTEM"), fileNode("VALIDAT"), folderNode("DATA", 16), fileNode("PCR1"),
                              fileNode("PCR2"), folderNode("RECENT"),
                              QString::fromStdString("<IMG SRC=\"idx:13\" align=\"bottom\"> <B><FONT SIZE=\"10\">" + b +
                                                     "</FONT></B><FONT SIZE=\"8\"><B>  ID</B>: ID1"),
                              QString::fromStdString("<IMG SRC=\"idx:15\" align=\"bottom\"> <B><FONT SIZE=\"10\">" + c +
                                                     "</FONT></B><FONT SIZE=\"8\"><B>  ID</B>: ID2"),
                              folderNode("ASSAY"), fileNode("PCR10"), fileNode("APCR"), fileNode("123")}));
        QCOMPARE(lab.sim.requestBytes(0), std::vector<std::string>({DirFolders_doc(), DirFiles_doc("SYSTEM"),
                                                                    DirFiles_doc("DATA"), DirFiles_doc("RECENT")}));
        QVERIFY(lab.sim.requestBytes(1).empty());
        QCOMPARE(lab.sim.requestBytes(2), std::vector<std::string>({DirFolders_doc(), DirFiles_doc("ASSAY")}));
        QCOMPARE(f.FFileRecords.size(), size_t(6));
        const VLMGRFILES_T &pcr2 = f.FFileRecords[2];
        QCOMPARE(pcr2.ip, a);
        QCOMPARE(pcr2.folder, std::string("DATA"));
        QCOMPARE(pcr2.file, std::string("PCR2"));
        QCOMPARE(pcr2.secure, int16_t(1));
        QCOMPARE(pcr2.nodeIndex, 5);
        QCOMPARE(f.FFileRecords[0].secure, int16_t(0));
        QCOMPARE(f.FFileRecords[5].nodeIndex, 12);
        QCOMPARE(f.FSelectedIndex, 0);
        QVERIFY(f.btnSearchProtocol->isEnabled());
        QVERIFY(f.txtInfo1->isHidden());
        QVERIFY(prompts.asked().isEmpty());

        // View only on file nodes.
        f.DuvoTree1->setCurrentItem(nodeAt(f.DuvoTree1, 3));
        QCOMPARE(f.FSelectedIndex, 3);
        QVERIFY(!f.btnViewProtocol->isEnabled());
        f.DuvoTree1->setCurrentItem(nodeAt(f.DuvoTree1, 4));
        QVERIFY(f.btnViewProtocol->isEnabled());
        QStringList opened;
        DeviceProtocolEditor() = [&](QWidget *owner, const QString &xml, const QString &name, const QString &folder,
                                     const QString &ip) -> QDialog * {
            opened << xml << name << folder << ip;
            auto *d = new QDialog(owner);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        };
        lab.sim.clearRequests();
        QVERIFY(clickButton(&f, QStringLiteral("btnViewProtocol")));
        QCOMPARE(lab.sim.requestBytes(0), std::vector<std::string>({GetProtocol_doc("DATA", "PCR1")}));
        QCOMPARE(opened, QStringList({"<P>1</P>", "PCR1", "DATA", QString::fromStdString(a)}));

        // An error reply of the fetch: its box, and no editor.
        opened.clear();
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "GetProtocol", 5, "No such file"});
        prompts.answer(Ok, QStringLiteral("No such file"), QStringLiteral("Error GetProtocol"));
        QVERIFY(clickButton(&f, QStringLiteral("btnViewProtocol")));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(opened.isEmpty());
        DeviceProtocolEditor() = nullptr;
    }

    void failingFolderListingEmptiesOnlyThatFolder()
    {
        BrowseLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        duvosim::SimFault fault{duvosim::FaultKind::ResetBeforeReply, "DirFiles"};
        fault.name = "DATA";
        lab.sim.addFault(0, fault);
        Workstation ws;
        fillDevices(ws, lab.sim);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error during DirFiles net command"));
        TDuvoFileMgrForm f(nullptr, QString());
        f.TCPClient1.setTimeout(2000);
        f.BuildNetworkTree();
        QCOMPARE(prompts.pending(), 0);
        QTreeWidgetItem *data = nodeAt(f.DuvoTree1, 3);
        QVERIFY(data);
        QCOMPARE(data->text(0), folderNode("DATA", 16));
        QCOMPARE(data->childCount(), 0);
        QCOMPARE(nodeAt(f.DuvoTree1, 4)->text(0), folderNode("RECENT"));
        QCOMPARE(f.FFileRecords.size(), size_t(4));
    }

    void noDevicesNoSearch()
    {
        Workstation ws;
        TDuvoFileMgrForm f(nullptr, QString());
        f.BuildNetworkTree();
        QCOMPARE(f.DuvoTree1->topLevelItemCount(), 0);
        QVERIFY(!f.btnSearchProtocol->isEnabled());
        QCOMPARE(f.FSelectedIndex, -1);
    }

    void hostileListingsGiveFewerNodes()
    {
        SimulatedLab sim(Base, 1, "DUVO 24");
        QVERIFY2(sim.started(), sim.error().c_str());
        auto &in = sim.instrument(0);
        in.removeAllFolders();
        in.makeFolder("A");
        in.setSecureSuffix("A", "");
        in.makeFolder("LONGFOLDERNAMEOVER12", "X1");
        in.setSecureSuffix("LONGFOLDERNAMEOVER12", "TAIL");
        for (int i = 0; i < 41; ++i)
            in.putProtocol("A", "F" + std::to_string(i), "<P/>");
        Workstation ws;
        fillDevices(ws, sim);
        ScriptedPrompts prompts;
        TDuvoFileMgrForm f(nullptr, QString());
        f.TCPClient1.setTimeout(2000);
        f.BuildNetworkTree();
        QTreeWidgetItem *root = f.DuvoTree1->topLevelItem(0);
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0)->childCount(), 40);  // a reply holds 40 file slots
        QCOMPARE(root->child(1)->text(0), folderNode("LONGFOLDERNAMEOVER12", 16));
        QVERIFY(prompts.asked().isEmpty());

        // A reply that is not XML: the listing's box, and no nodes.
        f.FFileRecords.clear();
        f.DuvoTree1->clear();
        sim.addFault(0, {duvosim::FaultKind::NotXml, "DirFolders"});
        prompts.setLenient(true);
        f.BuildNetworkTree();
        QCOMPARE(f.DuvoTree1->topLevelItemCount(), 1);
        QCOMPARE(f.DuvoTree1->topLevelItem(0)->childCount(), 0);
        QVERIFY(!prompts.asked().isEmpty());
    }

    void copyFilesTarget_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("expectedDevice");  // -1: empty
        QTest::newRow("two devices") << 2 << QString() << 1;
        QTest::newRow("three devices") << 3 << QString() << -1;
        QTest::newRow("given address") << 2 << QStringLiteral("127.0.123.99") << -2;
    }

    void copyFilesTarget()
    {
        QFETCH(int, devices);
        QFETCH(QString, given);
        QFETCH(int, expectedDevice);
        BrowseLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        Workstation ws;
        fillDevices(ws, lab.sim, devices);
        QStringList handed;
        CopyProtocolFormFactory() = [&](QWidget *owner, const QString &ip) -> QDialog * {
            handed << ip;
            auto *d = new QDialog(owner);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        };
        ScriptedPrompts prompts;
        TDuvoFileMgrForm f(nullptr, given);
        f.TCPClient1.setTimeout(2000);
        QVERIFY(f.btnCopyDBDuvo->isEnabled());
        f.BuildNetworkTree();
        const int nodes = int(treeTexts(f.DuvoTree1).size());
        lab.sim.clearRequests();
        QVERIFY(clickButton(&f, QStringLiteral("btnCopyDBDuvo")));
        const QString expected = expectedDevice == -2   ? given
                                 : expectedDevice == -1 ? QString()
                                                        : QString::fromStdString(lab.sim.address(expectedDevice));
        QCOMPARE(handed, QStringList({expected}));
        // The tree is built again from fresh listings.
        QCOMPARE(int(treeTexts(f.DuvoTree1).size()), nodes);
        QCOMPARE(lab.sim.requestBytes(0).front(), DirFolders_doc());
        QCOMPARE(f.FFileRecords.size(), devices == 3 ? size_t(6) : size_t(3));
        CopyProtocolFormFactory() = nullptr;
    }

    void search()
    {
        BrowseLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        Workstation ws;
        fillDevices(ws, lab.sim);
        ScriptedPrompts prompts;
        TDuvoFileMgrForm f(nullptr, QString());
        f.TCPClient1.setTimeout(2000);
        f.BuildNetworkTree();
        lab.sim.clearRequests();
        TSearchForm s(&f);
        QCOMPARE(s.edtSearch->maxLength(), 20);
        const struct { const char *text; const char *result; int rows; } cases[] = {
            {"pcr*", "3 possible matches", 3}, {"?CR1", "1 possible matches", 1}, {"ZZ*", "0 matches", 0},
            {"12?", "1 possible matches", 1}, {"PCR?", "2 possible matches", 2},
        };
        for (const auto &c : cases) {
            s.edtSearch->setText(QLatin1String(c.text));
            QVERIFY(clickButton(&s, QStringLiteral("btnSearchProtocol")));
            QCOMPARE(s.lblResult->text(), QLatin1String(c.result));
            QCOMPARE(s.ResultView1->topLevelItemCount(), c.rows);
            QCOMPARE(s.btnViewProtocol->isEnabled(), c.rows > 0);
        }
        s.edtSearch->setText(QStringLiteral("pcr1"));
        s.btnSearchProtocolClick();
        QCOMPARE(s.lblResult->text(), QStringLiteral("1 possible matches"));
        QTreeWidgetItem *row = s.ResultView1->topLevelItem(0);
        QCOMPARE(row->text(0), QString::fromStdString(lab.sim.address(0)));
        QCOMPARE(row->text(1), QStringLiteral("DATA"));
        QCOMPARE(row->text(2), QStringLiteral("PCR1"));
        QCOMPARE(s.ResultView1->currentItem(), row);
        s.edtSearch->clear();
        s.btnSearchProtocolClick();  // an empty text does nothing
        QCOMPARE(s.ResultView1->topLevelItemCount(), 1);
        QVERIFY(lab.sim.requests().empty());

        // View fetches the row's protocol (no password asked).
        QStringList opened;
        DeviceProtocolEditor() = [&](QWidget *owner, const QString &xml, const QString &name, const QString &folder,
                                     const QString &ip) -> QDialog * {
            opened << xml << name << folder << ip;
            auto *d = new QDialog(owner);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        };
        s.ResultView1DblClick();
        QCOMPARE(lab.sim.requestBytes(0), std::vector<std::string>({GetProtocol_doc("DATA", "PCR1")}));
        QCOMPARE(opened.value(1), QStringLiteral("PCR1"));
        DeviceProtocolEditor() = nullptr;
    }

    void closingDuringTheBuildStopsIt()
    {
        BrowseLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        duvosim::SimFault slow{duvosim::FaultKind::Delay, "DirFiles"};
        slow.delayMs = 3000;
        slow.name = "DATA";
        lab.sim.addFault(0, slow);
        Workstation ws;
        fillDevices(ws, lab.sim);
        ScriptedPrompts prompts;
        auto f = std::make_unique<TDuvoFileMgrForm>(nullptr, QString());
        f->TCPClient1.setTimeout(10000);
        f->show();
        QTimer::singleShot(200, f.get(), [&] { f->close(); });
        QElapsedTimer t;
        t.start();
        f->BuildNetworkTree();
        QVERIFY(t.elapsed() < 1500);
        QVERIFY(!f->building());
        QTest::qWait(100);
        QCOMPARE(lab.sim.requestBytes(0), std::vector<std::string>({DirFolders_doc(), DirFiles_doc("SYSTEM"),
                                                                    DirFiles_doc("DATA")}));
        QVERIFY(lab.sim.requests(2).empty());
        QVERIFY(prompts.asked().isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        f.reset();
        QVERIFY(DuvoFileMgrForm == nullptr);
    }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
