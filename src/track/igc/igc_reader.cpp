#include "track/igc/igc_reader.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"
#include "track/track_log.h"

namespace logwell::igc {
namespace {

constexpr GarminTime kSecondsPerDay = 86400;
// A fix that lies this far or more before the previous one belongs to the next day: a flight
// that passes midnight UTC restarts its time of day at zero under the same date record.
constexpr std::uint32_t kMidnightRollOverSeconds = 3600;

// Thousandths of a minute of arc to semicircles (10800000 / 2^31 inverted), rounded half away
// from zero. The geodesy library offers only the other direction so far.
std::int32_t MilliMinutesToSemicircles(double milliMinutes) {
  return detail::RoundHalfAwayAndWrap(milliMinutes * 198.8410785185);
}

// Bytes of a B record that an I-record extension occupies, counted from 1 as the record does.
struct ExtensionBytes {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
};

// The further decimal places of the minutes that a LAD or LOD extension carries (the digits
// after the B record's thousandths), as a fraction of a thousandth of a minute. Nothing when
// the record is too short or the field is not all digits: the position then keeps the
// B record's own precision.
std::optional<double> ExtraMilliMinutes(std::string_view line, const ExtensionBytes& bytes) {
  const std::size_t count = bytes.last - bytes.first + 1;
  if (bytes.last > line.size() || count > 9) return std::nullopt;
  double fraction = 0.0;
  double weight = 0.1;
  for (std::size_t i = bytes.first - 1; i < bytes.last; ++i) {
    const char c = line[i];
    if (c < '0' || c > '9') return std::nullopt;
    fraction += (c - '0') * weight;
    weight /= 10.0;
  }
  return fraction;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The value of `count` digits at `pos`, or nothing when one of them is missing or no digit.
std::optional<std::uint32_t> Digits(std::string_view line, std::size_t pos, std::size_t count) {
  if (pos + count > line.size()) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(line[i])) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(line[i] - '0');
  }
  return value;
}

// A five-character altitude: five digits, or a minus sign and four digits.
std::optional<std::int32_t> Altitude(std::string_view line, std::size_t pos) {
  if (pos + 5 > line.size()) return std::nullopt;
  if (line[pos] == '-') {
    const auto value = Digits(line, pos + 1, 4);
    if (!value) return std::nullopt;
    return -static_cast<std::int32_t>(*value);
  }
  const auto value = Digits(line, pos, 5);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

class TextDecoder {
 public:
  // severalFlights: a further A record closes the flight and opens the next one.
  explicit TextDecoder(bool severalFlights = false) : severalFlights_(severalFlights) {}
  IgcDecodeResult Run(std::string_view text);
  // With severalFlights, the flights before the last one (Run returns the last).
  std::vector<IgcDecodeResult> TakeEarlierFlights() { return std::move(earlier_); }

 private:
  // Each returns an error text, empty when the line was accepted or ignored.
  std::string ProcessLine(std::string_view line);
  std::string ARecord(std::string_view line);
  std::string HRecord(std::string_view line);
  std::string IRecord(std::string_view line);
  std::string BRecord(std::string_view line);
  std::string FormatError() const {
    char text[kMaxDecodeErrorLength + 1];
    std::snprintf(text, sizeof text, "Format error on line %d", lineNumber_);
    return text;
  }

  // Keeps the flight decoded so far and starts afresh for the next A record.
  void StartNextFlight() {
    earlier_.push_back(std::move(result_));
    result_ = {};
    aRecordSeen_ = false;
    iRecordSeen_ = false;
    tdsBytes_.reset();
    ladBytes_.reset();
    lodBytes_.reset();
    fileDate_.reset();
    date_ = 0;
    previousTimeOfDay_ = 0;
  }

  bool severalFlights_ = false;
  std::vector<IgcDecodeResult> earlier_;
  IgcDecodeResult result_;
  int lineNumber_ = 0;
  bool aRecordSeen_ = false;
  bool iRecordSeen_ = false;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> tdsBytes_;  // first and last, from 1
  std::optional<ExtensionBytes> ladBytes_;  // further digits of the latitude minutes
  std::optional<ExtensionBytes> lodBytes_;  // further digits of the longitude minutes
  std::optional<GarminTime> fileDate_;  // the HFDTE day
  GarminTime date_ = 0;  // the HFDTE day plus the days passed since
  std::uint32_t previousTimeOfDay_ = 0;
};

IgcDecodeResult TextDecoder::Run(std::string_view text) {
  std::string line;
  line.reserve(kMaxDecodedLineLength);
  bool carriageReturnSeen = false;
  for (char c : text) {
    if (c == '\n') {
      ++lineNumber_;
      std::string error = ProcessLine(line);
      if (!error.empty()) {
        result_.points.clear();
        result_.points.shrink_to_fit();
        result_.error = std::move(error);
        return std::move(result_);
      }
      line.clear();
      carriageReturnSeen = false;
    } else if (c == '\r') {
      carriageReturnSeen = true;
    } else if (!carriageReturnSeen && line.size() < kMaxDecodedLineLength) {
      line.push_back(c);
    }
  }
  if (!aRecordSeen_) {
    result_.error = "No A-record found";
  } else if (result_.points.empty() && !severalFlights_) {
    result_.error = "No positions found";
  }
  return std::move(result_);
}

// The number of a last line that breaks off without its line end, when it is a record the
// decoder reads (the decoder leaves such a line out); nothing otherwise.
std::optional<int> CutShortLine(std::string_view text) {
  const std::size_t lastEnd = text.rfind('\n');
  const std::string_view rest = lastEnd == std::string_view::npos ? text : text.substr(lastEnd + 1);
  if (rest.empty() || std::string_view("ABHI").find(rest.front()) == std::string_view::npos) {
    return std::nullopt;
  }
  return static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
}

bool HasSecurityRecord(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] == 'G') return true;
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return false;
}

