#include "competition/competition_save.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/atomic_file.h"
#include "base/text.h"
#include "base/ui.h"
#include "kml/kml_save.h"
#include "kml/kml_writer.h"
#include "track/igc/igc_writer.h"
#include "track/track_log.h"

namespace logwell {
namespace {

std::string IdText(std::int32_t id, std::string_view missing) {
  return id >= 0 ? FormatText("%d", id) : std::string(missing);
}

// The pilot's part of a file name; a name is never a path.
std::string PilotNamePart(const CompetitionPilot& pilot) {
  std::string name = pilot.name.empty() ? std::string("[pilot name]") : pilot.name;
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

// ".<CIVL ID>.<comp. ID>" at the end of a base name.
std::string IdPart(const CompetitionPilot& pilot) {
  return "." + IdText(pilot.civlId, "[CIVLID]") + "." + IdText(pilot.compId, "[COMPID]");
}

// The B records of an IGC text: two files holding the same fixes hold the same flight.
std::vector<std::string_view> FixLines(std::string_view text) {
  std::vector<std::string_view> fixes;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == 'B') fixes.push_back(line);
    at = end + 1;
  }
  return fixes;
}

// An IGC file of the same pilot and IDs in the folder that holds exactly these fixes.
std::optional<std::filesystem::path> SavedBefore(const std::filesystem::path& folder,
                                                 std::string_view prefix, std::string_view suffix,
                                                 std::string_view igcText) {
  const std::vector<std::string_view> fixes = FixLines(igcText);
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) continue;
    const ReadFileResult file = ReadWholeFile(entry->path());
    if (file.status == ReadStatus::Ok && FixLines(file.bytes) == fixes) return entry->path();
  }
  return std::nullopt;
}

struct IgcFile {
  std::string text;
  bool signatureOk = false;
};

std::optional<IgcFile> IgcTextFor(const TrackLog& log, const std::vector<TrackPoint>& points,
                                  bool wholeLog, const CompetitionPilot& pilot, Ui& ui) {
  // The instrument's own text keeps its signature when nothing of it was left out.
  if (wholeLog && log.rawIgc && !log.rawIgc->text.empty()) {
    return IgcFile{log.rawIgc->text, log.source.signState == SignState::Downloaded ||
                                         log.source.signState == SignState::FileSignatureOk};
  }
  const std::string compId = pilot.compId >= 0 ? FormatText("%d", pilot.compId) : std::string();
  igc::IgcEncodeInput input;
  input.points = points;
  input.signState = log.source.signState;
  input.pilot = pilot.name;
  input.competitionId = compId;
  input.aRecordTail = log.source.InstrumentText();
  input.loggerSerial = "000";
  input.downloadTime = log.downloadTime;
  input.wantSecurityRecord = true;
  input.writeTask = true;
  input.task = log.task ? &*log.task : nullptr;
  auto encoded = igc::EncodeIgc(input);
  if (!encoded) {
    ui.ShowErrorBox("Memory allocation error", kCompetitionSaveCaption);
    return std::nullopt;
  }
  return IgcFile{std::move(encoded->text), encoded->securityRecordIncluded};
}

std::optional<std::string> KmlTextFor(const TrackLog& log, std::vector<TrackPoint> points,
                                      const CompetitionPilot& pilot, Ui& ui) {
  kml::KmlTrackInfo info;
  info.points = points;
  if (!kml::AnalyseForKml(info, ui)) return std::nullopt;
  info.downloaded = CalendarToGarminTime(log.downloadTime);
  info.withHash = log.source.signState == SignState::Downloaded;
  info.withPilotIds = true;
  info.compPilotId = pilot.compId;
  info.civlPilotId = pilot.civlId;
  info.timesAreUtc = log.source.timeIsUtc != 0;
  info.withPressureAltitude = log.source.altitudeFlag != 0;
  std::string body;
  const int result = kml::WriteKmlBody(body, info, std::nullopt, log.source.InstrumentText());
  if (result != kml::kKmlBodyOk) {
    ui.ShowErrorBox(kml::KmlBodyErrorText(result), kCompetitionSaveCaption);
    return std::nullopt;
  }
  std::string text(kml::kKmlDocumentStart);
  text.append("<name>").append(kCompetitionKmlName).append("</name>\r\n");
  text.append(body).append(kml::kKmlDocumentEnd);
  return text;
}

}  // namespace

