#include "protocols/forms/TLoadProtoDskForm.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "protocols/ProtocolFile.h"
#include "protocols/forms/PaneDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStatusBar>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <exception>

using namespace duvo;

QPointer<TLoadProtoDskForm> LoadProtoDskForm;

namespace {

const QStringList TargetNames{"GroupBox4", "lblTargetType", "lblTargetName", "lblTargetIP", "btnTarget",
                              "lblWorkFolder2", "ListBox2", "", "btnEdit2", "btnDelFile2", "btnSaveFile2",
                              "btnNewDir2", "btnDelDir2"};

DeviceList *deviceList()
{
    Workstation *w = Workstation::current();
    return w ? &w->FDeviceList : nullptr;
}

QString defaultFolder()
{
    Workstation *w = Workstation::current();
    QString dir = w ? w->FDefaultFolder : QString();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    return QDir::fromNativeSeparators(dir);
}

} // namespace

TLoadProtoDskForm::TLoadProtoDskForm(QWidget *owner, const QString &ip) : QDialog(owner)
{
    LoadProtoDskForm = this;
    buildWindow();
    FRun.disk = &FDisk;
    FRun.pane = &FTarget->model;
    FRun.hooks.status = [this](const QString &s) { setStatus(s); };
    FRun.hooks.runStarted = [this] {
        btnCancelOrClose->setText(QStringLiteral("Cancel"));
        GroupBox1->setEnabled(false);
        GroupBox2->setEnabled(false);
        btnCopyToTarget->setEnabled(false);
    };
    FRun.hooks.runEnded = [this] {
        btnCancelOrClose->setText(QStringLiteral("Close"));
        GroupBox1->setEnabled(true);
        GroupBox2->setEnabled(true);
        ListBox1CheckClick();
    };
    FRun.hooks.folderListed = [this](ProtocolPaneModel &) { FTarget->folderButtons(); };
    FRun.hooks.showReport = [this](const QString &text) { ShowReportText(this, text); };
    FCommands.hooks.listRoot = [this](DevicePaneControls &) { ListPaneRoot(); };
    FCommands.hooks.openFolder = [this](DevicePaneControls &) { return OpenPaneFolder(); };
    FCommands.hooks.showFolder = [this](DevicePaneControls &, const QString &folder) { ShowPaneFolder(folder); };
    FCommands.hooks.commandStarted = [this] { paneCommandStarted(); };
    FCommands.hooks.commandEnded = [this] { paneCommandEnded(); };
    FCommands.hooks.status = [this](const QString &s) { setStatus(s); };
    try {
        setDiskDirectory(defaultFolder());
        if (!ip.isEmpty())
            PreselectTarget(ip);
    } catch (const std::exception &) {
        FLoadFailed = true;
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
    }
}

TLoadProtoDskForm::~TLoadProtoDskForm()
{
    FormDestroy();
}

void TLoadProtoDskForm::FormDestroy()
{
    FOps.fetchedProtocol().release();
}

