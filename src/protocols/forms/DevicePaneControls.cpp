#include "protocols/forms/DevicePaneControls.h"

#include "link/DeviceRecord.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

bool DeviceIdle(const DVDEVICEINFO_T &device)
{
    return device.isIdle();
}

namespace {

QLabel *valueLabel(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(QStringLiteral("-"), parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QToolButton *glowButton(QWidget *parent, const QString &name, QStyle::StandardPixmap icon, const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(true);
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setEnabled(false);
    return b;
}

} // namespace

DevicePaneControls::DevicePaneControls(QGroupBox *box, const QString &role, const QStringList &names,
                                       bool withSelectAll, bool withSave, QObject *parent)
    : QObject(parent)
{
    auto *outer = new QVBoxLayout(box);

    instrumentBox = new QGroupBox(role, box);
    instrumentBox->setObjectName(names.value(0));
    auto *grid = new QGridLayout(instrumentBox);
    grid->addWidget(new QLabel(QStringLiteral("Type: "), instrumentBox), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("ID: "), instrumentBox), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("IP: "), instrumentBox), 2, 0);
    lblType = valueLabel(instrumentBox, names.value(1));
    lblName = valueLabel(instrumentBox, names.value(2));
    lblIP = valueLabel(instrumentBox, names.value(3));
    grid->addWidget(lblType, 0, 1);
    grid->addWidget(lblName, 1, 1);
    grid->addWidget(lblIP, 2, 1);
    grid->setColumnStretch(1, 1);
    btnChoose = new QPushButton(QStringLiteral("Select ") + role, instrumentBox);
    btnChoose->setObjectName(names.value(4));
    grid->addWidget(btnChoose, 0, 2, 3, 1, Qt::AlignVCenter);
    outer->addWidget(instrumentBox);

    lblWorkFolder = new QLabel(QStringLiteral("-"), box);
    lblWorkFolder->setObjectName(names.value(5));
    QFont bold = lblWorkFolder->font();
    bold.setBold(true);
    lblWorkFolder->setFont(bold);
    outer->addWidget(lblWorkFolder);

    list = new ProtocolPaneView(box);
    list->setObjectName(names.value(6));
    list->setToolTip(QStringLiteral("Select with checkmark items to copy"));
    list->setMinimumHeight(260);
    list->bind(&model);
    outer->addWidget(list, 1);
    connect(&model, &duvo::ProtocolPaneModel::folderTextChanged, lblWorkFolder, &QLabel::setText);

    auto *row = new QHBoxLayout;
    if (withSelectAll) {
        btnSelectAll = new QPushButton(QStringLiteral("Select All"), box);
        btnSelectAll->setObjectName(names.value(7));
        btnSelectAll->setMinimumWidth(btnSelectAll->fontMetrics().horizontalAdvance(QStringLiteral("Unselect All")) + 24);
        row->addWidget(btnSelectAll);
    }
    row->addStretch(1);
    btnEdit = glowButton(box, names.value(8), QStyle::SP_FileDialogContentsView, QStringLiteral("View Protocol File"));
    btnDelFile = glowButton(box, names.value(9), QStyle::SP_TrashIcon, QStringLiteral("Delete Protocol File"));
    row->addWidget(btnEdit);
    row->addWidget(btnDelFile);
    if (withSave) {
        btnSaveFile = glowButton(box, names.value(10), QStyle::SP_DialogSaveButton,
                                 QStringLiteral("Save Protocol File to Disk"));
        row->addWidget(btnSaveFile);
    }
    btnNewDir = glowButton(box, names.value(11), QStyle::SP_FileDialogNewFolder, QStringLiteral("Create New Folder"));
    btnDelDir = glowButton(box, names.value(12), QStyle::SP_DialogDiscardButton, QStringLiteral("Delete Folder"));
    row->addWidget(btnNewDir);
    row->addWidget(btnDelDir);
    outer->addLayout(row);
}

void DevicePaneControls::setInstrument(const DVDEVICEINFO_T &device)
{
    ip = QString::fromStdString(device.ipAddress);
    id = QString::fromStdString(device.deviceId);
    type = QString::fromStdString(device.typeText);
    lblType->setText(type);
    lblName->setText(id);
    lblIP->setText(ip);
}

void DevicePaneControls::setFileButtons(bool on)
{
    btnEdit->setEnabled(on);
    btnDelFile->setEnabled(on);
    if (btnSaveFile)
        btnSaveFile->setEnabled(on);
}

void DevicePaneControls::rootButtons()
{
    setFileButtons(false);
    btnNewDir->setEnabled(true);
    btnDelDir->setEnabled(false);
}

void DevicePaneControls::folderButtons()
{
    setFileButtons(false);
    btnNewDir->setEnabled(false);
    btnDelDir->setEnabled(false);
}

void DevicePaneControls::clickRule()
{
    if (model.isEmpty() || !model.hasSelection())
        return;
    const QString text = model.itemText(model.selected());
    if (model.atRoot()) {
        btnNewDir->setEnabled(true);
        btnDelDir->setEnabled(text != QLatin1String("SHARED") && text != QLatin1String("SYSTEM"));
    } else {
        setFileButtons(text != QLatin1String(".."));
    }
}
