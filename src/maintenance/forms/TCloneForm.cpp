#include "maintenance/forms/TCloneForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "maintenance/forms/TCopyFileForm.h"
#include "maintenance/forms/TFormatForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

QString TCloneForm::TargetItemText(const std::string &type, const std::string &ip, const std::string &id)
{
    const char *picture = type == "SV cycler" ? "DuvoQ24" : type == "DUVO 24" ? "Duvo2424"
                        : type == "DUVO 96"   ? "Duvo9624" : nullptr;
    if (!picture)
        return {};
    return QStringLiteral("<IMG SRC=\"%1\" align=\"bottom\"> <B><FONT SIZE=\"10\">%2</FONT></B><BR><IND X=\"24\">"
                          "<FONT SIZE=\"8\"><B>Duvo ID</B>: %3</BR>")
        .arg(QLatin1String(picture), QString::fromStdString(ip).toHtmlEscaped(),
             QString::fromStdString(id).toHtmlEscaped());
}

TCloneForm::TCloneForm(QWidget *owner, int *sourceIndex) : QDialog(owner)
{
    setObjectName(QStringLiteral("CloneForm"));
    setWindowTitle(QStringLiteral("Clone Duvo"));
    setModal(true);

    auto *source = new QGroupBox(QStringLiteral("Source Information"), this);
    lblIP = new QLabel(QStringLiteral("IP: "), source);
    lblIP->setObjectName(QStringLiteral("lblIP"));
    lblName = new QLabel(QStringLiteral("ID: "), source);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblType = new QLabel(QStringLiteral("Type: "), source);
    lblType->setObjectName(QStringLiteral("lblType"));
    lblFolders = new QLabel(QStringLiteral("Folders: "), source);
    lblFolders->setObjectName(QStringLiteral("lblFolders"));
    lblFiles = new QLabel(QStringLiteral("Protocols: "), source);
    lblFiles->setObjectName(QStringLiteral("lblFiles"));
    lblAction = new QLabel(QStringLiteral("Retrieving folder information...  Please wait"), source);
    lblAction->setObjectName(QStringLiteral("lblAction"));
    auto *sg = new QGridLayout(source);
    sg->addWidget(lblIP, 0, 0);
    sg->addWidget(lblFolders, 0, 1);
    sg->addWidget(lblName, 1, 0);
    sg->addWidget(lblFiles, 1, 1);
    sg->addWidget(lblType, 2, 0, 1, 2);
    sg->addWidget(lblAction, 3, 0, 1, 2);
    sg->setColumnStretch(0, 1);
    sg->setColumnStretch(1, 1);

    auto *targets = new QGroupBox(QStringLiteral("Target Information"), this);
    ListBox1 = new QListWidget(targets);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setMinimumHeight(160);
    auto *tl = new QVBoxLayout(targets);
    tl->addWidget(ListBox1);

    btnClone = new QPushButton(QStringLiteral("Start Cloning"), this);
    btnClone->setObjectName(QStringLiteral("btnClone"));
    btnClone->setToolTip(QStringLiteral("Start the cloning process"));
    btnCancel = new QPushButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnClone, &QPushButton::clicked, this, &TCloneForm::btnCloneClick);
    connect(btnCancel, &QPushButton::clicked, this, &TCloneForm::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClone);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(targets, 1);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TCloneForm::Timer1Timer);

    try {
        FSourceIndex = sourceIndex ? *sourceIndex : -1;
        btnClone->setEnabled(false);
        Workstation *w = Workstation::current();
        if (!w)
            throw std::runtime_error("no workstation");
        for (int i = 0; i < w->FDeviceList.Count(); ++i) {
            const DVDEVICEINFO_T *d = w->FDeviceList.at(i);
            if (i == FSourceIndex) {
                FSourceIp = d->ipAddress;
                FSourceType = d->typeText;
                FSourceId = d->deviceId;
                lblType->setText(QStringLiteral("Type: ") + QString::fromStdString(d->typeText));
                lblName->setText(QStringLiteral("ID: ") + QString::fromStdString(d->deviceId));
                lblIP->setText(QStringLiteral("IP: ") + QString::fromStdString(d->ipAddress));
            } else if (d->selected == 1) {
                const QString item = TargetItemText(d->typeText, d->ipAddress, d->deviceId);
                if (!item.isEmpty())
                    ListBox1->addItem(item);
            }
        }
        Timer1->start();
    } catch (...) {
        FLoadFailed = true;
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
    }
    resize(460, 420);
}

