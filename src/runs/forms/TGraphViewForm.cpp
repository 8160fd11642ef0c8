#include "runs/forms/TGraphViewForm.h"

#include "common/Prompts.h"
#include "common/forms/PrintPrompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace duvo;

QPointer<TGraphViewForm> GraphViewForm;

namespace {

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

    Chart1 = new PlotChart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setMouseTracking(true);
    Chart1->installEventFilter(this);
    Series1 = Chart1->series();
    top->addWidget(Chart1, 1);

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
}

void TGraphViewForm::showPage(int page)
{
    FPaging.setPage(page);
    const qsizetype first = FPaging.first();
    const qsizetype count = FPaging.count();
    QList<QPointF> shown;
    shown.reserve(count);
    // The series takes the day numbers as they stand: its axis shows the times of day they spell.
    for (qsizetype i = first; i < first + count; ++i)
        shown.append(QPointF(FPoints[size_t(i)].x, FPoints[size_t(i)].y));
    if (!shown.isEmpty())
        Chart1->setTimeRange(shown.first().x(), shown.last().x());
    Series1->replace(shown);
    Chart1->hideCursor();

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
    if (watched == Chart1) {
        if (event->type() == QEvent::MouseMove)
            moveCursor(static_cast<QMouseEvent *>(event)->position());
        else if (event->type() == QEvent::Leave)
            Chart1->hideCursor();
    }
    return QDialog::eventFilter(watched, event);
}

void TGraphViewForm::moveCursor(const QPointF &position)
{
    const QList<QPointF> &shown = Series1->points();
    if (shown.isEmpty() || !Chart1->plotArea().contains(position)) {
        Chart1->hideCursor();
        return;
    }
    // The point of the page nearest in time to the mouse.
    const qreal t = Chart1->mapToValue(position).x();
    auto it = std::lower_bound(shown.begin(), shown.end(), t, [](const QPointF &p, qreal x) { return p.x() < x; });
    if (it == shown.end())
        --it;
    else if (it != shown.begin() && std::abs((it - 1)->x() - t) <= std::abs(it->x() - t))
        --it;
    Chart1->showCursor(*it, PlotChart::timeText(it->x()) + QStringLiteral("  ") + QString::number(it->y(), 'f', 1));
}

void TGraphViewForm::PrintTo(QPrinter &printer)
{
    QPainter painter(&printer);
    if (!painter.isActive())
        return;
    const QRect page = painter.viewport();
    // The chart as it stands on the screen, scaled to the page and drawn anew there.
    QSizeF fitted = QSizeF(Chart1->size());
    fitted.scale(QSizeF(page.size()), Qt::KeepAspectRatio);
    painter.scale(fitted.width() / Chart1->width(), fitted.height() / Chart1->height());
    Chart1->paintChart(painter, Chart1->size());
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
    QApplication::clipboard()->setPixmap(Chart1->grab());
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
    if (!Chart1->grab().save(target, "PNG"))
        Prompts::error(QStringLiteral("Could not save the chart to ") + target);
}
