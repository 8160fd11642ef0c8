#include "link/MailSettings.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/FieldList.h"

#include <QFileInfo>

#include <stdexcept>

namespace duvo {

namespace {

bool readSwitch(const QString &text)
{
    bool ok = false;
    const int value = FieldToInt(text, &ok);
    if (!ok)
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value == 1;
}

} // namespace

QString JoinMailData(const MailSettings &s)
{
    return JoinFieldList({s.port, QuotedField(s.host), QuotedField(s.user), QuotedField(s.password),
                          SwitchField(s.authenticate), QuotedField(s.senderName), QuotedField(s.senderAddress),
                          SwitchField(s.tls)});
}

MailSettings ParseMailData(const QString &mailData)
{
    const QStringList f = ParseFieldList(mailData);
    if (f.size() < 8)
        throw std::invalid_argument("the mail settings hold fewer than eight fields");
    MailSettings s;
    s.port = f.at(0);
    s.host = f.at(1);
    s.user = f.at(2);
    s.password = f.at(3);
    s.authenticate = readSwitch(f.at(4));
    s.senderName = f.at(5);
    s.senderAddress = f.at(6);
    s.tls = readSwitch(f.at(7));
    return s;
}

void CopyMailSettings(const MailSettings &s, SettingsFields &fields)
{
    fields.FSmtpPort = s.port;
    fields.FSmtpHost = s.host;
    fields.FSmtpUser = s.user;
    fields.FSmtpPassword = s.password;
    fields.FSmtpAuth = s.authenticate;
    fields.FSenderName = s.senderName;
    fields.FSenderAddress = s.senderAddress;
    fields.FSmtpTls = s.tls;
}

bool ReadMailData(const QString &dbPath, const QString &key, QString &mailData)
{
    mailData.clear();
    if (!QFileInfo(dbPath).isFile()) {
        Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), Ok,
                         PromptIcon::Warning);
        return false;
    }
    const QByteArray keyUtf8 = key.toUtf8();
    CppSQLite3DB db;
    db.OpenFile(dbPath);
    if (db.RunScalar("select count(configname) from config_tbl;") > 0) {
        CppSQLite3Buffer sql;
        sql.Format("select maildata from config_tbl where configname = '%q';", keyUtf8.constData());
        CppSQLite3Query q = db.RunQuery(sql);
        if (!q.AtEnd())
            mailData = q.StringColumnNamed("maildata");
    }
    db.CloseFile();
    return true;
}

bool MailPortRefused(const QString &portText)
{
    if (portText.isEmpty())
        return false;
    bool ok = false;
    const int value = FieldToInt(portText, &ok);
    return ok && (value <= 0 || value > 65535);
}

QString MailPortRefusedText(const QString &portText)
{
    return portText + QStringLiteral(" is not a valid Port number!");
}

} // namespace duvo
