#include "runs/forms/PlotChart.h"

#include "runs/DayNumber.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QString kTitle = QStringLiteral("Protocol");
const QString kTimeTitle = QStringLiteral("Time");
constexpr int kTimeTicks = 6;                 // time labels along the bottom, both ends included
constexpr double kTemperatures[] = {0, 25, 50, 75, 100};
constexpr double kTemperatureTop = 100;

const QColor kLineColour(0x20, 0x9f, 0xdf);
const QColor kGridColour(0xe2, 0xe2, 0xe2);
const QColor kAxisColour(0xc8, 0xc8, 0xc8);
const QColor kTextColour(0x40, 0x40, 0x44);
const QColor kCursorColour(200, 0, 0);
const QColor kTipColour(40, 40, 40);
constexpr qreal kSymbolRadius = 4;
constexpr qreal kCardRadius = 5;

QFont boldOf(QFont font)
{
    font.setBold(true);
    return font;
}

// The time labels' characters in the glyph picture: "0" to "9", then ":".
int glyphIndex(QChar c)
{
    return c == u':' ? 10 : c.unicode() - u'0';
}

qreal temperatureY(const QRectF &area, double temperature)
{
    return std::round(area.bottom() - temperature / kTemperatureTop * area.height());
}

qreal tickX(const QRectF &area, int tick)
{
    return std::round(area.left() + area.width() * tick / (kTimeTicks - 1));
}

} // namespace

QString PlotChart::timeText(double dayNumber)
{
    QDate date;
    QTime time;
    if (!duvo::FieldsFromDayNumber(dayNumber, date, time))
        return QString();
    return time.toString(u"hh:mm:ss");
}

void PlotSeries::replace(const QList<QPointF> &points)
{
    FPoints = points;
    FChart->update();
}

void PlotSeries::setPointLabelsVisible(bool visible)
{
    FMarks = visible;
    FChart->update();
}

void PlotSeries::setPointsVisible(bool visible)
{
    FSymbols = visible;
    FChart->update();
}

