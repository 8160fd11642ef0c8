#include "duvosim/SimModules.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace duvosim {

namespace {

constexpr uint16_t ModulePort = 20034;

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void putU32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

void putAddress(uint8_t *p, const std::string &text)
{
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) == 1)
        std::memcpy(p, &a, 4);  // network order: first octet first
}

bool isDiscoveryRequest(const uint8_t *data, ssize_t size)
{
    return size >= 5 && std::memcmp(data, "DVMQ", 4) == 0 && data[4] == 'R';
}

int bindUdp(const std::string &address, std::string *error)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(ModulePort);
    if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) {
        if (error)
            *error = "bad address " + address;
        return -1;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        if (error)
            *error = "cannot bind " + address + ":20034: " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

void sendTo(int fd, uint32_t addr, uint16_t port, const std::vector<uint8_t> &bytes)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = addr;
    to.sin_port = port;
    sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&to), sizeof to);
}

} // namespace

std::array<uint8_t, 148> ModuleRecord(const SimModule &m)
{
    std::array<uint8_t, 148> r{};
    putU32(&r[0], 148);
    putAddress(&r[4], m.address);        // static address
    putAddress(&r[8], "255.255.255.0");  // mask
    putU32(&r[20], 115200);              // serial baud rate
    r[24] = 3;                           // boot delay
    r[25] = 1;                           // boot to application
    const char file[] = "duvo.bin";
    std::memcpy(&r[27], file, sizeof file - 1);
    std::copy(m.mac.begin(), m.mac.end(), r.begin() + 107);
    std::copy(m.baseMac.begin(), m.baseMac.end(), r.begin() + 118);
    r[124] = 0;     // Ethernet
    r[125] = 0xAA;  // extension valid
    putAddress(&r[126], m.address);  // active address
    return r;
}

std::vector<uint8_t> ModuleReply(const SimModule &m)
{
    std::vector<uint8_t> out = {'D', 'V', 'M', 'R', 'R'};
    const auto record = ModuleRecord(m);
    out.insert(out.end(), record.begin(), record.end());
    auto text = [&out](const std::string &t) {
        out.insert(out.end(), t.begin(), t.end());
        out.push_back(0);
    };
    text(m.application);
    text(m.type);
    if (m.passNeeded)
        text("PASSNEEDED");
    return out;
}

SimModuleNetwork::SimModuleNetwork(std::string hubAddress) : FHubAddress(std::move(hubAddress)) {}

SimModuleNetwork::~SimModuleNetwork()
{
    stop();
}

int SimModuleNetwork::add(const SimModule &module)
{
    std::lock_guard lock(FMutex);
    FModules.push_back(module);
    FReceivers.emplace_back();
    if (running())
        socketFor(module.address, nullptr);
    return static_cast<int>(FModules.size()) - 1;
}

void SimModuleNetwork::setFault(int index, ModuleFault fault, int delayMs)
{
    std::lock_guard lock(FMutex);
    if (index >= 0 && index < static_cast<int>(FModules.size())) {
        FModules[size_t(index)].fault = fault;
        FModules[size_t(index)].delayMs = delayMs;
    }
}

void SimModuleNetwork::setUpload(int index, const SimUploadSettings &settings)
{
    std::lock_guard lock(FMutex);
    if (index >= 0 && index < static_cast<int>(FModules.size()))
        FModules[size_t(index)].upload = settings;
}

SimUploadStatus SimModuleNetwork::uploadStatus(int index) const
{
    std::lock_guard lock(FMutex);
    return FReceivers.at(size_t(index)).status();
}

int SimModuleNetwork::count() const
{
    std::lock_guard lock(FMutex);
    return static_cast<int>(FModules.size());
}

SimModule SimModuleNetwork::module(int index) const
{
    std::lock_guard lock(FMutex);
    return FModules.at(size_t(index));
}

// With FMutex held.
int SimModuleNetwork::socketFor(const std::string &address, std::string *error)
{
    for (const auto &s : FSockets)
        if (s.first == address)
            return s.second;
    const int fd = bindUdp(address, error);
    if (fd >= 0) {
        FSockets.emplace_back(address, fd);
        if (FWake[1] >= 0) {
            const char c = 1;
            (void)!write(FWake[1], &c, 1);
        }
    }
    return fd;
}

bool SimModuleNetwork::start(std::string *error)
{
    if (running())
        return true;
    std::lock_guard lock(FMutex);
    FHub = bindUdp(FHubAddress, error);
    if (FHub < 0)
        return false;
    for (const SimModule &m : FModules) {
        if (socketFor(m.address, error) < 0) {
            for (auto &s : FSockets)
                close(s.second);
            FSockets.clear();
            close(FHub);
            FHub = -1;
            return false;
        }
    }
    if (pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0)
        FWake[0] = FWake[1] = -1;
    FStop = false;
    FThread = std::thread([this] { run(); });
    return true;
}

