#include "app/file_commands.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <optional>
#include <vector>

#include "base/ui.h"
#include "geo/units.h"
#include "optimise/olc.h"
#include "track/filters.h"
#include "track/formats/dat_track.h"
#include "track/formats/format_text.h"
#include "track/formats/kml_track.h"
#include "track/formats/track_file_types.h"
#include "base/atomic_file.h"
#include "track/igc/igc_commands.h"
#include "track/igc/igc_reader.h"
#include "track/igc/igc_writer.h"
#include "kml/kml_convert.h"
#include "kml/kml_reader.h"
#include "kml/kml_save.h"
#include "track/statistics.h"
#include "waypoints/waypoint_files.h"
#include "base/text.h"
#include "track/track_log.h"

namespace logwell::kml {
namespace {

using formats::AppendFormat;

// KML of other programs (no track of this program's own, with its `FsInfo`): the tracks of
// its placemarks, `gx:Track` and timed `LineString` alike, one after the other as segments.
// Such files need no XML declaration. What the reader left out is said on the status line.
std::optional<FileReadResult> ReadOtherKmlFile(std::string_view text, Ui& ui) {
  std::string error;
  std::optional<OtherKmlRead> other = ReadOtherKmlTracks(text, error);
  if (!other) {
    ui.ShowErrorBox(error, kKmlReadCaption);
    return std::nullopt;
  }
  for (const std::string& note : other->notes) ui.ShowStatus(note);
  FileReadResult result;
  for (OtherKmlTrack& track : other->tracks) {
    if (track.points.empty()) continue;
    track.points.front().segmentStart |= 1u;
    result.points.insert(result.points.end(), track.points.begin(), track.points.end());
  }
  result.timeIsUtc = 1;  // KML times are UTC
  return result;
}

std::optional<FileReadResult> ReadKmlFile(std::string_view text, Ui& ui) {
  if (text.find("<FsInfo") == std::string_view::npos) return ReadOtherKmlFile(text, ui);
  std::optional<KmlReadResult> read = ReadKmlTrack(text, ui);
  if (!read) return std::nullopt;
  FileReadResult result;
  result.points = std::move(read->points);
  result.timeIsUtc = read->timeIsUtc;
  result.altitudeFlag = read->altitudeFlag;
  result.signatureOk = read->signState == SignState::FileSignatureOk;
  return result;
}

// A file of several flights (several A records) offers them in the Track List, as a KML file
// of several tracks does; a run without a user takes the first.
std::optional<FileReadResult> ReadIgcTrack(std::string_view text, Ui& ui) {
  std::optional<igc::ChosenIgcFlight> chosen = igc::ChooseIgcFlight(text, ui);
  if (!chosen) return std::nullopt;
  FileReadResult result;
  result.points = std::move(chosen->flight.points);
  result.timeIsUtc = 1;  // IGC fixes are UTC
  result.altitudeFlag = 1;
  result.warning = std::move(chosen->warning);
  return result;
}

int WriteIgcFile(const std::filesystem::path& out, const FileReadResult& read, Ui& ui) {
  igc::IgcEncodeInput input;
  input.points = read.points;
  input.downloadTime = CurrentUtcCalendar();
  input.loggerSerial = "000";
  const std::optional<igc::IgcEncodeResult> encoded = igc::EncodeIgc(input);
  if (!encoded) {
    ui.ShowErrorBox("Memory allocation error", "Save IGC log");
    return -1;
  }
  if (const int error = WriteFileAtomically(out, encoded->text, WriteMode::Replace)) {
    ui.ShowErrorBox("File write error: " + std::generic_category().message(error), "Save IGC log");
    return -1;
  }
  return 0;
}

}  // namespace

namespace {

// ReadAnyTrackFile, from `content` when the file has been read already.
std::optional<FileReadResult> ReadAnyTrackContent(const std::filesystem::path& path, Ui& ui,
                                                  std::optional<std::string> content) {
  RegisterKmlAndIgcReaders();
  const TrackFileType* type = FindTrackFileTypeByName(OpenTrackFileTypes(), path);
  if (type == nullptr) {
    ui.ShowErrorBox("File contains invalid extension", "Read track log");
    return std::nullopt;
  }
  if (content) return ReadTrackLogContent(std::move(*content), type->code, ui);
  return ReadTrackLogFile(path, type->code, ui);
}

}  // namespace

std::optional<FileReadResult> ReadAnyTrackFile(const std::filesystem::path& path, Ui& ui) {
  return ReadAnyTrackContent(path, ui, std::nullopt);
}


void RegisterKmlAndIgcReaders() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterTrackFileReader(TrackFileCode::Kml, ReadKmlFile);
    RegisterTrackFileReader(TrackFileCode::Igc, ReadIgcTrack);
  });
}

