#include "devices/magellan/magellan_probe.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "access/scan_port.h"
#include "devices/magellan/magellan_protocol.h"

namespace logwell::magellan {
namespace {

constexpr std::chrono::milliseconds kAnswerWindow{1000};
constexpr std::chrono::milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 400;

}  // namespace

ProbeResult ProbeMagellan(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for Magellan");
  report.Status("");
  const auto answer = AskScanPort(devicePath, kPortRate, kVersionCommand, kAnswerWindow, kMaxAnswer,
                                  report.statusLine);
  if (!answer) return {};
  std::istringstream lines(*answer);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t start = line.rfind('$');
    if (start == std::string::npos) continue;
    line = line.substr(start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const ReceivedSentence sentence = ReadSentence(line);
    if (!sentence.checksumOk || !sentence.Is("PMGNVER")) continue;
    const auto fields = sentence.Fields();
    ProbeResult result;
    result.found = true;
    result.model = fields.size() > 3 ? std::string(fields[3]) : "";
    result.software = fields.size() > 2 ? std::string(fields[2]) : "";
    result.extra = std::string(fields.size() > 1 ? fields[1] : "");
    report.Product("Magellan " + result.model + ", SW " + result.software);
    report.Status("");
    return result;
  }
  report.Status("Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::magellan
