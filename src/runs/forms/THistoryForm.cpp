#include "runs/forms/THistoryForm.h"

#include "common/Prompts.h"
#include "mainwindow/forms/ShowDeviceLogReport.h"
#include "mainwindow/forms/TEditorForm.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "runs/RunHistory.h"
#include "runs/forms/HistoryModel.h"
#include "runs/forms/TGraphViewForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

using namespace duvo;

QPointer<THistoryForm> HistoryForm;

namespace {

const QString kDbError = QStringLiteral("Error during database operation!");

void databaseErrorBox()
{
    Prompts::message(kDbError, QStringLiteral("Error"), Ok, PromptIcon::Warning);
}

// Processes pending window messages at most every 50 ms.
class Pacer {
public:
    Pacer() { FClock.start(); }
    bool due() const { return FClock.elapsed() >= 50; }
    void tick()
    {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        FClock.restart();
    }

private:
    QElapsedTimer FClock;
};

} // namespace

THistoryForm::ProtocolViewer &THistoryForm::protocolViewer()
{
    // The protocol editor, read as a stored protocol: not new, not from an instrument, no
    // save file, the run's file as its name, no folder and no address.
    static ProtocolViewer viewer = [](QWidget *owner, const QString &protocol, const QString &name) {
        std::unique_ptr<TProtocolEditorForm> editor(
            new TProtocolEditorForm(owner, false, protocol, false, QString(), name, QString(), QString()));
        editor->exec();
    };
    return viewer;
}

THistoryForm::THistoryForm(QWidget *owner) : QDialog(owner)
{
    HistoryForm = this;
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(QStringLiteral("Device Log"));
    setWindowFlag(Qt::Tool);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    try {
        buildWindow();
        std::vector<HistoryRow> rows;
        const bool loaded = [&] {
            // The screen cursor is kept and the hourglass shown while reading.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            struct Restore {
                ~Restore() { QApplication::restoreOverrideCursor(); }
            } restore;
            return LoadHistoryList(rows, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        }();
        if (!loaded) {
            databaseErrorBox();
            FLoadFailed = true;
            return;
        }
        FModel->setRows(std::move(rows));
        if (FModel->rowCount() > 0) {
            selectRow(0);
            setViewButtons(true);
        } else {
            setViewButtons(false);
            btnViewGraph->setEnabled(false);
        }
    } catch (...) {
        Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"));
        FLoadFailed = true;
    }
}

THistoryForm::~THistoryForm() = default;

