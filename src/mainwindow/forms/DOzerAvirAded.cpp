#include "mainwindow/forms/DOzerAvirAded.h"

#include "common/AppPaths.h"
#include "common/ClockWatch.h"
#include "common/IpWatch.h"
#include "common/ProgramFolder.h"
#include "common/forms/DuvoAlert.h"
#include "common/forms/SleepInhibitor.h"
#include "link/Settings.h"
#include "link/SettingsRow.h"
#include "link/forms/TDiscoverForm.h"
#include "mainwindow/DeviceRows.h"
#include "mainwindow/SendAlertMail.h"
#include "mainwindow/StartUp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

DOzerAvirAded *DuvoMainForm = nullptr;
QPointer<QWidget> ActiveProtoForm;
QPointer<QWidget> ActiveTerminalForm;

namespace {

// The pictures of the device types (indexes into the main window's picture list).
QIcon DevicePicture(const QString &index)
{
    if (index.isEmpty())
        return QIcon();
    QColor colour = index == QStringLiteral("144") ? QColor(0x9e, 0x9e, 0x9e)
                    : index == QStringLiteral("145") ? QColor(0x2e, 0x7d, 0x32) : QColor(0x15, 0x65, 0xc0);
    QPixmap pm(28, 28);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 6, 24, 16), 4, 4);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(2, 6, 24, 16), Qt::AlignCenter,
               index == QStringLiteral("144") ? QStringLiteral("SV") : index == QStringLiteral("145") ? QStringLiteral("24") : QStringLiteral("96"));
    return QIcon(pm);
}

QString hint(const QString &title, const QString &note)
{
    if (note.isEmpty())
        return QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped());
    return QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), note.toHtmlEscaped());
}

QWidget *addToolbar(QWidget *page, const QString &caption)
{
    auto *group = new QGroupBox(caption, page);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(4, 2, 4, 2);
    static_cast<QHBoxLayout *>(page->layout())->addWidget(group);
    return group;
}

QWidget *addPage(QTabWidget *pager, const QString &caption, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(name));
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    pager->addTab(page, caption);
    return page;
}

} // namespace

const QStringList &DOzerAvirAded::DeviceButtonNames()
{
    static const QStringList names = {
        QStringLiteral("btnStatus"),         QStringLiteral("btnOpenProtocol"), QStringLiteral("btnCopyProtocol"),
        QStringLiteral("btnNavigate"),       QStringLiteral("btnFormat"),       QStringLiteral("btnClone"),
        QStringLiteral("btnPower"),          QStringLiteral("btnReboot"),       QStringLiteral("btnFirmwareUpdate"),
        QStringLiteral("btnCreateVDU"),      QStringLiteral("btnLoadFromDisk"), QStringLiteral("btnSetChangePW"),
        QStringLiteral("btnTerminal"),       QStringLiteral("btnDeviceLog"),    QStringLiteral("btnDuvoLog"),
        QStringLiteral("btnSyncTime"),       QStringLiteral("btnNameandLocation"),
    };
    return names;
}

