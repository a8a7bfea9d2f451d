#pragma once
// The line parser of instruments that deliver their flights as IGC text over the serial line
// (Flytec/Brauniger, DSX, IQ Basic/Flytec 6015). The protocol module collects one line at a
// time and hands it over; the parser keeps its state between lines and appends positions.
// It is more forgiving than the file decoder: it reads only what it needs and reports a
// numbered fault that the module shows as "E206 Format error %".
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"

namespace logwell::igc {

// The families differ only in how strictly they read the HFDTE date.
enum class IgcDeviceVariant { FlytecBrauniger, Dsx, IqBasic };

// Error codes, returned negated.
enum IgcDeviceError : int {
  kDateYear = 1, kDateMonth = 2, kDateMonthRange = 3, kDateDay = 4, kDateDayRange = 5,
  kPointMemory = 6, kAltitude = 7, kLonThousandths = 8, kLonMinutes = 9, kLonDegrees = 10,
  kLonDegreesRange = 11, kEastWest = 12, kLatThousandths = 13, kLatMinutes = 14,
  kLatDegrees = 15, kLatDegreesRange = 16, kNorthSouth = 17, kSeconds = 18,
  kSecondsRange = 19, kMinutes = 20, kMinutesRange = 21, kHours = 22, kHoursRange = 23,
  kShortBRecord = 24, kNoDate = 25, kShortARecord = 28, kARecordCharacter = 29,
};

class IgcDeviceLineParser {
 public:
  // The line buffer of the modules holds this many characters; longer lines are cut.
  static constexpr std::size_t kMaxLineLength = 81;

  explicit IgcDeviceLineParser(IgcDeviceVariant variant) : variant_(variant) {}

  // One complete line as received, its carriage return included (the line feed is not).
  // Returns 0 when the line was accepted or ignored, else a negated IgcDeviceError.
  int ParseLine(std::string_view line);

  // Told of each accepted position (the live position display); may be empty.
  std::function<void(const TrackPoint&)> onPosition;

  const std::vector<TrackPoint>& Points() const { return points_; }
  std::vector<TrackPoint> TakePoints() { return std::move(points_); }
  const std::string& Manufacturer() const { return manufacturer_; }
  const std::string& LoggerSerial() const { return serial_; }
  int GRecordCount() const { return gRecordCount_; }
  GarminTime FirstFixTime() const { return firstFixTime_; }
  std::chrono::steady_clock::time_point FirstFixTick() const { return firstFixTick_; }

 private:
  int ARecord(std::string_view line);
  int HRecord(std::string_view line);
  int BRecord(std::string_view line);

  IgcDeviceVariant variant_;
  std::string manufacturer_;
  std::string serial_;
  GarminTime dateBase_ = 0;  // 0: no HFDTE date yet
  std::uint32_t dayOffset_ = 0;
  std::uint32_t previousTimeOfDay_ = 0;
  int gRecordCount_ = 0;
  GarminTime firstFixTime_ = 0;
  std::chrono::steady_clock::time_point firstFixTick_{};
  std::vector<TrackPoint> points_;
};

}  // namespace logwell::igc
