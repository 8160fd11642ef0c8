#include "protocols/forms/TCopyProtocolForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "protocols/forms/PaneDialogs.h"

#include <QHBoxLayout>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <exception>

using namespace duvo;

QPointer<TCopyProtocolForm> CopyProtocolForm;

namespace {

const QStringList SourceNames{"GroupBox3", "lblType", "lblName", "lblIP", "btnSource", "lblWorkFolder",
                              "ListBox1", "btnSelectAllSource", "btnEdit1", "btnDelFile1", "btnSaveFile1",
                              "btnNewDir1", "btnDelDir1"};
const QStringList TargetNames{"GroupBox4", "lblTargetType", "lblTargetName", "lblTargetIP", "btnTarget",
                              "lblWorkFolder2", "ListBox2", "btnSelectAllTarget", "btnEdit2", "btnDelFile2",
                              "btnSaveFile2", "btnNewDir2", "btnDelDir2"};

DeviceList *deviceList()
{
    Workstation *w = Workstation::current();
    return w ? &w->FDeviceList : nullptr;
}

} // namespace

TCopyProtocolForm::DevicePicker &TCopyProtocolForm::PickDevice()
{
    static DevicePicker picker = PickDeviceWithDestinationForm;
    return picker;
}

TCopyProtocolForm::TCopyProtocolForm(QWidget *owner, const QString &ip) : QDialog(owner)
{
    CopyProtocolForm = this;
    buildWindow();
    FRun.source = {&FSource->model, {}};
    FRun.target = {&FTarget->model, {}};
    FRun.hooks.status = [this](const QString &s) { setStatus(s); };
    FRun.hooks.runStarted = [this] {
        btnCancelOrClose->setText(QStringLiteral("Cancel"));
        GroupBox1->setEnabled(false);
        GroupBox2->setEnabled(false);
        btnCopyToTarget->setEnabled(false);
        btnCopyToSource->setEnabled(false);
    };
    FRun.hooks.runEnded = [this] {
        btnCancelOrClose->setText(QStringLiteral("Close"));
        GroupBox1->setEnabled(true);
        GroupBox2->setEnabled(true);
        copyRules();
    };
    FRun.hooks.rootListed = [this](ProtocolPaneModel &m) { (&m == &FSource->model ? FSource : FTarget)->rootButtons(); };
    FRun.hooks.folderListed = [this](ProtocolPaneModel &m) {
        (&m == &FSource->model ? FSource : FTarget)->folderButtons();
    };
    FRun.hooks.showReport = [this](const QString &text) { ShowReportText(this, text); };
    FRun.hooks.closeWindow = [this] { FClosing.closeNow(); };
    FCommands.hooks.listRoot = [this](DevicePaneControls &pane) { ListPaneRoot(pane); };
    FCommands.hooks.openFolder = [this](DevicePaneControls &pane) { return OpenPaneFolder(pane); };
    FCommands.hooks.showFolder = [this](DevicePaneControls &pane, const QString &folder) { ShowPaneFolder(pane, folder); };
    FCommands.hooks.commandStarted = [this] { paneCommandStarted(); };
    FCommands.hooks.commandEnded = [this] { paneCommandEnded(); };
    FCommands.hooks.status = [this](const QString &s) { setStatus(s); };
    FCommands.hooks.checkRule = [this](DevicePaneControls &pane) {
        if (&pane == FSource)
            ListBox1CheckClick();
        else
            ListBox2CheckClick();
    };
    try {
        if (!ip.isEmpty())
            PreselectDevices(ip);
    } catch (const std::exception &) {
        FLoadFailed = true;
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
    }
}

TCopyProtocolForm::~TCopyProtocolForm()
{
    FormDestroy();
}

void TCopyProtocolForm::FormDestroy()
{
    FOps.fetchedProtocol().release();
}

