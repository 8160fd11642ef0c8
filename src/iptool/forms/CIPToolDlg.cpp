#include "iptool/forms/CIPToolDlg.h"

#include "common/ModuleFrame.h"
#include "common/Prompts.h"
#include "iptool/forms/CAboutDlg.h"
#include "iptool/forms/CPasswordDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace duvo::iptool {

namespace {

const QString BoxTitle = QStringLiteral("IPDuvo");

QString addressText(const Ipv4 &a)
{
    return QString::fromStdString(FormatIpv4(a));
}

// An address field reads like an IP address control: up to four parts, an empty part is 0.
Ipv4 fieldAddress(const QLineEdit *edit)
{
    Ipv4 a{};
    const QStringList parts = edit->text().split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const uint value = parts[i].trimmed().toUInt(&ok);
        a[size_t(i)] = ok && value <= 255 ? uint8_t(value) : 0;
    }
    return a;
}

QLineEdit *addressField(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    static const QRegularExpression octets(QStringLiteral(
        "^(?:(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)?\\.){0,3}(?:25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)?$"));
    edit->setValidator(new QRegularExpressionValidator(octets, edit));
    edit->setText(QStringLiteral("0.0.0.0"));
    return edit;
}

QPushButton *button(QWidget *parent, const QString &text, const QString &name)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CIPToolDlg::CIPToolDlg(QWidget *parent, const std::string &target, const std::string &bind)
    : QDialog(parent),
      FSocket(target.empty() ? module::ModuleTargetAddress() : target,
              bind.empty() ? module::ModuleBindAddress() : bind)
{
    setObjectName(QStringLiteral("CIPToolDlg"));
    setWindowTitle(QStringLiteral("Duvo IP Tool 1.0 "));
    FStateImages = makeStateImages();
    buildControls();
    FSocket.setReplyHandler([this](const DiscoveryReply &reply) { InsertDeviceReply(reply); });
    FTimer.setObjectName(QStringLiteral("searchTimer"));
    connect(&FTimer, &QTimer::timeout, this, &CIPToolDlg::onTimer);
}

CIPToolDlg::~CIPToolDlg() = default;

void CIPToolDlg::setRelay(const std::string &address, uint16_t port)
{
    FSocket.setRelay(address, port);
}

