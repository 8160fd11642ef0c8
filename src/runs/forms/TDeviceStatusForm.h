#pragma once
// "Device Status": the run monitor of one instrument. Once a second it asks for the status,
// shows the values on the displays, draws the block temperature on the live chart and, while
// plotting is on, appends it to the run's plot file; its run buttons only queue a request that
// the next pass sends. One pass at a time, on the GUI thread (RunMonitor does the work).
//
// Closing (Close, Esc, the title bar) goes through FormClose. A pass that waits on the
// instrument then ends at once: the window's exchanges are aborted, nothing more is sent and
// no box is shown; the caller frees the window after exec() returns, when the pass is over.

#include "runs/RunMonitor.h"

#include <QDateTime>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

class QLabel;
class QLCDNumber;
class QPushButton;
class QFrame;
class QChart;
class QChartView;
class QLineSeries;
class QDateTimeAxis;
class QValueAxis;
class Workstation;

namespace duvo {
class LedIndicator;
}

class TDeviceStatusForm : public QDialog, public duvo::RunMonitorView {
    Q_OBJECT
public:
    TDeviceStatusForm(QWidget *owner, int *deviceIndex, const QString &ip, const QString &id, const QString &type,
                      const QString &folder, const QString &file, int *consumable, int *volume,
                      const QString &contact, const QString &description, const QString &notes,
                      const QString &email);
    // The same with a workstation and seams of the test's choosing.
    TDeviceStatusForm(QWidget *owner, Workstation &workstation, int *deviceIndex, const QString &ip,
                      const QString &id, const QString &type, const QString &folder, const QString &file,
                      int *consumable, int *volume, const QString &contact, const QString &description,
                      const QString &notes, const QString &email, std::optional<duvo::RunMonitorSeams> seams);
    ~TDeviceStatusForm() override;

    // The protocol viewer of "View Protocol File": (owner, document, name, folder, IP) shows
    // the run's protocol in the protocol editor, modally; tests put in their own.
    using ProtocolViewer = std::function<void(QWidget *owner, const QString &document, const QString &name,
                                              const QString &folder, const QString &ip)>;
    static void setProtocolViewer(ProtocolViewer viewer);
    static const ProtocolViewer &protocolViewer();

    duvo::RunMonitor &monitor() { return *FMonitor; }
    bool loadFailed() const { return FLoadFailed; }

    QLabel *lblIP = nullptr, *lblName = nullptr, *lblAlias = nullptr, *lblMode = nullptr;
    QLabel *lblFolder = nullptr, *lblFile = nullptr, *lblVolume = nullptr;
    QLabel *lblTempBlock = nullptr, *lblIncCycle = nullptr, *lblRamp = nullptr;
    QLabel *lblStepHold = nullptr, *lblHoldInc = nullptr, *lblStepLeft = nullptr, *lblStepRamp = nullptr;
    QLabel *lblPlot = nullptr;
    QLCDNumber *numTotalSteps = nullptr, *numSteps = nullptr, *numCycles = nullptr, *numCycle = nullptr;
    QLCDNumber *numTotalHours = nullptr, *numTotalMin = nullptr, *numTotalSec = nullptr;
    QLCDNumber *numHours = nullptr, *numMin = nullptr, *numSec = nullptr;
    duvo::LedIndicator *VrLed = nullptr;
    QFrame *VrBlotter1 = nullptr;
    QChartView *Chart1 = nullptr;
    QLineSeries *Series1 = nullptr;
    QPushButton *btnStart = nullptr, *btnNext = nullptr, *btnPause = nullptr, *btnStop = nullptr;
    QPushButton *btnEdit1 = nullptr, *btnLog = nullptr, *btnTerminal = nullptr, *btnOk = nullptr;
    QTimer Timer1;

    // The live chart: adds the point; beyond 30 points the oldest 20 go in one step.
    void AddChartPoint(const QDateTime &x, double y);
    void PollStatus();
    void FormShow();
    // Whether the window may close now (asks while plotting); stops the timer when it may.
    bool FormClose();

    // RunMonitorView
    void showRunStatus(const duvo::RunStatusDisplay &display) override;
    void setRunButtons(const duvo::RunButtons &buttons) override;
    void setPlotLabel(bool yes) override;
    void addChartPoint(const QDateTime &when, double temperature) override { AddChartPoint(when, temperature); }
    void stopPolling() override;
    void bringToFront() override;

public slots:
    void Timer1Timer();
    void btnStartClick();
    void btnNextClick();
    void btnPauseClick();
    void btnStopClick();
    void btnEdit1Click();
    void btnLogClick();
    void btnTerminalClick();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void construct(Workstation &workstation, int *deviceIndex, const QString &ip, const QString &id,
                   const QString &type, const QString &folder, const QString &file, int *consumable, int *volume,
                   const QString &contact, const QString &description, const QString &notes, const QString &email,
                   std::optional<duvo::RunMonitorSeams> seams);
    void build();
    void setupChart();
    void resetDisplay();
    void alert(const QString &text);

    Workstation *FWorkstation = nullptr;
    std::unique_ptr<duvo::RunMonitor> FMonitor;
    QString FFolder, FFile;
    int FVolume = 0;
    bool FLoadFailed = false;
    bool FClosing = false;
    QTimer FFirstPass;
    TcpClient FButtonClient;  // "View Log File" asks while a pass may wait on the monitor's
    QChart *FChart = nullptr;
    QDateTimeAxis *FAxisX = nullptr;
    QValueAxis *FAxisY = nullptr;
};

// The last run monitor constructed (while it exists).
extern TDeviceStatusForm *DeviceStatusForm;
