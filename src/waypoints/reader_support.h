#pragma once
// Pieces the waypoint readers share: the identifier fix through the "Modify waypoint ID"
// question, the "Bad line %d" message, coordinate helpers and the XML readers' structure rules.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/xml_walker.h"
#include "geo/units.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {

inline constexpr std::string_view kDecodingWaypointFile = "Decoding waypoint file";

// Asks, when allowed, whether a bad identifier is to be fixed, and remembers "Yes to All".
class IdentifierFixer {
 public:
  enum class Outcome { Accept, Skip, Bad };

  explicit IdentifierFixer(WaypointReadContext& context) : context_(context) {}

  // Sanitises raw; lineText is shown in the question. On Accept, id holds the identifier.
  Outcome Check(std::string_view raw, std::string_view lineText, std::string& id);

 private:
  WaypointReadContext& context_;
  bool fixAll_ = false;
};

// Shows "Bad line %d" and returns -1.
int ReportBadLine(Ui& ui, int lineNumber, std::string_view caption);

// An absolute coordinate split for printing: hemisphere letter and the rounded count of
// hundredths of a second or thousandths of a minute.
struct SplitCoordinate {
  char hemisphere = 'N';
  std::int64_t units = 0;
};
SplitCoordinate SplitCentiSeconds(std::int32_t semicircles, char positive, char negative);
SplitCoordinate SplitMilliMinutes(std::int32_t semicircles, char positive, char negative);

// How the XML waypoint readers walk a file: element text may hold markup (mixed content), and
// messages name end tags with their "/".
inline constexpr XmlStructureRules kWaypointXmlRules{.mixedContent = true, .endTagsWithSlash = true};

// Grows a vector the way the readers' arrays grow: a first capacity, then doubling.
template <typename T>
void ReserveForOneMore(std::vector<T>& items, std::size_t firstCapacity) {
  if (items.size() == items.capacity()) {
    items.reserve(items.capacity() == 0 ? firstCapacity : items.capacity() * 2);
  }
}

// What a line reader made of one line: a waypoint, a line the user chose to skip, or a bad line.
enum class LineResult { Waypoint, Skip, Bad };

// The reading loop of the formats with one waypoint a line (GEO, UTM, OziExplorer): the lines
// before firstLine are the header and empty lines are passed over. parseLine(text, waypoint)
// fills a waypoint that starts with the time context.now; a bad line shows "Bad line %d" and
// fails the whole read, leaving `waypoints` as it was.
template <typename ParseLine>
int ReadWaypointLines(std::string_view text, std::size_t firstLine, WaypointReadContext& context,
                      std::vector<Waypoint>& waypoints, ParseLine parseLine) {
  std::vector<Waypoint> read;
  const std::vector<TextLine> lines = SplitLines(text);
  for (std::size_t i = firstLine; i < lines.size(); ++i) {
    if (lines[i].text.empty()) continue;
    Waypoint waypoint;
    waypoint.time = context.now;
    const LineResult result = parseLine(lines[i].text, waypoint);
    if (result == LineResult::Bad) {
      return ReportBadLine(context.ui, lines[i].number, kDecodingWaypointFile);
    }
    if (result == LineResult::Skip) continue;
    ReserveForOneMore(read, 20);
    read.push_back(waypoint);
  }
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

}  // namespace logwell

namespace logwell {

// The rest of a GEO or UTM line: a final "[A]" (either case) marks an airfield and is cut; the
// description sanitiser does the rest.
void SetDescriptionAndAirfieldMark(Waypoint& waypoint, std::string_view rest);

// The altitude of GEO lines and similar: negative gives 0, others are rounded half up.
std::int32_t NonNegativeAltitude(double metres);

// Parses a UTM zone with its band letter ("32U", "32 U", lower case accepted) at the start of
// text; returns the characters used. Zone 1..60, band 'B'..'X' without 'I' and 'O'.
struct ZoneAndBand {
  std::int32_t zone = 0;
  char band = 'N';
  std::size_t length = 0;
};
std::optional<ZoneAndBand> ScanUtmZone(std::string_view text);

// A waypoint position from UTM easting and northing, after their range checks (easting
// 0..1000000, northing 0..20000000). Nothing when out of range.
std::optional<SemicirclePoint> UtmToSemicircles(const ZoneAndBand& zone, double easting,
                                                double northing);

}  // namespace logwell
