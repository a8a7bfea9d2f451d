#pragma once
// The common work area of both optimisers: the track thinned to at most 2000 points and laid
// flat about its own central meridian, the integer distances between every pair of those
// points, their running maxima, and the closing table that gives, for a leg from reduced point
// a to reduced point c, the shortest hop between a start at or before a and a finish at or
// after c.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "geo/projection.h"
#include "model/track_point.h"

namespace logwell {

inline constexpr std::size_t kMaxReducedPoints = 2000;
// The reduced points are grouped in blocks of this many consecutive points for the block
// maxima, which bound whole runs of corners at once.
inline constexpr int kDistanceBlock = 32;

// The full-track indices kept by the thinning: every point of a track of up to 2000 points;
// of a longer one exactly 2000, the first and the last among them, spread evenly.
std::vector<std::uint32_t> ThinnedIndices(std::size_t count);

// The middle of the track's longitudes (radians): the central meridian that lays it flat.
double TrackCentralMeridian(const std::vector<TrackPoint>& points);

// The closing table's running minimum starts here; the two optimisers have always used
// different values, which never matter once a row holds a distance.
inline constexpr std::int32_t kAnalysisClosingStart = 999999999;
inline constexpr std::int32_t kOlcClosingStart = 2147483647;

class DistanceTables {
 public:
  enum class BuildStatus { Ok, Halted, NoMemory };

  // Thins, projects and fills every table. `halt` is checked before each matrix row;
  // `rowsDone`, when given, counts the matrix entries done in units of 100000.
  static BuildStatus Build(const std::vector<TrackPoint>& points, std::int32_t closingStart,
                           std::optional<DistanceTables>& out,
                           const std::atomic<bool>* halt = nullptr,
                           std::atomic<int>* progressDone = nullptr);

  int Count() const { return n_; }
  std::uint32_t FullIndex(int i) const { return fullIndex_[static_cast<std::size_t>(i)]; }
  const PlanePoint& Plane(int i) const { return plane_[static_cast<std::size_t>(i)]; }

  // d(i, j): the plane distance in whole metres (rounded half up); symmetric, d(i, i) = 0.
  std::int32_t D(int i, int j) const {
    return square_[static_cast<std::size_t>(i) * static_cast<std::size_t>(n_) +
                   static_cast<std::size_t>(j)];
  }
  // Row i of the symmetric matrix: Row(i)[j] = d(i, j), contiguous in j.
  const std::int32_t* Row(int i) const {
    return square_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n_);
  }

  std::int32_t MaxFrom(int i) const { return maxFrom_[static_cast<std::size_t>(i)]; }
  int MaxFromArg(int i) const { return maxFromArg_[static_cast<std::size_t>(i)]; }
  std::int32_t MaxTo(int j) const { return maxTo_[static_cast<std::size_t>(j)]; }
  int MaxToArg(int j) const { return maxToArg_[static_cast<std::size_t>(j)]; }

  // max over j in block k (points k * kDistanceBlock ...) of d(i, j).
  std::int32_t BlockMax(int i, int k) const {
    return blockMax_[static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_) +
                     static_cast<std::size_t>(k)];
  }
  const std::int32_t* BlockMaxRow(int i) const {
    return blockMax_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_);
  }
  // min over j in block k of d(i, j), the same way.
  const std::int32_t* BlockMinRow(int i) const {
    return blockMin_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(blocks_);
  }
  // The largest distance in the matrix.
  std::int32_t Longest() const { return longest_; }

  // Defined for a < c.
  std::int32_t Closing(int a, int c) const { return closing_[TriangleIndex(a, c)]; }
  std::uint32_t ClosingArg(int a, int c) const { return closingArg_[TriangleIndex(a, c)]; }
  // max over a < b < c of d(b, c), defined for a < c (0 when c = a + 1): a bound that lets the
  // searches skip (a, c) pairs that cannot beat what they already have.
  std::int32_t ColumnMaxBetween(int a, int c) const { return columnMax_[TriangleIndex(a, c)]; }
  // The rows of the two triangular tables for a fixed a: element c at RowBase(a) + c.
  const std::int32_t* ClosingRow(int a) const { return closing_.data() + RowBase(a); }
  const std::int32_t* ColumnMaxRow(int a) const { return columnMax_.data() + RowBase(a); }

 private:
  // The triangular tables are stored row by row, diagonal included: element (a, c), a <= c,
  // sits at rowStart[a] + c, with rowStart[0] = 0 and rowStart[a+1] = rowStart[a] + (n - a) - 1.
  std::ptrdiff_t RowBase(int a) const { return rowStart_[static_cast<std::size_t>(a)]; }
  std::size_t TriangleIndex(int a, int c) const {
    return static_cast<std::size_t>(RowBase(a) + c);
  }

  void BuildClosing(std::int32_t closingStart);
  void BuildColumnMax();
  void BuildBlockMax();

  int n_ = 0;
  std::vector<PlanePoint> plane_;
  std::vector<std::uint32_t> fullIndex_;
  std::vector<std::int32_t> square_;
  std::vector<std::int32_t> maxFrom_, maxTo_;
  std::vector<int> maxFromArg_, maxToArg_;
  std::vector<std::ptrdiff_t> rowStart_;
  std::vector<std::int32_t> closing_;
  std::vector<std::uint32_t> closingArg_;
  std::vector<std::int32_t> columnMax_;
  int blocks_ = 0;
  std::vector<std::int32_t> blockMax_;
  std::vector<std::int32_t> blockMin_;
  std::int32_t longest_ = 0;
};

// The full-track indices of reduced points.
template <std::size_t K>
std::array<std::size_t, K> MapToTrack(const DistanceTables& tables, const std::array<int, K>& reduced) {
  std::array<std::size_t, K> full{};
  for (std::size_t k = 0; k < K; ++k) full[k] = tables.FullIndex(reduced[k]);
  return full;
}

}  // namespace logwell
