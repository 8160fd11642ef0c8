// The simulated instruments' command side, driven through the workstation's own exchange on
// 127.0.132.0/24: state that commands change is real and read back by later commands.

#include "duvosim/SimCommandServer.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "SimulatedLab.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace duvo::test;

namespace {

const char *const Base = "127.0.132";

// Sends a request and returns the reply; fails the test on a failed exchange.
std::string exchange(SimulatedLab &lab, int k, const std::string &request)
{
    TcpClient client;
    client.setTimeout(5000);
    std::string reply;
    if (!SendNetCommand(client, lab.address(k), request, reply))
        return "<exchange failed>";
    return reply;
}

int status(const std::string &reply)
{
    std::string message;
    return ReplyStatus(reply, message);
}

QStringList folders(SimulatedLab &lab, int k)
{
    FolderNameTable t;
    int n = 0;
    bool ok = false;
    DirFolders_Ret_Doc(exchange(lab, k, DirFolders_doc()), t, n, ok);
    QStringList out;
    for (int i = 0; ok && i < n; ++i)
        out << QString::fromStdString(t.Names[static_cast<size_t>(i)]);
    return out;
}

QStringList files(SimulatedLab &lab, int k, const std::string &folder)
{
    FileNameTable t;
    int n = 0;
    bool ok = false;
    DirFiles_Ret_Doc(exchange(lab, k, DirFiles_doc(folder)), t, n, ok);
    if (!ok)
        return {QStringLiteral("<not ok>")};
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromStdString(t.Names[static_cast<size_t>(i)]);
    return out;
}

InstrumentStatus getStatus(SimulatedLab &lab, int k)
{
    InstrumentStatus s;
    bool ok = false;
    GetStatus_Ret_Doc(exchange(lab, k, GetStatus_doc()), s, ok);
    return s;
}

// A raw connection that sends in pieces.
int rawConnect(const std::string &host)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(InstrumentTcpPort);
    ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string readToClose(int fd, int timeoutMs = 3000)
{
    std::string out;
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return out + "<timeout>";
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<size_t>(n));
    }
}

} // namespace

