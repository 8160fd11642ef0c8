#pragma once
// "Duvo Hardware Information": the CPU and AMP board texts of one instrument.

#include <QDialog>

class QLabel;

class TBoardInfoForm : public QDialog {
    Q_OBJECT
public:
    TBoardInfoForm(QWidget *owner, const QString &cpuName, const QString &cpuRevision, const QString &cpuSN,
                   const QString &cpuCode, const QString &cpuDate, const QString &ampName, const QString &ampRevision,
                   const QString &ampSN, const QString &ampCode, const QString &ampDate);

    QLabel *lblCPUName, *lblCPURevision, *lblCPUSN, *lblCPUCode, *lblCPUDate;
    QLabel *lblAMPName, *lblAMPRevision, *lblAMPSN, *lblAMPCode, *lblAMPDate;
};
