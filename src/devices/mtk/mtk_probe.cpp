#include "devices/mtk/mtk_probe.h"

#include <chrono>
#include <thread>

#include "access/scan_port.h"
#include "devices/mtk/mtk_protocol.h"

namespace logwell::mtk {
namespace {

constexpr std::chrono::milliseconds kAnswerWindow{1000};
constexpr std::chrono::milliseconds kAfterBadAnswer{500};
constexpr std::size_t kMaxAnswer = 1000;
constexpr int kRates[] = {115200, 38400};

}  // namespace

ProbeResult ProbeMtk(const std::string& devicePath, const ProbeReport& report) {
  report.Product("Checking for MTK logger");
  report.Status("");
  for (const int rate : kRates) {
    const auto answer = AskScanPort(devicePath, rate, kProductRequest, kAnswerWindow, kMaxAnswer,
                                    report.statusLine);
    if (!answer) return {};
    NmeaLineAssembler lines = SentenceAssembler();
    for (const char c : *answer) {
      if (!lines.Feed(static_cast<std::uint8_t>(c))) continue;
      Answer parsed;
      if (ReadAnswer(lines.Line(), parsed) != SentenceStatus::Ok || parsed.kind != Answer::Kind::Product) continue;
      ProbeResult result;
      result.found = true;
      result.model = "Pentagram";
      result.software = parsed.firmware;
      report.Product("Pentagram, " + parsed.firmware);
      report.Status("");
      return result;
    }
  }
  report.Status("Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::mtk
