#include "app/convert.h"

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "airspace/airspace_convert.h"
#include "base/atomic_file.h"
#include "app/file_commands.h"
#include "base/text.h"
#include "base/ui.h"
#include "kml/kml_reader.h"
#include "kml/kml_save.h"
#include "track/formats/gpx_track.h"
#include "track/formats/kml_track.h"
#include "track/igc/igc_reader.h"
#include "waypoints/waypoint_files.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

bool Contains(std::string_view bytes, std::string_view needle) {
  return bytes.find(needle) != std::string_view::npos;
}

// The old binary track files are binary; WinPilot waypoint files of the same ending are text.
bool LooksBinary(std::string_view bytes) {
  return Contains(bytes.substr(0, 256), std::string_view("\0", 1));
}

// Whether a MapSource file has a track record ('T'): its records are a 32-bit little-endian
// length, a type byte and that many bytes after it. A file that cannot be walked counts as a
// track file, whose reader then says what is wrong with it.
bool MapSourceHoldsTracks(std::string_view bytes) {
  std::size_t at = 6;  // "MsRcd" and NUL
  while (at + 5 <= bytes.size()) {
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
      length = length << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    const char type = bytes[at + 4];
    if (type == 'T') return true;
    if (type == 'V') return false;
    if (length > bytes.size() - at - 5) return true;
    at += 5 + length;
  }
  return true;
}

// Everything a GPX or KML file holds that a conversion can carry.
struct FileItems {
  std::vector<std::vector<TrackPoint>> tracks;
  int timeIsUtc = 0;
  int altitudeFlag = 0;
  std::vector<Waypoint> waypoints;
  std::vector<Waypoint> routePoints;
  std::size_t routes = 0;
  std::vector<std::string> notes;  // what the reader left out or assumed
};

std::size_t CountOf(std::string_view bytes, std::string_view element) {
  std::size_t count = 0;
  for (std::size_t at = bytes.find(element); at != std::string_view::npos;
       at = bytes.find(element, at + 1)) {
    const char next = at + element.size() < bytes.size() ? bytes[at + element.size()] : '>';
    if (next == '>' || next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '/') {
      ++count;
    }
  }
  return count;
}

// The <rtept> elements of a GPX text as a GPX text of <wpt> elements, for the waypoint reader.
std::string RoutePointsAsWaypoints(std::string_view bytes) {
  std::string text = "<?xml version=\"1.0\"?>\n<gpx>\n";
  for (std::size_t at = bytes.find("<rtept"); at != std::string_view::npos;
       at = bytes.find("<rtept", at + 1)) {
    const std::size_t tagEnd = bytes.find('>', at);
    if (tagEnd == std::string_view::npos) break;
    std::size_t end = tagEnd + 1;
    if (bytes[tagEnd - 1] != '/') {
      const std::size_t close = bytes.find("</rtept>", tagEnd);
      if (close == std::string_view::npos) break;
      end = close + std::string_view("</rtept>").size();
    }
    std::string element(bytes.substr(at, end - at));
    element.replace(0, 6, "<wpt");
    if (element.ends_with("</rtept>")) element.replace(element.size() - 8, 8, "</wpt>");
    text += element;
    text += "\n";
  }
  return text + "</gpx>\n";
}

bool SameWaypoint(const Waypoint& a, const Waypoint& b) {
  return a.Id() == b.Id() && a.latitude == b.latitude && a.longitude == b.longitude;
}

