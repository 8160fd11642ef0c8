#include "link/FirmwareUpload.h"

#include "link/ModuleProtocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace duvo::firmware {

namespace {

std::atomic<FILE *> g_diagnostics{stderr};

// The upload's and the S-record reader's diagnostics go to standard error unless switched off.
__attribute__((format(printf, 1, 2))) void report(const char *format, ...)
{
    FILE *out = g_diagnostics.load();
    if (!out)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
}

// A firmware image for a network module is a few hundred kilobytes; a file far beyond that
// is not read into memory at all.
constexpr long MaxFileSize = 64L * 1024 * 1024;
constexpr int SliceMs = 100;
// Before the finish request: the socket must be quiet this long, waited for at most the limit.
constexpr int SettleQuietMs = 20;
constexpr int SettleLimitMs = 250;

void putU32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

uint32_t getU32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// "DVMQ" 'A' type, two filler bytes, id, address, value: the 20-byte head of every request.
std::vector<uint8_t> requestHead(RequestType type, uint32_t id, uint32_t address, uint32_t value,
                                 size_t total)
{
    std::vector<uint8_t> r(total, 0);
    std::memcpy(r.data(), duvo::module::RequestMagic, 4);
    r[4] = uint8_t(UploadLetter);
    r[5] = type;
    putU32(&r[8], id);
    putU32(&r[12], address);
    putU32(&r[16], value);
    return r;
}

// The record's count byte and the bytes it covers, as their sum; false when a character is
// not hexadecimal or the text ends first.
bool recordSum(const char *record, const char *end, unsigned long &sum, unsigned &count)
{
    auto at = [&](size_t i, char &c) {
        if (end && record + i >= end)
            return false;
        c = record[i];
        return IsHexDigit(c);
    };
    char a, b;
    if (!at(2, a) || !at(3, b))
        return false;
    count = HexByte(record + 2);
    sum = count;
    for (unsigned k = 0; k < count; ++k) {
        const size_t i = 4 + 2 * size_t(k);
        if (!at(i, a) || !at(i + 1, b))
            return false;
        sum += HexByte(record + i);
    }
    return true;
}

int bindUploadSocket(const std::string &bindAddress)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(duvo::module::ModulePort);
    if (inet_pton(AF_INET, bindAddress.c_str(), &local.sin_addr) != 1) {
        report("oops: bind failed: bad local address %s\n", bindAddress.c_str());
        return ErrBind;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        report("oops: bind failed: %s\n", std::strerror(errno));
        return ErrBind;
    }
    // No SO_REUSEADDR: while discovery, another upload or the address tool holds the port,
    // this upload must fail here.
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        report("oops: bind failed: %s\n", std::strerror(errno));
        close(fd);
        return ErrBind;
    }
    return fd;
}

class SocketUpload : public ModuleUpdateSocket {
public:
    SocketUpload(SRecordImage image, uint32_t id, const std::string &user, const std::string &password,
                 int fd, const uint8_t address[4])
        : ModuleUpdateSocket(std::move(image), id, user, password), FFd(fd)
    {
        FTo.sin_family = AF_INET;
        FTo.sin_port = htons(duvo::module::ModulePort);
        std::memcpy(&FTo.sin_addr, address, 4); // first octet first: network order
    }

protected:
    void SendRequest(const std::vector<uint8_t> &request) override
    {
        // To the one module only: the socket has no broadcast permission, so an image can
        // never go out to a whole network. A failed send is not fatal: the tick rule sends
        // the request again.
        sendto(FFd, request.data(), request.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&FTo),
               sizeof FTo);
    }
    void DiscardPending() override
    {
        // A duplicated datagram arrives right behind its original (on loopback even while the
        // original is being handled): wait until the socket has been quiet for a moment, and
        // drop what came. Bounded, so a flood cannot hold the upload here.
        uint8_t buffer[ReplyBufferSize];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(SettleLimitMs);
        for (int i = 0; i < 1024 && std::chrono::steady_clock::now() < deadline; ++i) {
            pollfd p{FFd, POLLIN, 0};
            if (poll(&p, 1, SettleQuietMs) <= 0)
                break;
            recv(FFd, buffer, sizeof buffer, MSG_DONTWAIT);
        }
    }

private:
    int FFd;
    sockaddr_in FTo{};
};

} // namespace

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

