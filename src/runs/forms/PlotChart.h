#pragma once
// The plot viewer's chart: a temperature-over-time line under the title "Protocol", a time axis
// along the bottom ("Time", labels "hh:mm:ss") and a temperature axis fixed from 0 to 100 on
// the left. It holds one page of points at a time, so it paints itself rather than going through
// a general chart scene: between pages only the line and the time labels change, and everything
// else (background, title, grid, temperature labels) is kept as a picture of the chart's size.

#include <QList>
#include <QStringList>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

class PlotChart;

// The points the chart draws: X is the time as a day number of the workstation's clock (days
// since 30 December 1899, the time of day as the fraction), Y the temperature. Marks (the values of the points) and point symbols start hidden.
class PlotSeries {
public:
    explicit PlotSeries(PlotChart *chart) : FChart(chart) {}

    void replace(const QList<QPointF> &points);
    qsizetype count() const { return FPoints.size(); }
    QPointF at(qsizetype i) const { return FPoints.at(i); }
    const QList<QPointF> &points() const { return FPoints; }

    bool pointLabelsVisible() const { return FMarks; }
    void setPointLabelsVisible(bool visible);
    bool pointsVisible() const { return FSymbols; }
    void setPointsVisible(bool visible);

private:
    PlotChart *FChart;
    QList<QPointF> FPoints;
    bool FMarks = false;
    bool FSymbols = false;
};

class PlotChart : public QWidget {
    Q_OBJECT
public:
    explicit PlotChart(QWidget *parent = nullptr);
    ~PlotChart() override;

    PlotSeries *series() { return &FSeries; }
    // The times at the left and right ends of the time axis, as day numbers. A range of no
    // width (one point, or all at one time) becomes the second from `from`.
    void setTimeRange(qreal from, qreal to);
    qreal timeFrom() const { return FFrom; }
    qreal timeTo() const { return FTo; }

    // Where the line is drawn, in the chart's coordinates.
    QRectF plotArea() const;
    QPointF mapToPosition(const QPointF &value) const;
    QPointF mapToValue(const QPointF &position) const;

    // The cursor: a dashed line through a point of the line and a tip with its time and value.
    void showCursor(const QPointF &value, const QString &tip);
    void hideCursor();
    QString cursorTip() const { return FCursorShown ? FCursorTip : QString(); }
    // The texts under the time ticks, left to right.
    const QStringList &timeLabels() const { return FTimeLabels; }

    // Paints the whole chart into a painter whose device is `size` large, all of it drawn anew
    // (a printer gets lines and text, not pictures of the screen).
    void paintChart(QPainter &painter, const QSize &size) const;

    QSize sizeHint() const override { return QSize(640, 420); }

    // "hh:mm:ss": the time of day a day number spells (empty for no valid day number).
    static QString timeText(double dayNumber);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Where the parts of a chart of one size go.
    struct Layout {
        QSize size;
        QRectF background;  // the white, rounded card the chart is drawn on
        QRectF area;        // the plot area
        qreal timeLabelTop = 0;
        QRectF title;         // the texts that do not change between pages
        QRectF temperatures;
        QRectF timeTitle;
        QRect titleInk;  // where they leave ink
        QRect temperaturesInk;
        QRect timeTitleInk;
    };
    Layout layoutFor(const QSize &size) const;
    // Where a value (time, temperature) lies in a plot area.
    QPointF positionIn(const QRectF &area, const QPointF &value) const;
    const Layout &screenLayout() const;
    // `text`: the font the texts are drawn with.
    void paintFrame(QPainter &painter, const Layout &layout, const QFont &text) const;
    void paintGrid(QPainter &painter, const Layout &layout) const;
    void paintFrameFromPicture(QPainter &painter, const Layout &layout) const;
    // `glyphs`: the time labels are put together from the pictures of their characters.
    void paintPage(QPainter &painter, const Layout &layout, const QFont &text, bool glyphs) const;
    void paintTimeLabel(QPainter &painter, qreal centre, qreal top, const QString &text) const;
    void makeGlyphs();
    void dropFrame();

    PlotSeries FSeries;
    qreal FFrom = 0;
    qreal FTo = 1;
    bool FCursorShown = false;
    QPointF FCursorValue;
    QString FCursorTip;
    QStringList FTimeLabels;  // the texts under the time ticks, left to right
    QPixmap FFrame;  // everything that does not change between pages, at the chart's size
    // The characters of the time labels ("0" to "9" and ":") side by side: where each starts
    // in the picture and how far it moves the pen.
    QPixmap FGlyphs;
    int FGlyphLeft[11] = {};
    qreal FGlyphAdvance[11] = {};
    mutable Layout FLayout;  // for the chart's present size and font
};
