#pragma once
// The SMTP account of the settings row: the maildata column, its text, and the rules for the
// port that the e-mail settings dialog applies before it saves or sends.
//
// maildata holds eight fields joined by ':': the port text, then server, user name and
// password between double quotes, the authentication switch ("1"/"0"), sender name and sender
// address between double quotes, and the TLS switch. With the dialog's initial values it reads
// 25:"":"":"":1:"":"":0

#include "link/SettingsFields.h"

#include <QString>

namespace duvo {

struct MailSettings {
    QString port = QStringLiteral("25");
    QString host;
    QString user;
    QString password;
    bool authenticate = true;
    QString senderName;
    QString senderAddress;
    bool tls = false;
};

// The maildata text of the settings (the text fields quoted, a quote inside doubled).
QString JoinMailData(const MailSettings &settings);

// Reads a maildata text. Throws std::invalid_argument when it has fewer than eight fields or a
// switch is not a number; a switch is on exactly when its number is 1.
MailSettings ParseMailData(const QString &mailData);

// Copies the settings into the main window's SMTP fields (FSmtpPort, FSmtpHost, ...).
void CopyMailSettings(const MailSettings &settings, SettingsFields &fields);

// Reads the maildata column of the settings row with the given key from the database at dbPath
// into mailData (empty when there is no row or no text). No file there: shows "Can't find the
// database file!" (title "Database Error") and returns false. Engine errors are thrown as
// CppSQLite3Exception.
bool ReadMailData(const QString &dbPath, const QString &key, QString &mailData);

// The port rules of the dialog. A port text that names no usable TCP port ("0", or a number
// above 65535) is refused with "<text> is not a valid Port number!"; an empty text stands for 25.
bool MailPortRefused(const QString &portText);
QString MailPortRefusedText(const QString &portText);
inline constexpr int kDefaultSmtpPort = 25;

} // namespace duvo
