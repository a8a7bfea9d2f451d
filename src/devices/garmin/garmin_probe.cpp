#include "devices/garmin/garmin_probe.h"

#include <chrono>
#include <thread>

#include "access/scan_port.h"
#include "access/serial_port.h"
#include "base/text.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::garmin {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAfterOpenFailure{1000};
constexpr milliseconds kAfterOpen{100};
constexpr milliseconds kAnswerWindow{1000};
constexpr std::size_t kMaxAnswer = 600;

void Report(const std::function<void(std::string_view)>& line, std::string_view text) {
  if (line) line(text);
}

}  // namespace

ProbeResult ProbeGarmin(const std::string& devicePath, const ProbeReport& report) {
  Report(report.productLine, "Checking for Garmin");
  Report(report.statusLine, "");
  int error = 0;
  std::unique_ptr<SerialPort> port = SerialPort::Open(devicePath, error);
  if (!port || !port->Configure(kBaudRate, false)) {
    Report(report.statusLine, "COM port open error");
    std::this_thread::sleep_for(kAfterOpenFailure);
    return {};
  }
  std::this_thread::sleep_for(kAfterOpen);
  port->Purge();
  Report(report.statusLine, "Requesting product info");
  const std::vector<std::uint8_t> request = FramePacket(kPidProductRequest, {});
  if (!port->Write(request)) {
    Report(report.statusLine, "COM port write error");
    std::this_thread::sleep_for(kAfterOpenFailure);
    return {};
  }
  const std::string answer = ReadScanResponse(*port, kAnswerWindow, kMaxAnswer, false);
  PacketParser parser;
  for (const char c : answer) {
    if (!parser.Feed(static_cast<std::uint8_t>(c))) continue;
    const auto product = ReadProductData(parser.Last());
    if (!product) continue;
    // The receiver waits for the acknowledge of its product data before it says more.
    port->Write(FramePacket(kPidAck, AckPacket(kPidProductData).data));
    ProbeResult result;
    result.found = true;
    result.model = product->description;
    result.software = FormatText("%u.%02u", product->software / 100u, product->software % 100u);
    result.extra = std::to_string(product->productId);
    Report(report.productLine, "Garmin, " + result.model);
    Report(report.statusLine, "Product ID " + result.extra);
    return result;
  }
  Report(report.statusLine, "Bad/missing response");
  return {};
}

}  // namespace logwell::garmin
