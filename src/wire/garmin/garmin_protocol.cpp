#include "wire/garmin/garmin_protocol.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace logwell::garmin {

std::uint8_t Checksum(std::uint8_t id, std::span<const std::uint8_t> data) {
  unsigned sum = id + static_cast<unsigned>(data.size());
  for (const std::uint8_t byte : data) sum += byte;
  return static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
}

std::vector<std::uint8_t> FramePacket(std::uint8_t id, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> frame;
  frame.reserve(6 + 2 * data.size());
  const auto stuffed = [&frame](std::uint8_t byte) {
    frame.push_back(byte);
    if (byte == kDle) frame.push_back(byte);
  };
  frame.push_back(kDle);
  frame.push_back(id);
  stuffed(static_cast<std::uint8_t>(data.size()));
  for (const std::uint8_t byte : data) stuffed(byte);
  stuffed(Checksum(id, data));
  frame.push_back(kDle);
  frame.push_back(kEtx);
  return frame;
}

Packet NumberPacket(std::uint8_t id, std::uint16_t number) {
  return Packet{id, {static_cast<std::uint8_t>(number & 0xFF), static_cast<std::uint8_t>(number >> 8)}};
}

bool PacketParser::Feed(std::uint8_t byte) {
  switch (state_) {
    case 0:
      if (byte == kDle) state_ = 1;
      return false;
    case 1:
      if (byte == kDle || byte == kEtx) {
        state_ = 0;
        return false;
      }
      packet_.id = byte;
      sum_ = byte;
      dleSeen_ = false;
      state_ = 2;
      return false;
    case 2:
    case 3:
    case 4:
      if (dleSeen_) {
        dleSeen_ = false;
        if (byte != kDle) {
          state_ = 0;
          return false;
        }
      } else if (byte == kDle) {
        dleSeen_ = true;
        return false;
      }
      sum_ = static_cast<std::uint8_t>(sum_ + byte);
      if (state_ == 2) {
        size_ = byte;
        packet_.data.clear();
        state_ = size_ == 0 ? 4 : 3;
      } else if (state_ == 3) {
        packet_.data.push_back(byte);
        if (packet_.data.size() == size_) state_ = 4;
      } else {
        state_ = sum_ == 0 ? 5 : 0;
      }
      return false;
    case 5:
      state_ = byte == kDle ? 6 : 0;
      return false;
    default:
      state_ = 0;
      return byte == kEtx;
  }
}

std::uint16_t ReadU16(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset + 2 > data.size()) return 0;
  return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset + 4 > data.size()) return 0;
  return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

float ReadFloat(std::span<const std::uint8_t> data, std::size_t offset) {
  return std::bit_cast<float>(ReadU32(data, offset));
}

void WriteU16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value) {
  if (offset + 2 > data.size()) return;
  data[offset] = static_cast<std::uint8_t>(value & 0xFF);
  data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteU32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > data.size()) return;
  for (int i = 0; i < 4; ++i) data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void WriteFloat(std::span<std::uint8_t> data, std::size_t offset, float value) {
  WriteU32(data, offset, std::bit_cast<std::uint32_t>(value));
}

std::optional<ProductData> ReadProductData(const Packet& packet) {
  if (packet.id != kPidProductData || packet.data.size() <= 4) return std::nullopt;
  ProductData product;
  product.productId = static_cast<std::int16_t>(ReadU16(packet.data, 0));
  product.software = ReadU16(packet.data, 2);
  for (std::size_t i = 4; i < packet.data.size() && packet.data[i] != 0 && product.description.size() < 80; ++i)
    product.description.push_back(static_cast<char>(packet.data[i]));
  return product;
}

// ---- capabilities ----

