#include "maintenance/forms/TLoadVDUForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "maintenance/forms/MaintenanceHooks.h"
#include "maintenance/forms/TCloneForm.h"
#include "maintenance/forms/TFormatForm.h"
#include "maintenance/forms/TVDUBrowseForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using duvo::Prompts;

namespace {

QLabel *value(QWidget *parent, const char *name)
{
    auto *l = new QLabel(QStringLiteral("-"), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
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

void addRow(QGridLayout *g, int row, int col, const QString &caption, QLabel *v)
{
    g->addWidget(new QLabel(caption, v->parentWidget()), row, col);
    g->addWidget(v, row, col + 1);
}

} // namespace

TLoadVDUForm::TLoadVDUForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("LoadVDUForm"));
    setWindowTitle(QStringLiteral("Load virtual Duvo Data File"));
    setModal(true);

    auto *heading = new QLabel(QStringLiteral("virtual Duvo\u00ae"), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    heading->setFont(big);

    auto *details = new QGroupBox(QStringLiteral("Virtual File Details"), this);
    lblCreator = value(details, "lblCreator");
    lblDate = value(details, "lblDate");
    lblVersion = value(details, "lblVersion");
    lblOriginalType = value(details, "lblOriginalType");
    lblOriginalID = value(details, "lblOriginalID");
    lblOriginalIP = value(details, "lblOriginalIP");
    lblFolders = value(details, "lblFolders");
    lblFiles = value(details, "lblFiles");
    auto *dg = new QGridLayout(details);
    addRow(dg, 0, 0, QStringLiteral("Created by:"), lblCreator);
    addRow(dg, 0, 2, QStringLiteral("Original Type: "), lblOriginalType);
    addRow(dg, 1, 0, QStringLiteral("Created:"), lblDate);
    addRow(dg, 1, 2, QStringLiteral("Original ID: "), lblOriginalID);
    addRow(dg, 2, 0, QStringLiteral("Version:"), lblVersion);
    addRow(dg, 2, 2, QStringLiteral("Original IP: "), lblOriginalIP);
    addRow(dg, 3, 0, QStringLiteral("Folders: "), lblFolders);
    addRow(dg, 3, 2, QStringLiteral("Protocols: "), lblFiles);
    dg->setColumnStretch(1, 1);
    dg->setColumnStretch(3, 1);
    auto *descriptionBox = new QGroupBox(QStringLiteral("Description"), details);
    lblDescription = value(descriptionBox, "lblDescription");
    lblDescription->setWordWrap(true);
    auto *dl = new QVBoxLayout(descriptionBox);
    dl->addWidget(lblDescription);
    dg->addWidget(descriptionBox, 4, 0, 1, 4);

    auto *target = new QGroupBox(QStringLiteral("Target Device"), this);
    lblIP = value(target, "lblIP");
    lblName = value(target, "lblName");
    lblType = value(target, "lblType");
    lblAction = value(target, "lblAction");
    lblDetail = value(target, "lblDetail");
    auto *tg = new QGridLayout(target);
    addRow(tg, 0, 0, QStringLiteral("IP: "), lblIP);
    addRow(tg, 0, 2, QStringLiteral("Action:"), lblAction);
    addRow(tg, 1, 0, QStringLiteral("ID: "), lblName);
    addRow(tg, 1, 2, QStringLiteral("Detail:"), lblDetail);
    addRow(tg, 2, 0, QStringLiteral("Type: "), lblType);
    tg->setColumnStretch(1, 1);
    tg->setColumnStretch(3, 2);

    chkFormat = new QCheckBox(QStringLiteral("Format Target"), this);
    chkFormat->setObjectName(QStringLiteral("chkFormat"));
    chkFormat->setToolTip(QStringLiteral("Creates a Blank Default Target Device"));
    chkFormat->setChecked(true);
    chkFormat->setEnabled(false);
    chkClone = new QCheckBox(QStringLiteral("Enable Cloning"), this);
    chkClone->setObjectName(QStringLiteral("chkClone"));
    chkClone->setToolTip(QStringLiteral("Allows you to Clone the Target Device to one or several Devices"));

    btnLoadVDU = button(this, "btnLoadVDU", QStringLiteral("Load"), QStringLiteral("Load a virtual Duvo Data File"));
    btnBrowseVDU = button(this, "btnBrowseVDU", QStringLiteral("Browse"),
                          QStringLiteral("Browse the available virtual Protocols"));
    btnTarget = button(this, "btnTarget", QStringLiteral("Select Target"));
    btnStartVDU = button(this, "btnStartVDU", QStringLiteral("Start "),
                         QStringLiteral("Start loading the virtual data file to a Target Device"));
    btnCancel = button(this, "btnCancel", QStringLiteral("Cancel"));
    btnClose = button(this, "btnClose", QStringLiteral("Close"));
    connect(btnLoadVDU, &QPushButton::clicked, this, &TLoadVDUForm::btnLoadVDUClick);
    connect(btnBrowseVDU, &QPushButton::clicked, this, &TLoadVDUForm::btnBrowseVDUClick);
    connect(btnTarget, &QPushButton::clicked, this, &TLoadVDUForm::btnTargetClick);
    connect(btnStartVDU, &QPushButton::clicked, this, &TLoadVDUForm::btnStartVDUClick);
    connect(btnCancel, &QPushButton::clicked, this, &TLoadVDUForm::btnCancelClick);
    connect(btnClose, &QPushButton::clicked, this, &TLoadVDUForm::btnCloseClick);

    auto *checks = new QHBoxLayout;
    checks->addWidget(chkFormat);
    checks->addWidget(chkClone);
    checks->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnLoadVDU);
    buttons->addWidget(btnBrowseVDU);
    buttons->addWidget(btnTarget);
    buttons->addStretch(1);
    buttons->addWidget(btnStartVDU);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(details);
    layout->addWidget(target);
    layout->addLayout(checks);
    layout->addLayout(buttons);

