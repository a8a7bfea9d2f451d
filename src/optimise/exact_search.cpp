#include "optimise/exact_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <queue>
#include <unordered_map>
#include <utility>

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

// The smallest |x| on the segments between two boxes: where the projection's scale is least.
double NearestToMeridian(const Box& a, const Box& b) {
  const double west = std::min(a.minX, b.minX);
  const double east = std::max(a.maxX, b.maxX);
  if (west <= 0.0 && east >= 0.0) return 0.0;
  return std::min(std::fabs(west), std::fabs(east));
}

// The projection's scale (over the central one) is at least 1 + x^2 / 2R^2 for R above the
// largest radius of curvature, so an ellipsoid distance is at most the plane distance divided
// by that at the smallest |x| of the segment.
double EllipsoidReach(const Box& a, const Box& b) {
  constexpr double kLargeRadius = 6.41e6;
  const double x = NearestToMeridian(a, b);
  return FarthestBetween(a, b) / (1.0 + x * x / (2.0 * kLargeRadius * kLargeRadius)) * kUpperMargin;
}

double NearestBetween(const Box& a, const Box& b) {
  const double dx = std::max({0.0, a.minX - b.maxX, b.minX - a.maxX});
  const double dy = std::max({0.0, a.minY - b.maxY, b.minY - a.maxY});
  return std::sqrt(dx * dx + dy * dy);
}

// Bounding boxes of the fixes as a complete binary tree over a power-of-two size: node 1 holds
// every fix, node k the halves 2k and 2k+1; the leaves past the last fix hold empty boxes.
class BoxTree {
 public:
  explicit BoxTree(const std::vector<PlanePoint>& plane) : n_(plane.size()) {
    while (size_ < n_) size_ *= 2;
    tree_.resize(2 * size_);
    for (std::size_t i = 0; i < n_; ++i) tree_[size_ + i] = {plane[i].x, plane[i].x, plane[i].y, plane[i].y};
    for (std::size_t i = size_ - 1; i > 0; --i) {
      tree_[i] = tree_[2 * i];
      tree_[i].Add(tree_[2 * i + 1]);
    }
  }
  const Box& operator[](std::size_t node) const { return tree_[node]; }
  std::size_t Leaves() const { return size_; }
  std::size_t Count() const { return n_; }
  bool IsLeaf(std::size_t node) const { return node >= size_; }
  // The first and last fix index a node covers.
  std::int64_t First(std::size_t node) const { return static_cast<std::int64_t>((node << Depth(node)) - size_); }
  std::int64_t Last(std::size_t node) const {
    return static_cast<std::int64_t>(((node + 1) << Depth(node)) - 1 - size_);
  }

 private:
  int Depth(std::size_t node) const {
    return static_cast<int>(std::bit_width(size_)) - static_cast<int>(std::bit_width(node));
  }

  std::size_t n_;
  std::size_t size_ = 1;
  std::vector<Box> tree_;
};

}  // namespace

