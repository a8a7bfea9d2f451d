#include "optimise/olc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/ui.h"
#include "geo/units.h"
#include "optimise/distance_search.h"
#include "optimise/distance_tables.h"
#include "optimise/refine.h"
#include "track/position_text.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::string_view kInitCaption = "Initialize OLC statistics dialog box";

template <std::size_t K>
OlcKindResult PathKind(const PathDistance<K>& path) {
  OlcKindResult kind;
  kind.found = true;
  kind.points.assign(path.points.begin(), path.points.end());
  kind.legs.assign(path.legs.begin(), path.legs.end());
  kind.distance = path.total;
  return kind;
}

OlcKindResult TriangleKind(const TriangleDistance& triangle) {
  OlcKindResult kind;
  kind.found = true;
  kind.points.assign(triangle.points.begin(), triangle.points.end());
  kind.legs.assign(triangle.legs.begin(), triangle.legs.end());
  kind.closing = triangle.closing;
  kind.distance = triangle.result;
  return kind;
}

// The OLC triangle refinement: the start may coincide with the first corner and the finish
// with the last; the closing may be at most a fifth of the perimeter.
OlcKindResult RefineOlcTriangle(const std::vector<TrackPoint>& points, const DistanceTables& tables,
                                const ReducedTriangle& found, bool fai, DistanceCache& distance) {
  const std::uint32_t closingArg = tables.ClosingArg(found.a, found.c);
  const std::array<int, 5> reduced{static_cast<int>(closingArg >> 16), found.a, found.b, found.c,
                                   static_cast<int>(closingArg & 0xFFFFu)};
  const auto mapped = MapToTrack<5>(tables, reduced);
  const auto refined = Refine<5>(
      points.size(), mapped, std::array<int, 5>{0, 0, 1, 1, 0},
      [&](const std::array<std::size_t, 5>& p) -> std::optional<double> {
        const double ab = distance(p[1], p[2]);
        const double bc = distance(p[2], p[3]);
        const double ca = distance(p[1], p[3]);
        const double perimeter = ab + bc + ca;
        const double closing = distance(p[0], p[4]);
        if (closing > 0.2 * perimeter) return std::nullopt;
        if (fai && (ab < 0.28 * perimeter || bc < 0.28 * perimeter || ca < 0.28 * perimeter)) {
          return std::nullopt;
        }
        return perimeter - closing;
      });
  return TriangleKind(MeasureTriangle(distance, refined.found ? refined.points : mapped));
}

}  // namespace

OlcKindTexts FormatOlcKind(const std::vector<TrackPoint>& track, const OlcKindResult& kind,
                           bool triangle) {
  OlcKindTexts texts;
  if (!kind.found) return texts;
  for (std::size_t k = 0; k < kind.points.size(); ++k) {
    const std::size_t index = kind.points[k];
    if (index >= track.size()) continue;
    const TrackPoint& point = track[index];
    const CalendarTime at = GarminTimeToCalendar(point.time);
    OlcPointLine line;
    line.number = FormatText("%zu", index + 1);
    line.time = FormatText("%02d:%02d:%02d", at.hour, at.minute, at.second);
    line.latitude = LatitudeText(point.latitude);
    line.longitude = LongitudeText(point.longitude);
    if (!triangle && k < kind.legs.size()) line.leg = FormatText("%.2f", kind.legs[k] / 1000.0);
    texts.points.push_back(line);
  }
  if (triangle && kind.legs.size() == 3) {
    const double perimeter = kind.legs[0] + kind.legs[1] + kind.legs[2];
    texts.perimeter = FormatText("%.2f km", perimeter / 1000.0);
    texts.scoredDistance = FormatText("%.2f km", (perimeter - kind.closing) / 1000.0);
    texts.closing = FormatText("%.2f", kind.closing / 1000.0);
    for (std::size_t k = 0; k < 3; ++k) {
      texts.legShares[k] =
          FormatText("%.2f %%", perimeter > 0.0 ? kind.legs[k] / perimeter * 100.0 : 0.0);
    }
  }
  return texts;
}

OlcScores ScoreOlc(const OlcKindResult& freeDistance, const OlcKindResult& freeTriangle,
                   const OlcKindResult& faiTriangle) {
  OlcScores scores;
  if (freeDistance.found) scores.freeDistance = freeDistance.distance / 1000.0 * kFreeDistancePointsPerKm;
  if (freeTriangle.found) scores.freeTriangle = freeTriangle.distance / 1000.0 * kFreeTrianglePointsPerKm;
  if (faiTriangle.found) scores.faiTriangle = faiTriangle.distance / 1000.0 * kFaiTrianglePointsPerKm;
  if (faiTriangle.found && scores.faiTriangle >= std::max(scores.freeDistance, scores.freeTriangle)) {
    scores.best = OlcBest::FaiTriangle;
    scores.bestPoints = scores.faiTriangle;
  } else if (freeTriangle.found && scores.freeTriangle >= scores.freeDistance) {
    scores.best = OlcBest::FreeTriangle;
    scores.bestPoints = scores.freeTriangle;
  } else {
    scores.best = OlcBest::FreeDistance;
    scores.bestPoints = scores.freeDistance;
  }
  return scores;
}

