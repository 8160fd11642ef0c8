#pragma once
// The windows of other concerns that the maintenance windows open: the device pickers and the
// protocol editor. They are reached through these settable functions, which the application
// fills at start-up (and tests fill with their own); a button that needs one stays disabled
// while it is empty.

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace duvo::maintenance {

// "Select Source Device" / "Select Target Device": one device of the workstation's list;
// the picked index, or -1 when the user did not press OK.
using PickDeviceFn = std::function<int(QWidget *owner, const QString &caption)>;
// The multiple-target picker: marks the targets (selected = 1) of the list, never the device
// at *sourceIndex; true when the user pressed OK.
using PickTargetsFn = std::function<bool(QWidget *owner, int *sourceIndex)>;
// Shows a protocol document in the protocol editor, modally, for viewing (not from a device).
using ViewProtocolFn = std::function<void(QWidget *owner, const std::string &protocol, const QString &name)>;

PickDeviceFn &PickDevice();
PickTargetsFn &PickTargets();
ViewProtocolFn &ViewProtocol();

} // namespace duvo::maintenance
