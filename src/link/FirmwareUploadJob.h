#pragma once
// One firmware upload on a worker thread of its own, for a window that polls it with a timer:
// start() runs UploadFirmware on the worker; finished() and result() are safe to read from
// any thread; requestStop() makes the upload end at its next look (within 100 ms) with
// ErrTimedOut. Destroying the job waits for the worker to end, so a result the upload
// reports late is never lost.

#include "link/FirmwareUpload.h"

#include <QThread>

#include <array>
#include <atomic>
#include <memory>
#include <string>

namespace duvo::firmware {

class FirmwareUploadJob {
public:
    FirmwareUploadJob(const uint8_t address[4], std::string imagePath, std::string user = {},
                      std::string password = {}, UploadOptions options = UploadOptions());
    ~FirmwareUploadJob();
    FirmwareUploadJob(const FirmwareUploadJob &) = delete;
    FirmwareUploadJob &operator=(const FirmwareUploadJob &) = delete;

    // Starts the worker once; later calls do nothing.
    void start();
    bool started() const { return FThread != nullptr; }
    // True once the upload has ended and result() holds its code.
    bool finished() const { return FFinished.load(); }
    int result() const { return FResult.load(); }
    void requestStop() { FStop = true; }
    // Waits for the worker at most ms milliseconds; true when it has ended (or never started).
    bool wait(int ms);

private:
    std::array<uint8_t, 4> FAddress;
    std::string FImagePath, FUser, FPassword;
    UploadOptions FOptions;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int> FResult{0};
    std::unique_ptr<QThread> FThread;
};

} // namespace duvo::firmware