void TCopyProtocolForm::buildWindow()
{
    setObjectName(QStringLiteral("CopyProtocolForm"));
    setWindowTitle(QStringLiteral("Duvo Protocol Copy Manager"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);

    auto *outer = new QVBoxLayout(this);
    auto *panes = new QHBoxLayout;
    GroupBox1 = new QGroupBox(QStringLiteral("Source Duvo"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2 = new QGroupBox(QStringLiteral("Target Duvo"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    FSource = new DevicePaneControls(GroupBox1, QStringLiteral("Source"), SourceNames, true, true, this);
    FTarget = new DevicePaneControls(GroupBox2, QStringLiteral("Target"), TargetNames, true, true, this);

    auto *middle = new QVBoxLayout;
    btnCopyToTarget = new QPushButton(QStringLiteral("Copy"), this);
    btnCopyToTarget->setObjectName(QStringLiteral("btnCopyToTarget"));
    btnCopyToTarget->setToolTip(QStringLiteral("Copy items to Target"));
    btnCopyToTarget->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    btnCopyToTarget->setLayoutDirection(Qt::RightToLeft);  // the arrow after the text
    btnCopyToSource = new QPushButton(QStringLiteral("Copy"), this);
    btnCopyToSource->setObjectName(QStringLiteral("btnCopyToSource"));
    btnCopyToSource->setToolTip(QStringLiteral("Copy items to Source"));
    btnCopyToSource->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    middle->addStretch(1);
    middle->addWidget(btnCopyToTarget);
    middle->addSpacing(16);
    middle->addWidget(btnCopyToSource);
    middle->addStretch(1);

    panes->addWidget(GroupBox1, 1);
    panes->addLayout(middle);
    panes->addWidget(GroupBox2, 1);
    outer->addLayout(panes, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    btnCancelOrClose = new QPushButton(QStringLiteral("Close"), this);
    btnCancelOrClose->setObjectName(QStringLiteral("btnCancelOrClose"));
    btnCancelOrClose->setAutoDefault(false);
    bottom->addWidget(btnCancelOrClose);
    outer->addLayout(bottom);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    FStatusPanel = new QLabel(StatusBar1);
    QFont bold = FStatusPanel->font();
    bold.setBold(true);
    FStatusPanel->setFont(bold);
    StatusBar1->addWidget(FStatusPanel, 1);
    outer->addWidget(StatusBar1);

    // The two copy buttons and the ten pane buttons start disabled.
    btnCopyToTarget->setEnabled(false);
    btnCopyToSource->setEnabled(false);
    for (QPushButton *b : {btnCopyToTarget, btnCopyToSource})
        b->setAutoDefault(false);
    for (QPushButton *b : {FSource->btnChoose, FTarget->btnChoose, FSource->btnSelectAll, FTarget->btnSelectAll})
        b->setAutoDefault(false);

    connect(FSource->btnChoose, &QPushButton::clicked, this, &TCopyProtocolForm::btnSourceClick);
    connect(FTarget->btnChoose, &QPushButton::clicked, this, &TCopyProtocolForm::btnTargetClick);
    connect(FSource->btnSelectAll, &QPushButton::clicked, this, &TCopyProtocolForm::btnSelectAllSourceClick);
    connect(FTarget->btnSelectAll, &QPushButton::clicked, this, &TCopyProtocolForm::btnSelectAllTargetClick);
    connect(&FSource->model, &ProtocolPaneModel::checkClicked, this, &TCopyProtocolForm::ListBox1CheckClick);
    connect(&FTarget->model, &ProtocolPaneModel::checkClicked, this, &TCopyProtocolForm::ListBox2CheckClick);
    connect(FSource->list, &ProtocolPaneView::itemClicked, this, &TCopyProtocolForm::ListBox1Click);
    connect(FTarget->list, &ProtocolPaneView::itemClicked, this, &TCopyProtocolForm::ListBox2Click);
    connect(FSource->list, &ProtocolPaneView::itemDoubleClicked, this, &TCopyProtocolForm::ListBox1DblClick);
    connect(FTarget->list, &ProtocolPaneView::itemDoubleClicked, this, &TCopyProtocolForm::ListBox2DblClick);
    connect(FSource->list, &ProtocolPaneView::keyDown, this, &TCopyProtocolForm::ListBox1KeyDown);
    connect(FTarget->list, &ProtocolPaneView::keyDown, this, &TCopyProtocolForm::ListBox2KeyDown);
    connect(FSource->btnEdit, &QToolButton::clicked, this, &TCopyProtocolForm::btnEdit1Click);
    connect(FTarget->btnEdit, &QToolButton::clicked, this, &TCopyProtocolForm::btnEdit2Click);
    connect(FSource->btnDelFile, &QToolButton::clicked, this, &TCopyProtocolForm::btnDelFile1Click);
    connect(FTarget->btnDelFile, &QToolButton::clicked, this, &TCopyProtocolForm::btnDelFile2Click);
    connect(FSource->btnDelDir, &QToolButton::clicked, this, &TCopyProtocolForm::btnDelDir1Click);
    connect(FTarget->btnDelDir, &QToolButton::clicked, this, &TCopyProtocolForm::btnDelDir2Click);
    connect(FSource->btnNewDir, &QToolButton::clicked, this, &TCopyProtocolForm::btnNewDir1Click);
    connect(FTarget->btnNewDir, &QToolButton::clicked, this, &TCopyProtocolForm::btnNewDir2Click);
    connect(FSource->btnSaveFile, &QToolButton::clicked, this, &TCopyProtocolForm::btnSaveFile1Click);
    connect(FTarget->btnSaveFile, &QToolButton::clicked, this, &TCopyProtocolForm::btnSaveFile2Click);
    connect(btnCopyToTarget, &QPushButton::clicked, this, &TCopyProtocolForm::btnCopyToTargetClick);
    connect(btnCopyToSource, &QPushButton::clicked, this, &TCopyProtocolForm::btnCopyToSourceClick);
    connect(btnCancelOrClose, &QPushButton::clicked, this, &TCopyProtocolForm::btnCancelOrCloseClick);

    resize(820, 600);
}

QString TCopyProtocolForm::statusText() const
{
    return FStatusPanel->text();
}

void TCopyProtocolForm::setStatus(const QString &text)
{
    FStatusPanel->setText(text);
}

// ---- instruments ----------------------------------------------------------------------------

void TCopyProtocolForm::takeInstrument(DevicePaneControls &pane, int index, bool source)
{
    DeviceList *list = deviceList();
    const DVDEVICEINFO_T *device = list ? list->at(index) : nullptr;
    if (!device)
        return;
    (source ? FSourceIndex : FTargetIndex) = index;
    pane.setInstrument(*device);
    (source ? FRun.source : FRun.target).ip = pane.ip;
    ListPaneRoot(pane);
    pane.btnNewDir->setEnabled(true);
}

void TCopyProtocolForm::PreselectDevices(const QString &ip)
{
    DeviceList *list = deviceList();
    if (!list)
        return;
    const uint64_t generation = list->generation();
    for (int i = 0; i < list->Count(); ++i) {
        const DVDEVICEINFO_T *device = list->at(i);
        if (!device || QString::fromStdString(device->ipAddress) != ip)
            continue;
        if (!DeviceIdle(*device)) {
            Prompts::message(QStringLiteral("The selected Target is still active!  Please stop the Device before continuing!"),
                             QStringLiteral("Information"));
            continue;
        }
        takeInstrument(*FTarget, i, false);
        ListBox1CheckClick();
        if (list->generation() != generation)
            return;  // the device list was rebuilt while the pane was listed
    }
    if (list->Count() == 2) {
        const int index = FTargetIndex == 0 ? 1 : 0;
        const DVDEVICEINFO_T *device = list->at(index);
        if (device && DeviceIdle(*device)) {
            takeInstrument(*FSource, index, true);
            ListBox2CheckClick();
        } else {
            // The pane stays empty; the index is kept only with an instrument.
            Prompts::message(QStringLiteral("The selected Source is still active!  Please stop the Device before continuing!"),
                             QStringLiteral("Information"));
        }
    }
}

void TCopyProtocolForm::chooseInstrument(DevicePaneControls &pane, bool source)
{
    // The picker fills a local index: the pane's index changes only together with an
    // instrument the pane accepts, so the other pane's picker never leaves out an instrument
    // that this pane does not hold.
    int chosen = source ? FSourceIndex : FTargetIndex;
    const int excluded = source ? FTargetIndex : FSourceIndex;
    const QString caption = source ? QStringLiteral("Select Source Device") : QStringLiteral("Select Target Device");
    if (!PickDevice() || !PickDevice()(this, &chosen, excluded, caption))
        return;
    DeviceList *list = deviceList();
    const DVDEVICEINFO_T *device = list ? list->at(chosen) : nullptr;
    if (!device || chosen == excluded)
        return;
    if (!DeviceIdle(*device)) {
        Prompts::message(source ? QStringLiteral("The selected Source is still active!  Please stop the Device before selection.")
                                : QStringLiteral("The selected Target is still active!  Please stop the Device before selection."),
                         QStringLiteral("Information"));
        return;
    }
    takeInstrument(pane, chosen, source);
    if (source)
        ListBox2CheckClick();
    else
        ListBox1CheckClick();
}

void TCopyProtocolForm::btnSourceClick() { chooseInstrument(*FSource, true); }
void TCopyProtocolForm::btnTargetClick() { chooseInstrument(*FTarget, false); }

// ---- listings -------------------------------------------------------------------------------

void TCopyProtocolForm::ListPaneRoot(DevicePaneControls &pane)
{
    PaneWaitCursor wait;
    FRun.listRoot(pane.model, pane.ip);
}

bool TCopyProtocolForm::OpenPaneFolder(DevicePaneControls &pane)
{
    PaneWaitCursor wait;
    if (!duvo::OpenPaneFolder(pane.model, FOps, pane.ip, [this] { FJob.yield(); }))
        return false;
    pane.folderButtons();
    return true;
}

void TCopyProtocolForm::ShowPaneFolder(DevicePaneControls &pane, const QString &folder)
{
    PaneWaitCursor wait;
    FRun.showFolder(pane.model, pane.ip, folder);
}

// ---- rules ----------------------------------------------------------------------------------

void TCopyProtocolForm::ListBox1CheckClick()
{
    btnCopyToTarget->setEnabled(FSource->model.anyChecked() && FTarget->model.count() > 0);
}

void TCopyProtocolForm::ListBox2CheckClick()
{
    btnCopyToSource->setEnabled(FTarget->model.anyChecked() && FSource->model.count() > 0);
}

void TCopyProtocolForm::copyRules()
{
    ListBox1CheckClick();
    ListBox2CheckClick();
}

void TCopyProtocolForm::ListBox1Click() { FSource->clickRule(); }
void TCopyProtocolForm::ListBox2Click() { FTarget->clickRule(); }

void TCopyProtocolForm::ListBox1DblClick() { FCommands.doubleClick(*FSource); }
void TCopyProtocolForm::ListBox2DblClick() { FCommands.doubleClick(*FTarget); }

void TCopyProtocolForm::ListBox1KeyDown(int key) { FCommands.keyDown(*FSource, key); }
void TCopyProtocolForm::ListBox2KeyDown(int key) { FCommands.keyDown(*FTarget, key); }

void TCopyProtocolForm::selectAll(DevicePaneControls &pane)
{
    if (pane.model.isEmpty())
        return;
    const int remembered = pane.model.selected();
    const bool check = pane.btnSelectAll->text() == QLatin1String("Select All");
    for (int i = 0; i < pane.model.count(); ++i) {
        if (pane.model.isHeader(i))
            continue;
        pane.model.setSelected(i);
        pane.model.setChecked(i, check);
        if (&pane == FSource)
            ListBox1CheckClick();
        else
            ListBox2CheckClick();
    }
    pane.btnSelectAll->setText(check ? QStringLiteral("Unselect All") : QStringLiteral("Select All"));
    if (remembered >= 0)
        pane.model.setSelected(remembered);
}

void TCopyProtocolForm::btnSelectAllSourceClick() { selectAll(*FSource); }
void TCopyProtocolForm::btnSelectAllTargetClick() { selectAll(*FTarget); }

// ---- pane commands --------------------------------------------------------------------------

void TCopyProtocolForm::viewProtocol(DevicePaneControls &pane)
{
    if (pane.model.isEmpty() || !pane.model.hasSelection())
        return;
    const ManagerClosing::Busy busy(FClosing);
    const QString name = pane.model.itemText(pane.model.selected());
    const QString folder = pane.folderText();
    if (!FCommands.fetchProtocol(pane, folder, name))
        return;
    const duvo::FetchedProtocol &fetched = FOps.fetchedProtocol();
    if (fetched.held() && !fetched.Protocol->empty() && !FClosing.closeAsked())
        ShowProtocolEditor(this, QString::fromStdString(*fetched.Protocol), true, QString(), name, folder, pane.ip);
}

void TCopyProtocolForm::btnEdit1Click() { viewProtocol(*FSource); }
void TCopyProtocolForm::btnEdit2Click() { viewProtocol(*FTarget); }

void TCopyProtocolForm::paneCommandStarted()
{
    FClosing.commandStarted();
    GroupBox1->setEnabled(false);
    GroupBox2->setEnabled(false);
    btnCopyToTarget->setEnabled(false);
    btnCopyToSource->setEnabled(false);
    btnCancelOrClose->setEnabled(false);
}

void TCopyProtocolForm::paneCommandEnded()
{
    setStatus(QString());
    btnCancelOrClose->setEnabled(true);
    GroupBox1->setEnabled(true);
    GroupBox2->setEnabled(true);
    copyRules();
    FClosing.commandEnded();
}

void TCopyProtocolForm::DeletePaneFile(DevicePaneControls &pane, const QString &folder)
{
    FCommands.deleteFile(pane, folder);
}

void TCopyProtocolForm::DeletePaneFolder(DevicePaneControls &pane)
{
    FCommands.deleteFolder(pane);
}

void TCopyProtocolForm::NewPaneFolder(DevicePaneControls &pane)
{
    FCommands.newFolder(pane);
}

void TCopyProtocolForm::SavePaneProtocol(DevicePaneControls &pane, const QString &folder)
{
    if (pane.model.isEmpty() || !pane.model.hasSelection())
        return;
    const QString name = pane.model.itemText(pane.model.selected());
    const QString path = AskProtocolSavePath(name);
    if (path.isEmpty())
        return;
    const ManagerClosing::Busy busy(FClosing);
    if (!FCommands.fetchProtocol(pane, folder, name))
        return;
    if (!SaveProtocolFile(path))
        Prompts::message(QStringLiteral("There was an error saving the protocol file!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Error);
}

bool TCopyProtocolForm::SaveProtocolFile(const QString &path)
{
    return SaveFetchedProtocol(FOps.fetchedProtocol(), path);
}

void TCopyProtocolForm::btnDelFile1Click() { DeletePaneFile(*FSource, FSource->folderText()); }
void TCopyProtocolForm::btnDelFile2Click() { DeletePaneFile(*FTarget, FTarget->folderText()); }
void TCopyProtocolForm::btnDelDir1Click() { DeletePaneFolder(*FSource); }
void TCopyProtocolForm::btnDelDir2Click() { DeletePaneFolder(*FTarget); }
void TCopyProtocolForm::btnNewDir1Click() { NewPaneFolder(*FSource); }
void TCopyProtocolForm::btnNewDir2Click() { NewPaneFolder(*FTarget); }
void TCopyProtocolForm::btnSaveFile1Click() { SavePaneProtocol(*FSource, FSource->folderText()); }
void TCopyProtocolForm::btnSaveFile2Click() { SavePaneProtocol(*FTarget, FTarget->folderText()); }

// ---- copy run -------------------------------------------------------------------------------

void TCopyProtocolForm::startCopy(bool toTarget)
{
    bool skip = true;
    if (!AskCopyMode(TaskDialog1, skip))
        return;
    FRun.source.ip = FSource->ip;
    FRun.target.ip = FTarget->ip;
    FRun.Copy(toTarget, skip);
    FClosing.closeIfAsked();
}

void TCopyProtocolForm::btnCopyToTargetClick() { startCopy(true); }
void TCopyProtocolForm::btnCopyToSourceClick() { startCopy(false); }

// ---- closing --------------------------------------------------------------------------------

void TCopyProtocolForm::btnCancelOrCloseClick()
{
    close();
}

void TCopyProtocolForm::FormCloseQuery(bool &canClose)
{
    canClose = FClosing.mayClose(FRun.running(), btnCancelOrClose, [this](const QString &s) { setStatus(s); });
}

void TCopyProtocolForm::reject()
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::reject();
}
