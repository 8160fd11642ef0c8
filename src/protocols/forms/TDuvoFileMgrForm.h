#pragma once
// The network protocol browser (DuvoFileMgrForm): a tree of every instrument of the device
// list with its folders and protocol files, built 500 ms after the window opens. "View
// Protocol" shows a file node's protocol in the editor, "Copy Files" opens the copy manager
// (and builds the tree again afterwards), "Search" opens TSearchForm over the file records.
//
// Each file node has a VLMGRFILES_T record in FFileRecords; every node keeps its pre-order
// index (NodeIndexRole). The window takes no input while the tree is built or a protocol is
// fetched; closing it stops the build after the exchange in flight (nothing more is sent, no
// box comes from the closed window).

#include "link/NetExchange.h"
#include "protocols/BrowseItems.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <vector>

class TDuvoFileMgrForm : public QDialog {
    Q_OBJECT
public:
    // The role of a node's pre-order index.
    static constexpr int NodeIndexRole = Qt::UserRole + 1;

    TDuvoFileMgrForm(QWidget *owner, const QString &ip);
    ~TDuvoFileMgrForm() override;

    bool loadFailed() const { return FLoadFailed; }
    bool building() const { return FBuilding; }

    QTreeWidget *DuvoTree1 = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QPushButton *btnSearchProtocol = nullptr;
    QPushButton *btnCopyDBDuvo = nullptr;
    QPushButton *btnClose = nullptr;
    QLabel *txtInfo1 = nullptr;
    QTimer Timer1;

    QString FCopyTargetIP;
    std::vector<duvo::VLMGRFILES_T> FFileRecords;
    int FSelectedIndex = -1;
    TcpClient TCPClient1;
    duvo::DeviceFileOperations &operations() { return FOps; }

    // Builds the tree of the device list's instruments (timer, and after a copy).
    void BuildNetworkTree();
    // The folders and files of one instrument under its node.
    void AddDeviceFolders(QTreeWidgetItem *instrumentNode, const std::string &ip);

public slots:
    void Timer1Timer();
    void DuvoTree1Click();
    void btnViewProtocolClick();
    void btnCopyDBDuvoClick();
    void btnSearchProtocolClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void build();
    bool stopping() const { return FClosing || TCPClient1.aborted(); }
    void stopExchanges();
    QTreeWidgetItem *newNode(const QString &text);

    bool FLoadFailed = false;
    bool FBuilding = false;
    bool FClosing = false;
    int FNextNodeIndex = 0;
    duvo::DeviceFileOperations FOps{TCPClient1};
};

// The browser while it exists.
extern TDuvoFileMgrForm *DuvoFileMgrForm;
