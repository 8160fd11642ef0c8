#pragma once
// A test server written in Python (a script beside this file, run with /usr/bin/python3) that
// prints one JSON object per line on its standard output: {"event": "listening", "port": n}
// once it listens, then whatever it records. It stops when its standard input closes, at the
// latest with the object.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace duvo::test {

class ScriptServer {
public:
    ScriptServer(const ScriptServer &) = delete;
    ScriptServer &operator=(const ScriptServer &) = delete;

    QString errorText() const { return FError; }
    quint16 port() const { return FPort; }

protected:
    ScriptServer() = default;
    virtual ~ScriptServer();

    // Starts `script` with `args` and waits up to 15 s for it to listen; `label` names the
    // server in the error text.
    bool launch(const QString &script, const QStringList &args, const QString &label);
    // Makes a certificate and key for the test (a P-256 key, valid two days) in the
    // temporary folder; `ipAltName` adds that IP address as subject alternative name.
    bool makeCertificate(const QString &commonName, const QString &ipAltName, QString *cert, QString *key);
    // Reads what the server printed and hands each complete line to onEvent().
    void readOutput();
    virtual void onEvent(const QJsonObject &event) = 0;

    QTemporaryDir FDir;
    QProcess FProcess;
    QString FError;

private:
    QByteArray FBuffer;
    quint16 FPort = 0;
};

} // namespace duvo::test
