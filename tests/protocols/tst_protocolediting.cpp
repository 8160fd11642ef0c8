// The protocol editor's rules without its window (127.0.111.0/24 for the instrument part):
// the editing commands on record lists written in a short notation, the clamps of the detail
// panels, the list's texts, the footer and the button states, the graph's points, the name
// Save proposes, and "Save changes to Duvo" against a simulated instrument.
//
// Notation: "S98" a step at 98 C (00:10, ramp 7), "S4h" one on hold, "L3x35" a loop of 3
// steps and 35 cycles; in results each level of indent is one leading ".".

#include "protocols/ProtocolEditing.h"
#include "protocols/DeviceFileOperations.h"
#include "link/NetExchange.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.111";

void build(CyclerStepList &list, const QString &notation)
{
    list.Clear();
    for (const QString &t : notation.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto r = std::make_unique<CyclerStepRecord>();
        if (t.startsWith(QLatin1Char('L'))) {
            const QStringList n = t.mid(1).split(QLatin1Char('x'));
            r->StepType = LoopStepType;
            r->NumberOfStepsInsideLoop = uint16_t(n.value(0).toInt());
            r->NumberOfCyclesToLoop = uint16_t(n.value(1).toInt());
            r->IncubationTime = EncodeTime(0, 0, 20);
        } else {
            QString v = t.mid(1);
            r->InfiniteHoldOn = v.endsWith(QLatin1Char('h')) ? 1 : 0;
            if (r->InfiniteHoldOn)
                v.chop(1);
            r->Temperature = v.toDouble();
            r->IncubationTime = EncodeTime(0, 0, 10);
            r->RampRate = 7.0;
        }
        list.Append(std::move(r));
    }
    list.RecomputeIndents();
}

QString describe(const CyclerStepList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i) {
        const CyclerStepRecord &r = *list.at(i);
        QString t = QString(r.Indent / 20, QLatin1Char('.'));
        if (r.isLoop())
            t += QStringLiteral("L%1x%2").arg(r.NumberOfStepsInsideLoop).arg(r.NumberOfCyclesToLoop);
        else
            t += QStringLiteral("S") + QString::number(r.Temperature) + (r.InfiniteHoldOn ? QStringLiteral("h") : QString());
        out << t;
    }
    return out.join(QLatin1Char(' '));
}

