#pragma once
// The matrix searches written as plain nested loops, exactly in the order and with the
// comparisons that define them. The tests and the benchmark hold the production searches
// against these.
#include "optimise/distance_search.h"

namespace logwell::testing {

void PlainFreeDistances(const DistanceTables& t, ReducedWinners& w);
bool PlainAnalysisOutAndReturn(const DistanceTables& t, std::int32_t gap, std::array<int, 3>& points,
                               std::int64_t& score);
TriangleSearchResult PlainTriangles(const DistanceTables& t, TriangleRule rule, std::int32_t gap,
                                    const TriangleSearchHooks& hooks);
OlcOutAndReturn PlainOlcOutAndReturn(const DistanceTables& t, std::int32_t closing);
const DistanceSearchStrategy& PlainSearch();

}  // namespace logwell::testing
