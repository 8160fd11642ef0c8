#pragma once
// "Waiting for Duvo devices coming online": shown modally after firmware updates while the
// instruments restart; it closes itself on the tick after the thirtieth (about 31 s).

#include <QDialog>
#include <QTimer>

class TWaitForm : public QDialog {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget *owner);
    QTimer Timer1;
    int tickCount() const { return FTicks; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1Timer();
    int FTicks = 0;
    bool FDone = false;
};
