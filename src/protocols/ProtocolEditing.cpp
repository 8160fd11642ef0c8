#include "protocols/ProtocolEditing.h"

#include "common/Prompts.h"
#include "protocols/DeviceFileOperations.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace duvo {

namespace {

std::unique_ptr<CyclerStepRecord> makeStep(double temperature, int minutes, int seconds, bool hold = false,
                                           int indent = 0)
{
    auto r = std::make_unique<CyclerStepRecord>();
    r->StepType = TemperatureStepType;
    r->Temperature = temperature;
    r->IncubationTime = EncodeTime(0, minutes, seconds);
    r->RampRate = 7.0;
    r->InfiniteHoldOn = hold ? 1 : 0;
    r->Indent = int16_t(indent);
    return r;
}

std::unique_ptr<CyclerStepRecord> makeLoop(int steps, int cycles, int indent = 0)
{
    auto r = std::make_unique<CyclerStepRecord>();
    r->StepType = LoopStepType;
    r->NumberOfStepsInsideLoop = uint16_t(std::clamp(steps, 0, 65535));
    r->NumberOfCyclesToLoop = uint16_t(std::clamp(cycles, 0, 65535));
    r->IncubationTime = EncodeTime(0, 0, 20);
    r->Indent = int16_t(indent);
    return r;
}

// The default step of New Step on an empty list: 98 C for 05:00.
void addDefaultStep(CyclerStepList &list)
{
    list.Append(makeStep(98.0, 5, 0));
}

void changeCount(CyclerStepRecord &loop, int delta)
{
    loop.NumberOfStepsInsideLoop = uint16_t(std::clamp<int>(loop.NumberOfStepsInsideLoop + delta, 0, 65535));
}

int information(const QString &text, PromptIcon icon)
{
    return Prompts::message(text, QStringLiteral("Information"), Ok, icon);
}

std::vector<CyclerStepRecord> copyRecords(const CyclerStepList &list)
{
    std::vector<CyclerStepRecord> out;
    out.reserve(size_t(list.Count()));
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(*list.at(i));
    return out;
}

} // namespace

QString CycleLimitText()
{
    return QStringLiteral("You have exceeded 999 loop cycles.  Please reduce to 999 or less!");
}

// ---- Commands -----------------------------------------------------------------------------

int ProtocolNew(CyclerStepList &list)
{
    list.Clear();
    list.Append(makeStep(98.0, 0, 30));
    list.Append(makeLoop(3, 35));
    list.Append(makeStep(98.0, 0, 5));
    list.Append(makeStep(65.0, 0, 10));
    list.Append(makeStep(72.0, 0, 30));
    list.Append(makeStep(72.0, 5, 0));
    list.Append(makeStep(4.0, 0, 0, true));
    list.RecomputeIndents();
    return 0;
}

std::vector<int> WalkEnclosingLoops(CyclerStepList &list, int from, const CyclerStepRecord &moved, int delta)
{
    std::vector<int> changed;
    // Only a step two levels deep looks for the nested loop that holds it. A step of the
    // top-level body met on the way back means the records after it lie in no nested loop.
    bool nestedSearch = moved.isStep() && moved.Indent == 40;
    for (int k = std::min(from, list.Count() - 1); k >= 0; --k) {
        CyclerStepRecord &r = *list.at(k);
        if (r.isLoop() && r.Indent == 0) {
            changeCount(r, delta);
            changed.push_back(k);
            break;
        }
        if (r.isLoop() && r.Indent == 20 && nestedSearch) {
            changeCount(r, delta);
            changed.push_back(k);
            nestedSearch = false;
            continue;
        }
        if (r.Indent == 0)
            break;
        if (r.isStep() && r.Indent == 20 && k != from)
            nestedSearch = false;
    }
    return changed;
}

int ProtocolNewStep(CyclerStepList &list, int selected)
{
    if (list.isEmpty()) {
        addDefaultStep(list);
        list.RecomputeIndents();
        return 0;
    }
    const int p = (selected >= 0 && selected < list.Count()) ? selected : list.Count() - 1;
    const CyclerStepRecord &r = *list.at(p);
    if (r.isStep()) {
        auto copy = std::make_unique<CyclerStepRecord>(r);
        WalkEnclosingLoops(list, p, *copy, +1);
        list.Insert(p, std::move(copy));
    } else {
        CyclerStepRecord *added = list.Insert(p, makeStep(65.0, 0, 10, false, r.Indent + 20));
        WalkEnclosingLoops(list, p, *added, +1);
    }
    list.RecomputeIndents();
    return p;
}

