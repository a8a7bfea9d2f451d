// The unattended run with /GPS=MAGELLAN: a download saves its IGC file and ends with 0; a fault
// of the line ends with its message and 1, and no file is written.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "sim/flight_generator.h"
#include "sim/magellan/magellan_model.h"
#include "sim/virtual_instrument.h"

namespace logwell::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string err;
  std::size_t files = 0;
};

Outcome Download(sim::MagellanModelConfig config, const std::string& action) {
  sim::FlightPlan plan;
  plan.duration = std::chrono::minutes(10);
  plan.fixInterval = std::chrono::seconds(10);
  config.trackSentences = sim::MagellanTrackSentences(sim::GenerateFlight(plan));
  auto owned = std::make_unique<sim::MagellanModel>(std::move(config));
  sim::MagellanModel* model = owned.get();
  sim::VirtualInstrument instrument(std::move(owned));
  model->Attach(&instrument);
  const fs::path dir = fs::temp_directory_path() / ("logwell-magellan-cli-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "out");
  const std::string command = std::string("'") + LOGWELL_CLI_PATH + "' /COM=" + instrument.DevicePath() +
                              " /GPS=MAGELLAN /" + action + "='" + (dir / "out").string() +
                              "/' /EXIT /WIN=0 /TIMEOUT=2 >/dev/null 2>'" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  Outcome outcome;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(dir / "err");
  std::stringstream text;
  text << err.rdbuf();
  outcome.err = text.str();
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir / "out")) ++outcome.files;
  fs::remove_all(dir);
  return outcome;
}

TEST(MagellanCommandLine, DownloadSavesTheFlight) {
  const Outcome outcome = Download({}, "IGC_LOG");
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.files, 1u);
}

TEST(MagellanCommandLine, FaultsEndWithOneAndNoFile) {
  struct Case {
    const char* name;
    const char* sentence;
    sim::Fault::Kind fault;
    bool handshake;
    const char* message;
  };
  const Case cases[] = {
      {"silence", "PMGNTRK:10", sim::Fault::Kind::Silence, true, "Timeout receiving data"},
      {"damaged without handshake", "PMGNTRK:5", sim::Fault::Kind::CorruptChecksum, false,
       "Bad checksum in data block"},
      {"hang-up", "PMGNTRK:10", sim::Fault::Kind::HangUp, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::MagellanModelConfig config;
    config.handshake = c.handshake;
    sim::Fault fault{c.fault};
    fault.offset = 20;
    config.faultsFor[c.sentence] = {fault};
    const Outcome outcome = Download(std::move(config), "IGC_LOG");
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.files, 0u);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
}

}  // namespace
}  // namespace logwell::testing
