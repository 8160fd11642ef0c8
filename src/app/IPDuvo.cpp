// The network address tool: finds the instruments' network modules and writes their network
// settings. Takes no command line.

#include "common/forms/QtPrompts.h"
#include "iptool/forms/CIPToolDlg.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("IPDuvo"));
    duvo::QtPrompts prompts;
    duvo::PromptsScope promptsScope(&prompts);

    duvo::iptool::CIPToolDlg dialog;
    if (!dialog.initialise())
        return -1;
    dialog.exec();
    return 0;
}