void CIPToolDlg::buildControls()
{
    auto *about = new QAction(QStringLiteral("&About Duvo IP Tool..."), this);
    about->setObjectName(QStringLiteral("actionAbout"));
    connect(about, &QAction::triggered, this, &CIPToolDlg::OnAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *top = new QHBoxLayout;

    // Left: the static settings and the two write buttons.
    auto *left = new QVBoxLayout;
    auto *staticBox = new QGroupBox(QStringLiteral("Static IP Settings"), this);
    auto *staticForm = new QFormLayout(staticBox);
    FIp = addressField(staticBox, QStringLiteral("editIp"));
    FMask = addressField(staticBox, QStringLiteral("editMask"));
    FGateway = addressField(staticBox, QStringLiteral("editGateway"));
    FDns = addressField(staticBox, QStringLiteral("editDns"));
    staticForm->addRow(QStringLiteral("IP"), FIp);
    staticForm->addRow(QStringLiteral("Network Mask"), FMask);
    staticForm->addRow(QStringLiteral("GateWay"), FGateway);
    staticForm->addRow(QStringLiteral("DNS "), FDns);
    FSsidLabel = new QLabel(QStringLiteral("SSID"), staticBox);
    FSsid = new QLineEdit(staticBox);
    FSsid->setObjectName(QStringLiteral("editSsid"));
    FWepLabel = new QLabel(QStringLiteral("WEP:"), staticBox);
    FWep = new QLineEdit(staticBox);
    FWep->setObjectName(QStringLiteral("editWep"));
    staticForm->addRow(FSsidLabel, FSsid);
    staticForm->addRow(FWepLabel, FWep);
    left->addWidget(staticBox);
    FSet = button(this, QStringLiteral("Set-->"), QStringLiteral("buttonSet"));
    FDhcp = button(this, QStringLiteral("Use DHCP"), QStringLiteral("buttonUseDhcp"));
    left->addWidget(FSet);
    left->addWidget(FDhcp);
    left->addStretch();
    top->addLayout(left);

    // Right: the device tree, Search Again and Exit.
    auto *selectBox = new QGroupBox(QStringLiteral("Select Device"), this);
    auto *selectLayout = new QVBoxLayout(selectBox);
    FTree = new QTreeWidget(selectBox);
    FTree->setObjectName(QStringLiteral("treeDevices"));
    FTree->setHeaderHidden(true);
    FTree->setColumnCount(1);
    selectLayout->addWidget(FTree);
    auto *buttons = new QHBoxLayout;
    FSearchAgain = button(this, QStringLiteral("&Search Again"), QStringLiteral("buttonSearchAgain"));
    FExit = button(this, QStringLiteral("Exit"), QStringLiteral("buttonExit"));
    buttons->addWidget(FSearchAgain);
    buttons->addStretch();
    buttons->addWidget(FExit);
    selectLayout->addLayout(buttons);
    top->addWidget(selectBox, 1);

    // The advanced section: never shown, but its values pass between record and controls so
    // a module's advanced settings are written back as they came.
    FAdvanced = new QGroupBox(QStringLiteral("Advanced Settings."), this);
    FAdvanced->setObjectName(QStringLiteral("groupAdvanced"));
    auto *adv = new QFormLayout(FAdvanced);
    FTftpServer = addressField(FAdvanced, QStringLiteral("editTftpServer"));
    FTftpFile = new QLineEdit(FAdvanced);
    FTftpFile->setObjectName(QStringLiteral("editTftpFile"));
    FTftpFile->setMaxLength(int(TftpFileRoom - 1));
    FTrapMode = new QComboBox(FAdvanced);
    FTrapMode->setObjectName(QStringLiteral("comboTrapMode"));
    FTrapMode->addItems({QStringLiteral("Reboot"), QStringLiteral("Halt"), QStringLiteral("Quiet Reboot")});
    FBootDelay = new QSpinBox(FAdvanced);
    FBootDelay->setObjectName(QStringLiteral("spinBootDelay"));
    FBootDelay->setRange(0, 255);
    FBootDelay->setSuffix(QStringLiteral(" Seconds"));
    FBootToApp = new QCheckBox(QStringLiteral("Boot to application"), FAdvanced);
    FBootToApp->setObjectName(QStringLiteral("checkBootToApp"));
    FBootToApp->setChecked(true);
    FBootQuietly = new QCheckBox(QStringLiteral("Boot Quietly"), FAdvanced);
    FBootQuietly->setObjectName(QStringLiteral("checkBootQuietly"));
    FBootQuietly->setChecked(true);
    FMonitorPort = new QComboBox(FAdvanced);
    FMonitorPort->setObjectName(QStringLiteral("comboMonitorPort"));
    FMonitorPort->addItems({QStringLiteral("Uart 0"), QStringLiteral("Uart 1")});
    FMonitorPort->setToolTip(QStringLiteral("This setting only applies to some device types."));
    FBaud = new QComboBox(FAdvanced);
    FBaud->setObjectName(QStringLiteral("comboBaud"));
    FBaud->setEditable(true);
    FBaud->addItems({QStringLiteral("300"), QStringLiteral("1200"), QStringLiteral("2400"),
                     QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                     QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")});
    FBaud->setCurrentText(QString());
    FBaud->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^\\d{0,10}$")), FBaud));
    adv->addRow(QStringLiteral("TFTP Server"), FTftpServer);
    adv->addRow(QStringLiteral("TFTP File"), FTftpFile);
    adv->addRow(QStringLiteral("Trap Mode"), FTrapMode);
    adv->addRow(QStringLiteral("Boot Delay"), FBootDelay);
    adv->addRow(FBootToApp);
    adv->addRow(FBootQuietly);
    adv->addRow(QStringLiteral("Monitor Port"), FMonitorPort);
    adv->addRow(QStringLiteral("Baudrate"), FBaud);
    FAdvanced->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(FAdvanced);

    FSsidLabel->hide();
    FSsid->hide();
    FWepLabel->hide();
    FWep->hide();

    connect(FSet, &QPushButton::clicked, this, &CIPToolDlg::OnSet);
    connect(FDhcp, &QPushButton::clicked, this, &CIPToolDlg::OnUseDhcp);
    connect(FSearchAgain, &QPushButton::clicked, this, &CIPToolDlg::OnSearchAgain);
    connect(FExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(FTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { onSelChanged(current); });
    resize(780, 420);
}

QList<QIcon> CIPToolDlg::makeStateImages()
{
    // 0 "Ok" on green, 1 device, 2 wired, 3 wired on red, 4 WiFi, 5 WiFi on red, 6 and 7 blank.
    QList<QIcon> images;
    const QColor green(0, 160, 0), red(200, 0, 0);
    auto draw = [](const QColor &back, const QString &mark) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        if (back.isValid()) {
            QPainter p(&pixmap);
            p.fillRect(pixmap.rect(), back);
            p.setPen(Qt::white);
            QFont f = p.font();
            f.setPixelSize(9);
            f.setBold(true);
            p.setFont(f);
            p.drawText(pixmap.rect(), Qt::AlignCenter, mark);
        }
        return QIcon(pixmap);
    };
    images << draw(green, QStringLiteral("Ok")) << draw(green, QStringLiteral("H"))
           << draw(green, QStringLiteral("N")) << draw(red, QStringLiteral("N"))
           << draw(green, QStringLiteral("W")) << draw(red, QStringLiteral("W")) << draw(QColor(), {})
           << draw(QColor(), {});
    return images;
}

bool CIPToolDlg::initialise()
{
    if (!FSocket.open()) {
        Prompts::message(QStringLiteral("Error unable to bind to socket is IPDuvo already open?"), BoxTitle,
                         Ok);
        return false;
    }
    startSearch();
    return true;
}

void CIPToolDlg::startSearch()
{
    FSearchAgain->setEnabled(false);
    FSocket.SendDiscoveryRequest();
    FTicks = 0;
    FTimer.start(FTickMs);
}

void CIPToolDlg::onTimer()
{
    ++FTicks;
    FSocket.SendVerifyList(FList);
    if (FTicks >= SearchTicks) {
        FSearchAgain->setEnabled(true);
        FTimer.stop();
    }
}

void CIPToolDlg::OnSearchAgain()
{
    // Items first: the selection change this causes must not reach a deleted node.
    {
        const QSignalBlocker block(FTree);
        FTree->clear();
    }
    FItems.clear();
    FList.clear();
    startSearch();
}

UnitNode *CIPToolDlg::nodeOf(QTreeWidgetItem *item) const
{
    return item ? static_cast<UnitNode *>(item->data(0, Qt::UserRole).value<void *>()) : nullptr;
}

QTreeWidgetItem *CIPToolDlg::itemOf(const UnitNode *node) const
{
    const auto it = FItems.find(node);
    return it == FItems.end() ? nullptr : it->second;
}

QTreeWidgetItem *CIPToolDlg::addItem(UnitNode *node, QTreeWidgetItem *parent)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(FTree);
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(node)));
    FItems[node] = item;
    refreshItem(node);
    return item;
}

