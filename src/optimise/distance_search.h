#pragma once
// The exhaustive searches over the integer distance matrix. Each returns the winning reduced
// points of its kind; ties go to the candidate that comes last in the order (outer index first)
// in which a plain nested loop would meet them, so that every strategy of searching gives the
// same winner.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "optimise/distance_tables.h"

namespace logwell {

// A triangle of the reduced track: start and finish come from the closing table of (a, c).
struct ReducedTriangle {
  std::int64_t score = -1;  // perimeter less closing; -1: none found
  int a = 0, b = 0, c = 0;
  bool operator==(const ReducedTriangle&) const = default;
};

struct ReducedWinners {
  std::array<int, 2> two{};
  std::array<int, 3> three{};
  std::array<int, 4> four{};
  std::array<int, 5> five{};
  // -1: the track has too few points for the kind.
  std::int64_t twoScore = -1, threeScore = -1, fourScore = -1, fiveScore = -1;
  // Out-and-return: start, turn, end; score -999999999 or below 0 when none.
  std::array<int, 3> outAndReturn{};
  std::int64_t outAndReturnScore = 0;
  bool hasOutAndReturn = false;
  ReducedTriangle triangle;
  ReducedTriangle fai;
  bool operator==(const ReducedWinners&) const = default;
};

// The largest two-, three-, four- and five-point distances (always found when n >= 5 for
// five points, n >= 2 for two points).
void SearchFreeDistances(const DistanceTables& tables, ReducedWinners& winners);

// Which triangles a search accepts.
enum class TriangleRule {
  // The distance analysis: the closing of (a, c) must lie below the loop gap.
  ClosingBelowGap,
  // The OLC search: the closing must lie below 20 % of the perimeter.
  ClosingBelowFifthOfPerimeter,
};

struct TriangleSearchHooks {
  const std::atomic<bool>* halt = nullptr;         // checked before each start a
  std::atomic<int>* progressDone = nullptr;        // one unit per 1000000 plain inner steps
  // Called whenever the free triangle improves by more than 1/16 of its last shown value.
  std::function<void(const ReducedTriangle&)> interim;
  int threads = 2;                                 // 1 keeps everything on the caller's thread
};

struct TriangleSearchResult {
  ReducedTriangle free;
  ReducedTriangle fai;
  bool halted = false;
};

// The triangles of the reduced track. With ClosingBelowGap only pairs whose closing lies below
// `gap` count; the best start at -1 (nothing found). With ClosingBelowFifthOfPerimeter the
// best start at 0.
TriangleSearchResult SearchTriangles(const DistanceTables& tables, TriangleRule rule,
                                     std::int32_t gap, const TriangleSearchHooks& hooks = {});

// The distance analysis' out-and-return: start i, turn j, end k with d(i, k) below the gap,
// score 2 d(i, j) - d(i, k). Returns false when no score of 0 or more exists.
bool SearchAnalysisOutAndReturn(const DistanceTables& tables, std::int32_t gap,
                                std::array<int, 3>& points, std::int64_t& score);

// The OLC out-and-return: d(a, c) below `closing` metres, score d(a, b) + d(b, c), best from 0.
// Returns false (kind empty) when the best stays below 1 or the halt flag stopped it.
struct OlcOutAndReturn {
  std::array<int, 3> points{};
  std::int64_t score = 0;
  bool found = false;
  bool halted = false;
};
OlcOutAndReturn SearchOlcOutAndReturn(const DistanceTables& tables, std::int32_t closing,
                                      const std::atomic<bool>* halt = nullptr);

// The search steps of the distance analysis as one strategy, so that the benchmark and the
// tests can put a plain one beside the production searches.
struct DistanceSearchStrategy {
  void (*freeDistances)(const DistanceTables& tables, ReducedWinners& winners);
  bool (*outAndReturn)(const DistanceTables& tables, std::int32_t gap, std::array<int, 3>& points,
                       std::int64_t& score);
  TriangleSearchResult (*triangles)(const DistanceTables& tables, TriangleRule rule,
                                    std::int32_t gap, const TriangleSearchHooks& hooks);
};
const DistanceSearchStrategy& ProductionSearch();

}  // namespace logwell