std::optional<FileItems> ReadGpxOrKml(std::string_view bytes, bool kml, Ui& ui) {
  FileItems items;
  std::size_t pointPlacemarks = 0;
  if (kml && Contains(bytes, "<FsInfo")) {
    // This program's own KML, with its statistics and signature.
    std::optional<std::vector<kml::KmlReadResult>> tracks = kml::ReadKmlTracks(bytes, ui);
    if (!tracks) return std::nullopt;
    for (kml::KmlReadResult& track : *tracks) {
      items.timeIsUtc = track.timeIsUtc;
      items.altitudeFlag = track.altitudeFlag;
      items.tracks.push_back(std::move(track.points));
    }
  } else if (kml) {
    std::string error;
    std::optional<OtherKmlRead> other = ReadOtherKmlTracks(bytes, error);
    if (!other) {
      ui.ShowErrorBox(error, kParsingTrackLogCaption);
      return std::nullopt;
    }
    for (OtherKmlTrack& track : other->tracks) items.tracks.push_back(std::move(track.points));
    items.timeIsUtc = 1;  // KML times are UTC
    items.notes = std::move(other->notes);
    pointPlacemarks = other->pointPlacemarks;
  } else if (Contains(bytes, "<trk")) {
    std::optional<std::vector<std::vector<TrackPoint>>> tracks = ReadGpxTracks(bytes, ui);
    if (!tracks) return std::nullopt;
    items.tracks = std::move(*tracks);
    items.timeIsUtc = 1;  // GPX times are UTC
  }
  // Identifiers that do not fit are fixed (upper case, cut), as the "Modify waypoint ID"
  // question's first answer does, rather than refusing the whole file.
  WaypointReadContext context{ui, true, CurrentGarminTime()};
  const bool hasWaypoints = kml ? Contains(bytes, "<Point") : Contains(bytes, "<wpt");
  if (hasWaypoints) {
    const int read = kml ? ReadKmlWaypoints(bytes, context, items.waypoints)
                         : ReadGpxWaypoints(bytes, context, items.waypoints);
    if (read < 0) return std::nullopt;
  }
  if (pointPlacemarks > items.waypoints.size()) {
    items.notes.push_back(FormatText("%zu point placemarks not read as waypoints: only those in a "
                                     "folder named \"Waypoints\" are",
                                     pointPlacemarks - items.waypoints.size()));
  }
  if (!kml) {
    items.routes = CountOf(bytes, "<rte");
    if (items.routes > 0 && Contains(bytes, "<rtept")) {
      if (ReadGpxWaypoints(RoutePointsAsWaypoints(bytes), context, items.routePoints) < 0) {
        return std::nullopt;
      }
    }
  }
  return items;
}

// The flights of an IGC file that holds several (one A record each).
std::optional<FileItems> ReadIgcFlights(std::string_view bytes, Ui& ui) {
  igc::IgcFlightsResult decoded = igc::DecodeIgcFlights(bytes);
  if (!decoded.Ok()) {
    ui.ShowErrorBox(decoded.error, "Reading IGC log file");
    return std::nullopt;
  }
  FileItems items;
  for (igc::IgcDecodeResult& flight : decoded.flights) items.tracks.push_back(std::move(flight.points));
  items.timeIsUtc = 1;  // IGC fixes are UTC
  items.altitudeFlag = 1;
  if (decoded.flightsWithoutPositions > 0) {
    items.notes.push_back(FormatText("%zu flight(s) of the IGC file without any fix left out",
                                     decoded.flightsWithoutPositions));
  }
  if (!decoded.warning.empty()) items.notes.push_back(decoded.warning);
  return items;
}

bool HoldsSeveralIgcFlights(std::string_view bytes) {
  // Each flight opens with an A record at the start of a line: a file with fewer than two is
  // one flight at most and needs no decoding here (its conversion decodes it).
  std::size_t aRecords = bytes.starts_with('A') ? 1 : 0;
  for (std::size_t at = bytes.find("\nA"); at != std::string_view::npos && aRecords < 2;
       at = bytes.find("\nA", at + 1)) {
    ++aRecords;
  }
  if (aRecords < 2) return false;
  const igc::IgcFlightsResult decoded = igc::DecodeIgcFlights(bytes);
  return decoded.Ok() && decoded.flights.size() > 1;
}

