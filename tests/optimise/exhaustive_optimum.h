#pragma once
// An independent check of the optimisers. The thinned search looks at no more than 2000 points;
// this one looks at every `step`-th fix (and the last), finds the best free distance and the
// best triangles among them exactly, and then moves each chosen point up to two fixes either way
// on the full track, scoring with ellipsoid distances. With step 4 every fix of the track lies
// within two fixes of a searched one, so the result stands for the full-resolution optimum.
//
// It shares no code with the production searches: the free distance is a dynamic programme
// over the legs, the triangles come from a best-first branch and bound over index ranges whose
// bounds are the largest great-circle distances between the ranges' bounding boxes.
#include <array>
#include <cstddef>
#include <vector>

#include "model/track_point.h"

namespace logwell::testing {

enum class ClosingRule {
  BelowGap,          // the distance analysis: closing shorter than the loop gap
  FifthOfPerimeter,  // the OLC triangles: closing at most 20 % of the perimeter
};

struct ExhaustivePath {
  bool found = false;
  std::array<std::size_t, 5> points{};  // start, three turnpoints, finish (full-track indices)
  double total = 0.0;                   // metres, ellipsoid
};

struct ExhaustiveTriangle {
  bool found = false;
  std::array<std::size_t, 5> points{};  // start, three corners, finish (full-track indices)
  double perimeter = 0.0;               // metres, ellipsoid
  double closing = 0.0;
  double Score() const { return perimeter - closing; }
};

struct ExhaustiveTriangles {
  ExhaustiveTriangle free;
  ExhaustiveTriangle fai;
};

struct ExhaustiveOptimum {
  ExhaustivePath freeDistance;
  ExhaustiveTriangles fifthOfPerimeter;  // the OLC rule
  ExhaustiveTriangles belowGap;          // the distance analysis' rule
  std::size_t searchedPoints = 0;
  std::size_t nodesVisited = 0;  // branch-and-bound nodes of both triangle searches
};

ExhaustiveOptimum FindExhaustiveOptimum(const std::vector<TrackPoint>& points, std::size_t step,
                                        double gapMetres = 800.0);

}  // namespace logwell::testing
