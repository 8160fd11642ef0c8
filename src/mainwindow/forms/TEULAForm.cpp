#include "mainwindow/forms/TEULAForm.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "common/forms/PrintPrompt.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrinter>
#include <QVBoxLayout>

TEULAForm::TEULAForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("EULAForm"));
    setWindowTitle(QStringLiteral("End User License Agreement"));
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(600, 480);

    RichEdit1 = new QTextBrowser;
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setOpenLinks(false);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    btnPrint = new QPushButton(QStringLiteral("Print..."));
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    auto *printAction = new QAction(QStringLiteral("Print..."), this);
    printAction->setObjectName(QStringLiteral("PrintDlg1"));
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(printAction);
    connect(printAction, &QAction::triggered, this, &TEULAForm::btnPrintClick);
    connect(btnPrint, &QPushButton::clicked, printAction, &QAction::trigger);
    btnOk = new QPushButton(QStringLiteral("Close"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnPrint);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(RichEdit1);
    layout->addLayout(buttons);

    try {
        const QString path = duvo::ProgramFolder() + QStringLiteral("EULA.DOC");
        QFile file(path);
        if (!QFileInfo(path).isFile()) {
            duvo::Prompts::message(
                QStringLiteral("Can't find EULA.DOC End User License Agreement Document!  Please contact your vendor!"),
                QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Warning);
            FLoadFailed = true;
            return;
        }
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("EULA.DOC cannot be read");
        RichEdit1->setHtml(QString::fromUtf8(file.read(8 << 20)));
    } catch (...) {
        duvo::Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::None);
        FLoadFailed = true;
    }
}

void TEULAForm::btnPrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    if (!duvo::askPrinter(printer))
        return;
    printer.setDocName(windowTitle());
    RichEdit1->document()->print(&printer);
}
