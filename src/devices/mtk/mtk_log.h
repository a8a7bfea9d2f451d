#pragma once
// The log memory of MTK-based loggers (Pentagram, Holux and others): 64 KiB sectors, each with a
// 512-byte header block followed by data blocks. A data block is a fixed set of fields chosen by
// the field mask of the header (or of a later mask-change separator), closed by a checksum.
// docs/instruments.md lists every layout fact and where it comes from.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/track_point.h"

namespace logwell::mtk {

inline constexpr std::size_t kSectorSize = 0x10000;
inline constexpr std::size_t kHeaderSize = 0x200;

// How the data blocks are laid out.
enum class LogLayout {
  Mtk,         // doubles for latitude and longitude, 4-byte height, '*' before the checksum
  HoluxM241,   // floats for latitude and longitude, 3-byte height, no '*' ("HOLUXGR241LOGGER")
  HoluxGr245,  // as M-241, but the height and speed fields trade places and sizes
};

// One data block that carries a usable position.
struct LogFix {
  bool hasTime = false;
  std::int64_t unixSeconds = 0;
  std::uint16_t milliseconds = 0;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  bool hasHeight = false;
  double height = 0.0;     // metres
  bool segmentStart = false;
};

enum class LogStatus { Ok, BadHeader, NoPoints };

struct LogParse {
  LogStatus status = LogStatus::Ok;
  LogLayout layout = LogLayout::Mtk;
  std::vector<LogFix> fixes;
  std::size_t records = 0;        // data blocks read, good or not
  std::size_t badRecords = 0;     // checksum or field errors: dropped, never a fix
  std::size_t invalidFixes = 0;   // blocks the receiver marked as without a valid fix: dropped
  std::size_t badOffset = 0;      // offset of the first bad header or data block
};

// Reads a log memory image (the bytes from offset 0, 0xFF where nothing was written).
LogParse ParseLog(std::span<const std::uint8_t> memory);

// The fixes as track points (time in the stored time base, UTC; altitude in decimetres).
std::vector<TrackPoint> ToTrackPoints(const std::vector<LogFix>& fixes);

}  // namespace logwell::mtk
