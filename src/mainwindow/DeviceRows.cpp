#include "mainwindow/DeviceRows.h"

#include "link/DecimalText.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <cmath>

QString DevicePictureIndex(const std::string &typeText)
{
    if (typeText == "SV cycler")
        return QStringLiteral("144");
    if (typeText == "DUVO 24")
        return QStringLiteral("145");
    if (typeText == "DUVO 96")
        return QStringLiteral("146");
    return QString();
}

QString RunStateWithHold(const std::string &runState, const std::string &infiniteHold)
{
    const QString state = QString::fromStdString(runState);
    if (infiniteHold != "true")
        return state;
    if (runState == "Stopped" || runState == "Running" || runState == "Paused")
        return state + QStringLiteral(" [on hold]");
    if (runState == "Completed")
        return state + QStringLiteral(" [press Stop]");
    return state;
}

QString StateLevel(const std::string &state)
{
    if (state == "0")
        return QStringLiteral("Error");
    if (state == "1")
        return QStringLiteral("Warning");
    if (state == "2" || state == "3")
        return QStringLiteral("Ok");
    return QString::fromStdString(state);
}

QString ClockCell(const std::string &clockText)
{
    if (clockText.size() < 12)
        return QStringLiteral("-");
    for (size_t i = 0; i < 12; ++i)
        if (clockText[i] < '0' || clockText[i] > '9')
            return QStringLiteral("-");
    auto num = [&](size_t from, size_t len) { return std::stoi(clockText.substr(from, len)); };
    const QDate date(num(8, 4), num(0, 2), num(2, 2));
    const QTime time(num(4, 2), num(6, 2));
    if (!date.isValid() || !time.isValid())
        return QStringLiteral("-");
    return QLocale().toString(date, QLocale::ShortFormat) + QStringLiteral("  ") + time.toString(QStringLiteral("hh:mm"));
}

double ToSeconds(const std::string &text)
{
    return ParseDecimal(text);
}

DeviceRowTexts DeviceRowCells(const DVDEVICEINFO_T &d)
{
    DeviceRowTexts c;
    c[0] = DevicePictureIndex(d.typeText);
    c[1] = QString::fromStdString(d.ipAddress);
    c[2] = QString::fromStdString(d.macText);
    c[3] = QString::fromStdString(d.typeText);
    c[12] = QString::fromStdString(d.message);
    if (d.unreachable) {
        c[4] = c[5] = QString();
        for (int i : {6, 7, 8, 9, 10, 11})
            c[i] = QStringLiteral("-");
        return c;
    }
    c[4] = QString::fromStdString(d.alias);
    c[5] = QString::fromStdString(d.location);
    c[6] = RunStateWithHold(d.runState, d.status[8]);
    c[7] = StateLevel(d.status[18]);
    c[8] = QString::fromStdString(d.totalTime);
    c[9] = QString::fromStdString(d.timeLeft);
    c[10] = QString::fromStdString(d.status[17]);
    c[11] = ClockCell(d.clockText);
    return c;
}

bool AlertDue(const DVDEVICEINFO_T &d)
{
    return d.alertArmed && !d.alertSent && !d.sessionId.empty();
}

bool CompletedAlertDue(const DVDEVICEINFO_T &d)
{
    return !d.unreachable && d.status[8] == "true" && d.runState == "Completed" && AlertDue(d);
}
