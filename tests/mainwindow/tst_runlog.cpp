// The instrument run log: the time stamps, the report text from GetProtocolLog replies, the
// fetch against simulated instruments on 127.0.186.0/24 and the report in the text viewer.

#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "link/Workstation.h"
#include "mainwindow/DeviceLog.h"
#include "mainwindow/forms/ShowDeviceLogReport.h"
#include "mainwindow/forms/TEditorForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.186";

struct LogError {
    std::string code, manualCode, errorText, actionText, severity, timeStamp;
};

std::string element(const std::string &name, const std::string &text)
{
    return "<" + name + ">" + text + "</" + name + ">";
}

// A GetProtocolLog reply as the instruments send it.
std::string logReply(const std::string &start, const std::string &run, const std::string &path,
                     const std::vector<LogError> &errors = {}, bool withErrorsList = true)
{
    std::string x = "<?xml version=\"1.0\" ?><CycleProtocol><GetProtocolLog CmdType=\"Reply\" ID=\"E9BBFFD3\">"
                    "<ErrCode>0</ErrCode><ErrMessage>OK</ErrMessage><ProtocolLog>";
    x += element("StartTime", start) + element("RunTime", run) + element("Path", path);
    if (withErrorsList && !errors.empty()) {
        x += "<Errors>";
        for (const LogError &e : errors) {
            x += "<Error>" + element("Code", e.code) + element("ManualCode", e.manualCode)
                 + element("ErrorText", e.errorText) + element("ActionText", e.actionText)
                 + element("Severity", e.severity);
            if (!e.timeStamp.empty())
                x += element("TimeStamp", e.timeStamp);
            x += "</Error>";
        }
        x += "</Errors>";
    }
    return x + "</ProtocolLog></GetProtocolLog></CycleProtocol>";
}

std::string crlf(const std::vector<std::string> &lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? "\r\n" : "") + lines[i];
    return out;
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// What the viewer showed; the viewer is closed as soon as it is up.
struct ViewerSeen {
    bool shown = false;
    QString caption, text;
    bool readOnly = false, cutHidden = false, pasteHidden = false, printVisible = false;
};

// Runs the call, watching for the modal viewer; bounded so no test waits on it.
ViewerSeen showAndClose(const std::function<void()> &call)
{
    ViewerSeen seen;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *form = qobject_cast<TEditorForm *>(QApplication::activeModalWidget());
        if (form) {
            seen.shown = true;
            seen.caption = form->windowTitle();
            seen.text = form->QERichEdit1->toPlainText();
            seen.readOnly = form->QERichEdit1->isReadOnly();
            seen.cutHidden = form->btnCut->isHidden();
            seen.pasteHidden = form->btnPaste->isHidden();
            seen.printVisible = !form->btnPrint->isHidden();
            form->btnOk->click();
        } else if (clock.elapsed() > 5000 && QApplication::activeModalWidget()) {
            QApplication::activeModalWidget()->close();
        }
    });
    poll.start();
    call();
    return seen;
}

} // namespace