// Everything the searches need that depends on the track alone.
struct ExactTrack::Prepared {
  explicit Prepared(const std::vector<TrackPoint>& fixes)
      : points(fixes), plane(Project()), tree(plane) {
    const std::size_t n = points.size();
    prefix.resize(n);
    suffix.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      prefix[i] = tree[tree.Leaves() + i];
      if (i > 0) prefix[i].Add(prefix[i - 1]);
    }
    for (std::size_t i = n; i-- > 0;) {
      suffix[i] = tree[tree.Leaves() + i];
      if (i + 1 < n) suffix[i].Add(suffix[i + 1]);
    }
    BuildClosingBounds();
  }

  std::vector<PlanePoint> Project() {
    const double meridian = TrackCentralMeridian(points);
    std::vector<PlanePoint> projected(points.size());
    double widest = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const PlanePoint p = LocalTransverseMercator(
          ToGeoPoint(SemicirclePoint{points[i].latitude, points[i].longitude}), meridian);
      projected[i] = {p.x / kCentralScale, p.y / kCentralScale};
      widest = std::max(widest, std::fabs(projected[i].x));
    }
    // The scale grows away from the central meridian by about x^2 / 2R^2; a plane distance
    // divided by this never exceeds the ellipsoid distance (R taken below the smallest radius
    // of curvature, with a margin).
    constexpr double kSmallRadius = 6.3e6;
    stretch = 1.0 + 1.05 * widest * widest / (2.0 * kSmallRadius * kSmallRadius) + 1e-7;
    return projected;
  }

  // A lower bound of the shortest hop (ellipsoid) from a fix at or before `before` to one at or
  // after `after`, from a table over blocks of fixes: the nearest the blocks' boxes come, taken
  // over every block up to the one holding `before` and from the one holding `after`.
  void BuildClosingBounds() {
    const std::size_t n = points.size();
    block = std::max<std::size_t>(32, (n + 2047) / 2048);
    blocks = (n + block - 1) / block;
    std::vector<Box> boxes(blocks);
    for (std::size_t i = 0; i < n; ++i) boxes[i / block].Add(tree[tree.Leaves() + i]);
    closingBound.assign(blocks * blocks, 0.0);
    for (std::size_t i = 0; i < blocks; ++i) {
      for (std::size_t j = blocks; j-- > i + 1;) {
        double bound = NearestBetween(boxes[i], boxes[j]) / stretch;
        if (i > 0) bound = std::min(bound, closingBound[(i - 1) * blocks + j]);
        if (j + 1 < blocks) bound = std::min(bound, closingBound[i * blocks + j + 1]);
        closingBound[i * blocks + j] = bound;
      }
    }
  }

  const std::vector<TrackPoint>& points;
  double stretch = 1.0;
  std::vector<PlanePoint> plane;
  BoxTree tree;
  std::vector<Box> prefix, suffix;  // boxes of fixes 0..i and i..n-1
  std::size_t block = 1, blocks = 0;
  std::vector<double> closingBound;  // blocks x blocks, see BuildClosingBounds
};

namespace {

// A node of the search: a tree node (range of fixes) for each of the three middle points.
struct Node {
  double bound = 0.0;
  std::array<std::uint32_t, 3> range{};
  bool operator<(const Node& other) const { return bound < other.bound; }
};

struct Farthest {
  double distance = -1.0;
  std::size_t index = 0;
};

class Solver {
 public:
  Solver(const ExactTrack::Prepared& track, const ExactRules& rules, const ExactOptions& options)
      : points_(track.points), track_(track), rules_(rules), options_(options),
        triangle_(rules.kind != ExactKind::FreeDistance), outAndReturn_(rules.kind == ExactKind::OutAndReturn),
        shaped_(triangle_ && !outAndReturn_ && (rules.minLeg > 0.0 || rules.maxLeg < 1.0)) {}

  ExactResult Run(std::span<const std::array<std::size_t, 5>> seeds) {
    for (const auto& seed : seeds) MeasureSeed(seed);
    if (!triangle_) {
      if (options_.nodeLimit == 0) return best_;  // the seeds only, not proven
      if (best_.found && options_.floor > -HUGE_VAL && FreeDistanceReach() <= options_.floor) {
        best_.belowFloor = true;  // no path of four legs can exceed the floor
        best_.proven = false;
        return best_;
      }
      return RunFreeDistance();
    }
    Consider(Node{0.0, {1, 1, 1}});
    bool cut = false;
    while (!queue_.empty()) {
      if (queue_.top().bound <= ToBeat()) break;
      if (nodes_ >= options_.nodeLimit ||
          (options_.halt != nullptr && options_.halt->load(std::memory_order_relaxed))) {
        cut = true;
        break;
      }
      const Node node = queue_.top();
      queue_.pop();
      Split(node);
    }
    // Nothing above the floor: all the search proved is that nothing scores more than it.
    best_.belowFloor = !cut && options_.floor > -HUGE_VAL && !(best_.found && best_.distance >= options_.floor);
    best_.proven = !cut && !best_.belowFloor;
    best_.nodes = nodes_;
    return best_;
  }

