#pragma once
// The Graviter line protocol and its binary track log, as both ends speak them: the host
// (devices/graviter) and the virtual instrument (sim/graviter).
//
// Nothing public describes this protocol. Everything below except the line settings (38400 baud,
// 8N1, no flow control), the identity text "GRAVITER" and the fact that the log arrives as one
// binary block is this project's own model of it and unverified (docs/instruments.md, Graviter):
//
//   identify      host 'I'              unit "GRAVITER,<software>,<serial>\r\n"
//   read log      host 'D'              unit 'D' (acknowledge), length (u32 LE), the log bytes,
//                                       their sum modulo 65536 (u16 LE)
//   owner name    host 'N'              unit 'N' (acknowledge); host 16 name bytes, space padded;
//                                       unit 0x06 once the name is stored
//
// The log is a run of records; 0xFF (erased memory) ends it:
//   0xA1 track start, 8 bytes: tag, year - 2000, month, day, hour, minute, second, 0 (UTC)
//   0xA2 fix, 16 bytes: tag, hour, minute, second, latitude and longitude (i32 LE, thousandths
//        of a minute, north and east positive), GPS altitude (i16 LE, m), pressure altitude
//        (i16 LE, m)
// A fix whose time of day is earlier than the one before it belongs to the next day.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"

namespace logwell::graviter {

inline constexpr int kBaudRate = 38400;
inline constexpr std::uint8_t kIdentifyCommand = 'I';
inline constexpr std::uint8_t kReadLogCommand = 'D';
inline constexpr std::uint8_t kOwnerNameCommand = 'N';
inline constexpr std::uint8_t kOwnerNameStored = 0x06;
inline constexpr std::size_t kOwnerNameLength = 16;
inline constexpr std::string_view kIdentity = "GRAVITER";
// The largest log the host takes (the unit's memory is not known; 4 MiB is far above any flight).
inline constexpr std::uint32_t kMaxLogBytes = 4u * 1024u * 1024u;
inline constexpr std::size_t kMaxIdentityLine = 80;

inline constexpr std::uint8_t kTrackStartTag = 0xA1;
inline constexpr std::uint8_t kFixTag = 0xA2;
inline constexpr std::uint8_t kEndTag = 0xFF;
inline constexpr std::size_t kTrackStartSize = 8;
inline constexpr std::size_t kFixSize = 16;

struct Identity {
  std::string software;
  std::string serial;
};
// The identify answer without its CR LF; nothing unless it is "GRAVITER,<software>,<serial>".
std::optional<Identity> ParseIdentity(std::string_view line);
std::string IdentityLine(const Identity& identity);  // with CR LF
std::string ProductText(const Identity& identity);   // "GRAVITER, SW …, S/N …"

// The owner name as sent: printable ASCII only, cut to 16 bytes and padded with spaces.
// Nothing when the name is empty or holds another character.
std::optional<std::string> OwnerNameBytes(std::string_view name);

std::uint16_t LogChecksum(std::span<const std::uint8_t> bytes);

struct LogDecode {
  std::vector<TrackPoint> points;
  std::size_t tracks = 0;
  std::string error;  // empty when the whole log was understood
  bool Ok() const { return error.empty(); }
};
// Every fix of every track; the first fix of each track opens a segment. Refuses the whole log
// at the first record it does not understand.
LogDecode DecodeLog(std::span<const std::uint8_t> log);

// The log of the points (a new track where a point opens a segment), for the virtual unit.
// Times and positions are rounded to what a record holds.
std::vector<std::uint8_t> EncodeLog(std::span<const TrackPoint> points);

}  // namespace logwell::graviter
