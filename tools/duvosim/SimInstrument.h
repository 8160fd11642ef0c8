#pragma once
// One simulated instrument: its identity, parameters, clock, boards, file system of folders
// and protocols, run state machine with scalable time, run log and faults. Thread-safe: the
// command server calls handleRequest() on the lab's thread while tests read and change the
// state from theirs; every public member locks.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TiXmlElement;

namespace duvosim {

// What a fault does to the exchange of a request it hits.
enum class FaultKind {
    ErrorReply,        // a reply with ErrCode and ErrMessage (the command is not carried out)
    ErrorCodeOnly,     // a reply with a positive ErrCode and no ErrMessage
    NotXml,            // a reply that is not XML
    CloseWithoutReply, // reads the request, closes in order without a byte
    ResetBeforeReply,  // reads the request, resets the connection (RST)
    ResetMidReply,     // sends half the real reply, then resets
    HalfReplyThenSilence, // sends half the real reply and keeps the connection open, silent
    Delay,             // waits delayMs, then answers normally
};

struct SimFault {
    FaultKind kind = FaultKind::ErrorReply;
    // The command it hits: the command element's name ("GetStatus", "Dir", "SetTime") or one
    // of the finer names "DirFolders", "DirFiles", "GetTime"; empty hits every command.
    std::string command;
    int errCode = 5;
    std::string errMessage = "Simulated error";
    int delayMs = 0;   // Delay: before the reply; other kinds: before acting
    int count = -1;    // requests it hits before it is used up; -1: every request

    // Narrowing (SimFaultFilter.h): a fault meant for one request among many. Empty texts and
    // an `after` of 0 narrow nothing. Only requests that pass command, name and argument count.
    std::string name{};    // only requests naming this folder or file ("DATA", "PCR1", "DATA/PCR1")
    std::string argument{}; // only requests with a field holding exactly this text ("63")
    int after = 0;         // the first `after` matching requests go through untouched
    int passed = 0;        // matching requests let through so far (kept by the instrument)
};

// A run plan: what a protocol document makes the instrument do.
struct SimRunStep {
    double targetTemp = 95.0;
    int holdSeconds = 30;
    int rampSeconds = 10;
    double rampRate = 3.0;
    bool infiniteHold = false;
    // From a protocol document (0: not known, the plan's own numbering and cycles apply):
    int stepNumber = 0;        // 1-based position of the step in the protocol
    int loopCycle = 0;         // cycle of the loop around the step
    int loopCycles = 0;        // that loop's cycles
    double targetTempInc = 0;  // per-cycle changes
    int holdTimeInc = 0;
};
struct SimRunPlan {
    std::vector<SimRunStep> steps;
    int cycles = 1;
    int protocolSteps = 0;     // records of the protocol (0: the plan's step count)
    int totalSeconds() const;
};
// Turns a protocol document into a plan; replaceable (SimInstrument::setPlanner). The default
// follows the document's steps and loops (SimProtocolRun.h) and runs a fixed three-step,
// 30-cycle plan for a text that is no protocol document. A step with infinite hold holds,
// once its ramp is done, until Skip lets it go; on the last step the run completes instead
// (Completed with InfiniteHold "true").
using SimPlanner = std::function<SimRunPlan(const std::string &protocolDocument)>;
SimRunPlan defaultRunPlan(const std::string &protocolDocument);

struct SimFolder {
    std::string name;      // as made
    std::string password;  // empty: not protected
    std::vector<std::pair<std::string, std::string>> files;  // name, protocol document, in order
    // What a protected folder's listing shows after its "!" ("XYZ": listed as "DATA!XYZ").
    std::string secureSuffix{};
};

struct SimLogError {
    std::string code, manualCode, errorText, actionText, severity;
    int64_t timeStamp = 0;  // seconds since 1970 UTC
};

enum class SimRunMode { Stopped, Running, Paused, Completed };
const char *runModeName(SimRunMode mode);

// What the command server should do with a request.
struct SimResponse {
    std::string reply;               // the reply document (or garbage for NotXml)
    std::optional<SimFault> fault;   // the fault that hit this request, if any
    std::string command;             // the command's finer name ("GetTime", "DirFiles", ...)
    // The folder and file texts exactly as they arrived (before the instrument's leading-slash
    // and case forgiveness); empty when the command names none.
    std::string folder, file;
};

class SimInstrument {
public:
    SimInstrument(int index, std::string address);

    int index() const { return FIndex; }
    const std::string &address() const { return FAddress; }

    // Handles one complete request document and returns what to send back.
    SimResponse handleRequest(const std::string &request);

    // ---- identity and parameters
    std::string type() const;
    void setType(const std::string &type);  // "DUVO 24", "DUVO 96", "SV cycler", ...
    std::string mac() const;
    void setMac(const std::string &mac);
    std::array<uint8_t, 6> macBytes() const;
    std::string serialNumber() const;
    void setSerialNumber(const std::string &sn);
    std::string firmware() const;
    void setFirmware(const std::string &fw);
    std::string parameter(const std::string &number) const;  // "84" alias, "63" location
    void setParameter(const std::string &number, const std::string &value);
    std::string alias() const { return parameter("84"); }
    std::string location() const { return parameter("63"); }
    std::array<std::string, 6> board(int index) const;  // InfoRev, Name, Revision, SN, Code, Date
    void setBoard(int index, const std::array<std::string, 6> &info);

