#include "mainwindow/forms/TProtoForm.h"

#include "common/SysInfo.h"
#include "link/Workstation.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

TProtoForm *ProtoForm = nullptr;

namespace {

const char kRed[] = "color: #ff0000;";
const char kBlue[] = "color: #0000ff;";

QString online(const duvo::IpWatchState &s)
{
    return s.online ? QStringLiteral("online") : QStringLiteral("offline");
}

} // namespace

TProtoForm::TProtoForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("ProtoForm"));
    setWindowTitle(QStringLiteral("Computer Information"));
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto line = [&](const QString &caption, const char *name, QLabel **warning = nullptr, const char *warningName = nullptr) {
        auto *c = new QLabel(caption);
        auto *v = new QLabel;
        v->setObjectName(QLatin1String(name));
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(c, row, 0);
        grid->addWidget(v, row, 1);
        if (warning) {
            *warning = new QLabel;
            (*warning)->setObjectName(QLatin1String(warningName));
            grid->addWidget(*warning, row, 2);
        }
        ++row;
        return v;
    };
    lblCPU = line(QStringLiteral("Processors: "), "lblCPU");
    lblSpeed = line(QStringLiteral("Speed:"), "lblSpeed", &WarningSpeed, "WarningSpeed");
    lblMemory = line(QStringLiteral("Memory:"), "lblMemory", &WarningMem, "WarningMem");
    lblHDD = line(QStringLiteral("HDD Space:"), "lblHDD", &WarningHDD, "WarningHDD");
    lblOS = line(QStringLiteral("OS:"), "lblOS");
    lblLevel = line(QStringLiteral("OS Level:"), "lblLevel");
    lblPCName = line(QStringLiteral("PC Name:"), "lblPCName");
    lblUserName = line(QStringLiteral("User Name:"), "lblUserName");
    lblIP = line(QStringLiteral("IP Address:"), "lblIP");
    lblStatus = line(QStringLiteral("Status:"), "lblStatus");

    btnOk = new QPushButton(QStringLiteral("Close"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    connect(btnOk, &QPushButton::clicked, this, &TProtoForm::btnOkClick);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);

    duvo::SysInfo &info = duvo::SysInfo::instance();
    FFreeMB = info.FreeDiskMB(DatabasePath);
    FSpeedMHz = info.RawMHz();
    FProcessors = info.ProcessorCount();
    FMemoryMB = info.TotalMemoryMB();
    const duvo::IpWatchState ip = info.IpState();

    lblCPU->setText(QString::number(FProcessors));
    lblSpeed->setText(QString::number(FSpeedMHz) + QStringLiteral("MHz"));
    lblOS->setText(info.OSName());
    lblLevel->setText(info.OSLevel());
    lblMemory->setText(QString::number(FMemoryMB) + QStringLiteral("MB"));
    lblPCName->setText(info.ComputerName());
    lblUserName->setText(info.UserName());
    lblIP->setText(ip.localIP);
    lblStatus->setText(online(ip));
    showOk(WarningSpeed);
    showOk(WarningMem);
    showHdd(200);

    ProtoForm = this;
    Timer1.setInterval(1500);
    connect(&Timer1, &QTimer::timeout, this, &TProtoForm::Timer1Timer);
    Timer1.start();

    // Room for the longest warning, so a later tick never cuts it off.
    const int warningWidth = WarningSpeed->fontMetrics().horizontalAdvance(QStringLiteral("Warning! Faster CPU recommended!")) + 8;
    for (QLabel *w : {WarningSpeed, WarningMem, WarningHDD})
        w->setMinimumWidth(warningWidth);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TProtoForm::~TProtoForm()
{
    if (ProtoForm == this)
        ProtoForm = nullptr;
}

void TProtoForm::makeRed(QLabel *label)
{
    label->setStyleSheet(QLatin1String(kRed));
}

void TProtoForm::showOk(QLabel *warning)
{
    warning->setStyleSheet(QLatin1String(kBlue));
    warning->setText(QStringLiteral("OK"));
}

void TProtoForm::showWarning(QLabel *warning, const QString &text)
{
    warning->setStyleSheet(QLatin1String(kRed));
    warning->setText(text);
}

void TProtoForm::showHdd(qint64 limitMB)
{
    lblHDD->setText(QString::number(FFreeMB) + QStringLiteral("MB"));
    // A drive that cannot be measured (-1) is no drive with plenty of space.
    if (FFreeMB >= limitMB) {
        showOk(WarningHDD);
    } else {
        makeRed(lblHDD);
        showWarning(WarningHDD, QStringLiteral("Warning! Less than %1MB free!").arg(limitMB));
    }
}

void TProtoForm::Timer1Timer()
{
    duvo::SysInfo &info = duvo::SysInfo::instance();
    FSpeedMHz = info.MeasuredMHz();
    lblSpeed->setText(QString::number(FSpeedMHz) + QStringLiteral("MHz"));
    FFreeMB = info.FreeDiskMB(DatabasePath);
    const duvo::IpWatchState ip = info.IpState();
    lblIP->setText(ip.localIP);
    lblStatus->setText(online(ip));
    showHdd(500);
    if (FProcessors > 1 || FSpeedMHz >= 1500) {
        showOk(WarningSpeed);
    } else {
        makeRed(lblSpeed);
        showWarning(WarningSpeed, QStringLiteral("Warning! Faster CPU recommended!"));
    }
}

void TProtoForm::btnOkClick()
{
    hide();
}
