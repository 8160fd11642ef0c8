#include "runs/RunPlotFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace duvo {

QString RunPlotFilePath(const QString &databasePath, const QString &sessionId)
{
    const int slash = databasePath.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? databasePath.left(slash + 1) : QString();
    return folder + sessionId + QStringLiteral(".DAT");
}

size_t FormatFixed(char *buffer, size_t size, double value, int decimals)
{
    const auto r = std::to_chars(buffer, buffer + size, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return 0;
    return static_cast<size_t>(r.ptr - buffer);
}

std::string RunPlotLine(double dayNumber, double temperature)
{
    // "%f" of a double can take more than 300 digits; the buffer holds any of them.
    char buffer[700];
    size_t n = FormatFixed(buffer, sizeof buffer - 4, dayNumber, 6);
    buffer[n++] = ' ';
    n += FormatFixed(buffer + n, sizeof buffer - n - 2, temperature, 1);
    buffer[n++] = '\r';
    buffer[n++] = '\n';
    return std::string(buffer, n);
}

bool PlotSpaceSuffices(int freeMB)
{
    return static_cast<unsigned>(freeMB) >= 5u;
}

PlotWriteResult WritePlotLine(const PlotJob &job)
{
    if (job.freeSpace && !PlotSpaceSuffices(job.freeSpace(job.path)))
        return PlotWriteResult::DiskFull;
    const QByteArray name = QFile::encodeName(job.path);
    std::FILE *f = std::fopen(name.constData(), "ab");
    if (!f)
        return PlotWriteResult::OpenFailed;
    const bool written = std::fwrite(job.line.data(), 1, job.line.size(), f) == job.line.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed ? PlotWriteResult::Written : PlotWriteResult::OpenFailed;
}

// Shared by the owner and the thread: a writer stuck on a disk at program end is left
// behind with its own reference, and it then reports to nobody.
struct RunPlotWriter::State {
    mutable std::mutex mutex;
    std::condition_variable wake;
    mutable std::condition_variable idle;
    std::deque<std::pair<int, PlotJob>> queue;
    bool busy = false;  // a job taken from the queue is being written
    bool stop = false;
    bool finished = false;
    QObject *reporter = nullptr;  // GUI-thread object the results are posted to
    std::map<int, Listener> listeners;  // GUI thread only
    int nextId = 1;
};

RunPlotWriter &RunPlotWriter::instance()
{
    static RunPlotWriter writer;
    return writer;
}

RunPlotWriter::RunPlotWriter() : FState(std::make_shared<State>())
{
    FState->reporter = new QObject;
    std::shared_ptr<State> state = FState;
    std::thread([state] {
        std::unique_lock lock(state->mutex);
        for (;;) {
            state->wake.wait(lock, [&] { return state->stop || !state->queue.empty(); });
            if (state->queue.empty())
                break;  // stopping, and everything is written
            auto [listener, job] = std::move(state->queue.front());
            state->queue.pop_front();
            state->busy = true;
            lock.unlock();
            const PlotWriteResult result = WritePlotLine(job);
            lock.lock();
            state->busy = false;
            if (listener != 0 && state->reporter) {
                QObject *reporter = state->reporter;
                QMetaObject::invokeMethod(
                    reporter,
                    [state, listener, result] {
                        // GUI thread: the listener may have gone meanwhile.
                        const auto it = state->listeners.find(listener);
                        if (it != state->listeners.end()) {
                            Listener call = it->second;  // it may remove itself
                            call(result);
                        }
                    },
                    Qt::QueuedConnection);
            }
            if (state->queue.empty())
                state->idle.notify_all();
        }
        state->finished = true;
        state->idle.notify_all();
    }).detach();
}

RunPlotWriter::~RunPlotWriter()
{
    std::unique_lock lock(FState->mutex);
    FState->stop = true;
    FState->wake.notify_all();
    // Lines still queued get two seconds; a writer stuck longer is left behind.
    FState->idle.wait_for(lock, std::chrono::seconds(2), [&] { return FState->finished; });
    QObject *reporter = FState->reporter;
    FState->reporter = nullptr;
    lock.unlock();
    delete reporter;
}

int RunPlotWriter::addListener(Listener listener)
{
    const int id = FState->nextId++;
    FState->listeners.emplace(id, std::move(listener));
    return id;
}

void RunPlotWriter::removeListener(int id)
{
    FState->listeners.erase(id);
}

void RunPlotWriter::append(int listener, PlotJob job)
{
    std::lock_guard lock(FState->mutex);
    FState->queue.emplace_back(listener, std::move(job));
    FState->wake.notify_one();
}

size_t RunPlotWriter::pending() const
{
    std::lock_guard lock(FState->mutex);
    return FState->queue.size() + (FState->busy ? 1 : 0);
}

bool RunPlotWriter::waitIdle(int timeoutMs) const
{
    std::unique_lock lock(FState->mutex);
    return FState->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return FState->queue.empty() && !FState->busy; });
}

} // namespace duvo
