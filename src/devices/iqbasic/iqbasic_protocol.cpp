#include "devices/iqbasic/iqbasic_protocol.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>

#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::iqbasic {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A whole decimal number, an optional minus sign first, blanks around it allowed.
std::optional<int> Number(std::string_view text) {
  text = Trim(text, kSpacesAndTabs);
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "a<sep>b<sep>c", each a number of one or two digits.
std::optional<std::array<int, 3>> Triple(std::string_view text, char separator) {
  text = Trim(text, kSpacesAndTabs);
  std::array<int, 3> parts{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t at = i < 2 ? text.find(separator) : text.size();
    if (at == std::string_view::npos || at == 0 || at > 2) return std::nullopt;
    for (std::size_t k = 0; k < at; ++k) {
      if (!IsDigit(text[k])) return std::nullopt;
    }
    parts[i] = *Number(text.substr(0, at));
    if (i < 2) text.remove_prefix(at + 1);
  }
  return parts;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t at = line.find(';');
    fields.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return fields;
    line.remove_prefix(at + 1);
  }
}

// "N  dd'mm.mmm" or "E ddd'mm.mmm": the hemisphere letter, blanks, whole degrees, an
// apostrophe, minutes with decimals. Semicircles, or nothing.
std::optional<std::int32_t> Coordinate(std::string_view text, char positive, char negative, int maxDegrees) {
  if (text.empty() || (text[0] != positive && text[0] != negative)) return std::nullopt;
  const bool south = text[0] == negative;
  text = TrimLeading(text.substr(1), kSpaces);
  const std::size_t apostrophe = text.find('\'');
  if (apostrophe == std::string_view::npos || apostrophe == 0 || apostrophe > 3) return std::nullopt;
  for (std::size_t i = 0; i < apostrophe; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
  }
  const int degrees = *Number(text.substr(0, apostrophe));
  std::string_view minutes = TrimTrailing(text.substr(apostrophe + 1), kSpaces);
  const std::size_t point = minutes.find('.');
  if (point == std::string_view::npos || point == 0 || point > 2 || point + 1 >= minutes.size() ||
      minutes.size() - point - 1 > 6) {
    return std::nullopt;
  }
  double value = 0.0;
  double scale = 1.0;
  for (std::size_t i = 0; i < minutes.size(); ++i) {
    if (i == point) continue;
    if (!IsDigit(minutes[i])) return std::nullopt;
    if (i < point) {
      value = value * 10 + (minutes[i] - '0');
    } else {
      scale /= 10.0;
      value += (minutes[i] - '0') * scale;
    }
  }
  if (value >= 60.0 || degrees > maxDegrees || (degrees == maxDegrees && value > 0.0)) return std::nullopt;
  const double total = degrees + value / 60.0;
  return DegreesToSemicircles(south ? -total : total);
}

