#include "track/filters.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "base/ui.h"
#include "geo/distance.h"
#include "geo/units.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr double kMaxSegmentSpeed = 1e6;  // m/s; keeps absurd speeds inside a double's reach
constexpr std::size_t kSpeedBins = 100;   // one per whole m/s
constexpr int kReliableRun = 10;          // segments below the limit that make an anchor

GeoPoint PositionOf(const TrackPoint& point) {
  return ToGeoPoint(SemicirclePoint{point.latitude, point.longitude});
}

// Ground distance in metres; a distance that cannot be computed counts as none.
double GroundDistance(const TrackPoint& from, const TrackPoint& to) {
  return EllipsoidDistance(PositionOf(from), PositionOf(to)).value_or(0.0);
}

// Speed from `earlier` to `later`. The time step is taken as unsigned, so that a time running
// backwards gives a huge step and hence a small speed; a zero step gives speed 0.
double SegmentSpeed(const TrackPoint& earlier, const TrackPoint& later) {
  const std::uint32_t step = later.time - earlier.time;
  if (step == 0) return 0.0;
  return std::min(GroundDistance(earlier, later) / step, kMaxSegmentSpeed);
}

// The limit: 3 m/s per bin below the bin where 95 % of the segments are reached, plus 1.
double SpeedLimit(const std::vector<TrackPoint>& points) {
  std::array<std::size_t, kSpeedBins> bins{};
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double speed = SegmentSpeed(points[i - 1], points[i]);
    const auto bin = static_cast<std::size_t>(speed);
    if (bin < kSpeedBins) ++bins[bin];  // faster segments only count as overflow
  }
  const std::size_t quota = 19 * points.size() / 20;
  std::size_t sum = 0;
  std::size_t k = 0;
  for (; k < kSpeedBins; ++k) {
    sum += bins[k];
    if (sum >= quota) break;
  }
  return 3.0 * static_cast<double>(k) + 1.0;
}

std::optional<std::size_t> FindAnchor(const std::vector<TrackPoint>& points, double limit) {
  int run = 0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (SegmentSpeed(points[i - 1], points[i]) < limit) {
      if (++run == kReliableRun) return i;
    } else {
      run = 0;
    }
  }
  return std::nullopt;
}

void Mark(TrackPoint& point, bool keep) {
  if (keep) {
    point.segmentStart |= kKeepMarkBit;
  } else {
    point.segmentStart &= ~kKeepMarkBit;
  }
}

// Moves the points for which `keep` holds together, in order; returns how many stayed.
template <typename Keep>
std::size_t Compact(std::vector<TrackPoint>& points, Keep keep) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (keep(points[i])) {
      if (kept != i) points[kept] = points[i];
      ++kept;
    }
  }
  points.resize(kept);
  return kept;
}

void ShowDroppedCount(Ui& ui, std::size_t removed) {
  ui.ShowInfoBox(FormatText("%zu points removed by filter(s)", removed), "Analyze track");
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
  text = Trim(text, kSpacesAndTabs);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::size_t SpeedAnalysis(std::vector<TrackPoint>& points) {
  const std::size_t n = points.size();
  if (n < kSpeedAnalysisMinPoints) return n;
  const double limit = SpeedLimit(points);
  const auto anchor = FindAnchor(points, limit);
  if (!anchor) return 0;

  Mark(points[*anchor], true);
  std::size_t reference = *anchor;
  for (std::size_t i = *anchor; i-- > 0;) {
    const bool keep = SegmentSpeed(points[i], points[reference]) < limit;
    Mark(points[i], keep);
    if (keep) reference = i;
  }
  reference = *anchor;
  for (std::size_t i = *anchor + 1; i < n; ++i) {
    const bool keep = SegmentSpeed(points[reference], points[i]) < limit;
    Mark(points[i], keep);
    if (keep) reference = i;
  }
  const std::size_t kept =
      Compact(points, [](const TrackPoint& p) { return (p.segmentStart & kKeepMarkBit) != 0; });
  for (auto& point : points) point.segmentStart &= ~kKeepMarkBit;
  return kept;
}

std::size_t VarioFilter(std::vector<TrackPoint>& points, std::uint32_t limitMs) {
  if (points.size() < 2 || limitMs == 0) return 0;
  const std::size_t before = points.size();
  std::size_t kept = 1;  // the first point is the first reference and always stays
  for (std::size_t i = 1; i < before; ++i) {
    const TrackPoint& reference = points[kept - 1];
    const TrackPoint& point = points[i];
    if (point.time == reference.time) continue;
    const std::uint32_t step = point.time - reference.time;
    const double rate = (static_cast<double>(point.gpsAltitude) - reference.gpsAltitude) * 0.1 /
                        static_cast<double>(step);
    if (std::fabs(rate) < static_cast<double>(limitMs)) points[kept++] = point;
  }
  points.resize(kept);
  return before - kept;
}

TimestampCheck CheckTimestamps(const std::vector<TrackPoint>& points) {
  TimestampCheck check;
  GarminTime latest = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0 && points[i].time < latest) {
      if (check.backwardsCount++ == 0) check.firstIndex = i;
    } else {
      latest = points[i].time;
    }
  }
  return check;
}

