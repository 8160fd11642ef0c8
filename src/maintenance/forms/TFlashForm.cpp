#include "maintenance/forms/TFlashForm.h"

#include "link/ModuleProtocol.h"
#include "link/Workstation.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using duvo::firmware::FirmwareUploadJob;

FirmwareTimings &FirmwareTimings::current()
{
    static FirmwareTimings timings;
    return timings;
}

TFlashForm::TFlashForm(QWidget *owner, const QString &imagePath, const QString &address, const QString &progress,
                       char *errorFlag, QString *codeText, char *cancelBatch, bool batch)
    : QDialog(owner), FImagePath(imagePath), FAddress(address), FErrorFlag(errorFlag), FCodeText(codeText),
      FCancelBatch(cancelBatch)
{
    setObjectName(QStringLiteral("FlashForm"));
    setWindowTitle(QStringLiteral("Firmware Update"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(true);

    auto *text1 = new QLabel(QStringLiteral("Updating Firmware of Duvo devices on the network."));
    auto *text2 = new QLabel(QStringLiteral("Warning!  Do not power off any of the devices!"));
    QFont bold = text2->font();
    bold.setBold(true);
    text2->setFont(bold);
    text2->setStyleSheet(QStringLiteral("color: #b71c1c;"));
    auto row = [](const QString &caption, QLabel *&value, const char *name) {
        auto *l = new QHBoxLayout;
        auto *c = new QLabel(caption);
        c->setMinimumWidth(60);
        value = new QLabel;
        value->setObjectName(QLatin1String(name));
        l->addWidget(c);
        l->addWidget(value, 1);
        return l;
    };
    PG1 = new QProgressBar;
    PG1->setObjectName(QStringLiteral("PG1"));
    PG1->setRange(0, 0);  // busy
    PG1->setTextVisible(false);
    btnCancelBatch = new QPushButton(QStringLiteral("Cancel Batch Update"));
    btnCancelBatch->setObjectName(QStringLiteral("btnCancelBatch"));
    btnCancelBatch->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text1);
    layout->addWidget(text2);
    layout->addSpacing(6);
    layout->addLayout(row(QStringLiteral("IP:"), lblIP, "lblIP"));
    layout->addLayout(row(QStringLiteral("Status:"), lblStatus, "lblStatus"));
    layout->addLayout(row(QStringLiteral("Action:"), lblAction, "lblAction"));
    layout->addWidget(PG1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancelBatch);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    // The path reaches the upload whole; the loader refuses what it cannot open.
    lblIP->setText(address);
    lblStatus->setText(progress);
    ParseIPv4(FAddressBytes, address.toLatin1().constData());
    btnCancelBatch->setEnabled(batch);
    lblAction->setText(QStringLiteral("flashing device..."));
    connect(btnCancelBatch, &QPushButton::clicked, this, &TFlashForm::btnCancelBatchClick);

    const FirmwareTimings &t = FirmwareTimings::current();
    Timer2.setInterval(t.startMs);
    Timer2.setSingleShot(true);
    connect(&Timer2, &QTimer::timeout, this, &TFlashForm::Timer2Timer);
    Timer1.setInterval(t.tickMs);
    connect(&Timer1, &QTimer::timeout, this, &TFlashForm::Timer1Timer);
    FEndWatch.setInterval(10);
    connect(&FEndWatch, &QTimer::timeout, this, [this] {
        if (FindThread && FindThread->finished() && !FDone) {
            takeResult();
            Timer1.stop();
            FEndWatch.stop();
            accept();
        }
    });
    Timer2.start();
    Timer1.start();
    FEndWatch.start();
}

TFlashForm::~TFlashForm()
{
    // The job's destructor waits for the worker: a result it reports late is still taken.
    if (FindThread && !FDone) {
        FindThread->requestStop();
        FindThread->wait(5000);
        takeResult();
    }
}

void TFlashForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Timer1.start();
    if (Workstation *w = Workstation::current())
        w->ShowAlert(QStringLiteral("Updating Firmware. Please wait"));
}

void TFlashForm::Timer2Timer()
{
    Timer2.stop();
    if (!FindThread) {
        duvo::firmware::UploadOptions options;
        options.waitMs = FirmwareTimings::current().uploadWaitMs;
        FindThread = std::make_unique<FirmwareUploadJob>(FAddressBytes, FImagePath.toStdString(), std::string(),
                                                         std::string(), options);
        FindThread->start();
    }
}

void TFlashForm::takeResult()
{
    if (FDone || !FindThread || !FindThread->finished())
        return;
    FDone = true;
    const int result = FindThread->result();
    if (result < 0) {
        *FCodeText = QString::number(result);
        *FErrorFlag = 1;
    }
}

void TFlashForm::Timer1Timer()
{
    if (FindThread && FindThread->finished()) {
        takeResult();
        Timer1.stop();
        accept();
        return;
    }
    ++FTicks;
    if (FTicks > FirmwareTimings::current().tickLimit) {
        // A module that answers busy for ever: the upload is told to stop and ends with
        // "Error file timeout" within 100 ms; the manager reports it.
        Timer1.stop();
        if (FindThread) {
            FindThread->requestStop();
            FindThread->wait(2000);
            takeResult();
        }
        if (!FDone) {
            *FCodeText = QString::number(duvo::firmware::ErrTimedOut);
            *FErrorFlag = 1;
            FDone = FindThread == nullptr;
        }
        accept();
    }
}

void TFlashForm::btnCancelBatchClick()
{
    *FCancelBatch = 1;
    btnCancelBatch->setEnabled(false);
    lblAction->setText(QStringLiteral("flashing device...Batch cancelled"));
    if (Workstation *w = Workstation::current())
        w->ShowAlert(QStringLiteral("Batch Updating Cancelled. Please wait"));
}

void TFlashForm::closeEvent(QCloseEvent *event)
{
    // No close box: the window ends only with the upload.
    if (FindThread && !FDone) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFlashForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
