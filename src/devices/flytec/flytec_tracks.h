#pragma once
// The track list ($PBRTL) and the track download: each track arrives as the instrument's own
// IGC text, which is parsed record by record into positions and kept as raw text for saving.
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "access/access_block.h"
#include "track/igc/igc_device_parser.h"
#include "devices/flytec/flytec_protocol.h"

namespace logwell::flytec {

inline constexpr std::uint32_t kMaxMergeGapSeconds = 3600;

// A calendar date as the track list gives it: the 29th of February only in years divisible by
// four (two-digit year), no 31st in short months.
bool ValidListDate(int day, int month, int twoDigitYear);

// One $PBRTL sentence split into its fields. Returns the error text of the first field that
// does not parse, or nothing; `index` and `entry` are filled on success.
std::optional<std::string_view> ParseTrackListFields(std::span<const std::string_view> fields,
                                                     int& index, TrackListEntry& entry);

// Requests the list and fills block.trackList. 0, or -1 after the failure was shown.
int ReadTrackList(AccessBlock& block);

// The tracks to download: the command line's indices where it names any (only those below
// 255 with a listed track count), else the Track List dialog. False when nothing was chosen.
bool SelectTracks(AccessBlock& block, const FamilyEnvironment& context);

// Joins `next` to the accumulated points in time order. Nothing on success, else the error
// text ("Overlapping track start/stop times" or the time-gap message).
std::optional<std::string> MergeTrack(std::vector<TrackPoint>& accumulated,
                                      std::vector<TrackPoint>&& next);

// Collects the lines of one track's IGC text: at the start of a line LF counts and CR is
// skipped; any other first character must be 'A' to 'Z'; a line of more than 81 characters
// is refused. Feed returns 1 for more bytes, 0 when a line (CR included) is complete, -1 for
// a bad record type (its byte in BadByte()), -2 for a too long line.
class IgcLineBuilder {
 public:
  static constexpr std::size_t kMaxLine = 81;
  int Feed(std::uint8_t byte);
  const std::string& Line() const { return line_; }
  std::uint8_t BadByte() const { return badByte_; }
  // The message of a fault Feed returned: "E205 Bad record type (%02X)" or "E207 Too long sentence".
  std::string FaultText(int state) const;

 private:
  std::string line_;
  bool inLine_ = false;
  std::uint8_t badByte_ = 0;
};

// One track as the instrument sent it.
struct DownloadedTrack {
  std::vector<TrackPoint> points;
  bool signedTrack = false;
  std::string manufacturer;
  std::string serial;
  GarminTime firstFix = 0;
};

// How a track is asked for and reported: the type-4 download, or the reading of all tracks
// (its own caption, a longer silence and its own progress texts).
struct TrackDownloadStyle {
  std::string_view caption = "Read GPS track log";
  std::chrono::milliseconds silence{2000};
  bool allTracks = false;
};

// Downloads one track (the track `index` of the list, or the whole memory when no list is in
// use): the request is sent, then IGC lines are read until the instrument has been silent for
// the style's time. The received bytes are appended to `raw` where given. Returns 0 or -1
// after the failure was shown.
int DownloadOneTrack(AccessBlock& block, const FamilyEnvironment& context, bool trackListInUse,
                     int index, std::string* raw, DownloadedTrack& outcome,
                     const TrackDownloadStyle& style = {});

// Reads one flight that an instrument sends as its own signed IGC text after its request: lines
// through the device line parser of `variant` up to the G record and the G lines that follow at
// once; the bytes are appended to `raw` where given. A text that breaks off before its G
// record is refused ("Track log incomplete (no G record)"), as is one without points or A
// record. Returns 0 with `flight` filled, or -1 after the failure was shown under `caption`.
int ReadSignedIgcFlight(AccessBlock& block, const FamilyEnvironment& context, igc::IgcDeviceVariant variant,
                        std::string* raw, DownloadedTrack& flight, std::string_view caption = "Read GPS track log");

// The raw IGC log of a download: the first track's text, and the A record and first fix of the
// first track.
RawIgcLog RawLogOf(std::string text, const DownloadedTrack& first, int trackCount);

// Downloads every selected track (or the whole memory when no list is in use), merges them,
// hands the raw IGC text of the first track over and fills block.points. Returns 1 when
// every track carried G records, 0 when one lacked them, -1 after a failure was shown.
int DownloadTrackLog(AccessBlock& block, const FamilyEnvironment& context, bool trackListInUse);

// The flight list as the notify channel gets it: "Flightlist:\n" and one line per track.
std::string FlightListText(std::span<const TrackListEntry> entries);

// Hands the flight list in block.trackList on: to the notify channel in an unattended run,
// else to the Track List dialog. 0 when the list names a flight, else -1.
int PresentFlightList(AccessBlock& block, const FamilyEnvironment& context);

// The estimated seconds left of a track download, capped at 5999.
int EstimateSecondsLeft(GarminTime listedStart, std::uint32_t durationSeconds, GarminTime current,
                        double elapsedSeconds);

}  // namespace logwell::flytec
