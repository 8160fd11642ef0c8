#include "maintenance/forms/TCreateVDUForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "maintenance/VduWriter.h"
#include "maintenance/forms/MaintenanceHooks.h"
#include "maintenance/forms/TFormatForm.h"
#include "maintenance/forms/TVDUInfoForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using duvo::Prompts;

namespace {

QLabel *named(QLabel *l, const char *name)
{
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &hint = {})
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

} // namespace

TCreateVDUForm::TCreateVDUForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("CreateVDUForm"));
    setWindowTitle(QStringLiteral("Create virtual Duvo Data File"));
    setModal(true);

    auto *source = new QGroupBox(QStringLiteral("Source Device"), this);
    lblIP = named(new QLabel(QStringLiteral("-"), source), "lblIP");
    lblName = named(new QLabel(QStringLiteral("-"), source), "lblName");
    lblType = named(new QLabel(QStringLiteral("-"), source), "lblType");
    lblFolders = named(new QLabel(QStringLiteral("-"), source), "lblFolders");
    lblFiles = named(new QLabel(QStringLiteral("-"), source), "lblFiles");
    auto *sg = new QGridLayout(source);
    sg->addWidget(new QLabel(QStringLiteral("IP: "), source), 0, 0);
    sg->addWidget(lblIP, 0, 1);
    sg->addWidget(new QLabel(QStringLiteral("Folders: "), source), 0, 2);
    sg->addWidget(lblFolders, 0, 3);
    sg->addWidget(new QLabel(QStringLiteral("ID: "), source), 1, 0);
    sg->addWidget(lblName, 1, 1);
    sg->addWidget(new QLabel(QStringLiteral("Protocols: "), source), 1, 2);
    sg->addWidget(lblFiles, 1, 3);
    sg->addWidget(new QLabel(QStringLiteral("Type: "), source), 2, 0);
    sg->addWidget(lblType, 2, 1);
    sg->setColumnStretch(1, 2);
    sg->setColumnStretch(3, 1);

    auto *status = new QGroupBox(QStringLiteral("Status"), this);
    lblAction = named(new QLabel(QStringLiteral("-"), status), "lblAction");
    lblDetail = named(new QLabel(QStringLiteral("-"), status), "lblDetail");
    lblInfo = named(new QLabel(QStringLiteral("Retrieving folder information...  Please wait"), status), "lblInfo");
    auto *st = new QGridLayout(status);
    st->addWidget(new QLabel(QStringLiteral("Action:"), status), 0, 0);
    st->addWidget(lblAction, 0, 1);
    st->addWidget(new QLabel(QStringLiteral("Detail:"), status), 1, 0);
    st->addWidget(lblDetail, 1, 1);
    st->addWidget(lblInfo, 2, 0, 1, 2);
    st->setColumnStretch(1, 1);

    chkFormat = new QCheckBox(QStringLiteral("Format Source"), this);
    chkFormat->setObjectName(QStringLiteral("chkFormat"));
    chkFormat->setToolTip(QStringLiteral("Creates a Blank Default Source Device after virtual data file creation"));
    btnSource = button(this, "btnSource", QStringLiteral("Select Source"));
    btnStartVDU = button(this, "btnStartVDU", QStringLiteral("Start "), QStringLiteral("Start the virtual data file creation"));
    btnCancel = button(this, "btnCancel", QStringLiteral("Cancel"));
    btnClose = button(this, "btnClose", QStringLiteral("Close"));
    connect(btnSource, &QPushButton::clicked, this, &TCreateVDUForm::btnSourceClick);
    connect(btnStartVDU, &QPushButton::clicked, this, &TCreateVDUForm::btnStartVDUClick);
    connect(btnCancel, &QPushButton::clicked, this, &TCreateVDUForm::btnCancelClick);
    connect(btnClose, &QPushButton::clicked, this, &TCreateVDUForm::btnCloseClick);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(chkFormat);
    buttons->addStretch(1);
    buttons->addWidget(btnSource);
    buttons->addWidget(btnStartVDU);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(status);
    layout->addLayout(buttons);

    try {
        btnStartVDU->setEnabled(false);
        btnCancel->setEnabled(false);
        lblInfo->setVisible(false);
        FCancel = false;
        btnSource->setEnabled(static_cast<bool>(duvo::maintenance::PickDevice()));
    } catch (...) {
        FLoadFailed = true;
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                         duvo::PromptIcon::Warning);
    }
    setMinimumWidth(560);
    adjustSize();
}

