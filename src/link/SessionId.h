#pragma once
// Run session IDs: the key of a run's records and the name of its plot file. Eight decimal
// numbers written one after the other without separators or padding: year, month, day, hour,
// minute, second, millisecond and a random number from 0 to 32766
// (5 March 2009 14:07:09.045 with 123 gives "200935147945123").

#include <QDateTime>
#include <QString>
#include <functional>

namespace duvo {

// Where MakeSessionId takes its time and its random number from; tests put in their own.
struct SessionIdSource {
    std::function<void(int ms)> wait;   // waits before the clock is read (100 ms)
    std::function<QDateTime()> now;     // the local date and time, read once
    std::function<int()> random;        // a number from 0 to 32766
    static SessionIdSource system();
};

QString FormatSessionId(const QDateTime &when, int random);

// Waits 100 ms, then writes a new session ID into id; always returns true.
bool MakeSessionId(QString &id);
bool MakeSessionId(QString &id, const SessionIdSource &source);

} // namespace duvo