class TestCommandServer : public QObject {
    Q_OBJECT
private slots:
    void requestEndsWhenRootCloses_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<bool>("complete");
        QTest::newRow("whole") << GetProtocol_doc("A", "B") << true;
        QTest::newRow("empty command") << GetStatus_doc() << true;
        QTest::newRow("cut in the end tag") << GetStatus_doc().substr(0, GetStatus_doc().size() - 3) << false;
        QTest::newRow("declaration only") << std::string("<?xml version=\"1.0\" ?>") << false;
        QTest::newRow("self-closed root") << std::string("<?xml version=\"1.0\" ?><Communication />") << true;
        QTest::newRow("inner element of the root's name")
            << std::string("<A><A></A>") << false;
        QTest::newRow("> inside an attribute") << std::string("<A x=\"a>b\"") << false;
        QTest::newRow("text with an end-tag look-alike")
            << std::string("<A><B>&lt;/A&gt;</B>") << false;
    }
    void requestEndsWhenRootCloses()
    {
        QFETCH(std::string, text);
        QFETCH(bool, complete);
        QCOMPARE(duvosim::SimCommandServer::requestComplete(text), complete);
    }

    void requestInPiecesIsAnsweredOnce()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        const int fd = rawConnect(lab.address(0));
        QVERIFY(fd >= 0);
        const std::string req = GetInstrumentInfo_doc();
        const size_t half = req.size() / 2;
        QCOMPARE(::send(fd, req.data(), half, 0), ssize_t(half));
        QTest::qWait(100);
        QCOMPARE(lab.requests(0).size(), size_t(0));  // not answered on half a request
        QCOMPARE(::send(fd, req.data() + half, req.size() - half, 0), ssize_t(req.size() - half));
        const std::string reply = readToClose(fd);
        ::close(fd);
        std::string type, fw, sn;
        bool ok = false;
        GetInstrumentInfo_Ret_Doc(reply, type, fw, sn, ok);
        QVERIFY2(ok, reply.c_str());
        QCOMPARE(sn, lab.instrument(0).serialNumber());
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>{req});
    }

    void concurrentConnectionsAreServed()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        // Three connections open at once; the first request finishes last.
        std::vector<int> fds;
        for (int i = 0; i < 3; ++i)
            fds.push_back(rawConnect(lab.address(0)));
        for (int fd : fds)
            QVERIFY(fd >= 0);
        const std::string req = Nop_doc();
        for (int i = 2; i >= 0; --i)
            ::send(fds[static_cast<size_t>(i)], req.data(), req.size(), 0);
        for (int fd : fds) {
            QCOMPARE(status(readToClose(fd)), 0);
            ::close(fd);
        }
        QCOMPARE(lab.lab().connectionCount(0), 3);
    }

    void foldersFilesAndPasswords()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        QCOMPARE(folders(lab, 0), (QStringList{"SYSTEM", "SHARED", "RECENT"}));
        QCOMPARE(files(lab, 0, "SHARED"), QStringList{"DEFAULT"});
        QCOMPARE(files(lab, 0, "RECENT"), QStringList{});  // an empty folder still lists

        QCOMPARE(status(exchange(lab, 0, MakeFolder_doc("ASSAYS"))), 0);
        QVERIFY(status(exchange(lab, 0, MakeFolder_doc("ASSAYS"))) > 0);  // exists
        QVERIFY(status(exchange(lab, 0, MakeFolder_doc("NAMETOOLONG13"))) > 0);
        QCOMPARE(status(exchange(lab, 0, SetAttr_doc("ASSAYS", "password", "pw1"))), 0);
        QCOMPARE(folders(lab, 0), (QStringList{"SYSTEM", "SHARED", "RECENT", "ASSAYS!"}));
        std::string pw;
        bool ok = false;
        GetAttr_Ret_Doc(exchange(lab, 0, GetAttr_doc("ASSAYS", "password")), pw, ok);
        QVERIFY(ok);
        QCOMPARE(pw, std::string("pw1"));

        // A protocol goes in and comes back byte for byte.
        const std::string doc = "<Protocol>\n  <Name>PCR1</Name>\t&amp; \xC3\xA9\n</Protocol>";
        QCOMPARE(status(exchange(lab, 0, LoadProtocol_doc("ASSAYS", "PCR1", doc))), 0);
        QVERIFY(status(exchange(lab, 0, LoadProtocol_doc("ASSAYS", "PCR1", doc))) > 0);  // no overwrite
        QVERIFY(status(exchange(lab, 0, LoadProtocol_doc("NOSUCH", "PCR1", doc))) > 0);
        QCOMPARE(files(lab, 0, "ASSAYS"), QStringList{"PCR1"});
        std::string folder, file, protocol;
        GetProtocol_Ret_Doc(exchange(lab, 0, GetProtocol_doc("ASSAYS", "PCR1")), folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(QByteArray::fromStdString(protocol), QByteArray::fromStdString(doc));
        QCOMPARE(lab.instrument(0).protocol("ASSAYS", "PCR1").value_or(""), doc);

        QVERIFY(status(exchange(lab, 0, RemoveFolder_doc("ASSAYS"))) > 0);  // not empty
        QCOMPARE(status(exchange(lab, 0, DelFile_doc("ASSAYS", "PCR1"))), 0);
        QVERIFY(status(exchange(lab, 0, DelFile_doc("ASSAYS", "PCR1"))) > 0);
        QCOMPARE(status(exchange(lab, 0, RemoveFolder_doc("ASSAYS"))), 0);
        QVERIFY(status(exchange(lab, 0, RemoveFolder_doc("SYSTEM"))) > 0);  // reserved
        QCOMPARE(folders(lab, 0), (QStringList{"SYSTEM", "SHARED", "RECENT"}));

        QCOMPARE(status(exchange(lab, 0, MakeFolder_doc("GONE"))), 0);
        QCOMPARE(status(exchange(lab, 0, Format_doc())), 0);
        QCOMPARE(folders(lab, 0), (QStringList{"SYSTEM", "SHARED", "RECENT"}));
    }

    void runMovesThroughItsStates()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        auto &inst = lab.instrument(0);
        QVERIFY(inst.makeFolder("RUNS"));
        QVERIFY(inst.putProtocol("RUNS", "P30", "<Protocol/>"));
        QCOMPARE(getStatus(lab, 0)[StatusMode], std::string("Stopped"));
        QVERIFY(status(exchange(lab, 0, Pause_doc())) > 0);  // nothing to pause
        QVERIFY(status(exchange(lab, 0, StartRun_doc("RUNS", "NOSUCH", "1", "25"))) > 0);

        QCOMPARE(status(exchange(lab, 0, StartRun_doc("RUNS", "P30", "1", "25"))), 0);
        InstrumentStatus s = getStatus(lab, 0);
        QCOMPARE(s[StatusMode], std::string("Running"));
        QCOMPARE(s[StatusFolder] + "/" + s[StatusFile], std::string("RUNS/P30"));
        QCOMPARE(s[StatusVolume], std::string("25"));
        QCOMPARE(s[StatusTotalTime], std::string("1800.0"));
        QVERIFY(status(exchange(lab, 0, StartRun_doc("RUNS", "P30", "1", "25"))) > 0);  // busy

        QCOMPARE(status(exchange(lab, 0, Pause_doc())), 0);
        const std::string leftPaused = getStatus(lab, 0)[StatusTimeLeft];
        QTest::qWait(50);
        s = getStatus(lab, 0);
        QCOMPARE(s[StatusMode], std::string("Paused"));
        QCOMPARE(s[StatusTimeLeft], leftPaused);  // time stands still while paused
        QCOMPARE(status(exchange(lab, 0, Skip_doc())), 0);
        QCOMPARE(getStatus(lab, 0)[StatusStep], std::string("2"));
        QCOMPARE(status(exchange(lab, 0, Continue_doc())), 0);

        inst.setTimeScale(100000);  // the rest of the 30 minutes passes in moments
        QTRY_COMPARE_WITH_TIMEOUT(getStatus(lab, 0)[StatusMode], std::string("Completed"), 3000);
        std::string start, run, path;
        bool ok = false;
        GetProtocolLog_Ret_Doc(exchange(lab, 0, GetProtocolLog_doc("1")), start, run, path, ok);
        QVERIFY(ok);
        QCOMPARE(path, std::string("RUNS/P30"));
        QCOMPARE(run, std::string("1800.0"));
        QCOMPARE(status(exchange(lab, 0, Stop_doc())), 0);
        QCOMPARE(getStatus(lab, 0)[StatusMode], std::string("Stopped"));
    }

    void parametersClockAndBoards()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        QCOMPARE(status(exchange(lab, 0, SetParameter_doc("84", "Cycler A"))), 0);
        std::string value;
        bool ok = false;
        GetParameter_Ret_Doc(exchange(lab, 0, GetParameter_doc("84")), value, ok);
        QVERIFY(ok);
        QCOMPARE(value, std::string("Cycler A"));
        QCOMPARE(lab.instrument(0).alias(), std::string("Cycler A"));

        QCOMPARE(status(exchange(lab, 0, SetTime_doc("031514302025"))), 0);
        std::string time;
        GetTime_Ret_Doc(exchange(lab, 0, GetTime_doc()), time, ok);
        QVERIFY(ok);
        QVERIFY2(time == "031514302025" || time == "031514312025", time.c_str());
        QVERIFY(status(exchange(lab, 0, SetTime_doc("13451430202"))) > 0);

        BoardInfo cpu, amp;
        GetBoardInfo_Ret_Doc(exchange(lab, 0, GetBoardInfo_doc("0")), cpu, ok);
        QVERIFY(ok);
        GetBoardInfo_Ret_Doc(exchange(lab, 0, GetBoardInfo_doc("1")), amp, ok);
        QVERIFY(ok);
        QCOMPARE(cpu[BoardName], std::string("CPU"));
        QCOMPARE(amp[BoardName], std::string("AMP"));
        QVERIFY(status(exchange(lab, 0, GetBoardInfo_doc("2"))) > 0);

        std::string a, b, c, d;
        const std::string test1 = exchange(lab, 0, Test1_doc());
        Test1_Ret_Doc(test1, a, b, c, d, ok);
        QVERIFY2(ok, test1.c_str());
        QVERIFY2(a + "|" + b + "|" + c + "|" + d == "Test stringresponse|34968|381151.200000|true", test1.c_str());
    }

    void powerOffAndReboot()
    {
        SimulatedLab lab(Base, 2);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.lab().setRebootMs(300);
        QCOMPARE(status(exchange(lab, 0, Power_doc("Off"))), 0);
        QCOMPARE(exchange(lab, 0, Nop_doc()), std::string("<exchange failed>"));
        QCOMPARE(status(exchange(lab, 1, Nop_doc())), 0);  // the other instrument is unaffected
        lab.lab().powerOn(0);
        QCOMPARE(status(exchange(lab, 0, Nop_doc())), 0);

        QCOMPARE(status(exchange(lab, 1, Power_doc("On"))), 0);
        QCOMPARE(exchange(lab, 1, Nop_doc()), std::string("<exchange failed>"));
        QTRY_COMPARE_WITH_TIMEOUT(status(exchange(lab, 1, Nop_doc())), 0, 3000);
    }

    void faultsHitOnlyTheirCommandAndCount()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        duvosim::SimFault f;
        f.kind = duvosim::FaultKind::ErrorReply;
        f.command = "GetTime";  // SetTime without Time
        f.errCode = 42;
        f.errMessage = "Clock fault";
        f.count = 2;
        lab.addFault(0, f);
        std::string message;
        QCOMPARE(ReplyStatus(exchange(lab, 0, SetTime_doc("031514302025")), message), 0);
        QCOMPARE(ReplyStatus(exchange(lab, 0, GetTime_doc()), message), 42);
        QCOMPARE(message, std::string("Clock fault"));
        QCOMPARE(ReplyStatus(exchange(lab, 0, GetTime_doc()), message), 42);
        QCOMPARE(ReplyStatus(exchange(lab, 0, GetTime_doc()), message), 0);
        // The log holds every request with its connection, in order.
        const auto log = lab.requests(0);
        QCOMPARE(log.size(), size_t(4));
        QCOMPARE(log[0].command, std::string("SetTime"));
        QCOMPARE(log[1].command, std::string("GetTime"));
        QVERIFY(log[0].connection < log[1].connection);
        QVERIFY(log[0].steadyTime <= log[1].steadyTime);
    }
};

QTEST_GUILESS_MAIN(TestCommandServer)
#include "tst_commandserver.moc"
