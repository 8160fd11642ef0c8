#include "link/Settings.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/FieldList.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"

#include <QFileInfo>

#include <optional>

namespace duvo {

namespace {

// Reads fields by position, noting every field that is missing or not a number.
class FieldReader {
public:
    explicit FieldReader(const QString &text) : FFields(ParseFieldList(text)) {}

    bool has(int i) const { return i < FFields.size(); }

    QString text(int i, const QString &fallback)
    {
        if (!has(i)) {
            FComplete = false;
            return fallback;
        }
        return FFields.at(i);
    }

    // The number of field i, or nullopt (and incomplete) when it cannot be read.
    std::optional<int> number(int i)
    {
        if (!has(i)) {
            FComplete = false;
            return std::nullopt;
        }
        bool ok = false;
        const int v = FieldToInt(FFields.at(i), &ok);
        if (!ok) {
            FComplete = false;
            return std::nullopt;
        }
        return v;
    }

    int number(int i, int fallback) { return number(i).value_or(fallback); }
    // A switch is on exactly when its number is 1.
    bool on(int i, bool fallback)
    {
        const std::optional<int> v = number(i);
        return v ? *v == 1 : fallback;
    }

    bool complete() const { return FComplete; }

private:
    QStringList FFields;
    bool FComplete = true;
};

void showEngineError(const CppSQLite3Exception &e)
{
    Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()), QStringLiteral("Error"),
                     Ok, PromptIcon::Warning);
}

// Offers to create the missing main database; true when it now exists.
bool offerNewDatabase(Workstation &ws)
{
    ws.ZavLog1.WriteLine(QStringLiteral("Error can not find database"));
    TaskDialog &td = ws.TaskDialog1;
    const int answer = td.Show(
        Yes | No, PromptIcon::None, QStringLiteral("Velmor Lab Duvo Studio"), QStringLiteral("Create new database file"),
        QStringLiteral("No database file was found. Create new?"),
        QStringLiteral("The application needs a database file to function correctly.  Select Yes to create a database now."));
    if (answer == No) {
        ws.Terminate();
        return false;
    }
    if (answer != Yes)
        return false;
    if (CreateMainDatabase(DatabasePath) != 1) {
        Prompts::message(QStringLiteral("Error during database creation!"), QStringLiteral("Creation Error"), Ok,
                         PromptIcon::Error);
        return false;
    }
    WriteDbVersion(ws);
    Prompts::message(QStringLiteral("Database created!"), QStringLiteral("Database Administration"), Ok,
                     PromptIcon::Information);
    return true;
}

} // namespace

void ApplyDefaultPreferences(Workstation &ws)
{
    ApplyPreferenceData(ws, QString());
}

bool ApplyPreferenceData(Workstation &ws, const QString &preferenceData)
{
    if (preferenceData.isEmpty()) {
        ws.FNetPort = 62751;
        ws.FRefreshSeconds = 5;
        ws.FSearchDelay = 10;
        ws.FUseProxy = false;
        ws.FProxyServer.clear();
        ws.FProxyUser.clear();
        ws.FProxyPassword.clear();
        ws.FDefaultFolder = ProgramFolder();
        ws.FMailNotification = false;
        return true;
    }
    FieldReader f(preferenceData);
    if (const std::optional<int> v = f.number(0))
        ws.ZavLog1.setEnabled(*v == 1);
    if (const std::optional<int> v = f.number(1))
        ws.ZavExceptionLog1.setActive(*v == 1);
    ws.FNetPort = f.number(2, 62751);
    ws.FRefreshSeconds = f.number(3, 5);
    ws.FSearchDelay = f.number(4, 10);
    ws.FUseProxy = f.on(5, false);
    ws.FProxyServer = f.text(6, QString());
    ws.FProxyUser = f.text(7, QString());
    ws.FProxyPassword = f.text(8, QString());
    ws.FDefaultFolder = f.text(9, ProgramFolder());
    ws.FMailNotification = f.on(10, false);
    return f.complete();
}

bool ApplyMailData(Workstation &ws, const QString &mailData)
{
    if (mailData.isEmpty()) {
        ws.FMailNotification = false;
        return true;
    }
    FieldReader f(mailData);
    ws.FSmtpPort = f.text(0, ws.FSmtpPort);
    ws.FSmtpHost = f.text(1, ws.FSmtpHost);
    ws.FSmtpUser = f.text(2, ws.FSmtpUser);
    ws.FSmtpPassword = f.text(3, ws.FSmtpPassword);
    ws.FSmtpAuth = f.on(4, ws.FSmtpAuth);
    ws.FSenderName = f.text(5, ws.FSenderName);
    ws.FSenderAddress = f.text(6, ws.FSenderAddress);
    ws.FSmtpTls = f.on(7, ws.FSmtpTls);
    return f.complete();
}

bool LoadSettings(Workstation &ws, const QString &key)
{
    try {
        if (!QFileInfo(DatabasePath).isFile() && !offerNewDatabase(ws))
            return false;

        QString preferenceData;
        QString mailData;
        {
            CppSQLite3DB db;
            db.OpenFile(DatabasePath);
            if (db.RunScalar("select count(configname) from config_tbl;") == 0) {
                ApplyDefaultPreferences(ws);
                return true;
            }
            const QByteArray k = key.toUtf8();
            CppSQLite3Buffer sql;
            sql.Format("select * from config_tbl where configname = %Q;", k.constData());
            CppSQLite3Query q = db.RunQuery(sql);
            mailData = q.StringColumnNamed("maildata");
            preferenceData = q.StringColumnNamed("preferencedata");
        }
        ws.FMailData = mailData;
        ws.FPreferenceData = preferenceData;
        const bool preferencesRead = ApplyPreferenceData(ws, preferenceData);
        const bool mailRead = ApplyMailData(ws, mailData);
        return preferencesRead && mailRead;
    } catch (const CppSQLite3Exception &e) {
        showEngineError(e);
        ApplyDefaultPreferences(ws);
        return false;
    }
}

bool LoadSettingsAtStartup(Workstation &ws)
{
    if (LoadSettings(ws, SettingsRowKey()))
        return true;
    ws.ZavLog1.WriteLine(QStringLiteral("Error during database operation"));
    ws.ZavLog1.Dump();
    return false;
}

bool WriteDbVersion(const QString &dbPath)
{
    return WriteSettingsColumn(dbPath, SettingsRowKey(), QStringLiteral("dbversion"), QLatin1String(kDbVersion))
               .changes > 0;
}

bool WriteDbVersion(Workstation &)
{
    return WriteDbVersion(DatabasePath);
}

} // namespace duvo