DOzerAvirAded::DOzerAvirAded(QWidget *parent)
    : QMainWindow(parent),
      FStatusPass(FDeviceList, [this](DVDEVICEINFO_T &d, const QString &message) { SendDeviceAlert(d, message); })
{
    setObjectName(QStringLiteral("DuvoMainForm"));
    setWindowTitle(QStringLiteral("Velmor Lab Duvo Studio"));
    resize(1010, 637);
    setMinimumSize(915, 630);
    FFirewall = &FHostFirewall;
    DuvoAlert1 = new duvo::DuvoAlert(this);

    buildRibbon();
    buildDeviceArea();
    buildStatusBar();

    DuvoTimer.setInterval(5000);
    DuvoTimer.stop();
    connect(&DuvoTimer, &QTimer::timeout, this, &DOzerAvirAded::DuvoTimerTimer);
    FPassTimer.setSingleShot(true);
    FPassTimer.setInterval(0);
    connect(&FPassTimer, &QTimer::timeout, this, [this] {
        if (!FApplicationEnding)
            FStatusPass.PollDevices();
    });
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &DOzerAvirAded::Timer1Timer);
    Timer1.start();
    // The modeless windows are freed soon after the user hides them.
    FIdleTimer.setInterval(250);
    connect(&FIdleTimer, &QTimer::timeout, this, &DOzerAvirAded::IdleFree);
    FIdleTimer.start();

    DuvoMainForm = this;
    try {
        FindDatabasePath();
        const QString folder = duvo::ProgramFolder();
        ZavLog1.setFileName(folder + QStringLiteral("DuvoGeneral.txt"));
        ZavLog1.setEnabled(true);
        ZavExceptionLog1.setFileName(folder + QStringLiteral("DuvoException.txt"));
        ZavExceptionLog1.setActive(true);
        FPanels[0]->setText(QStringLiteral("Press F1 for Help"));
        FPanels[1]->setText(StatusBarDateTime(QDateTime::currentDateTime(), 4));
        FDeviceList.Clear();
        OutList1->header()->setFixedHeight(26);
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during application startup..."), QStringLiteral("Error"));
    }

    FClockWatch = std::make_unique<duvo::ClockWatch>();
    connect(FClockWatch.get(), &duvo::ClockWatch::timeChanged, this, [this] {
        ZavLog1.WriteLine(QStringLiteral("A System Time change occurred"));
        ZavLog1.Dump();
    });
    if (!qEnvironmentVariableIsSet("DUVO_NO_SLEEP_INHIBITOR")) {
        FSleepInhibitor = std::make_unique<duvo::SleepInhibitor>();
        if (!FSleepInhibitor->isHeld()) {
            ZavLog1.WriteLine(QStringLiteral("System suspend cannot be refused: ") + FSleepInhibitor->failure());
            ZavLog1.Dump();
        }
    }
}

DOzerAvirAded::~DOzerAvirAded()
{
    FormDestroy();
    if (DuvoMainForm == this)
        DuvoMainForm = nullptr;
}

void DOzerAvirAded::FormDestroy()
{
    DuvoTimer.stop();
    FPassTimer.stop();
    FDeviceList.Clear();
    ZavLog1.Dump();
}

void DOzerAvirAded::FindDatabasePath()
{
    DatabasePath = DatabasePathFor(duvo::ReadAppPath(), duvo::ProgramFolder());
}

QToolButton *DOzerAvirAded::addButton(QWidget *bar, const char *name, const QString &caption,
                                      const QString &hintTitle, const QString &note, const char *handler)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setToolTip(hint(hintTitle, note));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(72);
    bar->layout()->addWidget(b);
    FButtons[QLatin1String(name)] = b;
    // The handler is the slot of that name; every button has one.
    Q_ASSERT_X(metaObject()->indexOfSlot(QByteArray(QByteArray(handler) + "()").constData()) >= 0, "addButton", handler);
    connect(b, &QToolButton::clicked, this, [this, handler] { QMetaObject::invokeMethod(this, handler); });
    return b;
}

QToolButton *DOzerAvirAded::button(const QString &name) const
{
    const auto it = FButtons.find(name);
    return it == FButtons.end() ? nullptr : it->second;
}

