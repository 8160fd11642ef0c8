#include "link/forms/TPreferenceForm.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/FieldList.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"
#include "link/forms/TEmailConfigForm.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <optional>

using duvo::PromptIcon;
using duvo::Prompts;

namespace {

// A label that shortens a long path in the middle to fit its width; the full text stays its
// text and its tooltip.
class PathLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        p.drawText(r, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width()));
    }
    QSize minimumSizeHint() const override { return QSize(40, QLabel::minimumSizeHint().height()); }
};

QSpinBox *makeSpin(QWidget *parent, const char *name, int min, int max, int value, const QString &hint)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(min, max);
    spin->setValue(value);
    spin->setToolTip(hint);
    // The value changes only through the arrows, not by typing.
    if (auto *edit = spin->findChild<QLineEdit *>())
        edit->setReadOnly(true);
    return spin;
}

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TPreferenceForm::TPreferenceForm(QWidget *owner) : QDialog(owner)
{
    buildControls();

    FLoadFailed = false;
    edtDefaultFolder1->setText(duvo::ProgramFolder());
    try {
        if (LoadPreferences(duvo::SettingsRowKey())) {
            AppPathLabel1->setText(duvo::ProgramFolder());
            AppPathLabel1->setToolTip(duvo::ProgramFolder());
            // The dialog still opens, so that Save can write a complete row again.
            if (FRowIncomplete)
                Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"));
        } else {
            Prompts::message(QStringLiteral("Error during database operation!"), QStringLiteral("Error"), duvo::Ok,
                             PromptIcon::Warning);
            FLoadFailed = true;
        }
    } catch (...) {
        Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"));
        FLoadFailed = true;
    }
}

