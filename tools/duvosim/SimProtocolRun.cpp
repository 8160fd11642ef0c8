#include "duvosim/SimProtocolRun.h"

#include <tinyxml.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace duvosim {

namespace {

constexpr size_t MaxRecords = 1000;
constexpr size_t MaxPlanSteps = 10000;   // with each step under two days, the total fits an int
constexpr double StartTemperature = 25.0;

struct Record {
    bool loop = false;
    int position = 0;        // 1-based place in the protocol
    double temperature = 0, temperatureChange = 0, rampRate = 0;
    int holdSeconds = 0, holdChange = 0;   // holdChange signed: negative for a decrement
    bool infiniteHold = false;
    int steps = 0, cycles = 0;
};

std::string childText(const TiXmlElement *e, const char *name)
{
    const TiXmlElement *c = e->FirstChildElement(name);
    const char *t = c ? c->GetText() : nullptr;
    return t ? std::string(t) : std::string();
}

double toDouble(const std::string &text)
{
    size_t b = text.find_first_not_of(" \t\r\n+");
    double v = 0;
    if (b != std::string::npos)
        std::from_chars(text.data() + b, text.data() + text.size(), v);
    return std::isfinite(v) ? v : 0.0;
}

int toSeconds(const std::string &text)
{
    const double v = std::trunc(std::fabs(toDouble(text)));
    return v > 86400.0 ? 86400 : int(v);
}

struct Unroller {
    const std::vector<Record> &records;
    SimRunPlan &plan;
    double previous = StartTemperature;
    bool tooLong = false;

    void run(size_t from, size_t to, int cycle, int cycles)
    {
        size_t k = from;
        while (k < to && !tooLong) {
            const Record &r = records[k];
            if (r.loop) {
                const size_t end = std::min(to, k + 1 + size_t(std::max(r.steps, 0)));
                for (int c = 1; c <= r.cycles && !tooLong; ++c)
                    run(k + 1, end, c, r.cycles);
                k = end;
                continue;
            }
            if (plan.steps.size() >= MaxPlanSteps) {
                tooLong = true;
                return;
            }
            SimRunStep s;
            s.targetTemp = r.temperature + (cycle - 1) * r.temperatureChange;
            s.holdSeconds = r.infiniteHold ? 0 : std::max(0, r.holdSeconds + (cycle - 1) * r.holdChange);
            s.rampRate = r.rampRate;
            const double rate = r.rampRate > 0.01 ? r.rampRate : 0.01;
            s.rampSeconds = int(std::min(86400.0, std::ceil(std::fabs(s.targetTemp - previous) / rate - 1e-9)));
            if (r.infiniteHold)
                s.rampSeconds = std::max(s.rampSeconds, 1);
            s.infiniteHold = r.infiniteHold;
            s.stepNumber = r.position;
            s.loopCycle = cycle;
            s.loopCycles = cycles;
            s.targetTempInc = r.temperatureChange;
            s.holdTimeInc = r.holdChange;
            previous = s.targetTemp;
            plan.steps.push_back(s);
            ++k;
        }
    }
};

} // namespace

SimRunPlan protocolRunPlan(const std::string &document)
{
    SimRunPlan plan;
    TiXmlDocument doc;
    doc.Parse(document.c_str());
    if (doc.Error())
        return plan;
    const TiXmlElement *root = doc.FirstChildElement("Root");
    const TiXmlElement *protocol = root ? root->FirstChildElement("CyclerProtocol") : nullptr;
    const TiXmlElement *list = protocol ? protocol->FirstChildElement("CyclerSteps") : nullptr;
    if (!list)
        return plan;
    std::vector<Record> records;
    for (const TiXmlElement *e = list->FirstChildElement("CyclerStep"); e && records.size() < MaxRecords;
         e = e->NextSiblingElement("CyclerStep")) {
        Record r;
        r.position = int(records.size()) + 1;
        const std::string type = childText(e, "StepType");
        if (type == "CyclerLoopStep") {
            r.loop = true;
            r.cycles = int(std::clamp(toDouble(childText(e, "NumberOfCyclesToLoop")), 0.0, 65535.0));
            r.steps = int(std::clamp(toDouble(childText(e, "NumberOfStepsInsideLoop")), 0.0, 65535.0));
        } else if (type == "CyclerTemperatureStep") {
            r.temperature = toDouble(childText(e, "Temperature"));
            r.temperatureChange = toDouble(childText(e, "TemperatureIncrementPerCycle"));
            r.rampRate = toDouble(childText(e, "RampRate"));
            r.holdSeconds = toSeconds(childText(e, "IncubationTime"));
            const std::string change = childText(e, "IncubationTimeIncrementPerCycle");
            r.holdChange = toSeconds(change) * (change.find('-') != std::string::npos ? -1 : 1);
            r.infiniteHold = childText(e, "InfiniteHoldOn") == "true";
        } else {
            continue;
        }
        records.push_back(r);
    }
    Unroller u{records, plan};
    u.run(0, records.size(), 1, 1);
    if (u.tooLong)
        plan.steps.clear();
    plan.cycles = 1;
    plan.protocolSteps = int(records.size());
    return plan;
}

double infiniteHoldAfter(const SimRunPlan &plan, double after)
{
    double t = 0;
    const int cycles = std::max(plan.cycles, 1);
    for (int c = 0; c < cycles; ++c)
        for (size_t k = 0; k < plan.steps.size(); ++k) {
            const SimRunStep &s = plan.steps[k];
            const double holdStart = t + s.rampSeconds;
            const bool last = c == cycles - 1 && k + 1 == plan.steps.size();
            if (s.infiniteHold && !last && holdStart > after)
                return holdStart;
            t = holdStart + s.holdSeconds;
        }
    return -1;
}

} // namespace duvosim
