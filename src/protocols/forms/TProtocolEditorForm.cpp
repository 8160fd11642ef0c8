#include "protocols/forms/TProtocolEditorForm.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/Workstation.h"
#include "protocols/ProtocolDocument.h"
#include "protocols/ProtocolEditing.h"
#include "protocols/ProtocolFile.h"
#include "protocols/forms/TOpenProtocolForm.h"
#include "protocols/forms/TRawProtocolForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyleOptionFrame>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

TProtocolEditorForm *ProtocolEditorForm = nullptr;

using namespace duvo;

namespace {

constexpr int ItemHeight = 40;
constexpr int PictureSize = 24;

// The four pictures of the list: our own artwork, drawn once.
QPixmap drawPicture(ItemPicture picture)
{
    QPixmap pm(PictureSize, PictureSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case ItemPicture::Step: {
        // A thermometer.
        p.setPen(QPen(QColor(120, 20, 20), 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(9.5, 2.5, 5, 15), 2.5, 2.5);
        p.setBrush(QColor(210, 40, 40));
        p.drawEllipse(QRectF(6.5, 14.5, 11, 8));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(11, 8, 2, 8));
        break;
    }
    case ItemPicture::Loop: {
        // Two arrows chasing each other.
        QPen pen(QColor(20, 130, 40), 2.5);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 150 * 16);
        p.drawArc(QRectF(4, 4, 16, 16), 210 * 16, 150 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 130, 40));
        p.drawPolygon(QPolygonF({QPointF(18.5, 4), QPointF(22.5, 10), QPointF(15, 10.5)}));
        p.drawPolygon(QPolygonF({QPointF(5.5, 20), QPointF(1.5, 14), QPointF(9, 13.5)}));
        break;
    }
    case ItemPicture::Hold: {
        // A blue pause sign.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8, 7, 3, 10));
        p.drawRect(QRectF(13, 7, 3, 10));
        break;
    }
    case ItemPicture::Warning: {
        p.setPen(QPen(QColor(150, 110, 0), 1.2));
        p.setBrush(QColor(250, 200, 30));
        p.drawPolygon(QPolygonF({QPointF(12, 2.5), QPointF(22, 21), QPointF(2, 21)}));
        p.setPen(QPen(Qt::black, 2.2));
        p.drawLine(QPointF(12, 8.5), QPointF(12, 14.5));
        p.drawPoint(QPointF(12, 18));
        break;
    }
    case ItemPicture::None:
        break;
    }
    return pm;
}

const QPixmap &picture(ItemPicture which)
{
    static const QPixmap pictures[] = {QPixmap(), drawPicture(ItemPicture::Step), drawPicture(ItemPicture::Loop),
                                       drawPicture(ItemPicture::Hold), drawPicture(ItemPicture::Warning)};
    return pictures[static_cast<int>(which)];
}

// Paints one record: indent, left picture, caption and info on the first line, notes at the
// bottom centre, right picture at the end.
// The texts and pictures come from the record of the row when the row is painted, so a
// rebuild of thousands of items costs no more than the items themselves.
class ProtocolItemDelegate : public QStyledItemDelegate {
public:
    ProtocolItemDelegate(const CyclerStepList &list, QObject *parent) : QStyledItemDelegate(parent), FList(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {option.rect.width() > 0 ? option.rect.width() : 200, ItemHeight};
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);

        const CyclerStepRecord *record = FList.at(index.row());
        if (!record)
            return;
        const ProtocolItemView v = ProtocolItem(*record, index.row());
        p->save();
        const bool selected = opt.state & QStyle::State_Selected;
        const QColor text = selected ? opt.palette.color(QPalette::HighlightedText) : opt.palette.color(QPalette::Text);
        const QRect r = opt.rect.adjusted(4 + v.indent, 2, -4, -2);
        const bool isStep = v.isStep;

        const ItemPicture left = v.left;
        const ItemPicture right = v.right;
        if (left != ItemPicture::None)
            p->drawPixmap(r.left(), r.top() + 1, picture(left));
        if (right != ItemPicture::None)
            p->drawPixmap(r.right() - PictureSize, r.top() + 1, picture(right));

        QFont font = opt.font;
        p->setPen(text);
        p->setFont(font);
        const QRect caption(r.left() + PictureSize + 6, r.top(), 28, 20);
        p->drawText(caption, Qt::AlignLeft | Qt::AlignVCenter, v.caption);

        QFont infoFont = font;
        infoFont.setBold(!isStep);
        p->setFont(infoFont);
        p->drawText(QRect(caption.right() + 4, r.top(), r.width() - 2 * PictureSize - 40, 20),
                    Qt::AlignLeft | Qt::AlignVCenter, v.info);

        QFont notesFont = font;
        notesFont.setPointSizeF(std::max(6.0, font.pointSizeF() - 1));
        notesFont.setBold(!isStep);
        p->setFont(notesFont);
        p->setPen(selected ? text : (isStep ? QColor(Qt::black) : QColor(0, 0, 200)));
        p->drawText(QRect(r.left(), r.top() + 18, r.width(), r.height() - 18), Qt::AlignHCenter | Qt::AlignBottom,
                    v.notes);
        p->restore();
    }

private:
    const CyclerStepList &FList;
};

// The raster engine hands blends that cover many lines to its thread pool; for the faint
// frames and edges of a window's controls, waking those threads costs far more than the blend
// itself. Painted in clipped bands of a few dozen lines the pixels are the same, drawn on this
// thread.
constexpr int PaintBand = 32;

// A group box whose frame is painted in bands: the frame is a picture stretched over the
// whole box.
class BandedGroupBox : public QGroupBox {
public:
    BandedGroupBox(const QString &title, QWidget *parent) : QGroupBox(title, parent) {}

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        QStylePainter p(this);
        if (option.subControls & QStyle::SC_GroupBoxFrame) {
            QStyleOptionFrame frame;
            frame.QStyleOption::operator=(option);
            frame.features = option.features;
            frame.lineWidth = option.lineWidth;
            frame.midLineWidth = option.midLineWidth;
            frame.rect = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, this);
            const QRect area = event->rect().intersected(frame.rect);
            for (int y = area.top(); y <= area.bottom(); y += PaintBand) {
                p.save();
                p.setClipRect(QRect(area.left(), y, area.width(), std::min(PaintBand, area.bottom() + 1 - y)));
                p.drawPrimitive(QStyle::PE_FrameGroupBox, frame);
                p.restore();
            }
            option.subControls &= ~QStyle::SC_GroupBoxFrame;
        }
        p.drawComplexControl(QStyle::CC_GroupBox, option);
    }
};

