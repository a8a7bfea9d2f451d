#include "track/formats/tnc_log.h"

#include <charconv>
#include <cmath>

#include "base/text.h"
#include "base/ui.h"
#include "geo/units.h"
#include "track/formats/track_reader_messages.h"
#include "track/track_log.h"

namespace logwell {
namespace {

std::string_view NextLine(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

std::optional<std::uint32_t> TncField(std::string_view line, std::size_t position, std::size_t length, int base) {
  if (position + length > line.size()) return std::nullopt;
  const std::string_view digits = line.substr(position, length);
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::int32_t TncSigned(std::uint32_t value, int bits) {
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int32_t>(value ^ sign) - static_cast<std::int32_t>(sign);
}

std::uint32_t TncUnsigned(std::int32_t value, int bits) {
  return static_cast<std::uint32_t>(value) & ((1u << bits) - 1u);
}

int TncControlCode(std::string_view text) {
  int code = 0;
  for (const char c : text) code ^= static_cast<unsigned char>(c);
  return code;
}

std::int32_t TncUnitsToSemicircles(std::int32_t units) {
  return DegreesToSemicircles(static_cast<double>(units) / kTncUnitsPerDegree);
}

std::int32_t SemicirclesToTncUnits(std::int32_t semicircles) {
  return static_cast<std::int32_t>(std::lround(SemicirclesToDegrees(semicircles) * kTncUnitsPerDegree));
}

TncLineError ParseTncHeader(std::string_view line, TncHeader& header) {
  if (line.size() != kTncHeaderLength || line[0] != '@') return TncLineError::Length;
  const std::string_view kind = line.substr(1, 2);
  if (kind != "tn" && kind != "xc") return TncLineError::Instrument;
  const auto version = TncField(line, 3, 4, 16);
  const auto serial = TncField(line, 7, 4, 16);
  const auto flight = TncField(line, 11, 2, 16);
  const auto year = TncField(line, 13, 2, 10);
  const auto month = TncField(line, 15, 2, 10);
  const auto day = TncField(line, 17, 2, 10);
  const auto hour = TncField(line, 19, 2, 10);
  const auto minute = TncField(line, 21, 2, 10);
  const auto second = TncField(line, 23, 2, 10);
  const auto datum = TncField(line, 25, 2, 16);
  const auto count = TncField(line, 27, 4, 16);
  const auto interval = TncField(line, 31, 2, 16);
  const auto code = TncField(line, 36, 2, 16);
  if (!version || !serial || !flight || !year || !month || !day || !hour || !minute || !second || !datum ||
      !count || !interval || !code || line.substr(34, 2) != "**") {
    return TncLineError::Digit;
  }
  const char heightKind = line[33];
  if (heightKind != '*' && (heightKind < '0' || heightKind > '2')) return TncLineError::HeightKind;
  if (*datum != 1) return TncLineError::Datum;
  // Two-digit years: the instruments were sold from the late 1990s (unverified window).
  CalendarTime time;
  time.year = static_cast<int>(*year) + (*year >= 90 ? 1900 : 2000);
  time.month = static_cast<int>(*month);
  time.day = static_cast<int>(*day);
  time.hour = static_cast<int>(*hour);
  time.minute = static_cast<int>(*minute);
  time.second = static_cast<int>(*second);
  if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 || time.minute > 59 ||
      time.second > 59) {
    return TncLineError::DateTime;
  }
  const GarminTime start = CalendarToGarminTime(time);
  const CalendarTime back = GarminTimeToCalendar(start);
  if (back.year != time.year || back.month != time.month || back.day != time.day) return TncLineError::DateTime;
  header.instrument = kind == "tn" ? TncInstrument::TopNavigator : TncInstrument::XcTrainer;
  header.version = static_cast<int>(*version);
  header.serial = static_cast<int>(*serial);
  header.flight = static_cast<int>(*flight);
  header.start = start;
  header.datum = static_cast<int>(*datum);
  header.count = static_cast<int>(*count);
  header.interval = static_cast<int>(*interval);
  header.heightKind = heightKind;
  return TncLineError::None;
}

TncLineError ParseTncPoint(std::string_view line, int expectedIndex, TncPoint& point) {
  if (line.size() != kTncPointLength) return TncLineError::Length;
  const auto index = TncField(line, 0, 4, 16);
  const auto seconds = TncField(line, 4, 4, 16);
  const auto flags = TncField(line, 8, 2, 16);
  const auto latitude = TncField(line, 10, 6, 16);
  const auto longitude = TncField(line, 16, 6, 16);
  const auto height = TncField(line, 22, 4, 16);
  const auto code = TncField(line, 26, 2, 16);
  if (!index || !seconds || !flags || !latitude || !longitude || !height || !code) return TncLineError::Digit;
  if (static_cast<int>(*code) != TncControlCode(line.substr(0, 26))) return TncLineError::ControlCode;
  if (static_cast<int>(*index) != expectedIndex) return TncLineError::Sequence;
  if ((*flags & ~static_cast<std::uint32_t>(kTncKnownFlags)) != 0) return TncLineError::Flags;
  const std::int32_t lat = TncSigned(*latitude, 24);
  const std::int32_t lon = TncSigned(*longitude, 24);
  if (std::abs(lat) > 90 * 24000 || std::abs(lon) > 180 * 24000) return TncLineError::Range;
  point.index = static_cast<int>(*index);
  point.seconds = static_cast<int>(*seconds);
  point.flags = static_cast<int>(*flags);
  point.latitude = lat;
  point.longitude = lon;
  point.height = TncSigned(*height, 16);
  return TncLineError::None;
}

TrackPoint TncTrackPoint(const TncHeader& header, const TncPoint& point, std::int64_t clockShift) {
  TrackPoint result;
  result.time = static_cast<GarminTime>(static_cast<std::int64_t>(header.start) + point.seconds + clockShift);
  result.latitude = TncUnitsToSemicircles(point.latitude);
  result.longitude = TncUnitsToSemicircles(point.longitude);
  result.gpsAltitude = point.height * 10;
  result.segmentStart = point.index == 0 ? 1 : 0;
  return result;
}

std::string FormatTncHeader(const TncHeader& header) {
  const CalendarTime t = GarminTimeToCalendar(header.start);
  std::string line = FormatText(
      "@%s%04X%04X%02X%02d%02d%02d%02d%02d%02d%02X%04X%02X%c**",
      header.instrument == TncInstrument::TopNavigator ? "tn" : "xc", static_cast<unsigned>(header.version & 0xFFFF),
      static_cast<unsigned>(header.serial & 0xFFFF), static_cast<unsigned>(header.flight & 0xFF), t.year % 100, t.month,
      t.day, t.hour, t.minute, t.second, static_cast<unsigned>(header.datum & 0xFF),
      static_cast<unsigned>(header.count & 0xFFFF), static_cast<unsigned>(header.interval & 0xFF), header.heightKind);
  line += FormatText("%02X\r\n", static_cast<unsigned>(TncControlCode(line)));
  return line;
}

std::string FormatTncPoint(const TncPoint& point) {
  std::string line = FormatText("%04X%04X%02X%06X%06X%04X", static_cast<unsigned>(point.index & 0xFFFF),
                                static_cast<unsigned>(point.seconds & 0xFFFF), static_cast<unsigned>(point.flags & 0xFF),
                                TncUnsigned(point.latitude, 24), TncUnsigned(point.longitude, 24),
                                TncUnsigned(point.height, 16));
  line += FormatText("%02X\r\n", static_cast<unsigned>(TncControlCode(line)));
  return line;
}

TncPoint TncPointFor(const TrackPoint& point, GarminTime start, int index) {
  TncPoint result;
  result.index = index;
  result.seconds = static_cast<int>(point.time - start);
  result.flags = 0x03;
  result.latitude = SemicirclesToTncUnits(point.latitude);
  result.longitude = SemicirclesToTncUnits(point.longitude);
  result.height = RoundHalfAway(point.gpsAltitude / 10.0);
  return result;
}

std::string_view TncProductName(TncInstrument instrument) {
  return instrument == TncInstrument::TopNavigator ? "TopNav" : "XcTrainer";
}

std::string_view TncInstrumentName(TncInstrument instrument) {
  return instrument == TncInstrument::TopNavigator ? "Top Navigator" : "XC Trainer";
}

std::optional<FileReadResult> ReadTncLog(std::string_view text, Ui& ui) {
  ui.ShowStatus("Reading Top Navigator Log File");
  std::string_view rest = text;
  int lineNumber = 1;
  const std::string_view first = NextLine(rest);
  if (first.empty() || first[0] != '@') {
    ui.ShowErrorBox("Missing start record", kDecodingTrackLogCaption);
    return std::nullopt;
  }
  TncHeader header;
  if (const TncLineError error = ParseTncHeader(first, header); error != TncLineError::None) {
    ui.ShowErrorBox(FormatText("Error %d on line %d", static_cast<int>(error), lineNumber), kDecodingTrackLogCaption);
    return std::nullopt;
  }
  FileReadResult result;
  if (!ReserveTrackPoints(result.points, static_cast<std::size_t>(header.count))) {
    ui.ShowErrorBox(TrackPointsFailure(static_cast<std::size_t>(header.count)),
                    kDecodingTrackLogCaption);
    return std::nullopt;
  }
  for (int block = 1; block <= header.count; ++block) {
    ++lineNumber;
    if (rest.empty()) {
      ui.ShowErrorBox("Missing end-of-file record", kDecodingTrackLogCaption);
      return std::nullopt;
    }
    TncPoint point;
    if (const TncLineError error = ParseTncPoint(NextLine(rest), block - 1, point); error != TncLineError::None) {
      ui.ShowErrorBox(FormatText("Error %d on block line %d", static_cast<int>(error), block),
                      kDecodingTrackLogCaption);
      return std::nullopt;
    }
    result.points.push_back(TncTrackPoint(header, point));
  }
  // Only blank lines may follow the announced points.
  while (!rest.empty()) {
    ++lineNumber;
    if (!NextLine(rest).empty()) {
      ui.ShowErrorBox(FormatText("Error %d on line %d", static_cast<int>(TncLineError::AfterEnd), lineNumber),
                      kDecodingTrackLogCaption);
      return std::nullopt;
    }
  }
  result.timeIsUtc = 0;
  result.altitudeFlag = 0;
  return result;
}

}  // namespace logwell
