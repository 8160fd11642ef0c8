#pragma once
// The firmware manager: the instruments of the device list with their details, the check of
// a chosen ".s19" image, and the update of one instrument, of every instrument of the image's
// family (batch) or of instruments whatever their type (forced), one modal TFlashForm each.
// Afterwards it waits for the instruments to restart, rescans and rebuilds its list.

#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class Workstation;

class TFWMgrForm : public QDialog {
    Q_OBJECT
public:
    explicit TFWMgrForm(QWidget *owner);
    bool loadFailed() const { return FLoadFailed; }

    QListWidget *ListBox1 = nullptr;
    QLabel *lblName = nullptr, *lblType = nullptr, *lblIP = nullptr, *lblMac = nullptr, *lblAlias = nullptr,
           *lblLocation = nullptr, *lblSN = nullptr, *lblFW = nullptr, *lblSelected = nullptr;
    QPushButton *btnMore = nullptr;
    QLineEdit *FWEdit1 = nullptr;
    QToolButton *FWEdit1Browse = nullptr;
    QLabel *lblVersion = nullptr, *lblVerType = nullptr;
    QCheckBox *BulkBox1 = nullptr;
    QCheckBox *ForceBox1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

    QString imageFamily() const { return FFamily; }
    // The record index of each row.
    const std::vector<int> &rowRecords() const { return FRows; }

public slots:
    void FormShow();
    void ListBox1Click();
    void FWEdit1Change();
    void ForceBox1Click();
    void btnOkClick();
    void btnMoreClick();
    void RefreshDeviceList();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildRows();
    void showRecord(int recordIndex);
    void browse();

    Workstation *FWorkstation;
    std::vector<int> FRows;
    QString FBoard[10];
    QString FFamily;
    bool FLoadFailed = false;
    bool FShown = false;
};

extern TFWMgrForm *FWMgrForm;
