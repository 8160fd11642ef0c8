#include "protocols/forms/TDuvoFileMgrForm.h"
#include "common/Prompts.h"
#include "common/forms/DuvoPictures.h"
#include "common/forms/InputBlock.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "link/Workstation.h"
#include "protocols/forms/BrowseWindows.h"
#include "protocols/forms/TSearchForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <exception>
#include <memory>

using namespace duvo;

TDuvoFileMgrForm *DuvoFileMgrForm = nullptr;

namespace {

// Everything the tree build changes for its length, put back on every way out: the notice,
// the cursor, the window's input (the tree "captures" it) and the tree's painting (the nodes
// appear once the build ends).
class BuildScope {
public:
    BuildScope(TDuvoFileMgrForm *form, QLabel *notice, bool &building)
        : FNotice(notice), FTree(form->DuvoTree1), FBuilding(building), FBlock(form)
    {
        FNotice->setVisible(true);
        FBuilding = true;
        FTree->setUpdatesEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BuildScope()
    {
        QApplication::restoreOverrideCursor();
        FTree->setUpdatesEnabled(true);
        FBuilding = false;
        FNotice->setVisible(false);
    }
    BuildScope(const BuildScope &) = delete;
    BuildScope &operator=(const BuildScope &) = delete;

private:
    QLabel *FNotice;
    QTreeWidget *FTree;
    bool &FBuilding;
    InputBlock FBlock;
};

QPushButton *glowButton(QWidget *parent, const char *name, const QString &caption, const QString &hint, int picture)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    if (picture >= 0)
        b->setIcon(DirImageList2Icon(picture));
    return b;
}

} // namespace

TDuvoFileMgrForm::TDuvoFileMgrForm(QWidget *owner, const QString &ip) : QDialog(owner), FCopyTargetIP(ip)
{
    DuvoFileMgrForm = this;
    try {
        build();
        btnViewProtocol->setEnabled(false);
        btnSearchProtocol->setEnabled(false);
        btnCopyDBDuvo->setEnabled(static_cast<bool>(CopyProtocolFormFactory()));
    } catch (const std::exception &) {
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
        FLoadFailed = true;
    }
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &TDuvoFileMgrForm::Timer1Timer);
    Timer1.start();
}

TDuvoFileMgrForm::~TDuvoFileMgrForm()
{
    Timer1.stop();
    FFileRecords.clear();
    FOps.fetchedProtocol().release();
    if (DuvoFileMgrForm == this)
        DuvoFileMgrForm = nullptr;
}

