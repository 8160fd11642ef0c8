#include "mainwindow/forms/TSplashForm.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

TSplashForm *SplashForm = nullptr;

TSplashForm::TSplashForm(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(460, 400);
    // The window is shaped: a rounded plate.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, 460, 400), 40, 40);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    auto *release = new QLabel(QStringLiteral("Release 1.0.0.10"), this);
    release->setObjectName(QStringLiteral("lblRelease"));
    release->setStyleSheet(QStringLiteral("color:white; font-weight:bold;"));
    release->move(40, 350);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Timer1.setInterval(3000);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &QWidget::close);
    Timer1.start();
    connect(this, &QObject::destroyed, [] { SplashForm = nullptr; });
}

void TSplashForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0x1c, 0x4e, 0x80));
    g.setColorAt(1, QColor(0x0b, 0x1f, 0x33));
    p.fillRect(rect(), g);
    p.setPen(Qt::white);
    QFont f = font();
    f.setPointSize(26);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 110, width(), 60), Qt::AlignCenter, QStringLiteral("Velmor Lab"));
    f.setPointSize(20);
    p.setFont(f);
    p.drawText(QRect(0, 170, width(), 50), Qt::AlignCenter, QStringLiteral("Duvo Studio"));
    // A stylised thermal profile.
    QPen pen(QColor(0xff, 0x8c, 0x42), 4);
    p.setPen(pen);
    const QPoint pts[] = {{60, 300}, {120, 300}, {140, 250}, {200, 250}, {220, 290}, {280, 290},
                          {300, 260}, {360, 260}, {380, 300}, {400, 300}};
    p.drawPolyline(pts, int(std::size(pts)));
}