CommandLineHandlers KmlCommandLineHandlers() {
  CommandLineHandlers handlers;
  handlers.convertIgcToKml = ConvertFromCommandLine;
  handlers.convertDatToKml = ConvertDatFromCommandLine;
  handlers.convertWaypointFile = [](const CommandLineOptions& options, Ui& ui) {
    return ConvertWaypointFile(options.fileName, options.secondFileName, ui) >= 0;
  };
  return handlers;
}

bool ConvertDatFromCommandLine(const CommandLineOptions& options, Ui& ui) {
  // The file is named without its extension; a name given with it is taken as well.
  std::string name = options.fileName;
  if (LowerExtension(name) == ".dat") name.resize(name.size() - 4);
  std::optional<FileReadResult> read = ReadDatLogFile(name, ui);
  if (!read) return false;
  return WriteTrackByExtension(name + ".kml", std::move(*read), ui) == 0;
}

bool ConvertFromCommandLine(const CommandLineOptions& options, Ui& ui) {
  const std::filesystem::path file = options.fileName;
  const ConversionDirection direction = LowerExtension(file) == ".kml"
                                            ? ConversionDirection::KmlToIgc
                                            : ConversionDirection::IgcToKml;
  BatchOptions batch;
  batch.afterRead = batch.betweenFiles = std::chrono::milliseconds(0);
  const std::vector<std::filesystem::path> files{file};
  return ConvertFiles(direction, files, ui, batch) == 1;
}

int CheckKmlFile(const std::filesystem::path& path, Ui& ui) {
  const ReadFileResult read = ReadWholeFile(path);
  if (read.status == ReadStatus::TooLarge) {
    ui.ShowFileError(FileTooLargeText(read.size), kKmlReadCaption, path.string());
    return kExitFailed;
  }
  if (read.status != ReadStatus::Ok) {
    ui.ShowErrorBox("File open error", kKmlReadCaption);
    return kExitFailed;
  }
  const std::optional<KmlReadResult> track = ReadKmlTrack(read.bytes, ui);
  if (!track || track->signState != SignState::FileSignatureOk) {
    ui.ShowStatus(kKmlSignatureNotConfirmed);
    return kExitFailed;
  }
  ui.ShowStatus(kKmlSignatureConfirmed);
  return kExitOk;
}

int ReadCommandLineTrackFile(TrackLog& log, const CommandLineOptions& options, Ui& ui) {
  const std::filesystem::path path = options.fileName;
  if (!path.has_extension()) {
    ui.ShowErrorBox("Missing track log file extension", "Parsing command line");
    return -1;
  }
  if (FindTrackFileTypeByName(OpenTrackFileTypes(), path) == nullptr) {
    ui.ShowErrorBox("Unsupported track log file extension", "Parsing command line");
    return -1;
  }
  std::optional<FileReadResult> read = ReadAnyTrackFile(path, ui);
  if (!read) return -1;
  const FileTakeOver taken = TakeOverFile(log, std::move(*read), ui);
  return taken == FileTakeOver::Replaced || taken == FileTakeOver::Appended ? 0 : -1;
}

