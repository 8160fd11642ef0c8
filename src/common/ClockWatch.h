#pragma once
// Tells when the system's wall clock is set (a time change), using a timerfd that the kernel
// cancels whenever the realtime clock jumps.

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <memory>

namespace duvo {

class ClockWatch : public QObject {
    Q_OBJECT
public:
    explicit ClockWatch(QObject *parent = nullptr);
    ~ClockWatch() override;
    bool isWatching() const { return FFd >= 0; }
    // The absolute expiry (seconds since 1970) the watch arms at a clock reading of
    // nowSeconds: about a century later, always after nowSeconds, in 64 bits (past 2038 too).
    static int64_t ExpirySeconds(int64_t nowSeconds);
    // Seconds until the armed expiry (-1 when not watching).
    int64_t secondsToExpiry() const;

signals:
    void timeChanged();

private:
    void arm();
    void onReadable();

    int FFd = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace duvo
