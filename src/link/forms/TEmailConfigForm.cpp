#include "link/forms/TEmailConfigForm.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/FieldList.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"
#include "mainwindow/SmtpClient.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <optional>
#include <stdexcept>

using duvo::Prompts;
using duvo::PromptIcon;

namespace {

const QString kTestTitle = QStringLiteral("Test e-mail configuration");

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

TEmailConfigForm::TEmailConfigForm(QWidget *owner) : QDialog(owner, Qt::Tool)
{
    buildControls();

    FLoadFailed = false;
    try {
        if (!LoadMailSettings(duvo::SettingsRowKey())) {
            Prompts::message(QStringLiteral("Error during database operation!"), QStringLiteral("Error"), duvo::Ok,
                             PromptIcon::Warning);
            FLoadFailed = true;
        }
    } catch (...) {
        Prompts::message(QStringLiteral("Error during loading..."), QStringLiteral("Error"), duvo::Ok,
                         PromptIcon::Error);
        FLoadFailed = true;
    }
}

void TEmailConfigForm::buildControls()
{
    setObjectName(QStringLiteral("EmailConfigForm"));
    setWindowTitle(QStringLiteral("E-mail Configuration"));

    UserNameEdit1 = new QLineEdit(this);
    UserNameEdit1->setObjectName(QStringLiteral("UserNameEdit1"));
    UserPasswordEdit1 = new QLineEdit(this);
    UserPasswordEdit1->setObjectName(QStringLiteral("UserPasswordEdit1"));
    UserPasswordEdit1->setEchoMode(QLineEdit::Password);
    MailServerEdit1 = new QLineEdit(this);
    MailServerEdit1->setObjectName(QStringLiteral("MailServerEdit1"));
    EmailPortEdit1 = new QLineEdit(QStringLiteral("25"), this);
    EmailPortEdit1->setObjectName(QStringLiteral("EmailPortEdit1"));
    // Up to six digits, as the port field always allowed.
    EmailPortEdit1->setMaxLength(6);
    EmailPortEdit1->setMaximumWidth(80);
    EmailPortEdit1->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), EmailPortEdit1));
    AuthenticateBox1 = new QCheckBox(QStringLiteral("Authenticate at Login"), this);
    AuthenticateBox1->setObjectName(QStringLiteral("AuthenticateBox1"));
    AuthenticateBox1->setChecked(true);
    YourNameEdit1 = new QLineEdit(this);
    YourNameEdit1->setObjectName(QStringLiteral("YourNameEdit1"));
    YourEmailEdit1 = new QLineEdit(this);
    YourEmailEdit1->setObjectName(QStringLiteral("YourEmailEdit1"));
    SSLBox1 = new QCheckBox(QStringLiteral("Requires TLS"), this);
    SSLBox1->setObjectName(QStringLiteral("SSLBox1"));
    SSLBox1->setToolTip(QStringLiteral("Gmail and others supporting TLS"));

    btnTest = new QPushButton(QStringLiteral("Test E-mail Configuration..."), this);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    btnOk = new QPushButton(QStringLiteral("Save"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    btnTest->setAutoDefault(false);

    auto *group = new QGroupBox(QStringLiteral("E-mail Account Information"), this);
    auto *form = new QFormLayout;
    form->addRow(caption(QStringLiteral("User Information"), group));
    form->addRow(QStringLiteral("Your Name"), YourNameEdit1);
    form->addRow(QStringLiteral("E-mail Address"), YourEmailEdit1);
    form->addRow(caption(QStringLiteral("Server Information"), group));
    form->addRow(QStringLiteral("Outgoing mail server (SMTP) "), MailServerEdit1);
    form->addRow(caption(QStringLiteral("TCP/IP Port"), group));
    form->addRow(QString(), EmailPortEdit1);
    form->addRow(QString(), SSLBox1);
    form->addRow(caption(QStringLiteral("Logon Information"), group));
    form->addRow(QStringLiteral("User Name"), UserNameEdit1);
    form->addRow(QStringLiteral("Password"), UserPasswordEdit1);
    form->addRow(QString(), AuthenticateBox1);
    group->setLayout(form);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnTest);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &TEmailConfigForm::btnOkClick);
    connect(btnTest, &QPushButton::clicked, this, &TEmailConfigForm::btnTestClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TEmailConfigForm::LoadMailSettings(const QString &key)
{
    QString mailData;
    if (!duvo::ReadMailData(DatabasePath, key, mailData))
        return false;
    if (!mailData.isEmpty()) {
        const duvo::MailSettings s = duvo::ParseMailData(mailData);
        EmailPortEdit1->setText(s.port);
        MailServerEdit1->setText(s.host);
        UserNameEdit1->setText(s.user);
        UserPasswordEdit1->setText(s.password);
        AuthenticateBox1->setChecked(s.authenticate);
        YourNameEdit1->setText(s.senderName);
        YourEmailEdit1->setText(s.senderAddress);
        SSLBox1->setChecked(s.tls);
    }
    return true;
}

duvo::MailSettings TEmailConfigForm::controlsToSettings() const
{
    duvo::MailSettings s;
    s.port = EmailPortEdit1->text();
    s.host = MailServerEdit1->text();
    s.user = UserNameEdit1->text();
    s.password = UserPasswordEdit1->text();
    s.authenticate = AuthenticateBox1->isChecked();
    s.senderName = YourNameEdit1->text();
    s.senderAddress = YourEmailEdit1->text();
    s.tls = SSLBox1->isChecked();
    return s;
}

void TEmailConfigForm::btnOkClick()
{
    if (!QFileInfo(DatabasePath).isFile()) {
        Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), duvo::Ok,
                         PromptIcon::Warning);
        return;
    }
    const QString port = EmailPortEdit1->text();
    if (duvo::MailPortRefused(port)) {
        Prompts::message(duvo::MailPortRefusedText(port), QStringLiteral("Error"), duvo::Ok, PromptIcon::Warning);
        EmailPortEdit1->setText(QStringLiteral("25"));
        return;
    }
    if (port.isEmpty())
        EmailPortEdit1->setText(QStringLiteral("25"));

    const duvo::MailSettings settings = controlsToSettings();
    // The main window's fields follow the dialog whatever the database write does.
    if (Workstation *ws = Workstation::current())
        duvo::CopyMailSettings(settings, *ws);

    duvo::SettingsWriteResult r;
    try {
        r = duvo::WriteSettingsColumn(DatabasePath, duvo::SettingsRowKey(), QStringLiteral("maildata"),
                                      duvo::JoinMailData(settings));
    } catch (const CppSQLite3Exception &e) {
        // As the settings dialog does: the engine's code, the full text in the exception log.
        if (Workstation *ws = Workstation::current())
            ws->ZavExceptionLog1.LogException(QStringLiteral("TEmailConfigForm::btnOkClick"),
                                              QString::fromUtf8(e.ErrorMessage()));
        Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()), QStringLiteral("Error"),
                         duvo::Ok, PromptIcon::Warning);
        return;
    }
    if (r.changes > 0)
        Prompts::message(r.updated ? QStringLiteral("Updated configuration in the database!")
                                   : QStringLiteral("Added configuration to the database!"),
                         QStringLiteral("E-mail Configuration"), duvo::Ok, PromptIcon::Information);
}

