#pragma once
// Folder security (ChangePWForm): lists the folders of one instrument 500 ms after it opens
// and sets, changes or clears the password of the chosen folder: the current password is
// asked first (CheckFolderPassword), then the new one in the folder dialog's security mode,
// then it is sent (SetFolderPassword; an empty password clears it). SYSTEM, SHARED and RECENT
// take no password. The list is not read again afterwards.
//
// Its exchanges go through its own client; the window takes no input while one runs, and
// closing it stops the exchange in flight.

#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

class TChangePWForm : public QDialog {
    Q_OBJECT
public:
    TChangePWForm(QWidget *owner, const QString &ip, const QString &id);
    ~TChangePWForm() override;

    bool loadFailed() const { return FLoadFailed; }
    const QString &ip() const { return FIP; }
    const QString &id() const { return FID; }

    QGroupBox *grpDuvoFolder = nullptr;
    QListWidget *ListBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblFolder = nullptr;
    QPushButton *btnSetPW = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer Timer1;

    TcpClient TCPClient1;
    duvo::DeviceFileOperations &operations() { return FOps; }

public slots:
    void Timer1Timer();
    void ListBox1Click();
    void btnSetPWClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void build();
    bool stopping() const { return FClosing || TCPClient1.aborted(); }

    QString FIP, FID;
    bool FLoadFailed = false;
    bool FClosing = false;
    bool FLoading = false;  // the list is being filled: selecting item 0 is no click
    duvo::DeviceFileOperations FOps{TCPClient1};
};
