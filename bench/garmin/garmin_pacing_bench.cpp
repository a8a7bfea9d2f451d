// How much the Garmin track log download adds on top of the line: a virtual receiver sends a
// 10,000-point track log at the real 9600 baud (ten bits a byte) and the host reads it through
// the access framework, acknowledging every packet. Run by hand (about five minutes):
//   build/bench/garmin/garmin_pacing_bench
// The counters: the line time of every byte the receiver sent, the line time the host's
// acknowledgements would take on a real half-duplex exchange (the turn-arounds), the measured
// download, and its overhead over the line time and over line time plus turn-arounds (the
// bound is 5 %).
#include <benchmark/benchmark.h>

#include <future>

#include "access/access_framework.h"
#include "devices/garmin/garmin_workers.h"
#include "sim/garmin/garmin_model.h"
#include "sim/virtual_instrument.h"

namespace {

using namespace logwell;

void BM_GarminTrackLogAt9600Baud(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  sim::GarminModelConfig config;
  config.paced = true;
  for (std::size_t i = 0; i < count; ++i) {
    TrackPoint point;
    point.latitude = 555000000 + static_cast<std::int32_t>(i) * 1000;
    point.longitude = 95000000 - static_cast<std::int32_t>(i) * 700;
    point.time = 1000000000u + static_cast<std::uint32_t>(i);
    point.gpsAltitude = 10000 + static_cast<std::int32_t>(i % 5000);
    config.points.push_back(point);
  }
  for (auto _ : state) {
    auto owned = std::make_unique<sim::GarminModel>(config);
    sim::GarminModel* model = owned.get();
    sim::VirtualInstrument instrument(std::move(owned));
    AccessTable table;
    garmin::RegisterGarminWorkers(table, FamilyEnvironment{});
    AccessFramework framework(table);
    framework.selectedPortName = [&instrument] { return instrument.DevicePath(); };
    std::promise<int> done;
    auto finished = done.get_future();
    const auto start = std::chrono::steady_clock::now();
    framework.StartCommandAccess("Bench", nullptr, AccessType::ReadTrackLog, ProtocolType::GarminSerial, 0,
                                 [&done](AccessBlock& block) { done.set_value(block.result); });
    const int result = finished.get();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    framework.WaitForGpsAccessEnd();
    if (result != static_cast<int>(count)) {
      state.SkipWithError("the download failed");
      return;
    }
    const double line = static_cast<double>(model->BytesSent()) * 10.0 / garmin::kBaudRate;
    const double turnarounds = static_cast<double>(instrument.Received().size()) * 10.0 / garmin::kBaudRate;
    state.SetIterationTime(took);
    state.counters["points"] = static_cast<double>(count);
    state.counters["bytes_sent"] = static_cast<double>(model->BytesSent());
    state.counters["line_s"] = line;
    state.counters["turnaround_s"] = turnarounds;
    state.counters["took_s"] = took;
    state.counters["over_line_pct"] = 100.0 * (took - line) / line;
    state.counters["over_bound_pct"] = 100.0 * (took - (line + turnarounds)) / (line + turnarounds);
  }
}
BENCHMARK(BM_GarminTrackLogAt9600Baud)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
