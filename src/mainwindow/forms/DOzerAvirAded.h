#pragma once
// The workstation's one main window (DuvoMainForm): the ribbon, the device list, the status
// bar with its clock, the start-up sequence when it is first shown and the exit question.

#include "link/Firewall.h"
#include "link/Workstation.h"
#include "mainwindow/StatusPass.h"
#include "mainwindow/WebDownload.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <map>
#include <memory>

class QTabWidget;
struct PowerCommandTexts;
class QToolButton;

namespace duvo {
class DuvoAlert;
class ClockWatch;
class SleepInhibitor;
} // namespace duvo

class DOzerAvirAded;
extern DOzerAvirAded *DuvoMainForm;
// The two modeless windows the main window keeps at most one of each; freed once hidden.
extern QPointer<QWidget> ActiveProtoForm;
extern QPointer<QWidget> ActiveTerminalForm;

class DOzerAvirAded : public QMainWindow, public Workstation {
    Q_OBJECT
public:
    explicit DOzerAvirAded(QWidget *parent = nullptr);
    ~DOzerAvirAded() override;

    // The start-up sequence; runs once, when the window is first shown.
    void FormShow();
    bool formShown() const { return FFormShown; }
    void FindDatabasePath();

    // Steps of the start-up sequence and the device list.
    bool LoadSettings(const QString &key);
    void RunDiscovery();
    void BuildDeviceList();
    // Rewrites cells 1 to 12 of every row and sends the completed-run alerts that are due.
    void UpdateDeviceRows();
    // The text of a cell of device row `index` (cell 0: the picture index).
    QString RowText(int index, int cell) const;
    // Sends an armed alert of a device (marks it sent first).
    void SendDeviceAlert(DVDEVICEINFO_T &device, const QString &message);
    virtual void SendAlert(const QString &recipient, const QString &message);
    // Enables DuvoTimer and the device buttons exactly when the device list is not empty.
    void EnableDeviceControls();
    void SetDeviceControlsEnabled(bool on);
    static const QStringList &DeviceButtonNames();

    void ShowAlert(const QString &text) override;
    duvo::DuvoAlert *DuvoAlert1 = nullptr;

    // The firewall the start-up sequence talks to (this machine's unless a test sets one).
    void setFirewallBackend(FirewallBackend *backend) { FFirewall = backend; }

    QTabWidget *AdvToolBarPager1 = nullptr;
    QWidget *DiagPage1 = nullptr;
    QWidget *vDuvoPage1 = nullptr;
    QTreeWidget *OutList1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QTimer Timer1;  // the status bar clock
    QLabel *StatusPanel(int index) const { return FPanels[index]; }
    QToolButton *button(const QString &name) const;

    // The main window's own client for the commands it sends to instruments; the status pass
    // has a client of its own, so a command never makes the pass fail a healthy device.
    TcpClient TCPClient1;

    // One status pass over the device list (the status thread's work).
    void PollDevices();
    StatusPass &statusPass() { return FStatusPass; }
    // The auto-refresh timer's handler: starts a pass (from a timer) when none runs, rewrites
    // the rows.
    void DuvoTimerTimer();
    bool passPending() const { return FPassTimer.isActive(); }
    // The rescan without its question.
    void RescanDevices() override;

public slots:
    void Timer1Timer();
    // "Device List": rescan after a confirmation.
    void btnRefreshClick();
    void Exit1Click();
    void AdvPreviewMenu1Buttons0Click();
    void IdleFree();

    // Ribbon commands: the ribbon, application menu and list buttons that open windows,
    // documents and programs (connected by name in buildRibbon).
public slots:
    void btnIPDuvoClick();
    void btnFirewallClick();
    void btnWinSearchClick();
    void Contents1Click();
    void Preferences1Click();
    // End of ribbon commands

    // The handlers of each concern live in a file of their own beside this one; each concern
    // adds its slots (and the members only it uses) under its own heading.
public slots:
    // -- Protocol editor (DOzerAvirAdedEditor.cpp)
    void btnNewProtocolClick();
    void btnEditProtocolClick();

    // -- Navigator, network browser, folder security (DOzerAvirAdedBrowse.cpp)
    // "Navigate Protocols": the network protocol browser with no copy target.
    void btnNavigateClick();
    // "Folder Security": the device picker, then TChangePWForm for the picked device.
    void btnSetChangePWClick();

    // -- Copy manager and load from disk (DOzerAvirAdedCopy.cpp)
    // The copy manager, preselecting the second device when the list holds exactly two.
    void btnCopyProtocolClick();
    // The load-from-disk manager, preselecting the device when the list holds exactly one.
    void btnLoadFromDiskClick();

