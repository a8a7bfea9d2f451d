#pragma once
// One airspace ("CTR" in the program's menus: any controlled or restricted airspace) and its
// boundary. The list of airspaces is a std::vector of records, each owning its segments.
//
// Texts keep the widths that the instruments and the OpenAir files rely on; the setters cut
// longer texts, so the limits always hold.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace logwell {

// A position in degrees, north and east positive, as OpenAir files write it.
struct DegreePosition {
  double latitude = 0.0;
  double longitude = 0.0;
  bool operator==(const DegreePosition&) const = default;
};

enum class SegmentKind : std::uint32_t {
  Point = 0,        // DP
  ArcByPoints = 1,  // DB: from `from` to `to` around `position`
  ArcByAngles = 2,  // DA: `radius` from `startAngle` to `endAngle` around `position`
  Circle = 3,       // DC: `radius` around `position`
};

struct AirspaceSegment {
  SegmentKind kind = SegmentKind::Point;
  DegreePosition position;  // the point itself, or the centre of an arc or circle
  DegreePosition from;      // ArcByPoints only
  DegreePosition to;        // ArcByPoints only
  char direction = '+';     // arcs: '+' clockwise, '-' counter-clockwise
  std::uint32_t radius = 0; // metres; ArcByAngles and Circle
  double startAngle = 0.0;  // ArcByAngles: bearings in degrees from north, clockwise
  double endAngle = 0.0;
  bool operator==(const AirspaceSegment&) const = default;
};

// The class codes, in the order of their texts: "A" is 0, ..., "GP" is 11, anything else 12.
inline constexpr int kAirspaceClassCount = 13;
inline constexpr int kOtherAirspaceClass = 12;
int AirspaceClassCode(std::string_view classText);
// The short class name of a code ("A" ... "GP", and "?" for any other class).
std::string_view AirspaceClassName(int classCode);

inline constexpr int kDefaultWarningDistance = 200;  // metres
inline constexpr double kUnlimitedCeiling = 100000.0;  // metres, for UNL and other words

struct AirspaceRecord {
  static constexpr std::size_t kMaxNameLength = 50;
  static constexpr std::size_t kMaxHeightTextLength = 49;
  static constexpr std::size_t kMaxClassTextLength = 10;

  std::string name;         // AN, at most kMaxNameLength bytes
  std::string ceilingText;  // AH as stored (see ReadHeightText), at most kMaxHeightTextLength
  std::string floorText;    // AL as stored, at most kMaxHeightTextLength
  std::string classText;    // AC, at most kMaxClassTextLength
  int classCode = kOtherAirspaceClass;
  int firstLine = 0;        // line at which the record began in its text
  int selected = 0;         // 1 while its row is selected in the CTR view
  int warningDistance = kDefaultWarningDistance;  // metres
  double floor = 0.0;       // metres, from floorText
  double ceiling = 0.0;     // metres, from ceilingText
  std::vector<AirspaceSegment> segments;

  void SetName(std::string_view text);
  void SetClass(std::string_view text);

  bool operator==(const AirspaceRecord&) const = default;
};

using AirspaceList = std::vector<AirspaceRecord>;

// A height text read: the height in metres and the text to store, whose unit is rewritten
// ("3500ft" is stored as "3500 ft", "1500M" as "1500 m").
struct HeightReading {
  double metres = 0.0;
  std::string storedText;
};
enum class HeightKind { Floor, Ceiling };

// Reads an AH or AL text: "FL95", a number with an optional unit (m for metres; ft, MSL, AGL and
// anything else for feet), or a word such as UNL, GND or SFC (a ceiling of kUnlimitedCeiling, a
// floor of 0). Nothing when the text is malformed (a unit that runs into other characters, an
// "F" that does not start "FL", "FL" without a number).
std::optional<HeightReading> ReadHeightText(std::string_view text, HeightKind kind);


}  // namespace logwell
