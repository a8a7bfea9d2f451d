#pragma once
// The product scan's question to one port: does a Flymaster instrument answer here, first in
// the current protocol, then in the older one?
#include <string>

#include "devices/family.h"

namespace logwell::flymaster {

// Opens the port at 57600 baud without flow control and asks "$PFMSNP," (a current model with
// software above "1.03n"), then "$PBRSNP,*21" (a B1NAV); each answer is awaited 500 ms.
ProbeResult ProbeFlymaster(const std::string& devicePath, const ProbeReport& report = {});

}  // namespace logwell::flymaster
