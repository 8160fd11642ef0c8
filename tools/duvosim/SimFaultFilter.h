#pragma once
// The narrowing of a fault to one request among many: a fault with a `name` hits only the
// requests that name that folder or file, one with an `argument` only the requests carrying
// that value, and one with `after` > 0 lets that many matching requests through first.
//
// A request names a folder or file through its Folder, File, Path or Filename field (Filename
// holds "FOLDER/FILE"). Names compare without case and without leading "/" or "\"; the fault's
// name may be a folder ("DATA"), a file ("PCR1") or both ("DATA/PCR1"), so it covers
// GetProtocol, LoadProtocol, DelFile, Md, Rd, Dir (DirFiles), GetAttrValue and SetAttrValue.
// An argument matches any field of the command whose whole text equals it, case kept
// (SetParameter with parameter 63: argument "63").
//
//   SimFault f{FaultKind::ErrorReply, "DirFiles"};
//   f.name = "PCR";        // only the listing of folder PCR fails
//   f.after = 1;           // ... from its second listing on
//   lab.addFault(0, f);

#include "duvosim/SimInstrument.h"

class TiXmlElement;

namespace duvosim {

// True when the request's command element passes the fault's name and argument (a fault
// with neither passes every request).
bool faultNarrowingMatches(const SimFault &fault, const TiXmlElement *cmd);

} // namespace duvosim
