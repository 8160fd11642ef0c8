#include "duvosim/SimInstrument.h"
#include "duvosim/SimFaultFilter.h"
#include "duvosim/SimProtocolRun.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

namespace duvosim {

namespace {

const char *const Namespace = "http://www.velmor.com/pcr/protocol";

// The instrument's error codes.
enum : int {
    ErrInvalidRequest = 1,
    ErrUnknownCommand = 2,
    ErrBadParameter = 3,
    ErrNotFound = 4,
    ErrExists = 5,
    ErrReserved = 6,
    ErrNotEmpty = 7,
    ErrFull = 8,
    ErrBadName = 9,
    ErrRunState = 10,
};

const char *const ServiceProtocols[] = {"VALIDAT", "SERV1", "SERV2", "SERV3", "CALIBR", "BURNIN", "LIFETES"};

std::string upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool sameName(const std::string &a, const std::string &b) { return upper(a) == upper(b); }

bool reservedFolder(const std::string &name)
{
    const std::string u = upper(name);
    return u == "SYSTEM" || u == "SHARED" || u == "RECENT";
}

// Folder texts may arrive with a leading "/" or "\".
std::string folderKey(std::string s)
{
    while (!s.empty() && (s.front() == '/' || s.front() == '\\'))
        s.erase(s.begin());
    return s;
}

std::string fieldText(const TiXmlElement *cmd, const char *name, bool *present = nullptr)
{
    const TiXmlElement *e = cmd ? cmd->FirstChildElement(name) : nullptr;
    if (present)
        *present = e != nullptr;
    const char *t = e ? e->GetText() : nullptr;
    return t ? std::string(t) : std::string();
}

// The folder text of a command (Folder, or Path of the attribute commands, or DelFile's whole
// Filename) and its File text, as they arrived.
void rawNames(const TiXmlElement *cmd, std::string &folder, std::string &file)
{
    bool present = false;
    for (const char *name : {"Folder", "Path", "Filename"}) {
        folder = fieldText(cmd, name, &present);
        if (present)
            break;
    }
    file = fieldText(cmd, "File");
}

std::string number(double v, int decimals = 1)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A reply document: group root, the command element, fields, then ErrCode and ErrMessage.
class Reply {
public:
    Reply(const std::string &group, const std::string &command, const std::string &id)
    {
        FDoc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
        auto *root = new TiXmlElement(group.empty() ? "Communication" : group);
        root->SetAttribute("xmlns", Namespace);
        FDoc.LinkEndChild(root);
        FCmd = new TiXmlElement(command.empty() ? "Error" : command);
        FCmd->SetAttribute("CmdType", "Reply");
        FCmd->SetAttribute("ID", id);
        FCmd->SetAttribute("Target", "pcr");
        root->LinkEndChild(FCmd);
    }
    TiXmlElement *cmd() { return FCmd; }
    static TiXmlElement *add(TiXmlElement *parent, const char *name, const std::string &text)
    {
        auto *e = new TiXmlElement(name);
        if (!text.empty())
            e->LinkEndChild(new TiXmlText(text));
        parent->LinkEndChild(e);
        return e;
    }
    Reply &field(const char *name, const std::string &text)
    {
        add(FCmd, name, text);
        return *this;
    }
    std::string ok() { return finish(0, "OK"); }
    std::string error(int code, const std::string &message) { return finish(code, message, true); }
    std::string errorCodeOnly(int code) { return finish(code, {}, false); }

private:
    std::string finish(int code, const std::string &message, bool withMessage = true)
    {
        add(FCmd, "ErrCode", std::to_string(code));
        if (withMessage)
            add(FCmd, "ErrMessage", message);
        TiXmlPrinter printer;
        printer.SetIndent("");
        printer.SetLineBreak("");
        FDoc.Accept(&printer);
        return printer.Str();
    }
    TiXmlDocument FDoc;
    TiXmlElement *FCmd = nullptr;
};

bool parseXml(TiXmlDocument &doc, const std::string &text)
{
    // Whitespace is kept as sent, so protocols come back byte for byte (set once: it is the
    // parser's process-wide setting, shared with the link).
    static std::once_flag once;
    std::call_once(once, [] { TiXmlBase::SetCondenseWhiteSpace(false); });
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    return !doc.Error();
}

std::string formatClock(std::chrono::system_clock::time_point t)
{
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%04d", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min, tm.tm_year + 1900);
    return buf;
}

std::optional<std::chrono::system_clock::time_point> parseClock(const std::string &s)
{
    if (s.size() != 12 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    auto num = [&s](size_t pos, size_t len) { return std::stoi(s.substr(pos, len)); };
    std::tm tm{};
    tm.tm_mon = num(0, 2) - 1;
    tm.tm_mday = num(2, 2);
    tm.tm_hour = num(4, 2);
    tm.tm_min = num(6, 2);
    tm.tm_year = num(8, 4) - 1900;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

} // namespace

const char *runModeName(SimRunMode mode)
{
    switch (mode) {
    case SimRunMode::Stopped: return "Stopped";
    case SimRunMode::Running: return "Running";
    case SimRunMode::Paused: return "Paused";
    case SimRunMode::Completed: return "Completed";
    }
    return "Stopped";
}

int SimRunPlan::totalSeconds() const
{
    int cycle = 0;
    for (const SimRunStep &s : steps)
        cycle += s.rampSeconds + s.holdSeconds;
    return cycle * std::max(cycles, 1);
}

SimRunPlan defaultRunPlan(const std::string &document)
{
    SimRunPlan plan = protocolRunPlan(document);
    if (!plan.steps.empty())
        return plan;
    // A three-step cycle of 60 s, thirty times: a 30-minute run.
    plan.steps = {{95.0, 15, 5, 4.0, false}, {55.0, 20, 5, 3.0, false}, {72.0, 10, 5, 3.0, false}};
    plan.cycles = 30;
    return plan;
}

SimInstrument::SimInstrument(int index, std::string address)
    : FIndex(index), FAddress(std::move(address)), FPlanner(defaultRunPlan)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "00:50:C2:7D:%02X:%02X", (index >> 8) & 0xFF, index & 0xFF);
    FMac = buf;
    std::snprintf(buf, sizeof buf, "DU%010d", 1000 + index);
    FSerial = buf;
    FParameters["84"] = "Duvo " + std::to_string(index + 1);
    FParameters["63"] = "Lab bench " + std::to_string(index + 1);
    FBoards[0] = {"1", "CPU", "C", "CPU" + std::to_string(50000 + index), "", "2024-03-11"};
    FBoards[1] = {"1", "AMP", "B", "AMP" + std::to_string(70000 + index), "", "2024-03-12"};
    factoryFilesLocked();
}

void SimInstrument::factoryFilesLocked()
{
    FFolders.clear();
    SimFolder system{"SYSTEM", {}, {}};
    for (const char *name : ServiceProtocols)
        system.files.emplace_back(name, std::string("<Protocol><Name>") + name + "</Name></Protocol>");
    FFolders.push_back(system);
    FFolders.push_back({"SHARED", {}, {{"DEFAULT", "<Protocol><Name>DEFAULT</Name></Protocol>"}}});
    FFolders.push_back({"RECENT", {}, {}});
}

// ---- identity -----------------------------------------------------------------------------

std::string SimInstrument::type() const { std::lock_guard l(FMutex); return FType; }
void SimInstrument::setType(const std::string &type) { std::lock_guard l(FMutex); FType = type; }
std::string SimInstrument::mac() const { std::lock_guard l(FMutex); return FMac; }
void SimInstrument::setMac(const std::string &mac) { std::lock_guard l(FMutex); FMac = mac; }
std::array<uint8_t, 6> SimInstrument::macBytes() const
{
    std::lock_guard l(FMutex);
    std::array<uint8_t, 6> out{};
    unsigned v[6] = {};
    if (std::sscanf(FMac.c_str(), "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) == 6)
        for (int i = 0; i < 6; ++i)
            out[static_cast<size_t>(i)] = static_cast<uint8_t>(v[i]);
    return out;
}
std::string SimInstrument::serialNumber() const { std::lock_guard l(FMutex); return FSerial; }
void SimInstrument::setSerialNumber(const std::string &sn) { std::lock_guard l(FMutex); FSerial = sn; }
std::string SimInstrument::firmware() const { std::lock_guard l(FMutex); return FFirmware; }
void SimInstrument::setFirmware(const std::string &fw) { std::lock_guard l(FMutex); FFirmware = fw; }
std::string SimInstrument::parameter(const std::string &number) const
{
    std::lock_guard l(FMutex);
    auto it = FParameters.find(number);
    return it == FParameters.end() ? std::string() : it->second;
}
void SimInstrument::setParameter(const std::string &number, const std::string &value)
{
    std::lock_guard l(FMutex);
    FParameters[number] = value;
}
std::array<std::string, 6> SimInstrument::board(int index) const
{
    std::lock_guard l(FMutex);
    return FBoards[static_cast<size_t>(index == 1 ? 1 : 0)];
}
void SimInstrument::setBoard(int index, const std::array<std::string, 6> &info)
{
    std::lock_guard l(FMutex);
    FBoards[static_cast<size_t>(index == 1 ? 1 : 0)] = info;
}

// ---- clock --------------------------------------------------------------------------------

std::chrono::system_clock::time_point SimInstrument::clock() const
{
    std::lock_guard l(FMutex);
    return std::chrono::system_clock::now() + FClockOffset;
}
std::string SimInstrument::clockText() const { return formatClock(clock()); }
void SimInstrument::setClockText(const std::string &text)
{
    if (auto t = parseClock(text)) {
        std::lock_guard l(FMutex);
        FClockOffset = std::chrono::duration_cast<std::chrono::seconds>(*t - std::chrono::system_clock::now());
    }
}

// ---- file system --------------------------------------------------------------------------

SimFolder *SimInstrument::findFolderLocked(const std::string &name)
{
    const std::string key = folderKey(name);
    for (SimFolder &f : FFolders)
        if (sameName(f.name, key))
            return &f;
    return nullptr;
}

std::vector<SimFolder> SimInstrument::folders() const { std::lock_guard l(FMutex); return FFolders; }

std::optional<SimFolder> SimInstrument::folder(const std::string &name) const
{
    std::lock_guard l(FMutex);
    auto *f = const_cast<SimInstrument *>(this)->findFolderLocked(name);
    return f ? std::optional<SimFolder>(*f) : std::nullopt;
}

bool SimInstrument::makeFolder(const std::string &name, const std::string &password)
{
    std::lock_guard l(FMutex);
    if (name.empty() || findFolderLocked(name))
        return false;
    FFolders.push_back({folderKey(name), password, {}});
    return true;
}

bool SimInstrument::putProtocol(const std::string &folder, const std::string &file, const std::string &document)
{
    std::lock_guard l(FMutex);
    SimFolder *f = findFolderLocked(folder);
    if (!f)
        return false;
    for (auto &entry : f->files)
        if (sameName(entry.first, file)) {
            entry.second = document;
            return true;
        }
    f->files.emplace_back(file, document);
    return true;
}

std::optional<std::string> SimInstrument::protocol(const std::string &folder, const std::string &file) const
{
    std::lock_guard l(FMutex);
    auto *f = const_cast<SimInstrument *>(this)->findFolderLocked(folder);
    if (!f)
        return std::nullopt;
    for (const auto &entry : f->files)
        if (sameName(entry.first, file))
            return entry.second;
    return std::nullopt;
}

void SimInstrument::formatDrive() { std::lock_guard l(FMutex); factoryFilesLocked(); }
void SimInstrument::removeAllFolders() { std::lock_guard l(FMutex); FFolders.clear(); }

bool SimInstrument::setSecureSuffix(const std::string &folder, const std::string &suffix)
{
    std::lock_guard l(FMutex);
    SimFolder *f = findFolderLocked(folder);
    if (f)
        f->secureSuffix = suffix;
    return f != nullptr;
}

// ---- run ----------------------------------------------------------------------------------

SimRunMode SimInstrument::runMode() const
{
    std::lock_guard l(FMutex);
    const_cast<SimInstrument *>(this)->advanceLocked();
    return FRun.mode;
}
void SimInstrument::setTimeScale(double scale)
{
    std::lock_guard l(FMutex);
    if (FRun.mode == SimRunMode::Running) {
        FRun.elapsedBase = elapsedLocked();
        FRun.resumedAt = Clock::now();
    }
    FTimeScale = scale > 0 ? scale : 1.0;
}
double SimInstrument::timeScale() const { std::lock_guard l(FMutex); return FTimeScale; }
void SimInstrument::setPlanner(SimPlanner planner)
{
    std::lock_guard l(FMutex);
    FPlanner = planner ? std::move(planner) : SimPlanner(defaultRunPlan);
}
double SimInstrument::runElapsed() const { std::lock_guard l(FMutex); return elapsedLocked(); }

double SimInstrument::elapsedLocked(bool *held) const
{
    double e = FRun.elapsedBase + FRun.skipOffset;
    if (FRun.mode == SimRunMode::Running)
        e += std::chrono::duration<double>(Clock::now() - FRun.resumedAt).count() * FTimeScale;
    // An infinite hold stops the run's time just before the end of its ramp.
    const double hold = FRun.mode == SimRunMode::Stopped ? -1 : infiniteHoldAfter(FRun.plan, FRun.holdReleased);
    const bool atHold = hold >= 0 && e >= hold - 1e-3;
    if (atHold)
        e = hold - 1e-3;
    if (held)
        *held = atHold;
    return e;
}

void SimInstrument::advanceLocked()
{
    if (FRun.mode != SimRunMode::Running)
        return;
    const double total = FRun.plan.totalSeconds();
    if (elapsedLocked() >= total) {
        FRun.mode = SimRunMode::Completed;
        FRun.elapsedBase = total - FRun.skipOffset;
        finishRunLocked(total);
    }
}

void SimInstrument::finishRunLocked(double runTime)
{
    FLog.runTime = runTime;
}

bool SimInstrument::startRunLocked(const std::string &folder, const std::string &file, std::string &reason)
{
    advanceLocked();
    if (FRun.mode == SimRunMode::Running || FRun.mode == SimRunMode::Paused) {
        reason = "A run is in progress";
        return false;
    }
    SimFolder *f = findFolderLocked(folder);
    const std::string *doc = nullptr;
    if (f)
        for (const auto &entry : f->files)
            if (sameName(entry.first, file))
                doc = &entry.second;
    if (!doc) {
        reason = "Protocol not found";
        return false;
    }
    FRun = RunState{};
    FRun.plan = FPlanner(*doc);
    if (FRun.plan.steps.empty())
        FRun.plan = defaultRunPlan(*doc);
    FRun.mode = SimRunMode::Running;
    FRun.folder = f->name;
    FRun.file = file;
    FRun.resumedAt = Clock::now();
    FLog = RunLog{};
    FLog.present = true;
    FLog.startTime = std::chrono::duration_cast<std::chrono::seconds>(
                         (std::chrono::system_clock::now() + FClockOffset).time_since_epoch()).count();
    FLog.path = f->name + "/" + file;
    return true;
}

bool SimInstrument::startRun(const std::string &folder, const std::string &file, std::string *reason)
{
    std::lock_guard l(FMutex);
    std::string why;
    const bool ok = startRunLocked(folder, file, why);
    if (reason)
        *reason = why;
    return ok;
}

void SimInstrument::addRunLogError(const SimLogError &error)
{
    std::lock_guard l(FMutex);
    FLog.present = true;
    FLog.errors.push_back(error);
}
std::vector<SimLogError> SimInstrument::runLogErrors() const { std::lock_guard l(FMutex); return FLog.errors; }

// ---- power and faults ---------------------------------------------------------------------

bool SimInstrument::poweredOff() const { std::lock_guard l(FMutex); return FPoweredOff; }
void SimInstrument::setPoweredOff(bool off) { std::lock_guard l(FMutex); FPoweredOff = off; }
std::string SimInstrument::takePowerRequest()
{
    std::lock_guard l(FMutex);
    return std::exchange(FPowerRequest, std::string());
}
void SimInstrument::addFault(const SimFault &fault) { std::lock_guard l(FMutex); FFaults.push_back(fault); }
void SimInstrument::clearFaults() { std::lock_guard l(FMutex); FFaults.clear(); }
bool SimInstrument::refusing() const { std::lock_guard l(FMutex); return FRefusing || FPoweredOff; }
void SimInstrument::setRefusing(bool on) { std::lock_guard l(FMutex); FRefusing = on; }

std::optional<SimFault> SimInstrument::takeFault(const std::string &element, const std::string &finer,
                                                 const TiXmlElement *cmd)
{
    for (auto it = FFaults.begin(); it != FFaults.end(); ++it) {
        if (!it->command.empty() && it->command != element && it->command != finer)
            continue;
        if (it->count == 0 || !faultNarrowingMatches(*it, cmd))
            continue;
        if (it->passed < it->after) {
            ++it->passed;
            continue;
        }
        SimFault hit = *it;
        if (it->count > 0 && --it->count == 0)
            FFaults.erase(it);
        return hit;
    }
    return std::nullopt;
}

// ---- requests -----------------------------------------------------------------------------

SimResponse SimInstrument::handleRequest(const std::string &request)
{
    SimResponse out;
    TiXmlDocument doc;
    const bool parsed = parseXml(doc, request);
    const TiXmlElement *root = doc.RootElement();
    const TiXmlElement *cmd = root ? root->FirstChildElement() : nullptr;
    const std::string group = root ? root->Value() : "";
    const std::string element = cmd ? cmd->Value() : "";
    const char *idAttr = cmd ? cmd->Attribute("ID") : nullptr;
    const std::string id = idAttr ? idAttr : "";

    std::string finer = element;
    if (element == "SetTime" && !(cmd && cmd->FirstChildElement("Time")))
        finer = "GetTime";
    else if (element == "Dir")
        finer = fieldText(cmd, "Folder") == "\\" ? "DirFolders" : "DirFiles";
    out.command = finer;
    rawNames(cmd, out.folder, out.file);

    std::lock_guard l(FMutex);
    out.fault = takeFault(element, finer, cmd);
    if (out.fault) {
        switch (out.fault->kind) {
        case FaultKind::ErrorReply:
            out.reply = Reply(group, element, id).error(out.fault->errCode, out.fault->errMessage);
            return out;
        case FaultKind::ErrorCodeOnly:
            out.reply = Reply(group, element, id).errorCodeOnly(out.fault->errCode);
            return out;
        case FaultKind::NotXml:
            out.reply = "Duvo command server: internal error\r\n";
            return out;
        case FaultKind::CloseWithoutReply:
        case FaultKind::ResetBeforeReply:
            return out;  // not carried out
        default:
            break;  // carried out; the server breaks or delays the reply
        }
    }
    if (!parsed || !cmd) {
        out.reply = Reply(group, element, id).error(ErrInvalidRequest, "Invalid request");
        return out;
    }
    out.reply = dispatch(group, finer, cmd);
    editReplyLocked(finer, out.reply);
    return out;
}

std::string SimInstrument::dispatch(const std::string &group, const std::string &command, const TiXmlElement *cmd)
{
    const std::string element = cmd->Value();
    const char *idAttr = cmd->Attribute("ID");
    Reply r(group, element, idAttr ? idAttr : "");
    advanceLocked();

    if (command == "Nop")
        return r.ok();
    if (command == "Test1") {
        // The instrument's self-test: the text with "response" appended, the integer
        // tripled, the product of the number and the integer ("%f"), the boolean negated.
        const std::string a = fieldText(cmd, "StringA");
        const std::string intText = fieldText(cmd, "IntA"), floatText = fieldText(cmd, "FloatA");
        long long i = 0;
        double f = 0;
        std::from_chars(intText.data(), intText.data() + intText.size(), i);
        std::from_chars(floatText.data(), floatText.data() + floatText.size(), f);
        char product[64];
        std::snprintf(product, sizeof product, "%f", f * double(i));
        r.field("StringA", a + "response").field("IntA", std::to_string(i * 3));
        r.field("FloatA", product).field("BooleanA", fieldText(cmd, "BooleanA") == "false" ? "true" : "false");
        return r.ok();
    }
    if (command == "GetInstrumentInfo") {
        r.field("SN", FSerial).field("Type", FType).field("Firmware", FFirmware);
        return r.ok();
    }
    if (command == "GetStatus") {
        const bool idle = FRun.mode == SimRunMode::Stopped;
        const SimRunPlan &plan = FRun.plan;
        const double total = plan.totalSeconds();
        const double e = std::min(elapsedLocked(), total);
        int cycleLen = 0;
        for (const SimRunStep &s : plan.steps)
            cycleLen += s.rampSeconds + s.holdSeconds;
        int cycle = 1, stepIndex = 0;
        double inStep = 0;
        if (!idle && cycleLen > 0 && !plan.steps.empty()) {
            const int whole = static_cast<int>(e);
            cycle = std::min(whole / cycleLen + 1, std::max(plan.cycles, 1));
            double rest = e - (cycle - 1) * cycleLen;
            for (stepIndex = 0; stepIndex < static_cast<int>(plan.steps.size()) - 1; ++stepIndex) {
                const SimRunStep &s = plan.steps[static_cast<size_t>(stepIndex)];
                if (rest < s.rampSeconds + s.holdSeconds)
                    break;
                rest -= s.rampSeconds + s.holdSeconds;
            }
            inStep = rest;
        }
        const SimRunStep step = (!idle && !plan.steps.empty()) ? plan.steps[static_cast<size_t>(stepIndex)] : SimRunStep{};
        const double holdLeft = idle ? 0 : std::max(0.0, step.holdSeconds - std::max(0.0, inStep - step.rampSeconds));
        r.field("Volume", idle ? "0" : FRun.volume);
        r.field("Mode", runModeName(FRun.mode));
        const size_t steps = plan.protocolSteps > 0 ? size_t(plan.protocolSteps) : plan.steps.size();
        r.field("Steps", idle ? "0" : std::to_string(steps));
        r.field("Step", idle ? "0" : std::to_string(step.stepNumber > 0 ? step.stepNumber : stepIndex + 1));
        r.field("Cycles", idle ? "0" : std::to_string(step.loopCycles > 0 ? step.loopCycles : plan.cycles));
        r.field("Cycle", idle ? "0" : std::to_string(step.loopCycle > 0 ? step.loopCycle : cycle));
        r.field("TotalTime", number(idle ? 0 : total));
        r.field("TimeLeft", number(idle ? 0 : total - e));
        r.field("InfiniteHold", !idle && step.infiniteHold ? "true" : "false");
        r.field("TargetTemp", number(idle ? 0 : step.targetTemp));
        r.field("TargetTempInc", number(idle ? 0 : step.targetTempInc));
        r.field("HoldTime", number(idle ? 0 : step.holdSeconds));
        r.field("HoldTimeInc", number(idle ? 0 : step.holdTimeInc));
        r.field("HoldTimeLeft", number(holdLeft));
        r.field("RampTime", number(idle ? 0 : step.rampSeconds));
        r.field("RampRate", number(idle ? 0 : step.rampRate));
        r.field("Folder", idle ? "" : FRun.folder);
        r.field("File", idle ? "" : FRun.file);
        r.field("State", "2");
        return r.ok();
    }
    if (command == "StartRun") {
        std::string reason;
        FRun.volume = fieldText(cmd, "Volume");
        const std::string volume = FRun.volume;
        if (!startRunLocked(fieldText(cmd, "Folder"), fieldText(cmd, "File"), reason))
            return r.error(ErrRunState, reason);
        FRun.volume = volume;
        FRun.consumable = fieldText(cmd, "Consumable");
        return r.ok();
    }
    if (command == "Stop") {
        if (FRun.mode == SimRunMode::Stopped)
            return r.ok();
        const double e = std::min(elapsedLocked(), static_cast<double>(FRun.plan.totalSeconds()));
        if (FRun.mode != SimRunMode::Completed)
            finishRunLocked(e);
        FRun.mode = SimRunMode::Stopped;
        FRun.elapsedBase = 0;
        FRun.skipOffset = 0;
        return r.ok();
    }
    if (command == "Pause") {
        if (FRun.mode != SimRunMode::Running)
            return r.error(ErrRunState, "Protocol not running");
        FRun.elapsedBase = elapsedLocked() - FRun.skipOffset;
        FRun.mode = SimRunMode::Paused;
        return r.ok();
    }
    if (command == "Continue") {
        if (FRun.mode != SimRunMode::Paused)
            return r.error(ErrRunState, "No paused run");
        FRun.mode = SimRunMode::Running;
        FRun.resumedAt = Clock::now();
        return r.ok();
    }
    if (command == "Skip") {
        if (FRun.mode != SimRunMode::Running && FRun.mode != SimRunMode::Paused)
            return r.error(ErrRunState, "Protocol not running");
        bool held = false;
        double e = elapsedLocked(&held);
        if (held) {
            // Let the hold go: the run goes on from the end of that step.
            const double hold = infiniteHoldAfter(FRun.plan, FRun.holdReleased);
            FRun.holdReleased = hold;
            FRun.elapsedBase = hold - FRun.skipOffset;
            FRun.resumedAt = Clock::now();
            advanceLocked();
            return r.ok();
        }
        // Jump to the start of the next step.
        double t = 0;
        bool moved = false;
        for (int c = 0; c < std::max(FRun.plan.cycles, 1) && !moved; ++c)
            for (const SimRunStep &s : FRun.plan.steps) {
                t += s.rampSeconds + s.holdSeconds;
                if (t > e) {
                    FRun.skipOffset += static_cast<int>(std::ceil(t - e));
                    moved = true;
                    break;
                }
            }
        advanceLocked();
        return r.ok();
    }
    if (command == "DirFolders") {
        TiXmlElement *list = Reply::add(r.cmd(), "Folders", {});
        for (const SimFolder &f : FFolders)
            Reply::add(list, "Folder", f.password.empty() ? f.name : f.name + "!" + f.secureSuffix);
        if (FFolders.empty())
            Reply::add(list, "Folder", {});
        return r.ok();
    }
    if (command == "DirFiles") {
        SimFolder *f = findFolderLocked(fieldText(cmd, "Folder"));
        if (!f)
            return r.error(ErrNotFound, "Folder not found");
        TiXmlElement *list = Reply::add(r.cmd(), "Files", {});
        for (const auto &entry : f->files)
            Reply::add(list, "File", entry.first);
        if (f->files.empty())
            Reply::add(list, "File", {});  // an empty folder lists one empty entry
        return r.ok();
    }
    if (command == "Md") {
        const std::string name = folderKey(fieldText(cmd, "Folder"));
        if (name.empty() || name.size() > 12 || name.find_first_of("/\\!") != std::string::npos)
            return r.error(ErrBadName, "Invalid folder name");
        if (findFolderLocked(name))
            return r.error(ErrExists, "Folder already exists");
        if (FFolders.size() >= 40)
            return r.error(ErrFull, "Too many folders");
        FFolders.push_back({name, {}, {}});
        return r.ok();
    }
    if (command == "Rd") {
        const std::string name = folderKey(fieldText(cmd, "Folder"));
        if (reservedFolder(name))
            return r.error(ErrReserved, "Reserved folder");
        SimFolder *f = findFolderLocked(name);
        if (!f)
            return r.error(ErrNotFound, "Folder not found");
        if (!f->files.empty())
            return r.error(ErrNotEmpty, "Folder not empty");
        FFolders.erase(FFolders.begin() + (f - FFolders.data()));
        return r.ok();
    }
    if (command == "DelFile") {
        const std::string path = folderKey(fieldText(cmd, "Filename"));
        const size_t slash = path.find('/');
        SimFolder *f = slash == std::string::npos ? nullptr : findFolderLocked(path.substr(0, slash));
        if (f) {
            const std::string name = path.substr(slash + 1);
            for (auto it = f->files.begin(); it != f->files.end(); ++it)
                if (sameName(it->first, name)) {
                    f->files.erase(it);
                    return r.ok();
                }
        }
        return r.error(ErrNotFound, "File not found");
    }
    if (command == "Format") {
        factoryFilesLocked();
        return r.ok();
    }
    if (command == "GetParameter") {
        auto it = FParameters.find(fieldText(cmd, "Parameter"));
        if (it == FParameters.end())
            return r.error(ErrBadParameter, "Unknown parameter");
        r.field("Value", it->second);
        return r.ok();
    }
    if (command == "SetParameter") {
        const std::string p = fieldText(cmd, "Parameter");
        if (p.empty())
            return r.error(ErrBadParameter, "Unknown parameter");
        FParameters[p] = fieldText(cmd, "Value");
        r.field("Value", FParameters[p]);
        return r.ok();
    }
    if (command == "Power") {
        const std::string mode = fieldText(cmd, "Mode");
        if (mode != "Off" && mode != "On")
            return r.error(ErrBadParameter, "Invalid power mode");
        FPowerRequest = mode;
        r.field("Status", "1");
        return r.ok();
    }
    if (command == "GetTime" || command == "SetTime") {
        if (command == "SetTime") {
            auto t = parseClock(fieldText(cmd, "Time"));
            if (!t)
                return r.error(ErrBadParameter, "Invalid time");
            FClockOffset = std::chrono::duration_cast<std::chrono::seconds>(*t - std::chrono::system_clock::now());
        }
        r.field("Time", formatClock(std::chrono::system_clock::now() + FClockOffset));
        return r.ok();
    }
    if (command == "GetBoardInfo") {
        const std::string b = fieldText(cmd, "Board");
        if (b != "0" && b != "1")
            return r.error(ErrBadParameter, "Unknown board");
        const auto &info = FBoards[b == "1" ? 1 : 0];
        r.field("InfoRev", info[0]).field("Name", info[1]).field("Revision", info[2]);
        r.field("SN", info[3]).field("Code", info[4]).field("Date", info[5]);
        return r.ok();
    }
    if (command == "GetProtocolLog") {
        if (FLog.present) {
            TiXmlElement *log = Reply::add(r.cmd(), "ProtocolLog", {});
            Reply::add(log, "StartTime", std::to_string(FLog.startTime));
            const double runTime = FRun.mode == SimRunMode::Running || FRun.mode == SimRunMode::Paused
                                       ? elapsedLocked() : FLog.runTime;
            Reply::add(log, "RunTime", number(runTime));
            Reply::add(log, "Path", FLog.path);
            if (!FLog.errors.empty()) {
                TiXmlElement *errors = Reply::add(log, "Errors", {});
                for (const SimLogError &e : FLog.errors) {
                    TiXmlElement *x = Reply::add(errors, "Error", {});
                    Reply::add(x, "Code", e.code);
                    Reply::add(x, "ManualCode", e.manualCode);
                    Reply::add(x, "ErrorText", e.errorText);
                    Reply::add(x, "ActionText", e.actionText);
                    Reply::add(x, "Severity", e.severity);
                    Reply::add(x, "TimeStamp", std::to_string(e.timeStamp));
                }
            }
        }
        return r.ok();
    }
    if (command == "GetProtocol") {
        SimFolder *f = findFolderLocked(fieldText(cmd, "Folder"));
        const std::string name = fieldText(cmd, "File");
        if (f)
            for (const auto &entry : f->files)
                if (sameName(entry.first, name)) {
                    const auto quirk = FProtocolReplyNames.find({f->name, entry.first});
                    if (quirk != FProtocolReplyNames.end())
                        r.field("Folder", quirk->second.first).field("File", quirk->second.second);
                    else
                        r.field("Folder", f->name).field("File", entry.first);
                    r.field("Protocol", entry.second);
                    return r.ok();
                }
        return r.error(ErrNotFound, "Protocol not found");
    }
    if (command == "LoadProtocol") {
        SimFolder *f = findFolderLocked(fieldText(cmd, "Folder"));
        const std::string name = fieldText(cmd, "File");
        bool present = false;
        const std::string document = fieldText(cmd, "Protocol", &present);
        if (!f)
            return r.error(ErrNotFound, "Folder not found");
        if (name.empty() || name.size() > 8 || name.find_first_of("/\\!") != std::string::npos)
            return r.error(ErrBadName, "Invalid file name");
        if (!present || document.empty())
            return r.error(ErrBadParameter, "No protocol");
        for (const auto &entry : f->files)
            if (sameName(entry.first, name))
                return r.error(ErrExists, "File already exists");
        if (f->files.size() >= 40)
            return r.error(ErrFull, "Too many files");
        f->files.emplace_back(name, document);
        r.field("Folder", f->name).field("File", name);
        return r.ok();
    }
    if (command == "GetAttrValue" || command == "SetAttrValue") {
        SimFolder *f = findFolderLocked(fieldText(cmd, "Path"));
        if (!f)
            return r.error(ErrNotFound, "Folder not found");
        if (fieldText(cmd, "Attribute") != "password")
            return r.error(ErrBadParameter, "Unknown attribute");
        if (command == "SetAttrValue") {
            if (reservedFolder(f->name))
                return r.error(ErrReserved, "Reserved folder");
            f->password = fieldText(cmd, "Value");
        }
        if (!(FOmitEmptyAttrValue && f->password.empty()))
            r.field("Value", f->password);
        return r.ok();
    }
    return r.error(ErrUnknownCommand, "Unknown command");
}

} // namespace duvosim
