#pragma once
// Garmin receivers: the packet layer L001 over P000 (DLE-framed packets with a two's-complement
// checksum and DLE stuffing), the device's product data and protocol capabilities, and the
// conversions between track point and waypoint packets and the program's records. Free of
// ports and threads so that tests and fuzz targets can call it on bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "model/waypoint.h"

namespace logwell::garmin {

inline constexpr int kBaudRate = 9600;

inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kEtx = 0x03;

// Packet IDs.
inline constexpr std::uint8_t kPidAck = 6;
inline constexpr std::uint8_t kPidCommand = 10;
inline constexpr std::uint8_t kPidTransferComplete = 12;
inline constexpr std::uint8_t kPidRecords = 27;
inline constexpr std::uint8_t kPidTrackPoint = 34;
inline constexpr std::uint8_t kPidWaypoint = 35;
inline constexpr std::uint8_t kPidTrackHeader = 99;
inline constexpr std::uint8_t kPidProtocolArray = 253;
inline constexpr std::uint8_t kPidProductRequest = 254;
inline constexpr std::uint8_t kPidProductData = 255;

// Device commands.
inline constexpr std::uint16_t kCommandAbort = 0;
inline constexpr std::uint16_t kCommandTrackLog = 6;
inline constexpr std::uint16_t kCommandWaypoints = 7;
inline constexpr std::uint16_t kCommandPowerOff = 8;

struct Packet {
  std::uint8_t id = 0;
  std::vector<std::uint8_t> data;  // at most 255 bytes on the serial link
  bool operator==(const Packet&) const = default;
};

// The checksum byte: the two's complement of the low 8 bits of the sum of ID, size and data.
std::uint8_t Checksum(std::uint8_t id, std::span<const std::uint8_t> data);

// The frame of a packet as written to the port: DLE, ID, size, data, checksum, DLE, ETX, with
// every size, data and checksum byte of 0x10 doubled. `data` must hold at most 255 bytes.
std::vector<std::uint8_t> FramePacket(std::uint8_t id, std::span<const std::uint8_t> data);

// Short packets that carry one 16-bit number.
Packet NumberPacket(std::uint8_t id, std::uint16_t number);
inline Packet AckPacket(std::uint8_t acknowledged) { return NumberPacket(kPidAck, acknowledged); }
inline Packet CommandPacket(std::uint16_t command) { return NumberPacket(kPidCommand, command); }

// The receiving side, one byte at a time. A packet with bad framing or a wrong checksum is
// dropped without a trace (the link never sends a negative acknowledge).
class PacketParser {
 public:
  // True when this byte completed a packet; it is then in Last() until the next byte.
  bool Feed(std::uint8_t byte);
  const Packet& Last() const { return packet_; }
  void Reset() { state_ = 0; }

 private:
  int state_ = 0;
  bool dleSeen_ = false;
  std::uint8_t sum_ = 0;
  std::size_t size_ = 0;
  Packet packet_;
};

// Little-endian numbers in packet data; out of range reads give 0.
std::uint16_t ReadU16(std::span<const std::uint8_t> data, std::size_t offset);
std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t offset);
float ReadFloat(std::span<const std::uint8_t> data, std::size_t offset);
void WriteU16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value);
void WriteU32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value);
void WriteFloat(std::span<std::uint8_t> data, std::size_t offset, float value);

// ---- product data and capabilities ----

struct ProductData {
  std::int16_t productId = 0;
  std::uint16_t software = 0;  // version × 100
  std::string description;     // at most 80 characters
};
// The product data packet (ID 255, more than 4 data bytes); nullopt for anything else.
std::optional<ProductData> ReadProductData(const Packet& packet);

// Twenty 16-bit numbers; 0 means "none".
struct Capabilities {
  std::uint16_t productId = 0;
  std::uint16_t lowestVersion = 0;
  std::uint16_t highestVersion = 0;
  std::uint16_t physical = 0;
  std::uint16_t link = 0;
  std::uint16_t deviceCommand = 0;
  std::uint16_t transmission = 0;
  std::uint16_t waypointTransfer = 0;
  std::uint16_t waypointType = 0;
  std::uint16_t routeTransfer = 0;
  std::uint16_t routeHeaderType = 0;
  std::uint16_t routeWaypointType = 0;
  std::uint16_t routeLinkType = 0;
  std::uint16_t trackTransfer = 0;
  std::uint16_t trackHeaderType = 0;
  std::uint16_t trackPointType = 0;
  std::uint16_t proximityTransfer = 0;
  std::uint16_t proximityType = 0;
  std::uint16_t almanacTransfer = 0;
  std::uint16_t almanacType = 0;
  bool operator==(const Capabilities&) const = default;
};

// The row of the built-in table for devices that send no protocol array: the first whose
// product ID matches and whose version range holds `software`; nullopt when none does.
std::optional<Capabilities> BuiltInCapabilities(std::uint16_t productId, std::uint16_t software);

// Reads a protocol array (packet 253) into `caps`. Returns nullptr, or the failure's message:
// "Bad protocol data packet" (size not a multiple of 3), "Bad protocol tag character".
const char* ParseProtocolArray(std::span<const std::uint8_t> data, Capabilities& caps);

// nullptr when the transfers can use these capabilities, else the "E18x ..." message.
const char* CheckCapabilities(const Capabilities& caps);

bool IsAcceptedWaypointType(std::uint16_t type);

// ---- record conversions ----

// A track point packet of the given point type (300..304); nullopt when it is too short.
std::optional<TrackPoint> DecodeTrackPoint(std::uint16_t pointType,
                                           std::span<const std::uint8_t> data);
// The packet of a track point for upload (time, altitude and new-track flag as given).
std::vector<std::uint8_t> EncodeTrackPoint(std::uint16_t pointType, const TrackPoint& point);

enum class WaypointDecode { Ok, TooShort, BadTypeByte };
// A waypoint packet of the given data type; `now` is the time given to types without one.
WaypointDecode DecodeWaypoint(std::uint16_t waypointType, std::span<const std::uint8_t> data,
                              GarminTime now, Waypoint& waypoint);
// The packet data of a waypoint for upload (ID 35).
std::vector<std::uint8_t> EncodeWaypoint(std::uint16_t waypointType, const Waypoint& waypoint);

// The symbol numbers of the two waypoint types.
inline constexpr std::uint16_t kSymbolAirfield = 16384;
inline constexpr std::uint16_t kSymbolPoint = 18;

}  // namespace logwell::garmin
