#include "devices/mlr/mlr_probe.h"

#include <chrono>
#include <thread>

#include "access/nmea.h"
#include "access/nmea_transfer.h"
#include "access/scan_port.h"
#include "base/text.h"
#include "devices/mlr/mlr_protocol.h"

namespace logwell::mlr {
namespace {

using std::chrono::milliseconds;

// At 4800 baud an identification of some 80 characters takes about 170 ms on the line.
constexpr milliseconds kAnswerWindow{500};
constexpr milliseconds kAfterBadAnswer{500};
// Lets the stop command leave the line before the port is closed.
constexpr milliseconds kAfterStop{100};
constexpr std::size_t kMaxAnswer = 300;

// The first "$PMLR,IDGPS" answer with a good checksum among what arrived, when it is one we read.
std::optional<ProductData> ProductIn(const std::string& answer) {
  auto sentence = FindNmeaSentence(answer, "$PMLR,IDGPS,", kMaxAnswer);
  if (!sentence) return std::nullopt;
  ProductData product;
  if (ParseProductAnswer(SplitNmeaSentence(*sentence, 20), product)) return std::nullopt;
  return product;
}

}  // namespace

ProbeResult ProbeMlr(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for MLR/Leonardo");
  report.Status("");
  std::unique_ptr<SerialPort> port = OpenProbePort(devicePath, kBaudRate, false, report.statusLine);
  if (!port) return {};
  report.Status("Requesting product info");
  if (!WriteProbeRequest(*port, kIdentityRequest)) {
    report.Status("COM port write error");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  const std::string answer = ReadScanResponse(*port, kAnswerWindow, kMaxAnswer, false);
  // A unit that understood the request repeats its identification until it is told to stop,
  // whether or not its answer could be read here.
  if (WriteProbeRequest(*port, kStop)) std::this_thread::sleep_for(kAfterStop);
  const auto product = ProductIn(answer);
  if (!product) {
    report.Status("Bad/missing response");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  ProbeResult result;
  result.found = true;
  result.model = product->maker + " " + product->model;
  result.serial = product->serial;
  result.software = FormatText("%d.%02d", product->software / 100, product->software % 100);
  report.Product(ProductText(*product));
  return result;
}

}  // namespace logwell::mlr
