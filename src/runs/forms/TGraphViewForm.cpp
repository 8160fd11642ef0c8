#include "runs/forms/TGraphViewForm.h"

#include "common/Prompts.h"
#include "common/forms/PrintPrompt.h"
#include "runs/DayNumber.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace duvo;

QPointer<TGraphViewForm> GraphViewForm;

namespace {

// The chart's time axis works in milliseconds since the epoch.
// The toolbar's "normal" button: the mouse pointer.
QIcon pointerIcon()
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(5, 2), QPointF(5, 16), QPointF(8.5, 12.5), QPointF(11, 18), QPointF(13, 17),
                             QPointF(10.5, 11.5), QPointF(15, 11.5)}));
    return QIcon(pm);
}

qreal axisTime(double dayNumber)
{
    return qreal(duvo::DateTimeFromDayNumber(dayNumber).toMSecsSinceEpoch());
}

template <typename F>
void forEachDescendant(QGraphicsItem *item, const F &f)
{
    const auto children = item->childItems();
    for (QGraphicsItem *child : children) {
        f(child);
        forEachDescendant(child, f);
    }
}

} // namespace

TGraphViewForm::TGraphViewForm(QWidget *owner, const QString &path) : QDialog(owner), FPath(path)
{
    GraphViewForm = this;
    setObjectName(QStringLiteral("GraphViewForm"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(QFileInfo(path).fileName());
    buildWindow();
    FPaging.setPointsPerPage(PlotPaging::kDefaultPerPage);
    PPPSpinEdit1->setValue(PlotPaging::kDefaultPerPage);
    showPage(0);
}

TGraphViewForm::~TGraphViewForm() = default;

void TGraphViewForm::buildWindow()
{
    setMinimumSize(560, 600);
    resize(760, 600);
    auto *top = new QVBoxLayout(this);
    top->setSpacing(4);

    TeeCommander1 = new QToolBar(this);
    TeeCommander1->setObjectName(QStringLiteral("TeeCommander1"));
    TeeCommander1->setIconSize(QSize(20, 20));
    TeeCommander1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    actNormal = TeeCommander1->addAction(pointerIcon(), QStringLiteral("Normal"));
    actNormal->setObjectName(QStringLiteral("actNormal"));
    actNormal->setCheckable(true);
    actNormal->setChecked(true);
    actNormal->setToolTip(QStringLiteral("Normal"));
    TeeCommander1->addSeparator();
    actPrintPreview = TeeCommander1->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                               QStringLiteral("Print Preview..."), this,
                                               &TGraphViewForm::PrintPreviewClick);
    actPrintPreview->setObjectName(QStringLiteral("actPrintPreview"));
    actCopy = TeeCommander1->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                       QStringLiteral("Copy"), this, &TGraphViewForm::CopyClick);
    actCopy->setObjectName(QStringLiteral("actCopy"));
    actSave = TeeCommander1->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save"),
                                       this, &TGraphViewForm::SaveClick);
    actSave->setObjectName(QStringLiteral("actSave"));
    TeeCommander1->addSeparator();
    CommanderLabel = new QLabel(TeeCommander1);
    CommanderLabel->setObjectName(QStringLiteral("CommanderLabel"));
    CommanderLabel->setContentsMargins(6, 0, 6, 0);
    TeeCommander1->addWidget(CommanderLabel);
    for (QAction *a : {actNormal, actPrintPreview, actCopy, actSave})
        connect(a, &QAction::hovered, this, [this, a] { CommanderLabel->setText(a->text()); });
    top->addWidget(TeeCommander1);

    Chart1 = new QChart;
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setTitle(QStringLiteral("Protocol"));
    Chart1->legend()->hide();
    Chart1->setAnimationOptions(QChart::NoAnimation);
    Series1 = new QLineSeries;
    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->setPointLabelsFormat(QStringLiteral("@yPoint"));
    Series1->setPointLabelsClipping(true);
    Series1->setMarkerSize(6);
    std::unordered_set<const QGraphicsItem *> before;
    forEachDescendant(Chart1, [&](QGraphicsItem *item) { before.insert(item); });
    Chart1->addSeries(Series1);
    forEachDescendant(Chart1, [&](QGraphicsItem *item) {
        if (!before.count(item))
            FSeriesItems.insert(item);
    });
    BottomAxis = new QDateTimeAxis;
    BottomAxis->setTitleText(QStringLiteral("Time"));
    BottomAxis->setFormat(QStringLiteral("hh:mm:ss"));
    BottomAxis->setTickCount(6);
    LeftAxis = new QValueAxis;
    LeftAxis->setRange(0, 100);
    LeftAxis->setLabelFormat(QStringLiteral("%.0f"));
    Chart1->addAxis(BottomAxis, Qt::AlignBottom);
    Chart1->addAxis(LeftAxis, Qt::AlignLeft);
    Series1->attachAxis(BottomAxis);
    Series1->attachAxis(LeftAxis);

    Chart1View = new QChartView(Chart1, this);
    Chart1View->setObjectName(QStringLiteral("Chart1View"));
    Chart1View->setRenderHint(QPainter::Antialiasing, false);
    Chart1View->setRubberBand(QChartView::NoRubberBand);
    Chart1View->setMouseTracking(true);
    Chart1View->viewport()->setMouseTracking(true);
    Chart1View->viewport()->installEventFilter(this);
    top->addWidget(Chart1View, 1);

    FCursorLine = new QGraphicsLineItem(Chart1);
    FCursorLine->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
    FCursorLine->setZValue(20);
    FCursorLine->hide();
    FCursorTip = new QGraphicsSimpleTextItem(Chart1);
    FCursorTip->setZValue(21);
    FCursorTip->setBrush(QColor(40, 40, 40));
    FCursorTip->hide();
    // The axes make their tick and label items when the chart is first laid out.
    connect(Chart1, &QChart::plotAreaChanged, this, &TGraphViewForm::cacheChartFrame);

    // The page navigator, the scroll bar along the time axis and the page number.
    auto *paging = new QHBoxLayout;
    auto navButton = [this](const char *name, QStyle::StandardPixmap icon, const QString &hint) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        return b;
    };
    btnFirstPage = navButton("btnFirstPage", QStyle::SP_MediaSkipBackward, QStringLiteral("First page"));
    btnPriorPage = navButton("btnPriorPage", QStyle::SP_MediaSeekBackward, QStringLiteral("Previous page"));
    btnNextPage = navButton("btnNextPage", QStyle::SP_MediaSeekForward, QStringLiteral("Next page"));
    btnLastPage = navButton("btnLastPage", QStyle::SP_MediaSkipForward, QStringLiteral("Last page"));
    connect(btnFirstPage, &QToolButton::clicked, this, [this] { showPage(0); });
    connect(btnPriorPage, &QToolButton::clicked, this, [this] { showPage(FPaging.page() - 1); });
    connect(btnNextPage, &QToolButton::clicked, this, [this] { showPage(FPaging.page() + 1); });
    connect(btnLastPage, &QToolButton::clicked, this, [this] { showPage(FPaging.pageCount() - 1); });
    for (QToolButton *b : {btnFirstPage, btnPriorPage, btnNextPage, btnLastPage})
        paging->addWidget(b);
    ChartScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ChartScrollBar1->setObjectName(QStringLiteral("ChartScrollBar1"));
    ChartScrollBar1->setToolTip(QStringLiteral("Allows you to scroll along the time axis"));
    ChartScrollBar1->setPageStep(1);
    connect(ChartScrollBar1, &QScrollBar::valueChanged, this, [this](int v) {
        if (v != FPaging.page())
            showPage(v);
    });
    paging->addWidget(ChartScrollBar1, 1);
    PageNumLabel = new QLabel(QStringLiteral("Page 1 of 1"), this);
    PageNumLabel->setObjectName(QStringLiteral("PageNumLabel"));
    PageNumLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PageNumLabel->setMinimumWidth(PageNumLabel->fontMetrics().horizontalAdvance(QStringLiteral("Page 00000 of 00000")));
    paging->addWidget(PageNumLabel);
    top->addLayout(paging);

    auto *controls = new QHBoxLayout;
    MarksBox1 = new QCheckBox(QStringLiteral("Show Marks"), this);
    MarksBox1->setObjectName(QStringLiteral("MarksBox1"));
    MarksBox1->setToolTip(QStringLiteral("Shows the values of the data points"));
    connect(MarksBox1, &QCheckBox::clicked, this, &TGraphViewForm::MarksBox1Click);
    PointBox1 = new QCheckBox(QStringLiteral("Show Points"), this);
    PointBox1->setObjectName(QStringLiteral("PointBox1"));
    PointBox1->setToolTip(QStringLiteral("Shows the actual data points"));
    connect(PointBox1, &QCheckBox::clicked, this, &TGraphViewForm::PointBox1Click);
    auto *pppLabel = new QLabel(QStringLiteral("Points per Page"), this);
    PPPSpinEdit1 = new QSpinBox(this);
    PPPSpinEdit1->setObjectName(QStringLiteral("PPPSpinEdit1"));
    PPPSpinEdit1->setToolTip(QStringLiteral("The amount of points visible per page"));
    PPPSpinEdit1->setRange(PlotPaging::kMinPerPage, PlotPaging::kMaxPerPage);
    PPPSpinEdit1->setValue(PlotPaging::kDefaultPerPage);
    pppLabel->setBuddy(PPPSpinEdit1);
    connect(PPPSpinEdit1, &QSpinBox::valueChanged, this, &TGraphViewForm::PPPSpinEdit1Change);
    btnOk = new QPushButton(QStringLiteral("Close"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    controls->addWidget(MarksBox1);
    controls->addSpacing(12);
    controls->addWidget(PointBox1);
    controls->addSpacing(24);
    controls->addWidget(pppLabel);
    controls->addWidget(PPPSpinEdit1);
    controls->addStretch(1);
    controls->addWidget(btnOk);
    top->addLayout(controls);
}

void TGraphViewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FCentred) {
        FCentred = true;
        if (QWidget *owner = parentWidget()) {
            const QPoint centre = owner->mapToGlobal(owner->rect().center());
            move(centre - QPoint(width() / 2, height() / 2));
        }
    }
    if (!FShown)
        FormShow();
}

