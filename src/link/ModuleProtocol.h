#pragma once
// The workstation's side of the network modules' protocol: DiscoverModules with its result
// table, and the two small text helpers ParseIPv4 and FormatMac. The frame itself (constants,
// discovery request, module socket and sender) is common/ModuleFrame.h.

#include "common/ModuleFrame.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One module interface found by discovery: 130 bytes, texts ended by a zero byte. An entry
// whose IP text is empty is free.
struct DiscoveryEntry {
    char ip[20];
    char mac[30];
    char type[80];
};
static_assert(sizeof(DiscoveryEntry) == 130);

struct DiscoveryOptions {
    std::string target = duvo::module::ModuleTargetAddress();
    std::string bind = duvo::module::ModuleBindAddress();
    // When set and true, the receive loop ends at its next check (within 100 ms).
    const std::atomic<bool> *stop = nullptr;
};

// Broadcasts one discovery request and collects the replies into table (tableSize entries,
// all marked free first). The loop ends after waitMs without a new module reply, or on a stop
// request. Returns the number of entries stored, or ErrBind, ErrVersion, ErrBroadcast,
// ErrSend.
int DiscoverModules(int waitMs, DiscoveryEntry *table, int tableSize,
                    const DiscoveryOptions &options = DiscoveryOptions());

// The check every datagram of the discovery loop goes through, without the socket: a module
// reply is at least as long as the discovery request, starts with the reply magic and carries
// the application name and the type text, each ended by a zero byte inside the datagram. When
// it is one, mac gets the interface's MAC as FormatMac writes it and type the type text.
bool CheckModuleReply(const uint8_t *data, size_t size, char mac[18], std::string &type);

// Dotted decimal text to four bytes: 1 on success, 0 when a part exceeds 255, when there are
// fewer than four parts or a part has no digit. Characters other than digits and '.' are
// ignored; the text ends at its fourth '.'.
int ParseIPv4(uint8_t out[4], const char *text);

// Six bytes to "xx:xx:xx:xx:xx:xx" (lower-case); out needs 18 bytes.
void FormatMac(const uint8_t mac[6], char *out);
