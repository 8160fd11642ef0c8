#include "HttpTestServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace duvo::test {

HttpTestServer::HttpTestServer(const HttpServerOptions &options) : FOptions(options) {}

bool HttpTestServer::start()
{
    if (!FDir.isValid()) {
        FError = QStringLiteral("no temporary folder");
        return false;
    }
    QDir().mkpath(FDir.filePath(QStringLiteral("root")));
    setRules({});
    QStringList args{QStringLiteral("--host"), FOptions.host, QStringLiteral("--root"),
                     FDir.filePath(QStringLiteral("root")), QStringLiteral("--rules"), FDir.filePath(QStringLiteral("rules.json")),
                     QStringLiteral("--port"), QString::number(FOptions.port)};
    if (FOptions.tls) {
        QString cert, key;
        if (!makeCertificate(FOptions.host, FOptions.host, &cert, &key))
            return false;
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
        FCaFile = cert;
    }
    if (!FOptions.proxyUser.isEmpty())
        args << QStringLiteral("--proxy-user") << FOptions.proxyUser << QStringLiteral("--proxy-password") << FOptions.proxyPassword;
    return launch(QStringLiteral("http_server.py"), args, QStringLiteral("HTTP"));
}

QString HttpTestServer::url(const QString &path) const
{
    return (FOptions.tls ? QStringLiteral("https://") : QStringLiteral("http://")) + FOptions.host + QLatin1Char(':')
           + QString::number(port()) + path;
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

void HttpTestServer::onEvent(const QJsonObject &event)
{
    if (event.value(QStringLiteral("event")).toString() == QLatin1String("request"))
        FRequests << event;
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
