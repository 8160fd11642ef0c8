#include "protocols/forms/TChangePWForm.h"
#include "common/Prompts.h"
#include "common/forms/DuvoPictures.h"
#include "common/forms/InputBlock.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "protocols/BrowseItems.h"
#include "protocols/forms/TFolderNameForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <exception>

using namespace duvo;

TChangePWForm::TChangePWForm(QWidget *owner, const QString &ip, const QString &id)
    : QDialog(owner), FIP(ip), FID(id)
{
    try {
        build();
        lblFolder->setToolTip(QStringLiteral("Selected Folder"));
        btnSetPW->setEnabled(false);
    } catch (const std::exception &) {
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
        FLoadFailed = true;
    }
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &TChangePWForm::Timer1Timer);
    Timer1.start();
}

TChangePWForm::~TChangePWForm()
{
    Timer1.stop();
}

void TChangePWForm::build()
{
    setObjectName(QStringLiteral("ChangePWForm"));
    setWindowTitle(QStringLiteral("Folder Security"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    grpDuvoFolder = new QGroupBox(QStringLiteral("Folders"), this);
    grpDuvoFolder->setObjectName(QStringLiteral("grpDuvoFolder"));
    ListBox1 = new QListWidget(grpDuvoFolder);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    auto *delegate = new ItemMarkupDelegate(ListBox1);
    delegate->setItemHeight(18);
    ListBox1->setItemDelegate(delegate);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setMinimumSize(240, 220);
    (new QVBoxLayout(grpDuvoFolder))->addWidget(ListBox1);

    Label1 = new QLabel(QStringLiteral("Folder: "), this);
    lblFolder = new QLabel(QStringLiteral("-"), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    QFont bold = lblFolder->font();
    bold.setBold(true);
    lblFolder->setFont(bold);
    btnSetPW = new QPushButton(QStringLiteral("Set Password"), this);
    btnSetPW->setObjectName(QStringLiteral("btnSetPW"));
    btnSetPW->setIcon(DirImageList2Icon(8));
    btnSetPW->setToolTip(QStringLiteral("Set or change the passwords for your Duvo folders"));
    btnCancel = new QPushButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *panel = new QHBoxLayout;
    panel->addWidget(Label1);
    panel->addWidget(lblFolder, 1);
    panel->addWidget(btnSetPW);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(grpDuvoFolder, 1);
    main->addLayout(panel);
    main->addLayout(buttons);

    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (!FLoading)
            ListBox1Click();
    });
    connect(btnSetPW, &QPushButton::clicked, this, &TChangePWForm::btnSetPWClick);
    connect(btnCancel, &QPushButton::clicked, this, &TChangePWForm::reject);
    resize(320, 360);
}

void TChangePWForm::Timer1Timer()
{
    Timer1.stop();
    if (stopping() || InputBlock::active(this))
        return;
    InputBlock block(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor {
        ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    int count = 0;
    std::vector<std::string> names;
    FOps.ListDeviceFolders(FIP.toStdString(), count, names);
    if (count <= 0)
        return;
    FLoading = true;
    for (const std::string &listed : names) {
        QCoreApplication::processEvents();
        if (stopping()) {
            FLoading = false;
            return;
        }
        const ListedFolder folder = SplitListedFolder(listed);
        if (!folder.name.empty())
            ListBox1->addItem(FolderListItem(folder));
    }
    if (ListBox1->count() > 0) {
        ListBox1->setCurrentRow(0);
        lblFolder->setText(ListItemPlainText(ListBox1->item(0)->text()));
        lblFolder->setToolTip(lblFolder->text());
    }
    FLoading = false;
}

void TChangePWForm::ListBox1Click()
{
    QListWidgetItem *item = ListBox1->currentItem();
    if (ListBox1->count() == 0 || !item) {
        lblFolder->setText(QStringLiteral("-"));
        btnSetPW->setEnabled(false);
        return;
    }
    const QString folder = ListItemPlainText(item->text());
    lblFolder->setText(folder);
    btnSetPW->setEnabled(!IsReservedFolder(folder.toStdString()));
}

void TChangePWForm::btnSetPWClick()
{
    if (stopping() || InputBlock::active(this))
        return;
    const std::string folder = lblFolder->text().toStdString();
    {
        InputBlock block(this);
        if (!FOps.CheckFolderPassword(FIP.toStdString(), folder))
            return;
    }
    if (stopping())
        return;
    QString password;
    int result = QDialog::Rejected;
    {
        TFolderNameForm dialog(this);
        dialog.setFolderSecurityMode(QString::fromStdString(folder));
        result = dialog.exec();
        if (result == QDialog::Accepted)
            password = dialog.edtPW1->text();
    }
    if (result != QDialog::Accepted || stopping())
        return;
    InputBlock block(this);
    FOps.SetFolderPassword(FIP.toStdString(), folder, password.toStdString());
}

void TChangePWForm::closeEvent(QCloseEvent *event)
{
    FClosing = true;
    Timer1.stop();
    TCPClient1.abort();
    QDialog::closeEvent(event);
}

void TChangePWForm::reject()
{
    FClosing = true;
    Timer1.stop();
    TCPClient1.abort();
    QDialog::reject();
}
