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

} // namespace duvo
