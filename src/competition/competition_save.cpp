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
#include "track/igc/igc_reader.h"
#include "track/igc/igc_security.h"
#include "track/igc/igc_writer.h"
#include "track/same_flight.h"
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

// The fixes an IGC text holds, as the reader decodes them: what two files of one flight share
// whoever wrote them. Empty for a text that does not decode.
std::vector<TrackPoint> FixesOf(std::string_view igcText) {
  igc::IgcDecodeResult decoded = igc::DecodeIgcText(igcText);
  return decoded.Ok() ? std::move(decoded.points) : std::vector<TrackPoint>{};
}

// The IGC files of the folder holding the same flight: one saved for this pilot (the flight is
// already saved), else one saved for another pilot (a conflict).
struct SameFlightFiles {
  std::optional<std::filesystem::path> ownPilot;
  std::optional<std::filesystem::path> otherPilot;
};

SameFlightFiles FindSameFlight(const std::filesystem::path& folder, std::string_view prefix,
                               std::string_view suffix, std::string_view igcText) {
  SameFlightFiles found;
  const std::vector<TrackPoint> fixes = FixesOf(igcText);
  if (fixes.empty()) return found;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (!name.ends_with(".igc") || !entry->is_regular_file(error)) continue;
    const ReadFileResult file = ReadWholeFile(entry->path());
    if (file.status != ReadStatus::Ok || !SameFixes(FixesOf(file.bytes), fixes)) continue;
    if (name.starts_with(prefix) && name.ends_with(suffix)) {
      found.ownPilot = entry->path();
    } else if (!found.otherPilot) {
      found.otherPilot = entry->path();
    }
  }
  return found;
}

// The first line of a text that starts with `letter`.
std::string_view FirstLineStarting(std::string_view text, char letter) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (text[at] == letter) return text.substr(at, end - at);
    at = end + 1;
  }
  return {};
}

std::optional<std::string> IgcTextFor(const TrackLog& log, const std::vector<TrackPoint>& points,
                                  bool instrumentText, const CompetitionPilot& pilot, Ui& ui) {
  if (instrumentText) return log.rawIgc->text;
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
  return std::move(encoded->text);
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
                                const CalendarTime& flightStart) {
  const CalendarTime& t = flightStart;
  const std::string name =
      PilotNamePart(pilot) +
      FormatText(".%d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second) +
      IdPart(pilot);
  return (folder / name).string();
}

std::optional<std::string> CompetitionFilePilot(const std::filesystem::path& file) {
  // NAME.YYYYMMDD-hhmmss.CIVLID.COMPID.igc; the name may hold dots of its own.
  std::string stem = file.filename().string();
  std::vector<std::string> parts;
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = stem.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    parts.push_back(stem.substr(dot + 1));
    stem.resize(dot);
  }
  const std::string& comp = parts[1];
  const std::string& civl = parts[2];
  if (comp != "[COMPID]") return FormatText("%s, comp. %s", stem.c_str(), comp.c_str());
  if (civl != "[CIVLID]") return FormatText("%s, CIVL %s", stem.c_str(), civl.c_str());
  return stem;
}

std::string_view SignatureCheckText(SignatureCheck check) {
  switch (check) {
    case SignatureCheck::Verified: return "signature OK";
    case SignatureCheck::Failed: return "signature FAILED";
    case SignatureCheck::NotVerified: return "signed by the instrument, not verified";
    case SignatureCheck::None: break;
  }
  return "NO signature";
}

