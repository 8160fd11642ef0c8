#pragma once
// The user name and password box for a password-protected module.

#include <QDialog>

class QLineEdit;

namespace duvo::iptool {

class CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPasswordDlg(QWidget *parent = nullptr);
    QString userName() const;
    QString password() const;

private:
    QLineEdit *FUserName;
    QLineEdit *FPassword;
};

} // namespace duvo::iptool