std::string TextDecoder::ProcessLine(std::string_view line) {
  if (!aRecordSeen_ && (line.empty() || line[0] != 'A')) return "Missing A-record";
  if (line.empty()) return {};
  switch (line[0]) {
    case 'A': return ARecord(line);
    case 'H': return HRecord(line);
    case 'I': return IRecord(line);
    case 'B': return BRecord(line);
    default: return {};
  }
}

std::string TextDecoder::ARecord(std::string_view line) {
  if (aRecordSeen_) {
    if (!severalFlights_) return "Multiple A-records";
    StartNextFlight();
  }
  if (line.size() < 4) return FormatError();
  for (std::size_t i = 1; i <= 3; ++i) {
    if (!IsAsciiAlnum(line[i])) return FormatError();
  }
  std::string serial = "000";
  if (line.size() > 4 && line[4] != ' ') {
    if (line.size() < 7) return FormatError();
    for (std::size_t i = 4; i <= 6; ++i) {
      if (!IsAsciiAlnum(line[i])) return FormatError();
    }
    serial = std::string(line.substr(4, 3));
  }
  result_.manufacturer = std::string(line.substr(1, 3));
  result_.loggerSerial = std::move(serial);
  aRecordSeen_ = true;
  return {};
}

std::string TextDecoder::HRecord(std::string_view line) {
  if (!line.starts_with("HFDTE")) return {};
  std::string_view field = line.substr(5);
  if (field.starts_with("DATE:")) {
    field.remove_prefix(5);
    // The long form may carry a flight number after a comma.
    if (field.size() > 6 && field[6] != ',') return FormatError();
  } else if (field.size() != 6) {
    return FormatError();
  }
  const auto day = Digits(field, 0, 2);
  const auto month = Digits(field, 2, 2);
  const auto year = Digits(field, 4, 2);
  if (!day || !month || !year || *day < 1 || *day > 31 || *month < 1 || *month > 12) {
    return FormatError();
  }
  CalendarTime calendar;
  calendar.year = 2000 + static_cast<int>(*year);
  calendar.month = static_cast<int>(*month);
  calendar.day = static_cast<int>(*day);
  const GarminTime date = CalendarToGarminTime(calendar);
  // Many recorders give the date in both forms ("HFDTE100923" and "HFDTEDATE:100923,01"):
  // a repeat that names the same day says nothing new, another day is a second flight.
  if (fileDate_) return *fileDate_ == date ? std::string{} : "Multiple HFDTE-records";
  fileDate_ = date;
  date_ = date;
  return {};
}

