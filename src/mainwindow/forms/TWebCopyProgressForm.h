#pragma once
// The download component's progress window ("Downloading"): which file goes from where to
// where, the progress, rate and times of the transfer in flight, and a closing notice that
// says what failed. Always on top; it follows the WC1 it watches.

#include "mainwindow/WebDownload.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class TWebCopyProgressForm : public QWidget {
    Q_OBJECT
public:
    TWebCopyProgressForm(QWidget *owner, duvo::WebCopy &copy);

    QLabel *lblFile = nullptr;
    QLabel *lblFrom = nullptr;
    QLabel *lblTo = nullptr;
    QProgressBar *Progress = nullptr;
    QLabel *lblRate = nullptr;
    QLabel *lblLeft = nullptr;
    QLabel *lblElapsed = nullptr;
    QLabel *lblNotice = nullptr;

    static QString FormatDuration(qint64 ms);
    static QString FormatRate(double bytesPerSecond);

private:
    void started(const duvo::WebCopyProgress &p);
    void progressed(const duvo::WebCopyProgress &p);
    void finished(bool ok, const QString &notice);
};
