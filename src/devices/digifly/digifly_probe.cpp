#include "devices/digifly/digifly_probe.h"

#include <chrono>
#include <thread>

#include "access/nmea.h"
#include "access/nmea_transfer.h"
#include "access/scan_port.h"
#include "devices/digifly/digifly_protocol.h"

namespace logwell::digifly {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kAnswerWindow{200};
constexpr milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 200;

// The first "$PDGFVID" answer with a good checksum among what arrived, when it is one we read.
std::optional<ProductData> ProductIn(const std::string& answer) {
  auto sentence = FindNmeaSentence(answer, std::string(kProductTag) + ",", kMaxAnswer);
  if (!sentence) return std::nullopt;
  ProductData product;
  if (ParseProductAnswer(SplitNmeaSentence(*sentence, 12), product)) return std::nullopt;
  return product;
}

}  // namespace

ProbeResult ProbeDigifly(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for Digifly");
  report.Status("");
  for (const int baudRate : {kAirBaudRate, kLeonardoBaudRate}) {
    std::unique_ptr<SerialPort> port = OpenProbePort(devicePath, baudRate, false, report.statusLine);
    if (!port) return {};
    report.Status("Requesting product info");
    if (!WriteProbeRequest(*port, kProductRequest)) return {};
    const auto product = ProductIn(ReadScanResponse(*port, kAnswerWindow, kMaxAnswer, false));
    if (!product) continue;
    ProbeResult result;
    result.found = true;
    result.model = product->model;
    result.serial = product->serial;
    result.software = product->software;
    if (baudRate == kAirBaudRate) result.gpsOption = "DIGIFLYAIR";
    report.Product(ProductText(*product));
    return result;
  }
  report.Status("Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::digifly