std::string TextDecoder::IRecord(std::string_view line) {
  if (iRecordSeen_) return "Multiple I-records";
  const auto count = Digits(line, 1, 2);
  if (!count) return FormatError();
  for (std::size_t i = 0; i < *count; ++i) {
    const std::size_t pos = 3 + 7 * i;
    const auto first = Digits(line, pos, 2);
    const auto last = Digits(line, pos + 2, 2);
    if (!first || !last || *last < *first || pos + 7 > line.size()) return FormatError();
    const std::string_view code = line.substr(pos + 4, 3);
    if (code == "TDS") tdsBytes_ = {{*first, *last}};
    // LAD and LOD start after the B record's own 35 bytes, so they never overlap its fields.
    if (code == "LAD" && *first > 35) ladBytes_ = ExtensionBytes{*first, *last};
    if (code == "LOD" && *first > 35) lodBytes_ = ExtensionBytes{*first, *last};
  }
  iRecordSeen_ = true;
  return {};
}

std::string TextDecoder::BRecord(std::string_view line) {
  if (!fileDate_) return FormatError();
  if (tdsBytes_ && (tdsBytes_->first < 36 || line.size() < tdsBytes_->second)) {
    return FormatError();
  }
  const auto hours = Digits(line, 1, 2);
  const auto minutes = Digits(line, 3, 2);
  const auto seconds = Digits(line, 5, 2);
  const auto latDegrees = Digits(line, 7, 2);
  const auto latMilliMinutes = Digits(line, 9, 5);
  const auto lonDegrees = Digits(line, 15, 3);
  const auto lonMilliMinutes = Digits(line, 18, 5);
  const auto pressure = Altitude(line, 25);
  const auto gnss = Altitude(line, 30);
  if (!hours || *hours > 23 || !minutes || *minutes > 59 || !seconds || *seconds > 59 ||
      !latDegrees || *latDegrees > 89 || !latMilliMinutes || *latMilliMinutes > 60000 ||
      !lonDegrees || *lonDegrees > 179 || !lonMilliMinutes || *lonMilliMinutes > 60000 ||
      !pressure || !gnss) {
    return FormatError();
  }
  const char northSouth = line[14];
  const char eastWest = line[23];
  if ((northSouth != 'N' && northSouth != 'S') || (eastWest != 'E' && eastWest != 'W')) {
    return FormatError();
  }
  std::uint16_t milliseconds = 0;
  if (tdsBytes_) {
    static constexpr std::uint16_t kWeights[] = {100, 10, 1};
    for (std::uint32_t byte = tdsBytes_->first; byte <= tdsBytes_->second; ++byte) {
      const char c = line[byte - 1];
      if (!IsDigit(c)) return FormatError();
      const std::uint32_t place = byte - tdsBytes_->first;
      if (place < 3) {
        milliseconds = static_cast<std::uint16_t>(milliseconds + (c - '0') * kWeights[place]);
      }
    }
  }

  const std::uint32_t timeOfDay = *hours * 3600 + *minutes * 60 + *seconds;
  TrackPoint point;
  if (result_.points.empty()) {
    point.segmentStart = 1;
  } else {
    // Fixes of the same whole second are one fix for the track log.
    if (timeOfDay == previousTimeOfDay_) return {};
    if (previousTimeOfDay_ >= timeOfDay + kMidnightRollOverSeconds) date_ += kSecondsPerDay;
  }
  previousTimeOfDay_ = timeOfDay;
  point.time = date_ + timeOfDay;
  point.milliseconds = milliseconds;
  double latitude = static_cast<double>(std::int64_t{*latDegrees} * 60000 + *latMilliMinutes);
  double longitude = static_cast<double>(std::int64_t{*lonDegrees} * 60000 + *lonMilliMinutes);
  if (ladBytes_) latitude += ExtraMilliMinutes(line, *ladBytes_).value_or(0.0);
  if (lodBytes_) longitude += ExtraMilliMinutes(line, *lodBytes_).value_or(0.0);
  if (northSouth == 'S') latitude = -latitude;
  if (eastWest == 'W') longitude = -longitude;
  point.latitude = MilliMinutesToSemicircles(latitude);
  point.longitude = MilliMinutesToSemicircles(longitude);
  point.pressureAltitude = *pressure;
  point.gpsAltitude = *gnss * 10;
  if (line[24] == 'V') point.quality = kFixMarkedInvalid;
  if (!AppendTrackPoint(result_.points, point)) {
    return std::string(TrackPointsFailure(result_.points.size() + 1, "Memory allocation error"));
  }
  return {};
}

}  // namespace

