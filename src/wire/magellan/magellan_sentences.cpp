#include "wire/magellan/magellan_sentences.h"

#include <cmath>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "track/formats/format_text.h"
#include "waypoints/reader_support.h"

namespace logwell::magellan {
namespace {

constexpr double kMetresPerFoot = 0.3048;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::int32_t> Angle(std::string_view field, std::string_view hemisphere,
                                  int maxDegrees, char positive, char negative) {
  if (field.empty() || field.find_first_not_of("0123456789.") != std::string_view::npos ||
      hemisphere.size() != 1) {
    return std::nullopt;
  }
  const auto value = formats::ParseDecimal(field);
  if (!value) return std::nullopt;
  const double degrees = std::floor(*value / 100.0);
  const double minutes = *value - degrees * 100.0;
  if (degrees >= maxDegrees || minutes >= 60.0) return std::nullopt;
  const double angle = degrees + minutes / 60.0;
  if (hemisphere[0] == positive) return DegreesToSemicircles(angle);
  if (hemisphere[0] == negative) return DegreesToSemicircles(-angle);
  return std::nullopt;
}

std::string FieldText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ',' || c == '*' || c == '$' || u < 0x20 || u == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

bool ReceivedSentence::Is(std::string_view identifier) const {
  return body.starts_with(identifier) &&
         (body.size() == identifier.size() || body[identifier.size()] == ',');
}

std::vector<std::string_view> ReceivedSentence::Fields() const {
  std::vector<std::string_view> fields;
  std::string_view rest = body;
  while (true) {
    const std::size_t comma = rest.find(',');
    fields.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    rest.remove_prefix(comma + 1);
  }
}

ReceivedSentence ReadSentence(std::string_view line) {
  ReceivedSentence sentence;
  if (!line.empty() && line.front() == '$') line.remove_prefix(1);
  const std::size_t star = line.rfind('*');
  sentence.body = std::string(line.substr(0, star));
  sentence.computed = NmeaChecksum(sentence.body);
  if (star != std::string_view::npos && line.size() == star + 3) {
    const int high = HexValue(line[star + 1]);
    const int low = HexValue(line[star + 2]);
    if (high >= 0 && low >= 0) sentence.received = static_cast<std::uint8_t>(high * 16 + low);
  }
  sentence.checksumOk = sentence.received == sentence.computed;
  return sentence;
}

std::string Sentence(std::string_view body) { return AppendNmeaChecksum("$" + std::string(body)); }

std::string AcknowledgeSentence(const ReceivedSentence& sentence) {
  std::uint8_t value = sentence.computed;
  if (!sentence.checksumOk) {
    value = static_cast<std::uint8_t>(sentence.computed ^ 0xFF);
    if (sentence.received == value) value = static_cast<std::uint8_t>(sentence.computed ^ 0x55);
  }
  return Sentence(FormatText("PMGNCSM,%02X", value));
}

std::optional<std::uint8_t> AcknowledgedChecksum(const ReceivedSentence& sentence) {
  if (!sentence.checksumOk || !sentence.Is("PMGNCSM")) return std::nullopt;
  const std::vector<std::string_view> fields = sentence.Fields();
  if (fields.size() != 2 || fields[1].size() != 2) return std::nullopt;
  const int high = HexValue(fields[1][0]);
  const int low = HexValue(fields[1][1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high * 16 + low);
}

std::string WaypointSentence(const Waypoint& waypoint) {
  const SplitCoordinate lat = SplitMilliMinutes(waypoint.latitude, 'N', 'S');
  const SplitCoordinate lon = SplitMilliMinutes(waypoint.longitude, 'E', 'W');
  const auto degreesMinutes = [](std::int64_t units) {
    const std::int64_t minutes = units / 1000;
    return static_cast<int>(minutes / 60 * 100 + minutes % 60);
  };
  const std::string body = FormatText(
      "$PMGNWPL,%04d.%03d,%c,%05d.%03d,%c,%04d,M,%s,%s", degreesMinutes(lat.units),
      static_cast<int>(lat.units % 1000), lat.hemisphere, degreesMinutes(lon.units),
      static_cast<int>(lon.units % 1000), lon.hemisphere, waypoint.altitude,
      FieldText(waypoint.Id()).c_str(), FieldText(waypoint.Description()).c_str());
  return AppendNmeaChecksum(body);
}

std::optional<Waypoint> ParseWaypointSentence(const ReceivedSentence& sentence) {
  if (!sentence.checksumOk || !sentence.Is("PMGNWPL")) return std::nullopt;
  const std::vector<std::string_view> f = sentence.Fields();
  if (f.size() < 8 || f.size() > 10) return std::nullopt;
  const auto latitude = Angle(f[1], f[2], 90, 'N', 'S');
  const auto longitude = Angle(f[3], f[4], 180, 'E', 'W');
  const auto altitude = formats::ParseWhole(f[5]);
  if (!latitude || !longitude || !altitude || *altitude < -100000 || *altitude > 100000 ||
      (f[6] != "M" && f[6] != "F") || f[7].empty()) {
    return std::nullopt;
  }
  Waypoint waypoint;
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  waypoint.altitude =
      f[6] == "M" ? static_cast<std::int32_t>(*altitude)
                  : static_cast<std::int32_t>(std::lround(static_cast<double>(*altitude) * kMetresPerFoot));
  waypoint.SetId(f[7]);
  if (f.size() >= 9) waypoint.SetDescription(f[8]);
  return waypoint;
}

}  // namespace logwell::magellan