int SaveCommandLineKml(const TrackLog& log, const CommandLineOptions& options, Ui& ui) {
  GoogleEarthFileRequest request = GoogleEarthRequestFor(log);
  request.logFileName = options.fileName;
  request.overwrite = options.overwrite;
  return WriteGoogleEarthFile(std::move(request), ui);
}

int WriteTrackByExtension(const std::filesystem::path& out, FileReadResult read, Ui& ui) {
  const std::string to = LowerExtension(out);
  if (to == ".igc") return WriteIgcFile(out, read, ui);
  if (to == ".kml") {
    GoogleEarthFileRequest request;
    request.points = std::move(read.points);
    request.timesAreUtc = read.timeIsUtc != 0;
    request.withPressureAltitude = read.altitudeFlag != 0;
    request.chosenFile = out;
    return WriteGoogleEarthFile(std::move(request), ui);
  }
  const TrackFileType* type = FindTrackFileTypeByName(SaveTrackFileTypes(), out);
  if (type == nullptr) {
    ui.ShowErrorBox("File contains invalid extension", "Convert track log");
    return -1;
  }
  return SaveTrackLogFile(out, type->code, std::move(read.points), ui, {}, VarioFilterFunction{}) > 0
             ? 0
             : -1;
}

int ConvertAnyTrackFile(const std::filesystem::path& in, const std::filesystem::path& out,
                        Ui& ui, std::optional<std::string> content) {
  const std::string to = LowerExtension(out);
  if (to != ".kml" && to != ".igc") {
    RegisterKmlAndIgcReaders();
    return ConvertTrackFile(in, out, ui, {}, std::move(content));
  }
  if (to == ".igc" && LowerExtension(in) == ".igc") {
    // IGC to IGC: the file's own records, headers and security record included, unchanged.
    ReadFileResult file;
    if (content) {
      file.bytes = std::move(*content);
    } else {
      file = ReadWholeFile(in);
    }
    if (file.status == ReadStatus::TooLarge) {
      ui.ShowFileError(FileTooLargeText(file.size), "Read track log", in.string());
      return -1;
    }
    if (file.status != ReadStatus::Ok) {
      ui.ShowErrorBox("Error opening track log file", "Read track log");
      return -1;
    }
    const igc::IgcDecodeResult decoded = igc::DecodeIgcText(file.bytes);
    if (!decoded.Ok()) {
      ui.ShowErrorBox(decoded.error, "Reading IGC log file");
      return -1;
    }
    if (const int error = WriteFileAtomically(out, file.bytes, WriteMode::Replace)) {
      ui.ShowErrorBox("File write error: " + std::generic_category().message(error),
                      "Save IGC log");
      return -1;
    }
    return 0;
  }
  std::optional<FileReadResult> read = ReadAnyTrackContent(in, ui, std::move(content));
  if (!read) return -1;
  return WriteTrackByExtension(out, std::move(*read), ui);
}

// ---- analyse -------------------------------------------------------------------------------