void DOzerAvirAded::buildRibbon()
{
    AdvToolBarPager1 = new QTabWidget;
    AdvToolBarPager1->setObjectName(QStringLiteral("AdvToolBarPager1"));

    DiagPage1 = addPage(AdvToolBarPager1, QStringLiteral("Protocols"), "DiagPage1");
    QWidget *bar = addToolbar(DiagPage1, QStringLiteral("Protocol Options"));
    addButton(bar, "btnOpenProtocol", QStringLiteral("Run Protocol"), QStringLiteral("Run Protocol"),
              QStringLiteral("Select and run a Protocol"), "btnOpenProtocolClick");
    addButton(bar, "btnNewProtocol", QStringLiteral("New Protocol"), QStringLiteral("New Protocol"),
              QStringLiteral("Create a new Protocol"), "btnNewProtocolClick");
    addButton(bar, "btnEditProtocol", QStringLiteral("Edit Protocol"), QStringLiteral("Edit Protocol"),
              QStringLiteral("Select and edit a Protocol"), "btnEditProtocolClick");
    bar = addToolbar(DiagPage1, QStringLiteral("Manage Protocols"));
    addButton(bar, "btnCopyProtocol", QStringLiteral("Copy Protocol"), QStringLiteral("Copy Protocol"),
              QStringLiteral("Copy Protocols to or from Duvo devices"), "btnCopyProtocolClick");
    addButton(bar, "btnLoadFromDisk", QStringLiteral("Load Protocol from Disk"), QStringLiteral("Load Protocol from Disk"),
              QStringLiteral("Load Protocols from disk to Duvo devices"), "btnLoadFromDiskClick");
    addButton(bar, "btnNavigate", QStringLiteral("Navigate Protocols"), QStringLiteral("Navigate Protocols"),
              QStringLiteral("Navigate all Protocols available on the network"), "btnNavigateClick");
    addButton(bar, "btnSetChangePW", QStringLiteral("Folder Security"), QStringLiteral("Folder Security"),
              QStringLiteral("Set or change the passwords of your Duvo folders"), "btnSetChangePWClick");
    static_cast<QHBoxLayout *>(DiagPage1->layout())->addStretch();

    QWidget *toolbox = addPage(AdvToolBarPager1, QStringLiteral("Toolbox"), "ToolboxPage1");
    bar = addToolbar(toolbox, QStringLiteral("Tools"));
    addButton(bar, "btnWebProtocols", QStringLiteral("Internet Download"), QStringLiteral("Internet Download"),
              QStringLiteral("Download Duvo related content from the Internet"), "btnWebProtocolsClick");
    addButton(bar, "btnTerminal", QStringLiteral("RS232 Terminal"), QStringLiteral("RS232 Terminal"),
              QStringLiteral("Connect to Duvo via RS232 serial cable"), "btnTerminalClick");
    addButton(bar, "btnDuvoLog", QStringLiteral("View Duvo Log"), QStringLiteral("View Duvo Log"),
              QStringLiteral("View the Duvo log file of the last run protocol"), "btnDuvoLogClick");
    bar = addToolbar(toolbox, QStringLiteral("Control && Options"));
    addButton(bar, "btnReboot", QStringLiteral("Reboot && Power-up"), QStringLiteral("Reboot & Power-up"),
              QStringLiteral("Allows you to remotely reboot  or power-up a Duvo"), "btnRebootClick");
    addButton(bar, "btnPower", QStringLiteral("Power"), QStringLiteral("Power"),
              QStringLiteral("Allows you to remotely shutdown Duvo"), "btnPowerClick");
    addButton(bar, "btnSyncTime", QStringLiteral("Sync Time with your PC"), QStringLiteral("Sync Time with your PC"),
              QStringLiteral("Set the time of Duvo according to your PC clock"), "btnSyncTimeClick");
    addButton(bar, "btnNameandLocation", QStringLiteral("Duvo Name && Location"), QStringLiteral("Duvo Name & Location"),
              QStringLiteral("Assign an optional alias and location to your Duvo"), "btnNameandLocationClick");
    bar = addToolbar(toolbox, QStringLiteral("External Tools"));
    addButton(bar, "btnIPDuvo", QStringLiteral("Duvo IP Tool"), QStringLiteral("Duvo IP Tool"),
              QStringLiteral("Allows you to control the network settings of your Duvo devices"), "btnIPDuvoClick");
    addButton(bar, "btnFirewall", QStringLiteral("Firewall"), QStringLiteral("Firewall"),
              QStringLiteral("Sets the needed Windows firewall ports"), "btnFirewallClick");
    addButton(bar, "btnWinSearch", QStringLiteral("Windows Search"), QStringLiteral("Windows Search"),
              QStringLiteral("Search for files on your machine and network"), "btnWinSearchClick");
    static_cast<QHBoxLayout *>(toolbox->layout())->addStretch();

    vDuvoPage1 = addPage(AdvToolBarPager1, QStringLiteral("vDuvo"), "vDuvoPage1");
    bar = addToolbar(vDuvoPage1, QStringLiteral("virtual Duvo"));
    addButton(bar, "btnCreateVDU", QStringLiteral("Save"), QStringLiteral("Save"),
              QStringLiteral("Create a virtual Duvo data file from a networked Duvo"), "btnCreateVDUClick");
    addButton(bar, "btnLoadVDU", QStringLiteral("Load"), QStringLiteral("Load"),
              QStringLiteral("Load a virtual Duvo data file to a networked Duvo"), "btnLoadVDUClick");
    static_cast<QHBoxLayout *>(vDuvoPage1->layout())->addStretch();

    QWidget *maintenance = addPage(AdvToolBarPager1, QStringLiteral("Maintenance"), "MaintenancePage1");
    bar = addToolbar(maintenance, QStringLiteral("Firmware && Data"));
    addButton(bar, "btnFirmwareUpdate", QStringLiteral("Firmware Update"), QStringLiteral("Firmware Update"),
              QStringLiteral("Update the Firmware of a selected Duvo device"), "btnFirmwareUpdateClick");
    addButton(bar, "btnFormat", QStringLiteral("Factory Default"), QStringLiteral("Factory Default"),
              QStringLiteral("Resets the Duvo flash drive to factory defaults"), "btnFormatClick");
    addButton(bar, "btnClone", QStringLiteral("Clone"), QStringLiteral("Clone"),
              QStringLiteral("This option allows you to copy all Duvo data to another Duvo"), "btnCloneClick");
    static_cast<QHBoxLayout *>(maintenance->layout())->addStretch();

    QWidget *options = addPage(AdvToolBarPager1, QStringLiteral("Options"), "OptionsPage1");
    bar = addToolbar(options, QStringLiteral("System"));
    addButton(bar, "btnDataBase", QStringLiteral("Database Administration"), QStringLiteral("Database Administration"),
              QStringLiteral("Database tools"), "Database1Click");
    addButton(bar, "btnPCInformation", QStringLiteral("Computer Information"), QStringLiteral("Computer Information"),
              QStringLiteral("Shows general information about the PC"), "btnPCInformationClick");
    bar = addToolbar(options, QStringLiteral("Preferences"));
    addButton(bar, "btnPreferences", QStringLiteral("Preferences"), QStringLiteral("Preferences"),
              QStringLiteral("Set system wide preferences"), "Preferences1Click");
    static_cast<QHBoxLayout *>(options->layout())->addStretch();

    // The application menu at the ribbon's corner, and the ribbon's help button.
    auto *appMenuButton = new QToolButton;
    appMenuButton->setObjectName(QStringLiteral("AdvPreviewMenu1"));
    appMenuButton->setText(QStringLiteral("\u25CF"));
    appMenuButton->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(appMenuButton);
    QAction *exitAction = menu->addAction(QStringLiteral("Exit"));
    exitAction->setObjectName(QStringLiteral("actExit"));
    exitAction->setToolTip(hint(QStringLiteral("Exit Application"), QStringLiteral("Terminates and exits the current application")));
    connect(exitAction, &QAction::triggered, this, &DOzerAvirAded::AdvPreviewMenu1Buttons0Click);
    QMenu *help = menu->addMenu(QStringLiteral("Help"));
    QAction *guide = help->addAction(QStringLiteral("Quick Guide"));
    guide->setObjectName(QStringLiteral("Contents1"));
    guide->setShortcut(QKeySequence(Qt::Key_F1));
    guide->setToolTip(hint(QStringLiteral("Quick Guide"), QStringLiteral("Online guide for this software")));
    QMenu *optionsMenu = menu->addMenu(QStringLiteral("Options"));
    QAction *updates = optionsMenu->addAction(QStringLiteral("Software Updates"));
    updates->setObjectName(QStringLiteral("UpdateSoftware1"));
    updates->setToolTip(hint(QStringLiteral("Software Updates"),
                             QStringLiteral("Takes you to the web site with the latest release of the software")));
    QAction *about = menu->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("About1"));
    for (QAction *a : {guide, updates, about}) {
        const QByteArray handler = a->objectName().toLatin1() + "Click";
        Q_ASSERT_X(metaObject()->indexOfSlot(handler + "()") >= 0, "buildRibbon", handler.constData());
        connect(a, &QAction::triggered, this, [this, handler] { QMetaObject::invokeMethod(this, handler.constData()); });
    }
    addAction(guide);  // F1 works anywhere in the window
    appMenuButton->setMenu(menu);
    AdvToolBarPager1->setCornerWidget(appMenuButton, Qt::TopLeftCorner);

    auto *helpButton = new QToolButton;
    helpButton->setObjectName(QStringLiteral("btnRibbonHelp"));
    helpButton->setText(QStringLiteral("?"));
    connect(helpButton, &QToolButton::clicked, guide, &QAction::trigger);
    AdvToolBarPager1->setCornerWidget(helpButton, Qt::TopRightCorner);
}

