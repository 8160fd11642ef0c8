#include "ScriptServer.h"

#include "GuiTest.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace duvo::test {

namespace {

QString scriptPath(const QString &script)
{
    const QString source = qEnvironmentVariable("DUVO_SOURCE_DIR");
    if (!source.isEmpty())
        return source + QStringLiteral("/tests/support/") + script;
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QLatin1Char('/') + script;
}

} // namespace

ScriptServer::~ScriptServer()
{
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(3000)) {
            FProcess.kill();
            FProcess.waitForFinished(3000);
        }
    }
}

bool ScriptServer::launch(const QString &script, const QStringList &args, const QString &label)
{
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    FProcess.start(QStringLiteral("/usr/bin/python3"), QStringList{scriptPath(script)} + args);
    if (!FProcess.waitForStarted(10000)) {
        FError = QStringLiteral("python3 did not start: ") + FProcess.errorString();
        return false;
    }
    const bool up = waitFor([this] {
        readOutput();
        return FPort != 0 || FProcess.state() == QProcess::NotRunning;
    }, 15000);
    if (!up || FPort == 0) {
        FError = label + QStringLiteral(" server did not come up: ") + QString::fromUtf8(FProcess.readAllStandardError());
        return false;
    }
    return true;
}

bool ScriptServer::makeCertificate(const QString &commonName, const QString &ipAltName, QString *cert, QString *key)
{
    *cert = FDir.filePath(QStringLiteral("cert.pem"));
    *key = FDir.filePath(QStringLiteral("key.pem"));
    QStringList args{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                     QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                     QStringLiteral("-keyout"), *key, QStringLiteral("-out"), *cert, QStringLiteral("-days"), QStringLiteral("2"),
                     QStringLiteral("-subj"), QStringLiteral("/CN=") + commonName};
    if (!ipAltName.isEmpty())
        args << QStringLiteral("-addext") << QStringLiteral("subjectAltName=IP:") + ipAltName;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(15000) || openssl.exitCode() != 0) {
        FError = QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAllStandardError());
        return false;
    }
    return true;
}

void ScriptServer::readOutput()
{
    if (FProcess.isOpen())
        FBuffer += FProcess.readAllStandardOutput();
    qsizetype nl;
    while ((nl = FBuffer.indexOf('\n')) >= 0) {
        const QJsonObject obj = QJsonDocument::fromJson(FBuffer.left(nl)).object();
        FBuffer.remove(0, nl + 1);
        if (obj.value(QStringLiteral("event")).toString() == QLatin1String("listening"))
            FPort = static_cast<quint16>(obj.value(QStringLiteral("port")).toInt());
        onEvent(obj);
    }
}

} // namespace duvo::test
