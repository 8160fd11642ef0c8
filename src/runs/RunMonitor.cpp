#include "runs/RunMonitor.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/Workstation.h"
#include "mainwindow/DeviceLog.h"
#include "mainwindow/SendAlertMail.h"
#include "mainwindow/StartUp.h"
#include "runs/RunRecords.h"

#include <QFileInfo>
#include <QScopeGuard>

namespace duvo {

RunMonitorSeams RunMonitorSeams::system(Workstation &workstation)
{
    RunMonitorSeams s;
    s.clock = SystemLocalClock();
    s.freeSpace = [](const QString &path) { return FreeDiskMB(QFileInfo(path).absolutePath()); };
    s.sendMail = [&workstation](const QString &address, const QString &message) {
        SendAlertMail(workstation, address, message);
    };
    s.sessionIds = SessionIdSource::system();
    return s;
}

RunMonitor::RunMonitor(Workstation &workstation, int deviceIndex, std::string ip, std::string id,
                       std::string type, RunDetails details)
    : RunMonitor(workstation, deviceIndex, std::move(ip), std::move(id), std::move(type), std::move(details),
                 RunMonitorSeams::system(workstation))
{
}

RunMonitor::RunMonitor(Workstation &workstation, int deviceIndex, std::string ip, std::string id,
                       std::string type, RunDetails details, RunMonitorSeams seams)
    : FWorkstation(workstation),
      FSeams(std::move(seams)),
      FDeviceIndex(deviceIndex),
      FGeneration(workstation.FDeviceList.generation()),
      FIp(std::move(ip)),
      FId(std::move(id)),
      FType(std::move(type)),
      FDetails(std::move(details))
{
    if (!FSeams.clock)
        FSeams.clock = SystemLocalClock();
    // A monitor reopened on a run started earlier from this program resumes its session.
    if (const DVDEVICEINFO_T *device = record(); device && !device->sessionId.empty()) {
        FSessionId = device->sessionId;
        FProtocolText = device->runProtocol;
        FPlotting = device->recording != 0;
    }
    FPlotListener = RunPlotWriter::instance().addListener([this](PlotWriteResult r) { plotResult(r); });
}

RunMonitor::~RunMonitor()
{
    RunPlotWriter::instance().removeListener(FPlotListener);
}

DVDEVICEINFO_T *RunMonitor::record() const
{
    if (FWorkstation.FDeviceList.generation() != FGeneration)
        return nullptr;
    return FWorkstation.FDeviceList.at(FDeviceIndex);
}

void RunMonitor::log(const QString &line)
{
    FWorkstation.ZavLog1.WriteLine(line);
    FWorkstation.ZavLog1.Dump();
}

void RunMonitor::abortExchanges()
{
    FClient.abort();
}

NetReply RunMonitor::send(const std::string &request, const char *label)
{
    return SendInstrumentCommand(FClient, FIp, request, NetCommandCall(label).textOnly());
}

// ---- the pass ------------------------------------------------------------------------------

void RunMonitor::PollStatus()
{
    if (FPassRunning || FPollingEnded || FClient.aborted())
        return;
    FPassRunning = true;
    // However the pass ends (an exception included), it is no longer running.
    const auto passEnds = qScopeGuard([this] { FPassRunning = false; });

    const NetReply r = send(GetStatus_doc(), "GetStatus");
    if (r.aborted)
        return;
    if (!r.ok) {
        errorPath(r);
        return;
    }
    InstrumentStatus status;
    bool ok = false;
    GetStatus_Ret_Doc(r.text, status, ok);
    const RunStatusDisplay d = InterpretRunStatus(status, ok);
    if (!d.readable) {
        if (FView)
            FView->showRunStatus(d);
        FStatusMessage = d.mode;
        FinishSession(FStatusMessage);
    } else {
        FRunMode = d.runMode;
        if (!d.badCount.isEmpty() && !FBadCountLogged) {
            FBadCountLogged = true;
            log(QStringLiteral("'") + d.badCount + QStringLiteral("' is not a valid integer value"));
        }
        if (FView)
            FView->showRunStatus(d);
        if (d.completed) {
            if (DVDEVICEINFO_T *device = record())
                device->recording = 0;
            FPlotting = false;
            FStatusMessage = QStringLiteral("Status = Completed");
            FinishSession(FStatusMessage);
            endSession();
        }
        if (d.kind == RunDisplayKind::Values) {
            const QDateTime t = FSeams.clock();
            if (FView)
                FView->addChartPoint(t, d.values.targetTemp);
            AppendPlotPoint(t, d.values.targetTemp);
        }
    }
    if (FClient.aborted())
        return;
    runRequests();
}

void RunMonitor::endSession()
{
    if (DVDEVICEINFO_T *device = record())
        device->sessionId.clear();
    FSessionId.clear();
}

void RunMonitor::errorPath(const NetReply &r)
{
    // Nothing is sent again from this window: the run buttons go off with the polling.
    if (FView) {
        FView->setRunButtons(RunButtons{});
        FView->stopPolling();
    }
    FPollingEnded = true;
    FStatusMessage = r.netFailed ? r.error : r.errorTitle;
    FinishSession(FStatusMessage);
    if (FClient.aborted())
        return;
    Prompts::message(r.error, r.errorTitle, Ok, PromptIcon::Error);
    if (FView)
        FView->bringToFront();
}

bool RunMonitor::runRequests()
{
    if (FStartRequest) {
        FStartRequest = false;
        if (FRunMode == "Stopped" || FRunMode.empty()) {
            startSession();
            if (FClient.aborted())
                return false;
            const NetReply r = send(StartRun_doc(FDetails.folder, FDetails.file, std::to_string(FDetails.consumable),
                                                 std::to_string(FDetails.volume)),
                                    "StartRun");
            if (r.aborted)
                return false;
            if (!r.ok) {
                errorPath(r);
                return false;
            }
        }
        if (FRunMode == "Paused") {
            const NetReply r = send(Continue_doc(), "Paused");
            if (r.aborted)
                return false;
            if (!r.ok) {
                errorPath(r);
                return false;
            }
        }
    }
    // Skip and Pause while no protocol runs are answered "Protocol not running": not an error.
    const auto notRunning = [](const NetReply &r) {
        return !r.ok && !r.netFailed && r.statusMessage == "Protocol not running";
    };
    if (FNextRequest) {
        FNextRequest = false;
        const NetReply r = send(Skip_doc(), "Skip");
        if (r.aborted)
            return false;
        if (!r.ok && !notRunning(r)) {
            errorPath(r);
            return false;
        }
    }
    if (FPauseRequest) {
        FPauseRequest = false;
        const NetReply r = send(Pause_doc(), "Pause");
        if (r.aborted)
            return false;
        if (!r.ok && !notRunning(r)) {
            errorPath(r);
            return false;
        }
    }
    if (FStopRequest) {
        FStopRequest = false;
        if (FView)
            FView->setRunButtons(RunButtons{});
        FPlotting = false;
        if (DVDEVICEINFO_T *device = record())
            device->recording = 0;
        const NetReply r = send(Stop_doc(), "Stop");
        if (r.aborted)
            return false;
        if (!r.ok) {
            errorPath(r);
            return false;
        }
        FStatusMessage = QStringLiteral("Status = Stopped");
        FinishSession(FStatusMessage);
        endSession();
    }
    return true;
}

void RunMonitor::startSession()
{
    FSessionId = MakeUniqueSessionId();
    FetchRunProtocol(FIp, FDetails.folder, FDetails.file);
    if (FClient.aborted())
        return;
    AddSessionLog(FSessionId);
    if (DVDEVICEINFO_T *device = record()) {
        device->sessionId = FSessionId;
        device->runProtocol = FProtocolText;
        device->recording = FPlotting ? 1 : 0;
    }
}

std::string RunMonitor::MakeUniqueSessionId()
{
    QString id;
    for (int attempt = 0; attempt < 10; ++attempt) {
        MakeSessionId(id, FSeams.sessionIds);
        if (!QFileInfo::exists(RunPlotFilePath(DatabasePath, id))
            && !RunRecordExists(DatabasePath, id.toStdString()))
            break;
    }
    return id.toStdString();
}

// ---- the session's records ------------------------------------------------------------------

void RunMonitor::FetchRunProtocol(const std::string &ip, const std::string &folder, const std::string &file)
{
    // A failed fetch must not leave the previous run's protocol as this run's.
    FProtocolBuffer.reset();
    FProtocolText.clear();
    FProtocolSize = 0;
    std::string sent = folder;
    if (const size_t slash = sent.find('/'); slash != std::string::npos)
        sent.erase(0, slash + 1);
    const NetReply r = SendInstrumentCommand(FClient, ip, GetProtocol_doc(sent, file),
                                             NetCommandCall("GetProtocol").plainTitle().textOnly());
    if (r.aborted)
        return;
    if (r.netFailed) {
        Prompts::message(r.error, QStringLiteral("Error"), Ok, PromptIcon::Error);
        return;
    }
    if (!r.ok) {
        Prompts::message(r.error, QStringLiteral("Error GetProtocol"), Ok, PromptIcon::Error);
        return;
    }
    FProtocolSize = static_cast<int>(std::min<size_t>(r.text.size(), INT32_MAX));
    std::string replyFolder, replyFile, protocol;
    bool ok = false;
    GetProtocol_Ret_Doc(r.text, replyFolder, replyFile, protocol, ok);
    if (ok) {
        FProtocolBuffer = protocol;
        FProtocolText = protocol;
    } else {
        // The buffer stays, empty: the run's record is written without a protocol.
        FProtocolBuffer = std::string();
        Prompts::message(QString::fromStdString(r.statusMessage), QStringLiteral("Error GetProtocol_Ret_Doc"), Ok,
                         PromptIcon::Error);
    }
}

void RunMonitor::AddSessionLog(const std::string &session)
{
    const QDateTime now = FSeams.clock();
    if (!QFileInfo::exists(DatabasePath)) {
        Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), Ok,
                         PromptIcon::Warning);
        return;
    }
    if (!FProtocolBuffer)
        return;
    RunRecord rec;
    rec.sessionId = session;
    rec.folder = FDetails.folder;
    rec.file = FDetails.file;
    rec.protocol = *FProtocolBuffer;
    rec.protocolSize = FProtocolSize;
    rec.date = DayNumberFromDateTime(now);
    rec.volume = FDetails.volume;
    rec.consumable = FDetails.consumable;
    rec.originalIp = FIp;
    rec.originalType = FType;
    rec.originalName = FId;
    rec.contactName = FDetails.contact;
    rec.description = FDetails.description;
    rec.notes = FDetails.notes;
    if (const DVDEVICEINFO_T *device = record())
        rec.fwVersion = device->firmware;
    try {
        WriteRunRecord(DatabasePath, rec);
    } catch (const CppSQLite3Exception &e) {
        Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                         QStringLiteral("vDuvo Error"), Ok, PromptIcon::Warning);
    }
}

