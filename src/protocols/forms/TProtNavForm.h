#pragma once
// The protocol navigator (ProtNavForm): chooses, on one instrument, the folder and protocol
// file of a run. Lists the folders 500 ms after it opens and the protocols of the chosen
// folder; "View" shows a protocol in the editor, "Duvo Network" opens the network protocol
// browser and "Open Folders" the load-from-disk manager, after each of which the folders are
// listed again. OK writes the chosen folder and file to the caller's texts.
//
// Its exchanges go through its own client; the window takes no input while one runs, and
// closing it stops the exchange in flight (nothing more is sent, no box comes from it).

#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

class TProtNavForm : public QDialog {
    Q_OBJECT
public:
    TProtNavForm(QWidget *owner, const QString &ip, const QString &id, QString *outFolder, QString *outFile);
    ~TProtNavForm() override;

    bool loadFailed() const { return FLoadFailed; }
    const QString &ip() const { return FIP; }
    const QString &id() const { return FID; }

    QGroupBox *grpDuvoFolder = nullptr;
    QGroupBox *grpProtocolFiles = nullptr;
    QListWidget *ListBox1 = nullptr;  // folders
    QListWidget *ListBox2 = nullptr;  // protocols of the chosen folder
    QLabel *lblFolder = nullptr;
    QLabel *lblSelected = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnBrowse = nullptr;
    QPushButton *btnLoadFromDisk = nullptr;
    QTimer Timer1;

    TcpClient TCPClient1;
    duvo::DeviceFileOperations &operations() { return FOps; }

public slots:
    void Timer1Timer();
    void ListBox1Click();
    void ListBox2Click();
    void btnOkClick();
    void btnViewProtocolClick();
    void btnBrowseClick();
    void btnLoadFromDiskClick();

public:
    // Lists the folders and the first folder's protocols (after the timer, the browser and
    // the disk manager).
    void LoadFolders();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void build();
    void listFiles(const QString &folder);
    bool stopping() const { return FClosing || TCPClient1.aborted(); }
    void stopExchanges();

    QString FIP, FID;
    QString *FOutFolder = nullptr;
    QString *FOutFile = nullptr;
    bool FLoadFailed = false;
    bool FClosing = false;
    duvo::DeviceFileOperations FOps{TCPClient1};
};

// The last navigator constructed (cleared when it is deleted).
extern TProtNavForm *ProtNavForm;
