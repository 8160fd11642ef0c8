#pragma once
// "Clone Duvo": shows the source instrument and the picked targets (the records whose
// selected mark is 1), lists the source's folders, passwords and protocol files 500 ms after
// it opens, and on "Start Cloning" formats each target silently and fills it through
// TCopyFileForm. SV cyclers are listed but neither formatted nor filled. Closing the window
// clears every record's pick marks.
//
//     int source = index;   // targets already marked by the multiple-target picker
//     TCloneForm f(this, &source);
//     f.exec();

#include "link/NetExchange.h"
#include "maintenance/CloneListing.h"

#include <QDialog>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class TFormatForm;

class TCloneForm : public QDialog {
    Q_OBJECT
public:
    TCloneForm(QWidget *owner, int *sourceIndex);
    ~TCloneForm() override;

    const duvo::CloneListing &listing() const { return FListing; }
    bool listed() const { return FListed; }
    bool loadFailed() const { return FLoadFailed; }
    // Tests: called with each format window before it runs (e.g. to shorten its time-out).
    std::function<void(TFormatForm &)> onFormat;

    QLabel *lblIP = nullptr;
    QLabel *lblName = nullptr;
    QLabel *lblType = nullptr;
    QLabel *lblFolders = nullptr;
    QLabel *lblFiles = nullptr;
    QLabel *lblAction = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *btnClone = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *Timer1 = nullptr;
    TcpClient TCPClient1;

    // The item text of a target in the list ("" for a type that is not listed).
    static QString TargetItemText(const std::string &type, const std::string &ip, const std::string &id);

public slots:
    void btnCloneClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void Timer1Timer();
    bool busy() const { return FListingRun || FCloning; }

    int FSourceIndex = -1;
    std::string FSourceIp, FSourceType, FSourceId;
    duvo::CloneListing FListing;
    bool FListed = false;
    bool FListingRun = false;
    bool FCloning = false;
    bool FLoadFailed = false;
    bool FCloseRequested = false;
    bool FCancel = false;
};
