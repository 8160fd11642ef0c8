#include "protocols/forms/TProtNavForm.h"
#include "common/Prompts.h"
#include "common/forms/DuvoPictures.h"
#include "common/forms/InputBlock.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "link/Workstation.h"
#include "protocols/BrowseItems.h"
#include "protocols/forms/BrowseWindows.h"
#include "protocols/forms/TDuvoFileMgrForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <exception>
#include <memory>

using namespace duvo;

TProtNavForm *ProtNavForm = nullptr;

namespace {

// The hourglass for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QPushButton *glowButton(QWidget *parent, const char *name, const QString &caption, const QString &hint, int picture)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setIcon(DirImageList2Icon(picture));
    return b;
}

} // namespace

TProtNavForm::TProtNavForm(QWidget *owner, const QString &ip, const QString &id, QString *outFolder, QString *outFile)
    : QDialog(owner), FIP(ip), FID(id), FOutFolder(outFolder), FOutFile(outFile)
{
    ProtNavForm = this;
    try {
        build();
        lblSelected->setToolTip(QStringLiteral("Selected Protocol"));
        lblFolder->setToolTip(QStringLiteral("Selected Folder"));
        btnViewProtocol->setEnabled(false);
        Workstation *ws = Workstation::current();
        btnBrowse->setEnabled(ws && ws->FDeviceList.Count() >= 2);
        btnLoadFromDisk->setEnabled(static_cast<bool>(LoadProtoDskFormFactory()));
    } catch (const std::exception &) {
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
        FLoadFailed = true;
    }
    Timer1.setInterval(500);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, &TProtNavForm::Timer1Timer);
    Timer1.start();
}

TProtNavForm::~TProtNavForm()
{
    Timer1.stop();
    FOps.fetchedProtocol().release();
    if (ProtNavForm == this)
        ProtNavForm = nullptr;
}

