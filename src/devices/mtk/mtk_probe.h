#pragma once
// The product scan's question to one port: does an MTK-based logger answer here?
#include <string>

#include "devices/family.h"

namespace logwell::mtk {

// Opens the port without flow control at 115200 baud, then at 38400, sends "$PMTK605*31" and
// waits 1000 ms each time for a "$PMTK705" with a valid checksum.
ProbeResult ProbeMtk(const std::string& devicePath, const ProbeReport& report = {});

}  // namespace logwell::mtk
