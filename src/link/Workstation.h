#pragma once
// The workstation's shared state that the main window owns and every other window reads and
// changes: the settings and SMTP fields, the device list, the two logs, the shared task
// dialog and the auto-refresh timer. The main window DOzerAvirAded derives from it and makes
// itself the current workstation; tests make a Workstation of their own without windows.

#include "common/ExceptionLog.h"
#include "common/GeneralLog.h"
#include "common/TaskDialog.h"
#include "link/DeviceRecord.h"
#include "link/SettingsFields.h"

#include <QString>
#include <QTimer>

// Full path of the main database file "VadeZir.sqb"; set once at start-up.
extern QString DatabasePath;

class Workstation : public SettingsFields {
public:
    Workstation();
    virtual ~Workstation();
    Workstation(const Workstation &) = delete;
    Workstation &operator=(const Workstation &) = delete;

    DeviceList FDeviceList;
    duvo::GeneralLog ZavLog1;
    duvo::ExceptionLog ZavExceptionLog1;
    duvo::TaskDialog TaskDialog1;
    QTimer DuvoTimer;  // the auto-refresh timer: 5000 ms, off at load

    // Shows a short notice in the pop-up alert window (DuvoAlert1); windows install the
    // real pop-up, without one the text only goes to the general log.
    virtual void ShowAlert(const QString &text);
    QString lastAlert() const { return FLastAlert; }

    // Rebuilds the device list by discovery, without a question (the main window's rescan);
    // a workstation without windows has nothing to rescan.
    virtual void RescanDevices() {}

    // Ends the application once control is back in the main event loop (the handler stack
    // unwinds first). FApplicationEnding tells later start-up steps to stop.
    void Terminate();
    bool FApplicationEnding = false;

    // The current workstation: set by the constructor, cleared by the destructor.
    static Workstation *current();

private:
    QString FLastAlert;
    Workstation *FPrevious = nullptr;
};
