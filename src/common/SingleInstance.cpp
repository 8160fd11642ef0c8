#include "common/SingleInstance.h"

#include "common/ProgramFolder.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalSocket>

namespace duvo {

QString SingleInstance::defaultKey()
{
    const QString env = qEnvironmentVariable("DUVO_INSTANCE_KEY");
    if (!env.isEmpty())
        return env;
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    const QByteArray folderHash =
        QCryptographicHash::hash(ProgramFolder().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("VelmorDuvoStudio-%1-%2").arg(user, QString::fromLatin1(folderHash));
}

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), FKey(key)
{
    connect(&FServer, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim(const QStringList &arguments)
{
    // No access options: with them the server is made elsewhere and renamed over an
    // existing socket, and two instances would both think they run alone.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (FServer.listen(FKey))
            return true;
        if (handOver(arguments))
            return false;
        // Nobody answers: a socket left behind by a process that died. Remove it and retry.
        QLocalServer::removeServer(FKey);
    }
    return FServer.listen(FKey);
}

bool SingleInstance::handOver(const QStringList &arguments)
{
    QLocalSocket socket;
    socket.connectToServer(FKey);
    if (!socket.waitForConnected(1000))
        return false;
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out << arguments;
    socket.write(block);
    if (!socket.waitForBytesWritten(1000))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket *socket = FServer.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QStringList arguments;
            in >> arguments;
            if (!in.commitTransaction())
                return;
            emit activated(arguments);
        });
    }
}

} // namespace duvo
