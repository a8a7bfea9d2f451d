#pragma once
// OziExplorer track files (.plt): six header lines, then one comma-separated line per point
// with latitude, longitude, a segment flag, altitude in feet and the date as a day number
// counted from 1899-12-30.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The day number of the time base (1989-12-31) in the file's count from 1899-12-30.
inline constexpr int kPltDayOfTimeBase = 32873;

// Reads a whole .plt text. On failure shows one message (caption "Decoding track log file")
// and gives nothing.
std::optional<FileReadResult> ReadPltTrack(std::string_view text, Ui& ui);

// The whole .plt text of the points; `nowUtc` is written into the track line of the header.
std::string WritePltTrack(std::span<const TrackPoint> points, const CalendarTime& nowUtc);

}  // namespace logwell
