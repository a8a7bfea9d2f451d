#include "waypoints/waypoint_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/atomic_file.h"
#include "base/xml_scanner.h"
#include "waypoints/pilot_identity.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kDecodingCaption = "Decoding waypoint file";
constexpr std::string_view kParsingCaption = "Parsing waypoint file";
constexpr std::size_t kMaxFileNameLength = 256;

struct FormatEntry {
  const char* name;
  const char* extension;
  WaypointFileFormat format;
};

// The save filters in their order.
constexpr FormatEntry kSaveFormats[9] = {
    {"Ozi", ".wpt", WaypointFileFormat::Ozi},
    {"UTM", ".wpt", WaypointFileFormat::Utm},
    {"Geographical", ".wpt", WaypointFileFormat::Geo},
    {"MapSource", ".mps", WaypointFileFormat::MapSource},
    {"SeeYou", ".cup", WaypointFileFormat::SeeYou},
    {"GPX", ".gpx", WaypointFileFormat::Gpx},
    {"GoogleEarth", ".kml", WaypointFileFormat::Kml},
    {"WinPilot", ".dat", WaypointFileFormat::WinPilot},
    {"CompeGPS", ".wpt", WaypointFileFormat::CompeGps},
};

constexpr std::pair<const char*, const char*> kOpenFilters[6] = {
    {"Ozi/Logwell", ".wpt"}, {"MapSource", ".mps"},   {"SeeYou", ".cup"},
    {"GPS exchange", ".gpx"}, {"GoogleEarth", ".kml"}, {"WinPilot", ".dat"},
};

// The XML branch of the detection: "<?xml" first, then "gpx" or "kml" decide.
int DecodeXmlWaypoints(std::string_view text, WaypointReadContext& context,
                       std::vector<Waypoint>& waypoints) {
  XmlTagScanner scanner(text);
  const XmlTag first = scanner.Next();
  if (first.name != "?xml" || first.result == XmlScanResult::UnterminatedTag) {
    context.ui.ShowErrorBox("Missing opening tag '<?xml>'", kParsingCaption);
    return -3;
  }
  XmlTag next = scanner.Next();
  while (next.name == "!--" || next.name.starts_with("!") || next.name.starts_with("?")) {
    next = scanner.Next();
  }
  if (next.result != XmlScanResult::Tag && next.result != XmlScanResult::EmptyElement) {
    context.ui.ShowErrorBox("No tags found", kParsingCaption);
    return -4;
  }
  if (next.name == "gpx") return ReadGpxWaypoints(text, context, waypoints);
  if (next.name == "kml") return ReadKmlWaypoints(text, context, waypoints);
  return 0;
}

int DetectAndRead(std::string_view bytes, WaypointReadContext& context,
                  std::vector<Waypoint>& waypoints) {
  if (bytes.starts_with("MsRcd")) return ReadMapSourceWaypoints(bytes, context, waypoints);
  // Text formats end at the first NUL, as the reading buffer's terminator makes them.
  std::string_view text = StripUtf8Bom(bytes.substr(0, bytes.find('\0')));
  if (text.starts_with("OziExplorer Waypoint File")) return ReadOziWaypoints(text, context, waypoints);
  if (text.starts_with("$FormatGEO")) return ReadGeoWaypoints(text, context, waypoints);
  if (text.starts_with("$FormatUTM")) return ReadUtmWaypoints(text, context, waypoints);
  if (text.starts_with("Title") || text.starts_with("name")) {
    return ReadSeeYouWaypoints(text, context, waypoints);
  }
  XmlTagScanner scanner(text);
  if (scanner.Next().result == XmlScanResult::EndOfText) {
    const int count = ReadCompeGpsWaypoints(text, context, waypoints);
    if (count != 0) return count;
    return ReadWinPilotWaypoints(text, context, waypoints);
  }
  return DecodeXmlWaypoints(text, context, waypoints);
}

