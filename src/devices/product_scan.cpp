#include "devices/product_scan.h"

#include "access/port_list.h"
#include "access/serial_port.h"
#include "base/text.h"

namespace logwell {
namespace {

// Why a port cannot be used, or nothing when it opens.
std::string OpenProblem(const std::string& port) {
  int error = 0;
  if (SerialPort::Open(port, error)) return {};
  return PortOpenProblem(error);
}

}  // namespace

std::vector<std::string> CandidateScanPorts() {
  return EnumerateSerialPortPaths().value_or(std::vector<std::string>{});
}

std::vector<ScanFinding> ScanPorts(const std::vector<std::string>& ports, const ProbeReport& report) {
  std::vector<ScanFinding> findings;
  for (const std::string& port : ports) {
    ScanFinding finding;
    finding.port = port;
    finding.problem = OpenProblem(port);
    if (finding.problem.empty()) {
      for (const InstrumentFamily& family : InstrumentFamilies()) {
        if (family.probe == nullptr) continue;
        ProbeResult result = family.probe(port, report);
        if (result.found) {
          finding.family = std::string(family.name);
          finding.gpsOption = std::string(result.gpsOption.empty() ? family.gpsOption : result.gpsOption);
          finding.product = std::move(result);
          break;
        }
      }
      if (finding.family.empty() && report.statusLine) report.statusLine("No GPS detected");
    }
    findings.push_back(std::move(finding));
  }
  return findings;
}

std::string ScanFindingLine(const ScanFinding& finding) {
  if (!finding.problem.empty()) return finding.port + ": " + finding.problem;
  if (finding.family.empty()) return finding.port + ": no instrument";
  // Some instruments (Garmin receivers on a serial line, Magellan receivers, MTK loggers) tell no
  // serial number.
  return finding.port + ": " + finding.family + ", " + finding.product.model + ", firmware " +
         finding.product.software + (finding.product.serial.empty() ? "" : ", serial " + finding.product.serial) +
         "; use /GPS=" + finding.gpsOption;
}

std::string ScanFindingJson(const ScanFinding& finding) {
  std::string json = "{\"port\":" + JsonText(finding.port);
  if (!finding.problem.empty()) return json + ",\"problem\":" + JsonText(finding.problem) + "}";
  if (finding.family.empty()) return json + ",\"family\":null}";
  return json + ",\"family\":" + JsonText(finding.family) + ",\"gps\":" + JsonText(finding.gpsOption) +
         ",\"model\":" + JsonText(finding.product.model) +
         ",\"firmware\":" + JsonText(finding.product.software) + ",\"serial\":" +
         JsonText(finding.product.serial) + "}";
}

}  // namespace logwell
