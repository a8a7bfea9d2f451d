#include "exhaustive_optimum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <queue>

#include "geo/distance.h"
#include "geo/units.h"

namespace logwell::testing {
namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kFaiShare = 0.28;
// The searched fixes and the sphere put a triangle's legs a little off their ellipsoid values,
// so the search admits FAI legs down to this share and the refinement then holds them to 0.28.
constexpr double kSearchFaiShare = 0.279;
constexpr double kClosingShare = 0.2;
constexpr std::size_t kWindow = 2;  // fixes either way in the refinement

struct Vec {
  double x, y, z;
};

// Great-circle distance from the chord between two unit vectors. Below about 600 km the
// series of asin is exact to double precision and far quicker than the library call.
double ChordToMetres(double chord) {
  const double half = chord / 2.0;
  if (half < 0.05) {
    const double square = half * half;
    return 2.0 * kEarthRadius * half *
           (1.0 + square * (1.0 / 6.0 + square * (3.0 / 40.0 + square * (5.0 / 112.0 + square * 35.0 / 1152.0))));
  }
  return 2.0 * kEarthRadius * std::asin(std::min(1.0, half));
}

// The bounding box of a run of unit vectors.
struct Box {
  std::array<double, 3> low, high;
  static Box Of(const Vec& v) { return {{v.x, v.y, v.z}, {v.x, v.y, v.z}}; }
  static Box Merge(const Box& a, const Box& b) {
    Box m{};
    for (std::size_t k = 0; k < 3; ++k) {
      m.low[k] = std::min(a.low[k], b.low[k]);
      m.high[k] = std::max(a.high[k], b.high[k]);
    }
    return m;
  }
};

// Greatest possible great-circle distance between a point of one box and a point of the other.
double MaxDistance(const Box& a, const Box& b) {
  double sum = 0.0;
  for (std::size_t k = 0; k < 3; ++k) {
    const double span = std::max(a.high[k] - b.low[k], b.high[k] - a.low[k]);
    sum += span * span;
  }
  return ChordToMetres(std::sqrt(sum));
}

// Smallest possible great-circle distance between them.
double MinDistance(const Box& a, const Box& b) {
  double sum = 0.0;
  for (std::size_t k = 0; k < 3; ++k) {
    const double gap = std::max({0.0, a.low[k] - b.high[k], b.low[k] - a.high[k]});
    sum += gap * gap;
  }
  return ChordToMetres(std::sqrt(sum));
}

// Every `step`-th fix and the last, as unit vectors, with their bounding boxes over any index
// range (a sparse table) and the closing table over them.
class CoarseTrack {
 public:
  CoarseTrack(const std::vector<TrackPoint>& points, std::size_t step) {
    for (std::size_t k = 0; k < points.size(); k += step) full_.push_back(k);
    if (!points.empty() && full_.back() != points.size() - 1) full_.push_back(points.size() - 1);
    for (const std::size_t k : full_) {
      const double lat = SemicirclesToRadians(points[k].latitude);
      const double lon = SemicirclesToRadians(points[k].longitude);
      v_.push_back({std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)});
    }
    n_ = static_cast<int>(v_.size());
    BuildBoxes();
    BuildClosing();
  }

  int Count() const { return n_; }
  std::size_t Full(int i) const { return full_[static_cast<std::size_t>(i)]; }

  double D(int i, int j) const {
    const Vec& a = v_[static_cast<std::size_t>(i)];
    const Vec& b = v_[static_cast<std::size_t>(j)];
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return ChordToMetres(std::sqrt(dx * dx + dy * dy + dz * dz));
  }

  Box RangeBox(int lo, int hi) const {
    int level = 0;
    while ((2 << level) <= hi - lo + 1) ++level;
    const auto& row = boxes_[static_cast<std::size_t>(level)];
    return Box::Merge(row[static_cast<std::size_t>(lo)],
                      row[static_cast<std::size_t>(hi - (1 << level) + 1)]);
  }

  // The shortest hop from a start at or before a to a finish at or after c (a < c).
  double Closing(int a, int c) const { return closing_[Cell(a, c)]; }

  // The start and finish of that hop.
  std::pair<int, int> ClosingPair(int a, int c) const {
    std::pair<int, int> best{a, c};
    double shortest = std::numeric_limits<double>::infinity();
    for (int s = 0; s <= a; ++s) {
      for (int f = c; f < n_; ++f) {
        const double d = D(s, f);
        if (d < shortest) {
          shortest = d;
          best = {s, f};
        }
      }
    }
    return best;
  }

 private:
  std::size_t Cell(int a, int c) const {
    return rowStart_[static_cast<std::size_t>(a)] + static_cast<std::size_t>(c - a - 1);
  }