std::string_view FormatCaption(WaypointFileFormat format) {
  if (format == WaypointFileFormat::Gpx) return "Save GPX waypoint file";
  if (format == WaypointFileFormat::Kml) return "Save GoogleEarth waypoint file";
  return "Save waypoints";
}

bool HasExtension(const std::filesystem::path& path) { return path.filename().has_extension(); }

}  // namespace

int DecodeWaypointFile(std::string_view bytes, WaypointReadContext& context,
                       std::vector<Waypoint>& waypoints) {
  std::vector<Waypoint> read;
  const int count = DetectAndRead(bytes, context, read);
  if (count == 0) {
    context.ui.ShowErrorBox("No waypoints found", kDecodingCaption);
    return 0;
  }
  if (count > 0) waypoints = std::move(read);
  return count;
}

int ReadWaypointFile(const std::filesystem::path& path, WaypointReadContext& context,
                     std::string_view caption, std::vector<Waypoint>& waypoints) {
  const ReadFileResult file = ReadWholeFile(path);
  switch (file.status) {
    case ReadStatus::Ok: break;
    case ReadStatus::OpenFailed:
    case ReadStatus::NotAFile: context.ui.ShowErrorBox("Error opening waypoint file", caption); return -1;
    case ReadStatus::Empty: context.ui.ShowErrorBox("File is empty", caption); return -1;
    case ReadStatus::NoMemory: context.ui.ShowErrorBox("File buffer memory allocation", caption); return -1;
    case ReadStatus::TooLarge: context.ui.ShowFileError(FileTooLargeText(file.size), caption, path.string()); return -1;
    case ReadStatus::ReadFailed:
      context.ui.ShowErrorBox(
          std::string("Waypoint file read error: ") + std::strerror(file.errorNumber), caption);
      return -1;
  }
  const std::string& bytes = file.bytes;
  return DecodeWaypointFile(bytes, context, waypoints);
}

int OpenWaypointFileIntoList(const std::filesystem::path& path, WaypointList& list, Ui& ui) {
  WaypointReadContext context{ui, true, CurrentGarminTime()};
  std::vector<Waypoint> read;
  const int count = ReadWaypointFile(path, context, "Read waypoint file", read);
  if (count <= 0) return count;
  ui.ShowStatus(Printf("%d waypoints read", count));
  if (!list.Empty() &&
      ui.AskYesNo("Append new waypoints to existing list ?", "Read waypoint file", Answer::No) ==
          Answer::Yes) {
    for (const Waypoint& waypoint : read) {
      if (list.Insert(waypoint, ui) < 0) return -1;
    }
    return count;
  }
  list.Replace(std::move(read));
  return count;
}

std::string EncodeWaypointFile(WaypointFileFormat format, std::span<const Waypoint> waypoints,
                               GarminTime now) {
  switch (format) {
    case WaypointFileFormat::Ozi: return WriteOziWaypoints(waypoints);
    case WaypointFileFormat::Utm: return WriteUtmWaypoints(waypoints);
    case WaypointFileFormat::Geo: return WriteGeoWaypoints(waypoints);
    case WaypointFileFormat::MapSource: return WriteMapSourceWaypoints(waypoints);
    case WaypointFileFormat::SeeYou: return WriteSeeYouWaypoints(waypoints);
    case WaypointFileFormat::Gpx: return WriteGpxWaypoints(waypoints, now);
    case WaypointFileFormat::Kml: return WriteKmlWaypoints(waypoints);
    case WaypointFileFormat::WinPilot: return WriteWinPilotWaypoints(waypoints);
    case WaypointFileFormat::CompeGps: return WriteCompeGpsWaypoints(waypoints, now);
  }
  return {};
}

