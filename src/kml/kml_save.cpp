#include "kml/kml_save.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

#include "base/silent_ui.h"
#include "base/ui.h"
#include "kml/kml_reader.h"
#include "track/same_flight.h"
#include "base/atomic_file.h"
#include "track/statistics.h"
#include "base/text.h"
#include "track/track_log.h"
#include "base/xml_scanner.h"
#include "base/xml_walker.h"

namespace logwell::kml {
namespace {

constexpr std::string_view kWriteCaption = "Write GoogleEarth file";
constexpr std::string_view kLogbookCaption = "Save Logbook file";

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// Failures that happen when the file is made, rather than while its bytes go out.
bool IsCreationError(int error) {
  return error == EACCES || error == EPERM || error == ENOENT || error == ENOTDIR ||
         error == EROFS || error == EISDIR || error == ENAMETOOLONG;
}

}  // namespace

std::string KmlDateDescription(const TrackPoint& first) {
  const CalendarTime t = GarminTimeToCalendar(first.time);
  return FormatText("%d-%02d-%02d", t.year, t.month, t.day);
}

bool AnalyseForKml(KmlTrackInfo& info, Ui& ui, std::uint32_t loopGap,
                   std::optional<ContestRules> rules) {
  const std::vector<TrackPoint> points(info.points.begin(), info.points.end());
  info.statistics = ComputeStatistics(points);
  info.loopGap = loopGap;
  AnalysisOptions options;
  options.loopGap = loopGap;
  if (AnalyseDistances(points, info.analysis, options) != 0) {
    ui.ShowErrorBox("Memory allocation error", "Analysing track");
    return false;
  }
  if (rules) info.claim = ScoreClaim(points, *rules);
  return true;
}

std::string KmlDocumentOf(std::string_view body) {
  std::string document;
  document.reserve(kKmlDocumentStart.size() + body.size() + kKmlDocumentEnd.size());
  document.append(kKmlDocumentStart).append(body).append(kKmlDocumentEnd);
  return document;
}

std::string SuggestedKmlName(const TrackPoint& first) {
  const CalendarTime t = GarminTimeToCalendar(first.time);
  return FormatText("%d-%02d-%02d_%02d-%02d", t.year, t.month, t.day, t.hour, t.minute);
}

GoogleEarthFileRequest GoogleEarthRequestFor(const TrackLog& log) {
  GoogleEarthFileRequest request;
  request.points = log.points;
  request.withHash = log.source.signState == SignState::Downloaded;
  request.timesAreUtc = log.source.timeIsUtc != 0;
  request.withPressureAltitude = log.source.altitudeFlag != 0;
  request.instrumentText = log.source.InstrumentText();
  return request;
}

namespace {

// The track folder of one request; nothing after one message.
std::optional<std::string> GoogleEarthBody(GoogleEarthFileRequest& request, Ui& ui) {
  if (request.points.size() < kMinKmlPositions) {
    ui.ShowErrorBox("Too few track positions", kWriteCaption);
    return std::nullopt;
  }
  KmlTrackInfo info;
  info.points = request.points;
  info.timesAreUtc = request.timesAreUtc;
  if (NormaliseMissingTimes(info.points)) info.timesAreUtc = false;
  if (!AnalyseForKml(info, ui, request.loopGap, request.rules)) return std::nullopt;
  info.downloaded = request.downloaded;
  info.withHash = request.withHash;
  info.withPressureAltitude = request.withPressureAltitude;
  const std::string description = KmlDateDescription(request.points.front());
  std::string body;
  const int result = WriteKmlBody(body, info, description, request.instrumentText);
  if (result != kKmlBodyOk) {
    ui.ShowErrorBox(KmlBodyErrorText(result), "Making GoogleEarth track folder");
    return std::nullopt;
  }
  return body;
}

int WriteKmlDocument(const std::filesystem::path& target, std::string_view body, WriteMode mode,
                     Ui& ui) {
  const int error = WriteFileAtomically(target, KmlDocumentOf(body), mode);
  if (error == EEXIST && mode == WriteMode::CreateOnly) {
    ui.ShowErrorBox("File already exists", kWriteCaption);
    return -1;
  }
  if (error != 0) {
    ui.ShowErrorBox(IsCreationError(error) ? "File creation error: " + ErrnoText(error)
                                           : "File write error: " + ErrnoText(error),
                    kWriteCaption);
    return -1;
  }
  return 0;
}

}  // namespace

int WriteGoogleEarthTracks(std::span<GoogleEarthFileRequest> tracks,
                           const std::filesystem::path& file, Ui& ui) {
  std::string body;
  for (GoogleEarthFileRequest& track : tracks) {
    const std::optional<std::string> folder = GoogleEarthBody(track, ui);
    if (!folder) return -1;
    body += *folder;
  }
  return WriteKmlDocument(file, body, WriteMode::Replace, ui);
}

int WriteGoogleEarthFile(GoogleEarthFileRequest request, Ui& ui) {
  const std::optional<std::string> body = GoogleEarthBody(request, ui);
  if (!body) return -1;
  std::filesystem::path target;
  WriteMode mode = WriteMode::Replace;
  if (request.chosenFile) {
    target = *request.chosenFile;
  } else {
    const std::string name = request.logFileName + ".kml";
    if (name.size() > kMaxKmlFileName) {
      ui.ShowErrorBox("File name too long", kWriteCaption);
      return -1;
    }
    target = name;
    mode = request.overwrite ? WriteMode::Replace : WriteMode::CreateOnly;
  }
  return WriteKmlDocument(target, *body, mode, ui);
}

std::optional<std::string> AppendKmlBody(std::string_view existing, std::string_view body,
                                         std::string& error) {
  error = "Error(s) parsing existing file";
  // The whole file must be sound XML of the kind the reader accepts.
  XmlStructureReader structure(existing);
  std::string structureError;
  if (!structure.Start(structureError)) return std::nullopt;
  XmlElementEvent event;
  do {
    if (!structure.Next(event, structureError)) return std::nullopt;
  } while (event.kind != XmlElementEvent::Kind::End);

  XmlTagScanner scanner(existing);
  std::size_t first = std::string_view::npos;
  std::size_t last = std::string_view::npos;
  while (true) {
    const XmlTag tag = scanner.Next();
    if (tag.result != XmlScanResult::Tag && tag.result != XmlScanResult::EmptyElement) break;
    if (tag.name == "Folder" && first == std::string_view::npos) {
      // The name is a view into the text, just after the tag's "<".
      first = static_cast<std::size_t>(tag.name.data() - existing.data()) - 1;
    } else if (tag.name == "/Folder") {
      last = scanner.Position();
    }
  }
  if (first == std::string_view::npos || last == std::string_view::npos || last <= first) {
    return std::nullopt;
  }
  std::string text;
  text.append(kKmlDocumentStart).append("  ");
  text.append(existing.substr(first, last - first)).append("\r\n");
  text.append(body).append(kKmlDocumentEnd);
  error.clear();
  return text;
}

namespace {

// Reads the file to append to; nothing after its message.
std::optional<std::string> ReadExisting(const std::filesystem::path& path, Ui& ui) {
  ReadFileResult read = ReadWholeFile(path);
  switch (read.status) {
    case ReadStatus::Ok: return std::move(read.bytes);
    case ReadStatus::Empty: ui.ShowErrorBox("Existing file is empty", kLogbookCaption); break;
    case ReadStatus::NoMemory:
      ui.ShowErrorBox("File buffer memory allocation", kLogbookCaption);
      break;
    case ReadStatus::TooLarge:
      ui.ShowFileError(FileTooLargeText(read.size), kLogbookCaption, path.string());
      break;
    case ReadStatus::ReadFailed:
      ui.ShowErrorBox("Error reading existing file", kLogbookCaption);
      break;
    default: ui.ShowErrorBox("Error opening existing file", kLogbookCaption); break;
  }
  return std::nullopt;
}

// True when one of the logbook's tracks has the fixes of the track in `body`, both as the
// reader gives them back.
bool LogbookHoldsFlight(std::string_view logbook, std::string_view body) {
  SilentUi silent;
  const auto added = ReadKmlTracks(KmlDocumentOf(body), silent);
  if (!added || added->empty()) return false;
  const auto tracks = ReadKmlTracks(logbook, silent);
  if (!tracks) return false;
  return std::ranges::any_of(*tracks, [&added](const KmlReadResult& track) {
    return SameFixes(track.points, added->front().points);
  });
}

}  // namespace

int SaveLogbookKml(LogbookSaveRequest request, Ui& ui, TrackLog* log) {
  if (request.analysisRunning) {
    ui.ShowErrorBox("Statistics not yet finished", "Save track log");
    return -1;
  }
  if (request.info.points.empty()) {
    ui.ShowErrorBox("Too few track positions", "Save track log");
    return -1;
  }
  const std::string description = CutText(request.description, kMaxLogbookDescription);
  std::string body;
  const std::optional<std::string_view> instrument =
      request.instrumentText ? std::optional<std::string_view>(*request.instrumentText)
                             : std::nullopt;
  const int result = WriteKmlBody(body, request.info, description, instrument);
  if (result != kKmlBodyOk) {
    ui.ShowErrorBox(KmlBodyErrorText(result), "Make GoogleEarth track folder");
    return -1;
  }
  const std::optional<std::string> chosen = ui.ChooseSaveFile(
      {"Save track for Trackvault", "Trackvault files (*.kml)",
       SuggestedKmlName(request.info.points.front())});
  if (!chosen) return -1;
  std::filesystem::path path = *chosen;
  if (!path.has_extension()) path += ".kml";
  if (path.native().size() > kMaxKmlFileName) {
    ui.ShowErrorBox("Too long file name", kLogbookCaption);
    return -1;
  }
  std::string document;
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored)) {
    switch (ui.AskExistingFile(path.string())) {
      case NewTrackLogChoice::Cancel: return -1;
      case NewTrackLogChoice::Overwrite: document = KmlDocumentOf(body); break;
      case NewTrackLogChoice::Append: {
        const std::optional<std::string> existing = ReadExisting(path, ui);
        if (!existing) return -1;
        if (LogbookHoldsFlight(*existing, body)) {
          // The same flight again (downloaded or opened anew): no second copy in the logbook.
          if (log != nullptr) log->saved = 1;
          ui.ShowInfoBox("Flight already in this logbook, not appended again", kLogbookCaption);
          return 0;
        }
        std::string error;
        std::optional<std::string> appended = AppendKmlBody(*existing, body, error);
        if (!appended) {
          ui.ShowErrorBox(error, kLogbookCaption);
          return -1;
        }
        document = std::move(*appended);
        break;
      }
    }
  } else {
    document = KmlDocumentOf(body);
  }
  if (const int error = WriteFileAtomically(path, document, WriteMode::Replace);
      error != 0) {
    ui.ShowErrorBox("Error opening new file: " + ErrnoText(error), kLogbookCaption);
    return -1;
  }
  if (log != nullptr) log->saved = 1;
  ui.ShowInfoBox(request.info.withHash ? "Track saved (Signature OK)" : "Track saved (NO signature)",
                 "Save Trackvault track");
  return 0;
}

}  // namespace logwell::kml
