#pragma once
// The windows of other concerns that the maintenance windows open: the device pickers (which
// the main window fills in, since they live beside it) and the protocol editor (filled here).
// Tests put their own in; a button that needs an empty one stays disabled.

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
