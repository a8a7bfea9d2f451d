#include "optimise/distance_tables.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <new>

#include "geo/units.h"

namespace logwell {

std::vector<std::uint32_t> ThinnedIndices(std::size_t count) {
  std::vector<std::uint32_t> kept;
  if (count <= kMaxReducedPoints) {
    kept.resize(count);
    for (std::size_t k = 0; k < count; ++k) kept[k] = static_cast<std::uint32_t>(k);
    return kept;
  }
  // An accumulator that gains 1999 per point and gives up `count` per kept point keeps exactly
  // 2000 points: the first (the accumulator starts full) and the last.
  kept.reserve(kMaxReducedPoints);
  std::uint64_t accumulator = count;
  for (std::size_t k = 0; k < count; ++k) {
    accumulator += kMaxReducedPoints - 1;
    if (accumulator >= count) {
      accumulator -= count;
      kept.push_back(static_cast<std::uint32_t>(k));
    }
  }
  return kept;
}

double TrackCentralMeridian(const std::vector<TrackPoint>& points) {
  double west = 0.0;
  double east = 0.0;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const double longitude = SemicirclesToRadians(points[k].longitude);
    if (k == 0 || longitude < west) west = longitude;
    if (k == 0 || longitude > east) east = longitude;
  }
  return (west + east) / 2.0;
}

DistanceTables::BuildStatus DistanceTables::Build(const std::vector<TrackPoint>& points,
                                                  std::int32_t closingStart,
                                                  std::optional<DistanceTables>& out,
                                                  const std::atomic<bool>* halt,
                                                  std::atomic<int>* progressDone) {
  out.reset();
  try {
    DistanceTables tables;
    tables.fullIndex_ = ThinnedIndices(points.size());
    const int n = static_cast<int>(tables.fullIndex_.size());
    tables.n_ = n;
    const auto size = static_cast<std::size_t>(n);

    const double centralMeridian = TrackCentralMeridian(points);
    tables.plane_.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
      const TrackPoint& point = points[tables.fullIndex_[i]];
      tables.plane_[i] = LocalTransverseMercator(
          ToGeoPoint(SemicirclePoint{point.latitude, point.longitude}), centralMeridian);
    }

    tables.square_.assign(size * size, 0);
    tables.maxFrom_.assign(size, 0);
    tables.maxTo_.assign(size, 0);
    tables.maxFromArg_.resize(size);
    tables.maxToArg_.resize(size);
    for (int i = 0; i < n; ++i) {
      tables.maxFromArg_[static_cast<std::size_t>(i)] = i + 1 < n ? i + 1 : i;
      tables.maxToArg_[static_cast<std::size_t>(i)] = i > 0 ? i - 1 : 0;
    }
    std::int64_t entries = 0;
    for (int i = 0; i < n; ++i) {
      if (halt != nullptr && halt->load(std::memory_order_relaxed)) return BuildStatus::Halted;
      std::int32_t* row = tables.square_.data() + static_cast<std::size_t>(i) * size;
      const PlanePoint from = tables.plane_[static_cast<std::size_t>(i)];
      for (int j = i; j < n; ++j) {
        const PlanePoint to = tables.plane_[static_cast<std::size_t>(j)];
        const double dx = to.x - from.x;
        const double dy = to.y - from.y;
        const auto d = static_cast<std::int32_t>(std::sqrt(dx * dx + dy * dy) + 0.5);
        row[j] = d;
        tables.square_[static_cast<std::size_t>(j) * size + static_cast<std::size_t>(i)] = d;
        // Strictly greater: among equal distances the first partner found stays.
        if (d > tables.maxFrom_[static_cast<std::size_t>(i)]) {
          tables.maxFrom_[static_cast<std::size_t>(i)] = d;
          tables.maxFromArg_[static_cast<std::size_t>(i)] = j;
        }
        if (d > tables.maxTo_[static_cast<std::size_t>(j)]) {
          tables.maxTo_[static_cast<std::size_t>(j)] = d;
          tables.maxToArg_[static_cast<std::size_t>(j)] = i;
        }
      }
      if (progressDone != nullptr) {
        const std::int64_t before = entries / 100000;
        entries += n - i;
        progressDone->fetch_add(static_cast<int>(entries / 100000 - before),
                                std::memory_order_relaxed);
      }
    }
    tables.rowStart_.resize(size);
    std::ptrdiff_t start = 0;
    for (int a = 0; a < n; ++a) {
      tables.rowStart_[static_cast<std::size_t>(a)] = start;
      start += n - a - 1;
    }
    tables.BuildClosing(closingStart);
    tables.BuildColumnMax();
    tables.BuildBlockMax();
    out.emplace(std::move(tables));
    return BuildStatus::Ok;
  } catch (const std::bad_alloc&) {
    return BuildStatus::NoMemory;
  }
}

void DistanceTables::BuildClosing(std::int32_t closingStart) {
  const auto cells = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_ + 1) / 2;
  closing_.assign(cells, 0);
  closingArg_.assign(cells, 0);
  for (int i = 0; i + 1 < n_; ++i) {
    std::int32_t best = closingStart;
    std::uint32_t bestArg = 0;
    for (int k = n_ - 1; k > i; --k) {
      const std::int32_t direct = D(i, k);
      if (direct < best) {
        best = direct;
        bestArg = static_cast<std::uint32_t>(i) * 65536u + static_cast<std::uint32_t>(k);
      }
      if (i > 0 && Closing(i - 1, k) < best) {
        best = Closing(i - 1, k);
        bestArg = ClosingArg(i - 1, k);
      }
      closing_[TriangleIndex(i, k)] = best;
      closingArg_[TriangleIndex(i, k)] = bestArg;
    }
  }
}

void DistanceTables::BuildColumnMax() {
  const auto cells = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_ + 1) / 2;
  columnMax_.assign(cells, 0);
  for (int c = 1; c < n_; ++c) {
    const std::int32_t* column = Row(c);  // d(b, c) = d(c, b)
    std::int32_t best = 0;
    for (int a = c - 1; a >= 0; --a) {
      columnMax_[TriangleIndex(a, c)] = best;  // over b in a+1 .. c-1
      best = std::max(best, column[a]);
    }
  }
}

void DistanceTables::BuildBlockMax() {
  blocks_ = (n_ + kDistanceBlock - 1) / kDistanceBlock;
  blockMax_.assign(static_cast<std::size_t>(n_) * static_cast<std::size_t>(blocks_), 0);
  blockMin_.assign(blockMax_.size(), INT32_MAX);
  longest_ = 0;
  for (int i = 0; i < n_; ++i) {
    const std::int32_t* row = Row(i);
    std::int32_t* maxima = blockMax_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_);
    std::int32_t* minima = blockMin_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_);
    for (int j = 0; j < n_; ++j) {
      std::int32_t& high = maxima[j / kDistanceBlock];
      high = std::max(high, row[j]);
      std::int32_t& low = minima[j / kDistanceBlock];
      low = std::min(low, row[j]);
    }
    longest_ = std::max(longest_, maxFrom_[static_cast<std::size_t>(i)]);
  }
}

}  // namespace logwell
