// Cloning one source onto several targets (127.0.211.0/24): what the targets hold afterwards,
// the SV cycler that is skipped, a cancel in the first target, error questions, the password
// listing with its retry, and the pick marks that end with the window.

#include "maintenance/forms/TCloneForm.h"
#include "maintenance/forms/TCopyFileForm.h"
#include "maintenance/CloneListing.h"
#include "link/CommandDocs.h"
#include "GuiTest.h"
#include "MaintenanceLab.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

class TestClone : public QObject {
    Q_OBJECT
private slots:
    void clonesOntoEveryTargetButTheSvCycler();
    void cancelInFirstTargetStopsTheRun();
    void fetchErrorAsksAndGoesOn();
    void passwordListingRetriesOnce_data();
    void passwordListingRetriesOnce();
    void listingKeepsLongPasswordsAndCutsSecureMark();
};

namespace {

struct CloneLab {
    SimulatedLab lab{"127.0.211", 4};
    Workstation ws;
    CloneLab()
    {
        lab.instrument(2).setType("DUVO 24");
        lab.instrument(3).setType("SV cycler");
        fillSource(lab.instrument(0));
        lab.instrument(1).makeFolder("OLD", "1234");
        fillDeviceList(ws, lab);
        for (int k = 1; k < 4; ++k)
            ws.FDeviceList.at(k)->selected = 1;
    }
};

bool waitListed(TCloneForm &f)
{
    return waitFor([&] { return f.listed(); }, 8000);
}

} // namespace

void TestClone::clonesOntoEveryTargetButTheSvCycler()
{
    CloneLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    ScriptedPrompts prompts;
    prompts.answer(Ok, QStringLiteral("Cloning Completed!"), QStringLiteral("Clone Duvo"));
    int source = 0;
    {
        TCloneForm f(nullptr, &source);
        QCOMPARE(f.ListBox1->count(), 3);  // the SV cycler is listed
        QVERIFY(f.ListBox1->item(2)->text().contains(QStringLiteral("DuvoQ24")));
        QVERIFY(!f.btnClone->isEnabled());
        f.show();
        QVERIFY(waitListed(f));
        QCOMPARE(f.lblFolders->text(), QStringLiteral("Folders: 5"));
        QCOMPARE(f.lblFiles->text(), QStringLiteral("Protocols: %1").arg(7 + 1 + 4));
        saveShot(f, QStringLiteral("TCloneForm"));
        OnModal<TCopyFileForm> shot([](TCopyFileForm *w) {
            QTimer::singleShot(600, w, [w] { saveShot(*w, QStringLiteral("TCopyFileForm")); });
        });
        QVERIFY(clickButton(&f, QStringLiteral("btnClone")));
        QVERIFY(f.btnClone->isEnabled());
    }
    QCOMPARE(prompts.asked().size(), 1);
    QCOMPARE(prompts.offThreadAsks(), 0);
    const auto expected = userContent(c.lab.instrument(0));
    QCOMPARE(userContent(c.lab.instrument(1)), expected);
    QCOMPARE(userContent(c.lab.instrument(2)), expected);
    QVERIFY(c.lab.requests(3).empty());
    // The first request to each target is the format.
    QCOMPARE(c.lab.requests(1).front().bytes, Format_doc());
    // The marks end with the window.
    for (const auto &d : c.ws.FDeviceList) {
        QCOMPARE(d->selected, 0);
        QCOMPARE(d->pickRow, -1);
    }
}

void TestClone::cancelInFirstTargetStopsTheRun()
{
    CloneLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    duvosim::SimFault slow;
    slow.kind = duvosim::FaultKind::Delay;
    slow.command = "GetProtocol";
    slow.delayMs = 150;
    c.lab.addFault(0, slow);
    ScriptedPrompts prompts;
    prompts.answer(Ok, QStringLiteral("Cloning Completed!"));
    int source = 0;
    TCloneForm f(nullptr, &source);
    f.show();
    QVERIFY(waitListed(f));
    OnModal<TCopyFileForm> cancel([](TCopyFileForm *w) {
        QTimer::singleShot(400, w, [w] { QTest::mouseClick(w->btnCancel, Qt::LeftButton); });
    });
    QVERIFY(clickButton(&f, QStringLiteral("btnClone")));
    QCOMPARE(prompts.asked().size(), 1);
    QVERIFY(!c.lab.requests(1).empty());
    QVERIFY(c.lab.requests(2).empty());
    QVERIFY(c.lab.requests(3).empty());
    QVERIFY(userContent(c.lab.instrument(1)) != userContent(c.lab.instrument(0)));
}

