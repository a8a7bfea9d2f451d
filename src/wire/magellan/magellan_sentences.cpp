#include "wire/magellan/magellan_sentences.h"

#include <charconv>
#include <cmath>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "track/formats/format_text.h"
#include "track/formats/magellan_log.h"
#include "waypoints/reader_support.h"

namespace logwell::magellan {
namespace {

constexpr double kMetresPerFoot = 0.3048;

// Two hexadecimal digits, either case.
std::optional<std::uint8_t> HexByte(std::string_view digits) {
  unsigned value = 0;
  if (digits.size() != 2 || digits.find_first_of("+-") != std::string_view::npos) return std::nullopt;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + 2, value, 16);
  if (error != std::errc{} || end != digits.data() + 2) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

// A received text field. The receivers send a comma inside a field as ESC "2C" (GPSBabel's
// observation; other characters may come the same way): that is decoded, a code of an
// unprintable character becomes a blank. Any other control character refuses the field.
std::optional<std::string> ReceivedText(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c == 0x1B) {
      const auto code = HexByte(field.substr(i + 1, 2));
      if (!code) return std::nullopt;
      text += *code >= 0x20 && *code < 0x7F ? static_cast<char>(*code) : ' ';
      i += 2;
    } else if (c < 0x20 || c == 0x7F) {
      return std::nullopt;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
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

std::vector<std::string_view> ReceivedSentence::Fields() const { return SplitMagellanFields(body); }

ReceivedSentence ReadSentence(std::string_view line) {
  ReceivedSentence sentence;
  if (!line.empty() && line.front() == '$') line.remove_prefix(1);
  const std::size_t star = line.rfind('*');
  sentence.body = std::string(line.substr(0, star));
  sentence.computed = NmeaChecksum(sentence.body);
  if (star != std::string_view::npos) sentence.received = HexByte(line.substr(star + 1));
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
  if (fields.size() != 2) return std::nullopt;
  return HexByte(fields[1]);
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
  const auto latitude = MagellanAngle(f[1], f[2], 90, 'N', 'S');
  const auto longitude = MagellanAngle(f[3], f[4], 180, 'E', 'W');
  const auto altitude = formats::ParseWhole(f[5]);
  if (!latitude || !longitude || !altitude || *altitude < -100000 || *altitude > 100000 ||
      (f[6] != "M" && f[6] != "F") || f[7].empty()) {
    return std::nullopt;
  }
  const auto name = ReceivedText(f[7]);
  const auto description = ReceivedText(f.size() >= 9 ? f[8] : std::string_view());
  if (!name || !description) return std::nullopt;
  Waypoint waypoint;
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  waypoint.altitude =
      f[6] == "M" ? static_cast<std::int32_t>(*altitude)
                  : static_cast<std::int32_t>(std::lround(static_cast<double>(*altitude) * kMetresPerFoot));
  waypoint.SetId(*name);
  waypoint.SetDescription(*description);
  return waypoint;
}

}  // namespace logwell::magellan