class TestRunLog : public QObject {
    Q_OBJECT
private slots:
    void logTime_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("epoch") << qint64(0) << "Thu Jan 01 00:00:00 1970\n";
        QTest::newRow("one-digit day") << qint64(1000000000) << "Sun Sep 09 01:46:40 2001\n";
        QTest::newRow("leap day") << qint64(951782400) << "Tue Feb 29 00:00:00 2000\n";
        QTest::newRow("before 1970") << qint64(-1) << "Wed Dec 31 23:59:59 1969\n";
        QTest::newRow("past 32 bits") << qint64(2147483648LL) << "Tue Jan 19 03:14:08 2038\n";
        QTest::newRow("2100 is no leap year") << qint64(4107542400LL) << "Mon Mar 01 00:00:00 2100\n";
        // A reply may carry any 64-bit count: the ends of the range have a text too.
        QTest::newRow("earliest") << std::numeric_limits<qint64>::min() << "Sun Jan 27 08:29:52 -292277022657\n";
        QTest::newRow("latest") << std::numeric_limits<qint64>::max() << "Sun Dec 04 15:30:07 292277026596\n";
    }
    void logTime()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(LogTimeText(seconds)), text);
    }

    void wholeSeconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "1700000000" << true << qint64(1700000000);
        QTest::newRow("leading blanks and sign") << "  +42" << true << qint64(42);
        QTest::newRow("negative") << "-5" << true << qint64(-5);
        QTest::newRow("64 bits") << "9000000000" << true << qint64(9000000000LL);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("decimal") << "12.5" << false << qint64(0);
        QTest::newRow("trailing text") << "12a" << false << qint64(0);
        QTest::newRow("sign only") << "+" << false << qint64(0);
        QTest::newRow("two signs") << "+-3" << false << qint64(0);
        QTest::newRow("too large") << "99999999999999999999" << false << qint64(0);
    }
    void wholeSeconds()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qint64, value);
        int64_t seconds = 0;
        QCOMPARE(ParseWholeSeconds(text.toStdString(), seconds), ok);
        if (ok)
            QCOMPARE(qint64(seconds), value);
    }

    void report_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("text");

        const auto row = [](const char *name, const std::string &reply, DeviceLogReportResult result,
                            const std::string &text = {}) {
            QTest::newRow(name) << QByteArray::fromStdString(reply) << int(result) << QByteArray::fromStdString(text);
        };
        row("no errors: six lines", logReply("1000000000", "3725.9", "PCR/TEST1"), DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Sun Sep 09 01:46:40 2001\n", "Run time: 01:02:05",
                  "Path: PCR/TEST1", ""}));
        row("two errors, every severity word",
            logReply("0", "59", "A/B",
                     {{"101", "M-7", "Lid too hot", "Open the lid", "0", "60"},
                      {"102", "M-8", "Slow ramp", "Call service", "1", "1700000000"},
                      {"103", "-", "Ready", "-", "2", "86399"}}),
            DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Thu Jan 01 00:00:00 1970\n", "Run time: 00:00:59", "Path: A/B", "",
                  "Event No.1", "Code: 101", "Manual code: M-7", "Error Text: Lid too hot", "Action Text: Open the lid",
                  "Severity: Error", "Time stamp: Thu Jan 01 00:01:00 1970\n", "",
                  "Event No.2", "Code: 102", "Manual code: M-8", "Error Text: Slow ramp", "Action Text: Call service",
                  "Severity: Warning", "Time stamp: Tue Nov 14 22:13:20 2023\n", "",
                  "Event No.3", "Code: 103", "Manual code: -", "Error Text: Ready", "Action Text: -",
                  "Severity: Note", "Time stamp: Thu Jan 01 23:59:59 1970\n", ""}));
        row("unknown severity shown unchanged",
            logReply("0", "0", "P", {{"1", "2", "E", "A", "Fatal", "0"}}), DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Thu Jan 01 00:00:00 1970\n", "Run time: 00:00:00", "Path: P", "",
                  "Event No.1", "Code: 1", "Manual code: 2", "Error Text: E", "Action Text: A", "Severity: Fatal",
                  "Time stamp: Thu Jan 01 00:00:00 1970\n", ""}));
        // Run times read like every instrument number: either decimal sign, long runs in 64 bits,
        // and texts that are not finite numbers as 0.
        row("run time with a comma", logReply("0", "90,5", "P"), DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Thu Jan 01 00:00:00 1970\n", "Run time: 00:01:30", "Path: P", ""}));
        row("run time of months", logReply("0", "10000000", "P"), DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Thu Jan 01 00:00:00 1970\n", "Run time: 2777:46:40", "Path: P", ""}));
        row("run time not a number", logReply("0", "inf", "P"), DeviceLogReportResult::Ok,
            crlf({"Duvo Log Report", "", "Start time: Thu Jan 01 00:00:00 1970\n", "Run time: 00:00:00", "Path: P", ""}));
        row("no log", "<?xml version=\"1.0\" ?><CycleProtocol><GetProtocolLog CmdType=\"Reply\"><ErrCode>0</ErrCode>"
                      "</GetProtocolLog></CycleProtocol>",
            DeviceLogReportResult::NoLog);
        row("not XML", "garbage", DeviceLogReportResult::NoLog);
        row("error without time stamp", logReply("0", "1", "P", {{"1", "2", "E", "A", "0", ""}}),
            DeviceLogReportResult::ErrorUnreadable);
        row("start time not whole", logReply("12.5", "1", "P"), DeviceLogReportResult::BadValue);
        // The start time is read first: a bad one ends the report before the errors are looked at.
        row("bad start time wins", logReply("x", "1", "P", {{"1", "2", "E", "A", "0", ""}}),
            DeviceLogReportResult::BadValue);
        row("time stamp not whole", logReply("0", "1", "P", {{"1", "2", "E", "A", "0", "soon"}}),
            DeviceLogReportResult::BadValue);
    }
    void report()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, result);
        QFETCH(QByteArray, text);
        const DeviceLogReport r = BuildDeviceLogReport(reply.toStdString());
        QCOMPARE(int(r.result), result);
        if (r.result == DeviceLogReportResult::Ok)
            QCOMPARE(QByteArray::fromStdString(r.text), text);
    }

    // ---- fetching from an instrument

    void fetchFromInstrument()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        auto &sim = lab.instrument(0);
        sim.makeFolder("PCR");
        QVERIFY(sim.putProtocol("PCR", "RUNLOG", "<Protocol/>"));
        std::string why;
        QVERIFY2(sim.startRun("PCR", "RUNLOG", &why), why.c_str());
        sim.addRunLogError({"E42", "M42", "Block sensor", "Restart", "1", 1700000000});

        QTemporaryDir dir;
        GeneralLog log;
        log.setFileName(dir.filePath(QStringLiteral("DuvoGeneral.txt")));
        TcpClient client;
        client.setTimeout(5000);
        std::string reply;
        QVERIFY(FetchDeviceLog(client, log, lab.address(0), reply));
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>{GetProtocolLog_doc("1")});

        const DeviceLogReport r = BuildDeviceLogReport(reply);
        QCOMPARE(int(r.result), int(DeviceLogReportResult::Ok));
        const QString text = QString::fromStdString(r.text);
        QVERIFY2(text.contains(QStringLiteral("\r\nPath: PCR/RUNLOG\r\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Event No.1\r\nCode: E42\r\nManual code: M42\r\nError Text: Block sensor\r\n"
                                             "Action Text: Restart\r\nSeverity: Warning\r\n"
                                             "Time stamp: Tue Nov 14 22:13:20 2023\n\r\n")));
        QVERIFY(readFile(log.fileName()).isEmpty());
    }

    void fetchFailures_data()
    {
        QTest::addColumn<int>("resets");       // exchanges that end in a reset
        QTest::addColumn<bool>("errorReply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("one failed exchange is retried") << 1 << false << true << 2 << QString();
        QTest::newRow("two failed exchanges") << 2 << false << false << 2
                                              << "Error during GetProtocolLog_doc net command";
        QTest::newRow("error reply") << 0 << true << false << 1
                                     << "Log unavailableError GetProtocolLog XML parsing";
    }
    void fetchFailures()
    {
        QFETCH(int, resets);
        QFETCH(bool, errorReply);
        QFETCH(bool, ok);
        QFETCH(int, requests);
        QFETCH(QString, logLine);
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).addRunLogError({"1", "2", "E", "A", "0", 0});
        if (resets)
            lab.fail(0, resets, "GetProtocolLog");
        if (errorReply) {
            duvosim::SimFault f;
            f.kind = duvosim::FaultKind::ErrorReply;
            f.command = "GetProtocolLog";
            f.errCode = 7;
            f.errMessage = "Log unavailable";
            lab.addFault(0, f);
        }
        QTemporaryDir dir;
        GeneralLog log;
        log.setFileName(dir.filePath(QStringLiteral("DuvoGeneral.txt")));
        TcpClient client;
        client.setTimeout(5000);
        std::string reply = "untouched";
        ScriptedPrompts prompts;  // the fetch shows nothing
        QCOMPARE(FetchDeviceLog(client, log, lab.address(0), reply), ok);
        QCOMPARE(int(lab.requests(0).size()), requests);
        // Written to the file at once, without waiting for another flush.
        const QString written = readFile(log.fileName());
        if (ok) {
            QVERIFY(written.isEmpty());
            QVERIFY(reply.find("<ProtocolLog>") != std::string::npos);
        } else {
            QVERIFY2(written.contains(logLine), qPrintable(written));
            QCOMPARE(reply, std::string("untouched"));
        }
    }

    // ---- the report in the viewer

    void reportInTheViewer()
    {
        ScriptedPrompts prompts;
        const std::string reply = logReply("0", "61", "PCR/VIEW", {{"5", "6", "Lid", "Wait", "2", "0"}});
        const ViewerSeen seen = showAndClose([&] { ShowDeviceLogReport(reply); });
        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, QStringLiteral("Duvo Log"));
        QVERIFY(seen.readOnly);
        QVERIFY(seen.cutHidden);
        QVERIFY(seen.pasteHidden);
        QVERIFY(seen.printVisible);
        QVERIFY(seen.text.startsWith(QStringLiteral("Duvo Log Report\n\nStart time: Thu Jan 01 00:00:00 1970\n")));
        QVERIFY(seen.text.contains(QStringLiteral("Run time: 00:01:01\nPath: PCR/VIEW\n")));
        QVERIFY(seen.text.contains(QStringLiteral("Severity: Note\n")));
        QVERIFY(prompts.asked().isEmpty());
    }

    void reportBoxes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("no log") << QByteArray("<CycleProtocol><GetProtocolLog/></CycleProtocol>") << "Log"
                                << "Problem retrieving log file or no log file available!  Please try again later.";
        QTest::newRow("unreadable error")
            << QByteArray::fromStdString(logReply("0", "1", "P", {{"1", "2", "E", "A", "0", ""}})) << "Error"
            << "Error parsing [Errors] in Duvo xml log file!";
        // A start time that is not a whole number ends the report without a box.
        QTest::newRow("bad start time") << QByteArray::fromStdString(logReply("soon", "1", "P")) << QString()
                                        << QString();
    }
    void reportBoxes()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QTemporaryDir dir;
        Workstation ws;
        ws.ZavExceptionLog1.setFileName(dir.filePath(QStringLiteral("DuvoException.txt")));
        ws.ZavExceptionLog1.setActive(true);
        ScriptedPrompts prompts;
        if (!title.isEmpty())
            prompts.answer(Ok, text, title);
        const ViewerSeen seen = showAndClose([&] { ShowDeviceLogReport(reply.toStdString()); });
        QVERIFY(!seen.shown);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), title.isEmpty() ? 0 : 1);
        if (title.isEmpty())
            QVERIFY(readFile(dir.filePath(QStringLiteral("DuvoException.txt"))).contains(QStringLiteral("soon")));
        else
            QCOMPARE(prompts.asked()[0].icon, title == QStringLiteral("Log") ? PromptIcon::Information : PromptIcon::Error);
    }
};

QTEST_MAIN(TestRunLog)
#include "tst_runlog.moc"
