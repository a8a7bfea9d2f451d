#include "track/formats/csv_track.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "base/ui.h"
#include "geo/distance.h"
#include "track/formats/format_text.h"
#include "track/formats/track_reader_messages.h"
#include "base/text.h"

namespace logwell {
namespace {

using formats::AppendFormat;

// Splits one line at `separator`. A field may be enclosed in double quotes (a doubled quote
// inside stands for one); a quote inside an unquoted field, or text after a closing quote, is
// an error. Gives nothing on error or when more than `maxFields` fields are found.
std::optional<std::vector<std::string_view>> SplitCsvLine(std::string_view line, char separator,
                                                          std::size_t maxFields) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (true) {
    if (fields.size() == maxFields) return std::nullopt;
    std::string_view field;
    if (pos < line.size() && line[pos] == '"') {
      std::size_t end = pos + 1;
      while (true) {
        end = line.find('"', end);
        if (end == std::string_view::npos) return std::nullopt;
        if (end + 1 < line.size() && line[end + 1] == '"') {
          end += 2;
          continue;
        }
        break;
      }
      field = line.substr(pos + 1, end - pos - 1);
      pos = end + 1;
      if (pos < line.size() && line[pos] != separator) return std::nullopt;
    } else {
      const std::size_t end = std::min(line.find(separator, pos), line.size());
      field = line.substr(pos, end - pos);
      if (field.find('"') != std::string_view::npos) return std::nullopt;
      pos = end;
    }
    fields.push_back(field);
    if (pos >= line.size()) return fields;
    ++pos;  // the separator
  }
}

struct CsvColumns {
  int time = -1, latitude = -1, longitude = -1, gpsHeight = -1, pressureHeight = -1;
};

int FirstContaining(const std::vector<std::string>& fields,
                    std::initializer_list<std::string_view> names) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    for (const std::string_view name : names) {
      if (fields[i].find(name) != std::string::npos) return static_cast<int>(i);
    }
  }
  return -1;
}

std::optional<CsvColumns> FindColumns(std::string_view header, char separator) {
  const auto split = SplitCsvLine(header, separator, kMaxCsvHeaderFields);
  if (!split) return std::nullopt;
  std::vector<std::string> fields;
  for (const std::string_view field : *split) {
    fields.push_back(UpperCase(std::string(field)));
  }
  CsvColumns c;
  c.time = FirstContaining(fields, {"TIME", "DATE"});
  c.latitude = FirstContaining(fields, {"LATITUDE"});
  c.longitude = FirstContaining(fields, {"LONGITUDE"});
  c.gpsHeight = FirstContaining(fields, {"H-GPS", "ALTITUDE", "HEIGHT"});
  c.pressureHeight = FirstContaining(fields, {"H-BARO"});
  if (c.time < 0 || c.latitude < 0 || c.longitude < 0) return std::nullopt;
  if (c.time == c.latitude || c.time == c.longitude || c.latitude == c.longitude) {
    return std::nullopt;
  }
  if (c.gpsHeight >= 0 &&
      (c.gpsHeight == c.time || c.gpsHeight == c.latitude || c.gpsHeight == c.longitude)) {
    return std::nullopt;
  }
  return c;
}

class CsvLineReader {
 public:
  CsvLineReader(Ui& ui, const CsvColumns& columns) : ui_(ui), columns_(columns) {}