    // ---- clock: "MMDDhhmmYYYY"
    std::string clockText() const;
    void setClockText(const std::string &mmddhhmmyyyy);
    std::chrono::system_clock::time_point clock() const;

    // ---- file system
    std::vector<SimFolder> folders() const;
    std::optional<SimFolder> folder(const std::string &name) const;
    bool makeFolder(const std::string &name, const std::string &password = {});
    bool putProtocol(const std::string &folder, const std::string &file, const std::string &document);
    std::optional<std::string> protocol(const std::string &folder, const std::string &file) const;
    void formatDrive();  // back to the factory folders
    void removeAllFolders();  // a drive with no folder at all (its listing holds one empty name)
    // A protected folder is listed as its name, "!" and this text; false when no such folder.
    bool setSecureSuffix(const std::string &folder, const std::string &suffix);

    // ---- run
    SimRunMode runMode() const;
    void setTimeScale(double runSecondsPerSecond);
    double timeScale() const;
    void setPlanner(SimPlanner planner);
    // Starts a run of a stored protocol as StartRun does; false (with the reason) when refused.
    bool startRun(const std::string &folder, const std::string &file, std::string *reason = nullptr);
    // Run seconds elapsed in the current run.
    double runElapsed() const;
    void addRunLogError(const SimLogError &error);
    std::vector<SimLogError> runLogErrors() const;

    // ---- power
    bool poweredOff() const;
    void setPoweredOff(bool off);
    // Set by a Power command: "Off" or "On" (reboot); the server reads and clears it.
    std::string takePowerRequest();

    // ---- reply quirks (SimQuirks.cpp)
    // The GetProtocol reply for folder/file names replyFolder/replyFile instead (any text).
    void setProtocolReplyNames(const std::string &folder, const std::string &file, const std::string &replyFolder,
                               const std::string &replyFile);
    // GetAttrValue of a folder without password replies without a Value element.
    void setOmitEmptyAttrValue(bool on);

    // ---- faults
    void addFault(const SimFault &fault);
    void clearFaults();
    // Refused connections: the command server stops listening while set.
    bool refusing() const;
    void setRefusing(bool on);

    // ---- reply edits, kept until cleared (SimReplyEdits.cpp)
    // GetStatus answers this text for the named field ("State", "InfiniteHold", "Steps", ...).
    void setStatusOverride(const std::string &field, const std::string &text);
    void clearStatusOverrides();
    // GetStatus writes its decimal numbers with ',' as old firmware does ("95,0").
    void setCommaDecimals(bool on);
    // The replies to a command ("GetStatus", "GetProtocol", "GetProtocolLog") say ErrCode 0
    // but lack the first element of this name ("Mode", "Protocol", "ProtocolLog").
    void setReplyWithout(const std::string &command, const std::string &element);
    void clearReplyWithout();

private:
    using Clock = std::chrono::steady_clock;
    struct RunState {
        SimRunMode mode = SimRunMode::Stopped;
        SimRunPlan plan;
        std::string folder, file, volume, consumable;
        double elapsedBase = 0;               // run seconds before the last resume
        Clock::time_point resumedAt{};
        int skipOffset = 0;                   // run seconds skipped
        double holdReleased = -1;             // infinite holds up to here have been let go
    };
    struct RunLog {
        bool present = false;
        int64_t startTime = 0;
        double runTime = 0;
        std::string path;
        std::vector<SimLogError> errors;
    };

    std::string dispatch(const std::string &group, const std::string &command, const TiXmlElement *cmd);
    std::optional<SimFault> takeFault(const std::string &element, const std::string &finer, const TiXmlElement *cmd);
    double elapsedLocked(bool *held = nullptr) const;
    void advanceLocked();
    void finishRunLocked(double runTime);
    SimFolder *findFolderLocked(const std::string &name);
    void factoryFilesLocked();
    bool startRunLocked(const std::string &folder, const std::string &file, std::string &reason);

    mutable std::mutex FMutex;
    const int FIndex;
    const std::string FAddress;
    std::string FType = "DUVO 96";
    std::string FMac;
    std::string FSerial;
    std::string FFirmware = "2.4.1";
    std::map<std::string, std::string> FParameters;
    std::array<std::array<std::string, 6>, 2> FBoards;
    std::chrono::seconds FClockOffset{0};
    std::vector<SimFolder> FFolders;
    double FTimeScale = 1.0;
    SimPlanner FPlanner;
    RunState FRun;
    RunLog FLog;
    std::vector<SimFault> FFaults;
    std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> FProtocolReplyNames;
    bool FOmitEmptyAttrValue = false;
    bool FRefusing = false;
    bool FPoweredOff = false;
    std::string FPowerRequest;
    // reply edits
    void editReplyLocked(const std::string &command, std::string &reply) const;
    std::map<std::string, std::string> FStatusOverrides;
    bool FCommaDecimals = false;
    std::map<std::string, std::string> FReplyWithout;
};

} // namespace duvosim
