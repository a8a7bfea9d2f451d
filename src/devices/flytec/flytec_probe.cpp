#include "devices/flytec/flytec_probe.h"

#include <optional>
#include <chrono>
#include <thread>

#include "access/connect.h"
#include "access/scan_port.h"
#include "access/serial_port.h"
#include "base/text.h"
#include "devices/flytec/flytec_protocol.h"

namespace logwell::flytec {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAfterOpenFailure{1000};
constexpr milliseconds kAfterOpen{100};
constexpr milliseconds kAnswerWindow{500};
constexpr milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 200;
constexpr std::size_t kMaxFields = 10;

void Report(const std::function<void(std::string_view)>& line, std::string_view text) {
  if (line) line(text);
}

// The product data of an answer, when it is one of the family's.
std::optional<ProbeResult> ReadProbeAnswer(std::string answer) {
  const std::size_t start = answer.find('$');
  if (start == std::string::npos) return std::nullopt;
  std::string line = answer.substr(start);
  line = line.substr(0, line.find_first_of("\r\n"));
  const auto fields = SplitNmeaSentence(line, kMaxFields);
  if (fields.size() < 5 || fields[0] != "$PBRSNP") return std::nullopt;
  ProbeResult result;
  result.model = std::string(Trim(fields[1], kSpacesAndTabs));
  if (!IsKnownModel(result.model)) return std::nullopt;
  result.found = true;
  result.serial = std::string(fields[3]);
  result.software = std::string(fields[4]);
  if (fields.size() > 5) result.extra = std::string(fields[5]);
  return result;
}

}  // namespace

ProbeResult ProbeFlytec(const std::string& devicePath, const ProbeReport& report) {
  Report(report.productLine, "Checking for Brauniger/Flytec");
  int error = 0;
  std::unique_ptr<SerialPort> port = SerialPort::Open(devicePath, error);
  if (!port || !port->Configure(kBaudRate, true)) {
    std::this_thread::sleep_for(kAfterOpenFailure);
    return {};
  }
  std::this_thread::sleep_for(kAfterOpen);
  port->Purge();
  Report(report.statusLine, "Requesting product info");
  const std::string_view request = kProductRequest;
  const bool sent = port->Write(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(request.data()), request.size()));
  const auto result = sent ? ReadProbeAnswer(ReadScanResponse(*port, kAnswerWindow, kMaxAnswer, true)) : std::nullopt;
  if (!result) {
    Report(report.statusLine, "Bad/missing response");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  Report(report.productLine, result->model + ", SNR " + result->serial + ", SW " + result->software);
  Report(report.statusLine, result->extra.empty() ? std::string() : "P = " + result->extra);
  return *result;
}

}  // namespace logwell::flytec
