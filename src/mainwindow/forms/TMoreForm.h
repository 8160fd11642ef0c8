#pragma once
// The version list (MoreForm, "Version"): the program's and the database library's versions.

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

class TMoreForm : public QDialog {
    Q_OBJECT
public:
    explicit TMoreForm(QWidget *owner);

    QTreeWidget *VersionView1 = nullptr;
    QPushButton *btnOk = nullptr;

private:
    void load();
};