    // -- Run road (DOzerAvirAdedRuns.cpp)
    // "Device Status": the road with the device picker.
    void btnStatusClick();
    // "Run Protocol": the same, while "Device Status" is enabled.
    void btnOpenProtocolClick();
    // The road for the device of a double-clicked row (the address in its cell 1).
    void OutList1ItemDblClick(QTreeWidgetItem *item);

    // -- Run history, database administration (DOzerAvirAdedHistory.cpp)
    void btnDeviceLogClick();
    void Database1Click();

    // -- Virtual data files (DOzerAvirAdedVdu.cpp)
    void btnCreateVDUClick();
    void btnLoadVDUClick();

    // -- Device commands, firmware, terminal (DOzerAvirAdedDevices.cpp)
    void btnTerminalClick();
    void btnFirmwareUpdateClick();
    void btnFormatClick();
    void btnCloneClick();
    void btnPowerClick();
    void btnRebootClick();
    void btnSyncTimeClick();
    void btnNameandLocationClick();
    void btnDuvoLogClick();

    // -- Internet downloads, small windows (DOzerAvirAdedWeb.cpp)
    void btnWebProtocolsClick();
    void UpdateSoftware1Click();
    void About1Click();
    void btnPCInformationClick();

public:
    // -- Members of the concerns above, under the same headings

    // -- (editor)

    // -- (browse)

    // -- (copy)

    // -- (runs)
    // The windows of the run road, each shown modally by the road; a window's entry returns
    // whether it ended with OK. Filled with the real windows; tests put in their own.
    struct RunRoadWindows {
        std::function<bool(QWidget *owner, int *index)> pickDevice;  // TDestinationForm
        std::function<bool(QWidget *owner, const QString &ip, const QString &id, QString *folder,
                           QString *file)> navigate;  // TProtNavForm, with the road's caption
        std::function<bool(QWidget *owner, const QString &type, int *consumable, int *volume, QString *contact,
                           QString *description, QString *notes, QString *email, bool *sendMail,
                           bool mailEnabled)> runDetails;  // TVolumeTypeForm
        std::function<void(QWidget *owner, int *index, const QString &ip, const QString &id, const QString &type,
                           const QString &folder, const QString &file, int *consumable, int *volume,
                           const QString &contact, const QString &description, const QString &notes,
                           const QString &email)> monitor;  // TDeviceStatusForm
    };
    RunRoadWindows &runRoadWindows();
    // The road for the record at index: navigator and run details for an idle device, then
    // the run monitor.
    void RunRoad(int index);
    static QString NavigatorCaption(const QString &id, const QString &ip);
    RunRoadWindows FRunRoadWindows;
    bool FRunRoadWindowsSet = false;

    // -- (history)
    bool FHistoryLoading = false;  // a history viewer is being constructed

    // -- (vdu)

    // -- (devices)
    // The single-device picker (caption: its window title when not empty); the chosen
    // record's index, or -1 when the user did not choose one.
    int PickDevice(const QString &caption = {});
    // The several-device picker over every device but *sourceIndex (-1: all); true on OK.
    bool PickDevices(int *sourceIndex, const QString &caption = {});
    void powerCommand(const PowerCommandTexts &texts, const QString &caption);

    // -- (web)
    duvo::WebCopy WC1;
    duvo::WebConnection WebConnect1;
    void CheckForUpdates();
    // The shared start of the update check and the internet download: fetches the ".ini"
    // file F into FDefaultFolder and reads its lines; false when the function ends there.
    bool FetchIniFile(const QString &F, const QString &address, QStringList &lines);


protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildRibbon();
    void buildDeviceArea();
    void buildStatusBar();
    void writeRow(QTreeWidgetItem *row, const DVDEVICEINFO_T &device, bool withPicture);
    QTreeWidgetItem *deviceRow(int index) const;
    QToolButton *addButton(QWidget *bar, const char *name, const QString &caption, const QString &hintTitle,
                           const QString &note, const char *handler);
    void rescan(bool timerWasOn);
    void FormDestroy();

    // Switches DuvoTimer on exactly while the device list holds devices (and the application
    // goes on), off otherwise.
    void restoreDuvoTimer();
    // Sizes the columns to their texts within the list's width (the free-text columns give way
    // first); onlyGrow leaves wide enough columns as they are.
    void fitColumns(bool onlyGrow);

    bool FFormShown = false;
    StatusPass FStatusPass;
    // Starts the pass a tick asked for once the tick has ended: a single-shot zero-interval
    // timer, because a wait entered from a posted call gets no paint events.
    QTimer FPassTimer;
    FirewallBackend *FFirewall = nullptr;
    HostFirewall FHostFirewall;
    std::map<QString, QToolButton *> FButtons;
    QLabel *FPanels[3] = {nullptr, nullptr, nullptr};
    QTimer FIdleTimer;
    std::unique_ptr<duvo::ClockWatch> FClockWatch;
    std::unique_ptr<duvo::SleepInhibitor> FSleepInhibitor;
};
