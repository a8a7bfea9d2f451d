// logwell-cli: the headless program. It takes the same command line as the window program
// (/COM=... /GPS=... /KML_LOG=... and the rest), a single track file name, or --help and
// --version. Exit codes: 0 done, 1 the job failed, 2 the command line was refused.
#include <cstdio>
#include <span>
#include <string_view>

#include "app/command_line.h"
#include "app/headless_program.h"
#include "app/headless_ui.h"
#include "optimise/distance_analysis.h"
#include "track/formats/track_file_types.h"
#include "track/igc/igc_commands.h"
#include "track/statistics.h"

namespace {

using namespace logwell;

// The unattended job of a parsed command line. Instrument jobs run through the access
// framework; a family that is not built yet refuses with "Unsupported access function".
int RunUnattendedJob(CommandLineOptions& options, Ui& ui) {
  if (UnattendedAccessFor(options)) return RunHeadlessUnattended(options, ui);
  switch (options.action) {
    case CommandAction::LogFile:
      ui.ShowErrorBox("Reading track log files is not supported yet", kCommandLineCaption);
      return kExitFailed;
    case CommandAction::CheckKml:
      ui.ShowErrorBox("Checking KML files is not supported yet", kCommandLineCaption);
      return kExitFailed;
    default:
      // A command line with settings but no action has nothing to do headless.
      return kExitOk;
  }
}

int RunCommandLine(std::span<const char* const> arguments) {
  HeadlessUi ui;
  ParseResult parsed = ParseArguments(arguments, ui);
  if (parsed.outcome != ParseOutcome::Go) return ExitCodeFor(parsed.outcome);
  return RunUnattendedJob(*parsed.options, ui);
}

// analyse FILE: the statistics and the best distances of an IGC file, as text.
int Analyse(const char* path) {
  HeadlessUi ui;
  const auto content = igc::ReadIgcFile(path, ui);
  if (!content || content->points.empty()) return kExitFailed;
  const StatisticsTexts t = FormatStatistics(ComputeStatistics(content->points));
  std::printf("Start         %s %s\nEnd           %s %s\nDuration      %s\n", t.startDate.c_str(),
              t.startTime.c_str(), t.endDate.c_str(), t.endTime.c_str(), t.duration.c_str());
  std::printf("Altitude      %s .. %s\nDistance      %s\nSpeed         %s average, %s best 10 s, %s best 60 s\n",
              t.lowestAltitude.c_str(), t.highestAltitude.c_str(), t.distance.c_str(),
              t.averageSpeed.c_str(), t.bestSpeed10.c_str(), t.bestSpeed60.c_str());
  std::printf("Vario 60 s    %s .. %s\n", t.lowestVario60.c_str(), t.highestVario60.c_str());
  DistanceAnalysis analysis;
  if (AnalyseDistances(content->points, analysis) != 0) return kExitFailed;
  std::printf("Free distance            %.1f km\n", analysis.two.total / 1000.0);
  std::printf("Via 1 turnpoint          %.1f km\n", analysis.three.total / 1000.0);
  std::printf("Via 2 turnpoints         %.1f km\n", analysis.four.total / 1000.0);
  std::printf("Via 3 turnpoints         %.1f km\n", analysis.five.total / 1000.0);
  std::printf("Out and return           %.1f km\n", analysis.outAndReturn.result / 1000.0);
  std::printf("Flat triangle            %.1f km\n", analysis.triangle.result / 1000.0);
  std::printf("FAI triangle             %.1f km\n", analysis.fai.result / 1000.0);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::span<const char* const> arguments(argv + 1, static_cast<std::size_t>(argc - 1));
  if (arguments.empty()) {
    std::fputs(CommandLineHelp().c_str(), stderr);
    return kExitBadCommandLine;
  }
  // Verbs for scripting come first; everything else is the instrument command line.
  const std::string_view verb = arguments.front();
  if (verb == "--help" || verb == "-h") {
    std::fputs(CommandLineHelp().c_str(), stdout);
    return kExitOk;
  }
  if (verb == "--version") {
    std::printf("logwell-cli %.*s\n", static_cast<int>(kProgramVersion.size()),
                kProgramVersion.data());
    return kExitOk;
  }
  if (verb == "analyse" && arguments.size() == 2) return Analyse(arguments[1]);
  // convert IN OUT: a track file to another format, chosen by the extensions.
  if (verb == "convert" && arguments.size() == 3) {
    HeadlessUi ui;
    return ConvertTrackFile(arguments[1], arguments[2], ui) == 0 ? kExitOk : kExitFailed;
  }
  return RunCommandLine(arguments);
}
