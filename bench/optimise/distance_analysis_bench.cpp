// The distance analysis and the OLC triangle search, production searches against the plain
// loops on the same tables: a generated 10-hour flight and a long real flight (found through
// LOGWELL_FIXTURES). Every run checks that both give the same analysis; the counters "ms" give
// the time per run. Compare Production/Plain pairs for the ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "optimise/distance_analysis.h"
#include "optimise/distance_tables.h"
#include "reference_search.h"
#include "sim/flight_generator.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

std::vector<TrackPoint> TenHourFlight() {
  sim::FlightPlan plan;
  plan.course = sim::CourseShape::FaiTriangle;
  plan.courseLengthKm = 180;
  plan.duration = std::chrono::seconds(10 * 3600);
  plan.fixInterval = std::chrono::milliseconds(1000);
  plan.positionNoiseMetres = 3;
  return sim::GenerateFlight(plan);
}

std::vector<TrackPoint> RealFlight() {
  const char* dir = std::getenv("LOGWELL_FIXTURES");
  if (dir == nullptr) return {};
  std::ifstream in(std::filesystem::path(dir) / "igc" / "trifai-xcontest-362.70.igc", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return igc::DecodeIgcText(text.str()).points;
}

const std::vector<TrackPoint>& Flight(int which) {
  static const std::vector<TrackPoint> generated = TenHourFlight();
  static const std::vector<TrackPoint> real = RealFlight();
  return which == 0 ? generated : real;
}

void RunAnalysis(benchmark::State& state, const DistanceSearchStrategy* search) {
  const auto& points = Flight(static_cast<int>(state.range(0)));
  if (points.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  AnalysisOptions options;
  options.search = search;
  DistanceAnalysis expected;
  AnalysisOptions plainOptions;
  plainOptions.search = &testing::PlainSearch();
  static DistanceAnalysis plainResult[2];
  static bool plainDone[2] = {false, false};
  const auto which = static_cast<std::size_t>(state.range(0));
  if (!plainDone[which]) {
    AnalyseDistances(points, plainResult[which], plainOptions);
    plainDone[which] = true;
  }
  DistanceAnalysis analysis;
  for (auto _ : state) {
    AnalyseDistances(points, analysis, options);
    benchmark::DoNotOptimize(analysis);
  }
  if (!(analysis == plainResult[which])) state.SkipWithError("results differ from the plain loops");
  state.counters["points"] = static_cast<double>(points.size());
  state.counters["fai_km"] = analysis.fai.Perimeter() / 1000.0;
  state.counters["triangle_km"] = analysis.triangle.Perimeter() / 1000.0;
  state.counters["free5_km"] = analysis.five.total / 1000.0;
}

void BM_AnalysisProduction(benchmark::State& state) { RunAnalysis(state, nullptr); }
void BM_AnalysisPlain(benchmark::State& state) { RunAnalysis(state, &testing::PlainSearch()); }

void RunOlcTriangles(benchmark::State& state, bool plain) {
  const auto& points = Flight(static_cast<int>(state.range(0)));
  if (points.empty()) {
    state.SkipWithError("LOGWELL_FIXTURES is not set");
    return;
  }
  std::optional<DistanceTables> tables;
  DistanceTables::Build(points, kOlcClosingStart, tables);
  const auto reference = testing::PlainTriangles(*tables, TriangleRule::ClosingBelowFifthOfPerimeter, 0, {});
  TriangleSearchResult result;
  for (auto _ : state) {
    result = plain ? testing::PlainTriangles(*tables, TriangleRule::ClosingBelowFifthOfPerimeter, 0, {})
                   : SearchTriangles(*tables, TriangleRule::ClosingBelowFifthOfPerimeter, 0, {});
    benchmark::DoNotOptimize(result);
  }
  if (!(result.free == reference.free && result.fai == reference.fai)) {
    state.SkipWithError("results differ from the plain loops");
  }
}

void BM_OlcTrianglesProduction(benchmark::State& state) { RunOlcTriangles(state, false); }
void BM_OlcTrianglesPlain(benchmark::State& state) { RunOlcTriangles(state, true); }

// Argument 0: the generated 10-hour flight (36001 fixes); 1: the long real flight.
BENCHMARK(BM_AnalysisProduction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnalysisPlain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_OlcTrianglesProduction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OlcTrianglesPlain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace logwell
