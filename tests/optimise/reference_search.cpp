#include "reference_search.h"

namespace logwell::testing {

void PlainFreeDistances(const DistanceTables& t, ReducedWinners& w) {
  const int n = t.Count();
  if (n >= 2) {
    std::int64_t best = -1;
    for (int i = 0; i <= n - 2; ++i) {
      if (t.MaxFrom(i) >= best) {
        best = t.MaxFrom(i);
        w.two = {i, t.MaxFromArg(i)};
      }
    }
    w.twoScore = best;
  }
  if (n >= 3) {
    std::int64_t best = -1;
    for (int k = 1; k <= n - 2; ++k) {
      if (t.MaxTo(k) + t.MaxFrom(k) >= best) {
        best = t.MaxTo(k) + t.MaxFrom(k);
        w.three = {t.MaxToArg(k), k, t.MaxFromArg(k)};
      }
    }
    w.threeScore = best;
  }
  if (n >= 4) {
    std::int64_t best = -1;
    for (int p = 1; p <= n - 3; ++p) {
      for (int q = p + 1; q <= n - 2; ++q) {
        const std::int64_t score = t.MaxTo(p) + t.D(p, q) + t.MaxFrom(q);
        if (score >= best) {
          best = score;
          w.four = {t.MaxToArg(p), p, q, t.MaxFromArg(q)};
        }
      }
    }
    w.fourScore = best;
  }
  if (n >= 5) {
    std::int64_t best = -1;
    for (int m = 2; m <= n - 3; ++m) {
      std::int64_t left = -1, right = -1;
      int p = 0, q = 0;
      for (int k = 1; k <= m - 1; ++k) {
        if (t.MaxTo(k) + t.D(k, m) >= left) {
          left = t.MaxTo(k) + t.D(k, m);
          p = k;
        }
      }
      for (int k = m + 1; k <= n - 2; ++k) {
        if (t.D(m, k) + t.MaxFrom(k) >= right) {
          right = t.D(m, k) + t.MaxFrom(k);
          q = k;
        }
      }
      if (left + right >= best) {
        best = left + right;
        w.five = {t.MaxToArg(p), p, m, q, t.MaxFromArg(q)};
      }
    }
    w.fiveScore = best;
  }
}

bool PlainAnalysisOutAndReturn(const DistanceTables& t, std::int32_t gap, std::array<int, 3>& points,
                               std::int64_t& score) {
  const int n = t.Count();
  std::int64_t best = -999999999;
  for (int i = 0; i <= n - 3; ++i) {
    for (int k = i + 2; k <= n - 1; ++k) {
      if (!(t.D(i, k) < gap)) continue;
      for (int j = i + 1; j <= k - 1; ++j) {
        const std::int64_t candidate = 2 * t.D(i, j) - t.D(i, k);
        if (candidate >= best) {
          best = candidate;
          points = {i, j, k};
        }
      }
    }
  }
  score = best;
  return best >= 0;
}

TriangleSearchResult PlainTriangles(const DistanceTables& t, TriangleRule rule, std::int32_t gap,
                                    const TriangleSearchHooks& hooks) {
  const int n = t.Count();
  const bool olc = rule == TriangleRule::ClosingBelowFifthOfPerimeter;
  TriangleSearchResult result;
  std::int64_t best = olc ? 0 : -1;
  std::int64_t bestFai = best;
  for (int a = 0; a <= n - 3; ++a) {
    if (hooks.halt != nullptr && hooks.halt->load()) {
      result.halted = true;
      break;
    }
    for (int c = a + 2; c <= n - 1; ++c) {
      const std::int64_t g = t.Closing(a, c);
      if (!olc && !(g < gap)) continue;
      for (int b = a + 1; b <= c - 1; ++b) {
        if (olc && !(t.D(a, b) + t.D(b, c) > 5 * g - t.D(a, c))) continue;
        const std::int64_t perimeter = t.D(a, b) + t.D(b, c) + t.D(a, c);
        const std::int64_t score = perimeter - g;
        if (score >= best) {
          best = score;
          result.free = {score, a, b, c};
        }
        const std::int64_t minLeg = 7 * perimeter / 25;
        if (score >= bestFai && t.D(a, b) >= minLeg && t.D(b, c) >= minLeg && t.D(a, c) >= minLeg) {
          bestFai = score;
          result.fai = {score, a, b, c};
        }
      }
    }
  }
  return result;
}

OlcOutAndReturn PlainOlcOutAndReturn(const DistanceTables& t, std::int32_t closing) {
  OlcOutAndReturn result;
  const int n = t.Count();
  std::int64_t best = 0;
  for (int a = 0; a <= n - 3; ++a) {
    for (int c = a + 2; c <= n - 1; ++c) {
      if (!(t.D(a, c) < closing)) continue;
      for (int b = a + 1; b <= c - 1; ++b) {
        if (t.D(a, b) + t.D(b, c) >= best) {
          best = t.D(a, b) + t.D(b, c);
          result.points = {a, b, c};
        }
      }
    }
  }
  result.score = best;
  result.found = best >= 1;
  return result;
}

const DistanceSearchStrategy& PlainSearch() {
  static const DistanceSearchStrategy strategy{&PlainFreeDistances, &PlainAnalysisOutAndReturn,
                                               &PlainTriangles};
  return strategy;
}

}  // namespace logwell::testing
