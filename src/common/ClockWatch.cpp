#include "common/ClockWatch.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace duvo {

ClockWatch::ClockWatch(QObject *parent) : QObject(parent)
{
    FFd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (FFd < 0)
        return;
    arm();
    FNotifier = std::make_unique<QSocketNotifier>(FFd, QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &ClockWatch::onReadable);
}

ClockWatch::~ClockWatch()
{
    FNotifier.reset();
    if (FFd >= 0)
        ::close(FFd);
}

void ClockWatch::arm()
{
    // An absolute expiry far in the future; only a clock jump wakes us (ECANCELED).
    itimerspec expiry{};
    expiry.it_value.tv_sec = INT_MAX;
    ::timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr);
}

void ClockWatch::onReadable()
{
    uint64_t expirations = 0;
    const ssize_t n = ::read(FFd, &expirations, sizeof expirations);
    if (n < 0 && errno == ECANCELED)
        emit timeChanged();
    arm();
}

} // namespace duvo
