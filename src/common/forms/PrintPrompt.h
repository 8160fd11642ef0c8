#pragma once

class QPrinter;

namespace duvo {

// Shows the print dialog through the prompt service for `printer`. Returns true when the user
// accepted it; an answer that names a path makes the printer write that PDF file instead.
bool askPrinter(QPrinter &printer);

} // namespace duvo
