#pragma once
// New firmware for a network module: a Motorola S-record file (".s19") read into one binary
// image, and the upload of that image to one module over the module protocol ('A' messages
// on UDP 20034). The module acknowledges every block; after the last block the workstation
// sends the image checksum and the module takes over.
//
// UploadFirmware blocks until the upload ends and is meant for a worker thread: it touches
// nothing but its own socket, honours a stop flag and never waits longer than one wait slice
// without looking at it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace duvo::firmware {

constexpr char UploadLetter = 'A';
constexpr size_t BlockSize = 470;        // image bytes per data block
constexpr size_t ReplyBufferSize = 1024; // replies are read with a buffer of this size
constexpr size_t ReplyMinimum = 20;      // bytes 0 to 19: magic, letter, type, id, address, value
constexpr int TicksPerRequest = 6;       // waits without a datagram before a request goes again
constexpr int MaxResends = 3;            // the fourth resend of one request is the last
constexpr int DefaultWaitMs = 2000;

// Request sub-types (byte 5).
enum RequestType : uint8_t { RequestStart = 1, RequestData = 2, RequestFinish = 4 };

// Reply types (byte 5).
enum ReplyType : uint8_t {
    ReplyAccepted = 0,
    ReplyCredentialsNeeded = 1,
    ReplyCredentialsWrong = 2,
    ReplyNoMemory = 3,
    ReplyRefusedShutdown = 4,
    ReplyBusy = 5,
    ReplyChecksumWrong = 6,
    ReplySendAgainFrom = 7,
};

// Results of UploadFirmware.
constexpr int UploadOk = 0;
constexpr int ErrBind = -101;
constexpr int ErrVersion = -102;       // never on POSIX: the socket layer needs no start-up
constexpr int ErrImage = -201;
constexpr int ErrTimedOut = -202;      // also when the caller's stop flag ends the upload
constexpr int ErrCredentialsNeeded = -203;
constexpr int ErrCredentialsWrong = -204;
constexpr int ErrNoMemory = -205;
constexpr int ErrRefusedShutdown = -206;
constexpr int ErrModuleChecksum = -207;

// Results of LoadSRecordImage (the upload reports every one of them as ErrImage).
constexpr int SRecordOk = 0;
constexpr int ErrRecordChecksum = -207; // also a record with a non-hex character or cut short
constexpr int ErrOpen = -208;           // also a path longer than MaxPathLength
constexpr int ErrConversion = -209;     // gap too large, address past 4 GiB, bad count, no data
constexpr int ErrOrder = -210;
constexpr int ErrNoMemoryForFile = -301;

constexpr size_t MaxPathLength = 511;

struct SRecordImage {
    std::vector<uint8_t> bytes; // from base, holes zero-filled, padded to a multiple of 4
    uint32_t base = 0;
    uint32_t size = 0;          // == bytes.size()
    uint32_t checksum = 0;      // sum of the big-endian 32-bit words, modulo 2^32
};

// Two hexadecimal characters to a byte: each is upper-cased; below 'A' counts as a digit,
// anything else as a letter. Nothing is rejected (callers check with IsHexDigit first).
uint8_t HexByte(const char *two);
bool IsHexDigit(char c);

// The checksum test of one record starting at its 'S': the count byte and every byte it
// covers sum to 0xFF modulo 256. False as well when a character of the record is not a
// hexadecimal digit or the text ends (at a zero byte or at textEnd) before the record does.
bool CheckSRecord(const char *record, const char *textEnd = nullptr);

// Reads S-record text (need not end with a zero byte) into an image. 0 or a loader code;
// the diagnostic lines go to standard error.
int ParseSRecordText(const char *text, size_t length, SRecordImage &image);

// Reads the file at path whole and parses it. 0 or a loader code.
int LoadSRecordImage(const std::string &path, SRecordImage &image);