// The H records of pilot, glider, competition and logger that carry a text.
std::size_t CountIgcHeaderTexts(std::string_view bytes) {
  static constexpr std::string_view kKinds[] = {"PLT", "GTY", "GID", "CID", "CCL", "FTY", "RFW",
                                                "RHW"};
  std::size_t count = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(at, end - at);
    at = end + 1;
    if (line.size() < 5 || line[0] != 'H') continue;
    const std::string_view kind = line.substr(2, 3);
    if (std::find(std::begin(kKinds), std::end(kKinds), kind) == std::end(kKinds)) continue;
    const std::size_t colon = line.find(':');
    const std::string_view value =
        colon == std::string_view::npos ? line.substr(5) : line.substr(colon + 1);
    if (!IsBlank(value, " \t\r")) ++count;
  }
  return count;
}

std::size_t PointCount(const std::vector<std::vector<TrackPoint>>& tracks) {
  std::size_t count = 0;
  for (const auto& track : tracks) count += track.size();
  return count;
}

std::string TrackListLine(std::size_t number, const std::vector<TrackPoint>& track) {
  const CalendarTime t = GarminTimeToCalendar(track.front().time);
  return FormatText("%3zu  %d-%02d-%02d %02d:%02d:%02d  %zu points", number, t.year, t.month,
                    t.day, t.hour, t.minute, t.second, track.size());
}

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return FormatText("%zu ", count) + std::string(count == 1 ? one : many);
}

// The waypoints to write where the output holds no routes: the file's waypoints, then each
// route point that is not one of them already.
std::vector<Waypoint> WaypointsWithRoutePoints(const FileItems& items) {
  std::vector<Waypoint> all = items.waypoints;
  for (const Waypoint& point : items.routePoints) {
    if (std::none_of(all.begin(), all.end(),
                     [&](const Waypoint& w) { return SameWaypoint(w, point); })) {
      all.push_back(point);
    }
  }
  return all;
}

std::string FormatName(std::string_view extension) {
  if (extension == ".igc") return "IGC";
  if (extension == ".kml") return "KML";
  if (extension == ".gpx") return "GPX";
  if (extension == ".plt") return "an Ozi track";
  if (extension == ".csv") return "CSV";
  if (extension == ".mps") return "a MapSource track";
  if (extension == ".cup") return "SeeYou";
  if (extension == ".dat") return "WinPilot";
  return "a " + std::string(extension) + " waypoint file";
}

