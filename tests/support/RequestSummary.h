#pragma once
// A simulated instrument's request in short: its command and the texts of its fields but the
// protocol document ("LoadProtocol OPEN pcr4", "DelFile OPEN/PCR3", "SetAttrValue DATA
// password AB12").

#include "duvosim/SimLab.h"

#include <QRegularExpression>
#include <QString>

namespace duvo::test {

inline QString RequestSummary(const duvosim::SimRequestLogEntry &e)
{
    QString out = QString::fromStdString(e.command);
    static const QRegularExpression field(QStringLiteral("<(\\w+)>([^<]*)</\\1>"));
    auto it = field.globalMatch(QString::fromStdString(e.bytes));
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.captured(1) != QLatin1String("Protocol"))
            out += QLatin1Char(' ') + m.captured(2);
    }
    return out;
}

} // namespace duvo::test
