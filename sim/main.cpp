// logwell-sim: starts a virtual instrument on a pseudo-terminal, prints the device path to
// open, and runs until Ctrl+C (or SIGTERM).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sim/echo_model.h"
#include "sim/flight_generator.h"
#include "sim/nmea_stream_model.h"
#include "sim/virtual_instrument.h"

namespace {

using logwell::sim::InstrumentModel;

struct Options {
  std::uint32_t seed = 1;
  int paceMs = 1000;
  int durationMinutes = 60;
};

struct ModelEntry {
  const char* name;
  const char* description;
  std::function<std::unique_ptr<InstrumentModel>(const Options&)> make;
};

// Each instrument family adds its model here.
const ModelEntry kModels[] = {
    {"echo", "answers every NMEA sentence with $LWECHO (or $LWNAK for a bad checksum)",
     [](const Options&) { return std::make_unique<logwell::sim::EchoNmeaModel>(); }},
    {"nmea", "a GPS sending $GPRMC and $GPGGA of a generated flight, and echoing like 'echo'",
     [](const Options& options) {
       logwell::sim::FlightPlan plan;
       plan.seed = options.seed;
       plan.duration = std::chrono::minutes(options.durationMinutes);
       return std::make_unique<logwell::sim::NmeaStreamModel>(logwell::sim::GenerateFlight(plan),
                                                              std::chrono::milliseconds(options.paceMs));
     }},
};

void Usage(std::FILE* out) {
  std::fprintf(out, "usage: logwell-sim MODEL [--seed N] [--pace-ms N] [--minutes N]\nmodels:\n");
  for (const ModelEntry& model : kModels) std::fprintf(out, "  %-6s %s\n", model.name, model.description);
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  Options options;
  for (int i = 2; i < argc; i += 2) {
    const std::string_view flag = argv[i];
    long value = 0;
    const char* text = i + 1 < argc ? argv[i + 1] : "";
    bool ok = false;
    if (flag == "--seed" && (ok = ParseNumber(text, 0, 0xFFFFFFFFL, value))) {
      options.seed = static_cast<std::uint32_t>(value);
    } else if (flag == "--pace-ms" && (ok = ParseNumber(text, 1, 3600000, value))) {
      options.paceMs = static_cast<int>(value);
    } else if (flag == "--minutes" && (ok = ParseNumber(text, 0, 24 * 60, value))) {
      options.durationMinutes = static_cast<int>(value);
    }
    if (!ok) {
      std::fprintf(stderr, "logwell-sim: bad option %s %s\n", argv[i], text);
      return 2;
    }
  }
  const ModelEntry* chosen = nullptr;
  for (const ModelEntry& model : kModels) {
    if (std::string_view(argv[1]) == model.name) chosen = &model;
  }
  if (chosen == nullptr) {
    std::fprintf(stderr, "logwell-sim: unknown model %s\n", argv[1]);
    Usage(stderr);
    return 2;
  }

  // Block the stop signals before any thread starts, so that only sigwait below sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    logwell::sim::VirtualInstrument instrument(chosen->make(options));
    std::printf("%s\n", instrument.DevicePath().c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    instrument.Stop();
    std::fprintf(stderr, "logwell-sim: stopped\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "logwell-sim: %s\n", error.what());
    return 1;
  }
  return 0;
}
