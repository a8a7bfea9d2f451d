#pragma once
// CSV track files: a header line naming the columns, then one line per point. The reader finds
// its columns by name; the writer adds the optional columns switched on in the CSV parameters.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/track_point.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

inline constexpr std::string_view kReadCsvCaption = "Read CSV track log file";
inline constexpr std::size_t kMaxCsvHeaderFields = 20;

// The CSV parameters form: which optional columns are written, and over how many seconds the
// Bearing, Speed and Vario columns are averaged.
//
// Averaging: the value of a point is taken between a reference point and the point itself.
// The reference is the earliest earlier point at most the interval's seconds before it (a
// trailing window, like an instrument's display); when the log is sparser than the interval it
// is simply the previous point. The first point, and a point whose reference has the same time,
// show 0.
//  - Bearing: the initial great-circle course from the reference point to the point, whole
//    degrees 0..359.
//  - Speed: the ellipsoid distance between them divided by the time between them, km/h, "%.1f".
//  - Vario: the GPS altitude difference divided by the time between them, m/s, "%.1f".
struct CsvParameters {
  static constexpr int kMinInterval = 1;
  static constexpr int kMaxInterval = 600;

  bool absTime = false;
  bool relTime = false;
  bool relDist = false;
  bool accDist = false;
  bool bearing = false;
  bool speed = false;
  bool vario = false;
  int bearingSeconds = 5;   // "Bearing averaging (s)"
  int speedSeconds = 10;    // "Speed averaging (s)"
  int varioSeconds = 10;    // "Vario averaging (s)"
};

std::string WriteCsvTrack(std::span<const TrackPoint> points, const CsvParameters& parameters);

// Reads a whole CSV text. On failure shows one message and gives nothing.
std::optional<FileReadResult> ReadCsvTrack(std::string_view text, Ui& ui);

}  // namespace logwell