bool KeptNameCharacter(char c) {
  // What the instrument accepts in a name, as the peer flight-recorder utility filters it.
  return c == ' ' || c == '&' || c == '(' || c == ')' || (c >= '-' && c <= ':') || (c >= '<' && c <= '>') ||
         (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string FlightRequest(int index) { return FormatText("ACT_21_%02x\r\n", static_cast<unsigned>(index) & 0xFFu); }

std::optional<std::vector<std::uint8_t>> ParameterBytes(std::string_view line, int number) {
  line = TrimTrailing(line, kBlanksAndLineEnds);
  const std::string prefix = FormatText("RPA_%02X_", static_cast<unsigned>(number));
  if (!line.starts_with(prefix)) return std::nullopt;
  line.remove_prefix(prefix.size());
  if (line.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < line.size(); i += 2) {
    const int high = HexValue(line[i]);
    const int low = HexValue(line[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::string_view ModelName(int deviceType) {
  switch (deviceType) {
    case 0: return "Flytec 6015";
    case 1: return "IQ Basic";
    default: return {};
  }
}

std::optional<std::string> ReadProduct(std::span<const std::uint8_t> serial, std::span<const std::uint8_t> type,
                                       std::span<const std::uint8_t> software, ProductData& product) {
  // The parameter table gives the serial number four bytes, the type one, the software two.
  if (serial.size() != 4) return "Unsupported record (serial number)";
  if (type.size() != 1 || ModelName(type[0]).empty()) return "Unsupported record (device type)";
  if (software.size() != 2) return "Unsupported record (software version)";
  product.serial = 0;
  for (std::size_t i = serial.size(); i-- > 0;) product.serial = product.serial << 8 | serial[i];
  product.deviceType = type[0];
  product.software = software[0] | software[1] << 8;
  return std::nullopt;
}

std::string ProductText(const ProductData& product) {
  const std::string model(ModelName(product.deviceType));
  return FormatText("%s, SW %d.%d.%02d, S/N %d", model.c_str(), product.software / 1000,
                    product.software / 100 % 10, product.software % 100, static_cast<int>(product.serial));
}

LineKind KindOf(std::string_view line) {
  line = Trim(line, kBlanksAndLineEnds);
  if (line == "Done") return LineKind::Done;
  if (line.starts_with("No") && Trim(line.substr(2), kSpacesAndTabs) == "Data") return LineKind::NoData;
  return LineKind::Data;
}

std::optional<std::string> ParseFlightListLine(std::string_view line, int& index, TrackListEntry& entry) {
  const auto fields = SplitFields(TrimTrailing(line, kBlanksAndLineEnds));
  if (fields.size() < 5) return "Unsupported record: " + std::string(CutBytes(line, 40));
  const auto number = Number(fields[0]);
  if (!number || *number < 0 || *number >= kMaxFlights) return std::string("Bad track index parameter");
  const auto date = Triple(fields[1], '.');
  if (!date || (*date)[1] < 1 || (*date)[1] > 12 || (*date)[2] < 1 || (*date)[2] > 31) {
    return std::string("Bad track date parameter");
  }
  const auto time = Triple(fields[2], ':');
  if (!time || (*time)[0] > 23 || (*time)[1] > 59 || (*time)[2] > 59) return std::string("Bad track time parameter");
  if (!Number(fields[3])) return std::string("Bad track time parameter");
  const auto duration = Triple(fields[4], ':');
  if (!duration || (*duration)[1] > 59 || (*duration)[2] > 59) return std::string("Bad track duration parameter");
  CalendarTime start;
  start.year = 2000 + (*date)[0];
  start.month = (*date)[1];
  start.day = (*date)[2];
  start.hour = (*time)[0];
  start.minute = (*time)[1];
  start.second = (*time)[2];
  index = *number;
  entry.startTime = CalendarToGarminTime(start);
  entry.durationSeconds =
      static_cast<std::uint32_t>((*duration)[0] * 3600 + (*duration)[1] * 60 + (*duration)[2]);
  return std::nullopt;
}

std::optional<WaypointLine> ParseWaypointLine(std::string_view line) {
  const auto fields = SplitFields(TrimTrailing(line, kBlanksAndLineEnds));
  if (fields.size() != 5) return std::nullopt;
  WaypointLine parsed;
  parsed.name = std::string(TrimTrailing(fields[0], kSpacesAndTabs));
  const auto latitude = Coordinate(fields[1], 'N', 'S', 90);
  const auto longitude = Coordinate(fields[2], 'E', 'W', 180);
  const auto altitude = Number(fields[3]);
  const auto radius = Number(fields[4]);
  if (!latitude || !longitude || !altitude || !radius || *radius < 0) return std::nullopt;
  parsed.latitude = *latitude;
  parsed.longitude = *longitude;
  parsed.altitude = *altitude;
  parsed.radius = *radius;
  return parsed;
}

std::string UploadName(std::string_view name) {
  std::string kept;
  for (const char c : name) {
    if (KeptNameCharacter(c) && kept.size() < kNameWidth) kept += c;
  }
  kept.resize(kNameWidth, ' ');
  return kept;
}

std::string WaypointUploadLine(const Waypoint& waypoint) {
  const std::int32_t lat = SemicirclesToMilliMinutes(waypoint.latitude);
  const std::int32_t lon = SemicirclesToMilliMinutes(waypoint.longitude);
  const long latAbs = std::labs(lat);
  const long lonAbs = std::labs(lon);
  const std::string name = UploadName(waypoint.Description());
  const int altitude = std::clamp(static_cast<int>(waypoint.altitude), kMinWaypointAltitude, kMaxWaypointAltitude);
  return FormatText("%s;%c  %2ld'%02ld.%03ld;%c %3ld'%02ld.%03ld;%6d;   400\r\n", name.c_str(),
                    lat < 0 ? 'S' : 'N', latAbs / 60000, latAbs / 1000 % 60, latAbs % 1000, lon < 0 ? 'W' : 'E',
                    lonAbs / 60000, lonAbs / 1000 % 60, lonAbs % 1000, altitude);
}

UploadAnswer UploadAnswerOf(std::string_view line) {
  line = Trim(line, kBlanksAndLineEnds);
  if (line == "Done") return UploadAnswer::Stored;
  if (line == "full list") return UploadAnswer::FullList;
  if (line == "Syntax Error") return UploadAnswer::SyntaxError;
  if (line == "already exist") return UploadAnswer::AlreadyExists;
  return UploadAnswer::Unknown;
}

std::string UploadResultText(int ok, int total, std::string_view firstError) {
  const std::string error(firstError);
  return FormatText("%d of %d waypoints ok. First error was \"%s\"", ok, total, error.c_str());
}

}  // namespace logwell::iqbasic
