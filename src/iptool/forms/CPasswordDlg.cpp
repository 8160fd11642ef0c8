#include "iptool/forms/CPasswordDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace duvo::iptool {

CPasswordDlg::CPasswordDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CPasswordDlg"));
    setWindowTitle(QStringLiteral("Username  and password required"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(
        "This unit is password protected. Please enter a user name and password."), this));
    auto *form = new QFormLayout;
    FUserName = new QLineEdit(this);
    FUserName->setObjectName(QStringLiteral("editUserName"));
    FPassword = new QLineEdit(this);
    FPassword->setObjectName(QStringLiteral("editPassword"));
    FPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("UserName:"), FUserName);
    form->addRow(QStringLiteral("Password:"), FPassword);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral(
        "If the Username or Password is wrong, you will not receive a failure notification."), this));
    layout->addWidget(new QLabel(QStringLiteral(
        "The only way to confirm that the set worked is to view the results."), this));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CPasswordDlg::userName() const
{
    return FUserName->text();
}

QString CPasswordDlg::password() const
{
    return FPassword->text();
}

} // namespace duvo::iptool
