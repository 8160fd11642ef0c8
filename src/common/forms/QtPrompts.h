#pragma once
// The prompt service that shows real Qt dialogs.

#include "common/Prompts.h"

class QWidget;

namespace duvo {

class QtPrompts final : public Prompts {
public:
    PromptAnswer ask(const PromptRequest &request) override;
};

} // namespace duvo