  void BuildBoxes() {
    boxes_.emplace_back();
    for (const Vec& v : v_) boxes_.back().push_back(Box::Of(v));
    for (int width = 2; width <= n_; width *= 2) {
      const auto& below = boxes_.back();
      std::vector<Box> row;
      for (int i = 0; i + width <= n_; ++i) {
        row.push_back(Box::Merge(below[static_cast<std::size_t>(i)],
                                 below[static_cast<std::size_t>(i + width / 2)]));
      }
      boxes_.push_back(std::move(row));
    }
  }

  void BuildClosing() {
    std::size_t start = 0;
    for (int a = 0; a < n_; ++a) {
      rowStart_.push_back(start);
      start += static_cast<std::size_t>(n_ - a - 1);
    }
    closing_.assign(start, 0.0f);
    for (int a = 0; a + 1 < n_; ++a) {
      double nearest = std::numeric_limits<double>::infinity();
      for (int c = n_ - 1; c > a; --c) {
        nearest = std::min(nearest, D(a, c));
        double value = nearest;
        if (a > 0) value = std::min(value, static_cast<double>(closing_[Cell(a - 1, c)]));
        closing_[Cell(a, c)] = static_cast<float>(value);
      }
    }
  }

  std::vector<std::size_t> full_;
  std::vector<Vec> v_;
  int n_ = 0;
  std::vector<std::vector<Box>> boxes_;
  std::vector<std::size_t> rowStart_;
  std::vector<float> closing_;
};

struct Range {
  int lo, hi;
  int Size() const { return hi - lo + 1; }
};

struct Node {
  double bound;
  Range a, b, c;
  bool operator<(const Node& other) const { return bound < other.bound; }
};

struct CoarseTriangle {
  double score = -1.0;
  int a = -1, b = -1, c = -1;
};

// The search keeps this many of the best searched triangles: near the rule's limits (the FAI
// legs, the closing) the best on the sphere need not refine into the best on the ellipsoid.
constexpr std::size_t kKept = 32;

class TriangleSearch {
 public:
  TriangleSearch(const CoarseTrack& track, ClosingRule rule, double gap, bool fai)
      : t_(track), rule_(rule), gap_(gap), fai_(fai) {}

  std::vector<CoarseTriangle> Run(std::size_t& nodes) {
    std::priority_queue<Node> open;
    Node root{0.0, {0, t_.Count() - 1}, {0, t_.Count() - 1}, {0, t_.Count() - 1}};
    if (Prepare(root)) open.push(root);
    while (!open.empty()) {
      const Node node = open.top();
      open.pop();
      ++nodes;
      if (node.bound <= Threshold()) break;
      if (static_cast<long>(node.a.Size()) * node.b.Size() * node.c.Size() <= 512) {
        Evaluate(node);
        continue;
      }
      Range Node::*widest = &Node::a;
      if (node.b.Size() > (node.*widest).Size()) widest = &Node::b;
      if (node.c.Size() > (node.*widest).Size()) widest = &Node::c;
      const Range whole = node.*widest;
      const int middle = whole.lo + (whole.hi - whole.lo) / 2;
      for (const Range half : {Range{whole.lo, middle}, Range{middle + 1, whole.hi}}) {
        Node child = node;
        child.*widest = half;
        if (Prepare(child) && child.bound > Threshold()) open.push(child);
      }
    }
    return kept_;
  }

 private:
  // Narrows the ranges to those with some a < b < c and bounds the node's best score; false
  // when the node holds no triangle the rule accepts.
  bool Prepare(Node& node) const {
    node.b.lo = std::max(node.b.lo, node.a.lo + 1);
    node.c.lo = std::max(node.c.lo, node.b.lo + 1);
    node.b.hi = std::min(node.b.hi, node.c.hi - 1);
    node.a.hi = std::min(node.a.hi, node.b.hi - 1);
    if (node.a.lo > node.a.hi || node.b.lo > node.b.hi || node.c.lo > node.c.hi) return false;
    const Box boxA = t_.RangeBox(node.a.lo, node.a.hi);
    const Box boxB = t_.RangeBox(node.b.lo, node.b.hi);
    const Box boxC = t_.RangeBox(node.c.lo, node.c.hi);
    const double ab = MaxDistance(boxA, boxB);
    const double bc = MaxDistance(boxB, boxC);
    const double ac = MaxDistance(boxA, boxC);
    double perimeter = ab + bc + ac;
    if (fai_) {
      // Each leg is at least 0.28 of the perimeter, so the other two are at most 0.72 of it.
      perimeter = std::min(perimeter, std::min({ab, bc, ac}) / kSearchFaiShare);
      const double abLow = MinDistance(boxA, boxB);
      const double bcLow = MinDistance(boxB, boxC);
      const double acLow = MinDistance(boxA, boxC);
      const double least = std::max({abLow + bcLow + acLow, (abLow + bcLow) / (1.0 - kSearchFaiShare),
                                     (bcLow + acLow) / (1.0 - kSearchFaiShare),
                                     (abLow + acLow) / (1.0 - kSearchFaiShare)});
      if (least > perimeter) return false;
    }
    // The closing grows with a later start and an earlier finish.
    const double closing = node.a.hi < node.c.lo ? t_.Closing(node.a.hi, node.c.lo) : 0.0;
    if (!Accepts(closing, perimeter)) return false;
    node.bound = perimeter - closing;
    return true;
  }

