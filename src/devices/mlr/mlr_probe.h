#pragma once
// The product scan's question to one port: the MLR product request at 4800 baud. It is the
// request every MLR transfer starts with and asks for nothing but the unit's product data.
#include <string>

#include "devices/family.h"

namespace logwell::mlr {

ProbeResult ProbeMlr(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::mlr