void THistoryForm::buildWindow()
{
    setMinimumSize(708, 406);
    resize(860, 520);
    auto *top = new QVBoxLayout(this);

    FModel = new HistoryModel(this);
    OpenEditView1 = new QTableView(this);
    OpenEditView1->setObjectName(QStringLiteral("OpenEditView1"));
    OpenEditView1->setModel(FModel);
    OpenEditView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    OpenEditView1->setSelectionMode(QAbstractItemView::SingleSelection);
    OpenEditView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    OpenEditView1->setShowGrid(true);
    OpenEditView1->setWordWrap(false);
    OpenEditView1->setIconSize(QSize(16, 16));
    OpenEditView1->verticalHeader()->hide();
    OpenEditView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    OpenEditView1->verticalHeader()->setDefaultSectionSize(OpenEditView1->fontMetrics().height() + 6);
    OpenEditView1->horizontalHeader()->setHighlightSections(false);
    OpenEditView1->horizontalHeader()->setStretchLastSection(true);
    // Room for a session ID behind the check box and picture, and for a long date text.
    const QFontMetrics fm = OpenEditView1->fontMetrics();
    OpenEditView1->setColumnWidth(HistoryModel::SessionColumn, fm.horizontalAdvance(QStringLiteral("20261231235959ABC")) + 56);
    OpenEditView1->setColumnWidth(HistoryModel::ProtocolColumn, fm.horizontalAdvance(QStringLiteral("WWWWWWWW")) + 12);
    OpenEditView1->setColumnWidth(HistoryModel::DateColumn,
                                  fm.horizontalAdvance(RunDateText(46022.99999) + QStringLiteral("00")) + 16);
    OpenEditView1->setColumnWidth(HistoryModel::ContactColumn, fm.horizontalAdvance(QStringLiteral("Chris Meyer-Keller")));
    // The selection stays visible when the list has no focus.
    QPalette pal = OpenEditView1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    OpenEditView1->setPalette(pal);
    connect(OpenEditView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OpenEditView1SelectItem(); });
    connect(FModel, &HistoryModel::checkedCountChanged, this, &THistoryForm::OpenEditView1Check);
    top->addWidget(OpenEditView1, 1);

    auto *lower = new QHBoxLayout;
    auto *details = new QGroupBox(QStringLiteral("Details"), this);
    auto *grid = new QGridLayout(details);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    auto addDetail = [&](int row, int column, const QString &caption, const char *name) {
        auto *c = new QLabel(caption, details);
        auto *v = new QLabel(QStringLiteral("-"), details);
        v->setObjectName(QLatin1String(name));
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        v->setMinimumWidth(110);
        grid->addWidget(c, row, column * 2);
        grid->addWidget(v, row, column * 2 + 1);
        return v;
    };
    lblCreator = addDetail(0, 0, QStringLiteral("Created by:"), "lblCreator");
    lblDate = addDetail(1, 0, QStringLiteral("Created:"), "lblDate");
    lblFolder = addDetail(2, 0, QStringLiteral("Folder: "), "lblFolder");
    lblFile = addDetail(3, 0, QStringLiteral("Protocol: "), "lblFile");
    lblVolume = addDetail(4, 0, QStringLiteral("Volume µl:"), "lblVolume");
    lblConsumable = addDetail(5, 0, QStringLiteral("Consumable:"), "lblConsumable");
    lblOriginalType = addDetail(0, 1, QStringLiteral("Original Type: "), "lblOriginalType");
    lblOriginalID = addDetail(1, 1, QStringLiteral("Original ID: "), "lblOriginalID");
    lblOriginalIP = addDetail(2, 1, QStringLiteral("Original IP: "), "lblOriginalIP");
    lblFirmware = addDetail(3, 1, QStringLiteral("Firmware: "), "lblFirmware");
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    lower->addWidget(details, 3);

    auto *descriptionBox = new QGroupBox(QStringLiteral("Description"), this);
    auto *descriptionLayout = new QVBoxLayout(descriptionBox);
    lblDescription = new QLabel(QStringLiteral("-"), descriptionBox);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setMinimumWidth(160);
    lblDescription->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    descriptionLayout->addWidget(lblDescription);
    lower->addWidget(descriptionBox, 2);
    top->addLayout(lower);

    auto *buttons = new QHBoxLayout;
    auto makeButton = [this, buttons](const char *name, const QString &caption, void (THistoryForm::*slot)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    btnDelete = makeButton("btnDelete", QStringLiteral("Delete"), &THistoryForm::btnDeleteClick);
    btnDelete->setEnabled(false);
    btnSelectAll = makeButton("btnSelectAll", QStringLiteral("Select All"), &THistoryForm::btnSelectAllClick);
    buttons->addSpacing(16);
    btnNotes = makeButton("btnNotes", QStringLiteral("View Notes"), &THistoryForm::btnNotesClick);
    btnViewProtocol = makeButton("btnViewProtocol", QStringLiteral("View Protocol"), &THistoryForm::btnViewProtocolClick);
    btnViewGraph = makeButton("btnViewGraph", QStringLiteral("View Graph"), &THistoryForm::btnViewGraphClick);
    btnViewDuvoLog = makeButton("btnViewDuvoLog", QStringLiteral("View Duvo Log"), &THistoryForm::btnViewDuvoLogClick);
    btnViewDuvoLog->setToolTip(QStringLiteral("View the Duvo generated log file"));
    buttons->addStretch(1);
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAutoDefault(false);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(btnClose);
    top->addLayout(buttons);
}

void THistoryForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!FCentred) {
        FCentred = true;
        if (QWidget *owner = parentWidget()) {
            const QPoint centre = owner->mapToGlobal(owner->rect().center());
            move(centre - QPoint(width() / 2, height() / 2));
        }
    }
}

