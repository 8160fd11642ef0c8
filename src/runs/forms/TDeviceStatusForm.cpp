#include "runs/forms/TDeviceStatusForm.h"

#include "common/Prompts.h"
#include "common/forms/LedIndicator.h"
#include "link/Workstation.h"
#include "mainwindow/DeviceLog.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/ShowDeviceLogReport.h"
#include "protocols/forms/TProtocolEditorForm.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <stdexcept>

TDeviceStatusForm *DeviceStatusForm = nullptr;

namespace {

// "View Protocol File": the protocol editor, read-only for the instrument (from-device false,
// so it cannot be saved back), modal, deleted when it closes.
TDeviceStatusForm::ProtocolViewer &viewerSlot()
{
    static TDeviceStatusForm::ProtocolViewer viewer = [](QWidget *owner, const QString &document,
                                                         const QString &name, const QString &folder,
                                                         const QString &ip) {
        TProtocolEditorForm editor(owner, false, document, false, QString(), name, folder, ip);
        editor.exec();
    };
    return viewer;
}

QString twoDigits(int v)
{
    return QString::asprintf("%02d", qBound(0, v, 99));
}

const char *const kDisplayStyle =
    "QFrame#VrBlotter1 { background: #1d2430; border: 1px solid #3b4656; border-radius: 4px; }"
    "QFrame#VrBlotter1 QLabel { color: #c8d2e0; }"
    "QFrame#VrBlotter1 QLabel[value=\"true\"] { color: #7df07d; font-weight: bold; }"
    "QFrame#VrBlotter1 QLCDNumber { color: #7df07d; background: #11161e; border: 1px solid #3b4656; }";

} // namespace

void TDeviceStatusForm::setProtocolViewer(ProtocolViewer viewer)
{
    viewerSlot() = std::move(viewer);
}

const TDeviceStatusForm::ProtocolViewer &TDeviceStatusForm::protocolViewer()
{
    return viewerSlot();
}

TDeviceStatusForm::TDeviceStatusForm(QWidget *owner, int *deviceIndex, const QString &ip, const QString &id,
                                     const QString &type, const QString &folder, const QString &file,
                                     int *consumable, int *volume, const QString &contact,
                                     const QString &description, const QString &notes, const QString &email)
    : QDialog(owner)
{
    construct(*Workstation::current(), deviceIndex, ip, id, type, folder, file, consumable, volume, contact,
              description, notes, email, std::nullopt);
}

TDeviceStatusForm::TDeviceStatusForm(QWidget *owner, Workstation &workstation, int *deviceIndex, const QString &ip,
                                     const QString &id, const QString &type, const QString &folder,
                                     const QString &file, int *consumable, int *volume, const QString &contact,
                                     const QString &description, const QString &notes, const QString &email,
                                     std::optional<duvo::RunMonitorSeams> seams)
    : QDialog(owner)
{
    construct(workstation, deviceIndex, ip, id, type, folder, file, consumable, volume, contact, description, notes,
              email, std::move(seams));
}

