#pragma once
// The run plot file: "<SessionId>.DAT" in the folder of the main database, no header, one
// line per status pass while plotting: the local day number with six decimals, one blank,
// the block temperature with one decimal, CR LF ("40512.500000 95.0\r\n"). The decimal
// separator is '.' whatever the locale.
//
// Lines are written by the program's one plot writer thread, so a slow or stuck disk never
// holds up the windows: the GUI thread formats the line and queues it; the writer checks the
// free space, opens the file for appending, writes the line and closes it, one line after the
// other in the order they were queued, and reports each result back to the GUI thread.
//
//   const int me = RunPlotWriter::instance().addListener([this](PlotWriteResult r) { ... });
//   RunPlotWriter::instance().append(me, {RunPlotFilePath(DatabasePath, id), RunPlotLine(day, t), FreeDiskMB});
//   RunPlotWriter::instance().removeListener(me);   // later results are dropped

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace duvo {

// The folder part of the database path (with its trailing '/') + sessionId + ".DAT".
QString RunPlotFilePath(const QString &databasePath, const QString &sessionId);

// "%f %.1f" + CR LF, with '.' as the decimal point in every locale (never printf).
std::string RunPlotLine(double dayNumber, double temperature);

// Writes value as "%.*f" would in the C locale; returns the number of characters (0 when
// the buffer is too small).
size_t FormatFixed(char *buffer, size_t size, double value, int decimals);

// A line is written when the free space of the plot folder, read as an unsigned number, is
// 5 MB or more: -1 (a drive that cannot be measured) counts as plenty.
bool PlotSpaceSuffices(int freeMB);

enum class PlotWriteResult {
    Written,
    DiskFull,    // 4 MB or less free: nothing written, plotting must stop
    OpenFailed,  // the file could not be opened or written: "Can't write to plot file"
};

// Free megabytes of the folder of a path (-1 when unknown); runs on the writer thread.
using FreeSpaceFunction = std::function<int(const QString &path)>;

struct PlotJob {
    QString path;
    std::string line;
    FreeSpaceFunction freeSpace;  // empty: not checked
};

// The check, open, append and close of one line, on the calling thread.
PlotWriteResult WritePlotLine(const PlotJob &job);

class RunPlotWriter {
public:
    using Listener = std::function<void(PlotWriteResult)>;

    // The program's writer. Create it first on the GUI thread: results are delivered there.
    static RunPlotWriter &instance();

    RunPlotWriter();
    ~RunPlotWriter();
    RunPlotWriter(const RunPlotWriter &) = delete;
    RunPlotWriter &operator=(const RunPlotWriter &) = delete;

    // Registers a receiver of results (GUI thread); returns its id.
    int addListener(Listener listener);
    // Results still on their way to it are dropped.
    void removeListener(int id);

    // Queues one line; returns at once. Its result goes to the listener (if still there) by a
    // queued call on the GUI thread. A listener id of 0 wants no result.
    void append(int listener, PlotJob job);

    // Lines queued and not yet written (any thread).
    size_t pending() const;
    // Waits (processing no events) until the queue is empty or timeoutMs passed.
    bool waitIdle(int timeoutMs) const;

private:
    struct State;
    std::shared_ptr<State> FState;
};

} // namespace duvo
