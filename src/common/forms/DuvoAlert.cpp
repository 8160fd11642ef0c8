#include "common/forms/DuvoAlert.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace duvo {

DuvoAlert::DuvoAlert(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("DuvoAlert1"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    FLabel = new QLabel(this);
    FLabel->setWordWrap(true);
    FLabel->setMargin(12);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FLabel);
    setStyleSheet(QStringLiteral("background:#fffbe6; border:1px solid #b0a060;"));
    setFixedSize(320, 90);
    FHide.setSingleShot(true);
    FHide.setInterval(5000);
    connect(&FHide, &QTimer::timeout, this, &QWidget::hide);
}

void DuvoAlert::ShowText(const QString &text)
{
    FLabel->setText(text);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - width() - 8, area.bottom() - height() - 8);
    }
    show();
    raise();
    FHide.start();
}

} // namespace duvo
