#include "optimise/distance_search.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace logwell {
namespace {

// The winner of one triangle kind while searching. A candidate wins over another when its
// score is higher or, at equal scores, when a plain loop over a, then c, then b would meet it
// later; this makes the result independent of the order in which pairs are visited.
struct Candidate {
  std::int64_t score = 0;
  int a = -1, c = -1, b = -1;  // -1: the start value, which any candidate of equal score beats
};

bool Beats(std::int64_t score, int a, int c, int b, const Candidate& best) {
  if (score != best.score) return score > best.score;
  return std::tie(a, c, b) > std::tie(best.a, best.c, best.b);
}

// Whether any candidate of the pair (a, c) with a score up to `bound` could still win.
bool PairCanWin(std::int64_t bound, int a, int c, const Candidate& best) {
  if (bound != best.score) return bound > best.score;
  return std::tie(a, c) >= std::tie(best.a, best.c);
}

void RaiseTo(std::atomic<std::int64_t>& shared, std::int64_t value) {
  std::int64_t current = shared.load(std::memory_order_relaxed);
  while (value > current &&
         !shared.compare_exchange_weak(current, value, std::memory_order_relaxed)) {
  }
}

// The largest d(a, b) + d(b, c) over b in [from, to): the inner loop of the triangle searches.
// It is built for AVX2 as well, picked at load time where the processor has it; the file is
// compiled with the vectoriser's dynamic cost model so that the plain build uses SSE2 too.
__attribute__((target_clones("avx2", "default"))) std::int32_t BestCornerSum(
    const std::int32_t* rowA, const std::int32_t* rowC, int from, int to) {
  std::int32_t best = INT_MIN;
  for (int b = from; b < to; ++b) best = std::max(best, rowA[b] + rowC[b]);
  return best;
}

// The largest corner sum s = d(a, b) + d(b, c) over b in [from, to) whose triangle has every
// side at least floor(7 P / 25), P = s + d(a, c); INT_MIN when none has. For whole metres
// floor(7 P / 25) <= x is 7 P <= 25 x + 24, which stays linear and branch-free. Exact in 32 bits
// while 25 times every distance fits (callers check kFaiVectorLimit).
constexpr std::int32_t kFaiVectorLimit = 80000000;  // metres
__attribute__((target_clones("avx2", "default"))) std::int32_t BestFaiCornerSum(
    const std::int32_t* rowA, const std::int32_t* rowC, int from, int to, std::int32_t dac) {
  std::int32_t best = INT_MIN;
  const std::int32_t base = 24 - 7 * dac;
  const std::int32_t closingRoom = 18 * dac + 24;
  for (int b = from; b < to; ++b) {
    const std::int32_t ab = rowA[b];
    const std::int32_t bc = rowC[b];
    const std::int32_t s = ab + bc;
    const bool fits = 18 * ab - 7 * bc + base >= 0 && 18 * bc - 7 * ab + base >= 0 &&
                      7 * s <= closingRoom;
    best = std::max(best, fits ? s : INT_MIN);
  }
  return best;
}

bool FaiFits(std::int64_t ab, std::int64_t bc, std::int64_t ac) {
  const std::int64_t minLeg = 7 * (ab + bc + ac) / 25;
  return ab >= minLeg && bc >= minLeg && ac >= minLeg;
}

ReducedTriangle ToTriangle(const Candidate& candidate) {
  if (candidate.a < 0) return {};
  return {candidate.score, candidate.a, candidate.b, candidate.c};
}

// The triangle search, shared by the threads that split the starts between them.
class TriangleSearcher {
 public:
  TriangleSearcher(const DistanceTables& tables, TriangleRule rule, std::int32_t gap,
                   const TriangleSearchHooks& hooks)
      : t_(tables), rule_(rule), gap_(gap), hooks_(hooks) {
    const std::int64_t start = rule == TriangleRule::ClosingBelowGap ? -1 : 0;
    initial_.score = start;
    sharedFree_.store(start);
    sharedFai_.store(start);
    vectorFai_ = tables.Longest() < kFaiVectorLimit;
  }

