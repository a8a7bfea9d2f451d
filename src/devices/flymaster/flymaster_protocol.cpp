#include "devices/flymaster/flymaster_protocol.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

#include "access/nmea.h"
#include "base/text.h"
#include "devices/flytec/flytec_waypoints.h"
#include "geo/units.h"

namespace logwell::flymaster {
namespace {

constexpr std::size_t kModelLength = 40;
constexpr std::size_t kSoftwareLength = 10;
constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kCheckSize = 8;
constexpr std::size_t kFirstRecord = 12;
constexpr std::string_view kOldestRefusedSoftware = "1.03n";
constexpr std::array<std::string_view, 8> kCurrentModels = {"Live", "Nav", "Gps", "Vario",
                                                             "GpsSD", "GpsSD+", "LiveSD", "NavSD"};

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::int8_t I8(std::span<const std::uint8_t> b, std::size_t at) { return static_cast<std::int8_t>(b[at]); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 0, or the checksum's error type (4, 1, 2, 3) of a received line.
int ChecksumError(std::string_view line) {
  const std::size_t star = line.find('*');
  if (star == std::string_view::npos) return 4;
  const std::string_view digits = line.substr(star + 1);
  if (digits.size() < 2 || HexDigit(digits[0]) < 0 || HexDigit(digits[1]) < 0) return 1;
  if (digits.size() > 2) return 2;
  const std::size_t from = line.starts_with('$') ? 1 : 0;
  const auto sum = static_cast<unsigned>(HexDigit(digits[0]) * 16 + HexDigit(digits[1]));
  return NmeaChecksum(line.substr(from, star - from)) == sum ? 0 : 3;
}

std::string TrimmedCut(std::string_view text, std::size_t limit) {
  return std::string(Trim(CutBytes(text, limit), kSpacesAndTabs));
}

}  // namespace

bool AcceptedByCurrentProtocol(std::string_view model, std::string_view software) {
  return std::ranges::find(kCurrentModels, model) != kCurrentModels.end() &&
         software > kOldestRefusedSoftware;  // byte-wise comparison
}

int ParseProductAnswer(std::string_view line, Generation generation, ProductData& product) {
  std::string body(line);
  const std::size_t star = body.find('*');
  if (star != std::string::npos) {
    const std::string_view digits = std::string_view(body).substr(star + 1);
    if (digits.size() < 2 || HexDigit(digits[0]) < 0 || HexDigit(digits[1]) < 0) return -1;
    if (digits.size() > 2) return -2;
    const std::size_t from = body.starts_with('$') ? 1 : 0;
    const auto sum = static_cast<unsigned>(HexDigit(digits[0]) * 16 + HexDigit(digits[1]));
    if (NmeaChecksum(std::string_view(body).substr(from, star - from)) != sum) return -3;
  }
  const auto fields = SplitNmeaSentence(body, 8);
  if (fields.size() < 5) return -4;
  std::string_view identifier = fields[0];
  if (identifier.starts_with('$')) identifier.remove_prefix(1);
  if (identifier != "PFMSNP" && identifier != "PBRSNP") return -6;
  ProductData parsed;
  parsed.model = TrimmedCut(fields[1], kModelLength);
  if (fields[2].starts_with("HW:") && fields[3].starts_with("FW:")) {
    parsed.serial = TrimmedCut(fields[4], kModelLength);
    parsed.software = TrimmedCut(fields[3].substr(3), kSoftwareLength);
  } else {
    parsed.serial = TrimmedCut(fields[3], kModelLength);
    parsed.software = TrimmedCut(fields[4], kSoftwareLength);
  }
  if (generation == Generation::Current) {
    if (!AcceptedByCurrentProtocol(parsed.model, parsed.software)) return -1;
    parsed.binaryTracks = true;
  }
  product = std::move(parsed);
  return 0;
}

std::string_view FlightListRequest(Generation generation) {
  return generation == Generation::Current ? kFlightListRequest : kOlderFlightListRequest;
}

std::string OneTrackRequest(GarminTime start, Generation generation) {
  const CalendarTime t = GarminTimeToCalendar(start);
  const std::string head = FormatText("$PFMDNL,%02d%02d%02d%02d%02d%02d,", t.year - 2000, t.month, t.day,
                                      t.hour, t.minute, t.second);
  if (generation == Generation::Current) return head + "2\n";
  return head + FormatText("*%02x\r\n", static_cast<unsigned>(NmeaChecksum(std::string_view(head).substr(1))));
}

std::int32_t ReadCoordinate(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::int32_t value = bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16);
  if ((bytes[offset + 3] & 0x80) != 0) value -= 1 << 24;
  return value;
}

std::int32_t PressureAltitude(std::int32_t tenthsOfHectopascal) {
  const double ratio = tenthsOfHectopascal / 10.0 / 1013.25;
  return static_cast<std::int32_t>((1.0 - std::pow(ratio, 0.190284)) * 44307.69 + 0.5);
}

TrackPoint ConvertPosition(std::int32_t latitude, std::int32_t longitude, std::int32_t altitude,
                           std::int32_t pressure, std::uint32_t time) {
  TrackPoint point;
  point.latitude = RoundHalfAway(latitude * kSemicirclesPerMilliminute);
  point.longitude = -RoundHalfAway(longitude * kSemicirclesPerMilliminute);
  point.gpsAltitude = altitude * 10;
  point.pressureAltitude = PressureAltitude(pressure);
  StoreInstrumentTime(point, time + kInstrumentEpochOffset);
  return point;
}

std::array<std::uint8_t, 8> BinaryCheck(std::span<const std::uint8_t> data) {
  std::array<std::uint8_t, 8> check{};
  for (std::size_t i = 0; i < data.size(); ++i) check[i % 8] ^= data[i];
  return check;
}

std::optional<std::string> ParseBinaryTrack(std::span<const std::uint8_t> data, GarminTime now,
                                            BinaryTrack& track) {
  const std::size_t n = data.size();
  if (n <= kBlockSize + kCheckSize - 1 || n % kBlockSize != kCheckSize) {
    return FormatText("E205 Bad length (%zu)", n);
  }
  const auto body = data.first(n - kCheckSize);
  const auto check = BinaryCheck(body);
  if (!std::equal(check.begin(), check.end(), data.begin() + static_cast<std::ptrdiff_t>(n - kCheckSize))) {
    return std::string("E205 Bad checksum");
  }
  std::vector<TrackPoint> points;
  std::optional<TaskDeclaration> task;
  bool haveKey = false;
  bool firstRecord = true;
  std::int32_t latitude = 0, longitude = 0, altitude = 0, pressure = 0;
  std::uint32_t time = 0;
  for (std::size_t block = 0; block < body.size(); block += kBlockSize) {
    const auto records = body.subspan(block, kBlockSize);
    std::size_t at = kFirstRecord;
    while (at < kBlockSize) {
      const std::uint8_t head = records[at];
      const std::size_t length = head & 0x1F;
      if (length == 0 || length == 31 || at + length > kBlockSize) break;
      const auto record = records.subspan(at, length);
      at += length;
      if (firstRecord) {  // the flight information
        firstRecord = false;
        continue;
      }
      if ((head & 0x60) != 0) continue;
      if (length == 19) {
        latitude = ReadCoordinate(record, 2);
        longitude = ReadCoordinate(record, 6);
        altitude = static_cast<std::int16_t>(U16(record, 10));
        pressure = U16(record, 12);
        time = U32(record, 14);
        haveKey = true;
        points.push_back(ConvertPosition(latitude, longitude, altitude, pressure, time));
      } else if (length == 8) {
        if (!haveKey) continue;  // a delta before any key position has nothing to add to
        latitude += I8(record, 1);
        longitude += I8(record, 2);
        altitude += I8(record, 3);
        pressure += I8(record, 4);
        time += record[5];
        points.push_back(ConvertPosition(latitude, longitude, altitude, pressure, time));
      } else if (length == 30) {
        if (!task) {
          task.emplace();
          Waypoint takeoff;
          takeoff.SetId("TAKEOF");
          takeoff.SetDescription("TAKEOFF");
          takeoff.time = now;
          task->points.push_back(takeoff);
        }
        const auto nameBytes = record.subspan(14, 16);
        std::string name(reinterpret_cast<const char*>(nameBytes.data()), nameBytes.size());
        name = name.substr(0, name.find('\0'));
        Waypoint point;
        point.latitude = RoundHalfAway(ReadCoordinate(record, 6) * kSemicirclesPerMilliminute);
        point.longitude = RoundHalfAway(ReadCoordinate(record, 10) * kSemicirclesPerMilliminute);
        point.altitude = static_cast<std::int16_t>(U16(record, 4));
        const std::string trimmed(Trim(name, kSpacesAndTabs));
        point.SetId(UpperCase(std::string(Trim(CutBytes(trimmed.substr(0, trimmed.find(' ')), 6), kSpacesAndTabs))));
        point.SetDescription(TrimmedCut(trimmed, 16));
        point.time = now;
        task->points.push_back(std::move(point));
      }
    }
  }
  if (points.empty()) return std::nullopt;
  if (task) {
    const GarminTime first = points.front().time;
    task->declarationTime = first;
    task->flightDate = first;
    task->taskNumber = 1;
    Waypoint landing;
    landing.SetId("LANDIN");
    landing.SetDescription("LANDING");
    landing.time = now;
    task->points.push_back(std::move(landing));
    track.task = std::move(task);
  }
  points.front().segmentStart = 1;
  track.points = std::move(points);
  return std::nullopt;
}

PacketParser::Event PacketParser::Feed(std::uint8_t byte) {
  const bool isId = byte >= 0xA0 && byte <= 0xA3;
  switch (state_) {
    case State::Id:
      if (isId) {
        id_ = byte;
        state_ = State::IdAgain;
      }
      return Event::More;
    case State::IdAgain:
      if (byte == id_) {
        if (id_ == 0xA3) {
          state_ = State::Id;
          return Event::End;
        }
        state_ = State::Length;
      } else if (isId) {
        id_ = byte;
      } else {
        state_ = State::Id;
      }
      return Event::More;
    case State::Length:
      length_ = byte;
      check_ = byte;
      data_.clear();
      state_ = length_ == 0 ? State::Check : State::Data;
      return Event::More;
    case State::Data:
      data_.push_back(byte);
      check_ ^= byte;
      if (data_.size() == length_) state_ = State::Check;
      return Event::More;
    case State::Check:
      state_ = State::Id;
      return byte == check_ ? Event::Packet : Event::BadCheck;
  }
  return Event::More;
}

std::optional<std::string> ApplyPacket(std::uint8_t id, std::span<const std::uint8_t> data,
                                       PacketTrack& track) {
  if (id == 0xA0) {
    if (data.size() < 63) return std::string("E205 Bad flight info block length");
    track.firmwareMajor = data[0];
    track.firmwareMinor = data[1];
    track.serial = U32(data, 4);
    track.haveInfo = true;
    return std::nullopt;
  }
  if (id == 0xA1) {
    if (data.size() < 17) return std::string("E205 Bad key track position block length");
    const auto latitude = static_cast<std::int32_t>(U32(data, 1));
    const auto longitude = static_cast<std::int32_t>(U32(data, 5));
    if (latitude < -5400000 || latitude > 5400000) return std::string("E205 Latitude outside valid range");
    if (longitude < -10800000 || longitude > 10800000) {
      return std::string("E205 Longitude value outside valid range");
    }
    track.latitude = latitude;
    track.longitude = longitude;
    track.altitude = static_cast<std::int16_t>(U16(data, 9));
    track.pressure = static_cast<std::int16_t>(U16(data, 11));
    track.time = U32(data, 13);
    track.haveKey = true;
    track.points.push_back(
        ConvertPosition(track.latitude, track.longitude, track.altitude, track.pressure, track.time));
    return std::nullopt;
  }
  if (id == 0xA2) {
    if (!track.haveKey) return std::string("E205 Missing key track position block");
    if (data.empty() || data.size() % 6 != 0) return std::string("E205 Bad track position block length");
    for (std::size_t at = 0; at < data.size(); at += 6) {
      track.latitude += I8(data, at + 1);
      track.longitude += I8(data, at + 2);
      track.altitude += I8(data, at + 3);
      track.pressure += I8(data, at + 4);
      track.time += data[at + 5];
      track.points.push_back(
          ConvertPosition(track.latitude, track.longitude, track.altitude, track.pressure, track.time));
    }
  }
  return std::nullopt;
}

namespace {

// A decimal number with "." or "," as separator, nothing else around it.
std::optional<double> Decimal(std::string_view text) {
  std::string copy(text);
  std::ranges::replace(copy, ',', '.');
  if (copy.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

int ParseWaypointLine(std::string_view line, GarminTime now, Waypoint& waypoint) {
  if (const int error = ChecksumError(line); error != 0) return error;
  std::string body(line);
  const auto fields = SplitNmeaSentence(body, 9);
  if (fields.size() < 7) return 5;
  const auto latitude = Decimal(fields[1]);
  if (!latitude || *latitude > 90.0) return 6;
  if (fields[2] != "N" && fields[2] != "S") return 7;
  const auto longitude = Decimal(fields[3]);
  if (!longitude || *longitude > 180.0) return 8;
  if (fields[4] != "E" && fields[4] != "W") return 9;
  const auto altitude = Decimal(fields[5]);
  if (!altitude || std::fabs(*altitude) > 1e6) return 10;
  const std::string name(Trim(fields[6], kSpacesAndTabs));
  if (name.empty()) return 11;
  Waypoint parsed;
  const double north = fields[2] == "S" ? -*latitude : *latitude;
  const double east = fields[4] == "W" ? -*longitude : *longitude;
  parsed.latitude = RadiansToSemicircles(DegreesToRadians(north));
  parsed.longitude = RadiansToSemicircles(DegreesToRadians(east));
  parsed.altitude = static_cast<std::int32_t>(*altitude + 0.5);
  parsed.SetId(UpperCase(std::string(Trim(CutBytes(name.substr(0, name.find(' ')), 6), kSpacesAndTabs))));
  parsed.SetDescription(CutBytes(name, 40));
  parsed.type = fields.size() > 7 && Trim(fields[7], kSpacesAndTabs) == "1" ? 1 : 0;
  parsed.time = now;
  waypoint = parsed;
  return 0;
}

std::string WaypointUploadSentence(const Waypoint& waypoint) {
  std::string body = flytec::WaypointUploadBody(waypoint, "PFMWPR", kUploadNameWidth);
  if (waypoint.type == 1) body += ",1";
  return AppendNmeaChecksum(body);
}

std::string EchoedName(std::string_view name) {
  std::string echoed(name);
  for (char& c : echoed) {
    const auto u = static_cast<unsigned char>(c);
    c = std::isalnum(u) != 0 && u < 0x80 ? static_cast<char>(std::toupper(u)) : ' ';
  }
  return echoed;
}

int CheckWaypointAnswer(std::string_view line, std::string_view software, std::string_view sentName) {
  if (const int error = ChecksumError(line); error != 0) return error;
  std::string body(line);
  const auto fields = SplitNmeaSentence(body, 4);
  if (software == "1.14") {
    if (fields.size() < 2) return 5;
    return fields[1] == sentName ? 0 : 7;
  }
  if (fields.size() < 3) return 5;
  if (fields[1] != "ACK") return 6;
  return fields[2] == EchoedName(sentName) ? 0 : 7;
}

void CutPilotData(PilotData& data) {
  const auto cut = [](std::string& field, std::size_t limit) { field = std::string(CutUtf8(field, limit)); };
  cut(data.pilotName, kPilotNameLength);
  cut(data.competitionNumber, kCompetitionNumberLength);
  cut(data.gliderBrand, kGliderTextLength);
  cut(data.gliderModel, kGliderTextLength);
  cut(data.compId, kIdentityLength);
  cut(data.civlId, kIdentityLength);
}

std::optional<std::string> PilotDataRefusal(const PilotData& data) {
  const auto refused = [](std::string_view label, std::string_view field) -> std::optional<std::string> {
    for (const char c : field) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '*' || c == ',' || c == '$' || byte < 0x20 || byte == 0x7F) {
        return std::string(label) + " contains '" + (byte < 0x20 || byte == 0x7F ? std::string("?") : std::string(1, c)) + "'";
      }
    }
    return std::nullopt;
  };
  switch (data.kind) {
    case PilotData::Kind::Pilot:
      if (auto r = refused("Pilot name", data.pilotName)) return r;
      if (auto r = refused("Comp. number", data.competitionNumber)) return r;
      if (auto r = refused("Glider brand", data.gliderBrand)) return r;
      return refused("Glider model", data.gliderModel);
    case PilotData::Kind::PilotIds:
      if (auto r = refused("Pilot name", data.pilotName)) return r;
      if (auto r = refused("COMP ID", data.compId)) return r;
      return refused("CIVL ID", data.civlId);
    case PilotData::Kind::AltitudeAlarm:
      if (data.altitudeAlarm < 0) return "Bad input format";
      if (data.altitudeAlarm > kMaxAltitudeAlarm) return "Altitude too high";
      return std::nullopt;
  }
  return std::nullopt;
}

AltitudeAlarmInput ParseAltitudeAlarm(std::string_view text) {
  AltitudeAlarmInput input;
  const std::string_view value = Trim(text, " \t");
  if (value.empty()) {
    input.refusal = "Missing input";
    return input;
  }
  if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    input.refusal = "Bad input format";
    return input;
  }
  // Past five digits the number is too high whatever it is (and might not fit an int).
  if (value.size() > 5) {
    input.refusal = "Altitude too high";
    return input;
  }
  std::from_chars(value.data(), value.data() + value.size(), input.metres);
  if (input.metres > kMaxAltitudeAlarm) input.refusal = "Altitude too high";
  return input;
}

std::string PilotDataSentence(const PilotData& data) {
  std::string head;
  switch (data.kind) {
    case PilotData::Kind::Pilot:
      head = "$PFMPLT," + data.pilotName + "," + data.competitionNumber + "," + data.gliderBrand + "," +
             data.gliderModel + ",";
      break;
    case PilotData::Kind::AltitudeAlarm:
      head = FormatText("$PFMALT,%d,", data.altitudeAlarm);
      break;
    case PilotData::Kind::PilotIds:
      head = "$PFMIDS," + data.compId + "," + data.civlId + "," + data.pilotName;
      break;
  }
  return head + FormatText("*%02x\r\n", static_cast<unsigned>(NmeaChecksum(head)));
}

}  // namespace logwell::flymaster