namespace {

class QuietOlcView final : public OlcView {
 public:
  void ShowStatus(std::string_view) override {}
  void ShowKind(OlcKind, const OlcKindResult&) override {}
  void ShowResult(std::string_view) override {}
};

std::string IsoText(GarminTime time, bool utc) {
  const CalendarTime t = GarminTimeToCalendar(time);
  return FormatText("%d-%02d-%02dT%02d:%02d:%02d%s", t.year, t.month, t.day, t.hour, t.minute,
                    t.second, utc ? "Z" : "");
}

std::string IndexList(const std::vector<std::size_t>& indices) {
  std::string text = "[";
  for (std::size_t i = 0; i < indices.size(); ++i) {
    AppendFormat(text, i == 0 ? "%zu" : ", %zu", indices[i]);
  }
  return text + "]";
}

struct NamedDistance {
  const char* key;
  const char* label;
  double metres;
  std::vector<std::size_t> indices;
};

std::vector<NamedDistance> Distances(const DistanceAnalysis& a) {
  const auto v = [](const auto& array) { return std::vector<std::size_t>(array.begin(), array.end()); };
  return {
      {"two_point", "Greatest distance (2 points)", a.two.total, v(a.two.points)},
      {"three_point", "Greatest distance (3 points)", a.three.total, v(a.three.points)},
      {"four_point", "Greatest distance (4 points)", a.four.total, v(a.four.points)},
      {"five_point", "Greatest distance (5 points)", a.five.total, v(a.five.points)},
      {"out_and_return", "Out-and-return distance", a.outAndReturn.result,
       {a.outAndReturn.start, a.outAndReturn.turn, a.outAndReturn.end}},
      {"flat_triangle", "Flat triangle", a.triangle.result, v(a.triangle.points)},
      {"fai_triangle", "FAI triangle", a.fai.result, v(a.fai.points)},
  };
}

std::string FixesJson(const std::vector<TrackPoint>& points, const std::vector<std::size_t>& indices,
                      bool utc) {
  std::string text = "[";
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const TrackPoint& p = points[indices[i]];
    AppendFormat(text, "%s{\"time\": \"%s\", \"latitude\": %.7f, \"longitude\": %.7f}",
                 i == 0 ? "" : ", ", IsoText(p.time, utc).c_str(), SemicirclesToDegrees(p.latitude),
                 SemicirclesToDegrees(p.longitude));
  }
  return text + "]";
}

std::vector<std::size_t> ScoredFixes(const ContestResult& result) {
  // A triangle's fixes: start, the three corners, finish.
  return {result.exact.points.begin(), result.exact.points.end()};
}

std::string ContestJson(const std::vector<TrackPoint>& points, const ContestScoring& scoring,
                        ContestRules rules, bool utc) {
  std::string o;
  const std::string_view name = ContestRulesKey(rules);
  AppendFormat(o, "{\"rules\": \"%.*s\", ", static_cast<int>(name.size()), name.data());
  for (const ContestResult& r : scoring.kinds) {
    AppendFormat(o, "\"%.*s\": {\"km\": %.3f, \"score\": %.2f, \"proven\": %s",
                 static_cast<int>(r.kind->key.size()), r.kind->key.data(), r.exact.distance / 1000.0,
                 r.score, r.exact.proven ? "true" : "false");
    if (r.exact.belowFloor) o += ", \"below_claim\": true";
    if (r.exact.found) {
      if (r.kind->rules.kind != ExactKind::FreeDistance) {
        AppendFormat(o, ", \"closing_km\": %.3f", r.exact.closing / 1000.0);
      }
      // Appended whole: a formatted piece is cut at 256 bytes.
      o += ", \"indices\": " + IndexList(ScoredFixes(r)) + ", \"fixes\": " + FixesJson(points, ScoredFixes(r), utc);
    }
    o += "}, ";
  }
  if (scoring.best >= 0) {
    const ContestResult& b = scoring.kinds[static_cast<std::size_t>(scoring.best)];
    AppendFormat(o, "\"best\": {\"type\": \"%.*s\", \"km\": %.3f, \"score\": %.2f}}",
                 static_cast<int>(b.kind->key.size()), b.kind->key.data(), b.exact.distance / 1000.0,
                 b.score);
  } else {
    o += "\"best\": null}";
  }
  return o;
}

