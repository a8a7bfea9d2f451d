#pragma once
// The product scan's question to one port: does a Magellan receiver answer here?
#include <string>

#include "devices/family.h"

namespace logwell::magellan {

// Opens the port at 9600 baud without flow control, sends "$PMGNCMD,VERSION" and waits 1000 ms
// for a "$PMGNVER" with a valid checksum.
ProbeResult ProbeMagellan(const std::string& devicePath, const ProbeReport& report = {});

}  // namespace logwell::magellan
