#include "protocols/CyclerStepList.h"

#include "protocols/ProtocolDocument.h"
#include "protocols/ProtocolDocumentReader.h"

#include <cmath>
#include <limits>

namespace duvo {

namespace {

constexpr const char *CRLF = "\r\n";

void line(std::string &out, const std::string &text)
{
    out += text;
    out += CRLF;
}

std::string element(const char *name, const std::string &value)
{
    return std::string("<") + name + ">" + value + "</" + name + ">";
}

// Whole seconds of a document time text (truncated toward zero), refused when the editor
// could not show it: below zero or an hour or more.
std::optional<int> documentSeconds(const std::string &text)
{
    const auto value = ParseDecimal(text);
    if (!value || *value < 0.0)
        return std::nullopt;
    const double seconds = std::trunc(*value);
    if (seconds >= 3600.0)
        return std::nullopt;
    return int(seconds);
}

std::optional<uint16_t> documentCount(const std::string &text)
{
    const auto value = ParseInteger(text);
    if (!value || *value < 0 || *value > std::numeric_limits<uint16_t>::max())
        return std::nullopt;
    return uint16_t(*value);
}

// A number of a step, refused when the document written back would hold a text wider than
// the reader takes (so every protocol read can be saved and read again).
// Below a million the text always fits ("-999999.999999", or "1000000.000000" once rounded).
bool fitsDocumentNumber(double value)
{
    return std::fabs(value) < 1e6 || FormatDocumentNumber(value).size() <= StepNumberTextWidth;
}

std::optional<double> documentNumber(const std::string &text)
{
    const auto value = ParseDecimal(text);
    if (!value || !fitsDocumentNumber(*value))
        return std::nullopt;
    return value;
}

bool readTemperatureStep(const TemperatureStepTexts &t, CyclerStepRecord &r)
{
    r = CyclerStepRecord{};
    r.StepType = TemperatureStepType;
    const auto temperature = documentNumber(t.Temperature);
    const auto temperatureChange = documentNumber(t.TemperatureIncrementPerCycle);
    const auto rampRate = documentNumber(t.RampRate);
    if (!temperature || !temperatureChange || !rampRate)
        return false;
    // The editor keeps the temperature with one decimal; that value must fit as well.
    if (std::fabs(*temperature) >= 999999.0) {
        const auto shown = ParseDecimal(FormatFixed(*temperature, 2, 1));
        if (!shown || !fitsDocumentNumber(*shown))
            return false;
    }
    r.Temperature = *temperature;
    r.TemperatureIncrementPerCycle = *temperatureChange;
    r.RampRate = *rampRate;
    r.InfiniteHoldOn = t.InfiniteHoldOn == "true" ? 1 : 0;

    const auto hold = documentSeconds(t.IncubationTime);
    if (!hold)
        return false;
    r.IncubationTime = EncodeTime(0, *hold / 60, *hold % 60);

    // A '-' marks a decrement; only the text after it is the amount. Nothing but blanks may
    // stand before it.
    std::string change = t.IncubationTimeIncrementPerCycle;
    const size_t minus = change.find('-');
    if (minus != std::string::npos) {
        if (change.find_first_not_of(" \t\r\n") != minus)
            return false;
        r.DecrementTime = 1;
        change = change.substr(minus + 1);
    }
    const auto delta = documentSeconds(change);
    if (!delta)
        return false;
    r.IncubationTimeIncrementPerCycle = EncodeTime(0, *delta / 60, *delta % 60);
    return true;
}

// Loops must end inside the list and inside the loop that holds them; no loop lies two
// levels deep.
bool loopsNestProperly(const std::vector<CyclerStepRecord> &records)
{
    const size_t n = records.size();
    size_t outerEnd = 0;  // first position after the current top-level body
    size_t innerEnd = 0;  // first position after the current nested body
    for (size_t k = 0; k < n; ++k) {
        if (!records[k].isLoop())
            continue;
        const size_t end = k + 1 + records[k].NumberOfStepsInsideLoop;
        if (end > n)
            return false;
        if (k < innerEnd)
            return false;                 // a loop inside a nested loop
        if (k < outerEnd) {
            if (end > outerEnd)
                return false;             // runs past the loop that holds it
            innerEnd = end;
        } else {
            outerEnd = end;
        }
    }
    return true;
}

} // namespace

bool LoopsNestProperly(const std::vector<CyclerStepRecord> &records)
{
    return loopsNestProperly(records);
}

CyclerStepList::CyclerStepList(QObject *parent) : QObject(parent) {}

CyclerStepList::~CyclerStepList() = default;

CyclerStepRecord *CyclerStepList::at(int index) const
{
    return (index >= 0 && index < Count()) ? FStepList[size_t(index)].get() : nullptr;
}

CyclerStepRecord *CyclerStepList::Insert(int index, std::unique_ptr<CyclerStepRecord> record)
{
    if (index < 0 || index > Count())
        index = Count();
    CyclerStepRecord *r = record.get();
    FStepList.insert(FStepList.begin() + index, std::move(record));
    return r;
}

void CyclerStepList::Delete(int index)
{
    if (index >= 0 && index < Count())
        FStepList.erase(FStepList.begin() + index);
}

void CyclerStepList::Clear()
{
    FStepList.clear();
    emit itemsCleared();
}

bool CyclerStepList::AddStepItem(const QString &temperature, const QString &time, const QString &rampRate,
                                 const QString &timeChange, const QString &temperatureChange, bool hold,
                                 bool decrement, bool addRecord, int indent)
{
    const auto t = ParseTemperatureText(temperature);
    const auto shown = t ? ParseTemperatureText(FormatDisplayNumber(*t)) : std::nullopt;
    const auto holdTime = ParseMinutesSeconds(time);
    const auto ramp = ParseTemperatureText(rampRate);
    const auto change = ParseMinutesSeconds(timeChange);
    const auto tempChange = ParseTemperatureText(temperatureChange);
    if (!shown || !holdTime || !ramp || !change || !tempChange)
        return false;

    auto r = std::make_unique<CyclerStepRecord>();
    r->StepType = TemperatureStepType;
    r->Temperature = *shown;
    r->IncubationTime = *holdTime;
    r->RampRate = *ramp;
    r->IncubationTimeIncrementPerCycle = *change;
    r->TemperatureIncrementPerCycle = *tempChange;
    r->InfiniteHoldOn = hold ? 1 : 0;
    r->DecrementTime = decrement ? 1 : 0;
    r->Indent = int16_t(indent);
    if (addRecord)
        emit itemAdded(*Append(std::move(r)));
    else
        emit itemAdded(*r);
    return true;
}

bool CyclerStepList::AddLoopItem(const QString &steps, const QString &cycles, bool addRecord, int indent)
{
    const auto n = documentCount(steps.toStdString());
    const auto c = documentCount(cycles.toStdString());
    if (!n || !c)
        return false;
    auto r = std::make_unique<CyclerStepRecord>();
    r->StepType = LoopStepType;
    r->NumberOfStepsInsideLoop = *n;
    r->NumberOfCyclesToLoop = *c;
    r->IncubationTime = EncodeTime(0, 0, 20);
    r->Indent = int16_t(indent);
    if (addRecord)
        emit itemAdded(*Append(std::move(r)));
    else
        emit itemAdded(*r);
    return true;
}

void CyclerStepList::RecomputeIndents()
{
    for (auto &r : FStepList)
        r->Indent = 0;
    const size_t n = FStepList.size();
    for (size_t k = 0; k < n; ++k) {
        const CyclerStepRecord &r = *FStepList[k];
        if (!r.isLoop())
            continue;
        for (size_t j = k + 1; j <= k + r.NumberOfStepsInsideLoop && j < n; ++j)
            FStepList[j]->Indent = int16_t(r.Indent + 20);
    }
}

void CyclerStepList::RebuildStepList()
{
    RecomputeIndents();
    emit itemsCleared();
    for (const auto &r : FStepList)
        emit itemAdded(*r);
    emit stepListRebuilt();
}

int CyclerStepList::StepItemCount() const
{
    int n = 0;
    for (const auto &r : FStepList)
        n += r->isStep() ? 1 : 0;
    return n;
}

int CyclerStepList::LoopItemCount() const
{
    return Count() - StepItemCount();
}

int CyclerStepList::CycleSum() const
{
    int sum = 0;
    for (const auto &r : FStepList)
        if (r->isLoop())
            sum += r->NumberOfCyclesToLoop;
    return sum;
}

bool CyclerStepList::WriteProtocolSteps(std::string &text) const
{
    std::string out;
    for (size_t i = 0; i < FStepList.size(); ++i) {
        const CyclerStepRecord r = *FStepList[i];   // a copy: the list stays untouched
        line(out, "<CyclerStep Index=\"" + std::to_string(i) + "\">");
        if (r.isLoop()) {
            line(out, "<StepType>CyclerLoopStep</StepType>");
            line(out, element("NumberOfCyclesToLoop", std::to_string(r.NumberOfCyclesToLoop)));
            line(out, element("NumberOfStepsInsideLoop", std::to_string(r.NumberOfStepsInsideLoop)));
        } else {
            const bool hold = r.InfiniteHoldOn != 0;
            std::string change = "0";
            if (!hold)
                change = (r.DecrementTime ? "-" : "") + std::to_string(MinuteSecondTotal(r.IncubationTimeIncrementPerCycle));
            line(out, "<StepType>CyclerTemperatureStep</StepType>");
            line(out, "<PlateRead>false</PlateRead>");
            line(out, element("Temperature", FormatDocumentNumber(r.Temperature)));
            line(out, element("TemperatureIncrementPerCycle", FormatDocumentNumber(r.TemperatureIncrementPerCycle)));
            line(out, element("IncubationTime", hold ? std::string("0") : std::to_string(MinuteSecondTotal(r.IncubationTime))));
            line(out, element("InfiniteHoldOn", hold ? "true" : "false"));
            line(out, element("IncubationTimeIncrementPerCycle", change));
            line(out, element("RampRate", FormatDocumentNumber(r.RampRate)));
        }
        line(out, "</CyclerStep>");
    }
    text = std::move(out);
    return true;
}

bool CyclerStepList::WriteProtocolXml(const QString &name, std::string &text) const
{
    if (FStepList.empty())
        return false;
    std::string steps;
    if (!WriteProtocolSteps(steps))
        return false;
    const std::string upper = EscapeXmlText(name.toUpper().toStdString());
    const std::string unchanged = EscapeXmlText(name.toStdString());

    std::string out;
    line(out, "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");
    line(out, std::string("<Root xmlns=\"") + ProtocolNamespace + "\">");
    line(out, "<CyclerProtocol>");
    line(out, "<DefParameterVersion>1.0.0.0</DefParameterVersion>");
    line(out, element("Name", upper));
    line(out, element("Description", unchanged + " protocol"));
    line(out, "<ReactionVolume>0.000000</ReactionVolume>");
    line(out, "<RampRate>0.000000</RampRate>");
    line(out, "<HeatedLidActive>true</HeatedLidActive>");
    line(out, "<HeatedLidTemperature>90.000000</HeatedLidTemperature>");
    line(out, element("NumberOfSteps", std::to_string(FStepList.size())));
    line(out, "<CyclerSteps>");
    line(out, steps);
    line(out, "</CyclerSteps>");
    line(out, "</CyclerProtocol>");
    line(out, "</Root>");
    text = std::move(out);
    return true;
}

bool ReadProtocolRecords(const std::string &text, std::vector<CyclerStepRecord> &records)
{
    const ParsedProtocolDocument doc(text);
    std::string countText;
    if (!doc.stepCount(countText))
        return false;
    const auto count = ParseInteger(countText);
    if (!count || *count < 0)
        return false;

    std::vector<CyclerStepRecord> made;
    for (long long i = 0; i < *count; ++i) {
        if (i > std::numeric_limits<int>::max())
            return false;
        std::string type;
        if (!doc.stepType(int(i), type))
            return false;
        CyclerStepRecord r;
        if (type == "CyclerTemperatureStep") {
            TemperatureStepTexts t;
            if (!doc.temperatureStep(int(i), t) || !readTemperatureStep(t, r))
                return false;
        } else if (type == "CyclerLoopStep") {
            LoopStepTexts l;
            if (!doc.loopStep(int(i), l))
                return false;
            const auto cycles = documentCount(l.NumberOfCyclesToLoop);
            const auto steps = documentCount(l.NumberOfStepsInsideLoop);
            if (!cycles || !steps)
                return false;
            r.StepType = LoopStepType;
            r.NumberOfCyclesToLoop = *cycles;
            r.NumberOfStepsInsideLoop = *steps;
            r.IncubationTime = EncodeTime(0, 0, 20);
        } else {
            continue;   // a kind of record this editor does not know: left out
        }
        made.push_back(r);
    }
    if (!loopsNestProperly(made))
        return false;
    records = std::move(made);
    return true;
}

bool CyclerStepList::ReadProtocolXml(const std::string &text)
{
    std::vector<CyclerStepRecord> records;
    if (!ReadProtocolRecords(text, records))
        return false;
    // Into the list as the editor's display texts give the values back: the temperature keeps
    // one decimal ("00.0", read back twice as AddStepItem does), hold time and time change keep
    // their whole minutes and seconds ("mm:ss"), ramp rate and temperature change arrive
    // unchanged.
    auto oneDecimal = [](double v) { return ParseDecimal(FormatFixed(v, 2, 1)); };
    auto minutesSeconds = [](double time) {
        const TimeParts p = DecodeTime(time);
        return EncodeTime(0, p.minutes, p.seconds);
    };
    const size_t before = FStepList.size();
    FStepList.reserve(before + records.size());
    for (const CyclerStepRecord &read : records) {
        auto r = std::make_unique<CyclerStepRecord>();
        if (read.isLoop()) {
            r->StepType = LoopStepType;
            r->NumberOfStepsInsideLoop = read.NumberOfStepsInsideLoop;
            r->NumberOfCyclesToLoop = read.NumberOfCyclesToLoop;
            r->IncubationTime = EncodeTime(0, 0, 20);
        } else {
            const auto t = oneDecimal(read.Temperature);
            const auto shown = t ? oneDecimal(*t) : std::nullopt;
            if (!shown) {
                // A temperature whose display text does not read back: take back what was added.
                FStepList.erase(FStepList.begin() + std::ptrdiff_t(before), FStepList.end());
                RebuildStepList();
                return false;
            }
            r->StepType = TemperatureStepType;
            r->Temperature = *shown;
            r->IncubationTime = minutesSeconds(read.IncubationTime);
            r->RampRate = read.RampRate;
            r->IncubationTimeIncrementPerCycle = minutesSeconds(read.IncubationTimeIncrementPerCycle);
            r->TemperatureIncrementPerCycle = read.TemperatureIncrementPerCycle;
            r->InfiniteHoldOn = read.InfiniteHoldOn ? 1 : 0;
            r->DecrementTime = read.DecrementTime ? 1 : 0;
        }
        emit itemAdded(*Append(std::move(r)));
    }
    RebuildStepList();
    return true;
}

} // namespace duvo
