#pragma once
// The address tool's About box.

#include <QDialog>

namespace duvo::iptool {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};

} // namespace duvo::iptool
