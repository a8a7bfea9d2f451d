#include "devices/flymaster/flymaster_probe.h"

#include <chrono>
#include <optional>
#include <thread>

#include "access/nmea.h"
#include "access/scan_port.h"
#include "access/serial_port.h"
#include "base/text.h"
#include "devices/flymaster/flymaster_protocol.h"

namespace logwell::flymaster {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAfterOpenFailure{1000};
constexpr milliseconds kAnswerWindow{500};
constexpr milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 200;
constexpr std::size_t kMaxFields = 10;

void Report(const std::function<void(std::string_view)>& line, std::string_view text) {
  if (line) line(text);
}

std::optional<ProbeResult> ReadProbeAnswer(const std::string& answer, Generation generation) {
  const std::size_t start = answer.find('$');
  if (start == std::string::npos) return std::nullopt;
  std::string line = answer.substr(start);
  line = line.substr(0, line.find_first_of("\r\n"));
  const auto fields = SplitNmeaSentence(line, kMaxFields);
  if (fields.size() < 5) return std::nullopt;
  ProbeResult result;
  result.model = std::string(Trim(fields[1], kSpacesAndTabs));
  if (generation == Generation::Current) {
    if (fields[0] != "$PFMSNP" || !AcceptedByCurrentProtocol(result.model, fields[4])) return std::nullopt;
  } else if (fields[0] != "$PBRSNP" || result.model != "B1NAV") {
    return std::nullopt;
  }
  result.found = true;
  if (generation == Generation::Older) result.gpsOption = "FLYMASTEROLD";
  result.serial = std::string(fields[3]);
  result.software = std::string(fields[4]);
  if (fields.size() > 5) result.extra = std::string(fields[5]);
  return result;
}

ProbeResult Check(const std::string& devicePath, const ProbeReport& report, Generation generation) {
  Report(report.productLine, generation == Generation::Current ? "Checking for Flymaster (new)"
                                                               : "Checking for Flymaster (old)");
  Report(report.statusLine, "");
  std::unique_ptr<SerialPort> port = OpenProbePort(devicePath, kBaudRate, false, report.statusLine);
  if (!port) return {};
  Report(report.statusLine, "Requesting product info");
  const std::string_view request =
      generation == Generation::Current ? kCurrentProductRequest : kOlderProductRequest;
  if (!WriteProbeRequest(*port, request)) {
    Report(report.statusLine, "COM port write error");
    std::this_thread::sleep_for(kAfterOpenFailure);
    return {};
  }
  const auto result = ReadProbeAnswer(ReadScanResponse(*port, kAnswerWindow, kMaxAnswer, false), generation);
  if (!result) {
    Report(report.statusLine, "Bad/missing response");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  Report(report.productLine, "Flymaster, " + result->model + ", SNR " + result->serial + ", SW " + result->software);
  Report(report.statusLine, result->extra.empty() ? std::string() : "P = " + result->extra);
  return *result;
}

}  // namespace

ProbeResult ProbeFlymaster(const std::string& devicePath, const ProbeReport& report) {
  ProbeResult result = Check(devicePath, report, Generation::Current);
  if (!result.found) result = Check(devicePath, report, Generation::Older);
  return result;
}

}  // namespace logwell::flymaster
