// The firmware upload's reply handling (ModuleUpdateSocket::OnDatagram) driven by arbitrary
// datagram sequences, with waits in between. The input is a list of steps: 0 a wait without a
// datagram; 1 a raw datagram (a length byte, then its bytes); 2 a well-formed reply of this
// upload (a type byte and a 4-byte address) so the state machine is reached in depth.
// Whatever arrives, every request that goes out is well formed and inside the image, nothing
// goes out once the upload has ended, and the upload ends in one of its own results.
#include "link/FirmwareUpload.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace duvo::firmware;

namespace {

constexpr uint32_t Base = 0x10000;
constexpr uint32_t Size = 1000;  // three blocks: 470, 470, 60
constexpr uint32_t Id = 0x5F5E1000;

uint32_t be32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

class CheckedUpload : public ModuleUpdateSocket {
public:
    using ModuleUpdateSocket::ModuleUpdateSocket;
    bool ended = false;

protected:
    void SendRequest(const std::vector<uint8_t> &r) override
    {
        if (ended || r.size() < 20 || r[4] != UploadLetter || be32(&r[8]) != Id)
            std::abort();
        const uint32_t address = be32(&r[12]), value = be32(&r[16]);
        switch (r[5]) {
        case 1:
            if (address != Base || value != Size)
                std::abort();
            break;
        case 2:
            if (address < Base || value == 0 || value > BlockSize || uint64_t(address) + value > Base + Size
                || r.size() != 20 + value)
                std::abort();
            break;
        case 4:
            if (address != Base + Size || r.size() != 24)
                std::abort();
            break;
        default:
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    SetUploadDiagnostics(nullptr);  // the upload's diagnostics would flood the log
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SRecordImage image;
    image.base = Base;
    image.size = Size;
    for (uint32_t i = 0; i < Size; ++i)
        image.bytes.push_back(uint8_t(i * 13 + 1));
    image.checksum = ImageChecksum(image.bytes);
    CheckedUpload upload(std::move(image), Id, "user", "pw");
    upload.Begin();
    size_t at = 0;
    int steps = 0;
    while (at < size && steps++ < 400) {
        const uint8_t op = data[at++] % 3;
        if (op == 0) {
            upload.Tick();
        } else if (op == 1) {
            if (at >= size)
                break;
            const size_t want = data[at++];
            const size_t n = std::min<size_t>(want, size - at);
            const std::vector<uint8_t> datagram(data + at, data + at + n);  // exactly its size
            at += n;
            upload.OnDatagram(datagram.data(), datagram.size());
        } else {
            if (at + 5 > size)
                break;
            std::vector<uint8_t> reply(20, 0);
            reply[0] = 'D', reply[1] = 'V', reply[2] = 'M', reply[3] = 'R', reply[4] = UploadLetter;
            reply[5] = data[at];
            reply[8] = uint8_t(Id >> 24), reply[9] = uint8_t(Id >> 16), reply[10] = uint8_t(Id >> 8);
            reply[11] = uint8_t(Id);
            for (int i = 0; i < 4; ++i)
                reply[12 + i] = data[at + 1 + i];
            at += 5;
            upload.OnDatagram(reply.data(), reply.size());
        }
        if (upload.Finished())
            upload.ended = true;
        const uint32_t current = upload.CurrentAddress();
        if (upload.Phase() == UploadPhase::Data && (current < Base || current >= Base + Size))
            std::abort();
        if (upload.ResendCount() > MaxResends + 1)
            std::abort();
        const int e = upload.Error();
        if (e != 0 && e != ErrTimedOut && e != ErrCredentialsNeeded && e != ErrCredentialsWrong && e != ErrNoMemory
            && e != ErrRefusedShutdown && e != ErrModuleChecksum)
            std::abort();
    }
    return 0;
}