// A scroll bar painted under an explicit clip: the style draws its long edges and gradients
// unclipped otherwise, and those blends go through the raster engine's thread pool. While the
// mouse is on it or a button is down it paints as usual, hovered and pressed parts included.
class ClippedScrollBar : public QScrollBar {
public:
    explicit ClippedScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr)
        : QScrollBar(orientation, parent)
    {
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton) {
            QScrollBar::paintEvent(event);
            return;
        }
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.subControls = QStyle::SC_All;
        option.activeSubControls = QStyle::SC_None;
        QPainter p(this);
        p.setClipRect(event->rect());
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &p, this);
    }
};

// A mark of the graph: the point's label in a callout; a click opens the point's record.
class MarkItem : public QGraphicsRectItem {
public:
    MarkItem(TProtocolEditorForm *editor, int point, const QString &text, const QColor &colour, QGraphicsItem *parent)
        : QGraphicsRectItem(parent), FEditor(editor), FPoint(point)
    {
        auto *label = new QGraphicsSimpleTextItem(text, this);
        QFont f = label->font();
        f.setPointSizeF(7.5);
        label->setFont(f);
        const QRectF b = label->boundingRect();
        setRect(b.adjusted(-3, -1, 3, 1));
        setBrush(QColor(255, 255, 225));
        setPen(QPen(colour, 1));
        setZValue(20);
        setCursor(Qt::PointingHandCursor);
        setAcceptedMouseButtons(Qt::LeftButton);
    }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override
    {
        event->accept();
        FEditor->markClicked(FPoint);
    }

private:
    TProtocolEditorForm *FEditor;
    int FPoint;
};

QColor graphColour(GraphColour c)
{
    switch (c) {
    case GraphColour::Blue: return QColor(0, 0, 255);
    case GraphColour::Green: return QColor(0, 160, 0);
    case GraphColour::Red: break;
    }
    return QColor(220, 0, 0);
}

QString defaultFolder()
{
    const Workstation *ws = Workstation::current();
    const QString folder = ws ? ws->FDefaultFolder : QString();
    return folder.isEmpty() ? ProgramFolder() : folder;
}

QTime panelTime(double time)
{
    const TimeParts t = DecodeTime(time);
    return QTime(0, t.minutes, t.seconds);
}

QString timeText(const QTimeEdit *e) { return e->time().toString(QStringLiteral("mm:ss")); }

// Restores the window, the button and the cursor on every way out of "Save changes to Duvo".
class BusyWindow {
public:
    BusyWindow(QWidget *window, QWidget *button, bool &busy) : FWindow(window), FButton(button), FBusy(busy)
    {
        FBusy = true;
        FButton->setEnabled(false);
        FWindow->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyWindow()
    {
        QApplication::restoreOverrideCursor();
        FWindow->setEnabled(true);
        FButton->setEnabled(true);
        FBusy = false;
    }
    BusyWindow(const BusyWindow &) = delete;
    BusyWindow &operator=(const BusyWindow &) = delete;

private:
    QWidget *FWindow;
    QWidget *FButton;
    bool &FBusy;
};

} // namespace

// ---- Construction -----------------------------------------------------------------------------

TProtocolEditorForm::TProtocolEditorForm(QWidget *Owner, bool NewProtocol, const QString &ProtocolXml,
                                         bool FromDevice, const QString &SaveFileName, const QString &Name,
                                         const QString &Folder, const QString &IP)
    : QDialog(Owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint)
{
    ProtocolEditorForm = this;
    try {
        setObjectName(QStringLiteral("ProtocolEditorForm"));
        setWindowTitle(QStringLiteral("Protocol Editor"));
        setSizeGripEnabled(true);

        buildEditorGroup();
        buildGraphGroup();
        buildGeneralGroup();

        btnExport = new QPushButton(QStringLiteral("Save"), this);
        btnExport->setObjectName(QStringLiteral("btnExport"));
        btnExport->setToolTip(QStringLiteral("Save to disk"));
        btnImport = new QPushButton(QStringLiteral("Open"), this);
        btnImport->setObjectName(QStringLiteral("btnImport"));
        btnImport->setToolTip(QStringLiteral("Open from disk"));
        btnUpdateOrig = new QPushButton(QStringLiteral("Save changes to Duvo"), this);
        btnUpdateOrig->setObjectName(QStringLiteral("btnUpdateOrig"));
        btnUpdateOrig->setToolTip(QStringLiteral("Saves the changes back to the source Duvo "));
        btnClose = new QPushButton(QStringLiteral("Close"), this);
        btnClose->setObjectName(QStringLiteral("btnClose"));
        btnClose->setDefault(true);
        for (QPushButton *b : {btnExport, btnImport, btnUpdateOrig, btnClose})
            b->setAutoDefault(false);
        btnClose->setAutoDefault(true);

        auto *buttons = new QHBoxLayout;
        buttons->addWidget(btnExport);
        buttons->addWidget(btnImport);
        buttons->addWidget(btnUpdateOrig);
        buttons->addStretch();
        buttons->addWidget(btnClose);

        auto *right = new QVBoxLayout;
        right->addWidget(grpGraph, 1);
        right->addWidget(grpGeneral);
        auto *top = new QHBoxLayout;
        top->addWidget(grpEditor, 0);
        top->addLayout(right, 1);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(top, 1);
        layout->addLayout(buttons);
        resize(1040, 640);

        connect(btnExport, &QPushButton::clicked, this, &TProtocolEditorForm::btnExportClick);
        connect(btnImport, &QPushButton::clicked, this, &TProtocolEditorForm::btnImportClick);
        connect(btnUpdateOrig, &QPushButton::clicked, this, &TProtocolEditorForm::btnUpdateOrigClick);
        connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

        // The editor shows the list it owns: a rebuild redraws items, summary and graph.
        connect(&FStepList, &CyclerStepList::stepListRebuilt, this, [this] {
            rebuildItems();
            UpdateStepSummary();
            DrawProtocolGraph();
        });

        FNewProtocol = NewProtocol;
        btnViewProtocol->setEnabled(false);
        if (!ProtocolXml.isEmpty()) {
            FHasXml = true;
            FLoadedXml = ProtocolXml;
            FLoadedSize = QString::number(ProtocolXml.size());
            btnViewProtocol->setEnabled(true);
        }
        FFromDevice = FromDevice;
        btnUpdateOrig->setEnabled(FromDevice);
        btnImport->setEnabled(!FromDevice);
        edtName1->setReadOnly(FromDevice);
        if (!SaveFileName.isEmpty())
            FSaveFileName = SaveFileName;
        if (!Name.isEmpty()) {
            FProtocolName = Name;
            edtName1->setText(Name);
        }
        if (!Folder.isEmpty())
            FFolder = Folder;
        grpSource->setVisible(false);
        if (!IP.isEmpty()) {
            FIP = IP;
            const int slash = Folder.indexOf(QLatin1Char('/'));
            lblFolder->setText(QStringLiteral("Folder: ") + (slash >= 0 ? Folder.mid(slash + 1) : Folder));
            lblIP->setText(QStringLiteral("IP: ") + IP);
            grpSource->setVisible(true);
        }
        if (!FromDevice)
            grpSource->setVisible(false);
        btnClose->setEnabled(!edtName1->text().isEmpty());
        UpdateStepSummary();
    } catch (const std::exception &) {
        Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), Ok,
                         PromptIcon::Warning);
        FLoadFailed = true;
    }
}

