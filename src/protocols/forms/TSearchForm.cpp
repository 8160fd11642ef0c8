#include "protocols/forms/TSearchForm.h"
#include "common/forms/InputBlock.h"
#include "protocols/BrowseItems.h"
#include "protocols/forms/BrowseWindows.h"
#include "protocols/forms/TDuvoFileMgrForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

using namespace duvo;

namespace {
// How long the search works between two looks at pending events.
constexpr int SliceMs = 8;
constexpr size_t RecordsPerCheck = 512;
} // namespace

TSearchForm::TSearchForm(QWidget *owner) : QDialog(owner)
{
    build();
}

TSearchForm::~TSearchForm()
{
    FOps.fetchedProtocol().release();
}

void TSearchForm::build()
{
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("SearchForm"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *criteria = new QGroupBox(QStringLiteral("Search Criteria"), this);
    auto *fieldCaption = new QLabel(QStringLiteral("All or part of a file name"), criteria);
    edtSearch = new QLineEdit(criteria);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setMaxLength(20);
    edtSearch->setToolTip(QStringLiteral("Enter search criteria. Wildcards * and ? allowed"));
    fieldCaption->setBuddy(edtSearch);
    btnSearchProtocol = new QPushButton(QStringLiteral("Search"), criteria);
    btnSearchProtocol->setObjectName(QStringLiteral("btnSearchProtocol"));
    btnSearchProtocol->setDefault(true);
    btnSearchProtocol->setToolTip(QStringLiteral("Search for protocol files. Wildcard * and ? allowed"));
    auto *resultCaption = new QLabel(QStringLiteral("Result:"), criteria);
    lblResult = new QLabel(QStringLiteral("-"), criteria);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    QFont bold = lblResult->font();
    bold.setBold(true);
    lblResult->setFont(bold);
    auto *grid = new QGridLayout(criteria);
    grid->addWidget(fieldCaption, 0, 0);
    grid->addWidget(edtSearch, 0, 1);
    grid->addWidget(btnSearchProtocol, 0, 2);
    grid->addWidget(resultCaption, 1, 0);
    grid->addWidget(lblResult, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *results = new QGroupBox(QStringLiteral("Search Result"), this);
    ResultView1 = new QTreeWidget(results);
    ResultView1->setObjectName(QStringLiteral("ResultView1"));
    ResultView1->setColumnCount(3);
    ResultView1->setHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("Folder"), QStringLiteral("Protocol")});
    ResultView1->setRootIsDecorated(false);
    ResultView1->setUniformRowHeights(true);
    ResultView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultView1->header()->resizeSection(0, 130);
    ResultView1->header()->resizeSection(1, 120);
    ResultView1->setMinimumSize(400, 220);
    btnViewProtocol = new QPushButton(QStringLiteral("View Protocol"), results);
    btnViewProtocol->setObjectName(QStringLiteral("btnViewProtocol"));
    btnViewProtocol->setToolTip(QStringLiteral("View Protocol File"));
    btnViewProtocol->setEnabled(false);
    auto *resultLayout = new QVBoxLayout(results);
    resultLayout->addWidget(ResultView1, 1);
    auto *viewRow = new QHBoxLayout;
    viewRow->addStretch(1);
    viewRow->addWidget(btnViewProtocol);
    resultLayout->addLayout(viewRow);

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnClose);
    auto *main = new QVBoxLayout(this);
    main->addWidget(criteria);
    main->addWidget(results, 1);
    main->addLayout(bottom);

    connect(btnSearchProtocol, &QPushButton::clicked, this, &TSearchForm::btnSearchProtocolClick);
    connect(btnViewProtocol, &QPushButton::clicked, this, &TSearchForm::btnViewProtocolClick);
    connect(ResultView1, &QTreeWidget::itemDoubleClicked, this, [this] { ResultView1DblClick(); });
    connect(btnClose, &QPushButton::clicked, this, &TSearchForm::reject);
    resize(520, 420);
}

void TSearchForm::btnSearchProtocolClick()
{
    const QString text = edtSearch->text();
    if (text.isEmpty() || FSearching || InputBlock::active(this))
        return;
    InputBlock block(this);
    FSearching = true;
    ResultView1->clear();
    btnViewProtocol->setEnabled(false);

    static const std::vector<VLMGRFILES_T> NoRecords;
    const std::vector<VLMGRFILES_T> &records = DuvoFileMgrForm ? DuvoFileMgrForm->FFileRecords : NoRecords;
    // The browser outlives this modal window, so its records stay put during the search.
    BrowseSearch search(records, text.toStdString());
    QElapsedTimer slice;
    slice.start();
    while (!search.done()) {
        search.step(RecordsPerCheck);
        if (slice.elapsed() >= SliceMs) {
            QCoreApplication::processEvents();
            slice.restart();
            if (FClosing)
                break;
        }
    }
    if (!FClosing) {
        QList<QTreeWidgetItem *> rows;
        rows.reserve(qsizetype(search.matches().size()));
        for (size_t at : search.matches()) {
            const VLMGRFILES_T &r = records[at];
            rows.append(new QTreeWidgetItem(
                {QString::fromStdString(r.ip), QString::fromStdString(r.folder), QString::fromStdString(r.file)}));
        }
        ResultView1->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            ResultView1->setCurrentItem(rows.first());
            ResultView1->setFocus();
            btnViewProtocol->setEnabled(true);
            lblResult->setText(QString::number(rows.size()) + QStringLiteral(" possible matches"));
        } else {
            lblResult->setText(QStringLiteral("0 matches"));
        }
    }
    FSearching = false;
}

void TSearchForm::btnViewProtocolClick()
{
    QTreeWidgetItem *row = ResultView1->currentItem();
    if (!row || FSearching || FClosing || InputBlock::active(this))
        return;
    const std::string ip = row->text(0).toStdString();
    const std::string folder = row->text(1).toStdString();
    const std::string file = row->text(2).toStdString();
    {
        InputBlock block(this);
        if (!FOps.FetchProtocol(ip, folder, file))
            return;
    }
    const FetchedProtocol &fetched = FOps.fetchedProtocol();
    if (FClosing || !fetched.held() || fetched.Protocol->empty())
        return;
    ShowDeviceProtocol(this, *fetched.Protocol, file, folder, ip);
}

void TSearchForm::ResultView1DblClick()
{
    btnViewProtocolClick();
}

void TSearchForm::closeEvent(QCloseEvent *event)
{
    FClosing = true;
    TCPClient1.abort();
    QDialog::closeEvent(event);
}

void TSearchForm::reject()
{
    FClosing = true;
    TCPClient1.abort();
    QDialog::reject();
}
