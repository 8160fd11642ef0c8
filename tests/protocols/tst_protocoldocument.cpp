// The record list, the protocol document written from it and read back into it.

#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolDocument.h"
#include "protocols/ProtocolDocumentReader.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <random>
#include <tinyxml.h>

using namespace duvo;

using Records = std::vector<CyclerStepRecord>;
Q_DECLARE_METATYPE(Records)
Q_DECLARE_METATYPE(duvo::CyclerStepRecord)

namespace {

CyclerStepRecord step(double temperature, int minutes, int seconds, double ramp = 7.0, int changeMinutes = 0,
                      int changeSeconds = 0, bool decrement = false, double temperatureChange = 0.0, bool hold = false)
{
    CyclerStepRecord r;
    r.StepType = TemperatureStepType;
    r.Temperature = temperature;
    r.IncubationTime = EncodeTime(0, minutes, seconds);
    r.RampRate = ramp;
    r.IncubationTimeIncrementPerCycle = EncodeTime(0, changeMinutes, changeSeconds);
    r.DecrementTime = decrement ? 1 : 0;
    r.TemperatureIncrementPerCycle = temperatureChange;
    r.InfiniteHoldOn = hold ? 1 : 0;
    return r;
}

CyclerStepRecord loop(int steps, int cycles)
{
    CyclerStepRecord r;
    r.StepType = LoopStepType;
    r.NumberOfStepsInsideLoop = uint16_t(steps);
    r.NumberOfCyclesToLoop = uint16_t(cycles);
    r.IncubationTime = EncodeTime(0, 0, 20);
    return r;
}

void fill(CyclerStepList &list, const Records &records)
{
    for (const CyclerStepRecord &r : records)
        list.Append(std::make_unique<CyclerStepRecord>(r));
    list.RecomputeIndents();
}

Records recordsOf(const CyclerStepList &list)
{
    Records out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(*list.at(i));
    return out;
}

// With indents as the list computes them.
Records indented(const Records &records)
{
    CyclerStepList list;
    fill(list, records);
    return recordsOf(list);
}

std::string crlf(const char *text)
{
    std::string out;
    for (const char *p = text; *p; ++p) {
        if (*p == '\n')
            out += '\r';
        out += *p;
    }
    return out;
}

// One step, as the writer puts it, for documents built by hand.
std::string stepXml(int index, const std::string &temperature, const std::string &time,
                    const std::string &change = "0", const std::string &hold = "false",
                    const std::string &ramp = "7.000000", const std::string &temperatureChange = "0.000000",
                    const std::string &type = "CyclerTemperatureStep")
{
    return "<CyclerStep Index=\"" + std::to_string(index) + "\">\r\n<StepType>" + type
        + "</StepType>\r\n<PlateRead>false</PlateRead>\r\n<Temperature>" + temperature
        + "</Temperature>\r\n<TemperatureIncrementPerCycle>" + temperatureChange
        + "</TemperatureIncrementPerCycle>\r\n<IncubationTime>" + time + "</IncubationTime>\r\n<InfiniteHoldOn>"
        + hold + "</InfiniteHoldOn>\r\n<IncubationTimeIncrementPerCycle>" + change
        + "</IncubationTimeIncrementPerCycle>\r\n<RampRate>" + ramp + "</RampRate>\r\n</CyclerStep>\r\n";
}

std::string loopXml(int index, const std::string &cycles, const std::string &steps)
{
    return "<CyclerStep Index=\"" + std::to_string(index)
        + "\">\r\n<StepType>CyclerLoopStep</StepType>\r\n<NumberOfCyclesToLoop>" + cycles
        + "</NumberOfCyclesToLoop>\r\n<NumberOfStepsInsideLoop>" + steps + "</NumberOfStepsInsideLoop>\r\n</CyclerStep>\r\n";
}

std::string without(std::string text, const std::string &piece)
{
    const size_t at = text.find(piece);
    if (at != std::string::npos)
        text.erase(at, piece.size());
    return text;
}

std::string replaced(std::string text, const std::string &piece, const std::string &by)
{
    const size_t at = text.find(piece);
    if (at != std::string::npos)
        text.replace(at, piece.size(), by);
    return text;
}

std::string documentXml(const std::string &count, const std::string &steps)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Root xmlns=\"http://www.velmor.com/rt-pcr\">\r\n"
           "<CyclerProtocol>\r\n<Name>T</Name>\r\n<NumberOfSteps>" + count + "</NumberOfSteps>\r\n<CyclerSteps>\r\n"
        + steps + "\r\n</CyclerSteps>\r\n</CyclerProtocol>\r\n</Root>\r\n";
}

