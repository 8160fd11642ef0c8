#include "mainwindow/forms/DuvoApplication.h"

#include "common/Prompts.h"
#include "link/Workstation.h"

#include <exception>

DuvoApplication::DuvoApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("VelmorDuvoStudio"));
    setOrganizationName(QStringLiteral("Velmor"));
    setApplicationDisplayName(QStringLiteral("Velmor Lab Duvo Studio"));
    std::set_terminate([] {
        QString what = QStringLiteral("unknown exception");
        if (std::exception_ptr p = std::current_exception()) {
            try {
                std::rethrow_exception(p);
            } catch (const std::exception &e) {
                what = QString::fromLocal8Bit(e.what());
            } catch (...) {
            }
        }
        if (Workstation *ws = Workstation::current())
            ws->ZavExceptionLog1.LogException(QStringLiteral("terminate"), what);
        std::abort();
    });
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
        ShowException(QStringLiteral("event loop"), QStringLiteral("unknown exception"));
    }
    return false;
}
