// A 256 MiB download through WC1 (QNetworkAccessManager into a QSaveFile) beside a raw POSIX
// socket that reads the same response from the same loopback server, in the same run and
// into a file as well. WC1 must commit its file (QSaveFile: written beside the target,
// flushed to the disk, renamed over it), so the raw reader that sets the ratio commits its
// file the same way; its time without the flush and rename is printed too. Prints the times,
// ours/raw, and the peak memory after a 32 MiB and a 256 MiB download (it must stay flat in
// the file size).
//   bench_download [--host 127.0.239.1] [--mib 256]

#include "mainwindow/WebDownload.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long maxRssKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A tiny HTTP/1.1 server: every GET /<n> answers n zero bytes and closes.
class ZeroServer {
public:
    explicit ZeroServer(const char *host)
    {
        FFd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, host, &a.sin_addr);
        if (::bind(FFd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(FFd, 8) != 0) {
            std::perror("bind");
            std::exit(1);
        }
        socklen_t len = sizeof a;
        ::getsockname(FFd, reinterpret_cast<sockaddr *>(&a), &len);
        FPort = ntohs(a.sin_port);
        FThread = std::thread([this] { run(); });
    }
    ~ZeroServer()
    {
        FStop = true;
        ::shutdown(FFd, SHUT_RDWR);
        ::close(FFd);
        FThread.join();
    }
    int port() const { return FPort; }

private:
    void run()
    {
        static char zeros[1 << 20];
        while (!FStop) {
            const int c = ::accept(FFd, nullptr, nullptr);
            if (c < 0)
                return;
            char req[4096];
            std::string head;
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(c, req, sizeof req, 0);
                if (n <= 0)
                    break;
                head.append(req, static_cast<size_t>(n));
            }
            long long size = std::atoll(head.c_str() + head.find('/') + 1);
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                                      + std::to_string(size) + "\r\nConnection: close\r\n\r\n";
            ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            while (size > 0) {
                const ssize_t n = ::send(c, zeros, static_cast<size_t>(std::min<long long>(size, sizeof zeros)), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                size -= n;
            }
            ::close(c);
        }
    }
    int FFd = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// The floor: one blocking socket, the request, then read to the end into a file. With
// commit, the bytes go into a file beside the target that is flushed to the disk and then
// renamed over the target, as QSaveFile::commit() does.
long long rawDownload(const char *host, int port, long long size, const std::string &file, bool commit)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, host, &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        return -1;
    const std::string req = "GET /" + std::to_string(size) + " HTTP/1.1\r\nHost: x\r\nUser-Agent: raw\r\n\r\n";
    ::send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    const std::string written = commit ? file + ".part" : file;
    FILE *out = std::fopen(written.c_str(), "wb");
    static char buf[1 << 16];
    long long total = 0;
    bool body = false;
    std::string head;
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        if (!body) {
            head.append(buf, static_cast<size_t>(n));
            const size_t end = head.find("\r\n\r\n");
            if (end == std::string::npos)
                continue;
            body = true;
            const size_t rest = head.size() - end - 4;
            std::fwrite(head.data() + end + 4, 1, rest, out);
            total += static_cast<long long>(rest);
            continue;
        }
        std::fwrite(buf, 1, static_cast<size_t>(n), out);
        total += n;
    }
    if (commit) {
        std::fflush(out);
        ::fdatasync(fileno(out));
    }
    std::fclose(out);
    if (commit && std::rename(written.c_str(), file.c_str()) != 0)
        total = -1;
    ::close(fd);
    return total;
}

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const char *host = "127.0.239.1";
    long long mib = 256;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--host"))
            host = argv[++i];
        else if (!std::strcmp(argv[i], "--mib"))
            mib = std::atoll(argv[++i]);
    }
    ZeroServer server(host);
    QTemporaryDir dir;
    const QString base = QStringLiteral("http://%1:%2/").arg(QLatin1String(host)).arg(server.port());

    duvo::WebCopy wc;
    auto ours = [&](long long bytes) {
        wc.Item = {base + QString::number(bytes), dir.path(), QStringLiteral("ours.bin"), false};
        const auto t0 = Clock::now();
        if (!wc.Execute()) {
            std::fprintf(stderr, "WC1 failed: %s\n", qPrintable(wc.errorText()));
            std::exit(1);
        }
        return seconds(t0, Clock::now());
    };

    const long long small = 32ll << 20, big = mib << 20;
    ours(small);
    const long rssSmall = maxRssKiB();
    auto raw = [&](bool commit) {
        const auto t0 = Clock::now();
        const QString name = commit ? QStringLiteral("raw.bin") : QStringLiteral("plain.bin");
        if (rawDownload(host, server.port(), big, dir.filePath(name).toStdString(), commit) != big) {
            std::fprintf(stderr, "raw download short\n");
            std::exit(1);
        }
        return seconds(t0, Clock::now());
    };
    double best = 1e9, bestRaw = 1e9, bestUnflushed = 1e9;
    for (int round = 0; round < 3; ++round) {
        best = std::min(best, ours(big));
        bestRaw = std::min(bestRaw, raw(true));
        bestUnflushed = std::min(bestUnflushed, raw(false));
    }
    const long rssBig = maxRssKiB();
    std::printf("download %lld MiB: WC1 %.3f s, raw socket %.3f s, ours/raw %.2f (target <= 1.3)\n", mib, best, bestRaw,
                best / bestRaw);
    std::printf("raw socket into a file without the flush and rename: %.3f s (ours/that %.2f)\n", bestUnflushed,
                best / bestUnflushed);
    std::printf("peak memory: %ld KiB after 32 MiB, %ld KiB after %lld MiB (growth %ld KiB)\n", rssSmall, rssBig, mib,
                rssBig - rssSmall);
    return 0;
}
