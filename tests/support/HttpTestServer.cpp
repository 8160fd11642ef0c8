#include "HttpTestServer.h"

#include "GuiTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace duvo::test {

namespace {

QString scriptPath()
{
    const QString source = qEnvironmentVariable("DUVO_SOURCE_DIR");
    if (!source.isEmpty())
        return source + QStringLiteral("/tests/support/http_server.py");
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/http_server.py");
}

} // namespace

HttpTestServer::HttpTestServer(const HttpServerOptions &options) : FOptions(options) {}

HttpTestServer::~HttpTestServer()
{
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(3000)) {
            FProcess.kill();
            FProcess.waitForFinished(3000);
        }
    }
}

bool HttpTestServer::start()
{
    if (!FDir.isValid()) {
        FError = QStringLiteral("no temporary folder");
        return false;
    }
    QDir().mkpath(FDir.filePath(QStringLiteral("root")));
    setRules({});
    QStringList args{scriptPath(), QStringLiteral("--host"), FOptions.host, QStringLiteral("--root"),
                     FDir.filePath(QStringLiteral("root")), QStringLiteral("--rules"), FDir.filePath(QStringLiteral("rules.json")),
                     QStringLiteral("--port"), QString::number(FOptions.port)};
    if (FOptions.tls) {
        const QString cert = FDir.filePath(QStringLiteral("cert.pem"));
        const QString key = FDir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert, QStringLiteral("-days"), QStringLiteral("2"),
                       QStringLiteral("-subj"), QStringLiteral("/CN=") + FOptions.host,
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:") + FOptions.host});
        if (!openssl.waitForFinished(15000) || openssl.exitCode() != 0) {
            FError = QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAllStandardError());
            return false;
        }
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
        FCaFile = cert;
    }
    if (!FOptions.proxyUser.isEmpty())
        args << QStringLiteral("--proxy-user") << FOptions.proxyUser << QStringLiteral("--proxy-password") << FOptions.proxyPassword;
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    FProcess.start(QStringLiteral("/usr/bin/python3"), args);
    if (!FProcess.waitForStarted(10000)) {
        FError = QStringLiteral("python3 did not start: ") + FProcess.errorString();
        return false;
    }
    const bool up = waitFor([this] {
        readOutput();
        return FPort != 0 || FProcess.state() == QProcess::NotRunning;
    }, 15000);
    if (!up || FPort == 0) {
        FError = QStringLiteral("HTTP server did not come up: ") + QString::fromUtf8(FProcess.readAllStandardError());
        return false;
    }
    return true;
}

QString HttpTestServer::url(const QString &path) const
{
    return (FOptions.tls ? QStringLiteral("https://") : QStringLiteral("http://")) + FOptions.host + QLatin1Char(':')
           + QString::number(FPort) + path;
}

void HttpTestServer::putFile(const QString &path, const QByteArray &bytes)
{
    const QString local = FDir.filePath(QStringLiteral("root")) + path;
    QDir().mkpath(QFileInfo(local).absolutePath());
    QFile f(local);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void HttpTestServer::setRules(const QJsonObject &rules)
{
    QFile f(FDir.filePath(QStringLiteral("rules.json")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(QJsonDocument(rules).toJson(QJsonDocument::Compact));
}

void HttpTestServer::readOutput()
{
    if (FProcess.isOpen())
        FBuffer += FProcess.readAllStandardOutput();
    qsizetype nl;
    while ((nl = FBuffer.indexOf('\n')) >= 0) {
        const QJsonObject obj = QJsonDocument::fromJson(FBuffer.left(nl)).object();
        FBuffer.remove(0, nl + 1);
        const QString event = obj.value(QStringLiteral("event")).toString();
        if (event == QLatin1String("listening"))
            FPort = static_cast<quint16>(obj.value(QStringLiteral("port")).toInt());
        else if (event == QLatin1String("request"))
            FRequests << obj;
    }
}

QList<QJsonObject> HttpTestServer::requests()
{
    // The server prints a request before it answers it: by the time the client has its
    // answer the line is on the way; give it a moment.
    FProcess.waitForReadyRead(30);
    readOutput();
    return FRequests;
}

QStringList HttpTestServer::requestPaths()
{
    QStringList out;
    for (const QJsonObject &r : requests())
        out << r.value(QStringLiteral("path")).toString();
    return out;
}

void HttpTestServer::clearRequests()
{
    requests();
    FRequests.clear();
}

} // namespace duvo::test
