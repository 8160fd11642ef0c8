#pragma once
// "Cloning  Duvo™ ": the modal window of the copy onto one clone target. Its first timer tick
// makes the source's folders on the target and copies every listed protocol (RunCloneCopy),
// with the action and step lines and "Cancel Cloning"; it closes itself at the end or once
// cancelled. The lists and the cancel flag belong to the clone run and come by reference.

#include "link/NetExchange.h"
#include "maintenance/CloneListing.h"
#include "common/WholeInstrumentJob.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

class TCopyFileForm : public QDialog {
    Q_OBJECT
public:
    TCopyFileForm(QWidget *owner, const QString &sourceIp, const QString &sourceType, const QString &sourceId,
                  const QString &targetIp, const QString &targetType, const QString &targetId,
                  const QString &folderCount, const QString &fileCount, const CloneFolderList &folders,
                  const CloneFileList &files, bool *cancel);
    ~TCopyFileForm() override;

    bool running() const { return FRunning; }

    QLabel *lblSourceIP = nullptr;
    QLabel *lblSourceDevice = nullptr;
    QLabel *lblTargetIP = nullptr;
    QLabel *lblTargetDevice = nullptr;
    QLabel *lblFolders = nullptr;
    QLabel *lblFiles = nullptr;
    QLabel *lblAction = nullptr;
    QLabel *lblDetail = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *Timer1 = nullptr;
    TcpClient TCPClient1;

public slots:
    void btnCancelClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void Timer1Timer();
    void showCancelling();

    std::string FSourceIp, FTargetIp;
    int FFolderTotal = 0, FFileTotal = 0;
    const CloneFolderList &FFolders;
    const CloneFileList &FFiles;
    bool *FCancel;
    bool FOwnCancel = false;
    bool FRunning = false;
    bool FDone = false;
    duvo::DeviceFileOperations FOps{TCPClient1};
};