  bool Accepts(double closing, double perimeter) const {
    return rule_ == ClosingRule::BelowGap ? closing < gap_ : closing <= kClosingShare * perimeter;
  }

  void Evaluate(const Node& node) {
    for (int a = node.a.lo; a <= node.a.hi; ++a) {
      for (int c = std::max(node.c.lo, a + 2); c <= node.c.hi; ++c) {
        const double closing = t_.Closing(a, c);
        if (rule_ == ClosingRule::BelowGap && !(closing < gap_)) continue;
        const double ac = t_.D(a, c);
        for (int b = std::max(node.b.lo, a + 1); b <= std::min(node.b.hi, c - 1); ++b) {
          const double ab = t_.D(a, b);
          const double bc = t_.D(b, c);
          const double perimeter = ab + bc + ac;
          if (!Accepts(closing, perimeter)) continue;
          if (fai_ && std::min({ab, bc, ac}) < kSearchFaiShare * perimeter) continue;
          if (perimeter - closing > Threshold()) Keep({perimeter - closing, a, b, c});
        }
      }
    }
  }

  double Threshold() const { return kept_.size() < kKept ? -1.0 : kept_.back().score; }

  void Keep(const CoarseTriangle& triangle) {
    const auto at = std::find_if(kept_.begin(), kept_.end(),
                                 [&](const CoarseTriangle& k) { return k.score < triangle.score; });
    kept_.insert(at, triangle);
    if (kept_.size() > kKept) kept_.pop_back();
  }

  const CoarseTrack& t_;
  ClosingRule rule_;
  double gap_;
  bool fai_;
  std::vector<CoarseTriangle> kept_;  // best first
};

// Ellipsoid distances between the fixes of two refinement windows.
class WindowDistances {
 public:
  explicit WindowDistances(const std::vector<TrackPoint>& points) : points_(points) {}
  double operator()(std::size_t i, std::size_t j) {
    const auto [at, added] = known_.try_emplace({i, j}, 0.0);
    if (added) {
      const auto d = EllipsoidDistance(At(i), At(j));
      at->second = d ? *d : 0.0;
    }
    return at->second;
  }

 private:
  GeoPoint At(std::size_t i) const {
    return ToGeoPoint(SemicirclePoint{points_[i].latitude, points_[i].longitude});
  }
  const std::vector<TrackPoint>& points_;
  std::map<std::pair<std::size_t, std::size_t>, double> known_;
};

std::pair<std::size_t, std::size_t> Window(std::size_t center, std::size_t size) {
  return {center >= kWindow ? center - kWindow : 0, std::min(center + kWindow, size - 1)};
}

ExhaustivePath FreeDistance(const CoarseTrack& t, const std::vector<TrackPoint>& points) {
  ExhaustivePath result;
  const int n = t.Count();
  if (n < 5) return result;
  // legs[k][j]: the longest path of k legs ending at j, and the point before j on it.
  constexpr int kLegs = 4;
  const auto size = static_cast<std::size_t>(n);
  std::vector<std::vector<double>> legs(kLegs + 1, std::vector<double>(size, -1.0));
  std::vector<std::vector<int>> previous(kLegs + 1, std::vector<int>(size, -1));
  std::fill(legs[0].begin(), legs[0].end(), 0.0);
  for (int j = 1; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      const double d = t.D(i, j);
      for (std::size_t k = 1; k <= kLegs; ++k) {
        const double before = legs[k - 1][static_cast<std::size_t>(i)];
        if (before < 0.0) continue;
        if (before + d > legs[k][static_cast<std::size_t>(j)]) {
          legs[k][static_cast<std::size_t>(j)] = before + d;
          previous[k][static_cast<std::size_t>(j)] = i;
        }
      }
    }
  }
  const auto last = std::max_element(legs[kLegs].begin(), legs[kLegs].end());
  std::array<int, 5> coarse{};
  coarse[kLegs] = static_cast<int>(last - legs[kLegs].begin());
  for (std::size_t k = kLegs; k > 0; --k) {
    coarse[k - 1] = previous[k][static_cast<std::size_t>(coarse[k])];
  }

  // Every combination of the five windows in track order, with ellipsoid distances.
  WindowDistances distance(points);
  std::array<std::pair<std::size_t, std::size_t>, 5> windows{};
  for (std::size_t k = 0; k < 5; ++k) windows[k] = Window(t.Full(coarse[k]), points.size());
  std::array<std::size_t, 5> current{};
  auto recurse = [&](auto& self, std::size_t k, double total) -> void {
    if (k == 5) {
      if (total > result.total) {
        result.total = total;
        result.points = current;
        result.found = true;
      }
      return;
    }
    std::size_t low = windows[k].first;
    if (k > 0) low = std::max(low, current[k - 1] + 1);
    for (std::size_t i = low; i <= windows[k].second; ++i) {
      current[k] = i;
      self(self, k + 1, k > 0 ? total + distance(current[k - 1], i) : 0.0);
    }
  };
  recurse(recurse, 0, 0.0);
  return result;
}

