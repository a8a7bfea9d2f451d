#pragma once
// The records that travel with a track log: instrument track lists, task declarations and the
// raw IGC text of instruments that sign their own logs.
#include <cstdint>
#include <string>
#include <vector>

#include "model/garmin_time.h"
#include "model/waypoint.h"

namespace logwell {

// One track stored in an instrument, as listed before a download.
struct TrackListEntry {
  GarminTime startTime = 0;       // 0: empty slot
  std::uint32_t durationSeconds = 0;
};

// A declared task, printed as the C records of an IGC file.
struct TaskDeclaration {
  static constexpr std::size_t kMaxTextLength = 80;
  GarminTime declarationTime = 0;
  GarminTime flightDate = 0;
  std::int32_t taskNumber = 0;    // printed with 4 digits
  std::string text;               // at most kMaxTextLength
  std::vector<Waypoint> points;   // takeoff first, landing last
};

// What the H records of an IGC flight name about the pilot and the glider; empty where the file
// names nothing (or says "NKN"/"NIL"). Forms that ask for these offer them.
struct FlightHeaders {
  std::string pilot;             // HxPLT
  std::string gliderType;        // HxGTY
  std::string gliderId;          // HxGID, the registration
  std::string competitionId;     // HxCID
  std::string competitionClass;  // HxCCL
  bool operator==(const FlightHeaders&) const = default;
};

// IGC text exactly as an instrument delivered it or as a file was read.
struct RawIgcLog {
  std::string text;
  GarminTime firstFixTime = 0;
  int logCount = 0;
  std::string loggerSerial = "000";  // 3 characters
  std::string manufacturer;          // 3 characters
};

}  // namespace logwell