TCloneForm::~TCloneForm()
{
    Timer1->stop();
    // The target marks end with the window.
    if (Workstation *w = Workstation::current())
        for (const auto &d : w->FDeviceList) {
            d->pickRow = -1;
            d->selected = 0;
        }
}

void TCloneForm::Timer1Timer()
{
    Timer1->stop();
    FListingRun = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    duvo::ListWholeInstrument(TCPClient1, FSourceIp, FListing, [] { QCoreApplication::processEvents(); });
    QApplication::restoreOverrideCursor();
    FListingRun = false;
    FListed = true;
    lblFolders->setText(QStringLiteral("Folders: ") + QString::number(FListing.folderCount));
    lblFiles->setText(QStringLiteral("Protocols: ") + QString::number(FListing.fileCount));
    btnClone->setEnabled(true);
    lblAction->setVisible(false);
    if (FCloseRequested)
        QDialog::reject();
}

void TCloneForm::btnCloneClick()
{
    Workstation *w = Workstation::current();
    if (!w || FCloning)
        return;
    FCloning = true;
    btnClone->setEnabled(false);
    FCancel = false;
    QPointer<TCloneForm> self(this);
    const uint64_t generation = w->FDeviceList.generation();
    const QString folders = QString::number(FListing.folderCount), files = QString::number(FListing.fileCount);
    for (int i = 0; i < w->FDeviceList.Count(); ++i) {
        // A rescan while a target was served takes the records away: no further target.
        if (w->FDeviceList.generation() != generation)
            break;
        const DVDEVICEINFO_T *d = w->FDeviceList.at(i);
        if (i == FSourceIndex || d->selected != 1 || d->typeText == "SV cycler")
            continue;
        if (TargetItemText(d->typeText, d->ipAddress, d->deviceId).isEmpty())
            continue;
        const QString ip = QString::fromStdString(d->ipAddress), type = QString::fromStdString(d->typeText),
                      id = QString::fromStdString(d->deviceId);
        {
            TFormatForm format(this, ip, type, id, true);
            if (onFormat)
                onFormat(format);
            format.exec();
        }
        QCoreApplication::processEvents();
        if (!self || FCancel)
            break;
        {
            TCopyFileForm copy(this, QString::fromStdString(FSourceIp), QString::fromStdString(FSourceType),
                               QString::fromStdString(FSourceId), ip, type, id, folders, files, FListing.folders,
                               FListing.files, &FCancel);
            copy.exec();
        }
        if (!self || FCancel)
            break;
    }
    if (!self)
        return;
    duvo::Prompts::message(QStringLiteral("Cloning Completed!"), QStringLiteral("Clone Duvo"), duvo::Ok,
                           duvo::PromptIcon::Information);
    FCloning = false;
    btnClone->setEnabled(true);
    raise();
    activateWindow();
}

void TCloneForm::closeEvent(QCloseEvent *event)
{
    if (busy()) {
        event->ignore();
        reject();
        return;
    }
    event->accept();
}

void TCloneForm::reject()
{
    if (FListingRun) {
        // The listing stops at once (its exchange is aborted) and the window then closes.
        FCloseRequested = true;
        TCPClient1.abort();
        return;
    }
    if (FCloning) {
        // A clone run stops at its next check; a later request closes the window.
        FCancel = true;
        return;
    }
    QDialog::reject();
}
