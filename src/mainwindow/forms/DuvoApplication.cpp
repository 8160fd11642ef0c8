#include "mainwindow/forms/DuvoApplication.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/Workstation.h"

#include <exception>

DuvoApplication::DuvoApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("VelmorDuvoStudio"));
    setOrganizationName(QStringLiteral("Velmor"));
    setApplicationDisplayName(QStringLiteral("Velmor Lab Duvo Studio"));
    std::set_terminate([] {
        const QString what = ExceptionText(std::current_exception());
        if (Workstation *ws = Workstation::current())
            ws->ZavExceptionLog1.LogException(QStringLiteral("terminate"), what);
        std::abort();
    });
}

QString DuvoApplication::ExceptionText(std::exception_ptr p)
{
    if (!p)
        return QStringLiteral("unknown exception");
    try {
        std::rethrow_exception(p);
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (const CppSQLite3Exception &e) {
        QString text = QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode());
        if (e.ErrorMessage() && *e.ErrorMessage())
            text += QStringLiteral(" (") + QString::fromUtf8(e.ErrorMessage()) + QLatin1Char(')');
        return text;
    } catch (...) {
    }
    return QStringLiteral("unknown exception");
}

void DuvoApplication::ShowException(const QString &where, const QString &what)
{
    if (Workstation *ws = Workstation::current())
        ws->ZavExceptionLog1.LogException(where, what);
    duvo::Prompts::message(what, QStringLiteral("Velmor Lab Duvo Studio"), duvo::Ok, duvo::PromptIcon::Error);
}

bool DuvoApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowException(receiver ? receiver->metaObject()->className() : QStringLiteral("event loop"),
                      QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(receiver ? receiver->metaObject()->className() : QStringLiteral("event loop"),
                      ExceptionText(std::current_exception()));
    }
    return false;
}
