#include "common/forms/TaskDialogWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace duvo {

namespace {

QStyle::StandardPixmap pixmapFor(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QStyle::SP_MessageBoxInformation;
    case PromptIcon::Warning: return QStyle::SP_MessageBoxWarning;
    case PromptIcon::Error: return QStyle::SP_MessageBoxCritical;
    case PromptIcon::Question: return QStyle::SP_MessageBoxQuestion;
    case PromptIcon::None: break;
    }
    return QStyle::SP_CustomBase;
}

const struct {
    int ours;
    QDialogButtonBox::StandardButton qt;
} kButtons[] = {
    {Yes, QDialogButtonBox::Yes},     {No, QDialogButtonBox::No},         {Ok, QDialogButtonBox::Ok},
    {Cancel, QDialogButtonBox::Cancel}, {Abort, QDialogButtonBox::Abort}, {Retry, QDialogButtonBox::Retry},
    {Ignore, QDialogButtonBox::Ignore}, {Close, QDialogButtonBox::Close},
};

} // namespace

TaskDialogWindow::TaskDialogWindow(const PromptRequest &request, QWidget *parent)
    : QDialog(parent), FRequest(request)
{
    setWindowTitle(request.title);
    setObjectName(QStringLiteral("TaskDialog1"));
    setMinimumWidth(440);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    if (request.icon != PromptIcon::None) {
        auto *icon = new QLabel;
        icon->setPixmap(style()->standardIcon(pixmapFor(request.icon)).pixmap(32, 32));
        icon->setAlignment(Qt::AlignTop);
        top->addWidget(icon);
    }
    auto *texts = new QVBoxLayout;
    if (!request.instruction.isEmpty()) {
        auto *instruction = new QLabel(request.instruction);
        instruction->setObjectName(QStringLiteral("instruction"));
        QFont f = instruction->font();
        f.setPointSizeF(f.pointSizeF() * 1.25);
        f.setBold(true);
        instruction->setFont(f);
        instruction->setWordWrap(true);
        texts->addWidget(instruction);
    }
    auto *content = new QLabel(request.text);
    content->setObjectName(QStringLiteral("content"));
    content->setWordWrap(true);
    texts->addWidget(content);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    if (!request.radioButtons.isEmpty()) {
        FRadios = new QButtonGroup(this);
        for (int i = 0; i < request.radioButtons.size(); ++i) {
            auto *rb = new QRadioButton(request.radioButtons.at(i));
            FRadios->addButton(rb, i);
            rb->setChecked(i == request.defaultRadio);
            layout->addWidget(rb);
        }
    }

    if (!request.expandedText.isEmpty()) {
        FToggle = new QPushButton;
        FToggle->setObjectName(QStringLiteral("expandToggle"));
        FToggle->setFlat(true);
        // Return answers the dialog with its first button, never opens the note.
        FToggle->setAutoDefault(false);
        layout->addWidget(FToggle, 0, Qt::AlignLeft);
        FExpandedLabel = new QLabel(request.expandedText);
        FExpandedLabel->setObjectName(QStringLiteral("expandedText"));
        FExpandedLabel->setWordWrap(true);
        layout->addWidget(FExpandedLabel);
        connect(FToggle, &QPushButton::clicked, this, [this] { setExpanded(!isExpanded()); });
        setExpanded(request.expanded);
    }

    auto *box = new QDialogButtonBox;
    bool first = true;
    for (const auto &b : kButtons) {
        if (!(request.buttons & b.ours))
            continue;
        QPushButton *pb = box->addButton(b.qt);
        if (first)
            pb->setDefault(true);
        first = false;
        const int ours = b.ours;
        connect(pb, &QPushButton::clicked, this, [this, ours] {
            FPressed = ours;
            accept();
        });
    }
    layout->addWidget(box);
}

void TaskDialogWindow::setExpanded(bool on)
{
    if (!FExpandedLabel)
        return;
    FExpandedLabel->setVisible(on);
    FToggle->setText(on ? FRequest.expandControlText : FRequest.collapseControlText);
    adjustSize();
}

bool TaskDialogWindow::isExpanded() const
{
    return FExpandedLabel && !FExpandedLabel->isHidden();
}

int TaskDialogWindow::run()
{
    FPressed = Cancel;
    exec();
    return FPressed;
}

int TaskDialogWindow::radioChosen() const
{
    return FRadios ? FRadios->checkedId() : -1;
}

} // namespace duvo