 private:
  // What a course must exceed to matter: the best so far, and at least the caller's floor.
  double ToBeat() const { return best_.found ? std::max(best_.distance, options_.floor) : options_.floor; }
  double Ellipsoid(std::size_t a, std::size_t b) const { return FixDistance(points_[a], points_[b]); }

  double Allowed(double perimeter) const {
    return std::max(rules_.closingMetres, rules_.closingFraction * perimeter);
  }
  // What the closing takes off the perimeter.
  double Penalty(double closing) const { return closing > rules_.closingFreeMetres ? closing : 0.0; }

  // Whether a triangle's sides have the shares the rules ask for.
  bool ShapeFits(double a, double b, double c) const {
    if (!shaped_) return true;
    const double perimeter = a + b + c;
    return std::min({a, b, c}) >= rules_.minLeg * perimeter && std::max({a, b, c}) <= rules_.maxLeg * perimeter;
  }

  // Whether some p1 < p2 < p3 lies in the ranges (out-and-return: p1 < p2, the third range
  // being the second's).
  bool Feasible(const std::array<std::uint32_t, 3>& r) const {
    const auto n = static_cast<std::int64_t>(track_.tree.Count());
    if (outAndReturn_) {
      const std::int64_t lo1 = track_.tree.First(r[0]);
      const std::int64_t hi2 = std::min(track_.tree.Last(r[1]), n - 1);
      return lo1 <= track_.tree.Last(r[0]) && lo1 < hi2 && std::max(track_.tree.First(r[1]), lo1 + 1) <= hi2;
    }
    const std::int64_t lo1 = std::max<std::int64_t>(track_.tree.First(r[0]), triangle_ ? 0 : 1);
    const std::int64_t hi3 = std::min<std::int64_t>(track_.tree.Last(r[2]), triangle_ ? n - 1 : n - 2);
    const std::int64_t lo2 = std::max(track_.tree.First(r[1]), lo1 + 1);
    const std::int64_t hi2 = std::min(track_.tree.Last(r[1]), hi3 - 1);
    return lo1 <= track_.tree.Last(r[0]) && lo2 <= hi2 && track_.tree.First(r[2]) <= hi3 && lo1 < hi2 && lo2 < hi3;
  }

  // An upper bound of the node's score; below 0 when nothing in it satisfies the rules.
  double Bound(const std::array<std::uint32_t, 3>& r) {
    const Box& b1 = track_.tree[r[0]];
    const Box& b2 = track_.tree[r[1]];
    const Box& b3 = track_.tree[r[2]];
    const auto n = static_cast<std::int64_t>(track_.tree.Count());
    if (!triangle_) {
      const std::int64_t hi1 = std::min(track_.tree.Last(r[0]), n - 1);
      const std::int64_t lo3 = track_.tree.First(r[2]);
      return EllipsoidReach(track_.prefix[static_cast<std::size_t>(hi1 - 1)], b1) + EllipsoidReach(b1, b2) +
             EllipsoidReach(b2, b3) + EllipsoidReach(b3, track_.suffix[static_cast<std::size_t>(lo3 + 1)]);
    }
    const double ab = EllipsoidReach(b1, b2);
    const double bc = outAndReturn_ ? 0.0 : EllipsoidReach(b2, b3);
    const double ca = outAndReturn_ ? ab : EllipsoidReach(b3, b1);
    double perimeter = ab + bc + ca;
    if (shaped_) {
      if (rules_.minLeg > 0.0) perimeter = std::min(perimeter, std::min({ab, bc, ca}) / rules_.minLeg);
      // No side may exceed the larger share (at most 1 - 2 x the smallest): the shortest
      // possible side of each pair of boxes must fit under that share of the longest perimeter.
      const double longestShare = std::min(rules_.maxLeg, 1.0 - 2.0 * rules_.minLeg);
      const double shortest = std::max({NearestBetween(b1, b2), NearestBetween(b2, b3), NearestBetween(b3, b1)}) / track_.stretch;
      if (shortest > longestShare * perimeter) return -1.0;
    }
    const std::int64_t hi1 = std::min(track_.tree.Last(r[0]), n - 1);
    const std::int64_t lo3 = track_.tree.First(r[2]);
    // The closing can only shrink as the first corner moves later and the last one earlier.
    const auto before = static_cast<std::size_t>(hi1);
    const auto after = static_cast<std::size_t>(lo3);
    const double closing = ClosingBound(before, after);
    const double limit = ClosingLimit(perimeter);
    if (closing >= limit) return -1.0;
    // Close in time the block table knows nothing (neighbouring blocks touch): ask the fixes
    // whether any hop short enough exists.
    if (!ClosingUnder(before, after, limit)) return -1.0;
    return perimeter - Penalty(closing);
  }

