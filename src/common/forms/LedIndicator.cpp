#include "common/forms/LedIndicator.h"

#include <QPainter>
#include <QRadialGradient>

namespace duvo {

LedIndicator::LedIndicator(QWidget *parent, const QColor &color) : QWidget(parent), FColor(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LedIndicator::setActive(bool on)
{
    if (FActive == on)
        return;
    FActive = on;
    update();
}

void LedIndicator::setColor(const QColor &color)
{
    FColor = color;
    update();
}

void LedIndicator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height()) - 2;
    const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor base = FActive ? FColor : QColor(70, 70, 70);
    QRadialGradient g(r.center() - QPointF(side / 6.0, side / 6.0), side / 1.6);
    g.setColorAt(0, base.lighter(FActive ? 170 : 130));
    g.setColorAt(1, base.darker(FActive ? 110 : 140));
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(g);
    p.drawEllipse(r);
}

} // namespace duvo
