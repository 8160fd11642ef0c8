#include "common/TaskDialog.h"

namespace duvo {

void TaskDialog::Clear()
{
    RadioButtons.clear();
    RadioButtonResult = -1;
    Expanded = false;
}

int TaskDialog::Execute()
{
    PromptRequest r;
    r.kind = PromptKind::Task;
    r.title = Title;
    r.instruction = Instruction;
    r.text = Content;
    r.expandedText = ExpandedText;
    r.expandControlText = ExpandControlText;
    r.collapseControlText = CollapsControlText;
    r.expanded = Expanded && !ExpandedText.isEmpty();
    r.radioButtons = RadioButtons;
    r.icon = Icon;
    r.buttons = CommonButtons;
    const PromptAnswer a = Prompts::instance().ask(r);
    RadioButtonResult = a.radio;
    ExpandedText.clear();
    ExpandControlText.clear();
    CollapsControlText.clear();
    Expanded = false;
    return a.button;
}

int TaskDialog::Show(int buttons, PromptIcon icon, const QString &title, const QString &instruction,
                     const QString &content, const QString &expandedText, bool expanded)
{
    Clear();
    CommonButtons = buttons;
    Icon = icon;
    Title = title;
    Instruction = instruction;
    Content = content;
    ExpandedText = expandedText;
    if (!expandedText.isEmpty()) {
        ExpandControlText = QStringLiteral("Click to hide");
        CollapsControlText = QStringLiteral("Click to see more");
        Expanded = expanded;
    }
    return Execute();
}

} // namespace duvo
