#include "optimise/exact_search.h"

#include <algorithm>
#include <cmath>
#include <queue>

#include "geo/projection.h"
#include "geo/units.h"
#include "optimise/distance_tables.h"
#include "optimise/refine.h"

namespace logwell {
namespace {

constexpr double kCentralScale = 0.9996;  // of the local transverse Mercator
// The plane distance divided by the central scale is never below the ellipsoid distance; this
// margin covers the projection series' own error.
constexpr double kUpperMargin = 1.0 + 1e-7;
// Below this many combinations a node's fixes are measured one by one.
constexpr std::uint64_t kEnumerateBelow = 32;

struct Box {
  double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
  void Add(const Box& other) {
    minX = std::min(minX, other.minX);
    maxX = std::max(maxX, other.maxX);
    minY = std::min(minY, other.minY);
    maxY = std::max(maxY, other.maxY);
  }
};

double FarthestBetween(const Box& a, const Box& b) {
  const double dx = std::max(a.maxX - b.minX, b.maxX - a.minX);
  const double dy = std::max(a.maxY - b.minY, b.maxY - a.minY);
  return std::sqrt(dx * dx + dy * dy);
}

double NearestBetween(const Box& a, const Box& b) {
  const double dx = std::max({0.0, a.minX - b.maxX, b.minX - a.maxX});
  const double dy = std::max({0.0, a.minY - b.maxY, b.minY - a.maxY});
  return std::sqrt(dx * dx + dy * dy);
}

// Bounding boxes of index ranges of the fixes, from a segment tree.
class BoxTree {
 public:
  explicit BoxTree(const std::vector<PlanePoint>& plane) : n_(plane.size()), tree_(2 * plane.size()) {
    for (std::size_t i = 0; i < n_; ++i) tree_[n_ + i] = {plane[i].x, plane[i].x, plane[i].y, plane[i].y};
    for (std::size_t i = n_ - 1; i > 0; --i) {
      tree_[i] = tree_[2 * i];
      tree_[i].Add(tree_[2 * i + 1]);
    }
  }
  // The box of fixes first..last, both included.
  Box Of(std::size_t first, std::size_t last) const {
    Box box;
    for (std::size_t l = first + n_, r = last + n_ + 1; l < r; l /= 2, r /= 2) {
      if (l & 1) box.Add(tree_[l++]);
      if (r & 1) box.Add(tree_[--r]);
    }
    return box;
  }

 private:
  std::size_t n_;
  std::vector<Box> tree_;
};

struct Node {
  double bound = 0.0;
  std::array<std::int32_t, 5> lo{}, hi{};
  bool operator<(const Node& other) const { return bound < other.bound; }
};

class Solver {
 public:
  Solver(const std::vector<TrackPoint>& points, const ExactRules& rules, const ExactOptions& options)
      : points_(points), rules_(rules), options_(options), triangle_(rules.kind != ExactKind::FreeDistance),
        steps_(triangle_ ? std::array<int, 5>{0, 0, 1, 1, 0} : std::array<int, 5>{0, 1, 1, 1, 1}),
        tree_(Project()) {}

  ExactResult Run(const std::optional<std::array<std::size_t, 5>>& seed) {
    const auto n = static_cast<std::int32_t>(points_.size());
    if (seed) Measure(*seed);
    Node root;
    root.lo.fill(0);
    root.hi.fill(n - 1);
    if (Normalise(root)) Consider(root);
    bool cut = false;
    while (!queue_.empty()) {
      if (queue_.top().bound <= best_.distance && best_.found) break;
      if (nodes_ >= options_.nodeLimit ||
          (options_.halt != nullptr && (nodes_ & 1023) == 0 && options_.halt->load(std::memory_order_relaxed))) {
        cut = true;
        break;
      }
      const Node node = queue_.top();
      queue_.pop();
      if (best_.found && node.bound <= best_.distance) continue;
      Split(node);
    }
    best_.proven = !cut;
    best_.nodes = nodes_;
    return best_;
  }

 private:
  std::vector<PlanePoint> Project() {
    const double meridian = TrackCentralMeridian(points_);
    std::vector<PlanePoint> plane(points_.size());
    double widest = 0.0;
    for (std::size_t i = 0; i < points_.size(); ++i) {
      const PlanePoint p = LocalTransverseMercator(
          ToGeoPoint(SemicirclePoint{points_[i].latitude, points_[i].longitude}), meridian);
      plane[i] = {p.x / kCentralScale, p.y / kCentralScale};
      widest = std::max(widest, std::fabs(plane[i].x));
    }
    // The scale grows away from the central meridian by about x^2 / 2R^2; a plane distance
    // divided by this never exceeds the ellipsoid distance (R taken below the smallest radius
    // of curvature, with a margin).
    constexpr double kSmallRadius = 6.3e6;
    stretch_ = 1.0 + 1.05 * widest * widest / (2.0 * kSmallRadius * kSmallRadius) + 1e-7;
    return plane;
  }

  bool Normalise(Node& node) const {
    for (int k = 1; k < 5; ++k) node.lo[k] = std::max(node.lo[k], node.lo[k - 1] + steps_[k]);
    for (int k = 3; k >= 0; --k) node.hi[k] = std::min(node.hi[k], node.hi[k + 1] - steps_[k + 1]);
    for (int k = 0; k < 5; ++k) {
      if (node.lo[k] > node.hi[k]) return false;
    }
    return true;
  }

