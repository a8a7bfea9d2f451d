#pragma once
// OLC statistics: scores a flight by the online contest's rules (free distance over start,
// three turnpoints and finish, free triangle and FAI triangle closing within 20 % of their
// perimeter) on a thread of its own, with progress counters, a halt flag and interim results.
// The dialog that shows it lives with the window; everything it needs is here.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "optimise/distance_analysis.h"
#include "model/track_point.h"
#include "model/track_types.h"

namespace logwell {

class Ui;

inline constexpr double kFreeDistancePointsPerKm = 1.5;
inline constexpr double kFreeTrianglePointsPerKm = 1.75;
inline constexpr double kFaiTrianglePointsPerKm = 2.0;
inline constexpr std::int32_t kOlcOutAndReturnClosing = 400;  // metres, "Not an OLC parameter"
inline constexpr std::size_t kOlcMinPositions = 5;

enum class OlcKind { MaxDistance, FreeDistance, OutAndReturn, FreeTriangle, FaiTriangle };
enum class OlcBest { FreeDistance, FreeTriangle, FaiTriangle };

// The chosen points of one kind, full-track indices, with their legs in metres.
struct OlcKindResult {
  bool found = false;
  std::vector<std::size_t> points;  // 2, 5, 3 (out-and-return) or 5 (start, corners, finish)
  std::vector<double> legs;         // from each point to the next; triangles: the three sides
  double closing = 0.0;             // triangles and out-and-return: start to finish
  double distance = 0.0;            // the kind's distance: path total, or perimeter less closing
};

// One shown line per point of a kind, and the triangle's figures.
struct OlcPointLine {
  std::string number;     // index + 1
  std::string time;       // "%02d:%02d:%02d"
  std::string latitude;   // "N 46  30  12.34"
  std::string longitude;  // "E 008  01  02.03"
  std::string leg;        // "%.2f" km from this point to the next; empty for the last
};
struct OlcKindTexts {
  std::vector<OlcPointLine> points;
  std::string perimeter;         // "%.2f km"
  std::string scoredDistance;    // perimeter less closing, "%.2f km"
  std::string closing;           // "%.2f"
  std::array<std::string, 3> legShares;  // "%.2f %%"
};
OlcKindTexts FormatOlcKind(const std::vector<TrackPoint>& track, const OlcKindResult& kind,
                           bool triangle);

// What the window shows while the computation runs; called on the computation's thread.
class OlcView {
 public:
  virtual ~OlcView() = default;
  virtual void ShowStatus(std::string_view text) = 0;
  virtual void ShowKind(OlcKind kind, const OlcKindResult& result) = 0;
  virtual void ShowResult(std::string_view text) = 0;
};

struct OlcScores {
  double freeDistance = 0.0;
  double freeTriangle = 0.0;
  double faiTriangle = 0.0;
  OlcBest best = OlcBest::FreeDistance;
  double bestPoints = 0.0;
};
// The best result: the FAI triangle when its points are not below the larger of the other two,
// else the free triangle when not below the free distance, else the free distance. A kind that
// was not found never wins.
OlcScores ScoreOlc(const OlcKindResult& freeDistance, const OlcKindResult& freeTriangle,
                   const OlcKindResult& faiTriangle);
std::string BestResultText(const OlcScores& scores);

// Where the points came from, for the claim and its IGC file name.
struct OlcSource {
  bool fromRawIgc = false;
  std::string instrumentText;      // up to 80 characters
  std::string manufacturer = "XLW";
  std::string loggerSerial = "000";
  GarminTime startTime = 0;
  std::optional<RawIgcLog> rawIgc;  // the raw log, when the points came from it
};

class OlcComputation {
 public:
  enum class State { Computing, Halted, Completed, Failed };

  OlcComputation(std::vector<TrackPoint> points, OlcSource source, OlcView& view);
  ~OlcComputation();  // halts and waits for the thread
  OlcComputation(const OlcComputation&) = delete;
  OlcComputation& operator=(const OlcComputation&) = delete;

  // Checks the point count ("Number of positions must be 5 or more") and starts the thread.
  bool Start(Ui& ui);
  void Halt() { halt_.store(true); }
  // Waits for the thread to end.
  void Wait();

  State CurrentState() const { return state_.load(); }
  bool Finished() const { return finished_.load(); }
  // The progress field: "%d %%", "Done:" at 100 or more, blank while the total is 0.
  std::string ProgressText() const;
  int ProgressDone() const { return progressDone_.load(); }
  int ProgressTotal() const { return progressTotal_.load(); }

  // Valid once completed.
  const OlcKindResult& Kind(OlcKind kind) const { return kinds_[static_cast<std::size_t>(kind)]; }
  const OlcScores& Scores() const { return scores_; }
  // The five claim points of the best result.
  std::array<std::size_t, 5> ClaimPoints() const;
  const std::vector<TrackPoint>& Points() const { return points_; }
  const OlcSource& Source() const { return source_; }

  // Runs the computation on the calling thread (the thread's body); public for tests and the
  // command line.
  void Run();

 private:
  bool Stop(std::string_view message);
  void Show(OlcKind kind, OlcKindResult result);

  std::vector<TrackPoint> points_;
  OlcSource source_;
  OlcView& view_;
  std::atomic<bool> halt_{false};
  std::atomic<bool> finished_{false};
  std::atomic<State> state_{State::Computing};
  std::atomic<int> progressDone_{0};
  std::atomic<int> progressTotal_{0};
  std::array<OlcKindResult, 5> kinds_;
  OlcScores scores_;
  std::jthread thread_;
};

// The class and region lists of the form.
struct OlcClass {
  int number;
  const char* name;
};
const std::vector<OlcClass>& OlcClasses();
struct OlcRegion {
  const char* code;  // empty for "   Unknown"
  const char* name;  // as listed, "AT Austria / Osterreich"
};
const std::vector<OlcRegion>& OlcRegions();

}  // namespace logwell
