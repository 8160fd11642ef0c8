#include "maintenance/forms/MaintenanceHooks.h"

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
    static ViewProtocolFn fn;
    return fn;
}

} // namespace duvo::maintenance
