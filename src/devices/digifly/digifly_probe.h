#pragma once
// The product scan's question to one port: the product request of a Digifly Air (115200 baud),
// then of a Leonardo Pro (38400 baud). It only asks; nothing on the instrument changes.
#include <string>

#include "devices/family.h"

namespace logwell::digifly {

ProbeResult ProbeDigifly(const std::string& devicePath, const ProbeReport& report);

}  // namespace logwell::digifly
