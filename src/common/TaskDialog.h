#pragma once
// The main window's shared confirmation and notice dialog (TaskDialog1). The caller sets
// the fields and calls Execute(); the dialog is shown through the prompt service. Every use
// starts with no radio buttons left from the previous one, and Execute() empties the
// expanded text and both expand captions afterwards, so no note leaks into the next use.

#include "common/Prompts.h"

namespace duvo {

class TaskDialog {
public:
    QString Title;
    QString Instruction;
    QString Content;
    QString ExpandedText;
    QString ExpandControlText;    // shown while expanded ("Click to hide")
    QString CollapsControlText;   // shown while collapsed ("Click to see more")
    bool Expanded = false;        // open with the expanded text shown
    PromptIcon Icon = PromptIcon::None;
    int CommonButtons = Ok;
    QStringList RadioButtons;
    int RadioButtonResult = -1;   // index chosen in the last Execute()

    // Clears the radio buttons and the expanded state; call before setting up a new use.
    void Clear();
    // Shows the dialog; returns the button pressed.
    int Execute();

    // One whole use: clears the dialog, sets the texts (an expanded text comes with the
    // captions "Click to hide" / "Click to see more"; shown at once when `expanded`), shows it
    // and returns the button pressed.
    int Show(int buttons, PromptIcon icon, const QString &title, const QString &instruction,
             const QString &content, const QString &expandedText = {}, bool expanded = false);
};

} // namespace duvo