void TGraphViewForm::FormShow()
{
    if (FShown)
        return;
    FShown = true;
    ReadRunPlotFile(FPath, FPoints);
    FPaging.setPointCount(qsizetype(FPoints.size()));
    showPage(0);
    FOpened = true;
}

void TGraphViewForm::showPage(int page)
{
    FPaging.setPage(page);
    const qsizetype first = FPaging.first();
    const qsizetype count = FPaging.count();
    QList<QPointF> shown;
    shown.reserve(count);
    if (count > 0) {
        // Within a page the clock rarely changes its offset: when the page's first and last
        // times are exactly their day-number distance apart, the times between are too.
        const double x0 = FPoints[size_t(first)].x;
        const double x1 = FPoints[size_t(first + count - 1)].x;
        const qreal t0 = axisTime(x0);
        const qreal t1 = axisTime(x1);
        const bool linear = std::abs((t1 - t0) - (x1 - x0) * 86400000.0) < 1.0;
        for (qsizetype i = first; i < first + count; ++i) {
            const PlotPoint &p = FPoints[size_t(i)];
            shown.append(QPointF(linear ? t0 + (p.x - x0) * 86400000.0 : axisTime(p.x), p.y));
        }
    }
    FShownTimes.resize(size_t(shown.size()));
    for (qsizetype i = 0; i < shown.size(); ++i)
        FShownTimes[size_t(i)] = shown[i].x();
    if (!shown.isEmpty()) {
        qreal from = shown.first().x();
        qreal to = shown.last().x();
        if (to <= from)
            to = from + 1000;  // one point, or all at one time: a second around it
        // Emptied first, the series lays out its line once, for the new page in the new range,
        // rather than the old page in the new range and then the new one.
        Series1->clear();
        // The axis keeps the instants only: given in UTC they need no time zone look-up.
        BottomAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(from), Qt::UTC),
                             QDateTime::fromMSecsSinceEpoch(qint64(to), Qt::UTC));
    }
    Series1->replace(shown);
    hideCursor();
    // The window opens without making pixmaps; paging through the file uses them.
    if (FOpened) {
        FFrameCached = true;
        cacheChartFrame();
    }

    const int pages = FPaging.pageCount();
    {
        const QSignalBlocker block(ChartScrollBar1);
        ChartScrollBar1->setRange(0, pages - 1);
        ChartScrollBar1->setValue(FPaging.page());
    }
    PageNumLabel->setText(FPaging.label());
    btnFirstPage->setEnabled(FPaging.page() > 0);
    btnPriorPage->setEnabled(FPaging.page() > 0);
    btnNextPage->setEnabled(FPaging.page() < pages - 1);
    btnLastPage->setEnabled(FPaging.page() < pages - 1);
}