IgcDecodeResult DecodeIgcText(std::string_view text) { return TextDecoder().Run(text); }

IgcFlightsResult DecodeIgcFlights(std::string_view text) {
  IgcFlightsResult result;
  TextDecoder decoder(true);
  IgcDecodeResult last = decoder.Run(text);
  if (!last.Ok()) {
    result.error = std::move(last.error);
    return result;
  }
  std::vector<IgcDecodeResult> all = decoder.TakeEarlierFlights();
  all.push_back(std::move(last));
  for (IgcDecodeResult& flight : all) {
    if (flight.points.empty()) {
      ++result.flightsWithoutPositions;
    } else {
      result.flights.push_back(std::move(flight));
    }
  }
  if (result.flights.empty()) {
    result.error = "No positions found";
    return result;
  }
  std::vector<std::string> lacks;
  if (const std::optional<int> line = CutShortLine(text)) {
    lacks.push_back(FormatText("the file is cut short: line %d breaks off and is left out", *line));
  }
  if (!HasSecurityRecord(text)) lacks.push_back("no security record (G record): the file is unsigned");
  for (const std::string& lack : lacks) {
    result.warning += result.warning.empty() ? "IGC file: " + lack : "; " + lack;
  }
  return result;
}

FlightHeaders ReadFlightHeaders(std::string_view text) {
  FlightHeaders headers;
  const struct {
    std::string_view code;
    std::string FlightHeaders::*field;
  } kinds[] = {{"PLT", &FlightHeaders::pilot},         {"GTY", &FlightHeaders::gliderType},
               {"GID", &FlightHeaders::gliderId},      {"CID", &FlightHeaders::competitionId},
               {"CCL", &FlightHeaders::competitionClass}};
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    // The H records come before the fixes; a B record ends the header.
    if (line.starts_with('B')) break;
    line = CutBytes(TrimTrailing(line, "\r"), kMaxDecodedLineLength);
    if (line.size() < 5 || line[0] != 'H') continue;
    for (const auto& kind : kinds) {
      std::string& field = headers.*kind.field;
      if (line.substr(2, 3) != kind.code || !field.empty()) continue;
      // "HFPLTPILOTINCHARGE:Jane Doe": the value follows the colon; old files have no long name.
      const std::size_t colon = line.find(':');
      std::string_view value = Trim(colon == std::string_view::npos ? line.substr(5) : line.substr(colon + 1),
                                    kSpacesAndTabs);
      if (value == "NKN" || value == "NIL") value = {};
      field = AsUtf8(value);
    }
  }
  return headers;
}

}  // namespace logwell::igc