QString RunMonitor::plotFilePath() const
{
    return RunPlotFilePath(DatabasePath, QString::fromStdString(FSessionId));
}

void RunMonitor::AppendPlotPoint(const QDateTime &when, double temperature)
{
    if (FSessionId.empty() || !FPlotting)
        return;
    RunPlotWriter::instance().append(
        FPlotListener, {plotFilePath(), RunPlotLine(DayNumberFromDateTime(when), temperature), FSeams.freeSpace});
}

void RunMonitor::plotResult(PlotWriteResult result)
{
    switch (result) {
    case PlotWriteResult::Written:
        break;
    case PlotWriteResult::DiskFull:
        FPlotting = false;
        if (FView)
            FView->setPlotLabel(false);
        break;
    case PlotWriteResult::OpenFailed:
        log(QStringLiteral("Can't write to plot file"));
        break;
    }
}

bool RunMonitor::FetchRunLog(std::string &reply)
{
    return FetchDeviceLog(FClient, FWorkstation.ZavLog1, FIp, reply);
}

void RunMonitor::StoreDeviceLog(const std::string &session, const std::string &logText)
{
    // The database is never created here: a missing file stays missing, so the next start
    // still offers to create it.
    if (!QFileInfo::exists(DatabasePath)) {
        log(QStringLiteral("Can't find the database file!"));
        return;
    }
    try {
        WriteRunLogRecord(DatabasePath, {session, logText});
    } catch (const CppSQLite3Exception &e) {
        log(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()));
    }
}

