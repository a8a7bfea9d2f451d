#pragma once
// One recorded position of a track log.
#include <cstdint>

#include "model/garmin_time.h"

namespace logwell {

struct TrackPoint {
  std::uint32_t segmentStart = 0;     // bit 0: this point opens a new track segment
  GarminTime time = 0;                // 0: the point has no valid time
  std::uint16_t milliseconds = 0;     // 0..999
  std::uint16_t reserved = 0;
  std::int32_t latitude = 0;          // semicircles, north positive
  std::int32_t longitude = 0;         // semicircles, east positive
  std::int32_t gpsAltitude = 0;       // decimetres
  std::int32_t pressureAltitude = 0;  // whole metres, 0 where the source has none
  float depth = 0.0f;                 // metres; Garmin depth, written as ENL by the IGC writer
  bool operator==(const TrackPoint&) const = default;
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

// Which instrument family produced a track log; 0 for files, conversions and edited logs.
enum class TrackSourceKind : std::uint32_t {
  None = 0, Garmin = 1, Mlr = 2, TopNavigator = 3, LogIt = 4, Flytec = 5, Graviter = 6,
  Magellan = 7, Flymaster = 8, Dsx = 9, Mtk = 10, IqBasic = 11, Digifly = 12, Syride = 13,
};

// Whether the IGC writer may sign a log.
enum class SignState : std::uint32_t {
  NotSignable = 0,      // may not carry a G record
  Downloaded = 1,       // came straight from an instrument download
  FileSignatureOk = 2,  // read from a file whose own signature checked out
  ValidatedOnline = 3,  // read from an IGC file that the online validation accepted
};

}  // namespace logwell
