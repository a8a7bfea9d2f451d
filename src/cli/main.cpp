// logwell-cli: the headless program. It takes the same command line as the window program
// (/COM=... /GPS=... /KML_LOG=... and the rest), a single track file name, or --help and
// --version. Exit codes: 0 done, 1 the job failed, 2 the command line was refused.
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>
#include <span>
#include <string_view>

#include "app/command_line.h"
#include "app/convert.h"
#include "app/job_runner.h"
#include "base/headless_ui.h"
#include "app/file_commands.h"
#include "base/version.h"

namespace {

using namespace logwell;

int RunCommandLine(std::span<const char* const> arguments) {
  HeadlessUi ui;
  ParseResult parsed = ParseArguments(arguments, ui, kml::KmlCommandLineHandlers());
  if (parsed.outcome != ParseOutcome::Go) return ExitCodeFor(parsed.outcome);
  return RunHeadlessJob(*parsed.options, ui);
}

// analyse FILE [--json] [--filters]
int RunAnalyse(std::span<const char* const> arguments) {
  kml::AnalyseOptions options;
  const char* file = nullptr;
  for (const std::string_view argument : arguments) {
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--filters") {
      options.filters = true;
    } else if (file == nullptr && !argument.starts_with("--")) {
      file = argument.data();
    } else {
      file = nullptr;
      break;
    }
  }
  if (file == nullptr) {
    std::fputs("usage: logwell-cli analyse FILE [--json] [--filters]\n", stderr);
    return kExitBadCommandLine;
  }
  HeadlessUi ui;
  std::string output;
  if (kml::AnalyseTrackFile(file, options, output, ui) != 0) return kExitFailed;
  std::fputs(output.c_str(), stdout);
  return kExitOk;
}

// convert IN OUT [--track N]
int RunConvert(std::span<const char* const> arguments) {
  ConvertOptions options;
  std::vector<std::string_view> files;
  bool bad = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--track" && i + 1 < arguments.size() && !options.track) {
      const std::string_view number = arguments[++i];
      std::size_t value = 0;
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (error != std::errc() || end != number.data() + number.size() || value == 0) bad = true;
      options.track = value;
    } else if (argument.starts_with("--")) {
      bad = true;
    } else {
      files.push_back(argument);
    }
  }
  if (bad || files.size() != 2) {
    std::fputs("usage: logwell-cli convert IN OUT [--track N]\n", stderr);
    return kExitBadCommandLine;
  }
  HeadlessUi ui;
  std::vector<std::string> notes;
  const int result = ConvertAnyFile(std::string(files[0]), std::string(files[1]), options, ui, notes);
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  return result;
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
  // convert IN OUT [--track N]: a track, waypoint or airspace file to another format, chosen by
  // OUT's name. What OUT cannot hold is reported on stderr.
  if (verb == "convert") return RunConvert(arguments.subspan(1));
  if (verb == "analyse") return RunAnalyse(arguments.subspan(1));
  return RunCommandLine(arguments);
}