void TDeviceStatusForm::construct(Workstation &workstation, int *deviceIndex, const QString &ip, const QString &id,
                                  const QString &type, const QString &folder, const QString &file, int *consumable,
                                  int *volume, const QString &contact, const QString &description,
                                  const QString &notes, const QString &email,
                                  std::optional<duvo::RunMonitorSeams> seams)
{
    FWorkstation = &workstation;
    build();
    duvo::RunDetails details;
    details.folder = folder.toStdString();
    details.file = file.toStdString();
    details.consumable = consumable ? *consumable : 0;
    details.volume = volume ? *volume : 0;
    details.contact = contact.toStdString();
    details.description = description.toStdString();
    details.notes = notes.toStdString();
    details.email = email.toStdString();
    const int index = deviceIndex ? *deviceIndex : -1;
    FMonitor = seams ? std::make_unique<duvo::RunMonitor>(workstation, index, ip.toStdString(), id.toStdString(),
                                                          type.toStdString(), details, std::move(*seams))
                     : std::make_unique<duvo::RunMonitor>(workstation, index, ip.toStdString(), id.toStdString(),
                                                          type.toStdString(), details);
    FMonitor->setView(this);
    FFolder = folder;
    FFile = file;
    FVolume = details.volume;
    DeviceStatusForm = this;
    try {
        lblName->setText(id);
        lblIP->setText(ip);
        lblPlot->setText(QStringLiteral("No"));
        const DVDEVICEINFO_T *device = FMonitor->record();
        if (!device)
            throw std::out_of_range("no device record at the index");
        lblAlias->setText(device->alias.empty() ? QStringLiteral("-") : QString::fromStdString(device->alias));
        // A monitor reopened on a run of this program resumes its plot.
        setPlotLabel(FMonitor->plotting());
        setupChart();
        setWindowTitle(QStringLiteral("Device Status  ") + type);
        Timer1.setInterval(1000);
        btnTerminal->setEnabled(!ActiveTerminalForm.isNull());
        btnEdit1->setEnabled(bool(protocolViewer()));
        resetDisplay();
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
    connect(&Timer1, &QTimer::timeout, this, &TDeviceStatusForm::Timer1Timer);
    // The first pass runs as soon as events are processed (from a timer, so its waits paint).
    FFirstPass.setSingleShot(true);
    FFirstPass.setInterval(0);
    connect(&FFirstPass, &QTimer::timeout, this, &TDeviceStatusForm::PollStatus);
    FFirstPass.start();
}

TDeviceStatusForm::~TDeviceStatusForm()
{
    Timer1.stop();
    FFirstPass.stop();
    if (FMonitor) {
        FMonitor->abortExchanges();
        FMonitor->setView(nullptr);
    }
    FButtonClient.abort();
    if (DeviceStatusForm == this)
        DeviceStatusForm = nullptr;
}

namespace {

QLabel *caption(const QString &text)
{
    auto *l = new QLabel(text);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel *value(const char *name)
{
    auto *l = new QLabel(QStringLiteral("-"));
    l->setObjectName(QLatin1String(name));
    l->setProperty("value", true);
    l->setMinimumWidth(70);
    return l;
}

QLCDNumber *lcd(const char *name, int digits)
{
    auto *n = new QLCDNumber(digits);
    n->setObjectName(QLatin1String(name));
    n->setSegmentStyle(QLCDNumber::Flat);
    n->setMinimumSize(digits * 16 + 8, 30);
    return n;
}

} // namespace

void TDeviceStatusForm::build()
{
    setObjectName(QStringLiteral("DeviceStatusForm"));
    setWindowTitle(QStringLiteral("Device Status"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_OpaquePaintEvent, false);

    // The device line and the run mode.
    lblIP = new QLabel;
    lblIP->setObjectName(QStringLiteral("lblIP"));
    lblName = new QLabel;
    lblName->setObjectName(QStringLiteral("lblName"));
    lblAlias = new QLabel;
    lblAlias->setObjectName(QStringLiteral("lblAlias"));
    lblMode = new QLabel;
    lblMode->setObjectName(QStringLiteral("lblMode"));
    QFont modeFont = lblMode->font();
    modeFont.setPointSizeF(modeFont.pointSizeF() * 1.3);
    modeFont.setBold(true);
    lblMode->setFont(modeFont);
    VrLed = new duvo::LedIndicator;
    VrLed->setObjectName(QStringLiteral("VrLed"));
    VrLed->setVisible(false);
    auto *head = new QHBoxLayout;
    for (auto [title, label] : {std::pair{QStringLiteral("IP:"), lblIP}, std::pair{QStringLiteral("ID:"), lblName},
                                std::pair{QStringLiteral("Alias:"), lblAlias}}) {
        auto *c = new QLabel(title);
        c->setStyleSheet(QStringLiteral("color: gray;"));
        head->addWidget(c);
        head->addWidget(label);
        head->addSpacing(12);
    }
    head->addStretch();
    head->addWidget(VrLed);
    head->addWidget(lblMode);

    // The displays.
    VrBlotter1 = new QFrame;
    VrBlotter1->setObjectName(QStringLiteral("VrBlotter1"));
    VrBlotter1->setStyleSheet(QLatin1String(kDisplayStyle));
    auto *grid = new QGridLayout(VrBlotter1);
    grid->setContentsMargins(12, 10, 12, 10);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    lblFolder = value("lblFolder");
    lblFile = value("lblFile");
    lblVolume = value("lblVolume");
    lblPlot = value("lblPlot");
    lblTempBlock = value("lblTempBlock");
    lblIncCycle = value("lblIncCycle");
    lblRamp = value("lblRamp");
    lblStepHold = value("lblStepHold");
    lblHoldInc = value("lblHoldInc");
    lblStepLeft = value("lblStepLeft");
    lblStepRamp = value("lblStepRamp");
    const std::pair<const char *, QLabel *> left[] = {{"FOLDER:", lblFolder},       {"PROTOCOL:", lblFile},
                                                      {"VOLUME µ:", lblVolume},     {"PLOT TO DISK:", lblPlot},
                                                      {"BLOCK °C:", lblTempBlock},  {"+ -°C/CYCLE:", lblIncCycle},
                                                      {"RAMP °C/S:", lblRamp}};
    int row = 0;
    for (const auto &[text, label] : left) {
        grid->addWidget(caption(QString::fromUtf8(text)), row, 0);
        grid->addWidget(label, row, 1);
        ++row;
    }
    const std::pair<const char *, QLabel *> middle[] = {{"HOLD TIME:", lblStepHold}, {"+ -/CYCLE:", lblHoldInc},
                                                        {"HOLD LEFT:", lblStepLeft}, {"RAMP TIME:", lblStepRamp}};
    row = 0;
    for (const auto &[text, label] : middle) {
        grid->addWidget(caption(QString::fromUtf8(text)), row, 2);
        grid->addWidget(label, row, 3);
        ++row;
    }
    numTotalSteps = lcd("numTotalSteps", 5);
    numSteps = lcd("numSteps", 5);
    numCycles = lcd("numCycles", 5);
    numCycle = lcd("numCycle", 5);
    const std::pair<const char *, QLCDNumber *> counts[] = {
        {"TOTAL STEPS:", numTotalSteps}, {"STEP:", numSteps}, {"CYCLES:", numCycles}, {"CYCLE:", numCycle}};
    row = 0;
    for (const auto &[text, number] : counts) {
        grid->addWidget(caption(QString::fromUtf8(text)), row, 4);
        grid->addWidget(number, row, 5, 1, 3, Qt::AlignLeft);
        ++row;
    }
    numTotalHours = lcd("numTotalHours", 2);
    numTotalMin = lcd("numTotalMin", 2);
    numTotalSec = lcd("numTotalSec", 2);
    numHours = lcd("numHours", 2);
    numMin = lcd("numMin", 2);
    numSec = lcd("numSec", 2);
    grid->addWidget(caption(QStringLiteral("TOTAL TIME:")), 4, 4);
    grid->addWidget(numTotalHours, 4, 5);
    grid->addWidget(numTotalMin, 4, 6);
    grid->addWidget(numTotalSec, 4, 7);
    grid->addWidget(caption(QStringLiteral("TIME REMAINING:")), 5, 4);
    grid->addWidget(numHours, 5, 5);
    grid->addWidget(numMin, 5, 6);
    grid->addWidget(numSec, 5, 7);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 1);

    // The live chart.
    FChart = new QChart;
    FChart->setAnimationOptions(QChart::NoAnimation);
    FChart->legend()->hide();
    FChart->setTitle(QString());
    FChart->setMargins(QMargins(4, 4, 4, 4));
    Series1 = new QLineSeries;
    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->setPen(QPen(QColor(255, 0, 0), 1.5));
    FChart->addSeries(Series1);
    FAxisX = new QDateTimeAxis;
    FAxisX->setFormat(QStringLiteral("hh:mm:ss"));
    FAxisX->setTitleText(QStringLiteral("Time"));
    FAxisY = new QValueAxis;
    FAxisY->setTitleText(QString::fromUtf8("Temperature C°"));
    FAxisY->setLabelFormat(QStringLiteral("%d"));
    for (QAbstractAxis *axis : {static_cast<QAbstractAxis *>(FAxisX), static_cast<QAbstractAxis *>(FAxisY)})
        axis->setLinePen(QPen(QColor(192, 192, 192), 1));
    FChart->addAxis(FAxisX, Qt::AlignBottom);
    FChart->addAxis(FAxisY, Qt::AlignLeft);
    Series1->attachAxis(FAxisX);
    Series1->attachAxis(FAxisY);
    Chart1 = new QChartView(FChart);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setRenderHint(QPainter::Antialiasing, false);
    Chart1->setMinimumHeight(220);

    // The buttons.
    const auto button = [this](const char *name, const QString &text, const QString &hint) {
        auto *b = new QPushButton(text);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        return b;
    };
    btnStart = button("btnStart", QStringLiteral("Start"), QStringLiteral("Start or Continue Protocol run"));
    btnNext = button("btnNext", QStringLiteral("Next"), QStringLiteral("Goto Next Step"));
    btnPause = button("btnPause", QStringLiteral("Pause"), QStringLiteral("Pause Protocol run"));
    btnStop = button("btnStop", QStringLiteral("Stop"), QStringLiteral("Stop Protocol run"));
    btnEdit1 = button("btnEdit1", QStringLiteral("View Protocol File"), QStringLiteral("View Protocol File"));
    btnLog = button("btnLog", QStringLiteral("View Log File"), QStringLiteral("View Log File"));
    btnTerminal = button("btnTerminal", QStringLiteral("Show RS232 terminal"), QStringLiteral("Show RS232 terminal"));
    btnOk = button("btnOk", QStringLiteral("Close"), QString());
    btnStart->setStyleSheet(QStringLiteral("QPushButton:enabled { color: #106010; font-weight: bold; }"));
    btnStop->setStyleSheet(QStringLiteral("QPushButton:enabled { color: #a01010; font-weight: bold; }"));
    for (QPushButton *b : {btnStart, btnNext, btnPause, btnStop}) {
        b->setMinimumWidth(80);
        b->setEnabled(false);
    }
    connect(btnStart, &QPushButton::clicked, this, &TDeviceStatusForm::btnStartClick);
    connect(btnNext, &QPushButton::clicked, this, &TDeviceStatusForm::btnNextClick);
    connect(btnPause, &QPushButton::clicked, this, &TDeviceStatusForm::btnPauseClick);
    connect(btnStop, &QPushButton::clicked, this, &TDeviceStatusForm::btnStopClick);
    connect(btnEdit1, &QPushButton::clicked, this, &TDeviceStatusForm::btnEdit1Click);
    connect(btnLog, &QPushButton::clicked, this, &TDeviceStatusForm::btnLogClick);
    connect(btnTerminal, &QPushButton::clicked, this, &TDeviceStatusForm::btnTerminalClick);
    connect(btnOk, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    auto *runButtons = new QHBoxLayout;
    for (QPushButton *b : {btnStart, btnNext, btnPause, btnStop})
        runButtons->addWidget(b);
    runButtons->addSpacing(16);
    runButtons->addWidget(btnEdit1);
    runButtons->addWidget(btnLog);
    runButtons->addWidget(btnTerminal);
    runButtons->addStretch();
    runButtons->addWidget(btnOk);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(VrBlotter1);
    layout->addWidget(Chart1, 1);
    layout->addLayout(runButtons);
    resize(860, 620);
}

void TDeviceStatusForm::setupChart()
{
    Series1->clear();
    FAxisY->setRange(0, 100);
    const QDateTime now = QDateTime::currentDateTime();
    FAxisX->setRange(now, now.addSecs(30));
}

void TDeviceStatusForm::AddChartPoint(const QDateTime &x, double y)
{
    Series1->append(static_cast<qreal>(x.toMSecsSinceEpoch()), y);
    if (Series1->count() > 30)
        Series1->removePoints(0, 20);
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(Series1->at(0).x()));
    QDateTime last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(Series1->at(Series1->count() - 1).x()));
    if (last <= first)
        last = first.addSecs(1);
    FAxisX->setRange(first, last);
}

void TDeviceStatusForm::resetDisplay()
{
    lblVolume->setText(QString::number(FVolume));
    for (QLCDNumber *n : {numTotalSteps, numSteps, numCycles, numCycle})
        n->display(0);
    for (QLCDNumber *n : {numTotalHours, numTotalMin, numTotalSec, numHours, numMin, numSec})
        n->display(QStringLiteral("00"));
    lblFolder->setText(FFolder);
    lblFile->setText(FFile);
    VrLed->setActive(false);
    VrLed->setVisible(false);
    for (QLabel *l : {lblTempBlock, lblStepHold, lblStepRamp, lblStepLeft, lblIncCycle, lblRamp, lblHoldInc})
        l->setText(QStringLiteral("-"));
}

void TDeviceStatusForm::showRunStatus(const duvo::RunStatusDisplay &d)
{
    lblMode->setText(d.mode);
    if (d.buttons)
        setRunButtons(*d.buttons);
    switch (d.kind) {
    case duvo::RunDisplayKind::Reset:
        resetDisplay();
        break;
    case duvo::RunDisplayKind::Kept:
        break;
    case duvo::RunDisplayKind::Values: {
        const duvo::RunStatusValues &v = d.values;
        lblVolume->setText(v.volume);
        numTotalSteps->display(v.totalSteps);
        numSteps->display(v.steps);
        numCycles->display(v.cycles);
        numCycle->display(v.cycle);
        lblFolder->setText(v.folder);
        lblFile->setText(v.file);
        VrLed->setActive(true);
        VrLed->setVisible(true);
        lblTempBlock->setText(v.tempBlock);
        lblIncCycle->setText(v.incCycle);
        lblRamp->setText(v.ramp);
        lblStepHold->setText(v.stepHold);
        lblStepRamp->setText(v.stepRamp);
        lblStepLeft->setText(v.stepLeft);
        lblHoldInc->setText(v.holdInc);
        numTotalHours->display(twoDigits(v.totalHours));
        numTotalMin->display(twoDigits(v.totalMin));
        numTotalSec->display(twoDigits(v.totalSec));
        numHours->display(twoDigits(v.hours));
        numMin->display(twoDigits(v.min));
        numSec->display(twoDigits(v.sec));
        VrBlotter1->update();
        break;
    }
    }
}

void TDeviceStatusForm::setRunButtons(const duvo::RunButtons &b)
{
    btnStart->setEnabled(b.start);
    btnNext->setEnabled(b.next);
    btnPause->setEnabled(b.pause);
    btnStop->setEnabled(b.stop);
}

void TDeviceStatusForm::setPlotLabel(bool yes)
{
    lblPlot->setText(yes ? QStringLiteral("Yes") : QStringLiteral("No"));
}

void TDeviceStatusForm::stopPolling()
{
    Timer1.stop();
}

void TDeviceStatusForm::bringToFront()
{
    raise();
    activateWindow();
}

// ---- the passes ----------------------------------------------------------------------------

void TDeviceStatusForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TDeviceStatusForm::FormShow()
{
    if (!FMonitor->pollingEnded())
        Timer1.start();
    FMonitor->clearRequests();
}

void TDeviceStatusForm::PollStatus()
{
    if (FClosing)
        return;
    FMonitor->PollStatus();
}

void TDeviceStatusForm::Timer1Timer()
{
    if (FMonitor->passRunning())
        return;  // a pass still running is never doubled
    const bool wasOn = Timer1.isActive();
    Timer1.stop();
    PollStatus();
    if (wasOn && !FClosing && !FMonitor->pollingEnded())
        Timer1.start();
    update();
}

// ---- closing -------------------------------------------------------------------------------

bool TDeviceStatusForm::FormClose()
{
    if (FMonitor->sessionId().empty()) {
        Timer1.stop();
        return true;
    }
    if (FMonitor->plotting()) {
        const int answer = duvo::Prompts::message(
            QStringLiteral("Closing this dialog will interrupt plotting to disk.  Do you want to close?"),
            QStringLiteral("Status"), duvo::Yes | duvo::No, duvo::PromptIcon::Question);
        if (answer != duvo::Yes)
            return false;
        Timer1.stop();
        return true;
    }
    return true;
}

void TDeviceStatusForm::done(int result)
{
    if (FClosing) {
        QDialog::done(result);
        return;
    }
    if (!FormClose())
        return;
    FClosing = true;
    Timer1.stop();
    FFirstPass.stop();
    // A pass waiting on the instrument ends now and sends nothing more; exec() returns once
    // it has unwound, and only then is the window freed.
    FMonitor->abortExchanges();
    FButtonClient.abort();
    QDialog::done(result);
}

// ---- the buttons ---------------------------------------------------------------------------

void TDeviceStatusForm::alert(const QString &text)
{
    if (FWorkstation)
        FWorkstation->ShowAlert(text);
}

void TDeviceStatusForm::btnStartClick()
{
    btnStart->setEnabled(false);
    if (!FMonitor->plotting()) {
        const int answer = duvo::Prompts::message(QStringLiteral("Would you like to save time/temperature data to disk?"),
                                                  QStringLiteral("Plot to Disk"), duvo::Yes | duvo::No,
                                                  duvo::PromptIcon::Question);
        const bool yes = answer == duvo::Yes;
        setPlotLabel(yes);
        FMonitor->setPlotting(yes);
    }
    FMonitor->queueStart();
    alert(QStringLiteral("Duvo START/CONTINUE button pressed"));
}

void TDeviceStatusForm::btnNextClick()
{
    FMonitor->queueNext();
    btnNext->setEnabled(false);
    alert(QStringLiteral("Duvo NEXT button pressed"));
}

void TDeviceStatusForm::btnPauseClick()
{
    FMonitor->queuePause();
    btnPause->setEnabled(false);
    alert(QStringLiteral("Duvo PAUSE button pressed"));
}

void TDeviceStatusForm::btnStopClick()
{
    FMonitor->queueStop();
    btnStop->setEnabled(false);
    alert(QStringLiteral("Duvo STOP button pressed"));
}

void TDeviceStatusForm::btnEdit1Click()
{
    if (!FMonitor->protocolBuffer() && FMonitor->protocolText().empty()) {
        duvo::Prompts::message(QStringLiteral("Protocol available after pressing Start!"),
                               QStringLiteral("Information"), duvo::Ok, duvo::PromptIcon::Information);
        return;
    }
    if (const ProtocolViewer &viewer = protocolViewer())
        viewer(this, QString::fromStdString(FMonitor->protocolDocument()), FFile, FFolder,
               QString::fromStdString(FMonitor->FDeviceIP()));
}

void TDeviceStatusForm::btnLogClick()
{
    std::string reply;
    const std::string ip = FMonitor->FDeviceIP();
    bool ok = FetchDeviceLog(FButtonClient, FWorkstation->ZavLog1, ip, reply);
    if (!ok && !FButtonClient.aborted())
        ok = FetchDeviceLog(FButtonClient, FWorkstation->ZavLog1, ip, reply);
    if (FButtonClient.aborted())
        return;
    if (ok) {
        ShowDeviceLogReport(reply, this);
        return;
    }
    duvo::Prompts::message(
        QStringLiteral("Problem retrieving log file or no log file available!  Please try again later."),
        QStringLiteral("Log"), duvo::Ok, duvo::PromptIcon::Information);
}

void TDeviceStatusForm::btnTerminalClick()
{
    if (QWidget *terminal = ActiveTerminalForm) {
        if (terminal->isHidden())
            terminal->show();
        terminal->raise();
        terminal->activateWindow();
        terminal->setFocus();
    }
}
