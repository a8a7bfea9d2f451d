#pragma once
// The product scan's question to one port: the three product parameters of an IQ Basic or
// Flytec 6015.
#include <string>

#include "devices/family.h"

namespace logwell::iqbasic {

ProbeResult ProbeIqBasic(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::iqbasic
