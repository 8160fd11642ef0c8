#include "maintenance/forms/TBoardInfoForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QGroupBox *boardGroup(const QString &caption, const QString &prefix, const QStringList &texts, QLabel **labels)
{
    auto *group = new QGroupBox(caption);
    auto *form = new QFormLayout(group);
    static const char *const captions[] = {"Name:", "Rev.:", "S/N:", "Code:", "Date:"};
    static const char *const names[] = {"Name", "Revision", "SN", "Code", "Date"};
    for (int i = 0; i < 5; ++i) {
        labels[i] = new QLabel(texts.value(i));
        labels[i]->setObjectName(QStringLiteral("lbl") + prefix + QLatin1String(names[i]));
        labels[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        labels[i]->setMinimumWidth(140);
        form->addRow(QLatin1String(captions[i]), labels[i]);
    }
    return group;
}

} // namespace

TBoardInfoForm::TBoardInfoForm(QWidget *owner, const QString &cpuName, const QString &cpuRevision, const QString &cpuSN,
                               const QString &cpuCode, const QString &cpuDate, const QString &ampName,
                               const QString &ampRevision, const QString &ampSN, const QString &ampCode,
                               const QString &ampDate)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("BoardInfoForm"));
    setWindowTitle(QStringLiteral("Duvo Hardware Information"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QLabel *cpu[5];
    QLabel *amp[5];
    auto *groups = new QHBoxLayout;
    groups->addWidget(boardGroup(QStringLiteral("CPU Board"), QStringLiteral("CPU"),
                                 {cpuName, cpuRevision, cpuSN, cpuCode, cpuDate}, cpu));
    groups->addWidget(boardGroup(QStringLiteral("AMP Board"), QStringLiteral("AMP"),
                                 {ampName, ampRevision, ampSN, ampCode, ampDate}, amp));
    lblCPUName = cpu[0]; lblCPURevision = cpu[1]; lblCPUSN = cpu[2]; lblCPUCode = cpu[3]; lblCPUDate = cpu[4];
    lblAMPName = amp[0]; lblAMPRevision = amp[1]; lblAMPSN = amp[2]; lblAMPCode = amp[3]; lblAMPDate = amp[4];
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
}
