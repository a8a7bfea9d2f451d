#pragma once
// The command-line jobs of the KML files and the scripting verbs of logwell-cli:
//   IGC2KML (action 8), DAT2KML (action 9), WPTSRC/WPTDEST (action 18), CHKKML (action 16), LOGFILE (action 10) for every track file type,
//   KML_LOG (action 1, the unattended save), `convert IN OUT` and `analyse FILE`.
#include <filesystem>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "optimise/contest_rules.h"
#include "track/track_takeover.h"

namespace logwell {
class Ui;
class TrackLog;
}  // namespace logwell

namespace logwell::kml {

// Plugs the KML and IGC readers into the track file table, so that opening, LOGFILE and
// `convert` read them like every other track file. Safe to call more than once.
void RegisterKmlAndIgcReaders();

// The handlers of the conversions that run while the command line is parsed.
CommandLineHandlers KmlCommandLineHandlers();

// IGC2KML: FILE.igc becomes FILE.kml; a ".kml" name goes the other way. True on success.
bool ConvertFromCommandLine(const CommandLineOptions& options, Ui& ui);

// DAT2KML: FILE.dat (named with or without its extension) becomes FILE.kml. True on success.
bool ConvertDatFromCommandLine(const CommandLineOptions& options, Ui& ui);

// CHKKML: reads the KML file; the exit code is 0 when its signature is confirmed, else 1.
int CheckKmlFile(const std::filesystem::path& path, Ui& ui);

// LOGFILE: opens the command line's track file by its extension into the track log.
int ReadCommandLineTrackFile(TrackLog& log, const CommandLineOptions& options, Ui& ui);

// KML_LOG: the unattended save of a downloaded track log as FILE.kml.
int SaveCommandLineKml(const TrackLog& log, const CommandLineOptions& options, Ui& ui);

// `logwell-cli convert IN OUT`: every position read, no filter; the output format by OUT's
// extension (.kml, .igc and the other track formats). Returns 0 or -1 after one message.
// An IGC file converted to IGC is copied record for record (its own headers, no new download
// line). `content`, when given, is IN already read whole: the file is then not read again.
int ConvertAnyTrackFile(const std::filesystem::path& in, const std::filesystem::path& out,
                        Ui& ui, std::optional<std::string> content = std::nullopt);

// Writes one track in the format of OUT's extension: .igc, .kml or a type of the save table.
// Returns 0 or -1 after one message.
int WriteTrackByExtension(const std::filesystem::path& out, FileReadResult read, Ui& ui);

struct AnalyseOptions {
  bool json = false;
  bool filters = false;  // the vario filter and speed analysis of the statistics dialog
  std::uint32_t loopGap = 800;
  bool exact = false;                  // adds the exact optimum (by `rules`, OLC when not given)
  std::optional<ContestRules> rules;   // scores by a contest's definitions (implies exact)
  bool geojson = false;                // the claim as GeoJSON instead of the report
  int threads = 2;                     // for the triangle searches
  // The exact optimiser stops after this long with the best it has found, which is then
  // reported as not proven; zero lets it run to the proof.
  std::chrono::seconds timeLimit{60};
};

// `logwell-cli analyse FILE`: the flight statistics, the seven distances and the three OLC
// results, as text for people or one JSON object. Returns 0 or -1 after one message.
// Reads any track file of the open table (by its extension); nothing after one message.
std::optional<FileReadResult> ReadAnyTrackFile(const std::filesystem::path& path, Ui& ui);

int AnalyseTrackFile(const std::filesystem::path& path, const AnalyseOptions& options,
                     std::string& output, Ui& ui);

}  // namespace logwell::kml