void DOzerAvirAded::buildDeviceArea()
{
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(AdvToolBarPager1);

    OutList1 = new QTreeWidget;
    OutList1->setObjectName(QStringLiteral("OutList1"));
    OutList1->setRootIsDecorated(false);
    OutList1->setSelectionMode(QAbstractItemView::NoSelection);
    OutList1->setColumnCount(14);
    OutList1->setHeaderLabels({QStringLiteral("Devices"), QString(), QStringLiteral("IP Address"),
                               QStringLiteral("Duvo ID"), QStringLiteral("Type"), QStringLiteral("Alias"),
                               QStringLiteral("Location"), QStringLiteral("Status"), QStringLiteral("State"),
                               QStringLiteral("Total Time"), QStringLiteral("Time Left"), QStringLiteral("Protocol"),
                               QStringLiteral("Duvo Time"), QStringLiteral("Message")});
    // The group column "Devices" is hidden: no width, and the user cannot drag it open. (Not
    // setColumnHidden: the group's caption and the preview lines span the row from it.)
    OutList1->header()->setMinimumSectionSize(0);
    OutList1->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    OutList1->setColumnWidth(0, 0);
    OutList1->setColumnWidth(1, 36);
    OutList1->setIconSize(QSize(28, 28));
    OutList1->setSortingEnabled(false);
    OutList1->setDragEnabled(false);
    OutList1->setItemsExpandable(false);
    OutList1->setIndentation(0);
    for (int c = 0; c < 14; ++c)
        OutList1->headerItem()->setToolTip(c, QStringLiteral("Double click for status or run"));
    connect(OutList1, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem *) { OutList1->expandAll(); });
    connect(OutList1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item, int) { OutList1ItemDblClick(item); });
    layout->addWidget(OutList1, 1);

    auto *buttons = new QWidget;
    buttons->setLayout(new QHBoxLayout);
    buttons->layout()->setContentsMargins(0, 0, 0, 0);
    static_cast<QHBoxLayout *>(buttons->layout())->addStretch();
    addButton(buttons, "btnDeviceLog", QStringLiteral("Device Log"), QStringLiteral("View Device Log"),
              QStringLiteral("Shows all historical data of the device"), "btnDeviceLogClick");
    addButton(buttons, "btnStatus", QStringLiteral("Device Status"), QStringLiteral("View Device Status"),
              QStringLiteral("Show the current status of the running protocol"), "btnStatusClick");
    addButton(buttons, "btnRefresh", QStringLiteral("Device List"), QStringLiteral("Refreshes the device list"),
              QStringLiteral("Press to manually refresh the device list and discover newly added devices"),
              "btnRefreshClick");
    layout->addWidget(buttons);
    setCentralWidget(central);
}

