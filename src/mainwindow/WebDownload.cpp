#include "mainwindow/WebDownload.h"

#include "common/ProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace duvo {

namespace {

// The host of our download server; each address can be moved by its variable.
const char kServer[] = "http://www.velmorlab.com";

// commit() flushes the whole file to the disk before it renames it. Writing back each
// finished stretch while the rest still arrives lets the disk work beside the network, so
// that flush only waits for the last stretch.
constexpr qint64 kWriteBackStep = 8 << 20;

// Starts writing the file's bytes [from, to) to the disk without waiting for it; returns
// where the next stretch begins.
qint64 startWriteBack(QSaveFile &file, qint64 from, qint64 to)
{
#ifdef Q_OS_LINUX
    // Bytes still in the file object's own buffer are not in the file yet.
    if (!file.flush())
        return from;
    // Only a hint: a file system that cannot do it writes everything at commit().
    ::sync_file_range(file.handle(), from, to - from, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(file);
    Q_UNUSED(from);
#endif
    return to;
}

// A base address loses its trailing '/', so base + "/" + name has one separator.
QString fromEnvironment(const char *variable, const QString &fallback, bool isBase = true)
{
    QString value = qEnvironmentVariable(variable).trimmed();
    while (isBase && value.endsWith(QLatin1Char('/')))
        value.chop(1);
    return value.isEmpty() ? fallback : value;
}

} // namespace

QString DownloadBaseAddress()
{
    return fromEnvironment("DUVO_DOWNLOAD_BASE", QLatin1String(kServer) + QStringLiteral("/svdownloads"));
}

QString UpdateBaseAddress()
{
    return fromEnvironment("DUVO_UPDATE_BASE", QLatin1String(kServer) + QStringLiteral("/duvostudio"));
}

QString UpdatePageAddress()
{
    return fromEnvironment("DUVO_UPDATE_PAGE", QLatin1String(kServer) + QStringLiteral("/download_solvirant.html"), false);
}

// ---------------------------------------------------------------------------------------
// The name=value index

QStringList NameValueIndex::splitLines(const QByteArray &text)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        qsizetype stop = end;
        if (stop > start && text.at(stop - 1) == '\r')
            --stop;
        lines << QString::fromUtf8(text.constData() + start, stop - start);
        start = end + 1;
    }
    return lines;
}

NameValueIndex::NameValueIndex(const QStringList &lines) : FLines(static_cast<int>(lines.size()))
{
    FValues.reserve(lines.size());
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq).toLower();
        if (!FValues.contains(name))
            FValues.insert(name, line.mid(eq + 1));
    }
}

QString NameValueIndex::value(const QString &name) const
{
    return FValues.value(name.toLower());
}

bool NameValueIndex::contains(const QString &name) const
{
    return FValues.contains(name.toLower());
}

bool IsPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.toUtf8().size() > 255)
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F
            || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool WebConnection::Connected() const
{
    return CurrentIpWatch().online;
}

// ---------------------------------------------------------------------------------------
// WC1

WebCopy::WebCopy(QObject *parent) : QObject(parent)
{
    FManager.setProxy(QNetworkProxy::NoProxy);
}

WebCopy::~WebCopy() = default;

void WebCopy::Abort()
{
    FAbort = true;
}

