#pragma once
// The picker of several target devices (MultiSelForm): a check list of the devices of the
// device list but the source. The choice lives in the records: every record's pickRow is its
// item (-1 for none) and selected is 1 for a checked device. Only idle devices without the old
// firmware keep a check mark; the others lose it at once.
//
//   int source = -1;
//   TMultiSelForm picker(this, &source);
//   if (picker.exec() == QDialog::Accepted) ... records with selected == 1 ...

#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

class QKeyEvent;

class TMultiSelForm : public QDialog {
    Q_OBJECT
public:
    TMultiSelForm(QWidget *owner, int *sourceIndex);
    ~TMultiSelForm() override;

    bool loadFailed() const { return FLoadFailed; }
    int excludedIndex() const { return FExcludedIndex; }
    // The device-list index an item stands for (-1 for none).
    int recordIndexOf(int row) const;

    QGroupBox *GroupBox1 = nullptr;
    QPushButton *btnDuvoDevices = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnSelectAll = nullptr;

public slots:
    // The check mark of an item changed (by mouse, Space or Select All): applies the rules to
    // that item, which need not be the current one.
    void ListBox1CheckClick(QListWidgetItem *item);
    void btnSelectAllClick();
    void FormShow();

public:
    // Space on the list: the view's delegate toggles the current item's check mark itself
    // (and ListBox1CheckClick follows from that change), so this only lets the key through.
    bool ListBox1KeyDown(QKeyEvent *event);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void fill();
    void updateOk();

    bool FLoadFailed = false;
    int FExcludedIndex = -1;
    bool FApplying = false;
};

// The last several-device picker constructed (cleared when it is deleted).
extern TMultiSelForm *MultiSelForm;