  TriangleSearchResult Run() {
    const int n = t_.Count();
    if (n < 3) return Finish({initial_}, {initial_});
    Candidate seedFree = initial_;
    Candidate seedFai = initial_;
    Seed(seedFree, seedFai);
    const int threads = std::max(1, std::min(hooks_.threads, n / 64 + 1));
    std::vector<Candidate> frees(static_cast<std::size_t>(threads), initial_);
    std::vector<Candidate> fais(static_cast<std::size_t>(threads), initial_);
    frees[0] = seedFree;
    fais[0] = seedFai;
    if (threads == 1) {
      Work(0, 1, frees[0], fais[0]);
    } else {
      std::vector<std::jthread> workers;
      for (int k = 1; k < threads; ++k) {
        workers.emplace_back([this, k, threads, &frees, &fais] {
          Work(k, threads, frees[static_cast<std::size_t>(k)], fais[static_cast<std::size_t>(k)]);
        });
      }
      Work(0, threads, frees[0], fais[0]);
    }
    return Finish(frees, fais);
  }

 private:
  TriangleSearchResult Finish(const std::vector<Candidate>& frees,
                              const std::vector<Candidate>& fais) const {
    Candidate free = initial_;
    Candidate fai = initial_;
    for (const auto& c : frees) {
      if (c.a >= 0 && Beats(c.score, c.a, c.c, c.b, free)) free = c;
    }
    for (const auto& c : fais) {
      if (c.a >= 0 && Beats(c.score, c.a, c.c, c.b, fai)) fai = c;
    }
    TriangleSearchResult result;
    result.free = ToTriangle(free);
    result.fai = ToTriangle(fai);
    result.halted = halted_.load();
    return result;
  }

  // A first good triangle from every 8th reduced point, so that the bounds prune from the start.
  void Seed(Candidate& free, Candidate& fai) {
    const int n = t_.Count();
    const int stride = std::max(1, n / 250);
    if (stride == 1) return;
    for (int a = 0; a + 2 < n; a += stride) {
      for (int c = a + 2; c < n; c += stride) {
        const std::int32_t g = t_.Closing(a, c);
        if (rule_ == TriangleRule::ClosingBelowGap && g >= gap_) continue;
        const std::int32_t dac = t_.D(a, c);
        for (int b = a + 1; b < c; b += stride) {
          Consider(a, b, c, g, dac, free, fai);
        }
      }
    }
    RaiseTo(sharedFree_, free.score);
    RaiseTo(sharedFai_, fai.score);
  }

  void Consider(int a, int b, int c, std::int32_t g, std::int32_t dac, Candidate& free,
                Candidate& fai) const {
    const std::int64_t dab = t_.D(a, b);
    const std::int64_t dbc = t_.D(b, c);
    const std::int64_t s = dab + dbc;
    if (rule_ == TriangleRule::ClosingBelowFifthOfPerimeter && !(s > 5ll * g - dac)) return;
    const std::int64_t perimeter = s + dac;
    const std::int64_t score = perimeter - g;
    if (Beats(score, a, c, b, free)) free = {score, a, c, b};
    if (FaiFits(dab, dbc, dac) && Beats(score, a, c, b, fai)) {
      fai = {score, a, c, b};
    }
  }

  void Work(int first, int step, Candidate& free, Candidate& fai) {
    const int n = t_.Count();
    for (int a = first; a + 2 < n; a += step) {
      if (hooks_.halt != nullptr && hooks_.halt->load(std::memory_order_relaxed)) {
        halted_.store(true);
        return;
      }
      SearchStart(a, free, fai);
      CountProgress(a);
    }
  }

