#pragma once
// The plot viewer: one run's plot file as a temperature-over-time line, a page of points at a
// time. Only the current page is in the series; the page navigator, the scroll bar and the
// Points per Page spin move through the file. The caller shows it modally and deletes it.

#include "runs/RunPlotReader.h"
#include "runs/forms/PlotChart.h"

#include <QDialog>
#include <QPointer>

#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QToolBar;
class QToolButton;

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

    PlotChart *Chart1 = nullptr;
    PlotSeries *Series1 = nullptr;  // the points of the current page
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
    void moveCursor(const QPointF &position);

    QString FPath;
    std::vector<duvo::PlotPoint> FPoints;
    duvo::PlotPaging FPaging;
    bool FShown = false;
    bool FCentred = false;
};
