#include "duvosim/SimFirmware.h"

#include <algorithm>
#include <cstring>

namespace duvosim {

namespace {

constexpr size_t HeadSize = 20;
constexpr uint32_t MaxBlock = 470;

uint32_t getU32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void putU32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The zero-ended text at pos inside [0, size); false when it has no end there.
bool textAt(const uint8_t *data, size_t size, size_t pos, std::string &out, size_t &next)
{
    if (pos >= size)
        return false;
    const void *zero = std::memchr(data + pos, 0, size - pos);
    if (!zero)
        return false;
    const size_t end = size_t(static_cast<const uint8_t *>(zero) - data);
    out.assign(reinterpret_cast<const char *>(data + pos), end - pos);
    next = end + 1;
    return true;
}

} // namespace

bool SimFirmwareReceiver::isUploadRequest(const uint8_t *data, size_t size)
{
    return size >= 5 && std::memcmp(data, "DVMQ", 4) == 0 && data[4] == 'A';
}

std::vector<uint8_t> SimFirmwareReceiver::reply(uint8_t type, uint32_t uploadId, uint32_t address)
{
    std::vector<uint8_t> r(HeadSize, 0);
    std::memcpy(r.data(), "DVMR", 4);
    r[4] = 'A';
    r[5] = type;
    putU32(&r[8], uploadId);
    putU32(&r[12], address);
    return r;
}

std::vector<uint8_t> SimFirmwareReceiver::handle(const SimUploadSettings &settings, const uint8_t *data,
                                                 size_t size)
{
    if (!isUploadRequest(data, size) || size < HeadSize)
        return {};
    const int index = FStatus.requests++;
    if (settings.fault == UploadFault::NoAnswer)
        return {};
    if (settings.fault == UploadFault::Busy
        && (settings.faultCount < 0 || FBusyAnswers < settings.faultCount)) {
        ++FBusyAnswers;
        ++FStatus.replies;
        return reply(5, getU32(data + 8), FStatus.next);
    }
    std::vector<uint8_t> out = answer(settings, data, size);
    if (settings.fault == UploadFault::LoseAck && index == settings.faultAt)
        return {};
    if (settings.fault == UploadFault::WrongId && !out.empty())
        putU32(&out[8], getU32(&out[8]) + 1);
    if (!out.empty())
        ++FStatus.replies;
    FDuplicate = !out.empty() && index == settings.duplicateAt;
    return out;
}

std::vector<uint8_t> SimFirmwareReceiver::answer(const SimUploadSettings &settings, const uint8_t *data,
                                                 size_t size)
{
    const uint8_t type = data[5];
    const uint32_t id = getU32(data + 8);
    const uint32_t address = getU32(data + 12);
    const uint32_t value = getU32(data + 16);
    SimUploadStatus &s = FStatus;

    if (type == 1) {
        ++s.starts;
        // A start request carries credentials when more than its one zero byte follows.
        std::string user, password;
        size_t next = 0;
        const bool credentials = size > 24 && textAt(data, size, HeadSize, user, next)
                                 && textAt(data, size, next, password, next);
        const bool needed = !settings.user.empty() || !settings.password.empty();
        if (needed && !credentials)
            return reply(1, id, 0);
        if (needed && (user != settings.user || password != settings.password))
            return reply(2, id, 0);
        if (value > settings.memory || uint64_t(address) + value >= 0x100000000ull)
            return reply(3, id, 0);
        if (settings.fault == UploadFault::RefuseShutdown)
            return reply(4, id, 0);
        s.started = true;
        s.completed = false;
        s.uploadId = id;
        s.base = address;
        s.size = value;
        s.next = address;
        s.image.assign(value, 0);
        s.blockAddresses.clear();
        FCorrupted = false;
        return reply(0, id, s.next);
    }
    if (!s.started || id != s.uploadId)
        return {}; // not this module's upload
    const uint64_t end = uint64_t(s.base) + s.size;

    if (type == 2) {
        ++s.blocks;
        s.blockAddresses.push_back(address);
        const uint32_t length = value;
        const bool wellFormed = length > 0 && length <= MaxBlock && size == HeadSize + length
                                && address >= s.base && uint64_t(address) + length <= end;
        // A block beyond the next wanted address would leave a hole: send again from there.
        if (!wellFormed || address > s.next)
            return reply(7, id, s.next);
        std::memcpy(s.image.data() + (address - s.base), data + HeadSize, length);
        if (settings.fault == UploadFault::CorruptBlock && !FCorrupted) {
            s.image[address - s.base] ^= 0x01;
            FCorrupted = true;
        }
        s.next = std::max<uint32_t>(s.next, uint32_t(address + length));
        return reply(0, id, s.next);
    }
    if (type == 4) {
        ++s.finishes;
        if (s.next < end || address != end)
            return reply(7, id, s.next);
        uint32_t sum = 0;
        for (size_t i = 0; i + 4 <= s.image.size(); i += 4)
            sum += getU32(&s.image[i]);
        if (sum != value)
            return reply(6, id, s.next);
        s.completed = true;
        return reply(0, id, s.next);
    }
    return {};
}

} // namespace duvosim
