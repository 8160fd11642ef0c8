#pragma once
// How a simulated instrument runs a stored protocol document: its temperature steps in
// execution order with every loop unrolled, cycle by cycle.

#include "duvosim/SimInstrument.h"

#include <string>

namespace duvosim {

// The plan of a protocol document (Root/CyclerProtocol/CyclerSteps): one plan step per step
// executed, each carrying its position in the protocol and the cycle of the loop around it;
// a step's temperature and hold time change by their per-cycle amounts from cycle to cycle,
// and its ramp lasts |change| / ramp rate seconds from the previous target (25 C at the
// start). An empty plan when the text is no protocol document or unrolls to no step (or to an
// unreasonable number of them).
SimRunPlan protocolRunPlan(const std::string &document);

// Run seconds at which the first infinite hold after `after` begins (its ramp done), or -1.
// The run waits there until Skip lets it go. A hold on the plan's very last step does not
// wait: the run completes there and reports Completed with InfiniteHold "true" until Stop.
double infiniteHoldAfter(const SimRunPlan &plan, double after);

} // namespace duvosim
