#include "devices/logit/logit_protocol.h"

#include <charconv>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::logit {
namespace {

constexpr std::size_t kMaxFields = 20;
constexpr std::size_t kMaxTextField = 24;

std::optional<long> Whole(std::string_view text, long low, long high) {
  if (text.empty()) return std::nullopt;
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "ddmm.mmmm" or "dddmm.mmmm" (at least one decimal); degrees below `limit`.
std::optional<std::int32_t> Coordinate(std::string_view text, std::string_view hemisphere, std::size_t degreeDigits,
                                       int limit, char positive, char negative) {
  const std::size_t dot = text.find('.');
  if (dot != degreeDigits + 2 || text.size() < dot + 2 || !AllDigits(text.substr(0, dot)) ||
      !AllDigits(text.substr(dot + 1)) || text.size() > dot + 6) {
    return std::nullopt;
  }
  if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return std::nullopt;
  const long degrees = *Whole(text.substr(0, degreeDigits), 0, 999);
  const long minutes = *Whole(text.substr(degreeDigits, 2), 0, 99);
  std::string fraction(text.substr(dot + 1));
  fraction.resize(4, '0');
  const long tenThousandths = *Whole(fraction, 0, 9999);
  if (degrees >= limit || minutes >= 60) return std::nullopt;
  double value = static_cast<double>(degrees) + (static_cast<double>(minutes) + static_cast<double>(tenThousandths) / 10000.0) / 60.0;
  if (hemisphere[0] == negative) value = -value;
  return DegreesToSemicircles(value);
}

std::string Refusal(std::string_view what, std::span<const std::string_view> fields) {
  std::string text = "Unsupported record (" + std::string(what) + "):";
  for (const std::string_view field : fields) {
    text += ' ';
    text += field;
  }
  return CutText(text, 90);
}

bool PlainText(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
  }
  return text.size() <= kMaxTextField;
}

}  // namespace

std::string TrackRequest(int firstPoint) { return FormatText("$PMLR,TRACK,%d,*00\r\n", firstPoint); }

std::string NameWriteSentence(std::string_view name) {
  std::string padded = CutText(name, kNameLength);
  for (char& c : padded) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == ',' || c == '*' || c == '$') c = ' ';
  }
  // A multi-byte character counts its bytes; the field keeps its width in bytes.
  if (padded.size() < kNameLength) padded.append(kNameLength - padded.size(), ' ');
  return "$PMLR,IDGPS,01," + padded + "*00\r\n";
}

bool IsIdentityAnswer(std::span<const std::string_view> fields) {
  return fields.size() >= 2 && fields[0] == "$PMLR" && fields[1] == "IDGPS";
}

std::optional<std::string> ParseIdentity(std::span<const std::string_view> fields, Identity& identity) {
  if (!IsIdentityAnswer(fields) || fields.size() != 7) return Refusal("identity", fields);
  const auto used = Whole(fields[5], 0, 10000000);
  const auto capacity = Whole(fields[6], 1, 10000000);
  if (fields[2].empty() || !PlainText(fields[2]) || !PlainText(fields[3]) || fields[4].empty() ||
      !PlainText(fields[4]) || !used || !capacity || *used > *capacity) {
    return Refusal("identity", fields);
  }
  identity.model = std::string(fields[2]);
  identity.owner = std::string(Trim(fields[3], kSpacesAndTabs));
  identity.software = std::string(fields[4]);
  identity.pointsUsed = static_cast<int>(*used);
  identity.capacity = static_cast<int>(*capacity);
  return std::nullopt;
}

std::string ProductText(const Identity& identity) {
  std::string text = identity.model + " SW " + identity.software;
  if (!identity.owner.empty()) text += ", owner " + identity.owner;
  return text;
}

std::string MemoryText(const Identity& identity) {
  return FormatText("%d of %d points used", identity.pointsUsed, identity.capacity);
}

std::optional<Identity> ReadLogItData(std::span<const std::uint8_t> data) {
  std::string line(data.begin(), data.end());
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.starts_with('$') || line.find('*') == std::string::npos) return std::nullopt;
  const auto fields = SplitNmeaSentence(line, kMaxFields);
  Identity identity;
  if (fields.empty() || ParseIdentity(fields, identity)) return std::nullopt;
  return identity;
}

std::optional<int> ParseTrackCount(std::span<const std::string_view> fields) {
  if (fields.size() != 3 || fields[0] != "$PMLR" || fields[1] != "TRACK") return std::nullopt;
  const auto count = Whole(fields[2], 0, 10000000);
  if (!count) return std::nullopt;
  return static_cast<int>(*count);
}

std::optional<std::string> ParseTrackPoint(std::span<const std::string_view> fields, int& index, TrackPoint& point) {
  if (fields.size() != 10 || fields[0] != "$PMLR" || fields[1] != "TP") return Refusal("track point", fields);
  const auto number = Whole(fields[2], 0, 10000000);
  const std::string_view date = fields[3];
  const std::string_view time = fields[4];
  const auto latitude = Coordinate(fields[5], fields[6], 2, 90, 'N', 'S');
  const auto longitude = Coordinate(fields[7], fields[8], 3, 180, 'E', 'W');
  const auto altitude = Whole(fields[9], -1000, 20000);
  if (!number || date.size() != 6 || !AllDigits(date) || time.size() != 6 || !AllDigits(time) || !latitude ||
      !longitude || !altitude) {
    return Refusal("track point", fields);
  }
  CalendarTime t;
  t.day = static_cast<int>(*Whole(date.substr(0, 2), 0, 99));
  t.month = static_cast<int>(*Whole(date.substr(2, 2), 0, 99));
  t.year = 2000 + static_cast<int>(*Whole(date.substr(4, 2), 0, 99));
  t.hour = static_cast<int>(*Whole(time.substr(0, 2), 0, 99));
  t.minute = static_cast<int>(*Whole(time.substr(2, 2), 0, 99));
  t.second = static_cast<int>(*Whole(time.substr(4, 2), 0, 99));
  if (t.day < 1 || t.day > 31 || t.month < 1 || t.month > 12 || t.hour > 23 || t.minute > 59 || t.second > 59) {
    return Refusal("track point", fields);
  }
  index = static_cast<int>(*number);
  point = TrackPoint{};
  point.time = CalendarToGarminTime(t);
  point.latitude = *latitude;
  point.longitude = *longitude;
  point.gpsAltitude = static_cast<std::int32_t>(*altitude * 10);
  return std::nullopt;
}

bool IsEraseDone(std::span<const std::string_view> fields) {
  return fields.size() == 3 && fields[0] == "$PMLR" && fields[1] == "ERASE" && fields[2] == "OK";
}

}  // namespace logwell::logit
