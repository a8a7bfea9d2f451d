#pragma once
// The product scan's question to one port: the identification request at 4800 baud, then the
// stop command that ends the identification's repetition. It starts no transfer.
#include <string>

#include "devices/family.h"

namespace logwell::mlr {

ProbeResult ProbeMlr(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::mlr
