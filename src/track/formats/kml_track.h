#pragma once
// KML written by other programs (map viewers, phone trackers, varios, GPS converters): the
// tracks of its placemarks, read the way a map viewer shows them. A `gx:Track` gives timed
// positions (the tracks of one `gx:MultiTrack` become the segments of one track); a `LineString`
// (or several in a `MultiGeometry`) gives positions without times, which are timed evenly
// between the placemark's `TimeSpan` begin and end when it has one and are left out otherwise.
// Whatever is left out or assumed is said in a note. Point placemarks are waypoints and are
// not read here.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"

namespace logwell {

inline constexpr std::size_t kMaxOtherKmlTracks = 100;
// Elements open inside one another, the <kml> root counted. Map viewers' own files nest folders
// a few levels deep; a file nested deeper is refused before it can use up memory and time.
inline constexpr std::size_t kMaxOtherKmlNesting = 100;
// The largest text read, as for every file the program reads whole.
inline constexpr std::size_t kMaxOtherKmlBytes = 512u * 1024u * 1024u;

struct OtherKmlTrack {
  std::string name;  // the placemark's name, may be empty
  std::vector<TrackPoint> points;
};

struct OtherKmlRead {
  std::vector<OtherKmlTrack> tracks;
  std::vector<std::string> notes;  // one line each: what was left out or assumed
  std::size_t pointPlacemarks = 0;  // placemarks holding a Point (read elsewhere as waypoints)
};

// Reads every track of a KML text. Nothing, with the reason in `error`, when the text is not
// well-formed XML, has no <kml> root element, holds more than kMaxOtherKmlTracks tracks, nests
// elements more than kMaxOtherKmlNesting deep or is longer than kMaxOtherKmlBytes.
std::optional<OtherKmlRead> ReadOtherKmlTracks(std::string_view text, std::string& error);

}  // namespace logwell
