// Fuzz target: the MTK log memory parser on any bytes, as a download would hand them over,
// the conversion of what it finds to track points, and the same bytes as the logger's serial
// output through the sentence assembler and the answer reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "devices/mtk/mtk_log.h"
#include "devices/mtk/mtk_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::mtk;
  const LogParse parse = ParseLog(std::span(data, size));
  if (parse.status == LogStatus::Ok && parse.fixes.empty()) std::abort();
  for (const LogFix& fix : parse.fixes) {
    if (!(fix.latitude >= -90.0 && fix.latitude <= 90.0)) std::abort();
    if (!(fix.longitude >= -180.0 && fix.longitude <= 180.0)) std::abort();
  }
  if (ToTrackPoints(parse.fixes).size() != parse.fixes.size()) std::abort();
  logwell::NmeaLineAssembler lines = SentenceAssembler();
  for (std::size_t i = 0; i < size; ++i) {
    if (!lines.Feed(data[i])) continue;
    Answer answer;
    const SentenceStatus status = ReadAnswer(lines.Line(), answer);
    if (status != SentenceStatus::Ok && answer.kind != Answer::Kind::Other) std::abort();
    if (answer.data.size() > kChunkSize) std::abort();
  }
  return 0;
}