  // An upper bound of the node's score; below 0 when no choice in it can satisfy the rules.
  double Bound(const Node& node, std::array<Box, 5>& boxes) const {
    for (int k = 0; k < 5; ++k) {
      boxes[k] = tree_.Of(static_cast<std::size_t>(node.lo[k]), static_cast<std::size_t>(node.hi[k]));
    }
    if (!triangle_) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += FarthestBetween(boxes[k], boxes[k + 1]);
      return sum * kUpperMargin;
    }
    const double ab = FarthestBetween(boxes[1], boxes[2]) * kUpperMargin;
    const double bc = FarthestBetween(boxes[2], boxes[3]) * kUpperMargin;
    const double ca = FarthestBetween(boxes[3], boxes[1]) * kUpperMargin;
    double perimeter = ab + bc + ca;
    if (rules_.kind == ExactKind::FaiTriangle) {
      perimeter = std::min(perimeter, std::min({ab, bc, ca}) / rules_.faiMinLeg);
    }
    const double closing = NearestBetween(boxes[0], boxes[4]) / stretch_;
    if (closing > std::max(rules_.closingMetres, rules_.closingFraction * perimeter)) return -1.0;
    return perimeter - closing;
  }

  void Consider(const Node& node) {
    ++nodes_;
    std::uint64_t combinations = 1;
    for (int k = 0; k < 5 && combinations <= kEnumerateBelow; ++k) {
      combinations *= static_cast<std::uint64_t>(node.hi[k] - node.lo[k] + 1);
    }
    std::array<Box, 5> boxes;
    Node bounded = node;
    bounded.bound = Bound(node, boxes);
    if (bounded.bound < 0.0 || (best_.found && bounded.bound <= best_.distance)) return;
    if (combinations <= kEnumerateBelow) {
      Enumerate(node);
      return;
    }
    queue_.push(bounded);
  }

  void Enumerate(const Node& node) {
    std::array<std::size_t, 5> at{};
    auto recurse = [&](auto& self, int k) -> void {
      if (k == 5) {
        Measure(at);
        return;
      }
      std::int32_t from = node.lo[k];
      if (k > 0) from = std::max(from, static_cast<std::int32_t>(at[k - 1]) + steps_[k]);
      for (std::int32_t i = from; i <= node.hi[k]; ++i) {
        at[k] = static_cast<std::size_t>(i);
        self(self, k + 1);
      }
    };
    recurse(recurse, 0);
  }

  // Scores a choice of single fixes on the ellipsoid; keeps it when it is valid and better.
  void Measure(const std::array<std::size_t, 5>& p) {
    ExactResult r;
    r.points = p;
    if (!triangle_) {
      for (int k = 0; k < 4; ++k) {
        r.legs[k] = FixDistance(points_[p[k]], points_[p[k + 1]]);
        r.distance += r.legs[k];
      }
    } else {
      r.legs = {FixDistance(points_[p[1]], points_[p[2]]), FixDistance(points_[p[2]], points_[p[3]]),
                FixDistance(points_[p[3]], points_[p[1]]), 0.0};
      const double perimeter = r.legs[0] + r.legs[1] + r.legs[2];
      if (rules_.kind == ExactKind::FaiTriangle &&
          std::min({r.legs[0], r.legs[1], r.legs[2]}) < rules_.faiMinLeg * perimeter) {
        return;
      }
      r.closing = FixDistance(points_[p[0]], points_[p[4]]);
      if (r.closing > std::max(rules_.closingMetres, rules_.closingFraction * perimeter)) return;
      r.distance = perimeter - r.closing;
    }
    if (r.distance > best_.distance || !best_.found) {
      r.found = true;
      best_ = r;
    }
  }

  void Split(const Node& node) {
    int widest = -1;
    double extent = -1.0;
    for (int k = 0; k < 5; ++k) {
      if (node.lo[k] == node.hi[k]) continue;
      const Box box = tree_.Of(static_cast<std::size_t>(node.lo[k]), static_cast<std::size_t>(node.hi[k]));
      const double e = std::max(box.maxX - box.minX, box.maxY - box.minY);
      if (e > extent) {
        extent = e;
        widest = k;
      }
    }
    if (widest < 0) {
      Enumerate(node);
      return;
    }
    const std::int32_t middle = node.lo[widest] + (node.hi[widest] - node.lo[widest]) / 2;
    Node left = node;
    left.hi[widest] = middle;
    Node right = node;
    right.lo[widest] = middle + 1;
    if (Normalise(left)) Consider(left);
    if (Normalise(right)) Consider(right);
  }

  const std::vector<TrackPoint>& points_;
  ExactRules rules_;
  ExactOptions options_;
  bool triangle_;
  std::array<int, 5> steps_;
  double stretch_ = 1.0;
  BoxTree tree_;
  std::priority_queue<Node> queue_;
  ExactResult best_;
  std::uint64_t nodes_ = 0;
};

}  // namespace

ExactResult ExactOptimum(const std::vector<TrackPoint>& points, const ExactRules& rules,
                         const std::optional<std::array<std::size_t, 5>>& seed,
                         const ExactOptions& options) {
  if (points.size() < 5) return {};
  Solver solver(points, rules, options);
  return solver.Run(seed);
}

}  // namespace logwell
