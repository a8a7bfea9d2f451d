// logwell-sim's virtual Flytec/Brauniger instrument and its options.
#include <cstdio>
#include <stdexcept>

#include "sim/flytec/flytec_model.h"
#include "sim/sim_family.h"

namespace logwell::sim {
namespace {

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

struct FlytecOptions {
  std::string model = "6030";
  std::string software;  // empty: on the track-list side of each model's threshold
  std::string pilot = "JANE DOE";
  std::string flights;   // IGC files separated by commas; none: one generated flight
  bool paced = false;    // send at the line's real rate
  FlightPlan flight = DefaultSimFlight();
};

std::unique_ptr<InstrumentModel> MakeFlytec(const FlytecOptions& options) {
  FlytecModelConfig config;
  config.model = options.model;
  config.pilot = options.pilot;
  config.software = !options.software.empty() ? options.software : "3.50";
  config.paced = options.paced;
  if (options.flights.empty()) {
    config.flights.push_back(FlytecIgcText(GenerateFlight(options.flight), config.serial, config.pilot));
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = options.flights.find(',', start);
      config.flights.push_back(ReadWholeFile(options.flights.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return std::make_unique<FlytecModel>(std::move(config));
}

ModelFactory ReadFlytecOptions(SimArguments& arguments) {
  FlytecOptions options;
  while (arguments.Next()) {
    if (arguments.Is("--model")) {
      options.model = arguments.Text();
    } else if (arguments.Is("--software")) {
      options.software = arguments.Text();
    } else if (arguments.Is("--pilot")) {
      options.pilot = arguments.Text();
    } else if (arguments.Is("--flights")) {
      options.flights = arguments.Text();
    } else if (arguments.Is("--paced")) {
      options.paced = true;
    } else if (!ReadFlightOption(arguments, options.flight)) {
      arguments.Refuse();
    }
  }
  return [options] { return MakeFlytec(options); };
}

}  // namespace

extern const SimFamily kFlytecFamily{
    "flytec", "a Flytec/Brauniger instrument holding a generated flight (or the --flights given)",
    "[--model NAME] [--software V] [--pilot NAME] [--flights A.igc,B.igc] [--paced]\n"
    "[--seed N] [--minutes N]",
    ReadFlytecOptions};

}  // namespace logwell::sim
