#include "mainwindow/forms/TPersonalDuvoForm.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPersonalDuvoForm::TPersonalDuvoForm(QWidget *owner, const QString &ip, QString *alias, QString *location)
    : QDialog(owner), FAlias(alias), FLocation(location)
{
    setObjectName(QStringLiteral("PersonalDuvoForm"));
    setWindowTitle(QStringLiteral("Personalize Duvo: ") + ip);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *current = new QGroupBox(QStringLiteral("Current Alias Name && Location"));
    auto *currentForm = new QFormLayout(current);
    lblName = new QLabel(alias && !alias->isEmpty() ? *alias : QStringLiteral("-"));
    lblName->setObjectName(QStringLiteral("lblName"));
    lblLocation = new QLabel(location && !location->isEmpty() ? *location : QStringLiteral("-"));
    lblLocation->setObjectName(QStringLiteral("lblLocation"));
    currentForm->addRow(QStringLiteral("Name:"), lblName);
    currentForm->addRow(QStringLiteral("Location:"), lblLocation);

    auto *enter = new QGroupBox(QStringLiteral("Enter Alias Name && Location"));
    auto *enterForm = new QFormLayout(enter);
    edtName = new QLineEdit;
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setMaxLength(63);
    edtName->setToolTip(QStringLiteral("Give your Duvo a name"));
    edtLocation = new QLineEdit;
    edtLocation->setObjectName(QStringLiteral("edtLocation"));
    edtLocation->setMaxLength(63);
    edtLocation->setToolTip(QStringLiteral("Indicate the location of your Duvo"));
    edtName->setMinimumWidth(260);
    enterForm->addRow(QStringLiteral("Alias Name"), edtName);
    enterForm->addRow(QStringLiteral("Location"), edtLocation);

    btnOk = new QPushButton(QStringLiteral("OK"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TPersonalDuvoForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(current);
    layout->addWidget(enter);
    layout->addLayout(buttons);
    if (owner) {
        adjustSize();
        move(owner->frameGeometry().center() - rect().center());
    }
}

void TPersonalDuvoForm::btnOkClick()
{
    if (FAlias)
        *FAlias = edtName->text();
    if (FLocation)
        *FLocation = edtLocation->text();
    accept();
}
