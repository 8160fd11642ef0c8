#pragma once
// What one status reply shows in the run monitor: the mode line, the run buttons, the value
// displays (or their reset), and whether the run has completed. Pure: the window applies it.
//
//   Mode "Running", State "2"            -> "Running [Ok]", values shown, Start off
//   Mode "Stopped", InfiniteHold "false" -> "Stopped [Ok]", displays reset
//   Mode "Stopped", InfiniteHold "true"  -> "Stopped [on hold] [Ok]", displays kept
//   Mode "Completed", InfiniteHold "true"-> "Completed [press Stop] [Ok]", session finished

#include "link/CommandDocs.h"

#include <QString>
#include <optional>
#include <string>

namespace duvo {

struct RunButtons {
    bool start = false;
    bool next = false;
    bool pause = false;
    bool stop = false;
    bool operator==(const RunButtons &) const = default;
};

// The value displays of a reply that shows values.
struct RunStatusValues {
    QString volume;                 // lblVolume, "%02.0f"
    int totalSteps = 0, steps = 0, cycles = 0, cycle = 0;  // the four counts
    QString folder, file;           // lblFolder, lblFile
    QString tempBlock, incCycle, ramp;               // "%02.1f"
    QString stepHold, stepRamp, stepLeft, holdInc;   // durations
    int totalHours = 0, totalMin = 0, totalSec = 0;  // TotalTime
    int hours = 0, min = 0, sec = 0;                 // TimeLeft
    double targetTemp = 0.0;        // the chart point and the plot line
};

enum class RunDisplayKind {
    Values,      // the value displays show the reply
    Reset,       // the reset display
    Kept,        // the displays keep what they show (Stopped on hold)
};

struct RunStatusDisplay {
    bool readable = false;          // false: "??XML ERROR??", reset, all buttons off
    QString mode;                   // lblMode
    std::string runMode;            // FRunMode after the reply (Mode when readable)
    std::optional<RunButtons> buttons;  // empty: the buttons stay as they are
    RunDisplayKind kind = RunDisplayKind::Reset;
    RunStatusValues values;         // for Values
    bool completed = false;         // Mode "Completed": end the session
    QString badCount;               // a count that is no whole number ("12.5"); shown as 0
};

// The text a run monitor shows for an unreadable reply.
inline constexpr char kXmlErrorMode[] = "??XML ERROR??";

// The status reply read with GetStatus_Ret_Doc; ok is the reader's flag.
RunStatusDisplay InterpretRunStatus(const InstrumentStatus &status, bool ok);

// " [" + State + "]" with 0 -> Error, 1 -> Warning, 2 and 3 -> Ok.
QString StateSuffix(const std::string &state);

// C "%0<width>.<decimals>f" in the C locale ("%02.0f" of 5 is "05", "%02.1f" of 2.5 is "2.5").
QString FormatPaddedFixed(double value, int width, int decimals);

// A strict whole number: optional blanks, an optional sign and decimal digits, fitting an int.
bool StrictInteger(const std::string &text, int &value);

} // namespace duvo