  // Only a closing below this matters for a course of that perimeter: one the rules allow and
  // with which the course could still beat the best.
  double ClosingLimit(double perimeter) const {
    double limit = std::nextafter(Allowed(perimeter), HUGE_VAL);
    if (ToBeat() > -HUGE_VAL) {
      // A free closing costs nothing; a longer one must stay below the perimeter's lead.
      limit = std::min(limit, std::max(std::nextafter(rules_.closingFreeMetres, HUGE_VAL),
                                       perimeter - ToBeat()));
    }
    return limit;
  }

  void Consider(const Node& node) {
    ++nodes_;
    if (!Feasible(node.range)) return;
    Node bounded = node;
    bounded.bound = Bound(node.range);
    if (bounded.bound < 0.0 || bounded.bound <= ToBeat()) return;
    if (track_.tree.IsLeaf(node.range[0]) && track_.tree.IsLeaf(node.range[1]) && track_.tree.IsLeaf(node.range[2])) {
      MeasureLeaf(node.range);
      return;
    }
    queue_.push(bounded);
  }

  void Split(const Node& node) {
    int widest = -1;
    double extent = -1.0;
    for (int k = 0; k < (outAndReturn_ ? 2 : 3); ++k) {
      if (track_.tree.IsLeaf(node.range[k])) continue;
      const Box& box = track_.tree[node.range[k]];
      const double e = std::max(box.maxX - box.minX, box.maxY - box.minY);
      if (e > extent) {
        extent = e;
        widest = k;
      }
    }
    for (std::uint32_t half = 0; half < 2; ++half) {
      Node child = node;
      child.range[widest] = 2 * node.range[widest] + half;
      if (outAndReturn_) child.range[2] = child.range[1];
      Consider(child);
    }
  }

  // An upper bound of the free distance: the same stages over about 512 blocks of consecutive
  // fixes, each hop taken as the farthest the two blocks' boxes reach (both ends may lie in
  // one block).
  double FreeDistanceReach() const {
    const BoxTree& tree = track_.tree;
    std::size_t first = 1;
    while (first * 2 <= 512 && first * 2 <= tree.Leaves()) first *= 2;
    std::vector<const Box*> blocks;
    for (std::size_t node = first; node < 2 * first; ++node) {
      if (tree[node].minX <= tree[node].maxX) blocks.push_back(&tree[node]);
    }
    std::vector<double> reach(blocks.size(), 0.0);
    for (int m = 1; m <= 4; ++m) {
      std::vector<double> next(blocks.size(), 0.0);
      for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (std::size_t a = 0; a <= b; ++a) {
          next[b] = std::max(next[b], reach[a] + EllipsoidReach(*blocks[a], *blocks[b]));
        }
      }
      reach = std::move(next);
    }
    return *std::max_element(reach.begin(), reach.end());
  }