TCreateVDUForm::~TCreateVDUForm()
{
    FOps.fetchedProtocol().release();
}

void TCreateVDUForm::btnSourceClick()
{
    for (QLabel *l : {lblFolders, lblFiles, lblAction, lblDetail})
        l->setText(QStringLiteral("-"));
    Workstation *w = Workstation::current();
    const auto &pick = duvo::maintenance::PickDevice();
    const int index = (w && pick) ? pick(this, QStringLiteral("Select Source Device")) : -1;
    const DVDEVICEINFO_T *d = w ? w->FDeviceList.at(index) : nullptr;
    if (!d) {
        btnStartVDU->setEnabled(false);
        btnCancel->setEnabled(false);
        lblInfo->setVisible(false);
        return;
    }
    if (!d->isIdle()) {
        Prompts::message(QStringLiteral("The selected Source is still active!  Please stop the Device before selection."),
                         QStringLiteral("Information"));
        return;
    }
    btnStartVDU->setEnabled(true);
    btnCancel->setEnabled(false);
    lblInfo->setVisible(true);
    FSourceIp = d->ipAddress;
    FSourceId = d->deviceId;
    FSourceType = d->typeText;
    lblIP->setText(QString::fromStdString(FSourceIp));
    lblName->setText(QString::fromStdString(FSourceId));
    lblType->setText(QString::fromStdString(FSourceType));
    ListSourceDevice();
}

void TCreateVDUForm::ListSourceDevice()
{
    FRunning = true;
    btnStartVDU->setEnabled(false);
    btnSource->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    duvo::ListWholeInstrument(TCPClient1, FSourceIp, FListing, [] { QCoreApplication::processEvents(); });
    QApplication::restoreOverrideCursor();
    FRunning = false;
    lblFolders->setText(QString::number(FListing.folderCount));
    lblFiles->setText(QString::number(FListing.fileCount));
    lblInfo->setVisible(false);
    btnStartVDU->setEnabled(true);
    btnSource->setEnabled(true);
    if (FCloseRequested)
        QDialog::reject();
}

void TCreateVDUForm::setIdleButtons()
{
    FCancel = false;
    btnCancel->setEnabled(false);
    btnClose->setEnabled(true);
    chkFormat->setEnabled(true);
    btnSource->setEnabled(true);
}

