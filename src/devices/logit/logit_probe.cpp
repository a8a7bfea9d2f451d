#include "devices/logit/logit_probe.h"

#include <chrono>
#include <thread>

#include "access/nmea.h"
#include "access/scan_port.h"
#include "devices/logit/logit_protocol.h"

namespace logwell::logit {
namespace {

constexpr std::chrono::milliseconds kAnswerWindow{400};
constexpr std::chrono::milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 300;

}  // namespace

ProbeResult ProbeLogIt(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for LogIt/Tracklogger");
  report.Status("");
  const auto answer = AskScanPort(devicePath, kCommandBaudRate, kIdentityRequest, kAnswerWindow, kMaxAnswer,
                                  report.statusLine);
  if (!answer) return {};
  std::string_view rest = *answer;
  while (!rest.empty()) {
    const std::size_t start = rest.find('$');
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const std::size_t end = rest.find('\n');
    std::string line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('*') == std::string::npos) continue;
    const auto fields = SplitNmeaSentence(line, 20);
    Identity identity;
    if (!IsIdentityAnswer(fields) || ParseIdentity(fields, identity)) continue;
    ProbeResult result;
    result.found = true;
    result.model = identity.model;
    result.software = identity.software;
    result.extra = identity.owner;
    report.Product(ProductText(identity));
    return result;
  }
  report.Status("Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::logit
