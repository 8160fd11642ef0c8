#pragma once
// "Details": the optional owner name (at most 35 characters) and description of a new virtual
// data file. OK copies both into the caller's texts; the window has no close box, and any
// other end leaves the texts as they were.

#include <QDialog>

class QLineEdit;
class QPushButton;

class TVDUInfoForm : public QDialog {
    Q_OBJECT
public:
    TVDUInfoForm(QWidget *owner, QString *userName, QString *description);

    QLineEdit *edtUserName = nullptr;
    QLineEdit *edtDescription = nullptr;
    QPushButton *btnOk = nullptr;

public slots:
    void btnOkClick();

private:
    QString *FUserName;
    QString *FDescription;
};
