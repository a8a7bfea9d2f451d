#include "track/formats/track_file_types.h"

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <mutex>

#include "base/ui.h"
#include "track/formats/dat_track.h"
#include "track/formats/gpx_track.h"
#include "track/formats/magellan_log.h"
#include "track/formats/mps_track.h"
#include "track/formats/plt_track.h"
#include "track/formats/tnc_log.h"
#include "track/formats/track_file_io.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::array kOpenTypes = {
    TrackFileType{"Trackvault", ".kml", TrackFileCode::Kml},
    TrackFileType{"Ozi", ".plt", TrackFileCode::Ozi},
    TrackFileType{"Trackvault (old)", ".dat", TrackFileCode::OldDat},
    TrackFileType{"TopNavigator", ".tnc", TrackFileCode::TopNavigator},
    TrackFileType{"MapSource", ".mps", TrackFileCode::MapSource},
    TrackFileType{"Magellan", ".log", TrackFileCode::Magellan},
    TrackFileType{"IGC", ".igc", TrackFileCode::Igc},
    TrackFileType{"GPX", ".gpx", TrackFileCode::Gpx},
    TrackFileType{"CSV", ".csv", TrackFileCode::Csv},
};

constexpr std::array kSaveTypes = {
    TrackFileType{"Ozi", ".plt", TrackFileCode::Ozi},
    TrackFileType{"MapSource", ".mps", TrackFileCode::MapSource},
    TrackFileType{"TopNavigator", ".tnc", TrackFileCode::TopNavigator},
    TrackFileType{"GPX", ".gpx", TrackFileCode::Gpx},
    TrackFileType{"CSV", ".csv", TrackFileCode::Csv},
};

struct ReaderRegistry {
  std::mutex mutex;
  std::map<TrackFileCode, TrackFileReader> readers;
};

ReaderRegistry& Registry() {
  static ReaderRegistry registry;
  return registry;
}

// The readers of this folder; the IGC and KML readers arrive through the registry.
std::optional<TrackFileReader> BuiltInReader(TrackFileCode code) {
  switch (code) {
    case TrackFileCode::Ozi: return TrackFileReader(ReadPltTrack);
    case TrackFileCode::MapSource: return TrackFileReader(ReadMpsTrack);
    case TrackFileCode::OldDat: return TrackFileReader(ReadDatTrack);
    case TrackFileCode::Magellan:
      return TrackFileReader([](std::string_view text, Ui& ui) { return ReadMagellanLog(text, ui); });
    case TrackFileCode::Gpx: return TrackFileReader(ReadGpxTrack);
    case TrackFileCode::Csv: return TrackFileReader(ReadCsvTrack);
    case TrackFileCode::TopNavigator: return TrackFileReader(ReadTncLog);
    default: return std::nullopt;
  }
}

std::string_view SaveCaption(TrackFileCode code) {
  return code == TrackFileCode::Gpx ? kSaveGpxCaption : kSaveTrackLogCaption;
}

}  // namespace

std::span<const TrackFileType> OpenTrackFileTypes() { return kOpenTypes; }
std::span<const TrackFileType> SaveTrackFileTypes() { return kSaveTypes; }

std::vector<std::pair<std::string, std::string>> FileDialogFilterRows(
    std::span<const TrackFileType> types) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const TrackFileType& type : types) {
    std::string label(type.name);
    label += " files (*";
    label += type.extension;
    label += ")";
    rows.emplace_back(std::move(label), "*" + std::string(type.extension));
  }
  rows.emplace_back("All files (*.*)", "*.*");
  return rows;
}

std::string BuildFileDialogFilter(std::span<const TrackFileType> types) {
  std::string filter;
  for (const auto& [label, pattern] : FileDialogFilterRows(types)) {
    filter += label;
    filter += '\0';
    filter += pattern;
    filter += '\0';
  }
  return filter;
}

const TrackFileType* FindTrackFileType(std::span<const TrackFileType> types, TrackFileCode code) {
  for (const TrackFileType& type : types) {
    if (type.code == code) return &type;
  }
  return nullptr;
}

const TrackFileType* FindTrackFileTypeByName(std::span<const TrackFileType> types,
                                             const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  for (const TrackFileType& type : types) {
    if (extension == type.extension) return &type;
  }
  return nullptr;
}

void RegisterTrackFileReader(TrackFileCode code, TrackFileReader reader) {
  ReaderRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  registry.readers[code] = std::move(reader);
}

std::optional<FileReadResult> DecodeTrackFile(TrackFileCode code, std::string_view bytes, Ui& ui) {
  std::optional<TrackFileReader> reader = BuiltInReader(code);
  if (!reader) {
    ReaderRegistry& registry = Registry();
    const std::lock_guard lock(registry.mutex);
    if (const auto found = registry.readers.find(code); found != registry.readers.end()) {
      reader = found->second;
    }
  }
  if (!reader || !*reader) {
    ui.ShowErrorBox("Unknown track log file format", kReadTrackLogCaption);
    return std::nullopt;
  }
  return (*reader)(bytes, ui);
}

std::optional<FileReadResult> ReadTrackLogFile(const std::filesystem::path& path,
                                               TrackFileCode code, Ui& ui) {
  std::optional<std::string> bytes = ReadTrackFileBytes(path, ui);
  if (!bytes) return std::nullopt;
  return ReadTrackLogContent(std::move(*bytes), code, ui);
}