QString repeat(const QString &token, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << token;
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestProtocolEditing : public QObject {
    Q_OBJECT
private slots:
    void newProtocol()
    {
        CyclerStepList list;
        build(list, QStringLiteral("S1 S2"));
        QCOMPARE(ProtocolNew(list), 0);
        QCOMPARE(describe(list), QStringLiteral("S98 L3x35 .S98 .S65 .S72 S72 S4h"));
        QCOMPARE(ProtocolFooter(list), QStringLiteral("Temp. Steps: 6   Loops: 1   Cycles: 35"));
        QCOMPARE(FormatMinutesSeconds(list.at(0)->IncubationTime), QStringLiteral("00:30"));
        QCOMPARE(FormatMinutesSeconds(list.at(5)->IncubationTime), QStringLiteral("05:00"));
        QCOMPARE(list.at(3)->RampRate, 7.0);
    }

    void commands_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("select");

        // New Step
        QTest::newRow("step on an empty list") << "" << "step" << -1 << "S98" << 0;
        QTest::newRow("step copies a top-level step") << "S10 S20" << "step" << 1 << "S10 S20 S20" << 1;
        QTest::newRow("step in a nested loop grows both loops")
            << "L4x2 L2x5 S10 S20 S30 S40" << "step" << 3 << "L5x2 .L3x5 ..S10 ..S20 ..S20 .S30 S40" << 3;
        QTest::newRow("step before a top-level loop joins the loop before it")
            << "L1x3 S10 L1x4 S20" << "step" << 2 << "L2x3 .S10 .S65 L1x4 .S20" << 2;
        QTest::newRow("step before a top-level loop with no loop before it")
            << "S10 L1x4 S20" << "step" << 1 << "S10 S65 L1x4 .S20" << 1;
        QTest::newRow("step before a nested loop joins the nested loop before it")
            << "L4x2 L1x5 S10 L1x6 S20" << "step" << 3 << "L5x2 .L2x5 ..S10 ..S65 .L1x6 ..S20" << 3;
        // A top-level body step between the two nested loops: the new step stays out of the
        // first one (it would run that loop's cycles).
        QTest::newRow("step before a nested loop after a body step")
            << "L5x2 L1x5 S10 S30 L1x6 S20" << "step" << 4 << "L6x2 .L1x5 ..S10 .S30 .S65 .L1x6 ..S20" << 4;

        // New Loop
        QTest::newRow("loop wraps a top-level step after a loop body")
            << "L1x3 S10 S20" << "loop" << 2 << "L1x3 .S10 L1x9 .S20" << 2;
        QTest::newRow("loop wraps a step of a top-level loop")
            << "L2x3 S10 S20" << "loop" << 2 << "L3x3 .S10 .L1x9 ..S20" << 2;
        QTest::newRow("loop wraps a top-level loop of 3 steps")
            << "L3x7 S1 S2 S3" << "loop" << 0 << "L4x3 .L3x7 ..S1 ..S2 ..S3" << 0;

        // Delete
        QTest::newRow("last body step of a loop at 0 takes the loop along")
            << "L1x3 S10 S20" << "delete" << 1 << "S20" << 0;
        QTest::newRow("last of three selects the new last") << "S1 S2 S3" << "delete" << 2 << "S1 S2" << 1;
        QTest::newRow("two records: the loop goes, the step stays") << "L1x3 S10" << "delete" << 1 << "S10" << 0;
        QTest::newRow("two records: the first goes") << "S1 S2" << "delete" << 0 << "S2" << 0;
        QTest::newRow("two records: a selected loop stays") << "S1 L0x3" << "delete" << 1 << "S1 L0x3" << 1;
        QTest::newRow("a top-level loop goes alone, its body stays")
            << "L2x3 S1 S2 S3" << "delete" << 0 << "S1 S2 S3" << 0;
        QTest::newRow("an emptied nested loop goes, its loop loses two")
            << "L3x2 L1x5 S10 S20" << "delete" << 2 << "L1x2 .S20" << 1;
        QTest::newRow("a nested loop goes, its body stays in the loop")
            << "L3x2 L2x5 S10 S20 S30" << "delete" << 1 << "L2x2 .S10 .S20 S30" << 1;
        QTest::newRow("nothing left: the default step") << "L2x3 L1x5 S10" << "delete" << 2 << "S98" << 0;
    }
    void commands()
    {
        QFETCH(QString, start);
        QFETCH(QString, command);
        QFETCH(int, selected);
        QFETCH(QString, result);
        QFETCH(int, select);
        ScriptedPrompts prompts;
        CyclerStepList list;
        build(list, start);
        int got = -2;
        if (command == QLatin1String("step"))
            got = ProtocolNewStep(list, selected);
        else if (command == QLatin1String("loop"))
            got = ProtocolNewLoop(list, selected).select;
        else
            got = ProtocolDelete(list, selected);
        QCOMPARE(describe(list), result);
        QCOMPARE(got, select);
        QCOMPARE(prompts.asked().size(), 0);
        // Whatever the command did, the list can be saved and read back.
        std::vector<CyclerStepRecord> records;
        for (int i = 0; i < list.Count(); ++i)
            records.push_back(*list.at(i));
        QVERIFY(LoopsNestProperly(records));
    }

    void newLoopRefusals_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        const QString loops49 = repeat(QStringLiteral("L1x1 S1"), 49);
        QTest::newRow("49 loops, before the cycle checks")
            << loops49 + QStringLiteral(" L0x950") << 0 << "Max loop steps reached!" << int(PromptIcon::None);
        QTest::newRow("cycles exactly 999") << "L1x999 S1 S2" << 2 << "Max loop cycles reached" << int(PromptIcon::None);
        QTest::newRow("cycles above 999") << "L1x999 S1 L1x1 S2 S3" << 4 << CycleLimitText() << int(PromptIcon::Warning);
        QTest::newRow("step two levels deep") << "L2x2 L1x3 S1" << 2 << "Can't add nested loop here!"
                                              << int(PromptIcon::Information);
        QTest::newRow("nested loop") << "L2x2 L1x3 S1" << 1 << "Can't add nested loop here!" << int(PromptIcon::Information);
        QTest::newRow("top-level loop holding a loop")
            << "L2x2 L1x3 S1" << 0 << "Can't add nested loop here!" << int(PromptIcon::Information);
    }
    void newLoopRefusals()
    {
        QFETCH(QString, start);
        QFETCH(int, selected);
        QFETCH(QString, message);
        QFETCH(int, icon);
        ScriptedPrompts prompts;
        prompts.answer(Ok, message, QStringLiteral("Information"));
        CyclerStepList list;
        build(list, start);
        const QString before = describe(list);
        const NewLoopResult r = ProtocolNewLoop(list, selected);
        QCOMPARE(r.message, message);
        QCOMPARE(r.select, -1);
        QCOMPARE(describe(list), before);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(int(prompts.asked().first().icon), icon);
    }

    void newLoopWith48LoopsAndSum995()
    {
        ScriptedPrompts prompts;
        CyclerStepList list;
        build(list, repeat(QStringLiteral("L1x1 S1"), 47) + QStringLiteral(" L1x948 S1 S2"));
        QCOMPARE(list.CycleSum(), 995);
        const int last = list.Count() - 1;
        QCOMPARE(ProtocolNewLoop(list, last).select, last);
        QCOMPARE(list.LoopItemCount(), 49);
        QCOMPARE(list.CycleSum(), 1004);
    }

    // "Steps in Loop" of a top-level loop may not end inside a nested body.
    void loopStepsFit_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("available");
        QTest::addColumn<QString>("fits");   // one letter per value 1..available
        QTest::newRow("top-level loop around a nested loop") << "L3x2 L2x5 S1 S2" << 0 << 3 << "nny";
        QTest::newRow("top-level loop of steps") << "L1x2 S1 S2 S3 L1x1 S4" << 0 << 3 << "yyy";
        QTest::newRow("nested loop skips top-level steps") << "L4x2 L1x5 S10 S20 S30 S40" << 1 << 3 << "yyy";
        QTest::newRow("nested loop past its loop") << "L3x2 L1x5 S10 S20 S30 L1x1 S5" << 1 << 2 << "yy";
    }
    void loopStepsFit()
    {
        QFETCH(QString, start);
        QFETCH(int, position);
        QFETCH(int, available);
        QFETCH(QString, fits);
        CyclerStepList list;
        build(list, start);
        QCOMPARE(AvailableLoopSteps(list, position), available);
        for (int n = 1; n <= available; ++n)
            QCOMPARE(LoopStepsFit(list, position, n), fits.at(n - 1) == QLatin1Char('y'));
    }

    void clamps_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("result");   // "!" : not a number
        QTest::newRow("temperature above") << "Temperature" << "120" << "99.9";
        QTest::newRow("temperature below") << "Temperature" << "2" << "04.0";
        QTest::newRow("temperature empty") << "Temperature" << "" << "60.0";
        QTest::newRow("temperature in range") << "Temperature" << "55.5" << "55.5";
        QTest::newRow("temperature with a comma") << "Temperature" << "55,5" << "55,5";
        QTest::newRow("temperature no number") << "Temperature" << "abc" << "!";
        QTest::newRow("temperature half a number") << "Temperature" << "12a" << "!";
        QTest::newRow("ramp above") << "Ramp Rate" << "9" << "7.0";
        QTest::newRow("ramp below") << "Ramp Rate" << "0" << "0.1";
        QTest::newRow("ramp empty") << "Ramp Rate" << "" << "7.0";
        QTest::newRow("increment above") << "Temp Increment" << "100" << "95.9";
        QTest::newRow("increment below") << "Temp Increment" << "-100" << "-95.9";
        QTest::newRow("increment empty") << "Temp Increment" << "" << "0.0";
        QTest::newRow("cycles zero") << "Cycles" << "0" << "1";
        QTest::newRow("cycles negative") << "Cycles" << "-3" << "1";
        QTest::newRow("cycles no number") << "Cycles" << "x" << "!";
        QTest::newRow("cycles fraction") << "Cycles" << "2.5" << "!";
    }
    void clamps()
    {
        QFETCH(QString, caption);
        QFETCH(QString, value);
        QFETCH(QString, result);
        const std::optional<QString> got = ClampInspectorValue(caption, value);
        if (result == QLatin1String("!"))
            QVERIFY(!got);
        else
            QCOMPARE(got.value_or(QStringLiteral("<none>")), result);
    }

    void stepValuesRoundTrip()
    {
        CyclerStepRecord r;
        r.Temperature = 72.0;
        r.RampRate = 2.5;
        r.IncubationTime = EncodeTime(0, 1, 5);
        StepValues v = StepPanelValues(r);
        QCOMPARE(v.rampRate, QStringLiteral("02.5"));
        QCOMPARE(v.time, QStringLiteral("01:05"));
        v.temperature = QStringLiteral("55.55");
        v.hold = true;
        QVERIFY(ApplyStepValues(r, v));
        QCOMPARE(FormatDisplayNumber(r.Temperature), QStringLiteral("55.6"));
        QVERIFY(r.InfiniteHoldOn);
        v.temperature = QStringLiteral("x");
        QVERIFY(!ApplyStepValues(r, v));
        QCOMPARE(FormatDisplayNumber(r.Temperature), QStringLiteral("55.6"));
    }

    void itemViews()
    {
        CyclerStepRecord step;
        step.Temperature = 98;
        step.RampRate = 7;
        step.IncubationTime = EncodeTime(0, 0, 30);
        ProtocolItemView v = ProtocolItem(step, 0);
        QCOMPARE(v.caption, QStringLiteral("1"));
        QCOMPARE(v.info, QStringLiteral("98.0C°"));
        QCOMPARE(v.notes, QStringLiteral("Duration:  00:30"));
        QCOMPARE(v.left, ItemPicture::Step);
        QCOMPARE(v.right, ItemPicture::None);

        step.InfiniteHoldOn = 1;
        QCOMPARE(ProtocolItem(step, 0).right, ItemPicture::Hold);
        step.DecrementTime = 1;   // warning and hold: the warning takes the left
        v = ProtocolItem(step, 0);
        QCOMPARE(v.left, ItemPicture::Warning);
        QCOMPARE(v.right, ItemPicture::Hold);
        step.InfiniteHoldOn = 0;
        step.DecrementTime = 0;
        step.RampRate = 3;
        v = ProtocolItem(step, 4);
        QCOMPARE(v.caption, QStringLiteral("5"));
        QCOMPARE(v.left, ItemPicture::Step);
        QCOMPARE(v.right, ItemPicture::Warning);

        CyclerStepRecord loop;
        loop.StepType = LoopStepType;
        loop.NumberOfStepsInsideLoop = 3;
        loop.NumberOfCyclesToLoop = 35;
        v = ProtocolItem(loop, 1);
        QVERIFY(!v.isStep);
        QCOMPARE(v.info, QStringLiteral("Loop Step"));
        QCOMPARE(v.notes, QStringLiteral("Steps: 3   Cycles: 35"));
        QCOMPARE(v.left, ItemPicture::Loop);
    }

    void editButtons_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("del");
        QTest::newRow("98 items") << 98 << 0 << true << true;
        QTest::newRow("exactly 99") << 99 << 0 << false << true;
        QTest::newRow("more than 99 stays open") << 120 << 0 << true << true;
        QTest::newRow("one item") << 1 << 0 << true << false;
        QTest::newRow("no selection") << 5 << -1 << true << false;
    }
    void editButtons()
    {
        QFETCH(int, count);
        QFETCH(int, selected);
        QFETCH(bool, add);
        QFETCH(bool, del);
        const EditButtons b = ProtocolEditButtons(count, selected);
        QCOMPARE(b.newStep, add);
        QCOMPARE(b.newLoop, add);
        QCOMPARE(b.deleteStep, del);
    }

    void graphOfNew()
    {
        CyclerStepList list;
        ProtocolNew(list);
        const std::vector<GraphPoint> p = ProtocolGraphPoints(list);
        QCOMPARE(p.size(), size_t(8));
        struct Want {
            qint64 s;
            double t;
            const char *label;
            GraphColour c;
        };
        const Want want[] = {{0, 98, "", GraphColour::Red},          {30, 98, "Step 1", GraphColour::Red},
                             {70, 98, "Loop Step 2", GraphColour::Green}, {75, 98, "Step 3", GraphColour::Red},
                             {85, 65, "Step 4", GraphColour::Red},     {115, 72, "Step 5", GraphColour::Red},
                             {415, 72, "Step 6", GraphColour::Red},    {415, 4, "Step 7", GraphColour::Blue}};
        for (size_t k = 0; k < p.size(); ++k) {
            QCOMPARE(p[k].seconds, want[k].s);
            QCOMPARE(p[k].temperature, want[k].t);
            QCOMPARE(p[k].label, QString::fromLatin1(want[k].label));
            QCOMPARE(p[k].colour, want[k].c);
        }
        // Mark k opens record k-1; the start point opens nothing.
        QCOMPARE(GraphPointRecord(3, list.Count()), 2);
        QCOMPARE(GraphPointRecord(7, list.Count()), 6);
        QCOMPARE(GraphPointRecord(0, list.Count()), -1);
        QCOMPARE(GraphPointRecord(8, list.Count()), -1);
    }

    void graphLoopTemperatures_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("temperatures");   // of every point, the start point first
        QTest::newRow("first step") << "S95" << "95 95";
        QTest::newRow("loop first takes the next step") << "L1x2 S60" << "60 60 60";
        QTest::newRow("loop last takes the step before") << "S50 L0x2" << "50 50 50";
        QTest::newRow("loops followed by loops only") << "S40 L0x2 L0x3" << "40 40 40 40";
        QTest::newRow("nothing but loops") << "L0x2 L0x3" << "0 0 0";
    }
    void graphLoopTemperatures()
    {
        QFETCH(QString, start);
        QFETCH(QString, temperatures);
        CyclerStepList list;
        build(list, start);
        QStringList got;
        for (const GraphPoint &p : ProtocolGraphPoints(list))
            got << QString::number(p.temperature);
        QCOMPARE(got.join(QLatin1Char(' ')), temperatures);
    }

    void graphTimes()
    {
        CyclerStepList list;
        build(list, QStringLiteral("L1x2 S60h"));
        const std::vector<GraphPoint> p = ProtocolGraphPoints(list);
        QCOMPARE(p[1].seconds, qint64(40));   // a loop moves the axis by 40 s
        QCOMPARE(p[2].seconds, qint64(50));   // a hold step adds only its stored time
        QCOMPARE(p[2].colour, GraphColour::Blue);
        QVERIFY(ProtocolGraphPoints(CyclerStepList()).empty());
    }

    void proposedNames_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("saveFileName");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("a new protocol") << "" << "" << "/data/protocols" << "ABC.SVP";
        QTest::newRow("the caller's name") << "" << "PCR7.SVP" << "/data/protocols" << "PCR7.SVP";
        QTest::newRow("the opened file") << "/home/lab/old/X.svp" << "PCR7.SVP" << "/home/lab/old" << "X.svp";
    }
    void proposedNames()
    {
        QFETCH(QString, opened);
        QFETCH(QString, saveFileName);
        QFETCH(QString, directory);
        QFETCH(QString, fileName);
        const SaveProposal p = ProposedSaveName(opened, saveFileName, QStringLiteral("ABC"), QStringLiteral("/data/protocols/"));
        QCOMPARE(p.directory, directory);
        QCOMPARE(p.fileName, fileName);
    }

    // ---- Save changes to Duvo ----------------------------------------------------------------

    void update_deletesThenLoads()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA");
        lab.instrument(0).putProtocol("DATA", "ABC", "<old/>");
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        ScriptedPrompts prompts;
        CyclerStepList list;
        ProtocolNew(list);
        std::string document;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("ABC"), document));

        prompts.answer(Ok, QStringLiteral("Update completed."), QStringLiteral("Information"));
        QCOMPARE(UpdateDeviceProtocol(ops, list, QString::fromStdString(lab.address(0)), QStringLiteral("/DATA"),
                                      QStringLiteral("ABC")),
                 UpdateOutcome::Updated);
        const auto sent = lab.requestBytes(0);
        QCOMPARE(sent.size(), size_t(3));   // GetAttrValue (password), DelFile, LoadProtocol
        QVERIFY(sent[1].find("DelFile") != std::string::npos);
        QVERIFY(sent[2].find("LoadProtocol") != std::string::npos);
        QCOMPARE(lab.instrument(0).protocol("DATA", "ABC").value_or(""), document);
    }

    void update_refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("outcome");
        QTest::newRow("DEFAULT") << "DEFAULT" << "S1" << "The DEFAULT protocol can not be updated with Duvo Studio!"
                                 << int(UpdateOutcome::ServiceProtocol);
        QTest::newRow("VALIDAT") << "VALIDAT" << "S1" << "The VALIDAT protocol can not be updated with Duvo Studio!"
                                 << int(UpdateOutcome::ServiceProtocol);
        QTest::newRow("LIFETES") << "LIFETES" << "S1" << "The LIFETES protocol can not be updated with Duvo Studio!"
                                 << int(UpdateOutcome::ServiceProtocol);
        QTest::newRow("cycles before the name") << "DEFAULT" << "L1x1000 S1" << CycleLimitText()
                                                << int(UpdateOutcome::CycleLimit);
        // A protocol the reader refused leaves the list empty: the instrument keeps its copy.
        QTest::newRow("no document") << "ABC" << "" << "There was an error creating the protocol!"
                                     << int(UpdateOutcome::NoDocument);
    }
    void update_refusedBeforeAnythingIsSent()
    {
        QFETCH(QString, name);
        QFETCH(QString, start);
        QFETCH(QString, message);
        QFETCH(int, outcome);
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA");
        lab.instrument(0).putProtocol("DATA", name.toStdString(), "<old/>");
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        ScriptedPrompts prompts;
        prompts.answer(Ok, message);
        CyclerStepList list;
        build(list, start);
        QCOMPARE(int(UpdateDeviceProtocol(ops, list, QString::fromStdString(lab.address(0)), QStringLiteral("DATA"), name)),
                 outcome);
        QCOMPARE(prompts.asked().size(), 1);
        QVERIFY(lab.requestBytes(0).empty());
        QCOMPARE(lab.instrument(0).protocol("DATA", name.toStdString()).value_or(""), std::string("<old/>"));
    }

    void update_cancelledPassword()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA", "PW");
        lab.instrument(0).putProtocol("DATA", "ABC", "<old/>");
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        ScriptedPrompts prompts;
        prompts.answerInput(std::nullopt);
        prompts.answer(Ok, QStringLiteral("There was an error deleting file ABC!"), QStringLiteral("Error"));
        CyclerStepList list;
        ProtocolNew(list);
        QCOMPARE(UpdateDeviceProtocol(ops, list, QString::fromStdString(lab.address(0)), QStringLiteral("DATA"),
                                      QStringLiteral("ABC")),
                 UpdateOutcome::DeleteFailed);
        for (const std::string &r : lab.requestBytes(0)) {
            QVERIFY(r.find("DelFile") == std::string::npos);
            QVERIFY(r.find("LoadProtocol") == std::string::npos);
        }
        QVERIFY(lab.instrument(0).protocol("DATA", "ABC"));
    }

    void update_loadError()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA");
        lab.instrument(0).putProtocol("DATA", "ABC", "<old/>");
        duvosim::SimFault fault;
        fault.kind = duvosim::FaultKind::ErrorReply;
        fault.command = "LoadProtocol";
        fault.errCode = 7;
        fault.errMessage = "Disk full";
        lab.addFault(0, fault);
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Disk full"), QStringLiteral("Error LoadProtocol"));
        prompts.answer(Ok, QStringLiteral("There was an error updating DATA/ABC!"), QStringLiteral("Error"));
        CyclerStepList list;
        ProtocolNew(list);
        QCOMPARE(UpdateDeviceProtocol(ops, list, QString::fromStdString(lab.address(0)), QStringLiteral("DATA"),
                                      QStringLiteral("ABC")),
                 UpdateOutcome::LoadFailed);
        QCOMPARE(prompts.pending(), 0);
    }
};

QTEST_MAIN(TestProtocolEditing)
#include "tst_protocolediting.moc"
