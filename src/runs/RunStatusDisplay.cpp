#include "runs/RunStatusDisplay.h"

#include "link/DecimalText.h"
#include "runs/RunPlotFile.h"

#include <charconv>
#include <cmath>

namespace duvo {

QString StateSuffix(const std::string &state)
{
    if (state == "0")
        return QStringLiteral(" [Error]");
    if (state == "1")
        return QStringLiteral(" [Warning]");
    if (state == "2" || state == "3")
        return QStringLiteral(" [Ok]");
    return QStringLiteral(" [") + QString::fromStdString(state) + QStringLiteral("]");
}

QString FormatPaddedFixed(double value, int width, int decimals)
{
    char buffer[400];
    const size_t n = FormatFixed(buffer, sizeof buffer, value, decimals);
    std::string text(buffer, n);
    if (n == 0)
        text = "0";
    const bool negative = !text.empty() && text[0] == '-';
    if (static_cast<int>(text.size()) < width)
        text.insert(negative ? 1 : 0, static_cast<size_t>(width) - text.size(), '0');
    return QString::fromStdString(text);
}

bool StrictInteger(const std::string &text, int &value)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const char *first = text.data() + i;
    const char *last = text.data() + text.size();
    if (first < last && *first == '+')
        ++first;
    if (first == last)
        return false;
    int v = 0;
    const auto r = std::from_chars(first, last, v, 10);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    value = v;
    return true;
}

namespace {

void splitDuration(const std::string &text, int &h, int &m, int &s)
{
    const double v = ParseDecimal(text);
    h = m = s = 0;
    if (!(v > 0.0) || !std::isfinite(v))
        return;
    const double whole = std::floor(v);
    const long long total = whole >= 9.2e18 ? 0 : static_cast<long long>(whole);
    const long long hours = total / 3600;
    h = static_cast<int>(std::min<long long>(hours, 99));
    m = static_cast<int>((total % 3600) / 60);
    s = static_cast<int>(total % 60);
}

int count(const std::string &text, QString &bad)
{
    int v = 0;
    if (StrictInteger(text, v))
        return std::clamp(v, 0, 99999);
    if (bad.isEmpty())
        bad = QString::fromStdString(text);
    return 0;
}

QString duration(const std::string &text)
{
    return QString::fromStdString(FormatDuration(ParseDecimal(text)));
}

} // namespace

RunStatusDisplay InterpretRunStatus(const InstrumentStatus &st, bool ok)
{
    RunStatusDisplay d;
    if (!ok) {
        d.readable = false;
        d.mode = QLatin1String(kXmlErrorMode);
        d.buttons = RunButtons{};
        d.kind = RunDisplayKind::Reset;
        return d;
    }
    d.readable = true;
    const std::string &mode = st[StatusMode];
    const std::string &hold = st[StatusInfiniteHold];
    d.runMode = mode;
    const QString suffix = StateSuffix(st[StatusState]);
    const QString modeText = QString::fromStdString(mode);
    if (mode == "Stopped") {
        if (hold == "false") {
            d.mode = modeText + suffix;
            d.kind = RunDisplayKind::Reset;
            d.buttons = RunButtons{true, false, false, false};
        } else {
            d.mode = QStringLiteral("Stopped [on hold]") + suffix;
            d.kind = RunDisplayKind::Kept;
            d.buttons = RunButtons{true, false, false, true};
        }
        return d;
    }
    d.mode = modeText;
    if (hold == "true")
        d.mode += mode == "Completed" ? QStringLiteral(" [press Stop]") : QStringLiteral(" [on hold]");
    d.mode += suffix;
    if (mode == "Running")
        d.buttons = RunButtons{false, true, true, true};
    else if (mode == "Paused")
        d.buttons = RunButtons{true, false, false, true};
    else if (mode == "Completed") {
        d.buttons = RunButtons{false, false, false, true};
        d.completed = true;
    }
    d.kind = RunDisplayKind::Values;
    RunStatusValues &v = d.values;
    v.volume = FormatPaddedFixed(ParseDecimal(st[StatusVolume]), 2, 0);
    v.totalSteps = count(st[StatusSteps], d.badCount);
    v.steps = count(st[StatusStep], d.badCount);
    v.cycles = count(st[StatusCycles], d.badCount);
    v.cycle = count(st[StatusCycle], d.badCount);
    v.folder = QString::fromStdString(st[StatusFolder]);
    v.file = QString::fromStdString(st[StatusFile]);
    v.targetTemp = ParseDecimal(st[StatusTargetTemp]);
    v.tempBlock = FormatPaddedFixed(v.targetTemp, 2, 1);
    v.incCycle = FormatPaddedFixed(ParseDecimal(st[StatusTargetTempInc]), 2, 1);
    v.ramp = FormatPaddedFixed(ParseDecimal(st[StatusRampRate]), 2, 1);
    v.stepHold = duration(st[StatusHoldTime]);
    v.stepRamp = duration(st[StatusRampTime]);
    v.stepLeft = duration(st[StatusHoldTimeLeft]);
    v.holdInc = duration(st[StatusHoldTimeInc]);
    splitDuration(st[StatusTotalTime], v.totalHours, v.totalMin, v.totalSec);
    splitDuration(st[StatusTimeLeft], v.hours, v.min, v.sec);
    return d;
}

} // namespace duvo
