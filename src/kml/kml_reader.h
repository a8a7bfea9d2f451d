#pragma once
// The KML track reader: finds the track placemarks this program writes (a `Folder` whose
// `Placemark` holds `Metadata` of type "track" with `FsInfo`, the time offsets, optionally the
// pressure altitudes, and a `LineString`), lets the user pick one when there are several, reads
// its positions and checks its signature.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "model/track_source.h"

namespace logwell {
class Ui;
}

namespace logwell::kml {

inline constexpr std::string_view kKmlReadCaption = "Parsing track log file";

// What a confirmed signature proves, and what it does not: the digest covers the track's first
// time, instrument and download time, time offsets, pressure altitudes and coordinates, never
// the statistics text, the distance placemarks or anything else in the file.
inline constexpr std::string_view kKmlSignatureConfirmed =
    "Signature OK: the track's times, positions and pressure altitudes are unchanged since "
    "Logwell wrote them (the statistics text and the distance placemarks are not covered)";
inline constexpr std::string_view kKmlSignatureNotConfirmed =
    "Signature NOT confirmed: the file carries no signature, or the track's times, positions "
    "or pressure altitudes were changed after Logwell wrote them";
inline constexpr std::size_t kMaxKmlTracks = 50;

struct KmlReadResult {
  std::vector<TrackPoint> points;
  SignState signState = SignState::NotSignable;  // FileSignatureOk when the hash checked out
  int timeIsUtc = 0;
  int altitudeFlag = 0;
};

// Reads the track of a KML text. Failures are shown with caption "Parsing track log file"
// (the cancelled track choice shows nothing) and give nothing. `quiet` (batch conversions)
// shows nothing and takes the first track; `error` receives the failure's text either way.
std::optional<KmlReadResult> ReadKmlTrack(std::string_view text, Ui& ui, bool quiet = false,
                                          std::string* error = nullptr);

// Every track of a KML text in file order (none is no failure here); nothing after one message.
std::optional<std::vector<KmlReadResult>> ReadKmlTracks(std::string_view text, Ui& ui);

}  // namespace logwell::kml
