// logwell-cli: the headless program. It takes the same command line as the window program
// (/COM=... /GPS=... /KML_LOG=... and the rest), a single track file name, a verb (convert,
// flights, analyse) with its arguments, or --help and --version. Exit codes: 0 done, 1 the job
// failed, 2 the command line was refused.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/command_line.h"
#include "app/competition_mode.h"
#include "app/convert.h"
#include "app/gps_table.h"
#include "app/job_runner.h"
#include "base/headless_ui.h"
#include "base/text.h"
#include "app/file_commands.h"
#include "base/version.h"
#include "cli/online_verbs.h"
#include "devices/product_scan.h"

namespace {

using namespace logwell;

bool IsHelp(std::string_view argument) { return argument == "--help" || argument == "-h"; }

// A refused verb line: what is wrong, then the verb's usage, on stderr.
int RefuseVerb(const CliVerb& verb, const std::string& problem) {
  std::fprintf(stderr, "logwell-cli %.*s: %s\n%s", static_cast<int>(verb.name.size()),
               verb.name.data(), problem.c_str(), CliVerbUsage(verb).c_str());
  return kExitBadCommandLine;
}

// `out`: where status and information lines go (stdout, or stderr when stdout carries the
// job's own output).
int RunCommandLine(std::span<const char* const> arguments, std::FILE* out = stdout) {
  HeadlessUi ui(out, stderr);
  CompetitionState competition;
  CommandLineHandlers handlers = kml::KmlCommandLineHandlers();
  handlers.flightListWithoutNotify = true;  // the list is printed on stdout
  AddCompetitionHandlers(handlers, competition);
  ParseResult parsed = ParseArguments(arguments, ui, handlers);
  if (parsed.outcome != ParseOutcome::Go) return ExitCodeFor(parsed.outcome);
  return RunHeadlessJob(*parsed.options, ui, competition);
}

// convert IN OUT [--track N]: a track, waypoint or airspace file to another format, chosen by
// OUT's name. What OUT cannot hold is reported on stderr.
int RunConvert(const CliVerb& verb, std::span<const char* const> arguments) {
  ConvertOptions options;
  std::vector<std::string_view> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--track") {
      if (i + 1 >= arguments.size()) return RefuseVerb(verb, "--track needs a track number");
      const std::string_view number = arguments[++i];
      std::size_t value = 0;
      const auto [end, error] =
          std::from_chars(number.data(), number.data() + number.size(), value);
      if (error != std::errc() || end != number.data() + number.size() || value == 0) {
        return RefuseVerb(verb, "bad track number \"" + std::string(number) + "\"");
      }
      options.track = value;
    } else if (argument.starts_with("-")) {
      return RefuseVerb(verb, "unknown option \"" + std::string(argument) + "\"");
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) return RefuseVerb(verb, "the input and output files are missing");
  if (files.size() == 1) return RefuseVerb(verb, "the output file is missing");
  if (files.size() > 2) {
    return RefuseVerb(verb, "one input and one output file only, \"" + std::string(files[2]) +
                                "\" is one too many");
  }
  HeadlessUi ui;
  std::vector<std::string> notes;
  const int result =
      ConvertAnyFile(std::string(files[0]), std::string(files[1]), options, ui, notes);
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  return result;
}

// One file of a batch: its report, or one JSON line naming the file and what went wrong.
std::string AnalyseOneOfMany(const std::string& file, const kml::AnalyseOptions& options) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* messages = open_memstream(&buffer, &size);
  std::string output;
  int result = -1;
  if (messages != nullptr) {
    HeadlessUi ui(messages, messages, true);
    result = kml::AnalyseTrackFile(file, options, output, ui);
    std::fclose(messages);
  }
  std::string error = buffer != nullptr ? std::string(buffer, size) : "out of memory";
  std::free(buffer);
  if (result == 0) {
    // One object a line: the report's own line breaks go.
    std::erase(output, '\n');
    return output + "\n";
  }
  while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
  return "{\"file\": " + JsonText(file) + ", \"error\": " + JsonText(error) + "}\n";
}