TProtocolEditorForm::~TProtocolEditorForm()
{
    clearMarks();
    if (ProtocolEditorForm == this)
        ProtocolEditorForm = nullptr;
}

void TProtocolEditorForm::buildEditorGroup()
{
    grpEditor = new BandedGroupBox(QStringLiteral("Protocol Editor"), this);
    grpEditor->setObjectName(QStringLiteral("grpEditor"));

    auto tool = [this](const char *name, const QString &text, const QString &hint) {
        auto *b = new QToolButton(grpEditor);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return b;
    };
    btnNewStep = tool("btnNewStep", QStringLiteral("Step"), QStringLiteral("Add/Insert a new Step to the Protocol"));
    btnNewLoop = tool("btnNewLoop", QStringLiteral("Loop"), QStringLiteral("Add/Insert a new Loop Step to the Protocol"));
    btnDelete = tool("btnDelete", QStringLiteral("Delete"), QStringLiteral("Delete Step"));
    btnDeleteAll = tool("btnDeleteAll", QStringLiteral("Delete All"), QStringLiteral("Delete All"));
    btnNew = tool("btnNew", QStringLiteral("New"), QStringLiteral("New Default Protocol"));
    auto *toolbar = new QHBoxLayout;
    toolbar->setSpacing(2);
    for (QToolButton *b : {btnNewStep, btnNewLoop, btnDelete, btnDeleteAll, btnNew})
        toolbar->addWidget(b);
    toolbar->addStretch();

    lbProtoList = new QListWidget(grpEditor);
    lbProtoList->setObjectName(QStringLiteral("lbProtoList"));
    lbProtoList->setItemDelegate(new ProtocolItemDelegate(FStepList, lbProtoList));
    lbProtoList->setUniformItemSizes(true);
    lbProtoList->setHorizontalScrollBar(new ClippedScrollBar(Qt::Horizontal));
    lbProtoList->setVerticalScrollBar(new ClippedScrollBar(Qt::Vertical));
    lbProtoList->setSelectionMode(QAbstractItemView::SingleSelection);
    lbProtoList->setToolTip(QStringLiteral("Double click step to edit - right click for option menu"));
    lbProtoList->setContextMenuPolicy(Qt::CustomContextMenu);
    lbProtoList->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(QStringLiteral("Insert Temperature Step"), this, &TProtocolEditorForm::btnNewStepClick);
    PopupMenu1->addAction(QStringLiteral("Insert Loop Step"), this, &TProtocolEditorForm::btnNewLoopClick);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("Delete Step"), this, &TProtocolEditorForm::btnDeleteClick);
    connect(lbProtoList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(lbProtoList->viewport()->mapToGlobal(pos)); });

    auto *header = new QWidget(grpEditor);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(6, 2, 6, 2);
    auto *h1 = new QLabel(QStringLiteral("Step"), header);
    auto *h2 = new QLabel(QStringLiteral("Temp"), header);
    for (QLabel *h : {h1, h2}) {
        QFont bold = h->font();
        bold.setBold(true);
        h->setFont(bold);
    }
    headerLayout->addSpacing(PictureSize + 2);
    headerLayout->addWidget(h1);
    headerLayout->addSpacing(4);
    headerLayout->addWidget(h2);
    headerLayout->addStretch();
    header->setAutoFillBackground(true);
    header->setBackgroundRole(QPalette::Button);

    lblFooter = new QLabel(grpEditor);
    lblFooter->setObjectName(QStringLiteral("lblFooter"));
    lblFooter->setFrameShape(QFrame::StyledPanel);
    lblFooter->setMargin(3);

    // The page goes into the stack before it is filled: the stack shows its first page at
    // once, and an empty page has nothing to lay out yet.
    auto *listPage = new QWidget(grpEditor);
    FListPages = new QStackedWidget(grpEditor);
    FListPages->addWidget(listPage);
    auto *listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    listLayout->addWidget(header);
    listLayout->addWidget(lbProtoList, 1);
    listLayout->addWidget(lblFooter);
    // The detail panel is built when a record is first opened.

    auto *layout = new QVBoxLayout(grpEditor);
    layout->addLayout(toolbar);
    layout->addWidget(FListPages, 1);
    grpEditor->setMinimumWidth(300);

    connect(btnNew, &QToolButton::clicked, this, &TProtocolEditorForm::btnNewClick);
    connect(btnNewStep, &QToolButton::clicked, this, &TProtocolEditorForm::btnNewStepClick);
    connect(btnNewLoop, &QToolButton::clicked, this, &TProtocolEditorForm::btnNewLoopClick);
    connect(btnDelete, &QToolButton::clicked, this, &TProtocolEditorForm::btnDeleteClick);
    connect(btnDeleteAll, &QToolButton::clicked, this, &TProtocolEditorForm::btnDeleteAllClick);
    connect(lbProtoList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { lbProtoListDblClick(lbProtoList->row(item)); });
    connect(lbProtoList, &QListWidget::itemClicked, this, [this] { UpdateEditButtons(); });
    connect(lbProtoList, &QListWidget::currentRowChanged, this, [this] { UpdateEditButtons(); });
}

