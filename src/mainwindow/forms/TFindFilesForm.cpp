#include "mainwindow/forms/TFindFilesForm.h"

#include "common/Prompts.h"
#include "common/Shell.h"
#include "mainwindow/FileSearch.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QVBoxLayout>

TFindFilesForm::TFindFilesForm(QWidget *owner, const QString &startFolder) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FindFilesDialog1"));
    setWindowTitle(QStringLiteral("Find Files"));
    resize(720, 460);

    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("&Named:")), 0, 0);
    edtNamed = new QLineEdit(QStringLiteral("*"));
    edtNamed->setObjectName(QStringLiteral("edtNamed"));
    grid->addWidget(edtNamed, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("&Look in:")), 1, 0);
    edtLookIn = new QLineEdit(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    edtLookIn->setObjectName(QStringLiteral("edtLookIn"));
    grid->addWidget(edtLookIn, 1, 1);
    btnBrowse = new QPushButton(QStringLiteral("&Browse..."));
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    grid->addWidget(btnBrowse, 1, 2);
    chkSubfolders = new QCheckBox(QStringLiteral("Include &subfolders"));
    chkSubfolders->setObjectName(QStringLiteral("chkSubfolders"));
    chkSubfolders->setChecked(true);
    grid->addWidget(chkSubfolders, 2, 1);
    layout->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    btnFind = new QPushButton(QStringLiteral("Find &Now"));
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    btnStop = new QPushButton(QStringLiteral("S&top"));
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setEnabled(false);
    buttons->addWidget(btnFind);
    buttons->addWidget(btnStop);
    buttons->addStretch();
    layout->addLayout(buttons);

    lstResults = new QTreeWidget;
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setRootIsDecorated(false);
    lstResults->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("In Folder"), QStringLiteral("Size"),
                                 QStringLiteral("Modified")});
    lstResults->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    layout->addWidget(lstResults, 1);
    lblStatus = new QLabel;
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    layout->addWidget(lblStatus);

    connect(btnFind, &QPushButton::clicked, this, &TFindFilesForm::btnFindClick);
    connect(edtNamed, &QLineEdit::returnPressed, this, &TFindFilesForm::btnFindClick);
    connect(btnStop, &QPushButton::clicked, this, &TFindFilesForm::btnStopClick);
    connect(btnBrowse, &QPushButton::clicked, this, &TFindFilesForm::btnBrowseClick);
    connect(lstResults, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item, int) { OpenResult(item); });
}

TFindFilesForm::~TFindFilesForm()
{
    FStopRequested = true;
}

void TFindFilesForm::btnBrowseClick()
{
    if (const auto folder = duvo::Prompts::folder(QStringLiteral("Look in"), edtLookIn->text()))
        edtLookIn->setText(*folder);
}

void TFindFilesForm::btnStopClick()
{
    FStopRequested = true;
}

void TFindFilesForm::btnFindClick()
{
    if (FSearching)
        return;
    FSearching = true;
    FStopRequested = false;
    btnFind->setEnabled(false);
    btnStop->setEnabled(true);
    lstResults->clear();
    lblStatus->setText(QStringLiteral("Searching..."));

    FileSearchRequest request;
    request.folder = edtLookIn->text().trimmed();
    request.patterns = edtNamed->text();
    request.subfolders = chkSubfolders->isChecked();
    const FileSearchResult result = FindFiles(request, [this] {
        QCoreApplication::processEvents();
        return !FStopRequested;
    });

    const QLocale c = QLocale::c();
    for (const QString &path : result.files) {
        const QFileInfo info(path);
        auto *item = new QTreeWidgetItem(lstResults);
        item->setText(0, info.fileName());
        item->setText(1, QDir::toNativeSeparators(info.absolutePath()));
        item->setText(2, c.toString(info.size()));
        item->setText(3, info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        item->setData(0, Qt::UserRole, path);
    }
    QString status = QStringLiteral("%1 file(s) found").arg(result.files.size());
    if (result.folderMissing)
        status = QStringLiteral("The folder \"%1\" does not exist").arg(request.folder);
    else if (result.stopped)
        status += QStringLiteral(" (stopped)");
    else if (result.limitReached)
        status += QStringLiteral(" (search ended at %1 files)").arg(request.limit);
    lblStatus->setText(status);
    btnFind->setEnabled(true);
    btnStop->setEnabled(false);
    FSearching = false;
}

void TFindFilesForm::OpenResult(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QString path = item->data(0, Qt::UserRole).toString();
    if (!duvo::Shell::instance().openDocument(path))
        duvo::Prompts::message(QStringLiteral("Error opening ") + QDir::toNativeSeparators(path), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Error);
}

void TFindFilesForm::closeEvent(QCloseEvent *event)
{
    FStopRequested = true;
    QWidget::closeEvent(event);
}
