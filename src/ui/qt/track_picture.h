#pragma once
// The pictures pilots look at first: the track seen from above ("Show &Track") in a local
// projection, coloured by climb rate, with the contest claim and the results of the distance
// analysis drawn over it (free distance, out-and-return, flat and FAI triangle; the legend
// names the claim first, under its contest), zoomed with the wheel and moved by
// dragging; and the altitude and vario over time ("Show &Vario"). Both mark the positions
// selected in the list, and a click in either names the fix nearest to it; a drag in the
// profile names a time range.
#include <QPointF>
#include <QWidget>
#include <utility>
#include <atomic>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <filesystem>

#include "airspace/airspace_record.h"
#include "optimise/contest_rules.h"
#include "optimise/distance_analysis.h"
#include "model/track_point.h"
#include "model/waypoint.h"

namespace logwell::qt {

// Selected fixes as index ranges, first and last included, in ascending order.
using FixRanges = std::vector<std::pair<std::size_t, std::size_t>>;

// The positions a view draws: its own copy (a window of the selected positions), or a vector
// it reads where it lies (the track log, for the views beside the list), so that a long log is
// held once. A view reads the vector only while it still has the length the view was made for:
// the window makes new views whenever the log changes, and a view that is about to be replaced
// draws nothing rather than reading past the end.
class ViewPoints {
 public:
  explicit ViewPoints(std::vector<TrackPoint> owned)
      : owned_(std::move(owned)), source_(&owned_), count_(owned_.size()) {}
  explicit ViewPoints(const std::vector<TrackPoint>* shared) : source_(shared), count_(shared->size()) {}
  ViewPoints(const ViewPoints&) = delete;
  ViewPoints& operator=(const ViewPoints&) = delete;

  // The positions, or none once the vector read has changed its length.
  const std::vector<TrackPoint>& Get() const { return source_->size() == count_ ? *source_ : kNone; }
  std::size_t Count() const { return count_; }
  bool Shared() const { return source_ != &owned_; }

 private:
  static inline const std::vector<TrackPoint> kNone;
  std::vector<TrackPoint> owned_;
  const std::vector<TrackPoint>* source_;
  std::size_t count_;
};

class TrackPicture final : public QWidget {
  Q_OBJECT
 public:
  // Starts the distance analysis of the points on a thread of its own, after `startDelayMs`
  // (a picture replaced at once by the next log never starts it), and then the claim of the
  // contest `rules`; the results are drawn as they come.
  TrackPicture(std::vector<TrackPoint> points, std::uint32_t loopGap, QWidget* parent = nullptr,
               int startDelayMs = 0, ContestRules rules = kDefaultContestRules);
  // A picture of positions it reads where they lie (see ViewPoints). Its analysis works on a
  // copy, which it makes only for logs up to kSharedAnalysisLimit positions: a longer log is
  // analysed in the picture of "Show &Track", on request.
  TrackPicture(const std::vector<TrackPoint>* shared, std::uint32_t loopGap, QWidget* parent = nullptr,
               int startDelayMs = 0, ContestRules rules = kDefaultContestRules);
  static constexpr std::size_t kSharedAnalysisLimit = 200'000;
  ~TrackPicture() override;

  bool AnalysisDone() const { return analysis_.has_value(); }
  const DistanceAnalysis* Analysis() const { return analysis_ ? &*analysis_ : nullptr; }
  bool ClaimDone() const { return claim_.has_value(); }
  const ContestClaim* Claim() const { return claim_ ? &*claim_ : nullptr; }
  // The legend's lines as drawn: the fix count, the claim, the distance analysis, the colours.
  QStringList LegendLines() const;
  double Zoom() const { return zoom_; }
  QPointF Pan() const { return pan_; }
  // Zooms by `factor` keeping the point under `at` (widget pixels) in place.
  void ZoomAt(QPointF at, double factor);
  void PanBy(QPointF delta);
  // The widget position of a track point in the current view.
  QPointF ScreenOf(std::size_t index) const;
  // The climb rate (m/s) from the point before, which picks a point's colour.
  static QColor ClimbColour(double metresPerSecond);
  std::size_t Count() const { return points_.Count(); }
  const std::vector<TrackPoint>& Points() const { return points_.Get(); }
  // The fix drawn nearest to a widget position; none without fixes.
  std::optional<std::size_t> NearestFix(QPointF at) const;
  void SetSelection(FixRanges ranges);
  const FixRanges& Selection() const { return selection_; }
  // The airspaces (filled by class, named on hover) and waypoints drawn with the track; arcs
  // are laid out as chords within `accuracy` metres.
  void SetOverlays(const AirspaceList& airspaces, std::span<const Waypoint> waypoints, std::uint32_t accuracy);
  // The names of the airspaces under a widget position, as the hover shows them.
  QStringList AirspacesAt(QPointF at) const;
  // The picture as it is on screen, into a PNG or SVG file (by the name's extension); false
  // after a message box when the file could not be written.
  bool Export(const std::filesystem::path& path);
  // The length the scale bar stands for (metres) and its width in pixels at the current zoom.
  std::pair<double, double> ScaleBar() const;