int ConvertGpxOrKml(const std::filesystem::path& input, std::string_view bytes,
                    const std::filesystem::path& output, const ConvertOptions& options, Ui& ui,
                    std::vector<std::string>& notes) {
  const bool kmlInput = LowerExtension(input) == ".kml";
  std::optional<FileItems> items = LowerExtension(input) == ".igc"
                                       ? ReadIgcFlights(bytes, ui)
                                       : ReadGpxOrKml(bytes, kmlInput, ui);
  if (!items) return 1;
  notes.insert(notes.end(), items->notes.begin(), items->notes.end());
  const std::string to = LowerExtension(output);
  const std::string name = FormatName(to);
  const std::optional<WaypointFileFormat> waypointFormat =
      FormatForOutputName(output.filename().string());
  const bool multiTrack = to == ".gpx" || to == ".kml";
  const bool trackOutput = multiTrack || to == ".igc" || to == ".plt" || to == ".csv" ||
                           (to == ".mps" && !items->tracks.empty());
  const std::vector<Waypoint> waypoints = WaypointsWithRoutePoints(*items);
  const auto reportRoutes = [&] {
    if (items->routes == 0) return;
    const std::size_t added = waypoints.size() - items->waypoints.size();
    notes.push_back(Plural(items->routes, "route", "routes") + " not written as such: " + name +
                    " output holds no routes; " +
                    Plural(items->routePoints.size(), "route point", "route points") +
                    FormatText(" written as waypoints (%zu of them new)", added));
  };
  if (!trackOutput) {
    if (!waypointFormat) {
      ui.ShowErrorBox("File contains invalid extension", "Convert");
      return 1;
    }
    if (waypoints.empty()) {
      ui.ShowErrorBox("No waypoints found", "Convert");
      return 1;
    }
    if (WriteWaypointFile(output, *waypointFormat, waypoints, ui, &notes) < 0) return 1;
    if (!items->tracks.empty()) {
      notes.push_back(Plural(items->tracks.size(), "track", "tracks") + " (" +
                      Plural(PointCount(items->tracks), "point", "points") + ") not written: " +
                      name + " holds no tracks");
    }
    reportRoutes();
    return 0;
  }
  if (items->tracks.empty()) {
    // A track format asked for a file of waypoints only: a waypoint file where the ending is one.
    if (waypointFormat && !waypoints.empty()) {
      if (WriteWaypointFile(output, *waypointFormat, waypoints, ui, &notes) < 0) return 1;
      reportRoutes();
      return 0;
    }
    ui.ShowErrorBox("No tracks found", "Convert");
    return 1;
  }
  std::vector<std::vector<TrackPoint>> chosen;
  if (options.track) {
    if (*options.track < 1 || *options.track > items->tracks.size()) {
      ui.ShowErrorBox(FormatText("No track %zu: the file holds %zu", *options.track,
                                 items->tracks.size()),
                      "Convert");
      return 1;
    }
    chosen.push_back(items->tracks[*options.track - 1]);
  } else if (!multiTrack && items->tracks.size() > 1) {
    notes.push_back(FormatText("%zu tracks in %s; %s holds one track, choose one with --track N:",
                               items->tracks.size(), input.filename().string().c_str(),
                               name.c_str()));
    for (std::size_t i = 0; i < items->tracks.size(); ++i) {
      notes.push_back(TrackListLine(i + 1, items->tracks[i]));
    }
    return 1;
  } else {
    chosen = items->tracks;
  }
  int result = 0;
  if (to == ".gpx") {
    std::string elements;
    if (!waypoints.empty()) {
      const std::string document = WriteGpxWaypoints(waypoints, CurrentGarminTime());
      const std::size_t first = document.find("  <wpt");
      const std::size_t last = document.rfind("</wpt>");
      if (first != std::string::npos && last != std::string::npos) {
        elements = document.substr(first, last + 6 - first) + "\r\n";
      }
    }
    const std::string text = WriteGpxTracks(chosen, CurrentUtcCalendar(), elements);
    if (const int error = WriteFileAtomically(output, text, WriteMode::Replace)) {
      ui.ShowErrorBox("File write error: " + std::generic_category().message(error), "Convert");
      return 1;
    }
  } else if (to == ".kml" && chosen.size() > 1) {
    std::vector<kml::GoogleEarthFileRequest> requests;
    std::size_t shortTracks = 0;
    for (const auto& track : chosen) {
      if (track.size() < kml::kMinKmlPositions) {
        ++shortTracks;
        continue;
      }
      kml::GoogleEarthFileRequest request;
      request.points = track;
      request.timesAreUtc = items->timeIsUtc != 0;
      request.withPressureAltitude = items->altitudeFlag != 0;
      requests.push_back(std::move(request));
    }
    if (requests.empty()) {
      ui.ShowErrorBox("Too few track positions", "Convert");
      return 1;
    }
    if (kml::WriteGoogleEarthTracks(requests, output, ui) != 0) return 1;
    if (shortTracks > 0) {
      notes.push_back(Plural(shortTracks, "track", "tracks") +
                      " not written: KML tracks need 5 or more positions");
    }
  } else {
    FileReadResult read;
    read.points = chosen.front();
    read.timeIsUtc = items->timeIsUtc;
    read.altitudeFlag = items->altitudeFlag;
    result = kml::WriteTrackByExtension(output, std::move(read), ui);
    if (result != 0) return 1;
  }
  if (options.track && items->tracks.size() > 1) {
    notes.push_back(Plural(items->tracks.size() - 1, "track", "tracks") +
                    FormatText(" not written: only track %zu was asked for", *options.track));
  }
  if (to != ".gpx") {
    if (!items->waypoints.empty()) {
      notes.push_back(Plural(items->waypoints.size(), "waypoint", "waypoints") +
                      " not written: " + name + " track output holds no waypoints");
    }
    if (items->routes > 0) {
      notes.push_back(Plural(items->routes, "route", "routes") + " not written: " + name +
                      " track output holds no routes");
    }
  } else {
    reportRoutes();
  }
  return 0;
}

}  // namespace

