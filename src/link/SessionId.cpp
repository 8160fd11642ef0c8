#include "link/SessionId.h"

#include <QRandomGenerator>
#include <QThread>

namespace duvo {

SessionIdSource SessionIdSource::system()
{
    SessionIdSource s;
    s.wait = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    s.now = [] { return QDateTime::currentDateTime(); };
    s.random = [] { return static_cast<int>(QRandomGenerator::global()->bounded(32767)); };
    return s;
}

QString FormatSessionId(const QDateTime &when, int random)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%d%d%d%d%d%d%d%d", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                             t.msec(), random);
}

bool MakeSessionId(QString &id, const SessionIdSource &source)
{
    if (source.wait)
        source.wait(100);
    const QDateTime now = source.now ? source.now() : QDateTime::currentDateTime();
    const int random = source.random ? source.random() : 0;
    id = FormatSessionId(now, random);
    return true;
}

bool MakeSessionId(QString &id)
{
    return MakeSessionId(id, SessionIdSource::system());
}

} // namespace duvo
