#include "link/forms/TDatabaseForm.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "common/Shell.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseCopy.h"
#include "link/DatabaseFiles.h"
#include "link/Settings.h"
#include "link/Workstation.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

using namespace duvo;

TDatabaseForm *DatabaseForm = nullptr;

namespace {

const QString kFilter = QStringLiteral("Database Files (*.sqb)");

// The file dialogs add the default extension to a name typed without one.
QString withDefaultExtension(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".sqb") : path;
}

} // namespace

TDatabaseForm::TDatabaseForm(QWidget *owner) : QDialog(owner)
{
    DatabaseForm = this;
    setObjectName(QStringLiteral("DatabaseForm"));
    setWindowTitle(QStringLiteral("Database"));
    setWindowFlag(Qt::Tool);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    try {
        buildControls();
        EnableDBBox1->setChecked(false);
        const QString path = ProgramDatabasePath();
        AppPathLabel1->setText(AppPathLabel1->fontMetrics().elidedText(path, Qt::ElideMiddle, 300));
        AppPathLabel1->setToolTip(path);
        EnableDBBox1->setEnabled(true);
    } catch (...) {
        Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"));
    }
}

TDatabaseForm::~TDatabaseForm()
{
    if (DatabaseForm == this)
        DatabaseForm = nullptr;
}

QString TDatabaseForm::ProgramDatabasePath()
{
    return ProgramFolder() + QStringLiteral("VadeZir.sqb");
}

void TDatabaseForm::buildControls()
{
    auto *top = new QVBoxLayout(this);

    auto *header = new QLabel(QStringLiteral("<b>Database Administration</b><br>"
                                             "Manage and administer the database with the tools provided here"),
                              this);
    header->setObjectName(QStringLiteral("HeaderLabel"));
    header->setContentsMargins(4, 4, 4, 8);
    top->addWidget(header);

    auto *selections = new QGroupBox(QStringLiteral("Selections"), this);
    auto *grid = new QVBoxLayout(selections);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Database Path:"), selections));
    AppPathLabel1 = new QLabel(selections);
    AppPathLabel1->setObjectName(QStringLiteral("AppPathLabel1"));
    AppPathLabel1->setMinimumWidth(300);
    pathRow->addWidget(AppPathLabel1, 1);
    grid->addLayout(pathRow);

    auto makeButton = [this](QWidget *parent, const char *name, const QString &caption, const QString &hint,
                             void (TDatabaseForm::*slot)()) {
        auto *b = new QPushButton(caption, parent);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        b->setMinimumWidth(110);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };

    auto *critical = new QGroupBox(QStringLiteral("Critical Operation"), selections);
    auto *criticalRow = new QHBoxLayout(critical);
    btnCreateNew = makeButton(critical, "btnCreateNew", QStringLiteral("Create New"),
                              QStringLiteral("Creates a new empty database file. Please consult your administrator "
                                             "before using this option!"),
                              &TDatabaseForm::btnCreateNewClick);
    btnCreateNew->setEnabled(false);
    EnableDBBox1 = new QCheckBox(QStringLiteral("Enable Database Creation"), critical);
    EnableDBBox1->setObjectName(QStringLiteral("EnableDBBox1"));
    connect(EnableDBBox1, &QCheckBox::clicked, this, &TDatabaseForm::EnableDBBox1Click);
    criticalRow->addWidget(btnCreateNew);
    criticalRow->addWidget(EnableDBBox1, 1);
    grid->addWidget(critical);

    auto *lower = new QHBoxLayout;
    auto *maintenance = new QGroupBox(QStringLiteral("Maintenance"), selections);
    auto *maintenanceRow = new QHBoxLayout(maintenance);
    btnBackup = makeButton(maintenance, "btnBackup", QStringLiteral("Backup"),
                           QStringLiteral("Allows you to make a backup copy of the main database file"),
                           &TDatabaseForm::btnBackupClick);
    btnRestore = makeButton(maintenance, "btnRestore", QStringLiteral("Restore"),
                            QStringLiteral("Allows you to restore the main database file from a backup copy"),
                            &TDatabaseForm::btnRestoreClick);
    maintenanceRow->addWidget(btnBackup);
    maintenanceRow->addWidget(btnRestore);
    lower->addWidget(maintenance);

    auto *tools = new QGroupBox(QStringLiteral("Tools"), selections);
    auto *toolsRow = new QHBoxLayout(tools);
    btnSqlLite3 = makeButton(tools, "btnSqlLite3", QStringLiteral("Command Line"),
                             QStringLiteral("Starts the database command line interface. Please consult your "
                                            "administrator before using this option!"),
                             &TDatabaseForm::btnSqlLite3Click);
    btnDataBrowser = makeButton(tools, "btnDataBrowser", QStringLiteral("Data Browser"),
                                QStringLiteral("Starts the database browser. Please consult your administrator "
                                               "before using this option!"),
                                &TDatabaseForm::btnDataBrowserClick);
    toolsRow->addWidget(btnSqlLite3);
    toolsRow->addWidget(btnDataBrowser);
    lower->addWidget(tools);
    grid->addLayout(lower);
    top->addWidget(selections);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    btnOk = new QPushButton(QStringLiteral("Close"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    bottom->addWidget(btnOk);
    top->addLayout(bottom);
}

void TDatabaseForm::tip(const QString &text)
{
    if (Workstation *ws = Workstation::current())
        ws->ShowAlert(text);
}

bool TDatabaseForm::confirm(const QString &text)
{
    return Prompts::message(text, QStringLiteral("Warning"), Ok | Cancel, PromptIcon::Warning) == Ok;
}

void TDatabaseForm::runCopy(const std::function<void()> &job)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool wasEnabled = isEnabled();
    setEnabled(false);
    QEventLoop loop;
    QThread *worker = QThread::create(job);
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    setEnabled(wasEnabled);
    QApplication::restoreOverrideCursor();
}

void TDatabaseForm::EnableDBBox1Click()
{
    if (EnableDBBox1->isChecked()) {
        btnCreateNew->setEnabled(true);
        tip(QStringLiteral("Warning: Create New overwrites any previous database files!  Use Backup before continuing"));
    } else {
        btnCreateNew->setEnabled(false);
    }
}

void TDatabaseForm::btnCreateNewClick()
{
    if (!confirm(QStringLiteral("This operation creates a blank new database and deletes any previous database "
                                "files!  \n\nPlease confirm if you want to continue!")))
        return;
    bool created = CreateMainDatabase(DatabasePath) == 1;
    if (created) {
        try {
            WriteDbVersion(DatabasePath);
        } catch (const CppSQLite3Exception &e) {
            Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                             QStringLiteral("Error"), Ok, PromptIcon::Warning);
        }
        Prompts::message(QStringLiteral("Database created!"), QStringLiteral("Database Administration"), Ok,
                         PromptIcon::Information);
    } else {
        Prompts::message(QStringLiteral("Error during database creation! Please try again or contact your Admin."),
                         QStringLiteral("Creation Error"), Ok, PromptIcon::Error);
    }
}

