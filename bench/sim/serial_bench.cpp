// Costs of the line-level work done per received byte and of generating test flights.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

#include "access/debug_buffer.h"
#include "access/nmea.h"
#include "sim/flight_generator.h"
#include "sim/nmea_stream_model.h"

namespace {

void BM_AssembleAndParseNmea(benchmark::State& state) {
  logwell::sim::FlightPlan plan;
  plan.duration = std::chrono::seconds(600);
  const auto points = logwell::sim::GenerateFlight(plan);
  std::string stream;
  for (std::size_t i = 0; i < points.size(); ++i) {
    stream += logwell::sim::FixSentences(points[i], i > 0 ? &points[i - 1] : nullptr);
  }
  std::array<std::size_t, 32> fields{};
  for (auto _ : state) {
    logwell::NmeaLineAssembler assembler;
    int good = 0;
    for (char c : stream) {
      if (!assembler.Feed(static_cast<std::uint8_t>(c))) continue;
      std::string& line = assembler.Line();
      good += logwell::ParseNmeaSentence(std::span<char>(line.data(), line.size()), fields) > 0 ? 1 : 0;
    }
    benchmark::DoNotOptimize(good);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_AssembleAndParseNmea);

void BM_TraceHexDump(benchmark::State& state) {
  std::vector<std::uint8_t> packet(256);
  for (std::size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<std::uint8_t>(i);
  auto buffer = std::make_unique<logwell::DebugBuffer>();
  for (auto _ : state) {
    buffer->Clear();
    for (int i = 0; i < 100; ++i) buffer->AppendHexDump(packet);
    benchmark::DoNotOptimize(buffer->Size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 100 * packet.size()));
}
BENCHMARK(BM_TraceHexDump);

void BM_GenerateFlight(benchmark::State& state) {
  logwell::sim::FlightPlan plan;
  plan.duration = std::chrono::seconds(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(logwell::sim::GenerateFlight(plan));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GenerateFlight)->Arg(3600)->Arg(12 * 3600);

}  // namespace