uint8_t HexByte(const char *two)
{
    auto nibble = [](char c) {
        const int u = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        return u < 'A' ? u - '0' : u - 'A' + 10;
    };
    return uint8_t((nibble(two[0]) << 4) + nibble(two[1]));
}

bool CheckSRecord(const char *record, const char *textEnd)
{
    unsigned long sum = 0;
    unsigned count = 0;
    return recordSum(record, textEnd, sum, count) && (sum & 0xFF) == 0xFF;
}

uint32_t ImageChecksum(const std::vector<uint8_t> &bytes)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint8_t word[4] = {0, 0, 0, 0};
        std::memcpy(word, bytes.data() + i, std::min<size_t>(4, bytes.size() - i));
        sum += getU32(word);
    }
    return sum;
}

int ParseSRecordText(const char *text, size_t length, SRecordImage &image)
{
    image = SRecordImage();
    if (!text)
        length = 0;
    // The text ends at its first zero byte.
    if (length > 0)
        if (const void *zero = std::memchr(text, 0, length))
            length = size_t(static_cast<const char *>(zero) - text);
    const char *end = text + length;

    std::vector<uint8_t> bytes;
    bool haveBase = false;
    uint64_t base = 0, current = 0;
    size_t pos = 0;
    while (pos < length) {
        if (text[pos] != 'S' || pos + 1 >= length || text[pos + 1] < '1' || text[pos + 1] > '8') {
            ++pos;
            continue;
        }
        const char *record = text + pos;
        unsigned long sum = 0;
        unsigned count = 0;
        const bool complete = recordSum(record, end, sum, count);
        if (!complete || (sum & 0xFF) != 0xFF) {
            if (complete)
                report("Checksum Error %lx in S record\n", sum);
            report("S record checksum error \n");
            return ErrRecordChecksum;
        }
        const int type = record[1] - '0';
        const size_t recordChars = 4 + 2 * size_t(count);
        if (type >= 1 && type <= 4) {
            const unsigned addressLength = unsigned(type) + 1;
            if (count < addressLength + 1) {
                report("S Record conversion error\n");
                return ErrConversion;
            }
            uint64_t address = 0;
            for (unsigned k = 0; k < addressLength; ++k)
                address = (address << 8) | HexByte(record + 4 + 2 * k);
            address &= 0xFFFFFFFFu; // of a five-byte address only the low 32 bits count
            const uint64_t dataLength = count - addressLength - 1;
            if (address + dataLength > 0x100000000ull) {
                report("S Record conversion error\n");
                return ErrConversion;
            }
            if (!haveBase) {
                haveBase = true;
                base = current = address;
            } else if (address < current) {
                report("S records must be in asending order \n");
                return ErrOrder;
            }
            // The image is as large as it could be when assembled in place in the text,
            // behind the record being read: a gap that would pass the record fails.
            const uint64_t gap = address - current;
            if (bytes.size() + gap > pos) {
                report("S Record conversion error\n");
                return ErrConversion;
            }
            bytes.resize(bytes.size() + size_t(gap), 0);
            const char *data = record + 4 + 2 * addressLength;
            for (uint64_t k = 0; k < dataLength; ++k)
                bytes.push_back(HexByte(data + 2 * k));
            current = address + dataLength;
        }
        // S5 and S6 carry no data; S7 and S8 carry the start address, which is not needed.
        pos += recordChars;
    }

    // An image without a single byte would wipe a module's firmware for nothing.
    if (!haveBase || bytes.empty()) {
        report("S Record conversion error\n");
        return ErrConversion;
    }
    while (bytes.size() % 4 != 0) {
        bytes.push_back(0);
        ++current;
    }
    // The end address (base + size) must fit the finish request's 32 bits.
    if (current >= 0x100000000ull) {
        report("S Record conversion error\n");
        return ErrConversion;
    }
    image.base = uint32_t(base);
    image.size = uint32_t(current - base);
    image.checksum = ImageChecksum(bytes);
    image.bytes = std::move(bytes);
    return SRecordOk;
}