// The claim as a GeoJSON feature collection: the scored fixes as a line, each as a point.
std::string ContestGeoJson(const std::vector<TrackPoint>& points, const ContestScoring& scoring,
                           bool utc) {
  std::string o = "{\"type\": \"FeatureCollection\", \"features\": [";
  if (scoring.best >= 0) {
    const ContestResult& b = scoring.kinds[static_cast<std::size_t>(scoring.best)];
    const std::vector<std::size_t> fixes = ScoredFixes(b);
    std::vector<std::size_t> line = fixes;
    if (b.kind->rules.kind != ExactKind::FreeDistance) line = {fixes[1], fixes[2], fixes[3], fixes[1]};
    o += "{\"type\": \"Feature\", \"geometry\": {\"type\": \"LineString\", \"coordinates\": [";
    for (std::size_t i = 0; i < line.size(); ++i) {
      const TrackPoint& p = points[line[i]];
      AppendFormat(o, "%s[%.7f, %.7f]", i == 0 ? "" : ", ", SemicirclesToDegrees(p.longitude),
                   SemicirclesToDegrees(p.latitude));
    }
    AppendFormat(o, "]}, \"properties\": {\"type\": \"%.*s\", \"km\": %.3f, \"score\": %.2f, "
                    "\"proven\": %s}}",
                 static_cast<int>(b.kind->key.size()), b.kind->key.data(), b.exact.distance / 1000.0,
                 b.score, b.exact.proven ? "true" : "false");
    for (std::size_t i = 0; i < fixes.size(); ++i) {
      const TrackPoint& p = points[fixes[i]];
      AppendFormat(o, ", {\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", "
                      "\"coordinates\": [%.7f, %.7f]}, \"properties\": {\"index\": %zu, \"time\": \"%s\"}}",
                   SemicirclesToDegrees(p.longitude), SemicirclesToDegrees(p.latitude), fixes[i],
                   IsoText(p.time, utc).c_str());
    }
  }
  return o + "]}\n";
}

// The claim of the chosen rules, which the report gives first: {"rules": ..., "text": ...}.
std::string ClaimJson(const ContestClaim& claim) {
  const std::string_view key = ContestRulesKey(claim.rules);
  std::string o;
  AppendFormat(o, "{\"rules\": \"%.*s\", ", static_cast<int>(key.size()), key.data());
  if (const ContestResult* best = claim.Best()) {
    AppendFormat(o, "\"type\": \"%.*s\", \"km\": %.3f, \"score\": %.2f, ",
                 static_cast<int>(best->kind->key.size()), best->kind->key.data(),
                 best->exact.distance / 1000.0, best->score);
  } else {
    o += "\"type\": null, ";
  }
  return o + "\"text\": " + JsonText(ClaimText(claim)) + "}";
}

const char* BestName(OlcBest best) {
  switch (best) {
    case OlcBest::FreeTriangle: return "free triangle";
    case OlcBest::FaiTriangle: return "FAI triangle";
    default: return "free distance";
  }
}

// The report's opening: the fix count and the statistics object, left open for more members.
void AppendStatisticsJson(std::string& o, std::size_t count, const FlightStatistics& s, bool utc) {
  AppendFormat(o, "{\"points\": %zu,\n \"statistics\": {", count);
  AppendFormat(o, "\"start\": \"%s\", \"end\": \"%s\", \"duration_s\": %lld, ",
               IsoText(s.startTime, utc).c_str(), IsoText(s.endTime, utc).c_str(),
               static_cast<long long>(s.durationSeconds));
  AppendFormat(o, "\"min_altitude_m\": %d, \"max_altitude_m\": %d, ", s.lowestAltitude, s.highestAltitude);
  AppendFormat(o, "\"distance_km\": %.3f, \"average_speed_kmh\": %.2f, ", s.totalDistance / 1000.0,
               s.averageSpeed);
  AppendFormat(o, "\"best_speed_10s_kmh\": %.2f, \"best_speed_60s_kmh\": %.2f, ", s.bestSpeed10, s.bestSpeed60);
  AppendFormat(o, "\"min_climb_60s_ms\": %.2f, \"max_climb_60s_ms\": %.2f, \"altitude_fixes_left_out\": %zu}",
               s.lowestVario60, s.highestVario60, s.leftOutFixes);
}

