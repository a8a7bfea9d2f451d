// Decode and encode throughput of IGC text: a long real flight (LOGWELL_FIXTURES
// igc/2023-10-28-XNA-150420-01.igc, 11.6 h, 41703 fixes) and a generated 10-hour flight at one
// fix per second. Reports MB/s (bytes_per_second) and fixes/s (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/flight_generator.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"

namespace {

using namespace logwell;

std::string RealFlightText() {
  const char* dir = std::getenv("LOGWELL_FIXTURES");
  if (dir == nullptr) return {};
  std::ifstream in(std::filesystem::path(dir) / "igc" / "2023-10-28-XNA-150420-01.igc",
                   std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<TrackPoint> GeneratedFlight() {
  sim::FlightPlan plan;
  plan.duration = std::chrono::hours(10);
  plan.courseLengthKm = 150.0;
  return sim::GenerateFlight(plan);
}

std::string Encode(const std::vector<TrackPoint>& points) {
  igc::IgcEncodeInput input;
  input.points = points;
  input.signState = SignState::Downloaded;
  input.pilot = "Bench Pilot";
  input.wantSecurityRecord = true;
  return igc::EncodeIgc(input)->text;
}

void Decode(benchmark::State& state, const std::string& text) {
  if (text.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  std::size_t fixes = 0;
  for (auto _ : state) {
    auto result = igc::DecodeIgcText(text);
    fixes = result.points.size();
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * fixes));
  state.counters["fixes"] = static_cast<double>(fixes);
}

void EncodeSigned(benchmark::State& state, const std::vector<TrackPoint>& points) {
  if (points.empty()) {
    state.SkipWithError("no points");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = Encode(points);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}

void BM_DecodeRealFlight(benchmark::State& state) {
  static const std::string text = RealFlightText();
  Decode(state, text);
}

void BM_EncodeRealFlight(benchmark::State& state) {
  static const std::vector<TrackPoint> points = igc::DecodeIgcText(RealFlightText()).points;
  EncodeSigned(state, points);
}

void BM_DecodeGenerated10h(benchmark::State& state) {
  static const std::string text = Encode(GeneratedFlight());
  Decode(state, text);
}

void BM_EncodeGenerated10h(benchmark::State& state) {
  static const std::vector<TrackPoint> points = GeneratedFlight();
  EncodeSigned(state, points);
}

void BM_SecurityCheckGenerated10h(benchmark::State& state) {
  static const std::string text = Encode(GeneratedFlight());
  for (auto _ : state) benchmark::DoNotOptimize(igc::CheckSecurityRecord(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_DecodeRealFlight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRealFlight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeGenerated10h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeGenerated10h)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SecurityCheckGenerated10h)->Unit(benchmark::kMillisecond);

}  // namespace
