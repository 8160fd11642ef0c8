// Protocol documents on simulated instruments (127.0.73.0/24): stored by LoadProtocol, given
// back byte for byte by GetProtocol, and run step by step, loop by loop.

#include "protocols/CyclerStepList.h"
#include "duvosim/SimProtocolRun.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "SimulatedLab.h"

#include <QElapsedTimer>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.73";

// 1: 95.0 59:00; 2: loop of 1 step, 3 cycles; 3: 60.0 59:00 ramp 7, -00:10 and -1.0 per
// cycle; 4: 4.0 infinite hold; 5: 25.0 00:30.
std::string runDocument(const QString &name = QStringLiteral("RUN&1"))
{
    CyclerStepList list;
    list.AddStepItem(QStringLiteral("95.0"), QStringLiteral("59:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                     QStringLiteral("0"), false, false, true, 0);
    list.AddLoopItem(QStringLiteral("1"), QStringLiteral("3"), true, 0);
    list.AddStepItem(QStringLiteral("60.0"), QStringLiteral("59:00"), QStringLiteral("7"), QStringLiteral("00:10"),
                     QStringLiteral("-1"), false, true, true, 0);
    list.AddStepItem(QStringLiteral("4.0"), QStringLiteral("00:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                     QStringLiteral("0"), true, false, true, 0);
    list.AddStepItem(QStringLiteral("25.0"), QStringLiteral("00:30"), QStringLiteral("7"), QStringLiteral("00:00"),
                     QStringLiteral("0"), false, false, true, 0);
    std::string text;
    list.WriteProtocolXml(name, text);
    return text;
}

std::string sendTo(SimulatedLab &lab, const std::string &request)
{
    TcpClient client;
    client.setTimeout(5000);
    std::string reply;
    if (!SendNetCommand(client, lab.address(0), request, reply))
        return {};
    return reply;
}

InstrumentStatus status(SimulatedLab &lab)
{
    InstrumentStatus s{};
    bool ok = false;
    GetStatus_Ret_Doc(sendTo(lab, GetStatus_doc()), s, ok);
    return ok ? s : InstrumentStatus{};
}

// Step, cycle of its loop, cycles, target temperature, hold time.
QString where(const InstrumentStatus &s)
{
    return QString::fromStdString(s[StatusStep] + " " + s[StatusCycle] + "/" + s[StatusCycles] + " " +
                                  s[StatusTargetTemp] + " " + s[StatusHoldTime]);
}

} // namespace

class TestSimProtocol : public QObject {
    Q_OBJECT
private slots:
    void loadAndGetByteForByte()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        std::string document = runDocument();
        document.insert(document.find("</Root>"), "\t<!-- a tab, a quote \" and an apostrophe ' -->\r\n");
        std::string message;
        const std::string loaded = sendTo(lab, LoadProtocol_doc("SHARED", "RUN1", document));
        QCOMPARE(ReplyStatus(loaded, message), 0);
        QCOMPARE(lab.instrument(0).protocol("SHARED", "RUN1").value_or(""), document);

        const std::string reply = sendTo(lab, GetProtocol_doc("SHARED", "RUN1"));
        QCOMPARE(ReplyStatus(reply, message), 0);
        std::string folder, file, protocol;
        bool ok = false;
        GetProtocol_Ret_Doc(reply, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(file, std::string("RUN1"));
        QCOMPARE(QByteArray::fromStdString(protocol), QByteArray::fromStdString(document));
        CyclerStepList list;
        QVERIFY(list.ReadProtocolXml(protocol));
        QCOMPARE(list.Count(), 5);
    }

    void planUnrollsLoops()
    {
        CyclerStepList list;
        list.AddLoopItem(QStringLiteral("4"), QStringLiteral("2"), true, 0);
        list.AddStepItem(QStringLiteral("95.0"), QStringLiteral("00:10"), QStringLiteral("5"), QStringLiteral("00:02"),
                         QStringLiteral("0.5"), false, false, true, 0);
        list.AddLoopItem(QStringLiteral("2"), QStringLiteral("3"), true, 0);
        list.AddStepItem(QStringLiteral("60.0"), QStringLiteral("00:20"), QStringLiteral("7"), QStringLiteral("00:05"),
                         QStringLiteral("0"), false, true, true, 0);
        list.AddStepItem(QStringLiteral("72.0"), QStringLiteral("00:30"), QStringLiteral("2"), QStringLiteral("00:00"),
                         QStringLiteral("0"), false, false, true, 0);
        list.AddStepItem(QStringLiteral("25.0"), QStringLiteral("01:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                         QStringLiteral("0"), false, false, true, 0);
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("N"), text));

        const duvosim::SimRunPlan plan = duvosim::protocolRunPlan(text);
        QStringList got;
        for (const duvosim::SimRunStep &s : plan.steps)
            got << QStringLiteral("%1:%2/%3 %4 %5s r%6").arg(s.stepNumber).arg(s.loopCycle).arg(s.loopCycles)
                       .arg(s.targetTemp).arg(s.holdSeconds).arg(s.rampSeconds);
        const QStringList expected{
            "2:1/2 95 10s r14",   // from 25 C at 5 C/s
            "4:1/3 60 20s r5", "5:1/3 72 30s r6",
            "4:2/3 60 15s r2", "5:2/3 72 30s r6",
            "4:3/3 60 10s r2", "5:3/3 72 30s r6",
            "2:2/2 95.5 12s r5",
            "4:1/3 60 20s r6", "5:1/3 72 30s r6",
            "4:2/3 60 15s r2", "5:2/3 72 30s r6",
            "4:3/3 60 10s r2", "5:3/3 72 30s r6",
            "6:1/1 25 60s r7",
        };
        QCOMPARE(got, expected);
        QCOMPARE(plan.protocolSteps, 6);
        QVERIFY(duvosim::protocolRunPlan("<Protocol><Name>DEFAULT</Name></Protocol>").steps.empty());
    }

    // GetStatus moves through the protocol: Skip goes step by step, the loop's cycles change
    // temperature and hold time, and an infinite hold holds until Skip lets it go.
    void runFollowsTheProtocol()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        duvosim::SimInstrument &sim = lab.instrument(0);
        QVERIFY(sim.putProtocol("SHARED", "RUN1", runDocument()));
        sim.setTimeScale(100);   // ramps of a few seconds pass at once; holds of 59 min take 35 s
        std::string message;
        QCOMPARE(ReplyStatus(sendTo(lab, StartRun_doc("SHARED", "RUN1", "1", "20")), message), 0);

        InstrumentStatus s = status(lab);
        QCOMPARE(s[StatusMode], std::string("Running"));
        QCOMPARE(s[StatusSteps], std::string("5"));
        QCOMPARE(where(s), QStringLiteral("1 1/1 95.0 3540.0"));
        const QStringList cycles{"3 1/3 60.0 3540.0", "3 2/3 59.0 3530.0", "3 3/3 58.0 3520.0"};
        for (const QString &expected : cycles) {
            QCOMPARE(ReplyStatus(sendTo(lab, Skip_doc()), message), 0);
            s = status(lab);
            QCOMPARE(where(s), expected);
            QCOMPARE(s[StatusTargetTempInc], std::string("-1.0"));
            QCOMPARE(s[StatusHoldTimeInc], std::string("-10.0"));
        }
        QCOMPARE(ReplyStatus(sendTo(lab, Skip_doc()), message), 0);
        s = status(lab);
        QCOMPARE(s[StatusStep], std::string("4"));
        QCOMPARE(s[StatusInfiniteHold], std::string("true"));
        // The ramp to 4 C takes 8 run seconds (0.08 s here); then the run holds.
        QTest::qWait(500);
        QCOMPARE(sim.runMode(), duvosim::SimRunMode::Running);
        const double heldAt = sim.runElapsed();
        QTest::qWait(300);
        QCOMPARE(sim.runElapsed(), heldAt);
        QCOMPARE(status(lab)[StatusStep], std::string("4"));

        // Let go, the run goes on to step 5 (3 s of ramp and 30 s of hold: 0.33 s here).
        QCOMPARE(ReplyStatus(sendTo(lab, Skip_doc()), message), 0);
        QCOMPARE(status(lab)[StatusStep], std::string("5"));
        QElapsedTimer timer;
        timer.start();
        while (sim.runMode() == duvosim::SimRunMode::Running && timer.elapsed() < 5000)
            QTest::qWait(20);
        s = status(lab);
        QCOMPARE(s[StatusMode], std::string("Completed"));
        QCOMPARE(s[StatusInfiniteHold], std::string("false"));
    }

    // Without Skip the run goes through every step and cycle on its own, in scaled time, and
    // completes at its closing infinite hold.
    void runCompletesInScaledTime()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        duvosim::SimInstrument &sim = lab.instrument(0);
        CyclerStepList list;
        list.AddLoopItem(QStringLiteral("2"), QStringLiteral("5"), true, 0);
        list.AddStepItem(QStringLiteral("95.0"), QStringLiteral("01:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                         QStringLiteral("0"), false, false, true, 0);
        list.AddStepItem(QStringLiteral("60.0"), QStringLiteral("01:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                         QStringLiteral("0"), false, false, true, 0);
        list.AddStepItem(QStringLiteral("4.0"), QStringLiteral("00:00"), QStringLiteral("7"), QStringLiteral("00:00"),
                         QStringLiteral("0"), true, false, true, 0);
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("FAST"), text));
        QVERIFY(sim.putProtocol("SHARED", "FAST", text));
        sim.setTimeScale(1000);
        QVERIFY(sim.startRun("SHARED", "FAST"));
        QSet<QString> seen;
        QElapsedTimer timer;
        timer.start();
        while (sim.runMode() == duvosim::SimRunMode::Running && timer.elapsed() < 10000) {
            const InstrumentStatus s = status(lab);
            if (s[StatusMode] == "Running")
                seen << QString::fromStdString(s[StatusCycle]);
            QTest::qWait(20);
        }
        QCOMPARE(sim.runMode(), duvosim::SimRunMode::Completed);
        // The closing hold: completed, holding until Stop.
        const InstrumentStatus done = status(lab);
        QCOMPARE(done[StatusMode], std::string("Completed"));
        QCOMPARE(done[StatusInfiniteHold], std::string("true"));
        QCOMPARE(done[StatusStep], std::string("4"));
        // 5 cycles of 2 x (ramp + 60 s): about 0.7 s here, so the poll saw several cycles.
        QVERIFY2(seen.size() >= 3, qPrintable(QStringList(seen.values()).join(',')));
        QVERIFY(seen.contains(QStringLiteral("1")));
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
