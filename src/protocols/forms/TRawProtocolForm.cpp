#include "protocols/forms/TRawProtocolForm.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "common/Shell.h"
#include "common/forms/PrintPrompt.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

#include <exception>

TRawProtocolForm::TRawProtocolForm(QWidget *Owner, const QString &protocolText)
    : QDialog(Owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("RawProtocolForm"));
    setWindowTitle(QStringLiteral("Raw Protocol Viewer"));

    AdvMemo1 = new QPlainTextEdit(this);
    AdvMemo1->setObjectName(QStringLiteral("AdvMemo1"));
    AdvMemo1->setReadOnly(true);
    AdvMemo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    AdvMemo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    AdvMemo1->setPlainText(protocolText);

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    btnCopy = new QPushButton(QStringLiteral("Copy"), this);
    btnCopy->setObjectName(QStringLiteral("btnCopy"));
    btnCopy->setToolTip(QStringLiteral("Copy protocol to the clibboard"));
    btnSave = new QPushButton(QStringLiteral("Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnPrint = new QPushButton(QStringLiteral("Print"), this);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    for (QPushButton *b : {btnCopy, btnSave, btnPrint})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnCopy);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnPrint);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(AdvMemo1, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCopy, &QPushButton::clicked, this, &TRawProtocolForm::btnCopyClick);
    connect(btnSave, &QPushButton::clicked, this, &TRawProtocolForm::btnSaveClick);
    connect(btnPrint, &QPushButton::clicked, this, &TRawProtocolForm::btnPrintClick);

    // The text also goes to the temporary file, shown beside the dialog by the desktop's viewer.
    const QString temp = TempFileName();
    if (QFile::exists(temp) && !QFile::remove(temp)) {
        duvo::Prompts::message(QStringLiteral("Could not delete temp xls file"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        return;
    }
    if (WriteLines(temp))
        duvo::Shell::instance().openDocument(temp);
    else
        duvo::Prompts::message(QStringLiteral("Could not write the temporary file ") + temp + QStringLiteral("!"),
                               QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Warning);
}

QString TRawProtocolForm::TempFileName()
{
    return duvo::ProgramFolder() + QStringLiteral("RawDuvoTemp.xml");
}

bool TRawProtocolForm::WriteLines(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (QTextBlock b = AdvMemo1->document()->begin(); b.isValid(); b = b.next()) {
        bytes += b.text().toUtf8();
        bytes += "\r\n";
    }
    file.write(bytes);
    return true;
}

void TRawProtocolForm::btnCopyClick()
{
    try {
        QApplication::clipboard()->setText(AdvMemo1->toPlainText());
    } catch (const std::exception &) {
    }
}

void TRawProtocolForm::btnSaveClick()
{
    try {
        const std::optional<QString> path = duvo::Prompts::saveFile(
            QStringLiteral("Save"), duvo::ProgramFolder(), QStringLiteral("Raw Duvo File (*.xml)"), QString(),
            QStringLiteral("doc"));
        if (path)
            WriteLines(*path);
    } catch (const std::exception &) {
    }
}

void TRawProtocolForm::PrintTo(QPrinter &printer)
{
    printer.setDocName(QStringLiteral("Duvo Protocol"));
    QTextDocument *doc = AdvMemo1->document()->clone(this);
    doc->setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Duvo Protocol"));
    doc->print(&printer);
    delete doc;
}

void TRawProtocolForm::btnPrintClick()
{
    try {
        QPrinter printer(QPrinter::HighResolution);
        if (duvo::askPrinter(printer))
            PrintTo(printer);
    } catch (const std::exception &) {
    }
}