void SimModuleNetwork::stop()
{
    if (!FThread.joinable())
        return;
    FStop = true;
    if (FWake[1] >= 0) {
        const char c = 1;
        (void)!write(FWake[1], &c, 1);
    }
    FThread.join();
    std::lock_guard lock(FMutex);
    for (auto &s : FSockets)
        close(s.second);
    FSockets.clear();
    if (FHub >= 0)
        close(FHub);
    FHub = -1;
    for (int &w : FWake) {
        if (w >= 0)
            close(w);
        w = -1;
    }
    FPending.clear();
}

// With FMutex held. onlyFd: answer only the modules on this socket (a request sent to a
// module's own address), or -1 for all (a request to the hub).
void SimModuleNetwork::answer(uint32_t toAddr, uint16_t toPort, int onlyFd)
{
    const int64_t now = nowMs();
    for (SimModule m : FModules) {
        if (m.typeSource)
            m.type = m.typeSource();
        int fd = -1;
        for (const auto &s : FSockets)
            if (s.first == m.address)
                fd = s.second;
        if (fd < 0 || (onlyFd >= 0 && fd != onlyFd))
            continue;
        std::vector<uint8_t> reply = ModuleReply(m);
        auto queue = [&](int64_t due, std::vector<uint8_t> bytes) {
            FPending.push_back({due, fd, toAddr, toPort, std::move(bytes)});
        };
        switch (m.fault) {
        case ModuleFault::None:
            queue(now, reply);
            break;
        case ModuleFault::NoReply:
            break;
        case ModuleFault::Duplicate:
            queue(now, reply);
            queue(now, reply);
            break;
        case ModuleFault::Late:
            queue(now + m.delayMs, reply);
            break;
        case ModuleFault::Short:
            reply.resize(152);
            queue(now, reply);
            break;
        case ModuleFault::Foreign: {
            std::vector<uint8_t> foreign = reply;
            std::memcpy(foreign.data(), "DVMQ", 4);
            queue(now, foreign);
            queue(now, std::vector<uint8_t>(200, 0x5A));
            break;
        }
        case ModuleFault::Chatter: {
            queue(now, reply);
            std::vector<uint8_t> foreign(reply.size(), 0x5A);
            for (int64_t t = 50; t <= m.delayMs; t += 50)
                queue(now + t, foreign);
            break;
        }
        }
    }
}

// With FMutex held. An upload request on a module socket: the first module on that address
// takes it and answers at once.
void SimModuleNetwork::upload(int fd, uint32_t toAddr, uint16_t toPort, const uint8_t *data, size_t size)
{
    for (size_t i = 0; i < FModules.size(); ++i) {
        int moduleFd = -1;
        for (const auto &s : FSockets)
            if (s.first == FModules[i].address)
                moduleFd = s.second;
        if (moduleFd != fd)
            continue;
        const std::vector<uint8_t> reply = FReceivers[i].handle(FModules[i].upload, data, size);
        if (!reply.empty())
            sendTo(fd, toAddr, toPort, reply);
        return;
    }
}

void SimModuleNetwork::run()
{
    uint8_t buffer[2048];
    while (!FStop) {
        std::vector<pollfd> fds;
        int timeout = 200;
        {
            std::lock_guard lock(FMutex);
            const int64_t now = nowMs();
            // Send what is due, in order of due time (a stable order keeps replies in module order).
            std::stable_sort(FPending.begin(), FPending.end(),
                             [](const Pending &a, const Pending &b) { return a.due < b.due; });
            size_t sent = 0;
            while (sent < FPending.size() && FPending[sent].due <= now) {
                const Pending &p = FPending[sent];
                sendTo(p.fd, p.toAddr, p.toPort, p.bytes);
                ++sent;
            }
            FPending.erase(FPending.begin(), FPending.begin() + long(sent));
            if (!FPending.empty())
                timeout = int(std::min<int64_t>(timeout, std::max<int64_t>(0, FPending.front().due - now)));
            if (FWake[0] >= 0)
                fds.push_back({FWake[0], POLLIN, 0});
            fds.push_back({FHub, POLLIN, 0});
            for (const auto &s : FSockets)
                fds.push_back({s.second, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), timeout) <= 0)
            continue;
        std::lock_guard lock(FMutex);
        for (const pollfd &p : fds) {
            if (!(p.revents & POLLIN))
                continue;
            if (p.fd == FWake[0]) {
                while (read(FWake[0], buffer, sizeof buffer) > 0) {
                }
                continue;
            }
            for (;;) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t got = recvfrom(p.fd, buffer, sizeof buffer, 0,
                                             reinterpret_cast<sockaddr *>(&from), &len);
                if (got < 0)
                    break;
                if (p.fd != FHub && SimFirmwareReceiver::isUploadRequest(buffer, size_t(got))) {
                    upload(p.fd, from.sin_addr.s_addr, from.sin_port, buffer, size_t(got));
                    continue;
                }
                if (!isDiscoveryRequest(buffer, got))
                    continue;
                ++FRequests;
                answer(from.sin_addr.s_addr, from.sin_port, p.fd == FHub ? -1 : p.fd);
            }
        }
    }
}

} // namespace duvosim