void AppendStatisticsText(std::string& o, std::size_t count, const FlightStatistics& s) {
  const StatisticsTexts texts = FormatStatistics(s);
  AppendFormat(o, "Positions            %zu\n", count);
  o += "Date                 " + texts.startDate + "\n";
  o += "Start/finish         " + texts.startTime + " - " + texts.endTime + "\n";
  o += "Duration             " + texts.duration + "\n";
  o += "Max./min. height     " + texts.highestAltitude + " / " + texts.lowestAltitude + "\n";
  o += "Distance flown       " + texts.distance + "\n";
  o += "Average speed        " + texts.averageSpeed + "\n";
  o += "Best speed 10s/60s   " + texts.bestSpeed10 + " / " + texts.bestSpeed60 + "\n";
  o += "Climb 60s max/min    " + texts.highestVario60 + " / " + texts.lowestVario60 + "\n";
  if (!texts.leftOut.empty()) o += "Left out (alt/climb) " + texts.leftOut + "\n";
}

void AppendContestText(std::string& o, const ContestScoring& contest, ContestRules rules) {
  const std::string_view name = ContestRulesKey(rules);
  AppendFormat(o, "\nExact optimum (%.*s rules)\n", static_cast<int>(name.size()), name.data());
  for (const ContestResult& r : contest.kinds) {
    const char* state = r.exact.proven ? "proven" : r.exact.belowFloor ? "below the claim" : "best found";
    AppendFormat(o, "  %-30.*s %8.2f km  %8.2f points  %s  points %s\n",
                 static_cast<int>(r.kind->label.size()), r.kind->label.data(), r.exact.distance / 1000.0,
                 r.score, state, r.exact.found ? IndexList(ScoredFixes(r)).c_str() : "[]");
  }
  if (contest.best >= 0) {
    const ContestResult& b = contest.kinds[static_cast<std::size_t>(contest.best)];
    AppendFormat(o, "  Best claim is %.*s with %.2f points\n", static_cast<int>(b.kind->label.size()),
                 b.kind->label.data(), b.score);
  }
}

}  // namespace

