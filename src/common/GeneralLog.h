#pragma once
// The general log "DuvoGeneral.txt" (ZavLog1): lines are appended to a buffer and written
// to the file when Dump() is called (or the log is destroyed). Disabled, it drops lines.

#include <QMutex>
#include <QString>
#include <QStringList>

namespace duvo {

class GeneralLog {
public:
    GeneralLog() = default;
    ~GeneralLog();
    GeneralLog(const GeneralLog &) = delete;
    GeneralLog &operator=(const GeneralLog &) = delete;

    void setFileName(const QString &path);
    QString fileName() const;
    void setEnabled(bool on);
    bool enabled() const;

    void WriteLine(const QString &line);
    // Writes the buffered lines to the file (append). Returns false when the file fails.
    bool Dump();

private:
    mutable QMutex FMutex;
    QString FFileName;
    bool FEnabled = true;
    QStringList FPending;
};

} // namespace duvo
