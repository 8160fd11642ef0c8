#pragma once
// A real SMTP server on loopback for the mail tests: smtp_server.py (python3-aiosmtpd) run with
// /usr/bin/python3 on a free 127.0.0.1 port. It can offer STARTTLS with a certificate made
// for the test with openssl, and AUTH with one user; it records every command, the TLS
// version, each login and each message (envelope, headers, decoded body) for the test.
// The server stops with the object.

#include "ScriptServer.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace duvo::test {

struct SmtpServerOptions {
    bool tls = false;        // offer STARTTLS
    QString tlsMin;          // "1.2" / "1.3": oldest TLS version the server accepts
    QString tlsMax;          // newest TLS version the server accepts
    bool auth = false;       // offer AUTH (also on the plain connection) for user/password
    QString user = QStringLiteral("labuser");
    QString password = QStringLiteral("secret");
    bool silent = false;     // accept connections and never say a word
    bool stallData = false;  // take the message after DATA and never answer it
};

class SmtpTestServer : public ScriptServer {
public:
    explicit SmtpTestServer(const SmtpServerOptions &options = {});

    // Starts the server; false (with errorText()) when it does not come up within 15 s.
    bool start();

    // Everything recorded so far (reads what the server printed).
    QList<QJsonObject> events();
    QList<QJsonObject> messages();
    // The SMTP command names received so far, in order ("EHLO", "STARTTLS", "AUTH", ...).
    QStringList commands();
    int connections();
    // Runs the event loop until n messages arrived or ms passed.
    bool waitForMessages(int n, int ms = 10000);

    // A loopback port on which nothing listens (for the "server down" case).
    static quint16 closedPort();

private:
    void onEvent(const QJsonObject &event) override { FEvents << event; }

    SmtpServerOptions FOptions;
    QList<QJsonObject> FEvents;
};

} // namespace duvo::test