// Sum of the big-endian 32-bit words of bytes (length a multiple of 4; a rest counts as if
// padded with zeros).
uint32_t ImageChecksum(const std::vector<uint8_t> &bytes);

// The request datagrams.
std::vector<uint8_t> StartRequest(uint32_t uploadId, uint32_t base, uint32_t size);
std::vector<uint8_t> StartRequestWithCredentials(uint32_t uploadId, uint32_t base, uint32_t size,
                                                 const std::string &user, const std::string &password);
std::vector<uint8_t> DataRequest(uint32_t uploadId, uint32_t address, const uint8_t *data, uint32_t length);
std::vector<uint8_t> FinishRequest(uint32_t uploadId, uint32_t endAddress, uint32_t checksum);

enum class UploadPhase { Start, StartWithCredentials, Data, Finish, Done };

// The state of one upload and its reply handling. Sending goes through the virtual
// SendRequest, so the state can be driven without a socket.
class ModuleUpdateSocket {
public:
    ModuleUpdateSocket(SRecordImage image, uint32_t uploadId, std::string user, std::string password);
    virtual ~ModuleUpdateSocket() = default;
    ModuleUpdateSocket(const ModuleUpdateSocket &) = delete;
    ModuleUpdateSocket &operator=(const ModuleUpdateSocket &) = delete;

    // Sends the start request.
    void Begin();
    // One received datagram (up to ReplyBufferSize bytes) into the reply handling.
    void OnDatagram(const uint8_t *data, size_t size);
    // One wait that ended without any datagram.
    void Tick();

    UploadPhase Phase() const { return FPhase; }
    int Error() const { return FError; }
    bool Finished() const { return FPhase == UploadPhase::Done || FError != 0; }
    uint32_t CurrentAddress() const { return FCurrent; }
    int ResendCount() const { return FResends; }
    uint32_t UploadId() const { return FUploadId; }

protected:
    virtual void SendRequest(const std::vector<uint8_t> &request) = 0;
    // Drops the datagrams that are waiting or arrive until the socket has been quiet for a
    // moment. Called just before the finish request goes out: they were sent before the module
    // saw it, so none of them can be its finish reply. A duplicated acknowledgement of the last
    // block carries the same type and address as the finish reply and would otherwise end the
    // upload as done before the module has checked the image (one that arrives later still
    // cannot be told apart: the reply carries nothing else).
    virtual void DiscardPending() {}

private:
    void sendCurrent();
    void sendBlockAt(uint32_t address);
    void fail(int code, const char *diagnostic);

    SRecordImage FImage;
    uint32_t FUploadId;
    std::string FUser, FPassword;
    uint32_t FCurrent;
    UploadPhase FPhase = UploadPhase::Start;
    int FError = 0;
    int FResends = 0;
    int FTicks = 0;
};

struct UploadOptions {
    // The local address the port 20034 socket binds (DUVO_MODULE_BIND, default 0.0.0.0).
    std::string bind;
    // One wait for a datagram; six of them in silence resend a request.
    int waitMs = DefaultWaitMs;
    // When set and true, the upload ends with ErrTimedOut at its next look (within 100 ms).
    const std::atomic<bool> *stop = nullptr;
    // When not zero, the upload identifier in place of the current time (tests).
    uint32_t uploadId = 0;

    UploadOptions();
};

// Uploads the image in the ".s19" file at imagePath to the module at address (four bytes,
// first octet first), port 20034. flag is ignored. user and password are sent only when the
// module asks for them. Returns 0 or one of the upload codes above.
int UploadFirmware(const uint8_t address[4], const std::string &imagePath, int flag,
                   const std::string &user, const std::string &password,
                   const UploadOptions &options = UploadOptions());

// Where the diagnostics of the S-record reader and the upload go (standard error unless set;
// nullptr: nowhere). Thread-safe.
void SetUploadDiagnostics(FILE *stream);

} // namespace duvo::firmware
