#include "mainwindow/forms/TMultiSelForm.h"
#include "common/Prompts.h"
#include "common/forms/DuvoPictures.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "link/Workstation.h"
#include "mainwindow/DevicePickers.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <exception>

TMultiSelForm *MultiSelForm = nullptr;

namespace {
constexpr int RecordRole = Qt::UserRole + 1;
}

TMultiSelForm::TMultiSelForm(QWidget *owner, int *sourceIndex) : QDialog(owner)
{
    MultiSelForm = this;
    FExcludedIndex = sourceIndex ? *sourceIndex : -1;
    build();
    btnOk->setEnabled(false);
    fill();
}

TMultiSelForm::~TMultiSelForm()
{
    if (MultiSelForm == this)
        MultiSelForm = nullptr;
}

void TMultiSelForm::build()
{
    setObjectName(QStringLiteral("MultiSelForm"));
    setWindowTitle(QStringLiteral("Select Target Devices"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    GroupBox1 = new QGroupBox(QStringLiteral("Available Devices"), this);
    btnDuvoDevices = new QPushButton(QStringLiteral("Duvo Devices"), GroupBox1);
    btnDuvoDevices->setObjectName(QStringLiteral("btnDuvoDevices"));
    btnDuvoDevices->setToolTip(QStringLiteral("List of available Duvo Devices"));
    btnDuvoDevices->setIcon(duvo::DirImageList2Icon(0));
    btnDuvoDevices->setFlat(true);
    btnDuvoDevices->setFocusPolicy(Qt::NoFocus);
    ListBox1 = new QListWidget(GroupBox1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("Select Target with a checkmark"));
    ListBox1->setItemDelegate(new duvo::ItemMarkupDelegate(ListBox1));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setMinimumSize(320, 220);
    ListBox1->installEventFilter(this);

    auto *top = new QHBoxLayout;
    top->addWidget(btnDuvoDevices);
    top->addStretch(1);
    auto *group = new QVBoxLayout(GroupBox1);
    group->addLayout(top);
    group->addWidget(ListBox1, 1);

    btnSelectAll = new QPushButton(QStringLiteral("Select All"), this);
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSelectAll);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1, 1);
    main->addLayout(buttons);

    connect(ListBox1, &QListWidget::itemChanged, this, &TMultiSelForm::ListBox1CheckClick);
    connect(btnSelectAll, &QPushButton::clicked, this, &TMultiSelForm::btnSelectAllClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(380, 340);
}

void TMultiSelForm::fill()
{
    FLoadFailed = false;
    try {
        Workstation *ws = Workstation::current();
        if (!ws)
            return;
        const QSignalBlocker block(ListBox1);
        DeviceList &devices = ws->FDeviceList;
        for (const auto &device : devices) {
            device->pickRow = -1;
            device->selected = 0;
        }
        for (const duvo::PickerItem &entry : duvo::PickerItems(devices, FExcludedIndex)) {
            auto *item = new QListWidgetItem(entry.text);
            item->setData(RecordRole, entry.recordIndex);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            ListBox1->addItem(item);
            devices.at(entry.recordIndex)->pickRow = ListBox1->count() - 1;
        }
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

int TMultiSelForm::recordIndexOf(int row) const
{
    const QListWidgetItem *item = ListBox1->item(row);
    return item ? item->data(RecordRole).toInt() : -1;
}

void TMultiSelForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (QWidget *owner = parentWidget(); owner && owner->isVisible())
            move(owner->mapToGlobal(owner->rect().center()) - QPoint(width() / 2, height() / 2));
        FormShow();
    }
}

void TMultiSelForm::FormShow()
{
    if (ListBox1->count() == 0) {
        btnSelectAll->setEnabled(false);
        return;
    }
    ListBox1->setCurrentRow(0);
    btnSelectAll->setEnabled(true);
}

void TMultiSelForm::ListBox1CheckClick(QListWidgetItem *item)
{
    Workstation *ws = Workstation::current();
    if (!ws || ws->FDeviceList.isEmpty() || !item || FApplying)
        return;
    FApplying = true;
    DVDEVICEINFO_T *device = ws->FDeviceList.at(item->data(RecordRole).toInt());
    if (device) {
        if (item->checkState() == Qt::Checked) {
            if (duvo::MultiPickAllowed(*device)) {
                device->selected = 1;
            } else {
                device->selected = 0;
                item->setCheckState(Qt::Unchecked);
            }
        } else {
            device->selected = 0;
        }
    }
    FApplying = false;
    updateOk();
}

void TMultiSelForm::updateOk()
{
    bool any = false;
    for (int i = 0; i < ListBox1->count() && !any; ++i)
        any = ListBox1->item(i)->checkState() == Qt::Checked;
    btnOk->setEnabled(any);
}

void TMultiSelForm::btnSelectAllClick()
{
    if (ListBox1->count() == 0)
        return;
    const int remembered = ListBox1->currentRow();
    const bool selectAll = btnSelectAll->text() == QLatin1String("Select All");
    for (int i = 0; i < ListBox1->count(); ++i) {
        ListBox1->setCurrentRow(i);
        QListWidgetItem *item = ListBox1->item(i);
        const Qt::CheckState wanted = selectAll ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != wanted)
            item->setCheckState(wanted);  // itemChanged runs ListBox1CheckClick
        else
            ListBox1CheckClick(item);
    }
    btnSelectAll->setText(selectAll ? QStringLiteral("Unselect All") : QStringLiteral("Select All"));
    ListBox1->setCurrentRow(remembered);
}

bool TMultiSelForm::ListBox1KeyDown(QKeyEvent *)
{
    return false;
}

bool TMultiSelForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress)
        return ListBox1KeyDown(static_cast<QKeyEvent *>(event));
    return QDialog::eventFilter(watched, event);
}
