#pragma once
// The computer information window (ProtoForm, "Computer Information"): processors, speed,
// memory, free space on the database's drive, system, names and address, with warnings when
// the computer is short of speed or space. Modeless and always on top; Close hides it and the
// main window frees it.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class TProtoForm : public QDialog {
    Q_OBJECT
public:
    explicit TProtoForm(QWidget *owner);
    ~TProtoForm() override;

    QLabel *lblCPU = nullptr;
    QLabel *lblSpeed = nullptr;
    QLabel *lblMemory = nullptr;
    QLabel *lblHDD = nullptr;
    QLabel *lblOS = nullptr;
    QLabel *lblLevel = nullptr;
    QLabel *lblPCName = nullptr;
    QLabel *lblUserName = nullptr;
    QLabel *lblIP = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *WarningSpeed = nullptr;
    QLabel *WarningMem = nullptr;
    QLabel *WarningHDD = nullptr;
    QPushButton *btnOk = nullptr;
    QTimer Timer1;

    qint64 FreeMB() const { return FFreeMB; }
    int SpeedMHz() const { return FSpeedMHz; }
    int Processors() const { return FProcessors; }
    qint64 MemoryMB() const { return FMemoryMB; }

public slots:
    void Timer1Timer();
    void btnOkClick();

private:
    void showHdd(qint64 limitMB);
    static void makeRed(QLabel *label);
    static void showOk(QLabel *warning);
    static void showWarning(QLabel *warning, const QString &text);

    qint64 FFreeMB = -1;
    int FSpeedMHz = 0;
    int FProcessors = 0;
    qint64 FMemoryMB = 0;
};

extern TProtoForm *ProtoForm;