  void SearchStart(int a, Candidate& free, Candidate& fai) {
    const int n = t_.Count();
    const std::int32_t* rowA = t_.Row(a);
    const std::int32_t* closingRow = t_.ClosingRow(a);
    const std::int32_t* columnMaxRow = t_.ColumnMaxRow(a);
    const bool olc = rule_ == TriangleRule::ClosingBelowFifthOfPerimeter;
    std::int64_t rowMax = 0;  // max over a < b < c of d(a, b)
    for (int c = a + 2; c < n; ++c) {
      rowMax = std::max<std::int64_t>(rowMax, rowA[c - 1]);
      const std::int32_t g = closingRow[c];
      if (!olc && g >= gap_) continue;
      const std::int64_t dac = rowA[c];
      const std::int64_t sBound = rowMax + columnMaxRow[c];
      const std::int64_t sFloor = olc ? 5ll * g - dac : LLONG_MIN;  // s must exceed this
      if (sBound <= sFloor) continue;

      const std::int64_t freeBound = sBound + dac - g;
      const bool freeOpen =
          PairCanWin(freeBound, a, c, free) && freeBound >= sharedFree_.load(std::memory_order_relaxed);
      // An FAI triangle needs floor(7P/25) <= d(a, c), which caps its perimeter.
      const std::int64_t perimeterCap = (25 * (dac + 1) - 1) / 7;
      const std::int64_t faiBound = std::min(sBound + dac, perimeterCap) - g;
      // An FAI corner needs 11 d(a, b) >= 7 d(a, c) - 24 and the same of d(b, c) (see BestCorner).
      const bool faiReach = 11 * rowMax >= 7 * dac - 24 && 11 * std::int64_t{columnMaxRow[c]} >= 7 * dac - 24;
      const bool faiOpen = faiReach &&
          PairCanWin(faiBound, a, c, fai) && faiBound >= sharedFai_.load(std::memory_order_relaxed);
      if (!freeOpen && !faiOpen) continue;

      const std::int32_t* rowC = t_.Row(c);
      if (freeOpen) {
        const std::int64_t need = std::max<std::int64_t>(
            sFloor + 1, std::max(free.score, sharedFree_.load(std::memory_order_relaxed)) - dac + g);
        const CornerPick pick = BestCorner<false>(a, c, static_cast<std::int32_t>(dac), need, rowA, rowC);
        if (pick.corner >= 0) {
          const std::int64_t score = pick.sum + dac - g;
          if (Beats(score, a, c, pick.corner, free)) {
            free = {score, a, c, pick.corner};
            RaiseTo(sharedFree_, score);
            ShowInterim(free);
          }
        }
      }
      if (faiOpen) {
        const std::int64_t need = std::max<std::int64_t>(
            sFloor + 1, std::max(fai.score, sharedFai_.load(std::memory_order_relaxed)) - dac + g);
        const CornerPick pick = vectorFai_
            ? BestCorner<true>(a, c, static_cast<std::int32_t>(dac), need, rowA, rowC)
            : PlainFaiCorner(a, c, dac, sFloor, rowA, rowC);
        if (pick.corner >= 0) {
          const std::int64_t score = pick.sum + dac - g;
          if (Beats(score, a, c, pick.corner, fai)) {
            fai = {score, a, c, pick.corner};
            RaiseTo(sharedFai_, score);
          }
        }
      }
    }
  }

  struct CornerPick {
    std::int64_t sum = 0;
    int corner = -1;  // -1: no corner reached the sum asked for
  };