std::optional<FileReadResult> ReadTrackLogContent(std::string content, TrackFileCode code, Ui& ui) {
  std::optional<FileReadResult> result = DecodeTrackFile(code, content, ui);
  content = std::string();  // the positions are all that is kept
  if (result && result->points.empty()) {
    ui.ShowStatus("No positions found");
    return std::nullopt;
  }
  return result;
}

FileTakeOver OpenTrackLogFile(TrackLog& log, const std::filesystem::path& path,
                              TrackFileCode code, Ui& ui) {
  std::optional<FileReadResult> result = ReadTrackLogFile(path, code, ui);
  if (!result) return FileTakeOver::NoPositions;
  return TakeOverFile(log, std::move(*result), ui);
}

VarioFilterFunction& SaveVarioFilter() {
  static VarioFilterFunction filter;
  return filter;
}

std::optional<std::filesystem::path> SavePathWithExtension(const std::filesystem::path& path,
                                                           const TrackFileType& type, Ui& ui) {
  std::filesystem::path result = path;
  if (!result.has_extension()) result += type.extension;
  if (result.native().size() >= PATH_MAX || result.filename().native().size() > NAME_MAX) {
    ui.ShowErrorBox("Too long file name", kSaveTrackLogCaption);
    return std::nullopt;
  }
  return result;
}

std::optional<std::string> EncodeTrackFile(TrackFileCode code, std::span<const TrackPoint> points,
                                           const TrackSaveOptions& options) {
  const CalendarTime now = options.nowUtc ? *options.nowUtc : CurrentUtcCalendar();
  switch (code) {
    case TrackFileCode::Ozi: return WritePltTrack(points, now);
    case TrackFileCode::MapSource: return WriteMpsTrack(points);
    case TrackFileCode::Gpx: return WriteGpxTrack(points, now);
    case TrackFileCode::Csv: return WriteCsvTrack(points, options.csv);
    default: return std::nullopt;
  }
}

int SaveRawTopNavLog(const std::filesystem::path& path, std::string_view raw, Ui& ui) {
  TncHeader header;
  const std::string_view first = raw.substr(0, raw.find_first_of("\r\n"));
  if (raw.empty() || ParseTncHeader(first, header) != TncLineError::None) {
    ui.ShowErrorBox("No TopNav log downloaded", kSaveTrackLogCaption);
    return -1;
  }
  if (!WriteTrackFileBytes(path, raw, ui, kSaveTrackLogCaption)) return -1;
  ui.ShowStatus(FormatText("%d positions written", header.count));
  return std::max(header.count, 1);
}

int SaveTrackLogFile(const std::filesystem::path& path, TrackFileCode code,
                     std::vector<TrackPoint> selected, Ui& ui, const TrackSaveOptions& options,
                     const VarioFilterFunction& varioFilter) {
  if (code == TrackFileCode::TopNavigator) return SaveRawTopNavLog(path, options.rawTopNavLog, ui);
  if (selected.empty()) {
    ui.ShowErrorBox("No position(s) selected", kSaveTrackLogCaption);
    return -1;
  }
  if (selected.size() == 1 &&
      ui.AskOkCancel("Only one position selected, continue ?", kSaveTrackLogCaption,
                     Answer::Ok) != Answer::Ok) {
    return -1;
  }
  if (varioFilter) {
    const int removed = varioFilter(selected);
    if (removed > 0) {
      ui.ShowInfoBox(FormatText("%d positions have been removed due to vario filtering", removed),
                     kSaveTrackLogCaption);
    }
    if (selected.empty()) {
      ui.ShowErrorBox("No positions", kSaveTrackLogCaption);
      return -1;
    }
  }
  std::optional<std::string> bytes;
  try {
    bytes = EncodeTrackFile(code, selected, options);
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox("Memory allocation error", SaveCaption(code));
    return -1;
  }
  if (!bytes) {
    ui.ShowErrorBox("Unknown track log file format", kSaveTrackLogCaption);
    return -1;
  }
  if (!WriteTrackFileBytes(path, *bytes, ui, SaveCaption(code))) return -1;
  const int written = static_cast<int>(selected.size());
  ui.ShowStatus(FormatText("%d positions written", written));
  return written;
}

int ConvertTrackFile(const std::filesystem::path& in, const std::filesystem::path& out, Ui& ui,
                     const TrackSaveOptions& options, std::optional<std::string> content) {
  const TrackFileType* from = FindTrackFileTypeByName(OpenTrackFileTypes(), in);
  const TrackFileType* to = FindTrackFileTypeByName(SaveTrackFileTypes(), out);
  if (from == nullptr || to == nullptr) {
    ui.ShowErrorBox("File contains invalid extension", "Convert track log");
    return -1;
  }
  std::optional<FileReadResult> read = content ? ReadTrackLogContent(std::move(*content), from->code, ui)
                                               : ReadTrackLogFile(in, from->code, ui);
  if (!read) return -1;
  return SaveTrackLogFile(out, to->code, std::move(read->points), ui, options,
                          VarioFilterFunction{}) > 0
             ? 0
             : -1;
}

}  // namespace logwell
