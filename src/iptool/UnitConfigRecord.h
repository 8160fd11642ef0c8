#pragma once
// The 148-byte configuration record of one network-module interface, carried in every
// discovery reply (bytes 5 to 152) and written back by the configuration request. Numbers are
// big-endian; IPv4 addresses are four bytes, first octet first. Bytes this tool does not use
// (130 to 144, 146 and 147) are carried unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace duvo::iptool {

using Ipv4 = std::array<uint8_t, 4>;
using Mac = std::array<uint8_t, 6>;

constexpr size_t RecordSize = 148;
constexpr uint8_t ExtensionMarker = 0xAA;
constexpr size_t TftpFileRoom = 80;  // bytes 27 to 106, zero-ended: at most 79 characters

enum InterfaceKind : uint8_t { Ethernet = 0, WiFi = 1, Ethernet2 = 2 };

struct UnitConfigRecord {
    std::array<uint8_t, RecordSize> bytes{};

    // Field offsets.
    static constexpr size_t OffLength = 0, OffStaticIp = 4, OffMask = 8, OffGateway = 12,
                            OffTftpServer = 16, OffBaud = 20, OffBootDelay = 24, OffBootToApp = 25,
                            OffTrapMode = 26, OffTftpFile = 27, OffMac = 107, OffMonitorPort = 113,
                            OffDns = 114, OffBaseMac = 118, OffKind = 124, OffMarker = 125,
                            OffActiveIp = 126, OffBootQuietly = 145;

    static UnitConfigRecord fromBytes(const uint8_t *data);  // copies 148 bytes

    uint32_t length() const { return u32(OffLength); }
    void setLength(uint32_t v) { setU32(OffLength, v); }
    Ipv4 staticIp() const { return ip(OffStaticIp); }
    void setStaticIp(const Ipv4 &a) { setIp(OffStaticIp, a); }
    Ipv4 mask() const { return ip(OffMask); }
    void setMask(const Ipv4 &a) { setIp(OffMask, a); }
    Ipv4 gateway() const { return ip(OffGateway); }
    void setGateway(const Ipv4 &a) { setIp(OffGateway, a); }
    Ipv4 tftpServer() const { return ip(OffTftpServer); }
    void setTftpServer(const Ipv4 &a) { setIp(OffTftpServer, a); }
    Ipv4 dns() const { return ip(OffDns); }
    void setDns(const Ipv4 &a) { setIp(OffDns, a); }
    Ipv4 activeIp() const { return ip(OffActiveIp); }
    void setActiveIp(const Ipv4 &a) { setIp(OffActiveIp, a); }
    uint32_t baudRate() const { return u32(OffBaud); }
    void setBaudRate(uint32_t v) { setU32(OffBaud, v); }
    uint8_t bootDelay() const { return bytes[OffBootDelay]; }
    void setBootDelay(uint8_t v) { bytes[OffBootDelay] = v; }
    uint8_t bootToApplication() const { return bytes[OffBootToApp]; }
    void setBootToApplication(bool on) { bytes[OffBootToApp] = on ? 1 : 0; }
    uint8_t trapMode() const { return bytes[OffTrapMode]; }
    void setTrapMode(uint8_t v) { bytes[OffTrapMode] = v; }
    uint8_t monitorPort() const { return bytes[OffMonitorPort]; }
    void setMonitorPort(uint8_t v) { bytes[OffMonitorPort] = v; }
    uint8_t bootQuietly() const { return bytes[OffBootQuietly]; }
    void setBootQuietly(bool on) { bytes[OffBootQuietly] = on ? 1 : 0; }
    uint8_t interfaceKind() const { return bytes[OffKind]; }
    void setInterfaceKind(uint8_t v) { bytes[OffKind] = v; }
    uint8_t marker() const { return bytes[OffMarker]; }
    void setMarker(uint8_t v) { bytes[OffMarker] = v; }
    Mac mac() const { return macAt(OffMac); }
    void setMac(const Mac &m) { setMacAt(OffMac, m); }
    Mac baseMac() const { return macAt(OffBaseMac); }
    void setBaseMac(const Mac &m) { setMacAt(OffBaseMac, m); }

    // The TFTP file text: bytes 27 on up to the first zero, never past byte 106.
    std::string tftpFile() const;
    // Writes at most 79 characters and zero-fills the rest of the field (byte 106 stays zero).
    void setTftpFile(const std::string &text);

    bool isWiFi() const { return interfaceKind() == WiFi; }

private:
    uint32_t u32(size_t off) const;
    void setU32(size_t off, uint32_t v);
    Ipv4 ip(size_t off) const;
    void setIp(size_t off, const Ipv4 &a);
    Mac macAt(size_t off) const;
    void setMacAt(size_t off, const Mac &m);
};

// True when the record carries no extension (marker not 0xAA), or when the source address
// equals the record's active or static IP address: the reply came from the address the record
// describes.
bool AddressMatches(const UnitConfigRecord &record, const Ipv4 &source);

// The six bytes that identify the device: the base MAC when the marker is 0xAA and the base
// MAC is not all zero, else the interface's MAC.
Mac NodeKey(const UnitConfigRecord &record);

bool IsZero(const Ipv4 &a);
std::string FormatIpv4(const Ipv4 &a);  // "%d.%d.%d.%d"

} // namespace duvo::iptool
