#include "maintenance/forms/TWaitForm.h"

#include "maintenance/forms/TFlashForm.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TWaitForm::TWaitForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("WaitForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::Box);
    auto *inner = new QVBoxLayout(frame);
    auto *text = new QLabel(QStringLiteral("Waiting for Duvo devices coming online"));
    QFont f = text->font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    f.setBold(true);
    text->setFont(f);
    text->setAlignment(Qt::AlignCenter);
    auto *busy = new QProgressBar;
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    inner->addWidget(text);
    inner->addWidget(busy);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    setMinimumWidth(380);

    const FirmwareTimings &t = FirmwareTimings::current();
    Timer1.setInterval(t.waitTickMs);
    connect(&Timer1, &QTimer::timeout, this, &TWaitForm::Timer1Timer);
    Timer1.start();
}

void TWaitForm::Timer1Timer()
{
    if (FTicks < FirmwareTimings::current().waitTicks) {
        ++FTicks;
        return;
    }
    Timer1.stop();
    FDone = true;
    accept();
}

void TWaitForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape)
        QDialog::keyPressEvent(event);
}

void TWaitForm::closeEvent(QCloseEvent *event)
{
    if (!FDone)
        event->ignore();
}
