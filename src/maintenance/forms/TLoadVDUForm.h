#pragma once
// "Load virtual Duvo Data File": opens a virtual data file, shows its information row, and
// loads it onto a picked target: the whole file is checked first (a file that fails formats
// nothing), then after the format question the target is formatted, the file's folders made
// and its protocols loaded; with "Enable Cloning" the loaded target can then be cloned.

#include "link/NetExchange.h"
#include "common/WholeInstrumentJob.h"
#include "maintenance/VduReader.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class TCloneForm;
class TFormatForm;

class TLoadVDUForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoadVDUForm(QWidget *owner);
    ~TLoadVDUForm() override;

    bool loadFailed() const { return FLoadFailed; }
    const QString &filePath() const { return FPath; }
    const duvo::PackageInfo &information() const { return FInfo; }
    bool running() const { return FRunning; }
    std::function<void(TFormatForm &)> onFormat;  // tests: each format window before it runs
    std::function<void(TCloneForm &)> onClone;    // tests: the clone window before it runs

    QPushButton *btnLoadVDU = nullptr, *btnBrowseVDU = nullptr, *btnTarget = nullptr, *btnStartVDU = nullptr;
    QPushButton *btnCancel = nullptr, *btnClose = nullptr;
    QCheckBox *chkFormat = nullptr, *chkClone = nullptr;
    QLabel *lblIP = nullptr, *lblName = nullptr, *lblType = nullptr;
    QLabel *lblFolders = nullptr, *lblFiles = nullptr, *lblAction = nullptr, *lblDetail = nullptr;
    QLabel *lblCreator = nullptr, *lblDate = nullptr, *lblDescription = nullptr, *lblVersion = nullptr;
    QLabel *lblOriginalType = nullptr, *lblOriginalID = nullptr, *lblOriginalIP = nullptr;
    TcpClient TCPClient1;

public slots:
    void btnLoadVDUClick();
    void btnBrowseVDUClick();
    void btnTargetClick();
    void btnStartVDUClick();
    void btnCancelClick();
    void btnCloseClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void setRunButtons(bool running);
    void showCancelling();

    QString FPath;
    duvo::PackageInfo FInfo;
    std::string FTargetIp, FTargetType, FTargetId;
    bool FCancel = false;
    bool FLoadFailed = false;
    bool FRunning = false;
    bool FCloseRequested = false;
    duvo::DeviceFileOperations FOps{TCPClient1};
};
