#include "maintenance/forms/TFormatForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"

#include <QCloseEvent>
#include <QFont>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

TFormatForm::TFormatForm(QWidget *owner, const QString &address, const QString &type, const QString &id,
                         bool silent)
    : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FormatForm"));
    setWindowTitle(QStringLiteral("Format"));
    setModal(true);

    auto *heading = new QLabel(QStringLiteral("Formatting Duvo Flash Drive."), this);
    auto *warning = new QLabel(QStringLiteral("Warning!  Do not power off the device!"), this);
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);

    auto *group = new QGroupBox(QStringLiteral("Status"), this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    lblIP = new QLabel(group);
    lblIP->setObjectName(QStringLiteral("lblIP"));
    lblStatus = new QLabel(group);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblAction = new QLabel(QStringLiteral("formatting device..."), group);
    lblAction->setObjectName(QStringLiteral("lblAction"));
    auto *form = new QFormLayout(group);
    form->addRow(QStringLiteral("IP:"), lblIP);
    form->addRow(QStringLiteral("Device:"), lblStatus);
    form->addRow(QStringLiteral("Action:"), lblAction);

    PG1 = new QProgressBar(this);
    PG1->setObjectName(QStringLiteral("PG1"));
    PG1->setTextVisible(false);
    PG1->setRange(0, 0);  // busy: no end known

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(warning);
    layout->addWidget(group);
    layout->addWidget(PG1);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, &TFormatForm::Timer2Timer);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TFormatForm::Timer1Timer);

    try {
        FAddress = address;
        FType = type;
        FId = id;
        FSilent = silent;
        lblIP->setText(address);
        lblStatus->setText(type + QStringLiteral("   ID:  ") + id);
        FJob = std::make_unique<duvo::FormatDriveJob>(TCPClient1, address.toStdString());
        Timer2->start();
        Timer1->start();
    } catch (...) {
        FLoadFailed = true;
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
    }
    setMinimumWidth(340);
    adjustSize();
    if (owner)
        move(owner->window()->geometry().center() - rect().center());
}

TFormatForm::~TFormatForm()
{
    Timer1->stop();
    Timer2->stop();
    // A window destroyed while the command is out (its owner went away) stops the exchange.
    if (FJob && FJob->started() && !FJob->finished())
        TCPClient1.abort();
    FJob.reset();
}

void TFormatForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TFormatForm::FormShow()
{
    if (!FLoadFailed)
        Timer1->start();
    if (Workstation *w = Workstation::current())
        w->ShowAlert(QStringLiteral("Formatting. Please wait"));
}

void TFormatForm::Timer2Timer()
{
    Timer2->stop();
    if (FJob)
        FJob->start();
}

void TFormatForm::Timer1Timer()
{
    if (!FJob) {
        // Nothing to wait for: the constructor failed.
        Timer1->stop();
        FClosing = true;
        done(QDialog::Rejected);
        return;
    }
    if (!FJob->finished())
        return;
    Timer1->stop();
    FJob->wait();
    const duvo::FormatOutcome &o = FJob->outcome();
    FFormatted = o.formatted;
    if (!o.formatted && !o.aborted)
        duvo::Prompts::error(o.error, o.errorTitle);
    // The completion box follows a format that succeeded only: after a failure it would tell
    // the user the opposite of what happened.
    if (!FSilent && o.formatted)
        duvo::Prompts::message(QStringLiteral("Formatting completed."), QStringLiteral("Format Duvo"), duvo::Ok,
                               duvo::PromptIcon::Information);
    FClosing = true;
    done(QDialog::Rejected);
}

void TFormatForm::closeEvent(QCloseEvent *event)
{
    if (FClosing)
        event->accept();
    else
        event->ignore();
}

void TFormatForm::reject()
{
    // Esc does nothing while the drive is being formatted.
    if (FClosing)
        QDialog::reject();
}