int WriteWaypointFile(const std::filesystem::path& path, WaypointFileFormat format,
                      std::span<const Waypoint> waypoints, Ui& ui,
                      std::vector<std::string>* notes) {
  std::string content;
  try {
    content = EncodeWaypointFile(format, waypoints, CurrentGarminTime());
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox("Memory allocation error", FormatCaption(format));
    return -1;
  }
  if (const int error = WriteFileAtomically(path, content)) {
    ui.ShowErrorBox(std::string("File write error: ") + std::strerror(error),
                    FormatCaption(format));
    return -1;
  }
  // What the format cannot hold inside a text field was left out or replaced by its writer.
  const auto countWith = [&](char c) {
    return static_cast<int>(std::ranges::count_if(waypoints, [c](const Waypoint& w) {
      return w.Description().find(c) != std::string_view::npos;
    }));
  };
  std::string note;
  if (format == WaypointFileFormat::Ozi && countWith(',') > 0) {
    note = Printf("%d description(s) held a comma, the field separator of OziExplorer files: "
                  "written without it", countWith(','));
  } else if (format == WaypointFileFormat::SeeYou && countWith('"') > 0) {
    note = Printf("%d description(s) held a double quote, which ends a SeeYou name: written "
                  "as '", countWith('"'));
  }
  if (!note.empty()) {
    if (notes != nullptr) {
      notes->push_back(note);
    } else {
      ui.ShowStatus(note);
    }
  }
  return static_cast<int>(waypoints.size());
}

std::vector<FileFilter> WaypointSaveFilters() {
  std::vector<FileFilter> filters;
  for (const FormatEntry& entry : kSaveFormats) {
    filters.push_back({Printf("%s files (*%s)", entry.name, entry.extension),
                       Printf("*%s", entry.extension)});
  }
  for (const FormatEntry& entry : kSaveFormats) {
    filters.push_back({Printf("%s files (*.*)", entry.name), "*.*"});
  }
  return filters;
}

std::optional<WaypointFileFormat> SaveFilterFormat(int filterIndex) {
  if (filterIndex < 1 || filterIndex > 18) return std::nullopt;
  return kSaveFormats[(filterIndex - 1) % 9].format;
}

std::filesystem::path WithSaveExtension(const std::filesystem::path& path, int filterIndex) {
  if (filterIndex < 1 || filterIndex > 9 || HasExtension(path)) return path;
  std::filesystem::path extended = path;
  extended += kSaveFormats[filterIndex - 1].extension;
  return extended;
}

std::vector<FileFilter> WaypointOpenFilters() {
  std::vector<FileFilter> filters;
  for (const auto& [name, extension] : kOpenFilters) {
    filters.push_back({Printf("%s files (*%s)", name, extension), Printf("*%s", extension)});
  }
  filters.push_back({"All files (*.*)", "*.*"});
  return filters;
}

std::filesystem::path WithOpenExtension(const std::filesystem::path& path, int filterIndex) {
  if (filterIndex < 1 || filterIndex > 6 || HasExtension(path)) return path;
  std::filesystem::path extended = path;
  extended += kOpenFilters[filterIndex - 1].second;
  return extended;
}

int SaveSelectedWaypoints(const std::filesystem::path& path, int filterIndex,
                          const WaypointList& list, WaypointSelection selection, Ui& ui,
                          bool interactive) {
  const std::vector<Waypoint> selected = list.CollectSelected(selection, NameMode::Unchanged);
  if (selected.empty()) {
    ui.ShowErrorBox("No waypoints selected", "Save waypoints");
    return -1;
  }
  const auto format = SaveFilterFormat(filterIndex);
  if (!format) return -1;
  const std::filesystem::path target = WithSaveExtension(path, filterIndex);
  if (target.native().size() > kMaxFileNameLength) {
    ui.ShowErrorBox("Too long file name", "Error opening file");
    return -1;
  }
  const int written = WriteWaypointFile(target, *format, selected, ui);
  if (written < 0) return -1;
  ui.ShowStatus(Printf("%d waypoints written", written));
  if (interactive) ui.ShowInfoBox("File written", "Save waypoints");
  return written;
}

