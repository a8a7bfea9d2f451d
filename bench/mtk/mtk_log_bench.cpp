// Throughput of the MTK log memory parser on the real flash images (LOGWELL_FIXTURES
// logger/*.bin): MB/s of image (bytes_per_second) and fixes/s (items_per_second), the parse and
// the conversion to track points together.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "devices/mtk/mtk_log.h"

namespace {

using namespace logwell;

std::vector<std::uint8_t> Image(const char* name) {
  const char* dir = std::getenv("LOGWELL_FIXTURES");
  if (dir == nullptr) return {};
  std::ifstream in(std::filesystem::path(dir) / "logger" / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_ParseLog(benchmark::State& state, const char* name) {
  const std::vector<std::uint8_t> image = Image(name);
  if (image.empty()) {
    state.SkipWithError("set LOGWELL_FIXTURES to the real fixtures");
    return;
  }
  std::size_t fixes = 0;
  for (auto _ : state) {
    const mtk::LogParse parse = mtk::ParseLog(image);
    const auto points = mtk::ToTrackPoints(parse.fixes);
    benchmark::DoNotOptimize(points.data());
    fixes = points.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fixes));
}

BENCHMARK_CAPTURE(BM_ParseLog, mtk_logger, "mtk_logger.bin");
BENCHMARK_CAPTURE(BM_ParseLog, m241, "mtk_logger_m241.bin");
BENCHMARK_CAPTURE(BM_ParseLog, gp245, "mtk_logger_gp245.bin");

}  // namespace