NewLoopResult ProtocolNewLoop(CyclerStepList &list, int selected)
{
    NewLoopResult result;
    auto refuse = [&result](const QString &text, PromptIcon icon) {
        result.message = text;
        information(text, icon);
        return result;
    };
    if (list.LoopItemCount() >= MaxProtocolLoops)
        return refuse(QStringLiteral("Max loop steps reached!"), PromptIcon::None);
    const int sum = list.CycleSum();
    if (sum == MaxCycleSum)
        return refuse(QStringLiteral("Max loop cycles reached"), PromptIcon::None);
    if (sum > MaxCycleSum)
        return refuse(CycleLimitText(), PromptIcon::Warning);
    if (list.isEmpty())
        return result;
    const int p = (selected >= 0 && selected < list.Count()) ? selected : list.Count() - 1;
    const CyclerStepRecord r = *list.at(p);
    const QString nested = QStringLiteral("Can't add nested loop here!");
    if (r.isStep()) {
        if (r.Indent >= 40)
            return refuse(nested, PromptIcon::Information);
        list.Insert(p, makeLoop(1, 9, r.Indent));
        if (r.Indent == 20) {
            for (int k = p - 1; k >= 0; --k) {
                CyclerStepRecord &outer = *list.at(k);
                if (outer.isLoop() && outer.Indent == 0) {
                    changeCount(outer, +1);
                    break;
                }
            }
        }
    } else {
        if (r.Indent != 0)
            return refuse(nested, PromptIcon::Information);
        const int n = r.NumberOfStepsInsideLoop;
        for (int k = p + 1; k <= p + n && k < list.Count(); ++k)
            if (list.at(k)->isLoop())
                return refuse(nested, PromptIcon::Information);
        // The new loop wraps L and its body; its cycles are L's step count.
        list.Insert(p, makeLoop(n + 1, n, 0));
    }
    list.RecomputeIndents();
    result.select = p;
    return result;
}

int ProtocolDelete(CyclerStepList &list, int selected)
{
    const int n = list.Count();
    if (n == 0 || selected < 0 || selected >= n)
        return -1;
    if (n == 2) {
        if (selected == 0) {
            list.Delete(0);
        } else if (list.at(1)->isStep()) {
            // A loop and its one step: the loop goes, the step stays.
            list.Delete(list.at(0)->isStep() ? 1 : 0);
        }
        list.RecomputeIndents();
        return std::min(selected, list.Count() - 1);
    }
    const CyclerStepRecord removed = *list.at(selected);
    if (removed.Indent == 0) {
        list.Delete(selected);
    } else {
        const std::vector<int> changed = WalkEnclosingLoops(list, selected, removed, -1);
        list.Delete(selected);
        int nested = -1, top = -1;
        for (int k : changed)
            (list.at(k)->Indent == 0 ? top : nested) = k;
        if (nested >= 0 && list.at(nested)->NumberOfStepsInsideLoop == 0) {
            list.Delete(nested);
            if (top >= 0)
                changeCount(*list.at(top), -1);
        }
        if (top >= 0 && list.at(top)->NumberOfStepsInsideLoop == 0)
            list.Delete(top);
    }
    if (list.isEmpty())
        addDefaultStep(list);
    list.RecomputeIndents();
    return std::min(selected, list.Count() - 1);
}

// ---- Detail panels ------------------------------------------------------------------------

std::optional<QString> ClampInspectorValue(const QString &caption, const QString &value)
{
    const QString text = value.trimmed();
    struct Range {
        const char *caption;
        const char *empty;
        double low, high;
        const char *lowText, *highText;
    };
    static const Range ranges[] = {
        {"Temperature", "60.0", 4.0, 99.9, "04.0", "99.9"},
        {"Ramp Rate", "7.0", 0.1, 7.0, "0.1", "7.0"},
        {"Temp Increment", "0.0", -95.9, 95.9, "-95.9", "95.9"},
    };
    for (const Range &r : ranges) {
        if (caption != QLatin1String(r.caption))
            continue;
        if (text.isEmpty())
            return QString::fromLatin1(r.empty);
        const auto v = ParseTemperatureText(text);
        if (!v)
            return std::nullopt;
        if (*v > r.high)
            return QString::fromLatin1(r.highText);
        if (*v < r.low)
            return QString::fromLatin1(r.lowText);
        return text;
    }
    if (caption == QLatin1String("Cycles")) {
        const auto v = ParseInteger(text.toStdString());
        if (!v)
            return std::nullopt;
        if (*v <= 0)
            return QStringLiteral("1");
        if (*v > MaxCycleSum)
            return QString::number(MaxCycleSum);
        return QString::number(*v);
    }
    return value;
}

