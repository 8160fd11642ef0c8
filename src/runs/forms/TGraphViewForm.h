#pragma once
// The plot viewer: one run's plot file as a temperature-over-time line, a page of points at a
// time. Only the current page is in the series; the page navigator, the scroll bar and the
// Points per Page spin move through the file. The caller shows it modally and deletes it.

#include "runs/RunPlotReader.h"

#include <QDialog>
#include <QPointer>

#include <unordered_set>
#include <vector>

class QAction;
class QCheckBox;
class QChart;
class QChartView;
class QDateTimeAxis;
class QGraphicsItem;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;
class QPrinter;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QToolBar;
class QToolButton;
class QValueAxis;

class TGraphViewForm;
extern QPointer<TGraphViewForm> GraphViewForm;

class TGraphViewForm : public QDialog {
    Q_OBJECT
public:
    TGraphViewForm(QWidget *owner, const QString &path);
    ~TGraphViewForm() override;

    // Reads the plot file and shows the first page; runs once, when the window is first shown.
    void FormShow();

    const std::vector<duvo::PlotPoint> &points() const { return FPoints; }
    const duvo::PlotPaging &paging() const { return FPaging; }
    void showPage(int page);
    // Draws the chart as it stands into a printer (or a PDF printer).
    void PrintTo(QPrinter &printer);

    QChartView *Chart1View = nullptr;
    QChart *Chart1 = nullptr;
    QLineSeries *Series1 = nullptr;
    QDateTimeAxis *BottomAxis = nullptr;
    QValueAxis *LeftAxis = nullptr;
    QToolBar *TeeCommander1 = nullptr;
    QAction *actNormal = nullptr;
    QAction *actPrintPreview = nullptr;
    QAction *actCopy = nullptr;
    QAction *actSave = nullptr;
    QLabel *CommanderLabel = nullptr;
    QToolButton *btnFirstPage = nullptr;
    QToolButton *btnPriorPage = nullptr;
    QToolButton *btnNextPage = nullptr;
    QToolButton *btnLastPage = nullptr;
    QLabel *PageNumLabel = nullptr;
    QScrollBar *ChartScrollBar1 = nullptr;
    QCheckBox *MarksBox1 = nullptr;
    QCheckBox *PointBox1 = nullptr;
    QSpinBox *PPPSpinEdit1 = nullptr;
    QPushButton *btnOk = nullptr;

public slots:
    void MarksBox1Click();
    void PointBox1Click();
    void PPPSpinEdit1Change();
    void PrintPreviewClick();
    void CopyClick();
    void SaveClick();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void moveCursor(const QPointF &viewPosition);
    void hideCursor();
    void cacheChartFrame();

    QString FPath;
    std::vector<duvo::PlotPoint> FPoints;
    std::vector<qreal> FShownTimes;  // axis times of the points on the current page
    duvo::PlotPaging FPaging;
    bool FShown = false;
    bool FOpened = false;       // the first page of the file has been shown
    bool FFrameCached = false;  // the chart's frame is kept as pixmaps (from the first page move on)
    bool FCentred = false;
    QGraphicsLineItem *FCursorLine = nullptr;
    QGraphicsSimpleTextItem *FCursorTip = nullptr;
    // The items that draw Series1 (its line, points and marks): everything else in the chart
    // is kept as a pixmap between pages.
    std::unordered_set<const QGraphicsItem *> FSeriesItems;
};
