#include "mainwindow/DeviceLog.h"

#include "link/CommandDocs.h"
#include "link/DecimalText.h"
#include "link/NetCommand.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace {

const char *const kLineBreak = "\r\n";

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

std::string LogTimeText(int64_t secondsUtc)
{
    static const char *const weekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t days = floorDiv(secondsUtc, 86400);
    // Taken from the remainder: days * 86400 leaves the 64-bit range for the earliest times.
    int64_t secondOfDay = secondsUtc % 86400;
    if (secondOfDay < 0)
        secondOfDay += 86400;
    // Civil date of a day count from 1970-01-01 (proleptic Gregorian calendar).
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const int64_t weekday = days + 4 - floorDiv(days + 4, 7) * 7;  // 1970-01-01 was a Thursday

    char out[96];
    std::snprintf(out, sizeof out, "%s %s %02d %02d:%02d:%02d %4lld\n", weekdays[weekday], months[month - 1],
                  int(day), int(secondOfDay / 3600), int(secondOfDay % 3600 / 60), int(secondOfDay % 60),
                  static_cast<long long>(year));
    return out;
}

bool ParseWholeSeconds(const std::string &text, int64_t &seconds)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const bool plus = i < text.size() && text[i] == '+';
    if (plus)
        ++i;  // from_chars takes '-' but not '+'
    if (i >= text.size() || (plus && (text[i] < '0' || text[i] > '9')))
        return false;
    const char *last = text.data() + text.size();
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, last, value, 10);
    if (ec != std::errc() || end != last)
        return false;
    seconds = value;
    return true;
}

std::string SeverityWord(const std::string &severity)
{
    if (severity == "0")
        return "Error";
    if (severity == "1")
        return "Warning";
    if (severity == "2")
        return "Note";
    return severity;
}

DeviceLogReport BuildDeviceLogReport(const std::string &reply)
{
    DeviceLogReport report;
    std::string startTime, runTime, path;
    bool ok = false;
    GetProtocolLog_Ret_Doc(reply, startTime, runTime, path, ok);
    if (!ok) {
        report.result = DeviceLogReportResult::NoLog;
        report.detail = "no ProtocolLog in the reply";
        return report;
    }

    std::vector<std::string> lines;
    int64_t seconds = 0;
    if (!ParseWholeSeconds(startTime, seconds)) {
        report.result = DeviceLogReportResult::BadValue;
        report.detail = "StartTime \"" + startTime + "\" is not a whole number";
        return report;
    }
    lines.push_back("Duvo Log Report");
    lines.push_back("");
    lines.push_back("Start time: " + LogTimeText(seconds));
    lines.push_back("Run time: " + FormatDuration(ParseDecimal(runTime)));
    lines.push_back("Path: " + path);
    lines.push_back("");

    int count = 0;
    GetProtocolLogErrorCount_Ret_Doc(reply, count, ok);
    if (!ok) {
        report.result = DeviceLogReportResult::ErrorListUnreadable;
        report.detail = "the Errors list cannot be read";
        return report;
    }
    for (int i = 0; i < count; ++i) {
        ProtocolLogEntry e;
        GetProtocolLogError_Ret_Doc(reply, i, e, ok);
        if (!ok) {
            report.result = DeviceLogReportResult::ErrorUnreadable;
            report.detail = "Error " + std::to_string(i + 1) + " lacks a field";
            return report;
        }
        int64_t stamp = 0;
        if (!ParseWholeSeconds(e.TimeStamp, stamp)) {
            report.result = DeviceLogReportResult::BadValue;
            report.detail = "TimeStamp \"" + e.TimeStamp + "\" is not a whole number";
            return report;
        }
        lines.push_back("Event No." + std::to_string(i + 1));
        lines.push_back("Code: " + e.Code);
        lines.push_back("Manual code: " + e.ManualCode);
        lines.push_back("Error Text: " + e.ErrorText);
        lines.push_back("Action Text: " + e.ActionText);
        lines.push_back("Severity: " + SeverityWord(e.Severity));
        lines.push_back("Time stamp: " + LogTimeText(stamp));
        lines.push_back("");
    }

    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            report.text += kLineBreak;
        report.text += lines[i];
    }
    report.result = DeviceLogReportResult::Ok;
    return report;
}

bool FetchDeviceLog(TcpClient &client, duvo::GeneralLog &log, const std::string &ip, std::string &reply)
{
    const NetReply r = SendInstrumentCommand(client, ip, GetProtocolLog_doc("1"),
                                             NetCommandCall("GetProtocolLog_doc").titled("GetProtocolLog").textOnly());
    if (r.netFailed) {
        log.WriteLine(r.error);
        log.Dump();
        return false;
    }
    if (!r.ok) {
        log.WriteLine(QString::fromStdString(r.statusMessage) + r.errorTitle);
        log.Dump();
        return false;
    }
    reply = r.text;
    return true;
}
