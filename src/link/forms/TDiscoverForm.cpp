#include "link/forms/TDiscoverForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QHBoxLayout>

#include <climits>
#include <stdexcept>

TDiscoverForm::TDiscoverForm(QWidget *owner, int *waitSeconds)
    : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("DiscoverForm"));
    setWindowTitle(QStringLiteral("Device Discovery"));
    setModal(true);

    PG1 = new QProgressBar(this);
    PG1->setObjectName(QStringLiteral("PG1"));
    PG1->setTextVisible(false);
    GroupBox1 = new QGroupBox(QStringLiteral("Scanning for Duvo devices on the network"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *hint = new QLabel(QStringLiteral("Dynamic search.  Make sure devices are powered on!"), GroupBox1);
    auto *action = new QLabel(QStringLiteral("Action:"), GroupBox1);
    lblAction = new QLabel(QStringLiteral("searching... "), GroupBox1);
    lblAction->setObjectName(QStringLiteral("lblAction"));
    auto *box = new QVBoxLayout(GroupBox1);
    box->addWidget(hint);
    auto *row = new QHBoxLayout;
    row->addWidget(action);
    row->addWidget(lblAction, 1);
    box->addLayout(row);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(PG1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TDiscoverForm::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, &TDiscoverForm::Timer2Timer);
    FindThread = QThread::create([this] { FindThreadRun(); });
    FindThread->setObjectName(QStringLiteral("FindThread"));
    FindThread->setParent(this);

    try {
        FWorkstation = Workstation::current();
        if (!FWorkstation)
            throw std::runtime_error("no workstation");
        FWorkstation->FDeviceList.Clear();
        PG1->setRange(0, 0);  // running, from position 0
        PG1->setValue(0);
        // In 64 bits, then kept inside the int the wait is passed on as.
        const int64_t ms = int64_t(waitSeconds ? *waitSeconds : 0) * 1000;
        FWaitMs = int(std::clamp<int64_t>(ms, 0, INT_MAX));
        FSettings.waitMs = FWaitMs;
        FSettings.localIP = FWorkstation->FLocalIP.toStdString();
        FSettings.client = &TCPClient1;
        // Several instruments are asked at once; each one's commands keep their order and
        // every record is written by one worker only, so the results are the same.
        FSettings.parallel = 8;
        FSettings.stop = &FStop;
        FSettings.clients = &FScanClients;
        Timer1->stop();
        Timer2->stop();
        FTicks = 0;
    } catch (...) {
        duvo::Prompts::message(QStringLiteral("Error during discovery loading operation!"), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Warning);
    }
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TDiscoverForm::~TDiscoverForm()
{
    stopWorker();
}

void TDiscoverForm::stopWorker()
{
    FStop = true;
    FScanClients.abortAll();
    Timer1->stop();
    Timer2->stop();
    if (FindThread->isRunning())
        FindThread->wait();
}

bool TDiscoverForm::workerRunning() const
{
    return FindThread->isRunning();
}

void TDiscoverForm::FindThreadRun()
{
    ScanDevices();
}

void TDiscoverForm::ScanDevices()
{
    if (!FWorkstation)
        return;
    FOutcome = ::ScanDevices(FWorkstation->FDeviceList, FSettings);
}

void TDiscoverForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TDiscoverForm::FormShow()
{
    Timer2->start();
    if (FWorkstation)
        FWorkstation->ShowAlert(
            QStringLiteral("For easy identification label your Duvo devices with the last digits of the Duvo ID"));
}

void TDiscoverForm::Timer2Timer()
{
    Timer2->stop();
    FindThread->start();
    Timer1->start();
}

void TDiscoverForm::Timer1Timer()
{
    if (FindThread->isFinished()) {
        finish();
        return;
    }
    ++FTicks;
    if (FTicks > TickLimit && !FStop) {
        // The worker stops at its next check, and an exchange in flight (an instrument that
        // went silent halfway through a reply) ends within a slice of its wait: the window
        // closes at the next tick.
        FStop = true;
        FScanClients.abortAll();
    }
}

void TDiscoverForm::finish()
{
    Timer1->stop();
    FindThread->wait();
    if (FOutcome == ScanOutcome::AllocError)
        duvo::Prompts::message(QStringLiteral("Memory alloc error"), QStringLiteral("Find"), duvo::Ok,
                               duvo::PromptIcon::Error);
    FClosing = true;
    accept();
}

void TDiscoverForm::closeEvent(QCloseEvent *event)
{
    if (FClosing)
        event->accept();
    else
        event->ignore();
}

void TDiscoverForm::reject()
{
    if (FClosing)
        QDialog::reject();
}