SignatureCheck CheckCompetitionSignature(std::string_view igcText) {
  if (FirstLineStarting(igcText, 'G').empty()) return SignatureCheck::None;
  if (!FirstLineStarting(igcText, 'A').starts_with(igc::kOwnManufacturerRecord)) {
    return SignatureCheck::NotVerified;
  }
  return igc::CheckSecurityRecord(igcText) == igc::SecurityCheckResult::Passed
             ? SignatureCheck::Verified
             : SignatureCheck::Failed;
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
  const std::size_t kept = points.size();
  FilterForCompetitionSave(points, request.filters, ui);
  // The instrument's own text is the file whenever the whole log is saved: its maker's signature
  // covers every line, so nothing of it is cut.
  const bool instrumentText = positions.size() == log.points.size() && log.rawIgc &&
                              !log.rawIgc->text.empty();
  const std::span<const TrackPoint> flight = instrumentText ? std::span(log.points) : std::span(points);

  // The flight's first timed fix: its day must be the task's, its date and time name the files.
  const auto timed = std::find_if(flight.begin(), flight.end(),
                                  [](const TrackPoint& p) { return p.time != 0; });
  const GarminTime firstFix = timed != flight.end() ? timed->time : points.front().time;
  const CalendarTime start = GarminTimeToCalendar(firstFix);
  if (request.taskDay != 0 && (firstFix < request.taskDay || firstFix - request.taskDay >= 86400)) {
    const CalendarTime task = GarminTimeToCalendar(request.taskDay);
    ui.ShowErrorBox(FormatText("Flight of %04d-%02d-%02d, not of the task day %04d-%02d-%02d",
                               start.year, start.month, start.day, task.year, task.month, task.day),
                    kCompetitionSaveCaption);
    return result;
  }

  const std::string base = CompetitionBaseName(request.folder, request.pilot, start);
  if (base.size() + 4 > kMaxCompetitionFileName) {
    ui.ShowErrorBox("Too long filename", kCompetitionSaveCaption);
    return result;
  }
  const std::optional<std::string> igc = IgcTextFor(log, points, instrumentText, request.pilot, ui);
  if (!igc) return result;

  // The same flight saved before for this pilot is left alone; saved for another pilot, it is
  // refused: one flight belongs to one pilot.
  const CompetitionPilot& pilot = request.pilot;
  const SameFlightFiles same =
      FindSameFlight(request.folder, PilotNamePart(pilot) + ".", IdPart(pilot) + ".igc", *igc);
  if (same.ownPilot) {
    result.status = CompetitionSaveStatus::AlreadyProcessed;
    result.files.push_back(*same.ownPilot);
    ui.ShowStatus(FormatText("File \"%s\" already processed", same.ownPilot->string().c_str()));
    return result;
  }
  if (same.otherPilot) {
    const std::string other = CompetitionFilePilot(*same.otherPilot)
                                  .value_or(same.otherPilot->filename().string());
    ui.ShowFileError(FormatText("Not saved: same flight as %s", other.c_str()),
                     kCompetitionSaveCaption, same.otherPilot->string());
    return result;
  }

  const std::optional<std::string> kml = KmlTextFor(log, points, pilot, ui);
  if (!kml) return result;
  for (const auto& [extension, text] :
       {std::pair<std::string_view, std::string_view>{".igc", *igc}, {".kml", *kml}}) {
    const std::string file = base + std::string(extension);
    if (const int failure = WriteFileAtomically(file, text, WriteMode::CreateOnly)) {
      ui.ShowFileError("File write error", kCompetitionSaveCaption, file, failure);
      return result;
    }
    result.files.emplace_back(file);
  }
  result.status = CompetitionSaveStatus::Written;
  result.positions = instrumentText ? log.points.size() : points.size();
  result.instrumentText = instrumentText;
  result.signature = CheckCompetitionSignature(*igc);
  ui.ShowStatus(FormatText("File \"%s\" written", (base + ".igc").c_str()));
  if (instrumentText && points.size() < log.points.size()) {
    const std::size_t outside = log.points.size() - kept;
    const std::size_t filtered = kept - points.size();
    ui.ShowStatus(FormatText("The instrument's own file is kept whole: %zu of its %zu fixes lie "
                             "outside the time window, %zu would be removed by the filters",
                             outside, log.points.size(), filtered));
  }
  ui.ShowInfoBox("File saved, " + std::string(SignatureCheckText(result.signature)),
                 kCompetitionSaveCaption);
  return result;
}

}  // namespace logwell
