#pragma once
// The product scan's question to a LogIt / Tracklogger: its identity at 4800 baud.
#include <string>

#include "devices/family.h"

namespace logwell::logit {

ProbeResult ProbeLogIt(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::logit
