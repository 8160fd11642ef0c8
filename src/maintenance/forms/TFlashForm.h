#pragma once
// The progress window of one firmware upload. The upload runs on a worker (FindThread); the
// window starts it 100 ms after it is created (Timer2) and watches it every 500 ms (Timer1),
// closing when it has ended. At the tick limit (600 ticks, about 300 s) it stops the upload,
// which then ends with "Error file timeout" (-202), and closes: the manager reports it.
//
// The error flag, the code text and the cancel-batch flag belong to the manager, which reads
// them once the window is gone.

#include "link/FirmwareUploadJob.h"

#include <QDialog>
#include <QTimer>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

struct FirmwareTimings {
    int startMs = 100;       // Timer2
    int tickMs = 500;        // Timer1
    int tickLimit = 600;     // the window gives up after this many ticks
    int waitTickMs = 1000;   // TWaitForm's Timer1
    int waitTicks = 30;      // TWaitForm closes on the tick after this many
    int uploadWaitMs = 2000; // one wait of the upload for a datagram
    static FirmwareTimings &current();
};

class TFlashForm : public QDialog {
    Q_OBJECT
public:
    TFlashForm(QWidget *owner, const QString &imagePath, const QString &address, const QString &progress,
               char *errorFlag, QString *codeText, char *cancelBatch, bool batch);
    ~TFlashForm() override;

    QLabel *lblIP = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblAction = nullptr;
    QPushButton *btnCancelBatch = nullptr;
    QProgressBar *PG1 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
    // Looks for the end of the upload between Timer1's ticks, so the window closes as soon
    // as the upload has ended (Timer1 still counts the ticks of the limit).
    QTimer FEndWatch;
    int tickCount() const { return FTicks; }

public slots:
    void btnCancelBatchClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Timer1Timer();
    void Timer2Timer();
    void takeResult();

    QString FImagePath;
    QString FAddress;
    uint8_t FAddressBytes[4] = {0, 0, 0, 0};
    char *FErrorFlag;
    QString *FCodeText;
    char *FCancelBatch;
    int FTicks = 0;
    bool FDone = false;
    std::unique_ptr<duvo::firmware::FirmwareUploadJob> FindThread;
};
