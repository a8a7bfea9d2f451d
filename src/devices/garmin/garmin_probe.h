#pragma once
// The product scan's question to one port: does a Garmin receiver answer the product request?
#include <string>

#include "devices/family.h"

namespace logwell::garmin {

// Opens the port at 9600 baud without flow control, sends the product request and waits 1 s
// for the product data (a receiver may acknowledge the request first). The model is the
// product description, the software its version ("3.60"), the extra field the product ID.
ProbeResult ProbeGarmin(const std::string& devicePath, const ProbeReport& report = {});

}  // namespace logwell::garmin
