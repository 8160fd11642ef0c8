#include "SmtpTestServer.h"

#include "GuiTest.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>

namespace duvo::test {

SmtpTestServer::SmtpTestServer(const SmtpServerOptions &options) : FOptions(options) {}

bool SmtpTestServer::start()
{
    if (!FDir.isValid()) {
        FError = QStringLiteral("no temporary folder");
        return false;
    }
    QStringList args{QStringLiteral("--host"), QStringLiteral("127.0.0.1")};
    if (FOptions.silent)
        args << QStringLiteral("--silent");
    if (FOptions.stallData)
        args << QStringLiteral("--stall-data");
    if (FOptions.tls) {
        QString cert, key;
        if (!makeCertificate(QStringLiteral("localhost"), QString(), &cert, &key))
            return false;
        args << QStringLiteral("--cert") << cert << QStringLiteral("--key") << key;
        if (!FOptions.tlsMin.isEmpty())
            args << QStringLiteral("--tls-min") << FOptions.tlsMin;
        if (!FOptions.tlsMax.isEmpty())
            args << QStringLiteral("--tls-max") << FOptions.tlsMax;
    }
    if (FOptions.auth)
        args << QStringLiteral("--user") << FOptions.user << QStringLiteral("--password") << FOptions.password;
    return launch(QStringLiteral("smtp_server.py"), args, QStringLiteral("SMTP"));
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