void TCreateVDUForm::btnStartVDUClick()
{
    if (FRunning)
        return;
    Workstation *w = Workstation::current();
    FCancel = false;
    btnCancel->setEnabled(true);
    btnClose->setEnabled(false);
    chkFormat->setEnabled(false);
    btnSource->setEnabled(false);
    btnStartVDU->setEnabled(false);
    FRunning = true;
    QPointer<TCreateVDUForm> self(this);
    auto finish = [&] {
        FRunning = false;
        setIdleButtons();
        btnStartVDU->setEnabled(true);
        if (FCloseRequested)
            QDialog::reject();
    };

    std::optional<QString> chosen = Prompts::saveFile(QStringLiteral("Velmor Lab Duvo Studio"),
                                                      w ? w->FDefaultFolder : QString(),
                                                      QStringLiteral("virtual Duvo Files (*.vdu)"),
                                                      QStringLiteral("vDuvo.vdu"));
    if (!self)
        return;
    if (!chosen || chosen->isEmpty()) {
        finish();
        return;
    }
    FPath = *chosen;
    if (QFileInfo(FPath).suffix().isEmpty())
        FPath += QStringLiteral(".vdu");

    duvo::VduWriter writer;
    if (!writer.Begin(FPath)) {
        Prompts::message(QStringLiteral("Error during virtual Duvo file creation!"), QStringLiteral("Creation Error"),
                         duvo::Ok, duvo::PromptIcon::Error);
        finish();
        return;
    }
    {
        TVDUInfoForm info(this, &FUserName, &FDescription);
        info.exec();
    }
    if (!self)
        return;
    const duvo::PackageSource source{FSourceIp, FSourceType, FSourceId};
    if (!writer.WritePackageInfo(FUserName, FDescription, source, FListing.folderCount, FListing.fileCount)) {
        writer.Discard();
        finish();
        return;
    }
    bool complete = false;
    duvo::WholeInstrumentJob job(&FCancel);
    connect(&job, &duvo::WholeInstrumentJob::actionChanged, lblAction, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::stepChanged, lblDetail, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::cancelRequested, this, &TCreateVDUForm::showCancelling);
    const bool ended = duvo::CopyDeviceToPackage(writer, FOps, FSourceIp, FListing, job, complete);
    if (!self)
        return;
    // Only a whole file replaces the chosen one; a cancelled or failed run leaves it as it was.
    if (!ended || !complete || FCancel) {
        writer.Discard();
        finish();
        return;
    }
    // The commit lets events through while the file goes to the disk.
    const bool committed = writer.Commit();
    if (!self)
        return;
    if (!committed) {
        writer.Discard();
        finish();
        return;
    }
    Prompts::message(QStringLiteral("Virtual Duvo File Creation Completed!"), QStringLiteral("virtual Duvo"), duvo::Ok,
                     duvo::PromptIcon::Information);
    if (chkFormat->isChecked()
        && Prompts::message(QStringLiteral("Are you sure you want to Proceed and Format the Source Duvo Flash Drive?"),
                            QStringLiteral("Format Duvo"), duvo::Ok | duvo::Cancel, duvo::PromptIcon::Warning)
               == duvo::Ok) {
        {
            TFormatForm format(this, QString::fromStdString(FSourceIp), QString::fromStdString(FSourceType),
                               QString::fromStdString(FSourceId), true);
            if (onFormat)
                onFormat(format);
            format.exec();
        }
        if (!self)
            return;
        FRunning = false;
        setIdleButtons();
        btnStartVDU->setEnabled(false);
        for (QLabel *l : {lblType, lblName, lblIP, lblFolders, lblFiles, lblAction, lblDetail})
            l->setText(QStringLiteral("-"));
        FSourceIp.clear();
        FSourceType.clear();
        FSourceId.clear();
        FListing = duvo::CloneListing();
        if (FCloseRequested)
            QDialog::reject();
        return;
    }
    finish();
}

void TCreateVDUForm::btnCancelClick()
{
    FCancel = true;
    showCancelling();
}

void TCreateVDUForm::showCancelling()
{
    btnCancel->setEnabled(false);
    btnStartVDU->setEnabled(true);
    chkFormat->setEnabled(true);
    btnSource->setEnabled(true);
    btnClose->setEnabled(true);
    lblAction->setText(QStringLiteral("cancelling..."));
}

void TCreateVDUForm::btnCloseClick()
{
    close();
}

void TCreateVDUForm::closeEvent(QCloseEvent *event)
{
    if (FRunning) {
        event->ignore();
        reject();
        return;
    }
    event->accept();
}

void TCreateVDUForm::reject()
{
    if (FRunning) {
        // The run stops at its next check (an exchange in flight ends at once); the window
        // closes once it has unwound.
        FCloseRequested = true;
        FCancel = true;
        TCPClient1.abort();
        return;
    }
    QDialog::reject();
}
