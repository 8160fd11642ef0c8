#pragma once
// The file commands of an instrument pane, shared by the copy manager and the load-from-disk
// manager: fetch a protocol (for the viewer or a save), delete a file, delete a folder with
// its files, make a folder, and the double-click and key rules that open and leave a folder.
// The window supplies what differs between the two: how it lists a pane's root and a folder,
// how it marks a command under way, its status line and its check rule.

#include "common/WholeInstrumentJob.h"
#include "link/NetExchange.h"
#include "protocols/DeviceFileOperations.h"
#include "protocols/forms/DevicePaneControls.h"

#include <QString>
#include <functional>

class QDialog;
class QPushButton;
class QWidget;

// The hourglass for the length of a scope, restored also after an exception.
class PaneWaitCursor {
public:
    PaneWaitCursor();
    ~PaneWaitCursor();
    PaneWaitCursor(const PaneWaitCursor &) = delete;
    PaneWaitCursor &operator=(const PaneWaitCursor &) = delete;
};

class DevicePaneCommands {
public:
    struct Hooks {
        // Lists the pane's root folders / opens the selected folder / shows one folder.
        std::function<void(DevicePaneControls &)> listRoot;
        std::function<bool(DevicePaneControls &)> openFolder;
        std::function<void(DevicePaneControls &, const QString &folder)> showFolder;
        // Around a command that changes the instrument's files (the window is disabled).
        std::function<void()> commandStarted, commandEnded;
        std::function<void(const QString &)> status;
        // After the space key toggled a check (none: nothing to do).
        std::function<void(DevicePaneControls &)> checkRule;
    };

    DevicePaneCommands(QWidget *owner, duvo::DeviceFileOperations &ops, duvo::WholeInstrumentJob &job)
        : FOwner(owner), FOps(ops), FJob(job)
    {
    }

    Hooks hooks;

    // Fetches the protocol name of folder from the pane's instrument; on a failure that is not
    // an ended exchange, tells the user so.
    bool fetchProtocol(const DevicePaneControls &pane, const QString &folder, const QString &name);
    // Deletes the selected file of folder after asking, then shows the folder again.
    void deleteFile(DevicePaneControls &pane, const QString &folder);
    // Deletes the selected folder with all its files after asking, then lists the root again.
    void deleteFolder(DevicePaneControls &pane);
    // Asks for a new folder's name and password and makes it, then lists the root again.
    void newFolder(DevicePaneControls &pane);
    // A double click: ".." goes back to the root, a folder opens.
    void doubleClick(DevicePaneControls &pane);
    // Delete deletes (file or folder), space toggles the check, Enter on ".." goes back.
    void keyDown(DevicePaneControls &pane, int key);

private:
    QWidget *FOwner;
    duvo::DeviceFileOperations &FOps;
    duvo::WholeInstrumentJob &FJob;
};

// When a manager window may close. A close request during a run is a cancel request: refused
// once (the Cancel button turns back to "Close", the status shows "Cancelling..."); a second
// one ends the exchange in flight and the window closes once the run's end steps are done.
// During a pane command a close request ends the exchange in flight and the window closes once
// the command has ended.
class ManagerClosing {
public:
    ManagerClosing(QDialog &window, TcpClient &client, duvo::WholeInstrumentJob &job)
        : FWindow(window), FClient(client), FJob(job)
    {
    }

    // Answers a close request: true when the window may close now.
    bool mayClose(bool running, QPushButton *cancelButton, const std::function<void(const QString &)> &status);

    // Around a command that talks to an instrument; its end carries out a close asked meanwhile.
    void commandStarted() { FBusy = true; }
    void commandEnded();
    class Busy {
    public:
        explicit Busy(ManagerClosing &closing) : FOwner(closing) { FOwner.commandStarted(); }
        ~Busy() { FOwner.commandEnded(); }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        ManagerClosing &FOwner;
    };

    bool closeAsked() const { return FCloseAsked; }
    // Closes the window if a close was asked while it could not close.
    void closeIfAsked();
    // Closes the window without asking.
    void closeNow();

private:
    QDialog &FWindow;
    TcpClient &FClient;
    duvo::WholeInstrumentJob &FJob;
    bool FBusy = false;
    bool FCloseAsked = false;
    bool FClosingNow = false;
};
