#pragma once
// The local day number: the date and time of the workstation's clock as days since
// 30 December 1899 00:00 local time, with the time of day as the fraction (noon on day 40512
// is 40512.5). Run records store it in log_tbl's date column and the plot file writes it at
// the start of every line; both read it back as a local wall-clock time.
//
// The number is made from the wall-clock fields (date and time of day), never from an offset
// to UTC, so a summer-time change does not shift it: 02:30 on the morning the clocks go back
// gives the same number both times it happens, and a wall-clock time that was skipped when
// the clocks went forward still turns into the number its fields spell.
//
// Days before 30 December 1899 are negative and keep the time of day as a positive fraction
// after the minus sign (-1.25 is 29 December 1899 06:00), as stored files have it.

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <functional>

namespace duvo {

// The local date and time `when` shows, as a day number (ms precision).
double DayNumberFromDateTime(const QDateTime &when);
// The same from the wall-clock fields themselves.
double DayNumberFromFields(const QDate &date, const QTime &time);
// Now, on the workstation's clock.
double DayNumberNow();

// The local date and time of a day number, rounded to the millisecond. A non-finite number, or
// one outside the years 100 to 9999, gives an invalid QDateTime. A wall-clock time that does
// not exist locally (skipped by a summer-time change) is read with the offset in force before
// the change, so it comes back that much
// later; a time that happens twice comes back as its first occurrence.
QDateTime DateTimeFromDayNumber(double dayNumber);
// Only the wall-clock fields (no time zone look-up): what the number spells.
bool FieldsFromDayNumber(double dayNumber, QDate &date, QTime &time);

// The workstation's clock, replaceable in tests.
using LocalClock = std::function<QDateTime()>;
LocalClock SystemLocalClock();

} // namespace duvo
