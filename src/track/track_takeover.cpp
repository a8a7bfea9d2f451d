#include "track/track_takeover.h"

#include <new>

#include "base/ui.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::size_t kNoBackwardsPoint = static_cast<std::size_t>(-1);

// The index of the first point whose time is earlier than the time of the point before it.
std::size_t FirstBackwardsPoint(const std::vector<TrackPoint>& points) {
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (points[i].time < points[i - 1].time) return i;
  }
  return kNoBackwardsPoint;
}

// Keeps only the points whose time is not earlier than the last point kept.
void RemoveBackwardsPoints(std::vector<TrackPoint>& points) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (kept == 0 || points[i].time >= points[kept - 1].time) points[kept++] = points[i];
  }
  points.resize(kept);
}

std::string FormatDateTime(GarminTime time) {
  const CalendarTime t = GarminTimeToCalendar(time);
  return FormatText("%d-%02d-%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                    t.second);
}

std::string FormatDuration(GarminTime first, GarminTime last) {
  const std::uint32_t seconds = last > first ? last - first : 0;
  return FormatText("%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                    static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

NewTrackLogForm DescribeLogs(const std::vector<TrackPoint>& current,
                             const std::vector<TrackPoint>& incoming) {
  NewTrackLogForm form;
  form.currentStart = FormatDateTime(current.front().time);
  form.currentEnd = FormatDateTime(current.back().time);
  form.currentDuration = FormatDuration(current.front().time, current.back().time);
  form.newStart = FormatDateTime(incoming.front().time);
  form.newEnd = FormatDateTime(incoming.back().time);
  form.newDuration = FormatDuration(incoming.front().time, incoming.back().time);
  return form;
}

// The current points followed by the new ones, or nothing when they overlap or do not fit.
std::optional<std::vector<TrackPoint>> JoinForAppend(const TrackLog& log,
                                                     std::vector<TrackPoint>& incoming, Ui& ui) {
  // The appended points continue the current segment.
  incoming.front().segmentStart = 0;
  if (log.points.back().time >= incoming.front().time) {
    ui.ShowErrorBox("New track overlaps current one", "Append track");
    return std::nullopt;
  }
  const std::size_t total = log.points.size() + incoming.size();
  try {
    if (total > kMaxTrackPoints) throw std::bad_alloc();
    std::vector<TrackPoint> joined;
    joined.reserve(total);
    joined.insert(joined.end(), log.points.begin(), log.points.end());
    joined.insert(joined.end(), incoming.begin(), incoming.end());
    return joined;
  } catch (const std::bad_alloc&) {
    ui.ShowErrorBox(kTrackLogMemoryError, "Append track");
    return std::nullopt;
  }
}

}  // namespace

bool TakeOverDownload(TrackLog& log, DownloadResult&& download, Ui& ui,
                      const DownloadFilter& filter) {
  if (download.result < 0) return false;

  if (filter) {
    const std::size_t before = download.points.size();
    filter(download.points);
    if (download.points.size() < before) {
      ui.ShowInfoBox(FormatText("%d points removed by filter(s)",
                                static_cast<int>(before - download.points.size())),
                     "Analyze track");
    }
  }

  log.points = std::move(download.points);
  download.points.clear();
  log.source.kind = download.source.kind;
  log.source.timeIsUtc = download.source.timeIsUtc;
  log.source.signState = download.source.signState;
  log.source.altitudeFlag = download.source.altitudeFlag;
  log.sourceProtocol = download.protocol;
  log.task = std::move(download.task);
  // Raw IGC text and LogIt data belong to the download that delivered them: only the families
  // that send them fill them, and a download without them must not leave an earlier flight's
  // text beside the new points.
  log.rawIgc = std::move(download.rawIgc);
  download.rawIgc.reset();
  log.logItData = std::move(download.logItData);
  download.logItData.clear();
  log.rawTopNavLog = std::move(download.rawTopNavLog);
  download.rawTopNavLog.clear();
  // An instrument text the download did not deliver keeps the one the log had.
  const TrackSource& from = download.source;
  if (!from.InstrumentName().empty()) log.source.SetInstrumentName(from.InstrumentName());
  if (!from.InstrumentText().empty()) log.source.SetInstrumentText(from.InstrumentText());
  if (!from.InstrumentId().empty()) log.source.SetInstrumentId(from.InstrumentId());
  log.saved = 0;
  log.downloadTime = CurrentUtcCalendar();
  return true;
}

void ReplaceTrackLog(TrackLog& log, std::vector<TrackPoint>&& points, int timeIsUtc, int altitudeFlag) {
  log.Clear();
  log.downloadTime = CurrentUtcCalendar();
  log.points = std::move(points);
  points.clear();
  log.source.timeIsUtc = timeIsUtc;
  log.source.altitudeFlag = altitudeFlag;
  log.source.signState = SignState::NotSignable;
  log.source.kind = TrackSourceKind::None;
  log.source.SetInstrumentText({});
}

FileTakeOver TakeOverFile(TrackLog& log, FileReadResult&& file, Ui& ui) {
  std::vector<TrackPoint>& incoming = file.points;
  if (incoming.empty()) {
    ui.ShowStatus("No positions found");
    return FileTakeOver::NoPositions;
  }

  bool signatureOk = file.signatureOk;
  const std::size_t backwards = FirstBackwardsPoint(incoming);
  if (backwards != kNoBackwardsPoint) {
    // Nobody to ask in an unattended run: keep every point, so nothing is lost.
    const Answer answer = ui.AskYesNoCancel(
        FormatText("One or more positions (the first at pos. %d) go backwards in time. Remove ?",
                   static_cast<int>(backwards + 1)),
        "Read track log", Answer::No);
    if (answer == Answer::Cancel) {
      ui.ShowStatus("Operation aborted");
      return FileTakeOver::Cancelled;
    }
    if (answer == Answer::Yes) {
      RemoveBackwardsPoints(incoming);
      signatureOk = false;
    }
  }

  bool appended = false;
  int timeIsUtc = file.timeIsUtc;
  if (!log.Empty()) {
    switch (ui.AskNewTrackLog(DescribeLogs(log.points, incoming))) {
      case NewTrackLogChoice::Overwrite:
        break;
      case NewTrackLogChoice::Cancel:
        return FileTakeOver::Cancelled;
      case NewTrackLogChoice::Append: {
        auto joined = JoinForAppend(log, incoming, ui);
        if (!joined) return FileTakeOver::Refused;
        incoming = std::move(*joined);
        signatureOk = false;
        // The joined log is UTC only when both parts are.
        timeIsUtc = log.source.timeIsUtc != 0 && file.timeIsUtc != 0 ? 1 : 0;
        appended = true;
        break;
      }
    }
  }

  ReplaceTrackLog(log, std::move(incoming), timeIsUtc, file.altitudeFlag);
  // Only this program's signed KML files confirm a signature here, and theirs covers the track's
  // times, positions and pressure altitudes, nothing else in the file.
  std::string status = signatureOk ? FormatText("%d positions read (Signature ok: times, positions "
                                                "and pressure altitudes unchanged)",
                                                log.Count())
                                   : FormatText("%d positions read", log.Count());
  if (!file.warning.empty()) status += " - " + file.warning;
  ui.ShowStatus(status);
  return appended ? FileTakeOver::Appended : FileTakeOver::Replaced;
}

}  // namespace logwell
