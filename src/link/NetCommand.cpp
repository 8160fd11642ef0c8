#include "link/NetCommand.h"

#include "common/Prompts.h"
#include "link/CommandDocs.h"

QString NetCommandCall::statusTitle() const
{
    const QString l = FTitleLabel.isEmpty() ? FLabel : FTitleLabel;
    if (FPlainTitle)
        return QStringLiteral("Error ") + l;
    return QStringLiteral("Error ") + l + QStringLiteral(" XML parsing");
}

QString NetCommandCall::netErrorText() const
{
    return QStringLiteral("Error during ") + FLabel + QStringLiteral(" net command");
}

NetReply SendInstrumentCommand(TcpClient &client, const std::string &host,
                               const std::string &request, const NetCommandCall &call)
{
    NetReply r;
    const int attempts = std::max(call.attempts(), 1);
    bool sent = false;
    while (!sent && r.attempts < attempts) {
        ++r.attempts;
        sent = SendNetCommand(client, host, request, r.text);
        if (!sent && client.lastOutcome() == ExchangeOutcome::Aborted)
            break;
    }
    if (!sent && client.lastOutcome() == ExchangeOutcome::Aborted) {
        // The window that owns the client is closing: nothing more goes out, nothing is shown.
        r.netFailed = true;
        r.aborted = true;
        r.text.clear();
        r.error = call.netErrorText();
        r.errorTitle = QStringLiteral("Error");
        return r;
    }
    if (!sent) {
        r.netFailed = true;
        r.text.clear();
        r.error = call.netErrorText();
        r.errorTitle = QStringLiteral("Error");
        if (call.showBoxes())
            duvo::Prompts::error(r.error, r.errorTitle);
        return r;
    }
    r.status = ReplyStatus(r.text, r.statusMessage);
    if (r.status != 0) {
        r.error = QString::fromStdString(r.statusMessage);
        r.errorTitle = call.statusTitle();
        if (call.showBoxes())
            duvo::Prompts::error(r.error, r.errorTitle);
        return r;
    }
    r.ok = true;
    return r;
}

QString ReportReaderFailure(const QString &readerName, bool showBox)
{
    const QString text = QStringLiteral("Error ") + readerName;
    if (showBox)
        duvo::Prompts::error(text, QStringLiteral("Error"));
    return text;
}
