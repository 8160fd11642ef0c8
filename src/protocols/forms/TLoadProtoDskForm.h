#pragma once
// The load-from-disk manager (LoadProtoDskForm, "Duvo Protocol Load From Disk Manager"): a
// modal two-pane window that loads protocol files (".svp") from this computer's disk into a
// folder of one instrument. The left pane browses the disk (volume, directory tree, the
// protocol files of the directory with check boxes); the right pane is the copy manager's
// device pane in its Target role, every item a header item. "Load" loads the checked files
// into the folder the right pane shows (ProtocolLoadRun), skipping or overwriting
// same-named files. Close requests during a run are cancel requests, as in the copy manager.

#include "common/TaskDialog.h"
#include "common/WholeInstrumentJob.h"
#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"
#include "protocols/DiskProtocolList.h"
#include "protocols/ProtocolLoadRun.h"
#include "protocols/forms/DevicePaneCommands.h"
#include "protocols/forms/DevicePaneControls.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <string>

class QFileSystemModel;
class QStatusBar;
class QTreeView;
class TLoadProtoDskForm;

extern QPointer<TLoadProtoDskForm> LoadProtoDskForm;

class TLoadProtoDskForm : public QDialog {
    Q_OBJECT
public:
    TLoadProtoDskForm(QWidget *owner, const QString &ip);
    ~TLoadProtoDskForm() override;

    // ---- fields
    int FTargetIndex = -1;
    QString FTargetType() const { return FTarget->type; }
    QString FTargetId() const { return FTarget->id; }
    QString FTargetIP() const { return FTarget->ip; }
    QString FTargetFolder() const { return FTarget->folderText(); }
    bool FCancel = false;
    const QStringList &FSkippedReport() const { return FRun.FSkippedReport; }
    int FReportHeaderLength() const { return FRun.FReportHeaderLength; }
    duvo::FetchedProtocol &FetchedProtocol() { return FOps.fetchedProtocol(); }
    // The texts of the protocol file read last.
    QString FDiskName, FDiskProtocol, FDiskSize;
    bool loadFailed() const { return FLoadFailed; }
    bool running() const { return FRun.running(); }
    QString statusText() const;
    duvo::DiskProtocolList &diskList() { return FDisk; }
    duvo::ProtocolPaneModel &targetPane() { return FTarget->model; }
    void setClock(std::function<QDateTime()> now) { FRun.now = std::move(now); }

    // ---- components and controls
    TcpClient TCPClient1;
    duvo::TaskDialog TaskDialog1;
    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr, *GroupBox3 = nullptr;
    QComboBox *DriveComboBoxEx1 = nullptr;
    QTreeView *DirectoryListBoxEx1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    ProtocolPaneView *ListBox1 = nullptr;
    QLabel *NameLabel1 = nullptr, *SizeLabel1 = nullptr;
    QPushButton *btnSelectAllSource = nullptr;
    QToolButton *btnEdit1 = nullptr, *btnDelFile1 = nullptr;
    QPushButton *btnCopyToTarget = nullptr, *btnCancelOrClose = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // ---- routines
    void PreselectTarget(const QString &ip);
    void ListPaneRoot();
    bool OpenPaneFolder();
    void ShowPaneFolder(const QString &folder);
    void DeletePaneFile();
    void DeletePaneFolder();
    void NewPaneFolder();
    void SavePaneProtocol();
    bool SaveProtocolFile(const QString &path);
    void RefreshDiskPane();
    bool FetchProtocolFile(const QString &path);
    void ValidateCheckedFiles(bool skip, const QString &folder);
    void LoadOneProtocolFile(const QString &path, const QString &name, const QString &folder);
    void LoadCheckedFiles(bool skip);
    void FormCloseQuery(bool &canClose);
    void FormDestroy();
    // Shows this directory in the disk pane (the drive and the tree follow).
    void setDiskDirectory(const QString &directory);

public slots:
    void btnTargetClick();
    void btnSelectAllSourceClick();
    void ListBox1CheckClick();
    void ListBox1Change();
    void ListBox1KeyDown(int key);
    void btnEdit1Click();
    void btnDelFile1Click();
    void ListBox2Click();
    void ListBox2DblClick();
    void ListBox2KeyDown(int key);
    void btnEdit2Click();
    void btnDelFile2Click();
    void btnDelDir2Click();
    void btnNewDir2Click();
    void btnSaveFile2Click();
    void btnCopyToTargetClick();
    void btnCancelOrCloseClick();

public:
    void reject() override;

private:
    void buildWindow();
    void buildDiskPane();
    void takeInstrument(int index);
    void paneCommandStarted();
    void paneCommandEnded();
    void setStatus(const QString &text);
    void driveChosen(int index);
    void directoryChosen(const QModelIndex &index);

    DevicePaneControls *FTarget = nullptr;
    QLabel *FStatusPanel = nullptr;
    QFileSystemModel *FDirModel = nullptr;
    duvo::DiskProtocolList FDisk;
    duvo::DeviceFileOperations FOps{TCPClient1};
    duvo::WholeInstrumentJob FJob{&FCancel};
    duvo::ProtocolLoadRun FRun{FOps, FJob};
    DevicePaneCommands FCommands{this, FOps, FJob};
    bool FLoadFailed = false;
    ManagerClosing FClosing{*this, TCPClient1, FJob};
};