void TProtocolEditorForm::buildInspector()
{
    if (InspectorBar1)
        return;
    InspectorBar1 = new QTreeWidget(this);
    InspectorBar1->setObjectName(QStringLiteral("InspectorBar1"));
    InspectorBar1->setColumnCount(2);
    InspectorBar1->setHeaderHidden(true);
    InspectorBar1->setRootIsDecorated(false);
    InspectorBar1->setIndentation(0);
    InspectorBar1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    InspectorBar1->header()->setStretchLastSection(true);

    auto group = [this](const QString &title) {
        auto *g = new QTreeWidgetItem(InspectorBar1, QStringList{title});
        QFont f = g->font(0);
        f.setBold(true);
        g->setFont(0, f);
        g->setFirstColumnSpanned(true);
        g->setBackground(0, QColor(220, 230, 245));
        return g;
    };
    auto row = [this](QList<QTreeWidgetItem *> &rows, const QString &caption, QWidget *editor, const QString &hint) {
        auto *item = new QTreeWidgetItem(InspectorBar1, QStringList{caption});
        item->setToolTip(0, hint);
        editor->setToolTip(hint);
        InspectorBar1->setItemWidget(item, 1, editor);
        rows << item;
        return item;
    };
    auto numberEdit = [this](QList<QTreeWidgetItem *> *rows, const QString &caption) {
        auto *e = new QLineEdit;
        e->setObjectName(QStringLiteral("edt") + QString(caption).remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('/')));
        connect(e, &QLineEdit::editingFinished, this, [this, rows, caption] {
            for (QTreeWidgetItem *item : *rows)
                if (item->text(0) == caption)
                    inspectorEditStop(item);
        });
        // Enter ends the edit here; it must not reach the window's default button.
        e->installEventFilter(this);
        return e;
    };
    auto timeEdit = [] {
        auto *e = new QTimeEdit;
        e->setDisplayFormat(QStringLiteral("mm:ss"));
        e->setTimeRange(QTime(0, 0, 0), QTime(0, 59, 59));
        return e;
    };

    FStepItems << group(QStringLiteral("Step Properties"));
    FTemperatureEdit = numberEdit(&FStepItems, QStringLiteral("Temperature"));
    row(FStepItems, QStringLiteral("Temperature"), FTemperatureEdit, QStringLiteral("Incubation temperature"));
    FTimeEdit = timeEdit();
    FTimeEdit->setObjectName(QStringLiteral("edtIncubationTime"));
    row(FStepItems, QStringLiteral("Incubation Time"), FTimeEdit, QStringLiteral("Length of step max. 59:59"));
    FRampEdit = numberEdit(&FStepItems, QStringLiteral("Ramp Rate"));
    row(FStepItems, QStringLiteral("Ramp Rate"), FRampEdit, QStringLiteral("Ramp rate for this step C°/sec"));
    FTimeChangeEdit = timeEdit();
    FTimeChangeEdit->setObjectName(QStringLiteral("edtTimeChange"));
    row(FStepItems, QStringLiteral("Time  Inc-/Decrement"), FTimeChangeEdit, QStringLiteral("Time inc-/decrease max. 59:59"));
    FDecrementCheck = new QCheckBox;
    FDecrementCheck->setObjectName(QStringLiteral("chkDecrementTime"));
    row(FStepItems, QStringLiteral("Decrement Time each cycle"), FDecrementCheck, QStringLiteral("Sets time to negative"));
    FTempIncEdit = numberEdit(&FStepItems, QStringLiteral("Temp Increment"));
    row(FStepItems, QStringLiteral("Temp Increment"), FTempIncEdit, QStringLiteral("Temperature inc-/decrease per cycle"));
    FHoldCheck = new QCheckBox;
    FHoldCheck->setObjectName(QStringLiteral("chkInfiniteHold"));
    row(FStepItems, QStringLiteral("Infinite Hold"), FHoldCheck, QStringLiteral("Step will remain on hold"));
    auto *stepClose = new QPushButton(QStringLiteral("Close"));
    stepClose->setObjectName(QStringLiteral("btnStepPanelClose"));
    row(FStepItems, QString(), stepClose, QStringLiteral("Close and Apply"));

    FLoopItems << group(QStringLiteral("Loop Properties"));
    FAvailableLabel = new QLabel;
    FAvailableLabel->setObjectName(QStringLiteral("lblAvailableSteps"));
    row(FLoopItems, QStringLiteral("Available Steps"), FAvailableLabel, QStringLiteral("Available range of steps"));
    FStepsCombo = new QComboBox;
    FStepsCombo->setObjectName(QStringLiteral("cmbStepsInLoop"));
    row(FLoopItems, QStringLiteral("Steps in Loop"), FStepsCombo, QStringLiteral("Select the number of steps in the Loop"));
    FCyclesEdit = numberEdit(&FLoopItems, QStringLiteral("Cycles"));
    row(FLoopItems, QStringLiteral("Cycles"), FCyclesEdit, QStringLiteral("Select number of times to loop"));
    auto *loopClose = new QPushButton(QStringLiteral("Close"));
    loopClose->setObjectName(QStringLiteral("btnLoopPanelClose"));
    row(FLoopItems, QString(), loopClose, QStringLiteral("Close and Apply "));

    connect(stepClose, &QPushButton::clicked, this, &TProtocolEditorForm::InspectorCloseClick);
    connect(loopClose, &QPushButton::clicked, this, &TProtocolEditorForm::InspectorCloseClick);
    connect(FHoldCheck, &QCheckBox::toggled, this, &TProtocolEditorForm::holdSwitched);
    InspectorBar1->installEventFilter(this);
    FListPages->addWidget(InspectorBar1);
}

