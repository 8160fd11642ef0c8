#pragma once
// The splash window: borderless, on top, centred; closes itself after 3000 ms and is freed.

#include <QTimer>
#include <QWidget>

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget *parent = nullptr);
    QTimer Timer1;

protected:
    void paintEvent(QPaintEvent *event) override;
};

extern TSplashForm *SplashForm;