void DOzerAvirAded::buildStatusBar()
{
    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    const int widths[3] = {200, 320, 0};
    for (int i = 0; i < 3; ++i) {
        FPanels[i] = new QLabel;
        FPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        if (widths[i])
            FPanels[i]->setFixedWidth(widths[i]);
        StatusBar1->addWidget(FPanels[i], widths[i] ? 0 : 1);
    }
    setStatusBar(StatusBar1);
}

void DOzerAvirAded::Timer1Timer()
{
    FPanels[0]->setText(QStringLiteral("Use the Quick Guide"));
    FPanels[1]->setText(StatusBarDateTime(QDateTime::currentDateTime(), 2));
}

void DOzerAvirAded::IdleFree()
{
    for (QPointer<QWidget> *form : {&ActiveProtoForm, &ActiveTerminalForm}) {
        if (*form && (*form)->isHidden()) {
            QWidget *w = *form;
            *form = nullptr;
            w->close();
            delete w;
        }
    }
}

void DOzerAvirAded::ShowAlert(const QString &text)
{
    Workstation::ShowAlert(text);
    DuvoAlert1->ShowText(text);
}

void DOzerAvirAded::SetDeviceControlsEnabled(bool on)
{
    for (const QString &name : DeviceButtonNames())
        if (QToolButton *b = button(name))
            b->setEnabled(on);
}

void DOzerAvirAded::EnableDeviceControls()
{
    const bool any = !FDeviceList.isEmpty();
    if (any)
        DuvoTimer.start();
    else
        DuvoTimer.stop();
    SetDeviceControlsEnabled(any);
    if (any)
        OutList1->setFocus();
}

void DOzerAvirAded::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!FFormShown) {
        FFormShown = true;
        // Runs once the window is on screen, from a timer (it waits in modal windows and
        // exchanges, which get no paint events inside a posted call).
        QTimer::singleShot(1, Qt::PreciseTimer, this, &DOzerAvirAded::FormShow);
    }
}