void TProtocolEditorForm::buildGraphGroup()
{
    grpGraph = new BandedGroupBox(QStringLiteral("Graph View"), this);
    grpGraph->setObjectName(QStringLiteral("grpGraph"));

    Chart1 = new QChart;
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setTitle(QStringLiteral("Protocol"));
    Chart1->legend()->hide();
    Chart1->setAnimationOptions(QChart::NoAnimation);
    Chart1->setMargins(QMargins(4, 4, 4, 4));
    Series1 = new QLineSeries;
    Series1->setObjectName(QStringLiteral("Series1"));
    QPen pen(QColor(220, 0, 0));
    pen.setWidth(3);
    Series1->setPen(pen);
    Series1->setPointsVisible(false);
    Chart1->addSeries(Series1);
    AxisX = new QDateTimeAxis;
    AxisX->setFormat(QStringLiteral("mm:ss"));
    AxisX->setTitleText(QStringLiteral("Time"));
    AxisX->setTickCount(6);
    AxisY = new QValueAxis;
    AxisY->setRange(0, 100);
    AxisY->setTitleText(QStringLiteral("Temperature C°"));
    AxisY->setLabelFormat(QStringLiteral("%d"));
    Chart1->addAxis(AxisX, Qt::AlignBottom);
    Chart1->addAxis(AxisY, Qt::AlignLeft);
    Series1->attachAxis(AxisX);
    Series1->attachAxis(AxisY);
    FStartMs = QDateTime(QDate::currentDate(), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();

    Chart1View = new QChartView(Chart1, grpGraph);
    Chart1View->setObjectName(QStringLiteral("Chart1View"));
    Chart1View->setRenderHint(QPainter::Antialiasing);
    Chart1View->setMinimumSize(420, 260);
    Chart1View->setRubberBand(QChartView::NoRubberBand);

    ChartScrollBar1 = new ClippedScrollBar(Qt::Horizontal, grpGraph);
    ChartScrollBar1->setObjectName(QStringLiteral("ChartScrollBar1"));
    ChartScrollBar1->setToolTip(QStringLiteral("Allows you to scroll along the time axis"));
    ChartScrollBar1->setRange(0, 0);

    auto nav = [this](const char *name, const QString &text, const QString &hint) {
        auto *b = new QToolButton(grpGraph);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        return b;
    };
    btnFirstPage = nav("btnFirstPage", QStringLiteral("|<"), QStringLiteral("First page"));
    btnPriorPage = nav("btnPriorPage", QStringLiteral("<"), QStringLiteral("Prior page"));
    btnNextPage = nav("btnNextPage", QStringLiteral(">"), QStringLiteral("Next page"));
    btnLastPage = nav("btnLastPage", QStringLiteral(">|"), QStringLiteral("Last page"));
    lblPage = new QLabel(grpGraph);
    lblPage->setObjectName(QStringLiteral("lblPage"));
    lblPage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *ppLabel = new QLabel(QStringLiteral("Steps per Page"), grpGraph);
    PPPSpinEdit1 = new QSpinBox(grpGraph);
    PPPSpinEdit1->setObjectName(QStringLiteral("PPPSpinEdit1"));
    PPPSpinEdit1->setRange(1, 1000);
    PPPSpinEdit1->setValue(10);
    PPPSpinEdit1->setToolTip(QStringLiteral("The amount of steps visible per page"));
    MarksBox1 = new QCheckBox(QStringLiteral("Show Marks"), grpGraph);
    MarksBox1->setObjectName(QStringLiteral("MarksBox1"));
    MarksBox1->setChecked(true);
    MarksBox1->setToolTip(QStringLiteral("Shows step marks"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(btnFirstPage);
    controls->addWidget(btnPriorPage);
    controls->addWidget(btnNextPage);
    controls->addWidget(btnLastPage);
    controls->addSpacing(10);
    controls->addWidget(ppLabel);
    controls->addWidget(PPPSpinEdit1);
    controls->addSpacing(10);
    controls->addWidget(MarksBox1);
    controls->addStretch();
    controls->addWidget(lblPage);

    auto *layout = new QVBoxLayout(grpGraph);
    layout->addWidget(Chart1View, 1);
    layout->addWidget(ChartScrollBar1);
    layout->addLayout(controls);

    connect(PPPSpinEdit1, &QSpinBox::valueChanged, this, &TProtocolEditorForm::PPPSpinEdit1Change);
    connect(MarksBox1, &QCheckBox::toggled, this, &TProtocolEditorForm::MarksBox1Click);
    connect(ChartScrollBar1, &QScrollBar::valueChanged, this, [this](int v) {
        if (v != FPage)
            setPage(v);
    });
    connect(btnFirstPage, &QToolButton::clicked, this, [this] { setPage(0); });
    connect(btnPriorPage, &QToolButton::clicked, this, [this] { setPage(FPage - 1); });
    connect(btnNextPage, &QToolButton::clicked, this, [this] { setPage(FPage + 1); });
    connect(btnLastPage, &QToolButton::clicked, this, [this] { setPage(pageCount() - 1); });
    connect(Series1, &QLineSeries::clicked, this, [this](const QPointF &p) {
        // The point nearest to the click in time.
        int best = -1;
        double bestDistance = 0;
        for (size_t k = 0; k < FPoints.size(); ++k) {
            const double d = std::fabs(double(FStartMs + FPoints[k].ms) - p.x());
            if (best < 0 || d < bestDistance) {
                best = int(k);
                bestDistance = d;
            }
        }
        if (best >= 0)
            markClicked(best);
    });
    connect(Chart1, &QChart::plotAreaChanged, this, [this] { drawMarks(); });
}

void TProtocolEditorForm::buildGeneralGroup()
{
    grpGeneral = new QGroupBox(QStringLiteral("Protocol General Information"), this);
    grpGeneral->setObjectName(QStringLiteral("grpGeneral"));
    auto *nameLabel = new QLabel(QStringLiteral("Protocol Name:"), grpGeneral);
    edtName1 = new QLineEdit(grpGeneral);
    edtName1->setObjectName(QStringLiteral("edtName1"));
    edtName1->setMaxLength(8);
    edtName1->setFixedWidth(120);
    btnViewProtocol = new QPushButton(QStringLiteral("View Raw Protocol"), grpGeneral);
    btnViewProtocol->setObjectName(QStringLiteral("btnViewProtocol"));
    btnViewProtocol->setToolTip(QStringLiteral("View raw protocol file"));
    btnViewProtocol->setAutoDefault(false);

    grpSource = new QGroupBox(QStringLiteral("Source"), grpGeneral);
    grpSource->setObjectName(QStringLiteral("grpSource"));
    lblFolder = new QLabel(QStringLiteral("Folder: "), grpSource);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblIP = new QLabel(QStringLiteral("IP: "), grpSource);
    lblIP->setObjectName(QStringLiteral("lblIP"));
    auto *sourceLayout = new QHBoxLayout(grpSource);
    sourceLayout->addWidget(lblFolder);
    sourceLayout->addSpacing(16);
    sourceLayout->addWidget(lblIP);
    sourceLayout->addStretch();

    nameLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    btnViewProtocol->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(grpGeneral);
    layout->addWidget(nameLabel);
    layout->addWidget(edtName1);
    layout->addSpacing(12);
    layout->addWidget(btnViewProtocol);
    layout->addSpacing(12);
    layout->addWidget(grpSource, 3);
    layout->addStretch(1);

    connect(edtName1, &QLineEdit::textEdited, this, &TProtocolEditorForm::edtName1Change);
    connect(btnViewProtocol, &QPushButton::clicked, this, &TProtocolEditorForm::btnViewProtocolClick);
}

// ---- Showing -----------------------------------------------------------------------------------

void TProtocolEditorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TProtocolEditorForm::FormShow()
{
    if (FNewProtocol) {
        btnNewClick();
    } else if (FHasXml) {
        if (FStepList.ReadProtocolXml(FLoadedXml.toStdString())) {
            afterLoad();
        } else {
            Prompts::error(QStringLiteral("Error parsing passed XML file!"));
            UpdateEditButtons();
        }
    } else {
        btnNewStepClick();
    }
}

void TProtocolEditorForm::afterLoad()
{
    // A loaded protocol shows its first page of ten points. The graph was drawn with the list;
    // it is drawn again only when it showed other paging.
    const bool drawn = FPointsPerPage == 10 && FPage == 0;
    FPointsPerPage = 10;
    PPPSpinEdit1->blockSignals(true);
    PPPSpinEdit1->setValue(10);
    PPPSpinEdit1->blockSignals(false);
    if (!drawn)
        setPage(0);
    lbProtoList->setFocus();
    selectIndex(0);
    UpdateEditButtons();
}

// ---- The list ----------------------------------------------------------------------------------

void TProtocolEditorForm::rebuildItems()
{
    lbProtoList->setUpdatesEnabled(false);
    const QSignalBlocker block(lbProtoList);
    lbProtoList->clear();
    for (int i = 0; i < FStepList.Count(); ++i) {
        // The item's text is its caption; the delegate paints the rest from the record.
        auto *item = new QListWidgetItem(QString::number(i + 1));
        lbProtoList->addItem(item);
    }
    lbProtoList->setUpdatesEnabled(true);
}

int TProtocolEditorForm::selectedIndex() const
{
    return lbProtoList->currentRow();
}

void TProtocolEditorForm::selectIndex(int index)
{
    if (index < 0 || index >= lbProtoList->count())
        return;
    lbProtoList->setCurrentRow(index);
    lbProtoList->scrollToItem(lbProtoList->item(index));
}

bool TProtocolEditorForm::detailOpen() const
{
    return FListPages->currentIndex() == 1;
}

QString TProtocolEditorForm::footerText() const
{
    return lblFooter->text();
}

void TProtocolEditorForm::UpdateStepSummary()
{
    lblFooter->setText(ProtocolFooter(FStepList));
    // The warning comes with every redraw while the sum stays too high.
    if (FStepList.CycleSum() > MaxCycleSum)
        Prompts::message(CycleLimitText(), QStringLiteral("Information"), Ok, PromptIcon::Warning);
}

void TProtocolEditorForm::UpdateEditButtons()
{
    const EditButtons b = ProtocolEditButtons(lbProtoList->count(), selectedIndex());
    btnNewStep->setEnabled(b.newStep);
    btnNewLoop->setEnabled(b.newLoop);
    btnDelete->setEnabled(b.deleteStep);
    const QList<QAction *> actions = PopupMenu1->actions();
    if (actions.size() >= 4) {
        actions[0]->setEnabled(b.newStep);
        actions[1]->setEnabled(b.newLoop);
        actions[3]->setEnabled(b.deleteStep);
    }
}

void TProtocolEditorForm::afterCommand(int select)
{
    FStepList.RebuildStepList();
    lbProtoList->setFocus();
    selectIndex(lbProtoList->count() == 1 ? 0 : select);
    UpdateEditButtons();
}

void TProtocolEditorForm::btnNewClick()
{
    if (detailOpen())
        return;
    ProtocolNew(FStepList);
    FStepList.RebuildStepList();
    afterLoad();
}

void TProtocolEditorForm::btnNewStepClick()
{
    if (detailOpen() || !btnNewStep->isEnabled())
        return;
    afterCommand(ProtocolNewStep(FStepList, selectedIndex()));
}

void TProtocolEditorForm::btnNewLoopClick()
{
    if (detailOpen() || !btnNewLoop->isEnabled())
        return;
    const NewLoopResult r = ProtocolNewLoop(FStepList, selectedIndex());
    if (!r.message.isEmpty() || r.select < 0)
        return;
    afterCommand(r.select);
}

void TProtocolEditorForm::btnDeleteClick()
{
    if (detailOpen())
        return;
    const int select = ProtocolDelete(FStepList, selectedIndex());
    if (select < 0)
        return;
    afterCommand(select);
}

void TProtocolEditorForm::btnDeleteAllClick()
{
    if (Prompts::message(QStringLiteral("Deleting all steps. Are you sure?"), QStringLiteral("Deleting Steps"),
                         Ok | Cancel, PromptIcon::Question) != Ok)
        return;
    CloseDetail();
    FStepList.Clear();
    FStepList.RebuildStepList();
    afterCommand(ProtocolNewStep(FStepList, -1));
}

bool TProtocolEditorForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == lbProtoList && key->key() == Qt::Key_Delete && btnDelete->isEnabled()) {
            btnDeleteClick();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && watched != lbProtoList) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched); edit && edit != edtName1) {
                for (QTreeWidgetItem *item : FStepItems + FLoopItems)
                    if (InspectorBar1->itemWidget(item, 1) == edit)
                        inspectorEditStop(item);
                return true;
            }
        }
        if (watched == InspectorBar1 && key->key() == Qt::Key_Escape) {
            CloseDetail();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Detail panels -----------------------------------------------------------------------------

void TProtocolEditorForm::lbProtoListDblClick(int index)
{
    const CyclerStepRecord *r = FStepList.at(index);
    if (!r || detailOpen())
        return;
    buildInspector();
    FDetailIndex = index;
    FLastGood.clear();
    if (r->isStep())
        showStepPanel(*r);
    else
        showLoopPanel(index, *r);
    FListPages->setCurrentIndex(1);
    InspectorBar1->setFocus();
}

void TProtocolEditorForm::showStepPanel(const CyclerStepRecord &r)
{
    for (QTreeWidgetItem *i : FStepItems)
        i->setHidden(false);
    for (QTreeWidgetItem *i : FLoopItems)
        i->setHidden(true);
    const StepValues v = StepPanelValues(r);
    FTemperatureEdit->setText(v.temperature);
    FTimeEdit->setTime(panelTime(r.IncubationTime));
    FRampEdit->setText(v.rampRate);
    FTimeChangeEdit->setTime(panelTime(r.IncubationTimeIncrementPerCycle));
    FDecrementCheck->setChecked(v.decrement);
    FTempIncEdit->setText(v.temperatureChange);
    const QSignalBlocker block(FHoldCheck);
    FHoldCheck->setChecked(v.hold);
    for (QLineEdit *e : {FTemperatureEdit, FRampEdit, FTempIncEdit})
        FLastGood[e] = e->text();
}

void TProtocolEditorForm::showLoopPanel(int index, const CyclerStepRecord &r)
{
    for (QTreeWidgetItem *i : FStepItems)
        i->setHidden(true);
    for (QTreeWidgetItem *i : FLoopItems)
        i->setHidden(false);
    const int available = AvailableLoopSteps(FStepList, index);
    FAvailableLabel->setText(QString::number(available));
    FStepsCombo->clear();
    for (int n = 1; n <= available; ++n)
        FStepsCombo->addItem(QString::number(n));
    const QString current = QString::number(r.NumberOfStepsInsideLoop);
    if (FStepsCombo->findText(current) < 0)
        FStepsCombo->addItem(current);
    FStepsCombo->setCurrentText(current);
    FCyclesEdit->setText(QString::number(std::clamp<int>(r.NumberOfCyclesToLoop, 1, MaxCycleSum)));
    FLastGood[FCyclesEdit] = FCyclesEdit->text();
}

void TProtocolEditorForm::inspectorEditStop(QTreeWidgetItem *item)
{
    auto *edit = qobject_cast<QLineEdit *>(InspectorBar1->itemWidget(item, 1));
    if (!edit)
        return;
    const std::optional<QString> value = ClampInspectorValue(item->text(0), edit->text());
    if (!value) {
        // Not a number: the record never sees it; the last good value comes back.
        const QString bad = edit->text();
        edit->setText(FLastGood.value(edit));
        Prompts::error(QStringLiteral("'%1' is not a valid number for %2!").arg(bad, item->text(0)));
        return;
    }
    if (*value != edit->text())
        edit->setText(*value);
    FLastGood[edit] = *value;
}

void TProtocolEditorForm::holdSwitched(bool on)
{
    if (!on)
        return;
    FTimeEdit->setTime(QTime(0, 0, 0));
    FTimeChangeEdit->setTime(QTime(0, 0, 0));
    Prompts::information(QStringLiteral("Setting 'Incubation Time' and 'Time Inc-/Decrement' to 00:00!"));
}

void TProtocolEditorForm::InspectorCloseClick()
{
    CyclerStepRecord *r = FStepList.at(FDetailIndex);
    if (!r) {
        CloseDetail();
        return;
    }
    // Values typed but not yet ended go through their clamps first.
    const QList<QTreeWidgetItem *> &rows = r->isStep() ? FStepItems : FLoopItems;
    for (QTreeWidgetItem *item : rows) {
        auto *edit = qobject_cast<QLineEdit *>(InspectorBar1->itemWidget(item, 1));
        if (!edit)
            continue;
        if (!ClampInspectorValue(item->text(0), edit->text())) {
            inspectorEditStop(item);
            return;
        }
        inspectorEditStop(item);
    }
    if (r->isStep()) {
        StepValues v;
        v.temperature = FTemperatureEdit->text();
        v.time = timeText(FTimeEdit);
        v.rampRate = FRampEdit->text();
        v.timeChange = timeText(FTimeChangeEdit);
        v.temperatureChange = FTempIncEdit->text();
        v.decrement = FDecrementCheck->isChecked();
        v.hold = FHoldCheck->isChecked();
        if (!ApplyStepValues(*r, v)) {
            Prompts::error(QStringLiteral("The step's values are not valid numbers!"));
            return;
        }
    } else {
        const auto steps = ParseInteger(FStepsCombo->currentText().toStdString());
        const auto cycles = ParseInteger(FCyclesEdit->text().toStdString());
        if (!steps || !cycles) {
            Prompts::error(QStringLiteral("The loop's values are not valid numbers!"));
            return;
        }
        // A loop may not end inside a nested loop: the protocol could not be read back.
        if (!LoopStepsFit(FStepList, FDetailIndex, int(*steps))) {
            Prompts::message(LoopStepsRefusedText(), QStringLiteral("Information"), Ok, PromptIcon::Warning);
            return;
        }
        r->NumberOfStepsInsideLoop = uint16_t(*steps);
        r->NumberOfCyclesToLoop = uint16_t(std::clamp<long long>(*cycles, 1, MaxCycleSum));
    }
    const int index = FDetailIndex;
    FListPages->setCurrentIndex(0);
    FDetailIndex = -1;
    FStepList.RebuildStepList();
    lbProtoList->setFocus();
    selectIndex(index);
    UpdateEditButtons();
}

void TProtocolEditorForm::CloseDetail()
{
    if (!detailOpen())
        return;
    FListPages->setCurrentIndex(0);
    FDetailIndex = -1;
    UpdateStepSummary();
    DrawProtocolGraph();
    lbProtoList->setFocus();
}

// ---- Name ------------------------------------------------------------------------------------

void TProtocolEditorForm::edtName1Change(const QString &text)
{
    const QString checked = NameEditChange(text.toUpper());
    if (checked != text) {
        edtName1->setText(checked);
        edtName1->setCursorPosition(int(checked.size()));
    }
    btnClose->setEnabled(!edtName1->text().isEmpty());
}

// ---- The graph -------------------------------------------------------------------------------

void TProtocolEditorForm::DrawProtocolGraph()
{
    const std::vector<GraphPoint> points = ProtocolGraphPoints(FStepList);
    FPoints.clear();
    FPoints.reserve(points.size());
    for (const GraphPoint &p : points)
        FPoints.push_back({p.seconds * 1000, p.temperature, p.label, graphColour(p.colour)});

    // Stairs: level at the previous temperature up to the point's time, then up or down.
    QList<QPointF> line;
    line.reserve(qsizetype(FPoints.size()) * 2);
    for (size_t k = 0; k < FPoints.size(); ++k) {
        const double x = double(FStartMs + FPoints[k].ms);
        if (k > 0)
            line.append(QPointF(x, FPoints[k - 1].temperature));
        line.append(QPointF(x, FPoints[k].temperature));
    }
    FPointsPerPage = PPPSpinEdit1->value();
    // The page's range first: the series then lays out its line once, in that range.
    updatePaging();
    Series1->replace(line);
}

int TProtocolEditorForm::pageCount() const
{
    if (FPoints.empty())
        return 1;
    return int((FPoints.size() + size_t(FPointsPerPage) - 1) / size_t(FPointsPerPage));
}

void TProtocolEditorForm::setPage(int page)
{
    FPage = std::clamp(page, 0, pageCount() - 1);
    updatePaging();
}

void TProtocolEditorForm::updatePaging()
{
    FPage = std::clamp(FPage, 0, pageCount() - 1);
    {
        const QSignalBlocker block(ChartScrollBar1);
        ChartScrollBar1->setRange(0, pageCount() - 1);
        ChartScrollBar1->setPageStep(1);
        ChartScrollBar1->setValue(FPage);
    }
    lblPage->setText(QStringLiteral("Page %1 of %2").arg(FPage + 1).arg(pageCount()));
    btnFirstPage->setEnabled(FPage > 0);
    btnPriorPage->setEnabled(FPage > 0);
    btnNextPage->setEnabled(FPage + 1 < pageCount());
    btnLastPage->setEnabled(FPage + 1 < pageCount());
    if (FPoints.empty()) {
        AxisX->setRange(QDateTime::fromMSecsSinceEpoch(FStartMs), QDateTime::fromMSecsSinceEpoch(FStartMs + 60000));
    } else {
        const size_t first = size_t(FPage) * size_t(FPointsPerPage);
        const size_t last = std::min(FPoints.size(), first + size_t(FPointsPerPage)) - 1;
        qint64 from = FPoints[first].ms;
        qint64 to = FPoints[last].ms;
        if (to - from < 10000)
            to = from + 10000;
        // Whole ten seconds at both ends, never before the start of the protocol.
        const qint64 pad = (to - from) / 20;
        from = std::max<qint64>(0, (from - pad) / 10000 * 10000);
        to = (to + pad + 9999) / 10000 * 10000;
        // Ticks on whole ten seconds where the range allows it.
        const qint64 tens = (to - from) / 10000;
        int ticks = 6;
        for (int n = 8; n >= 4; --n)
            if (tens % (n - 1) == 0) {
                ticks = n;
                break;
            }
        AxisX->setTickCount(ticks);
        AxisX->setRange(QDateTime::fromMSecsSinceEpoch(FStartMs + from), QDateTime::fromMSecsSinceEpoch(FStartMs + to));
    }
    drawMarks();
}

void TProtocolEditorForm::clearMarks()
{
    for (QGraphicsItem *m : FMarks)
        delete m;
    FMarks.clear();
}

void TProtocolEditorForm::drawMarks()
{
    clearMarks();
    if (!MarksBox1 || !MarksBox1->isChecked() || FPoints.empty())
        return;
    const size_t first = size_t(FPage) * size_t(FPointsPerPage);
    const size_t end = std::min(FPoints.size(), first + size_t(FPointsPerPage));
    const QRectF area = Chart1->plotArea();
    std::vector<QRectF> placed;
    for (size_t k = first; k < end; ++k) {
        const Point &p = FPoints[k];
        const QPointF at = Chart1->mapToPosition(QPointF(double(FStartMs + p.ms), p.temperature), Series1);
        // Each point of the page is a dot in its colour: red steps, blue holds, green loops.
        auto *dot = new QGraphicsEllipseItem(QRectF(at.x() - 4, at.y() - 4, 8, 8), Chart1);
        dot->setBrush(p.colour);
        dot->setPen(QPen(p.colour.darker(130), 1));
        dot->setZValue(18);
        FMarks.push_back(dot);
        if (k == 0)
            continue;   // the start point's mark has no text
        auto *mark = new MarkItem(this, int(k), p.label, p.colour, Chart1);
        const QRectF r = mark->rect();
        QPointF pos(at.x() - r.width() / 2, at.y() - r.height() - 8);
        if (pos.y() < area.top())
            pos.setY(at.y() + 8);   // no room above the point: below it
        pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - r.width())));
        pos.setY(std::clamp(pos.y(), area.top(), std::max(area.top(), area.bottom() - r.height())));
        // Marks that would cover each other step down below the one in the way.
        for (int tries = 0; tries < 8; ++tries) {
            const QRectF here(pos, r.size());
            const auto hit = std::find_if(placed.begin(), placed.end(),
                                          [&here](const QRectF &o) { return o.intersects(here); });
            if (hit == placed.end())
                break;
            pos.setY(hit->bottom() + 2);
            if (pos.y() + r.height() > area.bottom())
                pos.setY(area.top());
        }
        placed.push_back(QRectF(pos, r.size()));
        mark->setPos(pos - r.topLeft());
        const double pinEnd = pos.y() > at.y() ? pos.y() : pos.y() + r.height();
        auto *pin = new QGraphicsLineItem(QLineF(at, QPointF(at.x(), pinEnd)), Chart1);
        pin->setPen(QPen(p.colour, 1));
        pin->setZValue(19);
        FMarks.push_back(pin);
        FMarks.push_back(mark);
        // A pending click on this mark opens its record.
        if (FMarkPending && int(k) == FClickedMark && !detailOpen()) {
            FMarkPending = false;
            const int record = GraphPointRecord(int(k), FStepList.Count());
            if (record >= 0) {
                selectIndex(record);
                lbProtoList->setFocus();
                lbProtoListDblClick(record);
            }
        }
    }
}

