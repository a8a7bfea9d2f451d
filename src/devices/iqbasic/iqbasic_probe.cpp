#include "devices/iqbasic/iqbasic_probe.h"

#include <chrono>
#include <optional>
#include <thread>

#include "access/scan_port.h"
#include "access/serial_port.h"
#include "base/text.h"
#include "devices/iqbasic/iqbasic_protocol.h"

namespace logwell::iqbasic {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAnswerWindow{300};
constexpr milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 100;

void Report(const std::function<void(std::string_view)>& line, std::string_view text) {
  if (line) line(text);
}

// The bytes of one parameter: the request, then its answer within the window.
std::optional<std::vector<std::uint8_t>> Ask(SerialPort& port, std::string_view request, int number) {
  if (!WriteProbeRequest(port, request)) return std::nullopt;
  const std::string answer = ReadScanResponse(port, kAnswerWindow, kMaxAnswer, false);
  return ParameterBytes(answer.substr(0, answer.find('\n')), number);
}

}  // namespace

ProbeResult ProbeIqBasic(const std::string& devicePath, const ProbeReport& report) {
  Report(report.productLine, "Checking for IQ Basic/Flytec 6015");
  Report(report.statusLine, "");
  std::unique_ptr<SerialPort> port = OpenProbePort(devicePath, kBaudRate, false, report.statusLine);
  if (!port) return {};
  Report(report.statusLine, "Requesting product info");
  ProductData product;
  const auto serial = Ask(*port, kSerialRequest, 0);
  const auto type = serial ? Ask(*port, kTypeRequest, 1) : std::nullopt;
  const auto software = type ? Ask(*port, kSoftwareRequest, 2) : std::nullopt;
  if (!software || ReadProduct(*serial, *type, *software, product)) {
    Report(report.statusLine, "Bad/missing response");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  ProbeResult result;
  result.found = true;
  result.model = std::string(ModelName(product.deviceType));
  result.serial = std::to_string(product.serial);
  result.software = FormatText("%d.%d.%02d", product.software / 1000, product.software / 100 % 10,
                               product.software % 100);
  Report(report.productLine, ProductText(product));
  return result;
}

}  // namespace logwell::iqbasic