void RunMonitor::FinishSession(const QString &message)
{
    if (!FSessionId.empty() && !FLogStored) {
        FLogStored = true;
        try {
            const auto store = [this](const std::string &reply) {
                if (!FSessionId.empty())
                    StoreDeviceLog(FSessionId, reply);
                else
                    log(QStringLiteral("No valid MySessionID"));
            };
            std::string reply;
            if (FetchRunLog(reply)) {
                store(reply);
            } else if (!FClient.aborted()) {
                log(QStringLiteral("Error getting Duvo log"));
                if (FetchRunLog(reply))
                    store(reply);
                else
                    log(QStringLiteral("Error getting Duvo log 2nd try"));
            }
        } catch (...) {
        }
    }
    if (!FSessionId.empty()) {
        try {
            DVDEVICEINFO_T *device = record();
            if (device && device->alertArmed && !device->alertSent) {
                if (!device->alertAddress.empty()) {
                    const QString address = QString::fromStdString(device->alertAddress);
                    if (FSeams.sendMail)
                        FSeams.sendMail(address, message);
                    // The mail waited in the event loop: find the record again.
                    if (DVDEVICEINFO_T *again = record())
                        again->alertSent = 1;
                } else {
                    device->alertArmed = 0;
                    device->alertSent = 1;
                }
            }
        } catch (...) {
        }
    }
}

std::string RunMonitor::protocolDocument() const
{
    return FProtocolBuffer ? *FProtocolBuffer : FProtocolText;
}

} // namespace duvo
