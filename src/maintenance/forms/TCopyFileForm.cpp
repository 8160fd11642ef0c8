#include "maintenance/forms/TCopyFileForm.h"

#include "maintenance/CloneCopy.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel *valueLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumWidth(220);
    return l;
}

} // namespace

TCopyFileForm::TCopyFileForm(QWidget *owner, const QString &sourceIp, const QString &sourceType,
                             const QString &sourceId, const QString &targetIp, const QString &targetType,
                             const QString &targetId, const QString &folderCount, const QString &fileCount,
                             const CloneFolderList &folders, const CloneFileList &files, bool *cancel)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FFolders(folders), FFiles(files), FCancel(cancel ? cancel : &FOwnCancel)
{
    setObjectName(QStringLiteral("CopyFileForm"));
    setWindowTitle(QStringLiteral("Cloning  Duvo\u2122 "));
    setModal(true);
    FSourceIp = sourceIp.toStdString();
    FTargetIp = targetIp.toStdString();
    FFolderTotal = folderCount.toInt();
    FFileTotal = fileCount.toInt();

    // The source and the target box: the instrument's IP and its type with its ID.
    auto deviceBox = [this](const QString &title, const char *ipName, const QString &ip, const char *deviceName,
                            const QString &type, const QString &id, QLabel *&ipLabel, QLabel *&deviceLabel) {
        auto *box = new QGroupBox(title, this);
        ipLabel = valueLabel(ipName, ip, box);
        deviceLabel = valueLabel(deviceName, type + QStringLiteral("   ID:  ") + id, box);
        auto *g = new QGridLayout(box);
        g->addWidget(new QLabel(QStringLiteral("IP:"), box), 0, 0);
        g->addWidget(ipLabel, 0, 1);
        g->addWidget(new QLabel(QStringLiteral("Device:"), box), 1, 0);
        g->addWidget(deviceLabel, 1, 1);
        g->setColumnStretch(1, 1);
        return box;
    };
    auto *source = deviceBox(QStringLiteral("Source"), "lblSourceIP", sourceIp, "lblSourceDevice", sourceType, sourceId,
                             lblSourceIP, lblSourceDevice);
    auto *target = deviceBox(QStringLiteral("Target"), "lblTargetIP", targetIp, "lblTargetDevice", targetType, targetId,
                             lblTargetIP, lblTargetDevice);

    auto *status = new QGroupBox(QStringLiteral("Status"), this);
    lblFolders = valueLabel("lblFolders", QStringLiteral("Folders: ") + folderCount, status);
    lblFiles = valueLabel("lblFiles", QStringLiteral("Protocols: ") + fileCount, status);
    lblAction = valueLabel("lblAction", QStringLiteral("-"), status);
    lblDetail = valueLabel("lblDetail", QStringLiteral("-"), status);
    auto *st = new QGridLayout(status);
    st->addWidget(lblFolders, 0, 0);
    st->addWidget(lblFiles, 0, 1);
    st->addWidget(new QLabel(QStringLiteral("Action:"), status), 1, 0);
    st->addWidget(lblAction, 1, 1);
    st->addWidget(new QLabel(QStringLiteral("Detail:"), status), 2, 0);
    st->addWidget(lblDetail, 2, 1);
    st->setColumnStretch(1, 1);

    btnCancel = new QPushButton(QStringLiteral("Cancel Cloning"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &TCopyFileForm::btnCancelClick);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(target);
    layout->addWidget(status);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TCopyFileForm::Timer1Timer);
    Timer1->start();
    adjustSize();
}

TCopyFileForm::~TCopyFileForm()
{
    Timer1->stop();
    FOps.fetchedProtocol().release();
}

void TCopyFileForm::Timer1Timer()
{
    Timer1->stop();
    FRunning = true;
    duvo::WholeInstrumentJob job(FCancel);
    connect(&job, &duvo::WholeInstrumentJob::actionChanged, lblAction, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::stepChanged, lblDetail, &QLabel::setText);
    connect(&job, &duvo::WholeInstrumentJob::cancelRequested, this, &TCopyFileForm::showCancelling);
    duvo::RunCloneCopy(FOps, FSourceIp, FTargetIp, FFolders, FFiles, FFolderTotal, FFileTotal, job);
    FRunning = false;
    FDone = true;
    done(QDialog::Rejected);
}

void TCopyFileForm::btnCancelClick()
{
    *FCancel = true;
    showCancelling();
}

void TCopyFileForm::showCancelling()
{
    btnCancel->setEnabled(false);
    lblAction->setText(QStringLiteral("cancelling..."));
}

void TCopyFileForm::closeEvent(QCloseEvent *event)
{
    // A close request is a cancel: the run stops at its next check and closes the window.
    if (FDone || !FRunning) {
        if (!FDone)
            *FCancel = true;
        FDone = true;
        Timer1->stop();
        event->accept();
        return;
    }
    event->ignore();
    btnCancelClick();
}

void TCopyFileForm::reject()
{
    if (FDone || !FRunning) {
        if (!FDone)
            *FCancel = true;
        FDone = true;
        Timer1->stop();
        QDialog::reject();
        return;
    }
    btnCancelClick();
}