    try {
        for (QWidget *w : std::initializer_list<QWidget *>{btnStartVDU, btnCancel, btnBrowseVDU, btnTarget, chkClone})
            w->setEnabled(false);
        FCancel = false;
    } catch (...) {
        FLoadFailed = true;
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                         duvo::PromptIcon::Warning);
    }
    setMinimumWidth(620);
    adjustSize();
}

TLoadVDUForm::~TLoadVDUForm() = default;

void TLoadVDUForm::btnLoadVDUClick()
{
    Workstation *w = Workstation::current();
    const std::optional<QString> chosen =
        Prompts::openFile(QStringLiteral("Velmor Lab Duvo Studio"),
                          (w ? w->FDefaultFolder : QString()) + QStringLiteral("vDuvo.vdu"),
                          QStringLiteral("virtual Duvo Files (*.vdu)"));
    if (!chosen || chosen->isEmpty())
        return;
    for (QLabel *l : {lblFolders, lblFiles, lblAction, lblDetail})
        l->setText(QStringLiteral("-"));
    FPath = *chosen;
    duvo::PackageInfo info;
    if (!duvo::ReadPackageInfo(FPath, info))
        return;
    FInfo = info;
    lblCreator->setText(info.userName);
    lblDate->setText(duvo::PackageDateText(info.date));
    lblDescription->setText(info.description);
    lblVersion->setText(info.version);
    lblOriginalType->setText(info.originalType);
    lblOriginalID->setText(info.originalName);
    lblOriginalIP->setText(info.originalIp);
    lblFolders->setText(QString::number(info.totalFolders));
    lblFiles->setText(QString::number(info.totalFiles));
    btnBrowseVDU->setEnabled(true);
    btnTarget->setEnabled(w && !w->FDeviceList.isEmpty() && duvo::maintenance::PickDevice());
}

void TLoadVDUForm::btnBrowseVDUClick()
{
    TVDUBrowseForm browse(this, FPath);
    if (!browse.loadFailed())
        browse.exec();
}

void TLoadVDUForm::btnTargetClick()
{
    Workstation *w = Workstation::current();
    const auto &pick = duvo::maintenance::PickDevice();
    const int index = (w && pick) ? pick(this, QStringLiteral("Select Target Device")) : -1;
    const DVDEVICEINFO_T *d = w ? w->FDeviceList.at(index) : nullptr;
    if (!d) {
        btnStartVDU->setEnabled(false);
        btnCancel->setEnabled(false);
        chkClone->setEnabled(false);
        return;
    }
    if (!d->isIdle()) {
        Prompts::message(QStringLiteral("The selected Target is still active!  Please stop the Device before selection."),
                         QStringLiteral("Information"));
        return;
    }
    btnCancel->setEnabled(false);
    btnStartVDU->setEnabled(true);
    chkClone->setEnabled(true);
    FTargetIp = d->ipAddress;
    FTargetId = d->deviceId;
    FTargetType = d->typeText;
    lblIP->setText(QString::fromStdString(FTargetIp));
    lblName->setText(QString::fromStdString(FTargetId));
    lblType->setText(QString::fromStdString(FTargetType));
}

void TLoadVDUForm::setRunButtons(bool running)
{
    FRunning = running;
    btnCancel->setEnabled(running);
    for (QWidget *w : std::initializer_list<QWidget *>{btnClose, btnTarget, btnStartVDU, chkClone, btnLoadVDU,
                                                       btnBrowseVDU})
        w->setEnabled(!running);
}

