#pragma once
// The program without a window: one access framework with the process-wide access table in
// which the instrument families register, the process-wide track log and waypoint list, and
// the unattended run driven to its end. logwell-cli runs every instrument command line here.
#include "app/command_line.h"
#include "base/ui.h"

namespace logwell {

// Runs the unattended job of a parsed command line and returns the process exit code.
int RunHeadlessUnattended(CommandLineOptions& options, Ui& ui);

}  // namespace logwell