bool WebCopy::Execute()
{
    Item.Success = false;
    FStatus = 0;
    FError.clear();
    if (FBusy) {
        FError = QStringLiteral("Another download is running");
        return false;
    }
    FBusy = true;
    FAbort = false;
    struct Idle {
        bool &busy;
        ~Idle() { busy = false; }
    } idle{FBusy};

    WebCopyProgress progress;
    progress.fileName = Item.TargetFile;
    progress.address = Item.URL;
    progress.targetFolder = Item.TargetFolder;

    auto fail = [&](const QString &text) {
        FError = text;
        emit transferFinished(false, text);
        return false;
    };

    const QUrl url(Item.URL, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return fail(QStringLiteral("Not an http or https address: ") + Item.URL);
    if (!IsPlainFileName(Item.TargetFile))
        return fail(QStringLiteral("Not a plain file name: ") + Item.TargetFile);
    const QString folder = withTrailingSeparator(Item.TargetFolder);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return fail(QStringLiteral("No such folder: ") + Item.TargetFolder);
    const QString target = folder + Item.TargetFile;
    if (QFileInfo(target).isDir())
        return fail(QStringLiteral("A folder has the name of the file: ") + target);

    if (ProxyServer.isEmpty())
        FManager.setProxy(QNetworkProxy::NoProxy);
    else
        FManager.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, ProxyServer, static_cast<quint16>(ProxyPort),
                                        ProxyUser, ProxyPassword));

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, AgentText);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Redirects are counted below; the manager's own limit only backs that up.
    request.setMaximumRedirectsAllowed(MaxRedirects + 2);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (CaFile != FUsedCaFile) {
        // A connection kept from before would go on with the old trust.
        FManager.clearConnectionCache();
        FUsedCaFile = CaFile;
    }
    if (!CaFile.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        const QList<QSslCertificate> cas = QSslCertificate::fromPath(CaFile, QSsl::Pem);
        if (cas.isEmpty())
            return fail(QStringLiteral("No certificate in ") + CaFile);
        ssl.addCaCertificates(cas);
        request.setSslConfiguration(ssl);
    }

    emit transferStarted(progress);

    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    QElapsedTimer clock;
    clock.start();
    qint64 lastReport = -1000;
    qint64 contentLength = -1;
    bool headerSeen = false;
    int redirects = 0;
    bool accepted = false;   // a 2xx reply whose body goes into the file
    QString failure;

    QNetworkReply *reply = FManager.get(request);
    // The body goes to disk as it comes: the manager keeps at most this much in memory and
    // stops reading the socket while it is full.
    reply->setReadBufferSize(1 << 20);
    qint64 handedToDisk = 0;  // the file's bytes before this are on their way to the disk
    QEventLoop loop;
    // One ticking timer checks the time since the last sign of life and Abort() from a
    // handler further up the stack; data only restarts a clock (cheap per piece).
    QElapsedTimer quiet;
    quiet.start();
    int quietLimit = ConnectTimeoutMs;
    QTimer tick;
    tick.start(20);

    auto stop = [&](const QString &text) {
        if (failure.isEmpty())
            failure = text;
        reply->abort();
    };

    connect(&tick, &QTimer::timeout, &loop, [&] {
        if (FAbort)
            stop(QStringLiteral("Download cancelled"));
        else if (quiet.elapsed() > quietLimit)
            stop(headerSeen ? QStringLiteral("The server stopped sending") : QStringLiteral("The server did not answer in time"));
    });
    connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl &to) {
        const QString s = to.scheme().toLower();
        if (++redirects > MaxRedirects) {
            stop(QStringLiteral("More than %1 redirects").arg(MaxRedirects));
        } else if (s == QLatin1String("http") || s == QLatin1String("https")) {
            quiet.restart();
            quietLimit = ConnectTimeoutMs;
        } else {
            stop(QStringLiteral("Redirect to a non-http address: ") + to.toString());
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!code.isValid())
            return;
        FStatus = code.toInt();
        if (FStatus >= 300 && FStatus < 400)
            return;  // the redirect follows
        headerSeen = true;
        quiet.restart();
        quietLimit = StallTimeoutMs;
        if (FStatus < 200 || FStatus >= 300)
            return;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        contentLength = length.isValid() ? length.toLongLong() : -1;
        if (MaxBytes >= 0 && contentLength > MaxBytes) {
            stop(QStringLiteral("The file is larger than %1 bytes").arg(MaxBytes));
            return;
        }
        if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) {
            stop(QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + file.errorString());
            return;
        }
        accepted = true;
        progress.total = contentLength;
    });
    connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (!failure.isEmpty() || !accepted) {
            reply->readAll();
            return;
        }
        quiet.restart();
        // Take the pieces as the network thread handed them over: while one piece is
        // buffered, a read of exactly its size takes it without a copy (readAll() copies
        // every piece into a fresh array). The read that finds the buffer empty tells the
        // network thread it may fetch more; a copying read that empties it does not, so
        // the loop always ends with such a read.
        for (;;) {
            const QByteArray data = reply->read(std::max<qint64>(reply->bytesAvailable(), 1));
            if (data.isEmpty())
                break;
            progress.received += data.size();
            if (MaxBytes >= 0 && progress.received > MaxBytes) {
                stop(QStringLiteral("The file is larger than %1 bytes").arg(MaxBytes));
                return;
            }
            if (file.write(data) != data.size()) {
                stop(QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + file.errorString());
                return;
            }
        }
        if (progress.received - handedToDisk >= kWriteBackStep)
            handedToDisk = startWriteBack(file, handedToDisk, progress.received);
        const qint64 now = clock.elapsed();
        if (now - lastReport >= 100) {
            lastReport = now;
            progress.elapsedMs = now;
            emit transferProgress(progress);
        }
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    tick.stop();

    const QByteArray rest = reply->readAll();
    if (accepted && failure.isEmpty() && !rest.isEmpty()) {
        progress.received += rest.size();
        if (MaxBytes >= 0 && progress.received > MaxBytes)
            failure = QStringLiteral("The file is larger than %1 bytes").arg(MaxBytes);
        else if (file.write(rest) != rest.size())
            failure = QStringLiteral("Cannot write ") + target;
    }
    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError) {
        failure = reply->errorString();
        if (FStatus >= 400)
            failure = QStringLiteral("HTTP %1: ").arg(FStatus) + failure;
    }
    if (failure.isEmpty() && !accepted)
        failure = QStringLiteral("The server answered HTTP %1").arg(FStatus);
    if (failure.isEmpty() && contentLength >= 0 && progress.received != contentLength)
        failure = QStringLiteral("The file was cut short: %1 of %2 bytes").arg(progress.received).arg(contentLength);
    // Its signals are over (the loop has ended): free it now, not at some later loop.
    delete reply;

    progress.elapsedMs = clock.elapsed();
    if (!failure.isEmpty()) {
        if (file.isOpen())
            file.cancelWriting();
        return fail(failure);
    }
    if (!file.commit())
        return fail(QStringLiteral("Cannot write ") + target + QStringLiteral(": ") + file.errorString());
    emit transferProgress(progress);
    Item.Success = true;
    emit transferFinished(true, QStringLiteral("Download complete"));
    return true;
}

} // namespace duvo
