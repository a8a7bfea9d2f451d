#include "devices/dsx/dsx_probe.h"

#include <chrono>
#include <thread>

#include "access/scan_port.h"
#include "devices/dsx/dsx_protocol.h"

namespace logwell::dsx {
namespace {

constexpr std::chrono::milliseconds kAnswerWindow{300};
constexpr std::chrono::milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 200;

}  // namespace

ProbeResult ProbeDsx(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for DSX");
  report.Status("");
  const auto answer = AskScanPort(devicePath, kBaudRate, kConnectRequest, kAnswerWindow, kMaxAnswer,
                                  report.statusLine);
  if (!answer) return {};
  // The identification is the first line that looks like one (an echo may come before it).
  std::string_view rest = *answer;
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!LooksLikeIdentity(line)) continue;
    ProductData product;
    if (ParseIdentity(line, product)) break;
    ProbeResult result;
    result.found = true;
    result.model = "DSX " + product.model;
    result.serial = product.serial;
    result.software = product.software;
    report.Product(ProductText(product));
    return result;
  }
  report.Status("Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::dsx
