// The notification e-mail against a real SMTP server on loopback.

#include "link/Workstation.h"
#include "mainwindow/SendAlertMail.h"
#include "mainwindow/SmtpClient.h"
#include "ScriptedPrompts.h"
#include "SmtpTestServer.h"
#include "TestFolders.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace duvo;
using namespace duvo::test;

namespace {

const QString kRecipient = QStringLiteral("oncall@lab.example");
const QString kSender = QStringLiteral("cycler@lab.example");

void fillFields(Workstation &ws, quint16 port, bool auth, bool tls)
{
    ws.FSmtpHost = QStringLiteral("127.0.0.1");
    ws.FSmtpPort = QString::number(port);
    ws.FSmtpUser = QStringLiteral("labuser");
    ws.FSmtpPassword = QStringLiteral("secret");
    ws.FSmtpAuth = auth;
    ws.FSmtpTls = tls;
    ws.FSenderName = QStringLiteral("Duvo Cycler 3");
    ws.FSenderAddress = kSender;
}

SmtpServerOptions serverOptions(bool tls, bool auth, const QString &tlsMin = {}, const QString &tlsMax = {})
{
    SmtpServerOptions o;
    o.tls = tls;
    o.auth = auth;
    o.tlsMin = tlsMin;
    o.tlsMax = tlsMax;
    return o;
}

QStringList bodyLines(const QJsonObject &message)
{
    QString body = message.value(QStringLiteral("body")).toString();
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    return body.split(QLatin1Char('\n'));
}

QStringList expectedBody(const QString &message)
{
    return {QStringLiteral("Duvo Studio update:"), QString(), message, QString(), QString(),
            QStringLiteral("Do NOT reply to this e-mail...")};
}

} // namespace

class TestMail : public QObject {
    Q_OBJECT

    TempProgramFolder *FFolder = nullptr;
    Workstation *FWs = nullptr;
    ScriptedPrompts *FPrompts = nullptr;

    QString logText() { return FFolder->readFile(QStringLiteral("DuvoGeneral.txt")); }

private slots:
    void init()
    {
        FFolder = new TempProgramFolder;
        FWs = new Workstation;
        FWs->ZavLog1.setFileName(FFolder->file(QStringLiteral("DuvoGeneral.txt")));
        // No box may appear while a notification goes out: an unplanned one fails the test.
        FPrompts = new ScriptedPrompts;
        setSmtpTimeouts(SmtpTimeouts{});
    }

    void cleanup()
    {
        QCOMPARE(FPrompts->asked().size(), 0);
        delete FPrompts;
        delete FWs;
        delete FFolder;
        setSmtpTimeouts(SmtpTimeouts{});
    }

