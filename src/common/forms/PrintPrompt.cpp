#include "PrintPrompt.h"

#include "common/Prompts.h"

#include <QPrinter>

namespace duvo {

bool askPrinter(QPrinter &printer)
{
    PromptRequest r;
    r.kind = PromptKind::Print;
    r.title = QStringLiteral("Print");
    r.buttons = Ok | Cancel;
    r.printer = &printer;
    const PromptAnswer a = Prompts::instance().ask(r);
    if (a.button != Ok)
        return false;
    if (!a.value.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(a.value);
    }
    return true;
}

} // namespace duvo
