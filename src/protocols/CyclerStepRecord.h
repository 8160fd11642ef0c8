#pragma once
// One record of a protocol (a temperature step or a loop), the time values its hold times are
// kept in, and the locale-independent number texts the protocol document and the editor use.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace duvo {

// A time value: a fraction of a day (1.0 is 24 hours), as the editor's time fields keep it.
double EncodeTime(int hours, int minutes, int seconds, int milliseconds = 0);

struct TimeParts {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int milliseconds = 0;
};
// Splits a time value into its parts (the whole days are dropped, the value is rounded to
// whole milliseconds).
TimeParts DecodeTime(double time);

// Minutes x 60 + seconds of a time value: what a hold time means to the instrument (hours and
// milliseconds are dropped).
int MinuteSecondTotal(double time);

enum : uint16_t { LoopStepType = 0, TemperatureStepType = 1 };

struct CyclerStepRecord {
    uint16_t StepType = TemperatureStepType;   // 1 temperature step, 0 loop
    uint16_t NumberOfStepsInsideLoop = 0;      // loop: records of its body
    uint16_t NumberOfCyclesToLoop = 0;         // loop: cycles
    double Temperature = 0.0;                  // step: target in degrees C
    double IncubationTime = 0.0;               // step: hold time (time value, mm:ss used); loop: 20 s
    double RampRate = 0.0;                     // step: degrees C per second
    double IncubationTimeIncrementPerCycle = 0.0; // step: time change per cycle (time value)
    uint8_t DecrementTime = 0;                 // step: the time change is subtracted
    double TemperatureIncrementPerCycle = 0.0; // step: signed change per cycle
    uint8_t InfiniteHoldOn = 0;                // step: holds until told to go on
    int16_t Indent = 0;                        // 20 x nesting depth, derived from the loop counts

    bool isLoop() const { return StepType == LoopStepType; }
    bool isStep() const { return StepType == TemperatureStepType; }
    bool operator==(const CyclerStepRecord &) const = default;
};

// Fixed-point text of a number: at least minIntegerDigits integer digits, exactly `decimals`
// decimals, '.' as separator, '-' for negatives, no thousands separator, whatever the locale.
// Rounds half away from zero on the number's 15 significant digits, so 0.15 gives "0.2" with
// one decimal. A value that rounds to zero carries no sign.
//   FormatFixed(98, 1, 6) == "98.000000", FormatFixed(4, 2, 1) == "04.0"
std::string FormatFixed(double value, int minIntegerDigits, int decimals);
// The document's number format "0.000000".
inline std::string FormatDocumentNumber(double value) { return FormatFixed(value, 1, 6); }
// The editor's display format "00.0".
inline QString FormatDisplayNumber(double value)
{ return QString::fromStdString(FormatFixed(value, 2, 1)); }

// A decimal number with '.' as separator, whatever the locale: optional blanks around it, an
// optional sign, digits with an optional fraction and exponent, and nothing else. Infinite and
// NaN texts are refused.
std::optional<double> ParseDecimal(std::string_view text);
// A whole decimal number: optional blanks around it, an optional sign, digits only.
std::optional<long long> ParseInteger(std::string_view text);
// The editor's reading of a temperature text: when the text holds no '.', every ',' becomes
// '.', then a plain decimal parse.
std::optional<double> ParseTemperatureText(const QString &text);

// "mm:ss" of a time value's minutes and seconds.
QString FormatMinutesSeconds(double time);
// A time text of the editor: "mm:ss" gives that many minutes and seconds (each 0 to 59); a text
// without ':' gives 00:00. Anything else is refused.
std::optional<double> ParseMinutesSeconds(const QString &text);

} // namespace duvo