void TDuvoFileMgrForm::build()
{
    setObjectName(QStringLiteral("DuvoFileMgrForm"));
    setWindowTitle(QStringLiteral("Duvo Network Protocol Browser"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *group = new QGroupBox(QStringLiteral("Protocol Browser"), this);
    DuvoTree1 = new QTreeWidget(group);
    DuvoTree1->setObjectName(QStringLiteral("DuvoTree1"));
    DuvoTree1->setHeaderHidden(true);
    DuvoTree1->setColumnCount(1);
    DuvoTree1->setUniformRowHeights(true);
    auto *delegate = new ItemMarkupDelegate(DuvoTree1);
    DuvoTree1->setItemDelegate(delegate);
    DuvoTree1->setMinimumSize(420, 380);
    txtInfo1 = new QLabel(QStringLiteral("Searching Network...  Please wait"), group);
    txtInfo1->setObjectName(QStringLiteral("txtInfo1"));
    QFont bold = txtInfo1->font();
    bold.setBold(true);
    txtInfo1->setFont(bold);
    txtInfo1->setVisible(false);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(DuvoTree1, 1);
    groupLayout->addWidget(txtInfo1);

    btnViewProtocol = glowButton(this, "btnViewProtocol", QStringLiteral("View Protocol"),
                                 QStringLiteral("View Protocol File"), 6);
    btnSearchProtocol = glowButton(this, "btnSearchProtocol", QStringLiteral("Search"),
                                   QStringLiteral("Search for Protocol or Folder"), 5);
    btnCopyDBDuvo = glowButton(this, "btnCopyDBDuvo", QStringLiteral("Copy Files"),
                               QStringLiteral("Copy selected Folder and Files"), 3);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    auto *side = new QVBoxLayout;
    side->addWidget(btnViewProtocol);
    side->addWidget(btnSearchProtocol);
    side->addWidget(btnCopyDBDuvo);
    side->addStretch(1);
    side->addWidget(btnClose);
    auto *main = new QHBoxLayout(this);
    main->addWidget(group, 1);
    main->addLayout(side);

    connect(DuvoTree1, &QTreeWidget::currentItemChanged, this, [this] { DuvoTree1Click(); });
    connect(DuvoTree1, &QTreeWidget::itemClicked, this, [this] { DuvoTree1Click(); });
    connect(btnViewProtocol, &QPushButton::clicked, this, &TDuvoFileMgrForm::btnViewProtocolClick);
    connect(btnSearchProtocol, &QPushButton::clicked, this, &TDuvoFileMgrForm::btnSearchProtocolClick);
    connect(btnCopyDBDuvo, &QPushButton::clicked, this, &TDuvoFileMgrForm::btnCopyDBDuvoClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(600, 480);
}

void TDuvoFileMgrForm::Timer1Timer()
{
    Timer1.stop();
    BuildNetworkTree();
}

QTreeWidgetItem *TDuvoFileMgrForm::newNode(const QString &text)
{
    auto *node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, NodeIndexRole, FNextNodeIndex++);
    return node;
}

void TDuvoFileMgrForm::BuildNetworkTree()
{
    if (FBuilding || stopping())
        return;
    BuildScope scope(this, txtInfo1, FBuilding);
    Workstation *ws = Workstation::current();
    if (!ws || ws->FDeviceList.isEmpty())
        return;
    btnSearchProtocol->setEnabled(true);
    static_cast<ItemMarkupDelegate *>(DuvoTree1->itemDelegate())->setItemHeight(18);
    FNextNodeIndex = 0;

    const uint64_t generation = ws->FDeviceList.generation();
    for (int i = 0; i < ws->FDeviceList.Count(); ++i) {
        QCoreApplication::processEvents();
        if (stopping() || ws->FDeviceList.generation() != generation)
            return;
        const DVDEVICEINFO_T *device = ws->FDeviceList.at(i);
        if (!device)
            break;
        const BrowseNodeKind kind = BrowseNodeKindOf(device->typeText);
        if (kind == BrowseNodeKind::None)
            continue;
        const std::string ip = device->ipAddress;
        QTreeWidgetItem *node = newNode(InstrumentNodeText(ip, device->deviceId, device->typeText));
        DuvoTree1->addTopLevelItem(node);
        if (kind == BrowseNodeKind::InstrumentWithFolders)
            AddDeviceFolders(node, ip);
    }
    if (stopping())
        return;
    if (QTreeWidgetItem *first = DuvoTree1->topLevelItem(0)) {
        DuvoTree1->setCurrentItem(first);
        DuvoTree1->setFocus();
        FSelectedIndex = first->data(0, NodeIndexRole).toInt();
    } else {
        FSelectedIndex = -1;
    }
}

void TDuvoFileMgrForm::AddDeviceFolders(QTreeWidgetItem *instrumentNode, const std::string &ip)
{
    int count = 0;
    std::vector<std::string> folders;
    FOps.ListDeviceFolders(ip, count, folders);
    if (count <= 0)
        return;
    for (const std::string &listed : folders) {
        if (stopping())
            return;
        const ListedFolder folder = SplitListedFolder(listed);
        if (folder.name.empty())
            continue;  // an empty name, or a lone "!": nothing to list or to ask for
        QTreeWidgetItem *folderNode = newNode(FolderNodeText(folder));
        instrumentNode->addChild(folderNode);
        int files = 0;
        std::vector<std::string> names;
        FOps.ListDeviceFiles(ip, folder.name, files, names);
        if (stopping())
            return;
        QList<QTreeWidgetItem *> fileNodes;
        fileNodes.reserve(qsizetype(names.size()));
        for (const std::string &file : names) {
            if (file.empty())
                continue;
            QTreeWidgetItem *fileNode = newNode(FileNodeText(file));
            fileNodes.append(fileNode);
            FFileRecords.push_back({ip, folder.name, file, int16_t(folder.secure ? 1 : 0),
                                    fileNode->data(0, NodeIndexRole).toInt()});
        }
        folderNode->addChildren(fileNodes);
    }
}

void TDuvoFileMgrForm::DuvoTree1Click()
{
    btnViewProtocol->setEnabled(false);
    QTreeWidgetItem *node = DuvoTree1->currentItem();
    FSelectedIndex = node ? node->data(0, NodeIndexRole).toInt() : -1;
    if (FSelectedIndex < 0)
        return;
    for (const VLMGRFILES_T &record : FFileRecords)
        if (record.nodeIndex == FSelectedIndex) {
            btnViewProtocol->setEnabled(true);
            break;
        }
}

void TDuvoFileMgrForm::btnViewProtocolClick()
{
    if (InputBlock::active(this) || stopping())
        return;
    const int selected = FSelectedIndex;
    for (size_t i = 0; i < FFileRecords.size(); ++i) {
        if (FFileRecords[i].nodeIndex != selected)
            continue;
        const VLMGRFILES_T record = FFileRecords[i];
        {
            InputBlock block(this);
            if (!FOps.FetchProtocol(record.ip, record.folder, record.file))
                continue;
        }
        const FetchedProtocol &fetched = FOps.fetchedProtocol();
        if (stopping())
            return;
        if (fetched.held() && !fetched.Protocol->empty())
            ShowDeviceProtocol(this, *fetched.Protocol, record.file, record.folder, record.ip);
    }
}

void TDuvoFileMgrForm::btnCopyDBDuvoClick()
{
    if (InputBlock::active(this) || stopping() || !CopyProtocolFormFactory())
        return;
    Workstation *ws = Workstation::current();
    if (FCopyTargetIP.isEmpty() && ws && ws->FDeviceList.Count() == 2)
        FCopyTargetIP = QString::fromStdString(ws->FDeviceList.at(1)->ipAddress);
    {
        std::unique_ptr<QDialog> copy(CopyProtocolFormFactory()(this, FCopyTargetIP));
        if (copy)
            copy->exec();
    }
    if (stopping())
        return;
    FFileRecords.clear();
    DuvoTree1->clear();
    FSelectedIndex = -1;
    btnViewProtocol->setEnabled(false);
    BuildNetworkTree();
}

void TDuvoFileMgrForm::btnSearchProtocolClick()
{
    if (InputBlock::active(this) || stopping())
        return;
    TSearchForm search(this);
    search.exec();
}

void TDuvoFileMgrForm::stopExchanges()
{
    FClosing = true;
    Timer1.stop();
    TCPClient1.abort();
}

void TDuvoFileMgrForm::closeEvent(QCloseEvent *event)
{
    stopExchanges();
    QDialog::closeEvent(event);
}

void TDuvoFileMgrForm::reject()
{
    stopExchanges();
    QDialog::reject();
}