void TPreferenceForm::buildControls()
{
    setObjectName(QStringLiteral("PreferenceForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::Tool);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *top = new QVBoxLayout(this);

    auto *header = new QLabel(QStringLiteral("Settings"), this);
    QFont bold = header->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    header->setFont(bold);
    top->addWidget(header);
    top->addWidget(new QLabel(QStringLiteral("Configure here some system preferences and options"), this));

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Application Path:"), this));
    AppPathLabel1 = named(new PathLabel(this), "AppPathLabel1");
    AppPathLabel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    pathRow->addWidget(AppPathLabel1, 1);
    top->addLayout(pathRow);

    auto *grid = new QGridLayout;
    top->addLayout(grid);

    auto *logGroup = new QGroupBox(QStringLiteral("Log Control"), this);
    auto *logLayout = new QVBoxLayout(logGroup);
    GeneralLogBox1 = named(new QCheckBox(QStringLiteral("Enable General Log File"), logGroup), "GeneralLogBox1");
    ExceptionLogBox1 = named(new QCheckBox(QStringLiteral("Enable Exception Log File"), logGroup), "ExceptionLogBox1");
    for (QCheckBox *box : {GeneralLogBox1, ExceptionLogBox1}) {
        box->setChecked(true);
        box->setEnabled(false);
        logLayout->addWidget(box);
    }
    grid->addWidget(logGroup, 0, 0);

    auto *portGroup = new QGroupBox(QStringLiteral("Duvo IP Server Port"), this);
    auto *portLayout = new QHBoxLayout(portGroup);
    edtPort1 = named(new QLineEdit(QStringLiteral("62751"), portGroup), "edtPort1");
    edtPort1->setEnabled(false);
    edtPort1->setToolTip(QStringLiteral("Default:  62751"));
    edtPort1->setMaxLength(5);
    edtPort1->setValidator(new QIntValidator(62751, 62760, edtPort1));
    portLayout->addWidget(edtPort1);
    portLayout->addWidget(new QLabel(QStringLiteral("Default Port"), portGroup));
    grid->addWidget(portGroup, 0, 1);

    auto *refreshGroup = new QGroupBox(QStringLiteral("Auto Refresh"), this);
    auto *refreshLayout = new QHBoxLayout(refreshGroup);
    edtRefresh1 = makeSpin(refreshGroup, "edtRefresh1", 5, 60, 5,
                           QStringLiteral("Auto refresh time of main status window in seconds"));
    refreshLayout->addWidget(edtRefresh1);
    grid->addWidget(refreshGroup, 1, 0);

    auto *searchGroup = new QGroupBox(QStringLiteral("Search Delay"), this);
    auto *searchLayout = new QHBoxLayout(searchGroup);
    edtSearch1 = makeSpin(searchGroup, "edtSearch1", 2, 60, 10,
                          QStringLiteral("Delay value used for searching devices on the network in seconds"));
    searchLayout->addWidget(edtSearch1);
    grid->addWidget(searchGroup, 1, 1);

    auto *proxyGroup = new QGroupBox(QStringLiteral("Internet Download"), this);
    auto *proxyLayout = new QGridLayout(proxyGroup);
    cbProxy1 = named(new QCheckBox(QStringLiteral("Use Proxy settings"), proxyGroup), "cbProxy1");
    proxyLayout->addWidget(cbProxy1, 0, 0, 1, 2);
    edtProxyServer = named(new QLineEdit(proxyGroup), "edtProxyServer");
    edtProxyUser = named(new QLineEdit(proxyGroup), "edtProxyUser");
    edtProxyPwd = named(new QLineEdit(proxyGroup), "edtProxyPwd");  // shown in plain text
    proxyLayout->addWidget(new QLabel(QStringLiteral("Proxy Server"), proxyGroup), 1, 0);
    proxyLayout->addWidget(edtProxyServer, 1, 1);
    proxyLayout->addWidget(new QLabel(QStringLiteral("Proxy User ID"), proxyGroup), 2, 0);
    proxyLayout->addWidget(edtProxyUser, 2, 1);
    proxyLayout->addWidget(new QLabel(QStringLiteral("Proxy Password"), proxyGroup), 3, 0);
    proxyLayout->addWidget(edtProxyPwd, 3, 1);
    grid->addWidget(proxyGroup, 2, 0);

    auto *mailGroup = new QGroupBox(QStringLiteral("E-mail"), this);
    auto *mailLayout = new QVBoxLayout(mailGroup);
    EmailBox1 = named(new QCheckBox(QStringLiteral("Enable E-mail Notification"), mailGroup), "EmailBox1");
    btnEmailConfig = named(new QPushButton(QStringLiteral("Configure..."), mailGroup), "btnEmailConfig");
    btnEmailConfig->setAutoDefault(false);
    mailLayout->addWidget(EmailBox1);
    mailLayout->addWidget(btnEmailConfig);
    mailLayout->addStretch();
    grid->addWidget(mailGroup, 2, 1);

    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Default Folder"), this));
    edtDefaultFolder1 = named(new QLineEdit(this), "edtDefaultFolder1");
    edtDefaultFolder1->setReadOnly(true);
    edtDefaultFolder1->setToolTip(QStringLiteral("Select a new folder"));
    folderRow->addWidget(edtDefaultFolder1, 1);
    edtDefaultFolder1Browse = named(new QPushButton(QStringLiteral("Select Folder"), this), "edtDefaultFolder1Browse");
    edtDefaultFolder1Browse->setToolTip(QStringLiteral("Select a new folder"));
    edtDefaultFolder1Browse->setAutoDefault(false);
    folderRow->addWidget(edtDefaultFolder1Browse);
    top->addLayout(folderRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOk = named(new QPushButton(QStringLiteral("Save"), this), "btnOk");
    btnOk->setAutoDefault(false);
    btnCancel = named(new QPushButton(QStringLiteral("Close"), this), "btnCancel");
    btnCancel->setDefault(true);  // Enter closes without saving, as Esc does
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    top->addLayout(buttons);

    // A change of a box's state runs its click handler, also while the dialog loads.
    connect(GeneralLogBox1, &QCheckBox::toggled, this, &TPreferenceForm::GeneralLogBox1Click);
    connect(ExceptionLogBox1, &QCheckBox::toggled, this, &TPreferenceForm::ExceptionLogBox1Click);
    connect(EmailBox1, &QCheckBox::toggled, this, &TPreferenceForm::EmailBox1Click);
    connect(btnEmailConfig, &QPushButton::clicked, this, &TPreferenceForm::btnEmailConfigClick);
    connect(edtDefaultFolder1Browse, &QPushButton::clicked, this, &TPreferenceForm::edtDefaultFolder1BrowseClick);
    connect(edtDefaultFolder1, &QLineEdit::textChanged, this, &TPreferenceForm::edtDefaultFolder1Change);
    connect(btnOk, &QPushButton::clicked, this, &TPreferenceForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TPreferenceForm::LoadPreferences(const QString &key)
{
    FRowIncomplete = false;
    if (!QFileInfo(DatabasePath).isFile()) {
        Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), duvo::Ok,
                         PromptIcon::Warning);
        return false;
    }
    QString preferenceData;
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        if (db.RunScalar("select count(configname) from config_tbl;") > 0) {
            const QByteArray k = key.toUtf8();
            CppSQLite3Buffer sql;
            sql.Format("select preferencedata from config_tbl where configname = %Q;", k.constData());
            CppSQLite3Query q = db.RunQuery(sql);
            preferenceData = q.StringColumnNamed("preferencedata");
        }
    }
    if (preferenceData.isEmpty())
        return true;  // the controls keep their form values

    const QStringList fields = duvo::ParseFieldList(preferenceData);
    if (fields.size() < 11)
        FRowIncomplete = true;
    auto number = [&](int i) -> std::optional<int> {
        if (i >= fields.size())
            return std::nullopt;
        bool ok = false;
        const int v = duvo::FieldToInt(fields.at(i), &ok);
        if (!ok) {
            FRowIncomplete = true;
            return std::nullopt;
        }
        return v;
    };
    auto setSwitch = [&](QCheckBox *box, int i) {
        if (const std::optional<int> v = number(i))
            box->setChecked(*v == 1);
    };
    auto setText = [&](QLineEdit *edit, int i) {
        if (i < fields.size())
            edit->setText(fields.at(i));
    };
    auto setSpin = [&](QSpinBox *spin, int i) {
        if (const std::optional<int> v = number(i))
            spin->setValue(*v);
    };
    setSwitch(GeneralLogBox1, 0);
    setSwitch(ExceptionLogBox1, 1);
    setText(edtPort1, 2);
    setSpin(edtRefresh1, 3);
    setSpin(edtSearch1, 4);
    setSwitch(cbProxy1, 5);
    setText(edtProxyServer, 6);
    setText(edtProxyUser, 7);
    setText(edtProxyPwd, 8);
    setText(edtDefaultFolder1, 9);
    setSwitch(EmailBox1, 10);
    return true;
}

void TPreferenceForm::btnOkClick()
{
    Workstation *ws = Workstation::current();
    const QString text = duvo::JoinFieldList({
        duvo::SwitchField(GeneralLogBox1->isChecked()),
        duvo::SwitchField(ExceptionLogBox1->isChecked()),
        edtPort1->text(),
        edtRefresh1->cleanText(),
        edtSearch1->cleanText(),
        duvo::SwitchField(cbProxy1->isChecked()),
        // Quoted where needed: a blank, ':' or '"' in them must not shift the fields after them.
        duvo::TextField(edtProxyServer->text()),
        duvo::TextField(edtProxyUser->text()),
        duvo::TextField(edtProxyPwd->text()),
        duvo::QuotedField(edtDefaultFolder1->text()),
        duvo::SwitchField(EmailBox1->isChecked()),
    });
    try {
        const duvo::SettingsWriteResult r =
            duvo::WriteSettingsColumn(DatabasePath, duvo::SettingsRowKey(), QStringLiteral("preferencedata"), text);
        if (r.changes > 0) {
            if (ws) {
                ws->FRefreshSeconds = edtRefresh1->value();
                ws->DuvoTimer.setInterval(ws->FRefreshSeconds * 1000);
                ws->FSearchDelay = edtSearch1->value();
                ws->FUseProxy = cbProxy1->isChecked();
                ws->FProxyServer = edtProxyServer->text();
                ws->FProxyUser = edtProxyUser->text();
                ws->FProxyPassword = edtProxyPwd->text();
                ws->FDefaultFolder = edtDefaultFolder1->text();
                ws->FMailNotification = EmailBox1->isChecked();
            }
            Prompts::message(r.updated ? QStringLiteral("Updated configuration in the database!")
                                       : QStringLiteral("Added configuration to the database!"),
                             QStringLiteral("Preferences"), duvo::Ok, PromptIcon::Information);
        }
    } catch (const CppSQLite3Exception &e) {
        if (ws)
            ws->ZavExceptionLog1.LogException(QStringLiteral("TPreferenceForm::btnOkClick"),
                                              QString::fromUtf8(e.ErrorMessage()));
        Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                         QStringLiteral("Error"), duvo::Ok, PromptIcon::Warning);
    }
    accept();
}

void TPreferenceForm::GeneralLogBox1Click()
{
    GeneralLogBox1->setChecked(true);
    if (Workstation *ws = Workstation::current())
        ws->ZavLog1.setEnabled(true);
}

void TPreferenceForm::ExceptionLogBox1Click()
{
    ExceptionLogBox1->setChecked(true);
    if (Workstation *ws = Workstation::current())
        ws->ZavExceptionLog1.setActive(true);
}

void TPreferenceForm::EmailBox1Click()
{
    if (EmailBox1->isChecked())
        Prompts::message(
            QStringLiteral("Make sure you have configured the email account in order to receive notifications!"),
            QStringLiteral("E-mail"));
}

void TPreferenceForm::btnEmailConfigClick()
{
    // Shown whatever its load-failed flag says; gone when it closes.
    TEmailConfigForm form(this);
    form.exec();
}

void TPreferenceForm::edtDefaultFolder1BrowseClick()
{
    const std::optional<QString> chosen =
        Prompts::folder(QStringLiteral("Select a new folder"), edtDefaultFolder1->text());
    const QString folder = chosen.value_or(edtDefaultFolder1->text());
    edtDefaultFolder1DialogClose(folder, chosen.has_value());
    edtDefaultFolder1->setText(folder);
    edtDefaultFolder1Change();
}

void TPreferenceForm::edtDefaultFolder1DialogClose(const QString &newFolder, bool ok)
{
    Q_UNUSED(ok);
    FChosenFolder = duvo::withTrailingSeparator(newFolder);
}

void TPreferenceForm::edtDefaultFolder1Change()
{
    if (!FChosenFolder.isEmpty() && edtDefaultFolder1->text() != FChosenFolder)
        edtDefaultFolder1->setText(FChosenFolder);
}
