#pragma once
// IQ Basic and Flytec 6015: plain text lines ending in CR LF at 57600 baud, 8N1, without flow
// control, as Flytec's "Communication protocol 6015" (V1.3.00) describes them. Parameter reads
// "RPA_nn" are answered "RPA_nn_" and the parameter's bytes as hexadecimal pairs; the actions
// "ACT_xx_yy" are answered by lines and a closing " Done". Flights arrive as the instrument's
// own IGC text. This file is the codec, free of threads and ports, so that tests and fuzz
// targets can run it on bytes.
//
// The byte order of the parameters (little-endian) is a peer utility's reading; the maker's
// document does not state it. Lines that do not match are refused with "Unsupported record"
// rather than guessed at.
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
inline constexpr std::string_view kFlightListRequest = "ACT_20_00\r\n";
inline constexpr std::string_view kWaypointRequest = "ACT_31_00\r\n";
inline constexpr std::string_view kWaypointUploadRequest = "ACT_32_00\r\n";

// Characters of a waypoint name as the instrument keeps it (16 of them, blank-padded).
inline constexpr std::size_t kNameWidth = 16;
// Flights the list can name (the track request carries the index as two hex digits).
inline constexpr int kMaxFlights = 256;
// The first software that sends the flight list without a header line and ends it with
// " Done" ("1.1.20"); older ones send a header line first and no closing line.
inline constexpr int kFlightListWithoutHeader = 1120;
// The altitude range a waypoint line may carry, in metres.
inline constexpr int kMinWaypointAltitude = -2000;
inline constexpr int kMaxWaypointAltitude = 10000;

// "ACT_21_%02x": one flight of the list as IGC text (lower-case digits, as the maker writes
// "ACT_21_0a").
std::string FlightRequest(int index);

// The bytes of a parameter answer "RPA_nn_HH..." for parameter `number`, or nothing when the
// line is not that answer (wrong prefix, odd or non-hexadecimal digits).
std::optional<std::vector<std::uint8_t>> ParameterBytes(std::string_view line, int number);

struct ProductData {
  std::uint32_t serial = 0;  // four bytes
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
// further fields: altitudes, varios, speed, pilot, glider type and ID); date and start time
// are UTC. The text of the fault, or nothing; `index` and `entry` are filled on success.
std::optional<std::string> ParseFlightListLine(std::string_view line, int& index, TrackListEntry& entry);

// One stored waypoint: "name;N  dd'mm.mmm;E ddd'mm.mmm;  altitude;  radius", the degrees
// padded with blanks.
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
// "%s;%c  %2d'%02d.%03d;%c %3d'%02d.%03d;%6d;   400\r\n" for one waypoint (58 bytes, the
// degrees padded with blanks), its name made by UploadName from the description and the
// altitude clamped to the range the instrument takes.
std::string WaypointUploadLine(const Waypoint& waypoint);

// The instrument's answer to a waypoint line.
enum class UploadAnswer { Stored, FullList, SyntaxError, AlreadyExists, Unknown };
UploadAnswer UploadAnswerOf(std::string_view line);
// The upload result when a waypoint was refused.
std::string UploadResultText(int ok, int total, std::string_view firstError);

}  // namespace logwell::iqbasic
