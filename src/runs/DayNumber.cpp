#include "runs/DayNumber.h"

#include <cmath>

namespace duvo {

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;

} // namespace

double DayNumberFromFields(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return 0.0;
    const qint64 days = kEpoch.daysTo(date);
    const qint64 ms = time.isValid() ? time.msecsSinceStartOfDay() : 0;
    const double fraction = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
    // Before the epoch the time of day still counts forwards, after the minus sign.
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

double DayNumberFromDateTime(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    return DayNumberFromFields(local.date(), local.time());
}

double DayNumberNow()
{
    return DayNumberFromDateTime(QDateTime::currentDateTime());
}

bool FieldsFromDayNumber(double dayNumber, QDate &date, QTime &time)
{
    // Years 100 to 9999.
    if (!std::isfinite(dayNumber) || dayNumber < -657434.0 || dayNumber >= 2958466.0)
        return false;
    double whole = 0.0;
    const double fraction = std::fabs(std::modf(dayNumber, &whole));
    qint64 days = static_cast<qint64>(whole);
    qint64 ms = std::llround(fraction * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {  // 23:59:59.9996 rounds into the next day (later, on both sides)
        ms -= kMsPerDay;
        days += 1;
    }
    // -0.25 has the whole part -0: 30 December 1899 06:00, as 0.25
    date = kEpoch.addDays(days);
    time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
    return date.isValid() && time.isValid();
}

QDateTime DateTimeFromDayNumber(double dayNumber)
{
    QDate date;
    QTime time;
    if (!FieldsFromDayNumber(dayNumber, date, time))
        return {};
    QDateTime local(date, time, Qt::LocalTime);
    if (local.isValid())
        return local;
    // A wall-clock time the clocks skipped: read it with the offset in force before the
    // change (02:30 on the morning of a one-hour change comes back as 03:30).
    const QDateTime asUtc(date, time, Qt::UTC);
    const int offset = asUtc.addSecs(-6 * 3600).toLocalTime().offsetFromUtc();
    return QDateTime::fromMSecsSinceEpoch(asUtc.toMSecsSinceEpoch() - qint64(offset) * 1000, Qt::LocalTime);
}

LocalClock SystemLocalClock()
{
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace duvo