std::string BestResultText(const OlcScores& scores) {
  switch (scores.best) {
    case OlcBest::FaiTriangle:
      return FormatText("Best result is FAI triangle with %.2f points", scores.bestPoints);
    case OlcBest::FreeTriangle:
      return FormatText("Best result is free triangle with %.2f points", scores.bestPoints);
    case OlcBest::FreeDistance:
      break;
  }
  return FormatText("Best result is free distance with %.2f points", scores.bestPoints);
}

OlcComputation::OlcComputation(std::vector<TrackPoint> points, OlcSource source, OlcView& view)
    : points_(std::move(points)), source_(std::move(source)), view_(view) {}

OlcComputation::~OlcComputation() {
  Halt();
  Wait();
}

void OlcComputation::Wait() {
  if (thread_.joinable()) thread_.join();
}

bool OlcComputation::Start(Ui& ui) {
  if (points_.size() < kOlcMinPositions) {
    ui.ShowErrorBox("Number of positions must be 5 or more", kInitCaption);
    return false;
  }
  try {
    thread_ = std::jthread([this] { Run(); });
  } catch (const std::system_error&) {
    ui.ShowErrorBox("Could not create optimisation thread", kInitCaption);
    return false;
  }
  return true;
}

std::string OlcComputation::ProgressText() const {
  const int total = progressTotal_.load();
  if (total <= 0) return " ";
  const auto percent = static_cast<int>(std::lround(100.0 * progressDone_.load() / total));
  if (percent >= 100) return "Done:";
  return FormatText("%d %%", percent);
}

std::array<std::size_t, 5> OlcComputation::ClaimPoints() const {
  const OlcKind kind = scores_.best == OlcBest::FaiTriangle    ? OlcKind::FaiTriangle
                       : scores_.best == OlcBest::FreeTriangle ? OlcKind::FreeTriangle
                                                               : OlcKind::FreeDistance;
  std::array<std::size_t, 5> claim{};
  const auto& chosen = Kind(kind).points;
  for (std::size_t k = 0; k < claim.size() && k < chosen.size(); ++k) claim[k] = chosen[k];
  return claim;
}

bool OlcComputation::Stop(std::string_view message) {
  if (!halt_.load()) return false;
  view_.ShowStatus(message);
  state_.store(State::Halted);
  finished_.store(true);
  return true;
}

void OlcComputation::Show(OlcKind kind, OlcKindResult result) {
  kinds_[static_cast<std::size_t>(kind)] = std::move(result);
  view_.ShowKind(kind, kinds_[static_cast<std::size_t>(kind)]);
}