// Scores the files on all cores; prints each file's line as soon as those before it are out.
int AnalyseMany(const std::vector<std::string>& files, kml::AnalyseOptions options) {
  options.threads = 1;  // the files share the cores
  const auto workers = std::max(1u, std::min<unsigned>(std::thread::hardware_concurrency(),
                                                      static_cast<unsigned>(files.size())));
  std::vector<std::optional<std::string>> lines(files.size());
  // The largest files first, so that no long one is left to run alone at the end; the lines
  // still come out in the order given.
  std::vector<std::uintmax_t> sizes(files.size(), 0);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    const auto size = std::filesystem::file_size(files[i], error);
    if (!error) sizes[i] = size;
  }
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  bool allOk = true;
  {
    std::vector<std::jthread> pool;
    for (unsigned w = 0; w < workers; ++w) {
      pool.emplace_back([&] {
        for (std::size_t k = next++; k < files.size(); k = next++) {
          const std::size_t i = order[k];
          std::string line = AnalyseOneOfMany(files[i], options);
          const std::lock_guard lock(mutex);
          lines[i] = std::move(line);
          ready.notify_one();
        }
      });
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return lines[i].has_value(); });
      const std::string line = std::move(*lines[i]);
      lock.unlock();
      if (line.starts_with("{\"file\": ")) allOk = false;
      std::fputs(line.c_str(), stdout);
      std::fflush(stdout);
    }
  }
  return allOk ? kExitOk : kExitFailed;
}

// analyse FILE... [--json] [--filters] [--exact] [--time-limit SECONDS] [--rules NAME] [--geojson]
int RunAnalyse(const CliVerb& verb, std::span<const char* const> arguments) {
  kml::AnalyseOptions options;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--json") {
      options.json = true;
    } else if (argument == "--filters") {
      options.filters = true;
    } else if (argument == "--exact") {
      options.exact = true;
    } else if (argument == "--time-limit") {
      const std::string_view seconds = i + 1 < arguments.size() ? arguments[++i] : "";
      unsigned long value = 0;
      const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
      if (seconds.empty() || error != std::errc() || end != seconds.data() + seconds.size() ||
          value > 86400 * 365) {
        return RefuseVerb(verb, "--time-limit needs a whole number of seconds (0: no limit)");
      }
      options.timeLimit = std::chrono::seconds(value);
    } else if (argument == "--geojson") {
      options.geojson = true;
    } else if (argument == "--rules") {
      if (i + 1 >= arguments.size()) return RefuseVerb(verb, "--rules needs olc, xcontest, ffvl or xcleague");
      options.rules = FindContestRules(arguments[++i]);
      if (!options.rules) {
        return RefuseVerb(verb, "unknown rules \"" + std::string(arguments[i]) +
                                    "\"; the rules are olc, xcontest, ffvl and xcleague");
      }
    } else if (argument.starts_with("-")) {
      return RefuseVerb(verb, "unknown option \"" + std::string(argument) + "\"");
    } else {
      files.emplace_back(argument);
    }
  }
  if (files.empty()) return RefuseVerb(verb, "the track file is missing");
  if (files.size() > 1) {
    if (!options.json) return RefuseVerb(verb, "several files need --json");
    if (options.geojson) return RefuseVerb(verb, "--geojson takes one file only");
    return AnalyseMany(files, options);
  }
  // stdout carries the report alone (a script parses the JSON); notices go to stderr.
  HeadlessUi ui(stderr, stderr);
  std::string output;
  if (kml::AnalyseTrackFile(files.front(), options, output, ui) != 0) return kExitFailed;
  std::fputs(output.c_str(), stdout);
  return kExitOk;
}

// flights /COM=PORT /GPS=NAME [OPTION...]: the instrument's flight list on stdout.
int RunFlights(const CliVerb& verb, std::span<const char* const> arguments) {
  if (arguments.empty()) return RefuseVerb(verb, "the instrument's port and type are missing");
  std::vector<const char*> line(arguments.begin(), arguments.end());
  for (const char* option : {"/FLIGHTLIST", "/EXIT", "/WIN=0"}) line.push_back(option);
  return RunCommandLine(line, stderr);  // stdout holds the list only
}

// pilots LIST: the pilot list as CSV on stdout.
int RunPilots(const CliVerb& verb, std::span<const char* const> arguments) {
  if (arguments.empty()) return RefuseVerb(verb, "the pilot list file is missing");
  if (arguments.size() > 1) {
    return RefuseVerb(verb, "one file only, \"" + std::string(arguments[1]) + "\" is one too many");
  }
  HeadlessUi ui;
  const auto pilots = ReadPilotListFile(arguments[0], ui);
  if (!pilots) return kExitFailed;
  std::fputs(WritePilotListCsv(*pilots).c_str(), stdout);
  return kExitOk;
}

