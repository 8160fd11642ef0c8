#pragma once
// The notification e-mail: one mail to one recipient with the SMTP settings of the main
// window's fields (FSmtpHost, FSmtpPort, ...). A failed send is only written to the general
// log; the caller cannot tell it from success.

#include "common/GeneralLog.h"
#include "link/SettingsFields.h"

#include <QString>
#include <QStringList>

class Workstation;

// The subject of every notification mail.
inline constexpr char kAlertMailSubject[] = "Duvo Studio e-mail notification";

// The six body lines of a notification carrying message.
QStringList AlertMailBody(const QString &message);

// Sends the notification. While it goes out the calling thread keeps processing events.
// Network, TLS, authentication and protocol errors go to log as "E-mail SMTP error" and the
// error's message (the log is then dumped). A FSmtpPort text that is not a whole number
// throws std::invalid_argument before anything is sent.
void SendAlertMail(const SettingsFields &fields, duvo::GeneralLog &log, const QString &recipient,
                   const QString &message);
// The same with the workstation's fields and its general log ZavLog1.
void SendAlertMail(Workstation &workstation, const QString &recipient, const QString &message);
