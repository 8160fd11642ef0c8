#include "mainwindow/forms/TDestinationForm.h"
#include "common/Prompts.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "common/forms/DuvoPictures.h"
#include "link/Workstation.h"
#include "mainwindow/DevicePickers.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>
#include <exception>

TDestinationForm *DestinationForm = nullptr;

namespace {
constexpr int RecordRole = Qt::UserRole + 1;

void centreOn(QWidget *w, QWidget *owner)
{
    if (owner && owner->isVisible()) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        w->move(centre - QPoint(w->width() / 2, w->height() / 2));
    }
}
} // namespace

TDestinationForm::TDestinationForm(QWidget *owner, int *outIndex, bool acceptAnyType)
    : QDialog(owner), FOutIndex(outIndex), FAcceptAnyType(acceptAnyType)
{
    DestinationForm = this;
    build();
    fill(-1, true);
}

TDestinationForm::TDestinationForm(QWidget *owner, int *outIndex, int excludedIndex, bool acceptAnyType)
    : QDialog(owner), FOutIndex(outIndex), FExcludedIndex(excludedIndex), FAcceptAnyType(acceptAnyType)
{
    DestinationForm = this;
    build();
    fill(excludedIndex, false);
    if (ListBox1->count() == 0) {
        btnOk->setEnabled(false);
    } else {
        ListBox1->setCurrentRow(0);
        ListBox1Click();
        btnOk->setEnabled(true);
    }
}

TDestinationForm::~TDestinationForm()
{
    if (DestinationForm == this)
        DestinationForm = nullptr;
}

void TDestinationForm::build()
{
    setObjectName(QStringLiteral("DestinationForm"));
    setWindowTitle(QStringLiteral("Select Device"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    GroupBox1 = new QGroupBox(QStringLiteral("Available Devices"), this);
    auto *selectedCaption = new QLabel(QStringLiteral("Selected: "), GroupBox1);
    lblSelected = new QLabel(QStringLiteral("-"), GroupBox1);
    lblSelected->setObjectName(QStringLiteral("lblSelected"));
    QFont bold = lblSelected->font();
    bold.setBold(true);
    lblSelected->setFont(bold);
    btnDuvoDevices = new QPushButton(QStringLiteral("Duvo Devices"), GroupBox1);
    btnDuvoDevices->setObjectName(QStringLiteral("btnDuvoDevices"));
    btnDuvoDevices->setToolTip(QStringLiteral("List of available Duvo Devices"));
    btnDuvoDevices->setIcon(duvo::DirImageList2Icon(0));
    btnDuvoDevices->setFlat(true);
    btnDuvoDevices->setFocusPolicy(Qt::NoFocus);
    ListBox1 = new QListWidget(GroupBox1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setItemDelegate(new duvo::ItemMarkupDelegate(ListBox1));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setMinimumSize(300, 220);

    auto *top = new QHBoxLayout;
    top->addWidget(btnDuvoDevices);
    top->addStretch(1);
    top->addWidget(selectedCaption);
    top->addWidget(lblSelected);
    auto *group = new QVBoxLayout(GroupBox1);
    group->addLayout(top);
    group->addWidget(ListBox1, 1);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1, 1);
    main->addLayout(buttons);

    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 320);
}

void TDestinationForm::fill(int excludedIndex, bool setLabel)
{
    FLoadFailed = false;
    try {
        Workstation *ws = Workstation::current();
        if (!ws)
            return;
        for (const duvo::PickerItem &entry : duvo::PickerItems(ws->FDeviceList, excludedIndex)) {
            auto *item = new QListWidgetItem(entry.text);
            item->setData(RecordRole, entry.recordIndex);
            ListBox1->addItem(item);
        }
        if (setLabel && !ws->FDeviceList.isEmpty())
            lblSelected->setText(QString::fromStdString(ws->FDeviceList.at(0)->ipAddress));
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

int TDestinationForm::recordIndexOf(int row) const
{
    const QListWidgetItem *item = ListBox1->item(row);
    return item ? item->data(RecordRole).toInt() : -1;
}

void TDestinationForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        centreOn(this, parentWidget());
        FormShow();
    }
}

void TDestinationForm::FormShow()
{
    if (ListBox1->count() > 0)
        ListBox1->setCurrentRow(0);
}

void TDestinationForm::ListBox1Click()
{
    Workstation *ws = Workstation::current();
    const int row = ListBox1->currentRow();
    if (!ws || ListBox1->count() == 0 || row < 0)
        return;
    const int index = recordIndexOf(row);
    const DVDEVICEINFO_T *device = ws->FDeviceList.at(index);
    if (!device)
        return;
    lblSelected->setText(QString::fromStdString(device->ipAddress));
    if (FOutIndex)
        *FOutIndex = index;
    btnOk->setEnabled(duvo::PickerOkEnabled(*device, FAcceptAnyType));
}

void TDestinationForm::ListBox1DblClick()
{
    btnOkClick();
}

void TDestinationForm::btnOkClick()
{
    setResult(QDialog::Accepted);
    Workstation *ws = Workstation::current();
    const int row = ListBox1->currentRow();
    if (!ws || ListBox1->count() == 0 || row < 0) {
        accept();
        return;
    }
    const int index = recordIndexOf(row);
    const DVDEVICEINFO_T *device = ws->FDeviceList.at(index);
    if (FOutIndex)
        *FOutIndex = index;
    const duvo::PickRefusal refusal = device ? duvo::PickRefusalOf(*device, FAcceptAnyType) : duvo::PickRefusal::None;
    if (refusal != duvo::PickRefusal::None) {
        duvo::ShowPickRefusal(refusal);
        if (FOutIndex)
            *FOutIndex = -1;
        reject();
        return;
    }
    accept();
}