int LoadSRecordImage(const std::string &path, SRecordImage &image)
{
    image = SRecordImage();
    if (path.empty() || path.size() > MaxPathLength || path.find('\0') != std::string::npos) {
        report("Failed to open file\n");
        return ErrOpen;
    }
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        report("Failed to open file\n");
        return ErrOpen;
    }
    // Only a regular file: a directory, a pipe or a device is no image.
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        report("Failed to open file\n");
        return ErrOpen;
    }
    long size = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0)
        size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        report("Failed to open file\n");
        return ErrOpen;
    }
    if (size > MaxFileSize) {
        report("Malloc failed %ld\n", size);
        return ErrNoMemoryForFile;
    }
    std::vector<char> text;
    try {
        text.resize(size_t(size) + 1, 0);
    } catch (const std::bad_alloc &) {
        report("Malloc failed %ld\n", size);
        return ErrNoMemoryForFile;
    }
    const size_t got = std::fread(text.data(), 1, size_t(size), file.get());
    if (got != size_t(size) || std::ferror(file.get())) {
        report("Failed to open file\n");
        return ErrOpen;
    }
    file.reset();
    try {
        return ParseSRecordText(text.data(), got, image);
    } catch (const std::bad_alloc &) {
        report("Malloc failed %ld\n", size);
        return ErrNoMemoryForFile;
    }
}

std::vector<uint8_t> StartRequest(uint32_t uploadId, uint32_t base, uint32_t size)
{
    return requestHead(RequestStart, uploadId, base, size, 24);
}

std::vector<uint8_t> StartRequestWithCredentials(uint32_t uploadId, uint32_t base, uint32_t size,
                                                 const std::string &user, const std::string &password)
{
    // Texts are cut at an embedded zero byte: the module reads them as zero-ended texts.
    const std::string u = user.substr(0, user.find('\0'));
    const std::string p = password.substr(0, password.find('\0'));
    std::vector<uint8_t> r = requestHead(RequestStart, uploadId, base, size, 26 + u.size() + p.size());
    std::memcpy(&r[20], u.data(), u.size());
    std::memcpy(&r[21 + u.size()], p.data(), p.size());
    return r;
}

std::vector<uint8_t> DataRequest(uint32_t uploadId, uint32_t address, const uint8_t *data, uint32_t length)
{
    std::vector<uint8_t> r = requestHead(RequestData, uploadId, address, length, 20 + size_t(length));
    if (length)
        std::memcpy(&r[20], data, length);
    return r;
}

std::vector<uint8_t> FinishRequest(uint32_t uploadId, uint32_t endAddress, uint32_t checksum)
{
    return requestHead(RequestFinish, uploadId, endAddress, checksum, 24);
}

ModuleUpdateSocket::ModuleUpdateSocket(SRecordImage image, uint32_t uploadId, std::string user,
                                       std::string password)
    : FImage(std::move(image)), FUploadId(uploadId), FUser(std::move(user)),
      FPassword(std::move(password)), FCurrent(FImage.base)
{
}

void ModuleUpdateSocket::Begin()
{
    FPhase = UploadPhase::Start;
    FCurrent = FImage.base;
    FResends = 0;
    FError = 0;
    sendCurrent();
}

void ModuleUpdateSocket::fail(int code, const char *diagnostic)
{
    report("%s", diagnostic);
    FError = code;
}

void ModuleUpdateSocket::sendBlockAt(uint32_t address)
{
    FTicks = TicksPerRequest;
    const uint32_t offset = address - FImage.base;
    const uint32_t length = std::min<uint32_t>(uint32_t(BlockSize), FImage.size - offset);
    SendRequest(DataRequest(FUploadId, address, FImage.bytes.data() + offset, length));
}

void ModuleUpdateSocket::sendCurrent()
{
    switch (FPhase) {
    case UploadPhase::Start:
        FTicks = TicksPerRequest;
        SendRequest(StartRequest(FUploadId, FImage.base, FImage.size));
        break;
    case UploadPhase::StartWithCredentials:
        FTicks = TicksPerRequest;
        SendRequest(StartRequestWithCredentials(FUploadId, FImage.base, FImage.size, FUser, FPassword));
        break;
    case UploadPhase::Data:
        sendBlockAt(FCurrent);
        break;
    case UploadPhase::Finish:
        FTicks = TicksPerRequest;
        SendRequest(FinishRequest(FUploadId, FImage.base + FImage.size, FImage.checksum));
        break;
    case UploadPhase::Done:
        break;
    }
}

void ModuleUpdateSocket::Tick()
{
    if (Finished())
        return;
    if (--FTicks > 0)
        return;
    sendCurrent();
    if (++FResends > MaxResends)
        fail(ErrTimedOut, "File download timed out\n");
}

