#include "mainwindow/forms/TMoreForm.h"

#include "Version.h"
#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/Workstation.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

TMoreForm::TMoreForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("MoreForm"));
    setWindowTitle(QStringLiteral("Version"));
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *group = new QGroupBox(QStringLiteral("Version Information"));
    VersionView1 = new QTreeWidget;
    VersionView1->setObjectName(QStringLiteral("VersionView1"));
    VersionView1->setRootIsDecorated(false);
    VersionView1->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Version Information")});
    VersionView1->setColumnWidth(0, 300);
    VersionView1->setColumnWidth(1, 125);
    VersionView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    VersionView1->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"));
    VersionView1->setTextElideMode(Qt::ElideLeft);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(VersionView1);

    btnOk = new QPushButton(QStringLiteral("Close"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    resize(500, 200);
    load();
}

void TMoreForm::load()
{
    try {
        const QString folder = duvo::ProgramFolder();
        const QString program = folder + QStringLiteral("VelmorDuvoStudio");
        const QString programVersion = QFileInfo(program).isFile() ? QStringLiteral(DUVO_VERSION_TEXT) : QStringLiteral("-");
        auto *row = new QTreeWidgetItem(VersionView1, {program, programVersion});
        row->setToolTip(0, program);

        QString libraryVersion = QStringLiteral("-");
        if (!DatabasePath.isEmpty() && QFileInfo(DatabasePath).isFile()) {
            CppSQLite3DB db;
            db.OpenFile(DatabasePath);
            db.CloseFile();
            libraryVersion = QString::fromLatin1(CppSQLite3DB::LibraryVersion());
        } else {
            duvo::Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), duvo::Ok,
                                   duvo::PromptIcon::Warning);
        }
        row = new QTreeWidgetItem(VersionView1, {folder + QStringLiteral("SQLite3.lib"), libraryVersion});
        row->setToolTip(0, folder + QStringLiteral("SQLite3.lib"));
    } catch (...) {
        duvo::Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::None);
    }
}
