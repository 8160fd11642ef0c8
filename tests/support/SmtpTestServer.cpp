#include "SmtpTestServer.h"

#include "GuiTest.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>

namespace duvo::test {

namespace {

QString scriptPath()
{
    const QString source = qEnvironmentVariable("DUVO_SOURCE_DIR");
    if (!source.isEmpty())
        return source + QStringLiteral("/tests/support/smtp_server.py");
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/smtp_server.py");
}

} // namespace

SmtpTestServer::SmtpTestServer(const SmtpServerOptions &options) : FOptions(options) {}

SmtpTestServer::~SmtpTestServer()
{
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.closeWriteChannel();  // the server stops when its standard input closes
        if (!FProcess.waitForFinished(3000)) {
            FProcess.kill();
            FProcess.waitForFinished(3000);
        }
    }
}

bool SmtpTestServer::start()
{
    if (!FDir.isValid()) {
        FError = QStringLiteral("no temporary folder");
        return false;
    }
    QStringList args{scriptPath(), QStringLiteral("--host"), QStringLiteral("127.0.0.1")};
    if (FOptions.silent)
        args << QStringLiteral("--silent");
    if (FOptions.stallData)
        args << QStringLiteral("--stall-data");
    if (FOptions.tls) {
        const QString cert = FDir.filePath(QStringLiteral("cert.pem"));
        const QString key = FDir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert, QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost")});
        if (!openssl.waitForFinished(15000) || openssl.exitCode() != 0) {
            FError = QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAllStandardError());
            return false;
        }
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
        if (!FOptions.tlsMin.isEmpty())
            args << QStringLiteral("--tls-min") << FOptions.tlsMin;
        if (!FOptions.tlsMax.isEmpty())
            args << QStringLiteral("--tls-max") << FOptions.tlsMax;
    }
    if (FOptions.auth)
        args << QStringLiteral("--user") << FOptions.user << QStringLiteral("--password") << FOptions.password;

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
        FError = QStringLiteral("SMTP server did not come up: ") + QString::fromUtf8(FProcess.readAllStandardError());
        return false;
    }
    return true;
}

void SmtpTestServer::readOutput()
{
    if (FProcess.isOpen())
        FBuffer += FProcess.readAllStandardOutput();
    qsizetype nl;
    while ((nl = FBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = FBuffer.left(nl);
        FBuffer.remove(0, nl + 1);
        const QJsonObject obj = QJsonDocument::fromJson(line).object();
        if (obj.value(QStringLiteral("event")).toString() == QStringLiteral("listening"))
            FPort = static_cast<quint16>(obj.value(QStringLiteral("port")).toInt());
        FEvents << obj;
    }
}

QList<QJsonObject> SmtpTestServer::events()
{
    readOutput();
    return FEvents;
}

QList<QJsonObject> SmtpTestServer::messages()
{
    QList<QJsonObject> out;
    for (const QJsonObject &e : events())
        if (e.value(QStringLiteral("event")).toString() == QStringLiteral("message"))
            out << e;
    return out;
}

QStringList SmtpTestServer::commands()
{
    QStringList out;
    for (const QJsonObject &e : events())
        if (e.value(QStringLiteral("event")).toString() == QStringLiteral("command"))
            out << e.value(QStringLiteral("name")).toString();
    return out;
}

int SmtpTestServer::connections()
{
    int n = 0;
    for (const QJsonObject &e : events())
        n += e.value(QStringLiteral("event")).toString() == QStringLiteral("connect") ? 1 : 0;
    return n;
}

bool SmtpTestServer::waitForMessages(int n, int ms)
{
    return waitFor([&] { return messages().size() >= n; }, ms);
}

quint16 SmtpTestServer::closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 1;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace duvo::test
