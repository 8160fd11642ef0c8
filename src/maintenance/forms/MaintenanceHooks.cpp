#include "maintenance/forms/MaintenanceHooks.h"

#include "protocols/forms/TProtocolEditorForm.h"

namespace duvo::maintenance {

PickDeviceFn &PickDevice()
{
    static PickDeviceFn fn;
    return fn;
}

PickTargetsFn &PickTargets()
{
    static PickTargetsFn fn;
    return fn;
}

ViewProtocolFn &ViewProtocol()
{
    // The protocol editor, for viewing: not from a device, no file, no folder, no address.
    static ViewProtocolFn fn = [](QWidget *owner, const std::string &protocol, const QString &name) {
        TProtocolEditorForm editor(owner, false, QString::fromStdString(protocol), false, QString(), name, QString(),
                                   QString());
        editor.exec();
    };
    return fn;
}

} // namespace duvo::maintenance
