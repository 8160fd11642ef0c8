#pragma once
// The firmware receiver of a simulated network module: it takes the upload requests
// ("DVMQ" 'A': start, data block, finish) from its own state and answers as a module does
// ("DVMR" 'A', reply type, upload identifier, the next address it wants). Blocks are checked
// against the announced image and the module's next address, the finish request's checksum
// against the bytes the module actually holds. Faults switch on per module.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace duvosim {

enum class UploadFault {
    None,
    NoAnswer,       // never answers an upload request
    LoseAck,        // drops the reply to request number faultAt (0 = the start request)
    CorruptBlock,   // stores the first data block with one byte changed: the checksum fails
    Busy,           // answers "busy" (5) to faultCount requests (-1: to every one)
    WrongId,        // answers with the upload identifier plus one
    RefuseShutdown, // answers the start request with 4
};

struct SimUploadSettings {
    // When either text is not empty, the module asks for both (reply 1) and checks them.
    std::string user;
    std::string password;
    uint32_t memory = 1024 * 1024; // largest image the module takes (else reply 3)
    UploadFault fault = UploadFault::None;
    int faultAt = 0;
    int faultCount = -1;
    // Every upload reply goes out this long after its request (a slow module).
    int replyDelayMs = 0;
    // Besides any fault: the reply to request number duplicateAt (0 = the start request) goes
    // out twice, as a duplicated datagram; -1: none.
    int duplicateAt = -1;
};

struct SimUploadStatus {
    bool started = false;    // a start request was accepted
    bool completed = false;  // the finish request was accepted: the module runs the new image
    uint32_t uploadId = 0;
    uint32_t base = 0;
    uint32_t size = 0;
    uint32_t next = 0;            // the next address the module wants
    std::vector<uint8_t> image;   // what the module holds, from base
    int requests = 0;             // upload requests received
    int starts = 0;
    int blocks = 0;               // data blocks received (also repeated and refused ones)
    int finishes = 0;
    int replies = 0;              // replies sent
    std::vector<uint32_t> blockAddresses; // address of every data block received, in order
};

class SimFirmwareReceiver {
public:
    // One request datagram; returns the reply to send, or nothing.
    std::vector<uint8_t> handle(const SimUploadSettings &settings, const uint8_t *data, size_t size);

    const SimUploadStatus &status() const { return FStatus; }
    // True once after handle() gave a reply that must go out twice (duplicateAt).
    bool takeDuplicate()
    {
        const bool d = FDuplicate;
        FDuplicate = false;
        return d;
    }

    static bool isUploadRequest(const uint8_t *data, size_t size);
    // The 20-byte reply: "DVMR" 'A' type, two zero bytes, id, address, value 0.
    static std::vector<uint8_t> reply(uint8_t type, uint32_t uploadId, uint32_t address);

private:
    std::vector<uint8_t> answer(const SimUploadSettings &settings, const uint8_t *data, size_t size);

    SimUploadStatus FStatus;
    int FBusyAnswers = 0;
    bool FCorrupted = false;
    bool FDuplicate = false;
};

} // namespace duvosim
