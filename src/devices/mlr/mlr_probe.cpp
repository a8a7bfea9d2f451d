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

// At 4800 baud an answer of some 40 characters takes about 80 ms on the line.
constexpr milliseconds kAnswerWindow{500};
constexpr milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 200;

// The first "$PMLR,24" answer with a good checksum among what arrived, when it is one we read.
std::optional<ProductData> ProductIn(const std::string& answer) {
  auto sentence = FindNmeaSentence(answer, "$PMLR,24,", kMaxAnswer);
  if (!sentence) return std::nullopt;
  ProductData product;
  if (ParseProductAnswer(SplitNmeaSentence(*sentence, 20), product)) return std::nullopt;
  return product;
}

}  // namespace

ProbeResult ProbeMlr(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for MLR/Leonardo");
  report.Status("");
  const auto answer = AskScanPort(devicePath, kBaudRate, kProductRequest, kAnswerWindow, kMaxAnswer, report.statusLine);
  if (!answer) return {};
  const auto product = ProductIn(*answer);
  if (!product) {
    report.Status("Bad/missing response");
    std::this_thread::sleep_for(kAfterBadAnswer);
    return {};
  }
  ProbeResult result;
  result.found = true;
  result.model = product->maker + " " + product->model;
  result.software = FormatText("%d.%02d", product->software / 100, product->software % 100);
  report.Product(ProductText(*product));
  return result;
}

}  // namespace logwell::mlr
