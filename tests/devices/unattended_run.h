#pragma once
// Unattended command-line runs against a virtual instrument, as a program that starts Logwell
// would make them: "/COM=<device> <options> /EXIT /WIN=0".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/competition_mode.h"
#include "app/job_runner.h"
#include "sim/instrument_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"

namespace logwell::testing {

struct UnattendedRun {
  int exitCode = -1;
  bool parsed = false;
  std::string lastStatus;
};

inline UnattendedRun RunUnattended(const std::string& devicePath, const std::string& options) {
  ScriptedUi ui;
  CompetitionState competition;
  CommandLineHandlers handlers;
  AddCompetitionHandlers(handlers, competition);
  UnattendedRun run;
  ParseResult parsed = ParseCommandLine("/COM=" + devicePath + " " + options + " /EXIT /WIN=0", ui, handlers);
  if (!parsed.options) return run;
  run.parsed = true;
  run.exitCode = RunHeadlessJob(*parsed.options, ui, competition);
  const auto status = ui.StatusTexts();
  if (!status.empty()) run.lastStatus = status.back();
  return run;
}

// A track download saved by the command line's `saveOption` (for example "/GPS=X /IGC_LOG="),
// once from a sound instrument and once from a broken one (`model(true)`): the first writes its
// file and exits 0, the second exits 1 and writes nothing.
inline void ExpectSavedOrExitCodeOne(const std::function<std::unique_ptr<sim::InstrumentModel>(bool broken)>& model,
                                     const std::string& saveOption, const std::string& extension) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("logwell-unattended-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken);
    sim::VirtualInstrument instrument(model(broken));
    const fs::path out = dir / ((broken ? "broken." : "saved.") + extension);
    const UnattendedRun run = RunUnattended(instrument.DevicePath(), saveOption + out.string());
    ASSERT_TRUE(run.parsed);
    EXPECT_EQ(run.exitCode, broken ? 1 : 0) << run.lastStatus;
    EXPECT_EQ(fs::exists(out), !broken);
  }
  fs::remove_all(dir);
}

}  // namespace logwell::testing