void TLoadVDUForm::btnStartVDUClick()
{
    if (FRunning)
        return;
    FCancel = false;
    setRunButtons(true);
    QPointer<TLoadVDUForm> self(this);
    auto finish = [&] {
        FCancel = false;
        setRunButtons(false);
        if (FCloseRequested)
            QDialog::reject();
    };
    auto showError = [&](const QString &text) {
        lblAction->setText(QStringLiteral("error..."));
        Prompts::message(text, QStringLiteral("vDuvo Error"), duvo::Ok, duvo::PromptIcon::Error);
    };
    const QString foldersFailed = QStringLiteral("Error during folder creation!");
    const QString filesFailed = QStringLiteral("Error during file copying!");

    // The whole file is checked before the target is touched: a file that cannot be loaded
    // must not cost the target its folders and protocols.
    switch (duvo::CheckPackage(FPath)) {
    case duvo::PackageCheck::Ok:
        break;
    case duvo::PackageCheck::InfoFailed:
        finish();
        return;
    case duvo::PackageCheck::FoldersFailed:
        showError(foldersFailed);
        finish();
        return;
    case duvo::PackageCheck::FilesFailed:
        showError(filesFailed);
        finish();
        return;
    }
    if (!self)
        return;
    if (Prompts::message(QStringLiteral("Are you sure you want to Proceed and Format the Target Duvo Flash Drive?"),
                         QStringLiteral("Format Duvo"), duvo::Ok | duvo::Cancel, duvo::PromptIcon::Warning)
        != duvo::Ok) {
        finish();
        return;
    }
    {
        TFormatForm format(this, QString::fromStdString(FTargetIp), QString::fromStdString(FTargetType),
                           QString::fromStdString(FTargetId), true);
        if (onFormat)
            onFormat(format);
        format.exec();
    }
    if (!self)
        return;
    if (FCloseRequested) {
        finish();
        return;
    }
    duvo::WholeInstrumentJob job(&FCancel);
    connect(&job, &duvo::WholeInstrumentJob::actionChanged, lblAction, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::stepChanged, lblDetail, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::cancelRequested, this, &TLoadVDUForm::showCancelling);
    lblAction->setText(QStringLiteral("creating folders..."));
    if (!duvo::CreatePackageFolders(FPath, FOps, FTargetIp, FInfo.totalFolders, job)) {
        if (!self)
            return;
        showError(foldersFailed);
        finish();
        return;
    }
    if (!self)
        return;
    lblAction->setText(QStringLiteral("copying files..."));
    const bool copied = duvo::CopyPackageFiles(FPath, FOps, FTargetIp, FInfo.totalFiles, job);
    if (!self)
        return;
    if (!copied) {
        showError(filesFailed);
    } else if (chkClone->isChecked() && !FCloseRequested
               && Prompts::message(QStringLiteral("Are you sure you want to start cloning?"), QStringLiteral("vDuvo"),
                                   duvo::Ok | duvo::Cancel, duvo::PromptIcon::Question) == duvo::Ok) {
        Workstation *w = Workstation::current();
        const auto &pickTargets = duvo::maintenance::PickTargets();
        if (w && !w->FDeviceList.isEmpty() && pickTargets) {
            int source = w->FDeviceList.IndexOfAddress(FTargetIp);
            if (source >= 0 && pickTargets(this, &source)) {
                TCloneForm clone(this, &source);
                if (onClone)
                    onClone(clone);
                clone.exec();
            }
        }
        if (!self)
            return;
    }
    Prompts::message(QStringLiteral("Virtual Duvo File Loading Completed!"), QStringLiteral("virtual Duvo"), duvo::Ok,
                     duvo::PromptIcon::Information);
    finish();
}

void TLoadVDUForm::btnCancelClick()
{
    FCancel = true;
    showCancelling();
}

void TLoadVDUForm::showCancelling()
{
    btnCancel->setEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{btnStartVDU, chkClone, btnTarget, btnLoadVDU, btnBrowseVDU,
                                                       btnClose})
        w->setEnabled(true);
    lblAction->setText(QStringLiteral("cancelling..."));
}

void TLoadVDUForm::btnCloseClick()
{
    close();
}

void TLoadVDUForm::closeEvent(QCloseEvent *event)
{
    if (FRunning) {
        event->ignore();
        reject();
        return;
    }
    event->accept();
}

void TLoadVDUForm::reject()
{
    if (FRunning) {
        FCloseRequested = true;
        FCancel = true;
        TCPClient1.abort();
        return;
    }
    QDialog::reject();
}
