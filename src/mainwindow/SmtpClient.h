#pragma once
// The workstation's SMTP client: sends one plain-text mail to one recipient with libcurl.
// The transfer runs on a worker thread while the calling thread keeps processing its events
// in a nested event loop, so timers and clicks still run during a send.

#include <QString>
#include <QStringList>

#include <chrono>

namespace duvo {

// The text the workstation puts into the X-Mailer header of its mails.
inline constexpr char kMailAgent[] = "Velmor Lab Duvo Studio";

struct SmtpMail {
    // Account and connection.
    QString host;
    int port = 25;
    bool authenticate = false;  // log in with user and password (when the server offers AUTH)
    QString user;
    QString password;
    bool tls = false;           // upgrade the plain connection with STARTTLS; fail without it
    // Message.
    QString mailAgent = QString::fromLatin1(kMailAgent);
    QString senderName;
    QString senderAddress;
    QString recipient;
    QString subject;
    QStringList bodyLines;
};

struct SmtpTimeouts {
    std::chrono::milliseconds connect{15000};  // TCP connect
    std::chrono::milliseconds total{60000};    // the whole exchange, greeting to QUIT
};

// The time-outs every send uses. Tests shorten them; the defaults suit a real mail server.
SmtpTimeouts smtpTimeouts();
void setSmtpTimeouts(const SmtpTimeouts &timeouts);

// Sends the mail. Returns an empty text on success, else the error as libcurl tells it
// (its detailed message where it has one). Never throws for network or mail errors.
QString SendSmtpMail(const SmtpMail &mail);

// The complete message text (headers, blank line, body; CRLF line ends) that SendSmtpMail
// hands to the server. Exposed for the tests of header encoding.
QByteArray ComposeSmtpMessage(const SmtpMail &mail);

} // namespace duvo
