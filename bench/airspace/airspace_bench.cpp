// A national airspace file is read whenever the user loads it or the command line uploads it,
// and every outline is turned into points for the GPX, web map and no-arcs writers. The real
// German file (about 200 kB, 677 airspaces) is read from LOGWELL_FIXTURES; without it the
// benchmarks say so and are skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "airspace/airspace_list.h"
#include "airspace/airspace_points.h"
#include "airspace/openair_reader.h"
#include "airspace/openair_writer.h"
#include "base/headless_ui.h"

namespace logwell {
namespace {

std::string GermanFile() {
  const char* fixtures = std::getenv("LOGWELL_FIXTURES");
  if (!fixtures) return {};
  std::ifstream file(std::filesystem::path(fixtures) / "airspace" / "Germany.txt", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

AirspaceList ReadAll(const std::string& text) {
  HeadlessUi ui(stdout, stderr, true);
  AirspaceSettings settings;
  AirspaceList records = ReadOpenAirText(text, ui, settings).records;
  for (AirspaceRecord& record : records) record.selected = 1;
  return records;
}

void BM_ReadGermanOpenAir(benchmark::State& state) {
  const std::string text = GermanFile();
  if (text.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  HeadlessUi ui(stdout, stderr, true);
  for (auto _ : state) {
    AirspaceSettings settings;
    benchmark::DoNotOptimize(ReadOpenAirText(text, ui, settings));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadGermanOpenAir)->Unit(benchmark::kMillisecond);

void BM_GermanOutlinesToPoints(benchmark::State& state) {
  const AirspaceList records = ReadAll(GermanFile());
  if (records.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  for (auto _ : state) {
    std::size_t points = 0;
    for (std::size_t i = 0; i < records.size(); ++i) points += AirspaceToPoints(records[i], i, 10, 0).size();
    benchmark::DoNotOptimize(points);
  }
}
BENCHMARK(BM_GermanOutlinesToPoints)->Unit(benchmark::kMillisecond);

void BM_WriteGermanFiles(benchmark::State& state) {
  const AirspaceList records = ReadAll(GermanFile());
  if (records.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  const auto kind = static_cast<AirspaceFileKind>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(MakeAirspaceFileText(records, kind, 10));
}
BENCHMARK(BM_WriteGermanFiles)
    ->Arg(static_cast<int>(AirspaceFileKind::OpenAir))
    ->Arg(static_cast<int>(AirspaceFileKind::Gpx))
    ->Arg(static_cast<int>(AirspaceFileKind::WebMap))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace logwell
