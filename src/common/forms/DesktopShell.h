#pragma once
// The desktop shell: documents and web pages open with the desktop's handler.

#include "common/Shell.h"

namespace duvo {

class DesktopShell : public ProcessShell {
public:
    bool openDocument(const QString &target) override;
};

} // namespace duvo