std::size_t TimestampFilter(std::vector<TrackPoint>& points) {
  if (points.size() < 2) return points.size();
  GarminTime lastKept = points.front().time;
  return Compact(points, [&lastKept](const TrackPoint& p) {
    if (p.time < lastKept) return false;
    lastKept = p.time;
    return true;
  });
}

std::vector<SplitPiece> FindSplitPieces(const std::vector<TrackPoint>& points,
                                        std::uint32_t gapSeconds) {
  std::vector<SplitPiece> pieces;
  if (points.empty()) return pieces;
  pieces.push_back({0, points.size() - 1});
  GarminTime latest = points.front().time;
  for (std::size_t i = 1; i < points.size() && pieces.size() < kMaxSplitPieces; ++i) {
    const TrackPoint& point = points[i];
    if (point.time <= latest) continue;  // stays in the current piece
    const bool gap = point.time - latest > gapSeconds;
    latest = point.time;
    if (gap || (point.segmentStart & kSegmentStartBit) != 0) {
      pieces.back().last = i - 1;
      pieces.push_back({i, points.size() - 1});
    }
  }
  return pieces;
}

std::string SplitPieceLine(const std::vector<TrackPoint>& points, const SplitPiece& piece) {
  const GarminTime start = points[piece.first].time;
  GarminTime latest = start;
  for (std::size_t i = piece.first; i <= piece.last; ++i) latest = std::max(latest, points[i].time);
  const CalendarTime at = GarminTimeToCalendar(start);
  const std::uint32_t duration = latest - start;
  return FormatText("%02d-%02d-%02d   %02d:%02d:%02d   %u:%02u:%02u", at.day, at.month, at.year,
                    at.hour, at.minute, at.second, duration / 3600, duration / 60 % 60,
                    duration % 60);
}

std::string SplitCaption(const SplitContext& context) {
  if (context.instrumentName.empty()) {
    return FormatText("Split track (%s)", context.portName.c_str());
  }
  return FormatText("Split track (%s, %s)", context.portName.c_str(),
                    context.instrumentName.c_str());
}

std::size_t SplitAtGaps(std::vector<TrackPoint>& points, std::uint32_t gapSeconds,
                        const SplitContext& context, Ui& ui) {
  if (points.size() < 2 || context.noSplit) return points.size();
  const std::vector<SplitPiece> pieces = FindSplitPieces(points, gapSeconds);
  if (pieces.size() <= 1) return points.size();

  ListChoice choice;
  choice.title = SplitCaption(context);
  choice.multiple = true;
  choice.preselected = 0;
  for (std::size_t k = pieces.size(); k-- > 0;) {
    choice.lines.push_back(SplitPieceLine(points, pieces[k]));
  }
  const auto chosen = ui.ChooseFromList(choice);
  if (!chosen) return 0;

  std::vector<bool> keepPiece(pieces.size(), false);
  for (const int line : *chosen) {
    if (line >= 0 && static_cast<std::size_t>(line) < pieces.size()) {
      keepPiece[pieces.size() - 1 - static_cast<std::size_t>(line)] = true;
    }
  }
  std::vector<TrackPoint> kept;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    if (!keepPiece[k]) continue;
    kept.insert(kept.end(), points.begin() + static_cast<std::ptrdiff_t>(pieces[k].first),
                points.begin() + static_cast<std::ptrdiff_t>(pieces[k].last) + 1);
  }
  points = std::move(kept);
  return points.size();
}

