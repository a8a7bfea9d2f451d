// logwell-sim: starts a virtual instrument of one family on a pseudo-terminal, prints the device
// path to open, and runs until Ctrl+C (SIGINT) or SIGTERM.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_family.h"
#include "sim/virtual_instrument.h"

namespace {

using logwell::sim::SimFamilies;
using logwell::sim::SimFamily;

void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: logwell-sim MODEL [OPTION...]\n"
               "Serves a virtual instrument on a pseudo-terminal, prints the device path to open\n"
               "and runs until Ctrl+C or SIGTERM.\nmodels:\n");
  for (const SimFamily* family : SimFamilies()) {
    std::fprintf(out, "  %-7.*s %.*s\n", static_cast<int>(family->name.size()), family->name.data(),
                 static_cast<int>(family->description.size()), family->description.data());
    std::string_view options = family->options;
    while (!options.empty()) {
      const std::size_t end = options.find('\n');
      const std::string_view line = options.substr(0, end);
      std::fprintf(out, "          %.*s\n", static_cast<int>(line.size()), line.data());
      options.remove_prefix(end == std::string_view::npos ? options.size() : end + 1);
    }
  }
}

const SimFamily* FindFamily(std::string_view name) {
  for (const SimFamily* family : SimFamilies()) {
    if (family->name == name) return family;
  }
  return nullptr;
}

// Blocks the stop signals in this thread and in every thread it starts afterwards, so that they
// stay pending until the sigwait in main takes them.
sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const SimFamily* family = FindFamily(argv[1]);
  if (family == nullptr) {
    std::fprintf(stderr, "logwell-sim: unknown model %s\n", argv[1]);
    Usage(stderr);
    return 2;
  }
  logwell::sim::ModelFactory makeModel;
  try {
    logwell::sim::SimArguments arguments(std::vector<std::string>(argv + 2, argv + argc));
    makeModel = family->readOptions(arguments);
  } catch (const logwell::sim::BadSimOption& error) {
    std::fprintf(stderr, "logwell-sim: %s\n", error.what());
    return 2;
  }

  // Before the instrument's thread starts. A stop requested while the model is being made waits
  // for the sigwait below; from then on every wait of the instrument ends at the stop request.
  const sigset_t stopSignals = BlockStopSignals();
  try {
    logwell::sim::VirtualInstrument instrument(makeModel());
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
