#pragma once
// "Personalize Duvo": the current alias and location of one instrument and two edits for new
// ones. OK writes the edits' texts (empty edits give empty texts) to the caller's two texts;
// the device record changes only when the rescan reads the instrument again.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TPersonalDuvoForm : public QDialog {
    Q_OBJECT
public:
    TPersonalDuvoForm(QWidget *owner, const QString &ip, QString *alias, QString *location);

    QLabel *lblName = nullptr;
    QLabel *lblLocation = nullptr;
    QLineEdit *edtName = nullptr;
    QLineEdit *edtLocation = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

public slots:
    void btnOkClick();

private:
    QString *FAlias;
    QString *FLocation;
};
