#pragma once
// The product scan: every candidate port asked by every family that has a probe, in the order of
// the family list, stopping at the first family that answers on a port. A port that cannot be
// opened is reported as such (busy, or not permitted) instead of being asked.
#include <string>
#include <vector>

#include "devices/family.h"

namespace logwell {

struct ScanFinding {
  std::string port;
  std::string family;  // empty: nothing answered or the port could not be used
  std::string gpsOption;  // the GPS value that reads the instrument found ("IQCOMPEO")
  ProbeResult product;
  std::string problem;  // "busy", "not permitted ...", "cannot be opened (...)"; empty otherwise
};

// The ports to scan when none is named: those with a device behind them.
std::vector<std::string> CandidateScanPorts();

// Scans each port. `report` carries the product and status lines as a person would see them.
std::vector<ScanFinding> ScanPorts(const std::vector<std::string>& ports, const ProbeReport& report = {});

// One finding as a line ("PORT: FAMILY, MODEL, firmware SW, serial SN; use /GPS=VALUE";
// "PORT: no instrument"; "PORT: busy ...") and as a JSON object (with "gps": VALUE).
std::string ScanFindingLine(const ScanFinding& finding);
std::string ScanFindingJson(const ScanFinding& finding);

}  // namespace logwell
