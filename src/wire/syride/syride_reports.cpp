#include "wire/syride/syride_reports.h"

#include <algorithm>

#include "base/text.h"

namespace logwell::syride {
namespace {

constexpr double kSemicirclesPerTenMillionth = 1.1930464711111;
constexpr std::int32_t kMaxLatitude = 899999999;
constexpr std::int32_t kMaxLongitude = 1799999999;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}
void PutName(std::vector<std::uint8_t>& out, std::string_view name) {
  name = name.substr(0, kNameSize);
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), kNameSize - name.size(), 0);
}
std::uint16_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}
std::int32_t I32(std::span<const std::uint8_t> bytes, std::size_t at) { return static_cast<std::int32_t>(U32(bytes, at)); }

std::string Length(std::string_view what, std::size_t size) {
  return FormatText("Unsupported record (%s of %zu bytes)", std::string(what).c_str(), size);
}

// A name field: text up to the first NUL; after it only NULs; printable ASCII before it.
std::optional<std::string> ReadName(std::span<const std::uint8_t> bytes, std::string& name) {
  name.clear();
  std::size_t i = 0;
  for (; i < bytes.size() && bytes[i] != 0; ++i) {
    if (bytes[i] < 0x20 || bytes[i] > 0x7E) return FormatText("Unsupported record (name byte %02X)", bytes[i]);
    name.push_back(static_cast<char>(bytes[i]));
  }
  for (; i < bytes.size(); ++i) {
    if (bytes[i] != 0) return std::string("Unsupported record (bytes after the name)");
  }
  return std::nullopt;
}

bool InRange(std::int32_t latitude, std::int32_t longitude) {
  return latitude >= -900000000 && latitude <= 900000000 && longitude >= -1800000000 && longitude <= 1800000000;
}

std::vector<std::uint8_t> EncodeNamedPoints(std::span<const NamedPoint> points, bool withAltitude, bool countByte) {
  std::vector<std::uint8_t> out;
  if (countByte) {
    out.push_back(static_cast<std::uint8_t>(points.size()));
  } else {
    PutU16(out, static_cast<std::uint16_t>(points.size()));
  }
  for (const NamedPoint& point : points) {
    PutU32(out, static_cast<std::uint32_t>(point.latitude));
    PutU32(out, static_cast<std::uint32_t>(point.longitude));
    if (withAltitude) PutU16(out, static_cast<std::uint16_t>(point.altitude));
    PutName(out, point.name);
  }
  return out;
}

std::optional<std::string> DecodeNamedPoints(std::span<const std::uint8_t> payload, std::vector<NamedPoint>& points,
                                             bool withAltitude, bool countByte, std::string_view what) {
  points.clear();
  const std::size_t head = countByte ? 1 : 2;
  const std::size_t size = withAltitude ? kWaypointSize : kTaskPointSize;
  if (payload.size() < head) return Length(what, payload.size());
  const std::size_t count = countByte ? payload[0] : U16(payload, 0);
  if (payload.size() != head + count * size) return Length(what, payload.size());
  for (std::size_t i = 0; i < count; ++i) {
    const auto record = payload.subspan(head + i * size, size);
    NamedPoint point;
    point.latitude = I32(record, 0);
    point.longitude = I32(record, 4);
    if (!InRange(point.latitude, point.longitude)) return std::string("Unsupported record (position out of range)");
    std::size_t at = 8;
    if (withAltitude) {
      point.altitude = static_cast<std::int16_t>(U16(record, 8));
      at = 10;
    }
    if (auto refusal = ReadName(record.subspan(at, kNameSize), point.name)) return refusal;
    points.push_back(std::move(point));
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> BuildReports(Command command, std::span<const std::uint8_t> payload) {
  std::vector<std::vector<std::uint8_t>> reports;
  std::size_t at = 0;
  std::uint16_t sequence = 0;
  do {
    const std::size_t n = std::min(kReportPayload, payload.size() - at);
    std::vector<std::uint8_t> report(kReportSize, 0);
    report[0] = static_cast<std::uint8_t>(command);
    report[1] = at + n == payload.size() ? kLastReport : 0;
    report[2] = static_cast<std::uint8_t>(sequence);
    report[3] = static_cast<std::uint8_t>(sequence >> 8);
    report[4] = static_cast<std::uint8_t>(n);
    std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(at), n, report.begin() + kReportHeader);
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < kReportSize; ++i) check ^= report[i];
    report[kReportSize - 1] = check;
    reports.push_back(std::move(report));
    at += n;
    ++sequence;
  } while (at < payload.size());
  return reports;
}

