#pragma once
// The prompt service that shows real Qt dialogs.

#include "common/Prompts.h"

#include <functional>

class QWidget;

namespace duvo {

class QtPrompts final : public Prompts {
public:
    PromptAnswer ask(const PromptRequest &request) override;

    // The window that asks for a folder password it knows (a request with an
    // expectedPassword). The protocols' windows register theirs at start; until then such a
    // request gets the plain input box, asked again until the answer matches or is cancelled.
    using PasswordWindow = std::function<PromptAnswer(const PromptRequest &request, QWidget *parent)>;
    static void setPasswordWindow(PasswordWindow window);
};

} // namespace duvo
