#pragma once
// One recorded position of a track log.
#include <cstdint>

#include "model/garmin_time.h"

namespace logwell {

// The recorder marked the fix invalid (an IGC B record with validity "V"). The fix is kept and
// written back as it came; the statistics leave its altitude out.
inline constexpr std::uint16_t kFixMarkedInvalid = 1;

struct TrackPoint {
  std::uint32_t segmentStart = 0;     // bit 0: this point opens a new track segment
  GarminTime time = 0;                // 0: the point has no valid time
  std::uint16_t milliseconds = 0;     // 0..999
  std::uint16_t quality = 0;          // kFixMarkedInvalid, or 0
  std::int32_t latitude = 0;          // semicircles, north positive
  std::int32_t longitude = 0;         // semicircles, east positive
  std::int32_t gpsAltitude = 0;       // decimetres
  std::int32_t pressureAltitude = 0;  // whole metres, 0 where the source has none
  float depth = 0.0f;                 // metres; Garmin depth, written as ENL by the IGC writer
  bool operator==(const TrackPoint&) const = default;
  bool MarkedInvalid() const { return (quality & kFixMarkedInvalid) != 0; }
};

// Stores a time as an instrument sent it: the instruments' "no time" markers become time 0
// with milliseconds 0, so that every later step sees one way of saying "no valid time".
inline void StoreInstrumentTime(TrackPoint& point, std::uint32_t seconds,
                                std::uint16_t milliseconds = 0) {
  if (IsInvalidGarminTime(seconds)) {
    point.time = 0;
    point.milliseconds = 0;
  } else {
    point.time = seconds;
    point.milliseconds = milliseconds;
  }
}

}  // namespace logwell
