// How much a Flymaster download adds on top of the line: a virtual instrument sends a five-hour
// flight at one fix a second at the real 57600 baud (ten bits a byte), in either generation, and
// the host reads it through the access framework. Run by hand (about a minute per generation):
//   build/bench/flymaster/flymaster_pacing_bench
// The floor is the line time of every byte the instrument sent and of every byte the host sent
// (requests and, in the older generation, one acknowledgement per packet) plus the pauses the
// protocol prescribes: 200 ms after the product data, the 2000 ms of silence that end the flight
// list and, in the current generation, the 500 ms of silence that end the track.
#include <benchmark/benchmark.h>

#include <future>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/flymaster/flymaster_workers.h"
#include "sim/flight_generator.h"
#include "sim/flymaster/flymaster_model.h"
#include "sim/virtual_instrument.h"

namespace {

using namespace logwell;

void BM_FlymasterFiveHourFlight(benchmark::State& state) {
  const bool older = state.range(0) == 0;
  sim::FlightPlan plan;
  plan.startTime = CalendarToGarminTime(CalendarTime{2024, 7, 0, 12, 9, 0, 0});
  plan.duration = std::chrono::hours(5);
  plan.fixInterval = std::chrono::seconds(1);
  plan.courseLengthKm = 120.0;
  sim::FlymasterModelConfig config;
  config.older = older;
  config.model = older ? "F1" : "GpsSD";
  config.paced = true;
  config.flights = {sim::GenerateFlight(plan)};
  const auto fixes = static_cast<int>(config.flights[0].size());
  for (auto _ : state) {
    auto owned = std::make_unique<sim::FlymasterModel>(config);
    sim::FlymasterModel* model = owned.get();
    sim::VirtualInstrument instrument(std::move(owned));
    model->Attach(&instrument);
    AccessTable table;
    FamilyEnvironment environment;
    environment.commandLineTracks = [] { return std::vector<int>{0}; };
    flymaster::RegisterFlymasterWorkers(table, environment);
    AccessFramework framework(table);
    framework.selectedPortName = [&instrument] { return instrument.DevicePath(); };
    std::promise<int> done;
    auto finished = done.get_future();
    const auto start = std::chrono::steady_clock::now();
    framework.StartCommandAccess("Bench", nullptr, AccessType::ReadTrackLog, ProtocolType::Flymaster,
                                 older ? 0 : 1, [&done](AccessBlock& block) { done.set_value(block.result); });
    const int result = finished.get();
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    framework.WaitForGpsAccessEnd();
    if (result != fixes) {
      state.SkipWithError("the download failed");
      return;
    }
    const double line = static_cast<double>(model->BytesSent() + instrument.Received().size()) * 10.0 /
                        flymaster::kBaudRate;
    const double pauses = 0.2 + 2.0 + (older ? 0.0 : 0.5);
    state.SetIterationTime(took);
    state.counters["fixes"] = fixes;
    state.counters["bytes_sent"] = static_cast<double>(model->BytesSent());
    state.counters["bytes_received"] = static_cast<double>(instrument.Received().size());
    state.counters["line_s"] = line;
    state.counters["pauses_s"] = pauses;
    state.counters["took_s"] = took;
    state.counters["over_floor_pct"] = 100.0 * (took - (line + pauses)) / (line + pauses);
  }
}
BENCHMARK(BM_FlymasterFiveHourFlight)->Arg(1)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