int AnalyseTrackFile(const std::filesystem::path& path, const AnalyseOptions& options,
                     std::string& output, Ui& ui) {
  std::optional<FileReadResult> read = ReadAnyTrackFile(path, ui);
  if (!read) return -1;
  std::vector<TrackPoint> points = std::move(read->points);
  if (options.filters) {
    std::optional<std::vector<TrackPoint>> kept =
        PrepareStatisticsPositions(std::move(points), FilterSettings{}, ui);
    if (!kept) return -1;
    points = std::move(*kept);
  }
  if (points.size() < kMinKmlPositions) {
    ui.ShowErrorBox("Number of positions must be 5 or more", "Analysing track");
    return -1;
  }
  const FlightStatistics s = ComputeStatistics(points);
  const bool utc = read->timeIsUtc != 0;
  const ContestRules rules = options.rules.value_or(ContestRules::Olc);
  std::string& o = output;
  if (options.exact || options.rules || options.geojson) {
    // The proven optimum replaces the thinned searches. Named rules score the claim: a kind
    // that cannot beat it is not proven further.
    // A track can be made to keep the search busy for hours: after the time limit it stops with
    // the best found so far, which the report marks as not proven.
    std::atomic<bool> halt{false};
    ExactOptions exactOptions;
    exactOptions.halt = &halt;
    std::optional<std::jthread> timer;
    if (options.timeLimit.count() > 0) {
      timer.emplace([&halt, limit = options.timeLimit](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        if (!wake.wait_for(lock, stop, limit, [] { return false; })) halt = true;
      });
    }
    const ContestScoring contest = ScoreContest(points, rules, {}, exactOptions,
                                                options.rules ? ContestScope::Claim : ContestScope::EveryKind);
    timer.reset();  // stops the timer once the search is over
    if (halt) {
      ui.ShowStatus(FormatText("Time limit of %lld s reached: the best found is given, not proven",
                               static_cast<long long>(options.timeLimit.count())));
    }
    const ContestClaim claim{rules, contest};
    if (options.geojson) {
      output = ContestGeoJson(points, contest, utc);
    } else if (options.json) {
      AppendStatisticsJson(o, points.size(), s, utc);
      o += ",\n \"claim\": " + ClaimJson(claim);
      o += ",\n \"contest\": " + ContestJson(points, contest, rules, utc) + "}\n";
    } else {
      o += ClaimText(claim) + "\n\n";
      AppendStatisticsText(o, points.size(), s);
      AppendContestText(o, contest, rules);
    }
    return 0;
  }
  // Without --exact the report still opens with the claim of the contest pilots score by.
  const ContestClaim claim = ScoreClaim(points, kDefaultContestRules);

  DistanceAnalysis analysis;
  AnalysisOptions analysisOptions;
  analysisOptions.loopGap = options.loopGap;
  analysisOptions.threads = options.threads;
  // The distance analysis does not depend on the OLC search: with more than one thread the two
  // run side by side.
  int analysed = 0;
  QuietOlcView view;
  OlcComputation olc(points, OlcSource{}, view);
  {
    std::jthread beside;
    if (options.threads > 1) {
      beside = std::jthread([&] { analysed = AnalyseDistances(points, analysis, analysisOptions); });
    } else {
      analysed = AnalyseDistances(points, analysis, analysisOptions);
    }
    olc.Run();
  }
  if (analysed != 0) {
    ui.ShowErrorBox("Memory allocation error", "Analysing track");
    return -1;
  }
  const std::vector<NamedDistance> distances = Distances(analysis);
  struct OlcLine { const char* key; const char* label; OlcKind kind; double points; };
  const OlcScores& scores = olc.Scores();
  const std::array<OlcLine, 3> olcLines{{
      {"free_distance", "Free distance", OlcKind::FreeDistance, scores.freeDistance},
      {"free_triangle", "Free triangle", OlcKind::FreeTriangle, scores.freeTriangle},
      {"fai_triangle", "FAI triangle", OlcKind::FaiTriangle, scores.faiTriangle},
  }};
  if (options.json) {
    AppendStatisticsJson(o, points.size(), s, utc);
    o += ",\n \"claim\": " + ClaimJson(claim);
    o += ",\n \"distances\": {";
    for (std::size_t i = 0; i < distances.size(); ++i) {
      AppendFormat(o, "%s\"%s\": {\"km\": %.3f, \"indices\": %s}", i == 0 ? "" : ", ",
                   distances[i].key, distances[i].metres / 1000.0,
                   IndexList(distances[i].indices).c_str());
    }
    o.append("},\n \"olc\": {");
    for (const OlcLine& line : olcLines) {
      const OlcKindResult& kind = olc.Kind(line.kind);
      AppendFormat(o, "\"%s\": {\"km\": %.3f, \"points\": %.2f, \"indices\": %s}, ", line.key,
                   kind.distance / 1000.0, line.points, IndexList(kind.points).c_str());
    }
    AppendFormat(o, "\"best\": \"%s\"}}\n", BestName(scores.best));
    return 0;
  }
  o += ClaimText(claim) + "\n\n";
  AppendStatisticsText(o, points.size(), s);
  AppendFormat(o, "\nDistance analysis (loop gap %u m)\n", options.loopGap);
  for (const NamedDistance& d : distances) {
    AppendFormat(o, "  %-30s %8.2f km  points %s\n", d.label, d.metres / 1000.0,
                 IndexList(d.indices).c_str());
  }
  o += "\nOLC\n";
  for (const OlcLine& line : olcLines) {
    const OlcKindResult& kind = olc.Kind(line.kind);
    AppendFormat(o, "  %-30s %8.2f km  %8.2f points\n", line.label, kind.distance / 1000.0,
                 line.points);
  }
  o += "  " + BestResultText(scores) + "\n";
  return 0;
}

}  // namespace logwell::kml
