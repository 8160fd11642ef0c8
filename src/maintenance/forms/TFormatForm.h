#pragma once
// "Format": the small modal window that formats the flash drive of one instrument. It stays on
// top, the user cannot close it (neither Esc nor the close request), and a worker thread sends
// the Format command exactly once. A 500 ms timer polls the worker; the tick that sees it has
// ended shows the boxes on the GUI thread (the error, then "Formatting completed." unless
// silent, and only when the drive was formatted) and closes the window. Callers ask for
// confirmation before; they get no result.
//
//     TFormatForm f(this, ip, type, id, /*silent=*/true);
//     f.exec();

#include "link/NetExchange.h"
#include "maintenance/FormatDrive.h"

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QTimer;

class TFormatForm : public QDialog {
    Q_OBJECT
public:
    TFormatForm(QWidget *owner, const QString &address, const QString &type, const QString &id, bool silent);
    ~TFormatForm() override;

    // True when the worker reported the drive formatted (for tests and logs; callers ignore it).
    bool formatted() const { return FFormatted; }
    bool workerFinished() const { return FJob && FJob->finished(); }
    bool loadFailed() const { return FLoadFailed; }

    QLabel *lblIP = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblAction = nullptr;
    QProgressBar *PG1 = nullptr;
    QTimer *Timer1 = nullptr;  // 500 ms: closes the window once the worker has ended
    QTimer *Timer2 = nullptr;  // 100 ms: starts the worker once
    // The client of the exchange; tests shorten its time-out before exec().
    TcpClient TCPClient1;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void FormShow();
    void Timer1Timer();
    void Timer2Timer();

    QString FAddress, FType, FId;
    bool FSilent = false;
    bool FLoadFailed = false;
    bool FShown = false;
    bool FClosing = false;
    bool FFormatted = false;
    std::unique_ptr<duvo::FormatDriveJob> FJob;
};
