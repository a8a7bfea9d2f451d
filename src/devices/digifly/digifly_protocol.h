#pragma once
// Digifly Leonardo Pro and Digifly Air: "$PDGF…*CS" sentences with the usual NMEA checksum, at
// 38400 baud for the Leonardo Pro and 115200 for the Air, no flow control. The fixed requests
// are the program's own literals; everything else is this project's reading and UNVERIFIED: no
// description of the answers, the flight request or the record layouts is public
// (docs/instruments.md). Sentences that do not match are refused ("Unsupported record …"),
// never guessed at.
//
// Transfers (unverified): an answer opens with "$PDGFxxx,count" and carries that many items;
// a transfer that ends early is refused. Positions travel as signed thousandths of a minute,
// altitudes as whole metres.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/track_point.h"
#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell::digifly {

inline constexpr int kLeonardoBaudRate = 38400;
inline constexpr int kAirBaudRate = 115200;
// Bit 0 of the access parameter selects the Air (and its line rate).
constexpr int BaudRateFor(int parameter) { return (parameter & 1) != 0 ? kAirBaudRate : kLeonardoBaudRate; }

inline constexpr std::string_view kProductRequest = "$PDGFVID*4E\r\n";
inline constexpr std::string_view kFlightListRequest = "$PDGFFLL*53\r\n";
inline constexpr std::string_view kWaypointRequest = "$PDGFWMM*42\r\n";

inline constexpr std::string_view kProductTag = "$PDGFVID";
inline constexpr std::string_view kFlightListTag = "$PDGFFLL";
inline constexpr std::string_view kFlightTag = "$PDGFRMM";
inline constexpr std::string_view kWaypointTag = "$PDGFWMM";

inline constexpr std::string_view kAirModel = "DigiflyAir";
inline constexpr std::string_view kLeonardoModel = "LeonardoPro";  // unverified spelling

// Waypoint sets as the access parameter names them: 0 Leonardo Pro user, 1 Digifly Air user,
// 2 Leonardo Pro competition, 3 Digifly Air competition.
inline constexpr int kWaypointSets = 4;
// Characters of a waypoint name on the instrument (unverified).
inline constexpr std::size_t kNameWidth = 16;
// Most flights a list may announce (the access block keeps 255).
inline constexpr int kMaxFlights = 255;

// "$PDGFRMM,%d" with its checksum and CR LF: one flight of the list.
std::string FlightRequest(int index);

struct ProductData {
  std::string model;  // kAirModel or kLeonardoModel
  std::string serial;
  std::string software;
};
// "$PDGFVID,model,serial,software". The text of the fault, or nothing.
std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product);
// "%s, SN%s, SW%s".
std::string ProductText(const ProductData& product);

// "$PDGFxxx,count" with `tag` first: the count of the items that follow, or nothing.
std::optional<int> ParseCount(std::span<const std::string_view> fields, std::string_view tag);

// "$PDGFFLL,index,ddmmyy,hhmmss,seconds": one stored flight (start in UTC, duration).
std::optional<std::string> ParseFlightListEntry(std::span<const std::string_view> fields, int& index,
                                                TrackListEntry& entry);

// "$PDGFRMM,hhmmss,ddmmyy,latitude,longitude,gps altitude,pressure altitude": one fix.
std::optional<std::string> ParseFix(std::span<const std::string_view> fields, TrackPoint& point);

// "$PDGFWMM,set,latitude,longitude,altitude,name": one stored waypoint and its set.
std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, int& set, Waypoint& waypoint);
// The name as the instrument keeps it: "," "*" "$" and control characters made blanks, cut to
// 16 characters, trailing blanks dropped.
std::string UploadName(std::string_view name);
// "$PDGFWMM,%d,%d,%d,%d,%s*CS\r\n": set, latitude, longitude, altitude, name (from the
// waypoint's description, its identifier when that is empty); nothing when both are blank.
std::optional<std::string> WaypointSentence(const Waypoint& waypoint, int set);

}  // namespace logwell::digifly
