#include "maintenance/forms/TVDUInfoForm.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TVDUInfoForm::TVDUInfoForm(QWidget *owner, QString *userName, QString *description)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FUserName(userName), FDescription(description)
{
    setObjectName(QStringLiteral("VDUInfoForm"));
    setWindowTitle(QStringLiteral("Details"));
    setModal(true);
    auto *group = new QGroupBox(QStringLiteral("Optional"), this);
    edtUserName = new QLineEdit(group);
    edtUserName->setObjectName(QStringLiteral("edtUserName"));
    edtUserName->setMaxLength(35);
    edtDescription = new QLineEdit(group);
    edtDescription->setObjectName(QStringLiteral("edtDescription"));
    auto *form = new QFormLayout(group);
    form->addRow(QStringLiteral("Owner or User Name"), edtUserName);
    form->addRow(QStringLiteral("Description"), edtDescription);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TVDUInfoForm::btnOkClick);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumWidth(380);
    adjustSize();
}

void TVDUInfoForm::btnOkClick()
{
    if (FUserName)
        *FUserName = edtUserName->text();
    if (FDescription)
        *FDescription = edtDescription->text();
    accept();
}
