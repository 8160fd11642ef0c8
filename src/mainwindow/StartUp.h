#pragma once
// The GUI-free steps of the workstation's start and end.

#include "common/TaskDialog.h"
#include "link/DeviceRecord.h"
#include "link/Firewall.h"

#include <QDateTime>
#include <QString>
#include <optional>

// The main database path from the App Paths "Path" value: the value followed by
// "VadeZir.sqb" (a '/' is put between them when the value has none), or the program folder
// + "VadeZir.sqb" when the value is missing or empty.
QString DatabasePathFor(const std::optional<QString> &appPath, const QString &programFolder);

// The firewall rules of the start-up sequence, in their order; the "Admin Rights" notice when
// the last step failed. Returns the last result.
HRESULT SetupFirewall(FirewallBackend &backend, const QString &programPath, duvo::TaskDialog &taskDialog);

// Free megabytes available to this user on the volume of path; -1 for no path or a failure.
int FreeDiskMB(const QString &path);

// The auto-refresh timer interval for a refresh setting in seconds (never below 1 s).
int RefreshIntervalMs(int refreshSeconds);

// The status bar's date and time: the long date, `blanks` spaces, then hh:mm:ss.
QString StatusBarDateTime(const QDateTime &when, int blanks);

// What the exit question must warn about: an armed alert not yet sent, or a run session.
bool ExitLosesAlertsOrSessions(const DeviceList &devices);

// Milliseconds the program waits before it enters its message loop (DUVO_STARTUP_WAIT_MS
// shortens it for tests; 5000 otherwise).
int StartupWaitMs();
