#pragma once
// Waypoint transfers of the Top Navigator and XC Trainer (protocol types 2 and 7). Nothing
// public describes them: the layout below is this project's own, UNVERIFIED, written in the
// style of the instruments' track-log lines (track/formats/tnc_log.h) so that our host and our
// virtual instrument agree; a real instrument may well speak otherwise. Lines that do not
// match are refused, never guessed at.
//
//   @wpPPPP**CC                                     start record: number of waypoint lines
//   iiiillllllooooooaaaaIIIIIIdddddddddddddddd CC   index, latitude, longitude (1/24000 degree),
//                                                   altitude (metres), identifier (6) and
//                                                   description (16), blank-padded
//
// Numbers are hexadecimal (two's complement for the signed ones), CC the XOR of the characters
// before it, every line ends with CR LF.
#include <optional>
#include <string>
#include <string_view>

#include "model/waypoint.h"

namespace logwell::topnav {

inline constexpr std::size_t kWaypointStartLength = 11;
inline constexpr std::size_t kWaypointLineLength = 44;
inline constexpr std::size_t kWaypointIdWidth = 6;
inline constexpr std::size_t kWaypointDescriptionWidth = 16;

// The number of waypoints a start record announces; none when the line is not one.
std::optional<int> ParseWaypointStart(std::string_view line);
std::string FormatWaypointStart(int count);

// Why a waypoint line was refused: "E205 Bad checksum", or "Unsupported record …"; none when
// `waypoint` was filled (identifier and description without their padding).
std::optional<std::string> ParseWaypointLine(std::string_view line, int expectedIndex, Waypoint& waypoint);
// The line for `waypoint` with CR LF: characters outside printable ASCII become blanks, texts
// are cut to their widths.
std::string FormatWaypointLine(const Waypoint& waypoint, int index);

}  // namespace logwell::topnav