// Every answer a document reader gives for the document, on one text.
std::string answersOf(const ParsedProtocolDocument &doc)
{
    std::string out;
    std::string value;
    out += doc.stepCount(value) ? "count " + value : std::string("no count");
    for (int i = 0; i < 5; ++i) {
        out += "\n" + std::to_string(i) + ": ";
        out += doc.stepType(i, value) ? "type " + value : std::string("no type");
        TemperatureStepTexts t;
        if (doc.temperatureStep(i, t))
            out += " step " + t.StepType + "|" + t.PlateRead + "|" + t.Temperature + "|" + t.TemperatureIncrementPerCycle
                + "|" + t.IncubationTime + "|" + t.InfiniteHoldOn + "|" + t.IncubationTimeIncrementPerCycle + "|" + t.RampRate;
        LoopStepTexts l;
        if (doc.loopStep(i, l))
            out += " loop " + l.NumberOfCyclesToLoop + "|" + l.NumberOfStepsInsideLoop;
    }
    return out;
}

} // namespace

class TestProtocolDocument : public QObject {
    Q_OBJECT
private slots:
    void documentTextIsExact()
    {
        CyclerStepList list;
        fill(list, {step(98, 0, 30),
                    loop(2, 35),
                    step(65, 0, 10, 2.5, 0, 10, true, -0.5),
                    step(72, 1, 30, 7, 0, 5),
                    step(4, 5, 0, 7, 0, 3, true, 0, true)});
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("Pcr 1"), text));
        const std::string expected = crlf(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
            "<Root xmlns=\"http://www.velmor.com/rt-pcr\">\n"
            "<CyclerProtocol>\n"
            "<DefParameterVersion>1.0.0.0</DefParameterVersion>\n"
            "<Name>PCR 1</Name>\n"
            "<Description>Pcr 1 protocol</Description>\n"
            "<ReactionVolume>0.000000</ReactionVolume>\n"
            "<RampRate>0.000000</RampRate>\n"
            "<HeatedLidActive>true</HeatedLidActive>\n"
            "<HeatedLidTemperature>90.000000</HeatedLidTemperature>\n"
            "<NumberOfSteps>5</NumberOfSteps>\n"
            "<CyclerSteps>\n"
            "<CyclerStep Index=\"0\">\n"
            "<StepType>CyclerTemperatureStep</StepType>\n"
            "<PlateRead>false</PlateRead>\n"
            "<Temperature>98.000000</Temperature>\n"
            "<TemperatureIncrementPerCycle>0.000000</TemperatureIncrementPerCycle>\n"
            "<IncubationTime>30</IncubationTime>\n"
            "<InfiniteHoldOn>false</InfiniteHoldOn>\n"
            "<IncubationTimeIncrementPerCycle>0</IncubationTimeIncrementPerCycle>\n"
            "<RampRate>7.000000</RampRate>\n"
            "</CyclerStep>\n"
            "<CyclerStep Index=\"1\">\n"
            "<StepType>CyclerLoopStep</StepType>\n"
            "<NumberOfCyclesToLoop>35</NumberOfCyclesToLoop>\n"
            "<NumberOfStepsInsideLoop>2</NumberOfStepsInsideLoop>\n"
            "</CyclerStep>\n"
            "<CyclerStep Index=\"2\">\n"
            "<StepType>CyclerTemperatureStep</StepType>\n"
            "<PlateRead>false</PlateRead>\n"
            "<Temperature>65.000000</Temperature>\n"
            "<TemperatureIncrementPerCycle>-0.500000</TemperatureIncrementPerCycle>\n"
            "<IncubationTime>10</IncubationTime>\n"
            "<InfiniteHoldOn>false</InfiniteHoldOn>\n"
            "<IncubationTimeIncrementPerCycle>-10</IncubationTimeIncrementPerCycle>\n"
            "<RampRate>2.500000</RampRate>\n"
            "</CyclerStep>\n"
            "<CyclerStep Index=\"3\">\n"
            "<StepType>CyclerTemperatureStep</StepType>\n"
            "<PlateRead>false</PlateRead>\n"
            "<Temperature>72.000000</Temperature>\n"
            "<TemperatureIncrementPerCycle>0.000000</TemperatureIncrementPerCycle>\n"
            "<IncubationTime>90</IncubationTime>\n"
            "<InfiniteHoldOn>false</InfiniteHoldOn>\n"
            "<IncubationTimeIncrementPerCycle>5</IncubationTimeIncrementPerCycle>\n"
            "<RampRate>7.000000</RampRate>\n"
            "</CyclerStep>\n"
            "<CyclerStep Index=\"4\">\n"
            "<StepType>CyclerTemperatureStep</StepType>\n"
            "<PlateRead>false</PlateRead>\n"
            "<Temperature>4.000000</Temperature>\n"
            "<TemperatureIncrementPerCycle>0.000000</TemperatureIncrementPerCycle>\n"
            "<IncubationTime>0</IncubationTime>\n"
            "<InfiniteHoldOn>true</InfiniteHoldOn>\n"
            "<IncubationTimeIncrementPerCycle>0</IncubationTimeIncrementPerCycle>\n"
            "<RampRate>7.000000</RampRate>\n"
            "</CyclerStep>\n"
            "\n"
            "</CyclerSteps>\n"
            "</CyclerProtocol>\n"
            "</Root>\n"
        );
        QCOMPARE(QByteArray::fromStdString(text), QByteArray::fromStdString(expected));
    }

    void emptyListGivesNoDocument()
    {
        CyclerStepList list;
        std::string text = "before";
        QVERIFY(!list.WriteProtocolXml(QStringLiteral("A"), text));
        QCOMPARE(text, std::string("before"));
    }

    void stepFieldTexts_data()
    {
        QTest::addColumn<CyclerStepRecord>("record");
        QTest::addColumn<QString>("expected");
        QTest::newRow("decrement 00:10") << step(60, 0, 20, 7, 0, 10, true)
                                         << "<IncubationTimeIncrementPerCycle>-10</IncubationTimeIncrementPerCycle>";
        QTest::newRow("decrement 00:00 gives -0") << step(60, 0, 20, 7, 0, 0, true)
                                                  << "<IncubationTimeIncrementPerCycle>-0</IncubationTimeIncrementPerCycle>";
        QTest::newRow("hold drops the time") << step(4, 5, 0, 7, 0, 10, false, 0, true)
                                             << "<IncubationTime>0</IncubationTime>";
        QTest::newRow("hold drops a decrement sign") << step(4, 5, 0, 7, 0, 10, true, 0, true)
                                                     << "<IncubationTimeIncrementPerCycle>0</IncubationTimeIncrementPerCycle>";
        CyclerStepRecord withHours = step(60, 0, 0);
        withHours.IncubationTime = EncodeTime(1, 2, 3, 400);
        QTest::newRow("hours and milliseconds dropped") << withHours << "<IncubationTime>123</IncubationTime>";
        QTest::newRow("negative temperature change") << step(60, 0, 20, 7, 0, 0, false, -0.5)
                                                     << "<TemperatureIncrementPerCycle>-0.500000</TemperatureIncrementPerCycle>";
        QTest::newRow("59:59") << step(60, 59, 59) << "<IncubationTime>3599</IncubationTime>";
    }

    void stepFieldTexts()
    {
        QFETCH(CyclerStepRecord, record);
        QFETCH(QString, expected);
        CyclerStepList list;
        fill(list, {record});
        std::string text;
        QVERIFY(list.WriteProtocolSteps(text));
        QVERIFY2(text.find(expected.toStdString() + "\r\n") != std::string::npos, text.c_str());
    }

    void numberTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("integerDigits");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");
        QTest::newRow("98") << 98.0 << 1 << 6 << "98.000000";
        QTest::newRow("-0.5") << -0.5 << 1 << 6 << "-0.500000";
        QTest::newRow("0.25 half away from zero") << 0.25 << 1 << 1 << "0.3";
        QTest::newRow("0.15 as typed") << 0.15 << 2 << 1 << "00.2";
        QTest::newRow("4 with two digits") << 4.0 << 2 << 1 << "04.0";
        QTest::newRow("-5 with two digits") << -5.0 << 2 << 1 << "-05.0";
        QTest::newRow("carry into a new digit") << 999.99999951 << 1 << 6 << "1000.000000";
        QTest::newRow("tiny negative rounds to unsigned zero") << -1e-9 << 1 << 6 << "0.000000";
        QTest::newRow("negative zero") << -0.0 << 1 << 6 << "0.000000";
        QTest::newRow("large") << 123456789.125 << 1 << 2 << "123456789.13";
    }

    void numberTexts()
    {
        QFETCH(double, value);
        QFETCH(int, integerDigits);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(FormatFixed(value, integerDigits, decimals)), expected);
    }

    // Numbers keep '.' under a C library locale that writes ',' (one built for the test).
    void numbersIgnoreTheLocale()
    {
        QTemporaryDir dir;
        if (QProcess::execute(QStringLiteral("localedef"),
                              {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                               dir.filePath(QStringLiteral("de_DE.UTF-8"))}) != 0)
            QSKIP("no German locale can be built here");
        const QByteArray oldPath = qgetenv("LOCPATH");
        qputenv("LOCPATH", dir.path().toLocal8Bit());
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8"));
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);

        CyclerStepList list;
        fill(list, {step(72.5, 0, 30, 2.5, 0, 0, false, -0.5)});
        std::string text;
        const bool written = list.WriteProtocolXml(QStringLiteral("L"), text);
        CyclerStepList back;
        const bool read = back.ReadProtocolXml(text);

        std::setlocale(LC_ALL, previous.c_str());
        if (oldPath.isNull())
            qunsetenv("LOCPATH");
        else
            qputenv("LOCPATH", oldPath);

        QCOMPARE(QByteArray(probe), QByteArray("1,5"));   // the locale really writes ','
        QVERIFY(written);
        QVERIFY(text.find("<Temperature>72.500000</Temperature>") != std::string::npos);
        QVERIFY(text.find("<RampRate>2.500000</RampRate>") != std::string::npos);
        QVERIFY(read);
        QCOMPARE(back.Count(), 1);
        QCOMPARE(back.at(0)->Temperature, 72.5);
        QCOMPARE(back.at(0)->TemperatureIncrementPerCycle, -0.5);
    }

    void roundTrip_data()
    {
        QTest::addColumn<Records>("records");
        QTest::addColumn<Records>("expected");
        const Records simple{step(95, 2, 0), step(60, 0, 45, 1.5)};
        QTest::newRow("steps only") << simple << simple;
        const Records standard{step(98, 0, 30), loop(3, 35), step(98, 0, 5), step(65, 0, 10), step(72, 0, 30),
                               step(72, 5, 0), step(4, 0, 0, 7, 0, 0, false, 0, true)};
        QTest::newRow("default protocol") << standard << standard;
        const Records nested{loop(5, 10), step(95, 0, 15), loop(2, 3), step(60, 0, 20), step(72, 0, 40),
                             step(50, 0, 10), loop(1, 2), step(40, 1, 0)};
        QTest::newRow("nested loops") << nested << nested;
        const Records changes{step(65, 0, 10, 0.1, 0, 0, true, -1.5), step(70, 0, 10, 3.3, 0, 7, false, 0.7),
                              step(55, 0, 10, 7, 0, 9, true, -95.9)};
        QTest::newRow("decrements and negative changes") << changes << changes;
        QTest::newRow("infinite hold loses its times")
            << Records{step(4, 5, 0, 7, 0, 10, true, 0, true)} << Records{step(4, 0, 0, 7, 0, 0, false, 0, true)};
        CyclerStepRecord hours = step(72.25, 0, 0);
        hours.IncubationTime = EncodeTime(2, 1, 40);
        QTest::newRow("one decimal, no hours") << Records{hours} << Records{step(72.3, 1, 40)};
        QTest::newRow("empty loop body") << Records{loop(0, 4), step(50, 0, 1)} << Records{loop(0, 4), step(50, 0, 1)};
    }

    void roundTrip()
    {
        QFETCH(Records, records);
        QFETCH(Records, expected);
        CyclerStepList list;
        fill(list, records);
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("RT"), text));
        CyclerStepList back;
        QVERIFY(back.ReadProtocolXml(text));
        QCOMPARE(recordsOf(back), indented(expected));
        // And written again, the same text.
        std::string again;
        QVERIFY(back.WriteProtocolXml(QStringLiteral("RT"), again));
        CyclerStepList expectedList;
        fill(expectedList, expected);
        std::string expectedText;
        QVERIFY(expectedList.WriteProtocolXml(QStringLiteral("RT"), expectedText));
        QCOMPARE(again, expectedText);
    }

    void readValues_data()
    {
        QTest::addColumn<QByteArray>("stepsXml");
        QTest::addColumn<Records>("expected");
        QTest::newRow("59.9 truncates to 59 s") << QByteArray::fromStdString(stepXml(0, "60", "59.9"))
                                                << Records{step(60, 0, 59)};
        QTest::newRow("True is not true") << QByteArray::fromStdString(stepXml(0, "60", "10", "0", "True"))
                                          << Records{step(60, 0, 10)};
        QTest::newRow("-0 sets decrement") << QByteArray::fromStdString(stepXml(0, "60", "10", "-0"))
                                           << Records{step(60, 0, 10, 7, 0, 0, true)};
        QTest::newRow("widest number texts") << QByteArray::fromStdString(stepXml(0, "60.000000000000", "10", "0", "false", "7.0000000000000"))
                                             << Records{step(60, 0, 10)};
        QTest::newRow("unknown kind left out")
            << QByteArray::fromStdString(stepXml(0, "60", "10") + stepXml(1, "61", "10", "0", "false", "7", "0", "CyclerPlateRead"))
            << Records{step(60, 0, 10)};
        QTest::newRow("temperature keeps one decimal") << QByteArray::fromStdString(stepXml(0, "60.04", "10"))
                                                       << Records{step(60.0, 0, 10)};
    }

    void readValues()
    {
        QFETCH(QByteArray, stepsXml);
        QFETCH(Records, expected);
        const int count = std::count(stepsXml.begin(), stepsXml.end(), '"') / 2;
        CyclerStepList list;
        QVERIFY(list.ReadProtocolXml(documentXml(std::to_string(count), stepsXml.toStdString())));
        QCOMPARE(recordsOf(list), indented(expected));
    }

    void readAppendsAndRebuilds()
    {
        CyclerStepList list;
        fill(list, {step(37, 0, 1)});
        QSignalSpy cleared(&list, &CyclerStepList::itemsCleared);
        QSignalSpy added(&list, &CyclerStepList::itemAdded);
        QSignalSpy rebuilt(&list, &CyclerStepList::stepListRebuilt);
        QVERIFY(list.ReadProtocolXml(documentXml("3", loopXml(0, "4", "2") + stepXml(1, "95", "15") + stepXml(2, "60", "30"))));
        QCOMPARE(recordsOf(list), indented({step(37, 0, 1), loop(2, 4), step(95, 0, 15), step(60, 0, 30)}));
        QCOMPARE(list.at(2)->Indent, int16_t(20));
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(rebuilt.count(), 1);
        // Three new items while reading, then one per record after the list was emptied.
        QCOMPARE(added.count(), 3 + 4);
    }

    void countOfZeroReadsNothing()
    {
        CyclerStepList list;
        QVERIFY(list.ReadProtocolXml(documentXml("0", "")));
        QCOMPARE(list.Count(), 0);
    }

    // Every document here is refused whole: false, and the list as it was.
    void readRefusals_data()
    {
        QTest::addColumn<QByteArray>("document");
        const std::string good0 = stepXml(0, "95", "15");
        auto add = [](const char *name, const std::string &doc) { QTest::newRow(name) << QByteArray::fromStdString(doc); };
        add("does not parse", "<Root><CyclerProtocol><NumberOfSteps>1</NumberOfSteps>");
        add("no step count", without(documentXml("1", good0), "<NumberOfSteps>1</NumberOfSteps>"));
        add("count not a number", documentXml("two", good0));
        add("negative count", documentXml("-1", good0));
        add("count wider than 31", documentXml(std::string(31, '0') + "1", good0));
        add("count past the records", documentXml("2", good0));
        add("middle record with a wrong Index", documentXml("3", good0 + stepXml(7, "60", "10") + stepXml(2, "72", "10")));
        add("middle record missing a child",
            documentXml("3", good0 + without(loopXml(1, "3", "1"), "<NumberOfCyclesToLoop>3</NumberOfCyclesToLoop>") + stepXml(2, "72", "10")));
        add("hold of an hour", documentXml("1", stepXml(0, "95", "3700")));
        add("hold of exactly 3600 s", documentXml("1", stepXml(0, "95", "3600")));
        add("negative hold", documentXml("1", stepXml(0, "95", "-5")));
        add("time change of an hour", documentXml("1", stepXml(0, "95", "10", "-3600")));
        add("time change with text before the sign", documentXml("1", stepXml(0, "95", "10", "5-3")));
        add("double sign", documentXml("1", stepXml(0, "95", "10", "--3")));
        add("temperature not a number", documentXml("1", stepXml(0, "9x5", "10")));
        add("empty temperature", documentXml("1", stepXml(0, "", "10")));
        add("temperature inf", documentXml("1", stepXml(0, "inf", "10")));
        add("temperature wider than 15", documentXml("1", stepXml(0, "60.0000000000000", "10")));
        add("temperature too large to write back", documentXml("1", stepXml(0, "100000000", "10")));
        add("temperature too large once rounded", documentXml("1", stepXml(0, "-9999999.99", "10")));
        add("ramp rate not a number", documentXml("1", stepXml(0, "60", "10", "0", "false", "fast")));
        add("hold flag wider than 7", documentXml("1", stepXml(0, "60", "10", "0", "falsefal")));
        add("step type wider than 27", documentXml("1", stepXml(0, "60", "10", "0", "false", "7", "0", "CyclerTemperatureStepXXXXXXX")));
        add("loop count not a number", documentXml("2", loopXml(0, "3x", "1") + good0));
        add("loop count past 65535", documentXml("2", loopXml(0, "65536", "1") + good0));
        add("loop count wider than 11", documentXml("2", loopXml(0, "000000000003", "1") + good0));
        add("loop past the last record", documentXml("2", loopXml(0, "3", "2") + good0));
        add("nested loop past its outer body",
            documentXml("4", loopXml(0, "3", "2") + loopXml(1, "2", "2") + good0 + stepXml(3, "60", "1")));
        add("loop two levels deep",
            documentXml("4", loopXml(0, "3", "3") + loopXml(1, "2", "2") + loopXml(2, "2", "1") + good0));
    }

    void readRefusals()
    {
        QFETCH(QByteArray, document);
        CyclerStepList list;
        fill(list, {step(37, 0, 1)});
        const Records before = recordsOf(list);
        QSignalSpy added(&list, &CyclerStepList::itemAdded);
        QVERIFY(!list.ReadProtocolXml(document.toStdString()));
        QCOMPARE(recordsOf(list), before);
        QCOMPARE(added.count(), 0);
    }

    // A name from a file or a paste is escaped; names the editor allows come out unchanged.
    void nameIsEscaped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("nameText");
        QTest::newRow("editor name") << "PCR-1 2" << "<Name>PCR-1 2</Name>";
        QTest::newRow("markup") << "a<b>&\"c'" << "<Name>A&lt;B&gt;&amp;&quot;C&apos;</Name>";
        QTest::newRow("line break") << "x\ny" << "<Name>X&#x0A;Y</Name>";
    }

    void nameIsEscaped()
    {
        QFETCH(QString, name);
        QFETCH(QString, nameText);
        CyclerStepList list;
        fill(list, {step(60, 0, 10)});
        std::string text;
        QVERIFY(list.WriteProtocolXml(name, text));
        QVERIFY2(text.find(nameText.toStdString() + "\r\n") != std::string::npos, text.c_str());
        TiXmlDocument doc;
        doc.Parse(text.c_str());
        QVERIFY(!doc.Error());
        const TiXmlElement *description =
            TiXmlHandle(&doc).FirstChild("Root").FirstChild("CyclerProtocol").FirstChild("Description").ToElement();
        QVERIFY(description && description->GetText());
        QCOMPARE(QString::fromUtf8(description->GetText()), name + QStringLiteral(" protocol"));
        CyclerStepList back;
        QVERIFY(back.ReadProtocolXml(text));
        QCOMPARE(back.Count(), 1);
    }

    void elementReaders()
    {
        const std::string doc = documentXml("3", stepXml(0, "95", "15") + loopXml(1, "30", "1") + stepXml(5, "60", "10"));
        std::string value;
        QVERIFY(ReadProtocolStepCount(doc, value));
        QCOMPARE(value, std::string("3"));
        QVERIFY(ReadProtocolStepType(doc, 1, value));
        QCOMPARE(value, std::string("CyclerLoopStep"));
        QVERIFY(!ReadProtocolStepType(doc, 2, value));   // Index="5" at position 2
        QVERIFY(!ReadProtocolStepType(doc, 3, value));   // no such element
        TemperatureStepTexts t;
        QVERIFY(ReadTemperatureStep(doc, 0, t));
        QCOMPARE(t.Temperature, std::string("95"));
        QCOMPARE(t.IncubationTime, std::string("15"));
        QCOMPARE(t.RampRate, std::string("7.000000"));
        QCOMPARE(t.PlateRead, std::string("false"));
        QVERIFY(!ReadTemperatureStep(doc, 1, t));        // a loop lacks PlateRead
        LoopStepTexts l;
        QVERIFY(ReadLoopStep(doc, 1, l));
        QCOMPARE(l.NumberOfCyclesToLoop, std::string("30"));
        QCOMPARE(l.NumberOfStepsInsideLoop, std::string("1"));
        QVERIFY(!ReadProtocolStepCount("<Root/>", value));
        QVERIFY(!ReadProtocolStepCount("not xml <", value));
    }

    // Documents as written are read by the small reader, and it answers as the general parser.
    void plainReaderAnswersAsTheParser_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("plain");
        auto add = [](const char *name, const std::string &doc, bool plain) {
            QTest::newRow(name) << QByteArray::fromStdString(doc) << plain;
        };
        const std::string steps = stepXml(0, "95", "15") + loopXml(1, "30", "1") + stepXml(2, "60", "10", "-5", "true");
        CyclerStepList list;
        fill(list, {step(98, 0, 30), loop(2, 35), step(95, 0, 5, 2.5, 0, 3, true, -0.5), step(60, 1, 0)});
        std::string written;
        list.WriteProtocolXml(QStringLiteral("PCR 1"), written);
        add("as the editor writes it", written, true);
        add("hand made", documentXml("3", steps), true);
        const size_t declaration = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>").size();
        add("no declaration", documentXml("3", steps).substr(declaration), true);
        add("bare declaration", "<?xml?>" + documentXml("3", steps).substr(declaration), true);
        add("blanks around texts and in end tags",
            documentXml("3", "<CyclerStep Index=\"0\" >\n<StepType> CyclerTemperatureStep</StepType >\t<PlateRead/>"
                             "<Temperature>\r\n 50 </Temperature><TemperatureIncrementPerCycle>0</TemperatureIncrementPerCycle>"
                             "<IncubationTime>10</IncubationTime><InfiniteHoldOn>false</InfiniteHoldOn>"
                             "<IncubationTimeIncrementPerCycle>0</IncubationTimeIncrementPerCycle>"
                             "<RampRate>7</RampRate></CyclerStep>" + loopXml(1, "2", "0") + stepXml(2, "60", "10")), true);
        add("text after a child is no element text",
            documentXml("1", "<CyclerStep Index=\"0\"><StepType><x/>CyclerLoopStep</StepType>"
                             "<NumberOfCyclesToLoop>3<y/></NumberOfCyclesToLoop><NumberOfStepsInsideLoop a=\"1\" b=\"2\">0</NumberOfStepsInsideLoop></CyclerStep>"), true);
        add("other elements in between", documentXml("2", "<Note>x</Note>" + stepXml(0, "95", "15") + "<CyclerStep/>" + stepXml(1, "60", "10")), true);
        add("Index with blanks", documentXml("1", replaced(stepXml(0, "95", "15"), "Index=\"0\"", "Index=\" 0 \"")), true);
        add("two roots", documentXml("3", steps) + "<Root/>", false);
        add("text after the root", documentXml("3", steps) + "tail", false);
        add("comment", documentXml("3", "<!-- c -->" + steps), false);
        add("entity in a value", documentXml("1", stepXml(0, "9&#x35;", "15")), false);
        add("CDATA", documentXml("1", stepXml(0, "<![CDATA[95]]>", "15")), false);
        add("single quotes", documentXml("1", replaced(stepXml(0, "95", "15"), "Index=\"0\"", "Index='0'")), false);
        add("repeated attribute", documentXml("1", replaced(stepXml(0, "95", "15"), "Index=\"0\"", "Index=\"0\" Index=\"0\"")), false);
        add("byte above ASCII", documentXml("1", stepXml(0, "95\xC2\xB0", "15")), false);
        add("declaration value with a blank", "<?xml version=\"1.0 x\"?>" + documentXml("3", steps).substr(declaration), false);
        add("unclosed", documentXml("3", steps).substr(0, 300), false);
        add("wrong end tag", documentXml("1", replaced(stepXml(0, "95", "15"), "</RampRate>", "</RampRat>")), false);
        add("empty", "", false);
    }

    void plainReaderAnswersAsTheParser()
    {
        QFETCH(QByteArray, document);
        QFETCH(bool, plain);
        const std::string text = document.toStdString();
        const ParsedProtocolDocument any(text);
        const ParsedProtocolDocument general(text, ParsedProtocolDocument::Reader::GeneralOnly);
        QCOMPARE(any.readPlain(), plain);
        QCOMPARE(answersOf(any), answersOf(general));
    }

    // Documents damaged at random: whatever the small reader takes, it answers as the parser.
    void plainReaderAnswersAsTheParserOnDamagedDocuments()
    {
        const std::string original = documentXml("3", stepXml(0, "95", "15") + loopXml(1, "30", "1")
                                                           + stepXml(2, "60", "10", "-5", "true"));
        const char pieces[] = {'<', '>', '/', '"', ' ', '\t', '\r', '=', '?', '!', '&', 'x', '1', '-', '_', ':', '\v', '\0'};
        std::mt19937 random(20261211);
        int plainRead = 0;
        for (int round = 0; round < 4000; ++round) {
            std::string text = original;
            const int edits = 1 + int(random() % 3);
            for (int e = 0; e < edits; ++e) {
                const size_t at = random() % text.size();
                const char c = pieces[random() % sizeof pieces];
                switch (random() % 3) {
                case 0: text[at] = c; break;
                case 1: text.insert(text.begin() + std::ptrdiff_t(at), c); break;
                default: text.erase(at, 1 + random() % 4); break;
                }
            }
            const ParsedProtocolDocument any(text);
            const ParsedProtocolDocument general(text, ParsedProtocolDocument::Reader::GeneralOnly);
            plainRead += any.readPlain() ? 1 : 0;
            if (answersOf(any) != answersOf(general))
                QFAIL(qPrintable(QStringLiteral("answers differ for:\n") + QString::fromStdString(text)));
        }
        // Enough of them stay with the small reader (a changed text, a lost element) to compare.
        QVERIFY(plainRead > 150);
    }

    void compactXml()
    {
        CyclerStepList list;
        fill(list, {step(95, 0, 15), loop(1, 2), step(60, 0, 10)});
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("C"), text));
        std::string compact = text;
        QVERIFY(CompactXml(compact));
        QVERIFY(compact.find('\n') == std::string::npos);
        QVERIFY(compact.find('\r') == std::string::npos);
        QVERIFY(compact.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>", 0) == 0);
        QVERIFY(compact.find("<Name>C</Name><Description>C protocol</Description>") != std::string::npos);
        CyclerStepList back;
        QVERIFY(back.ReadProtocolXml(compact));
        QCOMPARE(recordsOf(back), recordsOf(list));

        std::string broken = "<Root><open></Root>";
        QVERIFY(!CompactXml(broken));
        QCOMPARE(broken, std::string("<Root><open></Root>"));
    }

    void indentRule()
    {
        CyclerStepList list;
        fill(list, {step(98, 0, 30), loop(5, 10), step(95, 0, 15), loop(2, 3), step(60, 0, 20), step(72, 0, 40),
                    step(50, 0, 10), step(4, 0, 0), loop(1, 2), step(40, 1, 0)});
        list.at(0)->Indent = 40;   // stale indents are recomputed
        QSignalSpy added(&list, &CyclerStepList::itemAdded);
        list.RebuildStepList();
        QList<int> indents;
        for (int i = 0; i < list.Count(); ++i)
            indents << list.at(i)->Indent;
        QCOMPARE(indents, (QList<int>{0, 0, 20, 20, 40, 40, 20, 0, 0, 20}));
        QCOMPARE(added.count(), list.Count());
        QCOMPARE(list.StepItemCount(), 7);
        QCOMPARE(list.LoopItemCount(), 3);
        QCOMPARE(list.CycleSum(), 15);
    }

    void addItemsFromDisplayTexts()
    {
        CyclerStepList list;
        QVERIFY(list.AddStepItem(QStringLiteral("72,25"), QStringLiteral("01:05"), QStringLiteral("2.5"),
                                 QStringLiteral("00:07"), QStringLiteral("-0.5"), false, true, true, 20));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(*list.at(0), [] { auto r = step(72.3, 1, 5, 2.5, 0, 7, true, -0.5); r.Indent = 20; return r; }());
        QVERIFY(list.AddLoopItem(QStringLiteral("2"), QStringLiteral("35"), true, 0));
        QCOMPARE(*list.at(1), loop(2, 35));
        QVERIFY(list.AddStepItem(QStringLiteral("60.0"), QStringLiteral("00:10"), QStringLiteral("7"),
                                 QStringLiteral("00:00"), QStringLiteral("0"), false, false, false, 0));
        QCOMPARE(list.Count(), 2);   // an item without a record
        QVERIFY(!list.AddStepItem(QStringLiteral("1.234,5"), QStringLiteral("00:10"), QStringLiteral("7"),
                                  QStringLiteral("00:00"), QStringLiteral("0"), false, false, true, 0));
        QVERIFY(!list.AddStepItem(QStringLiteral("60"), QStringLiteral("00:60"), QStringLiteral("7"),
                                  QStringLiteral("00:00"), QStringLiteral("0"), false, false, true, 0));
        QCOMPARE(list.Count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestProtocolDocument)
#include "tst_protocoldocument.moc"
