#pragma once
// The way every window sends one instrument command, written once:
//   1. send the request with SendNetCommand, once more when that fails;
//   2. after the second failure report "Error during " + label + " net command";
//   3. run ReplyStatus on the reply; a non-zero status is reported with its message under
//      "Error " + label + " XML parsing" (or "Error " + label for the folder and file
//      commands, or the title the caller names);
//   4. the caller reads the reply with its reader; a failed reader is reported with
//      ReportReaderFailure ("Error " + the reader's name).
// Windows show the reports in boxes through the prompt service; the device list and
// discovery ask for the text instead and put it into the device record.
//
//   const NetReply r = SendInstrumentCommand(FClient, ip, GetStatus_doc(), "GetStatus");
//   if (!r.ok) return;
//   GetStatus_Ret_Doc(r.text, status, ok);
//   if (!ok) { ReportReaderFailure("GetStatus_Ret_Doc"); return; }

#include "link/NetExchange.h"

#include <QString>
#include <string>

// How one command is sent and reported: the label, the title style and whether boxes show.
//   "GetStatus"                                       title "Error GetStatus XML parsing"
//   NetCommandCall("MakeFolder").plainTitle()         title "Error MakeFolder"
//   NetCommandCall("GetProtocolLog_doc").titled("GetProtocolLog")
//   NetCommandCall("GetTime").textOnly()              no box: the text goes into the record
//   NetCommandCall("Format_doc").titled("Format").once()   no retry
class NetCommandCall {
public:
    NetCommandCall(const QString &label) : FLabel(label) {}
    NetCommandCall(const char *label) : FLabel(QString::fromUtf8(label)) {}

    NetCommandCall &plainTitle() { FPlainTitle = true; return *this; }
    NetCommandCall &titled(const QString &titleLabel) { FTitleLabel = titleLabel; return *this; }
    NetCommandCall &textOnly() { FShowBoxes = false; return *this; }
    NetCommandCall &once() { FAttempts = 1; return *this; }

    const QString &label() const { return FLabel; }
    bool showBoxes() const { return FShowBoxes; }
    int attempts() const { return FAttempts; }
    // The title a non-zero status is reported under.
    QString statusTitle() const;
    // "Error during " + label + " net command".
    QString netErrorText() const;

private:
    QString FLabel;
    QString FTitleLabel;
    bool FPlainTitle = false;
    bool FShowBoxes = true;
    int FAttempts = 2;
};
struct NetReply {
    bool ok = false;        // exchanged and ReplyStatus gave 0
    bool netFailed = false; // every attempt failed
    bool aborted = false;   // the client's abort() ended it: nothing shown, no second attempt
    int attempts = 0;       // exchanges made
    int status = 0;         // ReplyStatus of the reply (when one came)
    std::string statusMessage;  // its message ("OK", the instrument's ErrMessage, ...)
    std::string text;       // the reply document
    QString error;          // what was (or would have been) shown; empty when ok
    QString errorTitle;     // its title: "Error" for a failed exchange
};

// Sends one command with the one retry and the status check, and reports a failure as the
// call says. Nothing is shown when ok.
NetReply SendInstrumentCommand(TcpClient &client, const std::string &host,
                               const std::string &request, const NetCommandCall &call);

// "Error " + the reader's name; shown in an error box titled "Error" when showBox is set.
QString ReportReaderFailure(const QString &readerName, bool showBox = true);