int AvailableLoopSteps(const CyclerStepList &list, int position)
{
    const CyclerStepRecord *loop = list.at(position);
    if (!loop || !loop->isLoop())
        return 0;
    int count = 0;
    for (int k = position + 1; k < list.Count(); ++k) {
        const CyclerStepRecord &r = *list.at(k);
        if (loop->Indent == 0) {
            if (r.isLoop() && r.Indent == 0)
                break;
            ++count;
        } else {
            if (r.isLoop())
                break;
            if (r.Indent != 0)
                ++count;
        }
    }
    return count;
}

bool LoopStepsFit(const CyclerStepList &list, int position, int steps)
{
    if (!list.at(position) || !list.at(position)->isLoop() || steps < 0 || steps > 65535)
        return false;
    std::vector<CyclerStepRecord> records = copyRecords(list);
    records[size_t(position)].NumberOfStepsInsideLoop = uint16_t(steps);
    return LoopsNestProperly(records);
}

QString LoopStepsRefusedText()
{
    return QStringLiteral("With this number of steps the loop would end inside a nested loop. "
                          "Please choose another number of steps!");
}

StepValues StepPanelValues(const CyclerStepRecord &r)
{
    StepValues v;
    v.temperature = FormatDisplayNumber(r.Temperature);
    v.time = FormatMinutesSeconds(r.IncubationTime);
    v.rampRate = FormatDisplayNumber(r.RampRate);
    v.timeChange = FormatMinutesSeconds(r.IncubationTimeIncrementPerCycle);
    v.temperatureChange = FormatDisplayNumber(r.TemperatureIncrementPerCycle);
    v.decrement = r.DecrementTime != 0;
    v.hold = r.InfiniteHoldOn != 0;
    return v;
}

bool ApplyStepValues(CyclerStepRecord &record, const StepValues &v)
{
    const auto temperature = ParseTemperatureText(v.temperature);
    const auto time = ParseMinutesSeconds(v.time);
    const auto ramp = ParseTemperatureText(v.rampRate);
    const auto change = ParseMinutesSeconds(v.timeChange);
    const auto tempChange = ParseTemperatureText(v.temperatureChange);
    if (!temperature || !time || !ramp || !change || !tempChange)
        return false;
    const auto shown = ParseTemperatureText(FormatDisplayNumber(*temperature));
    if (!shown)
        return false;
    record.Temperature = *shown;
    record.IncubationTime = *time;
    record.RampRate = *ramp;
    record.IncubationTimeIncrementPerCycle = *change;
    record.TemperatureIncrementPerCycle = *tempChange;
    record.DecrementTime = v.decrement ? 1 : 0;
    record.InfiniteHoldOn = v.hold ? 1 : 0;
    return true;
}

// ---- The list's texts ---------------------------------------------------------------------

bool StepNeedsWarning(const CyclerStepRecord &r)
{
    return r.RampRate != 7.0 || MinuteSecondTotal(r.IncubationTimeIncrementPerCycle) != 0
        || r.TemperatureIncrementPerCycle != 0.0 || r.DecrementTime != 0;
}

ProtocolItemView ProtocolItem(const CyclerStepRecord &r, int position)
{
    ProtocolItemView v;
    v.isStep = r.isStep();
    v.indent = r.Indent;
    v.caption = QString::number(position + 1);
    if (r.isStep()) {
        v.info = FormatDisplayNumber(r.Temperature) + QStringLiteral("C°");
        v.notes = QStringLiteral("Duration:  ") + FormatMinutesSeconds(r.IncubationTime);
        const bool hold = r.InfiniteHoldOn != 0;
        const bool warning = StepNeedsWarning(r);
        if (warning && hold) {
            v.left = ItemPicture::Warning;
            v.right = ItemPicture::Hold;
        } else if (warning) {
            v.left = ItemPicture::Step;
            v.right = ItemPicture::Warning;
        } else {
            v.left = ItemPicture::Step;
            v.right = hold ? ItemPicture::Hold : ItemPicture::None;
        }
    } else {
        v.info = QStringLiteral("Loop Step");
        v.notes = QStringLiteral("Steps: %1   Cycles: %2").arg(r.NumberOfStepsInsideLoop).arg(r.NumberOfCyclesToLoop);
        v.left = ItemPicture::Loop;
    }
    return v;
}

QString ProtocolFooter(const CyclerStepList &list)
{
    return QStringLiteral("Temp. Steps: %1   Loops: %2   Cycles: %3")
        .arg(list.StepItemCount())
        .arg(list.LoopItemCount())
        .arg(list.CycleSum());
}

EditButtons ProtocolEditButtons(int itemCount, int selected)
{
    EditButtons b;
    b.newStep = b.newLoop = itemCount != MaxProtocolItems;
    b.deleteStep = itemCount >= 2 && selected >= 0 && selected < itemCount;
    return b;
}

