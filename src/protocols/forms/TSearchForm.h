#pragma once
// The protocol search of the network protocol browser (SearchForm): matches the protocol
// names the browser has listed (DuvoFileMgrForm->FFileRecords) against a pattern with the
// wildcards * and ?, shows the matches and opens a chosen one in the editor. Sends nothing
// but that fetch. The window takes no input while a search or a fetch runs.

#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

class TSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit TSearchForm(QWidget *owner);
    ~TSearchForm() override;

    QLineEdit *edtSearch = nullptr;
    QPushButton *btnSearchProtocol = nullptr;
    QLabel *lblResult = nullptr;
    QTreeWidget *ResultView1 = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QPushButton *btnClose = nullptr;

    TcpClient TCPClient1;
    duvo::DeviceFileOperations &operations() { return FOps; }
    bool searching() const { return FSearching; }

public slots:
    void btnSearchProtocolClick();
    void btnViewProtocolClick();
    void ResultView1DblClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void build();

    bool FSearching = false;
    bool FClosing = false;
    duvo::DeviceFileOperations FOps{TCPClient1};
};
