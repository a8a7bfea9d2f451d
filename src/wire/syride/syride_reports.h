#pragma once
// Syride SYS-Nav instruments on USB HID: the reports both ends exchange, the messages they
// carry and the records inside them. Free of devices and threads, so that the host, the
// virtual instrument, tests and fuzz targets all speak it on plain bytes.
//
// The maker has published nothing about this link. The report framing, the command codes and
// the message layouts below are this project's reading and are UNVERIFIED: the fix record
// follows the 20-byte fix that a public Bluetooth study of a newer model decoded (Unix time,
// ten-millionths of a degree, little-endian); everything else was chosen so that damage and
// anything unknown are noticed. The decoders refuse whatever does not match ("Unsupported
// record ...") rather than guess. docs/instruments.md lists the sources.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell::syride {

// USB identity looked for when opening the instrument. The real one is not published: this is
// the pid.codes test identity, so that no other maker's device is ever written to by mistake;
// the LOGWELL_SYRIDE_USB_ID environment variable ("vvvv:pppp", hexadecimal) names the real one.
inline constexpr std::uint16_t kUsbVendor = 0x1209;
inline constexpr std::uint16_t kUsbProduct = 0x0001;

// One HID report of data (the report ID, 0, is not part of it).
inline constexpr std::size_t kReportSize = 64;
inline constexpr std::size_t kReportHeader = 5;
inline constexpr std::size_t kReportPayload = kReportSize - kReportHeader - 1;  // 58
inline constexpr std::uint8_t kLastReport = 0x01;

// Command codes (the first byte of every report of a message).
enum class Command : std::uint8_t {
  Product = 0x01,
  FlightList = 0x02,
  Flight = 0x03,
  Task = 0x04,
  Waypoints = 0x05,
  WriteWaypoints = 0x06,
  EraseWaypoints = 0x07,
};

// The two models of the family.
inline constexpr std::uint8_t kModelSysNav = 1;
inline constexpr std::uint8_t kModelSysNavV3 = 3;

inline constexpr std::size_t kFixSize = 20;
inline constexpr std::size_t kFlightEntrySize = 12;
inline constexpr std::size_t kWaypointSize = 26;
inline constexpr std::size_t kTaskPointSize = 24;
inline constexpr std::size_t kNameSize = 16;
// The most a message may carry: a day's flight at one fix a second is 1.7 MB.
inline constexpr std::size_t kMaxMessage = 8u * 1024 * 1024;
inline constexpr std::size_t kMaxWaypoints = 1000;

// Splits a message into its reports: command, last-report flag, sequence number, payload length,
// payload, zero fill and the XOR of the 63 bytes before the last as the last byte.
std::vector<std::vector<std::uint8_t>> BuildReports(Command command, std::span<const std::uint8_t> payload);

// Collects the reports of one message. Feed returns nothing while more reports are needed and
// on completion; an error text ("Data error ...", "Unsupported record ...") when a report is
// damaged, out of order, of another command or makes the message too long.
class MessageAssembler {
 public:
  explicit MessageAssembler(Command expected) : expected_(expected) {}
  std::optional<std::string> Feed(std::span<const std::uint8_t> report);
  bool Complete() const { return complete_; }
  bool Started() const { return next_ > 0; }
  const std::vector<std::uint8_t>& Payload() const { return payload_; }
  std::size_t Reports() const { return next_; }

 private:
  Command expected_;
  std::vector<std::uint8_t> payload_;
  std::size_t next_ = 0;
  bool complete_ = false;
};

// The command a report belongs to, for a device that waits for requests (nothing when the
// report is too short).
std::optional<std::uint8_t> CommandOf(std::span<const std::uint8_t> report);

struct ProductData {
  std::uint8_t model = 0;
  std::uint32_t serial = 0;
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
};
std::vector<std::uint8_t> EncodeProduct(const ProductData& product);
std::optional<std::string> DecodeProduct(std::span<const std::uint8_t> payload, ProductData& product);
// "SYS-Nav" or "SYS-Nav V3".
std::string_view ModelName(std::uint8_t model);
// "%s, SNR %d, SW %d.%d".
std::string ProductText(const ProductData& product);

struct FlightEntry {
  std::uint32_t startUnix = 0;
  std::uint32_t durationSeconds = 0;
  std::uint32_t fixes = 0;
};
std::vector<std::uint8_t> EncodeFlightList(std::span<const FlightEntry> flights);
std::optional<std::string> DecodeFlightList(std::span<const std::uint8_t> payload, std::vector<FlightEntry>& flights);

std::vector<std::uint8_t> EncodeFlightRequest(std::uint16_t index);
std::optional<std::uint16_t> DecodeFlightRequest(std::span<const std::uint8_t> payload);

// A fix as the instrument keeps it.
struct Fix {
  std::uint32_t unixTime = 0;
  std::int32_t latitude = 0;   // ten-millionths of a degree
  std::int32_t longitude = 0;
  std::uint16_t speed = 0;     // unit unknown, not used
  std::uint16_t altitude = 0;  // GPS altitude, metres
  std::uint16_t heading = 0;   // degrees, not used
};
std::vector<std::uint8_t> EncodeFlight(std::span<const Fix> fixes);
// The fixes of a flight as track points (GPS altitude in decimetres, UTC times); the first
// opens a segment.
std::optional<std::string> DecodeFlight(std::span<const std::uint8_t> payload, std::vector<TrackPoint>& points);

// A Fix from a track point, for the virtual instrument.
Fix FixOf(const TrackPoint& point);

struct NamedPoint {
  std::int32_t latitude = 0;  // ten-millionths of a degree
  std::int32_t longitude = 0;
  std::int16_t altitude = 0;  // metres (waypoints only)
  std::string name;           // at most 16 bytes
};
std::vector<std::uint8_t> EncodeWaypoints(std::span<const NamedPoint> points);
std::optional<std::string> DecodeWaypoints(std::span<const std::uint8_t> payload, std::vector<NamedPoint>& points);
std::vector<std::uint8_t> EncodeTask(std::span<const NamedPoint> points);
std::optional<std::string> DecodeTask(std::span<const std::uint8_t> payload, std::vector<NamedPoint>& points);
// The count the instrument answers a waypoint write or erase with.
std::vector<std::uint8_t> EncodeCount(std::uint16_t count);
std::optional<std::string> DecodeCount(std::span<const std::uint8_t> payload, std::uint16_t& count);

// Ten-millionths of a degree to semicircles: clamped to +-89.9999999 and +-179.9999999 degrees,
// then multiplied by 1.1930464711111 and rounded half away from zero.
std::int32_t LatitudeToSemicircles(std::int32_t tenMillionths);
std::int32_t LongitudeToSemicircles(std::int32_t tenMillionths);
std::int32_t SemicirclesToTenMillionths(std::int32_t semicircles);

// Waypoints as the program keeps them and back: one text per waypoint on the instrument.
Waypoint WaypointOf(const NamedPoint& point, GarminTime now);
NamedPoint NamedPointOf(const Waypoint& waypoint);

// The competition route of a task read from the instrument (at least two points): takeoff at
// the first fix, the task's start, turn points and finish, landing at the last fix; nothing
// when the task has fewer than two points or there are no fixes.
std::optional<TaskDeclaration> RouteOfTask(std::span<const NamedPoint> task, std::span<const TrackPoint> points,
                                           GarminTime now);

}  // namespace logwell::syride
