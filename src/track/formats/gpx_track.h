#pragma once
// GPX 1.1 track files: the writer puts every point into one segment of one track; the reader
// collects each <trkseg> of each <trk> as a candidate track and lets the user choose one.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

inline constexpr std::string_view kParsingTrackLogCaption = "Parsing track log file";
inline constexpr std::string_view kSaveGpxCaption = "Save GPX track log file";
inline constexpr std::size_t kMaxGpxSegments = 100;

// The link of the metadata. The address is a placeholder until the project's home page exists.
inline constexpr std::string_view kHomePageUrl = "https://logwell.example.org/";
inline constexpr std::string_view kHomePageText = "Logwell home page";

std::string WriteGpxTrack(std::span<const TrackPoint> points, const CalendarTime& nowUtc);
// Several tracks, one <trk> each; `elementsBeforeTracks` (whole <wpt> elements) goes between the
// metadata and the first track.
std::string WriteGpxTracks(std::span<const std::vector<TrackPoint>> tracks,
                           const CalendarTime& nowUtc, std::string_view elementsBeforeTracks = {});

// Reads a whole GPX text. With several segments the "Select track" chooser of the Ui picks one.
// On failure shows one message (caption "Parsing track log file") and gives nothing; a
// cancelled chooser gives nothing without a message.
std::optional<FileReadResult> ReadGpxTrack(std::string_view text, Ui& ui);
// Every <trk> of a GPX text with its segments joined (segmentStart marks where each begins), in
// file order; "No tracks found" is not raised here, an empty list is the caller's to judge.
std::optional<std::vector<std::vector<TrackPoint>>> ReadGpxTracks(std::string_view text, Ui& ui);

}  // namespace logwell