FileContent ClassifyConversionInput(const std::filesystem::path& input, std::string_view bytes,
                                    const std::filesystem::path& output) {
  if (IsOpenAirInput(input, bytes)) return FileContent::Airspace;
  const std::string extension = LowerExtension(input);
  if (extension == ".wpt" || extension == ".cup" || extension == ".geo" || extension == ".utm") {
    return FileContent::Waypoints;
  }
  if (extension == ".gpx") return Contains(bytes, "<trk") ? FileContent::Track : FileContent::Waypoints;
  if (extension == ".kml") {
    return Contains(bytes, "<LineString") || Contains(bytes, "<gx:Track") ? FileContent::Track
                                                                          : FileContent::Waypoints;
  }
  if (extension == ".dat") return LooksBinary(bytes) ? FileContent::Track : FileContent::Waypoints;
  if (extension == ".mps") {
    // MapSource files carry either: a file without track records is waypoints, and a
    // waypoint-only output name says which is wanted from one that holds both.
    if (!MapSourceHoldsTracks(bytes)) return FileContent::Waypoints;
    const std::string out = output.filename().string();
    const bool waypointOutput = FormatForOutputName(out).has_value() &&
                                LowerExtension(output) != ".gpx" && LowerExtension(output) != ".kml" &&
                                LowerExtension(output) != ".mps";
    return waypointOutput ? FileContent::Waypoints : FileContent::Track;
  }
  return FileContent::Track;
}

int ConvertAnyFile(const std::filesystem::path& input, const std::filesystem::path& output,
                   const ConvertOptions& options, Ui& ui, std::vector<std::string>& notes) {
  // Only the first bytes decide; the converters read the file themselves with their own
  // messages, so a file that cannot be read here is left to them to report.
  // The file is read once: what converts it takes these bytes instead of reading it again.
  ReadFileResult file = ReadWholeFile(input);
  const std::string from = LowerExtension(input);
  if (file.status == ReadStatus::Ok && (from == ".gpx" || from == ".kml") &&
      !IsOpenAirInput(input, file.bytes)) {
    kml::RegisterKmlAndIgcReaders();
    return ConvertGpxOrKml(input, file.bytes, output, options, ui, notes);
  }
  if (file.status == ReadStatus::Ok && from == ".igc" && HoldsSeveralIgcFlights(file.bytes)) {
    // Several flights are several tracks: all of them to GPX and KML, one chosen for the rest.
    kml::RegisterKmlAndIgcReaders();
    return ConvertGpxOrKml(input, file.bytes, output, options, ui, notes);
  }
  if (options.track && *options.track != 1) {
    ui.ShowErrorBox(FormatText("No track %zu: the file holds one", *options.track), "Convert");
    return 1;
  }
  const FileContent content = ClassifyConversionInput(input, file.bytes, output);
  if (content != FileContent::Track) {
    // The airspace and waypoint readers read their file themselves; these bytes go first.
    file.bytes = std::string();
  }
  switch (content) {
    case FileContent::Airspace:
      return ConvertAirspaceFile(input, output, ui);
    case FileContent::Waypoints:
      return ConvertWaypointFile(input, output, ui, &notes) >= 0 ? 0 : 1;
    case FileContent::Track: {
      const std::size_t headers = from == ".igc" && LowerExtension(output) != ".igc"
                                      ? CountIgcHeaderTexts(file.bytes)
                                      : 0;
      std::optional<std::string> bytes;
      if (file.status == ReadStatus::Ok) bytes = std::move(file.bytes);
      if (kml::ConvertAnyTrackFile(input, output, ui, std::move(bytes)) != 0) return 1;
      if (headers > 0) {
        notes.push_back(Plural(headers, "IGC header record", "IGC header records") +
                        " (pilot, glider, competition, logger) not written: " +
                        FormatName(LowerExtension(output)) + " output keeps none of them");
      }
      return 0;
    }
  }
  return 1;
}

}  // namespace logwell
