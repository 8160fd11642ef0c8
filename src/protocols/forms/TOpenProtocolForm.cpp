#include "protocols/forms/TOpenProtocolForm.h"

#include "common/ProgramFolder.h"
#include "link/Workstation.h"
#include "protocols/ProtocolFile.h"
#include "protocols/forms/TProtocolEditorForm.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString NoFile = QStringLiteral("*.SVP");

QString startFolder()
{
    const Workstation *ws = Workstation::current();
    QString folder = ws ? ws->FDefaultFolder : QString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = duvo::ProgramFolder();
    return QDir::cleanPath(folder);
}

} // namespace

TOpenProtocolForm::TOpenProtocolForm(QWidget *Owner, QString *outPath, bool ShowView)
    : QDialog(Owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), FOutPath(outPath), FFilePath(NoFile)
{
    setObjectName(QStringLiteral("OpenProtocolForm"));
    setWindowTitle(QStringLiteral("Open Protocol"));

    // The mounted volumes stand where a drive list would.
    cmbDrive1 = new QComboBox(this);
    cmbDrive1->setObjectName(QStringLiteral("cmbDrive1"));
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady())
            continue;
        const QString name = v.displayName().isEmpty() ? v.rootPath() : v.displayName();
        cmbDrive1->addItem(name.toUpper(), v.rootPath());
    }

    FDirModel = new QFileSystemModel(this);
    FDirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    FDirModel->setRootPath(QStringLiteral("/"));
    DirectoryList1 = new QTreeView(this);
    DirectoryList1->setObjectName(QStringLiteral("DirectoryList1"));
    DirectoryList1->setModel(FDirModel);
    for (int c = 1; c < FDirModel->columnCount(); ++c)
        DirectoryList1->hideColumn(c);
    DirectoryList1->setHeaderHidden(true);

    FFileModel = new QFileSystemModel(this);
    FFileModel->setFilter(QDir::Files);
    // The mask takes the extension in any case: "a.svp" is listed too.
    FFileModel->setNameFilters({NoFile});
    FFileModel->setNameFilterDisables(false);
    FileList1 = new QListView(this);
    FileList1->setObjectName(QStringLiteral("FileList1"));
    FileList1->setModel(FFileModel);

    edtMask1 = new QLineEdit(NoFile, this);
    edtMask1->setObjectName(QStringLiteral("edtMask1"));
    edtMask1->setReadOnly(true);

    NameLabel1 = new QLabel(QStringLiteral("-"), this);
    NameLabel1->setObjectName(QStringLiteral("NameLabel1"));
    SizeLabel1 = new QLabel(QStringLiteral("-"), this);
    SizeLabel1->setObjectName(QStringLiteral("SizeLabel1"));
    auto *details = new QGroupBox(this);
    auto *form = new QFormLayout(details);
    form->addRow(QStringLiteral("Protocol Name:"), NameLabel1);
    form->addRow(QStringLiteral("Protocol Size:"), SizeLabel1);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnView = new QPushButton(QStringLiteral("View Protocol File"), this);
    btnView->setObjectName(QStringLiteral("btnView"));
    btnView->setVisible(ShowView);
    btnView->setEnabled(false);

    auto *grid = new QGridLayout;
    grid->addWidget(cmbDrive1, 0, 0);
    grid->addWidget(edtMask1, 0, 1);
    grid->addWidget(DirectoryList1, 1, 0);
    grid->addWidget(FileList1, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnView);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addWidget(details);
    layout->addLayout(buttons);
    resize(620, 420);

    connect(cmbDrive1, &QComboBox::activated, this, [this](int index) {
        showFolder(cmbDrive1->itemData(index).toString());
    });
    connect(DirectoryList1, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { showFolder(FDirModel->filePath(index)); });
    connect(FileList1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                FileList1Change(current.isValid() ? FFileModel->filePath(current) : NoFile);
            });
    connect(btnOk, &QPushButton::clicked, this, &TOpenProtocolForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnView, &QPushButton::clicked, this, &TOpenProtocolForm::btnViewClick);

    showFolder(startFolder());
}

void TOpenProtocolForm::showFolder(const QString &folder)
{
    const QModelIndex dir = FDirModel->index(folder);
    DirectoryList1->setCurrentIndex(dir);
    DirectoryList1->scrollTo(dir);
    FileList1->setRootIndex(FFileModel->setRootPath(folder));
    // The volume that holds the folder.
    const QString root = QStorageInfo(folder).rootPath();
    const int drive = cmbDrive1->findData(root);
    if (drive >= 0)
        cmbDrive1->setCurrentIndex(drive);
    FileList1Change(NoFile);
}

void TOpenProtocolForm::chooseFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.absolutePath() != FFileModel->rootPath())
        showFolder(info.absolutePath());
    const QModelIndex index = FFileModel->index(info.absoluteFilePath());
    if (index.isValid())
        FileList1->setCurrentIndex(index);
    else
        FileList1Change(info.absoluteFilePath());
}

void TOpenProtocolForm::FileList1Change(const QString &path)
{
    FFilePath = path;
    NameLabel1->setText(QStringLiteral("-"));
    SizeLabel1->setText(QStringLiteral("-"));
    if (path == NoFile) {
        btnOk->setEnabled(false);
        btnView->setEnabled(false);
        return;
    }
    btnOk->setEnabled(true);
    btnView->setEnabled(true);
    // Details only for a name in capitals, as the file list names them.
    if (!path.contains(QStringLiteral(".SVP")))
        return;
    std::string name, protocol, size;
    if (duvo::ReadProtocolFile(path, name, protocol, size)) {
        NameLabel1->setText(QString::fromStdString(name));
        SizeLabel1->setText(QString::fromStdString(size) + QStringLiteral(" bytes"));
    }
}

void TOpenProtocolForm::btnOkClick()
{
    if (FFilePath == NoFile)
        return;
    if (FOutPath)
        *FOutPath = FFilePath;
    accept();
}

void TOpenProtocolForm::btnViewClick()
{
    std::string name, protocol, size;
    if (FFilePath == NoFile || !duvo::ReadProtocolFile(FFilePath, name, protocol, size))
        return;
    TProtocolEditorForm editor(this, false, QString::fromStdString(protocol), false, FFilePath,
                               QString::fromStdString(name), QString(), QString());
    editor.exec();
}
