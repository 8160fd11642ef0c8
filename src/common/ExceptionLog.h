#pragma once
// The exception log "DuvoException.txt" (ZavExceptionLog1): every exception that reaches the
// event loop or ends the process is written there while the log is active.

#include <QMutex>
#include <QString>

namespace duvo {

class ExceptionLog {
public:
    void setFileName(const QString &path);
    QString fileName() const;
    void setActive(bool on);
    bool active() const;
    // Appends one entry with the time, where it was caught and the exception's text.
    void LogException(const QString &where, const QString &what);

private:
    mutable QMutex FMutex;
    QString FFileName;
    bool FActive = true;
};

} // namespace duvo
