#include "iptool/UnitConfigRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace duvo::iptool {

UnitConfigRecord UnitConfigRecord::fromBytes(const uint8_t *data)
{
    UnitConfigRecord r;
    std::memcpy(r.bytes.data(), data, RecordSize);
    return r;
}

uint32_t UnitConfigRecord::u32(size_t off) const
{
    return uint32_t(bytes[off]) << 24 | uint32_t(bytes[off + 1]) << 16 | uint32_t(bytes[off + 2]) << 8
        | uint32_t(bytes[off + 3]);
}

void UnitConfigRecord::setU32(size_t off, uint32_t v)
{
    bytes[off] = uint8_t(v >> 24);
    bytes[off + 1] = uint8_t(v >> 16);
    bytes[off + 2] = uint8_t(v >> 8);
    bytes[off + 3] = uint8_t(v);
}

Ipv4 UnitConfigRecord::ip(size_t off) const
{
    Ipv4 a;
    std::copy_n(bytes.begin() + long(off), 4, a.begin());
    return a;
}

void UnitConfigRecord::setIp(size_t off, const Ipv4 &a)
{
    std::copy(a.begin(), a.end(), bytes.begin() + long(off));
}

Mac UnitConfigRecord::macAt(size_t off) const
{
    Mac m;
    std::copy_n(bytes.begin() + long(off), 6, m.begin());
    return m;
}

void UnitConfigRecord::setMacAt(size_t off, const Mac &m)
{
    std::copy(m.begin(), m.end(), bytes.begin() + long(off));
}

std::string UnitConfigRecord::tftpFile() const
{
    const char *p = reinterpret_cast<const char *>(bytes.data() + OffTftpFile);
    const void *zero = std::memchr(p, 0, TftpFileRoom - 1);
    return std::string(p, zero ? static_cast<const char *>(zero) - p : long(TftpFileRoom - 1));
}

void UnitConfigRecord::setTftpFile(const std::string &text)
{
    const size_t n = std::min(text.size(), TftpFileRoom - 1);
    std::fill_n(bytes.begin() + long(OffTftpFile), TftpFileRoom, 0);
    std::memcpy(bytes.data() + OffTftpFile, text.data(), n);
}

bool AddressMatches(const UnitConfigRecord &record, const Ipv4 &source)
{
    return record.marker() != ExtensionMarker || source == record.activeIp()
        || source == record.staticIp();
}

Mac NodeKey(const UnitConfigRecord &record)
{
    const Mac base = record.baseMac();
    const bool any = std::any_of(base.begin(), base.end(), [](uint8_t b) { return b != 0; });
    return record.marker() == ExtensionMarker && any ? base : record.mac();
}

bool IsZero(const Ipv4 &a)
{
    return a == Ipv4{};
}

std::string FormatIpv4(const Ipv4 &a)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

} // namespace duvo::iptool
