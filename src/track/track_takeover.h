#pragma once
// How a new set of positions replaces, or is appended to, the current track log: at the end of
// a track-log download, and after a track file was read.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/access_types.h"
#include "model/track_source.h"
#include "track/track_log.h"

namespace logwell {

class Ui;

// What a track-log access delivers to its completion routine.
struct DownloadResult {
  int result = 0;  // negative: the access failed
  std::vector<TrackPoint> points;
  TrackSource source;
  ProtocolType protocol = ProtocolType::GarminSerial;
  std::optional<TaskDeclaration> task;
  std::optional<RawIgcLog> rawIgc;      // the instrument's own IGC text, where it sends one
  std::vector<std::uint8_t> logItData;  // where the instrument family sends it
  std::string rawTopNavLog;             // a Top Navigator / XC Trainer log as received
};

// The download filters run on the new points before they are taken over; they remove points
// in place. An empty function means no filter is switched on.
using DownloadFilter = std::function<void(std::vector<TrackPoint>&)>;

// Takes a finished download over as the current track log. Returns false, changing nothing,
// when the access failed: the caller then sets the process exit code to 1. The caller (the
// completion routine of the access) also clears its busy flag, refreshes the track view and,
// in unattended or competition runs, tells the main window.
bool TakeOverDownload(TrackLog& log, DownloadResult&& download, Ui& ui,
                      const DownloadFilter& filter = {});

// What a track file reader delivers.
struct FileReadResult {
  std::vector<TrackPoint> points;
  int timeIsUtc = 0;
  int altitudeFlag = 0;
  bool signatureOk = false;  // the file's own security record checked out
  std::string warning;       // what the file lacks (cut short, unsigned), said with the read
};

enum class FileTakeOver {
  Replaced,     // the new points are the track log now
  Appended,     // the new points follow the old ones
  Cancelled,    // the user cancelled; the log is unchanged
  Refused,      // the append overlapped or memory ran out; the log is unchanged
  NoPositions,  // the reader found nothing; the log is unchanged
};

// Makes the points the track log as a file read does once it goes ahead: everything of the old
// log is cleared (raw IGC text, task, headers, signature state, instrument text), the points
// get no source kind and the take-over time is now. Also used by the commands that turn the
// positions into a new log (the rotated track).
void ReplaceTrackLog(TrackLog& log, std::vector<TrackPoint>&& points, int timeIsUtc, int altitudeFlag);

// Takes the points of a track file over, asking about points that go backwards in time and,
// when a log exists, whether to overwrite or append. The caller forgets the loaded file name
// and the selected range of the track view when the log changed.
FileTakeOver TakeOverFile(TrackLog& log, FileReadResult&& file, Ui& ui);

}  // namespace logwell
