// 2,000 sequential GetStatus exchanges against one simulated instrument through
// SendNetCommand (on the application's thread, as the windows run it), beside a minimal raw
// POSIX client doing the same exchanges in the same run. Prints the times and ours/raw.
//   bench_exchange [--lab 127.0.133] [--count 2000]

#include "duvosim/SimLab.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "RawExchange.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::string base = "127.0.133";
    int count = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--lab")
            base = argv[i + 1];
        else if (std::string(argv[i]) == "--count")
            count = std::max(1, std::atoi(argv[i + 1]));
    }
    duvosim::SimLab lab(base, 1);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench_exchange: %s\n", error.c_str());
        return 1;
    }
    const std::string host = lab.address(0);
    const std::string request = GetStatus_doc();
    const sockaddr_in addr = bench::instrumentAddress(host);

    TcpClient client;
    std::string reply, message;
    // Warm up both paths, then alternate blocks so that both see the same machine state.
    for (int i = 0; i < 50; ++i) {
        SendNetCommand(client, host, request, reply);
        bench::rawExchange(addr, request, &reply);
    }
    Clock::duration ours{}, raw{};
    int oursFailed = 0, rawFailed = 0;
    const int block = 100;
    for (int done = 0; done < count; done += block) {
        const int n = std::min(block, count - done);
        auto t0 = Clock::now();
        for (int i = 0; i < n; ++i)
            if (!SendNetCommand(client, host, request, reply) || ReplyStatus(reply, message) != 0)
                ++oursFailed;
        auto t1 = Clock::now();
        for (int i = 0; i < n; ++i)
            if (!bench::rawExchange(addr, request, &reply) || ReplyStatus(reply, message) != 0)
                ++rawFailed;
        auto t2 = Clock::now();
        ours += t1 - t0;
        raw += t2 - t1;
    }
    lab.stop();
    const double oursMs = std::chrono::duration<double, std::milli>(ours).count();
    const double rawMs = std::chrono::duration<double, std::milli>(raw).count();
    std::printf("exchanges: %d each (failed: ours %d, raw %d)\n", count, oursFailed, rawFailed);
    std::printf("SendNetCommand: %.1f ms (%.1f us per exchange)\n", oursMs, 1000.0 * oursMs / count);
    std::printf("raw POSIX client: %.1f ms (%.1f us per exchange)\n", rawMs, 1000.0 * rawMs / count);
    std::printf("ratio ours/raw: %.3f (target at most 1.3)\n", oursMs / rawMs);
    return (oursFailed || rawFailed) ? 1 : 0;
}
