#include "protocols/forms/TFolderNameForm.h"

#include "common/Prompts.h"
#include "protocols/DeviceFileOperations.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

// The name rule over every character of a change made by the user, as if the text had been
// typed one character at a time: letters become capitals and what the rule refuses drops out.
void applyWholeNameRule(QLineEdit *edit, const QString &changed)
{
    const QString text = duvo::TypedNameText(changed, edit->maxLength());
    if (text != changed) {
        const int cursor = edit->cursorPosition();
        edit->setText(text);
        edit->setCursorPosition(text.size() < changed.size() ? static_cast<int>(text.size())
                                                             : std::min<int>(cursor, static_cast<int>(text.size())));
    }
}

} // namespace

TFolderNameForm::TFolderNameForm(QWidget *owner)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    try {
        setObjectName(QStringLiteral("FolderNameForm"));
        setWindowTitle(QStringLiteral("New Folder"));

        GroupBox1 = new QGroupBox(QStringLiteral("Enter Folder Name"), this);
        GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
        edtFolder1 = new QLineEdit(GroupBox1);
        edtFolder1->setObjectName(QStringLiteral("edtFolder1"));
        edtFolder1->setMaxLength(duvo::NewFolderNameLength);
        edtFolder1->setMinimumWidth(200);
        chkSecureBox1 = new QCheckBox(QStringLiteral("Create Secure Folder"), GroupBox1);
        chkSecureBox1->setObjectName(QStringLiteral("chkSecureBox1"));
        auto *nameLayout = new QVBoxLayout(GroupBox1);
        nameLayout->addWidget(edtFolder1);
        nameLayout->addWidget(chkSecureBox1);

        GroupBox2 = new QGroupBox(QStringLiteral("Enter Folder Password"), this);
        GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
        edtPW1 = new QLineEdit(GroupBox2);
        edtPW1->setObjectName(QStringLiteral("edtPW1"));
        edtPW1->setEchoMode(QLineEdit::Password);
        edtPW1->setMaxLength(duvo::FolderPasswordLength);
        auto *pwLayout = new QVBoxLayout(GroupBox2);
        pwLayout->addWidget(edtPW1);
        GroupBox2->setVisible(false);

        btnOk = new QPushButton(QStringLiteral("OK"), this);
        btnOk->setObjectName(QStringLiteral("btnOk"));
        btnOk->setDefault(true);
        btnOk->setEnabled(false);
        btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
        btnCancel->setObjectName(QStringLiteral("btnCancel"));

        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(btnOk);
        buttons->addWidget(btnCancel);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(GroupBox1);
        layout->addWidget(GroupBox2);
        layout->addLayout(buttons);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        connect(edtFolder1, &QLineEdit::textEdited, this, &TFolderNameForm::edtFolder1Change);
        connect(edtPW1, &QLineEdit::textEdited, this, &TFolderNameForm::edtPW1Change);
        connect(chkSecureBox1, &QCheckBox::toggled, this, &TFolderNameForm::chkSecureBox1Click);
        connect(btnOk, &QPushButton::clicked, this, &TFolderNameForm::btnOkClick);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

void TFolderNameForm::setFolderSecurityMode(const QString &folder)
{
    edtFolder1->setReadOnly(true);
    edtFolder1->setText(folder);
    chkSecureBox1->setChecked(true);
    GroupBox1->setEnabled(false);
    btnOk->setEnabled(true);
    edtPW1->setFocus();
}

QString TFolderNameForm::folderName() const { return edtFolder1->text(); }
QString TFolderNameForm::password() const { return edtPW1->text(); }
bool TFolderNameForm::secure() const { return chkSecureBox1->isChecked(); }

void TFolderNameForm::edtFolder1Change(const QString &text)
{
    applyWholeNameRule(edtFolder1, text);
    btnOk->setEnabled(!edtFolder1->text().isEmpty());
}

void TFolderNameForm::edtPW1Change(const QString &text)
{
    applyWholeNameRule(edtPW1, text);
}

void TFolderNameForm::chkSecureBox1Click(bool checked)
{
    // Hiding the group keeps what was typed in it.
    GroupBox2->setVisible(checked);
}

void TFolderNameForm::btnOkClick()
{
    if (!edtFolder1->text().isEmpty()) {
        QString name = edtFolder1->text();
        while (name.endsWith(QLatin1Char(' ')))
            name.chop(1);
        edtFolder1->setText(name);
    }
    accept();
}
