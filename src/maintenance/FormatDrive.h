#pragma once
// The drive format of one instrument, run once on a worker thread for the format window:
// the FileSystem Format command goes out exactly once (it is the one command that is never
// sent a second time) and the outcome comes back as a result and a text; nothing is shown on
// the worker. The window polls finished() with its timer and shows the boxes itself.
//
//     FormatDriveJob job(client, "192.168.1.20");
//     job.start();
//     ... later, on the GUI thread: if (job.finished()) { const FormatOutcome &o = job.outcome(); ... }

#include "link/NetExchange.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <string>

namespace duvo {

struct FormatOutcome {
    bool formatted = false;  // the instrument accepted the command (status 0)
    bool aborted = false;    // the window closed the client while the command was out
    QString error;           // what to show when not formatted ("Error during Format_doc net command", ...)
    QString errorTitle;      // its title ("Error", "Error Format XML parsing")
};

// Sends Format_doc once through client and reads the status; shows nothing.
FormatOutcome FormatDrive(TcpClient &client, const std::string &host);

class FormatDriveJob {
public:
    FormatDriveJob(TcpClient &client, std::string host) : FClient(client), FHost(std::move(host)) {}
    ~FormatDriveJob();
    FormatDriveJob(const FormatDriveJob &) = delete;
    FormatDriveJob &operator=(const FormatDriveJob &) = delete;

    // Starts the worker once; later calls do nothing.
    void start();
    bool started() const { return FThread != nullptr; }
    // True once the worker has written the outcome (safe from any thread).
    bool finished() const { return FFinished.load(); }
    // The outcome; read it only once finished() is true.
    const FormatOutcome &outcome() const { return FOutcome; }
    // Waits for the worker to end (no-op when it never started).
    void wait();

private:
    TcpClient &FClient;
    std::string FHost;
    FormatOutcome FOutcome;
    std::atomic<bool> FFinished{false};
    std::unique_ptr<QThread> FThread;
};

} // namespace duvo
