// The S-record reader on arbitrary text: it never reads outside the text, and an image it
// accepts is whole: a multiple of 4 bytes, its size, and its checksum the sum of its words.
#include "link/FirmwareUpload.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reader names every faulty record on standard error; that would flood the log.
    duvo::firmware::SetUploadDiagnostics(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly the input's size, so any read past it is caught.
    std::vector<char> text(data, data + size);
    duvo::firmware::SRecordImage image;
    const int code = duvo::firmware::ParseSRecordText(text.data(), text.size(), image);
    if (code == duvo::firmware::SRecordOk) {
        if (image.bytes.empty() || image.bytes.size() % 4 != 0 || image.size != image.bytes.size()
            || uint64_t(image.base) + image.size > 0xFFFFFFFFull
            || image.checksum != duvo::firmware::ImageChecksum(image.bytes)
            || image.bytes.size() > size)
            std::abort();
    } else if (!image.bytes.empty()) {
        std::abort();
    }
    // Every record start the scan could meet, checked on its own as well.
    for (size_t i = 0; i + 1 < size; ++i)
        if (text[i] == 'S')
            (void)duvo::firmware::CheckSRecord(text.data() + i, text.data() + size);
    return 0;
}