void TProtocolEditorForm::markClicked(int point)
{
    FClickedMark = point;
    FMarkPending = true;
    // The record opens while the marks are redrawn.
    const int page = FPointsPerPage > 0 ? point / FPointsPerPage : 0;
    if (page != FPage)
        setPage(page);
    else
        drawMarks();
}

void TProtocolEditorForm::PPPSpinEdit1Change(int value)
{
    FPointsPerPage = std::max(1, value);
    updatePaging();
}

void TProtocolEditorForm::MarksBox1Click(bool)
{
    drawMarks();
}

// ---- Files -----------------------------------------------------------------------------------

void TProtocolEditorForm::btnExportClick()
{
    if (FStepList.CycleSum() > MaxCycleSum) {
        Prompts::message(CycleLimitText(), QStringLiteral("Information"), Ok, PromptIcon::Warning);
        return;
    }
    const QString name = edtName1->text();
    if (name.isEmpty()) {
        Prompts::message(QStringLiteral("You need to give the protocol a name before saving!"), QStringLiteral("Save"),
                         Ok, PromptIcon::Information);
        return;
    }
    const SaveProposal proposal = ProposedSaveName(FOpenedPath, FSaveFileName, name, defaultFolder());
    const std::optional<QString> path = Prompts::saveFile(
        QStringLiteral("Save"), proposal.directory, QStringLiteral("SVP files (*.svp *.SVP)"), proposal.fileName,
        QStringLiteral("svp"));
    if (!path)
        return;
    std::string document;
    if (!FStepList.WriteProtocolXml(name, document)) {
        Prompts::error(QStringLiteral("There was an error creating the protocol file!"));
        return;
    }
    if (!WriteProtocolFile(*path, name.toStdString(), document, int(std::min<size_t>(document.size(), INT_MAX))))
        Prompts::error(QStringLiteral("There was an error saving the protocol file!"));
}

