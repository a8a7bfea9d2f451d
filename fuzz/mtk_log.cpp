// Fuzz target: the MTK log memory parser on any bytes, as a download would hand them over,
// and the conversion of what it finds to track points.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "devices/mtk/mtk_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::mtk;
  const LogParse parse = ParseLog(std::span(data, size));
  if (parse.status == LogStatus::Ok && parse.fixes.empty()) std::abort();
  for (const LogFix& fix : parse.fixes) {
    if (!(fix.latitude >= -90.0 && fix.latitude <= 90.0)) std::abort();
    if (!(fix.longitude >= -180.0 && fix.longitude <= 180.0)) std::abort();
  }
  if (ToTrackPoints(parse.fixes).size() != parse.fixes.size()) std::abort();
  return 0;
}