  // Adds the point of one data line; false after a message.
  bool Read(const std::vector<std::string_view>& fields, int lineNumber,
            std::vector<TrackPoint>& points) {
    const auto column = [&](int index) -> std::optional<std::string_view> {
      if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return std::nullopt;
      return fields[static_cast<std::size_t>(index)];
    };
    const auto needed = {columns_.time, columns_.latitude, columns_.longitude,
                         columns_.gpsHeight, columns_.pressureHeight};
    for (const int index : needed) {
      if (index >= 0 && !column(index)) return Fail("Error parsing line %d", lineNumber);
    }
    TrackPoint point;
    const auto time = formats::ParseIsoDateTime(*column(columns_.time));
    if (!time) return Fail("Error decoding time on line %d", lineNumber);
    point.time = time->time;
    point.milliseconds = time->milliseconds;
    allZoned_ = allZoned_ && time->zoned;
    const auto latitude = formats::ParseDecimal(*column(columns_.latitude));
    if (!latitude) return Fail("Error decoding latitude on line %d", lineNumber);
    if (!(*latitude > -90.0 && *latitude < 90.0)) {
      return Fail("Latitude out of range on line %d", lineNumber);
    }
    const auto longitude = formats::ParseDecimal(*column(columns_.longitude));
    if (!longitude) return Fail("Error decoding longitude on line %d", lineNumber);
    if (!(*longitude > -180.0 && *longitude < 180.0)) {
      return Fail("Longitude out of range on line %d", lineNumber);
    }
    point.latitude = formats::DegreesToSemicircles(*latitude);
    point.longitude = formats::DegreesToSemicircles(*longitude);
    if (columns_.gpsHeight >= 0) {
      const auto metres = Height(*column(columns_.gpsHeight));
      if (!metres) return Fail("Bad GPS height data on line %d", lineNumber);
      point.gpsAltitude = static_cast<std::int32_t>(*metres * 10.0);  // truncated
    }
    if (columns_.pressureHeight >= 0) {
      const auto metres = Height(*column(columns_.pressureHeight));
      if (!metres) return Fail("Bad pressure height data on line %d", lineNumber);
      point.pressureAltitude = formats::RoundHalfAway(*metres);
    }
    point.segmentStart = points.empty() ? 1 : 0;
    if (!AppendTrackPoint(points, point)) {
      ui_.ShowErrorBox(TrackPointsFailure(points.size() + 1), kDecodingTrackLogCaption);
      return false;
    }
    return true;
  }

  // Every time named its zone and was moved to UTC.
  bool AllZoned() const { return allZoned_; }

 private:
  // Metres; an empty field stands for an unknown height, stored as 0.
  static std::optional<double> Height(std::string_view field) {
    if (IsBlank(field, kSpacesAndTabs)) return 0.0;
    const auto metres = formats::ParseDecimal(field);
    if (!metres || std::fabs(*metres) > 1.0e6) return std::nullopt;
    return metres;
  }

  bool Fail(const char* format, int lineNumber) {
    ui_.ShowErrorBox(FormatText(format, lineNumber), kDecodingTrackLogCaption);
    return false;
  }

  Ui& ui_;
  CsvColumns columns_;
  bool allZoned_ = true;
};

// The reference point of the averaging described with CsvParameters.
std::size_t ReferencePoint(std::span<const TrackPoint> points, std::size_t i, int seconds) {
  if (i == 0) return 0;
  std::size_t reference = i - 1;
  const GarminTime now = points[i].time;
  // A log with many points in the same second would make the walk back long; no interval of
  // the form needs more than a few thousand points.
  constexpr std::size_t kMaxStepsBack = 4096;
  for (std::size_t k = i - 1; i - k <= kMaxStepsBack; --k) {
    if (points[k].time > now || now - points[k].time > static_cast<GarminTime>(seconds)) break;
    reference = k;
    if (k == 0) break;
  }
  return reference;
}

double SecondsBetween(const TrackPoint& from, const TrackPoint& to) {
  return (static_cast<double>(to.time) - from.time) + (to.milliseconds - from.milliseconds) / 1000.0;
}

double GroundDistance(const TrackPoint& a, const TrackPoint& b) {
  const GeoPoint from = ToGeoPoint({a.latitude, a.longitude});
  const GeoPoint to = ToGeoPoint({b.latitude, b.longitude});
  return EllipsoidDistance(from, to).value_or(SphericalDistance(from, to));
}

int Bearing(const TrackPoint& a, const TrackPoint& b) {
  const GeoPoint from = ToGeoPoint({a.latitude, a.longitude});
  const GeoPoint to = ToGeoPoint({b.latitude, b.longitude});
  const int degrees = static_cast<int>(std::lround(InitialCourseDegrees(from, to)));
  return ((degrees % 360) + 360) % 360;
}

