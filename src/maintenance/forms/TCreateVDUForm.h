#pragma once
// "Create virtual Duvo Data File": the user picks a source instrument, the window lists its
// folders and protocols, and "Start " writes them into a virtual data file (VduWriter): the
// chosen file is replaced only by a complete file, never by the rows of a cancelled or failed
// run. With "Format Source" the source can be formatted afterwards.

#include "link/NetExchange.h"
#include "maintenance/CloneListing.h"
#include "common/WholeInstrumentJob.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class TFormatForm;

class TCreateVDUForm : public QDialog {
    Q_OBJECT
public:
    explicit TCreateVDUForm(QWidget *owner);
    ~TCreateVDUForm() override;

    bool loadFailed() const { return FLoadFailed; }
    const duvo::CloneListing &listing() const { return FListing; }
    const QString &filePath() const { return FPath; }
    bool running() const { return FRunning; }
    // Tests: called with the format window before it runs.
    std::function<void(TFormatForm &)> onFormat;

    QLabel *lblIP = nullptr, *lblName = nullptr, *lblType = nullptr;
    QLabel *lblFolders = nullptr, *lblFiles = nullptr, *lblAction = nullptr, *lblDetail = nullptr;
    QLabel *lblInfo = nullptr;
    QCheckBox *chkFormat = nullptr;
    QPushButton *btnSource = nullptr, *btnStartVDU = nullptr, *btnCancel = nullptr, *btnClose = nullptr;
    TcpClient TCPClient1;

public slots:
    void btnSourceClick();
    void btnStartVDUClick();
    void btnCancelClick();
    void btnCloseClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void ListSourceDevice();
    void setIdleButtons();
    void showCancelling();

    std::string FSourceIp, FSourceType, FSourceId;
    QString FPath, FUserName, FDescription;
    duvo::CloneListing FListing;
    bool FCancel = false;
    bool FLoadFailed = false;
    bool FRunning = false;
    bool FCloseRequested = false;
    duvo::DeviceFileOperations FOps{TCPClient1};
};