    void plainMailWithoutLoginCarriesEnvelopeSubjectAndBody()
    {
        // The server offers AUTH, but with authentication off the workstation must not log in.
        SmtpTestServer server(serverOptions(false, true));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), false, false);

        SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Completed"));

        QVERIFY(server.waitForMessages(1));
        const QJsonObject m = server.messages().at(0);
        QCOMPARE(m.value(QStringLiteral("mail_from")).toString(), kSender);
        QCOMPARE(m.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{kRecipient});
        QCOMPARE(m.value(QStringLiteral("subject")).toString(), QStringLiteral("Duvo Studio e-mail notification"));
        QCOMPARE(m.value(QStringLiteral("from")).toString(), QStringLiteral("Duvo Cycler 3 <cycler@lab.example>"));
        QCOMPARE(m.value(QStringLiteral("to")).toString(), kRecipient);
        QCOMPARE(m.value(QStringLiteral("x_mailer")).toString(), QStringLiteral("Velmor Lab Duvo Studio"));
        QCOMPARE(bodyLines(m), expectedBody(QStringLiteral("Status = Completed")));
        QVERIFY(!m.value(QStringLiteral("tls")).toBool());
        QVERIFY(!m.value(QStringLiteral("authenticated")).toBool());
        QVERIFY(!server.commands().contains(QStringLiteral("AUTH")));
        QVERIFY(!server.commands().contains(QStringLiteral("STARTTLS")));
        QVERIFY(logText().isEmpty());
    }

    void loginWithoutTlsWhenOnlyAuthenticationIsOn()
    {
        SmtpTestServer server(serverOptions(true, true));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), true, false);

        SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Stopped"));

        QVERIFY(server.waitForMessages(1));
        const QJsonObject m = server.messages().at(0);
        QVERIFY(m.value(QStringLiteral("authenticated")).toBool());
        // TLS is off: no STARTTLS, even though the server offers it.
        QVERIFY(!server.commands().contains(QStringLiteral("STARTTLS")));
        QVERIFY(!m.value(QStringLiteral("tls")).toBool());
        QVERIFY(logText().isEmpty());
    }

    void startTlsBeforeLogin_data()
    {
        QTest::addColumn<QString>("tlsMin");
        QTest::addColumn<QString>("tlsMax");
        QTest::addColumn<QString>("negotiated");
        // A server that stops at TLS 1.2 and one that wants TLS 1.3 both take the mail.
        QTest::newRow("server up to TLS 1.2") << QString() << QStringLiteral("1.2") << QStringLiteral("TLSv1.2");
        QTest::newRow("server TLS 1.3 only") << QStringLiteral("1.3") << QString() << QStringLiteral("TLSv1.3");
    }

    void startTlsBeforeLogin()
    {
        QFETCH(QString, tlsMin);
        QFETCH(QString, tlsMax);
        QFETCH(QString, negotiated);
        SmtpTestServer server(serverOptions(true, true, tlsMin, tlsMax));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), true, true);

        SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Completed"));

        QVERIFY2(server.waitForMessages(1), qPrintable(logText()));
        const QStringList cmds = server.commands();
        QVERIFY(cmds.contains(QStringLiteral("STARTTLS")));
        QVERIFY(cmds.contains(QStringLiteral("AUTH")));
        QVERIFY(cmds.indexOf(QStringLiteral("STARTTLS")) < cmds.indexOf(QStringLiteral("AUTH")));
        QVERIFY(cmds.indexOf(QStringLiteral("STARTTLS")) < cmds.indexOf(QStringLiteral("MAIL")));
        QString version;
        QString login, password;
        for (const QJsonObject &e : server.events()) {
            if (e.value(QStringLiteral("event")).toString() == QStringLiteral("tls"))
                version = e.value(QStringLiteral("version")).toString();
            if (e.value(QStringLiteral("event")).toString() == QStringLiteral("auth")) {
                login = e.value(QStringLiteral("login")).toString();
                password = e.value(QStringLiteral("password")).toString();
            }
        }
        QCOMPARE(version, negotiated);
        QCOMPARE(login, QStringLiteral("labuser"));
        QCOMPARE(password, QStringLiteral("secret"));
        const QJsonObject m = server.messages().at(0);
        QVERIFY(m.value(QStringLiteral("tls")).toBool());
        QVERIFY(m.value(QStringLiteral("authenticated")).toBool());
        QCOMPARE(bodyLines(m), expectedBody(QStringLiteral("Status = Completed")));
        QVERIFY(logText().isEmpty());
    }

    void twoAlertsInARowEachCarryOnlyTheirOwnBody()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), false, false);

        SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Completed"));
        SendAlertMail(*FWs, QStringLiteral("second@lab.example"), QStringLiteral("Error during GetStatus net command"));

        QVERIFY(server.waitForMessages(2));
        const QJsonObject second = server.messages().at(1);
        QCOMPARE(second.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("second@lab.example")});
        QCOMPARE(bodyLines(second), expectedBody(QStringLiteral("Error during GetStatus net command")));
    }

    void nonAsciiAndDotLinesArriveIntact()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), false, false);
        FWs->FSenderName = QStringLiteral("Labor Müller");
        const QString message = QStringLiteral("Protokoll «PCR-Ü» fertig");

        SendAlertMail(*FWs, kRecipient, message);
        // A line of a single dot must not end the message early.
        SendAlertMail(*FWs, kRecipient, QStringLiteral("."));

        QVERIFY(server.waitForMessages(2));
        QCOMPARE(bodyLines(server.messages().at(0)), expectedBody(message));
        QCOMPARE(server.messages().at(0).value(QStringLiteral("from")).toString(),
                 QStringLiteral("Labor Müller <cycler@lab.example>"));
        QCOMPARE(bodyLines(server.messages().at(1)), expectedBody(QStringLiteral(".")));
    }

    void failureGoesOnlyToTheGeneralLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("server down") << QStringLiteral("down") << QStringLiteral("onnect");
        QTest::newRow("wrong password") << QStringLiteral("badpassword") << QStringLiteral("Login denied");
        QTest::newRow("TLS on, server cannot STARTTLS") << QStringLiteral("notls") << QString();
        QTest::newRow("port above 65535") << QStringLiteral("bigport") << QStringLiteral("smtp://127.0.0.1:70000");
        QTest::newRow("server silent after accepting") << QStringLiteral("silent") << QStringLiteral("timed out");
        QTest::newRow("server stalls after the message") << QStringLiteral("stall") << QStringLiteral("timed out");
    }

    void failureGoesOnlyToTheGeneralLog()
    {
        QFETCH(QString, kind);
        QFETCH(QString, errorPart);
        SmtpServerOptions options;
        options.auth = kind == QStringLiteral("badpassword") || kind == QStringLiteral("notls");
        options.silent = kind == QStringLiteral("silent");
        options.stallData = kind == QStringLiteral("stall");
        SmtpTestServer server(options);
        quint16 port = 0;
        if (kind == QStringLiteral("down")) {
            port = SmtpTestServer::closedPort();
        } else {
            QVERIFY2(server.start(), qPrintable(server.errorText()));
            port = server.port();
        }
        fillFields(*FWs, port, options.auth, kind == QStringLiteral("notls"));
        if (kind == QStringLiteral("badpassword"))
            FWs->FSmtpPassword = QStringLiteral("wrong");
        if (kind == QStringLiteral("bigport"))
            FWs->FSmtpPort = QStringLiteral("70000");
        setSmtpTimeouts({std::chrono::milliseconds(1000), std::chrono::milliseconds(1500)});

        // The workstation stays responsive while the send waits: its timers keep ticking.
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Completed"));
        const qint64 elapsed = clock.elapsed();
        ticker.stop();

        QVERIFY(server.messages().isEmpty());
        if (kind != QStringLiteral("stall"))
            QVERIFY(!server.commands().contains(QStringLiteral("MAIL")));
        const QStringList lines = logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("E-mail SMTP error"));
        QVERIFY(!lines.at(1).trimmed().isEmpty());
        qInfo("logged: %s", qPrintable(lines.at(1)));
        if (!errorPart.isEmpty())
            QVERIFY2(lines.at(1).contains(errorPart), qPrintable(lines.at(1)));
        QVERIFY2(elapsed < 8000, qPrintable(QString::number(elapsed)));
        if (kind == QStringLiteral("silent") || kind == QStringLiteral("stall")) {
            QVERIFY(server.connections() >= 1);
            QVERIFY2(elapsed >= 1000, qPrintable(QString::number(elapsed)));
            QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        }
        if (kind == QStringLiteral("notls")) {
            // The password never went over the plain connection.
            QVERIFY(!server.commands().contains(QStringLiteral("AUTH")));
        }
    }

    void portThatIsNoNumberFailsBeforeSending_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("empty") << QString();
        QTest::newRow("letters") << QStringLiteral("smtp");
        QTest::newRow("trailing text") << QStringLiteral("25x");
    }

    void portThatIsNoNumberFailsBeforeSending()
    {
        QFETCH(QString, port);
        SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        fillFields(*FWs, server.port(), false, false);
        FWs->FSmtpPort = port;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 SendAlertMail(*FWs, kRecipient, QStringLiteral("Status = Completed")));
        QTest::qWait(100);
        QCOMPARE(server.connections(), 0);
        QVERIFY(logText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