void TEmailConfigForm::btnTestClick()
{
    if (FSending)
        return;
    duvo::SmtpMail mail;
    mail.mailAgent = QString::fromLatin1(duvo::kMailAgent);
    mail.host = MailServerEdit1->text();

    const QString port = EmailPortEdit1->text();
    if (duvo::MailPortRefused(port)) {
        Prompts::message(duvo::MailPortRefusedText(port), QStringLiteral("Error"), duvo::Ok, PromptIcon::Warning);
        EmailPortEdit1->setText(QStringLiteral("25"));
        return;
    }
    mail.user = UserNameEdit1->text();
    mail.password = UserPasswordEdit1->text();
    mail.authenticate = AuthenticateBox1->isChecked();
    if (port.isEmpty()) {
        EmailPortEdit1->setText(QStringLiteral("25"));
        mail.port = duvo::kDefaultSmtpPort;
    } else {
        bool ok = false;
        mail.port = duvo::FieldToInt(port, &ok);
        if (!ok)
            throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(port).toStdString());
    }
    mail.tls = SSLBox1->isChecked();
    mail.senderAddress = YourEmailEdit1->text();
    mail.senderName = YourNameEdit1->text();
    mail.subject = QStringLiteral("Duvo Studio e-mail notification");
    mail.bodyLines = {QStringLiteral("Duvo Studio"), QString(), QStringLiteral("E-mail account test..."), QString(),
                      QString(), QStringLiteral("Do NOT reply to this e-mail...")};

    const std::optional<QString> answer =
        Prompts::input(kTestTitle, QStringLiteral("Enter a destination e-mail address:"));
    if (!answer)
        return;
    if (answer->isEmpty()) {
        Prompts::message(QStringLiteral("Input was empty!"), QStringLiteral("Error"), duvo::Ok, PromptIcon::Warning);
        return;
    }
    mail.recipient = *answer;

    // The dialog keeps handling events while the mail goes out; a second test waits its turn.
    FSending = true;
    btnTest->setEnabled(false);
    QPointer<TEmailConfigForm> self(this);
    const QString error = duvo::SendSmtpMail(mail);
    if (!self)
        return;
    FSending = false;
    btnTest->setEnabled(true);

    if (!error.isEmpty()) {
        Prompts::message(error, QStringLiteral("Error"), duvo::Ok, PromptIcon::Error);
        return;
    }
    Prompts::message(QStringLiteral("E-mail Message sent to: ") + *answer + QStringLiteral("   from: ")
                         + YourEmailEdit1->text(),
                     kTestTitle);
}