void DOzerAvirAded::FormShow()
{
    try {
        AdvToolBarPager1->setCurrentWidget(DiagPage1);
        SetupFirewall(*FFirewall, QCoreApplication::applicationFilePath(), TaskDialog1);

        if (!LoadSettings(duvo::SettingsRowKey())) {
            ZavLog1.WriteLine(QStringLiteral("Error during database operation"));
            ZavLog1.Dump();
        }
        if (FApplicationEnding)
            return;  // the user refused to create the missing database

        const duvo::IpWatchState ip = duvo::CurrentIpWatch();
        FLocalIP = ip.localIP;
        if (ip.online) {
            RunDiscovery();
            DuvoTimer.setInterval(RefreshIntervalMs(FRefreshSeconds));
            BuildDeviceList();
            EnableDeviceControls();
        } else {
            TaskDialog1.Show(duvo::Ok, duvo::PromptIcon::Information, QStringLiteral("Velmor Lab Duvo Studio"),
                             QStringLiteral("Network"),
                             QStringLiteral("The computer is not connected to a network or is offline."),
                             QStringLiteral("The application requires a TCP/IP network."));
            BuildDeviceList();
            DuvoTimer.stop();
            SetDeviceControlsEnabled(false);
        }
    } catch (const std::exception &e) {
        ZavExceptionLog1.LogException(QStringLiteral("FormShow"), QString::fromLocal8Bit(e.what()));
        duvo::Prompts::message(QStringLiteral("Error during application initialization!"), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Warning);
        Terminate();
    } catch (...) {
        ZavExceptionLog1.LogException(QStringLiteral("FormShow"), QStringLiteral("unknown exception"));
        duvo::Prompts::message(QStringLiteral("Error during application initialization!"), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Warning);
        Terminate();
    }
}

bool DOzerAvirAded::LoadSettings(const QString &key)
{
    return duvo::LoadSettings(*this, key);
}

void DOzerAvirAded::RunDiscovery()
{
    // A pass waiting inside the event loop below us must not touch the old records.
    FStatusPass.RequestStop();
    TDiscoverForm discover(this, &FSearchDelay);
    discover.exec();
}

void DOzerAvirAded::BuildDeviceList()
{
    OutList1->clear();
    if (FDeviceList.isEmpty()) {
        TaskDialog1.Show(duvo::Ok, duvo::PromptIcon::Information, QStringLiteral("Velmor Lab Duvo Studio"),
                         QStringLiteral("Duvo Device Network Scan"), QStringLiteral("No devices were found on the network."),
                         QStringLiteral("Make sure all devices have power, are connected to the network and have an IP "
                                        "address.  Make sure you have allowed the following ports through your Windows "
                                        "Firewall: UDP:20034  TCP:62751."));
        return;
    }
    auto *group = new QTreeWidgetItem(OutList1);
    group->setFirstColumnSpanned(true);
    group->setText(0, QStringLiteral("Duvo Network Devices ") + QStringLiteral("(%1)").arg(FDeviceList.Count()));
    group->setSizeHint(0, QSize(0, 34));
    QFont bold = group->font(0);
    bold.setBold(true);
    group->setFont(0, bold);
    for (const auto &d : FDeviceList) {
        auto *row = new QTreeWidgetItem(group);
        auto *preview = new QTreeWidgetItem(row);
        preview->setFirstColumnSpanned(true);
        preview->setForeground(0, QBrush(Qt::blue));
        writeRow(row, *d, true);
        row->setExpanded(true);
    }
    group->setExpanded(true);
    fitColumns(false);
}