std::string CompetitionBaseName(const std::filesystem::path& folder, const CompetitionPilot& pilot,
                                const CalendarTime& nowUtc) {
  const std::string name = PilotNamePart(pilot) +
                           FormatText(".%d%02d%02d-%02d%02d%02d", nowUtc.year, nowUtc.month,
                                      nowUtc.day, nowUtc.hour, nowUtc.minute, nowUtc.second) +
                           IdPart(pilot);
  return (folder / name).string();
}

CompetitionSaveResult SaveLogForCompetition(const TrackLog& log,
                                            std::span<const TrackPoint> positions,
                                            const CompetitionSaveRequest& request, Ui& ui) {
  CompetitionSaveResult result;
  std::vector<TrackPoint> points;
  bool badTime = false;
  bool outsideWindow = false;
  for (const TrackPoint& p : positions) {
    if (p.time == 0) {
      badTime = true;
    } else if ((request.windowStart != 0 && p.time < request.windowStart) ||
               (request.windowEnd != 0 && p.time > request.windowEnd)) {
      outsideWindow = true;
    } else {
      points.push_back(p);
    }
  }
  if (points.empty()) {
    std::string text = "No positions found";
    if (badTime) text += "\r\nSome removed due to bad timestamp";
    if (outsideWindow) text += "\r\nSome removed due to time filtering";
    ui.ShowErrorBox(text, kCompetitionSaveCaption);
    return result;
  }
  if (points.size() < kMinCompetitionPositions) {
    ui.ShowErrorBox("Too few positions for statistics analysis", kCompetitionSaveCaption);
    return result;
  }
  FilterForCompetitionSave(points, request.filters, ui);
  const bool wholeLog = positions.size() == log.points.size() && points.size() == log.points.size();

  const std::string base = CompetitionBaseName(request.folder, request.pilot, request.nowUtc);
  if (base.size() + 4 > kMaxCompetitionFileName) {
    ui.ShowErrorBox("Too long filename", kCompetitionSaveCaption);
    return result;
  }
  const std::optional<IgcFile> igc = IgcTextFor(log, points, wholeLog, request.pilot, ui);
  if (!igc) return result;

  // The same flight saved before for this pilot (or a save in the same second) is left alone.
  const CompetitionPilot& pilot = request.pilot;
  std::optional<std::filesystem::path> earlier;
  std::error_code error;
  if (std::filesystem::exists(base + ".igc", error)) {
    earlier = base + ".igc";
  } else {
    earlier = SavedBefore(request.folder, PilotNamePart(pilot) + ".", IdPart(pilot) + ".igc",
                          igc->text);
  }
  if (earlier) {
    result.status = CompetitionSaveStatus::AlreadyProcessed;
    result.files.push_back(*earlier);
    ui.ShowStatus(FormatText("File \"%s\" already processed", earlier->string().c_str()));
    return result;
  }

  const std::optional<std::string> kml = KmlTextFor(log, points, pilot, ui);
  if (!kml) return result;
  for (const auto& [extension, text] :
       {std::pair<std::string_view, std::string_view>{".igc", igc->text}, {".kml", *kml}}) {
    const std::string file = base + std::string(extension);
    if (const int failure = WriteFileAtomically(file, text, WriteMode::CreateOnly)) {
      ui.ShowFileError("File write error", kCompetitionSaveCaption, file, failure);
      return result;
    }
    result.files.emplace_back(file);
  }
  result.status = CompetitionSaveStatus::Written;
  result.positions = points.size();
  result.signatureOk = igc->signatureOk;
  ui.ShowStatus(FormatText("File \"%s\" written", (base + ".igc").c_str()));
  ui.ShowInfoBox(igc->signatureOk ? "File saved, signature OK" : "File saved, NO signature",
                 kCompetitionSaveCaption);
  return result;
}

}  // namespace logwell