  // The free distance by stages: best[m][k] is the longest path of m legs ending at fix k,
  // the largest best[m-1][j] + d(j, k) over j < k, found by a search of the fix tree whose
  // nodes are bounded by their largest best[m-1] plus the farthest their box reaches.
  ExactResult RunFreeDistance() {
    const std::size_t n = points_.size();
    const std::size_t leaves = track_.tree.Leaves();
    std::vector<double> previous(n, 0.0);
    std::array<std::vector<std::uint32_t>, 4> from;
    std::vector<double> nodeMax(2 * leaves, -HUGE_VAL);
    for (int m = 1; m <= 4; ++m) {
      // Fixes before m - 1 cannot end a path of m - 1 legs.
      std::fill(nodeMax.begin(), nodeMax.end(), -HUGE_VAL);
      for (std::size_t j = static_cast<std::size_t>(m - 1); j < n; ++j) nodeMax[leaves + j] = previous[j];
      for (std::size_t i = leaves - 1; i > 0; --i) nodeMax[i] = std::max(nodeMax[2 * i], nodeMax[2 * i + 1]);
      std::vector<double> current(n, -HUGE_VAL);
      from[static_cast<std::size_t>(m - 1)].assign(n, 0);
      std::size_t hint = static_cast<std::size_t>(m - 1);
      for (std::size_t k = static_cast<std::size_t>(m); k < n; ++k) {
        if (options_.halt != nullptr && (k & 255) == 0 && options_.halt->load(std::memory_order_relaxed)) {
          return best_;  // not proven
        }
        Farthest found{previous[hint] + Ellipsoid(hint, k), hint};
        if (previous[k - 1] + Ellipsoid(k - 1, k) > found.distance) {
          found = {previous[k - 1] + Ellipsoid(k - 1, k), k - 1};
        }
        SearchWeighted(k, nodeMax, previous, 1, found);
        current[k] = found.distance;
        from[static_cast<std::size_t>(m - 1)][k] = static_cast<std::uint32_t>(found.index);
        hint = found.index;
      }
      previous = std::move(current);
    }
    std::size_t end = 4;
    for (std::size_t k = 4; k < n; ++k) {
      if (previous[k] > previous[end]) end = k;
    }
    std::array<std::size_t, 5> p{};
    p[4] = end;
    for (int m = 4; m >= 1; --m) {
      p[static_cast<std::size_t>(m - 1)] = from[static_cast<std::size_t>(m - 1)][p[static_cast<std::size_t>(m)]];
    }
    best_.found = true;
    best_.proven = true;
    best_.nodes = nodes_;
    best_.points = p;
    best_.distance = 0.0;
    for (int k = 0; k < 4; ++k) {
      best_.legs[static_cast<std::size_t>(k)] = Ellipsoid(p[static_cast<std::size_t>(k)], p[static_cast<std::size_t>(k) + 1]);
      best_.distance += best_.legs[static_cast<std::size_t>(k)];
    }
    return best_;
  }

  void SearchWeighted(std::size_t k, const std::vector<double>& nodeMax, const std::vector<double>& weight,
                      std::size_t node, Farthest& best) {
    ++nodes_;
    if (track_.tree.First(node) >= static_cast<std::int64_t>(k) || nodeMax[node] == -HUGE_VAL) return;
    const Box here{track_.plane[k].x, track_.plane[k].x, track_.plane[k].y, track_.plane[k].y};
    if (nodeMax[node] + EllipsoidReach(here, track_.tree[node]) <= best.distance) return;
    if (track_.tree.IsLeaf(node)) {
      const auto j = static_cast<std::size_t>(track_.tree.First(node));
      if (weight[j] + EllipsoidReach(here, track_.tree[node]) <= best.distance) return;
      const double value = weight[j] + Ellipsoid(j, k);
      if (value > best.distance) best = {value, j};
      return;
    }
    const std::size_t left = 2 * node;
    const double leftReach = nodeMax[left] + FarthestBetween(here, track_.tree[left]);
    const double rightReach = nodeMax[left + 1] + FarthestBetween(here, track_.tree[left + 1]);
    const bool leftFirst = leftReach >= rightReach;
    SearchWeighted(k, nodeMax, weight, leftFirst ? left : left + 1, best);
    SearchWeighted(k, nodeMax, weight, leftFirst ? left + 1 : left, best);
  }