void AppendOptionalColumns(std::string& out, std::span<const TrackPoint> points, std::size_t i,
                           const CsvParameters& parameters, double accumulatedMetres) {
  const TrackPoint& p = points[i];
  if (parameters.absTime) {
    const CalendarTime t = GarminTimeToCalendar(p.time);
    AppendFormat(out, ",%d/%d/%d  %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                 t.second);
  }
  if (parameters.relTime) {
    const long long since = static_cast<long long>(p.time) - points.front().time;
    const long long s = std::llabs(since);
    AppendFormat(out, ",%s%lld:%02lld:%02lld", since < 0 ? "-" : "", s / 3600, s / 60 % 60, s % 60);
  }
  if (parameters.relDist) AppendFormat(out, ",%.3f", GroundDistance(points.front(), p) / 1000.0);
  if (parameters.accDist) AppendFormat(out, ",%.3f", accumulatedMetres / 1000.0);
  if (parameters.bearing) {
    const TrackPoint& from = points[ReferencePoint(points, i, parameters.bearingSeconds)];
    AppendFormat(out, ",%d", i == 0 ? 0 : Bearing(from, p));
  }
  if (parameters.speed) {
    const TrackPoint& from = points[ReferencePoint(points, i, parameters.speedSeconds)];
    const double dt = SecondsBetween(from, p);
    AppendFormat(out, ",%.1f", dt > 0.0 ? GroundDistance(from, p) / dt * 3.6 : 0.0);
  }
  if (parameters.vario) {
    const TrackPoint& from = points[ReferencePoint(points, i, parameters.varioSeconds)];
    const double dt = SecondsBetween(from, p);
    AppendFormat(out, ",%.1f", dt > 0.0 ? (p.gpsAltitude - from.gpsAltitude) / 10.0 / dt : 0.0);
  }
}

CsvParameters Clamped(CsvParameters parameters) {
  const auto clamp = [](int& seconds) {
    seconds = std::clamp(seconds, CsvParameters::kMinInterval, CsvParameters::kMaxInterval);
  };
  clamp(parameters.bearingSeconds);
  clamp(parameters.speedSeconds);
  clamp(parameters.varioSeconds);
  return parameters;
}

}  // namespace

std::string WriteCsvTrack(std::span<const TrackPoint> points, const CsvParameters& requested) {
  const CsvParameters parameters = Clamped(requested);
  std::string out;
  out.reserve(std::max<std::size_t>(20000, points.size() * 120));
  out += "Date/time,Latitude,Longitude,H-GPS,H-Baro";
  if (parameters.absTime) out += ",AbsTime";
  if (parameters.relTime) out += ",RelTime";
  if (parameters.relDist) out += ",RelDist";
  if (parameters.accDist) out += ",AccDist";
  if (parameters.bearing) out += ",Bearing";
  if (parameters.speed) out += ",Speed";
  if (parameters.vario) out += ",Vario";
  out += "\r\n";
  double accumulated = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TrackPoint& p = points[i];
    if (i > 0 && parameters.accDist) accumulated += GroundDistance(points[i - 1], p);
    const CalendarTime t = GarminTimeToCalendar(p.time, p.milliseconds);
    AppendFormat(out, "%d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day, t.hour,
                 t.minute, t.second, t.milliseconds);
    AppendFormat(out, ",%.6f,%.6f", formats::SemicirclesToDegrees(p.latitude),
                 formats::SemicirclesToDegrees(p.longitude));
    // Whole metres from decimetres, half away from zero.
    const long long decimetres = p.gpsAltitude;
    if (decimetres < 0) {
      AppendFormat(out, ",-%lld", (-decimetres + 5) / 10);
    } else {
      AppendFormat(out, ",%lld", (decimetres + 5) / 10);
    }
    AppendFormat(out, ",%d", p.pressureAltitude);
    AppendOptionalColumns(out, points, i, parameters, accumulated);
    out += "\r\n";
  }
  return out;
}

std::optional<FileReadResult> ReadCsvTrack(std::string_view text, Ui& ui) {
  const std::vector<std::string_view> lines = formats::SplitLines(formats::UpToNul(text));
  char separator = ',';
  std::optional<CsvColumns> columns;
  if (!lines.empty()) {
    columns = FindColumns(lines[0], ',');
    if (!columns) {
      separator = ';';
      columns = FindColumns(lines[0], ';');
    }
  }
  if (!columns) {
    ui.ShowErrorBox("Could not determine items from header", kReadCsvCaption);
    return std::nullopt;
  }
  FileReadResult result;
  CsvLineReader reader(ui, *columns);
  for (std::size_t index = 1; index < lines.size(); ++index) {
    const int lineNumber = static_cast<int>(index + 1);
    if (IsBlank(lines[index], kSpacesAndTabs)) continue;
    const auto fields = SplitCsvLine(lines[index], separator, std::string_view::npos);
    if (!fields) {
      ui.ShowErrorBox(FormatText("Error parsing line %d", lineNumber), kDecodingTrackLogCaption);
      return std::nullopt;
    }
    if (!reader.Read(*fields, lineNumber, result.points)) return std::nullopt;
  }
  result.timeIsUtc = !result.points.empty() && reader.AllZoned() ? 1 : 0;
  return result;
}

}  // namespace logwell
