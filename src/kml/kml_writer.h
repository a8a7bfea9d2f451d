#pragma once
// The KML body writer: the `Folder` of one flight, with the flight statistics in its
// description, the contest claim and the seven results of the distance analysis as
// placemarks, and the track placemark whose `FsInfo` metadata keeps the exact times, the
// pressure altitudes and the signature. Callers wrap one or more bodies into a document (KmlDocument) and choose the file.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "optimise/contest_rules.h"
#include "optimise/distance_analysis.h"
#include "model/garmin_time.h"
#include "track/position_text.h"
#include "track/statistics.h"
#include "model/track_point.h"

namespace logwell::kml {

struct KmlTrackInfo {
  // The track. When any point has no valid time the writer renumbers every time (see
  // NormaliseMissingTimes), so the caller's array changes.
  std::span<TrackPoint> points;
  FlightStatistics statistics;
  DistanceAnalysis analysis;
  // The contest claim, written as the first placemark (named like "XContest: closed FAI
  // triangle 118.73 km, 189.96 points") ahead of the distance analysis; none leaves it out.
  std::optional<ContestClaim> claim;
  std::uint32_t loopGap = kDefaultLoopGap;  // metres, shown in the loop titles
  std::optional<GarminTime> downloaded;     // UTC
  bool withHash = false;                    // the track log came straight from an instrument
  bool withPilotIds = false;
  std::int32_t compPilotId = -1;  // negative: none
  std::int32_t civlPilotId = -1;  // negative: none
  bool timesAreUtc = false;
  bool withPressureAltitude = false;
};

inline constexpr int kKmlBodyOk = 0;
inline constexpr int kKmlBodyNoMemory = -1;
inline constexpr int kKmlBodyBadDescription = -2;

inline constexpr std::size_t kMaxInstrumentAttribute = 79;

// Appends the body to `out`. Returns 0, kKmlBodyNoMemory (out is then emptied) or
// kKmlBodyBadDescription when the description is not UTF-8 text. An instrument text of none
// writes "unknown"; an empty one writes no instrument attribute.
int WriteKmlBody(std::string& out, KmlTrackInfo& info,
                 std::optional<std::string_view> description,
                 std::optional<std::string_view> instrument);

// When any point has the time 0, 0x7FFFFFFF or 0xFFFFFFFF, every point gets 5 x its index
// seconds and milliseconds 0. Returns true when it renumbered (the times are then not UTC).
bool NormaliseMissingTimes(std::span<TrackPoint> points);

// The XML declaration and the document start, and the document end, around the bodies. The
// `kml` root element with the KML 2.2 namespace makes the files standard KML that GIS readers
// take; files written before it (a bare `Document` root) read the same, and the signature
// covers none of this.
inline constexpr std::string_view kKmlDocumentStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n<Document>\r\n<open>1</open>\r\n";
inline constexpr std::string_view kKmlDocumentEnd = "</Document>\r\n</kml>\r\n";
// The earlier form with the bare `Document` root, which the web logbook's upload form keeps:
// the service reads what it has always been sent.
inline constexpr std::string_view kKmlBareDocumentStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<open>1</open>\r\n";
inline constexpr std::string_view kKmlBareDocumentEnd = "</Document>\r\n";
inline constexpr std::string_view kKmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// The error text of a body result, for the callers' boxes.
std::string_view KmlBodyErrorText(int result);

}  // namespace logwell::kml
