#include "mainwindow/SendAlertMail.h"

#include "link/FieldList.h"
#include "link/Workstation.h"
#include "mainwindow/SmtpClient.h"

#include <stdexcept>

namespace {

// The port as the class library's integer conversion reads it; any other text is refused
// with that conversion's error.
int wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = duvo::FieldToInt(text, &ok);
    if (!ok)
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

} // namespace

QStringList AlertMailBody(const QString &message)
{
    return {QStringLiteral("Duvo Studio update:"), QString(), message, QString(), QString(),
            QStringLiteral("Do NOT reply to this e-mail...")};
}

void SendAlertMail(const SettingsFields &fields, duvo::GeneralLog &log, const QString &recipient,
                   const QString &message)
{
    duvo::SmtpMail mail;
    mail.mailAgent = QString::fromLatin1(duvo::kMailAgent);
    mail.host = fields.FSmtpHost;
    mail.user = fields.FSmtpUser;
    mail.password = fields.FSmtpPassword;
    mail.authenticate = fields.FSmtpAuth;
    mail.port = wholeNumber(fields.FSmtpPort);
    mail.tls = fields.FSmtpTls;
    mail.senderAddress = fields.FSenderAddress;
    mail.senderName = fields.FSenderName;
    mail.subject = QString::fromLatin1(kAlertMailSubject);
    mail.bodyLines = AlertMailBody(message);
    mail.recipient = recipient;

    const QString error = duvo::SendSmtpMail(mail);
    if (error.isEmpty())
        return;
    log.WriteLine(QStringLiteral("E-mail SMTP error"));
    log.WriteLine(error);
    log.Dump();
}

void SendAlertMail(Workstation &workstation, const QString &recipient, const QString &message)
{
    SendAlertMail(workstation, workstation.ZavLog1, recipient, message);
}