std::optional<std::uint8_t> CommandOf(std::span<const std::uint8_t> report) {
  if (report.size() != kReportSize) return std::nullopt;
  return report[0];
}

std::optional<std::string> MessageAssembler::Feed(std::span<const std::uint8_t> report) {
  if (complete_) return std::string("Unsupported record (report after the last one)");
  if (report.size() != kReportSize) return FormatText("Data error (report of %zu bytes)", report.size());
  std::uint8_t check = 0;
  for (std::size_t i = 0; i + 1 < kReportSize; ++i) check ^= report[i];
  if (check != report[kReportSize - 1]) return std::string("Data error (bad checksum)");
  if (report[0] != static_cast<std::uint8_t>(expected_)) {
    return FormatText("Unsupported record (answer %02X to command %02X)", report[0],
                      static_cast<unsigned>(expected_));
  }
  if ((report[1] & ~kLastReport) != 0) return FormatText("Unsupported record (flags %02X)", report[1]);
  if (U16(report, 2) != static_cast<std::uint16_t>(next_)) return std::string("Data error (bad sequence number)");
  const std::size_t n = report[4];
  if (n > kReportPayload) return FormatText("Unsupported record (payload length %zu)", n);
  if (std::any_of(report.begin() + static_cast<std::ptrdiff_t>(kReportHeader + n), report.end() - 1,
                  [](std::uint8_t b) { return b != 0; })) {
    return std::string("Unsupported record (bytes after the payload)");
  }
  if (payload_.size() + n > kMaxMessage) return std::string("Unsupported record (message too long)");
  payload_.insert(payload_.end(), report.begin() + kReportHeader,
                  report.begin() + static_cast<std::ptrdiff_t>(kReportHeader + n));
  ++next_;
  complete_ = (report[1] & kLastReport) != 0;
  return std::nullopt;
}

std::vector<std::uint8_t> EncodeProduct(const ProductData& product) {
  std::vector<std::uint8_t> out{product.model};
  PutU32(out, product.serial);
  out.push_back(product.major);
  out.push_back(product.minor);
  return out;
}

std::optional<std::string> DecodeProduct(std::span<const std::uint8_t> payload, ProductData& product) {
  if (payload.size() != 7) return Length("product data", payload.size());
  if (payload[0] != kModelSysNav && payload[0] != kModelSysNavV3) {
    return FormatText("Unsupported record (model %d)", payload[0]);
  }
  product.model = payload[0];
  product.serial = U32(payload, 1);
  product.major = payload[5];
  product.minor = payload[6];
  return std::nullopt;
}

std::string_view ModelName(std::uint8_t model) { return model == kModelSysNavV3 ? "SYS-Nav V3" : "SYS-Nav"; }

std::string ProductText(const ProductData& product) {
  return FormatText("%s, SNR %d, SW %d.%d", std::string(ModelName(product.model)).c_str(),
                    static_cast<int>(product.serial), product.major, product.minor);
}

std::vector<std::uint8_t> EncodeFlightList(std::span<const FlightEntry> flights) {
  std::vector<std::uint8_t> out;
  PutU16(out, static_cast<std::uint16_t>(flights.size()));
  for (const FlightEntry& flight : flights) {
    PutU32(out, flight.startUnix);
    PutU32(out, flight.durationSeconds);
    PutU32(out, flight.fixes);
  }
  return out;
}