// Between pages only the series and the time labels change: the background, plot area, grid
// and axis lines are painted once into pixmaps and copied on every repaint. The series and the
// texts draw straight into the view (a text item kept as a pixmap is not repainted reliably
// when its axis lays it out again). The pixmaps live in the shared pixmap cache: an item too
// big to stay there (a very large window) is painted directly, as it would be redrawn into a
// new pixmap on every repaint.
void TGraphViewForm::cacheChartFrame()
{
    if (!FFrameCached)
        return;
    const qreal ratio = Chart1View->devicePixelRatioF();
    const qreal maxBytes = qreal(QPixmapCache::cacheLimit()) * 1024 / 2;
    forEachDescendant(Chart1, [&](QGraphicsItem *item) {
        if (item == FCursorLine || item == FCursorTip || FSeriesItems.count(item)
            || dynamic_cast<QGraphicsTextItem *>(item))
            return;
        const QRectF box = item->sceneBoundingRect();
        const bool fits = (box.width() * ratio + 2) * (box.height() * ratio + 2) * 4 <= maxBytes;
        const auto mode = fits ? QGraphicsItem::DeviceCoordinateCache : QGraphicsItem::NoCache;
        if (item->cacheMode() != mode)
            item->setCacheMode(mode);
    });
}

void TGraphViewForm::MarksBox1Click()
{
    Series1->setPointLabelsVisible(MarksBox1->isChecked());
}

