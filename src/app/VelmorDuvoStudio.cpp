// The workstation's program entry.

#include "common/ProgramFolder.h"
#include "common/SingleInstance.h"
#include "common/forms/DesktopShell.h"
#include "common/forms/QtPrompts.h"
#include "mainwindow/StartUp.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/DuvoApplication.h"
#include "mainwindow/forms/TSplashForm.h"
#include "protocols/forms/TPWForm.h"

#include <QEventLoop>
#include <QTimer>
#include <exception>

int main(int argc, char **argv)
{
    DuvoApplication app(argc, argv);
    duvo::QtPrompts prompts;
    duvo::PromptsScope promptsScope(&prompts);
    RegisterProtocolPrompts();
    duvo::DesktopShell shell;
    duvo::Shell::install(&shell);
    try {
        SplashForm = new TSplashForm;
        SplashForm->show();
        QCoreApplication::processEvents();

        // One instance per user and program folder: a second start hands its command line to
        // the running one, which comes to the front, and ends here.
        duvo::SingleInstance instance(duvo::SingleInstance::defaultKey());
        if (!instance.claim(QCoreApplication::arguments()))
            return 0;

        DOzerAvirAded mainForm;
        QObject::connect(&instance, &duvo::SingleInstance::activated, &mainForm, [&mainForm](const QStringList &) {
            mainForm.showNormal();
            mainForm.raise();
            mainForm.activateWindow();
        });

        // The splash stays up while the program waits; the event loop keeps running.
        QEventLoop wait;
        QTimer::singleShot(StartupWaitMs(), &wait, &QEventLoop::quit);
        wait.exec();

        mainForm.show();
        app.exec();
    } catch (const std::exception &e) {
        DuvoApplication::ShowException(QStringLiteral("main"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        DuvoApplication::ShowException(QStringLiteral("main"), DuvoApplication::ExceptionText(std::current_exception()));
    }
    return 0;
}