void TProtNavForm::build()
{
    setObjectName(QStringLiteral("ProtNavForm"));
    setWindowTitle(QStringLiteral("Duvo Protocol Navigator"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    grpDuvoFolder = new QGroupBox(QStringLiteral("Folders"), this);
    grpDuvoFolder->setObjectName(QStringLiteral("grpDuvoFolder"));
    ListBox1 = new QListWidget(grpDuvoFolder);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    (new QVBoxLayout(grpDuvoFolder))->addWidget(ListBox1);
    grpProtocolFiles = new QGroupBox(QStringLiteral("Protocol Files"), this);
    ListBox2 = new QListWidget(grpProtocolFiles);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    (new QVBoxLayout(grpProtocolFiles))->addWidget(ListBox2);
    for (QListWidget *list : {ListBox1, ListBox2}) {
        auto *delegate = new ItemMarkupDelegate(list);
        delegate->setItemHeight(20);
        list->setItemDelegate(delegate);
        list->setUniformItemSizes(true);
        list->setMinimumSize(200, 240);
    }

    auto *folderCaption = new QLabel(QStringLiteral("Folder: "), this);
    lblFolder = new QLabel(QStringLiteral("-"), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    auto *fileCaption = new QLabel(QStringLiteral("Protocol:"), this);
    lblSelected = new QLabel(QStringLiteral("-"), this);
    lblSelected->setObjectName(QStringLiteral("lblSelected"));
    QFont bold = lblFolder->font();
    bold.setBold(true);
    lblFolder->setFont(bold);
    lblSelected->setFont(bold);
    lblFolder->setMinimumWidth(110);
    lblSelected->setMinimumWidth(110);

    btnViewProtocol = glowButton(this, "btnViewProtocol", QStringLiteral("View"), QStringLiteral("View Protocol File"), 6);
    btnBrowse = glowButton(this, "btnBrowse", QStringLiteral("Duvo Network"),
                           QStringLiteral("Browse Protocol Files on the Network"), 0);
    btnLoadFromDisk = glowButton(this, "btnLoadFromDisk", QStringLiteral("Open Folders"),
                                 QStringLiteral("Browse and load protocol files from your PC"), 7);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *lists = new QHBoxLayout;
    lists->addWidget(grpDuvoFolder, 1);
    lists->addWidget(grpProtocolFiles, 1);
    auto *choice = new QGridLayout;
    choice->addWidget(folderCaption, 0, 0);
    choice->addWidget(lblFolder, 0, 1);
    choice->addWidget(fileCaption, 1, 0);
    choice->addWidget(lblSelected, 1, 1);
    choice->setColumnStretch(1, 1);
    auto *tools = new QHBoxLayout;
    tools->addLayout(choice, 1);
    tools->addWidget(btnViewProtocol);
    tools->addWidget(btnBrowse);
    tools->addWidget(btnLoadFromDisk);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addLayout(lists, 1);
    main->addLayout(tools);
    main->addLayout(buttons);

    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(ListBox2, &QListWidget::currentRowChanged, this, [this] { ListBox2Click(); });
    connect(btnOk, &QPushButton::clicked, this, &TProtNavForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TProtNavForm::reject);
    connect(btnViewProtocol, &QPushButton::clicked, this, &TProtNavForm::btnViewProtocolClick);
    connect(btnBrowse, &QPushButton::clicked, this, &TProtNavForm::btnBrowseClick);
    connect(btnLoadFromDisk, &QPushButton::clicked, this, &TProtNavForm::btnLoadFromDiskClick);
    resize(560, 420);
}

void TProtNavForm::Timer1Timer()
{
    Timer1.stop();
    LoadFolders();
}

void TProtNavForm::LoadFolders()
{
    if (InputBlock::active(this) || stopping())
        return;
    InputBlock block(this);
    WaitCursor cursor;
    btnOk->setEnabled(false);
    btnViewProtocol->setEnabled(false);

    int count = 0;
    std::vector<std::string> names;
    FOps.ListDeviceFolders(FIP.toStdString(), count, names);
    {
        const QSignalBlocker quiet(ListBox1);
        for (const std::string &name : names) {
            QCoreApplication::processEvents();
            if (stopping())
                return;
            const ListedFolder folder = SplitListedFolder(name);
            if (!folder.name.empty())
                ListBox1->addItem(FolderListItem(folder));
        }
        if (ListBox1->count() > 0) {
            ListBox1->setCurrentRow(0);
            lblFolder->setText(ListItemPlainText(ListBox1->item(0)->text()));
            lblFolder->setToolTip(lblFolder->text());
        }
    }
    if (ListBox1->currentItem())
        listFiles(ListItemPlainText(ListBox1->currentItem()->text()));
}

void TProtNavForm::listFiles(const QString &folder)
{
    int count = 0;
    std::vector<std::string> names;
    FOps.ListDeviceFiles(FIP.toStdString(), folder.toStdString(), count, names);
    const QSignalBlocker quiet(ListBox2);
    for (const std::string &name : names) {
        QCoreApplication::processEvents();
        if (stopping())
            return;
        if (!name.empty())
            ListBox2->addItem(DocumentListItem(name));
    }
}

void TProtNavForm::ListBox1Click()
{
    if (InputBlock::active(this) || stopping())
        return;
    lblSelected->setText(QStringLiteral("-"));
    btnOk->setEnabled(false);
    btnViewProtocol->setEnabled(false);
    if (ListBox1->count() == 0 || !ListBox1->currentItem()) {
        lblFolder->setText(QStringLiteral("-"));
        return;
    }
    InputBlock block(this);
    WaitCursor cursor;
    {
        const QSignalBlocker quiet(ListBox2);
        ListBox2->clear();
    }
    const QString folder = ListItemPlainText(ListBox1->currentItem()->text());
    listFiles(folder);
    lblFolder->setText(folder);
}

void TProtNavForm::ListBox2Click()
{
    if (ListBox2->count() == 0) {
        btnOk->setEnabled(false);
        btnViewProtocol->setEnabled(false);
        lblSelected->setToolTip(lblSelected->text());
        return;
    }
    if (!ListBox2->currentItem()) {
        lblSelected->setText(QStringLiteral("-"));
        btnOk->setEnabled(false);
        btnViewProtocol->setEnabled(false);
        return;
    }
    lblSelected->setText(ListItemPlainText(ListBox2->currentItem()->text()));
    btnOk->setEnabled(true);
    btnViewProtocol->setEnabled(true);
}

void TProtNavForm::btnOkClick()
{
    if (FOutFolder)
        *FOutFolder = lblFolder->text();
    if (FOutFile)
        *FOutFile = lblSelected->text();
    accept();
}

void TProtNavForm::btnViewProtocolClick()
{
    if (InputBlock::active(this) || stopping())
        return;
    const std::string folder = UpperName(lblFolder->text().toStdString());
    const std::string file = UpperName(lblSelected->text().toStdString());
    {
        InputBlock block(this);
        if (!FOps.FetchProtocol(FIP.toStdString(), folder, file))
            return;
    }
    const FetchedProtocol &fetched = FOps.fetchedProtocol();
    if (stopping() || !fetched.held() || fetched.Protocol->empty())
        return;
    ShowDeviceProtocol(this, *fetched.Protocol, file, folder, FIP.toStdString());
}

void TProtNavForm::btnBrowseClick()
{
    if (InputBlock::active(this) || stopping())
        return;
    try {
        {
            TDuvoFileMgrForm browser(this, FIP);
            browser.exec();
        }
        if (stopping())
            return;
        ListBox1->clear();
        ListBox2->clear();
        lblSelected->setText(QStringLiteral("-"));
        LoadFolders();
    } catch (const std::exception &) {
    }
}

void TProtNavForm::btnLoadFromDiskClick()
{
    if (InputBlock::active(this) || stopping() || !LoadProtoDskFormFactory())
        return;
    try {
        {
            std::unique_ptr<QDialog> manager(LoadProtoDskFormFactory()(this, FIP));
            if (manager)
                manager->exec();
        }
        if (stopping())
            return;
        ListBox1->clear();
        ListBox2->clear();
        lblSelected->setText(QStringLiteral("-"));
        LoadFolders();
    } catch (const std::exception &) {
    }
}

void TProtNavForm::stopExchanges()
{
    FClosing = true;
    Timer1.stop();
    TCPClient1.abort();
}

void TProtNavForm::closeEvent(QCloseEvent *event)
{
    stopExchanges();
    QDialog::closeEvent(event);
}

void TProtNavForm::reject()
{
    stopExchanges();
    QDialog::reject();
}
