#include "common/ClockWatch.h"

#include <cerrno>
#include <climits>
#include <ctime>
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

int64_t ClockWatch::ExpirySeconds(int64_t nowSeconds)
{
    // The kernel keeps timer expiries in signed 64-bit nanoseconds (up to the year 2262): a
    // century ahead while that fits, else a day ahead, so the expiry is never in the past and
    // the watch never wakes again and again.
    constexpr int64_t Century = int64_t(100) * 365 * 24 * 3600;
    constexpr int64_t Day = 24 * 3600;
    constexpr int64_t KernelLimit = INT64_MAX / 1000000000;
    if (nowSeconds < 0)
        nowSeconds = 0;
    if (nowSeconds <= KernelLimit - Century)
        return nowSeconds + Century;
    return nowSeconds <= INT64_MAX - Day ? nowSeconds + Day : INT64_MAX;
}

int64_t ClockWatch::secondsToExpiry() const
{
    if (FFd < 0)
        return -1;
    itimerspec current{};
    if (::timerfd_gettime(FFd, &current) != 0)
        return -1;
    return int64_t(current.it_value.tv_sec);
}

void ClockWatch::arm()
{
    // An absolute expiry far in the future; only a clock jump wakes us (ECANCELED).
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(ExpirySeconds(int64_t(now.tv_sec)));
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
