#pragma once
// Filters that take spikes out of a recorded track: points whose time runs backwards, jumps in
// altitude (the vario filter), jumps in position (the speed analysis), and splitting a log that
// holds several flights at its time gaps, with the user keeping the pieces they want.
//
// Every filter works in place on the point array and keeps the order of the points it keeps.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The filter settings, kept with the other settings of the program.
struct FilterSettings {
  bool useDuringDownload = false;
  bool speedAnalysis = true;
  bool timestampFilter = false;
  std::uint32_t varioLimit = 0;     // m/s; 0 switches the vario filter off
  std::uint32_t gapSeconds = 1200;  // a longer pause starts a new piece when splitting
};

// Bit 0 of segmentStart opens a track segment; bit 31 is the speed analysis' working mark and
// is clear whenever a filter returns.
inline constexpr std::uint32_t kSegmentStartBit = 1u;
inline constexpr std::uint32_t kKeepMarkBit = 0x80000000u;

// The speed analysis needs this many points before it changes anything.
inline constexpr std::size_t kSpeedAnalysisMinPoints = 20;

// Keeps the points that can be reached from a reliable stretch of the track without moving
// faster than the flight's own speed limit. Returns the number kept; 0 means that no reliable
// stretch was found, and then the points are left as they were.
std::size_t SpeedAnalysis(std::vector<TrackPoint>& points);

// Drops every point whose climb or sink rate from the last kept point reaches `limitMs`, and
// every point at the same second as the last kept one. Returns the number dropped; a limit of
// 0 or fewer than two points changes nothing.
std::size_t VarioFilter(std::vector<TrackPoint>& points, std::uint32_t limitMs);

struct TimestampCheck {
  std::size_t backwardsCount = 0;  // points whose time lies before an earlier point's time
  std::size_t firstIndex = 0;      // the first of them (meaningful when the count is above 0)
};
TimestampCheck CheckTimestamps(const std::vector<TrackPoint>& points);

// Keeps the first point and every later point whose time is not before the last kept one.
// Returns the new count.
std::size_t TimestampFilter(std::vector<TrackPoint>& points);

// Splitting at gaps.
inline constexpr std::size_t kMaxSplitPieces = 100;
struct SplitPiece {
  std::size_t first = 0;
  std::size_t last = 0;
};
// The pieces of a log: a new piece starts where the time jumps forward by more than
// `gapSeconds` or where a point opens a segment. At most kMaxSplitPieces; the last runs to the
// end of the log.
std::vector<SplitPiece> FindSplitPieces(const std::vector<TrackPoint>& points,
                                        std::uint32_t gapSeconds);

struct SplitContext {
  std::string portName;
  std::string instrumentName;  // may be empty
  bool noSplit = false;        // the command line switched splitting off for this run
};
// Lets the user pick the pieces to keep (newest first, the newest preselected) and keeps them
// in their order. Returns the new count, or 0 when the user cancelled (the points are then
// left as they were).
std::size_t SplitAtGaps(std::vector<TrackPoint>& points, std::uint32_t gapSeconds,
                        const SplitContext& context, Ui& ui);
// One line of the split chooser, and its caption.
std::string SplitPieceLine(const std::vector<TrackPoint>& points, const SplitPiece& piece);
std::string SplitCaption(const SplitContext& context);

// The filters a download passes when "Use filter(s) during download" is on: the timestamp
// filter (when on and some time runs backwards), the vario filter (when a limit is set) and the
// speed analysis (when on). The user hears how many points went. An empty function when the
// filters are not used during download.
DownloadFilter MakeDownloadFilter(const FilterSettings& settings, Ui& ui);
// The same filters as one call, for callers that run them directly. Returns the number removed.
std::size_t RunDownloadFilters(std::vector<TrackPoint>& points, const FilterSettings& settings,
                               Ui& ui);

// The statistics dialog's preparation of the selected positions: vario filter, then the speed
// analysis when it is on, with the dialog's messages. Nothing when the dialog is not to be
// shown.
std::optional<std::vector<TrackPoint>> PrepareStatisticsPositions(
    std::vector<TrackPoint> positions, const FilterSettings& settings, Ui& ui);

// The competition save's filtering: vario filter, then the speed analysis when on. False when
// the speed analysis found no reliable stretch (the points are then left unfiltered by it).
bool FilterForCompetitionSave(std::vector<TrackPoint>& points, const FilterSettings& settings,
                              Ui& ui);

// The settings dialogs. The vario dialog shows the limit with "%d"; an empty field switches the
// filter off; anything but a whole number shows "Bad input" and keeps the dialog open (false).
std::string VarioDialogText(const FilterSettings& settings);
bool ApplyVarioDialogInput(std::string_view text, FilterSettings& settings, Ui& ui);
// The gap dialog works in whole minutes; an empty or unreadable field keeps it open silently.
std::string GapDialogText(const FilterSettings& settings);
bool ApplyGapDialogInput(std::string_view text, FilterSettings& settings);

}  // namespace logwell