void ModuleUpdateSocket::OnDatagram(const uint8_t *data, size_t size)
{
    if (Finished())
        return;
    // A datagram too short to carry type, identifier and address is nobody's reply.
    if (size < ReplyMinimum)
        return;
    if (getU32(data + 8) != FUploadId)
        return;
    FResends = 0;
    const uint8_t type = data[5];
    if (type == ReplyBusy)
        return;
    const uint32_t address = getU32(data + 12);
    const uint64_t end = uint64_t(FImage.base) + FImage.size;
    // Only an address inside the image can start a block.
    const bool insideImage = address >= FImage.base && address < end;

    switch (FPhase) {
    case UploadPhase::Start:
    case UploadPhase::StartWithCredentials:
        switch (type) {
        case ReplyAccepted:
            FPhase = UploadPhase::Data;
            sendBlockAt(FCurrent);
            break;
        case ReplyCredentialsNeeded:
            if (!FUser.empty() || !FPassword.empty()) {
                FPhase = UploadPhase::StartWithCredentials;
                sendCurrent();
            } else {
                fail(ErrCredentialsNeeded, "Username/Password needed\n");
            }
            break;
        case ReplyCredentialsWrong:
            fail(ErrCredentialsWrong, "Username/Password Failed\n");
            break;
        case ReplyNoMemory:
            fail(ErrNoMemory, "The Network Module has insufficient RAM to complete this operation\n");
            break;
        case ReplyRefusedShutdown:
            fail(ErrRefusedShutdown, "The Network Module refused to shutdown.\n");
            break;
        default:
            break;
        }
        break;
    case UploadPhase::Data:
        if (type == ReplyAccepted && address >= end) {
            FCurrent = address;
            FPhase = UploadPhase::Finish;
            DiscardPending();
            sendCurrent();
        } else if ((type == ReplyAccepted || type == ReplySendAgainFrom) && insideImage) {
            FCurrent = address;
            sendBlockAt(FCurrent);
        } else {
            // Any other reply, and an address before the image or a resend past its end,
            // gets the block at the current address again.
            sendBlockAt(FCurrent);
        }
        break;
    case UploadPhase::Finish:
        if (type == ReplyAccepted)
            FPhase = UploadPhase::Done;
        else if (type == ReplyChecksumWrong)
            fail(ErrModuleChecksum, "The Network Module Checksum Failed.\n");
        break;
    case UploadPhase::Done:
        break;
    }
}

UploadOptions::UploadOptions() : bind(duvo::module::ModuleBindAddress()) {}

int UploadFirmware(const uint8_t address[4], const std::string &imagePath, int flag,
                   const std::string &user, const std::string &password, const UploadOptions &options)
{
    (void)flag;
    // The POSIX socket layer needs no start-up, so ErrVersion never happens here.
    const int fd = bindUploadSocket(options.bind);
    if (fd < 0)
        return fd;

    SRecordImage image;
    if (LoadSRecordImage(imagePath, image) != SRecordOk) {
        report("The selected File %s is not a valid file\n", imagePath.c_str());
        close(fd);
        return ErrImage;
    }

    const uint32_t id = options.uploadId ? options.uploadId : uint32_t(std::time(nullptr));
    SocketUpload upload(std::move(image), id, user, password, fd, address);
    upload.Begin();

    const int waitMs = options.waitMs > 0 ? options.waitMs : DefaultWaitMs;
    auto stopped = [&] { return options.stop && options.stop->load(); };
    uint8_t buffer[ReplyBufferSize];
    int result = UploadOk;
    while (!upload.Finished()) {
        // One wait: up to waitMs, in slices so a stop request is seen at once.
        bool datagram = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (!stopped()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                break;
            const int slice = int(std::min<long long>(left, SliceMs));
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, slice);
            if (ready > 0) {
                datagram = true;
                break;
            }
            if (ready < 0 && errno != EINTR)
                // The wait itself failed: sit out the slice instead of spinning.
                std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        }
        if (stopped()) {
            report("File download timed out\n");
            result = ErrTimedOut;
            break;
        }
        if (!datagram) {
            upload.Tick();
            continue;
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0)
            upload.OnDatagram(buffer, size_t(got));
    }
    close(fd);
    if (result == UploadOk)
        result = upload.Error();
    return result;
}

void SetUploadDiagnostics(FILE *stream)
{
    g_diagnostics.store(stream);
}

} // namespace duvo::firmware