void OlcComputation::Run() {
  if (points_.size() < kOlcMinPositions) {
    state_.store(State::Failed);
    finished_.store(true);
    return;
  }
  view_.ShowStatus("Computing distance matrix");
  const std::int64_t reduced = std::min(points_.size(), kMaxReducedPoints);
  progressTotal_.store(static_cast<int>(reduced * (reduced + 1) / 2 / 100000));
  std::optional<DistanceTables> built;
  const auto status = DistanceTables::Build(points_, kOlcClosingStart, built, &halt_, &progressDone_);
  if (status == DistanceTables::BuildStatus::NoMemory) {
    view_.ShowStatus("Could not allocate memory for distance table");
    state_.store(State::Failed);
    finished_.store(true);
    return;
  }
  if (status == DistanceTables::BuildStatus::Halted) {
    Stop("Computation halted");
    return;
  }
  const DistanceTables& tables = *built;
  DistanceCache distance(points_);

  view_.ShowStatus("Max. distance search");
  ReducedWinners winners;
  SearchFreeDistances(tables, winners);
  const auto two = MapToTrack<2>(tables, winners.two);
  Show(OlcKind::MaxDistance, PathKind(RefineTwoPoints(points_, distance, two[0], two[1])));
  if (Stop("Max. distance search aborted")) return;
  Show(OlcKind::FreeDistance,
       PathKind(RefineFivePoints(points_, distance, MapToTrack<5>(tables, winners.five))));

  view_.ShowStatus("Out-and-return search");
  const OlcOutAndReturn outAndReturn = SearchOlcOutAndReturn(tables, kOlcOutAndReturnClosing, &halt_);
  if (Stop("Out-and-return search aborted")) return;
  if (outAndReturn.found) {
    const auto mapped = MapToTrack<3>(tables, outAndReturn.points);
    const auto refined = Refine<3>(
        points_.size(), mapped, std::array<int, 3>{1, 1, 1},
        [&](const std::array<std::size_t, 3>& p) -> std::optional<double> {
          if (distance(p[0], p[2]) > kOlcOutAndReturnClosing) return std::nullopt;
          return distance(p[0], p[1]) + distance(p[1], p[2]);
        });
    OlcKindResult kind = PathKind(MeasurePath<3>(distance, refined.found ? refined.points : mapped));
    kind.closing = distance(kind.points[0], kind.points[2]);
    Show(OlcKind::OutAndReturn, std::move(kind));
  }

  view_.ShowStatus("Triangle search");
  progressDone_.store(0);
  progressTotal_.store(static_cast<int>((reduced - 1) * reduced * (reduced - 2) / 6000000));
  TriangleSearchHooks hooks;
  hooks.halt = &halt_;
  hooks.progressDone = &progressDone_;
  hooks.interim = [this, &tables, &distance](const ReducedTriangle& interim) {
    const std::uint32_t arg = tables.ClosingArg(interim.a, interim.c);
    const std::array<int, 5> reducedPoints{static_cast<int>(arg >> 16), interim.a, interim.b,
                                           interim.c, static_cast<int>(arg & 0xFFFFu)};
    DistanceCache own(points_);  // the hook may run on a helper thread
    view_.ShowKind(OlcKind::FreeTriangle,
                   TriangleKind(MeasureTriangle(own, MapToTrack<5>(tables, reducedPoints))));
  };
  const TriangleSearchResult triangles =
      SearchTriangles(tables, TriangleRule::ClosingBelowFifthOfPerimeter, 0, hooks);
  if (Stop("Triangle search aborted")) return;
  if (triangles.free.score > 0) {
    Show(OlcKind::FreeTriangle, RefineOlcTriangle(points_, tables, triangles.free, false, distance));
  }
  if (triangles.fai.score >= 1) {
    Show(OlcKind::FaiTriangle, RefineOlcTriangle(points_, tables, triangles.fai, true, distance));
  }

  scores_ = ScoreOlc(Kind(OlcKind::FreeDistance), Kind(OlcKind::FreeTriangle), Kind(OlcKind::FaiTriangle));
  // Completed before the result is shown: the view's answer to it may ask for the state.
  state_.store(State::Completed);
  view_.ShowStatus("Optimization completed");
  view_.ShowResult(BestResultText(scores_));
  finished_.store(true);
}

const std::vector<OlcClass>& OlcClasses() {
  static const std::vector<OlcClass> classes{{1, "Flexible wing"},
                                             {2, "Rigid wing"},
                                             {3, "Paraglider (open)"},
                                             {4, "Paraglider (sport)"},
                                             {5, "Paraglider (tandem)"}};
  return classes;
}

const std::vector<OlcRegion>& OlcRegions() {
  static const std::vector<OlcRegion> regions{
      {"", "   Unknown"},
      {"AF", "AF Africa"},
      {"AR", "AR Argentina"},
      {"AT", "AT Austria / Osterreich"},
      {"AU", "AU Australia"},
      {"BE", "BE Belgium / Belgique"},
      {"BG", "BG Bulgaria"},
      {"BR", "BR Brazil / Brasil"},
      {"CA", "CA Canada"},
      {"CH", "CH Switzerland / Schweiz"},
      {"CZ", "CZ Czech Republic / Cesko"},
      {"DE", "DE Germany / Deutschland"},
      {"DK", "DK Denmark / Danmark"},
      {"ES", "ES Spain / Espana"},
      {"FI", "FI Finland / Suomi"},
      {"FR", "FR France"},
      {"GR", "GR Greece / Hellas"},
      {"HR", "HR Croatia / Hrvatska"},
      {"HU", "HU Hungary / Magyarorszag"},
      {"IS", "IS Iceland / Island"},
      {"IT", "IT Italy / Italia"},
      {"JP", "JP Japan / Nippon"},
      {"KR", "KR Korea"},
      {"LT", "LT Lithuania / Lietuva"},
      {"LU", "LU Luxembourg"},
      {"MK", "MK Macedonia / Makedonija"},
      {"MX", "MX Mexico"},
      {"NL", "NL Netherlands / Nederland"},
      {"NO", "NO Norway / Norge"},
      {"PL", "PL Poland / Polska"},
      {"PT", "PT Portugal"},
      {"RU", "RU Russia / Rossija"},
      {"SE", "SE Sweden / Sverige"},
      {"SI", "SI Slovenia / Slovenija"},
      {"TR", "TR Turkey / Turkiye"},
      {"UK", "UK United Kingdom"},
      {"US", "US United States"},
      {"ZA", "ZA South Africa"},
  };
  return regions;
}

}  // namespace logwell
