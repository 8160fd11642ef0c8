#pragma once
// An instrument's run log: fetching it (GetProtocolLog with Count "1", the last run) and the
// text report made of it, which the text viewer shows.
//
// The report, one line each, joined with CR LF:
//   Duvo Log Report
//   (empty)
//   Start time: <StartTime as "Www Mmm dd hh:mm:ss yyyy" + LF, UTC>
//   Run time: <RunTime seconds as hh:mm:ss>
//   Path: <Path>
//   (empty)
// then per logged error i = 1, 2, ...: "Event No.i", "Code: ", "Manual code: ", "Error Text: ",
// "Action Text: ", "Severity: " (0 Error, 1 Warning, 2 Note, other texts as sent),
// "Time stamp: " (as the start time) and an empty line.

#include "common/GeneralLog.h"

#include <cstdint>
#include <string>

class TcpClient;

// Seconds since 1970 UTC as "%s %s %02d %02d:%02d:%02d %4d\n" with English three-letter
// weekday and month names ("Thu Jan 01 00:00:00 1970\n"), computed here for any 64-bit value
// (no C library time functions, no locale).
std::string LogTimeText(int64_t secondsUtc);

// A whole number of seconds: optional blanks, an optional sign and decimal digits, nothing
// else; false when the text is not such a number or does not fit in 64 bits.
bool ParseWholeSeconds(const std::string &text, int64_t &seconds);

// "0" Error, "1" Warning, "2" Note; any other text unchanged.
std::string SeverityWord(const std::string &severity);

enum class DeviceLogReportResult {
    Ok,
    NoLog,             // the reply holds no run log (or is not a GetProtocolLog reply)
    ErrorListUnreadable,
    ErrorUnreadable,   // a logged error lacks one of its fields
    BadValue,          // a start time or time stamp that is not a whole number
};

struct DeviceLogReport {
    DeviceLogReportResult result = DeviceLogReportResult::NoLog;
    std::string text;    // the report (bytes as the instrument sent them); complete only when Ok
    std::string detail;  // for the logs: what was wrong
};

// The report of a GetProtocolLog reply; reads the reply in the order the report is written,
// so the first fault found decides the result.
DeviceLogReport BuildDeviceLogReport(const std::string &reply);

// Fetches the last run log of the instrument at ip over the caller's client, with one retry.
// True with the reply; false after a failure, which is written to the general log (and the
// log flushed): "Error during GetProtocolLog_doc net command", or the instrument's error text
// followed directly by "Error GetProtocolLog XML parsing". Shows nothing.
bool FetchDeviceLog(TcpClient &client, duvo::GeneralLog &log, const std::string &ip, std::string &reply);
