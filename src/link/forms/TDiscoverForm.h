#pragma once
// "Device Discovery": the modal window the main window opens at start-up and on every
// rescan. It empties the workstation's device list, then a worker thread scans the network
// (ScanDevices) while the window shows a running progress indicator. A 500 ms timer polls
// the worker and closes the window when it has ended; after 600 ticks it asks the worker to
// stop, ends the exchanges in flight on every client of the scan, and closes at the next tick
// once the worker has stopped, so nobody reads the list while the worker still writes it.
// The user cannot close the window.
//
//     TDiscoverForm f(this, &FSearchDelay);
//     f.exec();
//     // then rebuild the device view from FDeviceList

#include "link/DeviceScan.h"
#include "link/NetExchange.h"

#include <QDialog>
#include <atomic>

class QGroupBox;
class QLabel;
class QProgressBar;
class QThread;
class QTimer;
class Workstation;

class TDiscoverForm : public QDialog {
    Q_OBJECT
public:
    // waitSeconds: the discovery wait (the search delay setting), read once here.
    TDiscoverForm(QWidget *owner, int *waitSeconds);
    ~TDiscoverForm() override;

    // The worker's run handler and the scan it runs.
    void FindThreadRun();
    void ScanDevices();

    // What the scan uses; filled by the constructor from the workstation and the environment
    // (DUVO_MODULE_TARGET, DUVO_MODULE_BIND). Tests may shorten the time-outs before exec().
    ScanSettings &settings() { return FSettings; }
    int waitMs() const { return FWaitMs; }
    int ticks() const { return FTicks; }
    bool workerRunning() const;
    ScanOutcome outcome() const { return FOutcome; }

    QProgressBar *PG1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *lblAction = nullptr;
    QTimer *Timer1 = nullptr;  // 500 ms poll of the worker
    QTimer *Timer2 = nullptr;  // 100 ms after showing: start the worker
    QThread *FindThread = nullptr;
    TcpClient TCPClient1;

    static constexpr int TickLimit = 600;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();
    void finish();
    void stopWorker();

    Workstation *FWorkstation = nullptr;
    ScanSettings FSettings;
    int FWaitMs = 0;
    int FTicks = 0;
    bool FShown = false;
    bool FClosing = false;
    std::atomic<bool> FStop{false};
    ScanClients FScanClients;
    ScanOutcome FOutcome = ScanOutcome::Done;
};
