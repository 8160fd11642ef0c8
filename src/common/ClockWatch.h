#pragma once
// Tells when the system's wall clock is set (a time change), using a timerfd that the kernel
// cancels whenever the realtime clock jumps.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace duvo {

class ClockWatch : public QObject {
    Q_OBJECT
public:
    explicit ClockWatch(QObject *parent = nullptr);
    ~ClockWatch() override;
    bool isWatching() const { return FFd >= 0; }

signals:
    void timeChanged();

private:
    void arm();
    void onReadable();

    int FFd = -1;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

} // namespace duvo