void TDatabaseForm::btnBackupClick()
{
    tip(QStringLiteral("Backup allows you to backup your current database file to another location"));
    if (!confirm(QStringLiteral("This operation makes a backup of the database file.  You may need Admin rights to "
                                "execute this option successfully.\n\nPlease confirm if you want to continue!")))
        return;
    const auto chosen = Prompts::saveFile(QStringLiteral("Backup Database"), ProgramFolder(), kFilter,
                                          QStringLiteral("Backup.sqb"));
    if (!chosen || chosen->isEmpty())
        return;
    const QString target = withDefaultExtension(*chosen);
    DatabaseCopyResult result;
    runCopy([&] { result = BackupDatabase(ProgramDatabasePath(), target); });
    if (!result.ok)
        Prompts::message(QStringLiteral("Error during backup! No backup file was written.\n\n") + result.reason,
                         QStringLiteral("Backup Error"), Ok, PromptIcon::Error);
}

void TDatabaseForm::btnRestoreClick()
{
    tip(QStringLiteral("Restore allows you to restore the main database file from a previously saved copy"));
    if (!confirm(QStringLiteral("This operation restores the database file.  You may need Admin rights to execute "
                                "this option successfully.\n\nPlease confirm if you want to continue!")))
        return;
    PromptRequest r;
    r.kind = PromptKind::OpenFile;
    r.title = QStringLiteral("Restore Database");
    r.directory = ProgramFolder();
    r.filter = kFilter;
    r.defaultName = QStringLiteral("Backup.sqb");
    const PromptAnswer a = Prompts::instance().ask(r);
    if (!a.accepted() || a.value.isEmpty())
        return;
    const QString source = a.value;
    DatabaseCopyResult result;
    runCopy([&] { result = RestoreDatabase(source, ProgramDatabasePath()); });
    if (!result.ok)
        Prompts::message(QStringLiteral("Error during restore! The database was not changed.\n\n") + result.reason,
                         QStringLiteral("Restore Error"), Ok, PromptIcon::Error);
}

void TDatabaseForm::btnSqlLite3Click()
{
    tip(QStringLiteral("This starts the interactive database command line tool for manipulating the database"));
    if (!Shell::instance().startProgram(QStringLiteral("x-terminal-emulator"),
                                        {QStringLiteral("-e"), QStringLiteral("sqlite3"), DatabasePath},
                                        ProgramFolder()))
        Prompts::error(QStringLiteral("Error starting SQLITE command line!"));
}

void TDatabaseForm::btnDataBrowserClick()
{
    tip(QStringLiteral("This starts the graphical database tool for easy manipulation of your data"));
    if (!Shell::instance().startProgram(QStringLiteral("sqlitebrowser"), {DatabasePath}, ProgramFolder()))
        Prompts::error(QStringLiteral("Error starting Database viewer!"));
}
