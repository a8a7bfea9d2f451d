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

void Report(const std::function<void(std::string_view)>& line, std::string_view text) {
  if (line) line(text);
}

}  // namespace

ProbeResult ProbeMtk(const std::string& devicePath, const ProbeReport& report) {
  Report(report.productLine, "Checking for MTK logger");
  Report(report.statusLine, "");
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
      Report(report.productLine, "Pentagram, " + parsed.firmware);
      Report(report.statusLine, "");
      return result;
    }
  }
  Report(report.statusLine, "Bad/missing response");
  std::this_thread::sleep_for(kAfterBadAnswer);
  return {};
}

}  // namespace logwell::mtk
