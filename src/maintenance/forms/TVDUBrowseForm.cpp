#include "maintenance/forms/TVDUBrowseForm.h"

#include "common/Prompts.h"
#include "maintenance/VduReader.h"
#include "maintenance/forms/MaintenanceHooks.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TVDUBrowseForm::TVDUBrowseForm(QWidget *owner, const QString &path) : QDialog(owner)
{
    setObjectName(QStringLiteral("VDUBrowseForm"));
    setWindowTitle(QStringLiteral("Browse virtual Protocols"));
    setModal(true);
    auto *group = new QGroupBox(QStringLiteral("virtual Duvo"), this);
    ResultView1 = new QTreeWidget(group);
    ResultView1->setObjectName(QStringLiteral("ResultView1"));
    ResultView1->setRootIsDecorated(false);
    ResultView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultView1->setHeaderLabels({QStringLiteral("Folder"), QStringLiteral("Protocol")});
    ResultView1->setColumnWidth(0, 85);
    ResultView1->setColumnWidth(1, 180);
    auto *gl = new QVBoxLayout(group);
    gl->addWidget(ResultView1);
    btnViewProtocol = new QPushButton(QStringLiteral("View Protocol"), this);
    btnViewProtocol->setObjectName(QStringLiteral("btnViewProtocol"));
    btnViewProtocol->setToolTip(QStringLiteral("View Protocol File"));
    btnViewProtocol->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnViewProtocol, &QPushButton::clicked, this, &TVDUBrowseForm::btnViewProtocolClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ResultView1, &QTreeWidget::itemDoubleClicked, this, [this] { btnViewProtocolClick(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnViewProtocol);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    resize(330, 380);

    try {
        std::vector<duvo::PackageFileRow> rows;
        if (duvo::ListPackageFiles(path, rows)) {
            for (const auto &r : rows)
                new QTreeWidgetItem(ResultView1,
                                    {QString::fromStdString(r.foldername), QString::fromStdString(r.filename)});
            if (ResultView1->topLevelItemCount() > 0) {
                ResultView1->setCurrentItem(ResultView1->topLevelItem(0));
                ResultView1->setFocus();
                btnViewProtocol->setEnabled(static_cast<bool>(duvo::maintenance::ViewProtocol()));
            }
            FPath = path;
        } else {
            FLoadFailed = true;
            duvo::Prompts::message(QStringLiteral("Error during database operation!"), QStringLiteral("Error"),
                                   duvo::Ok, duvo::PromptIcon::Warning);
        }
    } catch (...) {
        FLoadFailed = true;
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
    }
}

void TVDUBrowseForm::btnViewProtocolClick()
{
    QTreeWidgetItem *item = ResultView1->currentItem();
    if (!item || FPath.isEmpty())
        return;
    const std::string folder = item->text(0).toStdString(), file = item->text(1).toStdString();
    std::string protocol;
    if (!duvo::ReadPackageProtocol(FPath, protocol, folder, file)) {
        duvo::Prompts::message(QStringLiteral("Error during database operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        return;
    }
    if (protocol.empty())
        return;
    if (const auto &view = duvo::maintenance::ViewProtocol())
        view(this, protocol, item->text(1));
}
