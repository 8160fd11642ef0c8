#include "link/SettingsRow.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"

#include <QFileInfo>

#include <stdexcept>

namespace duvo {

QString SettingsRowKey()
{
    return QLatin1Char('"') + QStringLiteral("default").toUpper() + QLatin1Char('"');
}

namespace {

bool isSettingsColumn(const QString &column)
{
    static const char *const columns[] = {"maildata", "preferencedata", "dbversion", "data1", "data2"};
    for (const char *c : columns)
        if (column == QLatin1String(c))
            return true;
    return false;
}

} // namespace

SettingsWriteResult WriteSettingsColumn(const QString &dbPath, const QString &key,
                                        const QString &column, const QString &value)
{
    if (!isSettingsColumn(column))
        throw std::invalid_argument("not a column of the settings row: " + column.toStdString());

    SettingsWriteResult result;
    if (!QFileInfo(dbPath).isFile()) {
        Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"),
                         Ok, PromptIcon::Warning);
        return result;
    }
    result.fileFound = true;

    const QByteArray keyUtf8 = key.toUtf8();
    const QByteArray valueUtf8 = value.toUtf8();
    const QByteArray col = column.toLatin1();

    CppSQLite3DB db;
    db.OpenFile(dbPath);
    CppSQLite3Buffer sql;
    const int rows = db.RunScalar("select count(configname) from config_tbl;");
    bool update = false;
    if (rows > 0) {
        sql.Format("select configname from config_tbl where configname = %Q;", keyUtf8.constData());
        CppSQLite3Query query = db.RunQuery(sql);
        const char *found = query.TextColumnNamed("configname", "");
        update = found && *found;
    }
    if (update) {
        const QByteArray format = "update config_tbl set configname = %Q," + col + " = %Q where configname = %Q;";
        sql.Format(format.constData(), keyUtf8.constData(), valueUtf8.constData(), keyUtf8.constData());
    } else {
        const QByteArray format = "insert into config_tbl (configname," + col + ") values (%Q,%Q);";
        sql.Format(format.constData(), keyUtf8.constData(), valueUtf8.constData());
    }
    db.RunCommand("begin exclusive transaction;");
    result.changes = db.RunCommand(sql);
    db.RunCommand("commit transaction;");
    result.updated = update;
    db.CloseFile();
    return result;
}

} // namespace duvo