// ---- The graph ----------------------------------------------------------------------------

std::vector<GraphPoint> ProtocolGraphPoints(const CyclerStepList &list)
{
    std::vector<GraphPoint> points;
    const int n = list.Count();
    if (n == 0)
        return points;
    points.reserve(size_t(n) + 1);

    // The temperature a loop is drawn at: the next step after it, else the nearest step
    // before it, else 0.
    std::vector<double> nextStep(size_t(n) + 1, std::nan(""));
    for (int i = n - 1; i >= 0; --i)
        nextStep[size_t(i)] = list.at(i)->isStep() ? list.at(i)->Temperature : nextStep[size_t(i) + 1];
    double lastStep = std::nan("");

    auto seconds = [](double time) {
        const TimeParts p = DecodeTime(time);
        return qint64(p.hours) * 3600 + p.minutes * 60 + p.seconds;
    };
    qint64 x = 0;
    for (int i = 0; i < n; ++i) {
        const CyclerStepRecord &r = *list.at(i);
        const QString label = QStringLiteral("Step ") + QString::number(i + 1);
        x += seconds(r.IncubationTime);
        if (r.isStep()) {
            const GraphColour colour = r.InfiniteHoldOn ? GraphColour::Blue : GraphColour::Red;
            if (i == 0)
                points.push_back({0, r.Temperature, QString(), colour});
            points.push_back({x, r.Temperature, label, colour});
            lastStep = r.Temperature;
        } else {
            x += seconds(r.IncubationTime);
            double t = nextStep[size_t(i) + 1];
            if (std::isnan(t))
                t = std::isnan(lastStep) ? 0.0 : lastStep;
            if (i == 0)
                points.push_back({0, t, QString(), GraphColour::Green});
            points.push_back({x, t, QStringLiteral("Loop ") + label, GraphColour::Green});
        }
    }
    return points;
}

// ---- Files ---------------------------------------------------------------------------------

SaveProposal ProposedSaveName(const QString &openedPath, const QString &saveFileName, const QString &name,
                              const QString &defaultFolder)
{
    SaveProposal p;
    p.directory = defaultFolder;
    const QString proposed = !openedPath.isEmpty() ? openedPath
                           : !saveFileName.isEmpty() ? saveFileName
                           : name + QStringLiteral(".SVP");
    const QFileInfo info(proposed);
    if (info.isAbsolute()) {
        p.directory = info.absolutePath();
        p.fileName = info.fileName();
    } else {
        p.fileName = proposed;
    }
    while (p.directory.size() > 1 && (p.directory.endsWith(QLatin1Char('/')) || p.directory.endsWith(QLatin1Char('\\'))))
        p.directory.chop(1);
    return p;
}

// ---- Save changes to Duvo -----------------------------------------------------------------

bool IsProtectedProtocolName(const QString &name)
{
    return name == QLatin1String("DEFAULT") || IsServiceProtocol(name.toStdString());
}

UpdateOutcome UpdateDeviceProtocol(DeviceFileOperations &ops, const CyclerStepList &list, const QString &ip,
                                   const QString &folder, const QString &name,
                                   const std::function<void()> &beforeLoad)
{
    if (list.CycleSum() > MaxCycleSum) {
        Prompts::message(CycleLimitText(), QStringLiteral("Information"), Ok, PromptIcon::Warning);
        return UpdateOutcome::CycleLimit;
    }
    if (IsProtectedProtocolName(name)) {
        information(QStringLiteral("The ") + name + QStringLiteral(" protocol can not be updated with Duvo Studio!"),
                    PromptIcon::Information);
        return UpdateOutcome::ServiceProtocol;
    }
    std::string document;
    if (!list.WriteProtocolXml(name, document)) {
        // Nothing to load: the instrument keeps its protocol.
        Prompts::error(QStringLiteral("There was an error creating the protocol!"));
        return UpdateOutcome::NoDocument;
    }
    const std::string ipText = ip.toStdString();
    const std::string folderText = folder.toStdString();
    const std::string file = name.toStdString();
    if (!ops.DeleteDeviceProtocol(ipText, folderText, file)) {
        Prompts::error(QStringLiteral("There was an error deleting file ") + name + QStringLiteral("!"));
        return UpdateOutcome::DeleteFailed;
    }
    if (beforeLoad)
        beforeLoad();
    if (!ops.LoadProtocolToDevice(ipText, folderText, file, document)) {
        Prompts::error(QStringLiteral("There was an error updating ") + folder + QStringLiteral("/") + name +
                       QStringLiteral("!"));
        return UpdateOutcome::LoadFailed;
    }
    information(QStringLiteral("Update completed."), PromptIcon::Information);
    return UpdateOutcome::Updated;
}

} // namespace duvo