  // The farthest fix from fix q among fixes first..last on the ellipsoid.
  Farthest FarthestFrom(std::size_t q, std::int64_t first, std::int64_t last, std::size_t node = 1) const {
    Farthest best;
    SearchFarthest(q, first, last, node, best);
    return best;
  }
  void SearchFarthest(std::size_t q, std::int64_t first, std::int64_t last, std::size_t node,
                      Farthest& best) const {
    if (track_.tree.Last(node) < first || track_.tree.First(node) > last) return;
    const Box& box = track_.tree[node];
    if (box.minX > box.maxX) return;  // past the last fix
    const Box here{track_.plane[q].x, track_.plane[q].x, track_.plane[q].y, track_.plane[q].y};
    if (EllipsoidReach(here, box) <= best.distance) return;
    if (track_.tree.IsLeaf(node)) {
      const auto index = static_cast<std::size_t>(track_.tree.First(node));
      const double d = Ellipsoid(q, index);
      if (d > best.distance) best = {d, index};
      return;
    }
    const std::size_t left = 2 * node;
    const bool leftFirst = FarthestBetween(here, track_.tree[left]) >= FarthestBetween(here, track_.tree[left + 1]);
    SearchFarthest(q, first, last, leftFirst ? left : left + 1, best);
    SearchFarthest(q, first, last, leftFirst ? left + 1 : left, best);
  }

  double ClosingBound(std::size_t before, std::size_t after) const {
    const std::size_t i = before / track_.block;
    const std::size_t j = after / track_.block;
    return i < j ? track_.closingBound[i * track_.blocks + j] : 0.0;
  }

  // The shortest hop on the ellipsoid from a fix at or before `before` to one at or after
  // `after`, when it is below `limit`; otherwise nothing (the hop is at least `limit`).
  std::optional<std::pair<double, std::array<std::size_t, 2>>> ClosestBelow(std::size_t before,
                                                                           std::size_t after,
                                                                           double limit) {
    KnownClosing& known = closing_[Key(before, after)];
    if (known.exact) {
      if (known.distance < limit) return std::make_pair(known.distance, known.at);
      return std::nullopt;
    }
    if (known.distance >= limit) return std::nullopt;  // at least that far
    double best = limit;
    std::array<std::size_t, 2> at{points_.size(), points_.size()};
    SearchClosest(before, after, 1, 1, best, at, false);
    if (at[0] < points_.size()) {
      known = {true, best, at};
      return std::make_pair(best, at);
    }
    known = {false, limit, at};
    return std::nullopt;
  }

  // Whether some hop from a fix at or before `before` to one at or after `after` is shorter
  // than `limit` (the search stops at the first one found).
  bool ClosingUnder(std::size_t before, std::size_t after, double limit) {
    KnownClosing& known = closing_[Key(before, after)];
    if (known.distance >= limit && !known.exact) return false;  // at least that far
    if (known.exact) return known.distance < limit;
    if (known.witness < limit) return true;
    double best = limit;
    std::array<std::size_t, 2> at{points_.size(), points_.size()};
    SearchClosest(before, after, 1, 1, best, at, true);
    if (at[0] < points_.size()) {
      known.witness = best;
      return true;
    }
    known.distance = limit;
    return false;
  }

  static std::uint64_t Key(std::size_t before, std::size_t after) {
    return (static_cast<std::uint64_t>(before) << 32) | after;
  }

  // The shortest hop below `best` (or, with `any`, the first hop found below it).
  void SearchClosest(std::size_t before, std::size_t after, std::size_t a, std::size_t b, double& best,
                     std::array<std::size_t, 2>& at, bool any) const {
    if (any && at[0] < points_.size()) return;
    if (track_.tree.First(a) > static_cast<std::int64_t>(before) || track_.tree.Last(b) < static_cast<std::int64_t>(after)) return;
    const Box& boxA = track_.tree[a];
    const Box& boxB = track_.tree[b];
    if (boxA.minX > boxA.maxX || boxB.minX > boxB.maxX) return;
    const double near = NearestBetween(boxA, boxB) / track_.stretch;
    if (near >= best) return;
    const bool leafA = track_.tree.IsLeaf(a);
    const bool leafB = track_.tree.IsLeaf(b);
    if (leafA && leafB) {
      const auto i = static_cast<std::size_t>(track_.tree.First(a));
      const auto j = static_cast<std::size_t>(track_.tree.First(b));
      const double d = Ellipsoid(i, j);
      if (d < best) {
        best = d;
        at = {i, j};
      }
      return;
    }
    const double extentA = leafA ? -1.0 : std::max(boxA.maxX - boxA.minX, boxA.maxY - boxA.minY);
    const double extentB = leafB ? -1.0 : std::max(boxB.maxX - boxB.minX, boxB.maxY - boxB.minY);
    if (extentA >= extentB) {
      const bool leftFirst = NearestBetween(track_.tree[2 * a], boxB) <= NearestBetween(track_.tree[2 * a + 1], boxB);
      SearchClosest(before, after, leftFirst ? 2 * a : 2 * a + 1, b, best, at, any);
      SearchClosest(before, after, leftFirst ? 2 * a + 1 : 2 * a, b, best, at, any);
    } else {
      const bool leftFirst = NearestBetween(boxA, track_.tree[2 * b]) <= NearestBetween(boxA, track_.tree[2 * b + 1]);
      SearchClosest(before, after, a, leftFirst ? 2 * b : 2 * b + 1, best, at, any);
      SearchClosest(before, after, a, leftFirst ? 2 * b + 1 : 2 * b, best, at, any);
    }
  }