std::size_t RunDownloadFilters(std::vector<TrackPoint>& points, const FilterSettings& settings,
                               Ui& ui) {
  const std::size_t before = points.size();
  if (settings.timestampFilter && CheckTimestamps(points).backwardsCount > 0) {
    TimestampFilter(points);
  }
  if (settings.varioLimit > 0) VarioFilter(points, settings.varioLimit);
  // A track without a reliable stretch keeps its points: a download is never thrown away whole.
  if (settings.speedAnalysis) SpeedAnalysis(points);
  const std::size_t removed = before - points.size();
  if (removed > 0) ShowDroppedCount(ui, removed);
  return removed;
}

DownloadFilter MakeDownloadFilter(const FilterSettings& settings, Ui& ui) {
  if (!settings.useDuringDownload) return {};
  return [settings, &ui](std::vector<TrackPoint>& points) {
    RunDownloadFilters(points, settings, ui);
  };
}

std::optional<std::vector<TrackPoint>> PrepareStatisticsPositions(
    std::vector<TrackPoint> positions, const FilterSettings& settings, Ui& ui) {
  constexpr std::string_view kCaption = "Initialize track statistics dialog box";
  constexpr std::size_t kMinPositions = 10;
  if (positions.empty()) {
    ui.ShowErrorBox("No position(s) selected", kCaption);
    return std::nullopt;
  }
  if (positions.size() < kMinPositions) {
    ui.ShowErrorBox("Too few positions selected", kCaption);
    return std::nullopt;
  }
  const std::size_t varioRemoved = VarioFilter(positions, settings.varioLimit);
  if (varioRemoved > 0) {
    ui.ShowInfoBox(FormatText("%zu positions have been removed due to vario filtering",
                              varioRemoved),
                   kCaption);
  }
  if (settings.speedAnalysis) {
    const std::size_t before = positions.size();
    const std::size_t kept = SpeedAnalysis(positions);
    if (kept < kMinPositions) {
      ui.ShowErrorBox("Too few positions left after track speed analysis", kCaption);
      return std::nullopt;
    }
    if (kept < before) ui.ShowInfoBox("Position(s) have been removed during track speed analysis", kCaption);
  }
  return positions;
}

bool FilterForCompetitionSave(std::vector<TrackPoint>& points, const FilterSettings& settings,
                              Ui& ui) {
  constexpr std::string_view kCaption = "Save log for competition";
  if (VarioFilter(points, settings.varioLimit) > 0) {
    ui.ShowInfoBox("Position(s) have been removed due to vario filtering", kCaption);
  }
  if (settings.speedAnalysis) {
    const std::size_t before = points.size();
    const std::size_t kept = SpeedAnalysis(points);
    if (kept == 0) return false;
    if (kept < before) ui.ShowInfoBox("Position(s) have been removed during track speed analysis", kCaption);
  }
  return true;
}

std::string VarioDialogText(const FilterSettings& settings) {
  return FormatText("%u", settings.varioLimit);
}

bool ApplyVarioDialogInput(std::string_view text, FilterSettings& settings, Ui& ui) {
  if (IsBlank(text, kSpacesAndTabs)) {
    settings.varioLimit = 0;
    return true;
  }
  const auto value = ParseWholeNumber(text);
  if (!value || *value < 0 || *value > 0xFFFFFFFFll) {
    ui.ShowErrorBox("Bad input", "Set vario filter");
    return false;
  }
  settings.varioLimit = static_cast<std::uint32_t>(*value);
  return true;
}

std::string GapDialogText(const FilterSettings& settings) {
  return FormatText("%u", settings.gapSeconds / 60);
}

bool ApplyGapDialogInput(std::string_view text, FilterSettings& settings) {
  const auto minutes = ParseWholeNumber(text);
  // The gap is kept in seconds as an unsigned 32-bit number; minutes beyond that are refused.
  if (!minutes || *minutes < 0 || *minutes > 0xFFFFFFFFll / 60) return false;
  settings.gapSeconds = static_cast<std::uint32_t>(*minutes * 60);
  return true;
}

}  // namespace logwell