void TGraphViewForm::PointBox1Click()
{
    Series1->setPointsVisible(PointBox1->isChecked());
}

void TGraphViewForm::PPPSpinEdit1Change()
{
    FPaging.setPointsPerPage(PPPSpinEdit1->value());
    showPage(FPaging.page());
}

bool TGraphViewForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Chart1View->viewport()) {
        if (event->type() == QEvent::MouseMove)
            moveCursor(static_cast<QMouseEvent *>(event)->position());
        else if (event->type() == QEvent::Leave)
            hideCursor();
    }
    return QDialog::eventFilter(watched, event);
}

void TGraphViewForm::moveCursor(const QPointF &viewPosition)
{
    const qsizetype first = FPaging.first();
    const qsizetype count = FPaging.count();
    const QRectF area = Chart1->plotArea();
    const QPointF scenePos = Chart1View->mapToScene(viewPosition.toPoint());
    const QPointF chartPos = Chart1->mapFromScene(scenePos);
    if (count == 0 || !area.contains(chartPos)) {
        hideCursor();
        return;
    }
    // The point of the page nearest in time to the mouse.
    const qreal t = Chart1->mapToValue(chartPos, Series1).x();
    auto it = std::lower_bound(FShownTimes.begin(), FShownTimes.end(), t);
    if (it == FShownTimes.end())
        --it;
    else if (it != FShownTimes.begin() && std::abs(*(it - 1) - t) <= std::abs(*it - t))
        --it;
    const size_t k = size_t(it - FShownTimes.begin());
    const PlotPoint &point = FPoints[size_t(first) + k];
    const QPointF at = Chart1->mapToPosition(QPointF(FShownTimes[k], point.y), Series1);
    FCursorLine->setLine(at.x(), area.top(), at.x(), area.bottom());
    FCursorLine->show();
    FCursorTip->setText(QStringLiteral("%1  %2").arg(duvo::DateTimeFromDayNumber(point.x).toString(QStringLiteral("hh:mm:ss")),
                                                   QString::number(point.y, 'f', 1)));
    QPointF tipAt = at + QPointF(8, -FCursorTip->boundingRect().height() - 4);
    if (tipAt.x() + FCursorTip->boundingRect().width() > area.right())
        tipAt.setX(at.x() - 8 - FCursorTip->boundingRect().width());
    if (tipAt.y() < area.top())
        tipAt.setY(area.top());
    FCursorTip->setPos(tipAt);
    FCursorTip->show();
}

void TGraphViewForm::hideCursor()
{
    FCursorLine->hide();
    FCursorTip->hide();
}

void TGraphViewForm::PrintTo(QPrinter &printer)
{
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    const QRect page = painter.viewport();
    QSize size = Chart1View->size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    // On paper the frame is drawn anew at the printer's resolution, not copied from the
    // screen's pixmaps.
    forEachDescendant(Chart1, [](QGraphicsItem *item) { item->setCacheMode(QGraphicsItem::NoCache); });
    Chart1View->render(&painter, QRectF(QPointF(0, 0), size));
    cacheChartFrame();
}

void TGraphViewForm::PrintPreviewClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    if (askPrinter(printer))
        PrintTo(printer);
}

void TGraphViewForm::CopyClick()
{
    QApplication::clipboard()->setPixmap(Chart1View->grab());
}

void TGraphViewForm::SaveClick()
{
    const QString base = QFileInfo(FPath).completeBaseName();
    const auto chosen = Prompts::saveFile(QStringLiteral("Save Chart"), QFileInfo(FPath).absolutePath(),
                                          QStringLiteral("PNG Images (*.png)"), base + QStringLiteral(".png"));
    if (!chosen || chosen->isEmpty())
        return;
    QString target = *chosen;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".png");
    if (!Chart1View->grab().save(target, "PNG"))
        Prompts::error(QStringLiteral("Could not save the chart to ") + target);
}