PlotChart::PlotChart(QWidget *parent) : QWidget(parent), FSeries(this)
{
    setTimeRange(0, 0);
    // The frame picture covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

PlotChart::~PlotChart() = default;

void PlotChart::setTimeRange(qreal from, qreal to)
{
    FFrom = from;
    FTo = to > from ? to : from + 1.0 / 86400;
    FTimeLabels.clear();
    for (int i = 0; i < kTimeTicks; ++i)
        FTimeLabels << timeText(FFrom + (FTo - FFrom) * i / (kTimeTicks - 1));
    update();
}

void PlotChart::dropFrame()
{
    FFrame = QPixmap();
    FGlyphs = QPixmap();
    FLayout.size = QSize();
}

PlotChart::Layout PlotChart::layoutFor(const QSize &size) const
{
    const QFontMetricsF fm(font());
    const QFontMetricsF bold(boldOf(font()));
    Layout l;
    l.size = size;
    l.background = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(10, 10, -10, -10);
    const qreal halfTime = std::ceil(fm.horizontalAdvance(QStringLiteral("00:00:00")) / 2);
    const qreal left = std::round(l.background.left() + 14 + fm.horizontalAdvance(QStringLiteral("100")) + 8);
    const qreal right = std::round(l.background.right() - std::max<qreal>(16, halfTime + 8));
    const qreal top = std::round(l.background.top() + 14 + fm.height() + 10 + fm.height() / 2);
    const qreal bottom = std::round(l.background.bottom() - 12 - bold.height() - 4 - fm.height() - 6);
    l.area = QRectF(QPointF(left, top), QPointF(std::max(right, left + 1), std::max(bottom, top + 1)));
    l.timeLabelTop = l.area.bottom() + 6;
    l.title = QRectF(l.background.left(), l.background.top() + 14, l.background.width(), fm.height());
    l.temperatures = QRectF(l.background.left(), l.area.top() - fm.height(), l.area.left() - 8 - l.background.left(),
                            l.area.height() + 2 * fm.height());
    l.timeTitle = QRectF(l.area.left(), l.timeLabelTop + fm.height() + 4, l.area.width(), bold.height());
    // The pixels the texts may touch: a centred text's own width, with two pixels to spare.
    const QRect card = l.background.toAlignedRect();
    const auto ink = [&](const QRectF &box, qreal width) {
        const QRectF used(box.center().x() - width / 2, box.top(), width, box.height());
        return used.toAlignedRect().adjusted(-2, -2, 2, 2) & card;
    };
    l.titleInk = ink(l.title, fm.horizontalAdvance(kTitle));
    l.temperaturesInk = l.temperatures.toAlignedRect().adjusted(-2, -2, 2, 2) & card;
    l.timeTitleInk = ink(l.timeTitle, bold.horizontalAdvance(kTimeTitle));
    return l;
}

const PlotChart::Layout &PlotChart::screenLayout() const
{
    if (FLayout.size != size())
        FLayout = layoutFor(size());
    return FLayout;
}

QRectF PlotChart::plotArea() const
{
    return screenLayout().area;
}

QPointF PlotChart::positionIn(const QRectF &area, const QPointF &value) const
{
    return QPointF(area.left() + (value.x() - FFrom) / (FTo - FFrom) * area.width(),
                   area.bottom() - value.y() / kTemperatureTop * area.height());
}

QPointF PlotChart::mapToPosition(const QPointF &value) const
{
    return positionIn(plotArea(), value);
}

QPointF PlotChart::mapToValue(const QPointF &position) const
{
    const QRectF area = plotArea();
    return QPointF(FFrom + (position.x() - area.left()) / area.width() * (FTo - FFrom),
                   (area.bottom() - position.y()) / area.height() * kTemperatureTop);
}

void PlotChart::showCursor(const QPointF &value, const QString &tip)
{
    FCursorShown = true;
    FCursorValue = value;
    FCursorTip = tip;
    update();
}

void PlotChart::hideCursor()
{
    if (!FCursorShown)
        return;
    FCursorShown = false;
    update();
}

// The card, the title, the grid with the temperature labels and the axis titles.
void PlotChart::paintFrame(QPainter &p, const Layout &l, const QFont &text) const
{
    const QRectF &area = l.area;
    const QFontMetricsF fm(font());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(l.background, kCardRadius, kCardRadius);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setFont(text);
    p.setPen(kTextColour);
    p.drawText(l.title, Qt::AlignHCenter | Qt::AlignTop, kTitle);
    paintGrid(p, l);
    p.setPen(kTextColour);
    for (double t : kTemperatures) {
        const qreal y = temperatureY(area, t);
        p.drawText(QRectF(l.temperatures.left(), y - fm.height() / 2, l.temperatures.width(), fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(t, 'f', 0));
    }
    p.setFont(boldOf(text));
    p.drawText(l.timeTitle, Qt::AlignHCenter | Qt::AlignTop, kTimeTitle);
    p.restore();
}

// Grid and axis lines are one pixel wide: filled as rectangles, which is far cheaper than
// drawing them as lines.
void PlotChart::paintGrid(QPainter &p, const Layout &l) const
{
    const QRectF &area = l.area;
    for (double t : kTemperatures)
        p.fillRect(QRectF(area.left(), temperatureY(area, t), area.width() + 1, 1), kGridColour);
    for (int i = 0; i < kTimeTicks; ++i)
        p.fillRect(QRectF(tickX(area, i), area.top(), 1, area.height() + 1), kGridColour);
    p.fillRect(QRectF(area.left(), area.bottom(), area.width() + 1, 1), kAxisColour);
    p.fillRect(QRectF(area.left(), area.top(), 1, area.height() + 1), kAxisColour);
}

// The frame as it stands in the picture, put together the cheap way: plain colours filled, the
// grid drawn, and only the card's corners and the texts copied from the picture.
void PlotChart::paintFrameFromPicture(QPainter &p, const Layout &l) const
{
    const QRect all = rect();
    const QRect card = l.background.toAlignedRect();
    const QColor window = palette().color(QPalette::Window);
    p.fillRect(QRect(0, 0, all.width(), card.top()), window);
    p.fillRect(QRect(0, card.bottom() + 1, all.width(), all.height() - card.bottom() - 1), window);
    p.fillRect(QRect(0, card.top(), card.left(), card.height()), window);
    p.fillRect(QRect(card.right() + 1, card.top(), all.width() - card.right() - 1, card.height()), window);
    p.fillRect(card, Qt::white);
    const int corner = int(kCardRadius) + 2;
    const QRect parts[] = {
        QRect(card.topLeft(), QSize(corner, corner)),
        QRect(QPoint(card.right() - corner + 1, card.top()), QSize(corner, corner)),
        QRect(QPoint(card.left(), card.bottom() - corner + 1), QSize(corner, corner)),
        QRect(QPoint(card.right() - corner + 1, card.bottom() - corner + 1), QSize(corner, corner)),
        l.titleInk, l.temperaturesInk, l.timeTitleInk,
    };
    const qreal ratio = FFrame.devicePixelRatio();
    for (const QRect &part : parts)
        p.drawPixmap(QPointF(part.topLeft()), FFrame,
                     QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    paintGrid(p, l);
}

// What changes from page to page: the time labels, the line with its symbols and marks, and
// the cursor.
void PlotChart::paintPage(QPainter &p, const Layout &l, const QFont &text, bool glyphs) const
{
    const QRectF &area = l.area;
    const QFontMetricsF fm(font());
    p.setFont(text);
    p.setPen(kTextColour);
    const qreal halfWidth = area.width() / 2 + 200;
    for (int i = 0; i < kTimeTicks; ++i) {
        const qreal x = tickX(area, i);
        if (glyphs)
            paintTimeLabel(p, x, l.timeLabelTop, FTimeLabels[i]);
        else
            p.drawText(QRectF(x - halfWidth, l.timeLabelTop, 2 * halfWidth, fm.height()),
                       Qt::AlignHCenter | Qt::AlignTop, FTimeLabels[i]);
    }

    const QList<QPointF> &points = FSeries.points();
    QPolygonF line;
    line.reserve(points.size());
    for (const QPointF &v : points)
        line.append(positionIn(area, v));

    p.save();
    p.setClipRect(area.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(kLineColour, 1));
    if (line.size() == 1)
        p.drawPoint(line.first());
    else
        p.drawPolyline(line);
    if (FSeries.pointsVisible()) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setBrush(kLineColour);
        for (const QPointF &at : std::as_const(line))
            p.drawEllipse(at, kSymbolRadius, kSymbolRadius);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    if (FSeries.pointLabelsVisible()) {
        // A value may stand out of the plot area, not out of the card.
        p.setClipRect(l.background);
        p.setPen(kTextColour);
        const qreal above = FSeries.pointsVisible() ? kSymbolRadius + 2 : 3;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QPointF at = line[i];
            const QRectF box(at.x() - 100, at.y() - above - fm.height(), 200, fm.height());
            p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, QString::number(points[i].y()));
        }
    }
    p.restore();

    if (FCursorShown) {
        const QPointF at = positionIn(area, FCursorValue);
        p.setPen(QPen(kCursorColour, 1, Qt::DashLine));
        p.drawLine(QPointF(at.x(), area.top()), QPointF(at.x(), area.bottom()));
        const QSizeF tip(fm.horizontalAdvance(FCursorTip), fm.height());
        QPointF tipAt = at + QPointF(8, -tip.height() - 4);
        if (tipAt.x() + tip.width() > area.right())
            tipAt.setX(at.x() - 8 - tip.width());
        tipAt.setY(std::clamp(tipAt.y(), area.top(), std::max(area.top(), area.bottom() - tip.height())));
        p.setPen(kTipColour);
        p.drawText(QRectF(tipAt, tip), Qt::AlignLeft | Qt::AlignTop, FCursorTip);
    }
}

void PlotChart::makeGlyphs()
{
    const QFontMetricsF fm(font());
    const QString chars = QStringLiteral("0123456789:");
    int width = 0;
    for (int i = 0; i < chars.size(); ++i) {
        FGlyphAdvance[i] = fm.horizontalAdvance(chars[i]);
        FGlyphLeft[i] = width;
        width += int(std::ceil(FGlyphAdvance[i])) + 2;
    }
    const qreal ratio = devicePixelRatioF();
    FGlyphs = QPixmap(QSize(width, int(std::ceil(fm.height()))) * ratio);
    FGlyphs.setDevicePixelRatio(ratio);
    FGlyphs.fill(Qt::transparent);
    QPainter p(&FGlyphs);
    p.setFont(font());
    p.setPen(kTextColour);
    for (int i = 0; i < chars.size(); ++i)
        p.drawText(QPointF(FGlyphLeft[i] + 1, fm.ascent()), QString(chars[i]));
}

// A time label as drawText would lay it out, centred on `centre`.
void PlotChart::paintTimeLabel(QPainter &p, qreal centre, qreal top, const QString &text) const
{
    qreal width = 0;
    for (QChar c : text)
        width += FGlyphAdvance[glyphIndex(c)];
    // Each character's cell has a pixel to spare on either side for ink beyond its advance.
    qreal x = centre - width / 2;
    const qreal ratio = FGlyphs.devicePixelRatio();
    for (QChar c : text) {
        const int g = glyphIndex(c);
        const qreal cell = std::ceil(FGlyphAdvance[g]) + 2;
        p.drawPixmap(QPointF(std::round(x) - 1, top), FGlyphs,
                     QRectF(FGlyphLeft[g] * ratio, 0, cell * ratio, FGlyphs.height()));
        x += FGlyphAdvance[g];
    }
}

void PlotChart::paintChart(QPainter &painter, const QSize &size) const
{
    // Laid out in the screen's units, drawn with the screen's text size whatever the
    // device's resolution: a size in points would grow with a printer's dots per inch.
    const Layout l = layoutFor(size);
    QFont text = font();
    text.setPixelSize(QFontInfo(font()).pixelSize());
    paintFrame(painter, l, text);
    paintPage(painter, l, text, false);
}

void PlotChart::paintEvent(QPaintEvent *)
{
    const Layout &l = screenLayout();
    const qreal ratio = devicePixelRatioF();
    if (FFrame.isNull() || FFrame.devicePixelRatio() != ratio) {
        FFrame = QPixmap(size() * ratio);
        FFrame.setDevicePixelRatio(ratio);
        FFrame.fill(palette().color(QPalette::Window));
        QPainter frame(&FFrame);
        paintFrame(frame, l, font());
    }
    if (FGlyphs.isNull() || FGlyphs.devicePixelRatio() != ratio)
        makeGlyphs();
    QPainter p(this);
    // At a fractional pixel ratio, plain colours filled in logical units do not meet the
    // picture's pixels exactly: the picture is copied whole.
    if (ratio != std::floor(ratio))
        p.drawPixmap(0, 0, FFrame);
    else
        paintFrameFromPicture(p, l);
    paintPage(p, l, font(), true);
}

void PlotChart::resizeEvent(QResizeEvent *event)
{
    // The characters' pictures depend on the font and the pixel ratio only; the layout
    // follows the size by itself.
    FFrame = QPixmap();
    QWidget::resizeEvent(event);
}

void PlotChart::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        dropFrame();
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}
