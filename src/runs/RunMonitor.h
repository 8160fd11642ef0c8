#pragma once
// The run monitor's work, without its window: one status pass (GetStatus, what the reply
// shows, the chart point and the plot line, the queued run requests), the run session's
// records (the protocol fetched at the start, the RunRecord, the plot file, the run log and
// the alert e-mail at the end) and the device record's session fields.
//
// The window (TDeviceStatusForm) implements RunMonitorView and calls PollStatus from its
// timer; its buttons only queue requests, which the next pass sends. Every command is sent
// with the one retry; a command error ends polling for good (the error path).
//
// Closing while a pass waits: abortExchanges() ends the exchange at once; the pass then
// stops without sending anything more, showing a box or finishing the session.

#include "common/GeneralLog.h"
#include "link/CommandDocs.h"
#include "link/NetCommand.h"
#include "link/NetExchange.h"
#include "link/SessionId.h"
#include "runs/DayNumber.h"
#include "runs/RunPlotFile.h"
#include "runs/RunStatusDisplay.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class Workstation;
struct DVDEVICEINFO_T;

namespace duvo {

// What the window shows; every call comes on the GUI thread.
class RunMonitorView {
public:
    virtual ~RunMonitorView() = default;
    // lblMode, the buttons (when the display names them) and the value displays or their
    // reset (which shows the monitor's own volume, folder and file).
    virtual void showRunStatus(const RunStatusDisplay &display) = 0;
    virtual void setRunButtons(const RunButtons &buttons) = 0;
    virtual void setPlotLabel(bool yes) = 0;
    virtual void addChartPoint(const QDateTime &when, double temperature) = 0;
    // The error path: polling ends for good (Timer1 off).
    virtual void stopPolling() = 0;
    // The error path, after its box: the window comes to the front.
    virtual void bringToFront() = 0;
};

// Where the monitor takes the time, the free space and the mail from; tests put in their own.
struct RunMonitorSeams {
    LocalClock clock;                 // the local date and time
    FreeSpaceFunction freeSpace;      // free MB of a plot file's folder (-1 unknown)
    std::function<void(const QString &address, const QString &message)> sendMail;
    SessionIdSource sessionIds;
    static RunMonitorSeams system(Workstation &workstation);
};

// The run details the monitor starts a run with.
struct RunDetails {
    std::string folder, file;
    int consumable = 0;   // 1 plate, 0 tubes
    int volume = 0;       // microlitres
    std::string contact, description, notes, email;
};

class RunMonitor {
public:
    RunMonitor(Workstation &workstation, int deviceIndex, std::string ip, std::string id,
               std::string type, RunDetails details, RunMonitorSeams seams);
    RunMonitor(Workstation &workstation, int deviceIndex, std::string ip, std::string id,
               std::string type, RunDetails details);
    ~RunMonitor();
    RunMonitor(const RunMonitor &) = delete;
    RunMonitor &operator=(const RunMonitor &) = delete;

    void setView(RunMonitorView *view) { FView = view; }
    TcpClient &client() { return FClient; }

    // One status pass; returns at once while a pass runs, after the error path and once the
    // exchanges were aborted.
    void PollStatus();
    bool passRunning() const { return FPassRunning; }
    bool pollingEnded() const { return FPollingEnded; }

    // The queued requests (set by the buttons, taken by the next pass).
    void queueStart() { FStartRequest = true; }
    void queueNext() { FNextRequest = true; }
    void queuePause() { FPauseRequest = true; }
    void queueStop() { FStopRequest = true; }
    void clearRequests() { FStartRequest = FNextRequest = FPauseRequest = FStopRequest = false; }
    bool startQueued() const { return FStartRequest; }

    // Ends the exchange in flight and refuses every later one: the window is closing.
    void abortExchanges();
    bool aborted() const { return FClient.aborted(); }

    // ---- the session's records
    // Fetches the run's protocol (folder cut after its first "/").
    void FetchRunProtocol(const std::string &ip, const std::string &folder, const std::string &file);
    // Writes the session's RunRecord unless one exists.
    void AddSessionLog(const std::string &session);
    // Queues one plot line for the writer thread.
    void AppendPlotPoint(const QDateTime &when, double temperature);
    // Stores the run log once per monitor and sends the armed alert once.
    void FinishSession(const QString &message);
    bool FetchRunLog(std::string &reply);
    void StoreDeviceLog(const std::string &session, const std::string &log);
    // A new session ID that no log_tbl row and no plot file has yet (drawn again, at most
    // ten times, while one has it).
    std::string MakeUniqueSessionId();

    // ---- state
    const std::string &FDeviceIP() const { return FIp; }
    const std::string &sessionId() const { return FSessionId; }
    const std::string &protocolText() const { return FProtocolText; }
    const std::optional<std::string> &protocolBuffer() const { return FProtocolBuffer; }
    int protocolSize() const { return FProtocolSize; }
    bool plotting() const { return FPlotting; }
    void setPlotting(bool on) { FPlotting = on; }
    const std::string &runMode() const { return FRunMode; }
    const QString &statusMessage() const { return FStatusMessage; }
    bool logStored() const { return FLogStored; }
    const RunDetails &details() const { return FDetails; }
    // The device record, or nullptr once the device list was rebuilt.
    DVDEVICEINFO_T *record() const;
    // The text the document the protocol viewer shows: the buffer's, else FProtocolText.
    std::string protocolDocument() const;
    QString plotFilePath() const;

private:
    NetReply send(const std::string &request, const char *label);
    void errorPath(const NetReply &reply);
    bool runRequests();
    void startSession();
    void endSession();
    void log(const QString &line);
    void plotResult(PlotWriteResult result);

    Workstation &FWorkstation;
    RunMonitorSeams FSeams;
    RunMonitorView *FView = nullptr;
    TcpClient FClient;
    int FDeviceIndex;
    uint64_t FGeneration;
    std::string FIp, FId, FType;
    RunDetails FDetails;
    std::string FSessionId;
    std::string FProtocolText;
    std::optional<std::string> FProtocolBuffer;
    int FProtocolSize = 0;
    bool FPlotting = false;
    bool FLogStored = false;
    std::string FRunMode;
    QString FStatusMessage;
    bool FStartRequest = false, FNextRequest = false, FPauseRequest = false, FStopRequest = false;
    bool FPassRunning = false;
    bool FPollingEnded = false;
    bool FBadCountLogged = false;
    int FPlotListener = 0;
};

} // namespace duvo
