#pragma once
// The task dialog as a window: title, instruction, content, icon, buttons, radio buttons and
// an expandable text behind a "Click to see more" / "Click to hide" toggle.

#include "common/Prompts.h"

#include <QDialog>

class QButtonGroup;
class QLabel;
class QPushButton;

namespace duvo {

class TaskDialogWindow : public QDialog {
    Q_OBJECT
public:
    TaskDialogWindow(const PromptRequest &request, QWidget *parent = nullptr);
    // Shows the dialog modally; returns the button pressed (Cancel when closed otherwise).
    int run();
    int radioChosen() const;
    bool isExpanded() const;

private:
    void setExpanded(bool on);

    PromptRequest FRequest;
    int FPressed = Cancel;
    QLabel *FExpandedLabel = nullptr;
    QPushButton *FToggle = nullptr;
    QButtonGroup *FRadios = nullptr;
};

} // namespace duvo
