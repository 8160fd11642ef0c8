#pragma once
// DVDEVICEINFO_T, the record of one instrument the workstation knows, and FDeviceList's type.
// Texts are kept as the bytes the instrument sent (std::string), so they go back unchanged.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DVDEVICEINFO_T {
    std::string ipAddress;
    std::string macText;
    std::string runState;
    std::string totalTime;
    std::string message;
    std::string typeText;
    std::string firmware;
    std::string deviceId;
    std::string serialNumber;
    std::string location;
    std::string alias;
    std::string alertAddress;
    std::string clockText;
    std::array<std::string, 6> board0;  // InfoRev, Name, Revision, SN, Code, Date
    std::array<std::string, 6> board1;
    int16_t alertArmed = 0;
    int16_t alertSent = 0;
    int16_t unreachable = 0;
    int16_t busy = 0;
    std::string sessionId;
    int16_t recording = 0;
    std::string runProtocol;
    std::array<std::string, 19> status;  // InstrumentStatus in reply order
    std::string timeLeft;
    int32_t pickRow = -1;
    int32_t selected = 0;

    // A device is idle when its run state is "Stopped", empty or "-".
    bool isIdle() const { return runState.empty() || runState == "Stopped" || runState == "-"; }
};

// The main window's device list: owns its records, in discovery order. The generation
// changes whenever the list is emptied, so code that waited inside the event loop can tell
// that the records it was working on are gone.
class DeviceList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    bool isEmpty() const { return FItems.empty(); }
    DVDEVICEINFO_T *at(int index) const
    {
        return (index >= 0 && index < Count()) ? FItems[static_cast<size_t>(index)].get() : nullptr;
    }
    DVDEVICEINFO_T *operator[](int index) const { return at(index); }
    // Takes ownership; returns the new record's index.
    int Add(std::unique_ptr<DVDEVICEINFO_T> record)
    {
        FItems.push_back(std::move(record));
        return Count() - 1;
    }
    // Destroys every record.
    void Clear()
    {
        FItems.clear();
        ++FGeneration;
    }
    uint64_t generation() const { return FGeneration; }
    // The index of the record with this address, -1 when none.
    int IndexOfAddress(const std::string &ip) const
    {
        for (int i = 0; i < Count(); ++i)
            if (FItems[static_cast<size_t>(i)]->ipAddress == ip)
                return i;
        return -1;
    }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<DVDEVICEINFO_T>> FItems;
    uint64_t FGeneration = 0;
};
