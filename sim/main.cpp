// logwell-sim: starts a virtual instrument on a pseudo-terminal, prints the device path to
// open, and runs until Ctrl+C (or SIGTERM).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/echo_model.h"
#include "sim/flytec/flytec_model.h"
#include "sim/flight_generator.h"
#include "sim/nmea_stream_model.h"
#include "sim/number_argument.h"
#include "sim/virtual_instrument.h"

using logwell::sim::ParseNumberArgument;

namespace {

using logwell::sim::InstrumentModel;

struct Options {
  std::uint32_t seed = 1;
  int paceMs = 1000;
  int durationMinutes = 60;
  // Flytec/Brauniger: the model name, its software, and the flights it holds.
  std::string model = "6030";
  std::string software;
  std::string pilot = "JANE DOE";
  std::string flights;  // IGC files separated by commas; none: one generated flight
  bool paced = false;   // send at the line's real rate
};

std::string ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::string text;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

std::unique_ptr<InstrumentModel> MakeFlytec(const Options& options) {
  logwell::sim::FlytecModelConfig config;
  config.model = options.model;
  config.pilot = options.pilot;
  // Software on the track-list side of each model's threshold unless one is given.
  config.software = !options.software.empty() ? options.software : "3.50";
  config.paced = options.paced;
  if (options.flights.empty()) {
    logwell::sim::FlightPlan plan;
    plan.seed = options.seed;
    plan.duration = std::chrono::minutes(options.durationMinutes);
    config.flights.push_back(logwell::sim::FlytecIgcText(logwell::sim::GenerateFlight(plan),
                                                         config.serial, config.pilot));
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = options.flights.find(',', start);
      config.flights.push_back(ReadWholeFile(options.flights.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return std::make_unique<logwell::sim::FlytecModel>(std::move(config));
}

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
    {"flytec", "a Flytec/Brauniger instrument (--model 6030 --software 1.20 --flights a.igc,b.igc --paced)",
     MakeFlytec},
};

void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: logwell-sim MODEL [--seed N] [--pace-ms N] [--minutes N]\n"
               "       logwell-sim flytec [--model NAME] [--software V] [--pilot NAME]\n"
               "                          [--flights A.igc,B.igc] [--paced]\nmodels:\n");
  for (const ModelEntry& model : kModels) std::fprintf(out, "  %-6s %s\n", model.name, model.description);
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
    const bool hasValue = i + 1 < argc;
    bool ok = false;
    if (flag == "--paced") {
      options.paced = true;
      --i;  // a flag without a value
      continue;
    }
    if (flag == "--model" && (ok = hasValue)) {
      options.model = text;
    } else if (flag == "--software" && (ok = hasValue)) {
      options.software = text;
    } else if (flag == "--pilot" && (ok = hasValue)) {
      options.pilot = text;
    } else if (flag == "--flights" && (ok = hasValue)) {
      options.flights = text;
    } else if (flag == "--seed" && (ok = ParseNumberArgument(text, 0, 0xFFFFFFFFL, value))) {
      options.seed = static_cast<std::uint32_t>(value);
    } else if (flag == "--pace-ms" && (ok = ParseNumberArgument(text, 1, 3600000, value))) {
      options.paceMs = static_cast<int>(value);
    } else if (flag == "--minutes" && (ok = ParseNumberArgument(text, 0, 24 * 60, value))) {
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
    auto model = chosen->make(options);
    auto* flytec = dynamic_cast<logwell::sim::FlytecModel*>(model.get());
    logwell::sim::VirtualInstrument instrument(std::move(model));
    if (flytec != nullptr) flytec->Attach(&instrument);
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
