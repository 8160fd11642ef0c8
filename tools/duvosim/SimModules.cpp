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

bool isVerifyList(const uint8_t *data, ssize_t size)
{
    return size >= 10 && std::memcmp(data, "DVM2", 4) == 0 && data[4] == 'V';
}

bool isConfigRequest(const uint8_t *data, ssize_t size)
{
    return size >= 153 && std::memcmp(data, "DVMQ", 4) == 0 && data[4] == 'W';
}

// A zero-ended field of room bytes; false when it has no zero byte inside.
bool fieldText(const uint8_t *data, size_t room, std::string &out)
{
    const void *zero = std::memchr(data, 0, room);
    if (!zero)
        return false;
    out.assign(reinterpret_cast<const char *>(data), size_t(static_cast<const uint8_t *>(zero) - data));
    return true;
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

// A duplicated datagram: both copies in one system call, so they arrive back to back as a
// network that duplicates a datagram delivers them.
void sendTwice(int fd, uint32_t addr, uint16_t port, const std::vector<uint8_t> &bytes)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = addr;
    to.sin_port = port;
    iovec iov{const_cast<uint8_t *>(bytes.data()), bytes.size()};
    mmsghdr msgs[2]{};
    for (mmsghdr &m : msgs) {
        m.msg_hdr.msg_name = &to;
        m.msg_hdr.msg_namelen = sizeof to;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    sendmmsg(fd, msgs, 2, MSG_NOSIGNAL);
}

} // namespace

std::array<uint8_t, 148> ModuleRecord(const SimModule &m)
{
    std::array<uint8_t, 148> r{};
    if (m.record.size() == r.size()) {
        std::copy(m.record.begin(), m.record.end(), r.begin());
        return r;
    }
    const std::string &claimed = m.recordAddress.empty() ? m.address : m.recordAddress;
    putU32(&r[0], 148);
    putAddress(&r[4], claimed);          // static address
    putAddress(&r[8], "255.255.255.0");  // mask
    putU32(&r[20], 115200);              // serial baud rate
    r[24] = m.bootDelay;                 // boot delay
    r[25] = 1;                           // boot to application
    std::memcpy(&r[27], m.tftpFile.data(), std::min<size_t>(m.tftpFile.size(), 79));
    std::copy(m.mac.begin(), m.mac.end(), r.begin() + 107);
    std::copy(m.baseMac.begin(), m.baseMac.end(), r.begin() + 118);
    r[124] = m.interfaceKind;
    r[125] = 0xAA;  // extension valid
    putAddress(&r[126], claimed);  // active address
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
    if (FModules.back().record.size() != 148) {
        const auto record = ModuleRecord(FModules.back());
        FModules.back().record.assign(record.begin(), record.end());
    }
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

std::vector<uint8_t> SimModuleNetwork::lastVerifyList() const
{
    std::lock_guard lock(FMutex);
    return FLastVerify;
}

std::vector<std::vector<uint8_t>> SimModuleNetwork::configRequests() const
{
    std::lock_guard lock(FMutex);
    return FConfigRequests;
}

// With FMutex held.
int SimModuleNetwork::fdOf(const std::string &address) const
{
    for (const auto &s : FSockets)
        if (s.first == address)
            return s.second;
    return -1;
}

// With FMutex held. A verification list: the modules it does not name answer again.
void SimModuleNetwork::verify(const uint8_t *data, size_t size, uint32_t toAddr, uint16_t toPort, int onlyFd)
{
    ++FVerifyLists;
    FLastVerify.assign(data, data + size);
    const size_t pairs = (size - 10) / 2;
    answer(toAddr, toPort, onlyFd, [&](const SimModule &m) {
        for (size_t i = 0; i < pairs; ++i)
            if (data[5 + 2 * i] == m.mac[4] && data[6 + 2 * i] == m.mac[5])
                return false;
        return true;
    });
}

// With FMutex held. A configuration request: the module whose MAC the record carries takes
// the record when it needs no login or the login is its own.
void SimModuleNetwork::configure(const uint8_t *data, size_t size, int onlyFd)
{
    FConfigRequests.emplace_back(data, data + size);
    const uint8_t *record = data + 5;
    for (SimModule &m : FModules) {
        const int fd = fdOf(m.address);
        if (fd < 0 || (onlyFd >= 0 && fd != onlyFd))
            continue;
        if (!std::equal(m.mac.begin(), m.mac.end(), record + 107))
            continue;
        if (m.passNeeded) {
            std::string password, user;
            if (size < 197 || std::memcmp(data + 153, "1414", 4) != 0 || !fieldText(data + 157, 20, password)
                || !fieldText(data + 177, 20, user) || password != m.password || user != m.userName)
                continue;
        }
        std::vector<uint8_t> next(record, record + 148);
        // What the module is, not what it is told: length, MACs, kind, marker, active address.
        const std::vector<uint8_t> &own = m.record;
        std::copy(own.begin(), own.begin() + 4, next.begin());
        std::copy(own.begin() + 107, own.begin() + 113, next.begin() + 107);
        std::copy(own.begin() + 118, own.begin() + 130, next.begin() + 118);
        m.record = std::move(next);
        ++FConfigsAccepted;
    }
}

// With FMutex held. onlyFd: answer only the modules on this socket (a request sent to a
// module's own address), or -1 for all (a request to the hub). wanted, when set, picks the
// modules that answer.
void SimModuleNetwork::answer(uint32_t toAddr, uint16_t toPort, int onlyFd,
                              const std::function<bool(const SimModule &)> &wanted)
{
    const int64_t now = nowMs();
    for (SimModule m : FModules) {
        if (m.typeSource)
            m.type = m.typeSource();
        const int fd = fdOf(m.address);
        if (fd < 0 || (onlyFd >= 0 && fd != onlyFd))
            continue;
        if (wanted && !wanted(m))
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
        const bool wasCompleted = FReceivers[i].status().completed;
        const std::vector<uint8_t> reply = FReceivers[i].handle(FModules[i].upload, data, size);
        const bool duplicate = FReceivers[i].takeDuplicate();
        if (!reply.empty()) {
            if (FModules[i].upload.replyDelayMs > 0) {
                FPending.push_back({nowMs() + FModules[i].upload.replyDelayMs, fd, toAddr, toPort, reply});
                if (duplicate)
                    FPending.push_back({nowMs() + FModules[i].upload.replyDelayMs, fd, toAddr, toPort, reply});
            } else if (duplicate) {
                sendTwice(fd, toAddr, toPort, reply);
            } else {
                sendTo(fd, toAddr, toPort, reply);
            }
        }
        if (!wasCompleted && FReceivers[i].status().completed && FModules[i].uploaded)
            FModules[i].uploaded(FReceivers[i].status().image);
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
                const int onlyFd = p.fd == FHub ? -1 : p.fd;
                if (isVerifyList(buffer, got)) {
                    verify(buffer, size_t(got), from.sin_addr.s_addr, from.sin_port, onlyFd);
                    continue;
                }
                if (isConfigRequest(buffer, got)) {
                    configure(buffer, size_t(got), onlyFd);
                    continue;
                }
                if (!isDiscoveryRequest(buffer, got))
                    continue;
                ++FRequests;
                answer(from.sin_addr.s_addr, from.sin_port, onlyFd);
            }
        }
    }
}

} // namespace duvosim
