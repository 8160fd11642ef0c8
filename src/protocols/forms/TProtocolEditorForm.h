#pragma once
// "Protocol Editor": the one window in which protocols are made and changed. It keeps the
// protocol as a CyclerStepList, shows it as an indented list of steps and loops with a detail
// panel for the selected record, draws the temperature profile, saves to and opens protocol
// files, shows the raw text it was given, and writes the protocol back into the instrument
// folder it came from ("Save changes to Duvo").
//
// Every window that shows a protocol opens it modally and frees it afterwards:
//
//     TProtocolEditorForm editor(this, false, QString::fromStdString(text), true, QString(),
//                                "PCR1", "/DATA", "192.168.0.20");
//     editor.exec();
//
// NewProtocol builds the default protocol on show; a ProtocolXml is read on show; FromDevice
// (a protocol fetched from the instrument at IP, folder Folder) enables "Save changes to Duvo".

#include "link/NetExchange.h"
#include "protocols/CyclerStepList.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialog>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPixmap>

#include <memory>
#include <vector>

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QGraphicsItem;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QValueAxis;

class TProtocolEditorForm : public QDialog {
    Q_OBJECT
public:
    TProtocolEditorForm(QWidget *Owner, bool NewProtocol, const QString &ProtocolXml, bool FromDevice,
                        const QString &SaveFileName, const QString &Name, const QString &Folder, const QString &IP);
    ~TProtocolEditorForm() override;

    duvo::CyclerStepList &stepList() { return FStepList; }
    const duvo::CyclerStepList &stepList() const { return FStepList; }
    bool loadFailed() const { return FLoadFailed; }
    const QString &loadedXml() const { return FLoadedXml; }
    const QString &loadedSize() const { return FLoadedSize; }
    const QString &protocolName() const { return FProtocolName; }
    const QString &openedPath() const { return FOpenedPath; }
    TcpClient &client() { return TCPClient1; }

    // The list's selection (-1: none) and the open detail panel.
    int selectedIndex() const;
    void selectIndex(int index);
    bool detailOpen() const;
    int detailIndex() const { return FDetailIndex; }
    QString footerText() const;

    // The graph's paging: the marks drawn are those of the visible page only.
    int pointsPerPage() const { return FPointsPerPage; }
    int page() const { return FPage; }
    int pageCount() const;
    void setPage(int page);
    int pointCount() const { return static_cast<int>(FPoints.size()); }
    int visibleMarkCount() const { return static_cast<int>(FMarks.size()); }
    // A click on the mark of point `point` (as a mouse click on it does).
    void markClicked(int point);

    // ---- controls
    QGroupBox *grpEditor = nullptr;
    QToolButton *btnNew = nullptr;
    QToolButton *btnNewStep = nullptr;
    QToolButton *btnNewLoop = nullptr;
    QToolButton *btnDelete = nullptr;
    QToolButton *btnDeleteAll = nullptr;
    QStackedWidget *FListPages = nullptr;
    QListWidget *lbProtoList = nullptr;
    QLabel *lblFooter = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QTreeWidget *InspectorBar1 = nullptr;   // the detail panel, built when a record is first opened

    QGroupBox *grpGraph = nullptr;
    QChartView *Chart1View = nullptr;
    QChart *Chart1 = nullptr;
    QLineSeries *Series1 = nullptr;
    QDateTimeAxis *AxisX = nullptr;
    QValueAxis *AxisY = nullptr;
    QSpinBox *PPPSpinEdit1 = nullptr;
    QCheckBox *MarksBox1 = nullptr;
    QScrollBar *ChartScrollBar1 = nullptr;
    QToolButton *btnFirstPage = nullptr;
    QToolButton *btnPriorPage = nullptr;
    QToolButton *btnNextPage = nullptr;
    QToolButton *btnLastPage = nullptr;
    QLabel *lblPage = nullptr;

    QGroupBox *grpGeneral = nullptr;
    QLineEdit *edtName1 = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QGroupBox *grpSource = nullptr;
    QLabel *lblFolder = nullptr;
    QLabel *lblIP = nullptr;

    QPushButton *btnExport = nullptr;
    QPushButton *btnImport = nullptr;
    QPushButton *btnUpdateOrig = nullptr;
    QPushButton *btnClose = nullptr;

    TcpClient TCPClient1;

    int FClickedMark = -1;
    bool FMarkPending = false;

    // ---- handlers
    void FormShow();
    void btnNewClick();
    void btnNewStepClick();
    void btnNewLoopClick();
    void btnDeleteClick();
    void btnDeleteAllClick();
    void btnExportClick();
    void btnImportClick();
    void btnUpdateOrigClick();
    void btnViewProtocolClick();
    void lbProtoListDblClick(int index);
    // The detail panel's Close: applies it to the record and closes it.
    void InspectorCloseClick();
    // Closes the panel without applying it.
    void CloseDetail();
    void edtName1Change(const QString &text);
    void PPPSpinEdit1Change(int value);
    void MarksBox1Click(bool on);

    void UpdateStepSummary();
    void UpdateEditButtons();
    void DrawProtocolGraph();

    // Escape closes an open detail panel first; while "Save changes to Duvo" runs the window
    // closes only once it is done.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildEditorGroup();
    void buildGraphGroup();
    void buildGeneralGroup();
    void buildInspector();
    void rebuildItems();
    void afterCommand(int select);
    void afterLoad();
    void showStepPanel(const duvo::CyclerStepRecord &record);
    void showLoopPanel(int index, const duvo::CyclerStepRecord &record);
    void inspectorEditStop(QTreeWidgetItem *item);
    void holdSwitched(bool on);
    void drawMarks();
    void clearMarks();
    void updatePaging();

    duvo::CyclerStepList FStepList;
    duvo::DeviceFileOperations FOperations{TCPClient1};
    bool FNewProtocol = false;
    bool FHasXml = false;
    bool FFromDevice = false;
    QString FLoadedXml;
    QString FLoadedSize;
    QString FProtocolName;
    QString FFolder;
    QString FIP;
    QString FSaveFileName;
    QString FOpenedPath;
    bool FLoadFailed = false;
    int FDetailIndex = -1;
    bool FShown = false;
    bool FBusy = false;
    bool FClosePending = false;

    // The panel's editors by item caption.
    QLineEdit *FTemperatureEdit = nullptr;
    QTimeEdit *FTimeEdit = nullptr;
    QLineEdit *FRampEdit = nullptr;
    QTimeEdit *FTimeChangeEdit = nullptr;
    QCheckBox *FDecrementCheck = nullptr;
    QLineEdit *FTempIncEdit = nullptr;
    QCheckBox *FHoldCheck = nullptr;
    QLabel *FAvailableLabel = nullptr;
    QComboBox *FStepsCombo = nullptr;
    QLineEdit *FCyclesEdit = nullptr;
    QList<QTreeWidgetItem *> FStepItems;
    QList<QTreeWidgetItem *> FLoopItems;
    QHash<QWidget *, QString> FLastGood;

    struct Point {
        qint64 ms;
        double temperature;
        QString label;
        QColor colour;
    };
    std::vector<Point> FPoints;
    qint64 FStartMs = 0;
    int FPointsPerPage = 10;
    int FPage = 0;
    std::vector<QGraphicsItem *> FMarks;
};

extern TProtocolEditorForm *ProtocolEditorForm;