ExhaustiveTriangle RefineTriangle(const CoarseTrack& t, const std::vector<TrackPoint>& points,
                                  const CoarseTriangle& coarse, ClosingRule rule, double gap,
                                  bool fai) {
  ExhaustiveTriangle result;
  if (coarse.a < 0) return result;
  const auto [start, finish] = t.ClosingPair(coarse.a, coarse.c);
  const std::array<int, 5> centers{start, coarse.a, coarse.b, coarse.c, finish};
  std::array<std::pair<std::size_t, std::size_t>, 5> windows{};
  for (std::size_t k = 0; k < 5; ++k) windows[k] = Window(t.Full(centers[k]), points.size());
  WindowDistances distance(points);
  auto measure = [&](const std::array<std::size_t, 5>& p) {
    ExhaustiveTriangle triangle;
    triangle.found = true;
    triangle.points = p;
    const double ab = distance(p[1], p[2]), bc = distance(p[2], p[3]), ac = distance(p[1], p[3]);
    triangle.perimeter = ab + bc + ac;
    triangle.closing = distance(p[0], p[4]);
    const bool closes = rule == ClosingRule::BelowGap
                            ? triangle.closing < gap
                            : triangle.closing <= kClosingShare * triangle.perimeter;
    const bool shaped = !fai || std::min({ab, bc, ac}) >= kFaiShare * triangle.perimeter;
    return std::make_pair(triangle, closes && shaped);
  };
  // The start may coincide with the first corner and the finish with the last.
  std::array<std::size_t, 5> current{};
  const std::array<std::size_t, 5> minStep{0, 0, 1, 1, 0};
  bool any = false;
  auto recurse = [&](auto& self, std::size_t k) -> void {
    if (k == 5) {
      const auto [triangle, valid] = measure(current);
      if (valid && (!any || triangle.Score() > result.Score())) {
        result = triangle;
        any = true;
      }
      return;
    }
    std::size_t low = windows[k].first;
    if (k > 0) low = std::max(low, current[k - 1] + minStep[k]);
    for (std::size_t i = low; i <= windows[k].second; ++i) {
      current[k] = i;
      self(self, k + 1);
    }
  };
  recurse(recurse, 0);
  return any ? result : ExhaustiveTriangle{};
}

}  // namespace

ExhaustiveOptimum FindExhaustiveOptimum(const std::vector<TrackPoint>& points, std::size_t step,
                                        double gapMetres) {
  ExhaustiveOptimum optimum;
  if (points.size() < 5 || step == 0) return optimum;
  const CoarseTrack track(points, step);
  optimum.searchedPoints = static_cast<std::size_t>(track.Count());
  optimum.freeDistance = FreeDistance(track, points);
  for (const ClosingRule rule : {ClosingRule::FifthOfPerimeter, ClosingRule::BelowGap}) {
    ExhaustiveTriangles& triangles = rule == ClosingRule::BelowGap ? optimum.belowGap : optimum.fifthOfPerimeter;
    for (const bool fai : {false, true}) {
      TriangleSearch search(track, rule, gapMetres, fai);
      ExhaustiveTriangle& best = fai ? triangles.fai : triangles.free;
      for (const CoarseTriangle& coarse : search.Run(optimum.nodesVisited)) {
        const ExhaustiveTriangle refined = RefineTriangle(track, points, coarse, rule, gapMetres, fai);
        if (refined.found && (!best.found || refined.Score() > best.Score())) best = refined;
      }
    }
  }
  return optimum;
}

}  // namespace logwell::testing
