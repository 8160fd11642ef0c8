#pragma once
// The copy manager (CopyProtocolForm, "Duvo Protocol Copy Manager"): a modal two-pane window
// for the protocols of two instruments. Each pane is bound to one instrument chosen with the
// device picker and lists its root folders or the protocol files of one folder, with check
// boxes; the two Copy buttons start a copy run from one pane to the other (ProtocolCopyRun).
// Each pane has its own commands: choose the instrument, select all, view, delete file, save
// to disk, new folder, delete folder.
//
// A close request during a run is a cancel request: refused once (the button turns back to
// "Close", the status shows "Cancelling..."); a second one ends the exchange in flight and
// the window closes once the run's end steps are done.

#include "common/TaskDialog.h"
#include "common/WholeInstrumentJob.h"
#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"
#include "protocols/ProtocolCopyRun.h"
#include "protocols/forms/DevicePaneCommands.h"
#include "protocols/forms/DevicePaneControls.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QStatusBar;
class TCopyProtocolForm;

// The copy manager constructed last (null once it is gone).
extern QPointer<TCopyProtocolForm> CopyProtocolForm;

class TCopyProtocolForm : public QDialog {
    Q_OBJECT
public:
    TCopyProtocolForm(QWidget *owner, const QString &ip);
    ~TCopyProtocolForm() override;

    // ---- fields
    int FSourceIndex = -1;
    int FTargetIndex = -1;
    QString FSourceType() const { return FSource->type; }
    QString FSourceId() const { return FSource->id; }
    QString FSourceIP() const { return FSource->ip; }
    QString FTargetType() const { return FTarget->type; }
    QString FTargetId() const { return FTarget->id; }
    QString FTargetIP() const { return FTarget->ip; }
    QString FSourceFolder() const { return FSource->folderText(); }
    QString FTargetFolder() const { return FTarget->folderText(); }
    bool FCancel = false;
    const QStringList &FSkippedReport() const { return FRun.FSkippedReport; }
    int FReportHeaderLength() const { return FRun.FReportHeaderLength; }
    duvo::FetchedProtocol &FetchedProtocol() { return FOps.fetchedProtocol(); }
    bool running() const { return FRun.running(); }
    bool loadFailed() const { return FLoadFailed; }
    QString statusText() const;
    duvo::ProtocolPaneModel &sourcePane() { return FSource->model; }
    duvo::ProtocolPaneModel &targetPane() { return FTarget->model; }
    // The run's clock (tests fix it).
    void setClock(std::function<QDateTime()> now) { FRun.now = std::move(now); }

    // ---- components
    TcpClient TCPClient1;
    duvo::TaskDialog TaskDialog1;

    // ---- controls (object names as the fields)
    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr;
    QPushButton *btnCopyToTarget = nullptr, *btnCopyToSource = nullptr, *btnCancelOrClose = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // The device picker: fills *outIndex, leaves out excludedIndex, true on OK. The default
    // opens TDestinationForm; tests may replace it.
    using DevicePicker = std::function<bool(QWidget *owner, int *outIndex, int excludedIndex, const QString &caption)>;
    static DevicePicker &PickDevice();

    // ---- routines
    void PreselectDevices(const QString &ip);
    void ListPaneRoot(DevicePaneControls &pane);
    bool OpenPaneFolder(DevicePaneControls &pane);
    void ShowPaneFolder(DevicePaneControls &pane, const QString &folder);
    void DeletePaneFile(DevicePaneControls &pane, const QString &folder);
    void DeletePaneFolder(DevicePaneControls &pane);
    void NewPaneFolder(DevicePaneControls &pane);
    void SavePaneProtocol(DevicePaneControls &pane, const QString &folder);
    bool SaveProtocolFile(const QString &path);
    // Whether the window may close now (refuses during a run and during a pane command).
    void FormCloseQuery(bool &canClose);
    void FormDestroy();

public slots:
    void btnSourceClick();
    void btnTargetClick();
    void btnSelectAllSourceClick();
    void btnSelectAllTargetClick();
    void ListBox1CheckClick();
    void ListBox2CheckClick();
    void ListBox1Click();
    void ListBox2Click();
    void ListBox1DblClick();
    void ListBox2DblClick();
    void ListBox1KeyDown(int key);
    void ListBox2KeyDown(int key);
    void btnEdit1Click();
    void btnEdit2Click();
    void btnDelFile1Click();
    void btnDelFile2Click();
    void btnDelDir1Click();
    void btnDelDir2Click();
    void btnNewDir1Click();
    void btnNewDir2Click();
    void btnSaveFile1Click();
    void btnSaveFile2Click();
    void btnCopyToTargetClick();
    void btnCopyToSourceClick();
    void btnCancelOrCloseClick();

public:
    void reject() override;

private:
    void buildWindow();
    void chooseInstrument(DevicePaneControls &pane, bool source);
    void takeInstrument(DevicePaneControls &pane, int index, bool source);
    void selectAll(DevicePaneControls &pane);
    void viewProtocol(DevicePaneControls &pane);
    void startCopy(bool toTarget);
    void copyRules();
    void paneCommandStarted();
    void paneCommandEnded();
    void setStatus(const QString &text);
    DevicePaneControls &other(DevicePaneControls &pane) { return &pane == FSource ? *FTarget : *FSource; }

    DevicePaneControls *FSource = nullptr;
    DevicePaneControls *FTarget = nullptr;
    QLabel *FStatusPanel = nullptr;
    duvo::DeviceFileOperations FOps{TCPClient1};
    duvo::WholeInstrumentJob FJob{&FCancel};
    duvo::ProtocolCopyRun FRun{FOps, FJob};
    DevicePaneCommands FCommands{this, FOps, FJob};
    bool FLoadFailed = false;
    ManagerClosing FClosing{*this, TCPClient1, FJob};
};