namespace {

struct TableRow {
  std::uint16_t productId, lowest, highest;
  std::uint16_t waypointType, routeHeaderType;
  std::uint16_t trackTransfer, trackPointType;
  std::uint16_t proximityTransfer, proximityType;
  std::uint16_t almanacType;
};

constexpr std::uint16_t kAny = 65535;

// Physical P000, link L001, device command A010, waypoints A100, routes A200 with the waypoint
// type as route waypoint type, almanac A500 in every row.
constexpr std::array<TableRow, 48> kBuiltInTable{{
    {7, 0, kAny, 100, 200, 0, 0, 0, 0, 500},
    {13, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {14, 0, kAny, 100, 200, 0, 0, 400, 400, 500},
    {15, 0, kAny, 151, 200, 0, 0, 400, 151, 500},
    {18, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {22, 0, kAny, 152, 200, 300, 300, 400, 152, 500},
    {23, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {24, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {25, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {29, 400, kAny, 102, 201, 300, 300, 400, 102, 500},
    {29, 0, 399, 101, 201, 300, 300, 400, 101, 500},
    {31, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {35, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {36, 300, kAny, 152, 200, 300, 300, 0, 0, 500},
    {36, 0, 299, 152, 200, 300, 300, 400, 152, 500},
    {39, 0, kAny, 151, 201, 300, 300, 0, 0, 500},
    {41, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {42, 0, kAny, 100, 200, 300, 300, 400, 400, 500},
    {44, 0, kAny, 101, 201, 300, 300, 400, 101, 500},
    {45, 0, kAny, 152, 201, 300, 300, 0, 0, 500},
    {47, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {48, 0, kAny, 154, 201, 300, 300, 0, 0, 501},
    {49, 0, kAny, 102, 201, 300, 300, 400, 102, 501},
    {50, 0, kAny, 152, 201, 300, 300, 0, 0, 501},
    {53, 0, kAny, 152, 201, 300, 300, 0, 0, 501},
    {55, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {56, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {59, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {61, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {62, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {71, 0, kAny, 155, 201, 300, 300, 0, 0, 501},
    {72, 0, kAny, 104, 201, 300, 300, 0, 0, 501},
    {73, 0, kAny, 103, 201, 300, 300, 0, 0, 501},
    {74, 0, kAny, 100, 201, 300, 300, 0, 0, 500},
    {76, 0, kAny, 102, 201, 300, 300, 400, 102, 501},
    {77, 361, kAny, 103, 201, 300, 300, 400, 403, 501},
    {77, 350, 360, 103, 201, 300, 300, 0, 0, 501},
    {77, 301, 349, 103, 201, 300, 300, 400, 403, 501},
    {77, 0, 300, 100, 201, 300, 300, 400, 400, 501},
    {87, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {88, 0, kAny, 102, 201, 300, 300, 400, 102, 501},
    {95, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {96, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {97, 0, kAny, 103, 201, 300, 300, 0, 0, 501},
    {100, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {105, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {106, 0, kAny, 103, 201, 300, 300, 400, 403, 501},
    {112, 0, kAny, 152, 201, 300, 300, 0, 0, 501},
}};

constexpr std::array<std::uint16_t, 14> kWaypointTypes{100, 101, 102, 103, 104, 107, 108,
                                                       109, 110, 150, 151, 152, 154, 155};

}  // namespace

bool IsAcceptedWaypointType(std::uint16_t type) {
  return std::find(kWaypointTypes.begin(), kWaypointTypes.end(), type) != kWaypointTypes.end();
}

std::optional<Capabilities> BuiltInCapabilities(std::uint16_t productId, std::uint16_t software) {
  for (const TableRow& row : kBuiltInTable) {
    if (row.productId != productId || software < row.lowest || software > row.highest) continue;
    Capabilities caps;
    caps.productId = row.productId;
    caps.lowestVersion = row.lowest;
    caps.highestVersion = row.highest;
    caps.physical = 0;
    caps.link = 1;
    caps.deviceCommand = 10;
    caps.waypointTransfer = 100;
    caps.waypointType = row.waypointType;
    caps.routeTransfer = 200;
    caps.routeHeaderType = row.routeHeaderType;
    caps.routeWaypointType = row.waypointType;
    caps.trackTransfer = row.trackTransfer;
    caps.trackPointType = row.trackPointType;
    caps.proximityTransfer = row.proximityTransfer;
    caps.proximityType = row.proximityType;
    caps.almanacTransfer = 500;
    caps.almanacType = row.almanacType;
    return caps;
  }
  return std::nullopt;
}

const char* ParseProtocolArray(std::span<const std::uint8_t> data, Capabilities& caps) {
  if (data.size() % 3 != 0) return "Bad protocol data packet";
  std::uint16_t context = 0;  // the A number whose data types follow; 0: skip them
  for (std::size_t i = 0; i < data.size(); i += 3) {
    const char tag = static_cast<char>(data[i]);
    const std::uint16_t number = ReadU16(data, i + 1);
    switch (tag) {
      case 'P': caps.physical = number; context = 0; break;
      case 'L': caps.link = number; context = 0; break;
      case 'T': caps.transmission = number; context = 0; break;
      case 'A':
        context = number;
        if (number == 10 || number == 11) {
          caps.deviceCommand = number;
          context = 0;
        } else if (number == 100) {
          caps.waypointTransfer = number;
        } else if (number == 200 || number == 201) {
          caps.routeTransfer = number;
        } else if (number >= 300 && number <= 302) {
          caps.trackTransfer = number;
        } else if (number == 400) {
          caps.proximityTransfer = number;
        } else if (number == 500) {
          caps.almanacTransfer = number;
        } else {
          context = 0;
        }
        break;
      case 'D':
        if (context == 100) {
          if (IsAcceptedWaypointType(number)) caps.waypointType = number;
        } else if (context == 200 || context == 201) {
          if (IsAcceptedWaypointType(number)) caps.routeWaypointType = number;
          else if (number >= 200 && number <= 202) caps.routeHeaderType = number;
          else if (number == 210) caps.routeLinkType = number;
        } else if (context >= 300 && context <= 302) {
          if (number >= 300 && number <= 304) caps.trackPointType = number;
          else if (number >= 310 && number <= 312) caps.trackHeaderType = number;
        } else if (context == 400) {
          if (number == 400 || number == 403 || number == 450) caps.proximityType = number;
        } else if (context == 500) {
          if (number == 500 || number == 501 || number == 550 || number == 551) caps.almanacType = number;
        }
        break;
      default:
        return "Bad protocol tag character";
    }
  }
  return nullptr;
}

const char* CheckCapabilities(const Capabilities& caps) {
  if (caps.link != 1) return "E180 Unsupported link protocol";
  if (caps.deviceCommand != 10) return "E181 Unsupported device command protocol";
  if (caps.waypointTransfer == 100) {
    if (!IsAcceptedWaypointType(caps.waypointType)) return "E183 Unsupported waypoint data type";
  } else if (caps.waypointTransfer != 0) {
    return "E182 Unsupported waypoint transfer protocol";
  }
  if (caps.trackTransfer >= 300 && caps.trackTransfer <= 302) {
    if (caps.trackPointType < 300 || caps.trackPointType > 304) return "E185 Unsupported track log data type";
  } else if (caps.trackTransfer != 0) {
    return "E185 Unsupported track log data type";
  }
  return nullptr;
}

// ---- track points ----

namespace {

struct PointLayout {
  std::uint16_t type;
  std::size_t size;
  int altitude;  // offset of the float, -1 none
  int depth;
  int newTrack;
};

constexpr std::array<PointLayout, 5> kPointLayouts{{
    {300, 13, -1, -1, 12},
    {301, 21, 12, 16, 20},
    {302, 25, 12, 16, 24},
    {303, 17, 12, -1, -1},
    {304, 23, 12, -1, -1},
}};

const PointLayout* FindPointLayout(std::uint16_t type) {
  for (const PointLayout& layout : kPointLayouts)
    if (layout.type == type) return &layout;
  return nullptr;
}

}  // namespace

std::optional<TrackPoint> DecodeTrackPoint(std::uint16_t pointType, std::span<const std::uint8_t> data) {
  const PointLayout* layout = FindPointLayout(pointType);
  if (layout == nullptr || data.size() < layout->size) return std::nullopt;
  TrackPoint point;
  point.latitude = static_cast<std::int32_t>(ReadU32(data, 0));
  point.longitude = static_cast<std::int32_t>(ReadU32(data, 4));
  const std::uint32_t time = ReadU32(data, 8);
  point.time = IsInvalidGarminTime(time) ? 0 : time;
  if (layout->altitude >= 0) {
    const float altitude = ReadFloat(data, static_cast<std::size_t>(layout->altitude));
    // 1.0e25 is the receiver's "no altitude". A value that is not a number or beyond the range
    // of the decimetre field counts the same, rather than overflowing the conversion.
    if (std::isfinite(altitude) && altitude <= 1e10f && altitude > -1e8f)
      point.gpsAltitude = static_cast<std::int32_t>(static_cast<double>(altitude) * 10.0 + 0.5);
  }
  if (layout->depth >= 0) {
    point.depth = ReadFloat(data, static_cast<std::size_t>(layout->depth));
  }
  if (layout->newTrack >= 0 && data[static_cast<std::size_t>(layout->newTrack)] != 0) point.segmentStart = 1;
  return point;
}

std::vector<std::uint8_t> EncodeTrackPoint(std::uint16_t pointType, const TrackPoint& point) {
  const PointLayout* layout = FindPointLayout(pointType);
  if (layout == nullptr) layout = &kPointLayouts[0];
  std::vector<std::uint8_t> data(layout->size, 0);
  WriteU32(data, 0, static_cast<std::uint32_t>(point.latitude));
  WriteU32(data, 4, static_cast<std::uint32_t>(point.longitude));
  WriteU32(data, 8, point.time);
  if (layout->altitude >= 0)
    WriteFloat(data, static_cast<std::size_t>(layout->altitude), static_cast<float>(point.gpsAltitude) / 10.0f);
  if (layout->depth >= 0) WriteFloat(data, static_cast<std::size_t>(layout->depth), point.depth);
  if (layout->newTrack >= 0) data[static_cast<std::size_t>(layout->newTrack)] = point.segmentStart & 1 ? 1 : 0;
  return data;
}

// ---- waypoints ----

namespace {

// Offsets of the fields of a waypoint type; -1 where the type has none. Fixed-width types carry
// a 6-character identifier at 0 and a 40-character text; string types carry the identifier as
// a NUL-terminated string at `stringAt` and the text right after it.
struct WaypointLayout {
  std::uint16_t type;
  std::size_t minimum;  // receive: the least packet size; upload: the size of fixed types
  std::size_t uploadSize;
  int position;
  int floatAltitude;
  int shortAltitude;
  int text;  // fixed types
  int symbol;
  int stringAt;  // string types
  int time;
};

constexpr std::array<WaypointLayout, 14> kWaypointLayouts{{
    {100, 58, 58, 6, -1, -1, 18, -1, -1, -1},
    {101, 63, 63, 6, -1, -1, 18, -1, -1, -1},
    {102, 64, 64, 6, -1, -1, 18, 62, -1, -1},
    {103, 60, 60, 6, -1, -1, 18, -1, -1, -1},
    {104, 65, 65, 6, -1, -1, 18, 62, -1, -1},
    {107, 65, 65, 6, -1, -1, 18, -1, -1, -1},
    {108, 48, 48, 24, 32, -1, -1, 4, 48, -1},
    {109, 52, 52, 24, 32, -1, -1, 4, 52, -1},
    {110, 62, 62, 24, 32, -1, -1, 4, 62, 56},
    {150, 115, 115, 9, -1, 17, 75, -1, -1, -1},
    {151, 124, 124, 6, -1, 118, 18, -1, -1, -1},
    {152, 124, 124, 6, -1, 118, 18, -1, -1, -1},
    {154, 126, 126, 6, -1, 118, 18, 124, -1, -1},
    {155, 127, 127, 6, -1, 118, 18, 124, -1, -1},
}};

const WaypointLayout* FindWaypointLayout(std::uint16_t type) {
  for (const WaypointLayout& layout : kWaypointLayouts)
    if (layout.type == type) return &layout;
  return nullptr;
}

std::size_t At(int offset) { return static_cast<std::size_t>(offset); }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Received text: upper case, at most `length` characters, trailing blanks dropped.
std::string CleanText(std::span<const std::uint8_t> bytes, std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < length && bytes[i] != 0; ++i)
    text.push_back(Upper(static_cast<char>(bytes[i])));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Sent text: upper case; letters, digits, blank (and "-" when `keepDash`) stay, the others
// become `other`; at most `length` characters.
std::string MapText(std::string_view text, std::size_t length, bool keepDash, char other) {
  std::string mapped;
  for (const char raw : text.substr(0, std::min(length, text.size()))) {
    const char c = Upper(raw);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || (keepDash && c == '-');
    mapped.push_back(keep ? c : other);
  }
  return mapped;
}

std::int32_t RoundedAltitude(float altitude) {
  if (!std::isfinite(altitude) || altitude > 20000.0f || altitude < -20000.0f) return 0;
  return static_cast<std::int32_t>(std::lround(altitude));
}

}  // namespace

WaypointDecode DecodeWaypoint(std::uint16_t waypointType, std::span<const std::uint8_t> data, GarminTime now,
                              Waypoint& waypoint) {
  const WaypointLayout* layout = FindWaypointLayout(waypointType);
  if (layout == nullptr || data.size() < layout->minimum) return WaypointDecode::TooShort;
  if (waypointType == 109 && (data[0] != 1 || data[3] != 0x70)) return WaypointDecode::BadTypeByte;
  if (waypointType == 110 && (data[0] != 1 || data[3] != 0x80)) return WaypointDecode::BadTypeByte;
  waypoint = Waypoint{};
  waypoint.latitude = static_cast<std::int32_t>(ReadU32(data, At(layout->position)));
  waypoint.longitude = static_cast<std::int32_t>(ReadU32(data, At(layout->position) + 4));
  if (layout->floatAltitude >= 0) waypoint.altitude = RoundedAltitude(ReadFloat(data, At(layout->floatAltitude)));
  if (layout->shortAltitude >= 0)
    waypoint.altitude = static_cast<std::int16_t>(ReadU16(data, At(layout->shortAltitude)));
  if (layout->stringAt >= 0) {
    const auto rest = data.subspan(At(layout->stringAt));
    const std::size_t idLength = std::min<std::size_t>(
        rest.size(), static_cast<std::size_t>(std::find(rest.begin(), rest.end(), 0) - rest.begin()));
    waypoint.SetId(CleanText(rest, Waypoint::kMaxIdLength));
    if (idLength < rest.size()) waypoint.SetDescription(CleanText(rest.subspan(idLength + 1), Waypoint::kMaxDescriptionLength));
  } else {
    waypoint.SetId(CleanText(data.subspan(0, 6), Waypoint::kMaxIdLength));
    waypoint.SetDescription(CleanText(data.subspan(At(layout->text), 40), Waypoint::kMaxDescriptionLength));
  }
  if (layout->symbol >= 0 && ReadU16(data, At(layout->symbol)) == kSymbolAirfield) waypoint.type = 1;
  waypoint.time = layout->time >= 0 ? ReadU32(data, At(layout->time)) : now;
  return WaypointDecode::Ok;
}

std::vector<std::uint8_t> EncodeWaypoint(std::uint16_t waypointType, const Waypoint& waypoint) {
  const WaypointLayout* layout = FindWaypointLayout(waypointType);
  if (layout == nullptr) layout = &kWaypointLayouts[0];
  const std::string id = MapText(waypoint.Id(), Waypoint::kMaxIdLength, true, ' ');
  std::vector<std::uint8_t> data;
  if (layout->stringAt >= 0) {
    const std::string text = MapText(waypoint.Description(), Waypoint::kMaxDescriptionLength, true, ' ');
    data.assign(At(layout->stringAt) + id.size() + 1 + text.size() + 1, 0);
    std::copy(id.begin(), id.end(), data.begin() + layout->stringAt);
    std::copy(text.begin(), text.end(), data.begin() + layout->stringAt + static_cast<std::ptrdiff_t>(id.size()) + 1);
    if (waypointType == 108) {
      data[1] = 0xFF;
      data[3] = 0x60;
    } else {
      data[0] = 1;
      data[2] = 0x1F;
      data[3] = waypointType == 109 ? 0x70 : 0x80;
    }
  } else {
    data.assign(layout->uploadSize, 0);
    std::string fixedId = id;
    fixedId.resize(6, ' ');
    std::copy(fixedId.begin(), fixedId.end(), data.begin());
    std::string text = MapText(waypoint.Description(), Waypoint::kMaxDescriptionLength, false, '-');
    text.resize(40, ' ');
    std::copy(text.begin(), text.end(), data.begin() + layout->text);
    if (waypointType == 101) data[62] = kSymbolPoint;
  }
  WriteU32(data, At(layout->position), static_cast<std::uint32_t>(waypoint.latitude));
  WriteU32(data, At(layout->position) + 4, static_cast<std::uint32_t>(waypoint.longitude));
  if (layout->symbol >= 0) WriteU16(data, At(layout->symbol), waypoint.type == 1 ? kSymbolAirfield : kSymbolPoint);
  if (layout->floatAltitude >= 0) WriteFloat(data, At(layout->floatAltitude), static_cast<float>(waypoint.altitude));
  if (layout->shortAltitude >= 0)
    WriteU16(data, At(layout->shortAltitude), static_cast<std::uint16_t>(static_cast<std::int16_t>(waypoint.altitude)));
  if (layout->time >= 0) WriteU32(data, At(layout->time), waypoint.time);
  return data;
}

}  // namespace logwell::garmin