std::optional<WaypointFileFormat> FormatForOutputName(std::string_view name) {
  if (name.size() >= 8 && name.ends_with(".wpt")) {
    const std::string_view kind = name.substr(name.size() - 8, 4);
    if (kind == ".geo") return WaypointFileFormat::Geo;
    if (kind == ".utm") return WaypointFileFormat::Utm;
    if (kind == ".ozi") return WaypointFileFormat::Ozi;
    if (kind == ".com") return WaypointFileFormat::CompeGps;
    return std::nullopt;
  }
  if (name.ends_with(".mps")) return WaypointFileFormat::MapSource;
  if (name.ends_with(".cup")) return WaypointFileFormat::SeeYou;
  if (name.ends_with(".gpx")) return WaypointFileFormat::Gpx;
  if (name.ends_with(".kml")) return WaypointFileFormat::Kml;
  if (name.ends_with(".dat")) return WaypointFileFormat::WinPilot;
  return std::nullopt;
}

namespace {

// Says how many identifiers a reader fixed without asking: in `notes`, or on the status line.
void ReportFixedIdentifiers(const WaypointReadContext& context, std::vector<std::string>* notes) {
  if (context.fixedIdentifiers == 0) return;
  const std::string note =
      Printf("%d identifier(s) changed to fit: upper case, at most %d characters",
             context.fixedIdentifiers, static_cast<int>(Waypoint::kMaxIdLength));
  if (notes != nullptr) {
    notes->push_back(note);
  } else {
    context.ui.ShowStatus(note);
  }
}

}  // namespace

int ConvertWaypointFile(const std::filesystem::path& source,
                        const std::filesystem::path& destination, Ui& ui,
                        std::vector<std::string>* notes) {
  const auto format = FormatForOutputName(destination.native());
  if (!format) return -1;
  WaypointReadContext context{ui, false, CurrentGarminTime()};
  context.fixIdentifiers = true;
  std::vector<Waypoint> waypoints;
  if (ReadWaypointFile(source, context, "Reading waypoint file", waypoints) <= 0) return -1;
  ReportFixedIdentifiers(context, notes);
  return WriteWaypointFile(destination, *format, waypoints, ui, notes);
}

std::string_view ConversionReport(int result) {
  return result >= 0 ? "Waypoint file converted" : "Waypoint file conversion failed";
}

int SaveDownloadedWaypoints(const std::filesystem::path& path, bool geoFormat,
                            std::span<const Waypoint> waypoints, Ui& ui) {
  if (waypoints.empty()) {
    ui.ShowErrorBox("No waypoints", "Download waypoints");
    return -1;
  }
  const int written = WriteWaypointFile(
      path, geoFormat ? WaypointFileFormat::Geo : WaypointFileFormat::Ozi, waypoints, ui);
  if (written >= 0) ui.ShowStatus(Printf("%d waypoints written", written));
  return written;
}

int ReadWaypointsForUpload(const std::filesystem::path& path, const UploadFileOptions& options,
                           Ui& ui, std::vector<Waypoint>& waypoints) {
  const GarminTime now = CurrentGarminTime();
  WaypointReadContext context{ui, false, now};
  context.fixIdentifiers = true;
  std::vector<Waypoint> read;
  if (ReadWaypointFile(path, context, "Reading waypoint file", read) <= 0) return -1;
  ReportFixedIdentifiers(context, nullptr);
  if (options.shortNameInstrument) {
    const NameMode mode = options.namesAndDescriptions ? NameMode::IdAndName : NameMode::OnlyName;
    for (Waypoint& waypoint : read) waypoint = ApplyNameMode(waypoint, mode);
  }
  for (const Waypoint& identity :
       BuildPilotIdentityWaypoints(options.compId, options.civlId, options.dashName, now)) {
    read.push_back(identity);
  }
  ui.ShowStatus(Printf("%d waypoints read", static_cast<int>(read.size())));
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

}  // namespace logwell
