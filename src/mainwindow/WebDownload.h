#pragma once
// Internet downloads: the addresses of our download server, the name=value index files
// ("svfilelist.ini", "info.ini") and the download component WC1.
//
// WC1 fetches one address over HTTP or HTTPS into a target folder. The file is written
// beside its final name (QSaveFile) and replaces an existing file only after a 2xx status
// and the whole body; any failure leaves the folder as it was and clears the success flag.

#include "common/IpWatch.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace duvo {

// Our server's three addresses. Each can be moved by an environment variable
// (DUVO_DOWNLOAD_BASE, DUVO_UPDATE_BASE, DUVO_UPDATE_PAGE): tests and the demo point
// them at a loopback server.
QString DownloadBaseAddress();
QString UpdateBaseAddress();
QString UpdatePageAddress();

// A name=value text (lines end with CR LF or LF), looked up by name ignoring case; the
// first line with a name wins; a missing name gives an empty value. Built once per file.
class NameValueIndex {
public:
    NameValueIndex() = default;
    explicit NameValueIndex(const QStringList &lines);
    static QStringList splitLines(const QByteArray &text);

    QString value(const QString &name) const;
    bool contains(const QString &name) const;
    int lineCount() const { return FLines; }

private:
    QHash<QString, QString> FValues;  // key: the name in lower case
    int FLines = 0;
};

// A file name from a server that may be used as a local file name: not empty, not "." or
// "..", no '/', '\\' or control character, at most 255 bytes in UTF-8.
bool IsPlainFileName(const QString &name);

// Progress of the transfer in flight, for the progress window.
struct WebCopyProgress {
    QString fileName;
    QString address;
    QString targetFolder;
    qint64 received = 0;
    qint64 total = -1;   // -1 when the server gave no length
    qint64 elapsedMs = 0;
};

// One download item: address, target folder and file name, and the success flag that each
// transfer sets.
struct WebCopyItem {
    QString URL;
    QString TargetFolder;  // with or without a trailing '/'
    QString TargetFile;
    bool Success = false;
};

// WebConnect1: whether this computer is connected (the IP watch's online state). Telling it
// to connect looks again; there is no dial-up connection to open here.
class WebConnection {
public:
    bool Connected() const;
    void Connect() {}
};

class WebCopy : public QObject {
    Q_OBJECT
public:
    explicit WebCopy(QObject *parent = nullptr);
    ~WebCopy() override;

    WebCopyItem Item;
    QString AgentText = QStringLiteral("WebCopy");
    // The proxy: used only while ProxyServer is not empty (port 8080).
    QString ProxyServer;
    QString ProxyUser;
    QString ProxyPassword;
    int ProxyPort = 8080;
    // Limits of one transfer.
    int ConnectTimeoutMs = 15000;  // until the reply's header arrives
    int StallTimeoutMs = 20000;    // between two pieces of the body
    int MaxRedirects = 5;
    qint64 MaxBytes = -1;          // -1: no limit
    // Extra trusted certificate authorities (PEM file), besides the system's.
    QString CaFile;

    // Runs the item's transfer to its end (nested event loop); sets Item.Success. The
    // failure's text is in errorText().
    bool Execute();
    // Ends the transfer in flight as a failure.
    void Abort();
    bool busy() const { return FBusy; }
    QString errorText() const { return FError; }
    int lastStatus() const { return FStatus; }

signals:
    void transferStarted(const duvo::WebCopyProgress &progress);
    void transferProgress(const duvo::WebCopyProgress &progress);
    // ok false: notice is the failure's text.
    void transferFinished(bool ok, const QString &notice);

private:
    QNetworkAccessManager FManager;
    bool FBusy = false;
    bool FAbort = false;
    QString FError;
    QString FUsedCaFile;
    int FStatus = 0;
};

} // namespace duvo