void CIPToolDlg::refreshItem(UnitNode *node)
{
    QTreeWidgetItem *item = itemOf(node);
    if (!item)
        return;
    const int image = NodeStateImage(*node);
    item->setText(0, QString::fromStdString(FormatNodeLabel(*node)));
    item->setData(0, StateImageRole, image);
    item->setIcon(0, FStateImages.value(image));
}

void CIPToolDlg::InsertDeviceReply(const DiscoveryReply &reply)
{
    const InsertResult r = FList.InsertDeviceReply(reply);
    switch (r.kind) {
    case InsertResult::Ignored:
        return;
    case InsertResult::NewDevice: {
        QTreeWidgetItem *item = addItem(r.node, nullptr);
        if (r.first)
            FTree->setCurrentItem(item);
        return;
    }
    case InsertResult::Replaced:
        refreshItem(r.node);
        reselectIfCurrent(r.node);
        return;
    case InsertResult::Split: {
        refreshItem(r.node);
        QTreeWidgetItem *deviceItem = itemOf(r.node);
        for (auto &child : r.node->children)
            addItem(child.get(), deviceItem);
        // A device that gained a second interface shows no wireless fields any more.
        reselectIfCurrent(r.node);
        return;
    }
    case InsertResult::NewInterface:
        addItem(r.node, itemOf(r.node->parent));
        return;
    }
}

void CIPToolDlg::reselectIfCurrent(UnitNode *node)
{
    QTreeWidgetItem *current = FTree->currentItem();
    if (current && nodeOf(current) == node)
        onSelChanged(current);
}

bool CIPToolDlg::wirelessShownFor(const UnitNode &node) const
{
    return node.record.isWiFi() && !node.hasInterfaces();
}

void CIPToolDlg::onSelChanged(QTreeWidgetItem *current)
{
    UnitNode *node = nodeOf(current);
    if (!node)
        return;
    current->setExpanded(true);
    UnitConfigRecord &r = node->record;
    FIp->setText(addressText(r.staticIp()));
    FMask->setText(addressText(r.mask()));
    FGateway->setText(addressText(r.gateway()));
    FDns->setText(addressText(r.dns()));
    FTftpServer->setText(addressText(r.tftpServer()));
    FBaud->setCurrentText(QString::number(r.baudRate()));
    FMonitorPort->setCurrentText(r.monitorPort() == 1 ? QStringLiteral("Uart 1") : QStringLiteral("Uart 0"));
    FTrapMode->setCurrentText(r.trapMode() == 1   ? QStringLiteral("Halt")
                              : r.trapMode() == 2 ? QStringLiteral("Quiet Reboot")
                                                  : QStringLiteral("Reboot"));
    r.bytes[UnitConfigRecord::OffTftpFile + TftpFileRoom - 1] = 0;
    const std::string tftpFile = r.tftpFile();
    FTftpFile->setText(QString::fromStdString(tftpFile));

    const bool wireless = wirelessShownFor(*node);
    FSsidLabel->setVisible(wireless);
    FSsid->setVisible(wireless);
    FWepLabel->setVisible(wireless);
    FWep->setVisible(wireless);
    if (wireless) {
        const WirelessSettings w = ReadWirelessSettings(tftpFile);
        FSsid->setText(QString::fromStdString(w.ssid));
        FWep->setText(QString::fromStdString(w.wep));
    }
    FBootToApp->setChecked(r.bootToApplication() != 0);
    FBootQuietly->setChecked(r.bootQuietly() != 0);
    FBootDelay->setValue(r.bootDelay());
}

