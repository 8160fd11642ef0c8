#include "protocols/forms/TPWForm.h"

#include "common/Prompts.h"
#include "common/forms/QtPrompts.h"
#include "protocols/DeviceFileOperations.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace {

// The name rule on a change made by the user: letters become capitals, then only the last
// character is tested.
void applyNameRule(QLineEdit *edit, const QString &typed)
{
    const QString text = duvo::NameEditChange(typed.toUpper());
    if (text != typed) {
        edit->setText(text);
        edit->setCursorPosition(static_cast<int>(text.size()));
    }
}

} // namespace

TPWForm::TPWForm(QWidget *owner, const QString &expectedPassword)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), FExpected(expectedPassword)
{
    try {
        setObjectName(QStringLiteral("PWForm"));
        setWindowTitle(QStringLiteral("Password"));

        GroupBox1 = new QGroupBox(QStringLiteral("Enter Password"), this);
        GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
        edtPW1 = new QLineEdit(GroupBox1);
        edtPW1->setObjectName(QStringLiteral("edtPW1"));
        edtPW1->setEchoMode(QLineEdit::Password);
        edtPW1->setMaxLength(std::max<int>(duvo::FolderPasswordLength,
                                           static_cast<int>(std::min<qsizetype>(expectedPassword.size(), 64))));
        edtPW1->setMinimumWidth(180);
        auto *groupLayout = new QVBoxLayout(GroupBox1);
        groupLayout->addWidget(edtPW1);

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
        layout->addLayout(buttons);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        connect(edtPW1, &QLineEdit::textEdited, this, &TPWForm::edtPW1Change);
        connect(btnOk, &QPushButton::clicked, this, &TPWForm::btnOkClick);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"),
                               duvo::Ok, duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

QString TPWForm::password() const
{
    return edtPW1 ? edtPW1->text() : QString();
}

void TPWForm::edtPW1Change(const QString &text)
{
    applyNameRule(edtPW1, text);
    btnOk->setEnabled(!edtPW1->text().isEmpty());
}

void TPWForm::btnOkClick()
{
    // A wrong password keeps the prompt open without a word.
    if (edtPW1->text() == FExpected)
        accept();
}

void RegisterProtocolPrompts()
{
    duvo::QtPrompts::setPasswordWindow([](const duvo::PromptRequest &request, QWidget *parent) {
        TPWForm prompt(parent, request.expectedPassword);
        if (!request.title.isEmpty())
            prompt.setWindowTitle(request.title);
        duvo::PromptAnswer answer;
        answer.button = prompt.exec() == QDialog::Accepted ? duvo::Ok : duvo::Cancel;
        if (answer.button == duvo::Ok)
            answer.value = prompt.password();
        return answer;
    });
}