  void MeasureLeaf(const std::array<std::uint32_t, 3>& r) {
    const auto p1 = static_cast<std::size_t>(track_.tree.First(r[0]));
    const auto p2 = static_cast<std::size_t>(track_.tree.First(r[1]));
    const auto p3 = static_cast<std::size_t>(track_.tree.First(r[2]));
    if (outAndReturn_) {
      if (p1 < p2) MeasureCourse({p1, p2, p2}, {Ellipsoid(p1, p2), Ellipsoid(p1, p2), 0.0});
      return;
    }
    if (!(p1 < p2 && p2 < p3)) return;
    const double a = Ellipsoid(p1, p2);
    const double b = Ellipsoid(p2, p3);
    if (!triangle_) {
      const auto last = static_cast<std::int64_t>(track_.tree.Count()) - 1;
      auto& head = heads_[p1];
      if (head.distance < 0.0) head = FarthestFrom(p1, 0, static_cast<std::int64_t>(p1) - 1);
      auto& tail = tails_[p3];
      if (tail.distance < 0.0) tail = FarthestFrom(p3, static_cast<std::int64_t>(p3) + 1, last);
      Offer({head.index, p1, p2, p3, tail.index}, {head.distance, a, b, tail.distance}, 0.0,
            head.distance + a + b + tail.distance);
      return;
    }
    MeasureCourse({p1, p2, p3}, {a, b, Ellipsoid(p3, p1)});
  }

  // A closed course by its corners (an out-and-return's second one twice) and sides: its best
  // closing, when one is allowed and the course can still beat the best.
  void MeasureCourse(const std::array<std::size_t, 3>& corner, const std::array<double, 3>& side) {
    const auto [a, b, c] = side;
    const auto [p1, p2, p3] = corner;
    const double perimeter = a + b + c;
    if (perimeter <= ToBeat()) return;
    if (!ShapeFits(a, b, c)) return;
    const double limit = ClosingLimit(perimeter);
    if (ClosingBound(p1, p3) >= limit) return;
    const auto closing = ClosestBelow(p1, p3, limit);
    if (!closing) return;
    const auto& [hop, at] = *closing;
    Offer({at[0], p1, p2, p3, at[1]}, {a, b, outAndReturn_ ? 0.0 : c, 0.0}, hop, perimeter - Penalty(hop));
  }

  void Offer(const std::array<std::size_t, 5>& p, const std::array<double, 4>& legs, double closing,
             double distance) {
    if (best_.found && distance <= best_.distance) return;
    best_.found = true;
    best_.points = p;
    best_.legs = legs;
    best_.closing = closing;
    best_.distance = distance;
  }