void DOzerAvirAded::fitColumns(bool onlyGrow)
{
    QTreeWidgetItem *group = OutList1->topLevelItem(0);
    if (!group)
        return;
    const QFontMetrics fm(OutList1->font());
    const QFontMetrics headerFm(OutList1->header()->font());
    // The item's margins, and the header section's (a little more).
    const int pad = 2 * (OutList1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, OutList1) + 1) + 4;
    const int headerPad = 2 * OutList1->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, OutList1->header()) + 4;
    constexpr int last = 13;  // "Message": stretches over what is left
    int want[last] = {};
    int least[last] = {};
    for (int c = 2; c < last; ++c) {
        least[c] = headerFm.horizontalAdvance(OutList1->headerItem()->text(c)) + headerPad;
        int w = least[c];
        for (int i = 0; i < group->childCount(); ++i)
            w = std::max(w, fm.horizontalAdvance(group->child(i)->text(c)) + pad);
        want[c] = w;
    }
    want[1] = std::max(OutList1->columnWidth(1), OutList1->iconSize().width() + pad);
    // Within the window: the free texts (alias, location, protocol) give way first, down to
    // their captions; identity, state, times and clock keep their width.
    const int room = OutList1->viewport()->width() - 60;  // leaves the message column a little
    int total = 0;
    for (int c = 1; c < last; ++c)
        total += want[c];
    // The widest free text gives way first, a pixel at a time in effect, down to its caption.
    for (int excess = total - room; excess > 0;) {
        int widest = -1;
        for (int c : {5, 6, 11})
            if (want[c] > least[c] && (widest < 0 || want[c] - least[c] > want[widest] - least[widest]))
                widest = c;
        if (widest < 0)
            break;
        int next = 0;  // the slack of the next widest, so they end up even
        for (int c : {5, 6, 11})
            if (c != widest)
                next = std::max(next, want[c] - least[c]);
        const int cut = std::min(excess, std::max(1, want[widest] - least[widest] - next));
        want[widest] -= cut;
        excess -= cut;
    }
    if (onlyGrow) {
        bool grows = false;
        for (int c = 1; c < last; ++c)
            grows = grows || OutList1->columnWidth(c) < want[c];
        if (!grows)
            return;  // the widths stay as they are: no columns moving at every tick
    }
    int used = 0;
    for (int c = 1; c < last; ++c) {
        OutList1->setColumnWidth(c, want[c]);
        used += want[c];
    }
    // The message column takes what is left (it is also every row's preview line).
    OutList1->setColumnWidth(last, std::max(60, OutList1->viewport()->width() - used));
}

void DOzerAvirAded::writeRow(QTreeWidgetItem *row, const DVDEVICEINFO_T &device, bool withPicture)
{
    const DeviceRowTexts cells = DeviceRowCells(device);
    if (withPicture) {
        row->setData(1, Qt::UserRole, cells[0]);
        row->setIcon(1, DevicePicture(cells[0]));
    }
    for (int cell = 1; cell < 13; ++cell)
        row->setText(cell + 1, cells[cell]);
    if (QTreeWidgetItem *preview = row->child(0))
        preview->setText(0, QStringLiteral("    ") + cells[12]);
    for (int column = 1; column < OutList1->columnCount(); ++column)
        row->setToolTip(column, QStringLiteral("Double click for status or run"));
}

QTreeWidgetItem *DOzerAvirAded::deviceRow(int index) const
{
    QTreeWidgetItem *group = OutList1->topLevelItem(0);
    return (group && index >= 0 && index < group->childCount()) ? group->child(index) : nullptr;
}

QString DOzerAvirAded::RowText(int index, int cell) const
{
    QTreeWidgetItem *row = deviceRow(index);
    if (!row || cell < 0 || cell > 12)
        return QString();
    return cell == 0 ? row->data(1, Qt::UserRole).toString() : row->text(cell + 1);
}

void DOzerAvirAded::UpdateDeviceRows()
{
    if (FDeviceList.isEmpty())
        return;
    for (int i = 0; i < FDeviceList.Count(); ++i) {
        DVDEVICEINFO_T *d = FDeviceList.at(i);
        if (CompletedAlertDue(*d)) {
            SendDeviceAlert(*d, QStringLiteral("Status = Completed"));
            // The mail waits inside the event loop: the list may have been rebuilt meanwhile.
            if (i >= FDeviceList.Count() || FDeviceList.at(i) != d)
                return;
        }
        if (QTreeWidgetItem *row = deviceRow(i))
            writeRow(row, *d, false);
    }
    fitColumns(true);  // a longer state (" [press Stop]") or a first clock text
    OutList1->viewport()->update();
}

void DOzerAvirAded::SendDeviceAlert(DVDEVICEINFO_T &device, const QString &message)
{
    if (FApplicationEnding)
        return;  // after the exit nothing more leaves the program
    // Marked sent first: a second tick during the send must not send it again.
    device.alertSent = 1;
    SendAlert(QString::fromStdString(device.alertAddress), message);
}