void TestClone::fetchErrorAsksAndGoesOn()
{
    CloneLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    for (int k = 2; k < 4; ++k)
        c.ws.FDeviceList.at(k)->selected = 0;
    ScriptedPrompts prompts;
    int source = 0;
    TCloneForm f(nullptr, &source);
    f.show();
    QVERIFY(waitListed(f));
    // The first fetch fails with an error reply; the reply for DATA/PCR1 names a path that
    // would reach the service protocols: it counts as a failed fetch too.
    duvosim::SimFault err{duvosim::FaultKind::ErrorReply, "GetProtocol", 4, "Read error"};
    err.count = 1;
    c.lab.addFault(0, err);
    c.lab.instrument(0).setProtocolReplyNames("DATA", "PCR1", "DATA/../SYSTEM", "SERV1");
    prompts.answer(Ok, QStringLiteral("Read error"), QStringLiteral("Error GetProtocol"));
    prompts.answer(Ok, QStringLiteral("There was an error retrieving SYSTEM/"), QStringLiteral("Error"));
    prompts.answer(Ok, QStringLiteral("There was an error retrieving DATA/PCR1.  Do you want to continue?"));
    prompts.answer(Ok, QStringLiteral("Cloning Completed!"));
    QVERIFY(clickButton(&f, QStringLiteral("btnClone")));
    QCOMPARE(prompts.pending(), 0);
    QCOMPARE(prompts.asked().size(), 4);
    // Every other protocol arrived; DATA/PCR1 did not, and nothing reached SYSTEM.
    for (const auto &[name, password, files] : userContent(c.lab.instrument(0)))
        for (const auto &[file, doc] : files)
            QCOMPARE(c.lab.instrument(1).protocol(name, file).has_value(), !(name == "DATA" && file == "PCR1"));
    for (const auto &e : c.lab.requests(1))
        QVERIFY2(e.bytes.find("SYSTEM") == std::string::npos, e.bytes.c_str());
}

void TestClone::passwordListingRetriesOnce_data()
{
    QTest::addColumn<int>("resets");
    QTest::addColumn<bool>("box");
    QTest::newRow("reset once: the retry succeeds") << 1 << false;
    QTest::newRow("reset twice: a box, no file listing") << 2 << true;
}

void TestClone::passwordListingRetriesOnce()
{
    QFETCH(int, resets);
    QFETCH(bool, box);
    SimulatedLab lab("127.0.211", 1);
    QVERIFY2(lab.started(), lab.error().c_str());
    fillSource(lab.instrument(0));
    lab.fail(0, resets, "GetAttrValue");
    ScriptedPrompts prompts;
    if (box)
        prompts.answer(Ok, QStringLiteral("Error during DirFolders GetAttr net command"), QStringLiteral("Error"));
    TcpClient client;
    CloneListing listing;
    const bool ok = ListWholeInstrument(client, lab.address(0), listing, [] {});
    QCOMPARE(prompts.pending(), 0);
    QCOMPARE(prompts.asked().size(), box ? 1 : 0);
    QCOMPARE(ok, !box);
    int dirFiles = 0;
    for (const auto &e : lab.requests(0))
        dirFiles += e.command == "DirFiles";
    if (box)
        QCOMPARE(dirFiles, 0);
    else
        QCOMPARE(dirFiles, 5);
}

void TestClone::listingKeepsLongPasswordsAndCutsSecureMark()
{
    SimulatedLab lab("127.0.211", 1);
    QVERIFY2(lab.started(), lab.error().c_str());
    fillSource(lab.instrument(0));
    lab.instrument(0).setOmitEmptyAttrValue(true);
    ScriptedPrompts prompts;
    TcpClient client;
    CloneListing listing;
    QVERIFY(ListWholeInstrument(client, lab.address(0), listing, [] {}));
    bool sawData = false;
    for (const auto &f : listing.folders) {
        QVERIFY(f.foldername.find('!') == std::string::npos);
        if (f.foldername == "DATA") {
            sawData = true;
            QCOMPARE(f.password, std::string("ABCDEFGHIJKLMN"));
            QCOMPARE(f.secure, int16_t(1));
        } else {
            QCOMPARE(f.password, std::string());
            QCOMPARE(f.secure, int16_t(0));
        }
    }
    QVERIFY(sawData);
    for (const auto &e : lab.requests(0))
        QVERIFY2(e.bytes.find("DATA!") == std::string::npos, e.bytes.c_str());
    QCOMPARE(prompts.asked().size(), 0);
}

QTEST_MAIN(TestClone)
#include "tst_clone.moc"
