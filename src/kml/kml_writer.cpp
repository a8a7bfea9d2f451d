#include "kml/kml_writer.h"

#include <array>
#include <cstdlib>
#include <new>
#include <vector>

#include "base/version.h"
#include "base/xml_text.h"
#include "geo/units.h"
#include "track/formats/format_text.h"
#include "track/igc/igc_writer.h"
#include "kml/kml_hash.h"

namespace logwell::kml {
namespace {

using formats::AppendFormat;
using formats::SemicirclesToDegrees;

constexpr std::string_view kCrLf = "\r\n";

void Line(std::string& out, std::string_view text) {
  out.append(text);
  out.append(kCrLf);
}

// The 256-byte line buffer is enough for every formatted piece of the file.
#define LINE(out, ...)            \
  do {                            \
    AppendFormat(out, __VA_ARGS__); \
    out.append(kCrLf);            \
  } while (false)

int Version() { return kVersionNumber; }

CalendarTime Calendar(GarminTime time) { return GarminTimeToCalendar(time); }

void MetadataStart(std::string& out, const char* indent, std::string_view type, bool closed) {
  const int version = Version();
  AppendFormat(out, "%s<Metadata src=\"Logwell\" v=\"%d.%02d\" type=\"%.*s\"%s", indent,
               version / 100, version % 100, static_cast<int>(type.size()), type.data(),
               closed ? "/>" : ">");
  out.append(kCrLf);
}

// A position as "%.6f,%.6f,%d": longitude and latitude in degrees, GPS altitude in metres.
void AppendCoordinate(std::string& out, const TrackPoint& point, const char* suffix) {
  AppendFormat(out, "%.6f,%.6f,%d%s", SemicirclesToDegrees(point.longitude),
               SemicirclesToDegrees(point.latitude), DecimetresToMetres(point.gpsAltitude),
               suffix);
}

// ---- Description ----------------------------------------------------------------------------

// Length of the UTF-8 sequence that starts `text` at `i`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  std::uint32_t code = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) { length = 2; minimum = 0x80; code = lead & 0x1Fu; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; minimum = 0x800; code = lead & 0x0Fu; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; minimum = 0x10000; code = lead & 0x07u; }
  else return 0;
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// The description inside the CDATA section: "<" and ">" become "&lt" and "&gt" (so the text
// can never end the section), and control characters that XML does not allow are dropped.
bool AppendDescription(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    const char c = text[i];
    if (c == '<') {
      out.append("&lt");
    } else if (c == '>') {
      out.append("&gt");
    } else if (length > 1 || static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\r' ||
               c == '\n') {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return true;
}

void AppendStatistics(std::string& out, const FlightStatistics& s) {
  const CalendarTime start = Calendar(s.startTime);
  const CalendarTime end = Calendar(s.endTime);
  const std::int64_t duration = s.durationSeconds < 0 ? 0 : s.durationSeconds;
  Line(out, "Flight statistics");
  LINE(out, "Date                 %4d-%02d-%02d", start.year, start.month, start.day);
  LINE(out, "Start/finish         %02d:%02d:%02d - %02d:%02d:%02d", start.hour, start.minute,
       start.second, end.hour, end.minute, end.second);
  LINE(out, "Duration             %d : %02d : %02d", static_cast<int>(duration / 3600),
       static_cast<int>(duration / 60 % 60), static_cast<int>(duration % 60));
  LINE(out, "Max./min. height     %d / %d m", s.highestAltitude, s.lowestAltitude);
  LINE(out, "Max. mean/top speed  %d km/h / %d km/h", static_cast<int>(s.bestSpeed60 + 0.5),
       static_cast<int>(s.bestSpeed10 + 0.5));
  LINE(out, "Max/min climb rate   %.2f / %.2f m/s over 60s", s.highestVario60, s.lowestVario60);
  LINE(out, "Total distance       %.2f km", s.totalDistance / 1000.0);
  if (s.leftOutFixes > 0) {
    LINE(out, "Left out (alt/climb) %zu fixes (marked invalid or GNSS altitude 0)",
         s.leftOutFixes);
  }
}

// ---- Optimisation placemarks ----------------------------------------------------------------

struct PlacemarkContent {
  std::string_view type;
  std::string_view name;
  std::string title;
  std::vector<std::size_t> vertices;  // A, B, ... as full-track indices
  std::vector<double> values;         // metres, for B, C, ...
  std::optional<double> sum;          // metres
  std::vector<std::vector<std::size_t>> lines;  // the geometry, one list per line string
  std::string_view color;
};

// A vertex as a placemark draws it: a fix whose altitude is left out (marked invalid, GNSS
// altitude 0) takes the altitude of the nearest fix that has one, so that the line does not
// plunge to the ground. The track itself keeps every fix as recorded.
TrackPoint DrawnVertex(std::span<const TrackPoint> points, std::size_t index) {
  TrackPoint vertex = points[index];
  if (!AltitudeLeftOut(vertex)) return vertex;
  for (std::size_t step = 1; step < points.size(); ++step) {
    for (const std::size_t k : {index + step, index - step}) {  // wraps past 0 to a huge index
      if (k < points.size() && !AltitudeLeftOut(points[k])) {
        vertex.gpsAltitude = points[k].gpsAltitude;
        return vertex;
      }
    }
  }
  return vertex;
}

void AppendLineString(std::string& out, std::span<const TrackPoint> points,
                      const std::vector<std::size_t>& line, std::string_view indent) {
  const std::string pad(indent);
  Line(out, pad + "<LineString>");
  Line(out, pad + "  <tessellate>1</tessellate>");
  Line(out, pad + "  <coordinates>");
  for (const std::size_t index : line) {
    out.append(pad + "    ");
    AppendCoordinate(out, DrawnVertex(points, index), "");
    out.append(kCrLf);
  }
  Line(out, pad + "  </coordinates>");
  Line(out, pad + "</LineString>");
}

void AppendPlacemark(std::string& out, std::span<const TrackPoint> points,
                     const PlacemarkContent& p) {
  out.append(kCrLf);
  Line(out, "    <Placemark>");
  MetadataStart(out, "      ", p.type, false);
  out.append("        <FsInfo track_idx=\"");
  for (std::size_t k = 0; k < p.vertices.size(); ++k) {
    AppendFormat(out, k == 0 ? "%zu" : " %zu", p.vertices[k]);
  }
  Line(out, "\" />");
  Line(out, "      </Metadata>");
  out.append("      <name>").append(p.name);
  Line(out, "</name>");
  Line(out, "      <description>");
  out.append("        <![CDATA[\r\n<pre>\r\n");
  Line(out, p.title);
  out.append(kCrLf);
  Line(out, "Pos.      Time      Latitude         Longitude         Distance");
  for (std::size_t k = 0; k < p.vertices.size(); ++k) {
    const TrackPoint& point = points[p.vertices[k]];
    const CalendarTime time = Calendar(point.time);
    const std::string latitude = LatitudeText(point.latitude);
    const std::string longitude = LongitudeText(point.longitude);
    const char label = static_cast<char>('A' + k);
    const int number = static_cast<int>(p.vertices[k] + 1);
    if (k == 0) {
      LINE(out, " %c %5d  %02d:%02d:%02d  %s  %s", label, number, time.hour, time.minute,
           time.second, latitude.c_str(), longitude.c_str());
    } else {
      LINE(out, " %c %5d  %02d:%02d:%02d  %s  %s  %.2f", label, number, time.hour, time.minute,
           time.second, latitude.c_str(), longitude.c_str(), p.values[k - 1] / 1000.0);
    }
  }
  if (p.sum) {
    LINE(out, "                                                  Sum  %.2f", *p.sum / 1000.0);
  }
  Line(out, "</pre>]]>");
  Line(out, "      </description>");
  if (p.lines.size() == 1) {
    AppendLineString(out, points, p.lines.front(), "      ");
  } else {
    Line(out, "      <MultiGeometry>");
    for (const auto& line : p.lines) AppendLineString(out, points, line, "        ");
    Line(out, "      </MultiGeometry>");
  }
  Line(out, "      <Style>");
  Line(out, "        <LineStyle>");
  out.append("          <color>").append(p.color);
  Line(out, "</color>");
  Line(out, "        </LineStyle>");
  Line(out, "      </Style>");
  Line(out, "    </Placemark>");
}

template <std::size_t K>
PlacemarkContent PathPlacemark(const PathDistance<K>& path, std::string_view type,
                               std::string_view name, std::string title, bool withSum,
                               std::string_view color) {
  PlacemarkContent p{type, name, std::move(title), {}, {}, {}, {}, color};
  p.vertices.assign(path.points.begin(), path.points.end());
  p.values.assign(path.legs.begin(), path.legs.end());
  if (withSum) p.sum = path.total;
  p.lines = {p.vertices};
  return p;
}

std::string GapTitle(const char* format, std::uint32_t gap) {
  std::string title;
  AppendFormat(title, format, static_cast<int>(gap));
  return title;
}

PlacemarkContent TrianglePlacemark(const TriangleDistance& t, std::string_view type,
                                   std::string_view name, std::string title) {
  PlacemarkContent p{type, name, std::move(title), {}, {}, t.result, {}, "FFFF0000"};
  p.vertices.assign(t.points.begin(), t.points.end());
  p.values = {t.legs[0], t.legs[1], t.legs[2], t.closing};
  const auto& v = t.points;
  p.lines = {{v[1], v[2], v[3], v[1]}, {v[0], v[4]}};
  return p;
}

// Indices that lie outside the track would make the writer read beyond it; an analysis of
// another track is written as not computed rather than trusted.
bool IndicesInside(const std::vector<std::size_t>& indices, std::size_t count) {
  for (const std::size_t index : indices) {
    if (index >= count) return false;
  }
  return true;
}

// The claim's placemark: its fixes in the table (for a triangle or an out-and-return the
// start, the turnpoints and the finish, with the closing on the finish's line), the course
// as a line and the closing beside it. Readers that look only for the track pass it by like
// the distance placemarks.
void AppendClaim(std::string& out, std::span<const TrackPoint> points, const ContestClaim& claim) {
  const ContestResult* best = claim.Best();
  if (best == nullptr) {
    out.append("\r\n    <!--").append(ClaimText(claim)).append("-->\r\n");
    return;
  }
  const ExactResult& e = best->exact;
  const std::string text = ClaimText(claim);
  PlacemarkContent p{"contest_claim", text, text, {}, {}, e.distance, {}, "FF00FFFF"};
  const auto& v = e.points;
  switch (best->kind->rules.kind) {
    case ExactKind::FreeDistance:
      p.vertices.assign(v.begin(), v.end());
      p.values.assign(e.legs.begin(), e.legs.end());
      p.lines = {p.vertices};
      break;
    case ExactKind::OutAndReturn:
      p.vertices = {v[0], v[1], v[2], v[4]};
      p.values = {e.legs[0], e.legs[1], e.closing};
      p.lines = {{v[1], v[2]}, {v[0], v[4]}};
      break;
    default:
      p.vertices.assign(v.begin(), v.end());
      p.values = {e.legs[0], e.legs[1], e.legs[2], e.closing};
      p.lines = {{v[1], v[2], v[3], v[1]}, {v[0], v[4]}};
      break;
  }
  if (IndicesInside(p.vertices, points.size())) AppendPlacemark(out, points, p);
}

void AppendOptimisation(std::string& out, std::span<const TrackPoint> points,
                        const DistanceAnalysis& a, std::uint32_t gap) {
  std::vector<PlacemarkContent> paths;
  paths.push_back(PathPlacemark(a.five, "distance_5_point", "Distance over 5 points",
                                "Greatest distance using 5 points", true, "FFFF0000"));
  paths.push_back(PathPlacemark(a.four, "distance_4_point", "Distance over 4 points",
                                "Greatest distance using 4 points", true, "FFFF0000"));
  paths.push_back(PathPlacemark(a.three, "distance_3_point", "Distance over 3 points",
                                "Greatest distance using 3 points", true, "FFFF0000"));
  paths.push_back(PathPlacemark(a.two, "distance_open", "Open distance",
                                "Greatest distance between any 2 points", false, "FF0000FF"));
  for (const PlacemarkContent& p : paths) {
    if (IndicesInside(p.vertices, points.size())) AppendPlacemark(out, points, p);
  }

  const OutAndReturnDistance& r = a.outAndReturn;
  PlacemarkContent outAndReturn{
      "distance_out_and_return", "Out-and-return distance",
      GapTitle("Out-and-return distance (max allowable gap %d)", gap),
      {r.start, r.turn, r.end}, {r.outward, r.closing}, r.result, {{r.end, r.start, r.turn}},
      "FFFF0000"};
  if (r.result == 0.0 || !IndicesInside(outAndReturn.vertices, points.size())) {
    out.append("\r\n    <!--Out-and-return not computed-->\r\n");
  } else {
    AppendPlacemark(out, points, outAndReturn);
  }

  const PlacemarkContent flat = TrianglePlacemark(
      a.triangle, "distance_flat_triangle", "Flat triangle",
      GapTitle("Flat triangle (max allowable gap %d)", gap));
  if (a.triangle.result == 0.0 || !IndicesInside(flat.vertices, points.size())) {
    out.append("\r\n    <!--Flat triangle not computed-->\r\n");
  } else {
    AppendPlacemark(out, points, flat);
  }

  const PlacemarkContent fai = TrianglePlacemark(
      a.fai, "distance_fai_triangle", "FAI triangle",
      GapTitle("FAI triangle (max allowable gap %d)", gap));
  if (a.fai.result == 0.0 || !IndicesInside(fai.vertices, points.size())) {
    out.append("\r\n    <!--FAI triangle not computed-->\r\n");
  } else {
    AppendPlacemark(out, points, fai);
  }
}

// ---- Track placemark ------------------------------------------------------------------------

// Attribute text as the reader will see it: control characters become spaces and runs of
// spaces fold (the reader normalises the attribute text), the XML specials are escaped, and
// the result is cut to the 79 characters an attribute value keeps, never inside an escape or
// a UTF-8 character.
std::string InstrumentAttribute(std::string_view text) {
  std::string folded;
  for (const char c : text) {
    const char d = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    if (d == ' ' && (folded.empty() || folded.back() == ' ')) continue;
    folded.push_back(d);
  }
  folded.resize(TrimTrailing(folded, kSpaces).size());
  std::string escaped;
  for (std::size_t i = 0; i < folded.size();) {
    std::size_t length = Utf8SequenceLength(folded, i);
    std::string piece(XmlEntityFor(folded[i], XmlQuotes::Escaped));
    if (piece.empty()) {
      // A byte that starts no UTF-8 character is kept out of the UTF-8 document.
      if (length == 0) { length = 1; piece = "?"; }
      else piece = folded.substr(i, length);
    }
    if (escaped.size() + piece.size() > kMaxInstrumentAttribute) break;
    escaped += piece;
    i += length;
  }
  escaped.resize(TrimTrailing(escaped, kSpaces).size());
  return escaped;
}

std::string IsoTime(GarminTime time, bool utc) {
  const CalendarTime t = Calendar(time);
  std::string text;
  AppendFormat(text, "%d-%02d-%02dT%02d:%02d:%02d%s", t.year, t.month, t.day, t.hour, t.minute,
               t.second, utc ? "Z" : "");
  return text;
}

// Values separated by spaces (none after the last), each hashed as written, with a line break
// after every `perLine` values and one more when the count is not a multiple of it.
template <typename Print>
void AppendValueLines(std::string& out, std::size_t count, std::size_t perLine, KmlHash& hash,
                      Print print) {
  std::string piece;
  for (std::size_t i = 0; i < count; ++i) {
    piece.clear();
    print(piece, i, i + 1 == count);
    hash.Update(piece);
    out.append(piece);
    if ((i + 1) % perLine == 0) out.append(kCrLf);
  }
  if (count % perLine != 0) out.append(kCrLf);
}

void AppendTrack(std::string& out, const KmlTrackInfo& info, std::string_view instrument) {
  const std::span<const TrackPoint> points = info.points;
  KmlHash hash;
  out.append(kCrLf);
  Line(out, "    <Placemark>");
  MetadataStart(out, "      ", "track", false);
  out.append("        <FsInfo time_of_first_point=\"");
  const std::string firstTime = IsoTime(points.front().time, info.timesAreUtc);
  hash.Update(firstTime);
  out.append(firstTime).append("\"");
  if (info.withPilotIds && (info.compPilotId >= 0 || info.civlPilotId >= 0)) {
    out.append("\r\n                ");
    if (info.civlPilotId < 0) {
      AppendFormat(out, "comp_pilot_id=\"%d\"", info.compPilotId);
    } else {
      AppendFormat(out, "civl_pilot_id=\"%d\"", info.civlPilotId);
      if (info.compPilotId >= 0) AppendFormat(out, " comp_pilot_id=\"%d\"", info.compPilotId);
    }
  }
  if (!instrument.empty()) {
    out.append("\r\n                instrument=\"");
    hash.Update(instrument);
    out.append(instrument).append("\"");
  }
  if (info.downloaded) {
    out.append("\r\n                downloaded=\"");
    const std::string downloaded = IsoTime(*info.downloaded, true);
    hash.Update(downloaded);
    out.append(downloaded).append("\"");
  }
  std::size_t hashOffset = std::string::npos;
  if (info.withHash) {
    out.append("\r\n                hash=\"");
    hashOffset = out.size();
    out.append(kHashTextLength, '0').append("\"");
  }
  Line(out, ">");

  const GarminTime first = points.front().time;
  Line(out, "          <SecondsFromTimeOfFirstPoint>");
  AppendValueLines(out, points.size(), 25, hash, [&](std::string& s, std::size_t i, bool last) {
    const auto offset = static_cast<std::int64_t>(points[i].time) - first;
    AppendFormat(s, last ? "%lld" : "%lld ", static_cast<long long>(offset));
  });
  Line(out, "          </SecondsFromTimeOfFirstPoint>");
  if (info.withPressureAltitude) {
    Line(out, "          <PressureAltitude>");
    AppendValueLines(out, points.size(), 25, hash, [&](std::string& s, std::size_t i, bool last) {
      AppendFormat(s, last ? "%d" : "%d ", points[i].pressureAltitude);
    });
    Line(out, "          </PressureAltitude>");
  }
  Line(out, "        </FsInfo>");
  Line(out, "      </Metadata>");
  Line(out, "      <name>Tracklog</name>");
  Line(out, "      <LineString>");
  bool anyAltitude = false;
  for (const TrackPoint& point : points) anyAltitude = anyAltitude || point.gpsAltitude != 0;
  Line(out, anyAltitude ? "        <altitudeMode>absolute</altitudeMode>"
                        : "        <altitudeMode>clampedToGround</altitudeMode>");
  Line(out, "        <coordinates>");
  AppendValueLines(out, points.size(), 5, hash, [&](std::string& s, std::size_t i, bool last) {
    AppendCoordinate(s, points[i], last ? "" : " ");
  });
  Line(out, "        </coordinates>");
  const std::string digest = hash.Finish();
  if (hashOffset != std::string::npos) out.replace(hashOffset, kHashTextLength, digest);
  Line(out, "      </LineString>");
  Line(out, "    </Placemark>");
  Line(out, "  </Folder>");
}

}  // namespace

bool NormaliseMissingTimes(std::span<TrackPoint> points) {
  bool missing = false;
  for (const TrackPoint& point : points) {
    missing = missing || point.time == 0 || IsInvalidGarminTime(point.time);
  }
  if (!missing) return false;
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].time = static_cast<GarminTime>(5 * i);
    points[i].milliseconds = 0;
  }
  return true;
}

