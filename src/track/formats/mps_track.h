#pragma once
// MapSource record files (.mps): "MsRcd" and a NUL, then records of a 32-bit little-endian
// length, a type byte and a payload. A track is a 'T' record of 31-byte points; 'V' ends the
// file.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

inline constexpr std::string_view kDecodingMapSourceCaption = "Decoding MapSource file";
inline constexpr std::uint32_t kMpsPointBytes = 31;

// The 45-byte file header ("MsRcd", the 'D' version record and the 'A' application record),
// shared with the waypoint files.
std::string MpsHeader();
// The end record.
std::string MpsEndRecord();

// The whole file of one track record holding every point.
std::string WriteMpsTrack(std::span<const TrackPoint> points);

// Reads every track record of a whole .mps file into one log, each record opening a segment.
// On failure shows "File format error at %08xh" (caption "Decoding MapSource file") and gives
// nothing.
std::optional<FileReadResult> ReadMpsTrack(std::string_view bytes, Ui& ui);

}  // namespace logwell
