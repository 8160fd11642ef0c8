#pragma once
// The picker of one device (DestinationForm): lists the devices of the device list and returns
// the chosen one's index through the caller's variable. The caller shows it modally (OK: the
// index is set) and deletes it. A device that reports an error, or an old-firmware device
// unless acceptAnyType, is refused with a task dialog: Cancel and an index of -1.
//
//   int index = -1;
//   TDestinationForm picker(this, &index, false);
//   if (picker.exec() == QDialog::Accepted) ... FDeviceList[index] ...

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

class TDestinationForm : public QDialog {
    Q_OBJECT
public:
    // Offers every device.
    TDestinationForm(QWidget *owner, int *outIndex, bool acceptAnyType);
    // Offers every device but the one at excludedIndex; item 0 is chosen at once.
    TDestinationForm(QWidget *owner, int *outIndex, int excludedIndex, bool acceptAnyType);
    ~TDestinationForm() override;

    bool loadFailed() const { return FLoadFailed; }
    // The device-list index an item stands for (-1 for none).
    int recordIndexOf(int row) const;

    QGroupBox *GroupBox1 = nullptr;
    QLabel *lblSelected = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *btnDuvoDevices = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

public slots:
    void ListBox1Click();
    void ListBox1DblClick();
    void btnOkClick();
    void FormShow();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void fill(int excludedIndex, bool setLabel);

    bool FLoadFailed = false;
    int *FOutIndex = nullptr;
    int FExcludedIndex = -1;
    bool FAcceptAnyType = false;
};

// The last single-device picker constructed (cleared when it is deleted).
extern TDestinationForm *DestinationForm;