  // A known choice, measured as given (its rules checked).
  void MeasureSeed(const std::array<std::size_t, 5>& p) {
    const std::size_t n = points_.size();
    for (int k = 0; k < 5; ++k) {
      if (p[k] >= n) return;
    }
    if (!triangle_) {
      if (!(p[0] < p[1] && p[1] < p[2] && p[2] < p[3] && p[3] < p[4])) return;
      std::array<double, 4> legs{};
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += legs[k] = Ellipsoid(p[k], p[k + 1]);
      Offer(p, legs, 0.0, sum);
      return;
    }
    const bool ordered = outAndReturn_ ? p[1] < p[2] && p[2] == p[3] : p[1] < p[2] && p[2] < p[3];
    if (!(ordered && p[0] <= p[1] && p[3] <= p[4])) return;
    const double a = Ellipsoid(p[1], p[2]);
    const double b = outAndReturn_ ? a : Ellipsoid(p[2], p[3]);
    const double c = outAndReturn_ ? 0.0 : Ellipsoid(p[3], p[1]);
    const double perimeter = a + b + c;
    if (!ShapeFits(a, b, c)) return;
    const double closing = Ellipsoid(p[0], p[4]);
    if (closing > Allowed(perimeter)) return;
    Offer(p, {a, b, c, 0.0}, closing, perimeter - Penalty(closing));
  }

  const std::vector<TrackPoint>& points_;
  const ExactTrack::Prepared& track_;
  ExactRules rules_;
  ExactOptions options_;
  bool triangle_;      // a closed course: a triangle or an out-and-return
  bool outAndReturn_;
  bool shaped_;        // a triangle with side shares to check
  std::priority_queue<Node> queue_;
  struct KnownClosing {
    bool exact = false;     // distance is the shortest hop; otherwise a lower bound
    double distance = 0.0;
    std::array<std::size_t, 2> at{};
    double witness = HUGE_VAL;  // some hop is this short
  };
  std::unordered_map<std::uint64_t, KnownClosing> closing_;
  std::unordered_map<std::size_t, Farthest> heads_, tails_;
  ExactResult best_;
  std::uint64_t nodes_ = 0;
};

}  // namespace

ExactTrack::ExactTrack(const std::vector<TrackPoint>& points) : prepared_(std::make_unique<const Prepared>(points)) {}
ExactTrack::~ExactTrack() = default;

ExactResult ExactOptimum(const ExactTrack& track, const ExactRules& rules,
                         std::span<const std::array<std::size_t, 5>> seeds, const ExactOptions& options) {
  const std::vector<TrackPoint>& points = track.prepared().points;
  if (points.size() < 5) return {};
  std::vector<std::array<std::size_t, 5>> offered(seeds.begin(), seeds.end());
  // A first bound from every few fixes: the optimum over about 600 of them is found in
  // moments and lies close to the whole track's.
  constexpr std::size_t kCoarsePoints = 600;
  // (The free distance needs no bound to start from, only a path to show when it cannot
  // beat the floor.)
  const bool coarseHelps =
      rules.kind != ExactKind::FreeDistance || options.floor > -HUGE_VAL || options.nodeLimit == 0;
  if (options.coarseFirst && coarseHelps && points.size() > 2 * kCoarsePoints) {
    const std::size_t step = points.size() / kCoarsePoints;
    std::vector<TrackPoint> coarse;
    coarse.reserve(points.size() / step + 1);
    for (std::size_t i = 0; i < points.size(); i += step) coarse.push_back(points[i]);
    ExactOptions coarseOptions = options;
    coarseOptions.floor = -HUGE_VAL;
    // A quick pass: a bounded search of the few fixes (its best so far is bound enough).
    coarseOptions.nodeLimit = 200000;
    const ExactResult first = ExactOptimum(ExactTrack(coarse), rules, {}, coarseOptions);
    if (first.found) {
      std::array<std::size_t, 5> mapped{};
      for (std::size_t k = 0; k < 5; ++k) mapped[k] = first.points[k] * step;
      offered.push_back(mapped);
    }
  }
  Solver solver(track.prepared(), rules, options);
  return solver.Run(offered);
}

ExactResult ExactOptimum(const std::vector<TrackPoint>& points, const ExactRules& rules,
                         std::span<const std::array<std::size_t, 5>> seeds, const ExactOptions& options) {
  if (points.size() < 5) return {};
  return ExactOptimum(ExactTrack(points), rules, seeds, options);
}

}  // namespace logwell
