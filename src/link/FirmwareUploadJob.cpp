#include "link/FirmwareUploadJob.h"

#include <algorithm>

namespace duvo::firmware {

FirmwareUploadJob::FirmwareUploadJob(const uint8_t address[4], std::string imagePath, std::string user,
                                     std::string password, UploadOptions options)
    : FImagePath(std::move(imagePath)), FUser(std::move(user)), FPassword(std::move(password)),
      FOptions(std::move(options))
{
    std::copy(address, address + 4, FAddress.begin());
    FOptions.stop = &FStop;
}

FirmwareUploadJob::~FirmwareUploadJob()
{
    if (FThread)
        FThread->wait();
}

void FirmwareUploadJob::start()
{
    if (FThread)
        return;
    FThread.reset(QThread::create([this] {
        FResult = UploadFirmware(FAddress.data(), FImagePath, 0, FUser, FPassword, FOptions);
        FFinished = true;
    }));
    FThread->start();
}

bool FirmwareUploadJob::wait(int ms)
{
    return !FThread || FThread->wait(QDeadlineTimer(std::max(ms, 0)));
}

} // namespace duvo::firmware
