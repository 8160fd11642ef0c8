#include "maintenance/forms/TFWMgrForm.h"

#include "common/Prompts.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "link/Workstation.h"
#include "maintenance/FirmwareManager.h"
#include "maintenance/forms/TBoardInfoForm.h"
#include "maintenance/forms/TFlashForm.h"
#include "maintenance/forms/TWaitForm.h"
#include "protocols/DeviceFileOperations.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

TFWMgrForm *FWMgrForm = nullptr;

namespace {

constexpr int RecordRole = Qt::UserRole + 1;

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

void errorBox(const QString &message)
{
    duvo::Prompts::message(message, QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Warning);
}

QString hint(const QString &title, const QString &note = {})
{
    return note.isEmpty() ? QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped())
                          : QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), note.toHtmlEscaped());
}

} // namespace

TFWMgrForm::TFWMgrForm(QWidget *owner) : QDialog(owner), FWorkstation(Workstation::current())
{
    setObjectName(QStringLiteral("FWMgrForm"));
    setWindowTitle(QStringLiteral("Duvo Firmware Manager"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    FWMgrForm = this;
    try {
        ListBox1 = new QListWidget;
        ListBox1->setObjectName(QStringLiteral("ListBox1"));
        ListBox1->setMinimumWidth(230);
        ListBox1->setSpacing(2);
        ListBox1->setItemDelegate(new duvo::ItemMarkupDelegate(ListBox1));

        auto *details = new QGroupBox(QStringLiteral("Selected Device"));
        auto *form = new QFormLayout(details);
        auto value = [form](const QString &caption, const char *name) {
            auto *l = new QLabel(QStringLiteral("-"));
            l->setObjectName(QLatin1String(name));
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(caption, l);
            return l;
        };
        lblName = value(QStringLiteral("ID:"), "lblName");
        lblType = value(QStringLiteral("TYPE:"), "lblType");
        lblIP = value(QStringLiteral("IP:"), "lblIP");
        lblMac = value(QStringLiteral("MAC ADDRESS:"), "lblMac");
        lblAlias = value(QStringLiteral("ALIAS:"), "lblAlias");
        lblLocation = value(QStringLiteral("LOCATION:"), "lblLocation");
        lblSN = value(QStringLiteral("SERIAL NUMBER:"), "lblSN");
        lblFW = value(QStringLiteral("FIRMWARE VERSION:"), "lblFW");
        btnMore = new QPushButton(QStringLiteral("More..."));
        btnMore->setObjectName(QStringLiteral("btnMore"));
        btnMore->setAutoDefault(false);
        auto *moreRow = new QHBoxLayout;
        moreRow->addStretch();
        moreRow->addWidget(btnMore);
        form->addRow(moreRow);

        lblSelected = new QLabel(QStringLiteral("Selected: "));
        lblSelected->setObjectName(QStringLiteral("lblSelected"));
        QFont bold = lblSelected->font();
        bold.setBold(true);
        lblSelected->setFont(bold);

        auto *imageGroup = new QGroupBox(QStringLiteral("Firmware Filename"));
        auto *imageLayout = new QVBoxLayout(imageGroup);
        FWEdit1 = new QLineEdit;
        FWEdit1->setObjectName(QStringLiteral("FWEdit1"));
        FWEdit1->setToolTip(hint(QStringLiteral("Select the Firmware file for flashing")));
        FWEdit1Browse = new QToolButton;
        FWEdit1Browse->setObjectName(QStringLiteral("FWEdit1Browse"));
        FWEdit1Browse->setText(QStringLiteral("..."));
        auto *editRow = new QHBoxLayout;
        editRow->addWidget(FWEdit1, 1);
        editRow->addWidget(FWEdit1Browse);
        imageLayout->addLayout(editRow);
        auto *imageInfo = new QFormLayout;
        lblVersion = new QLabel;
        lblVersion->setObjectName(QStringLiteral("lblVersion"));
        lblVerType = new QLabel;
        lblVerType->setObjectName(QStringLiteral("lblVerType"));
        imageInfo->addRow(QStringLiteral("Firmware Version:"), lblVersion);
        imageInfo->addRow(QStringLiteral("Firmware Type:"), lblVerType);
        imageLayout->addLayout(imageInfo);
        BulkBox1 = new QCheckBox(QStringLiteral("Batch Update All"));
        BulkBox1->setObjectName(QStringLiteral("BulkBox1"));
        BulkBox1->setToolTip(hint(QStringLiteral("Updates all devices of the same type")));
        ForceBox1 = new QCheckBox(QStringLiteral("Force Flash Update"));
        ForceBox1->setObjectName(QStringLiteral("ForceBox1"));
        ForceBox1->setToolTip(hint(QStringLiteral("Forces Flash update of unknown device")));
        auto *boxes = new QHBoxLayout;
        boxes->addWidget(BulkBox1);
        boxes->addWidget(ForceBox1);
        boxes->addStretch();
        imageLayout->addLayout(boxes);

        btnOk = new QPushButton(QStringLiteral("Update Device"));
        btnOk->setObjectName(QStringLiteral("btnOk"));
        btnCancel = new QPushButton(QStringLiteral("Close"));
        btnCancel->setObjectName(QStringLiteral("btnCancel"));
        for (QPushButton *b : {btnOk, btnCancel})
            b->setAutoDefault(false);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(btnOk);
        buttons->addWidget(btnCancel);

        auto *right = new QVBoxLayout;
        right->addWidget(details);
        right->addWidget(lblSelected);
        right->addWidget(imageGroup);
        right->addStretch();
        right->addLayout(buttons);
        auto *layout = new QHBoxLayout(this);
        layout->addWidget(ListBox1, 1);
        layout->addLayout(right, 2);
        resize(720, 470);

        connect(ListBox1, &QListWidget::currentRowChanged, this, &TFWMgrForm::ListBox1Click);
        connect(btnMore, &QPushButton::clicked, this, &TFWMgrForm::btnMoreClick);
        connect(FWEdit1, &QLineEdit::editingFinished, this, [this] {
            if (FWEdit1->isModified()) {
                FWEdit1->setModified(false);
                FWEdit1Change();
            }
        });
        connect(FWEdit1Browse, &QToolButton::clicked, this, &TFWMgrForm::browse);
        connect(ForceBox1, &QCheckBox::clicked, this, &TFWMgrForm::ForceBox1Click);
        connect(btnOk, &QPushButton::clicked, this, &TFWMgrForm::btnOkClick);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

        buildRows();
        if (!FRows.empty())
            showRecord(FRows.front());
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

void TFWMgrForm::buildRows()
{
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    FRows = FirmwareRows(FWorkstation->FDeviceList);
    for (const int index : FRows) {
        const DVDEVICEINFO_T &d = *FWorkstation->FDeviceList.at(index);
        const QString markup = FirmwareRowText(d);
        auto *item = new QListWidgetItem(markup);
        item->setData(RecordRole, index);
        ListBox1->addItem(item);
    }
}

void TFWMgrForm::showRecord(int recordIndex)
{
    const DVDEVICEINFO_T *d = FWorkstation->FDeviceList.at(recordIndex);
    if (!d)
        return;
    lblName->setText(text(d->deviceId));
    lblType->setText(text(d->typeText));
    lblIP->setText(text(d->ipAddress));
    lblMac->setText(text(d->macText));
    lblAlias->setText(text(d->alias));
    lblLocation->setText(text(d->location));
    lblSN->setText(text(d->serialNumber));
    lblFW->setText(text(d->firmware));
    for (int i = 0; i < 5; ++i) {
        FBoard[i] = text(d->board0[static_cast<size_t>(i + 1)]);
        FBoard[5 + i] = text(d->board1[static_cast<size_t>(i + 1)]);
    }
    lblSelected->setText(QStringLiteral("Selected: ") + text(d->ipAddress));
}

void TFWMgrForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TFWMgrForm::FormShow()
{
    if (ListBox1->count() > 0)
        ListBox1->setCurrentRow(0);
    btnOk->setEnabled(false);
    BulkBox1->setEnabled(FWorkstation->FDeviceList.Count() >= 2);
}

void TFWMgrForm::ListBox1Click()
{
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= static_cast<int>(FRows.size()))
        return;
    showRecord(FRows[static_cast<size_t>(row)]);
}

void TFWMgrForm::browse()
{
    const auto path = duvo::Prompts::openFile(QStringLiteral("Duvo Firmware"), QFileInfo(FWEdit1->text()).absolutePath(),
                                              QStringLiteral("Firmware Files (*.s19)"));
    if (!path)
        return;
    FWEdit1->setText(*path);
    FWEdit1Change();
}

void TFWMgrForm::FWEdit1Change()
{
    btnOk->setEnabled(false);
    const FirmwareImageCheck check = CheckFirmwareImage(FWEdit1->text());
    if (!check.error.isEmpty()) {
        errorBox(check.error);
        return;
    }
    lblVersion->setText(check.version);
    lblVerType->setText(check.typeText);
    FFamily = check.family;
    btnOk->setEnabled(check.usable() && ListBox1->count() > 0);
}

void TFWMgrForm::ForceBox1Click()
{
    if (ForceBox1->isChecked())
        duvo::Prompts::message(QStringLiteral("This option forces flashing of the selected Firmware regardless of Device type!"),
                               QStringLiteral("Warning"), duvo::Ok, duvo::PromptIcon::Warning);
}

void TFWMgrForm::btnOkClick()
{
    const bool batch = BulkBox1->isEnabled() && BulkBox1->isChecked();
    const bool force = ForceBox1->isChecked();
    const int row = ListBox1->currentRow();
    QString content;
    if (batch)
        content = QStringLiteral("All available devices of the same type will be updated");
    else if (ListBox1->count() == 0)
        content = QStringLiteral("Updating Device: ?");
    else
        content = QStringLiteral("Updating Device: ") + (row >= 0 ? duvo::ListItemPlainText(ListBox1->item(row)->text()) : QString());
    const int answer = FWorkstation->TaskDialog1.Show(
        duvo::Yes | duvo::No, duvo::PromptIcon::Question,
        batch ? QStringLiteral("Batch Firmware Update") : QStringLiteral("Firmware Update"),
        QStringLiteral("Do you want to update the firmware?"), content);
    if (answer != duvo::Yes)
        return;

    const QString image = FWEdit1->text();
    if (!image.isEmpty()) {
        if (!QFileInfo(image).isFile()) {
            errorBox(QStringLiteral("Can not find selected Firmware file!"));
            return;
        }
        if (!image.endsWith(QLatin1String(".s19"))) {
            errorBox(QStringLiteral("Filename extension is not for a valid Firmware file!"));
            return;
        }
    }

    DeviceList &devices = FWorkstation->FDeviceList;
    const uint64_t generation = devices.generation();
    const FirmwarePlan plan = PlanFirmwareUpdate(devices, FRows, row, batch, force, FFamily);
    if (!plan.refusal.isEmpty()) {
        errorBox(plan.refusal);
        return;
    }
    for (const FirmwareVisit &visit : plan.visits) {
        const DVDEVICEINFO_T *d = devices.generation() == generation ? devices.at(visit.recordIndex) : nullptr;
        if (!d)
            break;
        const QString address = text(d->ipAddress);
        if (!d->isIdle()) {
            duvo::Prompts::message(QStringLiteral("The Device ") + address +
                                       QStringLiteral(" seems to be active.  Stop the Device and try again!"),
                                   QStringLiteral("Duvo Firmware Manager"), duvo::Ok, duvo::PromptIcon::Warning);
            continue;
        }
        QString codeText;
        char errorFlag = 0;
        char cancelBatch = 0;
        {
            TFlashForm flash(this, image, address, visit.progress, &errorFlag, &codeText, &cancelBatch, batch);
            flash.exec();
        }
        if (errorFlag) {
            errorBox(FlashErrorText(codeText.toInt()) + QStringLiteral(". Code: ") + codeText +
                     QStringLiteral(" while updating: ") + address);
            if (batch && duvo::Prompts::message(QStringLiteral("Continue with Batch Update?"), QStringLiteral("Firmware Update"),
                                                duvo::Ok | duvo::Cancel, duvo::PromptIcon::Question) != duvo::Ok) {
                RefreshDeviceList();
                return;
            }
        }
        if (cancelBatch) {
            RefreshDeviceList();
            return;
        }
    }
    RefreshDeviceList();
}

void TFWMgrForm::btnMoreClick()
{
    TBoardInfoForm info(this, FBoard[0], FBoard[1], FBoard[2], FBoard[3], FBoard[4], FBoard[5], FBoard[6], FBoard[7],
                        FBoard[8], FBoard[9]);
    info.exec();
}

void TFWMgrForm::RefreshDeviceList()
{
    {
        TWaitForm wait(this);
        wait.exec();
    }
    hide();
    FWorkstation->RescanDevices();
    show();
    const QString selected = lblSelected->text();
    buildRows();
    if (!FRows.empty())
        showRecord(FRows.front());
    if (ListBox1->count() > 0) {
        const QSignalBlocker block(ListBox1);
        ListBox1->setCurrentRow(0);
    }
    lblSelected->setText(selected);
}
