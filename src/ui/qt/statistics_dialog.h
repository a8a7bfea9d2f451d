#pragma once
// "Flight statistics": the statistics of the selected positions at once; the contest claim
// (first, under its contest's name) and the seven distances of the distance analysis filled in
// by a thread of its own; a description field and "Save log" to a KML logbook file, which
// carries the claim too.
#include <QDialog>
#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "optimise/contest_rules.h"
#include "optimise/distance_analysis.h"
#include "track/statistics.h"
#include "model/track_point.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace logwell {
class Ui;
class TrackLog;
class SettingsStore;
}  // namespace logwell

namespace logwell::qt {
// The rules the window scores claims by: its ContestRules setting, XContest when it names none.
ContestRules ChosenContestRules(const SettingsStore& settings);
}  // namespace logwell::qt

namespace logwell::qt {

class StatisticsDialog final : public QDialog {
  Q_OBJECT
 public:
  struct Flight {
    std::vector<TrackPoint> points;  // the prepared copy of the selected positions
    std::uint32_t loopGap = kDefaultLoopGap;
    bool withHash = false;
    bool timesAreUtc = false;
    bool withPressureAltitude = false;
    std::optional<std::string> instrumentText;
    ContestRules rules = kDefaultContestRules;  // whose claim comes first
  };
  StatisticsDialog(Flight flight, Ui& ui, TrackLog* log, QWidget* parent);
  ~StatisticsDialog() override;  // halts the analysis and waits for its thread

  bool AnalysisDone() const { return analysisDone_; }
  const DistanceAnalysis& Analysis() const { return analysis_; }
  const std::vector<TrackPoint>& Points() const { return flight_.points; }
  QLabel* Distance(int index) const { return distances_[static_cast<std::size_t>(index)]; }
  // The claim's line: "XContest: closed FAI triangle 118.73 km, 189.96 points".
  QLabel* ClaimLabel() const { return claimLabel_; }
  const std::optional<ContestClaim>& Claim() const { return claim_; }
  QLabel* Status() const { return status_; }
  QPlainTextEdit* Description() const { return description_; }
  // "Save log": the logbook KML file of the flight.
  int SaveLog();
  // The settings the web logbook upload reads and remembers (address, user, model, class);
  // without them the upload is not offered.
  void SetSettings(SettingsStore* settings);
  // The web logbook upload: asks for the account, then runs the steps on the upload thread,
  // each step's name in the status field.
  void Upload();

 signals:
  void analysisFinished();

 private:
  void ShowAnalysis(const DistanceAnalysis& analysis, std::optional<ContestClaim> claim);

  Flight flight_;
  Ui& ui_;
  TrackLog* log_;
  FlightStatistics statistics_;
  DistanceAnalysis analysis_;
  bool analysisDone_ = false;
  std::optional<ContestClaim> claim_;  // set once the claim is scored, after the distances
  QLabel* claimLabel_ = nullptr;
  std::array<QLabel*, 7> distances_{};
  QLabel* status_ = nullptr;
  QPlainTextEdit* description_ = nullptr;
  std::atomic<bool> halt_{false};
  std::jthread thread_;
  SettingsStore* settings_ = nullptr;
  QPushButton* upload_ = nullptr;
  std::jthread uploadThread_;
};

}  // namespace logwell::qt