void DOzerAvirAded::SendAlert(const QString &recipient, const QString &message)
{
    try {
        SendAlertMail(*this, recipient, message);
    } catch (const std::exception &e) {
        // A mail that cannot even be started (a broken SMTP port setting) is only logged.
        ZavLog1.WriteLine(QStringLiteral("E-mail SMTP error"));
        ZavLog1.WriteLine(QString::fromLocal8Bit(e.what()));
        ZavLog1.Dump();
    }
}

void DOzerAvirAded::DuvoTimerTimer()
{
    DuvoTimer.stop();
    if (FApplicationEnding)
        return;
    FLocalIP = duvo::CurrentIpWatch().localIP;
    // Back on when the handler ends, also when something in it throws, but only while the list
    // holds devices: a rescan nested in this tick may have found none.
    struct TimerBackOn {
        DOzerAvirAded &form;
        ~TimerBackOn() { form.restoreDuvoTimer(); }
    } backOn{*this};
    if (!FStatusPass.running())
        FPassTimer.start();  // the pass runs after this tick, as one unit of work
    UpdateDeviceRows();
}

void DOzerAvirAded::restoreDuvoTimer()
{
    if (!FApplicationEnding && !FDeviceList.isEmpty())
        DuvoTimer.start();
    else
        DuvoTimer.stop();
}

void DOzerAvirAded::PollDevices()
{
    FStatusPass.PollDevices();
}

void DOzerAvirAded::btnRefreshClick()
{
    const bool wasOn = DuvoTimer.isActive();
    DuvoTimer.stop();
    const bool note = ExitLosesAlertsOrSessions(FDeviceList);
    const int answer = TaskDialog1.Show(
        duvo::Yes | duvo::No, duvo::PromptIcon::Question, QStringLiteral("Device List"),
        QStringLiteral("Scan network to build new device list?"), QStringLiteral("Select Yes to continue. No to cancel."),
        note ? QStringLiteral("Duvo Studio e-mail alerts and session IDs will be cleared!") : QString(), note);
    if (answer != duvo::Yes) {
        if (wasOn)
            DuvoTimer.start();
        return;
    }
    rescan(wasOn);
}

void DOzerAvirAded::RescanDevices()
{
    const bool wasOn = DuvoTimer.isActive();
    DuvoTimer.stop();
    rescan(wasOn);
}

void DOzerAvirAded::rescan(bool timerWasOn)
{
    try {
        OutList1->clear();
        RunDiscovery();
        BuildDeviceList();
        EnableDeviceControls();
    } catch (...) {
        if (timerWasOn)
            DuvoTimer.start();
        else
            DuvoTimer.stop();
        throw;
    }
}

void DOzerAvirAded::closeEvent(QCloseEvent *event)
{
    DuvoTimer.stop();
    if (FApplicationEnding) {
        // The program is already ending (the user refused to create the missing database, or
        // said Yes before): quitting closes the windows, and this one goes without a question.
        FPassTimer.stop();
        FStatusPass.Shutdown();
        TCPClient1.abort();
        event->accept();
        return;
    }
    const bool note = ExitLosesAlertsOrSessions(FDeviceList);
    const int answer = TaskDialog1.Show(
        duvo::Yes | duvo::No, duvo::PromptIcon::Question, QStringLiteral("Exit"), QStringLiteral("Exit Duvo Studio?"),
        QStringLiteral("Select No to continue. Yes to exit."),
        note ? QStringLiteral("Duvo Studio e-mail alerts and session IDs will be cleared on exit!") : QString(), note);
    if (answer != duvo::Yes) {
        event->ignore();
        DuvoTimer.start();
        return;
    }
    // Yes: nothing more goes out. The pass and every exchange of the window's clients end at
    // once (a pass waiting inside the event loop below us unwinds without another request or
    // mail); the window hides now and is freed only after the handler stack has unwound.
    Terminate();
    FPassTimer.stop();
    FStatusPass.Shutdown();
    TCPClient1.abort();
    event->accept();
    hide();
}

void DOzerAvirAded::changeEvent(QEvent *event)
{
    if (FFormShown && (event->type() == QEvent::LocaleChange || event->type() == QEvent::ThemeChange)) {
        ZavLog1.WriteLine(QStringLiteral("A System Settings change occurred"));
        ZavLog1.Dump();
    }
    QMainWindow::changeEvent(event);
}

void DOzerAvirAded::Exit1Click()
{
    close();
}

void DOzerAvirAded::AdvPreviewMenu1Buttons0Click()
{
    Exit1Click();
}