std::string_view KmlBodyErrorText(int result) {
  return result == kKmlBodyBadDescription ? "Wide character conversion error"
                                          : "Memory allocation error";
}

int WriteKmlBody(std::string& out, KmlTrackInfo& info,
                 std::optional<std::string_view> description,
                 std::optional<std::string_view> instrument) {
  if (info.points.empty()) return kKmlBodyNoMemory;
  try {
    if (NormaliseMissingTimes(info.points)) info.timesAreUtc = false;
    const std::string instrumentText = InstrumentAttribute(instrument.value_or("unknown"));
    Line(out, "  <Folder>");
    MetadataStart(out, "    ", "trip", true);
    Line(out, "    <open>1</open>");
    Line(out, "    <name>Trip</name>");
    out.append("    <description><![CDATA[");
    if (description && !AppendDescription(out, *description)) return kKmlBodyBadDescription;
    out.append("\r\n<pre>\r\n");
    AppendStatistics(out, info.statistics);
    Line(out, "</pre>]]>");
    Line(out, "    </description>");
    if (info.claim) AppendClaim(out, info.points, *info.claim);
    AppendOptimisation(out, info.points, info.analysis, info.loopGap);
    AppendTrack(out, info, instrumentText);
    return kKmlBodyOk;
  } catch (const std::bad_alloc&) {
    out.clear();
    out.shrink_to_fit();
    return kKmlBodyNoMemory;
  }
}

}  // namespace logwell::kml
