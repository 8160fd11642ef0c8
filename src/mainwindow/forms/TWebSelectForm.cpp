#include "mainwindow/forms/TWebSelectForm.h"

#include "common/Prompts.h"
#include "common/forms/ItemMarkupDelegate.h"
#include "mainwindow/WebDownload.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <stdexcept>

TWebSelectForm *WebSelectForm = nullptr;

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

QString TWebSelectForm::DownloadRowHtml(const QString &name, const QString &fileName, const QString &description,
                                        const QString &author, const QString &version, const QString &date)
{
    return QStringLiteral("<IMG SRC=\"document_ico\" align=\"bottom\"> <B><FONT SIZE=\"10\">%1</FONT></B>"
                          "<BR><IND X=\"30\"><FONT SIZE=\"8\"><B>Filename</B>: %2</BR>"
                          "<BR><IND X=\"30\"><FONT SIZE=\"8\"><B>Description</B>: %3</BR>"
                          "<BR><IND X=\"30\"><FONT SIZE=\"8\"><B>Author</B>: %4</BR>"
                          "<BR><IND X=\"30\"><FONT SIZE=\"8\"><B>Version</B>: %5 <B> Date</B>: %6</BR>")
        .arg(esc(name), esc(fileName), esc(description), esc(author), esc(version), esc(date));
}

TWebSelectForm::TWebSelectForm(QWidget *owner, QStringList *list) : QDialog(owner), FList(list)
{
    setObjectName(QStringLiteral("WebSelectForm"));
    setWindowTitle(QStringLiteral("Internet Download"));
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(520, 440);

    GroupBox1 = new QGroupBox(QStringLiteral("Available Downloads"));
    ListBox1 = new QListWidget;
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("Select Downloads with a checkmark"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->installEventFilter(this);
    FDelegate = new duvo::ItemMarkupDelegate(ListBox1);
    ListBox1->setItemDelegate(FDelegate);
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(ListBox1);

    btnOk = new QPushButton(QStringLiteral("Download"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnSelectAll = new QPushButton(QStringLiteral("Select All"));
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    btnSelectAll->setMinimumWidth(btnSelectAll->fontMetrics().horizontalAdvance(QStringLiteral("Unselect All")) + 24);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSelectAll);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &TWebSelectForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSelectAll, &QPushButton::clicked, this, &TWebSelectForm::btnSelectAllClick);
    connect(ListBox1, &QListWidget::itemChanged, this, &TWebSelectForm::ListBox1CheckClick);

    WebSelectForm = this;
    btnOk->setEnabled(false);
    load();
}

TWebSelectForm::~TWebSelectForm()
{
    if (WebSelectForm == this)
        WebSelectForm = nullptr;
}

void TWebSelectForm::load()
{
    try {
        if (!FList || FList->isEmpty())
            return;
        const duvo::NameValueIndex index(*FList);
        bool ok = false;
        const qlonglong total = index.value(QStringLiteral("TotalFiles")).trimmed().toLongLong(&ok);
        if (!ok)
            throw std::runtime_error("TotalFiles is not a whole number");
        const QSignalBlocker quiet(ListBox1);
        if (total > 0) {
            // A row needs at least its file-name line: no more rows than the index has lines.
            const qlonglong rows = std::min<qlonglong>(total, index.lineCount());
            FDelegate->setItemHeight(72);
            for (qlonglong n = 1; n <= rows; ++n) {
                const QString k = QString::number(n);
                const QString fileName = index.value(k);
                auto *item = new QListWidgetItem(
                    DownloadRowHtml(index.value(QStringLiteral("Name") + k), fileName,
                                    index.value(QStringLiteral("Description") + k), index.value(QStringLiteral("Author") + k),
                                    index.value(QStringLiteral("Version") + k), index.value(QStringLiteral("Date") + k)));
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
                item->setSizeHint(QSize(0, 72));
                ListBox1->addItem(item);
                FFileNames << fileName;
            }
        } else {
            auto *item = new QListWidgetItem(QStringLiteral("<IMG SRC=\"document_ico\" align=\"bottom\"> <B><FONT SIZE=\"10\">%1</FONT></B>")
                                                 .arg(QStringLiteral("No downloads available")));
            item->setFlags(Qt::ItemIsEnabled);
            item->setSizeHint(QSize(0, 42));
            FDelegate->setItemHeight(42);
            ListBox1->addItem(item);
            ListBox1->setEnabled(false);
            btnSelectAll->setEnabled(false);
        }
    } catch (...) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

void TWebSelectForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ListBox1->count() > 0 && !ListBox1->currentItem())
        ListBox1->setCurrentRow(0);
}

void TWebSelectForm::ListBox1CheckClick()
{
    bool any = false;
    for (int i = 0; i < ListBox1->count() && !any; ++i)
        any = (ListBox1->item(i)->flags() & Qt::ItemIsUserCheckable) && ListBox1->item(i)->checkState() == Qt::Checked;
    btnOk->setEnabled(any);
}

bool TWebSelectForm::eventFilter(QObject *watched, QEvent *event)
{
    // Space toggles the current row once (the list's own handling would toggle it as well).
    if (watched == ListBox1 && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space) {
            if (event->type() == QEvent::KeyPress && !key->isAutoRepeat() && ListBox1->count() > 0) {
                QListWidgetItem *item = ListBox1->currentItem();
                if (item && (item->flags() & Qt::ItemIsUserCheckable))
                    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
                ListBox1CheckClick();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TWebSelectForm::btnSelectAllClick()
{
    if (ListBox1->count() == 0)
        return;
    const int current = ListBox1->currentRow();
    const bool select = btnSelectAll->text() == QLatin1String("Select All");
    {
        const QSignalBlocker quiet(ListBox1);
        for (int i = 0; i < ListBox1->count(); ++i) {
            QListWidgetItem *item = ListBox1->item(i);
            if (item->flags() & Qt::ItemIsUserCheckable)
                item->setCheckState(select ? Qt::Checked : Qt::Unchecked);
        }
    }
    ListBox1->viewport()->update();
    btnSelectAll->setText(select ? QStringLiteral("Unselect All") : QStringLiteral("Select All"));
    ListBox1CheckClick();
    if (current >= 0)
        ListBox1->setCurrentRow(current);
}

void TWebSelectForm::btnOkClick()
{
    if (FList) {
        FList->clear();
        for (int i = 0; i < ListBox1->count() && i < FFileNames.size(); ++i)
            if (ListBox1->item(i)->checkState() == Qt::Checked)
                *FList << FFileNames.at(i);
    }
    accept();
}