bool CIPToolDlg::CheckWepKey(const QString &text)
{
    switch (CheckWepKeyText(text.toStdString())) {
    case WepCheck::Ok:
        return true;
    case WepCheck::BadCharacters:
        Prompts::message(QStringLiteral("The WEP key must only contain numbers 0 to 9 and letters a to f\n"
                                        "Settings were not sent"),
                         BoxTitle, Ok);
        return false;
    case WepCheck::BadLength:
        Prompts::message(QStringLiteral("The length of the WEP key must be 26 chars (128bit) or 10 chars "
                                        "(64bit)\nSettings were not sent"),
                         BoxTitle, Ok);
        return false;
    }
    return false;
}

void CIPToolDlg::OnSet()
{
    UnitNode *node = nodeOf(FTree->currentItem());
    if (!node) {
        Prompts::message(QStringLiteral("You must first select a module in the\nSelect a Unit in the tree."),
                         BoxTitle, Ok);
        return;
    }
    // Everything the user typed is read now, into a copy of the node's record: a reply that
    // arrives during the questions below may change the node and refill the fields.
    UnitConfigRecord r = node->record;
    const bool passwordNeeded = node->passwordNeeded;
    const bool wireless = r.isWiFi() && wirelessShownFor(*node);
    const QString ssid = FSsid->text(), wep = FWep->text();
    const int bootDelay = FBootDelay->value();
    const bool monitorUart1 = FMonitorPort->currentText() == QStringLiteral("Uart 1");
    const QString trap = FTrapMode->currentText();
    r.setStaticIp(fieldAddress(FIp));
    r.setMask(fieldAddress(FMask));
    r.setGateway(fieldAddress(FGateway));
    r.setDns(fieldAddress(FDns));
    r.setTftpServer(fieldAddress(FTftpServer));
    r.setTftpFile(FTftpFile->text().toStdString());
    r.setBootToApplication(FBootToApp->isChecked());
    r.setBootQuietly(FBootQuietly->isChecked());
    r.setBaudRate(FBaud->currentText().trimmed().toUInt());
    r.setBootDelay(uint8_t(bootDelay));

    bool send = true;
    if (bootDelay == 0) {
        const int answer = Prompts::message(
            QStringLiteral(" It is recommend that the Boot Delay value not be set to zero\n"
                           "It can create an unrecoverable situation in the event of an application failure\n"
                           "Continue anyway?"),
            BoxTitle, Yes | No);
        send = answer == Yes;
    }
    if (send) {
        r.setMonitorPort(monitorUart1 ? 1 : 0);
        r.setTrapMode(trap == QStringLiteral("Quiet Reboot") ? 2 : trap == QStringLiteral("Halt") ? 1 : 0);
        // The wireless text is rebuilt only for the interface whose SSID and WEP fields were on
        // show when Set was clicked; any other node keeps the text it came with.
        if (wireless) {
            if (!CheckWepKey(wep))
                return;
            r.setTftpFile(WirelessText(ssid.toStdString(), wep.toStdString()));
        }
        if (passwordNeeded) {
            CPasswordDlg login(this);
            if (login.exec() == QDialog::Accepted)
                FSocket.SendConfigWithLogin(r, login.password().toStdString(), login.userName().toStdString());
        } else {
            FSocket.SendConfig(r);
        }
    }
    OnSearchAgain();
}

void CIPToolDlg::OnUseDhcp()
{
    const int answer = Prompts::message(
        QStringLiteral("This will clear all Network fields and set the device for DHCP.  Do you want to continue?"),
        QStringLiteral("DHCP Setup"), Ok | Cancel, PromptIcon::Information);
    if (answer != Ok)
        return;
    for (QLineEdit *field : {FIp, FMask, FGateway, FDns})
        field->setText(QStringLiteral("0.0.0.0"));
    OnSet();
}

void CIPToolDlg::OnAbout()
{
    CAboutDlg about(this);
    about.setWindowIcon(windowIcon());
    about.exec();
}

void CIPToolDlg::keyPressEvent(QKeyEvent *event)
{
    // Enter is the dialog's default action: it closes the dialog like Exit.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace duvo::iptool
