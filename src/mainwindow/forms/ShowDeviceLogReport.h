#pragma once
// Shows the run log report of a GetProtocolLog reply read-only in the text viewer ("Duvo Log",
// modal, without cut and paste). A reply without a log or with unreadable errors gets its box;
// a value that cannot be read ends it quietly (written to the exception log).

#include <string>

class QWidget;

// owner: the window the viewer belongs to; the main window when null.
void ShowDeviceLogReport(const std::string &reply, QWidget *owner = nullptr);
