// The stoppable exchange on 127.0.190.0/24: a client's abort() ends a connect or a read in
// flight within 100 ms, on the GUI thread and on a worker, with an outcome of its own; the
// caller convention then makes no second attempt and shows no box; the client refuses every
// later exchange until resetAbort().

#include "link/CommandDocs.h"
#include "link/NetCommand.h"
#include "link/NetExchange.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace duvo;
using namespace duvo::test;
using duvosim::FaultKind;
using duvosim::SimFault;

namespace {

const char *const Base = "127.0.190";

// A listening socket whose accept queue is full, so a further connect to it stays pending
// (the SYN is dropped and retried) until the caller gives up.
class FullListener {
public:
    explicit FullListener(const char *ip)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, ip, &a.sin_addr);
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(FListen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(FListen, 0) != 0)
            return;
        socklen_t len = sizeof a;
        ::getsockname(FListen, reinterpret_cast<sockaddr *>(&a), &len);
        FPort = ntohs(a.sin_port);
        // Fill the queue: these connections complete and are never accepted.
        for (int i = 0; i < 3; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
            FFillers.push_back(fd);
        }
        QTest::qWait(50);
    }
    ~FullListener()
    {
        for (int fd : FFillers)
            ::close(fd);
        if (FListen >= 0)
            ::close(FListen);
    }
    uint16_t port() const { return FPort; }

private:
    int FListen = -1;
    uint16_t FPort = 0;
    std::vector<int> FFillers;
};

SimFault silentAfterHalf(const std::string &command)
{
    SimFault f;
    f.kind = FaultKind::HalfReplyThenSilence;
    f.command = command;
    return f;
}

} // namespace

class TestAbort : public QObject {
    Q_OBJECT
private slots:
    // On the GUI thread, a timer aborts the client while the read waits on a silent
    // instrument: the caller learns "aborted" within 100 ms, sees no box, sends no retry.
    void abortDuringReadEndsQuicklyWithoutRetryOrBox()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, silentAfterHalf("GetStatus"));
        ScriptedPrompts prompts;  // any box fails the test
        TcpClient client;         // the product's three-minute time-out
        QElapsedTimer sinceAbort;
        QTimer::singleShot(300, [&] {
            sinceAbort.start();
            client.abort();
        });
        const NetReply r = SendInstrumentCommand(client, lab.address(0), GetStatus_doc(), "GetStatus");
        QVERIFY(sinceAbort.isValid());
        QVERIFY2(sinceAbort.elapsed() < 100, QByteArray::number(sinceAbort.elapsed()));
        QVERIFY(r.aborted);
        QVERIFY(r.netFailed);
        QVERIFY(!r.ok);
        QCOMPARE(r.attempts, 1);
        QVERIFY(r.text.empty());
        QCOMPARE(client.lastOutcome(), ExchangeOutcome::Aborted);
        QVERIFY(prompts.asked().isEmpty());
        QCOMPARE(lab.requests(0).size(), size_t(1));
        QVERIFY(!client.busy());
    }

    // On a worker thread, another thread aborts a connect that would otherwise wait for the
    // whole time-out; a time-out is told apart from an abort.
    void abortDuringConnectFromAnotherThread()
    {
        FullListener listener("127.0.190.40");
        QVERIFY(listener.port() != 0);
        TcpClient client;
        client.setPort(listener.port());
        client.setTimeout(300);
        std::string reply;
        // Without an abort the pending connect runs into its time-out.
        QVERIFY(!SendNetCommand(client, "127.0.190.40", Nop_doc(), reply));
        QCOMPARE(client.lastOutcome(), ExchangeOutcome::ConnectTimeout);

        client.setTimeout(InstrumentTimeout);
        NetReply r;
        std::chrono::steady_clock::time_point ended;
        std::thread worker([&] {
            r = SendInstrumentCommand(client, "127.0.190.40", Nop_doc(), NetCommandCall("NOP").textOnly());
            ended = std::chrono::steady_clock::now();
        });
        QTest::qWait(200);
        QVERIFY(client.busy());
        const auto abortedAt = std::chrono::steady_clock::now();
        client.abort();
        worker.join();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(ended - abortedAt).count();
        QVERIFY2(ms < 100, QByteArray::number(qint64(ms)));
        QVERIFY(r.aborted);
        QCOMPARE(r.attempts, 1);
        QCOMPARE(client.lastOutcome(), ExchangeOutcome::Aborted);
    }

    // After an abort the client refuses at once, without connecting, until resetAbort().
    void abortedClientRefusesUntilReset()
    {
        SimulatedLab lab(Base);
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        TcpClient client;
        client.abort();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 3; ++i) {
            const NetReply r = SendInstrumentCommand(client, lab.address(0), Nop_doc(), "NOP");
            QVERIFY(r.aborted);
            QCOMPARE(r.attempts, 1);
        }
        QVERIFY(t.elapsed() < 100);
        QCOMPARE(lab.lab().connectionCount(0), 0);
        QVERIFY(lab.requests(0).empty());
        QVERIFY(prompts.asked().isEmpty());

        client.resetAbort();
        const NetReply r = SendInstrumentCommand(client, lab.address(0), Nop_doc(), "NOP");
        QVERIFY(r.ok);
        QVERIFY(!r.aborted);
        QCOMPARE(lab.requests(0).size(), size_t(1));
    }
};

QTEST_MAIN(TestAbort)
#include "tst_abort.moc"
