#include "wire/graviter/graviter_log.h"

#include <cmath>

#include "base/text.h"
#include "geo/units.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::graviter {
namespace {

using garmin::ReadU16;
using garmin::ReadU32;

constexpr std::int32_t kMaxLatitude = 90 * 60000;
constexpr std::int32_t kMaxLongitude = 180 * 60000;
constexpr GarminTime kSecondsPerDay = 86400;

void PutI32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(bits >> shift));
}
void PutI16(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
  out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
  out.push_back(static_cast<std::uint8_t>(bits >> 8));
}

bool ValidTimeOfDay(int hour, int minute, int second) {
  return hour < 24 && minute < 60 && second < 60;
}

}  // namespace

std::optional<Identity> ParseIdentity(std::string_view line) {
  if (!line.starts_with(kIdentity) || line.size() > kMaxIdentityLine) return std::nullopt;
  std::string_view rest = line.substr(kIdentity.size());
  if (!rest.starts_with(',')) return std::nullopt;
  rest.remove_prefix(1);
  const std::size_t comma = rest.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 == rest.size()) return std::nullopt;
  Identity identity{std::string(rest.substr(0, comma)), std::string(rest.substr(comma + 1))};
  for (const char c : identity.software + identity.serial) {
    if (c < 0x20 || c > 0x7E || c == ',') return std::nullopt;
  }
  return identity;
}

std::string IdentityLine(const Identity& identity) {
  return std::string(kIdentity) + "," + identity.software + "," + identity.serial + "\r\n";
}

std::string ProductText(const Identity& identity) {
  return FormatText("GRAVITER, SW %s, S/N %s", identity.software.c_str(), identity.serial.c_str());
}

std::optional<std::string> OwnerNameBytes(std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (const char c : name) {
    if (c < 0x20 || c > 0x7E) return std::nullopt;
  }
  std::string bytes(name.substr(0, kOwnerNameLength));
  bytes.resize(kOwnerNameLength, ' ');
  return bytes;
}

std::uint16_t LogChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : bytes) sum += byte;
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

LogDecode DecodeLog(std::span<const std::uint8_t> log) {
  LogDecode result;
  std::optional<GarminTime> day;  // midnight of the current fix's day
  GarminTime lastTimeOfDay = 0;
  bool opensTrack = false;
  std::size_t at = 0;
  const auto refuse = [&](std::string text) {
    result.points.clear();
    result.error = std::move(text);
    return result;
  };
  while (at < log.size() && log[at] != kEndTag) {
    const std::uint8_t tag = log[at];
    const std::size_t size = tag == kTrackStartTag ? kTrackStartSize : tag == kFixTag ? kFixSize : 0;
    if (size == 0) return refuse(FormatText("Unsupported record 0x%02X at byte %zu", tag, at));
    if (log.size() - at < size) return refuse(FormatText("Truncated record at byte %zu", at));
    const auto record = log.subspan(at, size);
    if (tag == kTrackStartTag) {
      CalendarTime start;
      start.year = 2000 + record[1];
      start.month = record[2];
      start.day = record[3];
      start.hour = record[4];
      start.minute = record[5];
      start.second = record[6];
      if (start.month < 1 || start.month > 12 || start.day < 1 || start.day > 31 || record[7] != 0 ||
          !ValidTimeOfDay(start.hour, start.minute, start.second)) {
        return refuse(FormatText("Unsupported record 0x%02X at byte %zu (bad date)", tag, at));
      }
      const GarminTime time = CalendarToGarminTime(start);
      lastTimeOfDay = time % kSecondsPerDay;
      day = time - lastTimeOfDay;
      ++result.tracks;
      opensTrack = true;
      at += size;
      continue;
    }
    if (!day) return refuse(FormatText("Unsupported record 0x%02X at byte %zu (fix before track start)", tag, at));
    if (!ValidTimeOfDay(record[1], record[2], record[3])) {
      return refuse(FormatText("Unsupported record 0x%02X at byte %zu (bad time)", tag, at));
    }
    const auto latitude = static_cast<std::int32_t>(ReadU32(record, 4));
    const auto longitude = static_cast<std::int32_t>(ReadU32(record, 8));
    if (latitude < -kMaxLatitude || latitude > kMaxLatitude || longitude < -kMaxLongitude ||
        longitude > kMaxLongitude) {
      return refuse(FormatText("Unsupported record 0x%02X at byte %zu (bad position)", tag, at));
    }
    const GarminTime timeOfDay = record[1] * 3600u + record[2] * 60u + record[3];
    if (timeOfDay < lastTimeOfDay) *day += kSecondsPerDay;
    lastTimeOfDay = timeOfDay;
    TrackPoint point;
    point.segmentStart = opensTrack ? 1 : 0;
    opensTrack = false;
    StoreInstrumentTime(point, *day + timeOfDay);
    point.latitude = DegreesToSemicircles(latitude / 60000.0);
    point.longitude = DegreesToSemicircles(longitude / 60000.0);
    point.gpsAltitude = static_cast<std::int16_t>(ReadU16(record, 12)) * 10;
    point.pressureAltitude = static_cast<std::int16_t>(ReadU16(record, 14));
    result.points.push_back(point);
    at += size;
  }
  return result;
}

std::vector<std::uint8_t> EncodeLog(std::span<const TrackPoint> points) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TrackPoint& point = points[i];
    const CalendarTime t = GarminTimeToCalendar(point.time);
    if (i == 0 || (point.segmentStart & 1) != 0) {
      out.insert(out.end(), {kTrackStartTag, static_cast<std::uint8_t>(t.year - 2000), static_cast<std::uint8_t>(t.month),
                             static_cast<std::uint8_t>(t.day), static_cast<std::uint8_t>(t.hour),
                             static_cast<std::uint8_t>(t.minute), static_cast<std::uint8_t>(t.second), 0});
    }
    out.insert(out.end(), {kFixTag, static_cast<std::uint8_t>(t.hour), static_cast<std::uint8_t>(t.minute),
                           static_cast<std::uint8_t>(t.second)});
    PutI32(out, SemicirclesToMilliMinutes(point.latitude));
    PutI32(out, SemicirclesToMilliMinutes(point.longitude));
    PutI16(out, static_cast<std::int32_t>(std::lround(point.gpsAltitude / 10.0)));
    PutI16(out, point.pressureAltitude);
  }
  out.push_back(kEndTag);
  return out;
}

}  // namespace logwell::graviter