  // The largest corner sum d(a, b) + d(b, c) of the pair (of an FAI triangle when `Fai`) and
  // the last corner b giving it, when it reaches `need`. Blocks of corners whose maxima cannot
  // reach `need`, or the best already found, are not visited: on flat flights most of them.
  template <bool Fai>
  CornerPick BestCorner(int a, int c, std::int32_t dac, std::int64_t need, const std::int32_t* rowA,
                        const std::int32_t* rowC) const {
    CornerPick pick;
    std::int64_t floor = need;  // a block must reach this to be visited
    const std::int32_t* blocksA = t_.BlockMaxRow(a);
    const std::int32_t* blocksC = t_.BlockMaxRow(c);
    const std::int32_t* minA = t_.BlockMinRow(a);
    const std::int32_t* minC = t_.BlockMinRow(c);
    for (int k = (a + 1) / kDistanceBlock; k <= (c - 1) / kDistanceBlock; ++k) {
      const std::int64_t reachA = blocksA[k];
      const std::int64_t reachC = blocksC[k];
      std::int64_t bound = reachA + reachC;
      if constexpr (Fai) {
        // Every side is at least floor(7 P / 25): 7 P <= 25 x + 24 for the shortest side x.
        // Both conditions on the corner's sides together ask 11 d(a, b) >= 7 d(a, c) - 24 and
        // the same of d(b, c): a block too close to a or to c has no corner at all.
        if (11 * reachA < 7 * std::int64_t{dac} - 24 || 11 * reachC < 7 * std::int64_t{dac} - 24) continue;
        // Nor one whose corners are all too far: d(a, c) at least floor(7 P / 25) asks
        // 7 d(a, b) <= 11 d(a, c) + 24, and the same of d(b, c).
        if (7 * std::int64_t{minA[k]} > 11 * std::int64_t{dac} + 24 ||
            7 * std::int64_t{minC[k]} > 11 * std::int64_t{dac} + 24) {
          continue;
        }
        const std::int64_t shortest = std::min<std::int64_t>({reachA, reachC, dac});
        bound = std::min(bound, (25 * shortest + 24) / 7 - dac);
      }
      if (bound < floor) continue;
      const int from = std::max(a + 1, k * kDistanceBlock);
      const int to = std::min(c, (k + 1) * kDistanceBlock);
      const std::int32_t found =
          Fai ? BestFaiCornerSum(rowA, rowC, from, to, dac) : BestCornerSum(rowA, rowC, from, to);
      if (found == INT_MIN || found < floor) continue;
      int corner = to - 1;
      while (rowA[corner] + rowC[corner] != found ||
             (Fai && !FaiFits(rowA[corner], rowC[corner], dac))) {
        --corner;
      }
      pick = {found, corner};
      floor = found;  // later blocks win ties, as later corners do
    }
    return pick;
  }

  // The FAI corner by the plain loop, for tracks whose distances are too long for BestCorner.
  static CornerPick PlainFaiCorner(int a, int c, std::int64_t dac, std::int64_t sFloor,
                                   const std::int32_t* rowA, const std::int32_t* rowC) {
    CornerPick pick;
    std::int64_t best = -1;
    for (int b = a + 1; b < c; ++b) {
      const std::int64_t s = std::int64_t{rowA[b]} + rowC[b];
      if (s < best || s <= sFloor) continue;
      if (FaiFits(rowA[b], rowC[b], dac)) {
        best = s;
        pick = {s, b};
      }
    }
    return pick;
  }

  void ShowInterim(const Candidate& free) {
    if (!hooks_.interim) return;
    std::lock_guard lock(interimMutex_);
    if (free.score > shownScore_ + (shownScore_ >> 4)) {
      shownScore_ = free.score;
      hooks_.interim(ToTriangle(free));
    }
  }

  void CountProgress(int a) {
    if (hooks_.progressDone == nullptr) return;
    // The inner steps a plain search spends on this start: 1 + 2 + ... + (n - a - 2).
    const std::int64_t pairs = t_.Count() - a - 2;
    const std::int64_t steps = pairs * (pairs + 1) / 2;
    const std::int64_t before = steps_.fetch_add(steps, std::memory_order_relaxed);
    const auto units = static_cast<int>((before + steps) / 1000000 - before / 1000000);
    if (units > 0) hooks_.progressDone->fetch_add(units, std::memory_order_relaxed);
  }

  const DistanceTables& t_;
  TriangleRule rule_;
  std::int32_t gap_;
  const TriangleSearchHooks& hooks_;
  Candidate initial_;
  bool vectorFai_ = true;
  std::atomic<std::int64_t> sharedFree_{0};
  std::atomic<std::int64_t> sharedFai_{0};
  std::atomic<std::int64_t> steps_{0};
  std::atomic<bool> halted_{false};
  std::mutex interimMutex_;
  std::int64_t shownScore_ = 0;
};

}  // namespace