void TLoadProtoDskForm::buildWindow()
{
    setObjectName(QStringLiteral("LoadProtoDskForm"));
    setWindowTitle(QStringLiteral("Duvo Protocol Load From Disk Manager"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);

    auto *outer = new QVBoxLayout(this);
    auto *panes = new QHBoxLayout;
    GroupBox1 = new QGroupBox(QStringLiteral("Source "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    buildDiskPane();
    GroupBox2 = new QGroupBox(QStringLiteral("Target Duvo"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    FTarget = new DevicePaneControls(GroupBox2, QStringLiteral("Target"), TargetNames, false, true, this);
    FTarget->model.setAllHeaders(true);

    btnCopyToTarget = new QPushButton(QStringLiteral("Load"), this);
    btnCopyToTarget->setObjectName(QStringLiteral("btnCopyToTarget"));
    btnCopyToTarget->setToolTip(QStringLiteral("Copy items to Target"));
    btnCopyToTarget->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    btnCopyToTarget->setLayoutDirection(Qt::RightToLeft);  // the picture right of the text
    btnCopyToTarget->setAutoDefault(false);
    btnCopyToTarget->setEnabled(false);
    auto *middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(btnCopyToTarget);
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
    StatusBar1->addWidget(FStatusPanel, 1);
    outer->addWidget(StatusBar1);

    FTarget->btnChoose->setAutoDefault(false);
    connect(FTarget->btnChoose, &QPushButton::clicked, this, &TLoadProtoDskForm::btnTargetClick);
    connect(FTarget->list, &ProtocolPaneView::itemClicked, this, &TLoadProtoDskForm::ListBox2Click);
    connect(FTarget->list, &ProtocolPaneView::itemDoubleClicked, this, &TLoadProtoDskForm::ListBox2DblClick);
    connect(FTarget->list, &ProtocolPaneView::keyDown, this, &TLoadProtoDskForm::ListBox2KeyDown);
    connect(FTarget->btnEdit, &QToolButton::clicked, this, &TLoadProtoDskForm::btnEdit2Click);
    connect(FTarget->btnDelFile, &QToolButton::clicked, this, &TLoadProtoDskForm::btnDelFile2Click);
    connect(FTarget->btnDelDir, &QToolButton::clicked, this, &TLoadProtoDskForm::btnDelDir2Click);
    connect(FTarget->btnNewDir, &QToolButton::clicked, this, &TLoadProtoDskForm::btnNewDir2Click);
    connect(FTarget->btnSaveFile, &QToolButton::clicked, this, &TLoadProtoDskForm::btnSaveFile2Click);
    connect(btnCopyToTarget, &QPushButton::clicked, this, &TLoadProtoDskForm::btnCopyToTargetClick);
    connect(btnCancelOrClose, &QPushButton::clicked, this, &TLoadProtoDskForm::btnCancelOrCloseClick);

    resize(860, 620);
}

void TLoadProtoDskForm::buildDiskPane()
{
    auto *layout = new QVBoxLayout(GroupBox1);
    DriveComboBoxEx1 = new QComboBox(GroupBox1);
    DriveComboBoxEx1->setObjectName(QStringLiteral("DriveComboBoxEx1"));
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = QDir::fromNativeSeparators(volume.rootPath());
        if (DriveComboBoxEx1->findData(root) >= 0)
            continue;
        QString label = root;
        if (!volume.displayName().isEmpty() && volume.displayName() != volume.rootPath())
            label += QStringLiteral("  [") + volume.displayName() + QLatin1Char(']');
        DriveComboBoxEx1->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), label.toUpper(), root);
    }
    layout->addWidget(DriveComboBoxEx1);

    FDirModel = new QFileSystemModel(this);
    FDirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    // The tree is read when it is opened, as a directory list is: watching every folder shown
    // would re-sort busy folders (a temporary folder) on every change, under a running load.
    FDirModel->setOption(QFileSystemModel::DontWatchForChanges, true);
    FDirModel->setRootPath(QStringLiteral("/"));
    DirectoryListBoxEx1 = new QTreeView(GroupBox1);
    DirectoryListBoxEx1->setObjectName(QStringLiteral("DirectoryListBoxEx1"));
    DirectoryListBoxEx1->setModel(FDirModel);
    for (int c = 1; c < FDirModel->columnCount(); ++c)
        DirectoryListBoxEx1->hideColumn(c);
    DirectoryListBoxEx1->header()->hide();
    DirectoryListBoxEx1->setMinimumHeight(150);
    layout->addWidget(DirectoryListBoxEx1, 2);

    Edit1 = new QLineEdit(QStringLiteral("*.SVP"), GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    layout->addWidget(Edit1);

    ListBox1 = new ProtocolPaneView(GroupBox1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("Select with checkmark items to copy"));
    ListBox1->bind(&FDisk);
    layout->addWidget(ListBox1, 3);

    GroupBox3 = new QGroupBox(GroupBox1);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    auto *details = new QGridLayout(GroupBox3);
    auto *label4 = new QLabel(QStringLiteral("Protocol Name:"), GroupBox3);
    label4->setObjectName(QStringLiteral("Label4"));
    auto *label5 = new QLabel(QStringLiteral("Protocol Size:"), GroupBox3);
    label5->setObjectName(QStringLiteral("Label5"));
    NameLabel1 = new QLabel(QStringLiteral("-"), GroupBox3);
    NameLabel1->setObjectName(QStringLiteral("NameLabel1"));
    SizeLabel1 = new QLabel(QStringLiteral("-"), GroupBox3);
    SizeLabel1->setObjectName(QStringLiteral("SizeLabel1"));
    details->addWidget(label4, 0, 0);
    details->addWidget(NameLabel1, 0, 1);
    details->addWidget(label5, 1, 0);
    details->addWidget(SizeLabel1, 1, 1);
    details->setColumnStretch(1, 1);
    layout->addWidget(GroupBox3);

    auto *row = new QHBoxLayout;
    btnSelectAllSource = new QPushButton(QStringLiteral("Select All"), GroupBox1);
    btnSelectAllSource->setObjectName(QStringLiteral("btnSelectAllSource"));
    btnSelectAllSource->setAutoDefault(false);
    btnSelectAllSource->setMinimumWidth(
        btnSelectAllSource->fontMetrics().horizontalAdvance(QStringLiteral("Unselect All")) + 24);
    row->addWidget(btnSelectAllSource);
    row->addStretch(1);
    auto glow = [this](const char *name, QStyle::StandardPixmap icon, const QString &hint) {
        auto *b = new QToolButton(GroupBox1);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        b->setToolTip(hint);
        b->setEnabled(false);
        return b;
    };
    btnEdit1 = glow("btnEdit1", QStyle::SP_FileDialogContentsView, QStringLiteral("View Protocol File"));
    btnDelFile1 = glow("btnDelFile1", QStyle::SP_TrashIcon, QStringLiteral("Delete Protocol File"));
    row->addWidget(btnEdit1);
    row->addWidget(btnDelFile1);
    layout->addLayout(row);

    connect(DriveComboBoxEx1, &QComboBox::activated, this, &TLoadProtoDskForm::driveChosen);
    connect(DirectoryListBoxEx1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { directoryChosen(current); });
    connect(&FDisk, &DiskProtocolList::checkClicked, this, &TLoadProtoDskForm::ListBox1CheckClick);
    connect(ListBox1, &ProtocolPaneView::itemClicked, this, &TLoadProtoDskForm::ListBox1Change);
    connect(ListBox1, &ProtocolPaneView::keyDown, this, &TLoadProtoDskForm::ListBox1KeyDown);
    connect(btnSelectAllSource, &QPushButton::clicked, this, &TLoadProtoDskForm::btnSelectAllSourceClick);
    connect(btnEdit1, &QToolButton::clicked, this, &TLoadProtoDskForm::btnEdit1Click);
    connect(btnDelFile1, &QToolButton::clicked, this, &TLoadProtoDskForm::btnDelFile1Click);
}

QString TLoadProtoDskForm::statusText() const
{
    return FStatusPanel->text();
}

void TLoadProtoDskForm::setStatus(const QString &text)
{
    FStatusPanel->setText(text);
}

// ---- disk pane ------------------------------------------------------------------------------

void TLoadProtoDskForm::setDiskDirectory(const QString &directory)
{
    const QString dir = QDir::fromNativeSeparators(QDir::cleanPath(directory));
    // The volume holding the directory: the longest root path that begins it.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < DriveComboBoxEx1->count(); ++i) {
        const QString root = DriveComboBoxEx1->itemData(i).toString();
        if ((dir == root || dir.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/')))
            && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0)
        DriveComboBoxEx1->setCurrentIndex(best);
    const QModelIndex at = FDirModel->index(dir);
    if (at.isValid()) {
        DirectoryListBoxEx1->setCurrentIndex(at);
        DirectoryListBoxEx1->scrollTo(at);
    }
    if (FDisk.directory() != dir)
        FDisk.setDirectory(dir);
}

void TLoadProtoDskForm::driveChosen(int index)
{
    const QString root = DriveComboBoxEx1->itemData(index).toString();
    if (!root.isEmpty())
        setDiskDirectory(root);
}

void TLoadProtoDskForm::directoryChosen(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString dir = FDirModel->filePath(index);
    if (!dir.isEmpty() && dir != FDisk.directory())
        FDisk.setDirectory(dir);
}

void TLoadProtoDskForm::RefreshDiskPane()
{
    FDisk.refresh();
}

void TLoadProtoDskForm::ListBox1CheckClick()
{
    btnCopyToTarget->setEnabled(FDisk.anyChecked() && FTarget->model.count() > 0);
}

void TLoadProtoDskForm::ListBox1Change()
{
    const QString path = FDisk.hasSelection() ? FDisk.path(FDisk.selected()) : QString();
    // A file whose extension is not ".SVP" in capitals shows no details.
    if (!path.contains(QStringLiteral(".SVP")))
        return;
    std::string name, protocol, size;
    if (ReadProtocolFile(path, name, protocol, size)) {
        FDiskName = QString::fromStdString(name);
        FDiskProtocol = QString::fromStdString(protocol);
        FDiskSize = QString::fromStdString(size);
        NameLabel1->setText(FDiskName);
        SizeLabel1->setText(FDiskSize + QStringLiteral(" bytes"));
        btnEdit1->setEnabled(true);
        btnDelFile1->setEnabled(true);
    } else {
        btnEdit1->setEnabled(false);
        btnDelFile1->setEnabled(false);
    }
}

void TLoadProtoDskForm::ListBox1KeyDown(int key)
{
    if (FDisk.count() == 0 || !ListBox1->hasFocus())
        return;
    if (key == Qt::Key_Delete && btnDelFile1->isEnabled()) {
        btnDelFile1Click();
    } else if (key == Qt::Key_Space && FDisk.hasSelection()) {
        FDisk.toggleCheck(FDisk.selected());
    }
}

void TLoadProtoDskForm::btnEdit1Click()
{
    // The selected file's own protocol, read now: what the last read or a load run left in
    // FDiskProtocol may belong to another file, and the editor saves under this path.
    const QString path = FDisk.hasSelection() ? FDisk.path(FDisk.selected()) : QString();
    if (!path.isEmpty()) {
        std::string name, protocol, size;
        if (ReadProtocolFile(path, name, protocol, size) && !protocol.empty())
            ShowProtocolEditor(this, QString::fromStdString(protocol), false, path, QString::fromStdString(name),
                               QString(), QString());
    }
    RefreshDiskPane();
}

void TLoadProtoDskForm::btnDelFile1Click()
{
    if (FDisk.count() > 0 && !FDisk.hasSelection())
        return;
    if (FDisk.hasSelection()) {
        const QString path = QDir::toNativeSeparators(FDisk.path(FDisk.selected()));
        if (Prompts::message(QStringLiteral("Do you want to delete ") + path + QLatin1Char('?'),
                             QStringLiteral("Delete File"), Ok | Cancel, PromptIcon::Question)
            != Ok)
            return;
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            Prompts::message(QStringLiteral("Could not delete ") + path + QLatin1Char('!'), QStringLiteral("Error"), Ok,
                             PromptIcon::Warning);
            return;
        }
    }
    RefreshDiskPane();
}

void TLoadProtoDskForm::btnSelectAllSourceClick()
{
    if (FDisk.count() == 0)
        return;
    const int remembered = FDisk.selected();
    const bool check = btnSelectAllSource->text() == QLatin1String("Select All");
    for (int i = 0; i < FDisk.count(); ++i) {
        FDisk.setSelected(i);
        FDisk.setChecked(i, check);
        ListBox1CheckClick();
    }
    btnSelectAllSource->setText(check ? QStringLiteral("Unselect All") : QStringLiteral("Select All"));
    if (remembered >= 0)
        FDisk.setSelected(remembered);
}

// ---- instrument pane ------------------------------------------------------------------------

void TLoadProtoDskForm::takeInstrument(int index)
{
    DeviceList *list = deviceList();
    const DVDEVICEINFO_T *device = list ? list->at(index) : nullptr;
    if (!device)
        return;
    FTargetIndex = index;
    FTarget->setInstrument(*device);
    FRun.FTargetIP = FTarget->ip;
    ListPaneRoot();
    FTarget->btnNewDir->setEnabled(true);
    ListBox1CheckClick();
}

void TLoadProtoDskForm::PreselectTarget(const QString &ip)
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
        takeInstrument(i);
        if (list->generation() != generation)
            return;
    }
}

void TLoadProtoDskForm::btnTargetClick()
{
    int chosen = FTargetIndex;
    if (!PickDeviceWithDestinationForm(this, &chosen, -1, QStringLiteral("Select Target Device")))
        return;
    DeviceList *list = deviceList();
    const DVDEVICEINFO_T *device = list ? list->at(chosen) : nullptr;
    if (!device)
        return;
    if (!DeviceIdle(*device)) {
        Prompts::message(QStringLiteral("The selected Target is still active!  Please stop the Device before selection."),
                         QStringLiteral("Information"));
        return;
    }
    takeInstrument(chosen);
}

void TLoadProtoDskForm::ListPaneRoot()
{
    PaneWaitCursor wait;
    duvo::ListPaneRoot(FTarget->model, FOps, FTarget->ip, [this] { FJob.yield(); });
    FTarget->rootButtons();
}

bool TLoadProtoDskForm::OpenPaneFolder()
{
    PaneWaitCursor wait;
    if (!duvo::OpenPaneFolder(FTarget->model, FOps, FTarget->ip, [this] { FJob.yield(); }))
        return false;
    FTarget->folderButtons();
    return true;
}

void TLoadProtoDskForm::ShowPaneFolder(const QString &folder)
{
    PaneWaitCursor wait;
    FRun.showFolder(folder);
}

void TLoadProtoDskForm::ListBox2Click() { FTarget->clickRule(); }

void TLoadProtoDskForm::ListBox2DblClick()
{
    FCommands.doubleClick(*FTarget);
}

void TLoadProtoDskForm::ListBox2KeyDown(int key)
{
    FCommands.keyDown(*FTarget, key);
}

void TLoadProtoDskForm::btnEdit2Click()
{
    ProtocolPaneModel &m = FTarget->model;
    if (m.isEmpty() || !m.hasSelection())
        return;
    {
        const ManagerClosing::Busy busy(FClosing);
        const QString name = m.itemText(m.selected());
        const QString folder = FTargetFolder();
        if (!FCommands.fetchProtocol(*FTarget, folder, name))
            return;
        const duvo::FetchedProtocol &fetched = FOps.fetchedProtocol();
        if (fetched.held() && !fetched.Protocol->empty() && !FClosing.closeAsked())
            ShowProtocolEditor(this, QString::fromStdString(*fetched.Protocol), true, QString(), name, folder,
                               FTarget->ip);
    }
    RefreshDiskPane();
}

void TLoadProtoDskForm::paneCommandStarted()
{
    FClosing.commandStarted();
    GroupBox1->setEnabled(false);
    GroupBox2->setEnabled(false);
    btnCopyToTarget->setEnabled(false);
    btnCancelOrClose->setEnabled(false);
}

void TLoadProtoDskForm::paneCommandEnded()
{
    setStatus(QString());
    btnCancelOrClose->setEnabled(true);
    GroupBox1->setEnabled(true);
    GroupBox2->setEnabled(true);
    ListBox1CheckClick();
    FClosing.commandEnded();
}

void TLoadProtoDskForm::DeletePaneFile()
{
    FCommands.deleteFile(*FTarget, FTargetFolder());
}

void TLoadProtoDskForm::DeletePaneFolder()
{
    FCommands.deleteFolder(*FTarget);
}

void TLoadProtoDskForm::NewPaneFolder()
{
    FCommands.newFolder(*FTarget);
}

void TLoadProtoDskForm::SavePaneProtocol()
{
    ProtocolPaneModel &m = FTarget->model;
    if (m.isEmpty() || !m.hasSelection())
        return;
    const QString name = m.itemText(m.selected());
    const QString folder = FTargetFolder();
    const QString path = AskProtocolSavePath(name);
    if (!path.isEmpty()) {
        const ManagerClosing::Busy busy(FClosing);
        if (!FCommands.fetchProtocol(*FTarget, folder, name))
            return;
        if (!SaveProtocolFile(path))
            Prompts::message(QStringLiteral("There was an error saving the protocol file!"), QStringLiteral("Error"),
                             Ok, PromptIcon::Error);
    }
    RefreshDiskPane();
}

bool TLoadProtoDskForm::SaveProtocolFile(const QString &path)
{
    if (!SaveFetchedProtocol(FOps.fetchedProtocol(), path))
        return false;
    RefreshDiskPane();
    return true;
}

void TLoadProtoDskForm::btnDelFile2Click() { DeletePaneFile(); }
void TLoadProtoDskForm::btnDelDir2Click() { DeletePaneFolder(); }
void TLoadProtoDskForm::btnNewDir2Click() { NewPaneFolder(); }
void TLoadProtoDskForm::btnSaveFile2Click() { SavePaneProtocol(); }

// ---- load run -------------------------------------------------------------------------------

bool TLoadProtoDskForm::FetchProtocolFile(const QString &path)
{
    const bool ok = FRun.FetchProtocolFile(path);
    FDiskName = QString::fromStdString(FRun.FDiskName);
    FDiskProtocol = QString::fromStdString(FRun.FDiskProtocol);
    FDiskSize = QString::fromStdString(FRun.FDiskSize);
    return ok;
}

void TLoadProtoDskForm::ValidateCheckedFiles(bool skip, const QString &folder)
{
    FRun.ValidateCheckedFiles(skip, folder);
}

void TLoadProtoDskForm::LoadOneProtocolFile(const QString &path, const QString &name, const QString &folder)
{
    FRun.LoadOneProtocolFile(path, name, folder);
}

void TLoadProtoDskForm::LoadCheckedFiles(bool skip)
{
    FRun.FTargetIP = FTarget->ip;
    FRun.LoadCheckedFiles(skip);
    FDiskName = QString::fromStdString(FRun.FDiskName);
    FDiskProtocol = QString::fromStdString(FRun.FDiskProtocol);
    FDiskSize = QString::fromStdString(FRun.FDiskSize);
}

void TLoadProtoDskForm::btnCopyToTargetClick()
{
    if (FTargetFolder() == QLatin1String("/")) {
        Prompts::message(QStringLiteral("Please navigate to a target folder!"), QStringLiteral("Information"), Ok,
                         PromptIcon::Information);
        return;
    }
    bool skip = true;
    if (!AskCopyMode(TaskDialog1, skip))
        return;
    LoadCheckedFiles(skip);
    FClosing.closeIfAsked();
}

// ---- closing --------------------------------------------------------------------------------

void TLoadProtoDskForm::btnCancelOrCloseClick()
{
    close();
}

void TLoadProtoDskForm::FormCloseQuery(bool &canClose)
{
    canClose = FClosing.mayClose(FRun.running(), btnCancelOrClose, [this](const QString &s) { setStatus(s); });
}

void TLoadProtoDskForm::reject()
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::reject();
}