void TProtocolEditorForm::btnImportClick()
{
    if (FFromDevice)
        return;
    {
        TOpenProtocolForm open(this, &FOpenedPath, false);
        if (open.exec() != QDialog::Accepted)
            return;
    }
    CloseDetail();
    FStepList.Clear();
    FStepList.RebuildStepList();
    std::string fileName, protocol, size;
    if (!ReadProtocolFile(FOpenedPath, fileName, protocol, size)) {
        Prompts::message(QStringLiteral("Error while getting .SVP file!"), QStringLiteral("Error GetProtocol"), Ok,
                         PromptIcon::Error);
        UpdateEditButtons();
        return;
    }
    FProtocolName = QString::fromStdString(fileName);
    edtName1->setText(FProtocolName.left(edtName1->maxLength()));
    btnClose->setEnabled(!edtName1->text().isEmpty());
    FLoadedXml = QString::fromStdString(protocol);
    FLoadedSize = QString::fromStdString(size);
    FHasXml = true;
    btnViewProtocol->setEnabled(true);
    if (FStepList.ReadProtocolXml(protocol))
        afterLoad();
    else
        UpdateEditButtons();
}

void TProtocolEditorForm::btnViewProtocolClick()
{
    if (FLoadedXml.isEmpty())
        return;
    try {
        std::string text = FLoadedXml.toStdString();
        if (!CompactXml(text)) {
            Prompts::message(QStringLiteral("Error parsing document!"), QStringLiteral("Error"), Ok, PromptIcon::None);
            return;
        }
        TRawProtocolForm raw(this, QString::fromStdString(text));
        raw.exec();
    } catch (const std::exception &) {
        // The raw view is a convenience: its errors end it quietly.
    }
}

// ---- Save changes to Duvo --------------------------------------------------------------------

void TProtocolEditorForm::btnUpdateOrigClick()
{
    if (!FFromDevice || FBusy)
        return;
    const QString name = edtName1->text();
    // The checks come first; the window is disabled only for the exchanges.
    if (FStepList.CycleSum() > MaxCycleSum || IsProtectedProtocolName(name)) {
        UpdateDeviceProtocol(FOperations, FStepList, FIP, FFolder, name);
        return;
    }
    {
        BusyWindow busy(this, btnUpdateOrig, FBusy);
        UpdateDeviceProtocol(FOperations, FStepList, FIP, FFolder, name,
                             [] { QCoreApplication::processEvents(); });
    }
    if (FClosePending) {
        FClosePending = false;
        reject();
    }
}

void TProtocolEditorForm::closeEvent(QCloseEvent *event)
{
    // While the instrument exchanges run the window stays; it closes once they are done, so
    // a protocol deleted on the instrument is always loaded again.
    if (FBusy) {
        FClosePending = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TProtocolEditorForm::reject()
{
    if (FBusy) {
        FClosePending = true;
        return;
    }
    if (detailOpen()) {
        CloseDetail();
        return;
    }
    QDialog::reject();
}