void SearchFreeDistances(const DistanceTables& t, ReducedWinners& w) {
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
      const std::int64_t score = std::int64_t{t.MaxTo(k)} + t.MaxFrom(k);
      if (score >= best) {
        best = score;
        w.three = {t.MaxToArg(k), k, t.MaxFromArg(k)};
      }
    }
    w.threeScore = best;
  }
  if (n >= 4) {
    std::int64_t best = -1;
    for (int p = 1; p <= n - 3; ++p) {
      const std::int32_t* row = t.Row(p);
      const std::int64_t left = t.MaxTo(p);
      for (int q = p + 1; q <= n - 2; ++q) {
        const std::int64_t score = left + row[q] + t.MaxFrom(q);
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
      const std::int32_t* row = t.Row(m);
      std::int64_t left = -1;
      int p = 1;
      for (int k = 1; k <= m - 1; ++k) {
        const std::int64_t score = std::int64_t{t.MaxTo(k)} + row[k];
        if (score >= left) {
          left = score;
          p = k;
        }
      }
      std::int64_t right = -1;
      int q = m + 1;
      for (int k = m + 1; k <= n - 2; ++k) {
        const std::int64_t score = std::int64_t{row[k]} + t.MaxFrom(k);
        if (score >= right) {
          right = score;
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

bool SearchAnalysisOutAndReturn(const DistanceTables& t, std::int32_t gap,
                                std::array<int, 3>& points, std::int64_t& score) {
  // For a fixed start the best turn before each end is the farthest point so far (the latest
  // of equals), so the plain triple loop collapses to a running maximum.
  const int n = t.Count();
  std::int64_t best = -999999999;
  for (int i = 0; i + 2 < n; ++i) {
    const std::int32_t* row = t.Row(i);
    std::int64_t farthest = -1;
    int turn = i + 1;
    for (int k = i + 2; k < n; ++k) {
      if (row[k - 1] >= farthest) {
        farthest = row[k - 1];
        turn = k - 1;
      }
      if (row[k] >= gap) continue;
      const std::int64_t candidate = 2 * farthest - row[k];
      if (candidate >= best) {
        best = candidate;
        points = {i, turn, k};
      }
    }
  }
  score = best;
  return best >= 0;
}

OlcOutAndReturn SearchOlcOutAndReturn(const DistanceTables& t, std::int32_t closing,
                                      const std::atomic<bool>* halt) {
  OlcOutAndReturn result;
  const int n = t.Count();
  std::int64_t best = 0;
  for (int a = 0; a + 2 < n; ++a) {
    if (halt != nullptr && halt->load(std::memory_order_relaxed)) {
      result.halted = true;
      break;
    }
    const std::int32_t* rowA = t.Row(a);
    const std::int32_t* columnMaxRow = t.ColumnMaxRow(a);
    std::int64_t rowMax = 0;
    for (int c = a + 2; c < n; ++c) {
      rowMax = std::max<std::int64_t>(rowMax, rowA[c - 1]);
      if (rowA[c] >= closing || rowMax + columnMaxRow[c] < best) continue;
      const std::int32_t* rowC = t.Row(c);
      const std::int32_t pairBest = BestCornerSum(rowA, rowC, a + 1, c);
      if (pairBest < best) continue;
      int turn = c - 1;
      while (rowA[turn] + rowC[turn] != pairBest) --turn;
      best = pairBest;
      result.points = {a, turn, c};
    }
  }
  result.score = best;
  result.found = best >= 1;
  return result;
}

TriangleSearchResult SearchTriangles(const DistanceTables& tables, TriangleRule rule,
                                     std::int32_t gap, const TriangleSearchHooks& hooks) {
  TriangleSearcher searcher(tables, rule, gap, hooks);
  return searcher.Run();
}

const DistanceSearchStrategy& ProductionSearch() {
  static const DistanceSearchStrategy strategy{&SearchFreeDistances, &SearchAnalysisOutAndReturn,
                                               &SearchTriangles};
  return strategy;
}

}  // namespace logwell