std::optional<std::string> DecodeFlightList(std::span<const std::uint8_t> payload, std::vector<FlightEntry>& flights) {
  flights.clear();
  if (payload.size() < 2) return Length("flight list", payload.size());
  const std::size_t count = U16(payload, 0);
  if (payload.size() != 2 + count * kFlightEntrySize) return Length("flight list", payload.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 2 + i * kFlightEntrySize;
    FlightEntry entry{U32(payload, at), U32(payload, at + 4), U32(payload, at + 8)};
    if (entry.startUnix < static_cast<std::uint32_t>(kGarminEpochUnixSeconds)) {
      return std::string("Unsupported record (flight start before 1990)");
    }
    flights.push_back(entry);
  }
  return std::nullopt;
}

std::vector<std::uint8_t> EncodeFlightRequest(std::uint16_t index) {
  std::vector<std::uint8_t> out;
  PutU16(out, index);
  return out;
}

std::optional<std::uint16_t> DecodeFlightRequest(std::span<const std::uint8_t> payload) {
  if (payload.size() != 2) return std::nullopt;
  return U16(payload, 0);
}

std::vector<std::uint8_t> EncodeFlight(std::span<const Fix> fixes) {
  std::vector<std::uint8_t> out;
  out.reserve(4 + fixes.size() * kFixSize);
  PutU32(out, static_cast<std::uint32_t>(fixes.size()));
  for (const Fix& fix : fixes) {
    PutU32(out, fix.unixTime);
    PutU32(out, static_cast<std::uint32_t>(fix.latitude));
    PutU32(out, static_cast<std::uint32_t>(fix.longitude));
    PutU16(out, fix.speed);
    PutU16(out, fix.altitude);
    PutU16(out, fix.heading);
    PutU16(out, 0);
  }
  return out;
}

std::optional<std::string> DecodeFlight(std::span<const std::uint8_t> payload, std::vector<TrackPoint>& points) {
  points.clear();
  if (payload.size() < 4) return Length("flight", payload.size());
  const std::uint32_t count = U32(payload, 0);
  if ((payload.size() - 4) % kFixSize != 0 || (payload.size() - 4) / kFixSize != count) {
    return FormatText("Transfer incomplete (%zu of %u points)", (payload.size() - 4) / kFixSize, count);
  }
  points.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto record = payload.subspan(4 + i * kFixSize, kFixSize);
    const std::uint32_t unixTime = U32(record, 0);
    const std::int32_t latitude = I32(record, 4);
    const std::int32_t longitude = I32(record, 8);
    if (U16(record, 18) != 0) return FormatText("Unsupported record (reserved bytes %04X)", U16(record, 18));
    if (unixTime < static_cast<std::uint32_t>(kGarminEpochUnixSeconds)) {
      return std::string("Unsupported record (fix time before 1990)");
    }
    if (!InRange(latitude, longitude)) return std::string("Unsupported record (position out of range)");
    TrackPoint point;
    StoreInstrumentTime(point, UnixToGarminTime(unixTime));
    point.latitude = LatitudeToSemicircles(latitude);
    point.longitude = LongitudeToSemicircles(longitude);
    point.gpsAltitude = static_cast<std::int32_t>(U16(record, 14)) * 10;
    points.push_back(point);
  }
  if (!points.empty()) points.front().segmentStart = 1;
  return std::nullopt;
}

Fix FixOf(const TrackPoint& point) {
  Fix fix;
  fix.unixTime = static_cast<std::uint32_t>(GarminTimeToUnix(point.time));
  fix.latitude = SemicirclesToTenMillionths(point.latitude);
  fix.longitude = SemicirclesToTenMillionths(point.longitude);
  fix.altitude = static_cast<std::uint16_t>(std::clamp(RoundHalfAway(point.gpsAltitude / 10.0), 0, 65535));
  return fix;
}

std::vector<std::uint8_t> EncodeWaypoints(std::span<const NamedPoint> points) {
  return EncodeNamedPoints(points, true, false);
}
std::optional<std::string> DecodeWaypoints(std::span<const std::uint8_t> payload, std::vector<NamedPoint>& points) {
  if (auto refusal = DecodeNamedPoints(payload, points, true, false, "waypoint list")) return refusal;
  if (points.size() > kMaxWaypoints) return std::string("Unsupported record (more than 1000 waypoints)");
  return std::nullopt;
}
std::vector<std::uint8_t> EncodeTask(std::span<const NamedPoint> points) { return EncodeNamedPoints(points, false, true); }
std::optional<std::string> DecodeTask(std::span<const std::uint8_t> payload, std::vector<NamedPoint>& points) {
  return DecodeNamedPoints(payload, points, false, true, "task");
}