 signals:
  void analysisFinished();
  void claimFinished();
  void fixClicked(std::size_t index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Outline {
    QPolygonF metres;
    QString name;
    int classCode = 0;
  };
  struct Mark {
    QPointF metres;
    QString id;
  };
  QPointF ToMetres(std::int32_t latitude, std::int32_t longitude) const;
  QPointF MetresOf(const TrackPoint& point) const { return ToMetres(point.latitude, point.longitude); }
  void Measure();
  void Paint(QPainter& painter) const;
  void DrawOverlays(QPainter& painter) const;
  void DrawScaleAndNorth(QPainter& painter) const;
  void StartAnalysis();
  void DrawTrack(QPainter& painter) const;
  void DrawSelection(QPainter& painter) const;
  void DrawResults(QPainter& painter) const;
  void DrawLegend(QPainter& painter) const;
  QPointF Map(const QPointF& metres) const;

  ViewPoints points_;
  std::vector<TrackPoint> analysisCopy_;  // what the analysis of a shared log reads
  bool analysisSkipped_ = false;          // a shared log too long to be copied for it
  double lat0_ = 0.0, lon0_ = 0.0;      // the middle, degrees
  double eastScale_ = 0.0, northScale_ = 0.0;  // metres per degree
  std::vector<Outline> airspaces_;
  std::vector<Mark> waypoints_;
  QPointF low_, high_;           // the bounds in metres
  std::uint32_t loopGap_;
  double zoom_ = 1.0;
  QPointF pan_;
  QPointF dragFrom_;
  QPointF pressedAt_;
  FixRanges selection_;
  std::optional<DistanceAnalysis> analysis_;
  ContestRules rules_;
  std::optional<ContestClaim> claim_;
  std::atomic<bool> halt_{false};
  std::jthread thread_;
};

class VarioGraph final : public QWidget {
  Q_OBJECT
 public:
  // The climb and speed are averaged over `intervalSeconds` ("Set intervals").
  explicit VarioGraph(std::vector<TrackPoint> points, QWidget* parent = nullptr,
                      std::uint32_t intervalSeconds = kDefaultIntervalSeconds);
  // A graph of positions it reads where they lie (see ViewPoints).
  VarioGraph(const std::vector<TrackPoint>* shared, QWidget* parent = nullptr,
             std::uint32_t intervalSeconds = kDefaultIntervalSeconds);
  static constexpr std::uint32_t kDefaultIntervalSeconds = 60;
  // Metres over time and the climb rate over the interval; the climb is worked out once, the
  // altitudes are read from the positions.
  std::vector<double> Altitudes() const;
  const std::vector<float>& Climbs() const { return climb_; }
  std::uint32_t Interval() const { return interval_; }
  // What the hover shows at a widget x: the nearest fix's time, altitude, climb and speed.
  QString ReadoutAt(double x) const;
  // The area of the curves in widget pixels, and the fix whose time lies nearest to a widget x.
  QRectF Plot() const;
  std::optional<std::size_t> NearestFix(double x) const;
  double XOf(std::size_t index) const;
  void SetSelection(FixRanges ranges);
  const FixRanges& Selection() const { return selection_; }

 signals:
  void fixClicked(std::size_t index);
  // A drag across the time axis: the fixes from `first` to `last`.
  void rangeSelected(std::size_t first, std::size_t last);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Prepare();
  ViewPoints points_;
  std::vector<float> climb_;
  std::uint32_t interval_;
  FixRanges selection_;
  std::optional<double> hoverX_;
  std::optional<double> dragFrom_;  // widget x where the button went down
  double dragTo_ = 0.0;
};

}  // namespace logwell::qt
