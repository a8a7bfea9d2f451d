#pragma once
// The product scan's question to a DSX recorder: the connection request at 9600 baud.
#include <string>

#include "devices/family.h"

namespace logwell::dsx {

ProbeResult ProbeDsx(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::dsx
