#pragma once
// The product scan's question to one port: does a Flytec or Brauniger instrument answer here?
// Free of any window: what a person would see goes to the two report functions.
#include <string>

#include "devices/family.h"

namespace logwell::flytec {

// Opens the port at 57600 baud with XON/XOFF, asks for the product data once and waits 500 ms
// for the answer. Found only when the answer is a $PBRSNP sentence with a good checksum and a
// model of the family's nine. Takes about 0.6 s (1.1 s when the port cannot be opened or the
// answer is not the family's).
ProbeResult ProbeFlytec(const std::string& devicePath, const ProbeReport& report = {});

}  // namespace logwell::flytec
