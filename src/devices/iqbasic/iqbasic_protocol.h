#pragma once
// IQ Basic and Flytec 6015: plain text lines ending in CR LF at 57600 baud without flow control.
// Parameter reads "RPA_nn" are answered "RPA_nn_" and the parameter's bytes as hexadecimal
// pairs (little-endian); the commands "ACT_xx_yy" are answered by lines and a closing "Done".
// Flights arrive as the instrument's own IGC text. This file is the codec, free of threads and
// ports, so that tests and fuzz targets can run it on bytes.
//
// Unverified (no maker's description is public; docs/instruments.md): the width of the serial
// number parameter (2 or 4 bytes are taken), whether the flight list's start time is UTC, and
// the answers to a waypoint upload besides "Done". Lines that do not match are refused with
// "Unsupported record" rather than guessed at.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell::iqbasic {

inline constexpr int kBaudRate = 57600;

inline constexpr std::string_view kSerialRequest = "RPA_00\r\n";
inline constexpr std::string_view kTypeRequest = "RPA_01\r\n";
inline constexpr std::string_view kSoftwareRequest = "RPA_02\r\n";
inline constexpr std::string_view kFlightListRequest = "ACT_20_  \r\n";
inline constexpr std::string_view kWaypointRequest = "ACT_31_00\r\n";
inline constexpr std::string_view kWaypointUploadRequest = "ACT_32_00\r\n";

// Characters of a waypoint name as the instrument keeps it (16 of them, blank-padded).
inline constexpr std::size_t kNameWidth = 16;
// Flights the list can name (the track request carries the index as two hex digits).
inline constexpr int kMaxFlights = 256;

// "ACT_21_%02X": one flight of the list as IGC text.
std::string FlightRequest(int index);

// The bytes of a parameter answer "RPA_nn_HH..." for parameter `number`, or nothing when the
// line is not that answer (wrong prefix, odd or non-hexadecimal digits).
std::optional<std::vector<std::uint8_t>> ParameterBytes(std::string_view line, int number);

struct ProductData {
  std::uint32_t serial = 0;
  int deviceType = 0;  // 0 Flytec 6015, 1 IQ Basic
  int software = 0;    // 1107 is "1.1.07"
};

// The model name of a device type; empty for a type nobody has described.
std::string_view ModelName(int deviceType);
// Reads the three answers into `product`; the text of the first fault, or nothing.
std::optional<std::string> ReadProduct(std::span<const std::uint8_t> serial,
                                       std::span<const std::uint8_t> type,
                                       std::span<const std::uint8_t> software,
                                       ProductData& product);
// "%s, SW %d.%d.%02d, S/N %d".
std::string ProductText(const ProductData& product);

// How a line of a command's answer reads.
enum class LineKind { Data, Done, NoData };
// "Done" and "No Data" with any blanks around them end an answer; everything else is data.
LineKind KindOf(std::string_view line);

// One line of the flight list: "index; yy.mm.dd; hh:mm:ss; utc offset; hh:mm:ss; ..." (the
// further fields: altitudes, varios, speed, pilot, glider type and ID). The text of the fault,
// or nothing; `index` and `entry` are filled on success.
std::optional<std::string> ParseFlightListLine(std::string_view line, int& index, TrackListEntry& entry);

// One stored waypoint: "name;N  dd'mm.mmm;E ddd'mm.mmm;  altitude;  radius".
struct WaypointLine {
  std::string name;        // trailing blanks removed
  std::int32_t latitude;   // semicircles
  std::int32_t longitude;  // semicircles
  int altitude = 0;
  int radius = 0;
};
std::optional<WaypointLine> ParseWaypointLine(std::string_view line);

// The name as the instrument takes it: characters it does not keep dropped (";" separates the
// fields), cut to 16 and padded with blanks.
std::string UploadName(std::string_view name);
// "%s;%c  %02d'%02d.%03d;%c %03d'%02d.%03d;%6d;   400\r\n" for one waypoint, its name made by
// UploadName from the description and the altitude clamped to what six places hold.
std::string WaypointUploadLine(const Waypoint& waypoint);
// The upload result when a waypoint was refused.
std::string UploadResultText(int ok, int total, std::string_view firstError);

}  // namespace logwell::iqbasic