void THistoryForm::closeEvent(QCloseEvent *event)
{
    // The delete loop finishes its pass first.
    if (FBusy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void THistoryForm::reject()
{
    if (!FBusy)
        QDialog::reject();
}

int THistoryForm::selectedRow() const
{
    const QModelIndexList rows = OpenEditView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString THistoryForm::selectedSession() const
{
    const int row = selectedRow();
    return row < 0 ? QString() : FModel->row(row).sessionId;
}

void THistoryForm::selectRow(int row)
{
    if (row < 0 || row >= FModel->rowCount())
        return;
    const QModelIndex index = FModel->index(row, 0);
    OpenEditView1->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    OpenEditView1->scrollTo(index);
}

void THistoryForm::setViewButtons(bool on)
{
    btnViewProtocol->setEnabled(on && bool(protocolViewer()));
    btnNotes->setEnabled(on);
    btnSelectAll->setEnabled(on);
    btnViewDuvoLog->setEnabled(on);
}

void THistoryForm::clearDetails()
{
    for (QLabel *l : {lblCreator, lblDate, lblDescription, lblOriginalType, lblOriginalID, lblOriginalIP, lblFolder,
                      lblFile, lblVolume, lblConsumable})
        l->setText(QStringLiteral("-"));
}

void THistoryForm::OpenEditView1SelectItem()
{
    // While the delete loop removes rows the selection wanders over rows that may go next;
    // the loop shows the details of the row it selects when it ends.
    if (FBusy) {
        FDetailsStale = true;
        return;
    }
    FDetailsStale = false;
    const QString session = selectedSession();
    if (session.isEmpty())
        return;
    StoredRunDetails d;
    if (!ShowRunDetails(session, d)) {
        databaseErrorBox();
        return;
    }
    if (d.found) {
        lblCreator->setText(d.contactName);
        lblDate->setText(RunDateText(d.date));
        lblDescription->setText(d.description);
        lblOriginalType->setText(d.originalType);
        lblOriginalID->setText(d.originalName);
        lblOriginalIP->setText(d.originalIp);
        lblFirmware->setText(d.fwVersion);
        lblFolder->setText(d.folder);
        lblFile->setText(d.file);
        lblVolume->setText(d.volume ? QString::number(*d.volume) : QStringLiteral("-"));
        if (d.consumable)
            if (const auto text = ConsumableText(*d.consumable))
                lblConsumable->setText(*text);
    }
    const QString plot = RunPlotPath(session);
    btnViewGraph->setEnabled(!plot.isEmpty() && QFileInfo(plot).isFile());
}

void THistoryForm::OpenEditView1Check(int checkedCount)
{
    btnDelete->setEnabled(checkedCount > 0 && !FBusy);
}

void THistoryForm::btnSelectAllClick()
{
    if (btnSelectAll->text() == QLatin1String("Select All")) {
        FModel->setAllChecked(true);
        btnSelectAll->setText(QStringLiteral("Undo Select"));
    } else {
        FModel->setAllChecked(false);
        btnSelectAll->setText(QStringLiteral("Select All"));
    }
    OpenEditView1->setFocus();
}

void THistoryForm::btnDeleteClick()
{
    if (FBusy)
        return;
    if (Prompts::message(QStringLiteral("Do you want to delete selected Log records?"), QStringLiteral("Alert"),
                         Ok | Cancel, PromptIcon::Warning)
        != Ok)
        return;
    FBusy = true;
    btnDelete->setEnabled(false);
    Pacer pacer;
    int from = 0;
    for (;;) {
        const int row = FModel->firstChecked(from);
        if (row < 0)
            break;
        from = row;
        const QString session = FModel->row(row).sessionId;
        if (DeleteRunRecord(session) <= 0) {
            Prompts::message(QStringLiteral("Error during deleting!\n\nDeleting stopped!"), QStringLiteral("Error"), Ok,
                             PromptIcon::Error);
            break;
        }
        FModel->markRemoved(row);
        const QString plot = RunPlotPath(session);
        if (!plot.isEmpty() && QFileInfo::exists(plot) && !QFile::remove(plot))
            Prompts::message(QStringLiteral("Could not delete associated plot file."), QStringLiteral("Error"), Ok,
                             PromptIcon::Warning);
        // The list shows the removals and repaints while long runs of deletes go on.
        if (pacer.due()) {
            FModel->flushRemoved();
            from = 0;
            pacer.tick();
        }
    }
    FModel->flushRemoved();
    FBusy = false;

    OpenEditView1->setFocus();
    btnSelectAll->setText(QStringLiteral("Select All"));
    if (FModel->rowCount() > 0) {
        selectRow(0);
        // The first row may have been selected already while the loop ran.
        if (FDetailsStale)
            OpenEditView1SelectItem();
        setViewButtons(true);
    } else {
        setViewButtons(false);
        btnViewGraph->setEnabled(false);
        clearDetails();
    }
    OpenEditView1Check(FModel->checkedCount());
}

void THistoryForm::btnNotesClick()
{
    const QString session = selectedSession();
    if (session.isEmpty())
        return;
    QString notes;
    if (!ReadRunNotes(session, notes)) {
        databaseErrorBox();
        return;
    }
    std::unique_ptr<TEditorForm> viewer(new TEditorForm(this, notes, true));
    viewer->exec();
}

void THistoryForm::btnViewProtocolClick()
{
    const QString session = selectedSession();
    if (session.isEmpty() || !protocolViewer())
        return;
    QString protocol, file, folder;
    int size = 0;
    if (!ReadRunProtocol(session, protocol, size, file, folder)) {
        databaseErrorBox();
        return;
    }
    if (!protocol.isEmpty())
        protocolViewer()(this, protocol, file);
}

void THistoryForm::btnViewGraphClick()
{
    const QString session = selectedSession();
    if (session.isEmpty())
        return;
    const QString plot = RunPlotPath(session);
    if (plot.isEmpty() || !QFileInfo(plot).isFile())
        return;
    std::unique_ptr<TGraphViewForm> graph(new TGraphViewForm(this, plot));
    graph->exec();
}

void THistoryForm::btnViewDuvoLogClick()
{
    const QString session = selectedSession();
    if (session.isEmpty())
        return;
    QString log;
    if (!ReadRunLog(session, log)) {
        databaseErrorBox();
        return;
    }
    if (log.isEmpty()) {
        Prompts::message(QStringLiteral("No log file for this run available."), QStringLiteral("Information"), Ok,
                         PromptIcon::Information);
        return;
    }
    ShowDeviceLogReport(log.toStdString(), this);
}
