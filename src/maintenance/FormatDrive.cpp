#include "maintenance/FormatDrive.h"

#include "link/CommandDocs.h"
#include "link/NetCommand.h"

namespace duvo {

FormatOutcome FormatDrive(TcpClient &client, const std::string &host)
{
    FormatOutcome o;
    const NetReply r = SendInstrumentCommand(client, host, Format_doc(),
                                             NetCommandCall("Format_doc").titled(QStringLiteral("Format")).once().textOnly());
    o.formatted = r.ok;
    o.aborted = r.aborted;
    if (!r.ok) {
        o.error = r.error;
        o.errorTitle = r.errorTitle;
    }
    return o;
}

FormatDriveJob::~FormatDriveJob()
{
    wait();
}

void FormatDriveJob::start()
{
    if (FThread)
        return;
    FThread.reset(QThread::create([this] {
        FOutcome = FormatDrive(FClient, FHost);
        FFinished.store(true);
    }));
    FThread->setObjectName(QStringLiteral("FormatThread"));
    FThread->start();
}

void FormatDriveJob::wait()
{
    if (FThread)
        FThread->wait();
}

} // namespace duvo
