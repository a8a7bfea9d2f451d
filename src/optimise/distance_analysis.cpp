#include "optimise/distance_analysis.h"

#include <chrono>
#include <optional>

#include "optimise/distance_tables.h"
#include "optimise/refine.h"
#include "base/text.h"

namespace logwell {
namespace {

template <std::size_t K>
std::array<int, K> StrictSteps() {
  std::array<int, K> steps{};
  steps.fill(1);
  return steps;
}

template <std::size_t K>
PathDistance<K> RefinePath(const std::vector<TrackPoint>& points, DistanceCache& distance,
                           const std::array<std::size_t, K>& centers) {
  const auto refined = Refine<K>(points.size(), centers, StrictSteps<K>(),
                                 [&distance](const std::array<std::size_t, K>& p) {
                                   double sum = 0.0;
                                   for (std::size_t k = 1; k < K; ++k) sum += distance(p[k - 1], p[k]);
                                   return std::optional<double>(sum);
                                 });
  return MeasurePath<K>(distance, refined.found ? refined.points : centers);
}

void Report(const AnalysisOptions& options, std::string_view text) {
  if (options.status) options.status(text);
}

OutAndReturnDistance FindOutAndReturn(const std::vector<TrackPoint>& points,
                                      const DistanceTables& tables, const DistanceSearchStrategy& search,
                                      std::int32_t gap, DistanceCache& distance) {
  std::array<int, 3> reduced{};
  std::int64_t score = 0;
  if (!search.outAndReturn(tables, gap, reduced, score)) return {};
  const auto mapped = MapToTrack<3>(tables, reduced);
  const double gapMetres = gap;
  const auto refined = Refine<3>(
      points.size(), mapped, StrictSteps<3>(),
      [&](const std::array<std::size_t, 3>& p) -> std::optional<double> {
        const double closing = distance(p[0], p[2]);
        if (closing > gapMetres) return std::nullopt;
        return 2.0 * distance(p[0], p[1]) - closing;
      });
  const auto& chosen = refined.found ? refined.points : mapped;
  OutAndReturnDistance result;
  result.start = chosen[0];
  result.turn = chosen[1];
  result.end = chosen[2];
  result.outward = distance(chosen[0], chosen[1]);
  result.closing = distance(chosen[0], chosen[2]);
  result.result = 2.0 * result.outward - result.closing;
  return result;
}

TriangleDistance RefineAnalysisTriangle(const std::vector<TrackPoint>& points,
                                        const DistanceTables& tables, const ReducedTriangle& found,
                                        std::int32_t gap, bool fai, DistanceCache& distance) {
  if (found.score < 0) return {};
  const std::uint32_t closingArg = tables.ClosingArg(found.a, found.c);
  const std::array<int, 5> reduced{static_cast<int>(closingArg >> 16), found.a, found.b, found.c,
                                   static_cast<int>(closingArg & 0xFFFFu)};
  const auto mapped = MapToTrack<5>(tables, reduced);
  const double gapMetres = gap;
  const auto refined = Refine<5>(
      points.size(), mapped, StrictSteps<5>(),
      [&](const std::array<std::size_t, 5>& p) -> std::optional<double> {
        const double closing = distance(p[0], p[4]);
        if (!(closing < gapMetres)) return std::nullopt;
        const double ab = distance(p[1], p[2]);
        const double bc = distance(p[2], p[3]);
        const double ca = distance(p[1], p[3]);
        const double perimeter = ab + bc + ca;
        if (fai && (ab < 0.28 * perimeter || bc < 0.28 * perimeter || ca < 0.28 * perimeter)) {
          return std::nullopt;
        }
        return perimeter - closing;
      });
  return MeasureTriangle(distance, refined.found ? refined.points : mapped);
}

}  // namespace

template <std::size_t K>
PathDistance<K> MeasurePath(DistanceCache& distance, const std::array<std::size_t, K>& points) {
  PathDistance<K> path;
  path.points = points;
  for (std::size_t k = 1; k < K; ++k) {
    path.legs[k - 1] = distance(points[k - 1], points[k]);
    path.total += path.legs[k - 1];
  }
  return path;
}
template PathDistance<2> MeasurePath<2>(DistanceCache&, const std::array<std::size_t, 2>&);
template PathDistance<3> MeasurePath<3>(DistanceCache&, const std::array<std::size_t, 3>&);
template PathDistance<4> MeasurePath<4>(DistanceCache&, const std::array<std::size_t, 4>&);
template PathDistance<5> MeasurePath<5>(DistanceCache&, const std::array<std::size_t, 5>&);

TriangleDistance MeasureTriangle(DistanceCache& distance, const std::array<std::size_t, 5>& points) {
  TriangleDistance triangle;
  triangle.points = points;
  triangle.legs = {distance(points[1], points[2]), distance(points[2], points[3]),
                   distance(points[3], points[1])};
  triangle.closing = distance(points[0], points[4]);
  triangle.result = triangle.Perimeter() - triangle.closing;
  return triangle;
}

PathDistance<2> RefineTwoPoints(const std::vector<TrackPoint>& points, DistanceCache& distance,
                                std::size_t from, std::size_t to) {
  return RefinePath<2>(points, distance, {from, to});
}

PathDistance<5> RefineFivePoints(const std::vector<TrackPoint>& points, DistanceCache& distance,
                                 const std::array<std::size_t, 5>& centers) {
  return RefinePath<5>(points, distance, centers);
}

int AnalyseDistances(const std::vector<TrackPoint>& points, DistanceAnalysis& analysis,
                     const AnalysisOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  const DistanceSearchStrategy& search = options.search != nullptr ? *options.search : ProductionSearch();
  Report(options, "Computing distance matrix");
  std::optional<DistanceTables> built;
  if (DistanceTables::Build(points, kAnalysisClosingStart, built) ==
      DistanceTables::BuildStatus::NoMemory) {
    return -1;
  }
  const DistanceTables& tables = *built;
  DistanceAnalysis result;
  DistanceCache distance(points);

  ReducedWinners winners;
  search.freeDistances(tables, winners);
  Report(options, "Computing greatest distance (2 points)");
  if (winners.twoScore >= 0) result.two = RefinePath<2>(points, distance, MapToTrack<2>(tables, winners.two));
  Report(options, "Computing greatest distance (3 points)");
  if (winners.threeScore >= 0) {
    result.three = RefinePath<3>(points, distance, MapToTrack<3>(tables, winners.three));
  }
  Report(options, "Computing greatest distance (4 points)");
  if (winners.fourScore >= 0) {
    result.four = RefinePath<4>(points, distance, MapToTrack<4>(tables, winners.four));
  }
  Report(options, "Computing greatest distance (5 points)");
  if (winners.fiveScore >= 0) {
    result.five = RefinePath<5>(points, distance, MapToTrack<5>(tables, winners.five));
  }

  const bool loops = options.loopGap > 0 && !options.skipLoops;
  // Plane distances are whole metres far below 2^31; a larger gap accepts every closing.
  const auto gap = static_cast<std::int32_t>(std::min<std::uint32_t>(options.loopGap, 0x7FFFFFFFu));
  if (loops) {
    Report(options, "Computing out-and-return distance");
    result.outAndReturn = FindOutAndReturn(points, tables, search, gap, distance);
    Report(options, "Computing triangle distance");
    TriangleSearchHooks hooks;
    hooks.halt = options.halt;
    hooks.threads = options.threads;
    const TriangleSearchResult triangles =
        search.triangles(tables, TriangleRule::ClosingBelowGap, gap, hooks);
    result.triangle = RefineAnalysisTriangle(points, tables, triangles.free, gap, false, distance);
    result.fai = RefineAnalysisTriangle(points, tables, triangles.fai, gap, true, distance);
  }

  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
  Report(options, FormatText("Computing completed (%d.%03d secs)", static_cast<int>(elapsed / 1000),
                             static_cast<int>(elapsed % 1000)));
  result.done = 1;
  analysis = result;
  return 0;
}

}  // namespace logwell