std::vector<std::uint8_t> EncodeCount(std::uint16_t count) {
  std::vector<std::uint8_t> out;
  PutU16(out, count);
  return out;
}
std::optional<std::string> DecodeCount(std::span<const std::uint8_t> payload, std::uint16_t& count) {
  if (payload.size() != 2) return Length("answer", payload.size());
  count = U16(payload, 0);
  return std::nullopt;
}

std::int32_t LatitudeToSemicircles(std::int32_t tenMillionths) {
  return RoundHalfAway(std::clamp(tenMillionths, -kMaxLatitude, kMaxLatitude) * kSemicirclesPerTenMillionth);
}
std::int32_t LongitudeToSemicircles(std::int32_t tenMillionths) {
  return RoundHalfAway(std::clamp(tenMillionths, -kMaxLongitude, kMaxLongitude) * kSemicirclesPerTenMillionth);
}
std::int32_t SemicirclesToTenMillionths(std::int32_t semicircles) {
  return RoundHalfAway(semicircles / kSemicirclesPerTenMillionth);
}

Waypoint WaypointOf(const NamedPoint& point, GarminTime now) {
  Waypoint waypoint;
  waypoint.latitude = LatitudeToSemicircles(point.latitude);
  waypoint.longitude = LongitudeToSemicircles(point.longitude);
  waypoint.altitude = point.altitude;
  waypoint.time = now;
  const std::string_view name = Trim(point.name, kSpacesAndTabs);
  waypoint.SetId(UpperCase(std::string(Trim(CutBytes(name.substr(0, name.find(' ')), Waypoint::kMaxIdLength),
                                            kSpacesAndTabs))));
  waypoint.SetDescription(name);
  return waypoint;
}

NamedPoint NamedPointOf(const Waypoint& waypoint) {
  NamedPoint point;
  point.latitude = SemicirclesToTenMillionths(waypoint.latitude);
  point.longitude = SemicirclesToTenMillionths(waypoint.longitude);
  point.altitude = static_cast<std::int16_t>(std::clamp<std::int32_t>(waypoint.altitude, -32768, 32767));
  const std::string_view text = waypoint.Description().empty() ? waypoint.Id() : waypoint.Description();
  for (const char c : CutBytes(text, kNameSize)) point.name.push_back(c >= 0x20 && c <= 0x7E ? c : '-');
  return point;
}

std::optional<TaskDeclaration> RouteOfTask(std::span<const NamedPoint> task, std::span<const TrackPoint> points,
                                           GarminTime now) {
  if (task.size() < 2 || points.empty()) return std::nullopt;
  TaskDeclaration route;
  route.declarationTime = points.front().time;
  route.flightDate = points.front().time;
  route.taskNumber = 1;
  const auto add = [&](std::string_view id, std::string description, std::int32_t latitude, std::int32_t longitude) {
    Waypoint waypoint;
    waypoint.SetId(id);
    waypoint.SetDescription(description);
    waypoint.latitude = latitude;
    waypoint.longitude = longitude;
    waypoint.time = now;
    route.points.push_back(waypoint);
  };
  add("TAKEOF", "TAKEOFFINDICATOR", points.front().latitude, points.front().longitude);
  for (std::size_t i = 0; i < task.size(); ++i) {
    const std::string_view id = i == 0 ? "START" : i + 1 == task.size() ? "FINISH" : "TURN";
    add(id, std::string(id) + task[i].name, LatitudeToSemicircles(task[i].latitude),
        LongitudeToSemicircles(task[i].longitude));
  }
  add("LANDIN", "LANDINGINDICATOR", points.back().latitude, points.back().longitude);
  return route;
}

}  // namespace logwell::syride
