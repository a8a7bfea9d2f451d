#pragma once
// One unattended command-line run against a virtual instrument, as a program that starts
// Logwell would make it: "/COM=<device> <options> /EXIT /WIN=0". Returns the exit code; the
// last status text is kept for a failure message.
#include <string>

#include "app/competition_mode.h"
#include "app/job_runner.h"
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

}  // namespace logwell::testing