// scan [--json] [PORT...]: the instrument behind each port, one line a port on stdout.
// The GPS name whose track log read the family of a scan finding answers (the first in the
// table), or nothing when the table has none for it.
std::optional<std::string_view> GpsNameForFamily(std::string_view familyName) {
  for (const InstrumentFamily& family : InstrumentFamilies()) {
    if (family.name != familyName) continue;
    for (const GpsTypeEntry& entry : kGpsTypes) {
      if (entry.trackLogRead && std::ranges::find(family.protocols, entry.trackLogRead->protocol) !=
                                    family.protocols.end()) {
        return entry.name;
      }
    }
  }
  return std::nullopt;
}

int RunScan(const CliVerb& verb, std::span<const char* const> arguments) {
  bool json = false;
  std::vector<std::string> ports;
  for (const std::string_view argument : arguments) {
    if (argument == "--json") {
      json = true;
    } else if (argument.starts_with("-")) {
      return RefuseVerb(verb, "unknown option \"" + std::string(argument) + "\"");
    } else {
      ports.emplace_back(argument);
    }
  }
  if (ports.empty()) ports = CandidateScanPorts();
  if (ports.empty()) {
    std::fputs("logwell-cli scan: no serial port found\n", stderr);
    return kExitFailed;
  }
  bool found = false;
  for (const ScanFinding& finding : ScanPorts(ports)) {
    found |= !finding.family.empty();
    std::string line = json ? ScanFindingJson(finding) : ScanFindingLine(finding);
    // The GPS name that reads the family found, for scripts that go on to read the port.
    const auto gps = GpsNameForFamily(finding.family);
    if (json && gps) line.insert(line.size() - 1, ",\"gps\":\"" + std::string(*gps) + "\"");
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  return found ? kExitOk : kExitFailed;
}

// A first word that is neither an option ("/..."), a verb nor a file: "-o", or "convrt" (a
// file name without extension cannot be opened either).
bool IsUnknownWord(std::string_view word) {
  std::error_code ignored;
  if (word.empty() || word.front() == '/' || word.front() == '"' ||
      std::filesystem::exists(std::string(word), ignored)) {
    return false;
  }
  return word.front() == '-' || word.find_first_of("./") == std::string_view::npos;
}

}  // namespace

int main(int argc, char** argv) {
  const std::span<const char* const> arguments(argv + 1, static_cast<std::size_t>(argc - 1));
  if (arguments.empty()) {
    std::fputs(CommandLineHelp().c_str(), stderr);
    return kExitBadCommandLine;
  }
  // Verbs for scripting come first; everything else is the instrument command line.
  const std::string_view first = arguments.front();
  if (IsHelp(first)) {
    std::fputs(CommandLineHelp().c_str(), stdout);
    return kExitOk;
  }
  if (first == "--version") {
    std::printf("logwell-cli %.*s\n", static_cast<int>(kProgramVersion.size()),
                kProgramVersion.data());
    return kExitOk;
  }
  if (const CliVerb* verb = FindCliVerb(first)) {
    const auto rest = arguments.subspan(1);
    if (rest.size() == 1 && IsHelp(rest[0])) {
      std::fputs(CliVerbUsage(*verb).c_str(), stdout);
      return kExitOk;
    }
    if (verb->name == "convert") return RunConvert(*verb, rest);
    if (verb->name == "flights") return RunFlights(*verb, rest);
    if (verb->name == "pilots") return RunPilots(*verb, rest);
    if (verb->name == "upload") return cli::RunUpload(*verb, rest);
    if (verb->name == "validate") return cli::RunValidate(*verb, rest);
    if (verb->name == "ftp-send") return cli::RunFtpSend(*verb, rest);
    if (verb->name == "scan") return RunScan(*verb, rest);
    return RunAnalyse(*verb, rest);
  }
  if (IsUnknownWord(first)) {
    std::string verbs;
    for (const CliVerb& verb : CliVerbs()) {
      verbs.append(verbs.empty() ? "" : ", ").append(verb.name);
    }
    std::fprintf(stderr,
                 "logwell-cli: unknown %s \"%s\"; the verbs are %s; options begin with \"/\" "
                 "(see logwell-cli --help)\n",
                 first.front() == '-' ? "option" : "verb", arguments.front(), verbs.c_str());
    return kExitBadCommandLine;
  }
  return RunCommandLine(arguments);
}
